#include "ModelTestUtils.h"

#include "Flowmodel/Flowmodel_History.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// The first lines of the selected blocks, in selection order.
std::vector<std::string> SelectedLines(const TAlgorithm& Alg) {
  std::vector<std::string> Lines;
  for (int K = 0; K < Alg.GetSelectedBlockCount(); ++K) {
    const TStringList& T = Alg.GetSelectedBlocksProperty(K)->GetText();
    Lines.push_back(T.GetCount() ? T.Get(0) : "");
  }
  return Lines;
}

// One user step: everything inside one bracket, as the editor does it.
template <class F> void Step(TAlgorithm& Alg, F&& Change) {
  TModifyGuard Guard(Alg);
  Change();
}

} // namespace

TEST(History, EachKindOfStepIsUndoneAndRedoneWithItsSelection) {
  TAlgorithm Alg;
  AddStatement(Body(Alg), "A");
  AddStatement(Body(Alg), "B");
  TAlgHistory History(Alg);
  EXPECT_FALSE(History.CanUndo());

  // A palette click: a new loop after A, selected.
  Body(Alg)->GetBlocks(0)->SetSelected(true);
  const auto Start = Bytes(Alg);
  Step(Alg, [&] {
    auto* Loop = TAlgBlock::Create<TWhileAlgBlock>(Body(Alg), 1);
    Loop->GetText().Add("I<3");
    Alg.UnselectAll();
    Loop->SetSelected(true);
  });
  const auto AfterInsert = Bytes(Alg);
  EXPECT_EQ(SelectedLines(Alg), std::vector<std::string>{"I<3"});

  // A move by dragging: B into the loop's body.
  Step(Alg, [&] {
    TAlgBlock* B = Body(Alg)->GetBlocks(2);
    auto* Loop = static_cast<TWhileAlgBlock*>(Body(Alg)->GetBlocks(1));
    Alg.UnselectAll();
    B->CreateCopy(Loop->GetBody())->SetSelected(true);
    B->Free();
  });
  const auto AfterMove = Bytes(Alg);

  // A deletion of A and the loop: nothing is left but the root.
  Step(Alg, [&] {
    Alg.UnselectAll();
    Body(Alg)->GetBlocks(0)->SetSelected(true);
    Body(Alg)->GetBlocks(1)->SetSelected(true);
  });
  Alg.DeleteSelection();
  EXPECT_EQ(Body(Alg)->GetBlockCount(), 0);
  EXPECT_EQ(History.GetUndoCount(), 3);

  History.Undo();
  EXPECT_EQ(Bytes(Alg), AfterMove);
  EXPECT_EQ(SelectedLines(Alg), (std::vector<std::string>{"A", "I<3"}))
      << "the selection just before the deletion";
  History.Undo();
  EXPECT_EQ(Bytes(Alg), AfterInsert);
  EXPECT_EQ(SelectedLines(Alg), std::vector<std::string>{"I<3"});
  History.Undo();
  EXPECT_EQ(Bytes(Alg), Start);
  EXPECT_EQ(SelectedLines(Alg), std::vector<std::string>{"A"});
  EXPECT_FALSE(History.CanUndo());
  History.Undo(); // nothing left: no error, nothing changes
  EXPECT_EQ(Bytes(Alg), Start);

  History.Redo();
  EXPECT_EQ(Bytes(Alg), AfterInsert);
  EXPECT_EQ(SelectedLines(Alg), std::vector<std::string>{"I<3"});
  History.Redo();
  EXPECT_EQ(Bytes(Alg), AfterMove);
  EXPECT_EQ(SelectedLines(Alg), std::vector<std::string>{"B"});
  EXPECT_EQ(History.GetRedoCount(), 1);

  // A new change clears what could be redone.
  Step(Alg, [&] { AddStatement(Body(Alg), "C"); });
  EXPECT_FALSE(History.CanRedo());
  EXPECT_EQ(History.GetUndoCount(), 3);
}

