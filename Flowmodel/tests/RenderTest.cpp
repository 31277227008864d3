#include "ModelTestUtils.h"

#include "Corekit/SvgCanvas.h"
#include "Corekit/tests/LogCanvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

bool Has(const std::vector<std::string>& Log, const std::string& Entry) {
  return std::find(Log.begin(), Log.end(), Entry) != Log.end();
}

// In the image's own physical coordinates, as it was drawn.
std::vector<std::string> Replay(const TCompositeImage& Image) {
  TLogCanvas Canvas;
  Image.Display(Canvas, Image.GetOrigin());
  return Canvas.Log;
}

// A block whose drawing fails half-way.
class TFailingAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TFailingAlgBlock)
protected:
  void InternalRender(TCompositeImage& Image, int&) override {
    Image.Rectangle(0, 0, 10, 10);
    throw Exception("cannot draw");
  }
};
const TAlgBlockClass TFailingAlgBlock::Class("TFailingAlgBlock", &TAlgBlock::Class,
                                             &TFailingAlgBlock::NewInstance);

// Checks that every start tag has its end tag, in order.
bool TagsBalanced(const std::string& Xml) {
  std::vector<std::string> Open;
  size_t At = 0;
  while ((At = Xml.find('<', At)) != std::string::npos) {
    size_t End = Xml.find('>', At);
    if (End == std::string::npos)
      return false;
    std::string Tag = Xml.substr(At + 1, End - At - 1);
    At = End + 1;
    if (Tag.empty() || Tag[0] == '?' || Tag[0] == '!')
      continue;
    if (Tag.back() == '/')
      continue;
    std::string Name = Tag.substr(0, Tag.find(' '));
    if (Name[0] == '/') {
      if (Open.empty() || Open.back() != Name.substr(1))
        return false;
      Open.pop_back();
    } else {
      Open.push_back(Name);
    }
  }
  return Open.empty();
}

} // namespace

TEST(Render, StatementBoxes) {
  TAlgorithm Alg;
  auto* S = AddStatement(Alg.GetRoot()->GetBody(), "X=1");
  TCompositeImage Image;
  EXPECT_EQ(S->Render(Image), 50);
  EXPECT_TRUE(Image.GetFinished());
  EXPECT_EQ(Image.GetSize(), (TPoint{100, 40}));
  EXPECT_EQ(Image.GetOrigin(), (TPoint{0, 0}));
  EXPECT_EQ(Image.GetData(), S);
  // 3 characters of 8 pixels, centred in the box.
  EXPECT_EQ(Replay(Image), (std::vector<std::string>{"rect 0,0,100,40 FFFFFF",
                                                     "clipped 38,12 [38,12,62,28] X=1 000000"}));

  // 50 characters need 400 pixels: the box stops at 400 and the text is cut
  // at 396; three lines make the box 52 high.
  S->GetText().SetLines({std::string(50, 'W'), "A=2", "B=3"});
  TCompositeImage Wide;
  EXPECT_EQ(S->Render(Wide), 200);
  EXPECT_EQ(Wide.GetSize(), (TPoint{400, 52}));
  auto Log = Replay(Wide);
  ASSERT_EQ(Log.size(), 4u);
  EXPECT_EQ(Log[1].substr(0, 26), "clipped 0,2 [2,2,398,50] W");
  EXPECT_EQ(Log[2], "clipped 188,18 [2,2,398,50] A=2 000000");

  // Input and output: a parallelogram leaning right, anchored like a box.
  auto* IO = TAlgBlock::Create<TIOAlgBlock>(Alg.GetRoot()->GetBody());
  IO->GetText().Add("Вывод X");
  TCompositeImage IOImage;
  EXPECT_EQ(IO->Render(IOImage), 50);
  EXPECT_EQ(IOImage.GetOrigin(), (TPoint{-20, 0}));
  EXPECT_EQ(IOImage.GetSize(), (TPoint{141, 41}));
  EXPECT_EQ(Replay(IOImage).front(), "polygon 0,0 120,0 100,40 -20,40");
  EXPECT_EQ(IO->GetBlockAt(*std::make_unique<TPoint>(TPoint{-100, -100})), IO); // no region
}

