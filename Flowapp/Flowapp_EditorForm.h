#pragma once

// The algorithm document window: one algorithm, edited in the constructor
// form, or run and stepped on a machine that the debugger form follows.
// What the run is doing is the run controller's (TAlgRunController): a Run
// and the check go in slices from the event loop, so the window stays
// responsive; the views follow the run, and Stop, F2, close requests and
// signals end it as ordinary events. The window shows what the controller
// tells it (IRunHost).

#include "FlowappExport.h"
#include "Flowapp_RunController.h"
#include "Flowapp_RunPacer.h"

#include "Flowcheck/Flowcheck_TestFile.h"

#include "Environment/Editor.h"
#include "Flowcode/Flowcode_Program.h"
#include "Flowedit/Flowedit_frmAlg.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"
#include "Flowrun/Flowrun_Debugger.h"

#include "Corekit/MiscUtils_Versioning.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QByteArray>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QSlider;
class QSplitter;
class QMenu;
class QToolBar;
class QToolButton;

namespace Deskbay {

class TAlgHistory;
class TAlgMachine;
class TAlgorithm;
class TCheckPanel;
class TTaskPanel;
struct TCaseResult;
struct TTaskPack;

// The window's own interaction listener kind: the machine tells it that the
// run moved on, and the window shows where.
using IOnInteractionNotify = IOnNotify;

class FLOWAPP_API TAlgEditorForm : public TEditorForm, private IRunHost {
  Q_OBJECT
public:
  TAlgEditorForm(const TEditorFormClass& Class, QWidget* Owner = nullptr);
  ~TAlgEditorForm() override;

  // The document kind "Алгоритм", files with the extension "alg".
  static const TEditorFormClass& StaticClass();

  bool SelectionPresent() override;
  void DeleteSelection() override;
  bool CanSelectAll() override;
  void SelectAll() override;
  // Cut, Copy and Paste act on the text box's text while it has the focus,
  // else on the selected blocks (the system clipboard carries them).
  bool CanCopy() override;
  bool CanCut() override;
  bool CanPaste() override;
  void CopySelection() override;
  void CutSelection() override;
  void Paste() override;
  // "Файл" (export, print), "Правка" (undo, redo), "Вид" (zoom) and
  // "Выполнение" (run, step, stop) join the shell's strip while the window
  // is active; undo, redo, the slow run and the step back join its tool bar.
  QList<QMenu*> GetMergedMenus() override;
  QList<QAction*> GetMergedToolActions() override;
  // The help about the kind of the one selected block (what the text box
  // shows), else the contents.
  std::string HelpTopic() override;
  bool GetModified() override;
  void SetModified(bool Value) override;
  int64_t GetVersion() override;
  void LoadStream(TStream& Stream) override;
  void SaveStream(TStream& Stream) override;

  // Run mode: the debugger's view follows the session's machine.
  bool GetRunning() const { return FRun->InRunMode(); }
  void SetRunning(bool Value);
  bool MachineReady() const;
  // Shows the machine's current block, red after an error. Run mode only.
  void Sync();
  void InteractionNotify(TObject* Sender);

  // The commands and their enabling rules. Run and Step on a finished run
  // start it again from the beginning; Stop during a Run (or a slow run)
  // ends the run, and otherwise goes back to editing. Run and Step during a
  // slow run finish it at full speed, or pause it into single steps.
  void AlgRunExecute();
  void AlgRunUpdate(TAction& Action);
  void AlgStepExecute();
  void AlgStepUpdate(TAction& Action);
  void AlgStopExecute();
  void AlgStopUpdate(TAction& Action);
  // "Выполнять по шагам автоматически" (Shift+F9): a step at a time at the
  // speed of the slider (1 to 50 steps a second), the views following each
  // step; it stops at breakpoints as Run does.
  void AlgSlowRunExecute();
  bool GetSlowRun() const { return FRun->InSlowRun(); }
  int GetSlowSpeed() const { return FSlowSpeed; }
  void SetSlowSpeed(int StepsPerSecond);
  // "Шаг назад" (Shift+F8): the run as it was one step earlier, back to the
  // start; the answers already given are used again, not asked.
  void AlgStepBackExecute();
  // Starts the debugger on a teacher's case: Script answers the questions
  // (the pupil is asked only when it has no answer left), the run standing
  // after Steps steps.
  void StartDebugAt(int64_t Steps, std::unique_ptr<IInputProvider> Script);
  // Brings the commands' enabled states up to date.
  void UpdateActions();

