#pragma once

// What the flowchart marks over its picture while an algorithm is edited or
// followed: the block that runs next, the block an error stopped at, the
// block a run was stopped at, the block a variable's value came from, and
// the breakpoints. Plain data: the editor draws it, the debugger decides it.
// Pointers are compared, never followed, until the editor has checked that
// the block still exists.
//
// No mark is told by its colour alone: each frame has a line style and a
// sign of its own (see Flowedit_MarkerPainter), so the marks read the same
// in the high-contrast colours and without colour at all.

#include "Corekit/Canvas.h"

#include <map>

namespace Deskbay {

class TAlgBlock;

// The colours of the marks. Normal: on the white chart; high contrast: on
// the black chart of the high-contrast scheme.
struct TMarkerColors {
  TColor Next = RGBColor(0x00, 0xB0, 0x00);
  TColor Error = RGBColor(0xE0, 0x00, 0x00);
  TColor Stopped = RGBColor(0xC0, 0x60, 0x00);
  TColor Origin = RGBColor(0x1E, 0x64, 0xDC);
  TColor Breakpoint = RGBColor(0xE0, 0x00, 0x00);
  TColor BreakpointRim = RGBColor(0x80, 0x00, 0x00);
  // The signs drawn on a mark's badge.
  TColor BadgeText = RGBColor(0xFF, 0xFF, 0xFF);

  static TMarkerColors HighContrast() {
    TMarkerColors C;
    C.Next = RGBColor(0x00, 0xFF, 0x00);
    C.Error = RGBColor(0xFF, 0x40, 0xFF);
    C.Stopped = RGBColor(0xFF, 0xFF, 0x00);
    C.Origin = RGBColor(0x00, 0xFF, 0xFF);
    C.Breakpoint = RGBColor(0xFF, 0x40, 0x40);
    C.BreakpointRim = RGBColor(0xFF, 0xFF, 0xFF);
    C.BadgeText = RGBColor(0x00, 0x00, 0x00);
    return C;
  }
  bool operator==(const TMarkerColors&) const = default;
};

struct TChartMarkers {
  const TAlgBlock* Next = nullptr;    // solid frame, an arrow at its left
  const TAlgBlock* Error = nullptr;   // dashed frame, a "!" badge
  const TAlgBlock* Stopped = nullptr; // dotted frame, a square badge
  const TAlgBlock* Origin = nullptr;  // dash-dotted frame, an "=" badge
  // A dot with a rim at the block's left edge; true: the breakpoint has a
  // condition, the dot carries a bar.
  std::map<const TAlgBlock*, bool> Breakpoints;
  TMarkerColors Colors;

  bool Empty() const { return !Next && !Error && !Stopped && !Origin && Breakpoints.empty(); }
  bool operator==(const TChartMarkers&) const = default;
};

} // namespace Deskbay
