#include "Flowapp_EditorForm.h"

#include "Flowapp_Images.h"

#include "Environment/Environment_Help.h"
#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowedit/Flowedit_frmAlg.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Corekit/ui/dlgInputString.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace Deskbay {

namespace {

// Colours as the canvas stores them: $00BBGGRR.
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlack = 0x000000;

class TAlgEditorFormClass : public TEditorFormClassOf<TAlgEditorForm> {
public:
  using TEditorFormClassOf::TEditorFormClassOf;
  std::string GetDescription() const override { return "Алгоритм"; }
  void GetFileExtensions(TStringList& List) const override {
    TEditorFormClassOf::GetFileExtensions(List);
    List.Add("alg");
  }
  // The content decides: one bag record of class "Algorithm", whatever the
  // file is called.
  bool UnderstandsData(TStream& Stream) const override {
    return StreamContainsBagWith(&Stream, "Algorithm");
  }
};

const TAlgEditorFormClass AlgEditorFormClass("TAlgEditorForm");

// While a dialog of anyone's is open (a question, a file dialog, another
// window's input), a Run waits: the machine never steps inside a loop that
// other code is waiting in. It looks again this often, in milliseconds.
constexpr int HeldRunRetryMs = 50;

class TAbortNow : public IAbortPoller {
public:
  bool AbortRequested() override { return true; }
};

// Ends a ready machine the way the abort key does: a poller just installed
// is asked at once, so the next step raises the user's abort error and the
// machine keeps its current block, the one that would have come next.
void AbortMachine(TAlgMachine& Machine) {
  TAbortNow Now;
  IAbortPoller* Previous = SetAbortPoller(&Now);
  try {
    Machine.Step();
  } catch (...) {
    // The abort error itself; the status line says it.
  }
  SetAbortPoller(Previous);
}

std::string ErrorText(const std::exception_ptr& Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& E) {
    return E.what();
  } catch (...) {
    return "Неизвестная ошибка.";
  }
}

} // namespace

const TEditorFormClass& TAlgEditorForm::StaticClass() {
  return AlgEditorFormClass;
}

TAlgEditorForm::TAlgEditorForm(const TEditorFormClass& Class, QWidget* Owner)
    : TEditorForm(Class, Owner), FInteractionNotify(this, &TAlgEditorForm::InteractionNotify) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  tbrAlg = new QToolBar(this);
  tbrAlg->setObjectName("tbrAlg");
  tbrAlg->setIconSize(QSize(16, 16));
  tbrAlg->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Layout->addWidget(tbrAlg);

  pnlMain = new QFrame(this);
  pnlMain->setObjectName("pnlMain");
  auto* MainLayout = new QVBoxLayout(pnlMain);
  MainLayout->setContentsMargins(0, 0, 0, 0);
  Layout->addWidget(pnlMain, 1);

  FSliceTimer = new QTimer(this);
  FSliceTimer->setSingleShot(true);
  connect(FSliceTimer, &QTimer::timeout, this, &TAlgEditorForm::RunSlice);
  FCloseTimer = new QTimer(this);
  FCloseTimer->setSingleShot(true);
  connect(FCloseTimer, &QTimer::timeout, this, [this] {
    if (FBusy || QApplication::activeModalWidget()) {
      CloseIfAsked();
      return;
    }
    const bool Main = FCloseMainAfterRun;
    if (!FCloseAfterRun && !Main)
      return;
    FCloseAfterRun = FCloseMainAfterRun = false;
    if (Main && MainForm)
      MainForm->close();
    else
      close();
  });

  CreateActions();

  FAlgorithm = std::make_unique<TAlgorithm>();
  InternalSetRunning(false);
  setWindowState(windowState() | Qt::WindowMaximized);

  // Like the shell's own commands, ours are brought up to date when the
  // shell updates its commands; what the run changes updates them at once.
  if (MainForm) {
    connect(MainForm, &TMainForm::Idle, this, &TAlgEditorForm::UpdateActions);
    MainForm->installEventFilter(this);
  }
}

TAlgEditorForm::~TAlgEditorForm() {
  // A Run between slices ends with the window (the machine's code is never
  // on the stack here: close requests wait until it has left).
  FSliceTimer->stop();
  if (FInRun) {
    FInRun = false;
    try {
      FMachine->EndModifyComponents();
    } catch (...) {
      // Nobody is left to hear of the run's last changes.
    }
  }
  try {
    SetRunning(false);
  } catch (...) {
    // The window goes in any case; the edit view it could not build is
    // not needed any more.
  }
  FreeChildView();
  FMachine.reset();
  FAlgorithm.reset();
}

