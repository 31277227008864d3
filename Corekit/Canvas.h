#pragma once

// The drawing surface every picture of the system goes through: the flowchart
// layout records onto it, the canvas device rasterises through it, and the
// picture exports and the Qt views replay onto it. A canvas keeps its pen,
// brush, font and pen position as plain state; every drawing operation uses
// the state current at the call, so a recorder only has to copy it.
//
// Coordinates are whole pixels, x to the right, y downwards. The operations
// follow the classic raster rules the layout figures rely on:
// - LineTo draws from the pen position to (X, Y) without the end pixel and
//   moves the pen there.
// - Rectangle and Ellipse fill and outline the box (X1, Y1)-(X2, Y2) with the
//   right and bottom edges excluded: pixels X1..X2-1, Y1..Y2-1.
// - Polygon closes the outline and fills with the winding rule.
// - A pen of style psClear draws no outline; a pen of mode pmNop changes no
//   pixel (a recorder still counts what it would have covered in its bounds);
//   a brush of style bsClear fills nothing and leaves text backgrounds alone.

#include "CorekitExport.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

// Colours as $00BBGGRR.
using TColor = uint32_t;

constexpr TColor RGBColor(uint8_t R, uint8_t G, uint8_t B) {
  return TColor(R) | (TColor(G) << 8) | (TColor(B) << 16);
}
constexpr uint8_t GetRValue(TColor C) {
  return uint8_t(C & 0xFF);
}
constexpr uint8_t GetGValue(TColor C) {
  return uint8_t((C >> 8) & 0xFF);
}
constexpr uint8_t GetBValue(TColor C) {
  return uint8_t((C >> 16) & 0xFF);
}

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend constexpr TPoint operator+(TPoint A, TPoint B) { return {A.X + B.X, A.Y + B.Y}; }
  friend constexpr TPoint operator-(TPoint A, TPoint B) { return {A.X - B.X, A.Y - B.Y}; }
  friend constexpr bool operator==(TPoint A, TPoint B) = default;
};

// Right and bottom are exclusive wherever a rectangle stands for an area.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  // The same area with Left <= Right and Top <= Bottom: shapes may be given
  // their box corners in any order.
  constexpr TRect Normalized() const {
    return {Left < Right ? Left : Right, Top < Bottom ? Top : Bottom, Left < Right ? Right : Left,
            Top < Bottom ? Bottom : Top};
  }
  constexpr bool Contains(TPoint P) const {
    return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom;
  }
  friend constexpr bool operator==(const TRect& A, const TRect& B) = default;
};

enum class TPenStyle { psSolid, psClear };
enum class TPenMode { pmCopy, pmNop };
enum class TBrushStyle { bsSolid, bsClear };
// fsSurface fills the area of the given colour; fsBorder fills up to it.
enum class TFillStyle { fsSurface, fsBorder };

struct TPen {
  TColor Color = 0x000000;
  TPenStyle Style = TPenStyle::psSolid;
  TPenMode Mode = TPenMode::pmCopy;
  friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
  TColor Color = 0xFFFFFF;
  TBrushStyle Style = TBrushStyle::bsSolid;
  friend bool operator==(const TBrush&, const TBrush&) = default;
};

struct TFont {
  std::string Name = "Sans";
  TColor Color = 0x000000;
  int Height = 16; // line height in pixels
  int Weight = 400;
  friend bool operator==(const TFont&, const TFont&) = default;
};

// How wide and how high text is in a font. The default provider is fixed and
// deterministic (every character is Height / 2 pixels wide, a line is Height
// pixels high), so layout figures are the same on every machine; the GUI
// installs one that asks the real fonts.
class COREKIT_API ITextMetrics {
public:
  virtual ~ITextMetrics() = default;
  // Width of one line of UTF-8 text.
  virtual int TextWidth(const TFont& Font, std::string_view Text) = 0;
  // Height of one line.
  virtual int LineHeight(const TFont& Font) = 0;
};

