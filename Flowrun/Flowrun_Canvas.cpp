#include "Flowrun_Canvas.h"

#include "Flowrun_Processors.h"
#include "Flowrun_VarStorage.h"

#include "Flowlang/Flowlang_Statement.h"

#include "Corekit/Geometry.h"
#include "Corekit/VisualUtils.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace Deskbay {

namespace {

constexpr int PictureSide = 181;
static_assert(PictureSide == TAlgCanvas::GetCanvasWidth() * TAlgCanvas::GetCanvasScale() + 1);
static_assert(PictureSide == TAlgCanvas::GetCanvasHeight() * TAlgCanvas::GetCanvasScale() + 1);

// Pixel coordinates a command may name; beyond them nothing could be seen.
constexpr int64_t MinPixel = -2048, MaxPixel = 2047;
constexpr int MaxRadius = 127;
// The largest colour a command may name: an index into the palette.
constexpr int LastColor = int(TAlgCanvas::Palette.size()) - 1;

// Gives the arguments of one command from left to right, with the checks
// of each value; every failure names the line as the user wrote it. The
// values come from the expressions of a compiled line, or from the texts of
// a statement read just now; where a statement's form breaks, its
// expressions end, and the next value asked for is the syntax error. So a
// line raises the same errors at the same moment however it runs.
class TArgReader {
public:
  TArgReader(TAlgMachine& Machine, const std::string& Line, const std::vector<TAlgExpression>& Code)
      : FMachine(Machine), FLine(Line), FCode(&Code), FCount(Code.size()),
        FPolygonPoints(Code.size() >= 2 ? (Code.size() - 2) / 2 : 0) {}
  TArgReader(TAlgMachine& Machine, const TStatement& S)
      : FMachine(Machine), FLine(S.Line), FTexts(&S.Exprs), FCount(S.Exprs.size()),
        FPolygonPoints(S.PolygonPoints) {}

  // The points a polygon's arguments begin.
  size_t PolygonPoints() const { return FPolygonPoints; }

  // The next argument.
  double Value() {
    if (FIndex == FCount)
      SyntaxError();
    const size_t I = FIndex++;
    if (FCode)
      return FMachine.GetStorage().Evaluate((*FCode)[I]);
    return FMachine.GetStorage().Evaluate((*FTexts)[I].Text);
  }

  int Integer() {
    const double V = Value();
    int Nearest;
    if (NearestInt(V, Nearest))
      return Nearest;
    const long double Rounded = RoundHalfEven(static_cast<long double>(V));
    if (!(Rounded >= INT32_MIN && Rounded <= INT32_MAX))
      throw Exception(Format("Ошибка округления числа %g.", V));
    // A whole number in int's range is exact as a double, whose conversion
    // needs no switch of the x87 rounding mode.
    return static_cast<int>(static_cast<double>(Rounded));
  }

  // V rounded half to even, where it is well inside int's range: by the
  // double arithmetic's own rounding, as adding and taking away 2^52 leaves
  // the nearest whole number, with no call and no x87 instruction.
  static bool NearestInt(double V, int& Out) {
    if (!(std::fabs(V) <= 2147483647.0))
      return false;
    // Mostly whole already.
    const int Whole = static_cast<int>(V);
    if (Whole == V) {
      Out = Whole;
      return true;
    }
    constexpr double Big = 0x1p52;
    const double R = V >= 0 ? (V + Big) - Big : -((-V + Big) - Big);
    Out = static_cast<int>(R);
    return true;
  }

  // The pixel of a logical coordinate, in 64 bits: the range check must see
  // the true pixel of a huge value.
  static int64_t PixelX(int X) { return TAlgCanvas::GetCanvasScale() * int64_t(X); }
  static int64_t PixelY(int Y) {
    return int64_t(PictureSide - 1) - TAlgCanvas::GetCanvasScale() * int64_t(Y);
  }
  static bool InPixelRange(int64_t Pixel) { return Pixel >= MinPixel && Pixel <= MaxPixel; }

  static void CheckRange(int64_t Value, int64_t Lo, int64_t Hi) {
    if (Value < Lo || Value > Hi)
      throw Exception(
          Format("Значение %lld выходит за допустимый диапазон.", static_cast<long long>(Value)));
  }

