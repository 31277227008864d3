#pragma once

// Plane geometry on whole-pixel points.

#include "Canvas.h"

namespace Deskbay {

// The circle through A, B and C, its centre and radius rounded to whole
// pixels (halves to the even neighbour). False when there is none: the
// points are collinear (two or three of them equal included), or the circle
// is too big for pixel coordinates, which only nearly collinear points give.
COREKIT_API bool FindCircleBy3Points(TPoint A, TPoint B, TPoint C, TPoint& Centre, int& Radius);

// Whether P1, P2, P3 turn clockwise with y growing upwards: the determinant
// of P2 - P1 and P3 - P1 is negative. Collinear points do not.
COREKIT_API bool Clockwise3Points(TPoint P1, TPoint P2, TPoint P3);

} // namespace Deskbay
