#include "Corekit/RasterBitmap.h"
#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace Deskbay;

namespace {

constexpr TColor White = 0xFFFFFF, Pen = 0x0000FF, Brush = 0x00FF00, Other = 0xFF0000;
constexpr int32_t Min32 = std::numeric_limits<int32_t>::min();
constexpr int32_t Max32 = std::numeric_limits<int32_t>::max();

// A white bitmap with a red pen and a green brush.
struct TPicture {
  explicit TPicture(int W = 21, int H = 21) : Bitmap(W, H, White), C(Bitmap.GetCanvas()) {
    C.GetPen().Color = Pen;
    C.GetBrush().Color = Brush;
  }
  TColor At(int X, int Y) const { return Bitmap.GetPixel(X, Y); }
  int Count(TColor Color) const {
    int N = 0;
    for (int Y = 0; Y < Bitmap.GetHeight(); ++Y)
      for (int X = 0; X < Bitmap.GetWidth(); ++X)
        N += At(X, Y) == Color;
    return N;
  }
  TBitmap Bitmap;
  TCanvas& C;
};

} // namespace

TEST(RasterBitmap, PixelsInsideAndOutside) {
  TBitmap B(3, 2, 0x123456);
  EXPECT_EQ(B.GetPixel(2, 1), 0x123456u);
  B.SetPixel(1, 1, 0xFF00AA33); // only the colour bits are kept
  EXPECT_EQ(B.GetPixel(1, 1), 0xAA33u);
  B.SetPixel(-1, 0, 0);
  B.SetPixel(3, 0, 0);
  B.SetPixel(0, 2, 0);
  EXPECT_EQ(B.GetPixel(-1, 0), TBitmap::NoPixel);
  EXPECT_EQ(B.GetPixel(0, 2), TBitmap::NoPixel);
  EXPECT_EQ(B.GetScanLine(1)[1], 0xAA33u);
  EXPECT_THROW(B.SetSize(-1, 5), EAssertionFailed);
  EXPECT_THROW(B.SetSize(TBitmap::MaxSide + 1, 1), EAssertionFailed);
  EXPECT_EQ(B.GetWidth(), 3) << "a refused size changes nothing";
}

TEST(RasterBitmap, LinesLeaveOutTheirEndPixel) {
  TPicture P;
  P.C.MoveTo(1, 1);
  P.C.LineTo(5, 1);
  EXPECT_EQ(P.At(1, 1), Pen);
  EXPECT_EQ(P.At(4, 1), Pen);
  EXPECT_EQ(P.At(5, 1), White);
  EXPECT_EQ(P.C.GetPenPos(), (TPoint{5, 1}));
  EXPECT_EQ(P.Count(Pen), 4);

  // A steep line: one pixel per row, the column rounded off the ideal line.
  TPicture S;
  S.C.MoveTo(10, 10);
  S.C.LineTo(12, 15);
  for (TPoint Q : {TPoint{10, 10}, {10, 11}, {11, 12}, {11, 13}, {12, 14}})
    EXPECT_EQ(S.At(Q.X, Q.Y), Pen) << Q.X << "," << Q.Y;
  EXPECT_EQ(S.Count(Pen), 5);

  TPicture Dot;
  Dot.C.MoveTo(3, 3);
  Dot.C.LineTo(3, 3);
  EXPECT_EQ(Dot.Count(Pen), 0);

  for (auto Set : {+[](TPen& Q) { Q.Style = TPenStyle::psClear; },
                   +[](TPen& Q) { Q.Mode = TPenMode::pmNop; }}) {
    TPicture N;
    Set(N.C.GetPen());
    N.C.MoveTo(0, 0);
    N.C.LineTo(20, 20);
    EXPECT_EQ(N.Count(White), 21 * 21);
  }
}

TEST(RasterBitmap, FarAwayLinesAreClipped) {
  TPicture P;
  P.C.MoveTo(-100000, 5);
  P.C.LineTo(100000, 5);
  EXPECT_EQ(P.Count(Pen), 21);
  // The whole 32-bit range, corner to corner: exactly the main diagonal.
  TPicture D;
  D.C.MoveTo(Min32, Min32);
  D.C.LineTo(Max32, Max32);
  EXPECT_EQ(D.Count(Pen), 21);
  EXPECT_EQ(D.At(7, 7), Pen);
  TPicture V;
  V.C.MoveTo(Max32, 3);
  V.C.LineTo(Min32, 3);
  EXPECT_EQ(V.Count(Pen), 21) << "leftwards as well";
}

