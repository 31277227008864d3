#include "Flowlang/Flowlang_Expression.h"
#include "Flowlang/Flowlang_Messages.h"
#include "Flowlang/Flowlang_Statement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Deskbay;

namespace {

std::vector<std::string> Texts(const std::vector<TExprText>& Exprs) {
  std::vector<std::string> T;
  for (const TExprText& E : Exprs)
    T.push_back(E.Text);
  return T;
}

using Strings = std::vector<std::string>;

// Where each expression of S begins in the line as written.
std::vector<size_t> StartsInLine(const TStatement& S) {
  std::vector<size_t> P;
  for (const TExprText& E : S.Exprs)
    P.push_back(S.SourceOf(E.Start));
  return P;
}

} // namespace

TEST(Statement, AssignmentsAsTheComputationBlockReadsThem) {
  TStatement S = ReadComputationLine("s = S + 1");
  ASSERT_EQ(S.Kind, TStatementKind::Assignment);
  EXPECT_EQ(S.Var, 'S');
  EXPECT_EQ(Texts(S.Exprs), Strings{"S+1"});
  EXPECT_EQ(StartsInLine(S), std::vector<size_t>{4});

  // MOD between blanks keeps them; joined to a name it is part of it.
  EXPECT_EQ(Texts(ReadComputationLine("Y = A MOD B").Exprs), Strings{"A MOD B"});
  EXPECT_EQ(Texts(ReadComputationLine("y=xMOD 4").Exprs), Strings{"xMOD4"});
  // A second "=" is the expression's problem, not the line's.
  S = ReadComputationLine("X==1");
  ASSERT_EQ(S.Kind, TStatementKind::Assignment);
  const TCodeExprReading R = ReadCodeExpression(S.Exprs[0].Text);
  EXPECT_TRUE(R.Refused);
  EXPECT_EQ(R.Error, "Ошибка при вычислении \"=1\".\nОжидалось выражение.");

  EXPECT_EQ(ReadComputationLine("").Kind, TStatementKind::Empty);
  EXPECT_EQ(ReadComputationLine(" \t ").Kind, TStatementKind::Empty);
  for (const char* Bad : {"X=", "1=2", "X", "ЖЖ=1", "Вывод X", "S+"}) {
    S = ReadComputationLine(Bad);
    EXPECT_EQ(S.Kind, TStatementKind::Invalid) << Bad;
    EXPECT_EQ(S.Error, "Синтаксическая ошибка в строке \"" + std::string(Bad) + "\".") << Bad;
  }
}

TEST(Statement, InputAndOutput) {
  TStatement S = ReadInputOutputLine("Ввод A, b");
  ASSERT_EQ(S.Kind, TStatementKind::Input);
  EXPECT_EQ(Texts(S.Items), (Strings{"A", "b"}));
  EXPECT_EQ(S.ValidInputItems, 2u);
  EXPECT_EQ(ReadInputOutputLine("ВВОД x").Kind, TStatementKind::Input);

  // The names before the first bad item are asked before the line fails.
  S = ReadInputOutputLine("Ввод A,1,B");
  ASSERT_EQ(S.Kind, TStatementKind::Input);
  EXPECT_EQ(S.ValidInputItems, 1u);
  EXPECT_EQ(ReadInputOutputLine("Ввод AB").ValidInputItems, 0u);

  S = ReadInputOutputLine("вывод A , B+1,,C");
  ASSERT_EQ(S.Kind, TStatementKind::Output);
  EXPECT_EQ(Texts(S.Exprs), (Strings{"A", "B+1", "", "C"}));
  EXPECT_EQ(StartsInLine(S), (std::vector<size_t>{11, 15, 19, 20}));
  EXPECT_EQ(ReadInputOutputLine("ВЫВОД 2, 3").Kind, TStatementKind::Output);
  // A line that starts with the input word is input, whatever follows.
  S = ReadInputOutputLine("Ввод Вывод A");
  EXPECT_EQ(S.Kind, TStatementKind::Input);
  EXPECT_EQ(S.ValidInputItems, 0u);

  EXPECT_EQ(ReadInputOutputLine("  ").Kind, TStatementKind::Empty);
  for (const char* Bad : {"Вывод", "Ввод  ", "Печать A", "A=1"}) {
    S = ReadInputOutputLine(Bad);
    EXPECT_EQ(S.Kind, TStatementKind::Invalid) << Bad;
    EXPECT_EQ(S.Error, SyntaxErrorInLineText(Bad)) << Bad;
  }
}

