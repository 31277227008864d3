// The generated programs against the interpreter: every example and many
// random algorithms, run with the same input in each language. The lines
// printed and whether the run ended in an error must agree. C++ and Pascal
// compute with the interpreter's 80-bit numbers and must print the same
// digits; Python's 64-bit floats may change the last printed digit of a
// value, and only that, which the comparison allows for Python alone.

#include "CodeRunner.h"
#include "RandomAlgorithm.h"

#include "Algtool_Files.h"

#include "Flowlang/Flowlang_Expression.h"
#include "Flowlang/Flowlang_Statement.h"
#include "Flowmodel/Flowmodel_LineCheck.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

struct TCase {
  std::string Name;
  std::unique_ptr<TAlgorithm> Alg;
  std::string Input;
  TRunLines Expected;
};

std::string Joined(const std::vector<std::string>& Lines) {
  std::string S;
  for (const std::string& L : Lines)
    S += "  | " + L + "\n";
  return S;
}

// What Python may do differently, counted so that the test can say so.
// Its floats have 64 bits where the interpreter computes with 80:
// - a printed value may differ in its last digit;
// - a value that is nothing but rounding noise (a difference of nearly equal
//   numbers, below 1E-9 on both sides) differs altogether, and what the
//   algorithm does with it afterwards may differ too;
// - an intermediate value beyond 1.8E308, which 80 bits still hold, stops the
//   Python program with OverflowError.
// - anything else only where the same algorithm's C++ program, computing
//   in 64 bits, prints what Python prints.
struct TPythonAllowances {
  int LastDigit = 0;
  int Noise = 0;
  int Range = 0;
  int SixtyFourBits = 0;
};

// The C++ program computing with doubles, as Python does.
std::string InSixtyFourBits(const std::string& Cpp) {
  std::string R;
  for (size_t I = 0; I < Cpp.size(); ++I) {
    if (Cpp.compare(I, 11, "long double") == 0) {
      R += "double";
      I += 10;
      continue;
    }
    // A long double literal's suffix: an L ending a word that begins with a digit.
    if (Cpp[I] == 'L' &&
        (I + 1 == Cpp.size() || !std::isalnum(static_cast<unsigned char>(Cpp[I + 1])))) {
      size_t First = I;
      while (First > 0 &&
             (std::isalnum(static_cast<unsigned char>(Cpp[First - 1])) || Cpp[First - 1] == '.'))
        --First;
      if (First < I && std::isdigit(static_cast<unsigned char>(Cpp[First])))
        continue;
    }
    R += Cpp[I];
  }
  // Adding 2^63 rounds to whole numbers in 80 bits only.
  const std::string Sum = "return x >= 0 ? (x + big) - big : -((big - x) - big);";
  const size_t At = R.find(Sum);
  if (At != std::string::npos)
    R.replace(At, Sum.size(), "return std::nearbyint(x);");
  return R;
}

bool SameRun(const TRunLines& A, const TRunLines& B) {
  return A.Lines == B.Lines && A.Failed == B.Failed;
}

bool IsNoise(const std::string& A, const std::string& B) {
  std::istringstream SA(A), SB(B);
  bool Noise = false;
  for (std::string X, Y; SA >> X;) {
    if (!(SB >> Y))
      return false;
    const double VX = std::strtod(X.c_str(), nullptr), VY = std::strtod(Y.c_str(), nullptr);
    if (std::fabs(VX) < 1e-9 && std::fabs(VY) < 1e-9 && X != Y)
      Noise = true;
    else if (!SameUpToLastDigit(X, Y))
      return false;
  }
  return Noise;
}

