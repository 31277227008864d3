#include "Flowapp_RunController.h"

#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"
#include "Flowrun/Flowrun_Values.h"

#include "Corekit/InteractionHooks.h"

#include <QTimer>

#include <algorithm>
#include <exception>
#include <functional>

namespace Deskbay {

namespace {

std::string ErrorText(const std::exception_ptr& Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& E) {
    return E.what();
  } catch (...) {
    return "Неизвестная ошибка.";
  }
}

// In the window an answer that is no number ("2,5") does not end the run:
// the question is asked again with the reason (and, for a comma, the hint
// to use the point) until a number or Cancel comes; Cancel is the pupil
// stopping the run, as Stop and F2 are, and raises Stopped. Installed while
// the machine's code runs, over whatever asks the user; a test case's
// answers and the step back's recorded ones are installed above it and
// never ask.
class TNumberAnswers : public IInputProvider {
public:
  // BeforeAsking: the window shows where the run is before the question.
  TNumberAnswers(bool& Stopped, std::function<void()> BeforeAsking)
      : FStopped(Stopped), FBeforeAsking(std::move(BeforeAsking)), FScope(this) {}
  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override {
    FBeforeAsking();
    IInputProvider* Host = FScope.GetPrevious();
    TInputStringOptions Checked = Options;
    Checked.Check = AlgInputRefusal;
    if (Host && Host->InputString(Caption, Prompt, Value, Checked))
      return true;
    FStopped = true;
    return false;
  }

private:
  bool& FStopped;
  std::function<void()> FBeforeAsking;
  TInputProviderScope FScope;
};

} // namespace

const char* RunStateName(TRunState State) {
  switch (State) {
  case TRunState::Editing:
    return "Editing";
  case TRunState::Stepping:
    return "Stepping";
  case TRunState::Running:
    return "Running";
  case TRunState::SlowRun:
    return "SlowRun";
  case TRunState::WaitingForInput:
    return "WaitingForInput";
  case TRunState::Checking:
    return "Checking";
  case TRunState::Closing:
    return "Closing";
  }
  return "?";
}

// The machine's code on the stack: the state says so while it lasts, and
// goes back to what it was unless a close came meanwhile.
class TAlgRunController::TBusyBracket {
public:
  explicit TBusyBracket(TAlgRunController& Owner)
      : FOwner(Owner), FAnswers(Owner.FStopHeld, [&Owner] { Owner.ShowStepsBeforeInput(); }) {
    FOwner.FResume = FOwner.FState;
    FOwner.FState = TRunState::WaitingForInput;
  }
  ~TBusyBracket() {
    if (FOwner.FState == TRunState::WaitingForInput)
      FOwner.FState = FOwner.FResume;
    else if (FOwner.FState == TRunState::Closing)
      // The code has left; what it ran is over, only the close is held.
      FOwner.FResume = TRunState::Stepping;
  }
  TBusyBracket(const TBusyBracket&) = delete;
  TBusyBracket& operator=(const TBusyBracket&) = delete;

private:
  TAlgRunController& FOwner;
  TNumberAnswers FAnswers;
};

TAlgRunController::TAlgRunController(TAlgorithm& Alg, IRunHost& Host, QObject* Parent)
    : QObject(Parent), FAlg(Alg), FHost(Host), FSession(Alg), FTimer(new QTimer(this)) {
  FTimer->setSingleShot(true);
  connect(FTimer, &QTimer::timeout, this, &TAlgRunController::Tick);
}

void TAlgRunController::Schedule(int Milliseconds) {
  FTimer->setSingleShot(true);
  FTimer->start(Milliseconds);
}

void TAlgRunController::ShowOutcome(TAlgRunPhase Phase, const std::string& Error) {
  FStatus.Phase = Phase;
  FStatus.Steps = FSession.GetStepNumber();
  FStatus.Error = Phase == rpError ? Error : std::string();
  FHost.ShowOutcome(Phase, Error);
  Announce(Phase);
}

