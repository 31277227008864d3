#include "Flowapp_EditorForm.h"

#include "Flowapp_ChartOutput.h"
#include "Flowapp_CheckPanel.h"
#include "Flowapp_Clipboard.h"
#include "Flowapp_Images.h"
#include "Flowapp_ProgramImport.h"
#include "Flowapp_RunErrorBox.h"
#include "Flowapp_TaskPanel.h"

#include "Environment/Environment_Help.h"
#include "Environment/Environment_MenuMerger.h"
#include "Environment/Environment_Shell.h"
#include "Environment/ErrorDisplay.h"
#include "Environment/ShellCommandIds.h"
#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/Flowcheck_Task.h"
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
#include "Flowmodel/Flowmodel_ChartStops.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_History.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
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
  NameToolBar(tbrAlg, QStringLiteral("Алгоритм"));
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
  FClipboardHasBlocks = ClipboardHoldsBlocksOrText();
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
    FClipboardHasBlocks = ClipboardHoldsBlocksOrText();
    UpdateActions();
  });
  CreateForm();
  InternalSetRunning(false);
  setWindowState(windowState() | Qt::WindowMaximized);

  // Like the shell's own commands, ours are brought up to date when the
  // shell updates its commands; what the run changes updates them at once.
  GetShell().ConnectIdle(this, [this] { UpdateActions(); });
  GetShell().GetShellWindow()->installEventFilter(this);
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
  delete FForm;
  FForm = nullptr;
  GetSession().OnMachineChange = nullptr;
  FRun.reset();
  FHistory.reset();
  FAlgorithm.reset();
}