// Empty when the program did what the interpreter did (for Python, within
// the allowances, which it counts).
std::string Difference(const TRunLines& Expected, const TRunLines& Actual,
                       TPythonAllowances* Python) {
  const auto Describe = [&]() {
    return "interpreter" + std::string(Expected.Failed ? " (error: " + Expected.Error + ")" : "") +
           ":\n" + Joined(Expected.Lines) + "program" +
           std::string(Actual.Failed ? " (error: " + Actual.Error + ")" : "") + ":\n" +
           Joined(Actual.Lines);
  };
  int LastDigit = 0;
  for (size_t I = 0; I < std::min(Expected.Lines.size(), Actual.Lines.size()); ++I) {
    const std::string& E = Expected.Lines[I];
    const std::string& A = Actual.Lines[I];
    if (E == A)
      continue;
    if (Python && SameUpToLastDigit(E, A)) {
      ++LastDigit;
      continue;
    }
    if (Python && IsNoise(E, A)) {
      ++Python->Noise;
      return std::string();
    }
    return Describe();
  }
  // Every failure of the interpreter ends the program with its own words
  // (Python's 64-bit overflows aside, counted below).
  std::string Message = Expected.Error;
  for (size_t At; (At = Message.find("\r\n")) != std::string::npos;)
    Message.erase(At, 1);
  while (!Message.empty() && Message.back() == '\n')
    Message.pop_back();
  if (Expected.Failed && Actual.Failed && Actual.Error.find(Message) == std::string::npos &&
      !(Python && Actual.Lines.size() < Expected.Lines.size()))
    return Describe();
  const bool Same =
      Expected.Failed == Actual.Failed && Expected.Lines.size() == Actual.Lines.size();
  const bool Overflow = Python && Actual.Failed && Actual.Lines.size() <= Expected.Lines.size() &&
                        Actual.Error.find("OverflowError") != std::string::npos;
  if (!Same && !Overflow)
    return Describe();
  if (Python) {
    Python->LastDigit += LastDigit;
    Python->Range += !Same;
  }
  return std::string();
}

int CaseCount(const char* Variable, int Default) {
  const char* Value = std::getenv(Variable);
  return Value && std::atoi(Value) > 0 ? std::atoi(Value) : Default;
}

// Runs every case's program in Language and expects what the interpreter
// did; reports the first few that differ with their program text.
void ExpectSameRuns(std::vector<TCase>& Cases, TCodeLanguage Language) {
  std::vector<std::string> Texts;
  for (TCase& C : Cases)
    Texts.push_back(GenerateProgram(*C.Alg, Language).GetText());
  const TProgramBatch Batch(Language, Texts);
  ASSERT_TRUE(Batch.Ready()) << Batch.CompileErrors();
  // Python's other results are checked against the C++ programs made to
  // compute in 64 bits, where a C++ compiler is at hand.
  std::unique_ptr<TProgramBatch> SixtyFour;
  if (Language == TCodeLanguage::Python && HasTool(TCodeLanguage::Cpp)) {
    std::vector<std::string> Cpp;
    for (TCase& C : Cases)
      Cpp.push_back(InSixtyFourBits(GenerateProgram(*C.Alg, TCodeLanguage::Cpp).GetText()));
    SixtyFour = std::make_unique<TProgramBatch>(TCodeLanguage::Cpp, Cpp);
    ASSERT_TRUE(SixtyFour->Ready()) << SixtyFour->CompileErrors();
  }
  int Failures = 0, Compared = 0;
  TPythonAllowances Allowed;
  for (size_t I = 0; I < Cases.size() && Failures < 3; ++I) {
    if (Cases[I].Expected.StepLimit)
      continue;
    ++Compared;
    const TRunLines Actual = Batch.Run(I, Cases[I].Input);
    std::string D = Difference(Cases[I].Expected, Actual,
                               Language == TCodeLanguage::Python ? &Allowed : nullptr);
    if (!D.empty() && SixtyFour && SameRun(SixtyFour->Run(I, Cases[I].Input), Actual)) {
      ++Allowed.SixtyFourBits;
      D.clear();
    }
    if (!D.empty()) {
      ++Failures;
      ADD_FAILURE() << Cases[I].Name << " in " << CodeLanguageName(Language) << " differs\n"
                    << D << "input:\n"
                    << Cases[I].Input << "program:\n"
                    << Texts[I];
    }
  }
  std::cout << Compared << " algorithms compared in " << CodeLanguageName(Language);
  if (Language == TCodeLanguage::Python)
    std::cout << "; allowed for Python's 64-bit floats: " << Allowed.LastDigit
              << " lines differing in the last digit, " << Allowed.Noise
              << " runs parting after rounding noise below 1E-9, " << Allowed.Range
              << " runs stopped by OverflowError beyond 1.8E308, " << Allowed.SixtyFourBits
              << " runs differing otherwise exactly as the C++ program computing in 64 bits";
  std::cout << '\n';
}