void TAlgRunController::Announce(TAlgRunPhase Phase) {
  TAnnouncedEvent Event = TAnnouncedEvent::Pause;
  switch (Phase) {
  case rpStepping:
    Event = FSteppedBack  ? TAnnouncedEvent::StepBack
            : FSingleStep ? TAnnouncedEvent::Step
                          : TAnnouncedEvent::Pause;
    break;
  case rpRunning:
    Event = TAnnouncedEvent::Step; // a slow run's tick
    break;
  case rpDone:
    Event = TAnnouncedEvent::Finish;
    break;
  case rpError:
    Event = FSteppedBack ? TAnnouncedEvent::StepBack : TAnnouncedEvent::Error;
    break;
  case rpStopped:
    Event = TAnnouncedEvent::Stop;
    break;
  }
  const bool Single = FSingleStep;
  FSingleStep = FSteppedBack = false;
  const std::string Text =
      RunAnnouncementText(FAnnouncer.End(FSession, Event, Single, AlgRunStatusText(FStatus)));
  if (!Text.empty())
    FHost.Announce(Text);
}

TAlgRunController::~TAlgRunController() {
  Shutdown();
}

bool TAlgRunController::InRunMode() const {
  const TRunState S = FState == TRunState::Checking ? FCheckFrom : FState;
  return S != TRunState::Editing;
}

bool TAlgRunController::InRun() const {
  return FState == TRunState::Running || (Busy() && FResume == TRunState::Running);
}

bool TAlgRunController::InSlowRun() const {
  return FState == TRunState::SlowRun;
}

bool TAlgRunController::Checking() const {
  return FState == TRunState::Checking;
}

bool TAlgRunController::Busy() const {
  return FState == TRunState::WaitingForInput || FState == TRunState::Closing;
}

bool TAlgRunController::CanRun() const {
  return FState == TRunState::Editing || FState == TRunState::Stepping ||
         FState == TRunState::SlowRun;
}

bool TAlgRunController::CanStepBack() const {
  return (FState == TRunState::Stepping || FState == TRunState::SlowRun) && FSession.CanStepBack();
}

bool TAlgRunController::CanCheck() const {
  return FState == TRunState::Editing || FState == TRunState::Stepping;
}

bool TAlgRunController::CanStop() const {
  return InRunMode() || FState == TRunState::Checking;
}

void TAlgRunController::SetState(TRunState State) {
  if (FState == State)
    return;
  FState = State;
  FHost.StateChanged();
}

void TAlgRunController::SetSlowSpeed(int StepsPerSecond) {
  FSlowSpeed = std::clamp(StepsPerSecond, 1, 50);
  if (FState == TRunState::SlowRun)
    FTimer->setInterval(1000 / FSlowSpeed);
}

void TAlgRunController::SetRunMode(bool Running) {
  if (Busy() || Running == InRunMode())
    return;
  if (FState == TRunState::Checking)
    EndCheck(true);
  FTimer->stop();
  FHost.SwitchView(Running);
  SetState(Running ? TRunState::Stepping : TRunState::Editing);
}

void TAlgRunController::EnsureReadyMachine() {
  if (InRunMode() && FSession.GetMachine() && FSession.GetState() == TDebugState::Paused)
    return;
  // None yet, or one whose run is over: a fresh machine from the beginning.
  FTimer->stop();
  FHost.SwitchView(true);
  FState = TRunState::Stepping;
  FStatus = TAlgRunStatus();
}

void TAlgRunController::Tick() {
  switch (FState) {
  case TRunState::Running:
    RunSlice();
    break;
  case TRunState::SlowRun:
    SlowTick();
    break;
  case TRunState::Checking:
    CheckSlice();
    break;
  case TRunState::Closing:
    CloseTick();
    break;
  case TRunState::Editing:
  case TRunState::Stepping:
  case TRunState::WaitingForInput:
    break;
  }
}

// The Run.

void TAlgRunController::Run() {
  if (!CanRun())
    return;
  FTimer->stop();
  EnsureReadyMachine();
  FStopHeld = false;
  FStatus.Phase = rpRunning;
  FHost.ShowChangedVars(false);
  // One component bracket for the whole run, as the machine's own Run keeps
  // it; the views hear of the changes when the pacer says they are due and
  // when the run ends.
  FSession.GetMachine()->BeginModifyComponents();
  FAnnouncer.Begin(FSession);
  FPacer.BeginRun();
  SetState(TRunState::Running);
  FHost.ShowProgress();
  RunSlice();
}

