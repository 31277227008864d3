#include "Flowmodel/Flowmodel_ChartStops.h"

#include "Flowmodel/Flowmodel_History.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "ModelTestUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

TAlgBlock* Add(TAlgBlock* Parent, const TAlgBlockClass& Class, const std::string& Line) {
  TAlgBlock* B = Class.Create(Parent);
  B->GetText().Add(Line);
  return B;
}

// A=1; a branch A<B with X=1 in "да" and an empty "нет"; a counting loop
// with an empty body.
struct TChart {
  TChart() {
    A = Add(Body(Alg), TBasicAlgBlock::Class, "A=1");
    If = static_cast<TIfAlgBlock*>(Add(Body(Alg), TIfAlgBlock::Class, "A<B"));
    X = Add(If->GetYesBranch(), TBasicAlgBlock::Class, "X=1");
    For = static_cast<TForAlgBlock*>(Add(Body(Alg), TForAlgBlock::Class, "I=1,N,1"));
  }
  // Each stop as a word: the block's first line, or "@owner/index" for a place.
  std::vector<std::string> Words() const {
    std::vector<std::string> W;
    for (const TChartStop& S : AlgChartStops(Alg)) {
      if (S.IsBlock()) {
        W.push_back(S.Block->GetText().Get(0));
        continue;
      }
      const TAlgBlock* Owner = AlgPlaceOwner(S);
      std::string Name = Owner == Alg.GetRoot() ? "root" : Owner->GetText().Get(0);
      if (Owner == If)
        Name += If->GetYesBranch() == S.Sequence ? ".да" : ".нет";
      W.push_back("@" + Name + "/" + std::to_string(S.Index));
    }
    return W;
  }
  TAlgorithm Alg;
  TAlgBlock* A;
  TIfAlgBlock* If;
  TAlgBlock* X;
  TForAlgBlock* For;
};

} // namespace

TEST(ChartStops, DrawingOrderWithPlacesAroundEveryBlockAndInEmptyArms) {
  TChart C;
  EXPECT_EQ(C.Words(), (std::vector<std::string>{"@root/0", "A=1", "@root/1", "A<B", "@A<B.да/0",
                                                 "X=1", "@A<B.да/1", "@A<B.нет/0", "@root/2",
                                                 "I=1,N,1", "@I=1,N,1/0", "@root/3"}));
  TAlgorithm Empty;
  const auto Stops = AlgChartStops(Empty);
  ASSERT_EQ(Stops.size(), 1u);
  EXPECT_EQ(Stops[0], TChartStop::Place(Body(Empty), 0));
  EXPECT_EQ(AlgPlaceDescription(Stops[0]), "в начале алгоритма");
}

TEST(ChartStops, PlacesSayWhereTheyAre) {
  TChart C;
  C.Alg.GetRoot()->GetBody()->GetBlocks(0)->GetText().Add("B=2");
  EXPECT_EQ(AlgPlaceDescription(TChartStop::Place(Body(C.Alg), 1)),
            "после «Блок вычислений: A=1 | B=2»");
  EXPECT_EQ(AlgPlaceDescription(TChartStop::Place(Body(C.Alg), 0)),
            "в начале алгоритма, перед «Блок вычислений: A=1 | B=2»");
  EXPECT_EQ(AlgPlaceDescription(TChartStop::Place(C.For->GetBody(), 0)),
            "в теле «Цикл с параметром: I=1,N,1»");
  EXPECT_EQ(AlgPlaceDescription(TChartStop::Place(C.If->GetNoBranch(), 0)),
            "в ветви «нет» «Ветвление: A<B»");
  EXPECT_EQ(AlgPlaceDescription(TChartStop::Place(C.If->GetYesBranch(), 0)),
            "в ветви «да» «Ветвление: A<B», перед «Блок вычислений: X=1»");
}

