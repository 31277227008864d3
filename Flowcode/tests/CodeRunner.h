#pragma once

// For the tests of the program text: an algorithm run by the interpreter,
// and the generated programs run by python3, or compiled by g++ and fpc and
// run, each with the same standard input. What both print is compared as
// lines, with whether the run ended in an error.

#include "Flowcode/Flowcode_Program.h"

#include "AlgtoolProcess.h"

#include <string>
#include <vector>

namespace Deskbay {
class TAlgorithm;
}

namespace Deskbay::Testing {

struct TRunLines {
  std::vector<std::string> Lines;
  bool Failed = false;
  bool StepLimit = false; // the interpreter gave up: nothing to compare
  std::string Error;      // the message, for the test's report
  int ExitStatus = 0;     // of a program; -1 when a signal ended it
  bool CutLine = false;   // the program's last line has no line break
};

// The interpreter's run of Alg with Input as the answers, one a line.
TRunLines RunInterpreter(TAlgorithm& Alg, const std::string& Input, long long MaxSteps = 5000000);

// The full path of a program found on PATH; empty when there is none.
std::string FindProgram(const std::string& Name);

// The tool that runs or compiles Language ("python3", "g++", "fpc"), and
// whether this machine has it.
const char* ToolOf(TCodeLanguage Language);
bool HasTool(TCodeLanguage Language);

// Programs of one language made ready to run in a folder: Python as
// scripts, Pascal compiled one by one, C++ compiled together into one
// binary (each program in a namespace of its own, chosen by an argument),
// so that hundreds cost one compiler run.
class TProgramBatch {
public:
  TProgramBatch(TCodeLanguage Language, const std::vector<std::string>& Texts);
  // Whether every program compiled; CompileErrors tells why not.
  bool Ready() const { return FReady; }
  const std::string& CompileErrors() const { return FCompileErrors; }
  TRunLines Run(size_t Index, const std::string& Input) const;

private:
  TCodeLanguage FLanguage;
  TTempDir FDir;
  bool FReady = true;
  std::string FCompileErrors;
  size_t FCount;
};

// Lines of a process's output; the last line needs no line break.
std::vector<std::string> SplitLines(const std::string& Text);

// Whether two printed lines are the same up to the last digit of each
// number (what a 64-bit float may change); exact lines are too.
bool SameUpToLastDigit(const std::string& A, const std::string& B);

} // namespace Deskbay::Testing
