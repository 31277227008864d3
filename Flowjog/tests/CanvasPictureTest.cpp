#include "Flowjog/Flowjog_CanvasPicture.h"

#include "Flowrun/Flowrun_Canvas.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

constexpr TColor White = RGBColor(255, 255, 255);

struct TDrawnCanvas {
  TDrawnCanvas() {
    Canvas.ExecLine("тчк(1,2),4"); // the pixel (9, 162), on a grid crossing
    Canvas.ExecLine("отр(5,15)-(5,18),1");
  }
  TAlgMachine Machine;
  TAlgCanvas& Canvas = Machine.GetCanvas();
  TBitmap Target{181, 181};
};

} // namespace

TEST(CanvasPicture, WithoutGridThePictureLiesOnWhite) {
  TDrawnCanvas D;
  ComposeCanvasPicture(D.Target, D.Canvas, false);
  EXPECT_EQ(D.Target.GetPixel(0, 0), White) << "the background is transparent";
  EXPECT_EQ(D.Target.GetPixel(9, 5), White);
  EXPECT_EQ(D.Target.GetPixel(9, 162), TAlgCanvas::Palette[4]);
  EXPECT_EQ(D.Target.GetPixel(45, 27), TAlgCanvas::Palette[1]);
  EXPECT_EQ(D.Target.GetPixel(180, 180), White);
}

TEST(CanvasPicture, GridLinesAtMultiplesOfTheScaleUnderThePicture) {
  TDrawnCanvas D;
  ComposeCanvasPicture(D.Target, D.Canvas, true);
  for (int I = 0; I < 20; ++I) {
    EXPECT_EQ(D.Target.GetPixel(I * 9, 4), clMedGray) << "vertical line " << I;
    EXPECT_EQ(D.Target.GetPixel(4, I * 9), clMedGray) << "horizontal line " << I;
  }
  EXPECT_EQ(D.Target.GetPixel(9, 180), clMedGray) << "vertical lines reach the bottom row";
  EXPECT_EQ(D.Target.GetPixel(180, 9), clMedGray) << "horizontal lines reach the last column";
  EXPECT_EQ(D.Target.GetPixel(180, 4), White) << "no line at the count times the scale";
  EXPECT_EQ(D.Target.GetPixel(4, 180), White);
  EXPECT_EQ(D.Target.GetPixel(5, 5), White) << "between the lines";
  EXPECT_EQ(D.Target.GetPixel(9, 162), TAlgCanvas::Palette[4]) << "the picture covers the grid";
  EXPECT_EQ(D.Target.GetPixel(45, 27), TAlgCanvas::Palette[1]);

  // Composing again without the grid leaves nothing of it behind.
  ComposeCanvasPicture(D.Target, D.Canvas, false);
  EXPECT_EQ(D.Target.GetPixel(9, 4), White);
}

TEST(CanvasPicture, LabelsAroundThePaintBox) {
  // Six pixels per character; the debugger's paint box: 181 x 181 at left 17.
  const auto Labels = CanvasLabels(20, 20, 9, {17, 0, 198, 181}, [](const std::string& Text) {
    return 6 * static_cast<int>(Text.size());
  });
  const std::vector<std::pair<std::string, TPoint>> Expected = {
      {"20", {2, 0}}, {"10", {2, 90}}, {"0", {8, 183}}, {"10", {95, 183}}, {"20", {186, 183}}};
  for (size_t I = 0; I < Labels.size(); ++I) {
    EXPECT_EQ(Labels[I].Text, Expected[I].first) << I;
    EXPECT_EQ(Labels[I].Pos, Expected[I].second) << I;
    EXPECT_EQ(Labels[I].Width, 6 * static_cast<int>(Labels[I].Text.size()));
  }
  // Odd sizes: halves truncate.
  const auto Odd = CanvasLabels(7, 5, 10, {20, 10, 91, 61}, [](const std::string&) { return 4; });
  EXPECT_EQ(Odd[1].Text, "2");
  EXPECT_EQ(Odd[1].Pos, (TPoint{13, 30}));
  EXPECT_EQ(Odd[3].Text, "3");
  EXPECT_EQ(Odd[3].Pos, (TPoint{46, 63}));
}

TEST(CanvasPicture, MagnificationIsAWholeNumberAtLeastOne) {
  EXPECT_EQ(CanvasMagnification(181, 181), 1);
  EXPECT_EQ(CanvasMagnification(100, 181), 1) << "never smaller than the picture";
  EXPECT_EQ(CanvasMagnification(361, 181), 1);
  EXPECT_EQ(CanvasMagnification(362, 181), 2);
  EXPECT_EQ(CanvasMagnification(1000, 181), 5);
  EXPECT_EQ(CanvasMagnification(1000, 0), 1);
}
