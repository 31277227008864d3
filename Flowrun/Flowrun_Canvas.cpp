#include "Flowrun_Canvas.h"

#include "Flowrun_Processors.h"

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

enum class TCommand { Point, Segment, Circle, Polygon, Arc, Fill };

struct TCommandWord {
  const char* Word; // small letters
  TCommand Command;
};

constexpr TCommandWord CommandWords[] = {
    {"тчк", TCommand::Point},   {"отр", TCommand::Segment}, {"крг", TCommand::Circle},
    {"мну", TCommand::Polygon}, {"дуг", TCommand::Arc},     {"зкр", TCommand::Fill},
};

// Reads the arguments of one command from left to right; every failure
// names the line as the user wrote it.
// A line is read as text, or compiled (the expressions are compiled in the
// order they are read, values stand in for them and nothing is drawn), or
// run from its compiled expressions: the same checks in the same order, so
// the same errors at the same moment.
enum class TReadMode { Text, Compile, Compiled };

class TArgReader {
public:
  TArgReader(TAlgMachine& Machine, const std::string& Line, std::string_view Args,
             TReadMode Mode = TReadMode::Text, std::vector<TAlgExpression>* Program = nullptr)
      : FMachine(Machine), FLine(Line), FArgs(Args), FMode(Mode), FProgram(Program) {}
  bool Draws() const { return FMode != TReadMode::Compile; }

  bool Next(char C) const { return FPos < FArgs.size() && FArgs[FPos] == C; }

  void Expect(char C) {
    if (!Next(C))
      FMachine.RaiseSyntaxError(FLine);
    ++FPos;
  }

  // Up to the next Terminator (0: the end of the arguments), which is
  // consumed; the text before it is an expression.
  double ValueUpTo(char Terminator) {
    if (FMode == TReadMode::Compiled) {
      // The compiled expression is the text the compiling pass found up to
      // this terminator: no need to look for it again.
      const TAlgExpression& Expr = (*FProgram)[FIndex++];
      FPos += Expr.Text.size() + (Terminator ? 1 : 0);
      return FMachine.GetStorage().Evaluate(Expr);
    }
    size_t End = FArgs.size();
    if (Terminator) {
      End = FArgs.find(Terminator, FPos);
      if (End == std::string::npos)
        FMachine.RaiseSyntaxError(FLine);
    }
    const size_t Begin = FPos;
    FPos = Terminator ? End + 1 : End;
    const std::string Expr(FArgs.substr(Begin, End - Begin));
    if (FMode == TReadMode::Compile) {
      FMachine.GetStorage().Compile(Expr, FProgram->emplace_back());
      return 1; // a value every check lets through
    }
    return FMachine.GetStorage().Evaluate(Expr);
  }

  int IntegerUpTo(char Terminator) {
    const double Value = ValueUpTo(Terminator);
    const long double Rounded = RoundHalfEven(static_cast<long double>(Value));
    if (!(Rounded >= INT32_MIN && Rounded <= INT32_MAX))
      throw Exception(Format("Ошибка округления числа %g.", Value));
    // A whole number in int's range is exact as a double, whose conversion
    // needs no switch of the x87 rounding mode.
    return static_cast<int>(static_cast<double>(Rounded));
  }

  static void CheckRange(int64_t Value, int64_t Lo, int64_t Hi) {
    if (Value < Lo || Value > Hi)
      throw Exception(
          Format("Значение %lld выходит за допустимый диапазон.", static_cast<long long>(Value)));
  }

  // A logical point in parentheses; Logical receives it as written, the
  // result is its pixel.
  TPoint Point(TPoint* Logical = nullptr) {
    Expect('(');
    const int X = IntegerUpTo(',');
    const int Y = IntegerUpTo(')');
    // In 64 bits: the range check must see the true pixel of a huge value.
    const int64_t Scale = TAlgCanvas::GetCanvasScale();
    const int64_t PX = Scale * X;
    const int64_t PY = int64_t(PictureSide - 1) - Scale * Y;
    CheckRange(PX, MinPixel, MaxPixel);
    CheckRange(PY, MinPixel, MaxPixel);
    if (Logical)
      *Logical = {X, Y};
    return {int32_t(PX), int32_t(PY)};
  }

  TColor ColorUpTo(char Terminator) {
    const int Index = IntegerUpTo(Terminator);
    CheckRange(Index, 0, 15);
    return TAlgCanvas::Palette[size_t(Index)];
  }

