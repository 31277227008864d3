#include "ModelTestUtils.h"

#include "Flowmodel/Flowmodel_Kinds.h"
#include "Flowmodel/Flowmodel_LineCheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace Deskbay;
using namespace Deskbay::Testing;

TEST(AlgLineCheck, EachKindIsReadAsTheMachineReadsIt) {
  TAlgorithm Alg;
  TAlgBlock* Io = TAlgBlock::Create<TIOAlgBlock>(Body(Alg));
  Io->GetText().Add("Вывод A+");
  TAlgBlock* If = TAlgBlock::Create<TIfAlgBlock>(Body(Alg));
  TAlgBlock* For = TAlgBlock::Create<TForAlgBlock>(Body(Alg));
  For->GetText().Add("I=1,N,1");
  TAlgBlock* While = TAlgBlock::Create<TWhileAlgBlock>(Body(Alg));
  While->GetText().Add("A<");

  EXPECT_EQ(AlgBlockLineProblems(*Io).size(), 1u);
  // A branch without its condition cannot run.
  ASSERT_EQ(AlgBlockLineProblems(*If).size(), 1u);
  EXPECT_TRUE(AlgBlockLineProblems(*If)[0].Missing);
  EXPECT_TRUE(AlgBlockLineProblems(*For).empty());
  ASSERT_EQ(AlgBlockLineProblems(*While).size(), 1u);
  EXPECT_EQ(AlgBlockLineProblems(*While)[0].Message, "Неверное условие \"A<\".");
  // The machine never reads the text of the root or of a sequence.
  Alg.GetRoot()->GetText().Add("+");
  EXPECT_TRUE(AlgBlockLineProblems(*Alg.GetRoot()).empty());
  for (int I = 0; I < AlgBlockKindCount; ++I) {
    const TAlgBlockKind Kind = AlgBlockKindAt(I);
    EXPECT_EQ(LineRoleOfKind(Kind).has_value(), AlgBlockKindInfo(Kind).Placed) << I;
  }
}

TEST(AlgLineCheck, ABlockIsReadAgainOnlyWhenItsTextChanged) {
  TAlgorithm Alg;
  TBasicAlgBlock* A = AddStatement(Body(Alg), "S=S+");
  TBasicAlgBlock* B = AddStatement(Body(Alg), "X=1");
  TAlgLineCheck Check;
  EXPECT_EQ(Check.Problems(*A).size(), 1u);
  EXPECT_TRUE(Check.Problems(*B).empty());
  EXPECT_EQ(Check.GetReadCount(), 2u);
  for (int I = 0; I < 10; ++I) {
    Check.Problems(*A);
    Check.Problems(*B);
  }
  EXPECT_EQ(Check.GetReadCount(), 2u);

  A->GetText().SetText("S=S+1");
  EXPECT_TRUE(Check.Problems(*A).empty());
  EXPECT_TRUE(Check.Problems(*B).empty());
  EXPECT_EQ(Check.GetReadCount(), 3u) << "only the changed block is read again";

  // A block that is gone is forgotten at the second sweep it was not asked
  // about in.
  Check.Sweep();
  B->Free();
  Check.Problems(*A);
  Check.Sweep();
  EXPECT_EQ(Check.GetKeptCount(), 1u);
}

TEST(AlgLineCheck, TenThousandBlocksStayQuickWhileOneIsTyped) {
  // An algorithm holds at most AlgMaxBlockCount blocks: 10,000 in many.
  std::vector<std::unique_ptr<TAlgorithm>> Algs;
  std::vector<TBasicAlgBlock*> Blocks;
  for (int I = 0; I < 10000; ++I) {
    if (I % 50 == 0)
      Algs.push_back(std::make_unique<TAlgorithm>());
    Blocks.push_back(AddStatement(Body(*Algs.back()), I % 100 == 0 ? "S=S+" : "S=S+I*2"));
  }
  TAlgLineCheck Check;
  size_t Marked = 0;
  for (TBasicAlgBlock* B : Blocks)
    Marked += Check.Problems(*B).size();
  EXPECT_EQ(Marked, 100u);

  // Typing into one block: every block asked again, one read.
  const auto Start = std::chrono::steady_clock::now();
  for (int Key = 0; Key < 20; ++Key) {
    Blocks[5000]->GetText().SetText(std::string("S=S+") + std::string(Key % 3, '1'));
    for (TBasicAlgBlock* B : Blocks)
      Check.Problems(*B);
  }
  const auto Took = std::chrono::steady_clock::now() - Start;
  EXPECT_EQ(Check.GetReadCount(), 10000u + 20u);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Took).count(), 500);
}
