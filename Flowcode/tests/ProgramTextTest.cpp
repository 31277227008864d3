// The program text of small algorithms: what each block kind and each rule
// of the interpreter becomes, checked by running the programs of all three
// languages on the same input as the interpreter, and the text itself where
// its form is the point.

#include "CodeRunner.h"

#include "Flowcode/Flowcode_Program.h"
#include "Flowlang/Flowlang_Expression.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

TAlgBlock* Body(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

TAlgBlock* Main(TAlgorithm& A) {
  return A.GetRoot()->GetBody();
}

bool Contains(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

// --- expressions -----------------------------------------------------------

std::string Shape(const TCodeExpr& E) {
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
  case TCodeExpr::ekVariable:
    return E.Text;
  case TCodeExpr::ekNegate:
    return "neg(" + Shape(E.Args[0]) + ")";
  case TCodeExpr::ekParens:
    return "(" + Shape(E.Args[0]) + ")";
  case TCodeExpr::ekFunction:
    return E.Text + "[" + Shape(E.Args[0]) + "]";
  default: {
    static const char* const Names[] = {"", "", "", "add", "sub", "mul", "div", "pow", "mod"};
    return std::string(Names[E.Kind]) + "(" + Shape(E.Args[0]) + "," + Shape(E.Args[1]) + ")";
  }
  }
}

TEST(CodeExpressionTest, ReadsByTheInterpretersGrammar) {
  const std::pair<const char*, const char*> Cases[] = {
      {"2^3^2", "pow(2,pow(3,2))"},
      {"-x^2", "pow(neg(X),2)"},
      {"2^-2", "pow(2,neg(2))"},
      {"a MOD b*c", "mul(mod(A,B),C)"},
      {"a + b mod c", "add(A,mod(B,C))"},
      {"a mod b^c", "mod(A,pow(B,C))"},
      {"7 MOD 3 MOD 2", "mod(mod(7,3),2)"},
      {"2*-3 - -x", "sub(mul(2,neg(3)),neg(X))"},
      {"Sqrt((A))+sqr(.5)", "add(SQRT[(A)],SQR[.5])"},
      {"1.5e3/x/2", "div(div(1.5e3,X),2)"},
  };
  for (const auto& [Text, Expected] : Cases) {
    const TCodeExprReading R = ReadCodeExpression(Text);
    ASSERT_FALSE(R.Refused || R.AlwaysFails) << Text << ": " << R.Error;
    EXPECT_EQ(Shape(R.Root), Expected) << Text;
  }
}

TEST(CodeExpressionTest, RefusesWhatTheInterpreterRefusesWithItsMessage) {
  const std::pair<const char*, const char*> Cases[] = {
      {"2+", "Ошибка при вычислении \"2+\".\nОжидалось выражение."},
      {"2*7 MOD 3", "Ошибка при вычислении \"2*7 MOD 3\".\nОжидался оператор."},
      {"SIN 1", "Ошибка при вычислении \"SIN 1\".\nОжидалась \"(\"."},
      {"1e", "Ошибка при вычислении \"1e\".\nНеверное число."},
      {"AB+1", "Ошибка при вычислении \"AB+1\".\nПеременная \"AB\" не определена."},
      {"", "Ошибка при вычислении \"\".\nОжидалось выражение."},
  };
  for (const auto& [Text, Message] : Cases) {
    const TCodeExprReading R = ReadCodeExpression(Text);
    EXPECT_TRUE(R.Refused) << Text;
    EXPECT_EQ(R.Error, Message);
  }
  // "!" where an operand belongs always fails, whatever follows.
  const TCodeExprReading Bang = ReadCodeExpression("1+!)))");
  EXPECT_FALSE(Bang.Refused);
  EXPECT_TRUE(Bang.AlwaysFails);
  // A math error is no refusal; a part without variables that fails
  // always fails, wherever it stands.
  EXPECT_FALSE(ReadCodeExpression("1/0").Refused);
  EXPECT_TRUE(ReadCodeExpression("A*ATAN(1/0)").AlwaysFails);
  EXPECT_TRUE(ReadCodeExpression("-2^2+A").AlwaysFails);
  EXPECT_FALSE(ReadCodeExpression("1/A").AlwaysFails);
}

TEST(CodeExpressionTest, KnowsWhichValuesAreStoredAsTheyAre) {
  EXPECT_TRUE(IsStoredAsIs(ReadCodeExpression("-A").Root));
  EXPECT_TRUE(IsStoredAsIs(ReadCodeExpression("(0.5)").Root));
  EXPECT_FALSE(IsStoredAsIs(ReadCodeExpression("0.1").Root));   // rounded to a double
  EXPECT_FALSE(IsStoredAsIs(ReadCodeExpression("1E400").Root)); // beyond a double
  EXPECT_FALSE(IsStoredAsIs(ReadCodeExpression("A+1").Root));
}

// --- behaviour in every language --------------------------------------------

struct TBehaviour {
  const char* Name;
  std::function<void(TAlgorithm&)> Build;
  std::string Input;
  std::vector<std::string> Lines;
  bool Failed;
  bool PythonToo = true; // false where 64-bit floats cannot do it
};

// One output block after a computation block.
std::function<void(TAlgorithm&)> Compute(std::vector<std::string> Lines, std::string Output) {
  return [=](TAlgorithm& A) {
    if (!Lines.empty())
      TBasicAlgBlock::Class.CreateWithLines(Main(A), Lines);
    TIOAlgBlock::Class.CreateWithLines(Main(A), {Output});
  };
}

std::vector<TBehaviour> Behaviours() {
  return {
      {"counting loop: bounds, step, value after",
       [](TAlgorithm& A) {
         TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,3,1"});
         TIOAlgBlock::Class.CreateWithLines(Body(F), {"Вывод I"});
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод I"});
         TForAlgBlock::Class.CreateWithLines(Main(A), {"J=3,1,-1"});
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод J"});
       },
       "",
       {"1", "2", "3", "4", "3"},
       false},
      {"counting loop: end and step read again after every pass",
       [](TAlgorithm& A) {
         TBasicAlgBlock::Class.CreateWithLines(Main(A), {"N=10", "S=1"});
         TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,N,S"});
         TBasicAlgBlock::Class.CreateWithLines(Body(F), {"N=N-2", "S=S+1"});
         TIOAlgBlock::Class.CreateWithLines(Body(F), {"Вывод I, N"});
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод I"});
       },
       "",
       {"1 8", "3 6", "6 4", "10"}, // the step grows and the end shrinks as they change
       false},
      {"counting loop: the body changes the variable, fractional steps",
       [](TAlgorithm& A) {
         TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,20,1"});
         TBasicAlgBlock::Class.CreateWithLines(Body(F), {"I=I*3"});
         TIOAlgBlock::Class.CreateWithLines(Body(F), {"Вывод I"});
         TBasicAlgBlock::Class.CreateWithLines(Main(A), {"C=0"});
         TAlgBlock* G = TForAlgBlock::Class.CreateWithLines(Main(A), {"X=0,1,0.1"});
         TBasicAlgBlock::Class.CreateWithLines(Body(G), {"C=C+1"});
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод C, X"});
       },
       "",
       {"3", "12", "39", "11 1.1"},
       false},
      {"condition loops: the post-test body runs once, repeats while true",
       [](TAlgorithm& A) {
         TBasicAlgBlock::Class.CreateWithLines(Main(A), {"P=1"});
         TAlgBlock* U = TUntilAlgBlock::Class.CreateWithLines(Main(A), {"P>100"});
         TIOAlgBlock::Class.CreateWithLines(Body(U), {"Вывод P"});
         TAlgBlock* V = TUntilAlgBlock::Class.CreateWithLines(Main(A), {"P<=8"});
         TBasicAlgBlock::Class.CreateWithLines(Body(V), {"P=P*2"});
         TIOAlgBlock::Class.CreateWithLines(Body(V), {"Вывод P"});
         TAlgBlock* W = TWhileAlgBlock::Class.CreateWithLines(Main(A), {"P < 0"});
         TIOAlgBlock::Class.CreateWithLines(Body(W), {"Вывод 0"});
       },
       "",
       {"1", "2", "4", "8", "16"},
       false},
      {"branches: both, only no, none",
       [](TAlgorithm& A) {
         auto* If =
             static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Main(A), {"2 > 1"}));
         TIOAlgBlock::Class.CreateWithLines(If->GetYesBranch(), {"Вывод 1"});
         TIOAlgBlock::Class.CreateWithLines(If->GetNoBranch(), {"Вывод 2"});
         auto* No = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Main(A), {"1=2"}));
         TIOAlgBlock::Class.CreateWithLines(No->GetNoBranch(), {"Вывод 3"});
         TIfAlgBlock::Class.CreateWithLines(Main(A), {"1<>1"});
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 4"});
       },
       "",
       {"1", "3", "4"},
       false},
      {"MOD rounds halves to even and keeps the dividend's sign",
       Compute({}, "Вывод 7 MOD 3, -7 MOD 3, 7.5 MOD 2, (6.5)MOD(4), 2^3^2, 2^-2, 7 mod -1"),
       "",
       {"1 -1 0 2 512 0.25 0"},
       false},
      {"MOD by a divisor that rounds to 0", Compute({}, "Вывод 7 MOD 0.4"), "", {}, true},
      {"power of a negative base", Compute({"A=1"}, "Вывод A, -2^2"), "", {}, true},
      {"power of zero", Compute({}, "Вывод 0^2"), "", {}, true},
      {"SQR of a sum keeps the sum together",
       Compute({"D=12"}, "Вывод SQR(7+(D^2)), SQR((D)), SQR(-D), SQR(ABS(D)+1)"),
       "",
       {"22801 144 144 169"},
       false},
      {"functions",
       Compute({}, "Вывод ROUND(2.5), ROUND(3.5), TRUNC(-2.7), ABS(-3), SQR(1.5), SQRT(2), "
                   "EXP(1), LN(10), SIN(1), COS(1), ATAN(1)"),
       "",
       {"2 4 -2 3 2.25 1.414213562 2.718281828 2.302585093 0.8414709848 0.5403023059 "
        "0.7853981634"},
       false},
      {"ROUND beyond its range", Compute({}, "Вывод ROUND(2E9)"), "", {}, true},
      {"COS beyond its range", Compute({}, "Вывод COS(1E19)"), "", {}, true},
      {"EXP below its range", Compute({}, "Вывод EXP(-20000)"), "", {}, true},
      {"root of a negative number", Compute({}, "Вывод 1, SQRT(-1)"), "", {}, true},
      {"logarithm of zero", Compute({}, "Вывод LN(0)"), "", {}, true},
      {"failing parts without variables, which compilers compute beforehand",
       Compute({"A=1"}, "Вывод 1, A/LN(ABS(0)), ATAN(1/0)"),
       "",
       {},
       true},
      {"output of large and small numbers",
       Compute({}, "Вывод 1E20, 1/3, 123456789012, 0.00001, 0.000001, -2.5E-7, 9999999999.7, "
                   "1234567890, -0.5"),
       "",
       {"1E20 0.3333333333 1.23456789E11 0.00001 1E-6 -2.5E-7 1E10 1234567890 -0.5"},
       false},
      {"a long output line and a long message",
       [](TAlgorithm& A) {
         std::string Items = "Вывод 1234567890";
         for (int I = 0; I < 29; ++I)
           Items += ", 1234567890";
         TIOAlgBlock::Class.CreateWithLines(Main(A), {Items});
         TBasicAlgBlock::Class.CreateWithLines(Main(A), {"X=1+" + std::string(300, '1') + "+"});
       },
       "",
       {[] {
         std::string Line = "1234567890";
         for (int I = 0; I < 29; ++I)
           Line += " 1234567890";
         return Line;
       }()},
       true},
      {"input: blanks and empty lines, then a number",
       [](TAlgorithm& A) {
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Ввод A, b", "Вывод A+B"});
       },
       "\n  2.5 \n\n-1e1\n",
       {"-7.5"},
       false},
      {"input that is not a number",
       [](TAlgorithm& A) {
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 1", "Ввод A", "Вывод A"});
       },
       "3,5\n",
       {"1"},
       true},
      {"input that runs out",
       [](TAlgorithm& A) {
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Ввод A", "Ввод B", "Вывод B"});
       },
       "1\n",
       {},
       true},
      {"division by zero after lines were printed",
       [](TAlgorithm& A) {
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 1", "Вывод 2, 1/(1-1)", "Вывод 3"});
       },
       "",
       {"1"},
       true},
      {"a number too large for a variable", Compute({"A=1E300*1E300"}, "Вывод A"), "", {}, true},
      {"80-bit intermediate values",
       Compute({"A=1E308*10/100"}, "Вывод A"),
       "",
       {"1E307"},
       false,
       false},
      {"a line the interpreter cannot read stops the run at its place",
       [](TAlgorithm& A) {
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 1"});
         TBasicAlgBlock::Class.CreateWithLines(Main(A), {"X=2", "X=X+", "Вывод X"});
       },
       "",
       {"1"},
       true},
      {"an unknown statement", Compute({"привет"}, "Вывод 1"), "", {}, true},
      {"a loop header that is no loop header",
       [](TAlgorithm& A) {
         TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 1"});
         TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,3"});
         TIOAlgBlock::Class.CreateWithLines(Body(F), {"Вывод I"});
       },
       "",
       {"1"},
       true},
      {"a post-test loop whose condition cannot be read runs once",
       [](TAlgorithm& A) {
         TAlgBlock* U = TUntilAlgBlock::Class.CreateWithLines(Main(A), {"A=="});
         TIOAlgBlock::Class.CreateWithLines(Body(U), {"Вывод 5"});
       },
       "",
       {"5"},
       true},
      {"drawing commands are comments, the rest runs",
       Compute({"отр(0,0)-(5,5),2", "A=3"}, "Вывод A"),
       "",
       {"3"},
       false},
      {"quotes and backslashes in a refused line",
       Compute({"X=\"a\\\" ''"}, "Вывод 1"),
       "",
       {},
       true},
  };
}

