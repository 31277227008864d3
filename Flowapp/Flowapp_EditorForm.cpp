#include "Flowapp_EditorForm.h"

#include "Flowapp_ChartOutput.h"
#include "Flowapp_CheckPanel.h"
#include "Flowapp_Clipboard.h"
#include "Flowapp_Images.h"

#include "Environment/Environment_Help.h"
#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"
#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/Flowcheck_Text.h"
#include "Flowedit/Flowedit_CodePane.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowedit/Flowedit_frmAlg.h"
#include "Flowjog/Flowjog_CanvasPicture.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Corekit/IniFiles.h"
#include "Corekit/InteractionHooks.h"
#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/RasterBitmap.h"
#include "Corekit/SysUtils.h"
#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/QtBitmap.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Corekit/ui/dlgInputString.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_History.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

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

  FAlgorithm = std::make_unique<TAlgorithm>();
  FHistory = std::make_unique<TAlgHistory>(*FAlgorithm);
  FRun = std::make_unique<TAlgRunController>(*FAlgorithm, static_cast<IRunHost&>(*this));
  GetSession().OnMachineChange = [this](TAlgMachine* Machine) { MachineChanged(Machine); };
  LoadDebuggerSettings();

  CreateActions();
  CreateCheckPanel();
  FClipboardHasBlocks = ClipboardHoldsBlocks();
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
    FClipboardHasBlocks = ClipboardHoldsBlocks();
    UpdateActions();
  });
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
  FRun->Shutdown();
  try {
    SetRunning(false);
  } catch (...) {
    // The window goes in any case; the edit view it could not build is
    // not needed any more.
  }
  FreeChildView();
  GetSession().OnMachineChange = nullptr;
  FRun.reset();
  FHistory.reset();
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
  AlgSlowRun =
      Make("AlgSlowRun", "Выполнять по шагам автоматически",
           "Выполнять по шагам автоматически|Выполнять шаг за шагом со скоростью, "
           "заданной ползунком; F8 переходит к шагам вручную",
           0, Qt::Key_F9, &TAlgEditorForm::AlgSlowRunExecute, &TAlgEditorForm::AlgRunUpdate);
  AlgSlowRun->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F9));
  AlgSlowRun->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
  AlgStepBack =
      Make("AlgStepBack", "Шаг назад",
           "Шаг назад|Вернуться на шаг назад: переменные, вывод и холст как были", 4, Qt::Key_F8,
           &TAlgEditorForm::AlgStepBackExecute, &TAlgEditorForm::AlgRunUpdate);
  AlgStepBack->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
  AlgStepBack->setIcon(style()->standardIcon(QStyle::SP_MediaSkipBackward));
  AlgStepBack->OnUpdate = [this](TAction& A) { A.setEnabled(FRun->CanStepBack()); };

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
  // The slow run's speed, after the three buttons.
  sldSpeed = new QSlider(Qt::Horizontal, tbrAlg);
  sldSpeed->setObjectName("sldSpeed");
  sldSpeed->setRange(1, 50);
  sldSpeed->setValue(FSlowSpeed);
  sldSpeed->setFixedWidth(100);
  sldSpeed->setToolTip("Скорость выполнения по шагам автоматически, шагов в секунду");
  tbrAlg->addWidget(sldSpeed);
  lblSpeed = new QLabel(tbrAlg);
  lblSpeed->setObjectName("lblSpeed");
  lblSpeed->setContentsMargins(4, 0, 4, 0);
  lblSpeed->setMinimumWidth(lblSpeed->fontMetrics().horizontalAdvance("50 шаг/с") + 8);
  tbrAlg->addWidget(lblSpeed);
  connect(sldSpeed, &QSlider::valueChanged, this, &TAlgEditorForm::SetSlowSpeed);
  SetSlowSpeed(FSlowSpeed);
  CreateDocumentMenus();
  UpdateActions();
}

