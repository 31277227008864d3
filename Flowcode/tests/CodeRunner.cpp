#include "CodeRunner.h"

#include "Algtool_Files.h"
#include "Algtool_Run.h"

#include "Flowrun/Flowrun_Main.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace Deskbay::Testing {

TRunLines RunInterpreter(TAlgorithm& Alg, const std::string& Input, long long MaxSteps) {
  std::istringstream In(Input);
  Algtool::TStreamInput Answers(In, nullptr);
  TAlgMachine Machine;
  TRunLines R;
  Machine.GetConsole().SetOnAddLine([&R](const std::string& Line) { R.Lines.push_back(Line); });
  const Algtool::TRunOutcome Outcome = Algtool::DriveMachine(Machine, Alg, MaxSteps);
  R.Failed = Outcome.End == Algtool::TRunEnd::Failed;
  R.StepLimit = Outcome.End == Algtool::TRunEnd::StepLimit;
  R.Error = Outcome.Error;
  return R;
}

std::string FindProgram(const std::string& Name) {
  const char* Path = std::getenv("PATH");
  std::istringstream Dirs(Path ? Path : "/usr/bin:/bin");
  for (std::string Dir; std::getline(Dirs, Dir, ':');) {
    const std::string Full = (Dir.empty() ? "." : Dir) + "/" + Name;
    // A version manager's shim starts a shell before every run, which
    // costs more than the runs themselves; the real program is further on.
    if (Dir.find("/shims") != std::string::npos)
      continue;
    if (access(Full.c_str(), X_OK) == 0)
      return Full;
  }
  return std::string();
}

const char* ToolOf(TCodeLanguage Language) {
  switch (Language) {
  case TCodeLanguage::Python:
    return "python3";
  case TCodeLanguage::Pascal:
    return "fpc";
  default:
    return "g++";
  }
}

bool HasTool(TCodeLanguage Language) {
  return !FindProgram(ToolOf(Language)).empty();
}

namespace {

// One C++ program as a part of the batch: its includes left to the batch,
// everything else in namespace Name, main renamed.
std::string AsBatchPart(const std::string& Text, const std::string& Name) {
  std::vector<std::string> Lines;
  std::istringstream In(Text);
  bool InMain = false;
  for (std::string L; std::getline(In, L);) {
    if (L.rfind("#include", 0) == 0)
      continue;
    if (L == "int main() {") {
      L = "int run() {";
      InMain = true;
    } else if (InMain && L == "}") {
      // main may end without a return; run may not. Helpers may follow.
      Lines.push_back("    return 0;");
      InMain = false;
    }
    Lines.push_back(L);
  }
  std::string Body;
  for (const std::string& L : Lines)
    Body += L + '\n';
  return "namespace " + Name + " {\n" + Body + "} // namespace " + Name + "\n";
}

constexpr size_t CppPartSize = 250;

TProcessOptions Patient() {
  TProcessOptions O;
  O.TimeoutSeconds = 600;
  return O;
}

} // namespace

TProgramBatch::TProgramBatch(TCodeLanguage Language, const std::vector<std::string>& Texts)
    : FLanguage(Language), FCount(Texts.size()) {
  switch (Language) {
  case TCodeLanguage::Python:
    for (size_t I = 0; I < Texts.size(); ++I)
      WriteFileBytes(FDir.Path("p" + std::to_string(I) + ".py"), Texts[I]);
    return;
  case TCodeLanguage::Pascal:
    for (size_t I = 0; I < Texts.size(); ++I) {
      const std::string Name = "p" + std::to_string(I);
      WriteFileBytes(FDir.Path(Name + ".pas"), Texts[I]);
      const TProcessResult C =
          RunProcess(FindProgram("fpc"), {"-v0", "-FE" + FDir.Path(""), FDir.Path(Name + ".pas")},
                     "", Patient());
      if (C.ExitStatus != 0) {
        FReady = false;
        FCompileErrors += Name + ":\n" + C.Out + C.Err + "\n" + Texts[I];
      }
    }
    return;
  default:
    // Compiled in parts, so that no compiler run grows without bound.
    for (size_t First = 0; First < Texts.size(); First += CppPartSize) {
      const std::string Part = "batch" + std::to_string(First / CppPartSize);
      std::string Source = "#include <cctype>\n#include <cfenv>\n#include <cfloat>\n#include "
                           "<cmath>\n#include <cstdio>\n#include <cstdlib>\n#include "
                           "<iostream>\n#include <string>\n";
      std::string Dispatch = "int main(int argc, char** argv) {\n  switch (std::atoi(argv[1])) {\n";
      for (size_t I = First; I < std::min(Texts.size(), First + CppPartSize); ++I) {
        const std::string Name = "p" + std::to_string(I);
        Source += AsBatchPart(Texts[I], Name);
        Dispatch += "  case " + std::to_string(I) + ": return " + Name + "::run();\n";
      }
      Source += Dispatch + "  }\n  return 2;\n}\n";
      WriteFileBytes(FDir.Path(Part + ".cpp"), Source);
      const TProcessResult C =
          RunProcess(FindProgram("g++"),
                     {"-std=c++17", "-O0", "-w", "-o", FDir.Path(Part), FDir.Path(Part + ".cpp")},
                     "", Patient());
      if (C.ExitStatus != 0) {
        FReady = false;
        FCompileErrors += C.Out + C.Err;
      }
    }
  }
}

TRunLines TProgramBatch::Run(size_t Index, const std::string& Input) const {
  TProcessOptions O;
  O.TimeoutSeconds = 30;
  TProcessResult P;
  const std::string Name = "p" + std::to_string(Index);
  if (Index >= FCount)
    throw std::runtime_error("no such program");
  switch (FLanguage) {
  case TCodeLanguage::Python:
    P = RunProcess(FindProgram("python3"), {FDir.Path(Name + ".py")}, Input, O);
    break;
  case TCodeLanguage::Pascal:
    P = RunProcess(FDir.Path(Name), {}, Input, O);
    break;
  default:
    P = RunProcess(FDir.Path("batch" + std::to_string(Index / CppPartSize)),
                   {std::to_string(Index)}, Input, O);
  }
  TRunLines R;
  R.Lines = SplitLines(P.Out);
  R.Failed = P.ExitStatus != 0;
  R.Error = P.Err;
  R.ExitStatus = P.ExitStatus;
  R.CutLine = !P.Out.empty() && P.Out.back() != '\n';
  return R;
}

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> Lines;
  std::istringstream S(Text);
  for (std::string L; std::getline(S, L);)
    Lines.push_back(L);
  return Lines;
}

namespace {

std::vector<std::string> Words(const std::string& Line) {
  std::vector<std::string> W;
  std::istringstream S(Line);
  for (std::string T; S >> T;)
    W.push_back(T);
  return W;
}

} // namespace

bool SameUpToLastDigit(const std::string& A, const std::string& B) {
  if (A == B)
    return true;
  const std::vector<std::string> WA = Words(A), WB = Words(B);
  if (WA.size() != WB.size())
    return false;
  for (size_t I = 0; I < WA.size(); ++I) {
    if (WA[I] == WB[I])
      continue;
    const double X = std::strtod(WA[I].c_str(), nullptr), Y = std::strtod(WB[I].c_str(), nullptr);
    // Ten significant digits: one unit of the tenth is 1e-9 of the value,
    // and rounding on either side may move it by one more.
    if (!(std::fabs(X - Y) <= 2e-9 * std::max(std::fabs(X), std::fabs(Y))))
      return false;
  }
  return true;
}

} // namespace Deskbay::Testing
