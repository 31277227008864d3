#include "Flowlang/Flowlang_LineCheck.h"
#include "Flowlang/Flowlang_Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Deskbay;

namespace {

using Strings = std::vector<std::string>;

// The marked part of the line, as written.
std::string Marked(const std::string& Line, const TLineProblem& P) {
  return Line.substr(P.Start, P.End - P.Start);
}

} // namespace

TEST(LineCheck, RefusedExpressionsAreMarkedWithTheMachinesTwoLineMessage) {
  struct TCase {
    TLineRole Role;
    const char* Line;
    const char* Marked;
    const char* Message;
  };
  const TCase Cases[] = {
      {TLineRole::Computation, "S = S +", "S +",
       "Ошибка при вычислении \"S+\".\r\nОжидалось выражение."},
      {TLineRole::Computation, "X=(A+1", "(A+1",
       "Ошибка при вычислении \"(A+1\".\r\nОжидался оператор или \")\"."},
      // A name of two letters never has a value.
      {TLineRole::Computation, "X=AB+1", "AB+1",
       "Ошибка при вычислении \"AB+1\".\r\nПеременная \"AB\" не определена."},
      // A part without variables that fails: the machine's first line only.
      {TLineRole::Computation, "Y=A+LN(0)", "A+LN(0)", "Ошибка при вычислении \"A+LN(0)\".\r\n"},
      {TLineRole::InputOutput, "Вывод A, B+, C", "B+",
       "Ошибка при вычислении \"B+\".\r\nОжидалось выражение."},
      // A condition keeps its blanks: the expression is marked as written.
      {TLineRole::Condition, "A < B *", " B *",
       "Ошибка при вычислении \" B *\".\r\nОжидалось выражение."},
      // The machine computes start, end and step in that order.
      {TLineRole::CountingLoop, "I=1,N+,K*", "N+",
       "Ошибка при вычислении \"N+\".\r\nОжидалось выражение."},
      // The arguments of a drawing command are computed before its form
      // is judged.
      {TLineRole::Computation, "тчк(1,A*)3", "A*",
       "Ошибка при вычислении \"A*\".\r\nОжидалось выражение."},
  };
  for (const TCase& C : Cases) {
    TLineProblem P;
    ASSERT_TRUE(CheckLine(C.Role, C.Line, P)) << C.Line;
    EXPECT_EQ(P.Message, C.Message) << C.Line;
    EXPECT_EQ(Marked(C.Line, P), C.Marked) << C.Line;
  }
}

TEST(LineCheck, LinesThatDoNotReadAreWholeLineSyntaxErrors) {
  struct TCase {
    TLineRole Role;
    const char* Line;
    std::string Message;
  };
  const TCase Cases[] = {
      {TLineRole::Computation, "S+", SyntaxErrorInLineText("S+")},
      {TLineRole::Computation, "К=0", SyntaxErrorInLineText("К=0")}, // a Cyrillic К
      {TLineRole::Computation, "тчк(1,2)3", SyntaxErrorInLineText("тчк(1,2)3")},
      {TLineRole::Computation, "мну(1,2),3,4", SyntaxErrorInLineText("мну(1,2),3,4")},
      {TLineRole::InputOutput, "Печать A", SyntaxErrorInLineText("Печать A")},
      {TLineRole::InputOutput, "Ввод A, 1", SyntaxErrorInLineText("Ввод A, 1")},
      {TLineRole::Condition, "A + 1", BadConditionText("A + 1")},
      {TLineRole::Condition, "A", BadConditionText("A")},
      {TLineRole::CountingLoop, "I=1,2", SyntaxErrorInLineText("I=1,2")},
      {TLineRole::CountingLoop, "I=", SyntaxErrorText()},
  };
  for (const TCase& C : Cases) {
    TLineProblem P;
    ASSERT_TRUE(CheckLine(C.Role, C.Line, P)) << C.Line;
    EXPECT_EQ(P.Message, C.Message) << C.Line;
    EXPECT_EQ(P.Start, 0u) << C.Line;
    EXPECT_EQ(P.End, std::string(C.Line).size()) << C.Line;
  }
}

TEST(LineCheck, WhatDependsOnValuesIsNoProblem) {
  const std::pair<TLineRole, const char*> Good[] = {
      {TLineRole::Computation, ""},
      {TLineRole::Computation, "   "},
      {TLineRole::Computation, "X = A / B"},       // B may be 0 only at run time
      {TLineRole::Computation, "X=SQRT(A-5)"},     // A may be small
      {TLineRole::Computation, "Y = Q"},           // Q may have no value
      {TLineRole::Computation, "Y = A MOD 3"},     // MOD between blanks
      {TLineRole::Computation, "тчк(100,100),20"}, // ranges are checked at run time
      {TLineRole::Computation, "мну(1,1)-(5,1)-(3,4),0,2"},
      {TLineRole::InputOutput, "Ввод A, b"},
      {TLineRole::InputOutput, "Вывод A, 1/B"},
      {TLineRole::Condition, "A*2 <= B"},
      {TLineRole::CountingLoop, "I = 1, N, 1"},
  };
  for (const auto& [Role, Line] : Good) {
    TLineProblem P;
    EXPECT_FALSE(CheckLine(Role, Line, P)) << Line << ": " << P.Message;
  }
}

TEST(LineCheck, ABlockReadsItsLinesAsTheMachineDoes) {
  // Every line of a statement block, in order.
  const Strings Lines{"A=1", "B=A+", "", "C=*"};
  const std::vector<TLineProblem> P = CheckLines(TLineRole::Computation, Lines);
  ASSERT_EQ(P.size(), 2u);
  EXPECT_EQ(P[0].Line, 1u);
  EXPECT_EQ(P[1].Line, 3u);

  // A condition and a counting loop read only their first line.
  EXPECT_TRUE(CheckLines(TLineRole::Condition, Strings{"A<B", "это не читается"}).empty());
  EXPECT_TRUE(CheckLines(TLineRole::CountingLoop, Strings{"I=1,3,1", "+"}).empty());
  // Without it they cannot run at all.
  std::vector<TLineProblem> Missing = CheckLines(TLineRole::Condition, Strings{});
  ASSERT_EQ(Missing.size(), 1u);
  EXPECT_TRUE(Missing[0].Missing);
  EXPECT_EQ(Missing[0].Message, NoConditionText());
  Missing = CheckLines(TLineRole::CountingLoop, Strings{});
  ASSERT_EQ(Missing.size(), 1u);
  EXPECT_EQ(Missing[0].Message, SyntaxErrorText());
  // Statement blocks without lines do nothing, and that is no error.
  EXPECT_TRUE(CheckLines(TLineRole::Computation, Strings{}).empty());
  EXPECT_TRUE(CheckLines(TLineRole::InputOutput, Strings{}).empty());
}

TEST(LineCheck, MessagesOnOneLine) {
  EXPECT_EQ(ProblemOneLine("Ошибка при вычислении \"S+\".\r\nОжидалось выражение."),
            "Ошибка при вычислении \"S+\". Ожидалось выражение.");
  EXPECT_EQ(ProblemOneLine("Ошибка при вычислении \"1/0\".\r\n"), "Ошибка при вычислении \"1/0\".");
  EXPECT_EQ(ProblemOneLine("Неверное условие."), "Неверное условие.");
}
