#pragma once

// Driving the machine from outside: a whole run from the root, with an
// observer told of every step that can end the run. algtool's run and check
// and the window's debugger share it.

#include "FlowrunExport.h"

#include <cstdint>
#include <string>

namespace Deskbay {

class TAlgMachine;
class TAlgorithm;

// Hears of the steps of DriveMachine.
class FLOWRUN_API TRunObserver {
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
FLOWRUN_API TRunOutcome DriveMachine(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                                     TRunObserver* Observer = nullptr);

// An error text with its internal CR LF line breaks as plain newlines (as
// the checker compares them; what reaches a terminal is made visible too).
FLOWRUN_API std::string MessageLines(const std::string& Message);

} // namespace Deskbay
