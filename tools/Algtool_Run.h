#pragma once

// "algtool run": an algorithm file run from its root to the end by the
// machine, with standard input standing in for the input dialog.

#include <cstdint>
#include <iosfwd>
#include <string>

namespace Deskbay::Algtool {

struct TRunOptions {
  std::string FileName;
  int64_t MaxSteps = -1; // no limit
  bool Trace = false;
  bool Vars = false;
  std::string CanvasFileName; // empty: no picture
};

// Exit statuses of a run.
constexpr int RunDone = 0;
constexpr int RunFailed = 1;
constexpr int RunStepLimit = 3;

// Input is read from In, one value per line; PromptInput writes each
// question to Err first (for a person at a terminal). Console lines and
// --vars go to Out, everything else to Err.
int RunAlgorithm(const TRunOptions& Options, std::istream& In, bool PromptInput, std::ostream& Out,
                 std::ostream& Err);

} // namespace Deskbay::Algtool
