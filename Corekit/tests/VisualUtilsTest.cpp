#include "Corekit/VisualUtils.h"
#include "LogCanvas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

struct TDestroyCounter : IOnNotify {
  void Notify(TObject* Sender) override {
    ++Count;
    Last = Sender;
  }
  int Count = 0;
  TObject* Last = nullptr;
};

template <class F> std::string ErrorOf(F&& Fn) {
  try {
    Fn();
  } catch (const Exception& E) {
    return E.Message();
  }
  return "";
}

// A child holding one box of Size placed at Position.
TCompositeImage* AddBox(TCompositeImage& Parent, TPoint Position, TPoint Size) {
  auto* Child = new TCompositeImage(&Parent);
  Child->Rectangle(0, 0, Size.X, Size.Y);
  Child->Finish();
  Child->SetPosition(Position);
  return Child;
}

} // namespace

TEST(CompositeImage, BoundsOfWhatWasDrawn) {
  {
    TCompositeImage Empty;
    Empty.Finish();
    EXPECT_EQ(Empty.GetSize(), (TPoint{0, 0}));
    EXPECT_EQ(Empty.GetOrigin(), (TPoint{0, 0}));
    TPoint P{0, 0};
    EXPECT_EQ(Empty.GetImageAt(P), nullptr);
  }
  {
    // Both end points of a line count, the invisible ones too.
    TCompositeImage Image;
    Image.GetPen().Mode = TPenMode::pmNop;
    Image.MoveTo(-10, 0);
    Image.LineTo(10, 0);
    Image.GetPen().Mode = TPenMode::pmCopy;
    Image.MoveTo(0, 0);
    Image.LineTo(0, 15);
    Image.Finish();
    EXPECT_EQ(Image.GetSize(), (TPoint{21, 16}));
    EXPECT_EQ(Image.GetOrigin(), (TPoint{-10, 0}));
  }
  {
    // Boxes leave out their right and bottom edges; text covers its measure
    // (8 px per character, 16 px high); a clipped line covers its clip; a
    // flood fill covers nothing known.
    TCompositeImage Image;
    Image.Rectangle(5, 6, 105, 46);
    Image.TextOut(-3, 50, "ab");
    Image.TextRect({200, 0, 210, 5}, 200, 0, "long text");
    Image.FloodFill(-100, -100, 0, TFillStyle::fsSurface);
    Image.Finish();
    EXPECT_EQ(Image.GetOrigin(), (TPoint{-3, 0}));
    EXPECT_EQ(Image.GetSize(), (TPoint{213, 66}));
  }
}

TEST(CompositeImage, RecordingAndFinishedStatesAreEnforced) {
  TCompositeImage Root;
  EXPECT_FALSE(Root.GetFinished());
  EXPECT_EQ(ErrorOf([&] { Root.GetSize(); }), "CompositeImage: drawing not finished.");
  EXPECT_EQ(ErrorOf([&] { Root.LogToPhys({}); }), "CompositeImage: drawing not finished.");
  EXPECT_EQ(ErrorOf([&] { Root.CheckComponentIndex(0); }),
            "Bad CompositeImage component index (0).");
  EXPECT_EQ(ErrorOf([&] { Root.GetComponents(-1); }), "Bad CompositeImage component index (-1).");

  auto* Child = new TCompositeImage(&Root);
  EXPECT_EQ(Root.GetComponentCount(), 1);
  EXPECT_EQ(Root.GetComponents(0), Child);
  EXPECT_EQ(Child->GetParent(), &Root);
  EXPECT_THROW(Root.Finish(), EAssertionFailed); // the child is still recording
  Child->Finish();
  EXPECT_THROW(Child->Finish(), EAssertionFailed);
  EXPECT_THROW(Child->LineTo(1, 1), EAssertionFailed);
  Root.Finish();
  EXPECT_THROW(new TCompositeImage(&Root), EAssertionFailed);
  EXPECT_EQ(Root.GetComponentCount(), 1);
  EXPECT_THROW(Root.GetLogCorner(), EAssertionFailed);
}