void TAlgRunController::RunSlice() {
  if (FState != TRunState::Running)
    return;
  if (FHost.DialogOpen()) {
    Schedule(HeldRetryMs);
    return;
  }
  std::string Error;
  bool Raised = false;
  TSliceEnd End = TSliceEnd::Budget;
  {
    TBusyBracket Busy(*this);
    try {
      FPacer.RunSlice(
          [this, &End] {
            End = FSession.Advance(RunStepsPerPiece);
            return End == TSliceEnd::Budget;
          },
          [this] { return FStopHeld; });
    } catch (...) {
      Error = ErrorText(std::current_exception());
      Raised = true;
    }
  }
  FStatus.Steps = FSession.GetStepNumber();
  if (FStopHeld) {
    // Asked while the slice waited in the input dialog, which the stop
    // cancelled: the machine's abort error is the stop itself.
    StopRun();
  } else if (Raised) {
    EndRun(rpError, Error);
  } else if (End == TSliceEnd::Failed) {
    EndRun(rpError, FSession.GetErrorMessage());
  } else if (End == TSliceEnd::Done) {
    EndRun(rpDone, "");
  } else if (End == TSliceEnd::Breakpoint) {
    // Stopped before a breakpoint's block: stepping from here, as after F8.
    EndRun(rpStepping, "");
  } else {
    if (FPacer.ViewsDue()) {
      FPacer.ViewsShown();
      try {
        // The frames follow, and the window shows the block the run is on.
        FSession.GetMachine()->TriggerComponentNotifications();
      } catch (...) {
        EndRun(rpError, ErrorText(std::current_exception()));
        AfterBusy();
        return;
      }
      FHost.ShowProgress();
    }
    Schedule(0);
  }
  AfterBusy();
}

void TAlgRunController::StopRun() {
  FSession.Stop();
  EndRun(rpStopped, "");
}

void TAlgRunController::EndRun(TAlgRunPhase Phase, const std::string& Error) {
  FTimer->stop();
  FStopHeld = false;
  if (FState == TRunState::Running)
    FState = TRunState::Stepping;
  std::string Message = Error;
  try {
    FSession.GetMachine()->EndModifyComponents();
  } catch (...) {
    if (Phase != rpError) {
      Message = ErrorText(std::current_exception());
      Phase = rpError;
    }
  }
  ShowOutcome(Phase, Message);
}

// Single steps and the slow run.

void TAlgRunController::Step() {
  if (!CanRun())
    return;
  // F8 during a slow run pauses it: single steps from here.
  if (PauseSlowRun())
    return;
  EnsureReadyMachine();
  StepAndShow();
}

void TAlgRunController::StepAndShow() {
  FAnnouncer.Begin(FSession);
  FSingleStep = true;
  std::string Error;
  bool Raised = false;
  FStopHeld = false;
  {
    TBusyBracket Busy(*this);
    try {
      FSession.StepOne();
    } catch (...) {
      Error = ErrorText(std::current_exception());
      Raised = true;
    }
  }
  const bool Slow = FState == TRunState::SlowRun;
  TAlgRunPhase Phase = Slow ? rpRunning : rpStepping;
  if (Raised) {
    Phase = rpError;
  } else if (FSession.GetState() == TDebugState::Failed) {
    Phase = rpError;
    Error = FSession.GetErrorMessage();
  } else if (FSession.GetState() == TDebugState::Done) {
    Phase = rpDone;
  }
  if (FStopHeld) {
    // A stop or a close came while the step waited in its input dialog,
    // which it cancelled: the run is over, as Stop ends it.
    FStopHeld = false;
    FSession.Stop();
    Phase = rpStopped;
    Error.clear();
  }
  if (Phase != rpRunning && FState == TRunState::SlowRun) {
    FTimer->stop();
    FState = TRunState::Stepping;
  }
  FHost.ShowChangedVars(Phase != rpStopped);
  ShowOutcome(Phase, Error);
  AfterBusy();
}

