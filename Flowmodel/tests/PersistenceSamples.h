#pragma once

// Algorithms for the saving and loading tests, and a way to compare trees.

#include "ModelTestUtils.h"

#include "Corekit/MiscUtils_Bag.h"

#include <memory>
#include <string>

namespace Deskbay::Testing {

// Every block kind, nested three deep, with multi-line Cyrillic texts:
// root > while > if (yes: for > until > statement; no: input/output).
inline std::unique_ptr<TAlgorithm> MakeEveryKindAlgorithm() {
  auto Alg = std::make_unique<TAlgorithm>();
  TCompoundAlgBlock* Body = Alg->GetRoot()->GetBody();
  AddStatement(Body, "N=10");
  auto* IO = TAlgBlock::Create<TIOAlgBlock>(Body);
  IO->GetText().SetLines({"Ввод A", "Вывод \"Начинаем: №1 — ok\""});
  auto* While = TAlgBlock::Create<TWhileAlgBlock>(Body);
  While->GetText().Add("A<N");
  auto* If = TAlgBlock::Create<TIfAlgBlock>(While->GetBody());
  If->GetText().Add("A>5");
  auto* For = TAlgBlock::Create<TForAlgBlock>(If->GetYesBranch());
  For->GetText().Add("I=1,3,1");
  auto* Until = TAlgBlock::Create<TUntilAlgBlock>(For->GetBody());
  Until->GetText().Add("B>=I");
  auto* Deep = AddStatement(Until->GetBody(), "B=B+1");
  Deep->GetText().Add("");
  Deep->GetText().Add("Ёлка ёж");
  TAlgBlock::Create<TIOAlgBlock>(If->GetNoBranch())->GetText().Add("Вывод A");
  AddStatement(While->GetBody(), "A=A+1");
  return Alg;
}

// A few statements in a row.
inline std::unique_ptr<TAlgorithm> MakeStraightAlgorithm() {
  auto Alg = std::make_unique<TAlgorithm>();
  for (const char* Line : {"A=1", "B=A*2", "C=B-A"})
    AddStatement(Alg->GetRoot()->GetBody(), Line);
  return Alg;
}

inline std::string SaveToString(TAlgorithm& Alg) {
  TMemoryStream S;
  SaveObjectToStream(&Alg, &S);
  return std::string(S.GetBytes().begin(), S.GetBytes().end());
}

inline void LoadFromString(TAlgorithm& Alg, const std::string& Data) {
  TMemoryStream S(Data.data(), Data.size());
  LoadObjectFromStream(&Alg, &S);
}

// The tree as text: class, lines, and children in brackets.
inline std::string Describe(const TAlgBlock* Block) {
  std::string S = Block->ClassName();
  for (const std::string& Line : Block->GetText().Lines())
    S += "|" + Line;
  if (Block->GetBlockCount()) {
    S += "[";
    for (int I = 0; I < Block->GetBlockCount(); ++I)
      S += (I ? "," : "") + Describe(Block->GetBlocks(I));
    S += "]";
  }
  return S;
}

} // namespace Deskbay::Testing