void TAlgEditorForm::CreateDocumentMenus() {
  auto Make = [this](const char* Name, const QString& Caption, const QString& Hint,
                     const QList<QKeySequence>& Keys, void (TAlgEditorForm::*Execute)(),
                     std::function<bool()> Enabled) {
    auto* Action = new TAction(Caption, this);
    Action->setObjectName(Name);
    Action->setToolTip(Hint);
    Action->setStatusTip(Hint);
    Action->setShortcuts(Keys);
    Action->setShortcutContext(Qt::WindowShortcut);
    Action->OnUpdate = [Enabled](TAction& A) { A.setEnabled(Enabled()); };
    connect(Action, &QAction::triggered, this,
            [this, Execute] { Command([this, Execute] { (this->*Execute)(); }); });
    addAction(Action);
    ActionList->Add(Action);
    return Action;
  };
  auto Editing = [this] { return FChildView && !GetRunning(); };
  EditUndo = Make("EditUndo", "&Отменить", "Отменить последнее изменение",
                  QKeySequence::keyBindings(QKeySequence::Undo), &TAlgEditorForm::EditUndoExecute,
                  [this, Editing] { return Editing() && FHistory && FHistory->CanUndo(); });
  EditRedo =
      Make("EditRedo", "&Повторить", "Повторить отменённое изменение",
           {QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}, &TAlgEditorForm::EditRedoExecute,
           [this, Editing] { return Editing() && FHistory && FHistory->CanRedo(); });
  QStyle* S = style();
  EditUndo->setIcon(QIcon::fromTheme("edit-undo", S->standardIcon(QStyle::SP_ArrowBack)));
  EditRedo->setIcon(QIcon::fromTheme("edit-redo", S->standardIcon(QStyle::SP_ArrowForward)));

  auto HasView = [this] { return FChildView != nullptr; };
  ViewZoomIn = Make("ViewZoomIn", "У&величить", "Увеличить блок-схему",
                    {QKeySequence(QKeySequence::ZoomIn), QKeySequence("Ctrl+=")},
                    &TAlgEditorForm::ZoomInExecute,
                    [this, HasView] { return HasView() && FZoom < TAlgEditor::ZoomSteps[11]; });
  ViewZoomOut = Make("ViewZoomOut", "У&меньшить", "Уменьшить блок-схему",
                     {QKeySequence(QKeySequence::ZoomOut)}, &TAlgEditorForm::ZoomOutExecute,
                     [this, HasView] { return HasView() && FZoom > TAlgEditor::ZoomSteps[0]; });
  ViewZoomNormal = Make("ViewZoomNormal", "&Обычный размер", "Блок-схема в натуральную величину",
                        {QKeySequence("Ctrl+0")}, &TAlgEditorForm::ZoomNormalExecute,
                        [this, HasView] { return HasView() && FZoom != 100; });
  FileExportPicture = Make("FileExportPicture", "&Экспорт рисунка...",
                           "Сохранить блок-схему (или холст) как рисунок SVG, PNG или документ PDF",
                           {}, &TAlgEditorForm::FileExportExecute, HasView);
  FilePrint = Make("FilePrint", "&Печать...", "Напечатать блок-схему",
                   {QKeySequence(QKeySequence::Print)}, &TAlgEditorForm::FilePrintExecute, HasView);

  ViewProgram = Make("ViewProgram", "&Программа",
                     "Показать рядом с блок-схемой её программу на Python, Pascal или C++",
                     {QKeySequence("Ctrl+Shift+P")}, &TAlgEditorForm::ViewProgramExecute, HasView);
  ViewProgram->setCheckable(true);
  FileSaveProgram = Make("FileSaveProgram", "Сохранить п&рограмму как...",
                         "Сохранить программу блок-схемы на Python, Pascal или C++", {},
                         &TAlgEditorForm::FileSaveProgramExecute, HasView);

  mnuDocFile = new QMenu("&Файл", this);
  mnuDocFile->addActions({FileSaveProgram, FileExportPicture, FilePrint});
  mnuDocEdit = new QMenu("&Правка", this);
  mnuDocEdit->addActions({EditUndo, EditRedo});
  mnuDocView = new QMenu("&Вид", this);
  mnuDocView->setObjectName("mnuDocView");
  mnuDocView->addActions({ViewZoomIn, ViewZoomOut, ViewZoomNormal});
  mnuDocView->addSeparator();
  mnuDocView->addAction(ViewProgram);
  mnuDocRun = new QMenu("В&ыполнение", this);
  mnuDocRun->setObjectName("mnuDocRun");
  auto CanBreak = [this] { return !FRun->InRun() && BreakpointBlock() != nullptr; };
  AlgBreakpoint =
      Make("AlgBreakpoint", "&Точка останова",
           "Поставить или снять точку останова: «Выполнить» останавливается перед этим блоком",
           {QKeySequence(Qt::Key_F5)}, &TAlgEditorForm::AlgBreakpointExecute, CanBreak);
  AlgBreakpointCondition =
      Make("AlgBreakpointCondition", "&Условие остановки...",
           "Точка останова, которая срабатывает, только когда условие верно (например, I=5)",
           {QKeySequence("Ctrl+F5")}, &TAlgEditorForm::AlgBreakpointConditionExecute, CanBreak);
  mnuDocRun->addActions({AlgRun, AlgSlowRun, AlgStep, AlgStepBack, AlgStop});
  mnuDocRun->addSeparator();
  mnuDocRun->addActions({AlgBreakpoint, AlgBreakpointCondition});
  CreateCheckActions(Make);

  // The zoom where the pupil sees it: at the right of the window's bar.
  auto* Spacer = new QWidget(tbrAlg);
  Spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  tbrAlg->addWidget(Spacer);
  lblZoom = new QLabel(tbrAlg);
  lblZoom->setObjectName("lblZoom");
  lblZoom->setToolTip("Масштаб блок-схемы (Ctrl и колесо мыши, меню «Вид»)");
  lblZoom->setContentsMargins(4, 0, 8, 0);
  tbrAlg->addWidget(lblZoom);
  ShowZoom();
}