COREKIT_API ITextMetrics& GetTextMetrics();
// Installs Metrics (not owned) in place of the current provider; nullptr
// brings back the fixed default. Returns the provider it replaced.
COREKIT_API ITextMetrics* SetTextMetrics(ITextMetrics* Metrics);

// Splits text at CR LF, LF or CR into lines.
COREKIT_API std::vector<std::string> SplitTextLines(std::string_view Text);

class COREKIT_API TCanvas {
public:
  virtual ~TCanvas();

  TPen& GetPen() { return FPen; }
  TBrush& GetBrush() { return FBrush; }
  TFont& GetFont() { return FFont; }
  const TPen& GetPen() const { return FPen; }
  const TBrush& GetBrush() const { return FBrush; }
  const TFont& GetFont() const { return FFont; }
  TPoint GetPenPos() const { return FPenPos; }

  void MoveTo(int X, int Y) { FPenPos = {X, Y}; }
  // Draws from the pen position to (X, Y), end pixel excluded, and moves the
  // pen there.
  void LineTo(int X, int Y);
  void Rectangle(int X1, int Y1, int X2, int Y2) { DoRectangle({X1, Y1, X2, Y2}); }
  void Ellipse(int X1, int Y1, int X2, int Y2) { DoEllipse({X1, Y1, X2, Y2}); }
  void Polygon(const std::vector<TPoint>& Points) { DoPolygon(Points); }
  // The elliptic arc of the box, counter-clockwise as seen on the screen from
  // the ray towards (X3, Y3) to the ray towards (X4, Y4).
  void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    DoArc({X1, Y1, X2, Y2}, {X3, Y3}, {X4, Y4});
  }
  void SetPixel(int X, int Y, TColor Color) { DoSetPixel({X, Y}, Color); }
  // Fills with the brush, from (X, Y), the area of Color (fsSurface) or the
  // area bounded by Color (fsBorder).
  void FloodFill(int X, int Y, TColor Color, TFillStyle Style) {
    DoFloodFill({X, Y}, Color, Style);
  }
  // One line of text with its top-left corner at (X, Y), in the font colour;
  // the background is filled with the brush unless it is clear.
  void TextOut(int X, int Y, std::string_view Text) { DoTextOut({X, Y}, Text); }
  // The same line cut to Clip (right and bottom exclusive). Recorders replay
  // clipped text through it, so a surface that can clip keeps the clip.
  void TextRect(const TRect& Clip, int X, int Y, std::string_view Text) {
    DoClippedTextOut({X, Y}, Clip, Text);
  }

  // Text measurement through the installed metrics provider.
  int TextWidth(std::string_view Text) const;
  int TextHeight(std::string_view Text) const;
  // The rectangle that Text (lines split at line breaks) needs, centred on
  // Rect's horizontal middle: Rect grows to the widest line and to the lines'
  // total height, its left and top kept.
  TRect CalcTextRect(TRect Rect, std::string_view Text) const;
  // Every line of Text centred horizontally in Rect, one below the other
  // from Rect's top; nothing is drawn outside Rect.
  void DrawTextCentred(const TRect& Rect, std::string_view Text);
  // The first line of Text centred in Rect; when it is too wide, cut and
  // ended with "..." so that it fits.
  void DrawTextEllipsis(const TRect& Rect, std::string_view Text);

protected:
  virtual void DoLine(TPoint From, TPoint To) = 0;
  virtual void DoRectangle(const TRect& Box) = 0;
  virtual void DoEllipse(const TRect& Box) = 0;
  virtual void DoPolygon(const std::vector<TPoint>& Points) = 0;
  virtual void DoArc(const TRect& Box, TPoint Start, TPoint End) = 0;
  virtual void DoSetPixel(TPoint P, TColor Color) = 0;
  virtual void DoFloodFill(TPoint P, TColor Color, TFillStyle Style) = 0;
  virtual void DoTextOut(TPoint P, std::string_view Text) = 0;
  // One line of text at P clipped to Clip (right and bottom exclusive). The
  // default keeps the characters that fit whole and draws them through
  // DoTextOut; a line whose height does not fit is not drawn.
  virtual void DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text);

private:
  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TPoint FPenPos;
};

} // namespace Deskbay