  // The flowchart's history: every change is a step; editing mode only.
  // Undoing back to what was last saved makes the document unmodified.
  void EditUndoExecute();
  void EditRedoExecute();
  TAlgHistory& GetHistory() const { return *FHistory; }
  // The flowchart's zoom in percent; it stays through Run, Step and Stop.
  int GetZoom() const { return FZoom; }
  void SetZoom(int Percent);
  // The flowchart into a picture file, through the export dialog; in run
  // mode the canvas is offered too.
  void FileExportExecute();
  // The print preview of the flowchart.
  void FilePrintExecute();
  // The program text beside the chart ("Вид" > "Программа"); its language
  // and width stay through Run, Step and Stop.
  void ViewProgramExecute();
  // The program text in the pane's language into a file.
  void FileSaveProgramExecute();
  // "Точка останова" (F5): on the selected block when editing, on the next
  // block when running; a red dot marks it. Run (F9) stops before such a
  // block as a step would, and Run again goes on past it. Breakpoints live
  // with the window, never in the file.
  void AlgBreakpointExecute();
  // "Условие остановки..." (Ctrl+F5): a breakpoint that stops only when a
  // condition typed in the language holds (empty: always). A condition
  // that cannot be computed stops the run and says why.
  void AlgBreakpointConditionExecute();
  TAlgBreakpoints& GetBreakpoints() { return FRun->GetSession().GetBreakpoints(); }
  // The machine, the breakpoints and the history of this document's run.
  TAlgDebugSession& GetSession() const { return FRun->GetSession(); }
  // What the run is doing; every command of the run goes through it.
  TAlgRunController& GetRunController() const { return *FRun; }

  TAlgorithm& GetAlgorithm() const { return *FAlgorithm; }
  TAlgMachine* GetMachine() const { return FRun->GetSession().GetMachine(); }
  // The constructor form in edit mode, the debugger form in run mode;
  // both are made over GetForm(), whose chart they share.
  TAlgForm* GetChildView() const { return FChildView; }
  // The chart, its scroll box, splitter and code pane: one for the
  // window's whole life, so its zoom, scroll position, splitter and the
  // pane's language stay through Run, Step and Stop.
  TAlgForm* GetForm() const { return FForm; }
  // True from Run until the run ends; the machine steps in slices meanwhile.
  bool GetInRun() const { return FRun->InRun(); }
  // How the run stands, as the debugger's status line shows it.
  const TAlgRunStatus& GetRunStatus() const { return FRun->GetRunStatus(); }
  TAlgRunPacer& GetRunPacer() { return FRun->GetPacer(); }

  // Checking by the teacher's tests. "Проверить" (Ctrl+F9) reads the test
  // file and runs its cases one after another in slices of the event loop's
  // time, each on a machine of its own at full speed, into the panel below
  // the chart; Stop, F2 and the panel's close button end it. Without a test
  // file, or with a broken one, it says so and checks nothing.
  void AlgCheckExecute();
  // "Выбрать тесты...": a test file for this document, remembered while the
  // window lives (never in the file).
  void FileChooseTestsExecute();
  void SetChosenTestFile(const std::string& FileName) { FChosenTests = FileName; }
  // The test file a check reads: the chosen one, else NAME.tests beside the
  // document's file; empty when there is none.
  std::string GetTestFileName() const;
  // Cases are still being checked.
  bool GetChecking() const { return FRun->Checking(); }
  // Starts the debugger on a failed case: a fresh machine given the case's
  // answers by themselves, stopped after the case's StopStep steps, before
  // the block that printed the first wrong line (or failed, or met the
  // step limit). A passed or hidden case is not debugged.
  void DebugCase(const TCaseResult& Case);
  TCheckPanel* pnlCheck;
  QSplitter* splCheck;
  TAction *AlgCheck, *FileChooseTests;

  // Task packs (Flowcheck_Task). "Файл" > "Открыть задание..." and opening
  // a NAME.task file (the document kind TaskClass: the pack's extension or
  // its first line) open the pack's starter chart in a new untitled window
  // with the task's text in a panel above the check results. "Проверить"
  // runs the pack's visible cases; the editor refuses blocks the task
  // forbids (a palette block, a copying drop, a paste), saying why at the
  // block and in the panel, which also names each block whose lines break
  // the task; the program pane stays hidden where the pack says so. The
  // pupil saves an ordinary algorithm file.
  static const TEditorFormClass& TaskClass();
  void OpenFile(const std::string& Name) override;
  void OpenTask(const std::string& TaskName, const TTaskPack& Pack);
  const TTaskPack* GetTask() const { return FTask.get(); }
  const std::string& GetTaskFileName() const { return FTaskName; }
  void FileOpenTaskExecute();
  TTaskPanel* pnlTask = nullptr;
  TAction* FileOpenTask = nullptr;

