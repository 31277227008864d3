#include "Corekit/Parser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <numbers>
#include <string>
#include <vector>

using namespace Deskbay;

namespace {

class ParserTest : public ::testing::Test {
protected:
  void SetUp() override {
    Parser.SetOnGetVar(
        [this](TObject* Sender, std::string_view Name, long double& Value, bool& Found) {
          EXPECT_EQ(Sender, &Parser);
          EXPECT_FALSE(Found);
          Asked.emplace_back(Name);
          const auto It = Vars.find(std::string(Name));
          if (It != Vars.end()) {
            Value = It->second;
            Found = true;
          }
        });
    Parser.SetOnParseError([this](TObject* Sender, int Code) {
      EXPECT_EQ(Sender, &Parser);
      Errors.push_back(Code);
    });
  }

  void Run(std::string_view Text) {
    Errors.clear();
    Asked.clear();
    Parser.SetParseString(Text);
    Parser.Parse();
  }

  long double Eval(std::string_view Text) {
    Run(Text);
    EXPECT_FALSE(Parser.GetHasError()) << Text;
    EXPECT_TRUE(Errors.empty()) << Text;
    return Parser.GetResultValue();
  }

  void ExpectSyntaxError(std::string_view Text, int Code, int Position) {
    Run(Text);
    SCOPED_TRACE(std::string(Text));
    EXPECT_TRUE(Parser.GetHasError());
    EXPECT_EQ(Parser.GetResultValue(), 0);
    EXPECT_EQ(Parser.GetParseError(), Code);
    EXPECT_EQ(Parser.GetPosition(), Position);
    EXPECT_EQ(Errors, std::vector<int>{Code});
  }

  void ExpectMathError(std::string_view Text) {
    Run(Text);
    SCOPED_TRACE(std::string(Text));
    EXPECT_TRUE(Parser.GetHasError());
    EXPECT_EQ(Parser.GetResultValue(), 0);
    EXPECT_EQ(Parser.GetParseError(), ErrNone);
    EXPECT_TRUE(Errors.empty());
  }

