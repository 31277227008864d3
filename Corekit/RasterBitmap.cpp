#include "RasterBitmap.h"

#include "SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Deskbay {

namespace {

// Products of two coordinate differences need more than 64 bits once
// coordinates span the whole 32-bit range.
__extension__ typedef __int128 TInt128;

constexpr TColor ColorMask = TBitmap::ColorMask;

TInt128 FloorDiv(TInt128 A, TInt128 B) {
  // B > 0
  return A >= 0 ? A / B : -((-A + B - 1) / B);
}

TInt128 CeilDiv(TInt128 A, TInt128 B) {
  return -FloorDiv(-A, B);
}

// The ellipse inscribed in a box, in doubled coordinates so that every
// centre is a whole number: the pixel (x, y) has its centre at
// u = 2x + 1 - Cx2, v = 2y + 1 - Cy2 from the ellipse's centre, and belongs to
// the shape when (u/A2)^2 + (v/B2)^2 <= 1. A2 and B2 are the box's sides.
struct TEllipseShape {
  explicit TEllipseShape(const TRect& Box)
      : Left(Box.Left), Top(Box.Top), Right(int64_t(Box.Right) - 1),
        Bottom(int64_t(Box.Bottom) - 1), Cx2(int64_t(Box.Left) + Box.Right),
        Cy2(int64_t(Box.Top) + Box.Bottom), A2(int64_t(Box.Right) - Box.Left),
        B2(int64_t(Box.Bottom) - Box.Top),
        Exact(A2 <= (int64_t(1) << 30) && B2 <= (int64_t(1) << 30)) {}

  bool Inside(int64_t U, int64_t V) const {
    if (Exact) {
      const TInt128 A = A2, B = B2;
      return TInt128(U) * U * B * B + TInt128(V) * V * A * A <= A * A * B * B;
    }
    // Boxes more than a billion pixels wide: long double keeps the answer
    // deterministic, if no longer exact to the last pixel.
    const long double A = A2, B = B2, UL = U, VL = V;
    return UL * UL * B * B + VL * VL * A * A <= A * A * B * B;
  }

  // The pixels of row Y inside the ellipse: X1..X2; false when none.
  bool Span(int64_t Y, int64_t& X1, int64_t& X2) const {
    if (Y < Top || Y > Bottom)
      return false;
    const int64_t V = 2 * Y + 1 - Cy2;
    const long double BL = B2, VL = V;
    int64_t U =
        static_cast<int64_t>(std::floor(A2 * std::sqrt(std::max(0.0L, BL * BL - VL * VL)) / BL));
    while (U < A2 && Inside(U + 1, V))
      ++U;
    while (U >= 0 && !Inside(U, V))
      --U;
    // u is 2x + 1 - Cx2 at every pixel: only one parity occurs.
    if (U >= 0 && ((U + Cx2 - 1) & 1))
      --U;
    if (U < 0)
      return false;
    X1 = (Cx2 - 1 - U) / 2;
    X2 = (Cx2 - 1 + U) / 2;
    return true;
  }

  // Splits row Y into the inner part I1..I2 (empty when I1 > I2) and the
  // outline around it, X1..I1-1 and I2+1..X2: a pixel is on the outline when
  // a 4-neighbour lies outside the shape.
  bool Row(int64_t Y, int64_t& X1, int64_t& X2, int64_t& I1, int64_t& I2) const {
    if (!Span(Y, X1, X2))
      return false;
    I1 = X1 + 1;
    I2 = X2 - 1;
    int64_t N1, N2;
    for (int64_t Neighbour : {Y - 1, Y + 1}) {
      if (!Span(Neighbour, N1, N2)) {
        I1 = X2 + 1;
        I2 = X2;
        return true;
      }
      I1 = std::max(I1, N1);
      I2 = std::min(I2, N2);
    }
    if (I1 > I2) {
      I1 = X2 + 1;
      I2 = X2;
    }
    return true;
  }

  int64_t Left, Top, Right, Bottom;
  int64_t Cx2, Cy2, A2, B2;
  bool Exact;
};

struct TVector {
  TInt128 X, Y;
};

TInt128 Cross(const TVector& A, const TVector& B) {
  return A.X * B.Y - A.Y * B.X;
}

TInt128 Dot(const TVector& A, const TVector& B) {
  return A.X * B.X + A.Y * B.Y;
}

// Directions from an ellipse's centre, y turned upwards, so that
// counter-clockwise on the screen is the positive sense of rotation.
struct TSector {
  TSector(const TEllipseShape& E, TPoint Start, TPoint End)
      : Cx2(E.Cx2), Cy2(E.Cy2), S(Direction(Start)), En(Direction(End)), C(Cross(S, En)) {
    Whole = C == 0 && Dot(S, En) > 0;
  }