void TAlgEditorForm::CreateActions() {
  ActionList = new TActionList(this);
  auto Run = [this](void (TAlgEditorForm::*Update)(TAction&)) {
    return [this, Update](TAction& A) { (this->*Update)(A); };
  };
  const TAlgEditorImages& Images = AlgEditorImages();
  AlgRun = AddCommand({.Id = "AlgRun",
                       .Caption = "Запустить",
                       .Hint = "Запустить|Запустить",
                       .Keys = {QKeySequence(Qt::Key_F9)},
                       .Icon = Images.Icon(0),
                       .Category = "Algorithm",
                       .Execute = [this] { AlgRunExecute(); },
                       .Update = Run(&TAlgEditorForm::AlgRunUpdate)});
  AlgStop = AddCommand({.Id = "AlgStop",
                        .Caption = "Остановить",
                        .Hint = "Остановить|Остановить",
                        .Keys = {QKeySequence(Qt::Key_F2)},
                        .Icon = Images.Icon(2),
                        .Category = "Algorithm",
                        .Execute = [this] { AlgStopExecute(); },
                        .Update = Run(&TAlgEditorForm::AlgStopUpdate)});
  AlgStep = AddCommand({.Id = "AlgStep",
                        .Caption = "Выполнить один шаг",
                        .Hint = "Выполнить один шаг|Выполнить один шаг",
                        .Keys = {QKeySequence(Qt::Key_F8)},
                        .Icon = Images.Icon(4),
                        .Category = "Algorithm",
                        .Execute = [this] { AlgStepExecute(); },
                        .Update = Run(&TAlgEditorForm::AlgStepUpdate)});
  AlgSlowRun = AddCommand({.Id = "AlgSlowRun",
                           .Caption = "Выполнять по шагам автоматически",
                           .Hint = "Выполнять по шагам автоматически|Выполнять шаг за шагом со "
                                   "скоростью, заданной ползунком; F8 переходит к шагам вручную",
                           .Keys = {QKeySequence(Qt::SHIFT | Qt::Key_F9)},
                           .Icon = style()->standardIcon(QStyle::SP_MediaSeekForward),
                           .Category = "Algorithm",
                           .Execute = [this] { AlgSlowRunExecute(); },
                           .Update = Run(&TAlgEditorForm::AlgRunUpdate)});
  AlgStepBack =
      AddCommand({.Id = "AlgStepBack",
                  .Caption = "Шаг назад",
                  .Hint = "Шаг назад|Вернуться на шаг назад: переменные, вывод и холст как были",
                  .Keys = {QKeySequence(Qt::SHIFT | Qt::Key_F8)},
                  .Icon = style()->standardIcon(QStyle::SP_MediaSkipBackward),
                  .Category = "Algorithm",
                  .Execute = [this] { AlgStepBackExecute(); },
                  .Update = [this](TAction& A) { A.setEnabled(FRun->CanStepBack()); }});

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
  sldSpeed->setAccessibleName("Скорость выполнения по шагам, шагов в секунду");
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

TAction* TAlgEditorForm::AddCommand(TActionInfo Info) {
  // Every command of the window goes through Command: an error is shown,
  // and the commands are brought up to date after it.
  if (Info.Execute)
    Info.Execute = [this, Execute = std::move(Info.Execute)] { Command(Execute); };
  return MakeAction(this, *ActionList, Info, this);
}

void TAlgEditorForm::CreateDocumentMenus() {
  namespace Id = ShellIds;
  auto Editing = [this] { return FChildView && !GetRunning(); };
  QStyle* S = style();
  EditUndo = AddCommand(
      {.Id = "EditUndo",
       .Caption = "&Отменить",
       .Hint = "Отменить последнее изменение",
       .Keys = QKeySequence::keyBindings(QKeySequence::Undo),
       .Icon = QIcon::fromTheme("edit-undo", S->standardIcon(QStyle::SP_ArrowBack)),
       .Execute = [this] { EditUndoExecute(); },
       .Enabled = [this, Editing] { return Editing() && FHistory && FHistory->CanUndo(); }});
  EditRedo = AddCommand(
      {.Id = "EditRedo",
       .Caption = "&Повторить",
       .Hint = "Повторить отменённое изменение",
       .Keys = {QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")},
       .Icon = QIcon::fromTheme("edit-redo", S->standardIcon(QStyle::SP_ArrowForward)),
       .Execute = [this] { EditRedoExecute(); },
       .Enabled = [this, Editing] { return Editing() && FHistory && FHistory->CanRedo(); }});

  auto HasView = [this] { return FChildView != nullptr; };
  ViewZoomIn = AddCommand(
      {.Id = "ViewZoomIn",
       .Caption = "У&величить",
       .Hint = "Увеличить блок-схему",
       .Keys = {QKeySequence(QKeySequence::ZoomIn), QKeySequence("Ctrl+=")},
       .Execute = [this] { ZoomInExecute(); },
       .Enabled = [this, HasView] { return HasView() && FZoom < TAlgEditor::ZoomSteps[11]; }});
  ViewZoomOut = AddCommand(
      {.Id = "ViewZoomOut",
       .Caption = "У&меньшить",
       .Hint = "Уменьшить блок-схему",
       .Keys = {QKeySequence(QKeySequence::ZoomOut)},
       .Execute = [this] { ZoomOutExecute(); },
       .Enabled = [this, HasView] { return HasView() && FZoom > TAlgEditor::ZoomSteps[0]; }});
  ViewZoomNormal = AddCommand({.Id = "ViewZoomNormal",
                               .Caption = "&Обычный размер",
                               .Hint = "Блок-схема в натуральную величину",
                               .Keys = {QKeySequence("Ctrl+0")},
                               .Execute = [this] { ZoomNormalExecute(); },
                               .Enabled = [this, HasView] { return HasView() && FZoom != 100; }});
  FileExportPicture =
      AddCommand({.Id = "FileExportPicture",
                  .Caption = "&Экспорт рисунка...",
                  .Hint = "Сохранить блок-схему (или холст) как рисунок SVG, PNG или документ PDF",
                  .Execute = [this] { FileExportExecute(); },
                  .Enabled = HasView});
  FilePrint = AddCommand({.Id = "FilePrint",
                          .Caption = "&Печать...",
                          .Hint = "Напечатать блок-схему",
                          .Keys = {QKeySequence(QKeySequence::Print)},
                          .Execute = [this] { FilePrintExecute(); },
                          .Enabled = HasView});

  ViewProgram =
      AddCommand({.Id = "ViewProgram",
                  .Caption = "&Программа",
                  .Hint = "Показать рядом с блок-схемой её программу на Python, Pascal или C++",
                  .Keys = {QKeySequence("Ctrl+Shift+P")},
                  .Execute = [this] { ViewProgramExecute(); },
                  .Enabled = [this, HasView] { return HasView() && ProgramTextAllowed(); }});
  ViewProgram->setCheckable(true);
  FileOpenProgram =
      AddCommand({.Id = "FileOpenProgram",
                  .Caption = "Открыть про&грамму...",
                  .Hint = "Открыть программу на Python или Pascal как новую блок-схему",
                  .Execute = [this] { OpenProgramFromDialog(*this); }});
  ViewHighContrast = AddCommand(
      {.Id = "ViewHighContrast",
       .Caption = "&Высокая контрастность",
       .Hint = "Блок-схема, отметки выполнения и переменные в цветах высокой контрастности",
       .Execute = [this] { ViewHighContrastExecute(); }});
  ViewHighContrast->setCheckable(true);
  ViewHighContrast->setChecked(FHighContrast);
  FileSaveProgram =
      AddCommand({.Id = "FileSaveProgram",
                  .Caption = "Сохранить п&рограмму как...",
                  .Hint = "Сохранить программу блок-схемы на Python, Pascal или C++",
                  .Execute = [this] { FileSaveProgramExecute(); },
                  .Enabled = [this, HasView] { return HasView() && ProgramTextAllowed(); }});

  // The menus join the shell's by id and group (Environment_MenuMerger.h).
  mnuDocFile = new QMenu("&Файл", this);
  mnuDocFile->setObjectName(Id::MenuFile);
  SetMergeGroup(mnuDocFile, Id::GroupFileExport);
  mnuDocFile->addActions({FileOpenProgram, FileSaveProgram, FileExportPicture, FilePrint});
  mnuDocEdit = new QMenu("&Правка", this);
  mnuDocEdit->setObjectName(Id::MenuEdit);
  SetMergeGroup(mnuDocEdit, Id::GroupEditUndo);
  mnuDocEdit->addActions({EditUndo, EditRedo});
  // Blocks by keyboard: at the chart's cursor, as the palette places them.
  auto Constructor = [this]() -> TAlgConstructorForm* {
    return GetRunning() ? nullptr : dynamic_cast<TAlgConstructorForm*>(FChildView);
  };
  auto CanInsert = [Constructor] { return Constructor() != nullptr; };
  mnuDocEdit->addSeparator();
  mnuDocEdit->addAction(AddCommand(
      {.Id = "EditInsertBlock",
       .Caption = "&Добавить блок...",
       .Hint = "Добавить блок в место под курсором блок-схемы или после выделенного блока|"
               "Добавить блок: список видов (цифра выбирает); Alt+1 … Alt+6 добавляют сразу",
       .Keys = {QKeySequence(Qt::Key_Insert)},
       .Execute =
           [Constructor] {
             if (TAlgConstructorForm* C = Constructor())
               C->InsertBlockDialog();
           },
       .Enabled = CanInsert}));
  QMenu* mnuInsertKind = mnuDocEdit->addMenu("Добавить блок &вида");
  const std::vector<TAlgBlockKind> Kinds = AlgInsertableKinds();
  for (size_t I = 0; I < Kinds.size(); ++I) {
    const TAlgBlockKind Kind = Kinds[I];
    const QString Name = QString::fromUtf8(AlgBlockKindInfo(Kind).Name);
    static const char* const Ids[] = {"EditInsertBlock1", "EditInsertBlock2", "EditInsertBlock3",
                                      "EditInsertBlock4", "EditInsertBlock5", "EditInsertBlock6"};
    mnuInsertKind->addAction(
        AddCommand({.Id = I < std::size(Ids) ? Ids[I] : "EditInsertBlockKind",
                    .Caption = QStringLiteral("&%1 %2").arg(I + 1).arg(Name),
                    .Hint = "Добавить блок «" + Name + "» в место под курсором блок-схемы",
                    .Keys = {QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + int(I)))},
                    .Execute =
                        [Constructor, Kind] {
                          if (TAlgConstructorForm* C = Constructor())
                            C->InsertBlock(Kind);
                        },
                    .Enabled = CanInsert}));
  }
  mnuDocView = new QMenu("&Вид", this);
  mnuDocView->setObjectName(Id::MenuView);
  mnuDocView->addActions({ViewZoomIn, ViewZoomOut, ViewZoomNormal});
  mnuDocView->addSeparator();
  mnuDocView->addAction(ViewProgram);
  mnuDocView->addAction(ViewHighContrast);
  mnuDocRun = new QMenu("В&ыполнение", this);
  mnuDocRun->setObjectName(Id::MenuRun);
  auto CanBreak = [this] { return !FRun->InRun() && BreakpointBlock() != nullptr; };
  AlgBreakpoint = AddCommand(
      {.Id = "AlgBreakpoint",
       .Caption = "&Точка останова",
       .Hint = "Поставить или снять точку останова: «Выполнить» останавливается перед этим блоком",
       .Keys = {QKeySequence(Qt::Key_F5)},
       .Execute = [this] { AlgBreakpointExecute(); },
       .Enabled = CanBreak});
  AlgBreakpointCondition = AddCommand(
      {.Id = "AlgBreakpointCondition",
       .Caption = "&Условие остановки...",
       .Hint = "Точка останова, которая срабатывает, только когда условие верно (например, I=5)",
       .Keys = {QKeySequence("Ctrl+F5")},
       .Execute = [this] { AlgBreakpointConditionExecute(); },
       .Enabled = CanBreak});
  mnuDocRun->addActions({AlgRun, AlgSlowRun, AlgStep, AlgStepBack, AlgStop});
  mnuDocRun->addSeparator();
  mnuDocRun->addActions({AlgBreakpoint, AlgBreakpointCondition});
  CreateCheckActions();

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
  GetShell().RequestActionUpdate();
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
  FForm->SetCodePaneVisible(!FForm->IsCodePaneVisible());
  ViewProgram->setChecked(FForm->IsCodePaneVisible());
}

