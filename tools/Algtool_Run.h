#pragma once

// "algtool run": an algorithm file run from its root to the end by the
// machine, with standard input standing in for the input dialog. The
// stepping itself (DriveMachine) and the input from a stream are shared with
// "algtool check".

#include "Corekit/InteractionHooks.h"

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
// --vars go to Out, everything else to Err.
int RunAlgorithm(const TRunOptions& Options, std::istream& In, bool PromptInput, std::ostream& Out,
                 std::ostream& Err);

// Answers the machine's questions from a stream, as the input dialog would
// take what was typed: trimmed, and an empty line is no answer. The end of
// the stream is the dialog's Cancel. Installed as the input provider for its
// lifetime.
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

// Hears of the steps of DriveMachine.
class TRunObserver {
public:
  virtual ~TRunObserver() = default;
  // Before step number Step (1 for the root's).
  virtual void BeforeStep(TAlgMachine&, int64_t /*Step*/) {}
  // After each step, also after one that failed.
  virtual void AfterStep(TAlgMachine&) {}
  // Asked before each step: true ends the run there.
  virtual bool StopRequested() { return false; }
};

enum class TRunEnd { Done, Failed, StepLimit, Stopped };

// How far a run came.
struct TRunOutcome {
  TRunEnd End = TRunEnd::Done;
  int64_t Steps = 0;       // steps completed
  std::string Error;       // the machine's message, line breaks as '\n'
  std::string FailedBlock; // the block the error arose in, described; empty when none
};

// Runs Alg on Machine (fresh, in amsInit) from the root until it ends, fails,
// has made MaxSteps steps (-1: no limit) or the observer stops it. One
// component bracket is held around the whole run, as the machine's own Run
// keeps it. The algorithm's errors end up in the outcome; the caller has
// installed whatever input provider and abort poller the run should meet.
TRunOutcome DriveMachine(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                         TRunObserver* Observer = nullptr);

} // namespace Deskbay::Algtool