  TVector Direction(TPoint P) const {
    TVector V{2 * TInt128(P.X) + 1 - Cx2, Cy2 - 2 * TInt128(P.Y) - 1};
    if (V.X == 0 && V.Y == 0)
      V.X = 1;
    return V;
  }

  bool Contains(int64_t X, int64_t Y) const {
    const TVector P{2 * TInt128(X) + 1 - Cx2, Cy2 - 2 * TInt128(Y) - 1};
    if (Whole || (P.X == 0 && P.Y == 0))
      return true;
    if (C >= 0) // at most half a turn
      return Cross(S, P) >= 0 && Cross(P, En) >= 0;
    // More than half a turn: everything but the inside of the rest.
    return !(Cross(En, P) > 0 && Cross(P, S) > 0);
  }

  int64_t Cx2, Cy2;
  TVector S, En;
  TInt128 C;
  bool Whole;
};

// Where an edge crosses a pixel row: x = N / D.
struct TCrossing {
  TInt128 N, D;
  int Winding;
};

} // namespace

// --- TBitmap ---

TBitmap::TBitmap(int Width, int Height, TColor Color) {
  SetSize(Width, Height, Color);
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int Width, int Height, TColor Color) {
  if (Width < 0 || Height < 0 || Width > MaxSide || Height > MaxSide)
    throw EAssertionFailed(Format("Bad bitmap size (%d, %d).", Width, Height));
  FWidth = Width;
  FHeight = Height;
  FPixels.assign(size_t(Width) * size_t(Height), Color & ColorMask);
}

TColor TBitmap::GetPixel(int X, int Y) const {
  return Contains(X, Y) ? FPixels[size_t(Y) * size_t(FWidth) + size_t(X)] : NoPixel;
}

void TBitmap::Fill(TColor Color) {
  std::fill(FPixels.begin(), FPixels.end(), Color & ColorMask);
}

const TColor* TBitmap::GetScanLine(int Y) const {
  Assert(Y >= 0 && Y < FHeight, "TBitmap::GetScanLine: row out of range.");
  return FPixels.data() + size_t(Y) * size_t(FWidth);
}

void TBitmap::Assign(const TBitmap& Source) {
  if (&Source == this)
    return;
  FWidth = Source.FWidth;
  FHeight = Source.FHeight;
  FPixels = Source.FPixels;
  FTransparent = Source.FTransparent;
  FTransparentColor = Source.FTransparentColor;
}

bool TBitmap::SamePixels(const TBitmap& Other) const {
  return FWidth == Other.FWidth && FHeight == Other.FHeight && FPixels == Other.FPixels;
}

TCanvas& TBitmap::GetCanvas() {
  if (!FCanvas)
    FCanvas = std::make_unique<TBitmapCanvas>(*this);
  return *FCanvas;
}

// --- TBitmapCanvas ---

bool TBitmapCanvas::PenDraws() const {
  return GetPen().Style != TPenStyle::psClear && GetPen().Mode != TPenMode::pmNop;
}

bool TBitmapCanvas::BrushFills() const {
  return GetBrush().Style != TBrushStyle::bsClear;
}

void TBitmapCanvas::FillSpan(int Y, int64_t X1, int64_t X2, TColor Color) {
  if (Y < 0 || Y >= FBitmap.GetHeight())
    return;
  X1 = std::max<int64_t>(X1, 0);
  X2 = std::min<int64_t>(X2, FBitmap.GetWidth() - 1);
  for (int64_t X = X1; X <= X2; ++X)
    FBitmap.SetPixel(int(X), Y, Color);
}