std::vector<TCase> Examples() {
  std::vector<TCase> Cases;
  std::vector<std::filesystem::path> Files;
  for (const auto& Entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
    if (Entry.path().extension() == ".alg")
      Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  for (const auto& File : Files) {
    TCase C;
    C.Name = File.filename().string();
    C.Alg = std::make_unique<TAlgorithm>();
    Algtool::LoadAlgorithmFile(*C.Alg, File.string());
    std::filesystem::path In = File;
    In.replace_extension(".in");
    if (std::filesystem::exists(In))
      C.Input = ReadFileBytes(In.string());
    C.Expected = RunInterpreter(*C.Alg, C.Input);
    Cases.push_back(std::move(C));
  }
  return Cases;
}

std::vector<TCase> RandomCases(int Count) {
  std::vector<TCase> Cases;
  for (int I = 0; I < Count; ++I) {
    TCase C;
    C.Name = "random algorithm " + std::to_string(I);
    C.Alg = std::make_unique<TAlgorithm>();
    MakeRandomAlgorithm(*C.Alg, static_cast<std::uint32_t>(I), C.Input);
    C.Expected = RunInterpreter(*C.Alg, C.Input, 200000);
    Cases.push_back(std::move(C));
  }
  return Cases;
}

TAlgBlock* MainOf(TAlgorithm& A) {
  return A.GetRoot()->GetBody();
}
TAlgBlock* BodyOf(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

TCase Directed(const std::string& Name, const std::string& Input,
               const std::function<void(TAlgBlock*)>& Make) {
  TCase C;
  C.Name = Name;
  C.Alg = std::make_unique<TAlgorithm>();
  Make(MainOf(*C.Alg));
  C.Input = Input;
  C.Expected = RunInterpreter(*C.Alg, C.Input);
  return C;
}

void Lines(TAlgBlock* Main, const std::vector<std::string>& Computed,
           const std::vector<std::string>& Printed) {
  if (!Computed.empty())
    TBasicAlgBlock::Class.CreateWithLines(Main, Computed);
  for (const std::string& P : Printed)
    TIOAlgBlock::Class.CreateWithLines(Main, {"Вывод " + P});
}

// SIN and COS far from zero: Pascal's own functions lose digits there,
// which only the exact text mends.
const char* const LargeAngles = "large angles";

// The cases where a faithful program is easiest to get wrong.
std::vector<TCase> DirectedCases() {
  std::vector<TCase> Cases;
  // A sum without its start, a value set on one path only, a loop that
  // never runs: the interpreter stops where the value is read.
  Cases.push_back(Directed("sum without S=0", "", [](TAlgBlock* M) {
    TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(M, {"I=1,3,1"});
    TBasicAlgBlock::Class.CreateWithLines(BodyOf(F), {"S=S+I"});
    Lines(M, {}, {"S"});
  }));
  for (const char* In : {"1\n", "-1\n"})
    Cases.push_back(Directed(std::string("set in one arm, input ") + In, In, [](TAlgBlock* M) {
      TIOAlgBlock::Class.CreateWithLines(M, {"Ввод N"});
      auto* If = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(M, {"N>0"}));
      TBasicAlgBlock::Class.CreateWithLines(If->GetYesBranch(), {"A=N*2"});
      Lines(M, {}, {"a+1"});
    }));
  Cases.push_back(Directed("loop that never runs", "", [](TAlgBlock* M) {
    TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(M, {"I=5,1,1"});
    TBasicAlgBlock::Class.CreateWithLines(BodyOf(F), {"B=I"});
    Lines(M, {}, {"I", "B"});
  }));
  // Whole numbers beyond an int and beyond a double's exact range.
  Cases.push_back(Directed("long whole numbers", "", [](TAlgBlock* M) {
    Lines(M, {"A=9007199254740993"},
          {"2000000000+2000000000", "2147483647+1", "3000000000*4000000000", "A-9007199254740992",
           "123456789012345678*10"});
  }));
  // Ten digits beside a rounding tie; SIN and COS far from zero.
  Cases.push_back(Directed("rounding", "", [](TAlgBlock* M) {
    Lines(M, {}, {"1.1776968085", "12345678905", "0.12345678905, 99999999995"});
  }));
  Cases.push_back(Directed(LargeAngles, "", [](TAlgBlock* M) {
    Lines(M, {}, {"COS(1E12)", "COS(1E18)", "SIN(1E15), SIN(-9E18)"});
  }));
  // Typed input the interpreter refuses, and some it takes.
  for (const char* In : {".", "e5", ".e1", "1e+", "١٢", "１", "+.5", "5.", "1e-400", "1e400",
                         "12345678901234567890123456789012345678901234567890", " \t-7 "})
    Cases.push_back(Directed(std::string("typed ") + In, std::string(In) + "\n", [](TAlgBlock* M) {
      TIOAlgBlock::Class.CreateWithLines(M, {"Ввод X", "Вывод X"});
    }));
  // Failures of the language's own arithmetic.
  for (const char* Line : {"1/0", "1E19 MOD 3", "5 MOD 0", "LN(0)+A", "SQRT(A-5)", "EXP(A*1000)",
                           "(A-1)^0.5", "A/(A-1)", "ATAN(1/(A-1))", "1/(1/(A-1))", "0*LN(A-1)",
                           "ROUND(1E10*A)+0", "1/(A-1), LN(0)", "B, 1/0", "A, 2+"})
    Cases.push_back(Directed(std::string("failing ") + Line, "", [Line](TAlgBlock* M) {
      Lines(M, {"A=1"}, {"2", Line});
    }));
  // A condition or counting loop whose later part always fails, after a
  // part that fails when it is computed.
  for (const char* Cond : {"1/(A-1)>LN(0)", "B>2+", "A>2+", "SQRT(-A)<1/0"})
    Cases.push_back(Directed(std::string("failing condition ") + Cond, "", [Cond](TAlgBlock* M) {
      Lines(M, {"A=1"}, {"2"});
      TIfAlgBlock::Class.CreateWithLines(M, {Cond});
    }));
  for (const char* Header : {"I=1/(A-1),LN(0),1", "I=1,2+,1", "I=B,1/0,1"})
    Cases.push_back(Directed(std::string("failing header ") + Header, "", [Header](TAlgBlock* M) {
      Lines(M, {"A=1"}, {"2"});
      TForAlgBlock::Class.CreateWithLines(M, {Header});
    }));
  return Cases;
}

// What the lesson text must stop at (or not) with means of its own: the
// language's own errors, a check of what was read, its few helpers.
std::vector<TCase> LessonCases() {
  std::vector<TCase> Cases;
  // Powers of numbers not above zero; functions beyond their limits; values
  // beyond the double range; remainders by zero, by a divisor that rounds
  // to zero and of constants beyond 64-bit integers.
  for (const char* Line : {"(A-1)^2",
                           "(A-2)^2",
                           "(A-2)^3",
                           "(A-2)^0.5",
                           "0^A",
                           "(A+1)^0.5+2^A",
                           "ROUND(A*2E9)",
                           "TRUNC(-A*2E9)",
                           "ROUND(A*2.5)+TRUNC(-A*2.5)",
                           "SIN(A*1E19)",
                           "COS(-A*1E19)",
                           "EXP(-A*20000)",
                           "EXP(A*800)",
                           "A*1E300*1E300",
                           "A*1E200*1E200/1E300",
                           "A MOD 0",
                           "A MOD 0.4",
                           "A MOD (A-1)",
                           "1E19 MOD (A+2)",
                           "A MOD 1E19",
                           "-7 MOD (A+2), 7 MOD -(A+2)",
                           "SQRT(A-2)",
                           "LN(A-1)",
                           "1/(A-1)",
                           "A MOD ROUND(0.3)",
                           "A MOD (A MOD 1)",
                           "(1/(A-1)) MOD 1.25",
                           "1E300*1E300",
                           "A*1E400",
                           "A*(1E300*1E300)/1E300"})
    Cases.push_back(Directed(std::string("lesson ") + Line, "", [Line](TAlgBlock* M) {
      Lines(M, {"A=1"}, {"2", Line, "3"});
    }));
  // Whole counters whose products leave a 64-bit integer, and counters up
  // to another counter or to a number typed.
  Cases.push_back(Directed("whole counters", "", [](TAlgBlock* M) {
    TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(M, {"I=1,10,1"});
    TAlgBlock* G = TForAlgBlock::Class.CreateWithLines(BodyOf(F), {"J=1,I,1"});
    Lines(BodyOf(G), {},
          {"I*999999999*999999999*J, I/2, I MOD 2, ABS(I)/J, SQR(I)/J, (I MOD 3)/2"});
  }));
  for (const char* In : {"-0.5\n", "2.5\n", "3000000000\n"})
    Cases.push_back(Directed(std::string("counter to a typed end ") + In, In, [In](TAlgBlock* M) {
      TIOAlgBlock::Class.CreateWithLines(M, {"Ввод N"});
      TBasicAlgBlock::Class.CreateWithLines(M, {"S=0"});
      TAlgBlock* F = TForAlgBlock::Class.CreateWithLines(M, {"I=0,N,1"});
      TBasicAlgBlock::Class.CreateWithLines(BodyOf(F), {"S=S+I*I*I*I"});
      Lines(BodyOf(F), {}, {"S"});
      if (std::string(In) == "3000000000\n")
        TBasicAlgBlock::Class.CreateWithLines(BodyOf(F), {"S=S/0"});
    }));
  // A value read unset in a condition loop and after a post-test loop.
  Cases.push_back(Directed("unset in conditions", "", [](TAlgBlock* M) {
    TAlgBlock* W = TWhileAlgBlock::Class.CreateWithLines(M, {"W<3"});
    TBasicAlgBlock::Class.CreateWithLines(BodyOf(W), {"W=W+1"});
    Lines(M, {}, {"W"});
  }));
  Cases.push_back(Directed("unset after a post-test loop", "1\n", [](TAlgBlock* M) {
    TIOAlgBlock::Class.CreateWithLines(M, {"Ввод N"});
    TAlgBlock* U = TUntilAlgBlock::Class.CreateWithLines(M, {"N>5"});
    auto* If = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(BodyOf(U), {"N>3"}));
    TBasicAlgBlock::Class.CreateWithLines(If->GetYesBranch(), {"B=N"});
    TBasicAlgBlock::Class.CreateWithLines(BodyOf(U), {"N=N+1"});
    Lines(M, {}, {"N", "B"});
  }));
  // Input: two numbers a line read, then input that runs out.
  for (const char* In : {"1\n2\n3\n", "1\n2\n"})
    Cases.push_back(Directed(std::string("input ") + In, In, [](TAlgBlock* M) {
      TIOAlgBlock::Class.CreateWithLines(M, {"Ввод A, B", "Вывод A+B", "Ввод C", "Вывод C"});
    }));
  return Cases;
}