TEST(Render, EmptyAlgorithmPicture) {
  TAlgorithm Alg;
  TRootAlgBlock* Root = Alg.GetRoot();
  TCompositeImage Image;
  EXPECT_EQ(Root->Render(Image), 50);
  EXPECT_EQ(Image.GetSize(), (TPoint{100, 95}));
  ASSERT_EQ(Image.GetComponentCount(), 1);
  TCompositeImage* Body = Image.GetComponents(0);
  // An empty sequence: 21 pixels wide, the stub 15 long.
  EXPECT_EQ(Body->GetSize(), (TPoint{21, 16}));
  EXPECT_EQ(Body->GetOrigin(), (TPoint{-10, 0}));
  EXPECT_EQ(Body->GetPosition(), (TPoint{40, 40}));
  EXPECT_EQ(Body->GetData(), Root->GetBody());

  const std::vector<std::string> Expected = {
      "line 40,40-60,40 nop",      "line 60,40-50,40 nop",
      "line 50,40-50,55",          "ellipse 0,0,100,40",
      "polygon 47,48 53,48 50,55", // the arrow head touches the bottom ellipse
      "ellipse 0,55,100,95",       "clipped 26,12 [10,12,90,28] начало 000000",
  };
  EXPECT_EQ(Replay(Image), Expected);

  // The root answers on its two ellipses only.
  for (TPoint P : {TPoint{50, 20}, TPoint{50, 80}}) {
    EXPECT_EQ(Root->GetBlockAt(P), Root);
  }
  TPoint Between{50, 47};
  EXPECT_EQ(Root->GetBlockAt(Between), nullptr);
  TPoint Corner{1, 1};
  EXPECT_EQ(Root->GetBlockAt(Corner), nullptr);
}

TEST(Render, BranchLinesLabelsAndClickBands) {
  TAlgorithm Alg;
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Alg.GetRoot()->GetBody());
  If->GetText().Add("A<B");
  TCompositeImage Image;
  EXPECT_EQ(If->Render(Image), 50);
  EXPECT_EQ(If->GetLeftBranchX(), -25);
  EXPECT_EQ(If->GetRightBranchX(), 125);
  EXPECT_EQ(If->GetJoinY(), 56);
  EXPECT_EQ(Image.GetOrigin(), (TPoint{-35, 0}));
  EXPECT_EQ(Image.GetSize(), (TPoint{171, 62}));
  ASSERT_EQ(Image.GetComponentCount(), 2);
  EXPECT_EQ(Image.GetComponents(0)->GetPosition(), (TPoint{-35, 40}));
  EXPECT_EQ(Image.GetComponents(1)->GetPosition(), (TPoint{115, 40}));

  auto Log = Replay(Image);
  EXPECT_EQ(Log[6], "polygon 0,20 50,0 99,20 50,39"); // after the two branches
  std::vector<std::string> Wanted = {
      "clipped 38,12 [25,12,75,28] A<B 000000",
      "text -16,4 да 000000 clear",
      "text 100,4 нет 000000 clear",
      "line 0,20--25,20",
      "polygon -28,49 -22,49 -25,56",
      "pixel 50,61 000000",
  };
  for (const auto& Entry : Wanted)
    EXPECT_TRUE(Has(Log, Entry)) << Entry;

  // Ten pixels beside a branch line answer the branch's sequence, in its own
  // coordinates; eleven fall through to the diamond.
  TPoint P{-15, 30};
  EXPECT_EQ(If->GetBlockAt(P), If->GetYesBranch());
  EXPECT_EQ(P, (TPoint{10, -10}));
  P = {-35, 56};
  EXPECT_EQ(If->GetBlockAt(P), If->GetYesBranch());
  P = {-36, 30};
  EXPECT_EQ(If->GetBlockAt(P), nullptr);
  P = {-25, 57}; // below the join line
  EXPECT_EQ(If->GetBlockAt(P), nullptr);
  P = {135, 20};
  EXPECT_EQ(If->GetBlockAt(P), If->GetNoBranch());
  P = {114, 25}; // 11 pixels left of the no line, outside the diamond
  EXPECT_EQ(If->GetBlockAt(P), nullptr);
  P = {50, 20};
  EXPECT_EQ(If->GetBlockAt(P), If);
  EXPECT_EQ(P, (TPoint{50, 20}));

  // A wider yes branch moves its line out; the no branch keeps 25.
  AddStatement(If->GetYesBranch(), "X=1");
  TCompositeImage Again;
  If->Render(Again);
  EXPECT_EQ(If->GetLeftBranchX(), -50);
  EXPECT_EQ(If->GetRightBranchX(), 125);
  EXPECT_EQ(If->GetJoinY(), 40 + 15 + 40 + 15 + 1);
}

