// The generated programs against the interpreter: every example and many
// random algorithms, run with the same input in each language. The lines
// printed and whether the run ended in an error must agree. C++ and Pascal
// compute with the interpreter's 80-bit numbers and must print the same
// digits; Python's 64-bit floats may change the last printed digit of a
// value, and only that, which the comparison allows for Python alone.

#include "CodeRunner.h"
#include "RandomAlgorithm.h"

#include "Algtool_Files.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
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

// The lesson text run: the same number of lines, the numbers equal as
// numbers, the same ending. Runs the interpreter ends in an error are left
// out: the lesson text stops in the language's own way, or not at all.
void ExpectSameNumbers(std::vector<TCase>& Cases, TCodeLanguage Language) {
  std::vector<std::string> Texts;
  for (TCase& C : Cases)
    Texts.push_back(GenerateProgram(*C.Alg, Language, TCodeStyleKind::Lesson).GetText());
  const TProgramBatch Batch(Language, Texts);
  ASSERT_TRUE(Batch.Ready()) << Batch.CompileErrors();
  int Compared = 0, Failures = 0;
  for (size_t I = 0; I < Cases.size() && Failures < 3; ++I) {
    const TRunLines& E = Cases[I].Expected;
    if (E.StepLimit || E.Failed ||
        (Language == TCodeLanguage::Pascal && Cases[I].Name == LargeAngles))
      continue;
    ++Compared;
    const TRunLines A = Batch.Run(I, Cases[I].Input);
    bool Same = !A.Failed && A.Lines.size() == E.Lines.size();
    for (size_t L = 0; Same && L < E.Lines.size(); ++L)
      Same = SameNumbers(E.Lines[L], A.Lines[L]);
    if (!Same) {
      ++Failures;
      ADD_FAILURE() << Cases[I].Name << " in " << CodeLanguageName(Language) << " differs\n"
                    << "interpreter:\n"
                    << Joined(E.Lines) << "program" << (A.Failed ? " (error: " + A.Error + ")" : "")
                    << ":\n"
                    << Joined(A.Lines) << "input:\n"
                    << Cases[I].Input << "program:\n"
                    << Texts[I];
    }
  }
  std::cout << Compared << " lesson texts compared in " << CodeLanguageName(Language) << '\n';
}

TEST_P(DifferentialTest, LessonTextsComputeWhatTheInterpreterComputes) {
  std::vector<TCase> Cases = Examples();
  for (TCase& C : DirectedCases())
    Cases.push_back(std::move(C));
  // Random algorithms only where asked (DESKBAY_LESSON_CASES): their MOD of
  // fractional and negative values follows the language's own rules.
  for (TCase& C : RandomCases(CaseCount("DESKBAY_LESSON_CASES", 1) - 1))
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
