#pragma once

// What one algorithm window's run is doing, in one place and without
// widgets: editing, a run in slices, single steps, the slow run, a step that
// waits in its input dialog, the teacher's check, a close held until the
// machine's code has left the stack. Every command of the run (Run, Step,
// the slow run, Stop, the step back, the check, close requests) goes through
// it, so Stop, F2 and a close request mean the same in every state. Runs
// and the check's cases share one pacer and one timer of the event loop;
// the window is told what changed through IRunHost.

#include "FlowappExport.h"
#include "Flowapp_RunPacer.h"

#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/Flowcheck_TestFile.h"
#include "Flowjog/Flowjog_RunStatus.h"
#include "Flowrun/Flowrun_Announcement.h"
#include "Flowrun/Flowrun_Debugger.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace Deskbay {

class TAlgorithm;

enum class TRunState {
  Editing,         // the chart is edited, nothing runs
  Stepping,        // the debugger shows a run standing between steps, or ended
  Running,         // a Run goes in slices from the event loop
  SlowRun,         // one step at each tick of the slow run
  WaitingForInput, // the machine's code is on the stack (it may wait in the
                   // input dialog): nothing may free the machine now
  Checking,        // the teacher's cases go in slices from the event loop
  Closing,         // a close asked for while waiting for input, held until
                   // the machine's code and every dialog have left
};

// "Редактирование", "Выполнение", ... for tests and messages of the tests.
FLOWAPP_API const char* RunStateName(TRunState State);

// What the controller asks of the window.
class IRunHost {
public:
  virtual ~IRunHost() = default;
  // The debugger's view (Running) or the editing view replaces the other;
  // the debugger's start starts the session, the editing view resets it.
  virtual void SwitchView(bool Running) = 0;
  // The run, or a step, ended or paused as the status says; Error is what
  // goes to the user after an error (empty otherwise).
  virtual void ShowOutcome(TAlgRunPhase Phase, const std::string& Error) = 0;
  // The views are due during a run: the status line follows.
  virtual void ShowProgress() = 0;
  // Marks the variables the last step changed (none when AfterStep is false).
  virtual void ShowChangedVars(bool AfterStep) = 0;
  // The state changed: the commands follow.
  virtual void StateChanged() = 0;
  // A dialog of anyone's is open: nothing runs inside a loop that other
  // code waits in.
  virtual bool DialogOpen() const = 0;
  // Cancels the input dialog the machine waits in, if it does.
  virtual void CancelInput() = 0;
  // A held close request, honoured now (MainWindow: the shell's).
  virtual void Close(bool MainWindow) = 0;
  // A check of Tests begins (again, after an edit: the earlier rows go).
  virtual void CheckBegun(const TTestFile& Tests) = 0;
  // Cases decided since the last call, in the file's order.
  virtual void CasesChecked(const std::vector<TCaseResult>& Results) = 0;
  // The check is over: every case in, or Stopped before.
  virtual void CheckEnded(bool Stopped) = 0;
  // What a screen reader is told of the step, pause or end just shown
  // (`RunAnnouncementText`); nothing by default.
  virtual void Announce(const std::string& /*Text*/) {}
};

class FLOWAPP_API TAlgRunController : public QObject {
  Q_OBJECT
public:
  // While a dialog is open a run or a check waits this long, in
  // milliseconds, before it looks again.
  static constexpr int HeldRetryMs = 50;
  // Machine steps of a Run between two looks of the pacer, and of a case.
  static constexpr int64_t RunStepsPerPiece = 256;
  static constexpr int64_t CaseStepsPerPiece = 1024;

  TAlgRunController(TAlgorithm& Alg, IRunHost& Host, QObject* Parent = nullptr);
  ~TAlgRunController() override;

  TRunState GetState() const { return FState; }
  // The debugger's view is up (every state but editing, and a check
  // started from editing).
  bool InRunMode() const;
  // A Run goes (in slices; its steps may wait for input meanwhile).
  bool InRun() const;
  bool InSlowRun() const;
  bool Checking() const;
  // The machine's code is on the stack: a step or a slice waits in the
  // input dialog, or a close waits for it.
  bool Busy() const;
  // Run, Step, the slow run and the check may start; the step back may go.
  bool CanRun() const;
  bool CanStepBack() const;
  bool CanCheck() const;
  bool CanStop() const;