  // A logical point in parentheses; Logical receives it as written, the
  // result is its pixel.
  TPoint Point(TPoint* Logical = nullptr) {
    const int X = Integer();
    const int Y = Integer();
    const int64_t PX = PixelX(X);
    const int64_t PY = PixelY(Y);
    CheckRange(PX, MinPixel, MaxPixel);
    CheckRange(PY, MinPixel, MaxPixel);
    if (Logical)
      *Logical = {X, Y};
    return {int32_t(PX), int32_t(PY)};
  }

  TColor Color() {
    const int Index = Integer();
    CheckRange(Index, 0, LastColor);
    return TAlgCanvas::Palette[size_t(Index)];
  }

  [[noreturn]] void SyntaxError() const { FMachine.RaiseSyntaxError(FLine); }

private:
  TAlgMachine& FMachine;
  const std::string& FLine;
  const std::vector<TAlgExpression>* FCode = nullptr;
  const std::vector<TExprText>* FTexts = nullptr;
  size_t FCount;
  size_t FPolygonPoints;
  size_t FIndex = 0;
};

// What TArgReader::Integer gives for the value where the quick evaluation
// makes it, with no round trip through a double for a value made as a whole
// number; false where it does not, or Integer would raise.
[[gnu::always_inline]] inline bool QuickInteger(const TVarStorage& Storage,
                                                const TAlgExpression& Expr, int& Out) {
  std::int64_t Whole;
  if (Storage.EvaluateQuickWhole(Expr, Whole)) {
    Out = static_cast<int>(Whole);
    return Whole >= -INT32_MAX && Whole <= INT32_MAX;
  }
  double Value;
  return Storage.EvaluateQuick(Expr, Value) && TArgReader::NearestInt(Value, Out);
}

void SetPen(TCanvas& C, TColor Color) {
  C.GetPen().Color = Color;
  C.GetPen().Style = TPenStyle::psSolid;
  C.GetPen().Mode = TPenMode::pmCopy;
}

void SetBrush(TCanvas& C, TColor Color) {
  C.GetBrush().Color = Color;
  C.GetBrush().Style = TBrushStyle::bsSolid;
}

// The closing ",pen,fill" of a filled shape. The pen is set before the fill
// colour is read, as an error there leaves it; the brush once both are read.
void PenThenBrush(TArgReader& Args, TCanvas& C) {
  SetPen(C, Args.Color());
  SetBrush(C, Args.Color());
}

} // namespace

TAlgCanvas::TAlgCanvas(TAlgMachine* Machine)
    : TAlgDevice(Machine), FPicture(PictureSide, PictureSide, BackgroundColor) {
  FPicture.SetTransparentColor(FPicture.GetPixel(0, 0));
  FPicture.SetTransparent(true);
}

TPoint TAlgCanvas::LogToPhys(TPoint P) {
  return {GetCanvasScale() * P.X, PictureSide - 1 - GetCanvasScale() * P.Y};
}

bool TAlgCanvas::ExecLine(const std::string& Line) {
  TStatement S;
  if (!ReadDrawing(Line, S))
    return false;
  TArgReader Reader(*GetMachine(), S);
  Perform(static_cast<int>(S.Command->Command), &Reader);
  Changed();
  return true;
}

bool TAlgCanvas::CompileStatement(const TStatement& S, TCompiledBlock::TLine& Out) {
  // A line whose form is wrong stays text: it fails when it runs, as it did.
  if (S.Kind != TStatementKind::Drawing || !S.FormIsRight)
    return false;
  Out.Items.clear();
  for (const TExprText& Arg : S.Exprs)
    GetMachine()->GetStorage().Compile(Arg.Text, Out.Items.emplace_back());
  Out.Kind = TCompiledBlock::lkDraw;
  Out.Target = static_cast<int>(S.Command->Command);
  return true;
}

void TAlgCanvas::ExecCompiled(const TCompiledBlock::TLine& L, const std::string& Line) {
  TArgReader Reader(*GetMachine(), Line, L.Items);
  Perform(L.Target, &Reader);
  Changed();
}

