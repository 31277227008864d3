#pragma once

// A raster picture of 32-bit colours and the canvas that draws on it. The
// canvas device of the machine paints here, the picture exports write it out
// and the GUI copies it to the screen, so every pixel a drawing operation
// touches is fixed by the rules below and comes out the same on every machine.
//
// Pixel rules of TBitmapCanvas (coordinates of any size are allowed; what
// falls outside the bitmap is clipped before any loop runs, so the work of an
// operation is bounded by the bitmap's size, never by its coordinates):
// - Lines: from the start pixel towards the end, one pixel per step along the
//   longer axis; the other coordinate is the exact position on the ideal line
//   rounded to the nearest pixel, halves away from the start. The end pixel
//   is not drawn; a line from a point to itself draws nothing.
// - Rectangle: the pixels X1..X2-1, Y1..Y2-1 (the corners are put in order
//   first); the outermost ring is the outline in the pen colour, the rest is
//   filled with the brush.
// - Ellipse: the pixels of the same box whose centres lie on or inside the
//   ellipse inscribed in the box's outer edges, so the box
//   (X-R, Y-R)-(X+R+1, Y+R+1) gives the circle around the pixel (X, Y) whose
//   outermost pixels on each axis are R away from it. The outline is every
//   such pixel with a left, right, upper or lower neighbour outside the
//   shape: a thin, 8-connected ring that a 4-connected flood fill does not
//   cross.
// - Polygon: a pixel is filled when it lies inside by the non-zero winding
//   rule, pixels and vertices being points of one grid; of the pixels exactly
//   on an edge only those with the shape to their right or below them are
//   filled (so the fill alone leaves out the right and bottom border). Then
//   every edge is drawn as a line, the closing edge included, so the outline
//   covers the border and all vertices. Fewer than two points draw nothing.
// - Arc: the outline pixels of the ellipse of the box whose direction from
//   the centre lies between the start ray and the end ray, counter-clockwise
//   as seen on the screen, both rays included. Rays that point the same way
//   give the whole ellipse; a ray of zero length points to the right.
// - Flood fill: the 4-connected area of pixels that have the given colour
//   (fsSurface) or that do not (fsBorder), starting from the given pixel,
//   is painted with the brush; nothing when the start pixel is outside the
//   bitmap or does not qualify.
// - A pen of style psClear or mode pmNop leaves line, outline and arc pixels
//   unchanged; with psClear the fill covers the outline's pixels too. A brush
//   of style bsClear fills nothing. SetPixel ignores pen and brush.
// - Text: the logic layer has no font rasteriser. TextOut fills the line's
//   box (measured by the installed text metrics) with the brush unless it is
//   clear and draws no glyphs; pictures with lettering are drawn by the GUI.

#include "Canvas.h"

#include <memory>
#include <vector>

namespace Deskbay {

class TBitmapCanvas;

class COREKIT_API TBitmap {
public:
  // What GetPixel answers outside the bitmap; no pixel ever holds it, since
  // stored colours keep only their low 24 bits.
  static constexpr TColor NoPixel = 0xFFFFFFFF;
  // Either side may be at most this long.
  static constexpr int MaxSide = 16384;

  // The bits of a colour a pixel keeps.
  static constexpr TColor ColorMask = 0xFFFFFF;

  explicit TBitmap(int Width = 0, int Height = 0, TColor Color = 0xFFFFFF);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int GetWidth() const { return FWidth; }
  int GetHeight() const { return FHeight; }
  // Every pixel becomes Color; sides outside 0..MaxSide are a programming
  // error.
  void SetSize(int Width, int Height, TColor Color = 0xFFFFFF);
  bool Contains(int X, int Y) const { return X >= 0 && Y >= 0 && X < FWidth && Y < FHeight; }
  TColor GetPixel(int X, int Y) const;
  // Inline: a drawing loop sets a pixel a step.
  void SetPixel(int X, int Y, TColor Color) {
    if (Contains(X, Y))
      FPixels[size_t(Y) * size_t(FWidth) + size_t(X)] = Color & ColorMask;
  }
  void Fill(TColor Color);
  // Pixels of row Y, left to right; Y must be inside the bitmap.
  const TColor* GetScanLine(int Y) const;

  // A transparent bitmap shows what lies beneath it wherever its pixels
  // have the transparent colour.
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool Value) { FTransparent = Value; }
  TColor GetTransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor Value) { FTransparentColor = Value & 0xFFFFFF; }

  // Size, pixels and transparency of Source; the canvas keeps its state.
  void Assign(const TBitmap& Source);
  bool SamePixels(const TBitmap& Other) const;

  // The bitmap's own drawing surface, living as long as the bitmap.
  TCanvas& GetCanvas();

private:
  // The canvas writes the pixels of a line straight into the rows.
  friend class TBitmapCanvas;
  int FWidth = 0;
  int FHeight = 0;
  std::vector<TColor> FPixels;
  bool FTransparent = false;
  TColor FTransparentColor = 0;
  std::unique_ptr<TBitmapCanvas> FCanvas;
};

// Draws on a bitmap it does not own, by the rules at the top of this file.
class COREKIT_API TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap& Bitmap) : FBitmap(Bitmap) {}
  TBitmap& GetBitmap() const { return FBitmap; }

protected:
  void DoLine(TPoint From, TPoint To) override;
  void DoRectangle(const TRect& Box) override;
  void DoEllipse(const TRect& Box) override;
  void DoPolygon(const std::vector<TPoint>& Points) override;
  void DoArc(const TRect& Box, TPoint Start, TPoint End) override;
  void DoSetPixel(TPoint P, TColor Color) override;
  void DoFloodFill(TPoint P, TColor Color, TFillStyle Style) override;
  void DoTextOut(TPoint P, std::string_view Text) override;

private:
  bool PenDraws() const;
  bool BrushFills() const;
  void DrawLine(TPoint From, TPoint To, TColor Color);
  void FillSpan(int Y, int64_t X1, int64_t X2, TColor Color);

  TBitmap& FBitmap;
};

} // namespace Deskbay
