#pragma once

// The machine's drawing device: it executes the drawing commands of
// computation blocks on a small square picture that the debugger shows.

#include "Flowrun_Main.h"

#include "Corekit/RasterBitmap.h"

#include <array>

namespace Deskbay {

struct TStatement;
class TVarStorage;

// Commands (the word in any case, spaces anywhere, coordinates logical;
// the line language reads them, see Flowlang_Statement):
//   тчк(x,y),c                      a pixel
//   отр(x1,y1)-(x2,y2),c            a segment, both ends included
//   крг(x,y),r,outline,fill         a circle of r units
//   мну(x1,y1)-(x2,y2)...,outline,fill  a filled polygon of two points or more
//   дуг(x1,y1)-(x2,y2)-(x3,y3),c    the arc from the first point through the second to the third
//   зкр(x,y),c                      a flood fill of the area around the point
// Each value is an expression over the run's variables; colours index the
// 16-colour palette.
class FLOWRUN_API TAlgCanvas : public TAlgDevice {
public:
  static constexpr TColor BackgroundColor = RGBColor(254, 254, 254);
  static constexpr std::array<TColor, 16> Palette = {
      RGBColor(0, 0, 0),       RGBColor(0, 0, 255),     RGBColor(0, 128, 0),
      RGBColor(51, 204, 204),  RGBColor(255, 0, 0),     RGBColor(255, 0, 255),
      RGBColor(153, 0, 51),    RGBColor(166, 166, 166), RGBColor(230, 230, 230),
      RGBColor(153, 204, 255), RGBColor(0, 255, 0),     RGBColor(0, 255, 255),
      RGBColor(255, 153, 0),   RGBColor(204, 153, 255), RGBColor(255, 255, 0),
      RGBColor(255, 255, 255)};

  explicit TAlgCanvas(TAlgMachine* Machine);
  const char* ClassName() const override { return "TAlgCanvas"; }

  TCanvas& GetCanvas() { return FPicture.GetCanvas(); }
  const TBitmap& GetPicture() const { return FPicture; }

  // Logical units across and up, and pixels per unit: the picture has one
  // pixel more than units times scale on each side, so that both border
  // lines are on it.
  static constexpr int GetCanvasWidth() { return 20; }
  static constexpr int GetCanvasHeight() { return 20; }
  static constexpr int GetCanvasScale() { return 9; }
  // Logical (0, 0) is the bottom-left pixel; y grows upwards.
  static TPoint LogToPhys(TPoint P);

  // Reads a drawing command (ReadDrawing) and runs it.
  bool ExecLine(const std::string& Line) override;
  // Compiles a drawing command into Out (lkDraw, its expressions in the
  // order they are read, its command in Target); false, Out's kind
  // untouched, for a statement that is no drawing command or whose form is
  // wrong.
  bool CompileStatement(const TStatement& S, TCompiledBlock::TLine& Out);
  // Runs a line compiled by CompileLine; Line is its text, for the errors.
  void ExecCompiled(const TCompiledBlock::TLine& L, const std::string& Line);
  // A point whose coordinates and colour the quick evaluation gives, that
  // round to a pixel and a palette index in range: drawn and counted, and
  // true; its change notice is the caller's (NoteDrawn, once for many).
  // False, nothing done, for any other line: ExecCompiled then draws it or
  // raises what it raises, as the values are read again.
  bool DrawQuickPoint(const TCompiledBlock::TLine& L, const TVarStorage& Storage);
  void NoteDrawn() { Changed(); }

  // What has been drawn so far, command by command (a command that failed
  // counts nothing), and the palette colours used: bit I for Palette[I].
  struct TDrawingCounts {
    int64_t Points = 0, Segments = 0, Circles = 0, Polygons = 0, Arcs = 0, Fills = 0;
    uint16_t Colors = 0;
    bool operator==(const TDrawingCounts&) const = default;
  };
  const TDrawingCounts& GetDrawingCounts() const { return FCounts; }

private:
  void Perform(int Command, void* Reader);
  void CountColor(TColor Color);

  TBitmap FPicture;
  TDrawingCounts FCounts;
};

} // namespace Deskbay