TEST(Render, LoopsPlaceTheirParts) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* While = TAlgBlock::Create<TWhileAlgBlock>(Body);
  auto* Until = TAlgBlock::Create<TUntilAlgBlock>(Body);
  auto* For = TAlgBlock::Create<TForAlgBlock>(Body);
  For->GetText().Add("I=1,10,1");

  TCompositeImage W;
  EXPECT_EQ(While->Render(W), 50);
  auto Log = Replay(W);
  // D = 61 + 16 - 1; the left and right edges are 70 beyond the anchor.
  for (const char* Entry :
       {"ellipse 48,2,53,7", "polygon 0,41 50,21 99,41 50,60", "line 50,76-50,83",
        "line 50,83--20,83", "line 120,41-120,93", "pixel 50,98 000000",
        "text 56,60 да 000000 clear", "text 98,21 нет 000000 clear"})
    EXPECT_TRUE(Has(Log, Entry)) << Entry;
  EXPECT_EQ(W.GetComponents(0)->GetPosition(), (TPoint{40, 61}));
  TPoint P{50, 41};
  EXPECT_EQ(While->GetBlockAt(P), While);
  P = {50, 10};
  EXPECT_EQ(While->GetBlockAt(P), nullptr);

  TCompositeImage U;
  EXPECT_EQ(Until->Render(U), 50);
  Log = Replay(U);
  // B = 4 + 16 - 1; the exit line is one text line long.
  for (const char* Entry :
       {"polygon 0,39 50,19 99,39 50,58", "line 0,39--20,39", "pixel 50,75 000000",
        "text -15,20 да 000000 clear", "text 53,59 нет 000000 clear"})
    EXPECT_TRUE(Has(Log, Entry)) << Entry;
  EXPECT_EQ(U.GetComponents(0)->GetPosition(), (TPoint{40, 4}));

  TCompositeImage F;
  EXPECT_EQ(For->Render(F), 50);
  Log = Replay(F);
  for (const char* Entry :
       {"polygon -20,20 0,0 100,0 120,20 100,40 0,40", "line -40,20--20,20", "line 140,20-140,71",
        "pixel 50,76 000000", "clipped 18,12 [0,12,100,28] I=1,10,1 000000"})
    EXPECT_TRUE(Has(Log, Entry)) << Entry;
  for (TPoint Q : {TPoint{-19, 20}, TPoint{118, 20}, TPoint{50, 39}}) {
    EXPECT_EQ(For->GetBlockAt(Q), For);
  }
  P = {-19, 5};
  EXPECT_EQ(For->GetBlockAt(P), nullptr);
}

TEST(Render, SequencesStackBlocksAndAnswerInsertionPoints) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  AddStatement(Body, "A=1");
  TAlgBlock::Create<TWhileAlgBlock>(Body);
  AddStatement(Body, "B=2");
  TCompositeImage Image;
  EXPECT_EQ(Body->Render(Image), 0);
  // 15 + 40, then the loop (99 high) with a plain connector, then 15 + 40.
  EXPECT_EQ(Body->GetChildBottoms(), (std::vector<int32_t>{55, 169, 224}));
  EXPECT_EQ(Image.GetSize().Y, 224 + 16);
  auto Log = Replay(Image);
  EXPECT_TRUE(Has(Log, "pixel 0,70 000000")); // no arrow head
  EXPECT_TRUE(Has(Log, "polygon -3,177 3,177 0,184"));
  EXPECT_EQ(Body->GetNewBlockIndexAt({0, 0}), 0);
  EXPECT_EQ(Body->GetNewBlockIndexAt({0, 54}), 0);
  EXPECT_EQ(Body->GetNewBlockIndexAt({0, 55}), 1);
  EXPECT_EQ(Body->GetNewBlockIndexAt({0, 223}), 2);
  EXPECT_EQ(Body->GetNewBlockIndexAt({0, 224}), 3);
  // Blocks added since the last rendering count as after the last bottom.
  AddStatement(Body, "C=3");
  EXPECT_EQ(Body->GetNewBlockIndexAt({0, 500}), 4);
}

TEST(Render, ColoursComeFromTheScheme) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
  If->GetText().Add("A<B");
  auto* Inner = AddStatement(If->GetYesBranch(), "X=1");
  Alg.GetColorScheme().SetPenColor(0x0000AA);
  If->SetSelected(true);
  TCompositeImage Image;
  If->Render(Image);
  auto Log = Replay(Image);
  // Selected: blue fill, white text; the labels stay in the pen colour.
  EXPECT_TRUE(std::find(Log.begin(), Log.end(), "clipped 38,12 [25,12,75,28] A<B FFFFFF") !=
              Log.end());
  EXPECT_TRUE(Has(Log, "text -16,4 да 0000AA clear"));
  // The statement inside the selected branch is semi-selected.
  auto InnerLog = Replay(*Inner->GetImage());
  EXPECT_EQ(InnerLog.front(), "rect 0,0,100,40 FFFF00");
  EXPECT_EQ(InnerLog.back(), "clipped 38,12 [38,12,62,28] X=1 0000AA");
}