void TAlgRunController::SlowRun() {
  if (!CanRun())
    return;
  // Shift+F9 again pauses it.
  if (PauseSlowRun())
    return;
  EnsureReadyMachine();
  FSlowPass = FSession.GetStepNumber() > 0;
  FStatus.Phase = rpRunning;
  SetState(TRunState::SlowRun);
  FHost.ShowProgress();
  FTimer->setSingleShot(false);
  FTimer->start(1000 / FSlowSpeed);
  FHost.StateChanged();
}

void TAlgRunController::SlowTick() {
  // Anybody's dialog: the next tick looks again.
  if (FHost.DialogOpen())
    return;
  if (!FSlowPass && FSession.BreakpointHolds()) {
    PauseSlowRun();
    return;
  }
  FSlowPass = false;
  StepAndShow();
}

bool TAlgRunController::PauseSlowRun() {
  if (FState != TRunState::SlowRun)
    return false;
  FTimer->stop();
  FState = TRunState::Stepping;
  ShowOutcome(rpStepping, "");
  return true;
}

void TAlgRunController::StepBack() {
  if (FState == TRunState::SlowRun) {
    FTimer->stop();
    FState = TRunState::Stepping;
  }
  if (!CanStepBack())
    return;
  {
    TBusyBracket Busy(*this);
    FSession.StepBack();
  }
  FSteppedBack = true;
  FHost.ShowChangedVars(true);
  ShowOutcome(FSession.GetState() == TDebugState::Failed ? rpError : rpStepping,
              FSession.GetErrorMessage());
}

void TAlgRunController::StartDebugAt(int64_t Steps, std::unique_ptr<IInputProvider> Script) {
  if (FState == TRunState::Checking)
    EndCheck(true);
  if (FState == TRunState::Running)
    StopRun();
  if (FState == TRunState::SlowRun)
    PauseSlowRun();
  if (!CanRun())
    return;
  if (!InRunMode()) {
    FHost.SwitchView(true);
    FState = TRunState::Stepping;
  }
  FStatus = TAlgRunStatus();
  {
    TBusyBracket Busy(*this);
    FSession.StartAt(Steps, std::move(Script));
  }
  const TDebugState S = FSession.GetState();
  const TAlgRunPhase Phase = S == TDebugState::Failed ? rpError
                             : S == TDebugState::Done ? rpDone
                                                      : rpStepping;
  FHost.ShowChangedVars(true);
  ShowOutcome(Phase, FSession.GetErrorMessage());
}

// Stop and close.

void TAlgRunController::Stop() {
  switch (FState) {
  case TRunState::Running:
    StopRun();
    break;
  case TRunState::SlowRun:
    // F2 ends a slow run as it ends a Run.
    FTimer->stop();
    FState = TRunState::Stepping;
    FSession.Stop();
    FHost.ShowChangedVars(false);
    ShowOutcome(rpStopped, "");
    break;
  case TRunState::WaitingForInput:
    // The step waits in the input dialog: cancelling it ends the step, and
    // the run ends once the machine's code has left the stack.
    FStopHeld = true;
    FHost.CancelInput();
    break;
  case TRunState::Checking:
    EndCheck(true);
    break;
  case TRunState::Stepping:
    SetRunMode(false);
    break;
  case TRunState::Editing:
  case TRunState::Closing:
    break;
  }
}

bool TAlgRunController::RequestClose(bool MainWindow) {
  switch (FState) {
  case TRunState::WaitingForInput:
    // The machine waits in the input dialog below the request: the dialog
    // is cancelled, the run ends, and the close comes once it has left.
    FStopHeld = true;
    FCloseMain = MainWindow;
    FState = TRunState::Closing;
    FHost.CancelInput();
    FHost.StateChanged();
    return false;
  case TRunState::Closing:
    return false;
  case TRunState::Running:
  case TRunState::SlowRun:
  case TRunState::Checking:
    // As F2 ends them; the window stays in the debugger's view.
    Stop();
    return true;
  case TRunState::Editing:
  case TRunState::Stepping:
    return true;
  }
  return true;
}

void TAlgRunController::ShowStepsBeforeInput() {
  const int64_t Steps = FSession.GetStepNumberNow();
  if (Steps == FStatus.Steps)
    return;
  FStatus.Steps = Steps;
  FHost.ShowProgress();
}

