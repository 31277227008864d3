#pragma once

// A canvas that writes what is drawn on it as an SVG document, so a finished
// flowchart can be saved as a vector picture.
//
// Pixel (X, Y) is the unit square from (X, Y) to (X + 1, Y + 1); outlines run
// through pixel centres with a 1-pixel stroke. A pen of mode pmNop draws
// neither outline nor fill, a clear pen no outline, a clear brush no fill and
// no text background. Text becomes <text> in the font colour (its top at the
// given y, its width the measured one), clipped text keeps its clip through a
// clipPath.
//
// Flood fill has no counterpart in SVG (it depends on the pixels already
// there); the SVG canvas ignores it. The flowchart never fills this way; only
// the machine's drawing statements do, and their canvas is a raster bitmap.

#include "Canvas.h"
#include "CorekitExport.h"

#include <string>
#include <string_view>

namespace Deskbay {

class TCompositeImage;

class COREKIT_API TSvgCanvas : public TCanvas {
public:
  TSvgCanvas(int Width, int Height);

  // The complete document: the XML declaration, the <svg> element sized
  // Width x Height and everything drawn so far.
  std::string GetDocument() const;
  // Paints the whole picture in Color, whatever the pen and brush.
  void FillBackground(TColor Color);
  // The elements drawn so far.
  const std::string& GetBody() const { return FBody; }

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
  // The fill and stroke attributes of a shape in the current pen and brush.
  std::string ShapePaint(bool Filled) const;
  void WriteText(TPoint P, std::string_view Text, const std::string& ClipAttribute);

  int FWidth;
  int FHeight;
  int FClipCount = 0;
  std::string FBody;
};

// "#RRGGBB" of a colour.
COREKIT_API std::string SvgColor(TColor Color);
// Text as XML character data or attribute value: markup characters escaped,
// invalid UTF-8 replaced by U+FFFD, control characters other than tab and
// line breaks left out.
COREKIT_API std::string EscapeXml(std::string_view Text);

// A finished image tree as a complete SVG file: the image's size, its
// logical (0, 0) at the SVG's (0, 0), on a white background.
COREKIT_API std::string CompositeImageToSvg(const TCompositeImage& Image);

} // namespace Deskbay