class DifferentialTest : public ::testing::TestWithParam<TCodeLanguage> {
protected:
  void SetUp() override {
    if (!HasTool(GetParam()))
      GTEST_SKIP() << ToolOf(GetParam()) << " is not installed, so the "
                   << CodeLanguageName(GetParam())
                   << " programs cannot be run (scripts/setup.sh installs it)";
  }
};

TEST_P(DifferentialTest, ExamplesPrintWhatTheInterpreterPrints) {
  std::vector<TCase> Cases = Examples();
  ASSERT_GE(Cases.size(), 10u);
  // endless_loop never ends; every other example does.
  EXPECT_EQ(std::count_if(Cases.begin(), Cases.end(),
                          [](const TCase& C) { return C.Expected.StepLimit; }),
            1);
  ExpectSameRuns(Cases, GetParam());
}

TEST_P(DifferentialTest, DirectedCasesPrintWhatTheInterpreterPrints) {
  std::vector<TCase> Cases = DirectedCases();
  ExpectSameRuns(Cases, GetParam());
}

TEST_P(DifferentialTest, RandomAlgorithmsPrintWhatTheInterpreterPrints) {
  // Python and C++ (one compiler run) take 200 each by default; Pascal
  // compiles every program on its own and takes fewer. The benchmark build
  // runs 2,000 in each language (DESKBAY_CODE_CASES).
  const int Count = CaseCount("DESKBAY_CODE_CASES", GetParam() == TCodeLanguage::Pascal ? 40 : 200);
  std::vector<TCase> Cases = RandomCases(Count);
  const auto Failed =
      std::count_if(Cases.begin(), Cases.end(), [](const TCase& C) { return C.Expected.Failed; });
  // Both endings are well represented.
  EXPECT_GT(Failed, Count / 10);
  EXPECT_LT(Failed, Count * 9 / 10);
  ExpectSameRuns(Cases, GetParam());
}