class ProgramBehaviourTest : public ::testing::TestWithParam<TCodeLanguage> {
protected:
  void SetUp() override {
    if (!HasTool(GetParam()))
      GTEST_SKIP() << ToolOf(GetParam()) << " is not installed (scripts/setup.sh installs it)";
  }
};

TEST_P(ProgramBehaviourTest, EveryRuleAsTheInterpreterRunsIt) {
  const std::vector<TBehaviour> Cases = Behaviours();
  std::vector<std::unique_ptr<TAlgorithm>> Algs;
  std::vector<std::string> Texts;
  for (const TBehaviour& B : Cases) {
    Algs.push_back(std::make_unique<TAlgorithm>());
    B.Build(*Algs.back());
    Texts.push_back(GenerateProgram(*Algs.back(), GetParam()).GetText());
  }
  const TProgramBatch Batch(GetParam(), Texts);
  ASSERT_TRUE(Batch.Ready()) << Batch.CompileErrors();
  for (size_t I = 0; I < Cases.size(); ++I) {
    const TBehaviour& B = Cases[I];
    // The expectation is the interpreter's, or the test is wrong.
    const TRunLines Interpreter = RunInterpreter(*Algs[I], B.Input);
    EXPECT_EQ(Interpreter.Lines, B.Lines) << B.Name;
    EXPECT_EQ(Interpreter.Failed, B.Failed) << B.Name << ": " << Interpreter.Error;
    if (GetParam() == TCodeLanguage::Python && !B.PythonToo)
      continue;
    const TRunLines Program = Batch.Run(I, B.Input);
    EXPECT_EQ(Program.Lines, B.Lines) << B.Name << "\n" << Texts[I];
    EXPECT_EQ(Program.Failed, B.Failed) << B.Name << ": " << Program.Error << "\n" << Texts[I];
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, ProgramBehaviourTest,
                         ::testing::Values(TCodeLanguage::Python, TCodeLanguage::Pascal,
                                           TCodeLanguage::Cpp),
                         [](const ::testing::TestParamInfo<TCodeLanguage>& I) {
                           return std::string(CodeLanguageName(I.param));
                         });

// --- the text ---------------------------------------------------------------

void SumOfSeries(TAlgorithm& A) {
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Ввод N"});
  TBasicAlgBlock::Class.CreateWithLines(Main(A), {"S=0"});
  TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,N,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(F), {"S=S+1/(I*I)"});
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод S"});
}

