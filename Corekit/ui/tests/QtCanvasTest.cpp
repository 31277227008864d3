#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/QtBitmap.h"

#include "Corekit/VisualUtils.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Red = 0xFFFF0000;

QImage Paint(int W, int H, double Scale, const std::function<void(TCanvas&)>& Draw) {
  QImage Image(W, H, QImage::Format_ARGB32);
  Image.fill(White);
  QPainter Painter(&Image);
  Painter.scale(Scale, Scale);
  TQtCanvas Canvas(Painter);
  Draw(Canvas);
  return Image;
}

} // namespace

TEST(QtCanvas, BoxesAndAxisLinesKeepTheRasterRulesAndScaleWhole) {
  auto Draw = [](TCanvas& C) {
    C.GetPen().Color = 0x000000;
    C.GetBrush().Color = RGBColor(255, 0, 0);
    C.Rectangle(2, 2, 6, 5);
    C.MoveTo(0, 8);
    C.LineTo(5, 8);
    C.MoveTo(9, 8);
    C.LineTo(9, 3);
  };
  const QImage One = Paint(12, 12, 1, Draw);
  EXPECT_EQ(One.pixel(2, 2), Black);
  EXPECT_EQ(One.pixel(5, 4), Black) << "the outline is the box's outermost ring";
  EXPECT_EQ(One.pixel(3, 3), Red);
  EXPECT_EQ(One.pixel(6, 4), White) << "right edge excluded";
  EXPECT_EQ(One.pixel(5, 5), White) << "bottom edge excluded";
  EXPECT_EQ(One.pixel(0, 8), Black);
  EXPECT_EQ(One.pixel(4, 8), Black);
  EXPECT_EQ(One.pixel(5, 8), White) << "a line ends before its end point";
  EXPECT_EQ(One.pixel(9, 8), Black);
  EXPECT_EQ(One.pixel(9, 4), Black);
  EXPECT_EQ(One.pixel(9, 3), White) << "also drawn upwards";

  // At twice the size every unit is a sharp 2 x 2 block.
  const QImage Two = Paint(24, 24, 2, Draw);
  for (int Y = 0; Y < 24; ++Y)
    for (int X = 0; X < 24; ++X)
      ASSERT_EQ(Two.pixel(X, Y), One.pixel(X / 2, Y / 2)) << X << "," << Y;
}

TEST(QtCanvas, InvisiblePensAndClearBrushesDrawNothing) {
  const QImage Image = Paint(20, 20, 1, [](TCanvas& C) {
    C.GetPen().Mode = TPenMode::pmNop;
    C.GetBrush().Style = TBrushStyle::bsClear;
    C.Rectangle(1, 1, 15, 15);
    C.Ellipse(1, 1, 15, 15);
    C.Polygon({{1, 1}, {15, 1}, {8, 15}});
    C.MoveTo(0, 0);
    C.LineTo(19, 19);
    C.GetPen().Mode = TPenMode::pmCopy;
    C.GetPen().Style = TPenStyle::psClear;
    C.TextOut(2, 2, "");
  });
  for (int Y = 0; Y < 20; ++Y)
    for (int X = 0; X < 20; ++X)
      ASSERT_EQ(Image.pixel(X, Y), White) << X << "," << Y;
}

TEST(QtCanvas, CompositeImagesReplayChildrenFirstAtTheirPlaces) {
  TCompositeImage Root;
  Root.GetBrush().Color = RGBColor(255, 0, 0);
  auto* Child = new TCompositeImage(&Root);
  Child->GetBrush().Color = 0x000000;
  Child->Rectangle(0, 0, 6, 6);
  Child->Finish();
  Child->SetPosition({4, 4});
  Root.GetPen().Style = TPenStyle::psClear;
  Root.Rectangle(0, 0, 6, 6);
  Root.Finish();
  const QImage Image = Paint(12, 12, 1, [&](TCanvas& C) { Root.Display(C, {1, 1}); });
  EXPECT_EQ(Image.pixel(1, 1), Red);
  EXPECT_EQ(Image.pixel(5, 5), Red) << "the parent's own drawing lies on top of its child";
  EXPECT_EQ(Image.pixel(7, 7), Black);
  EXPECT_EQ(Image.pixel(10, 10), Black);
  EXPECT_EQ(Image.pixel(11, 11), White);
}

TEST(QtCanvas, TextFitsTheBoxTheQtMetricsMeasure) {
  TQtTextMetrics Metrics;
  ITextMetrics* Before = SetTextMetrics(&Metrics);
  TFont Font;
  EXPECT_GT(Metrics.TextWidth(Font, "WWWW"), Metrics.TextWidth(Font, "iiii"));
  EXPECT_GT(Metrics.LineHeight(Font), 8);
  const std::string Text = "Ввод Ж, Щ";
  const int W = Metrics.TextWidth(Font, Text), H = Metrics.LineHeight(Font);
  const QImage Image = Paint(W + 20, H + 20, 1, [&](TCanvas& C) {
    C.GetBrush().Style = TBrushStyle::bsClear;
    C.TextOut(10, 10, Text);
  });
  int Inked = 0;
  for (int Y = 0; Y < Image.height(); ++Y)
    for (int X = 0; X < Image.width(); ++X) {
      if (qGray(Image.pixel(X, Y)) > 200)
        continue;
      ++Inked;
      EXPECT_TRUE(X >= 9 && X <= 10 + W && Y >= 10 && Y < 10 + H) << X << "," << Y;
    }
  EXPECT_GT(Inked, 20) << "the glyphs are drawn";
  SetTextMetrics(Before);
}

TEST(QtBitmap, TransparentColourBecomesAlphaZero) {
  TBitmap Bitmap(3, 2, RGBColor(1, 2, 3));
  Bitmap.SetPixel(1, 0, RGBColor(200, 100, 50));
  QImage Opaque = BitmapToQImage(Bitmap);
  ASSERT_EQ(Opaque.size(), QSize(3, 2));
  EXPECT_EQ(Opaque.pixel(0, 0), qRgb(1, 2, 3));
  EXPECT_EQ(Opaque.pixel(1, 0), qRgb(200, 100, 50));
  Bitmap.SetTransparent(true);
  Bitmap.SetTransparentColor(RGBColor(1, 2, 3));
  QImage See = BitmapToQImage(Bitmap);
  EXPECT_EQ(qAlpha(See.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(See.pixel(2, 1)), 0);
  EXPECT_EQ(See.pixel(1, 0), qRgb(200, 100, 50));
  EXPECT_TRUE(BitmapToQImage(TBitmap(0, 0)).isNull());
}