  [[noreturn]] void SyntaxError() const { FMachine.RaiseSyntaxError(FLine); }

private:
  TAlgMachine& FMachine;
  const std::string& FLine;
  std::string_view FArgs;
  size_t FPos = 0;
  TReadMode FMode;
  std::vector<TAlgExpression>* FProgram;
  size_t FIndex = 0;
};

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
// False when the arguments are only read (nothing is drawn).
bool PenThenBrush(TArgReader& Args, TCanvas& C) {
  const TColor Pen = Args.ColorUpTo(',');
  if (Args.Draws())
    SetPen(C, Pen);
  const TColor Brush = Args.ColorUpTo(0);
  if (!Args.Draws())
    return false;
  SetBrush(C, Brush);
  return true;
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

namespace {

const TCommandWord* FindCommand(const std::string& S) {
  // Each command word is three Cyrillic letters, six bytes of UTF-8.
  const std::string Word = LowerCaseRu(S.substr(0, 6));
  for (const TCommandWord& W : CommandWords)
    if (Word == W.Word)
      return &W;
  return nullptr;
}

} // namespace

bool TAlgCanvas::ExecLine(const std::string& Line) {
  const std::string S = AlgRemoveBlanks(Line);
  const TCommandWord* Found = FindCommand(S);
  if (!Found)
    return false;
  const std::string Args = S.substr(6);
  TArgReader Reader(*GetMachine(), Line, Args);
  Perform(static_cast<int>(Found->Command), &Reader);
  Changed();
  return true;
}

bool TAlgCanvas::CompileLine(const std::string& Line, TCompiledBlock::TLine& Out) {
  const std::string S = AlgRemoveBlanks(Line);
  const TCommandWord* Found = FindCommand(S);
  if (!Found)
    return false;
  Out.Text = S.substr(6);
  Out.Items.clear();
  TArgReader Reader(*GetMachine(), Line, Out.Text, TReadMode::Compile, &Out.Items);
  try {
    Perform(static_cast<int>(Found->Command), &Reader);
  } catch (const Exception&) {
    // A line whose form is wrong stays text: it fails when it runs, as it did.
    Out.Items.clear();
    return false;
  }
  Out.Kind = TCompiledBlock::lkDraw;
  Out.Target = static_cast<int>(Found->Command);
  return true;
}

void TAlgCanvas::ExecCompiled(const TCompiledBlock::TLine& L, const std::string& Line) {
  TArgReader Reader(*GetMachine(), Line, L.Text, TReadMode::Compiled,
                    const_cast<std::vector<TAlgExpression>*>(&L.Items));
  Perform(L.Target, &Reader);
  Changed();
}

void TAlgCanvas::Perform(int Command, void* Reader) {
  TArgReader& Args = *static_cast<TArgReader*>(Reader);
  const bool Draw = Args.Draws();
  TCanvas& C = GetCanvas();
  switch (static_cast<TCommand>(Command)) {
  case TCommand::Point: {
    const TPoint P = Args.Point();
    Args.Expect(',');
    {
      const TColor Color = Args.ColorUpTo(0);
      if (Draw)
        C.SetPixel(P.X, P.Y, Color);
    }
    break;
  }
  case TCommand::Segment: {
    const TPoint P1 = Args.Point();
    Args.Expect('-');
    const TPoint P2 = Args.Point();
    Args.Expect(',');
    const TColor Color = Args.ColorUpTo(0);
    if (Draw) {
      SetPen(C, Color);
      C.MoveTo(P1.X, P1.Y);
      LineInclusive(C, P2.X, P2.Y);
    }
    break;
  }
  case TCommand::Circle: {
    const TPoint P = Args.Point();
    Args.Expect(',');
    const int Units = Args.IntegerUpTo(',');
    TArgReader::CheckRange(Units, 1, MaxRadius);
    if (!PenThenBrush(Args, C))
      break;
    const int R = GetCanvasScale() * Units;
    C.Ellipse(P.X - R, P.Y - R, P.X + R + 1, P.Y + R + 1);
    break;
  }
  case TCommand::Polygon: {
    std::vector<TPoint> Points{Args.Point()};
    while (Args.Next('-')) {
      Args.Expect('-');
      Points.push_back(Args.Point());
    }
    if (!Args.Next(',') || Points.size() < 2)
      Args.SyntaxError();
    Args.Expect(',');
    if (!PenThenBrush(Args, C))
      break;
    C.Polygon(Points);
    break;
  }
  case TCommand::Arc: {
    TPoint L1, L2, L3;
    TPoint P1 = Args.Point(&L1);
    Args.Expect('-');
    const TPoint P2 = Args.Point(&L2);
    Args.Expect('-');
    TPoint P3 = Args.Point(&L3);
    Args.Expect(',');
    const TColor Color = Args.ColorUpTo(0);
    if (!Draw)
      break;
    SetPen(C, Color);
    TPoint Centre;
    int R;
    // Three points on one line have no circle and draw nothing.
    if (FindCircleBy3Points(P1, P2, P3, Centre, R)) {
      if (Clockwise3Points(L1, L2, L3))
        std::swap(P1, P3);
      C.Arc(Centre.X - R, Centre.Y - R, Centre.X + R + 1, Centre.Y + R + 1, P1.X, P1.Y, P3.X, P3.Y);
    }
    break;
  }
  case TCommand::Fill: {
    const TPoint P = Args.Point();
    Args.Expect(',');
    const TColor Brush = Args.ColorUpTo(0);
    if (!Draw)
      break;
    SetBrush(C, Brush);
    C.FloodFill(P.X, P.Y, FPicture.GetPixel(P.X, P.Y), TFillStyle::fsSurface);
    break;
  }
  }
}

} // namespace Deskbay