void TAlgEditorForm::CreateActions() {
  ActionList = new TActionList(this);
  auto Make = [this](const char* Name, const QString& Caption, const QString& Hint, int Image,
                     Qt::Key Key, void (TAlgEditorForm::*Execute)(),
                     void (TAlgEditorForm::*Update)(TAction&)) {
    auto* Action = new TAction(AlgEditorImages().Icon(Image), Caption, this);
    Action->setObjectName(Name);
    // The short part of the two-part hint, shown as the tool tip; the long
    // part, the same text here, goes to the status tip.
    Action->setToolTip(Hint.section('|', 0, 0));
    Action->setStatusTip(Hint.section('|', 1));
    Action->setShortcut(QKeySequence(Key));
    Action->setShortcutContext(Qt::WindowShortcut);
    Action->setProperty("category", "Algorithm");
    Action->OnUpdate = [this, Update](TAction& A) { (this->*Update)(A); };
    connect(Action, &QAction::triggered, this,
            [this, Execute] { Command([this, Execute] { (this->*Execute)(); }); });
    addAction(Action);
    ActionList->Add(Action);
    return Action;
  };
  AlgRun = Make("AlgRun", "Запустить", "Запустить|Запустить", 0, Qt::Key_F9,
                &TAlgEditorForm::AlgRunExecute, &TAlgEditorForm::AlgRunUpdate);
  AlgStop = Make("AlgStop", "Остановить", "Остановить|Остановить", 2, Qt::Key_F2,
                 &TAlgEditorForm::AlgStopExecute, &TAlgEditorForm::AlgStopUpdate);
  AlgStep = Make("AlgStep", "Выполнить один шаг", "Выполнить один шаг|Выполнить один шаг", 4,
                 Qt::Key_F8, &TAlgEditorForm::AlgStepExecute, &TAlgEditorForm::AlgStepUpdate);

  auto Button = [this](TAction* Action, const char* Name) {
    auto* B = new QToolButton(tbrAlg);
    B->setObjectName(Name);
    B->setDefaultAction(Action);
    B->setAutoRaise(true);
    B->setMinimumWidth(40);
    tbrAlg->addWidget(B);
    return B;
  };
  tbRun = Button(AlgRun, "tbRun");
  // The Run button has a caption and hint of its own.
  tbRun->setText("Выполнить");
  tbRun->setToolTip("Выполнить");
  tbStep = Button(AlgStep, "tbStep");
  tbStop = Button(AlgStop, "tbStop");
  UpdateActions();
}

void TAlgEditorForm::Command(const std::function<void()>& Body) {
  try {
    Body();
  } catch (const std::exception& E) {
    ShowException(E);
  }
  UpdateActions();
}

void TAlgEditorForm::UpdateActions() {
  UpdateAllActions(*ActionList);
  // QToolButton takes the action's texts; the Run button keeps its own.
  tbRun->setText("Выполнить");
  tbRun->setToolTip("Выполнить");
}

void TAlgEditorForm::FreeChildView() {
  delete FChildView;
  FChildView = nullptr;
}

void TAlgEditorForm::InternalSetRunning(bool Running) {
  FreeChildView();
  FMachine.reset();
  try {
    FAlgorithm->BeginModify();
    try {
      if (Running)
        FAlgorithm->UnselectAll();
      {
        // Defaults, or in run mode the current block alone standing out.
        TAlgColorScheme Scheme(nullptr);
        if (Running) {
          Scheme.SetSelectedBlockColor(clLime);
          Scheme.SetSelectedBlockTextColor(clBlack);
          Scheme.SetSemiselectedBlockColor(Scheme.GetBlockColor());
        }
        FAlgorithm->GetColorScheme().Assign(Scheme);
      }
      TFlowjoggerForm* Debugger = nullptr;
      if (Running) {
        FMachine = std::make_unique<TAlgMachine>();
        FMachine->AddInteractionListener(&FInteractionNotify);
        FMachine->InitComplete();
        FMachine->SetCurrentBlock(FAlgorithm->GetRoot());
        FChildView = Debugger = new TFlowjoggerForm(nullptr);
      } else {
        FChildView = new TAlgConstructorForm(nullptr);
      }
      FChildView->SetAlgorithm(FAlgorithm.get());
      if (Running)
        Debugger->SetMachine(FMachine.get());
      FChildView->setParent(pnlMain, Qt::Widget);
      pnlMain->layout()->addWidget(FChildView);
      FChildView->show();
      if (!Running && FAlgorithm->GetSelectedBlockCount() == 1)
        FChildView->AlgEditor->MakeVisible(FAlgorithm->GetSelectedBlocksProperty(0));
      try {
        FChildView->AlgEditor->setFocus(Qt::OtherFocusReason);
      } catch (...) {
        // A window that cannot take the focus yet gets it when activated.
      }
    } catch (...) {
      FAlgorithm->EndModify();
      throw;
    }
    FAlgorithm->EndModify();
  } catch (...) {
    FreeChildView();
    FMachine.reset();
    throw;
  }
}