// Every pixel of a line is the point of the ideal line rounded along the
// shorter axis (halves away from the start), the end pixel left out. The
// rule written out with 128-bit division, against the canvas, for lines
// short and long, inside, crossing and outside the bitmap.
TEST(RasterBitmap, EveryLineFollowsTheRoundingRule) {
  uint64_t Seed = 12345;
  auto Next = [&Seed](int Low, int High) {
    Seed = Seed * 6364136223846793005ull + 1442695040888963407ull;
    return int(Low + int64_t((Seed >> 16) % uint64_t(int64_t(High) - Low + 1)));
  };
  int Crossing = 0; // long lines that cross the bitmap
  for (int Case = 0; Case < 2000; ++Case) {
    // Near, far (the run of inside steps found from far away) and beyond
    // 2^30 (the 128-bit way).
    const int Range = Case % 4 == 3 ? (Case % 8 == 3 ? 1 << 30 : 1 << 20) : 60;
    TPoint A{Next(-Range, Range), Next(-Range, Range)};
    // Long lines through a point of the bitmap, short ones anywhere near.
    const TPoint Through{Next(0, 20), Next(0, 20)};
    TPoint B = Case % 4 == 3 ? TPoint{2 * Through.X - A.X, 2 * Through.Y - A.Y}
                             : TPoint{Next(-Range, Range), Next(-Range, Range)};
    if (Case % 4 == 1) // wholly inside
      A = Through, B = {Next(0, 20), Next(0, 20)};
    TPicture P;
    P.C.MoveTo(A.X, A.Y);
    P.C.LineTo(B.X, B.Y);
    TBitmap Expected(P.Bitmap.GetWidth(), P.Bitmap.GetHeight(), White);
    const int64_t DX = int64_t(B.X) - A.X, DY = int64_t(B.Y) - A.Y;
    const bool XMajor = std::llabs(DX) >= std::llabs(DY);
    const int64_t N = std::llabs(XMajor ? DX : DY), M = std::llabs(XMajor ? DY : DX);
    const int64_t SMajor = (XMajor ? DX : DY) > 0 ? 1 : -1,
                  SMinor = (XMajor ? DY : DX) >= 0 ? 1 : -1;
    // Only the steps whose major coordinate falls inside the bitmap.
    const int64_t Extent = XMajor ? P.Bitmap.GetWidth() : P.Bitmap.GetHeight();
    for (int64_t Major = 0; Major < Extent; ++Major) {
      const int64_t I = (Major - (XMajor ? A.X : A.Y)) * SMajor;
      if (I < 0 || I >= N)
        continue;
      const int64_t Off = int64_t((2 * __int128(I) * M + N) / (2 * __int128(N)));
      const int64_t Minor = (XMajor ? A.Y : A.X) + SMinor * Off;
      const int64_t X = XMajor ? Major : Minor, Y = XMajor ? Minor : Major;
      if (X >= 0 && Y >= 0 && X < Expected.GetWidth() && Y < Expected.GetHeight())
        Expected.SetPixel(int(X), int(Y), Pen);
    }
    Crossing += Case % 4 == 3 && P.Count(Pen) > 0;
    ASSERT_TRUE(P.Bitmap.SamePixels(Expected)) << A.X << "," << A.Y << " - " << B.X << "," << B.Y;
  }
  EXPECT_GT(Crossing, 400);
}

TEST(RasterBitmap, RectangleBoxExcludesRightAndBottom) {
  TPicture P;
  P.C.Rectangle(5, 4, 1, 1); // corners in any order
  for (int X = 1; X <= 4; ++X) {
    EXPECT_EQ(P.At(X, 1), Pen);
    EXPECT_EQ(P.At(X, 3), Pen);
    EXPECT_EQ(P.At(X, 4), White);
  }
  EXPECT_EQ(P.At(1, 2), Pen);
  EXPECT_EQ(P.At(4, 2), Pen);
  EXPECT_EQ(P.At(2, 2), Brush);
  EXPECT_EQ(P.At(3, 2), Brush);
  EXPECT_EQ(P.At(5, 2), White);
  EXPECT_EQ(P.Count(Pen) + P.Count(Brush), 12);

  TPicture NoPen;
  NoPen.C.GetPen().Style = TPenStyle::psClear;
  NoPen.C.Rectangle(1, 1, 5, 4);
  EXPECT_EQ(NoPen.Count(Brush), 12) << "the fill takes the outline's place";

  TPicture NoBrush;
  NoBrush.C.GetBrush().Style = TBrushStyle::bsClear;
  NoBrush.C.Rectangle(1, 1, 5, 4);
  EXPECT_EQ(NoBrush.Count(Pen), 10);
  EXPECT_EQ(NoBrush.At(2, 2), White);

  TPicture Huge;
  Huge.C.Rectangle(Min32, Min32, Max32, Max32);
  EXPECT_EQ(Huge.Count(Brush), 21 * 21);
}