TEST(Render, BlockAndImageLinkSurvivesEitherDestructionOrder) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* A = AddStatement(Body, "A=1");
  auto* B = AddStatement(Body, "B=2");

  auto First = std::make_unique<TCompositeImage>();
  Alg.GetRoot()->Render(*First);
  TCompositeImage* AImage = A->GetImage();
  ASSERT_NE(AImage, nullptr);
  EXPECT_EQ(AImage->GetData(), A);
  EXPECT_EQ(A->SelfToParent({0, 0}), (TPoint{-50, 15}));
  EXPECT_EQ(A->ParentToSelf({-50, 15}), (TPoint{0, 0}));

  // Rendering again releases the old images.
  auto Second = std::make_unique<TCompositeImage>();
  Alg.GetRoot()->Render(*Second);
  EXPECT_EQ(AImage->GetData(), nullptr);
  EXPECT_EQ(First->GetData(), nullptr);
  EXPECT_EQ(Second->GetData(), Alg.GetRoot());
  First.reset(); // the blocks no longer listen to it
  EXPECT_NE(A->GetImage(), nullptr);

  // Block first: its image forgets it.
  TCompositeImage* BImage = B->GetImage();
  B->Free();
  EXPECT_EQ(BImage->GetData(), nullptr);
  // Image first: the block forgets it.
  Second.reset();
  EXPECT_EQ(A->GetImage(), nullptr);
  EXPECT_EQ(Alg.GetRoot()->GetImage(), nullptr);
  EXPECT_EQ(A->ParentToSelf({7, 8}), (TPoint{7, 8}));
  A->Free();
}

TEST(Render, AFailingBlockLeavesNoChildImage) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  AddStatement(Body, "A=1");
  TAlgBlock* Bad = TFailingAlgBlock::Class.Create(Body);
  TCompositeImage Image;
  try {
    Body->Render(Image);
    FAIL() << "rendering should fail";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "cannot draw");
  }
  EXPECT_EQ(Image.GetComponentCount(), 1); // only the first statement's
  EXPECT_EQ(Bad->GetImage(), nullptr);
  EXPECT_FALSE(Image.GetFinished());
}

TEST(Render, SvgOfEveryBlockKind) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  AddStatement(Body, "X=1");
  auto* IO = TAlgBlock::Create<TIOAlgBlock>(Body);
  IO->GetText().SetLines({"Ввод A", "Вывод \"A & B\""});
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
  If->GetText().Add("A<B");
  AddStatement(If->GetNoBranch(), "Y=2");
  auto* While = TAlgBlock::Create<TWhileAlgBlock>(Body);
  While->GetText().Add("X<10");
  AddStatement(While->GetBody(), "X=X+1");
  auto* Until = TAlgBlock::Create<TUntilAlgBlock>(Body);
  Until->GetText().Add("X>20");
  auto* For = TAlgBlock::Create<TForAlgBlock>(Body);
  For->GetText().Add("I=1,10,1");
  AddStatement(For->GetBody(), "Вывод I");

  TCompositeImage Image;
  Alg.GetRoot()->Render(Image);
  const std::string Svg = CompositeImageToSvg(Image);

  char Name[] = "/tmp/deskbay-svg-XXXXXX";
  int Fd = mkstemp(Name);
  ASSERT_GE(Fd, 0);
  close(Fd);
  std::ofstream(Name, std::ios::binary) << Svg;
  std::stringstream Read;
  Read << std::ifstream(Name, std::ios::binary).rdbuf();
  std::remove(Name);

  const std::string Text = Read.str();
  EXPECT_EQ(Text, Svg);
  EXPECT_TRUE(TagsBalanced(Text));
  for (const char* Part : {">да</text>", ">нет</text>", ">начало</text>", "&quot;A &amp; B&quot;",
                           "<polygon", "<ellipse", "<rect", "<line"})
    EXPECT_NE(Text.find(Part), std::string::npos) << Part;
  EXPECT_NE(Text.find(Format("width=\"%d\" height=\"%d\"", Image.GetSize().X, Image.GetSize().Y)),
            std::string::npos);
}

