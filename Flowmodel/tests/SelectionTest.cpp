#include "ModelTestUtils.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// Root body: A, Loop{L1, L2}, C.
struct TSample {
  TSample() {
    Body = Alg.GetRoot()->GetBody();
    A = AddStatement(Body, "A");
    Loop = TAlgBlock::Create<TWhileAlgBlock>(Body);
    Loop->GetText().Add("L");
    L1 = AddStatement(Loop->GetBody(), "L1");
    L2 = AddStatement(Loop->GetBody(), "L2");
    C = AddStatement(Body, "C");
  }
  TAlgorithm Alg;
  TCompoundAlgBlock* Body;
  TAlgBlock *A, *C, *L1, *L2;
  TWhileAlgBlock* Loop;
};

} // namespace

TEST(Selection, OneOwnerAndSemiSelection) {
  TSample S;
  TAspectLog Log(S.Alg);
  S.A->SetSelected(true);
  S.C->SetSelected(true);
  S.C->SetSelected(true); // already selected: no change
  EXPECT_EQ(Log.Log.size(), 2u);
  EXPECT_EQ(S.Alg.GetSelOwner(), S.Body);

  S.L1->SetSelected(true);
  EXPECT_FALSE(S.L1->GetSelected()) << "a block of another sequence is refused";
  EXPECT_FALSE(S.Alg.CanSelectBlock(S.L1));
  EXPECT_EQ(Log.Log.size(), 2u);

  std::vector<TAlgBlock*> List{S.L2};
  S.Alg.GetSelectedBlocks(List);
  EXPECT_EQ(List, (std::vector<TAlgBlock*>{S.A, S.C}));
  EXPECT_EQ(S.Alg.GetSelectedBlocksProperty(1), S.C);
  try {
    S.Alg.GetSelectedBlocksProperty(2);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Bad selected block index 2 (2).");
  }

  S.Alg.UnselectAll();
  S.Alg.UnselectAll();
  EXPECT_EQ(Log.Log.size(), 3u) << "unselecting nothing is no change";
  S.L1->SetSelected(true);
  EXPECT_TRUE(S.L1->GetSelected());
  S.L1->SetSelected(false);
  S.L1->SetSelected(false);
  EXPECT_EQ(Log.Log.size(), 5u);

  S.Loop->SetSelected(true);
  EXPECT_TRUE(S.L1->GetSemiSelected());
  EXPECT_TRUE(S.Loop->GetBody()->GetSemiSelected());
  EXPECT_FALSE(S.Loop->GetSemiSelected()) << "a selected block is not semi-selected";
  EXPECT_FALSE(S.A->GetSemiSelected());

  // Changes inside a bracket are heard once, at its close.
  Log.Log.clear();
  S.Alg.BeginModify();
  S.Alg.SelectAll();
  S.A->SetSelected(false);
  EXPECT_TRUE(Log.Log.empty());
  S.Alg.EndModify();
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"selection"}));
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 2);

  // A block of another document is never selected here.
  TAlgorithm Other;
  TAlgBlock* Foreign = AddStatement(Other.GetRoot()->GetBody(), "F");
  S.Alg.UnselectAll();
  S.Alg.SelectBlock(Foreign, true);
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);
}

TEST(Selection, LevelUpWalksToTheRootAndThenToNothing) {
  TSample S;
  S.Alg.LevelUpSelection(); // nothing selected: nothing happens
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);

  S.L2->SetSelected(true);
  S.Alg.LevelUpSelection();
  std::vector<TAlgBlock*> Sel;
  S.Alg.GetSelectedBlocks(Sel);
  EXPECT_EQ(Sel, (std::vector<TAlgBlock*>{S.L2, S.L1}))
      << "the whole sequence, already selected ones kept first";

  S.Alg.LevelUpSelection();
  S.Alg.GetSelectedBlocks(Sel);
  EXPECT_EQ(Sel, (std::vector<TAlgBlock*>{S.Loop}));

  S.Alg.LevelUpSelection();
  S.Alg.GetSelectedBlocks(Sel);
  EXPECT_EQ(Sel, (std::vector<TAlgBlock*>{S.Loop, S.A, S.C}));

  TAspectLog Log(S.Alg);
  S.Alg.LevelUpSelection();
  S.Alg.GetSelectedBlocks(Sel);
  EXPECT_EQ(Sel, (std::vector<TAlgBlock*>{S.Alg.GetRoot()}));
  EXPECT_EQ(Log.Log.size(), 1u) << "one notice per widening";

  S.Alg.LevelUpSelection();
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);
}

TEST(Selection, DeleteReselectsTheSuccessorOrTheNewLast) {
  TSample S;
  TAlgBlock* B = AddStatement(S.Body, "B");
  // Body: A, Loop, C, B.
  S.Loop->SetSelected(true); // the middle
  S.Alg.DeleteSelection();
  EXPECT_EQ(FirstLines(S.Body), (std::vector<std::string>{"A", "C", "B"}));
  EXPECT_TRUE(S.C->GetSelected()) << "the block that took its place";
  EXPECT_EQ(S.Alg.GetBlockCount(), 4);

  S.C->SetSelected(false);
  B->SetSelected(true); // the last
  S.Alg.DeleteSelection();
  EXPECT_TRUE(S.C->GetSelected()) << "the new last block";
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 1);

  S.C->SetSelected(false);
  S.A->SetSelected(true);
  S.C->SetSelected(true);
  TAspectLog Log(S.Alg);
  S.Alg.DeleteSelection(); // several: nothing selected afterwards
  EXPECT_EQ(S.Body->GetBlockCount(), 0);
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);
  EXPECT_EQ(S.Alg.GetBlockCount(), 1);
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"content", "selection"}));

  // The only block of a sequence: nothing left to select.
  TAlgBlock* Only = AddStatement(S.Body, "O");
  Only->SetSelected(true);
  S.Alg.DeleteSelection();
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);
}

TEST(Selection, DeleteRefusesTheRootAndFixedSequences) {
  TSample S;
  S.Alg.GetRoot()->SetSelected(true);
  const uint64_t Version = S.Alg.GetVersion();
  S.Alg.DeleteSelection();
  EXPECT_EQ(S.Alg.GetVersion(), Version);
  EXPECT_TRUE(S.Alg.GetRoot()->GetSelected());

  S.Alg.UnselectAll();
  S.Loop->GetBody()->SetSelected(true);
  EXPECT_THROW(S.Alg.DeleteSelection(), EAssertionFailed);
  EXPECT_TRUE(S.Loop->GetBody()->GetSelected()) << "a refused deletion keeps the selection";
  EXPECT_EQ(S.Loop->GetBody()->GetBlockCount(), 2);
}