void TAlgRunController::AfterBusy() {
  if (FState != TRunState::Closing)
    return;
  // Once every dialog has left the stack too, so that no box goes with the
  // window under it.
  Schedule(FHost.DialogOpen() ? HeldRetryMs : 0);
}

void TAlgRunController::CloseTick() {
  if (FHost.DialogOpen()) {
    Schedule(HeldRetryMs);
    return;
  }
  // The run is over; a close the shell refuses leaves it standing so.
  FState = TRunState::Stepping;
  FHost.StateChanged();
  FHost.Close(FCloseMain);
}

void TAlgRunController::Shutdown() {
  FTimer->stop();
  if (InRun() && FSession.GetMachine()) {
    try {
      FSession.GetMachine()->EndModifyComponents();
    } catch (...) {
      // Nobody is left to hear of the run's last changes.
    }
  }
  if (FState == TRunState::Checking)
    FState = FCheckFrom;
  else if (FState != TRunState::Editing)
    FState = TRunState::Stepping;
  FCaseRun.reset();
  FCheckCopy.reset();
}

// The teacher's check.

void TAlgRunController::StartCheck(TTestFile Tests) {
  if (!CanCheck())
    return;
  FTests = std::move(Tests);
  FCheckFrom = FState;
  FCheckNext = 0;
  FCaseRun.reset();
  FCheckCopy.reset();
  FChecked.clear();
  FPacer.BeginRun();
  SetState(TRunState::Checking);
  FHost.CheckBegun(FTests);
  Schedule(0);
}

void TAlgRunController::CheckSlice() {
  // Nothing runs inside another's dialog.
  if (FHost.DialogOpen()) {
    Schedule(HeldRetryMs);
    return;
  }
  if (!FCheckCopy || FAlg.GetVersion() != FCheckVersion) {
    if (FCheckCopy) {
      // Edited since the cases started: every case on the chart as it is now.
      FCheckNext = 0;
      FChecked.clear();
      FHost.CheckBegun(FTests);
    }
    FCaseRun.reset();
    FCheckVersion = FAlg.GetVersion();
    FCheckCopy = std::make_unique<TAlgorithm>();
    FCheckCopy->GetRoot()->Assign(FAlg.GetRoot());
  }
  // Cases one after another in a slice of the event loop's time, as a Run
  // takes it; a case that runs long (an endless loop up to its step limit)
  // goes on in the next slice.
  FPacer.RunSlice(
      [this] {
        if (FCheckNext >= FTests.Cases.size())
          return false;
        const TTestCase& Case = FTests.Cases[FCheckNext];
        try {
          if (!FCaseRun)
            FCaseRun = std::make_unique<TCaseRun>(*FCheckCopy, Case);
          if (!FCaseRun->Run(CaseStepsPerPiece))
            return true;
          FChecked.push_back(FCaseRun->GetResult());
        } catch (const std::exception& E) {
          // Not the algorithm's error (those are in the result) but the
          // host's, such as memory running out: this case fails, the rest
          // go on.
          TCaseResult Result;
          Result.CaseName = Case.Name;
          Result.Hidden = Case.Hidden;
          Result.Weight = Case.Weight;
          Result.Failure = TCaseFailure::Error;
          Result.Reason = E.what();
          FChecked.push_back(std::move(Result));
        }
        FCaseRun.reset();
        ++FCheckNext;
        return FCheckNext < FTests.Cases.size();
      },
      {});
  if (FCheckNext >= FTests.Cases.size()) {
    EndCheck(false);
    return;
  }
  if (FPacer.ViewsDue() && !FChecked.empty()) {
    FPacer.ViewsShown();
    std::vector<TCaseResult> Shown;
    Shown.swap(FChecked);
    FHost.CasesChecked(Shown);
  }
  Schedule(0);
}

void TAlgRunController::EndCheck(bool Stopped) {
  if (FState != TRunState::Checking)
    return;
  FTimer->stop();
  FCaseRun.reset();
  FCheckCopy.reset();
  FState = FCheckFrom;
  if (!FChecked.empty()) {
    std::vector<TCaseResult> Shown;
    Shown.swap(FChecked);
    FHost.CasesChecked(Shown);
  }
  FHost.CheckEnded(Stopped);
  FHost.StateChanged();
}

} // namespace Deskbay