void TBitmapCanvas::DrawLine(TPoint From, TPoint To, TColor Color) {
  const int64_t DX = int64_t(To.X) - From.X, DY = int64_t(To.Y) - From.Y;
  const bool XMajor = std::llabs(DX) >= std::llabs(DY);
  // Walk the longer axis; Major/Minor name the coordinates along it and across.
  const int64_t Major0 = XMajor ? From.X : From.Y, Minor0 = XMajor ? From.Y : From.X;
  const int64_t DMajor = XMajor ? DX : DY, DMinor = XMajor ? DY : DX;
  const int64_t N = std::llabs(DMajor), M = std::llabs(DMinor);
  if (N == 0)
    return;
  const int64_t SMajor = DMajor > 0 ? 1 : -1, SMinor = DMinor >= 0 ? 1 : -1;
  const int64_t W = FBitmap.GetWidth();
  const auto Inside = [this, W](TPoint P) {
    return P.X >= 0 && P.Y >= 0 && P.X < W && P.Y < FBitmap.GetHeight();
  };
  const TColor Value = Color & ColorMask;
  TColor* Pixels = FBitmap.FPixels.data();
  const int64_t MajorStride = XMajor ? SMajor : SMajor * W;
  const int64_t MinorStride = XMajor ? SMinor * W : SMinor;
  const int64_t TwoN = 2 * N, TwoM = 2 * M;
  // Steps I from First up to Last: the pixel at Index, then on along the
  // major axis, and across as well where the offset (2*I*M + N) div 2N
  // grows. Without a branch (the carries of a slope follow no pattern a
  // processor could predict) and with short chains from step to step: Due
  // is the remainder less 2N, so a step carries where it reaches 0; M <= N,
  // so each step carries at most once.
  const auto Walk = [&](int64_t Index, int64_t Due, int64_t First, int64_t Last) {
    const int64_t CarryStride = MajorStride + MinorStride;
    // The rows a steep line crosses are far apart: their memory is asked
    // for some steps ahead, so that the stores do not wait for it.
    const auto Base = reinterpret_cast<std::uintptr_t>(Pixels);
    const std::uintptr_t Ahead = static_cast<std::uintptr_t>(8 * MajorStride) * sizeof(TColor);
    for (int64_t I = First; I < Last; ++I) {
      __builtin_prefetch(
          reinterpret_cast<const void*>(Base + std::uintptr_t(Index) * sizeof(TColor) + Ahead), 1);
      Pixels[Index] = Value;
      Due += TwoM;
      const bool Carry = Due >= 0;
      Index += Carry ? CarryStride : MajorStride;
      Due = Carry ? Due - TwoN : Due;
    }
  };
  if (Inside(From) && Inside(To)) {
    // Every step inside: from the first, whose offset is 0 and remainder N.
    Walk(int64_t(From.Y) * W + From.X, -N, 0, N);
    return;
  }
  const int64_t Extent = XMajor ? W : FBitmap.GetHeight();
  // Only the steps whose major coordinate lies inside the bitmap.
  int64_t First, Last;
  if (SMajor > 0) {
    First = std::max<int64_t>(0, -Major0);
    Last = std::min<int64_t>(N, Extent - Major0);
  } else {
    First = std::max<int64_t>(0, Major0 - Extent + 1);
    Last = std::min<int64_t>(N, Major0 + 1);
  }
  if (N < (int64_t(1) << 30)) {
    // The steps whose minor coordinate is inside too, found from the
    // offsets: Offset(I) = (2*I*M + N) div 2N grows with I, so they are one
    // run, and the loop below tests nothing. Offsets never exceed M.
    const int64_t MinorExtent = XMajor ? FBitmap.GetHeight() : FBitmap.GetWidth();
    int64_t OffLo = SMinor > 0 ? -Minor0 : Minor0 - MinorExtent + 1;
    int64_t OffHi = SMinor > 0 ? MinorExtent - 1 - Minor0 : Minor0;
    OffLo = std::max<int64_t>(OffLo, 0);
    OffHi = std::min<int64_t>(OffHi, M);
    if (OffHi < OffLo)
      return;
    if (M > 0) {
      // Offset(I) >= OffLo from I = ceil((2N*OffLo - N) / 2M); Offset(I) <= OffHi
      // before I = ceil((2N*(OffHi + 1) - N) / 2M). The products stay below 2^62.
      if (OffLo > 0)
        First = std::max(First, (TwoN * OffLo - N + TwoM - 1) / TwoM);
      Last = std::min(Last, (TwoN * (OffHi + 1) - N + TwoM - 1) / TwoM);
    }
    if (First >= Last)
      return;
    // The offset and its remainder at the first step inside.
    const int64_t Num = 2 * First * M + N;
    const int64_t Offset = Num / TwoN;
    const int64_t Minor = Minor0 + SMinor * Offset;
    const int64_t Major = Major0 + SMajor * First;
    Walk(XMajor ? Minor * W + Major : Major * W + Minor, Num % TwoN - TwoN, First, Last);
    return;
  }
  for (int64_t I = First; I < Last; ++I) {
    const int64_t Offset = int64_t((2 * TInt128(I) * M + N) / (2 * TInt128(N)));
    const int64_t Major = Major0 + SMajor * I, Minor = Minor0 + SMinor * Offset;
    const int64_t X = XMajor ? Major : Minor, Y = XMajor ? Minor : Major;
    if (X >= 0 && Y >= 0 && X < FBitmap.GetWidth() && Y < FBitmap.GetHeight())
      FBitmap.SetPixel(int(X), int(Y), Color);
  }
}