TEST(ProgramTextTest, LoopsAreTheLanguagesOwn) {
  TAlgorithm A;
  SumOfSeries(A);
  TAlgBlock* U = TUntilAlgBlock::Class.CreateWithLines(Main(A), {"P<=N"});
  TBasicAlgBlock::Class.CreateWithLines(Body(U), {"P=P*2"});
  TAlgBlock* G = TForAlgBlock::Class.CreateWithLines(Main(A), {"X=0,1,0.1"});
  TIOAlgBlock::Class.CreateWithLines(Body(G), {"Вывод X"});

  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp).GetText();
  // The divisor is computed: an infinity there would give 0, so the
  // processor's flags are read too.
  EXPECT_TRUE(
      Contains(Cpp, "    for (I = 1; I <= N; I++) {\n        S = checked_number(S + 1 / (I * I), "
                    "\"S+1/(I*I)\");"));
  EXPECT_TRUE(Contains(Cpp, "    } while (P <= N);"));
  EXPECT_TRUE(Contains(Cpp, "for (X = 0; X <= 1; X = add_step(X, number(0.1L, \"0.1\"))) {"));

  const std::string Py = GenerateProgram(A, TCodeLanguage::Python).GetText();
  EXPECT_TRUE(Contains(Py, "I = 1\nwhile I <= N:\n    S = number(S + divide(1, (I * I)), "
                           "\"S+1/(I*I)\")\n    I += 1\n"));
  // P has no value before the loop: the program stops as the interpreter does.
  EXPECT_TRUE(Contains(Py, "while True:\n    if P is None:\n        fail(\"Ошибка при вычислении "
                           "\\\"P*2\\\".\\nПеременная \\\"P\\\" не определена.\")\n"
                           "    P = number(P * 2, \"P*2\")\n    if P > N:\n        break\n"));
  EXPECT_TRUE(Contains(Py, "X = X + 0.1"));

  const std::string Pas = GenerateProgram(A, TCodeLanguage::Pascal).GetText();
  EXPECT_TRUE(Contains(Pas, "  I := 1;\n  while I <= N do\n  begin\n"));
  EXPECT_TRUE(Contains(Pas, "    I := I + 1;\n  end;\n"));
  EXPECT_TRUE(Contains(Pas, "  repeat\n    if P = Unset then\n      Fail('Ошибка при вычислении "
                            "\"P*2\".'#10'Переменная \"P\" не определена.');\n"
                            "    P := Number(P * 2, 'P*2');\n  until P > N;\n"));
}

