#include "Flowrun/Flowrun_VarStorage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

using namespace Deskbay;

namespace {

class TCountingListener : public IOnNotify {
public:
  void Notify(TObject*) override { ++Count; }
  int Count = 0;
};

std::string ErrorOf(const std::function<void()>& Fn) {
  try {
    Fn();
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
  S.SetVars("B", 2);
  S.SetVars("A", 1);
  S.SetVars("C", 3);
  S.SetVars("X", 24);
  EXPECT_EQ(Names(S), "ABCX");
  EXPECT_EQ(S.GetVarIndex("x"), 3);
  EXPECT_EQ(S.GetNewVarIndex("b"), 2) << "after the equal name";
  S.SetVars("a", 10); // the same variable: its stored name stays
  S.DeleteVar("b");
  S.DeleteVar("Q");
  EXPECT_EQ(Names(S), "ACX");
  EXPECT_EQ(S.GetVarValues(0), 10);

  EXPECT_EQ(ErrorOf([&] { S.GetVarValues(3); }), "Bad var index (3, 3).");
  EXPECT_EQ(ErrorOf([&] { S.GetVarNames(-1); }), "Bad var index (-1, 3).");
  EXPECT_EQ(ErrorOf([&] { S.GetVars("q"); }), "Переменная \"q\" не определена.");
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
  S.SetVars("S", 0);
  for (int I = 1; I <= 10; ++I) {
    S.SetVars("I", I);
    S.SetVars("S", S.Evaluate("S+i"));
  }
  EXPECT_EQ(S.GetVars("S"), 55);
  EXPECT_EQ(S.Evaluate("1/3"), 1.0 / 3.0);
}

TEST(VarStorage, EvaluationErrorsNameTheExpressionAndTheReason) {
  TVarStorage S;
  S.SetVars("A", 1);
  const auto Error = [&S](const std::string& Expr) { return ErrorOf([&] { S.Evaluate(Expr); }); };
  const std::string Head = "Ошибка при вычислении ";
  EXPECT_EQ(Error("1/0"), Head + "\"1/0\".\r\n");
  EXPECT_EQ(Error("A+"), Head + "\"A+\".\r\nОжидалось выражение.");
  EXPECT_EQ(Error("A A"), Head + "\"A A\".\r\nОжидался оператор.");
  EXPECT_EQ(Error("SIN 1"), Head + "\"SIN 1\".\r\nОжидалась \"(\".");
  EXPECT_EQ(Error("(1"), Head + "\"(1\".\r\nОжидался оператор или \")\".");
  EXPECT_EQ(Error("a+b*2"), Head + "\"a+b*2\".\r\nПеременная \"b\" не определена.");
  // Within extended range but not within double: refused, not stored as INF.
  EXPECT_EQ(Error("1E300*1E300"), Head + "\"1E300*1E300\".\r\n");

  const uint64_t Version = S.GetVersion();
  EXPECT_EQ(Error("A+Q"), Head + "\"A+Q\".\r\nПеременная \"Q\" не определена.");
  EXPECT_EQ(Names(S), "A");
  EXPECT_EQ(S.GetVars("A"), 1);
  EXPECT_EQ(S.GetVersion(), Version);
  EXPECT_EQ(S.Evaluate("A+1"), 2) << "the parser recovers";
}

TEST(VarStorage, Conditions) {
  TVarStorage S;
  S.SetVars("A", S.Evaluate("0.3"));
  S.SetVars("B", 1);
  EXPECT_TRUE(S.EvaluateCondition("A = 0.3")) << "both sides rounded to double";
  EXPECT_FALSE(S.EvaluateCondition("A <> 0.3"));
  EXPECT_TRUE(S.EvaluateCondition("a<b"));
  EXPECT_FALSE(S.EvaluateCondition("B<=A"));

  const auto Error = [&S](const std::string& Cond) {
    return ErrorOf([&] { S.EvaluateCondition(Cond); });
  };
  for (const char* Cond : {"A", "=A", "A=", "A==B", "A=>B", ""})
    EXPECT_EQ(Error(Cond), std::string("Неверное условие \"") + Cond + "\".") << Cond;
  EXPECT_EQ(Error("A=<B"), "Ошибка при вычислении \"<B\".\r\nОжидалось выражение.");
  EXPECT_EQ(Error("X>Y"), "Ошибка при вычислении \"X\".\r\nПеременная \"X\" не определена.")
      << "the left side is evaluated first";
}