  TMathParser Parser;
  std::map<std::string, long double> Vars;
  std::vector<std::string> Asked;
  std::vector<int> Errors;
};

TEST_F(ParserTest, PrecedenceAndAssociativity) {
  EXPECT_EQ(Eval("1+2*3"), 7);
  EXPECT_EQ(Eval("(1+2)*3"), 9);
  EXPECT_EQ(Eval("10-4-3"), 3);
  EXPECT_EQ(Eval("100/10/5"), 2);
  EXPECT_EQ(Eval("2^3^2"), 512);
  EXPECT_EQ(Eval("2^-2"), 0.25);
  EXPECT_EQ(Eval("2*-3"), -6);
  EXPECT_EQ(Eval("2--3"), 5);
  EXPECT_EQ(Eval("-3*2+1"), -5);
  // MOD: left-associative, opens a term, takes factors.
  EXPECT_EQ(Eval("17 MOD 10 MOD 4"), 3);
  EXPECT_EQ(Eval("7 MOD 4 * 3"), 9);
  EXPECT_EQ(Eval("1 + 7 MOD 4"), 4);
  EXPECT_EQ(Eval("7 MOD 2^2"), 3);
  EXPECT_EQ(Eval("(7)mod(3)"), 1);
  EXPECT_EQ(Eval("  ( 1 + 2 ) * ( 3 - 1 )  "), 6);
}

TEST_F(ParserTest, SyntaxErrorsStopAtTheOffendingToken) {
  ExpectSyntaxError("", ErrExpression, 1);
  ExpectSyntaxError("   ", ErrExpression, 4);
  ExpectSyntaxError("2+", ErrExpression, 3);
  ExpectSyntaxError("(2", ErrOpCloseParen, 3);
  ExpectSyntaxError("2)", ErrOperator, 2);
  ExpectSyntaxError("SIN(1", ErrOpCloseParen, 6);
  ExpectSyntaxError("SIN 1", ErrOpenParen, 5);
  ExpectSyntaxError("sin+1", ErrOpenParen, 4);
  ExpectSyntaxError("2*7 MOD 3", ErrOperator, 5);
  ExpectSyntaxError("--2", ErrExpression, 2);
  ExpectSyntaxError("-+2", ErrExpression, 2);
  ExpectSyntaxError("1 22", ErrOperator, 3);
  ExpectSyntaxError("1!", ErrOperator, 2);
  ExpectSyntaxError("\t1", ErrExpression, 1);
  ExpectSyntaxError("\xD0\x96x", ErrExpression, 1); // a Cyrillic letter
  Vars["a1"] = 1;
  ExpectSyntaxError("a1\xD0\x96", ErrOperator, 3);
  // A syntax error found later wins over a math error.
  ExpectSyntaxError("1/0+", ErrExpression, 5);
  // Unknown identifiers are Bad tokens; the position rests on their start.
  ExpectSyntaxError("2+xyz", ErrExpression, 3);
  ExpectSyntaxError("2 xyz", ErrOperator, 3);
}

TEST_F(ParserTest, Numbers) {
  EXPECT_EQ(Eval("1.5e3"), 1500);
  EXPECT_EQ(Eval("1E+2"), 100);
  EXPECT_EQ(Eval("25e-1"), 2.5);
  EXPECT_EQ(Eval(".5+1"), 1.5);
  EXPECT_EQ(Eval("5."), 5);
  EXPECT_EQ(Eval("1e-9999"), 0);
  ExpectSyntaxError("1e", ErrInvalidNum, 2);
  ExpectSyntaxError("2*1e+", ErrInvalidNum, 4);
  ExpectSyntaxError("1.2.3", ErrOperator, 4);
  ExpectSyntaxError(".", ErrExpression, 1);
  ExpectSyntaxError(" .", ErrInvalidNum, 2);
  ExpectSyntaxError("2*.e5", ErrInvalidNum, 3);
  ExpectSyntaxError("2*1E9999", ErrInvalidNum, 3);
  // At most four exponent digits: the fifth starts a number of its own.
  ExpectSyntaxError("1e12345", ErrOperator, 7);
  // Every digit counts, however long the number.
  EXPECT_EQ(Eval("1" + std::string(99, '0')), 1e99L);
  EXPECT_EQ(Eval("0." + std::string(150, '0') + "1e150"), 0.1L);
}

TEST_F(ParserTest, NumbersIgnoreTheProcessLocale) {
  const char* Old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string Saved = Old ? Old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma installed";
  const long double Value = Eval("2.5*2");
  std::setlocale(LC_NUMERIC, Saved.c_str());
  EXPECT_EQ(Value, 5);
}

TEST_F(ParserTest, MathErrorsRunToTheEndWithoutParseError) {
  ExpectMathError("1/0");
  ExpectMathError("0^2");
  ExpectMathError("-2^2");
  ExpectMathError("10^5000");
  ExpectMathError("1E4000*1E4000");
  ExpectMathError("1E4000/1E-4000");
  ExpectMathError("!");
  ExpectMathError("1+!garbage");
  ExpectMathError("(1/0)*0+1");
}

TEST_F(ParserTest, ModRoundsItsOperandsToInt64) {
  EXPECT_EQ(Eval("7 MOD 3"), 1);
  EXPECT_EQ(Eval("-7 MOD 3"), -1);
  EXPECT_EQ(Eval("7 MOD -3"), 1);
  EXPECT_EQ(Eval("7 MOD 1.5"), 1);  // 1.5 rounds to 2
  EXPECT_EQ(Eval("2.5 MOD 10"), 2); // 2.5 rounds to 2
  EXPECT_EQ(Eval("9223372036854775807 MOD 10"), 7);
  ExpectMathError("7 MOD 0.4");
  ExpectMathError("7 MOD 0.5");
  ExpectMathError("1E19 MOD 3");
  ExpectMathError("3 MOD -1E19");
  Vars["BIG"] = 0x1p63L - 0.5L; // rounds up to 2^63, one past the range
  ExpectMathError("BIG MOD 3");
  Vars["MIN"] = -0x1p63L;
  EXPECT_EQ(Eval("MIN MOD -1"), 0);
  EXPECT_EQ(Eval("MIN MOD 10"), -8);
}

TEST_F(ParserTest, FunctionsAndTheirDomains) {
  EXPECT_EQ(Eval("sqrt(4)"), 2);
  EXPECT_EQ(Eval("Sqrt(4)"), 2);
  EXPECT_EQ(Eval("SQRT(4)"), 2);
  EXPECT_EQ(Eval("SQR(3)"), 9);
  EXPECT_EQ(Eval("ABS(-3)"), 3);
  EXPECT_NEAR(static_cast<double>(Eval("ATAN(1)*4")), std::numbers::pi, 1e-15);
  EXPECT_EQ(Eval("COS(0)+SIN(0)"), 1);
  EXPECT_EQ(Eval("EXP(0)+LN(1)"), 1);
  EXPECT_EQ(Eval("ROUND(2.5)"), 2);
  EXPECT_EQ(Eval("ROUND(3.5)"), 4);
  EXPECT_EQ(Eval("ROUND(-2.5)"), -2);
  EXPECT_EQ(Eval("ROUND(2.6)"), 3);
  EXPECT_EQ(Eval("TRUNC(-2.7)"), -2);
  EXPECT_EQ(Eval("SQRT(SQR(-5))"), 5);
  for (const char* Text : {"SQRT(-1)", "LN(0)", "LN(-1)", "EXP(11357)", "SIN(1E19)", "COS(-1E19)",
                           "SQR(1E2467)", "ROUND(1E10)", "TRUNC(-1E10)", "ROUND(1E30)"})
    ExpectMathError(Text);
  // Only whole identifiers are function names.
  Vars["sqrt4"] = 7;
  Vars["ABSX"] = 8;
  EXPECT_EQ(Eval("sqrt4+ABSX"), 15);
  EXPECT_EQ(Asked, (std::vector<std::string>{"sqrt4", "ABSX"}));
}

TEST_F(ParserTest, EventContract) {
  EXPECT_STREQ(Parser.ClassName(), "TMathParser");

  Vars["Ab"] = 2;
  EXPECT_EQ(Eval("Ab*Ab+1"), 5);
  EXPECT_EQ(Asked, (std::vector<std::string>{"Ab", "Ab"}));

  // Whatever the handler raises leaves Parse unchanged, before OnParseError.
  Parser.SetOnGetVar([](TObject*, std::string_view Name, long double&, bool&) {
    throw Exception("undefined " + std::string(Name));
  });
  Errors.clear();
  Parser.SetParseString("1+Q");
  try {
    Parser.Parse();
    FAIL() << "no exception";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "undefined Q");
  }
  EXPECT_TRUE(Errors.empty());