TEST(ProgramTextTest, OnlyTheHelpersTheProgramUses) {
  TAlgorithm A;
  TBasicAlgBlock::Class.CreateWithLines(Main(A), {"A=2"});
  const std::string Py = GenerateProgram(A, TCodeLanguage::Python).GetText();
  EXPECT_EQ(Py, "#!/usr/bin/env python3\n\n\nA = 2\n");
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод A^2"});
  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp).GetText();
  EXPECT_TRUE(Contains(Cpp, "long double power("));
  EXPECT_TRUE(Contains(Cpp, "std::string as_text("));
  EXPECT_FALSE(Contains(Cpp, "modulo("));
  EXPECT_FALSE(Contains(Cpp, "read_number("));
}

TEST(ProgramTextTest, WholeNumbersAreNotDividedAsIntegers) {
  TAlgorithm A;
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 7/2, A*2, SQRT(4)"});
  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp).GetText();
  // The items are computed in order, so a failure names the first that fails.
  EXPECT_TRUE(Contains(Cpp, "joined({as_text(7.0L / 2, \"7/2\"), as_text(A * 2, \"A*2\"), "
                            "as_text(std::sqrt(4.0L), \"SQRT(4)\")})"));
  // Free Pascal would fold 7 / 2 as a Double, and 2.5 / 2 as a Single.
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод 2.5/2"});
  const std::string Pas = GenerateProgram(A, TCodeLanguage::Pascal).GetText();
  EXPECT_TRUE(Contains(Pas, "Printed := AsText(Divide(Extended(7), 2), '7/2');\n"
                            "  Printed := Printed + ' ' + AsText(A * 2, 'A*2');"));
  EXPECT_TRUE(Contains(Pas, "AsText(Divide(Extended(2.5), 2), '2.5/2')"));
}

