#pragma once

// Clickable outlines: a region is a set of pixels made of polygons (winding
// fill) and ellipses, joined by union. A pixel belongs to a shape when its
// centre does, and the test is done in whole numbers, so hit-testing gives
// the same answer on every machine. A polygon or ellipse that has no area is
// an empty region, never an error.

#include "Canvas.h"
#include "CorekitExport.h"

#include <vector>

namespace Deskbay {

class COREKIT_API TRegion {
public:
  // The empty region.
  TRegion() = default;

  static TRegion CreatePolygon(const std::vector<TPoint>& Points);
  // The ellipse inscribed in Box; right and bottom are exclusive, as for
  // TCanvas::Ellipse.
  static TRegion CreateEllipse(const TRect& Box);
  static TRegion CreateUnion(const TRegion& A, const TRegion& B);

  // Adds Other's pixels to this region.
  void Combine(const TRegion& Other);
  bool PtInRegion(TPoint P) const;
  bool IsEmpty() const { return FParts.empty(); }
  // The smallest rectangle holding every shape (right and bottom exclusive);
  // empty for the empty region.
  TRect GetBox() const;

private:
  struct TPart {
    bool Ellipse = false;
    TRect Box; // the ellipse's box, or the polygon's bounds
    std::vector<TPoint> Points;
  };
  static bool InPolygon(const TPart& Part, TPoint P);
  static bool InEllipse(const TPart& Part, TPoint P);

  std::vector<TPart> FParts;
};

} // namespace Deskbay
