#include "Geometry.h"

#include "SysUtils.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace Deskbay {

namespace {

// Whether V rounds to a value that, with Margin on either side, is still a
// 32-bit coordinate; the circle's box reaches a radius beyond its centre.
bool FitsCoordinate(long double V, long double Margin = 0) {
  constexpr long double Lo = std::numeric_limits<int32_t>::min();
  constexpr long double Hi = std::numeric_limits<int32_t>::max();
  return std::isfinite(V) && V - Margin >= Lo && V + Margin <= Hi - 1;
}

} // namespace

bool FindCircleBy3Points(TPoint A, TPoint B, TPoint C, TPoint& Centre, int& Radius) {
  // long double holds every term exactly while coordinates stay within
  // 2^20 (the canvas device keeps within 2048), so only the final divisions
  // round.
  const long double Dx1 = (long double)B.X - A.X, Dy1 = (long double)B.Y - A.Y;
  const long double Dx2 = (long double)C.X - A.X, Dy2 = (long double)C.Y - A.Y;
  const long double E1 = ((long double)A.X + B.X) * Dx1 + ((long double)A.Y + B.Y) * Dy1;
  const long double E2 = ((long double)A.X + C.X) * Dx2 + ((long double)A.Y + C.Y) * Dy2;
  const long double D = 2 * (((long double)C.Y - B.Y) * Dx1 - ((long double)C.X - B.X) * Dy1);
  if (D == 0)
    return false;
  const long double X = RoundHalfEven((Dy2 * E1 - Dy1 * E2) / D);
  const long double Y = RoundHalfEven((Dx1 * E2 - Dx2 * E1) / D);
  if (!FitsCoordinate(X) || !FitsCoordinate(Y))
    return false;
  const long double R = RoundHalfEven(std::hypot(X - A.X, Y - A.Y));
  if (!FitsCoordinate(X, R) || !FitsCoordinate(Y, R))
    return false;
  Centre = {int32_t(X), int32_t(Y)};
  Radius = int(R);
  return true;
}

bool Clockwise3Points(TPoint P1, TPoint P2, TPoint P3) {
  const int64_t Det = (int64_t(P2.X) - P1.X) * (int64_t(P3.Y) - P1.Y) -
                      (int64_t(P2.Y) - P1.Y) * (int64_t(P3.X) - P1.X);
  return Det < 0;
}

} // namespace Deskbay
