#include "PagePlan.h"

#include <algorithm>
#include <cmath>

namespace Deskbay {

TPagePlan PlanPages(TPoint Picture, TPoint Page, double MinScale) {
  TPagePlan Plan;
  if (Picture.X <= 0 || Picture.Y <= 0 || Page.X <= 0 || Page.Y <= 0) {
    Plan.Tiles.push_back({0, 0, std::max(Picture.X, 0), std::max(Picture.Y, 0)});
    return Plan;
  }
  const double Fit =
      std::min(static_cast<double>(Page.X) / Picture.X, static_cast<double>(Page.Y) / Picture.Y);
  if (Fit >= MinScale) {
    Plan.Scale = std::min(Fit, 1.0);
    Plan.Tiles.push_back({0, 0, Picture.X, Picture.Y});
    return Plan;
  }
  Plan.Scale = MinScale;
  // What one page holds of the picture, in whole picture pixels.
  const int TileW = std::max(1, static_cast<int>(std::floor(Page.X / MinScale)));
  const int TileH = std::max(1, static_cast<int>(std::floor(Page.Y / MinScale)));
  for (int Top = 0; Top < Picture.Y; Top += TileH)
    for (int Left = 0; Left < Picture.X; Left += TileW)
      Plan.Tiles.push_back(
          {Left, Top, std::min(Left + TileW, Picture.X), std::min(Top + TileH, Picture.Y)});
  return Plan;
}

} // namespace Deskbay