QList<QMenu*> TAlgEditorForm::GetMergedMenus() {
  return {mnuDocFile, mnuDocEdit, mnuDocView, mnuDocRun};
}

QList<QAction*> TAlgEditorForm::GetMergedToolActions() {
  return {EditUndo, EditRedo, AlgSlowRun, AlgStepBack, AlgCheck};
}

void TAlgEditorForm::ShowZoom() {
  lblZoom->setText(QString("%1 %").arg(FZoom));
}

void TAlgEditorForm::SetZoom(int Percent) {
  if (FChildView) {
    FChildView->AlgEditor->SetZoom(Percent);
    FZoom = FChildView->AlgEditor->GetZoom();
  }
  ShowZoom();
  UpdateActions();
}

void TAlgEditorForm::ZoomInExecute() {
  if (FChildView)
    FChildView->AlgEditor->ZoomIn();
}

void TAlgEditorForm::ZoomOutExecute() {
  if (FChildView)
    FChildView->AlgEditor->ZoomOut();
}

void TAlgEditorForm::ZoomNormalExecute() {
  SetZoom(100);
}

void TAlgEditorForm::ZoomChanged() {
  if (!FChildView)
    return;
  FZoom = FChildView->AlgEditor->GetZoom();
  ShowZoom();
  UpdateActions();
}

void TAlgEditorForm::EditUndoExecute() {
  if (GetRunning() || !FHistory->CanUndo())
    return;
  FHistory->Undo();
  AfterHistoryMove();
}

void TAlgEditorForm::EditRedoExecute() {
  if (GetRunning() || !FHistory->CanRedo())
    return;
  FHistory->Redo();
  AfterHistoryMove();
}

void TAlgEditorForm::AfterHistoryMove() {
  FAlgorithm->SetDirty(!FHistory->AtSavedPoint());
  if (FChildView && FAlgorithm->GetSelectedBlockCount() > 0)
    FChildView->AlgEditor->MakeVisible(FAlgorithm->GetSelectedBlocksProperty(0));
  if (MainForm)
    MainForm->RequestActionUpdate();
}

void TAlgEditorForm::FileExportExecute() {
  std::unique_ptr<QImage> Canvas;
  if (TAlgMachine* Machine = GetMachine()) {
    const TBitmap& Picture = Machine->GetCanvas().GetPicture();
    TBitmap Composed(Picture.GetWidth(), Picture.GetHeight());
    ComposeCanvasPicture(Composed, Machine->GetCanvas(), false);
    Canvas = std::make_unique<QImage>(BitmapToQImage(Composed));
  }
  ExportWithDialog(this, *FAlgorithm, Canvas.get(), GetFileName());
}

const TAlgBlock* TAlgEditorForm::BreakpointBlock() const {
  if (!FAlgorithm)
    return nullptr;
  const TAlgBlock* Block = nullptr;
  if (GetRunning())
    Block = GetMachine() ? GetMachine()->GetCurrentBlock() : nullptr;
  else if (FAlgorithm->GetSelectedBlockCount() == 1)
    Block = FAlgorithm->GetSelectedBlocksProperty(0);
  if (!Block || Block == FAlgorithm->GetRoot() || Block->GetKind() == TAlgBlockKind::Sequence)
    return nullptr;
  return Block;
}

void TAlgEditorForm::AlgBreakpointExecute() {
  const TAlgBlock* Block = BreakpointBlock();
  if (!Block)
    return;
  if (GetBreakpoints().Has(Block))
    GetBreakpoints().Remove(Block);
  else
    GetBreakpoints().Set(Block);
  ShowBreakpoints();
}