TEST(CompositeImage, FramesHitTestingAndNegativePositions) {
  TCompositeImage Root;
  Root.Rectangle(0, 0, 50, 50);
  TCompositeImage* Left = AddBox(Root, {-20, 10}, {30, 20}); // sticks out to the left
  TCompositeImage* Over = AddBox(Root, {0, 10}, {30, 20});   // overlaps Left
  auto* Nested = new TCompositeImage(&Root);
  Nested->MoveTo(-5, -5);
  Nested->LineTo(5, 5);
  Nested->Finish();
  Nested->SetPosition({30, 35});
  Root.Finish();

  // The child at a negative position moves the origin; logical (0, 0) is
  // the child's corner.
  EXPECT_EQ(Root.GetOrigin(), (TPoint{-20, 0}));
  EXPECT_EQ(Root.GetSize(), (TPoint{70, 50}));
  EXPECT_EQ(Left->GetLogCorner(), (TPoint{0, 10}));
  EXPECT_EQ(Left->GetLogBounds(), (TRect{0, 10, 30, 30}));
  EXPECT_EQ(Nested->GetOrigin(), (TPoint{-5, -5}));
  EXPECT_EQ(Nested->SelfToParent({0, 0}), (TPoint{35, 40}));
  EXPECT_EQ(Nested->ParentToSelf({35, 40}), (TPoint{0, 0}));
  EXPECT_EQ(Nested->SelfToGlobal({0, 0}), (TPoint{35, 40}));
  EXPECT_EQ(Root.PhysToLog({0, 0}), (TPoint{20, 0}));
  EXPECT_EQ(Root.LogToPhys({20, 0}), (TPoint{0, 0}));

  TPoint P{20, 10}; // inside both boxes: the one made first wins
  EXPECT_EQ(Root.GetImageAt(P), Left);
  EXPECT_EQ(P, (TPoint{20, 0}));
  P = {0, 10}; // a child's corner belongs to it
  EXPECT_EQ(Root.GetImageAt(P), Left);
  EXPECT_EQ(P, (TPoint{0, 0}));
  P = {30, 29}; // right edge of Left, inside Over
  EXPECT_EQ(Root.GetImageAt(P), Over);
  EXPECT_EQ(P, (TPoint{10, 19}));
  P = {49, 30}; // bottom edge of both, outside every child
  EXPECT_EQ(Root.GetImageAt(P), &Root);
  EXPECT_EQ(P, (TPoint{49, 30}));
  P = {50, 45}; // Nested's corner is at (50, 35): its logical (0, 0), physical (-5, -5)
  EXPECT_EQ(Root.GetImageAt(P), Nested);
  EXPECT_EQ(P, (TPoint{0, 10}));
  for (TPoint Out : {TPoint{-1, 5}, TPoint{5, -1}, TPoint{70, 5}, TPoint{5, 50}}) {
    EXPECT_EQ(Root.GetImageAt(Out), nullptr);
  }
}

TEST(CompositeImage, DisplayReplaysChildrenFirstWithOffsetsAndState) {
  TCompositeImage Root;
  Root.GetPen().Color = 0x0000FF;
  Root.MoveTo(-10, 0);
  Root.LineTo(10, 0);
  Root.GetPen().Mode = TPenMode::pmNop;
  Root.LineTo(10, 20);
  auto* Child = new TCompositeImage(&Root);
  Child->GetBrush().Color = 0x00FF00;
  Child->Rectangle(0, 0, 4, 4);
  Child->GetFont().Color = 0x123456;
  Child->TextOut(1, 1, "x");
  Child->TextRect({0, 0, 4, 4}, 1, 2, "y");
  Child->SetPixel(3, 3, 0xABCDEF);
  Child->FloodFill(2, 2, 0, TFillStyle::fsBorder);
  Child->Finish();
  Child->SetPosition({5, 5});
  Root.Finish();

  TLogCanvas Canvas;
  Canvas.GetPen().Color = 0x777777;
  Canvas.MoveTo(1, 2);
  Root.Display(Canvas, {100, 200});
  const std::vector<std::string> Expected = {
      "rect 115,205,119,209 00FF00",
      "text 116,206 x 123456",
      "clipped 116,207 [115,205,119,209] y 123456",
      "pixel 118,208 ABCDEF",
      "fill 117,207",
      "line 100,200-120,200",
      "line 120,200-120,220 nop",
  };
  EXPECT_EQ(Canvas.Log, Expected);
  // The target's own state is back.
  EXPECT_EQ(Canvas.GetPen().Color, 0x777777u);
  EXPECT_EQ(Canvas.GetPenPos(), (TPoint{1, 2}));

  // Replaying a window onto the picture leaves out a child wholly outside
  // it, keeps one it touches, and always replays the parent's own drawing.
  for (const auto& [Visible, ChildShown] :
       {std::pair{TRect{100, 200, 115, 230}, false}, std::pair{TRect{118, 208, 130, 230}, true},
        std::pair{TRect{115, 200, 100, 205}, false}}) {
    TLogCanvas Window;
    Root.Display(Window, {100, 200}, Visible);
    EXPECT_EQ(Window.Has("rect 115,205,119,209 00FF00"), ChildShown);
    EXPECT_TRUE(Window.Has("line 100,200-120,200"));
  }

  TCompositeImage Unfinished;
  EXPECT_THROW(Unfinished.Display(Canvas, {}), Exception);
  EXPECT_THROW(Unfinished.Display(Canvas, {}, {0, 0, 10, 10}), Exception);
}