  TAlgDebugSession& GetSession() { return FSession; }
  const TAlgDebugSession& GetSession() const { return FSession; }
  TAlgRunPacer& GetPacer() { return FPacer; }
  const TAlgRunStatus& GetRunStatus() const { return FStatus; }
  int GetSlowSpeed() const { return FSlowSpeed; }
  void SetSlowSpeed(int StepsPerSecond);

  // F9: a Run from where the run stands (a fresh one when it is over);
  // during a slow run the rest at full speed.
  void Run();
  // F8: one step; during a slow run a pause into single steps.
  void Step();
  // Shift+F9: the slow run; again, a pause into single steps.
  void SlowRun();
  // Shift+F8.
  void StepBack();
  // F2 and the Stop button: a Run or a slow run ends as the abort key ends
  // it ("Остановлено", no message), a step waiting for input is cancelled
  // and ends so, a check ends with the cases so far; standing between
  // steps, back to editing.
  void Stop();
  // Into the debugger's view and out of it.
  void SetRunMode(bool Running);
  // A close request (MainWindow: the shell's). True when the close may go
  // on now: whatever ran has ended as Stop ends it. While the machine's
  // code is on the stack the input dialog is cancelled and the close is
  // held (Closing) until it has left; false then.
  bool RequestClose(bool MainWindow);
  // The debugger on a teacher's case: a fresh run standing after Steps
  // steps, Script answering its questions.
  void StartDebugAt(int64_t Steps, std::unique_ptr<IInputProvider> Script);
  // "Проверить": every case of Tests on a copy of the chart, in slices of
  // the pacer. An edit meanwhile starts it over on the chart as it is.
  void StartCheck(TTestFile Tests);
  // The window goes: the run's bracket closes, nothing more is scheduled.
  void Shutdown();

private:
  class TBusyBracket;
  void SetState(TRunState State);
  // The next tick once, after Milliseconds.
  void Schedule(int Milliseconds);
  // The status says how the run stands, and the window shows it.
  void ShowOutcome(TAlgRunPhase Phase, const std::string& Error);
  // Tells the host what a screen reader hears of the outcome just shown.
  void Announce(TAlgRunPhase Phase);
  // A machine ready to step, else a fresh one from the start.
  void EnsureReadyMachine();
  void Tick();
  void RunSlice();
  void EndRun(TAlgRunPhase Phase, const std::string& Error);
  void StopRun();
  void StepAndShow();
  void SlowTick();
  bool PauseSlowRun();
  void CheckSlice();
  void EndCheck(bool Stopped);
  // After the machine's code has left the stack: a held stop or close.
  void AfterBusy();
  // An input is about to be asked: the status line says how many steps
  // were made before it, also in the middle of a slice.
  void ShowStepsBeforeInput();
  void CloseTick();

  TAlgorithm& FAlg;
  IRunHost& FHost;
  TAlgDebugSession FSession;
  TAlgRunPacer FPacer;
  TAlgRunStatus FStatus;
  TRunState FState = TRunState::Editing;
  // What a busy bracket returns to, and what a check returns to.
  TRunState FResume = TRunState::Editing;
  TRunState FCheckFrom = TRunState::Editing;
  // A stop asked for while the machine's code was on the stack; a close
  // held, and whose (the shell's main window or this one).
  bool FStopHeld = false;
  bool FCloseMain = false;
  // The slow run's speed and whether its next step passes the breakpoint
  // the run stands at.
  int FSlowSpeed = 5;
  bool FSlowPass = false;
  // One timer for all of it: the next slice of a run or of the check, the
  // slow run's tick, a held close.
  QTimer* FTimer;
  // The check: its tests, the next case, the chart's version it began on,
  // the copy the cases go on, the case going, results not yet shown.
  TTestFile FTests;
  size_t FCheckNext = 0;
  uint64_t FCheckVersion = 0;
  std::unique_ptr<TAlgorithm> FCheckCopy;
  std::unique_ptr<TCaseRun> FCaseRun;
  std::vector<TCaseResult> FChecked;
  // What the run or step being shown started from, and what kind of move
  // it was, for the announcement of its outcome.
  TRunAnnouncer FAnnouncer;
  bool FSingleStep = false, FSteppedBack = false;
};

} // namespace Deskbay