void TAlgEditorForm::AlgBreakpointConditionExecute() {
  const TAlgBlock* Block = BreakpointBlock();
  if (!Block)
    return;
  const std::string* Old = GetBreakpoints().Find(Block);
  std::string Condition = Old ? *Old : std::string();
  TInputStringOptions Options;
  if (!ExecInputString("Условие остановки",
                       "Остановиться перед блоком, когда верно условие (пусто: всегда):", Condition,
                       Options))
    return;
  GetBreakpoints().Set(Block, Condition);
  ShowBreakpoints();
}

void TAlgEditorForm::ShowBreakpoints() {
  if (auto* Debugger = dynamic_cast<TFlowjoggerForm*>(FChildView)) {
    Debugger->SetBreakpoints(GetBreakpoints().GetMarks());
  } else if (FChildView) {
    TChartMarkers Markers = FChildView->AlgEditor->GetMarkers();
    Markers.Breakpoints = GetBreakpoints().GetMarks();
    FChildView->AlgEditor->SetMarkers(Markers);
  }
}

void TAlgEditorForm::ViewProgramExecute() {
  FCodeVisible = !FCodeVisible;
  if (FChildView)
    FChildView->SetCodePaneVisible(FCodeVisible);
  ViewProgram->setChecked(FCodeVisible);
}

void TAlgEditorForm::FileSaveProgramExecute() {
  // FCodeLanguage follows the pane's choice.
  SaveProgramTextAs(this, *FAlgorithm, FCodeLanguage, GetHasFileName() ? GetFileName() : "");
}

void TAlgEditorForm::FilePrintExecute() {
  PrintWithPreview(this, *FAlgorithm,
                   QFile::decodeName(QByteArray::fromStdString(
                       std::filesystem::path(GetFileName()).filename().string())));
}

QPlainTextEdit* TAlgEditorForm::FocusedTextBox() const {
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(FChildView);
  return Constructor && focusWidget() == Constructor->memBlock ? Constructor->memBlock : nullptr;
}

void TAlgEditorForm::ChartContextMenu(QPoint Pos) {
  if (!FChildView || GetRunning() || !MainForm)
    return;
  TAlgEditor* Editor = FChildView->AlgEditor;
  TPoint P;
  TAlgBlock* Block = Editor->GetBlockAt(Pos, P);
  if (Block && Block->GetKind() == TAlgBlockKind::Sequence)
    Block = nullptr; // the free place of a sequence
  if (!Block || !Block->GetSelected()) {
    TModifyGuard Guard(*FAlgorithm);
    FAlgorithm->UnselectAll();
    if (Block)
      Block->SetSelected(true);
  }
  Editor->setFocus(Qt::PopupFocusReason);
  MainForm->UpdateActions();
  QMenu Menu(this);
  Menu.setObjectName("mnuChartContext");
  if (Block)
    Menu.addActions(
        {MainForm->EditCut, MainForm->EditCopy, MainForm->EditPaste, MainForm->EditDelete});
  else
    Menu.addAction(MainForm->EditPaste);
  Menu.exec(Editor->mapToGlobal(Pos));
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
  if (Debugger())
    SaveDebuggerSettings();
  delete FChildView;
  FChildView = nullptr;
}