void TBitmapCanvas::DoLine(TPoint From, TPoint To) {
  if (PenDraws())
    DrawLine(From, To, GetPen().Color);
}

void TBitmapCanvas::DoRectangle(const TRect& Box) {
  const TRect R = Box.Normalized();
  if (R.Left == R.Right || R.Top == R.Bottom)
    return;
  const int64_t L = R.Left, T = R.Top, Rt = int64_t(R.Right) - 1, B = int64_t(R.Bottom) - 1;
  const bool Fill = BrushFills(), Pen = PenDraws();
  const bool OutlineFilled = GetPen().Style == TPenStyle::psClear && Fill;
  const int64_t Y1 = std::max<int64_t>(T, 0), Y2 = std::min<int64_t>(B, FBitmap.GetHeight() - 1);
  for (int64_t Y = Y1; Y <= Y2; ++Y) {
    const int Row = int(Y);
    if (OutlineFilled) {
      FillSpan(Row, L, Rt, GetBrush().Color);
      continue;
    }
    if (Y == T || Y == B) {
      if (Pen)
        FillSpan(Row, L, Rt, GetPen().Color);
      continue;
    }
    if (Fill)
      FillSpan(Row, L + 1, Rt - 1, GetBrush().Color);
    if (Pen) {
      FillSpan(Row, L, L, GetPen().Color);
      FillSpan(Row, Rt, Rt, GetPen().Color);
    }
  }
}

void TBitmapCanvas::DoEllipse(const TRect& Box) {
  const TRect R = Box.Normalized();
  if (R.Left == R.Right || R.Top == R.Bottom)
    return;
  const TEllipseShape E(R);
  const bool Fill = BrushFills(), Pen = PenDraws();
  const bool OutlineFilled = GetPen().Style == TPenStyle::psClear && Fill;
  const int64_t Y1 = std::max<int64_t>(E.Top, 0);
  const int64_t Y2 = std::min<int64_t>(E.Bottom, FBitmap.GetHeight() - 1);
  for (int64_t Y = Y1; Y <= Y2; ++Y) {
    int64_t X1, X2, I1, I2;
    if (!E.Row(Y, X1, X2, I1, I2))
      continue;
    const int Row = int(Y);
    if (OutlineFilled) {
      FillSpan(Row, X1, X2, GetBrush().Color);
      continue;
    }
    if (Fill)
      FillSpan(Row, I1, I2, GetBrush().Color);
    if (Pen) {
      FillSpan(Row, X1, std::min(I1 - 1, X2), GetPen().Color);
      FillSpan(Row, std::max(I2 + 1, I1), X2, GetPen().Color);
    }
  }
}

void TBitmapCanvas::DoArc(const TRect& Box, TPoint Start, TPoint End) {
  const TRect R = Box.Normalized();
  if (R.Left == R.Right || R.Top == R.Bottom || !PenDraws())
    return;
  const TEllipseShape E(R);
  const TSector Sector(E, Start, End);
  const int64_t W = FBitmap.GetWidth();
  const int64_t Y1 = std::max<int64_t>(E.Top, 0);
  const int64_t Y2 = std::min<int64_t>(E.Bottom, FBitmap.GetHeight() - 1);
  for (int64_t Y = Y1; Y <= Y2; ++Y) {
    int64_t X1, X2, I1, I2;
    if (!E.Row(Y, X1, X2, I1, I2))
      continue;
    auto Part = [&](int64_t From, int64_t To) {
      for (int64_t X = std::max<int64_t>(From, 0); X <= std::min(To, W - 1); ++X)
        if (Sector.Contains(X, Y))
          FBitmap.SetPixel(int(X), int(Y), GetPen().Color);
    };
    Part(X1, std::min(I1 - 1, X2));
    Part(std::max(I2 + 1, I1), X2);
  }
}

