#include "Corekit/Region.h"

#include <gtest/gtest.h>

using namespace Deskbay;

TEST(Region, PolygonPixelsAndWindingFill) {
  // The flowchart's decision diamond.
  TRegion Diamond = TRegion::CreatePolygon({{0, 20}, {50, 0}, {99, 20}, {50, 39}});
  EXPECT_TRUE(Diamond.PtInRegion({50, 20}));
  EXPECT_TRUE(Diamond.PtInRegion({50, 0}));
  EXPECT_TRUE(Diamond.PtInRegion({2, 20}));
  EXPECT_TRUE(Diamond.PtInRegion({97, 19}));
  EXPECT_FALSE(Diamond.PtInRegion({99, 20})); // right corner: the centre lies outside
  EXPECT_FALSE(Diamond.PtInRegion({5, 5}));
  EXPECT_FALSE(Diamond.PtInRegion({50, 39}));
  EXPECT_FALSE(Diamond.PtInRegion({50, -1}));
  EXPECT_EQ(Diamond.GetBox(), (TRect{0, 0, 99, 39}));

  // A square: left and top edges inside, right and bottom outside.
  TRegion Square = TRegion::CreatePolygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  EXPECT_TRUE(Square.PtInRegion({0, 0}));
  EXPECT_TRUE(Square.PtInRegion({9, 9}));
  EXPECT_FALSE(Square.PtInRegion({10, 5}));
  EXPECT_FALSE(Square.PtInRegion({5, 10}));

  // A five-pointed star drawn in one stroke winds twice round its middle,
  // which the winding rule fills (even-odd would not).
  TRegion Star = TRegion::CreatePolygon({{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}});
  EXPECT_TRUE(Star.PtInRegion({50, 50}));
  EXPECT_TRUE(Star.PtInRegion({50, 10}));
  EXPECT_FALSE(Star.PtInRegion({10, 80}));

  // Vertices listed the other way round make the same region.
  TRegion Reversed = TRegion::CreatePolygon({{0, 10}, {10, 10}, {10, 0}, {0, 0}});
  EXPECT_TRUE(Reversed.PtInRegion({0, 0}));
  EXPECT_FALSE(Reversed.PtInRegion({10, 5}));

  EXPECT_TRUE(TRegion::CreatePolygon({{0, 0}, {5, 5}}).IsEmpty());
  EXPECT_TRUE(TRegion::CreatePolygon({{0, 0}, {5, 0}, {9, 0}}).IsEmpty());
  EXPECT_FALSE(TRegion().PtInRegion({0, 0}));
}

TEST(Region, EllipsesAndUnion) {
  TRegion Top = TRegion::CreateEllipse({0, 0, 100, 40});
  EXPECT_TRUE(Top.PtInRegion({50, 20}));
  EXPECT_TRUE(Top.PtInRegion({0, 19}));
  EXPECT_TRUE(Top.PtInRegion({99, 20}));
  EXPECT_TRUE(Top.PtInRegion({50, 0}));
  EXPECT_FALSE(Top.PtInRegion({100, 20})); // right of the box
  EXPECT_FALSE(Top.PtInRegion({50, 40}));  // below the box
  EXPECT_FALSE(Top.PtInRegion({2, 2}));    // the box's corner lies outside the ellipse
  EXPECT_TRUE(TRegion::CreateEllipse({5, 5, 5, 20}).IsEmpty());
  // A box given the other way round is the same ellipse.
  EXPECT_TRUE(TRegion::CreateEllipse({100, 40, 0, 0}).PtInRegion({50, 20}));

  TRegion Both = TRegion::CreateUnion(Top, TRegion::CreateEllipse({0, 100, 100, 140}));
  EXPECT_TRUE(Both.PtInRegion({50, 20}));
  EXPECT_TRUE(Both.PtInRegion({50, 120}));
  EXPECT_FALSE(Both.PtInRegion({50, 70}));
  EXPECT_EQ(Both.GetBox(), (TRect{0, 0, 100, 140}));
  EXPECT_EQ(TRegion().GetBox(), TRect{});
}