TEST(Statement, EveryDrawingCommandWithItsArguments) {
  struct TCase {
    const char* Line;
    TDrawCommand Command;
    Strings Args;
  };
  const TCase Cases[] = {
      {"тчк(1,2),4", TDrawCommand::Point, {"1", "2", "4"}},
      {"ОТР (5, 15) - (5, 18), 1", TDrawCommand::Segment, {"5", "15", "5", "18", "1"}},
      {"крг(10,10),3,0,14", TDrawCommand::Circle, {"10", "10", "3", "0", "14"}},
      {"мну(1,1)-(5,1)-(3,4),0,2", TDrawCommand::Polygon, {"1", "1", "5", "1", "3", "4", "0", "2"}},
      {"дуг(1,1)-(3,3)-(5,1),4", TDrawCommand::Arc, {"1", "1", "3", "3", "5", "1", "4"}},
      {"Зкр(2,2),I MOD 16", TDrawCommand::Fill, {"2", "2", "I MOD 16"}},
  };
  for (const TCase& C : Cases) {
    const TStatement S = ReadComputationLine(C.Line);
    ASSERT_EQ(S.Kind, TStatementKind::Drawing) << C.Line;
    EXPECT_EQ(S.Command->Command, C.Command) << C.Line;
    EXPECT_TRUE(S.FormIsRight) << C.Line;
    EXPECT_EQ(Texts(S.Exprs), C.Args) << C.Line;
  }
  EXPECT_EQ(ReadComputationLine("мну(1,1)-(5,1)-(3,4),0,2").PolygonPoints, 3u);
  EXPECT_EQ(StartsInLine(ReadComputationLine("ОТР (5, 15) - (5, 18), 1")),
            (std::vector<size_t>{8, 11, 18, 21, 26}));
  EXPECT_STREQ(FindDrawCommand("МНУ(")->What, "многоугольник");
  EXPECT_EQ(DrawCommandWords().size(), 6u);
}

TEST(Statement, DrawingWithABrokenFormKeepsWhatComesBeforeTheBreak) {
  // The machine computes the arguments before the break, with their checks,
  // and then reports the syntax error in the line.
  struct TCase {
    const char* Line;
    Strings Before;
  };
  const TCase Cases[] = {
      {"тчк(1,2)3", {"1", "2"}},
      {"тчк1,2),3", {}},
      {"тчк(1,2", {"1"}},
      {"отр(1,1)(2,2),1", {"1", "1"}},
      {"крг(1,1),2", {"1", "1"}},
      {"мну(1,2),3,4", {"1", "2"}}, // one point is no polygon
      {"мну(1,2)-(3,4),5", {"1", "2", "3", "4"}},
      {"мну(1,2)-(3,4)x", {"1", "2", "3", "4"}},
      {"дуг(1,1)-(2,2),3", {"1", "1", "2", "2"}},
  };
  for (const TCase& C : Cases) {
    const TStatement S = ReadComputationLine(C.Line);
    ASSERT_EQ(S.Kind, TStatementKind::Drawing) << C.Line;
    EXPECT_FALSE(S.FormIsRight) << C.Line;
    EXPECT_EQ(Texts(S.Exprs), C.Before) << C.Line;
  }
  EXPECT_EQ(ReadComputationLine("мну(1,2),3,4").PolygonPoints, 1u);
  EXPECT_EQ(ReadComputationLine("мну(1,2)-3").PolygonPoints, 2u);
  // An empty argument has its form; its evaluation fails.
  EXPECT_TRUE(ReadComputationLine("тчк(1,2),").FormIsRight);
  // The word alone on a line is the command with nothing after it.
  EXPECT_FALSE(ReadComputationLine("тчк").FormIsRight);
}

TEST(Statement, Conditions) {
  struct TCase {
    const char* Line;
    const char* Left;
    const char* Op;
    const char* Right;
  };
  const TCase Cases[] = {{"A=0", "A", "=", "0"},     {"A<>B", "A", "<>", "B"},
                         {"I < N", "I ", "<", " N"}, {"A MOD 2>0", "A MOD 2", ">", "0"},
                         {"P<=N", "P", "<=", "N"},   {"X*X>=2", "X*X", ">=", "2"},
                         {"A=<B", "A", "=", "<B"}};
  for (const TCase& C : Cases) {
    const TStatement S = ReadCondition(C.Line);
    ASSERT_EQ(S.Kind, TStatementKind::Condition) << C.Line;
    EXPECT_EQ(Texts(S.Exprs), (Strings{C.Left, C.Right})) << C.Line;
    EXPECT_EQ(S.Op, C.Op) << C.Line;
    // Blanks stay in a condition: the places are those of the line.
    EXPECT_EQ(S.Exprs[1].Start, std::string(C.Left).size() + S.Op.size()) << C.Line;
  }
  for (const char* Bad : {"A=>B", "A==B", "A>>B", "A", "<B", "A<", ""}) {
    const TStatement S = ReadCondition(Bad);
    EXPECT_EQ(S.Kind, TStatementKind::Invalid) << Bad;
    EXPECT_EQ(S.Error, "Неверное условие \"" + std::string(Bad) + "\".") << Bad;
  }
  EXPECT_EQ(MissingCondition().Error, "Неверное условие.");
}

