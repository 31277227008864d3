#pragma once

// A debugging session: the machine, the breakpoints and the history of one
// document's run, kept while the window switches between editing and
// running. No Qt: the window drives it (a step, slices of a run between
// events) and shows what it answers.

#include "FlowrunExport.h"
#include "Flowrun_Control.h"
#include "Flowrun_Explain.h"
#include "Flowrun_Main.h"
#include "Flowrun_VarStorage.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/MiscUtils_Versioning.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgMachine;
class TAlgorithm;

// Blocks a run stops before, each with an optional condition in the
// language ("I=5"); empty means always. Blocks are named by pointer while
// the algorithm is open; nothing of this goes into the file.
class FLOWRUN_API TAlgBreakpoints {
public:
  void Set(const TAlgBlock* Block, const std::string& Condition = std::string());
  void Remove(const TAlgBlock* Block);
  void Clear();
  bool Has(const TAlgBlock* Block) const { return Find(Block) != nullptr; }
  // The condition of Block's breakpoint, nullptr when it has none.
  const std::string* Find(const TAlgBlock* Block) const;
  int GetCount() const { return static_cast<int>(FPoints.size()); }
  // Each breakpoint's block, true where it has a condition (the markers).
  std::map<const TAlgBlock*, bool> GetMarks() const;
  // Forgets the breakpoints of blocks that Keep says are gone.
  void RemoveUnless(const std::function<bool(const TAlgBlock*)>& Keep);
  // Forgets the breakpoints of blocks no longer in Alg (a deleted block's
  // address may come back as another block's).
  void RemoveAbsent(const TAlgorithm& Alg);
  // Cheap first test for the run loop: false means surely no breakpoint.
  bool MayHave(const TAlgBlock* Block) const { return FFilter[FilterIndex(Block)]; }
  // Whether a run stops before Machine's next block: a breakpoint there
  // whose condition holds on the current variables. A condition reading a
  // variable that has no value yet does not hold; one that cannot be
  // evaluated otherwise (its syntax, its arithmetic) stops the run, and
  // Reason says why (else it is cleared).
  bool ShouldStop(TAlgMachine& Machine, std::string& Reason) const;
  // Conditions are compiled against one storage's slots; a new machine
  // (a new storage) needs this first.
  void ForgetCompiled() const {
    FCompiled.clear();
    ++FVersion;
  }
  // Changes with every change of the breakpoints or of their compiled
  // conditions.
  std::uint64_t GetVersion() const { return FVersion; }
  // The condition of Block's breakpoint compiled against Storage, kept
  // until the breakpoints or the storage change; null for a breakpoint
  // without one.
  const TAlgCondition* CompiledCondition(const TAlgBlock* Block, TVarStorage& Storage) const;

private:
  static std::size_t FilterIndex(const TAlgBlock* Block) {
    const auto A = reinterpret_cast<std::uintptr_t>(Block);
    return (A >> 4 ^ A >> 12) % 256;
  }
  void Refilter();
  std::map<const TAlgBlock*, std::string> FPoints;
  mutable std::map<const TAlgBlock*, TAlgCondition> FCompiled;
  std::array<bool, 256> FFilter{};
  mutable std::uint64_t FVersion = 0;
};

// Breakpoints as an observer of DriveMachine: the run ends (Stopped) before
// a block with a breakpoint that holds.
class FLOWRUN_API TBreakpointObserver : public TRunObserver {
public:
  explicit TBreakpointObserver(const TAlgBreakpoints& Breakpoints) : FBreakpoints(Breakpoints) {}
  bool StopBefore(TAlgMachine& Machine, int64_t Step, TRunEnd& End) override;
  const std::string& GetReason() const { return FReason; }

private:
  const TAlgBreakpoints& FBreakpoints;
  std::string FReason;
};

enum class TDebugState {
  Idle,   // not started: editing
  Paused, // between steps (after F8, at a breakpoint, after a step back)
  Done,   // the algorithm ended
  Failed, // an error ended it (the user's stop included)
};

// Why RunSlice returned.
enum class TSliceEnd {
  Budget,     // the slice's steps or time ran out; call again
  Breakpoint, // stopped before a block with a breakpoint
  Done,
  Failed,
};

// Where a variable got its value: the block of the step and the step's number.
struct TVarOrigin {
  const TAlgBlock* Block = nullptr;
  int64_t Step = 0;
};

// The breakpoints follow the algorithm's content: a block deleted takes its
// breakpoint with it. The algorithm outlives the session.
class FLOWRUN_API TAlgDebugSession {
public:
  explicit TAlgDebugSession(TAlgorithm& Alg);
  ~TAlgDebugSession();
  TAlgDebugSession(const TAlgDebugSession&) = delete;
  TAlgDebugSession& operator=(const TAlgDebugSession&) = delete;

  TAlgBreakpoints& GetBreakpoints() { return FBreakpoints; }

  // Told when the machine the host follows is replaced (a start, a step
  // back) and when it goes (Reset: nullptr), while the old one still
  // exists, so views can leave it first.
  std::function<void(TAlgMachine*)> OnMachineChange;

