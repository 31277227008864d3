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

} // namespace