TEST(Statement, CountingLoopHeaders) {
  TStatement S = ReadCountingLoop("i = 1 , N MOD 4 , 0.25");
  ASSERT_EQ(S.Kind, TStatementKind::CountingLoop);
  EXPECT_EQ(S.Var, 'I');
  EXPECT_EQ(Texts(S.Exprs), (Strings{"1", "N MOD 4", "0.25"}));
  EXPECT_EQ(StartsInLine(S), (std::vector<size_t>{4, 8, 18}));

  for (const char* Short : {"", "I", "I=", " I = "}) {
    S = ReadCountingLoop(Short);
    EXPECT_EQ(S.Kind, TStatementKind::Invalid) << Short;
    EXPECT_EQ(S.Error, "Синтаксическая ошибка.") << Short;
  }
  for (const char* Bad : {"I=1,3", "I=1,2,3,4", "1=1,2,3", "II=1,2,3", "I1"}) {
    S = ReadCountingLoop(Bad);
    EXPECT_EQ(S.Kind, TStatementKind::Invalid) << Bad;
    EXPECT_EQ(S.Error, "Синтаксическая ошибка в строке \"" + std::string(Bad) + "\".") << Bad;
  }
  EXPECT_EQ(MissingCountingLoop().Error, "Синтаксическая ошибка.");
}

TEST(Statement, ExpressionTreesKnowWhereTheyStandInTheLine) {
  const TStatement S = ReadComputationLine("S = S + (A * 2)");
  ASSERT_EQ(S.Kind, TStatementKind::Assignment);
  const TExprText& E = S.Exprs[0];
  ASSERT_EQ(E.Text, "S+(A*2)");
  const TCodeExprReading R = ReadCodeExpression(E.Text);
  ASSERT_FALSE(R.Refused || R.AlwaysFails);
  ASSERT_EQ(R.Root.Kind, TCodeExpr::ekAdd);
  const TCodeExpr& Parens = R.Root.Args[1];
  ASSERT_EQ(Parens.Kind, TCodeExpr::ekParens);
  const TCodeExpr& Times = Parens.Args[0];
  ASSERT_EQ(Times.Kind, TCodeExpr::ekMultiply);
  // In the expression's text, then in the line as written.
  EXPECT_EQ(Times.Start, 3u);
  EXPECT_EQ(Times.End, 6u);
  EXPECT_EQ(S.SourceOf(E.Start + Times.Start), 9u);
  EXPECT_EQ(S.SourceOf(E.Start + Times.End - 1), 13u);
  EXPECT_EQ(S.SourceOf(E.Start + R.Root.Args[0].Start), 4u);

  // The interpreter's messages for what it refuses, whatever the values.
  EXPECT_EQ(ReadCodeExpression("S+").Error, "Ошибка при вычислении \"S+\".\nОжидалось выражение.");
  EXPECT_EQ(ReadCodeExpression("AB+1").Error,
            "Ошибка при вычислении \"AB+1\".\nПеременная \"AB\" не определена.");
  EXPECT_EQ(ReadCodeExpression("SIN 1").Error,
            "Ошибка при вычислении \"SIN 1\".\nОжидалась \"(\".");
  EXPECT_TRUE(ReadCodeExpression("LN(0)+A").AlwaysFails);
  EXPECT_EQ(ReadCodeExpression("LN(0)+A").Error, "Ошибка при вычислении \"LN(0)+A\".");
}

TEST(Statement, RemovingBlanksKeepsWhereEachCharacterCameFrom) {
  std::vector<size_t> Source;
  EXPECT_EQ(AlgRemoveBlanks("x=7\tmod\t\t3 + 1", &Source), "x=7 mod 3+1");
  EXPECT_EQ(Source, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7, 9, 11, 13}));
  EXPECT_EQ(AlgRemoveBlanks(" MOD X", &Source), "MODX");
  EXPECT_EQ(Source, (std::vector<size_t>{1, 2, 3, 5}));
  EXPECT_EQ(AlgRemoveBlanks("", &Source), "");
  EXPECT_TRUE(Source.empty());
}
