// What the code pane reads from a program text: the lines of blocks, the
// block of a line, and the file the program is saved as.

#include "Flowcode/Flowcode_ProgramView.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

TAlgBlock* Add(TAlgBlock* Parent, const TAlgBlockClass& Class, const std::string& Text) {
  TAlgBlock* B = Class.Create(Parent);
  B->GetText().SetLines({Text});
  return B;
}

// A=1; loop I=1,3,1 { X=I }; if A>0 { Y=1 } else {}; B=2
struct TChart {
  TChart() {
    TAlgBlock* Body = Alg.GetRoot()->GetBody();
    A = Add(Body, TBasicAlgBlock::Class, "A=1");
    Loop = Add(Body, TForAlgBlock::Class, "I=1,3,1");
    X = Add(static_cast<TContainerAlgBlock*>(Loop)->GetBody(), TBasicAlgBlock::Class, "X=I");
    If = Add(Body, TIfAlgBlock::Class, "A>0");
    Y = Add(If->GetBlocks(0), TBasicAlgBlock::Class, "Y=1");
    B = Add(Body, TBasicAlgBlock::Class, "B=2");
  }
  TAlgorithm Alg;
  TAlgBlock *A, *Loop, *X, *If, *Y, *B;
};

TCodeLineRange Lines(const TProgramText& P, const TAlgBlock* Block) {
  TCodeLineRange R;
  EXPECT_TRUE(P.GetBlockLines(Block, R.First, R.Last));
  return R;
}

} // namespace

TEST(ProgramView, LinesOfBlocksAreSortedAndJoined) {
  TChart C;
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
    SCOPED_TRACE(CodeLanguageName(L));
    const TProgramText P = GenerateProgram(C.Alg, L);
    const TCodeLineRange A = Lines(P, C.A), Loop = Lines(P, C.Loop), X = Lines(P, C.X),
                         B = Lines(P, C.B);
    // Given out of order: sorted; a block inside another: the outer one.
    EXPECT_EQ(CodeLinesOfBlocks(P, {C.B, C.X, C.Loop}), (std::vector<TCodeLineRange>{Loop, B}));
    EXPECT_TRUE(X.First >= Loop.First && X.Last <= Loop.Last);
    // Neighbours become one range.
    EXPECT_EQ(CodeLinesOfBlocks(P, {C.Loop, C.A}),
              (std::vector<TCodeLineRange>{{A.First, Loop.Last}}));
    // No block, or one without lines (an empty else branch), marks nothing.
    EXPECT_TRUE(CodeLinesOfBlocks(P, {nullptr}).empty());
    EXPECT_TRUE(CodeLinesOfBlocks(P, {C.If->GetBlocks(1)}).empty());
  }
}

TEST(ProgramView, ALineSelectsItsStatement) {
  TChart C;
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
    SCOPED_TRACE(CodeLanguageName(L));
    const TProgramText P = GenerateProgram(C.Alg, L);
    for (TAlgBlock* Block : {C.A, C.X, C.Y, C.B}) {
      const TCodeLineRange R = Lines(P, Block);
      for (int Line = R.First; Line <= R.Last; ++Line)
        EXPECT_EQ(CodeLineSelectableBlock(P, Line), Block);
    }
    // The loop's and the branch's own lines select them.
    const TCodeLineRange Loop = Lines(P, C.Loop);
    EXPECT_EQ(CodeLineSelectableBlock(P, Loop.First), C.Loop);
    const TCodeLineRange If = Lines(P, C.If);
    EXPECT_EQ(CodeLineSelectableBlock(P, If.First), C.If);
    // The frame and lines beyond the text select nothing.
    EXPECT_EQ(CodeLineSelectableBlock(P, -1), nullptr);
    EXPECT_EQ(CodeLineSelectableBlock(P, static_cast<int>(P.GetLines().size())), nullptr);
    for (int Line = 0; Line < static_cast<int>(P.GetLines().size()); ++Line) {
      const TAlgBlock* Owner = CodeLineSelectableBlock(P, Line);
      EXPECT_TRUE(Owner == nullptr || Owner->GetParent() != nullptr) << Line;
    }
  }
}

TEST(ProgramView, EmptyLoopBodyLineSelectsTheLoop) {
  TAlgorithm Alg;
  TAlgBlock* Loop = Add(Alg.GetRoot()->GetBody(), TWhileAlgBlock::Class, "1>2");
  const TProgramText P = GenerateProgram(Alg, TCodeLanguage::Python);
  const TCodeLineRange R = Lines(P, Loop);
  for (int Line = R.First; Line <= R.Last; ++Line)
    EXPECT_EQ(CodeLineSelectableBlock(P, Line), Loop) << P.GetLines()[Line];
}

TEST(ProgramView, SavedFileNameFilterAndBytes) {
  EXPECT_EQ(SuggestedProgramFileName("/home/u/sum.alg", TCodeLanguage::Python), "/home/u/sum.py");
  EXPECT_EQ(SuggestedProgramFileName("/home/u/sum.alg", TCodeLanguage::Pascal), "/home/u/sum.pas");
  EXPECT_EQ(SuggestedProgramFileName("/home/u/a.b/sum", TCodeLanguage::Cpp), "/home/u/a.b/sum.cpp");
  EXPECT_EQ(SuggestedProgramFileName("сумма.v2.alg", TCodeLanguage::Cpp), "сумма.v2.cpp");
  EXPECT_EQ(SuggestedProgramFileName("/home/u/.alg", TCodeLanguage::Python), "/home/u/.alg.py");
  EXPECT_EQ(SuggestedProgramFileName("", TCodeLanguage::Pascal), "program.pas");
  EXPECT_EQ(SuggestedProgramFileName("/tmp/", TCodeLanguage::Python), "/tmp/program.py");

  EXPECT_EQ(CodeLanguageFileFilter(TCodeLanguage::Python), "Программа на Python (*.py)");
  EXPECT_EQ(CodeLanguageFileFilter(TCodeLanguage::Pascal), "Программа на Pascal (*.pas)");
  EXPECT_EQ(CodeLanguageFileFilter(TCodeLanguage::Cpp), "Программа на C++ (*.cpp)");

  TChart C;
  C.A->GetText().SetLines({"A=1 // «комментарий»"});
  const TProgramText P = GenerateProgram(C.Alg, TCodeLanguage::Python);
  const std::string Bytes = ProgramFileBytes(P);
  ASSERT_FALSE(Bytes.empty());
  EXPECT_EQ(Bytes.back(), '\n');
  size_t NewLines = 0;
  for (char Ch : Bytes)
    NewLines += Ch == '\n';
  EXPECT_EQ(NewLines, P.GetLines().size());
}
