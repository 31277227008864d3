#pragma once

// What the canvas frame shows, worked out without the toolkit: the picture
// composed on white with the optional grid under it, and where the five
// coordinate labels go around the paint box.

#include "FlowjogExport.h"

#include "Corekit/RasterBitmap.h"

#include <array>
#include <functional>
#include <string>

namespace Deskbay {

class TAlgCanvas;

// The grid's pen.
constexpr TColor clMedGray = RGBColor(160, 160, 164);

// Target becomes white (its canvas's brush colour, white unless changed),
// then gets the grid when asked for - a line at every multiple 0 .. count - 1
// of the scale across the whole bitmap - and finally the canvas's picture,
// whose transparent background lets the grid show. Target has to have the
// picture's size.
FLOWJOG_API void ComposeCanvasPicture(TBitmap& Target, const TAlgCanvas& Canvas, bool Grid);

// How many screen pixels a canvas pixel takes when Room pixels are there
// for a picture PictureSize wide: a whole number, at least 1, so that the
// grid's cells stay equal.
FLOWJOG_API int CanvasMagnification(int Room, int PictureSize);

struct TCanvasLabel {
  std::string Text;
  TPoint Pos; // top-left corner of the text
  int Width = 0;
};

// The labels of the vertical axis (height at the top, half-way, 0 at the
// bottom) to the left of the paint box, and of the horizontal one (half-way
// and width) under it. PaintBox is the paint box's place in the frame;
// TextWidth measures a label in the frame's font.
FLOWJOG_API std::array<TCanvasLabel, 5>
CanvasLabels(int Width, int Height, int Scale, const TRect& PaintBox,
             const std::function<int(const std::string&)>& TextWidth);

// What the canvas shows, in words, for a screen reader: "Нарисовано: 2
// отрезка, 1 круг; цвета: красный, синий", or "Ничего не нарисовано".
FLOWJOG_API std::string CanvasDescription(const TAlgCanvas& Canvas);

} // namespace Deskbay
