#include "Corekit/Geometry.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Deskbay;

TEST(Geometry, CircleThroughThreePoints) {
  TPoint Centre;
  int R = 0;
  ASSERT_TRUE(FindCircleBy3Points({0, 90}, {90, 0}, {180, 90}, Centre, R));
  EXPECT_EQ(Centre, (TPoint{90, 90}));
  EXPECT_EQ(R, 90);
  // The order of the points does not matter.
  ASSERT_TRUE(FindCircleBy3Points({180, 90}, {0, 90}, {90, 0}, Centre, R));
  EXPECT_EQ(Centre, (TPoint{90, 90}));

  // A right triangle's circle has the hypotenuse as diameter: centre
  // (1.5, 2) rounds to the even neighbour 2; radius 2.5 from (0, 0) at the
  // rounded centre (2, 2) is sqrt(8), 3.
  ASSERT_TRUE(FindCircleBy3Points({0, 0}, {3, 0}, {0, 4}, Centre, R));
  EXPECT_EQ(Centre, (TPoint{2, 2}));
  EXPECT_EQ(R, 3);

  EXPECT_FALSE(FindCircleBy3Points({0, 0}, {9, 9}, {18, 18}, Centre, R)) << "collinear";
  EXPECT_FALSE(FindCircleBy3Points({5, 5}, {5, 5}, {7, 1}, Centre, R)) << "two equal";
  // Nearly collinear far-apart points: the centre lies beyond any pixel.
  constexpr int32_t Big = std::numeric_limits<int32_t>::max() / 2;
  EXPECT_FALSE(FindCircleBy3Points({-Big, 0}, {0, 1}, {Big, 0}, Centre, R));
}

TEST(Geometry, ClockwiseWithYUp) {
  EXPECT_TRUE(Clockwise3Points({0, 10}, {10, 20}, {20, 10}));  // over the top, left to right
  EXPECT_FALSE(Clockwise3Points({20, 10}, {10, 20}, {0, 10})); // the same way back
  EXPECT_FALSE(Clockwise3Points({0, 0}, {1, 1}, {2, 2}));      // collinear
  EXPECT_TRUE(Clockwise3Points({std::numeric_limits<int32_t>::min(), 0}, {0, 1},
                               {std::numeric_limits<int32_t>::max(), 0}))
      << "no overflow";
}
