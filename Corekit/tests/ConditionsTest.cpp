#include "Corekit/Conditions.h"
#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace Deskbay;

namespace {

TEST(ConditionsTest, IsLatinCharIsExactlyAsciiLetters) {
  int Count = 0;
  for (int C = -128; C < 128; ++C)
    Count += IsLatinChar(static_cast<char>(C));
  EXPECT_EQ(Count, 52);
  for (char C : {'A', 'Z', 'a', 'z', 'm'})
    EXPECT_TRUE(IsLatinChar(C)) << C;
  for (char C : {'@', '[', '`', '{', '0', '_', static_cast<char>(0xD0)})
    EXPECT_FALSE(IsLatinChar(C)) << C;
}

TEST(ConditionsTest, SplitConditionFindsTheFirstOperator) {
  struct TCase {
    const char* S;
    const char* Left;
    const char* Op;
    const char* Right;
  };
  for (const TCase& C :
       {TCase{"A<B", "A", "<", "B"}, TCase{"A>B", "A", ">", "B"}, TCase{"A=B", "A", "=", "B"},
        TCase{"A<=B", "A", "<=", "B"}, TCase{"A>=B", "A", ">=", "B"}, TCase{"A<>B", "A", "<>", "B"},
        TCase{"A=<B", "A", "=", "<B"}, TCase{"A<<B", "A", "<", "<B"},
        TCase{" A + 1 >= B ", " A + 1 ", ">=", " B "}, TCase{"A<B<C", "A", "<", "B<C"}}) {
    std::string Left, Right, Op;
    SplitCondition(C.S, Left, Right, Op);
    EXPECT_EQ(Left, C.Left) << C.S;
    EXPECT_EQ(Op, C.Op) << C.S;
    EXPECT_EQ(Right, C.Right) << C.S;
  }
}

TEST(ConditionsTest, SplitConditionRefusesMalformedConditions) {
  for (const char* S : {"", "A", "=A", "A=", "A<", "A<=", "A<>", "A==B", "A=>B", "A>>B", "<"}) {
    std::string Left = "l", Right = "r", Op = "o";
    try {
      SplitCondition(S, Left, Right, Op);
      ADD_FAILURE() << "accepted " << S;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), std::string("Bad condition: \"") + S + "\".");
    }
    EXPECT_EQ(Left + Right + Op, "lro") << S;
  }
}

TEST(ConditionsTest, CompareExtendedIsExact) {
  EXPECT_TRUE(CompareExtended(1, 2, "<"));
  EXPECT_FALSE(CompareExtended(2, 2, "<"));
  EXPECT_TRUE(CompareExtended(3, 2, ">"));
  EXPECT_FALSE(CompareExtended(2, 2, ">"));
  EXPECT_TRUE(CompareExtended(2, 2, "="));
  EXPECT_FALSE(CompareExtended(2, 2, "<>"));
  EXPECT_TRUE(CompareExtended(2, 2, "<="));
  EXPECT_TRUE(CompareExtended(2, 2, ">="));
  EXPECT_FALSE(CompareExtended(3, 2, "<="));
  EXPECT_FALSE(CompareExtended(1, 2, ">="));
  // No tolerance: the nearest neighbours differ.
  const long double X = 0.3L;
  const long double Next = std::nextafter(X, 1.0L);
  EXPECT_FALSE(CompareExtended(X, Next, "="));
  EXPECT_TRUE(CompareExtended(X, Next, "<>"));
  EXPECT_TRUE(CompareExtended(X, Next, "<"));
  for (const char* Op : {"==", "=<", "", "!="}) {
    try {
      CompareExtended(1, 1, Op);
      ADD_FAILURE() << "accepted " << Op;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), std::string("Bad condition: \"") + Op + "\".");
    }
  }
}

} // namespace
