#pragma once

// The block limit's worth of blocks (the root included), every kind, nested:
// the largest flowchart a user can build, for the layout and editor
// benchmarks.

#include "Flowmodel/Flowmodel_Main.h"

namespace Deskbay::Bench {

inline TAlgBlock* Statement(TAlgBlock* Parent, const char* Line) {
  auto* B = TAlgBlock::Create<TBasicAlgBlock>(Parent);
  B->GetText().Add(Line);
  return B;
}

inline void FillAlgorithm(TAlgorithm& Alg) {
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  while (Alg.GetBlockCount() + 9 <= AlgMaxBlockCount) {
    Statement(Body, "X=X+1");
    auto* IO = TAlgBlock::Create<TIOAlgBlock>(Body);
    IO->GetText().Add("Вывод X");
    auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
    If->GetText().Add("X<10");
    Statement(If->GetYesBranch(), "Y=1");
    auto* While = TAlgBlock::Create<TWhileAlgBlock>(If->GetNoBranch());
    While->GetText().Add("Y<5");
    Statement(While->GetBody(), "Y=Y+1");
    auto* For = TAlgBlock::Create<TForAlgBlock>(Body);
    For->GetText().Add("I=1,10,1");
    auto* Until = TAlgBlock::Create<TUntilAlgBlock>(For->GetBody());
    Until->GetText().Add("Z>3");
  }
  while (Alg.GetBlockCount() < AlgMaxBlockCount)
    Statement(Body, "Z=0");
}

} // namespace Deskbay::Bench