// --- the lesson text ---------------------------------------------------------

// Where the lesson text may part from the interpreter by its language's own
// rules, as its top comment says, the exact C++ program (which does what
// the interpreter does) is made to stop with one of these statuses; the
// lesson run is then compared on the lines printed before that place only.
enum TOwnRule { orAngle = 96, orMod = 97, orInput = 98, orRange = 99 };

bool IsOwnRule(int ExitStatus) {
  return ExitStatus >= orAngle && ExitStatus <= orRange;
}

// Typed texts each language reads its own way where the interpreter refuses
// them: Python's float() takes other digits than 0-9 and "inf", and 1e400
// as inf; Pascal's readln takes ".", "e5", ".e1" and "1e+" as numbers, and
// "inf", and reports the overflow of 1e400 and (with its Math unit) the
// underflow of 1e-400 at a later operation; C++'s >> reads the number a
// text begins with ("0x10" as 0, "1,5" as 1, "1e5e5" as 1e5).
const char* OwnReadings(TCodeLanguage Language) {
  switch (Language) {
  case TCodeLanguage::Python:
    return R"({"١٢", "１", "inf", "1e400"})";
  case TCodeLanguage::Pascal:
    return R"({".", "e5", ".e1", "1e+", "inf", "1e400", "1e-400"})";
  default:
    return R"({"0x10", "1,5", "1e5e5"})";
  }
}