TEST(ProgramTextTest, RefusedLinesStayAsCommentsWithTheMessage) {
  TAlgorithm A;
  TBasicAlgBlock::Class.CreateWithLines(Main(A), {"X=1+", "нарисуй\\"});
  const std::string Py = GenerateProgram(A, TCodeLanguage::Python).GetText();
  EXPECT_TRUE(Contains(Py, "# X=1+\nfail(\"Ошибка при вычислении \\\"1+\\\".\\nОжидалось "
                           "выражение.\")\n"));
  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp).GetText();
  // A backslash ending a // comment would swallow the next line.
  EXPECT_TRUE(Contains(Cpp, "    // нарисуй\\ //\n    fail("));
  const std::string Pas = GenerateProgram(A, TCodeLanguage::Pascal).GetText();
  EXPECT_TRUE(Contains(Pas, "Fail('Синтаксическая ошибка в строке \"нарисуй\\\".');"));
}

TEST(ProgramTextTest, BlocksKnowTheirLinesAndLinesTheirBlocks) {
  TAlgorithm A;
  SumOfSeries(A);
  TAlgBlock* For = Main(A)->GetBlocks(2);
  TAlgBlock* Sum = Body(For)->GetBlocks(0);
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
    const TProgramText P = GenerateProgram(A, L);
    int First = -1, Last = -1, SumFirst = -1, SumLast = -1;
    ASSERT_TRUE(P.GetBlockLines(For, First, Last));
    ASSERT_TRUE(P.GetBlockLines(Sum, SumFirst, SumLast));
    EXPECT_EQ(SumFirst, SumLast);
    EXPECT_TRUE(Contains(P.GetLines()[static_cast<size_t>(SumFirst)], "S+1/(I*I)"));
    EXPECT_LT(First, SumFirst);
    EXPECT_GT(Last, SumLast); // the step, or the closing line
    EXPECT_EQ(P.GetLineBlock(SumFirst), Sum);
    EXPECT_EQ(P.GetLineBlock(First), For);
    EXPECT_EQ(P.GetLineBlock(Last), For);
    EXPECT_EQ(P.GetLineBlock(0), nullptr); // the helpers belong to no block
    EXPECT_EQ(P.GetLineBlock(static_cast<int>(P.GetLines().size())), nullptr);
    int RootFirst, RootLast;
    ASSERT_TRUE(P.GetBlockLines(A.GetRoot(), RootFirst, RootLast));
    EXPECT_LE(RootFirst, First);
    EXPECT_GE(RootLast, Last);
    // An empty sequence becomes no line.
    EXPECT_FALSE(P.GetBlockLines(static_cast<TIfAlgBlock*>(nullptr), First, Last));
  }
}

} // namespace