TEST(RasterBitmap, EllipseBoxGivesACircleAroundItsCentre) {
  TPicture P;
  const int R = 8;
  P.C.Ellipse(10 - R, 10 - R, 10 + R + 1, 10 + R + 1);
  for (TPoint Q : {TPoint{2, 10}, {18, 10}, {10, 2}, {10, 18}})
    EXPECT_EQ(P.At(Q.X, Q.Y), Pen) << Q.X << "," << Q.Y;
  for (TPoint Q : {TPoint{1, 10}, {19, 10}, {10, 1}, {10, 19}, {3, 3}})
    EXPECT_EQ(P.At(Q.X, Q.Y), White) << Q.X << "," << Q.Y;
  EXPECT_EQ(P.At(10, 10), Brush);
  for (int Y = 0; Y < 21; ++Y)
    for (int X = 0; X < 21; ++X) {
      const double D = std::hypot(X - 10, Y - 10);
      if (P.At(X, Y) == Pen) {
        EXPECT_TRUE(D <= R + 0.5 && D > R - 1.5) << X << "," << Y;
      }
      // Mirror images of each other in both axes.
      EXPECT_EQ(P.At(X, Y), P.At(20 - X, Y));
      EXPECT_EQ(P.At(X, Y), P.At(X, 20 - Y));
    }

  // An even-sided box is centred between pixels.
  TPicture E;
  E.C.Ellipse(0, 0, 6, 4);
  for (int Y = 0; Y < 4; ++Y)
    for (int X = 0; X < 6; ++X)
      EXPECT_EQ(E.At(X, Y), E.At(5 - X, 3 - Y));
  EXPECT_EQ(E.At(0, 1), Pen);
  EXPECT_EQ(E.At(6, 1), White);

  // A box far larger than the bitmap around it: only its inside shows.
  TPicture Huge;
  Huge.C.Ellipse(Min32, Min32, Max32, Max32);
  EXPECT_EQ(Huge.Count(Brush), 21 * 21);
  TPicture Off;
  Off.C.Ellipse(1000000, 1000000, 3000000, 2000000);
  EXPECT_EQ(Off.Count(White), 21 * 21);
}

TEST(RasterBitmap, PolygonFillsByWindingAndOutlinesEveryEdge) {
  TPicture Sq;
  Sq.C.Polygon({{2, 2}, {8, 2}, {8, 8}, {2, 8}});
  EXPECT_EQ(Sq.At(5, 5), Brush);
  for (TPoint Q : {TPoint{2, 2}, {8, 2}, {8, 8}, {2, 8}, {5, 2}, {8, 5}, {5, 8}, {2, 5}})
    EXPECT_EQ(Sq.At(Q.X, Q.Y), Pen) << Q.X << "," << Q.Y;
  EXPECT_EQ(Sq.At(9, 5), White);
  EXPECT_EQ(Sq.Count(Pen) + Sq.Count(Brush), 49);

  // A five-pointed star drawn in one stroke overlaps itself around the
  // centre: winding number 2 there, so it is filled.
  TPicture Star(101, 101);
  std::vector<TPoint> Points;
  for (int K = 0; K < 5; ++K) {
    const double A = M_PI / 2 + K * 4 * M_PI / 5;
    Points.push_back(
        {int(std::lround(50 + 45 * std::cos(A))), int(std::lround(50 - 45 * std::sin(A)))});
  }
  Star.C.Polygon(Points);
  EXPECT_EQ(Star.At(50, 50), Brush);
  EXPECT_EQ(Star.At(50, 20), Brush) << "a tip";
  EXPECT_EQ(Star.At(20, 20), White);
  EXPECT_EQ(Star.At(Points[0].X, Points[0].Y), Pen);

  // Vertices far outside: the visible part is exact and cheap.
  TPicture Far;
  Far.C.GetPen().Style = TPenStyle::psClear;
  Far.C.Polygon({{Min32, Min32}, {Max32, Min32}, {Max32, Max32}});
  EXPECT_EQ(Far.At(20, 0), Brush);
  EXPECT_EQ(Far.At(0, 20), White) << "below the diagonal";
  EXPECT_EQ(Far.At(10, 9), Brush);
  EXPECT_EQ(Far.At(9, 10), White);
}