// Lines put into the exact program after Place: false where the program
// has the helper (which Helper begins) but not Place, so that a change of
// the helpers cannot quietly take a rule away.
bool InsertAfter(std::string& Text, const std::string& Helper, const std::string& Place,
                 const std::string& Lines) {
  const size_t Start = Text.find(Helper);
  if (Start == std::string::npos)
    return true;
  const size_t At = Text.find(Place, Start);
  if (At == std::string::npos)
    return false;
  Text.insert(At + Place.size(), Lines);
  return true;
}

// The exact C++ program of a case, stopping where the lesson text in
// Language may part from it by its language's rules:
// - MOD follows the language (orMod): Python's % of negative or fractional
//   values, std::fmod of fractional ones, and neither fails beyond 64-bit
//   integers (Pascal's Round rounds halves to even and its mod keeps the
//   dividend's sign, as the interpreter's MOD does);
// - typed input is read the language's way (orInput, OwnReadings);
// - a value beyond the double range (orRange): Python's float arithmetic
//   gives inf without an error (its ** and math functions do raise one), and
//   Pascal computes in Extended where a constant or a function is one, and
//   prints such a value (it stops where a variable would take it);
// - Pascal's own SIN and COS lose digits far from zero (orAngle).
std::string WithLanguagesOwnRules(std::string Cpp, TCodeLanguage Language) {
  const auto Stop = [](TOwnRule Rule) { return " std::exit(" + std::to_string(Rule) + ");\n"; };
  const std::string Whole = "a == std::trunc(a) && b == std::trunc(b) && std::fabs(a) < 0x1p63L && "
                            "std::fabs(b) < 0x1p63L";
  const std::string Modulo = "long double modulo(long double a, long double b) {\n";
  const std::string Read = "long double read_number(", Number = "long double number(";
  bool Placed = true;
  if (Language != TCodeLanguage::Pascal)
    Placed = InsertAfter(Cpp, Modulo, Modulo,
                         "    if (!(" + Whole +
                             (Language == TCodeLanguage::Python ? " && a >= 0 && b >= 0" : "") +
                             "))" + Stop(orMod)) &&
             Placed;
  // After the text is read and trimmed.
  Placed = InsertAfter(Cpp, Read, "        text = text.substr(first, last - first);\n    }\n",
                       std::string("    for (const char* own : ") + OwnReadings(Language) +
                           ")\n        if (text == own)\n           " + Stop(orInput)) &&
           Placed;
  if (Language == TCodeLanguage::Pascal)
    Placed = InsertAfter(Cpp, "long double in_range(", "{\n",
                         "    if (limit > 1e18L && std::fabs(x) > 1e10L)" + Stop(orAngle)) &&
             Placed;
  if (Language != TCodeLanguage::Cpp)
    Placed =
        InsertAfter(
            Cpp, Number, "{\n",
            "    if (!std::fetestexcept(FE_DIVBYZERO | FE_INVALID) && !std::isnan(x) &&\n"
            "        (std::fetestexcept(FE_OVERFLOW) || !(std::fabs(x) <= DBL_MAX)))\n       " +
                Stop(orRange)) &&
        Placed;
  if (!Placed)
    ADD_FAILURE() << "the exact program's helpers are not where the lesson test looks for them";
  return Cpp;
}

