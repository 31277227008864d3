#include "Corekit/SvgCanvas.h"
#include "Corekit/VisualUtils.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

int CountOf(const std::string& S, const std::string& Part) {
  int N = 0;
  for (size_t At = S.find(Part); At != std::string::npos; At = S.find(Part, At + 1))
    ++N;
  return N;
}

} // namespace

TEST(SvgCanvas, TextIsEscapedAndKeptValid) {
  EXPECT_EQ(EscapeXml("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
  EXPECT_EQ(EscapeXml("да"), "да");
  EXPECT_EQ(EscapeXml("x\x01y\tz"), "xy\tz");
  // A lone continuation byte, a cut sequence and an overlong form.
  EXPECT_EQ(EscapeXml("\x80"), "\xEF\xBF\xBD");
  EXPECT_EQ(EscapeXml("a\xD0"), "a\xEF\xBF\xBD");
  EXPECT_EQ(EscapeXml("\xE0\x80\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(SvgColor(RGBColor(0x12, 0xAB, 0xEF)), "#12ABEF");
}

TEST(SvgCanvas, ShapesFollowPenAndBrush) {
  TSvgCanvas C(10, 20);
  C.GetPen().Color = RGBColor(255, 0, 0);
  C.GetBrush().Color = RGBColor(0, 0, 255);
  C.Rectangle(0, 0, 10, 4);
  C.MoveTo(0, 0);
  C.LineTo(5, 0);
  C.Ellipse(0, 0, 100, 40);
  C.Polygon({{0, 0}, {4, 0}, {2, 3}});
  C.SetPixel(3, 4, 0x00FF00);
  C.FloodFill(1, 1, 0, TFillStyle::fsSurface);
  const std::string& B = C.GetBody();
  EXPECT_NE(B.find("<rect x=\"0.5\" y=\"0.5\" width=\"9\" height=\"3\" fill=\"#0000FF\" "
                   "stroke=\"#FF0000\""),
            std::string::npos);
  EXPECT_NE(B.find("<line x1=\"0.5\" y1=\"0.5\" x2=\"5.5\" y2=\"0.5\" stroke=\"#FF0000\""),
            std::string::npos);
  EXPECT_NE(B.find("<ellipse cx=\"50\" cy=\"20\" rx=\"49.5\" ry=\"19.5\""), std::string::npos);
  EXPECT_NE(B.find("points=\"0.5,0.5 4.5,0.5 2.5,3.5\" fill-rule=\"nonzero\""), std::string::npos);
  EXPECT_NE(B.find("<rect x=\"3\" y=\"4\" width=\"1\" height=\"1\" fill=\"#00FF00\"/>"),
            std::string::npos);
  EXPECT_EQ(CountOf(B, "\n"), 5); // the flood fill wrote nothing

  TSvgCanvas D(10, 10);
  D.GetPen().Mode = TPenMode::pmNop;
  D.MoveTo(0, 0);
  D.LineTo(5, 5);
  D.Rectangle(0, 0, 5, 5);
  EXPECT_EQ(D.GetBody(), "");
  D.GetPen() = {0, TPenStyle::psClear, TPenMode::pmCopy};
  D.GetBrush().Style = TBrushStyle::bsClear;
  D.LineTo(9, 9);
  D.Rectangle(0, 0, 5, 5);
  EXPECT_EQ(D.GetBody(), "<rect x=\"0.5\" y=\"0.5\" width=\"4\" height=\"4\" fill=\"none\"/>\n");
}

TEST(SvgCanvas, TextArcAndClip) {
  TSvgCanvas C(100, 100);
  C.GetFont().Color = RGBColor(1, 2, 3);
  C.GetBrush().Style = TBrushStyle::bsClear;
  C.TextOut(5, 10, "a<b");
  C.GetBrush() = {0xFFFFFF, TBrushStyle::bsSolid};
  C.TextRect({0, 0, 20, 16}, 2, 0, "clipped");
  C.Arc(0, 0, 22, 22, 20, 11, 11, 0); // a quarter: right to top, counter-clockwise
  const std::string& B = C.GetBody();
  EXPECT_NE(B.find("fill=\"#010203\" text-anchor=\"middle\" textLength=\"24\" "
                   "lengthAdjust=\"spacingAndGlyphs\" xml:space=\"preserve\">a&lt;b</text>"),
            std::string::npos);
  EXPECT_EQ(CountOf(B, "<clipPath id=\"clip1\"><rect x=\"0\" y=\"0\" width=\"20\" height=\"16\"/>"),
            1);
  EXPECT_EQ(CountOf(B, "clip-path=\"url(#clip1)\""), 2); // background and text
  EXPECT_NE(B.find("<path d=\"M 21.5 11 A 10.5 10.5 0 0 0 11 0.5\""), std::string::npos);
}

// Viewers that ignore textLength (most Linux image viewers) draw the text at
// its font size in the font they find: it must fit the measured box anyway,
// centred on it, with a font list that ends in a generic family.
TEST(SvgCanvas, TextFitsItsBoxWithoutTextLength) {
  TSvgCanvas C(200, 100);
  C.GetBrush().Style = TBrushStyle::bsClear;
  C.GetFont().Height = 16;
  C.TextOut(10, 0, "C=0"); // 24 pixels measured
  const std::string& B = C.GetBody();
  EXPECT_NE(B.find("<text x=\"22\" "), std::string::npos) << B;
  EXPECT_NE(B.find("font-family=\"Sans, DejaVu Sans, Arial, sans-serif\""), std::string::npos);
  const size_t At = B.find("font-size=\"");
  ASSERT_NE(At, std::string::npos);
  const double Size = std::stod(B.substr(At + 11));
  // "C=0" is about 2.2 em wide in DejaVu Sans.
  EXPECT_LE(Size * 2.17, 24.0);
  EXPECT_GE(Size, 9.0) << "still readable";
}

TEST(SvgCanvas, ExportOfACompositeImage) {
  TCompositeImage Root;
  Root.MoveTo(-10, 0);
  Root.LineTo(10, 0);
  auto* Child = new TCompositeImage(&Root);
  Child->Rectangle(0, 0, 5, 5);
  Child->Finish();
  Child->SetPosition({-10, 5});
  Root.Finish();
  std::string Svg = CompositeImageToSvg(Root);
  EXPECT_EQ(Svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
  EXPECT_NE(Svg.find("width=\"21\" height=\"10\" viewBox=\"0 0 21 10\""), std::string::npos);
  // White first, then the child, then the parent's line at logical x 0.
  size_t Background = Svg.find("fill=\"#FFFFFF\"/>");
  size_t Box = Svg.find("<rect x=\"0.5\" y=\"5.5\"");
  size_t Line = Svg.find("<line x1=\"0.5\" y1=\"0.5\" x2=\"20.5\"");
  EXPECT_LT(Background, Box);
  EXPECT_LT(Box, Line);
  EXPECT_NE(Line, std::string::npos);
  EXPECT_EQ(Svg.substr(Svg.size() - 7), "</svg>\n");

  TCompositeImage Unfinished;
  EXPECT_THROW(CompositeImageToSvg(Unfinished), Exception);
}