void TAlgEditorForm::InternalSetRunning(bool Running) {
  // The view's zoom and scroll position stay through the switch.
  int ScrollX = 0, ScrollY = 0;
  const bool KeepScroll = FChildView != nullptr;
  if (FChildView) {
    ScrollX = FChildView->sbxAlg->GetHorzPosition();
    ScrollY = FChildView->sbxAlg->GetVertPosition();
    FCodeSplitter = FChildView->splCode->saveState();
  }
  // A typing run in the text box ends with the view that held it.
  if (FHistory)
    FHistory->CloseTypingRun();
  // The view leaves the machine before the machine goes.
  FreeChildView();
  GetSession().Reset();
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
        GetSession().Start();
        FChildView = Debugger = new TFlowjoggerForm(nullptr);
      } else {
        FChildView = new TAlgConstructorForm(nullptr);
      }
      FChildView->SetAlgorithm(FAlgorithm.get());
      if (Running) {
        Debugger->SetMachine(GetMachine());
        Debugger->SetPanelWidth(FPanelWidth);
        Debugger->OnPanelWidthChanged = [this](TFlowjoggerForm&, int Width) {
          FPanelWidth = Width;
        };
        Debugger->WatchesFrame->OnSelectVariable = [this](TWatchFrame&, const std::string& Name) {
          ShowVarOrigin(Name);
        };
      }
      FChildView->setParent(pnlMain, Qt::Widget);
      pnlMain->layout()->addWidget(FChildView);
      TAlgEditor* Editor = FChildView->AlgEditor;
      Editor->OnZoomChange = [this](TAlgEditor&) { ZoomChanged(); };
      if (FZoom != 100)
        Editor->SetZoom(FZoom);
      TCodePane* Code = FChildView->GetCodePane();
      Code->SetLanguage(FCodeLanguage);
      Code->OnLanguageChange = [this](TCodeLanguage Language) { FCodeLanguage = Language; };
      if (!FCodeSplitter.isEmpty())
        FChildView->splCode->restoreState(FCodeSplitter);
      FChildView->SetCodePaneVisible(FCodeVisible);
      ShowBreakpoints();
      if (!Running) {
        Editor->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(Editor, &QWidget::customContextMenuRequested, this,
                [this](QPoint Pos) { Command([this, Pos] { ChartContextMenu(Pos); }); });
        if (auto* Constructor = dynamic_cast<TAlgConstructorForm*>(FChildView))
          Constructor->memBlock->installEventFilter(this);
      }
      FChildView->show();
      if (KeepScroll) {
        // Once the new view is laid out in the window.
        QPointer<TAlgForm> View = FChildView;
        QMetaObject::invokeMethod(
            this,
            [View, ScrollX, ScrollY] {
              if (View) {
                View->sbxAlg->SetHorzPosition(ScrollX);
                View->sbxAlg->SetVertPosition(ScrollY);
              }
            },
            Qt::QueuedConnection);
      }
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
    GetSession().Reset();
    throw;
  }
}

void TAlgEditorForm::SetRunning(bool Value) {
  FRun->SetRunMode(Value);
}

void TAlgEditorForm::SwitchView(bool Running) {
  InternalSetRunning(Running);
}

TFlowjoggerForm* TAlgEditorForm::Debugger() const {
  return dynamic_cast<TFlowjoggerForm*>(FChildView);
}

void TAlgEditorForm::MachineChanged(TAlgMachine* Machine) {
  if (Machine)
    Machine->AddInteractionListener(&FInteractionNotify);
  if (TFlowjoggerForm* View = Debugger())
    View->SetMachine(Machine);
}

bool TAlgEditorForm::MachineReady() const {
  return GetMachine() && GetSession().GetState() == TDebugState::Paused;
}

void TAlgEditorForm::Sync() {
  TAlgMachine* Machine = GetMachine();
  if (!Machine)
    return;
  if (Machine->GetState() == amsError)
    FAlgorithm->GetColorScheme().SetSelectedBlockColor(clRed);
  if (TFlowjoggerForm* View = Debugger())
    View->SelectCurrentBlock();
}

void TAlgEditorForm::InteractionNotify(TObject*) {
  Sync();
}

void TAlgEditorForm::ShowStatus() {
  if (TFlowjoggerForm* View = Debugger())
    View->ShowRunStatus(GetRunStatus());
  // The run's state changed without any input: the shell's own commands
  // (Save, Close, the Edit menu) are brought up to date too.
  if (MainForm)
    MainForm->RequestActionUpdate();
}

void TAlgEditorForm::ShowProgress() {
  ShowStatus();
  if (GetSlowRun())
    ShowVarOrigin("");
}

void TAlgEditorForm::StateChanged() {
  UpdateActions();
}

bool TAlgEditorForm::DialogOpen() const {
  return QApplication::activeModalWidget() != nullptr;
}

void TAlgEditorForm::Close(bool MainWindow) {
  if (MainWindow && MainForm)
    MainForm->close();
  else
    close();
}

void TAlgEditorForm::AlgRunExecute() {
  FRun->Run();
}

void TAlgEditorForm::CancelInput() {
  if (auto* Input = qobject_cast<TInputStringForm*>(QApplication::activeModalWidget()))
    Input->reject();
}

void TAlgEditorForm::ShowOutcome(TAlgRunPhase Phase, const std::string& Error) {
  Sync();
  ShowStatus();
  if (TFlowjoggerForm* View = Debugger()) {
    // Beside the message: the values the failing line read and what the
    // message leaves out; at a breakpoint, why its condition failed.
    std::string Explanation = GetSession().GetBreakReason();
    if (GetSession().GetState() == TDebugState::Failed && !GetSession().GetStoppedByUser())
      Explanation = GetSession().GetErrorExplanation().Text();
    View->ShowExplanation(Explanation);
    ShowVarOrigin(View->WatchesFrame->SelectedName());
  }
  UpdateActions();
  if (Phase == rpError)
    ShowErrorMessage(Error);
}

