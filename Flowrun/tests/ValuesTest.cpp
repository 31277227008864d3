#include "Flowrun/Flowrun_Values.h"

#include "Corekit/tests/FileBytes.h"

#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace Deskbay;
using namespace Deskbay::Testing;

TEST(AlgFormatValue, GeneralFormatWithTenDigits) {
  struct TCase {
    double Value;
    const char* Text;
  };
  const TCase Cases[] = {
      {1.0 / 3.0, "0.3333333333"},
      {2.0 / 3.0, "0.6666666667"},
      {6, "6"},
      {1.5, "1.5"},
      {0.3, "0.3"},
      {-0.0, "0"},
      {9999999999.4, "9999999999"},
      {9999999999.7, "1E10"}, // rounding lifts the exponent
      {12345678901.0, "1.23456789E10"},
      {1e20, "1E20"},
      {-2.5e-7, "-2.5E-7"},
      {0.00001, "0.00001"},
      {0.000001, "1E-6"},
      {1e-300, "1E-300"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
  };
  for (const TCase& C : Cases)
    EXPECT_EQ(AlgFormatValue(C.Value), C.Text) << C.Text;
}

TEST(AlgStrToFloat, AcceptsNumbersWithThePointAndRefusesEverythingElse) {
  EXPECT_EQ(AlgStrToFloat("42"), 42.0L);
  EXPECT_EQ(AlgStrToFloat("  -1.5\t"), -1.5L);
  EXPECT_EQ(AlgStrToFloat("+2.25"), 2.25L);
  EXPECT_EQ(AlgStrToFloat(".5"), 0.5L);
  EXPECT_EQ(AlgStrToFloat("5."), 5.0L);
  EXPECT_EQ(AlgStrToFloat("2.5E-1"), 0.25L);
  EXPECT_EQ(AlgStrToFloat("0.1"), 0.1L) << "converted in extended, not via double";
  EXPECT_EQ(AlgStrToFloat("1e-99999"), 0.0L) << "too small becomes 0";
  EXPECT_EQ(AlgStrToFloat("0.0001e-4950"), 0.0L);

  // The comma is no decimal point: "3,5" is refused like any other text.
  for (const char* S : {"",     "  ",      "abc",       "1.2.3", "3,5",   ",5",      "5,",  "1,2.3",
                        "1e",   "1e+",     "--1",       "+-1",   "1 2",   ".",       "inf", "nan",
                        "0x10", "1e99999", "0.01e4999", "12a",   "1e400", "-1.8e308"}) {
    try {
      AlgStrToFloat(S);
      ADD_FAILURE() << S;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), std::string("\"") + S + "\" не является числом.");
    }
  }
  EXPECT_EQ(AlgStrToFloat("1.7976931348623157e308"), 1.7976931348623157e308L) << "the largest";
  // A long text is quoted by its beginning, whole characters only.
  EXPECT_EQ(MessageOf([] { AlgStrToFloat(std::string(39, '9') + "ЖЖЖ" + std::string(1000, '9')); }),
            "\"" + std::string(39, '9') + "Ж…\" не является числом.");
  const std::string Forty = std::string(36, '1') + "ab,c";
  EXPECT_EQ(MessageOf([&] { AlgStrToFloat(Forty); }), "\"" + Forty + "\" не является числом.");
}

TEST(AlgInputRefusal, SaysWhyAnAnswerIsNoNumberAndHowToWriteAFraction) {
  EXPECT_EQ(AlgInputRefusal(" 2.5 "), "");
  EXPECT_EQ(AlgInputRefusal("abc"), "\"abc\" не является числом.");
  EXPECT_EQ(AlgInputRefusal("2,5"),
            "\"2,5\" не является числом.\nДробную часть отделяйте точкой: 2.5");
  EXPECT_EQ(AlgInputRefusal(" -0,75 "),
            "\" -0,75 \" не является числом.\nДробную часть отделяйте точкой: -0.75");
  // With the point it is still no number: the hint shows a number of its own.
  EXPECT_EQ(AlgInputRefusal("1,2,3"),
            "\"1,2,3\" не является числом.\nДробную часть отделяйте точкой: 2.5");
}