TEST(CompositeImage, OwnershipAndDestroyListeners) {
  TDestroyCounter RootHeard, ChildHeard, GrandHeard, Removed;
  auto* Root = new TCompositeImage;
  auto* Child = new TCompositeImage(Root);
  auto* Grand = new TCompositeImage(Child);
  auto* Gone = new TCompositeImage(Root);
  Root->AddDestroyListener(&RootHeard);
  Child->AddDestroyListener(&ChildHeard);
  Grand->AddDestroyListener(&GrandHeard);
  Child->AddDestroyListener(&Removed);
  Child->RemoveDestroyListener(&Removed);

  delete Gone; // a child freed early leaves its parent
  EXPECT_EQ(Root->GetComponentCount(), 1);
  EXPECT_EQ(Root->GetComponents(0), Child);

  delete Root;
  EXPECT_EQ(RootHeard.Count, 1);
  EXPECT_EQ(ChildHeard.Count, 1);
  EXPECT_EQ(GrandHeard.Count, 1);
  EXPECT_EQ(Removed.Count, 0);
  EXPECT_EQ(ChildHeard.Last, static_cast<TObject*>(Child));
}

TEST(DrawingHelpers, VectorLengthRoundsHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.6), -3);
  TPoint V{3, 4};
  VectorSetLength(V, 7); // 4.2, 5.6
  EXPECT_EQ(V, (TPoint{4, 6}));
  V = {3, 0};
  VectorSetLength(V, 2.5f); // exactly 2.5: to the even 2
  EXPECT_EQ(V, (TPoint{2, 0}));
  V = {1, 1}; // the length itself is rounded first: 1.41 -> 1
  VectorSetLength(V, 3);
  EXPECT_EQ(V, (TPoint{3, 3}));
  V = {0, 0};
  VectorSetLength(V, 5);
  EXPECT_EQ(V, (TPoint{0, 0}));
}

TEST(DrawingHelpers, LinesAndArrowHeads) {
  TLogCanvas C;
  C.GetPen().Color = 0x00AA00;
  C.MoveTo(10, 10);
  RelMove(C, 5, -5);
  RelLine(C, 0, 10);
  LineInclusive(C, 20, 15);
  RelLineInclusive(C, -20, 0);
  C.GetPen().Style = TPenStyle::psClear;
  LineInclusive(C, 0, 0);
  DrawEndTriangle(C, {0, 0}, {0, 15}, 7, 3);
  DrawEndTriangle(C, {0, 0}, {30, 0});
  DrawEndTriangle(C, {4, 4}, {4, 4});
  const std::vector<std::string> Expected = {
      "line 15,5-15,15",       "line 15,15-20,15",        "pixel 20,15 00AA00",
      "line 20,15-0,15",       "pixel 0,15 00AA00",       "line 0,15-0,0",
      "polygon -3,8 3,8 0,15", "polygon 15,7 15,-7 30,0", "polygon 4,4 4,4 4,4",
  };
  EXPECT_EQ(C.Log, Expected);
}

TEST(DrawingHelpers, SavedStateTextWidthAndWorkingDir) {
  TLogCanvas C;
  C.GetFont().Color = 0x112233;
  C.GetBrush() = {0x445566, TBrushStyle::bsClear};
  auto Font = SaveFont(C);
  auto Brush = SaveBrush(C);
  C.GetFont().Color = 0;
  C.GetFont().Height = 30;
  C.GetBrush().Style = TBrushStyle::bsSolid;
  RestoreFont(C, std::move(Font));
  RestoreBrush(C, std::move(Brush));
  EXPECT_EQ(C.GetFont().Color, 0x112233u);
  EXPECT_EQ(C.GetFont().Height, 16);
  EXPECT_EQ(C.GetBrush().Style, TBrushStyle::bsClear);

  TStringList Lines;
  EXPECT_EQ(GetStringsWidth(Lines, C), 0);
  Lines.SetLines({"ab", "абвгд", ""});
  EXPECT_EQ(GetStringsWidth(Lines, C), 40); // characters, not bytes

  EXPECT_FALSE(GetWorkingDir().empty()); // the current folder while none is kept
  SetWorkingDir("/some/where");
  EXPECT_EQ(GetWorkingDir(), "/some/where");
  SetWorkingDir("");
}
