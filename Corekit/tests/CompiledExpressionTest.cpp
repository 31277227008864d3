#include "CompiledDifferential.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

TEST(CompiledExpressionTest, AnswersAsTheParserOnRandomTexts) {
  // The benchmark build runs the full count; DESKBAY_DIFFERENTIAL_COUNT
  // overrides it here.
  const char* Env = std::getenv("DESKBAY_DIFFERENTIAL_COUNT");
  const int Count = Env ? std::atoi(Env) : 20000;
  const TDifferentialRun Run = RunDifferential(Count, 16);
  for (const std::string& Diff : Run.Differences)
    ADD_FAILURE() << Diff;
  // The texts reach every outcome: each syntax error the parser raises,
  // math errors, undefined variables and values.
  for (int Outcome : {0, 1, 3, 4, 5, 6, 7, 8, 9})
    EXPECT_GT(Run.Outcomes[Outcome], 0) << "outcome " << Outcome;
}

TEST(CompiledExpressionTest, FixedCasesOfEveryKind) {
  TDifferentialVars Vars;
  std::mt19937 Random(1);
  for (const char* Text : {"A*B+SQRT(C)-1",
                           "2^3^2",
                           "-2^2",
                           "7 MOD 3",
                           "-7 MOD 3",
                           "2*7 MOD 3",
                           "1/0+",
                           "1/0",
                           "SIN(1",
                           "SIN 1",
                           "(2",
                           "2)",
                           "",
                           "   ",
                           ".",
                           " .",
                           "1e",
                           "1.2.3",
                           "Q+1",
                           "1+Q",
                           "(+Q",
                           "2 Q",
                           "Q 2",
                           "1/0+Q",
                           "!",
                           "1+!Q",
                           "Q!",
                           "A MOD 0.4",
                           "ABSX",
                           "sqrt(4)",
                           "\t1",
                           "a1\xD0\x96",
                           "1e12345",
                           "9223372036854775807 MOD 10",
                           "EXP(11357)",
                           "SQR(1E2467)"}) {
    for (int Round = 0; Round < 8; ++Round) {
      Vars.Randomize(Random);
      EXPECT_EQ(CompareWithParser(Text, Vars), "");
    }
  }
  const auto Nested = [](int Depth) {
    return std::string(static_cast<size_t>(Depth), '(') + "A" +
           std::string(static_cast<size_t>(Depth), ')');
  };
  for (int Depth : {97, 98, 99, 200})
    EXPECT_EQ(CompareWithParser(Nested(Depth), Vars), "");
  EXPECT_EQ(CompareWithParser(std::string(TMathParser::MaxExpressionLength + 1, ' '), Vars), "");
}

TEST(CompiledExpressionTest, ReportsTheFirstUndefinedVariableAsWritten) {
  TCompiledExpression E;
  std::vector<std::string> Slots;
  E.Compile("a + q*Q + zz", [&Slots](std::string_view Name) {
    Slots.emplace_back(Name);
    return static_cast<int>(Slots.size() - 1);
  });
  EXPECT_EQ(Slots, (std::vector<std::string>{"a", "q", "Q", "zz"}));
  const double One = 1;
  const double* Values[] = {&One, nullptr, &One, nullptr};
  TEvalResult R = E.Evaluate(Values);
  ASSERT_EQ(R.Status, TEvalStatus::Undefined);
  EXPECT_EQ(E.GetVarName(R.Undefined), "q");
  Values[1] = &One;
  R = E.Evaluate(Values);
  ASSERT_EQ(R.Status, TEvalStatus::Undefined);
  EXPECT_EQ(E.GetVarName(R.Undefined), "zz");
  Values[3] = &One;
  R = E.Evaluate(Values);
  ASSERT_EQ(R.Status, TEvalStatus::Ok);
  EXPECT_EQ(R.Value, 3);
}

// The quick evaluation takes doubles and integers where the 80-bit unit
// would give the same double: on the values where the two part (a sum or
// product the 80-bit unit rounds twice, -0, overflow, fractions, 2^62 and
// beyond) it must refuse or agree to the bit.
TEST(CompiledExpressionTest, QuickEvaluationIsTheFullOneToTheBit) {
  std::mt19937_64 Random(7);
  const auto Pick = [&Random](int N) { return static_cast<int>(Random() % unsigned(N)); };
  const auto Operand = [&]() -> double {
    switch (Pick(9)) {
    case 0:
      return static_cast<double>(Pick(41) - 20);
    case 1:
      return -0.0;
    case 2: // whole numbers of any size up to beyond 2^63
      return std::ldexp(static_cast<double>(Random() >> 11), Pick(75) - 52) * (Pick(2) ? 1 : -1);
    case 3: // many significant bits: sums and products the 80-bit unit rounds
      return std::ldexp(1.0 + static_cast<double>(Random() >> 12) * 0x1p-52, Pick(120) - 60);
    case 4:
      return Pick(2) ? 0.5 : 0.25 * (Pick(9) - 4);
    case 5:
      return std::ldexp(1.0, Pick(2100) - 1075); // from below the normal range to overflow
    case 6:
      return Pick(2) ? 0x1p62 : -0x1p62 - (Pick(2) ? 1024.0 : 0.0);
    case 7:
      return static_cast<double>(Random() >> 40) + 0.5;
    default:
      return 1e308 * (Pick(2) ? 1 : -1);
    }
  };
  TDifferentialVars Vars;
  // Sums and products whose 80-bit result, rounded again to a double, is
  // not the double nearest to the exact one.
  const double RoundedTwice[][2] = {{1.3915341474883871, 0.65714765954180621},
                                    {1.3910132298562039, 1.299565945751965},
                                    {1690209.674941692, 1.715327659505399},
                                    {1407708.2300421395, 1.5991132332710531},
                                    {1.0, 0x1p-53 * (1 + 0x1p-13)}};
  for (const auto& Pair : RoundedTwice) {
    Vars.Set("A", Pair[0]);
    Vars.Set("B", Pair[1]);
    for (const char* Text : {"A*B", "A+B", "B+A", "A-(-B)", "B*A"})
      EXPECT_EQ(CompareWithParser(Text, Vars), "") << Pair[0] << ", " << Pair[1];
  }
  const char* const Texts[] = {"A+B",       "A-B",   "A*B",      "A MOD B",     "-A*B",
                               "A+B*C-A",   "A*3",   "7-A",      "(A*B) MOD C", "A+(B*C) MOD 7",
                               "A",         "A*B*C", "0*A",      "-A-B",        "A MOD 3+B",
                               "A*B<=C",    "-(A)",  "A MOD 20", "A MOD 2.5",   "9.5 MOD A",
                               "A MOD 1E19"};
  int Differences = 0;
  for (int I = 0; I < 60000 && Differences < 10; ++I) {
    Vars.Set("A", Operand());
    Vars.Set("B", Operand());
    Vars.Set("C", Operand());
    const std::string D = CompareWithParser(Texts[I % std::size(Texts)], Vars);
    if (!D.empty()) {
      ++Differences;
      ADD_FAILURE() << D << " with A=" << Vars.Get("A") << " B=" << Vars.Get("B")
                    << " C=" << Vars.Get("C");
    }
  }
}

} // namespace
