#include "Region.h"

#include <algorithm>
#include <cstdint>

namespace Deskbay {

TRegion TRegion::CreatePolygon(const std::vector<TPoint>& Points) {
  TRegion R;
  if (Points.size() < 3)
    return R;
  TPart Part;
  Part.Points = Points;
  Part.Box = {Points[0].X, Points[0].Y, Points[0].X, Points[0].Y};
  for (TPoint P : Points) {
    Part.Box.Left = std::min(Part.Box.Left, P.X);
    Part.Box.Top = std::min(Part.Box.Top, P.Y);
    Part.Box.Right = std::max(Part.Box.Right, P.X);
    Part.Box.Bottom = std::max(Part.Box.Bottom, P.Y);
  }
  // A flat polygon holds no pixel centre.
  if (Part.Box.Width() > 0 && Part.Box.Height() > 0)
    R.FParts.push_back(std::move(Part));
  return R;
}

TRegion TRegion::CreateEllipse(const TRect& Box) {
  TRegion R;
  TPart Part;
  Part.Ellipse = true;
  Part.Box = Box.Normalized();
  if (Part.Box.Width() > 0 && Part.Box.Height() > 0)
    R.FParts.push_back(std::move(Part));
  return R;
}

TRegion TRegion::CreateUnion(const TRegion& A, const TRegion& B) {
  TRegion R = A;
  R.Combine(B);
  return R;
}

void TRegion::Combine(const TRegion& Other) {
  FParts.insert(FParts.end(), Other.FParts.begin(), Other.FParts.end());
}

bool TRegion::PtInRegion(TPoint P) const {
  for (const TPart& Part : FParts) {
    if (P.X < Part.Box.Left || P.X >= Part.Box.Right || P.Y < Part.Box.Top ||
        P.Y >= Part.Box.Bottom)
      continue;
    if (Part.Ellipse ? InEllipse(Part, P) : InPolygon(Part, P))
      return true;
  }
  return false;
}

TRect TRegion::GetBox() const {
  if (FParts.empty())
    return {};
  TRect Box = FParts.front().Box;
  for (const TPart& Part : FParts) {
    Box.Left = std::min(Box.Left, Part.Box.Left);
    Box.Top = std::min(Box.Top, Part.Box.Top);
    Box.Right = std::max(Box.Right, Part.Box.Right);
    Box.Bottom = std::max(Box.Bottom, Part.Box.Bottom);
  }
  return Box;
}

// Everything is doubled so that the pixel centre (2X + 1, 2Y + 1) and the
// vertices are whole numbers. The centre's row is odd and vertices lie on
// even rows, so the horizontal ray never meets a vertex and every crossing
// is counted exactly once.
bool TRegion::InPolygon(const TPart& Part, TPoint P) {
  const int64_t CX = 2 * int64_t(P.X) + 1;
  const int64_t CY = 2 * int64_t(P.Y) + 1;
  int Winding = 0;
  const size_t N = Part.Points.size();
  for (size_t I = 0; I < N; ++I) {
    const TPoint A = Part.Points[I];
    const TPoint B = Part.Points[(I + 1) % N];
    const int64_t AX = 2 * int64_t(A.X), AY = 2 * int64_t(A.Y);
    const int64_t BX = 2 * int64_t(B.X), BY = 2 * int64_t(B.Y);
    // Side > 0 on a downward edge (Side < 0 on an upward one) means the
    // edge crosses the centre's row right of the centre. A centre exactly on
    // an edge counts that edge as not crossed, so left edges belong to the
    // shape and right edges do not.
    const int64_t Side = (BX - AX) * (CY - AY) - (CX - AX) * (BY - AY);
    if (AY < CY && BY > CY && Side > 0)
      ++Winding;
    else if (AY > CY && BY < CY && Side < 0)
      --Winding;
  }
  return Winding != 0;
}

bool TRegion::InEllipse(const TPart& Part, TPoint P) {
  const int64_t A = Part.Box.Width();
  const int64_t B = Part.Box.Height();
  const int64_t DX = 2 * int64_t(P.X) + 1 - (int64_t(Part.Box.Left) + Part.Box.Right);
  const int64_t DY = 2 * int64_t(P.Y) + 1 - (int64_t(Part.Box.Top) + Part.Box.Bottom);
  // (DX / A)^2 + (DY / B)^2 <= 1, both sides scaled by A^2 B^2.
  return DX * DX * B * B + DY * DY * A * A <= A * A * B * B;
}

} // namespace Deskbay