TEST(ChartStops, PlacePointsLieOnTheArrowsOfTheLastRendering) {
  TChart C;
  TCompositeImage Image;
  C.Alg.GetRoot()->Render(Image);
  TCompoundAlgBlock* B = Body(C.Alg);
  const auto& Bottoms = B->GetChildBottoms();
  ASSERT_EQ(Bottoms.size(), 3u);
  EXPECT_EQ(AlgPlacePoint(TChartStop::Place(B, 0)), (TPoint{0, 7}));
  EXPECT_EQ(AlgPlacePoint(TChartStop::Place(B, 2)), (TPoint{0, Bottoms[1] + 7}));
  EXPECT_EQ(AlgPlacePoint(TChartStop::Place(B, 3)), (TPoint{0, Bottoms[2] + 7}));
  // Every place lies where a drop goes to the same index.
  for (int I = 0; I <= 3; ++I)
    EXPECT_EQ(B->GetNewBlockIndexAt(AlgPlacePoint(TChartStop::Place(B, I))), I) << I;
}

TEST(ChartStops, CursorSurvivesEditsOrFallsBackToSelectionOrPlace) {
  TChart C;
  auto Stops = AlgChartStops(C.Alg);
  EXPECT_EQ(AlgCursorAfterChange(C.Alg, Stops, TChartStop::At(C.X)), TChartStop::At(C.X));

  // The block under the cursor deleted: the block the deletion selected.
  C.X->SetSelected(true);
  C.Alg.DeleteSelection();
  EXPECT_EQ(C.Alg.GetSelectedBlockCount(), 0) << "an arm's only block leaves nothing selected";
  Stops = AlgChartStops(C.Alg);
  EXPECT_EQ(AlgCursorAfterChange(C.Alg, Stops, TChartStop::At(C.X)), Stops.front());
  // A place past the end of its sequence after a deletion: the last one.
  EXPECT_EQ(AlgCursorAfterChange(C.Alg, Stops, TChartStop::Place(C.If->GetYesBranch(), 1)),
            TChartStop::Place(C.If->GetYesBranch(), 0));
  C.A->SetSelected(true);
  TAlgBlock* Gone = C.For;
  C.For->Free();
  Stops = AlgChartStops(C.Alg);
  EXPECT_EQ(AlgCursorAfterChange(C.Alg, Stops, TChartStop::At(Gone)), TChartStop::At(C.A));
  EXPECT_EQ(AlgCursorAfterChange(C.Alg, {}, TChartStop::At(C.A)), TChartStop{});
  C.Alg.UnselectAll();
  EXPECT_EQ(AlgCursorAfterChange(C.Alg, Stops, {}), TChartStop{}) << "not placed yet";
}

TEST(ChartStops, InsertionGoesToThePlaceOrAfterTheSelectedBlock) {
  TChart C;
  TCompoundAlgBlock* T = nullptr;
  int I = -1;
  ASSERT_TRUE(AlgInsertPlace(C.Alg, TChartStop::Place(C.If->GetNoBranch(), 0), T, I));
  EXPECT_EQ(T, C.If->GetNoBranch());
  EXPECT_EQ(I, 0);
  C.X->SetSelected(true);
  ASSERT_TRUE(AlgInsertPlace(C.Alg, TChartStop::At(C.X), T, I));
  EXPECT_EQ(T, C.If->GetYesBranch());
  EXPECT_EQ(I, 1);
  // A selection made after the cursor went onto a place wins.
  ASSERT_TRUE(AlgInsertPlace(C.Alg, TChartStop::Place(Body(C.Alg), 0), T, I));
  EXPECT_EQ(T, C.If->GetYesBranch());
  C.Alg.UnselectAll();
  C.If->GetNoBranch()->SetSelected(true);
  ASSERT_TRUE(AlgInsertPlace(C.Alg, TChartStop::Place(Body(C.Alg), 0), T, I));
  EXPECT_EQ(T, C.If->GetNoBranch()) << "a selected sequence: at its end";
  C.Alg.UnselectAll();
  for (const TChartStop& Cursor : {TChartStop{}, TChartStop::At(C.X)}) {
    ASSERT_TRUE(AlgInsertPlace(C.Alg, Cursor, T, I));
    EXPECT_EQ(T, Body(C.Alg));
    EXPECT_EQ(I, 3);
  }
  AlgSelectRange(C.Alg, C.A, C.For);
  EXPECT_FALSE(AlgInsertPlace(C.Alg, TChartStop::At(C.If), T, I)) << "three selected";

  // The six kinds in the list's order, each inserted alone selected, one step.
  std::vector<std::string> Names;
  for (TAlgBlockKind K : AlgInsertableKinds())
    Names.push_back(AlgBlockKindInfo(K).Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"Блок вычислений", "Ввод-вывод", "Ветвление",
                                             "Цикл с предусловием", "Цикл с постусловием",
                                             "Цикл с параметром"}));
  TAlgHistory History(C.Alg);
  TAlgBlock* New = AlgInsertNewBlock(C.Alg, TAlgBlockKind::WhileLoop, C.If->GetNoBranch(), 0);
  EXPECT_EQ(New->GetKind(), TAlgBlockKind::WhileLoop);
  EXPECT_EQ(C.If->GetNoBranch()->GetBlocks(0), New);
  EXPECT_EQ(C.Alg.GetSelectedBlockCount(), 1);
  EXPECT_TRUE(New->GetSelected());
  History.Undo();
  // The undone tree is made afresh.
  const auto* If = static_cast<TIfAlgBlock*>(Body(C.Alg)->GetBlocks(1));
  EXPECT_EQ(If->GetNoBranch()->GetBlockCount(), 0);
  EXPECT_FALSE(History.CanUndo());
}