namespace {

int LineCount(const TProgramText& P) {
  return static_cast<int>(P.GetLines().size());
}

// Input N, S=0, a counting loop summing squares, output S.
void SumOfSquares(TAlgorithm& A) {
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Ввод N"});
  TBasicAlgBlock::Class.CreateWithLines(Main(A), {"S=0"});
  TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,N,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(F), {"S=S+I*I"});
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод S"});
}

} // namespace

TEST(ProgramTextTest, TheLessonTextIsWhatATeacherWrites) {
  TAlgorithm A;
  SumOfSquares(A);
  const TProgramText Py = GenerateProgram(A, TCodeLanguage::Python, TCodeStyleKind::Lesson);
  const TProgramText Pas = GenerateProgram(A, TCodeLanguage::Pascal, TCodeStyleKind::Lesson);
  const TProgramText Cpp = GenerateProgram(A, TCodeLanguage::Cpp, TCodeStyleKind::Lesson);
  EXPECT_LE(LineCount(Py), 10) << Py.GetText();
  EXPECT_LE(LineCount(Pas), 16) << Pas.GetText();
  EXPECT_LE(LineCount(Cpp), 16) << Cpp.GetText();
  EXPECT_TRUE(Contains(Py.GetText(), "N = float(input())\nS = 0\nfor I in range(1, int(N) + 1):\n"
                                     "    S = S + I * I\nprint(S)\n"));
  // The counter runs up to a number typed: a whole number in Pascal's own
  // loop, whose square may not fit an Int64; a double in C++.
  EXPECT_TRUE(Contains(Pas.GetText(), "  I: Int64;\n"));
  EXPECT_TRUE(Contains(Pas.GetText(), "  for I := 1 to Trunc(N) do\n"));
  EXPECT_TRUE(Contains(Pas.GetText(), "    S := S + Real(I) * I;\n"));
  EXPECT_TRUE(Contains(Pas.GetText(), "  writeln(S);\n"));
  EXPECT_TRUE(
      Contains(Cpp.GetText(), "    for (double I = 1; I <= N; I++) {\n        S = S + I * I;\n"));
  EXPECT_TRUE(Contains(Cpp.GetText(), "    double N, S;\n"));
  // A failed computation stops the program, after the lines printed.
  EXPECT_TRUE(
      Contains(Cpp.GetText(), "    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);\n"));
  EXPECT_TRUE(Contains(Cpp.GetText(), "    std::cout << S << std::endl;\n"));
  EXPECT_TRUE(Contains(Cpp.GetText(), "    if (!(std::cin >> N)) { std::cerr << "));
  // One comment line at the top says whose rules the numbers follow.
  for (const TProgramText* P : {&Py, &Pas, &Cpp})
    EXPECT_TRUE(Contains(P->GetLines()[0], "Числа читаются, считаются и печатаются по правилам"));
  // The blocks still know their lines.
  int First, Last;
  EXPECT_TRUE(Py.GetBlockLines(Main(A)->GetBlocks(2), First, Last));
  EXPECT_EQ(Py.GetLines()[static_cast<size_t>(First)].rfind("for I in range", 0), 0u);
}

