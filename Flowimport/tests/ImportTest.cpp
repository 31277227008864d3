// Program text read into charts: the constructs of Python and Pascal, the
// refusals with their places, the name mapping, hostile text.

#include "Flowimport/Flowimport_Errors.h"
#include "Flowimport/Flowimport_Program.h"

#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace Deskbay;

namespace {

// The chart's blocks as "algtool show" prints them, without the root line.
std::string Chart(const std::string& Text, TImportForm Form,
                  std::vector<std::string>* Names = nullptr) {
  TAlgorithm Alg;
  const TImportReport R = ImportProgram(Alg, Text, Form, "prog");
  if (Names)
    *Names = R.Names;
  std::string S;
  for (const std::string& L : BlockTreeLines(Alg.GetRoot()->GetBody()))
    S += L + "\n";
  return S;
}

struct TRefusal {
  int Line = 0, Column = 0;
  std::string Message;
};

TRefusal Refusal(const std::string& Text, TImportForm Form) {
  TAlgorithm Alg;
  try {
    ImportProgram(Alg, Text, Form, "prog");
  } catch (const EImportError& E) {
    return {E.GetLine(), E.GetColumn(), E.Message()};
  }
  ADD_FAILURE() << "not refused:\n" << Text;
  return {};
}

const TImportForm Py = TImportForm::Python;
const TImportForm Pas = TImportForm::Pascal;

TEST(PythonImport, StatementsOfOneKindShareABlock) {
  EXPECT_EQ(Chart("import math\n"
                  "n = int(input())\n"
                  "a, b = map(float, input().split())\n"
                  "x = float(input('x? '))\n"
                  "s = 0\n"
                  "s += a; s -= b\n"
                  "s *= 2\n"
                  "s /= 4 - a\n"
                  "print(s, a ** 2, -a ** 2, (-a) ** 2)\n",
                  Py),
            "Ввод-вывод: Ввод N | Ввод A, B | Ввод X\n"
            "Блок вычислений: S=0 | S=S+A | S=S-B | S=S*2 | S=S/(4-A)\n"
            "Ввод-вывод: Вывод S, A^2, -(A^2), -A^2\n");
}

TEST(PythonImport, FunctionsModAndDivision) {
  EXPECT_EQ(Chart("from math import *\n"
                  "y = math.sqrt(abs(x)) + round(x) + int(x) + math.trunc(x)\n"
                  "y = sin(x) * math.cos(x) - math.exp(x) / math.atan(x) + math.log(x)\n"
                  "y = x % 7 + x // 2 * 3 + x * y % 2 + float(x)\n",
                  Py),
            "Блок вычислений: Y=SQRT(ABS(X))+ROUND(X)+TRUNC(X)+TRUNC(X) | "
            "Y=SIN(X)*COS(X)-EXP(X)/ATAN(X)+LN(X) | "
            "Y=X MOD 7+TRUNC(X/2)*3+(X*Y) MOD 2+X\n");
}

TEST(PythonImport, BranchesElifAndAnd) {
  EXPECT_EQ(Chart("if a > b and b != 0:\n"
                  "    print(a)\n"
                  "if a == b:\n"
                  "    pass\n"
                  "elif a <= 0:\n"
                  "    a = 1\n"
                  "else:\n"
                  "    a = 2\n"
                  "if 0 < a < 5: b = 1\n",
                  Py),
            "Ветвление: A>B\n  да:\n    Ветвление: B<>0\n      да:\n        Ввод-вывод: Вывод A\n"
            "      нет:\n  нет:\n"
            "Ветвление: A=B\n  да:\n  нет:\n"
            "    Ветвление: A<=0\n      да:\n        Блок вычислений: A=1\n"
            "      нет:\n        Блок вычислений: A=2\n"
            "Ветвление: 0<A\n  да:\n    Ветвление: A<5\n      да:\n        Блок вычислений: B=1\n"
            "      нет:\n  нет:\n");
}

TEST(PythonImport, LoopsOfEveryKind) {
  EXPECT_EQ(Chart("while k != 0:\n"
                  "    k = k - 1\n"
                  "for i in range(1, n + 1):\n"
                  "    s = s + i\n"
                  "for i in range(5):\n"
                  "    s = s + i\n"
                  "for i in range(2, 11, 3):\n"
                  "    s = s + i\n"
                  "for i in range(1, int(n) + 1):\n"
                  "    s = s + i\n"
                  "for j in range(10, 0, -2):\n"
                  "    print(j)\n"
                  "while True:\n"
                  "    k += 1\n"
                  "    if k >= 3:\n"
                  "        break\n",
                  Py),
            "Цикл с предусловием: K<>0\n  Блок вычислений: K=K-1\n"
            "Цикл с параметром: I=1,N,1\n  Блок вычислений: S=S+I\n"
            "Цикл с параметром: I=0,4,1\n  Блок вычислений: S=S+I\n"
            "Цикл с параметром: I=2,10,3\n  Блок вычислений: S=S+I\n"
            "Цикл с параметром: I=1,N,1\n  Блок вычислений: S=S+I\n"
            "Блок вычислений: J=10\n"
            "Цикл с предусловием: J>0\n  Ввод-вывод: Вывод J\n  Блок вычислений: J=J-2\n"
            "Цикл с постусловием: K<3\n  Блок вычислений: K=K+1\n");
}

TEST(PythonImport, CommentsDropExceptDrawing) {
  EXPECT_EQ(Chart("# задача 1\n"
                  "x = 1  # начало\n"
                  "# рисунок (отрезок): отр(0,0)-(5,5),2\n"
                  "\n"
                  "print(x)\n",
                  Py),
            "Блок вычислений: X=1 | отр(0,0)-(5,5),2\n"
            "Ввод-вывод: Вывод X\n");
}

TEST(PascalImport, StatementsDeclarationsAndLoops) {
  EXPECT_EQ(
      Chart("program Sum;\n"
            "uses Math;\n"
            "const Eps = 0.001;\n"
            "var n, i: Integer; s, a, b: Real;\n"
            "begin\n"
            "  { сумма }\n"
            "  readln(n); read(a, b);\n"
            "  s := 0;\n"
            "  for i := 1 to n do\n"
            "    s := s + i * i;\n"
            "  for i := 10 downto 1 do writeln(i:5);\n"
            "  while s > 100 do s := s div 2;\n"
            "  repeat\n"
            "    n := n - 1;\n"
            "    write(n, ' ');\n"
            "    writeln(s)\n"
            "  until n <= 0;\n"
            "  writeln(sqrt(abs(a)) / 2, ' ', -a * 2, ' ', round(a) mod 3, ' ', Power(a, 2));\n"
            "  writeln(sin(a) + cos(a) + arctan(a) + exp(a) + ln(a) + sqr(a) + trunc(a))\n"
            "end.\n",
            Pas),
      "Ввод-вывод: Ввод N, A, B\n"
      "Блок вычислений: S=0\n"
      "Цикл с параметром: I=1,N,1\n  Блок вычислений: S=S+I*I\n"
      "Блок вычислений: I=10\n"
      "Цикл с предусловием: I>=1\n  Ввод-вывод: Вывод I\n  Блок вычислений: I=I-1\n"
      "Цикл с предусловием: S>100\n  Блок вычислений: S=TRUNC(S/2)\n"
      "Цикл с постусловием: N>0\n  Блок вычислений: N=N-1\n  Ввод-вывод: Вывод N, S\n"
      "Ввод-вывод: Вывод SQRT(ABS(A))/2, -A*2, A MOD 3, A^2 | "
      "Вывод SIN(A)+COS(A)+ATAN(A)+EXP(A)+LN(A)+SQR(A)+TRUNC(A)\n");
}

TEST(PascalImport, BranchesAndStatementsAlone) {
  EXPECT_EQ(Chart("if (a > b) and (b <> 0) then writeln(a);\n"
                  "if a = b then\n"
                  "begin\n"
                  "  a := 1\n"
                  "end\n"
                  "else if A < 0 then a := 2 else;\n",
                  Pas),
            "Ветвление: A>B\n  да:\n    Ветвление: B<>0\n      да:\n        Ввод-вывод: Вывод A\n"
            "      нет:\n  нет:\n"
            "Ветвление: A=B\n  да:\n    Блок вычислений: A=1\n  нет:\n"
            "    Ветвление: A<0\n      да:\n        Блок вычислений: A=2\n      нет:\n");
}

TEST(ImportRefusals, PythonSaysWhereAndWhy) {
  struct {
    const char* Text;
    int Line, Column;
    const char* Words;
  } const Cases[] = {
      {"x = 1\nprint('x =', x)\n", 2, 7, "текст печатать нельзя"},
      {"a = [1, 2]\n", 1, 5, "списков"},
      {"def f(x):\n    return x\n", 1, 1, "функций"},
      {"while a > 0 and b > 0:\n    a = a - 1\n", 1, 13, "and в условии цикла нельзя"},
      {"while a > 0:\n    break\n", 2, 5, "break"},
      {"for c in 'abc':\n    print(1)\n", 1, 10, "только по range"},
      {"if a > 0 or b > 0:\n    a = 1\n", 1, 10, "or"},
      {"if not a > 0:\n    a = 1\n", 1, 4, "not"},
      {"x = a % 2.5\n", 1, 7, "MOD"},
      {"x = 'a'\n", 1, 5, "текста"},
      {"x = y(1)\n", 1, 5, "функции y"},
      {"if a > 0 and b > 0:\n    a = 1\nelse:\n    a = 2\n", 1, 14, "and и с else"},
      {"x = 1\n  y = 2\n", 2, 3, "лишний отступ"},
      {"print(x, end='')\n", 1, 10, "параметров print"},
  };
  for (const auto& C : Cases) {
    const TRefusal R = Refusal(C.Text, Py);
    EXPECT_EQ(R.Line, C.Line) << C.Text;
    EXPECT_EQ(R.Column, C.Column) << C.Text;
    EXPECT_NE(R.Message.find(C.Words), std::string::npos) << R.Message;
    EXPECT_EQ(R.Message.find("Файл \"prog\""), 0u) << R.Message;
  }
  // The hint comes with the reason.
  EXPECT_NE(Refusal("if a > 0 and b > 0:\n  a = 1\nelse:\n  a = 2\n", Py)
                .Message.find("Без else and становится двумя вложенными ветвлениями"),
            std::string::npos);
}

TEST(ImportRefusals, PascalSaysWhereAndWhy) {
  struct {
    const char* Text;
    int Line, Column;
    const char* Words;
  } const Cases[] = {
      {"begin\n  writeln('Ответ: ', x)\nend.\n", 2, 11, "текст печатать нельзя"},
      {"function F(X: Real): Real;\nbegin F := X end;\nbegin end.\n", 1, 1, "функций"},
      {"while (a > 0) and (b > 0) do a := a - 1;\n", 1, 15, "and в условии цикла"},
      {"case a of 1: b := 2 end;\n", 1, 1, "case"},
      {"var s: string;\nbegin end.\n", 1, 8, "строк"},
      {"a := b\nc := d;\n", 2, 1, "точка с запятой"},
      {"write(a);\nb := 1;\n", 1, 1, "write без writeln"},
      {"if not (a > 0) then a := 1;\n", 1, 4, "not"},
  };
  for (const auto& C : Cases) {
    const TRefusal R = Refusal(C.Text, Pas);
    EXPECT_EQ(R.Line, C.Line) << C.Text;
    EXPECT_EQ(R.Column, C.Column) << C.Text;
    EXPECT_NE(R.Message.find(C.Words), std::string::npos) << R.Message;
  }
}

TEST(ImportNames, LongNamesGetFreeLettersAndAreReported) {
  std::vector<std::string> Names;
  EXPECT_EQ(Chart("total = 0\ncount = 1\nt = 2\nc = total + count + t + c\n", Py, &Names),
            "Блок вычислений: A=0 | B=1 | T=2 | C=A+B+T+C\n");
  EXPECT_EQ(Names, (std::vector<std::string>{"total → A", "count → B"}));
  // Free first letters are used; Python's a and A are two names.
  EXPECT_EQ(Chart("summa = 1\nx = summa\nX = 2\n", Py, &Names),
            "Блок вычислений: S=1 | X=S | A=2\n");
  EXPECT_EQ(Names, (std::vector<std::string>{"summa → S", "X → A"}));
  // Pascal's names are one name in any case.
  EXPECT_EQ(Chart("Total := 1; total := TOTAL + 1;", Pas, &Names),
            "Блок вычислений: T=1 | T=T+1\n");
  EXPECT_EQ(Names, (std::vector<std::string>{"Total → T"}));
}

TEST(ImportNames, MoreNamesThanLettersAreRefusedWithTheList) {
  std::string Text;
  for (int I = 0; I < 27; ++I)
    Text += "v" + std::to_string(I) + " = 1\n";
  const TRefusal R = Refusal(Text, Py);
  EXPECT_EQ(R.Line, 27);
  EXPECT_NE(R.Message.find("27 имён"), std::string::npos) << R.Message;
  EXPECT_NE(R.Message.find("v0, v1, v2"), std::string::npos) << R.Message;
  EXPECT_NE(R.Message.find("v26"), std::string::npos) << R.Message;
}

TEST(ImportText, TheFormAlgtoolShowPrints) {
  const std::string Text = "Алгоритм: начало\n"
                           "  Блок вычислений: P=1 | D=2\n"
                           "  Ветвление: N  MOD  D=0\n"
                           "    да:\n"
                           "      Ввод-вывод: Вывод D\n"
                           "    нет:\n"
                           "  Цикл с постусловием: P<3\n";
  TAlgorithm Alg;
  ImportProgram(Alg, Text, TImportForm::Text, "t.txt");
  std::string S;
  for (const std::string& L : BlockTreeLines(Alg.GetRoot()))
    S += L + "\n";
  EXPECT_EQ(S, Text); // the lines as written, blanks around MOD too
  const TRefusal R = Refusal("Блок вычислений: X=1\n   Ввод-вывод: Вывод X\n", TImportForm::Text);
  EXPECT_EQ(R.Line, 2);
  EXPECT_NE(R.Message.find("чётным"), std::string::npos);
  EXPECT_NE(Refusal("Блок: X=1\n", TImportForm::Text).Message.find("нет блока \"Блок\""),
            std::string::npos);
  EXPECT_NE(Refusal("да:\n", TImportForm::Text).Message.find("не под ветвлением"),
            std::string::npos);
}

TEST(ImportHostile, ControlBytesBadUtf8AndLongLines) {
  EXPECT_NE(Refusal(std::string("x = 1\0\n", 7), Py).Message.find("нулевой байт"),
            std::string::npos);
  const TRefusal Bad = Refusal("x := 1; { \xC3\x28 }", Pas);
  EXPECT_EQ(Bad.Column, 11);
  EXPECT_NE(Bad.Message.find("UTF-8"), std::string::npos);
  EXPECT_NE(Refusal("x = 1 + " + std::string(10 * 1024 * 1024, '1') + "\n", Py)
                .Message.find("строка длиннее"),
            std::string::npos);
}

TEST(ImportHostile, DeepNestingIsRefusedWithoutRecursingDeep) {
  // Ten thousand levels of each kind, within the line limit.
  std::string Py1 = "x = 1\n", Pas1, Par = "x = ", Text;
  for (int I = 0; I < 10000; ++I) {
    Pas1 += "begin\n";
    Par += "(\n";
  }
  for (int I = 0; I < 150; ++I)
    Py1 += std::string(static_cast<size_t>(I), ' ') + "if x > 0:\n";
  Py1 += std::string(150, ' ') + "x = 2\n";
  EXPECT_NE(Refusal(Py1, Py).Message.find("глубже 100"), std::string::npos);
  EXPECT_NE(Refusal(Pas1, Pas).Message.find("глубже 100"), std::string::npos);
  EXPECT_NE(Refusal(Par, Py).Message.find("глубже 100"), std::string::npos);
  std::string Neg = "x := ";
  for (int I = 0; I < 5000; ++I)
    Neg += "-\n";
  EXPECT_NE(Refusal(Neg + "1;", Pas).Message.find("глубже 100"), std::string::npos);
  for (int I = 0; I < 200; ++I)
    Text += std::string(2 * static_cast<size_t>(I), ' ') + "Цикл с предусловием: X<1\n";
  EXPECT_NE(Refusal(Text, TImportForm::Text).Message.find("больше 100"), std::string::npos);
}

TEST(ImportHostile, OnlyRegularFilesOfBoundedSizeAreRead) {
  const std::string Dir =
      std::filesystem::temp_directory_path() / ("flowimport-" + std::to_string(::getpid()));
  std::filesystem::create_directories(Dir);
  const std::string Fifo = Dir + "/fifo.py";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  EXPECT_THROW(ReadProgramSource(Fifo), Exception);
  EXPECT_THROW(ReadProgramSource(Dir), Exception);
  const std::string Big = Dir + "/big.py";
  {
    FILE* F = std::fopen(Big.c_str(), "w");
    ASSERT_TRUE(F);
    const std::string Line(1000, '#');
    for (int I = 0; I < 1100; ++I)
      std::fprintf(F, "%s\n", Line.c_str());
    std::fclose(F);
  }
  try {
    ReadProgramSource(Big);
    ADD_FAILURE() << "a file over the limit was read";
  } catch (const Exception& E) {
    EXPECT_NE(E.Message().find("big.py"), std::string::npos) << E.Message();
  }
  std::filesystem::remove_all(Dir);
}

TEST(ImportForms, ByExtensionNameAndLook) {
  TImportForm F;
  EXPECT_TRUE(ImportFormFromFileName("a/b.PY", F));
  EXPECT_EQ(F, TImportForm::Python);
  EXPECT_TRUE(ImportFormFromFileName("x.pas", F));
  EXPECT_EQ(F, TImportForm::Pascal);
  EXPECT_TRUE(ImportFormFromFileName("x.txt", F));
  EXPECT_EQ(F, TImportForm::Text);
  EXPECT_FALSE(ImportFormFromFileName("x.py/readme", F));
  EXPECT_EQ(GuessImportForm("  Блок вычислений: X=1\n"), TImportForm::Text);
  EXPECT_EQ(GuessImportForm("x := 1;"), TImportForm::Pascal);
  EXPECT_EQ(GuessImportForm("x = 1"), TImportForm::Python);
}

} // namespace