void TAlgEditorForm::ShowChangedVars(bool AfterStep) {
  if (TFlowjoggerForm* View = Debugger())
    View->WatchesFrame->SetChangedNames(AfterStep ? GetSession().GetChangedVars()
                                                  : std::vector<std::string>());
}

void TAlgEditorForm::ShowVarOrigin(const std::string& Name) {
  TFlowjoggerForm* View = Debugger();
  if (!View)
    return;
  TVarOrigin Origin;
  // While a run goes the origin would cost a replay at every update.
  if (Name.empty() || GetInRun() || GetSlowRun() || !GetSession().GetVarOrigin(Name, Origin)) {
    View->SetOriginBlock(nullptr);
    View->WatchesFrame->ShowNote("");
    return;
  }
  View->SetOriginBlock(Origin.Block);
  View->WatchesFrame->ShowNote(
      Format("Переменная %s получила значение на шаге %lld (блок отмечен синим).", Name.c_str(),
             static_cast<long long>(Origin.Step)));
}

void TAlgEditorForm::AlgRunUpdate(TAction& Action) {
  Action.setEnabled(FRun->CanRun());
}

void TAlgEditorForm::AlgStepExecute() {
  FRun->Step();
}

void TAlgEditorForm::AlgStepUpdate(TAction& Action) {
  AlgRunUpdate(Action);
}

void TAlgEditorForm::AlgSlowRunExecute() {
  FRun->SlowRun();
}

void TAlgEditorForm::SetSlowSpeed(int StepsPerSecond) {
  FSlowSpeed = std::clamp(StepsPerSecond, 1, 50);
  if (sldSpeed->value() != FSlowSpeed)
    sldSpeed->setValue(FSlowSpeed);
  lblSpeed->setText(QString("%1 шаг/с").arg(FSlowSpeed));
  FRun->SetSlowSpeed(FSlowSpeed);
}

void TAlgEditorForm::AlgStepBackExecute() {
  FRun->StepBack();
}

void TAlgEditorForm::StartDebugAt(int64_t Steps, std::unique_ptr<IInputProvider> Script) {
  FRun->StartDebugAt(Steps, std::move(Script));
}

void TAlgEditorForm::LoadDebuggerSettings() {
  if (!MainForm || !MainForm->GetSettings())
    return;
  const TIniFile& Settings = *MainForm->GetSettings();
  auto Read = [&Settings](const char* Key, int Default, int Low, int High) {
    try {
      return std::clamp(std::stoi(Settings.ReadString("Debugger", Key, std::to_string(Default))),
                        Low, High);
    } catch (const std::exception&) {
      return Default;
    }
  };
  FSavedPanelWidth = FPanelWidth =
      Read("PanelWidth", TFlowjoggerForm::DefaultPanelWidth, TFlowjoggerForm::DefaultPanelWidth,
           TFlowjoggerForm::MaxPanelWidth);
  FSavedSlowSpeed = FSlowSpeed = Read("SlowSpeed", 5, 1, 50);
}

void TAlgEditorForm::SaveDebuggerSettings() {
  if (!MainForm || !MainForm->GetSettings() ||
      (FPanelWidth == FSavedPanelWidth && FSlowSpeed == FSavedSlowSpeed))
    return;
  try {
    MainForm->GetSettings()->WriteStrings("Debugger", {{"PanelWidth", std::to_string(FPanelWidth)},
                                                       {"SlowSpeed", std::to_string(FSlowSpeed)}});
    FSavedPanelWidth = FPanelWidth;
    FSavedSlowSpeed = FSlowSpeed;
  } catch (const std::exception&) {
    // The settings file cannot be written: the shell has said so when it
    // read it; the widths of this session stay.
  }
}

void TAlgEditorForm::AlgStopExecute() {
  const bool ToEditing = FRun->GetState() == TRunState::Stepping;
  FRun->Stop();
  if (!ToEditing || GetRunning() || FAlgorithm->GetSelectedBlockCount() != 1)
    return;
  // Back to editing: the text box of the selected block takes the keys.
  if (auto* Constructor = dynamic_cast<TAlgConstructorForm*>(FChildView))
    try {
      Constructor->memBlock->setFocus(Qt::OtherFocusReason);
    } catch (...) {
      // Focus comes back with the window.
    }
}