void TAlgEditorForm::FileSaveProgramExecute() {
  // The program as the pane shows it: its language and its style.
  const TCodePane* Pane = FForm->GetCodePane();
  SaveProgramTextAs(this, *FAlgorithm, Pane->GetLanguage(), GetHasFileName() ? GetFileName() : "",
                    Pane->GetStyle());
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
  if (!FChildView || GetRunning())
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
  IShell& Shell = GetShell();
  Shell.UpdateActions();
  QMenu Menu(this);
  Menu.setObjectName("mnuChartContext");
  if (Block)
    Menu.addActions({Shell.FindCommand(ShellIds::EditCut), Shell.FindCommand(ShellIds::EditCopy),
                     Shell.FindCommand(ShellIds::EditPaste),
                     Shell.FindCommand(ShellIds::EditDelete)});
  else
    Menu.addAction(Shell.FindCommand(ShellIds::EditPaste));
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
  ShowTaskBreaches();
  UpdateAllActions(*ActionList);
  // QToolButton takes the action's texts; the Run button keeps its own.
  // Set only when they differ: each change is an event a screen reader
  // hears.
  if (tbRun->text() != "Выполнить")
    tbRun->setText("Выполнить");
  if (tbRun->toolTip() != "Выполнить")
    tbRun->setToolTip("Выполнить");
  ShowStopButton();
}

