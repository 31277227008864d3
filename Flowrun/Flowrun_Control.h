#pragma once

// Driving the machine from outside: a whole run from the root, with an
// observer told of every step that can end the run. algtool's run and check
// and the window's debugger share it.

#include "FlowrunExport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgMachine;
class TAlgorithm;

enum class TRunEnd { Done, Failed, StepLimit, Stopped };

// Hears of the steps of DriveMachine.
class FLOWRUN_API TRunObserver {
public:
  virtual ~TRunObserver() = default;
  // Asked before step number Step: true ends the run there, as End says.
  // By default the run is Stopped when StopRequested says so.
  virtual bool StopBefore(TAlgMachine& /*Machine*/, int64_t /*Step*/, TRunEnd& End) {
    if (!StopRequested())
      return false;
    End = TRunEnd::Stopped;
    return true;
  }
  // Before step number Step (1 for the root's).
  virtual void BeforeStep(TAlgMachine&, int64_t /*Step*/) {}
  // After each step, also after one that failed.
  virtual void AfterStep(TAlgMachine&) {}
  // Asked before each step: true ends the run there.
  virtual bool StopRequested() { return false; }
};

// Ends a run (StepLimit) once it has made MaxSteps steps.
class FLOWRUN_API TStepLimitObserver : public TRunObserver {
public:
  explicit TStepLimitObserver(int64_t MaxSteps) : FMaxSteps(MaxSteps) {}
  bool StopBefore(TAlgMachine&, int64_t Step, TRunEnd& End) override {
    if (Step <= FMaxSteps)
      return false;
    End = TRunEnd::StepLimit;
    return true;
  }

private:
  int64_t FMaxSteps;
};

// Several observers as one, asked in the order added; the first that stops
// the run ends it.
class FLOWRUN_API TRunObserverChain : public TRunObserver {
public:
  void Add(TRunObserver* Observer) {
    if (Observer)
      FObservers.push_back(Observer);
  }
  bool IsEmpty() const { return FObservers.empty(); }
  bool StopBefore(TAlgMachine& Machine, int64_t Step, TRunEnd& End) override;
  void BeforeStep(TAlgMachine& Machine, int64_t Step) override;
  void AfterStep(TAlgMachine& Machine) override;

private:
  std::vector<TRunObserver*> FObservers;
};

// How far a run came.
struct TRunOutcome {
  TRunEnd End = TRunEnd::Done;
  int64_t Steps = 0;       // steps completed
  std::string Error;       // the machine's message, line breaks as '\n'
  std::string FailedBlock; // the block the error arose in, described; empty when none
};

// Runs Alg on Machine (fresh, in amsInit) from the root until it ends, fails,
// has made MaxSteps steps (-1: no limit; a TStepLimitObserver asked before
// Observer) or the observer stops it. One
// component bracket is held around the whole run, as the machine's own Run
// keeps it. The algorithm's errors end up in the outcome; the caller has
// installed whatever input provider and abort poller the run should meet.
FLOWRUN_API TRunOutcome DriveMachine(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                                     TRunObserver* Observer = nullptr);

// The same run in pieces, for a host that keeps its window alive between
// them: Run makes at most Steps more steps (with one component bracket of
// its own) and answers whether the run has ended; the outcome is then as
// DriveMachine's.
class FLOWRUN_API TMachineDriver {
public:
  TMachineDriver(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                 TRunObserver* Observer = nullptr);
  TMachineDriver(const TMachineDriver&) = delete;
  TMachineDriver& operator=(const TMachineDriver&) = delete;
  bool Run(int64_t Steps);
  bool Ended() const { return FEnded; }
  const TRunOutcome& GetOutcome() const { return FOutcome; }

private:
  TAlgMachine& FMachine;
  TAlgorithm& FAlg;
  TStepLimitObserver FLimit;
  TRunObserverChain FChain;
  TRunObserver* FWatcher; // the chain when an observer besides the limit is given
  int64_t FMaxSteps;
  TRunOutcome FOutcome;
  bool FStarted = false;
  bool FEnded = false;
};

// An error text with its internal CR LF line breaks as plain newlines (as
// the checker compares them; what reaches a terminal is made visible too).
FLOWRUN_API std::string MessageLines(const std::string& Message);

} // namespace Deskbay
