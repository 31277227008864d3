#pragma once

// How a picture goes onto pages: scaled down to fit one page while it stays
// legible, otherwise at the smallest legible scale cut into pages.

#include "CorekitExport.h"

#include "Canvas.h"

#include <vector>

namespace Deskbay {

struct TPagePlan {
  double Scale = 1;         // page units per picture pixel
  std::vector<TRect> Tiles; // the part of the picture on each page, in order
};

// Picture and Page are sizes in the same units at scale 1. A picture that
// fits is never enlarged. One that needs a scale below MinScale is drawn at
// MinScale in tiles of a page each, row by row, top to bottom.
COREKIT_API TPagePlan PlanPages(TPoint Picture, TPoint Page, double MinScale = 0.5);

} // namespace Deskbay
