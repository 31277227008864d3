#pragma once

// The algorithm the checker's tests and the window's check tests share.

#include "Flowmodel/Flowmodel_Main.h"

#include <string>

namespace Deskbay::Testing {

inline TAlgBlock* AddLine(TAlgBlock* Parent, const TAlgBlockClass& Class, const std::string& Line) {
  return Class.CreateWithLines(Parent, {Line});
}

// Reads X, prints 10/X, then X; negative X also prints "минус".
inline void MakeDivisionAlgorithm(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  AddLine(R, TIOAlgBlock::Class, "Ввод X");
  AddLine(R, TBasicAlgBlock::Class, "Y=10/X");
  AddLine(R, TIOAlgBlock::Class, "Вывод Y");
  AddLine(R, TIOAlgBlock::Class, "Вывод X");
  auto* If = static_cast<TIfAlgBlock*>(AddLine(R, TIfAlgBlock::Class, "X<0"));
  AddLine(If->GetYesBranch(), TIOAlgBlock::Class, "Вывод \"минус\"");
}

} // namespace Deskbay::Testing
