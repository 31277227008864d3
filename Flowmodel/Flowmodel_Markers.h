#pragma once

// What the flowchart marks over its picture while an algorithm is edited or
// followed: the block that runs next, the block an error stopped at, the
// block a variable's value came from, and the breakpoints. Plain data: the
// editor draws it, the debugger decides it. Pointers are compared, never
// followed, until the editor has checked that the block still exists.

#include <map>

namespace Deskbay {

class TAlgBlock;

struct TChartMarkers {
  const TAlgBlock* Next = nullptr;   // outlined green
  const TAlgBlock* Error = nullptr;  // outlined red
  const TAlgBlock* Origin = nullptr; // outlined blue
  // A red dot at the block's left edge; true: the breakpoint has a
  // condition, the dot carries a white mark.
  std::map<const TAlgBlock*, bool> Breakpoints;

  bool Empty() const { return !Next && !Error && !Origin && Breakpoints.empty(); }
  bool operator==(const TChartMarkers&) const = default;
};

} // namespace Deskbay