bool TAlgCanvas::DrawQuickPoint(const TCompiledBlock::TLine& L, const TVarStorage& Storage) {
  if (L.Target != static_cast<int>(TDrawCommand::Point) || L.Items.size() != 3)
    return false;
  int IX, IY, Index;
  if (!QuickInteger(Storage, L.Items[0], IX) || !QuickInteger(Storage, L.Items[1], IY) ||
      !QuickInteger(Storage, L.Items[2], Index))
    return false;
  const int64_t PX = TArgReader::PixelX(IX), PY = TArgReader::PixelY(IY);
  if (!TArgReader::InPixelRange(PX) || !TArgReader::InPixelRange(PY) || Index < 0 ||
      Index > LastColor)
    return false;
  FPicture.SetPixel(int(PX), int(PY), Palette[size_t(Index)]);
  ++FCounts.Points;
  // The palette's colours differ, so the colour counted is its own bit.
  FCounts.Colors = uint16_t(FCounts.Colors | (1u << Index));
  return true;
}

void TAlgCanvas::Perform(int Command, void* Reader) {
  TArgReader& Args = *static_cast<TArgReader*>(Reader);
  TCanvas& C = GetCanvas();
  switch (static_cast<TDrawCommand>(Command)) {
  case TDrawCommand::Point: {
    const TPoint P = Args.Point();
    const TColor Color = Args.Color();
    C.SetPixel(P.X, P.Y, Color);
    ++FCounts.Points;
    CountColor(Color);
    break;
  }
  case TDrawCommand::Segment: {
    const TPoint P1 = Args.Point();
    const TPoint P2 = Args.Point();
    const TColor Color = Args.Color();
    SetPen(C, Color);
    C.MoveTo(P1.X, P1.Y);
    LineInclusive(C, P2.X, P2.Y);
    ++FCounts.Segments;
    CountColor(Color);
    break;
  }
  case TDrawCommand::Circle: {
    const TPoint P = Args.Point();
    const int Units = Args.Integer();
    TArgReader::CheckRange(Units, 1, MaxRadius);
    PenThenBrush(Args, C);
    const int R = GetCanvasScale() * Units;
    C.Ellipse(P.X - R, P.Y - R, P.X + R + 1, P.Y + R + 1);
    ++FCounts.Circles;
    CountColor(C.GetPen().Color);
    CountColor(C.GetBrush().Color);
    break;
  }
  case TDrawCommand::Polygon: {
    std::vector<TPoint> Points{Args.Point()};
    while (Points.size() < Args.PolygonPoints())
      Points.push_back(Args.Point());
    if (Points.size() < 2)
      Args.SyntaxError();
    PenThenBrush(Args, C);
    C.Polygon(Points);
    ++FCounts.Polygons;
    CountColor(C.GetPen().Color);
    CountColor(C.GetBrush().Color);
    break;
  }
  case TDrawCommand::Arc: {
    TPoint L1, L2, L3;
    TPoint P1 = Args.Point(&L1);
    const TPoint P2 = Args.Point(&L2);
    TPoint P3 = Args.Point(&L3);
    const TColor Color = Args.Color();
    SetPen(C, Color);
    TPoint Centre;
    int R;
    // Three points on one line have no circle and draw nothing.
    if (FindCircleBy3Points(P1, P2, P3, Centre, R)) {
      if (Clockwise3Points(L1, L2, L3))
        std::swap(P1, P3);
      C.Arc(Centre.X - R, Centre.Y - R, Centre.X + R + 1, Centre.Y + R + 1, P1.X, P1.Y, P3.X, P3.Y);
    }
    ++FCounts.Arcs;
    CountColor(Color);
    break;
  }
  case TDrawCommand::Fill: {
    const TPoint P = Args.Point();
    const TColor Brush = Args.Color();
    SetBrush(C, Brush);
    C.FloodFill(P.X, P.Y, FPicture.GetPixel(P.X, P.Y), TFillStyle::fsSurface);
    ++FCounts.Fills;
    CountColor(Brush);
    break;
  }
  }
}

void TAlgCanvas::CountColor(TColor Color) {
  for (size_t I = 0; I < Palette.size(); ++I)
    if (Palette[I] == Color)
      FCounts.Colors = uint16_t(FCounts.Colors | (1u << I));
}

} // namespace Deskbay