TEST(RasterBitmap, ArcRunsCounterClockwiseOnTheScreen) {
  // Circle of radius 10 around (10, 10); from the right ray to the top ray.
  TPicture Q;
  Q.C.Arc(0, 0, 21, 21, 20, 10, 10, 0);
  EXPECT_EQ(Q.At(20, 10), Pen);
  EXPECT_EQ(Q.At(10, 0), Pen);
  EXPECT_EQ(Q.At(10, 10), White);
  int Count = 0;
  for (int Y = 0; Y < 21; ++Y)
    for (int X = 0; X < 21; ++X)
      if (Q.At(X, Y) == Pen) {
        ++Count;
        EXPECT_TRUE(X >= 10 && Y <= 10) << X << "," << Y;
      }
  EXPECT_GT(Count, 10);

  // The other way round: three quarters.
  TPicture T;
  T.C.Arc(0, 0, 21, 21, 10, 0, 20, 10);
  EXPECT_EQ(T.At(0, 10), Pen);
  EXPECT_EQ(T.At(10, 20), Pen);
  EXPECT_EQ(T.At(17, 3), White);

  TPicture Full, Outline;
  Full.C.Arc(0, 0, 21, 21, 5, 5, 5, 5);
  Outline.C.GetBrush().Style = TBrushStyle::bsClear;
  Outline.C.Ellipse(0, 0, 21, 21);
  EXPECT_TRUE(Full.Bitmap.SamePixels(Outline.Bitmap)) << "equal rays: the whole ellipse";

  TPicture Huge;
  Huge.C.Arc(Min32, Min32, Max32, Max32, 0, 0, 1, 1);
  EXPECT_EQ(Huge.Count(Pen), 0) << "the outline lies far outside";
}

TEST(RasterBitmap, FloodFillSurfaceAndBorder) {
  // A circle outline is 8-connected: the fill neither leaks out nor misses
  // any pixel inside it.
  TPicture P;
  P.C.GetBrush().Style = TBrushStyle::bsClear;
  P.C.Ellipse(2, 2, 19, 19);
  const int Outline = P.Count(Pen);
  P.C.GetBrush() = TBrush{Brush, TBrushStyle::bsSolid};
  P.C.FloodFill(10, 10, White, TFillStyle::fsSurface);
  EXPECT_EQ(P.At(0, 0), White);
  EXPECT_EQ(P.At(10, 10), Brush);
  TPicture Solid;
  Solid.C.Ellipse(2, 2, 19, 19);
  EXPECT_TRUE(P.Bitmap.SamePixels(Solid.Bitmap));
  EXPECT_EQ(P.Count(Pen), Outline);

  // Border fill crosses other colours and stops only at the border colour.
  TPicture B;
  B.C.GetBrush().Style = TBrushStyle::bsClear;
  B.C.Rectangle(0, 0, 10, 10);
  B.Bitmap.SetPixel(5, 5, Other);
  B.C.GetBrush() = TBrush{Brush, TBrushStyle::bsSolid};
  B.C.FloodFill(3, 3, Pen, TFillStyle::fsBorder);
  EXPECT_EQ(B.At(5, 5), Brush);
  EXPECT_EQ(B.At(8, 8), Brush);
  EXPECT_EQ(B.At(12, 12), White);
  EXPECT_EQ(B.Count(Brush), 64);

  // A brush of the surface's own colour must still end.
  TPicture Same;
  Same.C.GetBrush().Color = White;
  Same.C.FloodFill(0, 0, White, TFillStyle::fsSurface);
  EXPECT_EQ(Same.Count(White), 21 * 21);

  TPicture Nothing;
  Nothing.C.FloodFill(-1, 0, White, TFillStyle::fsSurface);
  Nothing.C.FloodFill(0, 0, Other, TFillStyle::fsSurface); // the start is not that colour
  Nothing.C.FloodFill(0, 0, White, TFillStyle::fsBorder);  // the start is the border
  Nothing.C.GetBrush().Style = TBrushStyle::bsClear;
  Nothing.C.FloodFill(0, 0, White, TFillStyle::fsSurface);
  EXPECT_EQ(Nothing.Count(White), 21 * 21);

  // Large areas are filled without recursion.
  TPicture Big(1000, 1000);
  Big.C.FloodFill(500, 500, White, TFillStyle::fsSurface);
  EXPECT_EQ(Big.At(999, 0), Brush);
}

TEST(RasterBitmap, TextFillsOnlyItsBackground) {
  TPicture P;
  P.C.GetFont().Height = 4; // two pixels a character, four a line
  P.C.TextOut(1, 1, "ab");
  EXPECT_EQ(P.Count(Brush), 16);
  EXPECT_EQ(P.At(4, 4), Brush);
  EXPECT_EQ(P.At(5, 4), White);
}