// The value of E where it names no variable and is made of numbers, the
// four operations, ROUND and TRUNC; false otherwise.
bool SimpleConstant(const TCodeExpr& E, long double& V) {
  long double A = 0, B = 0;
  for (size_t I = 0; I < E.Args.size(); ++I)
    if (!SimpleConstant(E.Args[I], I == 0 ? A : B))
      return false;
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    V = E.Value;
    return true;
  case TCodeExpr::ekParens:
    V = A;
    return true;
  case TCodeExpr::ekNegate:
    V = -A;
    return true;
  case TCodeExpr::ekAdd:
    V = A + B;
    return true;
  case TCodeExpr::ekSubtract:
    V = A - B;
    return true;
  case TCodeExpr::ekMultiply:
    V = A * B;
    return true;
  case TCodeExpr::ekDivide:
    V = A / B;
    return B != 0;
  case TCodeExpr::ekFunction:
    V = E.Text == "ROUND" ? std::nearbyint(A) : std::trunc(A);
    return E.Text == "ROUND" || E.Text == "TRUNC";
  default:
    return false;
  }
}

bool HasRemainderByOne(const TCodeExpr& E) {
  long double V;
  if (E.Kind == TCodeExpr::ekMod && SimpleConstant(E.Args[1], V) &&
      std::fabs(std::nearbyint(V)) == 1)
    return true;
  return std::any_of(E.Args.begin(), E.Args.end(),
                     [](const TCodeExpr& A) { return HasRemainderByOne(A); });
}

// Whether a line of B or of a block under it (the arms of a branch, the
// body of a loop) has a MOD by a constant that rounds to 1 or -1.
bool HasRemainderByOne(const TAlgBlock& B) {
  if (const std::optional<TLineRole> Role = LineRoleOfKind(B.GetKind()))
    for (const std::string& Line : B.GetText().Lines())
      for (const TExprText& X : ReadLineAs(*Role, Line).Exprs) {
        const TCodeExprReading R = ReadCodeExpression(X.Text);
        if (!R.Refused && !R.AlwaysFails && HasRemainderByOne(R.Root))
          return true;
      }
  for (int I = 0; I < B.GetBlockCount(); ++I)
    if (HasRemainderByOne(*B.GetBlocks(I)))
      return true;
  return false;
}

// Whether two printed lines hold the same words, numbers equal as numbers
// within 1E-9 of their size (or of 1 near zero).
bool SameNumbers(const std::string& A, const std::string& B) {
  std::istringstream SA(A), SB(B);
  std::string X, Y;
  while (SA >> X) {
    if (!(SB >> Y))
      return false;
    char *EndX, *EndY;
    const double VX = std::strtod(X.c_str(), &EndX), VY = std::strtod(Y.c_str(), &EndY);
    if (*EndX || *EndY) {
      if (X != Y)
        return false;
    } else if (!(std::fabs(VX - VY) <= 1e-9 * std::max({1.0, std::fabs(VX), std::fabs(VY)}))) {
      return false;
    }
  }
  return !(SB >> Y);
}

// Whether the lesson run did what Reference did: the same number of lines,
// numbers equal as numbers, the same ending (success, or a failure after
// the same lines). Where the exact program Stopped at a place where the
// language's own rules part from the interpreter, the lines before it only.
// Pascal's writeln writes its items one after the other: a line whose item
// fails is cut there, and the cut line is part of the failure.
bool LessonAgrees(const TRunLines& Reference, const TRunLines* Stopped, TRunLines Lesson) {
  if (Lesson.Failed && Lesson.CutLine)
    Lesson.Lines.pop_back();
  const bool Partial = Stopped && IsOwnRule(Stopped->ExitStatus);
  const size_t Count =
      Partial ? std::min(Stopped->Lines.size(), Reference.Lines.size()) : Reference.Lines.size();
  if (Partial ? Lesson.Lines.size() < Count
              : Lesson.Failed != Reference.Failed || Lesson.Lines.size() != Count)
    return false;
  for (size_t L = 0; L < Count; ++L)
    if (!SameNumbers(Reference.Lines[L], Lesson.Lines[L]))
      return false;
  return true;
}

