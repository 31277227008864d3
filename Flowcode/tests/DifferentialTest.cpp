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
#include <cmath>
#include <cstdlib>
#include <filesystem>
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
struct TPythonAllowances {
  int LastDigit = 0;
  int Noise = 0;
  int Range = 0;
};

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
  int Failures = 0, Compared = 0;
  TPythonAllowances Allowed;
  for (size_t I = 0; I < Cases.size() && Failures < 3; ++I) {
    if (Cases[I].Expected.StepLimit)
      continue;
    ++Compared;
    const std::string D = Difference(Cases[I].Expected, Batch.Run(I, Cases[I].Input),
                                     Language == TCodeLanguage::Python ? &Allowed : nullptr);
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
              << " runs stopped by OverflowError beyond 1.8E308";
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

INSTANTIATE_TEST_SUITE_P(Languages, DifferentialTest,
                         ::testing::Values(TCodeLanguage::Python, TCodeLanguage::Pascal,
                                           TCodeLanguage::Cpp),
                         [](const ::testing::TestParamInfo<TCodeLanguage>& I) {
                           return std::string(CodeLanguageName(I.param));
                         });

} // namespace