void TBitmapCanvas::DoPolygon(const std::vector<TPoint>& Points) {
  const size_t Count = Points.size();
  if (Count < 2)
    return;
  if (BrushFills()) {
    int64_t MinY = Points[0].Y, MaxY = Points[0].Y;
    for (const TPoint& P : Points) {
      MinY = std::min<int64_t>(MinY, P.Y);
      MaxY = std::max<int64_t>(MaxY, P.Y);
    }
    const int64_t Y1 = std::max<int64_t>(MinY, 0);
    const int64_t Y2 = std::min<int64_t>(MaxY - 1, FBitmap.GetHeight() - 1);
    std::vector<TCrossing> Crossings;
    for (int64_t Y = Y1; Y <= Y2; ++Y) {
      Crossings.clear();
      for (size_t I = 0; I < Count; ++I) {
        const TPoint& A = Points[I];
        const TPoint& B = Points[(I + 1) % Count];
        // Each edge owns its upper end and not its lower one, so a vertex
        // on the row is counted once and horizontal edges not at all.
        if (Y < std::min(A.Y, B.Y) || Y >= std::max(A.Y, B.Y))
          continue;
        TInt128 D = TInt128(B.Y) - A.Y;
        TInt128 N = TInt128(A.X) * D + (TInt128(Y) - A.Y) * (TInt128(B.X) - A.X);
        if (D < 0) {
          D = -D;
          N = -N;
        }
        Crossings.push_back({N, D, B.Y > A.Y ? 1 : -1});
      }
      std::sort(Crossings.begin(), Crossings.end(),
                [](const TCrossing& P, const TCrossing& Q) { return P.N * Q.D < Q.N * P.D; });
      int Winding = 0;
      for (size_t I = 0; I + 1 < Crossings.size(); ++I) {
        Winding += Crossings[I].Winding;
        if (Winding == 0)
          continue;
        // The pixels from the left crossing up to, not including, the right one.
        const TCrossing& Lc = Crossings[I];
        const TCrossing& Rc = Crossings[I + 1];
        const TInt128 X1 = CeilDiv(Lc.N, Lc.D);
        const TInt128 X2 = CeilDiv(Rc.N, Rc.D) - 1;
        if (X2 < 0 || X1 >= FBitmap.GetWidth() || X1 > X2)
          continue;
        FillSpan(int(Y), int64_t(std::max<TInt128>(X1, 0)),
                 int64_t(std::min<TInt128>(X2, FBitmap.GetWidth())), GetBrush().Color);
      }
    }
  }
  if (PenDraws())
    for (size_t I = 0; I < Count; ++I)
      DrawLine(Points[I], Points[(I + 1) % Count], GetPen().Color);
}

void TBitmapCanvas::DoSetPixel(TPoint P, TColor Color) {
  FBitmap.SetPixel(P.X, P.Y, Color);
}

void TBitmapCanvas::DoFloodFill(TPoint P, TColor Color, TFillStyle Style) {
  if (!BrushFills() || !FBitmap.Contains(P.X, P.Y))
    return;
  const TColor Key = Color & ColorMask;
  const int W = FBitmap.GetWidth(), H = FBitmap.GetHeight();
  // Decided on the pixels as they were: painted pixels are marked, so a
  // brush of the surface's own colour cannot make the fill run forever.
  std::vector<uint8_t> Done(size_t(W) * size_t(H), 0);
  auto Qualifies = [&](int X, int Y) {
    if (Done[size_t(Y) * size_t(W) + size_t(X)])
      return false;
    const TColor C = FBitmap.GetPixel(X, Y);
    return Style == TFillStyle::fsSurface ? C == Key : C != Key;
  };
  const TColor Brush = GetBrush().Color;
  std::vector<TPoint> Seeds{P};
  while (!Seeds.empty()) {
    const TPoint S = Seeds.back();
    Seeds.pop_back();
    if (!Qualifies(S.X, S.Y))
      continue;
    int X1 = S.X, X2 = S.X;
    while (X1 > 0 && Qualifies(X1 - 1, S.Y))
      --X1;
    while (X2 < W - 1 && Qualifies(X2 + 1, S.Y))
      ++X2;
    for (int X = X1; X <= X2; ++X) {
      Done[size_t(S.Y) * size_t(W) + size_t(X)] = 1;
      FBitmap.SetPixel(X, S.Y, Brush);
    }
    // One seed per run of qualifying pixels above and below the span.
    for (int Y : {S.Y - 1, S.Y + 1}) {
      if (Y < 0 || Y >= H)
        continue;
      bool InRun = false;
      for (int X = X1; X <= X2; ++X) {
        const bool Q = Qualifies(X, Y);
        if (Q && !InRun)
          Seeds.push_back({X, Y});
        InRun = Q;
      }
    }
  }
}

void TBitmapCanvas::DoTextOut(TPoint P, std::string_view Text) {
  if (!BrushFills())
    return;
  const int64_t Bottom = int64_t(P.Y) + TextHeight(Text);
  const int64_t Right = int64_t(P.X) + TextWidth(Text) - 1;
  for (int64_t Y = std::max<int64_t>(P.Y, 0); Y < std::min<int64_t>(Bottom, FBitmap.GetHeight());
       ++Y)
    FillSpan(int(Y), P.X, Right, GetBrush().Color);
}

} // namespace Deskbay