TEST(ChartStops, InsertionWithinTheBlockLimitKeepsTheSelection) {
  TAlgorithm Alg;
  TAlgBlock* First = Add(Body(Alg), TBasicAlgBlock::Class, "A=1");
  while (Alg.GetBlockCount() < AlgMaxBlockCount)
    Add(Body(Alg), TBasicAlgBlock::Class, "B=1");
  First->SetSelected(true);
  EXPECT_ANY_THROW(AlgInsertNewBlock(Alg, TAlgBlockKind::Branch, Body(Alg), 0));
  EXPECT_EQ(Alg.GetBlockCount(), AlgMaxBlockCount);
  EXPECT_EQ(Body(Alg)->GetBlocks(0), First);
  EXPECT_TRUE(First->GetSelected());
}

TEST(ChartStops, RangeSelectionAndMovesAlongOneSequence) {
  TAlgorithm Alg;
  std::vector<TAlgBlock*> B;
  for (const char* L : {"A", "B", "C", "D", "E"})
    B.push_back(Add(Body(Alg), TBasicAlgBlock::Class, L));
  auto Order = [&] {
    std::string S;
    for (int I = 0; I < Body(Alg)->GetBlockCount(); ++I)
      S += Body(Alg)->GetBlocks(I)->GetText().Get(0);
    return S;
  };
  AlgSelectRange(Alg, B[3], B[1]);
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 3);
  EXPECT_EQ(Alg.GetSelectedBlocksProperty(0), B[1]);
  EXPECT_EQ(AlgSiblingBlock(B[0], -1), nullptr);
  EXPECT_EQ(AlgSiblingBlock(B[0], 1), B[1]);
  EXPECT_EQ(AlgSiblingBlock(Body(Alg), 1), nullptr);

  TAlgHistory History(Alg);
  EXPECT_TRUE(AlgMoveSelection(Alg, 1));
  EXPECT_EQ(Order(), "AEBCD");
  EXPECT_FALSE(AlgMoveSelection(Alg, 1)) << "already at the end";
  EXPECT_EQ(Order(), "AEBCD");
  EXPECT_TRUE(AlgMoveSelection(Alg, -1));
  EXPECT_TRUE(AlgMoveSelection(Alg, -1));
  EXPECT_EQ(Order(), "BCDAE");
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 3);
  EXPECT_TRUE(B[1]->GetSelected() && B[2]->GetSelected() && B[3]->GetSelected());
  History.Undo();
  EXPECT_EQ(Order(), "ABCDE") << "each move one step";
  History.Undo();
  History.Undo();
  EXPECT_FALSE(History.CanUndo());

  // Blocks apart move each one place, their order kept.
  Alg.UnselectAll();
  for (int I = 0; I < 5; ++I)
    B[I] = Body(Alg)->GetBlocks(I);
  B[0]->SetSelected(true);
  B[2]->SetSelected(true);
  EXPECT_TRUE(AlgMoveSelection(Alg, 1));
  EXPECT_EQ(Order(), "BADCE");
  Alg.UnselectAll();
  EXPECT_FALSE(AlgMoveSelection(Alg, 1)) << "nothing selected";
  Alg.GetRoot()->SetSelected(true);
  EXPECT_FALSE(AlgMoveSelection(Alg, -1)) << "the root stays";
}
