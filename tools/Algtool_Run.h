#pragma once

// "algtool run": an algorithm file run from its root to the end by the
// machine, with standard input standing in for the input dialog. The
// stepping itself (DriveMachine) and the input from a stream are shared with
// "algtool check".

#include "Corekit/InteractionHooks.h"
#include "Flowrun/Flowrun_Control.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace Deskbay {
class TAlgMachine;
class TAlgorithm;
} // namespace Deskbay

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
// --vars go to Out, everything else to Err, with the texts of the file made
// visible. A console line that cannot be written ends the run with
// EOutputFailed.
int RunAlgorithm(const TRunOptions& Options, std::istream& In, bool PromptInput, std::ostream& Out,
                 std::ostream& Err);

// Answers the machine's questions from a stream, as the input dialog would
// take what was typed: trimmed, and an empty line is no answer. The end of
// the stream is the dialog's Cancel. A line is read with a bound (4096
// bytes): the rest of a longer one is skipped, and its answer is no number.
// Installed as the input provider for its lifetime.
class TStreamInput : public IInputProvider {
public:
  // Prompts, when given, hears each question first.
  TStreamInput(std::istream& In, std::ostream* Prompts);
  ~TStreamInput() override;
  TStreamInput(const TStreamInput&) = delete;
  TStreamInput& operator=(const TStreamInput&) = delete;

  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override;

  // The question the stream had no answer left for; empty while every
  // question was answered.
  const std::string& GetUnansweredPrompt() const { return FUnansweredPrompt; }

private:
  std::istream& FIn;
  std::ostream* FPrompts;
  std::string FUnansweredPrompt;
  IInputProvider* FPrevious;
};

// The stepping itself, shared with the window's debugger.
using Deskbay::DriveMachine;
using Deskbay::TRunEnd;
using Deskbay::TRunObserver;
using Deskbay::TRunOutcome;

} // namespace Deskbay::Algtool