void TAlgEditorForm::SetRunning(bool Value) {
  if (Value != GetRunning())
    InternalSetRunning(Value);
}

bool TAlgEditorForm::MachineReady() const {
  return FMachine && FMachine->GetState() == amsReady;
}

void TAlgEditorForm::Sync() {
  if (FMachine->GetState() == amsError)
    FAlgorithm->GetColorScheme().SetSelectedBlockColor(clRed);
  if (auto* Debugger = dynamic_cast<TFlowjoggerForm*>(FChildView))
    Debugger->SelectCurrentBlock();
}

void TAlgEditorForm::InteractionNotify(TObject*) {
  Sync();
}

void TAlgEditorForm::EnsureReadyMachine() {
  if (MachineReady())
    return;
  // None yet, or one whose run is over: a fresh machine from the beginning.
  InternalSetRunning(true);
  FRunStatus = TAlgRunStatus();
}

void TAlgEditorForm::ShowStatus() {
  if (auto* Debugger = dynamic_cast<TFlowjoggerForm*>(FChildView))
    Debugger->ShowRunStatus(FRunStatus);
  // The run's state changed without any input: the shell's own commands
  // (Save, Close, the Edit menu) are brought up to date too.
  if (MainForm)
    MainForm->RequestActionUpdate();
}

void TAlgEditorForm::AlgRunExecute() {
  if (FInRun || FBusy)
    return;
  EnsureReadyMachine();
  FInRun = true;
  FStopAsked = false;
  FRunStatus.Phase = rpRunning;
  // One component bracket for the whole run, as the machine's own Run
  // keeps it; the views hear of the changes when the pacer says they are
  // due and when the run ends.
  FMachine->BeginModifyComponents();
  FPacer.BeginRun();
  ShowStatus();
  UpdateActions();
  RunSlice();
}

void TAlgEditorForm::RunSlice() {
  if (!FInRun || FBusy)
    return;
  if (QApplication::activeModalWidget()) {
    FSliceTimer->start(HeldRunRetryMs);
    return;
  }
  std::exception_ptr Error;
  FBusy = true;
  try {
    FPacer.RunSlice(*FMachine, FRunStatus.Steps, [this] { return FStopAsked; });
  } catch (...) {
    Error = std::current_exception();
  }
  FBusy = false;
  if (FStopAsked) {
    // Asked while the slice waited in the input dialog, which the stop
    // cancelled: the machine's abort error is the stop itself.
    StopRun();
  } else if (Error) {
    EndRun(rpError, Error);
  } else if (FMachine->GetState() != amsReady) {
    EndRun(rpDone, nullptr);
  } else {
    if (FPacer.ViewsDue()) {
      FPacer.ViewsShown();
      try {
        // The frames follow, and the window shows the block the run is on.
        FMachine->TriggerComponentNotifications();
      } catch (...) {
        EndRun(rpError, std::current_exception());
        return;
      }
      ShowStatus();
    }
    FSliceTimer->start(0);
  }
  CloseIfAsked();
}

void TAlgEditorForm::StopRun() {
  if (!FInRun)
    return;
  if (FBusy) {
    // The slice waits in the input dialog: cancelling it ends the step, and
    // the slice ends the run once it has left the machine.
    FStopAsked = true;
    CancelInput();
    return;
  }
  if (FMachine->GetState() == amsReady)
    AbortMachine(*FMachine);
  EndRun(rpStopped, nullptr);
}

void TAlgEditorForm::CancelInput() {
  if (auto* Input = qobject_cast<TInputStringForm*>(QApplication::activeModalWidget()))
    Input->reject();
}

void TAlgEditorForm::EndRun(TAlgRunPhase Phase, std::exception_ptr Error) {
  FSliceTimer->stop();
  FInRun = false;
  FStopAsked = false;
  try {
    FMachine->EndModifyComponents();
  } catch (...) {
    if (!Error) {
      Error = std::current_exception();
      Phase = rpError;
    }
  }
  ShowRunOutcome(Phase, Error);
}

void TAlgEditorForm::ShowRunOutcome(TAlgRunPhase Phase, std::exception_ptr Error) {
  FRunStatus.Phase = Phase;
  FRunStatus.Error = Error ? ErrorText(Error) : std::string();
  Sync();
  ShowStatus();
  UpdateActions();
  if (Error)
    ShowErrorMessage(FRunStatus.Error);
}

void TAlgEditorForm::CloseIfAsked() {
  if (!FCloseAfterRun && !FCloseMainAfterRun)
    return;
  // Once the machine's code and every dialog have left the stack, so that
  // no box goes with the window under it.
  FCloseTimer->start(FBusy || QApplication::activeModalWidget() ? HeldRunRetryMs : 0);
}