  // A fresh machine at the root, step 0. The answers of earlier runs are
  // forgotten; Script, when given, answers input questions before the
  // host is asked (a teacher's test case), for the whole run.
  void Start(std::unique_ptr<IInputProvider> Script = nullptr);
  // The same, made to stand after Steps steps (fewer when the run ends or
  // fails before).
  void StartAt(int64_t Steps, std::unique_ptr<IInputProvider> Script = nullptr);
  // Back to editing: the machine and the history go, the breakpoints stay.
  void Reset();
  // One step (F8); starts the run first when it is not going. False when
  // the run cannot go on (done, failed). A Run from here goes past a
  // breakpoint at the block the step leads to.
  bool StepOne();
  // One step of a run at full speed, for a host that paces its own
  // slices: Budget means "go on". Stops before a block with a breakpoint
  // that holds, except the one the run stands at after a pause.
  TSliceEnd Advance();
  // The same for up to MaxSteps steps at once (Budget: all of them went).
  TSliceEnd Advance(int64_t MaxSteps);
  // Whether a breakpoint at the next block holds now (for a host stepping
  // one step at a time); GetBreakReason says why when its condition
  // could not be evaluated.
  bool BreakpointHolds();
  // Steps until a breakpoint, the end, an error, MaxSteps steps or the
  // time budget; starts the run first when it is not going. The first step
  // goes past a breakpoint the run stands at.
  TSliceEnd RunSlice(int64_t MaxSteps, std::chrono::nanoseconds Budget);
  // Ends a run as the user's stop does: the machine fails with its abort
  // error and keeps the block that would have come next.
  void Stop();
  bool GetStoppedByUser() const { return FStoppedByUser; }
  // One step back (after an error: to before the failing step). The
  // inputs given stay recorded, so stepping on does not ask them again.
  bool CanStepBack() const;
  bool StepBack();

  TDebugState GetState() const { return FState; }
  TAlgMachine* GetMachine() const { return FMachine.get(); }
  int64_t GetStepNumber() const { return FSteps; }
  // The same while a run of many steps is under way: those it has made too
  // (what an input asked in the middle of it shows).
  int64_t GetStepNumberNow() const { return FSteps + (FMachine ? FMachine->GetStepsInCall() : 0); }
  // The block the next step processes; null when not paused.
  TAlgBlock* GetNextBlock() const;
  // Variables the last step gave a value (new ones included), upper-cased
  // names as the storage holds them.
  const std::vector<std::string>& GetChangedVars();
  // False when the variable has no value.
  bool GetVarOrigin(const std::string& Name, TVarOrigin& Origin);
  // Why the last RunSlice stopped at a breakpoint whose condition could not
  // be evaluated, else empty.
  const std::string& GetBreakReason() const { return FBreakReason; }
  // The error message, CR LF as '\n'; empty unless Failed.
  const std::string& GetError() const { return FError; }
  // The same as the machine raised it.
  const std::string& GetErrorMessage() const { return FRawError; }
  // The block the error arose in.
  const TAlgBlock* GetErrorBlock() const { return FErrorBlock; }
  TErrorExplanation GetErrorExplanation() const;
  // Answers recorded so far (for tests and the benchmark).
  int GetRecordedInputCount() const { return static_cast<int>(FInputs.size()); }

private:
  class TRecorder;
  void NewMachine();
  // One machine step with the recorder in place; false on an error.
  bool DoStep();
  // The same with a recorder already in place.
  bool StepRecorded();
  // Up to MaxSteps steps at once (StepMany), a recorder in place; false on
  // an error, the steps before it counted.
  bool StepsRecorded(int64_t MaxSteps, IStepWatch* Watch = nullptr);
  void Replay(int64_t Steps);
  // DoStep noting what it changed (FChanged) and where it came from.
  bool StepTracked();
  // Replays the run to where it is, step by step with origins.
  void RecomputeOrigins();
  void ContentChanged(TObject* Sender);

  TAlgorithm& FAlg;
  TNotifyAdapter<TAlgDebugSession> FContentNotify;
  TAlgBreakpoints FBreakpoints;
  // The breakpoints as the blocks a run of many steps stops before.
  class TBreakpointWatch : public IStepWatch {
  public:
    explicit TBreakpointWatch(TAlgDebugSession& Session) : FSession(Session) {}
    bool Watches(const TAlgBlock* Block, const TAlgCondition*& Condition) override;
    std::uint64_t GetWatchVersion() const override { return FSession.FBreakpoints.GetVersion(); }

  private:
    TAlgDebugSession& FSession;
  };
  TBreakpointWatch FWatch{*this};
  std::unique_ptr<TAlgMachine> FMachine;
  TDebugState FState = TDebugState::Idle;
  int64_t FSteps = 0;
  bool FPastBreakpoint = false;
  std::string FBreakReason;
  std::string FError;
  const TAlgBlock* FErrorBlock = nullptr;
  std::string FRawError;
  // The answers given in this run, in order, and how many the machine has
  // consumed.
  std::vector<std::string> FInputs;
  std::size_t FInputsUsed = 0;
  // Asked for answers beyond the recorded ones before the host is.
  std::unique_ptr<IInputProvider> FScript;
  // Origins are kept step by step while single steps go; a slice or a step
  // back leaves them to be worked out again by a replay when asked. The
  // last step's changes are known after a single step and a step back.
  bool FOriginsValid = true;
  bool FChangedValid = true;
  std::map<std::string, TVarOrigin> FOrigins;
  std::vector<std::string> FChanged;
  std::vector<std::pair<std::string, double>> FBefore, FAfter;
  bool FStoppedByUser = false;
};

} // namespace Deskbay
