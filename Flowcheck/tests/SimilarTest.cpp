// Copies found through renamed variables, reordered lines and empty blocks,
// and different solutions of one task told apart.

#include "Flowcheck/Flowcheck_Similar.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

struct TNode {
  const TAlgBlockClass* Class;
  std::vector<std::string> Lines;
  std::vector<TNode> Body; // a loop's body or a branch's "yes" way
  std::vector<TNode> No = {};
};

void Add(TAlgBlock* Parent, const std::vector<TNode>& Nodes) {
  for (const TNode& N : Nodes) {
    TAlgBlock* Block = N.Class->Create(Parent);
    Block->GetText().SetLines(N.Lines);
    if (auto* If = dynamic_cast<TIfAlgBlock*>(Block)) {
      Add(If->GetYesBranch(), N.Body);
      Add(If->GetNoBranch(), N.No);
    } else if (!N.Body.empty()) {
      Add(static_cast<TContainerAlgBlock*>(Block)->GetBody(), N.Body);
    }
  }
}

TChartPrint Print(const std::vector<TNode>& Nodes) {
  TAlgorithm Alg;
  Add(Alg.GetRoot()->GetBody(), Nodes);
  return ChartPrint(Alg);
}

const TAlgBlockClass* const Io = &TIOAlgBlock::Class;
const TAlgBlockClass* const Calc = &TBasicAlgBlock::Class;
const TAlgBlockClass* const For = &TForAlgBlock::Class;
const TAlgBlockClass* const While = &TWhileAlgBlock::Class;
const TAlgBlockClass* const If = &TIfAlgBlock::Class;

// The sum and the count of positive numbers among N, as a pupil writes it.
const std::vector<TNode> Original = {
    {Io, {"Ввод N"}, {}},
    {Calc, {"S=0", "C=0"}, {}},
    {For,
     {"I=1,N,1"},
     {{Io, {"Ввод X"}, {}}, {Calc, {"S=S+X"}, {}}, {If, {"X>0"}, {{Calc, {"C=C+1"}, {}}}}}},
    {Io, {"Вывод S, C"}, {}},
};

TEST(SimilarTest, CopiesAreFoundThroughRenamingReorderingAndEmptyBlocks) {
  const TChartPrint A = Print(Original);
  EXPECT_EQ(ChartSimilarity(A, A), 100);
  // Every variable renamed, consistently.
  const TChartPrint Renamed = Print({
      {Io, {"Ввод K"}, {}},
      {Calc, {"T=0", "P=0"}, {}},
      {For,
       {"J=1,K,1"},
       {{Io, {"Ввод Y"}, {}}, {Calc, {"T=T+Y"}, {}}, {If, {"Y>0"}, {{Calc, {"P=P+1"}, {}}}}}},
      {Io, {"Вывод T, P"}, {}},
  });
  EXPECT_EQ(ChartSimilarity(A, Renamed), 100);
  // Independent lines and blocks reordered, blanks and letter case changed,
  // empty blocks added.
  const TChartPrint Shuffled = Print({
      {Calc, {"c = 0", "s = 0"}, {}},
      {Calc, {""}, {}},
      {Io, {"ввод n"}, {}},
      {For,
       {"I = 1, N, 1"},
       {{Io, {"Ввод X"}, {}},
        {If, {"X > 0"}, {{Calc, {"C=C+1"}, {}}}, {{Calc, {}, {}}}},
        {Calc, {"S=S+X"}, {}}}},
      {Io, {"  "}, {}},
      {Io, {"ВЫВОД S, C"}, {}},
  });
  EXPECT_EQ(ChartSimilarity(A, Shuffled), 100);
  // Renamed and one line changed: a near copy, not the same.
  const TChartPrint Near = Print({
      {Io, {"Ввод K"}, {}},
      {Calc, {"T=0", "P=0"}, {}},
      {For,
       {"J=1,K,1"},
       {{Io, {"Ввод Y"}, {}}, {Calc, {"T=T+Y"}, {}}, {If, {"Y>0"}, {{Calc, {"P=P+1"}, {}}}}}},
      {Io, {"Вывод P, T"}, {}},
  });
  const int NearPercent = ChartSimilarity(A, Near);
  EXPECT_GE(NearPercent, SimilarThreshold);
  EXPECT_LT(NearPercent, 100);
}

