#include "Flowapp_EditorForm.h"

#include "Flowapp_Images.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowedit/Flowedit_frmAlg.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/ui/QtHooks.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

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

// The abort poller the GUI installed, which the Stop command asks to end a
// Run in progress; none in hosts without it.
TQtAbortPoller* GuiAbortPoller() {
  return dynamic_cast<TQtAbortPoller*>(GetAbortPoller());
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

  CreateActions();

  FAlgorithm = std::make_unique<TAlgorithm>();
  InternalSetRunning(false);
  setWindowState(windowState() | Qt::WindowMaximized);

  // Like the shell's own commands, ours are brought up to date whenever the
  // event loop goes idle.
  if (MainForm)
    connect(MainForm, &TMainForm::Idle, this, &TAlgEditorForm::UpdateActions);
}

TAlgEditorForm::~TAlgEditorForm() {
  // A Run in progress cannot get here: close requests wait for its end.
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
  // The Stop button is the one control that still acts while a Run holds
  // the window.
  tbStop->setProperty(TQtAbortPoller::DuringRunProperty, true);
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

void TAlgEditorForm::AlgRunExecute() {
  // Only Stop acts while the run holds the window, and a key or click held
  // back could still arrive as a trigger; never re-enter the machine.
  if (FInRun || !(GetRunning() ? MachineReady() : true))
    return;
  SetRunning(true);
  FInRun = true;
  // The loop does not go idle during the run, so the buttons are brought up
  // to date now: Stop must take its click, Run and Step are greyed. F2 must
  // reach the abort poller as a key press: as the enabled Stop command's
  // shortcut it would be taken for the shortcut, which the poller holds
  // back like every other command, so the shortcut steps aside meanwhile.
  UpdateActions();
  const QKeySequence StopKey = AlgStop->shortcut();
  AlgStop->setShortcut(QKeySequence());
  auto EndRun = [this, &StopKey] {
    FInRun = false;
    AlgStop->setShortcut(StopKey);
  };
  try {
    FMachine->Run();
  } catch (...) {
    EndRun();
    Sync();
    throw;
  }
  EndRun();
  Sync();
  if (FCloseAfterRun) {
    FCloseAfterRun = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void TAlgEditorForm::AlgRunUpdate(TAction& Action) {
  Action.setEnabled(!FInRun && (!FMachine || FMachine->GetState() == amsReady));
}

void TAlgEditorForm::AlgStepExecute() {
  if (FInRun || !(GetRunning() ? MachineReady() : true))
    return;
  SetRunning(true);
  try {
    FMachine->Step();
  } catch (...) {
    Sync();
    throw;
  }
  Sync();
}

void TAlgEditorForm::AlgStepUpdate(TAction& Action) {
  AlgRunUpdate(Action);
}

void TAlgEditorForm::AlgStopExecute() {
  if (FInRun) {
    // The machine is busy in Run below us: ask it to end, as F2 does; it
    // stops with the user-abort error and Stop then returns to edit mode.
    if (TQtAbortPoller* Poller = GuiAbortPoller())
      Poller->RequestAbort();
    return;
  }
  if (!GetRunning())
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
  if (FInRun) {
    // Nothing may free the machine under a Run; the window closes after.
    FCloseAfterRun = true;
    Event->ignore();
    return;
  }
  TEditorForm::closeEvent(Event);
}

} // namespace Deskbay
