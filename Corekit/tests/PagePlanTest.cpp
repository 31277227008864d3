#include "Corekit/PagePlan.h"

#include <gtest/gtest.h>

using namespace Deskbay;

TEST(PagePlan, APictureThatFitsLegiblyTakesOnePageAndIsNeverEnlarged) {
  TPagePlan Small = PlanPages({200, 300}, {700, 1000});
  EXPECT_EQ(Small.Scale, 1.0);
  ASSERT_EQ(Small.Tiles.size(), 1u);
  EXPECT_EQ(Small.Tiles[0].Right, 200);
  EXPECT_EQ(Small.Tiles[0].Bottom, 300);

  // Twice the page's height: half the size, still one page.
  TPagePlan Tall = PlanPages({700, 2000}, {700, 1000});
  EXPECT_DOUBLE_EQ(Tall.Scale, 0.5);
  EXPECT_EQ(Tall.Tiles.size(), 1u);
}

TEST(PagePlan, ATallerPictureIsCutIntoPagesAtTheSmallestLegibleScale) {
  TPagePlan Plan = PlanPages({1000, 4500}, {700, 1000});
  EXPECT_DOUBLE_EQ(Plan.Scale, 0.5);
  // 1400 x 2000 picture pixels a page: one column, three rows.
  ASSERT_EQ(Plan.Tiles.size(), 3u);
  EXPECT_EQ(Plan.Tiles[1].Top, 2000);
  EXPECT_EQ(Plan.Tiles[2].Bottom, 4500);
  EXPECT_EQ(Plan.Tiles[2].Right, 1000);

  // Wide and tall: row by row.
  TPagePlan Wide = PlanPages({3000, 2500}, {700, 1000});
  ASSERT_EQ(Wide.Tiles.size(), 6u);
  EXPECT_EQ(Wide.Tiles[1].Left, 1400);
  EXPECT_EQ(Wide.Tiles[3].Top, 2000);
  for (const TRect& T : Wide.Tiles) {
    EXPECT_LE(T.Width() * Wide.Scale, 700);
    EXPECT_LE(T.Height() * Wide.Scale, 1000);
  }
}

TEST(PagePlan, EmptySizesGiveOneEmptyPage) {
  EXPECT_EQ(PlanPages({0, 0}, {700, 1000}).Tiles.size(), 1u);
  EXPECT_EQ(PlanPages({10, 10}, {0, 0}).Tiles.size(), 1u);
}
