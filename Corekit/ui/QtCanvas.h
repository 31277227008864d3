#pragma once

// The canvas interface on a QPainter, and the Qt fonts behind text metrics.
//
// TQtCanvas draws in the painter's current coordinate system, so whoever
// scales the painter (zoom, high-DPI screens) gets the same picture larger and
// still sharp: rectangles and straight lines along the axes are filled boxes
// of whole units, slanted lines, polygons and ellipses are drawn smoothly
// through the centres of their units; below a scale of 1 every line stays
// one device pixel wide. The raster rules of Canvas.h hold at a
// scale of 1 as far as a screen needs them (lines end before their end point,
// boxes leave out their right and bottom edges). Flood fill needs the pixels
// of a raster and does nothing here; nothing on screen uses it.

#include "CorekitUiExport.h"

#include "Corekit/Canvas.h"

#include <QColor>
#include <QFont>

class QPainter;
class QStaticText;

namespace Deskbay {

COREKITUI_API QColor QColorOf(TColor Color);
// The Qt font a TFont stands for. Measuring and drawing both go through it,
// so text always fits the boxes laid out for it.
COREKITUI_API QFont QFontOf(const TFont& Font);

// The painter's pen, brush, font and render hints are the canvas's to set.
class COREKITUI_API TQtCanvas : public TCanvas {
public:
  explicit TQtCanvas(QPainter& Painter) : FPainter(Painter) {}
  struct TFontEntry;
  QPainter& GetPainter() const { return FPainter; }

protected:
  void DoLine(TPoint From, TPoint To) override;
  void DoRectangle(const TRect& Box) override;
  void DoEllipse(const TRect& Box) override;
  void DoPolygon(const std::vector<TPoint>& Points) override;
  void DoArc(const TRect& Box, TPoint Start, TPoint End) override;
  void DoSetPixel(TPoint P, TColor Color) override;
  void DoFloodFill(TPoint P, TColor Color, TFillStyle Style) override;
  void DoTextOut(TPoint P, std::string_view Text) override;
  void DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text) override;

private:
  bool PenDraws() const;
  bool BrushFills() const;
  // The width of a line in units: one, or as many as make one device pixel
  // where the painter shrinks the picture (zoom below 100 %, small
  // pictures), so no line fades or drops out.
  double LineWidth() const;
  // A smooth outline of one unit's width through the units' centres.
  void SetSmoothPen();
  void SetSmoothBrush();
  static const TFontEntry& FontEntry(const TFont& Font);
  static const QStaticText& StaticText(const TFontEntry& Font, std::string_view Text);

  QPainter& FPainter;
};

// Text measured with the real fonts; installed while the GUI runs.
class COREKITUI_API TQtTextMetrics : public ITextMetrics {
public:
  int TextWidth(const TFont& Font, std::string_view Text) override;
  int LineHeight(const TFont& Font) override;
};

} // namespace Deskbay