namespace {

// The default metrics (8 pixels a character) that also note the longest
// text measured.
class TLongestTextMetrics : public ITextMetrics {
public:
  TLongestTextMetrics() : FPrevious(SetTextMetrics(this)) {}
  ~TLongestTextMetrics() override { SetTextMetrics(FPrevious); }
  int TextWidth(const TFont&, std::string_view Text) override {
    Longest = std::max(Longest, Text.size());
    int Count = 0;
    for (char C : Text)
      Count += (static_cast<unsigned char>(C) & 0xC0) != 0x80;
    return Count * 8;
  }
  int LineHeight(const TFont&) override { return 16; }
  size_t Longest = 0;

private:
  ITextMetrics* FPrevious;
};

size_t LongestLogEntry(const std::vector<std::string>& Log) {
  size_t Longest = 0;
  for (const std::string& Entry : Log)
    Longest = std::max(Longest, Entry.size());
  return Longest;
}

} // namespace

TEST(Render, AHugeTextIsMeasuredAndDrawnOnlyAsFarAsABoxShowsIt) {
  TLongestTextMetrics Metrics;
  TAlgorithm Alg;
  const std::string Huge(4 << 20, 'a');
  auto* S = AddStatement(Alg.GetRoot()->GetBody(), "X=" + Huge);
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Alg.GetRoot()->GetBody());
  If->GetText().Add("A<" + Huge);
  auto* Lines = AddStatement(Alg.GetRoot()->GetBody(), "");
  Lines->GetText().SetLines(std::vector<std::string>(100000, "Y=1"));

  TCompositeImage Image;
  Alg.GetRoot()->Render(Image);
  EXPECT_LE(Metrics.Longest, 500u);
  const auto Log = Replay(Image);
  EXPECT_LT(LongestLogEntry(Log), 600u);
  // The box of as many lines as fit: 19 lines of 16 pixels reach its bottom.
  EXPECT_EQ(std::count_if(Log.begin(), Log.end(),
                          [](const std::string& E) { return E.ends_with("Y=1 000000"); }),
            19);

  // Up to the point where the text is cut, the picture is the one of a text
  // that ends there.
  TCompositeImage Huge1;
  S->Render(Huge1);
  S->GetText().SetLines({"X=" + std::string(498, 'a')});
  TCompositeImage Cut;
  S->Render(Cut);
  EXPECT_EQ(Replay(Huge1), Replay(Cut));
  EXPECT_EQ(Huge1.GetSize(), (TPoint{400, 40}));
}

TEST(Render, ABlockWhoseTextIsCutGivesItWholeForAHint) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
  auto* While = TAlgBlock::Create<TWhileAlgBlock>(Body);
  auto* For = TAlgBlock::Create<TForAlgBlock>(Body);
  auto* S = AddStatement(Body, "X=1");
  If->GetText().Add("A<B");                   // 24 of the diamond's 50 pixels
  While->GetText().Add("A<B+C*D");            // 56 pixels: cut with "..."
  For->GetText().SetLines({"I=1,10", "J=2"}); // a second line never shows
  TCompositeImage Image;
  Alg.GetRoot()->Render(Image);
  EXPECT_EQ(If->GetCutTextHint(), "");
  EXPECT_EQ(While->GetCutTextHint(), "A<B+C*D");
  EXPECT_EQ(For->GetCutTextHint(), "I=1,10\nJ=2");
  EXPECT_EQ(S->GetCutTextHint(), "");
  EXPECT_EQ(Alg.GetRoot()->GetCutTextHint(), "");
  EXPECT_TRUE(Has(Replay(*While->GetImage()), "clipped 26,33 [25,33,75,49] A<B... 000000"));

  // A statement whose box cuts a line or leaves out lines.
  S->GetText().SetLines({std::string(50, 'W')});
  const auto RenderAgain = [&Alg] {
    TCompositeImage Again;
    Alg.GetRoot()->Render(Again);
  };
  RenderAgain();
  EXPECT_EQ(S->GetCutTextHint(), std::string(50, 'W'));
  S->GetText().SetLines(std::vector<std::string>(18, "Y=1")); // 288 of 296 pixels
  RenderAgain();
  EXPECT_EQ(S->GetCutTextHint(), "");
  S->GetText().Add("Y=2");
  RenderAgain();
  EXPECT_TRUE(S->GetCutTextHint().ends_with("Y=1\nY=2"));

  // A hint of a huge text stays a hint.
  If->GetText().SetLines(std::vector<std::string>(100, "A<" + std::string(1000, 'x')));
  RenderAgain();
  const std::string Hint = If->GetCutTextHint();
  EXPECT_EQ(Hint.substr(0, Hint.find('\n')), "A<" + std::string(298, 'x') + "…");
  EXPECT_TRUE(Hint.ends_with("\n…"));
  EXPECT_LT(Hint.size(), 10000u);
}