// The lesson texts run against the interpreter: the same number of lines,
// the numbers equal as numbers, the same ending. A run that differs passes
// where the language's own rules part from the interpreter before the
// difference, or where the exact program computing in 64 bits does the same
// (the lesson text computes in doubles, the interpreter with 80 bits).
void ExpectSameNumbers(std::vector<TCase>& Cases, TCodeLanguage Language) {
  std::vector<std::string> Texts;
  for (TCase& C : Cases)
    Texts.push_back(GenerateProgram(*C.Alg, Language, TCodeStyleKind::Lesson).GetText());
  const TProgramBatch Batch(Language, Texts);
  ASSERT_TRUE(Batch.Ready()) << Batch.CompileErrors();
  std::vector<size_t> Differing;
  std::vector<TRunLines> Runs(Cases.size());
  int Compared = 0, Failing = 0;
  for (size_t I = 0; I < Cases.size(); ++I) {
    const TRunLines& E = Cases[I].Expected;
    if (E.StepLimit)
      continue;
    ++Compared;
    Failing += E.Failed;
    Runs[I] = Batch.Run(I, Cases[I].Input);
    if (!LessonAgrees(E, nullptr, Runs[I]))
      Differing.push_back(I);
  }
  // The exact programs of the runs that differ, each as it is and
  // computing in 64 bits, in one batch.
  std::vector<std::string> Exact;
  for (size_t I : Differing) {
    Exact.push_back(WithLanguagesOwnRules(
        GenerateProgram(*Cases[I].Alg, TCodeLanguage::Cpp).GetText(), Language));
    Exact.push_back(InSixtyFourBits(Exact.back()));
  }
  const TProgramBatch References(TCodeLanguage::Cpp, Exact);
  ASSERT_TRUE(References.Ready()) << References.CompileErrors();
  std::map<int, int> OwnRules;
  int SixtyFour = 0, Failures = 0;
  for (size_t D = 0; D < Differing.size() && Failures < 3; ++D) {
    const size_t I = Differing[D];
    const TRunLines Stopped = References.Run(2 * D, Cases[I].Input);
    if (LessonAgrees(Cases[I].Expected, &Stopped, Runs[I])) {
      ++OwnRules[Stopped.ExitStatus];
      continue;
    }
    // Free Pascal leaves out the dividend of a remainder by a constant 1,
    // whose value it knows, with any failure of it.
    if (Language == TCodeLanguage::Pascal && HasRemainderByOne(*Cases[I].Alg->GetRoot())) {
      ++OwnRules[orMod];
      continue;
    }
    const TRunLines Doubles = References.Run(2 * D + 1, Cases[I].Input);
    if (LessonAgrees(Doubles, &Doubles, Runs[I])) {
      ++SixtyFour;
      continue;
    }
    ++Failures;
    const TRunLines& E = Cases[I].Expected;
    const TRunLines& A = Runs[I];
    ADD_FAILURE() << Cases[I].Name << " in " << CodeLanguageName(Language) << " differs\n"
                  << "interpreter" << (E.Failed ? " (error: " + E.Error + ")" : "") << ":\n"
                  << Joined(E.Lines) << "program" << (A.Failed ? " (error: " + A.Error + ")" : "")
                  << ":\n"
                  << Joined(A.Lines) << "input:\n"
                  << Cases[I].Input << "program:\n"
                  << Texts[I];
  }
  std::cout << Compared << " lesson texts compared in " << CodeLanguageName(Language) << " ("
            << Failing << " where the interpreter fails); differing by the language's own rules: "
            << OwnRules[orMod] << " after a MOD, " << OwnRules[orInput] << " after typed input, "
            << OwnRules[orRange] << " after a value beyond the double range, " << OwnRules[orAngle]
            << " after SIN or COS far from zero; " << SixtyFour
            << " as the exact program computing in 64 bits\n";
}

TEST_P(DifferentialTest, LessonTextsComputeWhatTheInterpreterComputes) {
  std::vector<TCase> Cases = Examples();
  for (TCase& C : DirectedCases())
    Cases.push_back(std::move(C));
  for (TCase& C : LessonCases())
    Cases.push_back(std::move(C));
  // As many random algorithms as the exact test takes (DESKBAY_LESSON_CASES).
  const int Count =
      CaseCount("DESKBAY_LESSON_CASES", GetParam() == TCodeLanguage::Pascal ? 40 : 200);
  for (TCase& C : RandomCases(Count))
    Cases.push_back(std::move(C));
  ExpectSameNumbers(Cases, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, DifferentialTest,
                         ::testing::Values(TCodeLanguage::Python, TCodeLanguage::Pascal,
                                           TCodeLanguage::Cpp),
                         [](const ::testing::TestParamInfo<TCodeLanguage>& I) {
                           return std::string(CodeLanguageName(I.param));
                         });

} // namespace