  // Without handlers every identifier is unknown and errors are only flagged.
  Parser.SetOnGetVar(nullptr);
  Parser.SetOnParseError(nullptr);
  Parser.SetParseString("x");
  Parser.Parse();
  EXPECT_TRUE(Parser.GetHasError());
  EXPECT_EQ(Parser.GetParseError(), ErrExpression);

  // Nothing carries over to the next parse.
  Parser.SetParseString("2*3");
  Parser.Parse();
  EXPECT_FALSE(Parser.GetHasError());
  EXPECT_EQ(Parser.GetParseError(), ErrNone);
  EXPECT_EQ(Parser.GetResultValue(), 6);
}

TEST_F(ParserTest, LimitsOfStackAndText) {
  const auto Nested = [](int Depth) {
    return std::string(static_cast<size_t>(Depth), '(') + "1" +
           std::string(static_cast<size_t>(Depth), ')');
  };
  EXPECT_EQ(Eval(Nested(97)), 1);
  // 98 parentheses fill the stack; the first ")" no longer fits.
  ExpectSyntaxError(Nested(98), ErrParserStack, 100);
  ExpectSyntaxError(Nested(200), ErrParserStack, 100);

  // The longest text still parses, with positions past 16 bits of range.
  std::string Long(TMathParser::MaxExpressionLength - 2, ' ');
  Long += "1+";
  ExpectSyntaxError(Long, ErrExpression, 65536);
  Long.back() = '1';
  EXPECT_EQ(Eval(Long), 11);
  ExpectSyntaxError(Long + " ", ErrParserStack, 1);
}

} // namespace