void TAlgEditorForm::FreeChildView() {
  if (Debugger())
    SaveDebuggerSettings();
  delete FChildView;
  FChildView = nullptr;
}

void TAlgEditorForm::CreateForm() {
  // The chart, its scroll box, the splitter and the code pane live as long
  // as the window; Run and Stop change only the form over them.
  FForm = new TAlgForm(pnlMain);
  FForm->setObjectName("AlgHostForm");
  pnlMain->layout()->addWidget(FForm);
  FForm->SetAlgorithm(FAlgorithm.get());
  TAlgEditor* Editor = FForm->AlgEditor;
  Editor->OnZoomChange = [this](TAlgEditor&) { ZoomChanged(); };
  connect(Editor, &QWidget::customContextMenuRequested, this,
          [this](QPoint Pos) { Command([this, Pos] { ChartContextMenu(Pos); }); });
}

void TAlgEditorForm::InternalSetRunning(bool Running) {
  // A typing run in the text box ends with the form that held it.
  if (FHistory)
    FHistory->CloseTypingRun();
  // The form leaves the machine before the machine goes.
  FreeChildView();
  GetSession().Reset();
  try {
    FAlgorithm->BeginModify();
    try {
      if (Running)
        FAlgorithm->UnselectAll();
      ApplyColorScheme(Running);
      TAlgEditor* Editor = FForm->AlgEditor;
      // The chart's own context menu is editing's.
      Editor->setContextMenuPolicy(Running ? Qt::DefaultContextMenu : Qt::CustomContextMenu);
      if (Running) {
        GetSession().Start();
        auto* Debugger = new TFlowjoggerForm(*FForm);
        FChildView = Debugger;
        Debugger->SetAlgorithm(FAlgorithm.get());
        Debugger->SetMachine(GetMachine());
        Debugger->SetPanelWidth(FPanelWidth);
        Debugger->OnPanelWidthChanged = [this](TFlowjoggerForm&, int Width) {
          FPanelWidth = Width;
        };
        Debugger->WatchesFrame->OnSelectVariable = [this](TWatchFrame&, const std::string& Name) {
          ShowVarOrigin(Name);
        };
        Debugger->SetHighContrast(FHighContrast);
      } else {
        auto* Constructor = new TAlgConstructorForm(*FForm);
        FChildView = Constructor;
        Constructor->SetAlgorithm(FAlgorithm.get());
        Constructor->memBlock->installEventFilter(this);
      }
      ShowBreakpoints();
      FChildView->ShowOverHost();
      if (Running)
        SetRunTabOrder();
      if (!Running && FAlgorithm->GetSelectedBlockCount() == 1)
        Editor->MakeVisible(FAlgorithm->GetSelectedBlocksProperty(0));
      try {
        Editor->setFocus(Qt::OtherFocusReason);
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
  GetShell().RequestActionUpdate();
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
  if (MainWindow)
    GetShell().CloseShell();
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
  if (Phase == rpError) {
    // The box explains what the panel explains, when the error is the
    // session's own (not one of the window's).
    const TAlgDebugSession& Session = GetSession();
    const bool Explained = Session.GetState() == TDebugState::Failed &&
                           !Session.GetStoppedByUser() && Session.GetErrorMessage() == Error;
    ShowErrorMessage(
        RunErrorBoxText(Error, Explained ? Session.GetErrorExplanation() : TErrorExplanation()));
  }
}

void TAlgEditorForm::Announce(const std::string& Text) {
  if (TFlowjoggerForm* View = Debugger())
    View->Announce(Text);
}

void TAlgEditorForm::ApplyColorScheme(bool Running) {
  // Defaults, or in run mode the current block alone standing out.
  TAlgColorScheme Scheme(nullptr);
  if (FHighContrast)
    Scheme.SetHighContrast();
  if (Running) {
    Scheme.SetSelectedBlockColor(FHighContrast ? RGBColor(0x00, 0xFF, 0x00) : clLime);
    Scheme.SetSelectedBlockTextColor(clBlack);
    Scheme.SetSemiselectedBlockColor(Scheme.GetBlockColor());
  }
  FAlgorithm->GetColorScheme().Assign(Scheme);
  FAlgorithm->GetColorScheme().Changed();
  FForm->AlgEditor->SetColor(FHighContrast ? RGBColor(0, 0, 0) : RGBColor(0xFF, 0xFF, 0xFF));
}

void TAlgEditorForm::ViewHighContrastExecute() {
  FHighContrast = !FHighContrast;
  ViewHighContrast->setChecked(FHighContrast);
  ApplyColorScheme(GetRunning());
  if (GetRunning() && GetMachine() && GetMachine()->GetState() == amsError)
    FAlgorithm->GetColorScheme().SetSelectedBlockColor(clRed);
  if (TFlowjoggerForm* View = Debugger())
    View->SetHighContrast(FHighContrast);
  if (TIniFile* Settings = GetShell().GetSettings())
    try {
      Settings->WriteString("View", "HighContrast", FHighContrast ? "1" : "0");
    } catch (const std::exception&) {
      // A settings file that cannot be written: the shell said so when it
      // read it; the scheme holds for this session.
    }
}

void TAlgEditorForm::SetRunTabOrder() {
  TFlowjoggerForm* View = Debugger();
  if (!View)
    return;
  std::vector<QWidget*> Chain = {View->AlgEditor,
                                 View->WatchesFrame->lvWatch,
                                 View->ConsoleFrame->memConsole,
                                 View->CanvasFrame->pbxCanvas,
                                 View->CanvasFrame->cbGrid,
                                 pnlCheck->tblCases,
                                 pnlCheck->tblLines,
                                 pnlCheck->btnDebug,
                                 pnlCheck->btnClose,
                                 tbRun,
                                 tbStep,
                                 tbStop,
                                 sldSpeed};
  for (size_t I = 1; I < Chain.size(); ++I)
    QWidget::setTabOrder(Chain[I - 1], Chain[I]);
}

void TAlgEditorForm::ShowStopButton() {
  // After the run has ended Stop only leaves the debugger: no red, and
  // the button says where it leads.
  const bool Over =
      FRun->GetState() == TRunState::Stepping && (GetSession().GetState() == TDebugState::Done ||
                                                  GetSession().GetState() == TDebugState::Failed);
  static const QIcon EditIcon = [] {
    QPixmap Pixmap(16, 16);
    Pixmap.fill(Qt::transparent);
    QPainter P(&Pixmap);
    P.setRenderHint(QPainter::Antialiasing);
    // A pencil: back to editing the chart.
    P.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
    P.setBrush(QColor(0xF0, 0xC0, 0x40));
    const QPointF Body[] = {{3, 13}, {4, 10}, {11, 3}, {13, 5}, {6, 12}};
    P.drawPolygon(Body, 5);
    P.drawLine(QPointF(3, 13), QPointF(6, 12));
    return QIcon(Pixmap);
  }();
  const QString Text = Over ? QString("К редактированию") : AlgStop->text();
  if (tbStop->text() == Text && tbStop->accessibleName() == Text)
    return;
  if (Over) {
    tbStop->setIcon(EditIcon);
    tbStop->setToolTip("Выполнение окончено: вернуться к редактированию (F2)");
  } else {
    tbStop->setIcon(AlgStop->icon());
    tbStop->setToolTip(AlgStop->toolTip());
  }
  tbStop->setText(Text);
  tbStop->setAccessibleName(Text);
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
  if (!GetShell().GetSettings())
    return;
  const TIniFile& Settings = *GetShell().GetSettings();
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
  FHighContrast = Settings.ReadString("View", "HighContrast", "0") == "1";
}

void TAlgEditorForm::SaveDebuggerSettings() {
  if (!GetShell().GetSettings() ||
      (FPanelWidth == FSavedPanelWidth && FSlowSpeed == FSavedSlowSpeed))
    return;
  try {
    GetShell().GetSettings()->WriteStrings("Debugger", {{"PanelWidth", std::to_string(FPanelWidth)},
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
    ShowImportedNames(this, PasteBlocksFromClipboard(*FAlgorithm));
  } catch (const std::exception& E) {
    ShowException(E);
    return;
  }
  RefuseForbiddenPaste();
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
  if (Watched == GetShell().GetShellWindow() && Event->type() == QEvent::Close &&
      !FRun->RequestClose(true)) {
    Event->ignore();
    return true;
  }
  return TEditorForm::eventFilter(Watched, Event);
}

// Checking by the teacher's tests.

void TAlgEditorForm::CreateCheckActions() {
  AlgCheck = AddCommand(
      {.Id = "AlgCheck",
       .Caption = "Про&верить",
       .Hint = "Проверить алгоритм на тестах учителя: все случаи подряд, итог под схемой",
       .Keys = {QKeySequence("Ctrl+F9")},
       .Icon = style()->standardIcon(QStyle::SP_DialogApplyButton),
       .Execute = [this] { AlgCheckExecute(); },
       .Enabled = [this] { return FChildView && FRun->CanCheck(); }});
  FileChooseTests =
      AddCommand({.Id = "FileChooseTests",
                  .Caption = "Выбрать &тесты...",
                  .Hint = "Выбрать файл тестов, по которому «Проверить» проверяет этот алгоритм",
                  .Execute = [this] { FileChooseTestsExecute(); },
                  .Enabled = [this] { return !FRun->Busy(); }});
  mnuDocRun->addSeparator();
  mnuDocRun->addAction(AlgCheck);
  mnuDocFile->insertAction(FilePrint, FileChooseTests);
  mnuDocFile->insertSeparator(FilePrint);
  CreateTaskAction();
}

void TAlgEditorForm::CreateCheckPanel() {
  // Below the chart, outside the view that Run and Stop replace, so the
  // results stay through them.
  splCheck = new QSplitter(Qt::Vertical, this);
  splCheck->setObjectName("splCheck");
  splCheck->setAccessibleName(QStringLiteral("Блок-схема и проверка"));
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
  // A task's own cases, unless another test file was chosen.
  if (FTask && FChosenTests.empty()) {
    if (Trim(FTask->TestsText).empty())
      throw Exception("В задании «" + VisibleText(FTaskName) +
                      "» нет открытых случаев: проверять нечем.");
    TTestFile Tests = ParseTestFile(FTask->TestsText, FTaskName);
    if (!pnlCheck->isVisible()) {
      pnlCheck->show();
      const int Height = splCheck->height();
      splCheck->setSizes({Height / 2, Height / 5, Height - Height / 2 - Height / 5});
    }
    FRun->StartCheck(std::move(Tests));
    return;
  }
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