void TAlgEditorForm::AlgStopUpdate(TAction& Action) {
  Action.setEnabled(FRun->CanStop());
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
  if (QPlainTextEdit* Text = FocusedTextBox())
    return Text->textCursor().hasSelection();
  return !GetRunning() && !AlgBlocksToCopy(*FAlgorithm).empty();
}

bool TAlgEditorForm::CanPaste() {
  if (QPlainTextEdit* Text = FocusedTextBox())
    return Text->canPaste();
  return FChildView && !GetRunning() && FClipboardHasBlocks;
}

void TAlgEditorForm::CopySelection() {
  if (QPlainTextEdit* Text = FocusedTextBox())
    Text->copy();
  else if (!GetRunning())
    CopyBlocksToClipboard(*FAlgorithm);
}

void TAlgEditorForm::CutSelection() {
  if (QPlainTextEdit* Text = FocusedTextBox())
    Text->cut();
  else if (!GetRunning() && CopyBlocksToClipboard(*FAlgorithm))
    FAlgorithm->DeleteSelection();
}

void TAlgEditorForm::Paste() {
  if (QPlainTextEdit* Text = FocusedTextBox()) {
    Text->paste();
    return;
  }
  if (GetRunning())
    return;
  try {
    PasteBlocksFromClipboard(*FAlgorithm);
  } catch (const std::exception& E) {
    ShowException(E);
    return;
  }
  if (FChildView && FAlgorithm->GetSelectedBlockCount() > 0)
    FChildView->AlgEditor->MakeVisible(FAlgorithm->GetSelectedBlocksProperty(0));
}

std::string TAlgEditorForm::HelpTopic() {
  const TAlgBlock* Block =
      FAlgorithm->GetSelectedBlockCount() == 1 ? FAlgorithm->GetSelectedBlocksProperty(0) : nullptr;
  return HelpTopicOfBlock(Block ? Block->ClassName() : "").toStdString();
}

bool TAlgEditorForm::CanCut() {
  if (QPlainTextEdit* Text = FocusedTextBox())
    return Text->textCursor().hasSelection() && !Text->isReadOnly();
  return CanCopy();
}

bool TAlgEditorForm::GetModified() {
  return FAlgorithm->GetDirty();
}

void TAlgEditorForm::SetModified(bool Value) {
  FAlgorithm->SetDirty(Value);
  // Saved: undoing back to here makes the document unmodified again.
  if (!Value && FHistory)
    FHistory->MarkSaved();
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
  // A file opened starts a history of its own.
  FHistory->Reset();
}

void TAlgEditorForm::closeEvent(QCloseEvent* Event) {
  // While the machine waits in the input dialog below us the close is
  // held: the dialog is cancelled, the run ends, and the window closes once
  // it has left. Otherwise a run or a check ends as F2 ends it.
  if (!FRun->RequestClose(false)) {
    Event->ignore();
    return;
  }
  TEditorForm::closeEvent(Event);
}

bool TAlgEditorForm::eventFilter(QObject* Watched, QEvent* Event) {
  // Ctrl+Z in the text box undoes its own typing while it has any; after
  // that (the typing committed as a step) the flowchart's history answers.
  if (Event->type() == QEvent::ShortcutOverride) {
    auto* Text = qobject_cast<QPlainTextEdit*>(Watched);
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (Text && ((Key->matches(QKeySequence::Undo) && !Text->document()->isUndoAvailable()) ||
                 (Key->matches(QKeySequence::Redo) && !Text->document()->isRedoAvailable()))) {
      Event->ignore();
      return true;
    }
  }
  if (Watched == MainForm && Event->type() == QEvent::Close && !FRun->RequestClose(true)) {
    Event->ignore();
    return true;
  }
  return TEditorForm::eventFilter(Watched, Event);
}

// Checking by the teacher's tests.

void TAlgEditorForm::CreateCheckActions(const TMakeAction& Make) {
  AlgCheck = Make("AlgCheck", "Про&верить",
                  "Проверить алгоритм на тестах учителя: все случаи подряд, итог под схемой",
                  {QKeySequence("Ctrl+F9")}, &TAlgEditorForm::AlgCheckExecute,
                  [this] { return FChildView && FRun->CanCheck(); });
  AlgCheck->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
  FileChooseTests = Make("FileChooseTests", "Выбрать &тесты...",
                         "Выбрать файл тестов, по которому «Проверить» проверяет этот алгоритм", {},
                         &TAlgEditorForm::FileChooseTestsExecute, [this] { return !FRun->Busy(); });
  mnuDocRun->addSeparator();
  mnuDocRun->addAction(AlgCheck);
  mnuDocFile->insertAction(FilePrint, FileChooseTests);
  mnuDocFile->insertSeparator(FilePrint);
}

