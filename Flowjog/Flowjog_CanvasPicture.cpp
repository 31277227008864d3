#include "Flowjog_CanvasPicture.h"

#include "Corekit/VisualUtils.h"
#include "Flowrun/Flowrun_Canvas.h"

#include <algorithm>

namespace Deskbay {

void ComposeCanvasPicture(TBitmap& Target, const TAlgCanvas& Canvas, bool Grid) {
  const TBitmap& Picture = Canvas.GetPicture();
  Assert(Target.GetWidth() == Picture.GetWidth() && Target.GetHeight() == Picture.GetHeight(),
         "ComposeCanvasPicture: the target does not have the picture's size.");
  TCanvas& C = Target.GetCanvas();
  Target.Fill(C.GetBrush().Color);
  if (Grid) {
    C.GetPen().Color = clMedGray;
    C.GetPen().Style = TPenStyle::psSolid;
    C.GetPen().Mode = TPenMode::pmCopy;
    const int S = Canvas.GetCanvasScale();
    for (int I = 0; I < Canvas.GetCanvasWidth(); ++I) {
      C.MoveTo(I * S, 0);
      LineInclusive(C, I * S, Target.GetHeight());
    }
    for (int J = 0; J < Canvas.GetCanvasHeight(); ++J) {
      C.MoveTo(0, J * S);
      LineInclusive(C, Target.GetWidth(), J * S);
    }
  }
  const bool Transparent = Picture.GetTransparent();
  const TColor Clear = Picture.GetTransparentColor();
  for (int Y = 0; Y < Picture.GetHeight(); ++Y) {
    const TColor* Row = Picture.GetScanLine(Y);
    for (int X = 0; X < Picture.GetWidth(); ++X)
      if (!Transparent || Row[X] != Clear)
        Target.SetPixel(X, Y, Row[X]);
  }
}

int CanvasMagnification(int Room, int PictureSize) {
  return PictureSize > 0 ? std::max(1, Room / PictureSize) : 1;
}

std::array<TCanvasLabel, 5> CanvasLabels(int Width, int Height, int Scale, const TRect& PaintBox,
                                         const std::function<int(const std::string&)>& TextWidth) {
  const int L = PaintBox.Left, T = PaintBox.Top;
  const int Below = T + PaintBox.Height() + 2;
  auto Make = [&](int Value, auto Left, int Top) {
    TCanvasLabel Label;
    Label.Text = std::to_string(Value);
    Label.Width = TextWidth(Label.Text);
    Label.Pos = {Left(Label.Width), Top};
    return Label;
  };
  auto LeftOfBox = [&](int W) { return L - W - 3; };
  return {Make(Height, LeftOfBox, T), Make(Height / 2, LeftOfBox, (Height / 2) * Scale + T),
          Make(0, LeftOfBox, Below),
          Make(
              Width / 2, [&](int W) { return (Width / 2) * Scale + L - W; }, Below),
          Make(
              Width, [&](int W) { return L + PaintBox.Width() - W; }, Below)};
}

namespace {

// "1 отрезок", "3 отрезка", "5 отрезков": the Russian plural of a count.
std::string Counted(int64_t N, const char* One, const char* Few, const char* Many) {
  const int64_t Tens = N % 100, Units = N % 10;
  const char* Word = (Tens >= 11 && Tens <= 14)   ? Many
                     : Units == 1                 ? One
                     : (Units >= 2 && Units <= 4) ? Few
                                                  : Many;
  return std::to_string(N) + " " + Word;
}

// The palette's colours by index, as TAlgCanvas::Palette holds them.
constexpr const char* PaletteNames[16] = {
    "чёрный",    "синий",     "зелёный",      "бирюзовый", "красный",      "пурпурный",
    "бордовый",  "серый",     "светло-серый", "голубой",   "ярко-зелёный", "ярко-голубой",
    "оранжевый", "сиреневый", "жёлтый",       "белый"};

} // namespace

std::string CanvasDescription(const TAlgCanvas& Canvas) {
  const TAlgCanvas::TDrawingCounts& C = Canvas.GetDrawingCounts();
  std::string Items;
  auto Add = [&Items](int64_t N, const char* One, const char* Few, const char* Many) {
    if (N <= 0)
      return;
    if (!Items.empty())
      Items += ", ";
    Items += Counted(N, One, Few, Many);
  };
  Add(C.Points, "точка", "точки", "точек");
  Add(C.Segments, "отрезок", "отрезка", "отрезков");
  Add(C.Circles, "круг", "круга", "кругов");
  Add(C.Polygons, "многоугольник", "многоугольника", "многоугольников");
  Add(C.Arcs, "дуга", "дуги", "дуг");
  Add(C.Fills, "заливка", "заливки", "заливок");
  if (Items.empty())
    return "Ничего не нарисовано";
  std::string Colors;
  for (int I = 0; I < 16; ++I)
    if (C.Colors & (1u << I))
      Colors += (Colors.empty() ? "" : ", ") + std::string(PaletteNames[I]);
  return "Нарисовано: " + Items + (Colors.empty() ? "" : "; цвета: " + Colors);
}

} // namespace Deskbay