TEST(ProgramTextTest, TheLessonTextSaysWhyACountingLoopIsAWhileLoop) {
  TAlgorithm A;
  TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,10,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(F), {"I=I+1"});
  TAlgBlock* G = TForAlgBlock::Class.CreateWithLines(Main(A), {"X=0,1,0.5"});
  TIOAlgBlock::Class.CreateWithLines(Body(G), {"Вывод X"});
  TAlgBlock* H = TForAlgBlock::Class.CreateWithLines(Main(A), {"K=1,3,1"});
  TIOAlgBlock::Class.CreateWithLines(Body(H), {"Вывод K"});
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод K"});
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
    const std::string T = GenerateProgram(A, L, TCodeStyleKind::Lesson).GetText();
    EXPECT_TRUE(Contains(T, "через while: тело цикла меняет переменную I")) << T;
    EXPECT_TRUE(Contains(T, "через while: начало или шаг не целое число")) << T;
    // K is printed after its loop, where it holds the first value beyond the end.
    EXPECT_TRUE(Contains(T, "через while: значение K нужно и после цикла")) << T;
  }
  // A loop of drawings alone still has a body in Python.
  TAlgorithm D;
  TAlgBlock* W = TForAlgBlock::Class.CreateWithLines(Main(D), {"I=1,3,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(W), {"отр(I,0)-(I,5),1"});
  EXPECT_TRUE(Contains(GenerateProgram(D, TCodeLanguage::Python, TCodeStyleKind::Lesson).GetText(),
                       "    pass\n"));
}

TEST(ProgramTextTest, TheLessonTextDividesWholeCountersAsReals) {
  TAlgorithm A;
  TBasicAlgBlock::Class.CreateWithLines(Main(A), {"S=0"});
  TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,4,1"});
  TAlgBlock* G = TForAlgBlock::Class.CreateWithLines(Body(F), {"J=1,3,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(G), {"S=S+1/I+(I+1)/J+I*J/2"});
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод S"});
  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp, TCodeStyleKind::Lesson).GetText();
  EXPECT_TRUE(Contains(Cpp, "S = S + 1.0 / I + (double(I) + 1) / J + double(I) * J / 2;")) << Cpp;
}

// A variable that may be read before it is set gets a check in C++ and
// Pascal (Python stops there by itself); one surely set gets none.
TEST(ProgramTextTest, TheLessonTextChecksOnlyWhatMayBeUnset) {
  TAlgorithm A;
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Ввод N"});
  auto* If = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Main(A), {"N>0"}));
  TBasicAlgBlock::Class.CreateWithLines(If->GetYesBranch(), {"B=N"});
  TBasicAlgBlock::Class.CreateWithLines(Main(A), {"C=N+1"});
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод B+C"});
  const std::string Py =
      GenerateProgram(A, TCodeLanguage::Python, TCodeStyleKind::Lesson).GetText();
  const std::string Pas =
      GenerateProgram(A, TCodeLanguage::Pascal, TCodeStyleKind::Lesson).GetText();
  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp, TCodeStyleKind::Lesson).GetText();
  EXPECT_FALSE(Contains(Py, "if B")) << Py;
  EXPECT_TRUE(Contains(Cpp, "    double B = NAN, C, N;\n")) << Cpp;
  EXPECT_TRUE(Contains(Cpp, "    if (std::isnan(B)) {\n        std::cerr << ")) << Cpp;
  EXPECT_FALSE(Contains(Cpp, "isnan(C)")) << Cpp;
  EXPECT_FALSE(Contains(Cpp, "isnan(N)")) << Cpp;
  EXPECT_TRUE(Contains(Pas, "  B := Unset;\n")) << Pas;
  EXPECT_TRUE(Contains(Pas, "  if B = Unset then\n  begin\n    writeln(StdErr, ")) << Pas;
  EXPECT_FALSE(Contains(Pas, "C = Unset")) << Pas;
}