  QToolBar* tbrAlg;
  QToolButton *tbRun, *tbStep, *tbStop;
  QWidget* pnlMain;
  TActionList* ActionList;
  TAction *AlgRun, *AlgStop, *AlgStep, *AlgSlowRun, *AlgStepBack;
  TAction *EditUndo, *EditRedo, *ViewZoomIn, *ViewZoomOut, *ViewZoomNormal, *FileExportPicture,
      *FilePrint, *ViewProgram, *FileOpenProgram, *FileSaveProgram, *AlgBreakpoint,
      *AlgBreakpointCondition, *ViewHighContrast;
  QMenu *mnuDocFile, *mnuDocEdit, *mnuDocView, *mnuDocRun;
  // The zoom in percent, at the right of the window's tool bar.
  QLabel* lblZoom;
  // The slow run's speed in steps a second, and its caption.
  QSlider* sldSpeed;
  QLabel* lblSpeed;

protected:
  void closeEvent(QCloseEvent* Event) override;
  // Sees the main window's close requests first: they end a Run before
  // the shell asks about unsaved documents and frees them.
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void CreateActions();
  void CreateDocumentMenus();
  void ZoomInExecute();
  void ZoomOutExecute();
  void ZoomNormalExecute();
  // The view's zoom moved (keys, wheel, menu): the label and commands follow.
  void ZoomChanged();
  void ShowZoom();
  // The breakpoints of blocks still in the algorithm, shown on the chart.
  void ShowBreakpoints();
  // The block F5 acts on: the selected one when editing, the next one
  // when running; nullptr when there is none.
  const TAlgBlock* BreakpointBlock() const;
  // After undo or redo: the modified state and the selection in view.
  void AfterHistoryMove();
  // The chart's context menu at Pos (the editor's client coordinates): a
  // block under the pointer is selected first.
  void ChartContextMenu(QPoint Pos);
  // The text box of the constructor form while it has the focus.
  QPlainTextEdit* FocusedTextBox() const;
  void CreateForm();
  void InternalSetRunning(bool Running);
  void FreeChildView();
  // Runs a command; an error goes to the shell's error display.
  void Command(const std::function<void()>& Body);
  // The session replaced its machine (nullptr: it went).
  void MachineChanged(TAlgMachine* Machine);
  // Where the selected variable got its value.
  void ShowVarOrigin(const std::string& Name);

  // What the run controller asks of the window.
  void SwitchView(bool Running) override;
  // Shows how the run or step ended: the status line, the block, the
  // commands, the marks of the debugger, and the error in its box.
  void ShowOutcome(TAlgRunPhase Phase, const std::string& Error) override;
  void ShowProgress() override;
  // Marks the variables the last step changed.
  void ShowChangedVars(bool AfterStep) override;
  void StateChanged() override;
  bool DialogOpen() const override;
  void Close(bool MainWindow) override;
  void CheckBegun(const TTestFile& Tests) override;
  void CasesChecked(const std::vector<TCaseResult>& Results) override;
  void CheckEnded(bool Stopped) override;
  // Sends what a screen reader is to hear to the debugger's status line.
  void Announce(const std::string& Text) override;
  TFlowjoggerForm* Debugger() const;
  // The chart's colours (the high-contrast scheme or the usual one, each
  // with its run-mode marks) for the view that is up.
  void ApplyColorScheme(bool Running);
  void ViewHighContrastExecute();
  // In run mode Tab goes from the chart through the variables, the
  // console, the canvas and the check results to the window's bar.
  void SetRunTabOrder();
  // The Stop button says what it does now: stop a run going, or, after
  // the run has ended, go back to editing.
  void ShowStopButton();
  // The debugger's panel width and the slow run's speed, kept in the
  // settings between sessions.
  void LoadDebuggerSettings();
  void SaveDebuggerSettings();
  // Cancels the input dialog the machine waits in, if it does.
  void CancelInput() override;
  void ShowStatus();

  // A command of the window as Info describes it: its keys work in the
  // window, and it runs through Command.
  TAction* AddCommand(TActionInfo Info);
  void CreateCheckActions();
  void CreateCheckPanel();
  void CreateTaskAction();
  // Whether the task lets the program text be shown (no task: yes).
  bool ProgramTextAllowed() const;
  // The blocks of the chart that break the task, in the task panel; asked
  // when the content moved on.
  void ShowTaskBreaches();
  // A paste the task forbids is taken back, the reason shown.
  void RefuseForbiddenPaste();

  std::unique_ptr<TAlgorithm> FAlgorithm;
  std::unique_ptr<TAlgHistory> FHistory;
  std::unique_ptr<TAlgRunController> FRun;
  int FZoom = 100;
  // The slow run's speed, as the slider and the settings hold it.
  int FSlowSpeed = 5;
  int FPanelWidth = TFlowjoggerForm::DefaultPanelWidth;
  int FSavedPanelWidth = 0, FSavedSlowSpeed = 0;
  // The high-contrast scheme, kept in the settings ("[View]"), never in
  // the document.
  bool FHighContrast = false;
  // The clipboard holds blocks; followed through its change signal, so
  // the commands' updates never ask the clipboard itself.
  bool FClipboardHasBlocks = false;
  TAlgForm* FForm = nullptr;
  TAlgForm* FChildView = nullptr;
  TNotifyAdapter<TAlgEditorForm> FInteractionNotify;
  // The test file chosen for this document.
  std::string FChosenTests;
  // The task the window was opened from, and its file.
  std::unique_ptr<TTaskPack> FTask;
  std::string FTaskName;
  uint64_t FTaskCheckedVersion = UINT64_MAX; // not yet
};

} // namespace Deskbay
