#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_MarkerPainter.h"
#include "Flowmodel/Flowmodel_Describe.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// Input, a counting loop with a statement in its body, a loop with the
// condition first and a branch: the shapes whose frames went astray.
struct TShapes : TEditorWindow {
  TShapes() : TEditorWindow(QSize(700, 700)) {
    Input = AddBlock(Body(), TIOAlgBlock::Class, "Ввод N");
    For = AddBlock(Body(), TForAlgBlock::Class, "I=1,N,1");
    Inner = AddBlock(static_cast<TContainerAlgBlock*>(For)->GetBody(), TBasicAlgBlock::Class,
                     "S=S+I*I");
    While = AddBlock(Body(), TWhileAlgBlock::Class, "S<100");
    Branch = AddBlock(Body(), TIfAlgBlock::Class, "A<B");
    QApplication::processEvents();
  }
  TAlgBlock *Input, *For, *Inner, *While, *Branch;
};

bool IsColoured(QColor C) {
  return std::max({C.red(), C.green(), C.blue()}) - std::min({C.red(), C.green(), C.blue()}) > 80;
}
// The chart's lines, smoothed where they slant.
bool IsDark(QColor C) {
  return !IsColoured(C) && std::max({C.red(), C.green(), C.blue()}) < 170;
}

// The pixels that belong to marks, whatever their colour.
QImage MarkMask(const QImage& I) {
  QImage M(I.size(), QImage::Format_Mono);
  M.fill(0);
  for (int Y = 0; Y < I.height(); ++Y)
    for (int X = 0; X < I.width(); ++X)
      if (IsColoured(I.pixelColor(X, Y)))
        M.setPixel(X, Y, 1);
  return M;
}

} // namespace

// Each frame hugs the block's own shape on both sides, a few pixels out:
// the parallelogram of input, the hexagon of the counting loop's header and
// the diamond of a condition, not the box of the whole loop and not shifted
// to where a rectangle would be.
TEST(MarkerPainter, FramesGoAroundEachBlocksOwnShape) {
  TShapes S;
  TAlgEditor& E = *S.Editor;
  if (const char* Dir = std::getenv("DESKBAY_SHOT_DIR")) {
    TChartMarkers M;
    M.Next = S.Input;
    M.Error = S.Inner;
    M.Stopped = S.While;
    M.Origin = S.For;
    M.Breakpoints = {{S.Branch, true}, {S.Input, false}};
    E.SetZoom(100);
    E.SetMarkers(M);
    E.grab().save(QString(Dir) + "/access-markers.png");
  }
  for (int Zoom : {100, 200}) {
    E.SetZoom(Zoom);
    for (TAlgBlock* Block : {S.Input, S.For, S.Inner, S.While, S.Branch}) {
      E.SetMarkers({});
      E.MakeVisible(Block);
      const QPolygonF Outline = BlockClientOutline(E, Block);
      ASSERT_GE(Outline.size(), 4);
      // The outline's corners are the shape's corners in the picture.
      const QImage Plain = E.grab().toImage();
      for (const QPointF P : Outline) {
        bool Dark = false;
        for (int DY = -1; DY <= 1; ++DY)
          for (int DX = -1; DX <= 1; ++DX)
            Dark = Dark || IsDark(Plain.pixelColor(int(P.x()) + DX, int(P.y()) + DY));
        EXPECT_TRUE(Dark) << BlockKindName(Block) << " corner " << P.x() << ", " << P.y() << " at "
                          << Zoom;
      }
      TChartMarkers M;
      M.Next = Block; // the solid frame; its arrow lies beyond the frame
      E.SetMarkers(M);
      const QImage I = E.grab().toImage();
      // A row a little above the shape's middle, clear of the loops'
      // arrows at the tips: the frame runs just outside both sides.
      const double Y = Outline.boundingRect().center().y() - 6 * Zoom / 100.0;
      std::vector<double> Cuts;
      for (int K = 0; K < Outline.size(); ++K) {
        const QPointF A = Outline[K], B = Outline[(K + 1) % Outline.size()];
        if ((A.y() - Y) * (B.y() - Y) < 0)
          Cuts.push_back(A.x() + (B.x() - A.x()) * (Y - A.y()) / (B.y() - A.y()));
      }
      ASSERT_EQ(Cuts.size(), 2u) << BlockKindName(Block);
      const int Left = int(std::min(Cuts[0], Cuts[1])), Right = int(std::max(Cuts[0], Cuts[1]));
      auto NearestMark = [&](int From, int Step) {
        for (int X = From, N = 0; N < 40 && X >= 0 && X < I.width(); X += Step, ++N)
          if (IsColoured(I.pixelColor(X, int(Y))))
            return N;
        return 1000;
      };
      const int Limit = 2 + 4 * Zoom / 100;
      EXPECT_LE(NearestMark(Left, -1), Limit) << BlockKindName(Block) << " left at " << Zoom;
      EXPECT_LE(NearestMark(Right, 1), Limit) << BlockKindName(Block) << " right at " << Zoom;
      for (int X = Left + 3; X < Right - 3; ++X)
        ASSERT_FALSE(IsColoured(I.pixelColor(X, int(Y))))
            << BlockKindName(Block) << " inside at " << X << ", zoom " << Zoom;
    }
  }
}

// Told apart without colour: the same block under each mark leaves a
// different pattern of marked pixels, and only the next block's frame is
// one unbroken line.
TEST(MarkerPainter, EachMarkCarriesASecondCueBesidesColour) {
  TShapes S;
  TAlgEditor& E = *S.Editor;
  std::vector<QImage> Masks;
  std::vector<int> Runs;
  for (int Kind = 0; Kind < 4; ++Kind) {
    TChartMarkers M;
    (Kind == 0 ? M.Next : Kind == 1 ? M.Error : Kind == 2 ? M.Stopped : M.Origin) = S.Inner;
    for (bool High : {false, true}) {
      if (High)
        M.Colors = TMarkerColors::HighContrast();
      E.SetMarkers(M);
      const QImage I = E.grab().toImage();
      if (High)
        continue; // the same pattern in other colours
      Masks.push_back(MarkMask(I));
      // Runs of marked pixels along the frame's top edge.
      const QRectF R = BlockClientOutline(E, S.Inner).boundingRect();
      int Top = int(R.top()) - 1;
      while (Top > R.top() - 8 && !IsColoured(I.pixelColor(int(R.center().x()), Top)) &&
             !IsColoured(I.pixelColor(int(R.center().x()) + 3, Top)))
        --Top;
      int N = 0;
      bool In = false;
      for (int X = int(R.left()) + 6; X < int(R.right()) - 12; ++X) {
        const bool C = IsColoured(I.pixelColor(X, Top));
        N += C && !In;
        In = C;
      }
      Runs.push_back(N);
    }
  }
  for (size_t A = 0; A < Masks.size(); ++A)
    for (size_t B = A + 1; B < Masks.size(); ++B)
      EXPECT_NE(Masks[A], Masks[B]) << A << " and " << B << " look alike without colour";
  EXPECT_EQ(Runs[0], 1) << "the next block's frame is solid";
  for (size_t K = 1; K < Runs.size(); ++K)
    EXPECT_GT(Runs[K], 2) << "mark " << K << " is broken up";
}