void TAlgEditorForm::CreateCheckPanel() {
  // Below the chart, outside the view that Run and Stop replace, so the
  // results stay through them.
  splCheck = new QSplitter(Qt::Vertical, this);
  splCheck->setObjectName("splCheck");
  splCheck->setChildrenCollapsible(false);
  delete layout()->replaceWidget(pnlMain, splCheck);
  splCheck->addWidget(pnlMain);
  pnlCheck = new TCheckPanel(splCheck);
  pnlCheck->setMinimumHeight(120);
  splCheck->addWidget(pnlCheck);
  splCheck->setStretchFactor(0, 3);
  splCheck->setStretchFactor(1, 1);
  pnlCheck->hide();
  pnlCheck->OnDebugCase = [this](int Index) {
    Command([this, Index] {
      // A copy: the debugging may start the check again.
      const TCaseResult Case = pnlCheck->GetResults().at(static_cast<size_t>(Index));
      DebugCase(Case);
    });
  };
  pnlCheck->OnClose = [this] {
    if (FRun->Checking())
      FRun->Stop();
  };
}

std::string TAlgEditorForm::GetTestFileName() const {
  if (!FChosenTests.empty())
    return FChosenTests;
  return GetHasFileName() ? FindTestFile(GetFileName()) : std::string();
}

void TAlgEditorForm::FileChooseTestsExecute() {
  std::string Folder = FChosenTests.empty() ? GetFileName() : FChosenTests;
  Folder = GetHasFileName() || !FChosenTests.empty()
               ? std::filesystem::path(Folder).parent_path().string()
               : std::string();
  QFileDialog Dialog(this, "Выбрать тесты", QFile::decodeName(QByteArray::fromStdString(Folder)),
                     "Тесты (*.tests);;Все файлы (*)");
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(QFileDialog::ExistingFile);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
    return;
  FChosenTests = QFile::encodeName(Dialog.selectedFiles().constFirst()).toStdString();
}

void TAlgEditorForm::AlgCheckExecute() {
  if (!FRun->CanCheck())
    return;
  const std::string FileName = GetTestFileName();
  if (FileName.empty()) {
    const std::string Where =
        GetHasFileName()
            ? "искали «" +
                  VisibleText(
                      std::filesystem::path(GetFileName()).replace_extension(".tests").string()) +
                  "» рядом с алгоритмом"
            : "алгоритм ещё не сохранён, и искать тесты рядом с ним негде";
    throw Exception("Файл тестов не найден: " + Where +
                    ". Выберите файл тестов: «Файл» → «Выбрать тесты...».");
  }
  // A mistake in the file is reported with its name and line.
  TTestFile Tests = ReadTestFile(FileName);
  if (!pnlCheck->isVisible()) {
    pnlCheck->show();
    const int Height = splCheck->height();
    splCheck->setSizes({Height * 3 / 5, Height - Height * 3 / 5});
  }
  FRun->StartCheck(std::move(Tests));
}

void TAlgEditorForm::CheckBegun(const TTestFile& Tests) {
  pnlCheck->BeginCheck(Tests.FileName, static_cast<int>(Tests.Cases.size()));
}

void TAlgEditorForm::CasesChecked(const std::vector<TCaseResult>& Results) {
  pnlCheck->AddResults(Results);
}

void TAlgEditorForm::CheckEnded(bool Stopped) {
  if (Stopped)
    pnlCheck->StopCheck();
  UpdateActions();
}

void TAlgEditorForm::DebugCase(const TCaseResult& Case) {
  if (Case.Hidden || Case.Passed() || Case.StopStep < 0 || FRun->Busy())
    return;
  // A fresh machine from the beginning, the case answering its own
  // questions as the check did; stepping back and on reuses them.
  StartDebugAt(Case.StopStep, std::make_unique<TCaseAnswerList>(Case.Answers));
  if (TFlowjoggerForm* View = Debugger())
    // What stays true as the pupil steps on: which case, and what went wrong.
    View->ShowExplanation("Отладка случая " + CheckQuoted(Case.CaseName) + ": " +
                          PupilDescription(Case) + ".");
}

} // namespace Deskbay