TEST(SimilarTest, DifferentSolutionsOfOneTaskAreNotCopies) {
  const TChartPrint A = Print(Original);
  // The same task with a condition loop and its own counter.
  const TChartPrint WhileLoop = Print({
      {Io, {"Ввод N"}, {}},
      {Calc, {"S=0", "C=0", "I=1"}, {}},
      {While,
       {"I<=N"},
       {{Io, {"Ввод X"}, {}},
        {Calc, {"S=S+X"}, {}},
        {If, {"X>0"}, {{Calc, {"C=C+1"}, {}}}},
        {Calc, {"I=I+1"}, {}}}},
      {Io, {"Вывод S, C"}, {}},
  });
  EXPECT_LT(ChartSimilarity(A, WhileLoop), SimilarThreshold);
  // The count found by a branch with both ways.
  const TChartPrint Branches = Print({
      {Io, {"Ввод N"}, {}},
      {Calc, {"S=0", "C=0"}, {}},
      {For,
       {"I=1,N,1"},
       {{Io, {"Ввод X"}, {}},
        {If, {"X<=0"}, {{Calc, {"S=S+X"}, {}}}, {{Calc, {"S=S+X", "C=C+1"}, {}}}}}},
      {Io, {"Вывод S, C"}, {}},
  });
  EXPECT_LT(ChartSimilarity(A, Branches), SimilarThreshold);
  // Another task altogether.
  const TChartPrint Other = Print({{Io, {"Ввод A, B"}, {}}, {Io, {"Вывод A+B"}, {}}});
  EXPECT_LT(ChartSimilarity(A, Other), 30);
}

TEST(SimilarTest, PairsMostSimilarFirstAndNeverOnePupilsVersions) {
  const TChartPrint A = Print(Original);
  const TChartPrint Other = Print({{Io, {"Ввод A, B"}, {}}, {Io, {"Вывод A+B"}, {}}});
  const TChartPrint Near = Print({
      {Io, {"Ввод N"}, {}},
      {Calc, {"S=0", "C=0"}, {}},
      {For,
       {"I=1,N,1"},
       {{Io, {"Ввод X"}, {}}, {Calc, {"S=S+X"}, {}}, {If, {"X>0"}, {{Calc, {"C=C+1"}, {}}}}}},
      {Io, {"Вывод C, S"}, {}},
  });
  const std::vector<TChartPrint> Prints = {Near, Other, A, A, Other};
  const std::vector<TSimilarPair> Pairs =
      FindSimilarCharts(Prints, {"near.alg", "x.alg", "a.alg", "b.alg", "x.alg"});
  ASSERT_EQ(Pairs.size(), 3u);
  EXPECT_EQ(Pairs[0].First, 2u);
  EXPECT_EQ(Pairs[0].Second, 3u);
  EXPECT_EQ(Pairs[0].Percent, 100);
  // Files 1 and 4 are the same pupil's: an earlier version, no copy.
  for (const TSimilarPair& P : Pairs)
    EXPECT_FALSE(P.First == 1 && P.Second == 4);
  EXPECT_EQ(Pairs[1].First, 0u);
  EXPECT_EQ(Pairs[1].Second, 2u);
  EXPECT_EQ(Pairs[2].First, 0u);
  EXPECT_EQ(Pairs[2].Second, 3u);
  EXPECT_EQ(Pairs[1].Percent, Pairs[2].Percent);
  EXPECT_LT(Pairs[1].Percent, 100);
  EXPECT_GE(Pairs[1].Percent, SimilarThreshold);
}

} // namespace