TEST(History, TypingIntoOneBlockIsOneStepUntilTheSelectionChanges) {
  TAlgorithm Alg;
  TAlgBlock* A = AddStatement(Body(Alg), "");
  TAlgBlock* B = AddStatement(Body(Alg), "");
  A->SetSelected(true);
  TAlgHistory History(Alg);

  // Each key press replaces the block's text, as the text box does.
  for (const char* Typed : {"X", "X=", "X=1"})
    A->GetText().SetText(Typed);
  EXPECT_EQ(History.GetUndoCount(), 1);

  // Another block selected: typing there is a new step.
  Alg.UnselectAll();
  B->SetSelected(true);
  for (const char* Typed : {"Y", "Y=2"})
    B->GetText().SetText(Typed);
  EXPECT_EQ(History.GetUndoCount(), 2);

  // Back in A: a new run, even in the block typed into before.
  Alg.UnselectAll();
  A->SetSelected(true);
  A->GetText().SetText("X=10");
  EXPECT_EQ(History.GetUndoCount(), 3);

  History.Undo();
  EXPECT_EQ(FirstLines(Body(Alg)), (std::vector<std::string>{"X=1", "Y=2"}));
  History.Undo();
  EXPECT_EQ(FirstLines(Body(Alg)), (std::vector<std::string>{"X=1", ""}));
  History.Undo();
  EXPECT_EQ(FirstLines(Body(Alg)), (std::vector<std::string>{"", ""}));

  // A structural change between two texts ends the run too.
  History.Redo();
  Alg.UnselectAll();
  Body(Alg)->GetBlocks(0)->SetSelected(true);
  Body(Alg)->GetBlocks(0)->GetText().SetText("X=1;");
  Step(Alg, [&] { AddStatement(Body(Alg), "Z"); });
  Body(Alg)->GetBlocks(0)->GetText().SetText("X=2");
  EXPECT_EQ(History.GetUndoCount(), 4);
  // And so does an explicit end of the run (the text box losing a block).
  History.CloseTypingRun();
  Body(Alg)->GetBlocks(0)->GetText().SetText("X=3");
  EXPECT_EQ(History.GetUndoCount(), 5);
}

TEST(History, KeepsTheNewestStepsUpToItsLimit) {
  TAlgorithm Alg;
  AddStatement(Body(Alg), "");
  AddStatement(Body(Alg), "");
  TAlgHistory History(Alg);
  // 101 steps, each a text typed into the other block.
  for (int K = 1; K <= 101; ++K)
    Body(Alg)->GetBlocks(K % 2)->GetText().SetText(std::to_string(K));
  EXPECT_EQ(History.GetUndoCount(), 100);
  while (History.CanUndo())
    History.Undo();
  // The first step went: the oldest state left is the one it made.
  EXPECT_EQ(FirstLines(Body(Alg)), (std::vector<std::string>{"", "1"}));
}

TEST(History, ResetAfterALoadLeavesNothingToUndo) {
  TAlgorithm Source;
  AddStatement(Body(Source), "A");
  const auto File = Bytes(Source);

  TAlgorithm Alg;
  TAlgHistory History(Alg);
  AddStatement(Body(Alg), "unsaved");
  TMemoryStream Stream(File.data(), File.size());
  TBag Bag(&Stream);
  Bag.Restore(&Alg);
  History.Reset();
  EXPECT_FALSE(History.CanUndo());
  EXPECT_FALSE(History.CanRedo());
  EXPECT_TRUE(History.AtSavedPoint());
}

TEST(History, TheModifiedStateFollowsTheSavedPoint) {
  TAlgorithm Alg;
  TAlgHistory History(Alg);
  Step(Alg, [&] { AddStatement(Body(Alg), "A"); });
  Step(Alg, [&] { AddStatement(Body(Alg), "B"); });
  // Saved with A and B.
  Alg.SetDirty(false);
  History.MarkSaved();
  Step(Alg, [&] { AddStatement(Body(Alg), "C"); });
  EXPECT_TRUE(Alg.GetDirty());

  History.Undo();
  EXPECT_FALSE(Alg.GetDirty()) << "back at what was saved";
  History.Undo();
  EXPECT_TRUE(Alg.GetDirty());
  History.Redo();
  EXPECT_FALSE(Alg.GetDirty());
  History.Redo();
  EXPECT_TRUE(Alg.GetDirty()) << "redone away from what was saved";
}

TEST(History, AStepListenersHearOfOnceAndARestoreIsNoStep) {
  TAlgorithm Alg;
  TAlgHistory History(Alg);
  Step(Alg, [&] { AddStatement(Body(Alg), "A"); });
  TAspectLog Log(Alg);
  History.Undo();
  EXPECT_EQ(Log.Log.front(), "content");
  EXPECT_EQ(std::count(Log.Log.begin(), Log.Log.end(), "content"), 1);
  EXPECT_EQ(History.GetUndoCount(), 0);
  EXPECT_EQ(History.GetRedoCount(), 1);
}

TEST(History, AHundredStepsOfAHundredBlocksFitInTwoMegabytes) {
  TAlgorithm Alg;
  for (int K = 0; K < 99; ++K)
    AddStatement(Body(Alg), "X=X+" + std::to_string(K));
  TAlgHistory History(Alg);
  for (int K = 0; K < 100; ++K)
    Body(Alg)->GetBlocks(K % 99)->GetText().SetText("Y=" + std::to_string(K));
  EXPECT_EQ(History.GetUndoCount(), 100);
  EXPECT_LE(History.GetMemoryUsed(), 2u << 20);
}