// Helpers only where the interpreter's rule needs one: a power of a base
// that may not be above zero, a function's argument that may pass its
// limit; counters whose bounds are known are whole numbers.
TEST(ProgramTextTest, TheLessonTextHelpsOnlyWhereItMustFail) {
  TAlgorithm A;
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Ввод X"});
  TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(Main(A), {"I=1,10,1"});
  TIOAlgBlock::Class.CreateWithLines(Body(F), {"Вывод 2^I, I^0.5, ROUND(I/3), I MOD 3"});
  const std::string Clean[] = {
      GenerateProgram(A, TCodeLanguage::Python, TCodeStyleKind::Lesson).GetText(),
      GenerateProgram(A, TCodeLanguage::Pascal, TCodeStyleKind::Lesson).GetText(),
      GenerateProgram(A, TCodeLanguage::Cpp, TCodeStyleKind::Lesson).GetText()};
  EXPECT_TRUE(Contains(Clean[0], "print(2 ** I, I ** 0.5, round(I / 3), I % 3)")) << Clean[0];
  EXPECT_TRUE(Contains(Clean[2], "for (long long I = 1; I <= 10; I++)")) << Clean[2];
  EXPECT_TRUE(Contains(Clean[2], "std::nearbyint(double(I) / 3) << ' ' << I % 3")) << Clean[2];
  for (const std::string& T : Clean) {
    EXPECT_FALSE(Contains(T, "power")) << T;
    EXPECT_FALSE(Contains(T, "in_range")) << T;
    EXPECT_FALSE(Contains(T, "InRange")) << T;
  }
  TIOAlgBlock::Class.CreateWithLines(Main(A), {"Вывод X^2, ROUND(X)"});
  const std::string Py =
      GenerateProgram(A, TCodeLanguage::Python, TCodeStyleKind::Lesson).GetText();
  const std::string Pas =
      GenerateProgram(A, TCodeLanguage::Pascal, TCodeStyleKind::Lesson).GetText();
  const std::string Cpp = GenerateProgram(A, TCodeLanguage::Cpp, TCodeStyleKind::Lesson).GetText();
  EXPECT_TRUE(Contains(Py, "print(power(X, 2), round(in_range(X, 1e9)))")) << Py;
  EXPECT_TRUE(Contains(Pas, "writeln(Power(X, 2), ' ', Round(InRange(X, 1e9)));")) << Pas;
  EXPECT_TRUE(Contains(Cpp, "double power(double base, double exponent);\n")) << Cpp;
  EXPECT_TRUE(Contains(Cpp, "std::nearbyint(in_range(X, 1e9))")) << Cpp;
  // The rule the language's own MOD follows is said at the top.
  EXPECT_TRUE(Contains(Py, ", MOD - это %.\n")) << Py;
  EXPECT_FALSE(Contains(Cpp, "MOD - это")) << Cpp; // whole numbers: % as the interpreter's
}

TEST(ProgramTextTest, StyleNames) {
  TCodeStyleKind S = TCodeStyleKind::Exact;
  EXPECT_TRUE(CodeStyleFromName("lesson", S));
  EXPECT_EQ(S, TCodeStyleKind::Lesson);
  EXPECT_TRUE(CodeStyleFromName("exact", S));
  EXPECT_EQ(S, TCodeStyleKind::Exact);
  EXPECT_FALSE(CodeStyleFromName("Lesson", S));
  EXPECT_STREQ(CodeStyleName(TCodeStyleKind::Lesson), "lesson");
}