void TAlgEditorForm::AlgRunUpdate(TAction& Action) {
  Action.setEnabled(!FInRun && !FBusy);
}

void TAlgEditorForm::AlgStepExecute() {
  if (FInRun || FBusy)
    return;
  EnsureReadyMachine();
  std::exception_ptr Error;
  FBusy = true;
  FStopAsked = false;
  try {
    FMachine->Step();
    ++FRunStatus.Steps;
  } catch (...) {
    Error = std::current_exception();
  }
  FBusy = false;
  TAlgRunPhase Phase = Error ? rpError : FMachine->GetState() == amsDone ? rpDone : rpStepping;
  if (FStopAsked) {
    // A close came while the step waited in its input dialog, which it
    // cancelled: the run is over, as Stop ends it.
    FStopAsked = false;
    if (FMachine->GetState() == amsReady)
      AbortMachine(*FMachine);
    Phase = rpStopped;
    Error = nullptr;
  }
  ShowRunOutcome(Phase, Error);
  CloseIfAsked();
}

void TAlgEditorForm::AlgStepUpdate(TAction& Action) {
  AlgRunUpdate(Action);
}

void TAlgEditorForm::AlgStopExecute() {
  if (FInRun) {
    StopRun();
    return;
  }
  if (FBusy || !GetRunning())
    return;
  SetRunning(false);
  if (FAlgorithm->GetSelectedBlockCount() == 1)
    if (auto* Constructor = dynamic_cast<TAlgConstructorForm*>(FChildView))
      try {
        Constructor->memBlock->setFocus(Qt::OtherFocusReason);
      } catch (...) {
        // Focus comes back with the window.
      }
}

void TAlgEditorForm::AlgStopUpdate(TAction& Action) {
  Action.setEnabled(GetRunning());
}

bool TAlgEditorForm::SelectionPresent() {
  return !GetRunning() && FChildView && focusWidget() == FChildView->AlgEditor &&
         FAlgorithm->GetSelectedBlockCount() > 0 &&
         FAlgorithm->GetSelectedBlocksProperty(0) != FAlgorithm->GetRoot();
}

void TAlgEditorForm::DeleteSelection() {
  if (!GetRunning())
    FAlgorithm->DeleteSelection();
}

bool TAlgEditorForm::CanSelectAll() {
  return !GetRunning();
}

void TAlgEditorForm::SelectAll() {
  FAlgorithm->SelectAll();
}

bool TAlgEditorForm::CanCopy() {
  return false;
}

std::string TAlgEditorForm::HelpTopic() {
  const TAlgBlock* Block =
      FAlgorithm->GetSelectedBlockCount() == 1 ? FAlgorithm->GetSelectedBlocksProperty(0) : nullptr;
  return HelpTopicOfBlock(Block ? Block->ClassName() : "").toStdString();
}

bool TAlgEditorForm::CanCut() {
  return false;
}

bool TAlgEditorForm::GetModified() {
  return FAlgorithm->GetDirty();
}

void TAlgEditorForm::SetModified(bool Value) {
  FAlgorithm->SetDirty(Value);
}

int64_t TAlgEditorForm::GetVersion() {
  return static_cast<int64_t>(FAlgorithm->GetVersion());
}

void TAlgEditorForm::SaveStream(TStream& Stream) {
  TEditorForm::SaveStream(Stream);
  TBag Bag(&Stream);
  Bag.Pack(FAlgorithm.get());
}

void TAlgEditorForm::LoadStream(TStream& Stream) {
  TEditorForm::LoadStream(Stream);
  FAlgorithm->BeginModify();
  try {
    // Refused and reported as algtool does; the document is named after
    // its file by the time it is loaded.
    LoadAlgorithmFromStream(*FAlgorithm, Stream, GetFileName());
  } catch (...) {
    FAlgorithm->EndModify();
    throw;
  }
  FAlgorithm->EndModify();
}

void TAlgEditorForm::closeEvent(QCloseEvent* Event) {
  if (FBusy) {
    // The machine waits in the input dialog below us: the dialog is
    // cancelled, the run ends, and the window closes once it has left.
    FStopAsked = true;
    FCloseAfterRun = true;
    CancelInput();
    Event->ignore();
    return;
  }
  StopRun();
  TEditorForm::closeEvent(Event);
}

bool TAlgEditorForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == MainForm && Event->type() == QEvent::Close) {
    if (FBusy) {
      FStopAsked = true;
      FCloseMainAfterRun = true;
      CancelInput();
      Event->ignore();
      return true;
    }
    StopRun();
  }
  return TEditorForm::eventFilter(Watched, Event);
}

} // namespace Deskbay
