#include "Flowrun/Flowrun_VarStorage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

using namespace Deskbay;

namespace {

class TCountingListener : public IOnNotify {
public:
  void Notify(TObject*) override { ++Count; }
  int Count = 0;
};

std::string EvaluateError(TVarStorage& S, const std::string& Expr) {
  try {
    S.Evaluate(Expr);
  } catch (const Exception& E) {
    return E.Message();
  }
  return "no error";
}

std::string ConditionError(TVarStorage& S, const std::string& Cond) {
  try {
    S.EvaluateCondition(Cond);
  } catch (const Exception& E) {
    return E.Message();
  }
  return "no error";
}

std::string Names(const TVarStorage& S) {
  std::string Result;
  for (int I = 0; I < S.GetVarCount(); ++I)
    Result += S.GetVarNames(I);
  return Result;
}

} // namespace

TEST(VarStorage, KeepsNamesSortedAndFindsThemWhateverTheCase) {
  TVarStorage S;
  EXPECT_EQ(S.GetVarCount(), 0);
  S.SetVars("B", 2);
  S.SetVars("A", 1);
  S.SetVars("C", 3);
  EXPECT_EQ(Names(S), "ABC");
  EXPECT_EQ(S.GetVarIndex("x"), -1);
  S.SetVars("X", 24);
  EXPECT_EQ(S.GetVarIndex("x"), 3);
  EXPECT_TRUE(S.VarExists("b"));
  EXPECT_EQ(S.GetNewVarIndex("b"), 2) << "after the equal name";
  EXPECT_EQ(S.GetNewVarIndex("Z"), 4);

  S.SetVars("a", 10); // same variable: the stored name stays
  EXPECT_EQ(Names(S), "ABCX");
  EXPECT_EQ(S.GetVarValues(0), 10);
  EXPECT_EQ(S.GetVars("A"), 10);

  S.DeleteVar("b");
  S.DeleteVar("Q");
  EXPECT_EQ(Names(S), "ACX");
}

TEST(VarStorage, ReportsBadIndexesAndUndefinedNames) {
  TVarStorage S;
  S.SetVars("A", 1);
  for (int Index : {-1, 1}) {
    try {
      S.GetVarValues(Index);
      FAIL() << Index;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "Bad var index (" + std::to_string(Index) + ", 1).");
    }
  }
  EXPECT_THROW(S.GetVarNames(5), Exception);
  try {
    S.GetVars("q");
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Переменная \"q\" не определена.");
  }
}

TEST(VarStorage, NotifiesOncePerBracketAndOnlyOnChange) {
  TVarStorage S;
  TCountingListener L;
  S.AddListener(&L);
  S.SetVars("A", 1);
  EXPECT_EQ(L.Count, 1);
  S.BeginModify();
  S.SetVars("B", 1);
  S.SetVars("A", 2);
  S.DeleteVar("B");
  EXPECT_EQ(L.Count, 1);
  S.EndModify();
  EXPECT_EQ(L.Count, 2);
  S.DeleteVar("Z");
  S.Evaluate("A+1");
  EXPECT_EQ(L.Count, 2);
  S.RemoveListener(&L);
}

TEST(VarStorage, EvaluatesAgainstVariablesInDoublePrecision) {
  TVarStorage S;
  EXPECT_EQ(S.GetParser(), S.GetParser());
  S.SetVars("S", 0);
  for (int I = 1; I <= 10; ++I) {
    S.SetVars("I", I);
    S.SetVars("S", S.Evaluate("S+i"));
  }
  EXPECT_EQ(S.GetVars("S"), 55);
  EXPECT_EQ(S.Evaluate("1/3"), 1.0 / 3.0);
  EXPECT_EQ(S.Evaluate("2^0.5"), static_cast<double>(sqrtl(2.0L)));
}

TEST(VarStorage, EvaluationErrorsNameTheExpressionAndTheReason) {
  TVarStorage S;
  S.SetVars("A", 1);
  EXPECT_EQ(EvaluateError(S, "1/0"), "Ошибка при вычислении \"1/0\".\r\n");
  EXPECT_EQ(EvaluateError(S, "A+"), "Ошибка при вычислении \"A+\".\r\nОжидалось выражение.");
  EXPECT_EQ(EvaluateError(S, "A A"), "Ошибка при вычислении \"A A\".\r\nОжидался оператор.");
  EXPECT_EQ(EvaluateError(S, "SIN 1"), "Ошибка при вычислении \"SIN 1\".\r\nОжидалась \"(\".");
  EXPECT_EQ(EvaluateError(S, "(1"),
            "Ошибка при вычислении \"(1\".\r\nОжидался оператор или \")\".");
  EXPECT_EQ(EvaluateError(S, "a+b*2"),
            "Ошибка при вычислении \"a+b*2\".\r\nПеременная \"b\" не определена.");
  // Within extended range but not within double: refused, not stored as INF.
  EXPECT_EQ(EvaluateError(S, "1E300*1E300"), "Ошибка при вычислении \"1E300*1E300\".\r\n");
  // The parser must recover from all of the above.
  EXPECT_EQ(S.Evaluate("A+1"), 2);

  const uint64_t Version = S.GetVersion();
  EXPECT_EQ(EvaluateError(S, "A+Q"),
            "Ошибка при вычислении \"A+Q\".\r\nПеременная \"Q\" не определена.");
  EXPECT_EQ(S.GetVarCount(), 1);
  EXPECT_EQ(S.GetVars("A"), 1);
  EXPECT_EQ(S.GetVersion(), Version);
}

TEST(VarStorage, ConditionsCompareDoubleRoundedSidesExactly) {
  TVarStorage S;
  S.SetVars("A", S.Evaluate("0.3"));
  EXPECT_TRUE(S.EvaluateCondition("A = 0.3"));
  EXPECT_FALSE(S.EvaluateCondition("A <> 0.3"));
  EXPECT_TRUE(S.EvaluateCondition("A*10>=3"));
  S.SetVars("B", 1);
  EXPECT_TRUE(S.EvaluateCondition("a<b"));
  EXPECT_FALSE(S.EvaluateCondition("B<=A"));
}

TEST(VarStorage, BadConditionsAndFailingSides) {
  TVarStorage S;
  S.SetVars("A", 1);
  S.SetVars("B", 2);
  for (const char* Cond : {"A", "=A", "A=", "A==B", "A=>B", ""})
    EXPECT_EQ(ConditionError(S, Cond), std::string("Неверное условие \"") + Cond + "\".") << Cond;
  EXPECT_EQ(ConditionError(S, "A=<B"), "Ошибка при вычислении \"<B\".\r\nОжидалось выражение.");
  EXPECT_EQ(ConditionError(S, "X>Y"),
            "Ошибка при вычислении \"X\".\r\nПеременная \"X\" не определена.")
      << "the left side is evaluated first";
}
