#include "Main.h"

#include "DesktopPanel.h"
#include "Environment_Apps.h"
#include "Environment_Examples.h"
#include "Environment_Help.h"
#include "Environment_Modules.h"
#include "Environment_New.h"
#include "ErrorDisplay.h"
#include "ModuleReg.h"
#include "ShellCommandIds.h"

#include "Corekit/VisualUtils.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>

namespace Deskbay {

TMainForm* MainForm = nullptr;

namespace {

constexpr const char* ShellCaption = "Интегрированная среда Deskbay";
constexpr const char* ShellShortTitle = "Deskbay";

// Scissors ('x'), two sheets ('c') or a sheet on a clipboard ('v'), 16 × 16.
QIcon DrawEditIcon(char Kind) {
  QPixmap Pixmap(16, 16);
  Pixmap.fill(Qt::transparent);
  QPainter P(&Pixmap);
  P.setRenderHint(QPainter::Antialiasing);
  const QColor Blue(0x2d, 0x6c, 0xb5), Grey(0x55, 0x55, 0x55);
  auto Sheet = [&](QRectF R) {
    P.setPen(Blue);
    P.setBrush(Qt::white);
    P.drawRect(R);
    for (double Y = R.top() + 3; Y < R.bottom() - 1; Y += 2)
      P.drawLine(QPointF(R.left() + 2, Y), QPointF(R.right() - 2, Y));
  };
  switch (Kind) {
  case 'x':
    P.setPen(QPen(Grey, 1.4));
    P.drawLine(QPointF(5, 1), QPointF(11, 10));
    P.drawLine(QPointF(11, 1), QPointF(5, 10));
    P.setPen(QPen(Blue, 1.4));
    P.drawEllipse(QPointF(4.5, 12.5), 2.3, 2.3);
    P.drawEllipse(QPointF(11.5, 12.5), 2.3, 2.3);
    break;
  case 'c':
    P.setPen(Grey);
    P.setBrush(Qt::white);
    P.drawRect(QRectF(1.5, 1.5, 8, 10));
    Sheet(QRectF(6.5, 4.5, 8, 10));
    break;
  default:
    P.setPen(QColor(0x7a, 0x5a, 0x2a));
    P.setBrush(QColor(0xc8, 0xa1, 0x65));
    P.drawRoundedRect(QRectF(1.5, 2.5, 11, 12), 1, 1);
    P.setPen(Grey);
    P.setBrush(QColor(0xdd, 0xdd, 0xdd));
    P.drawRoundedRect(QRectF(4.5, 1, 5, 3), 1, 1);
    Sheet(QRectF(6.5, 6.5, 8, 9));
    break;
  }
  P.end();
  return QIcon(Pixmap);
}

QRect WorkArea(const QWidget* W) {
  QScreen* S = W->screen() ? W->screen() : QGuiApplication::primaryScreen();
  return S ? S->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

// --- main window: start and end ---

TMainForm::TMainForm() : TMainForm(TShellStart::FromProgram()) {}

TMainForm::TMainForm(const TShellStart& StartInfo) : QWidget(nullptr) {
  MainForm = this;
  // Whatever the managers change may change what the commands may do.
  FWindowList.OnChange = [this] { RequestActionUpdate(); };
  FWindowList.OnActivated = [this](TBasicForm* Window) { FMerger->MergeWindow(Window); };
  FWindowList.OnRemoved = [this](TBasicForm* Window) {
    if (FMerger->GetMergedWindow() == Window)
      FMerger->MergeWindow(nullptr);
  };
  FDocuments.OnChange = [this] { RequestActionUpdate(); };
  FApps.OnChange = [this] { UpdateCaption(); };
  FApps.StopStart = [this] { return FCloseRequested; };
  CreateActions();
  CreateStrip();
  try {
    Start(StartInfo);
  } catch (const std::exception& E) {
    FStartFailed = true;
    ShowException(E);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  }
}

void TMainForm::Start(const TShellStart& StartInfo) {
  // Floating-point exceptions stay masked: the interpreter reports every
  // math error itself, and an unmasked trap would end the program instead.
  std::srand(static_cast<unsigned>(std::time(nullptr)));

  FHomeDir = StartInfo.HomeDir;
  while (FHomeDir.size() > 1 && FHomeDir.back() == '/')
    FHomeDir.pop_back();
  if (!QDir::setCurrent(QString::fromStdString(FHomeDir)))
    throw Exception(Format("Не удалось перейти в папку \"%s\".", FHomeDir.c_str()));

  // Temporary files never stop the start: a folder that cannot be written
  // gives way to the system's temporary folder.
  for (const std::string& Base : {ChooseTempBase(FHomeDir), ChooseTempBase("")}) {
    try {
      FTempFiles = std::make_unique<TTempFileManager>(Base);
      break;
    } catch (const Exception&) {
    }
  }

  FProgramName = StartInfo.ProgramName;
  // Numbers look the same whatever the user's locale says.
  std::setlocale(LC_NUMERIC, "C");

  std::string SettingsFile = StartInfo.SettingsFile.empty()
                                 ? ChooseSettingsFile(FHomeDir, FProgramName)
                                 : StartInfo.SettingsFile;
  FSettings = std::make_unique<TIniFile>(SettingsFile);
  std::string ModuleDir = FSettings->ReadString("General", "ModuleDir", FHomeDir);
  // One message for a file that is there but could not be read (a folder,
  // a pipe, a device, too large, no permission); the start goes on.
  if (!FSettings->GetReadError().empty())
    ShowErrorMessage(WithFullStop(FSettings->GetReadError()) +
                     " Программа запущена с настройками по умолчанию.");
  if (ModuleDir.empty())
    ModuleDir = FHomeDir;
  else if (ModuleDir[0] != '/')
    ModuleDir = FHomeDir + "/" + ModuleDir;
  while (ModuleDir.size() > 1 && ModuleDir.back() == '/')
    ModuleDir.pop_back();
  FApps.SetModuleDir(ModuleDir);

  FListsCreated = true;

  PlaceStrip();
  WatchActionTriggers();
}

TMainForm::~TMainForm() {
  FDestroying = true;
  // What the user chose is not dropped without a word.
  try {
    SaveModuleInfo();
  } catch (const std::exception& E) {
    ShowException(E);
  }
  // Modules still running go now, with their documents; other shell
  // windows go before the packages whose code they may run.
  FWindowList.SetEnding();
  FApps.FreeAll();
  FWindowList.DeleteAll();
  FActiveApps.clear();
  FApps.Clear();
  FSettings.reset();
  FTempFiles.reset();
  MainForm = nullptr;
}

void TMainForm::CreateActions() {
  namespace Id = ShellIds;
  ActionList = new TActionList(this);
  // The shell's keys work from every document window, not only the strip.
  auto Make = [this](TActionInfo Info) {
    Info.KeyContext = Qt::ApplicationShortcut;
    return MakeAction(this, *ActionList, Info, Info.Keys.isEmpty() ? nullptr : this);
  };
  auto Always = [] { return true; };
  auto OnActive = [this](bool (TBasicForm::*Can)()) {
    return [this, Can] {
      TBasicForm* Active = GetActiveWindow();
      return Active && (Active->*Can)();
    };
  };
  auto Edit = [this](void (TBasicForm::*Command)()) {
    return [this, Command] { EditCommand(Command); };
  };
  QStyle* S = style();

  FileNew = Make({.Id = Id::FileNew,
                  .Caption = "&Создать",
                  .Hint = "Создать|Создать новый файл",
                  .Keys = {QKeySequence("Ctrl+N")},
                  .Icon = S->standardIcon(QStyle::SP_FileIcon),
                  .Execute = [this] { FileNewExecute(); },
                  .Enabled = Always});
  FileOpen = Make({.Id = Id::FileOpen,
                   .Caption = "&Открыть...",
                   .Hint = "Открыть|Открыть файл",
                   .Keys = {QKeySequence("Ctrl+O")},
                   .Icon = S->standardIcon(QStyle::SP_DialogOpenButton),
                   .Execute = [this] { FileOpenExecute(); },
                   .Enabled = Always});
  FileSave = Make({.Id = Id::FileSave,
                   .Caption = "&Сохранить",
                   .Hint = "Сохранить|Сохранить текущий файл",
                   .Keys = {QKeySequence("Ctrl+S")},
                   .Icon = S->standardIcon(QStyle::SP_DialogSaveButton),
                   .Execute = [this] { FileSaveExecute(); },
                   .Enabled =
                       [this] {
                         TEditorForm* E = ActiveEditor();
                         return E && E->CanSave();
                       }});
  FileSaveAs = Make({.Id = Id::FileSaveAs,
                     .Caption = "Сохранить &как...",
                     .Hint = "Сохранить как|Сохранить текущий файл под другим именем",
                     .Keys = {QKeySequence("Ctrl+Shift+S")},
                     .Execute = [this] { FileSaveAsExecute(); },
                     .Enabled =
                         [this] {
                           TEditorForm* E = ActiveEditor();
                           return E && E->CanSaveAs();
                         }});
  FileSaveAll = Make({.Id = Id::FileSaveAll,
                      .Caption = "Сохранить &все",
                      .Hint = "Сохранить все|Сохранить все открытые файлы",
                      .Execute = [this] { FileSaveAllExecute(); },
                      .Enabled = [this] { return FDocuments.AnyCanSave(); }});
  FileClose = Make({.Id = Id::FileClose,
                    .Caption = "&Закрыть",
                    .Hint = "Закрыть|Закрыть текущий файл",
                    .Keys = {QKeySequence("Ctrl+W")},
                    .Execute = [this] { FileCloseExecute(); },
                    .Enabled = [this] { return ActiveEditor() != nullptr; }});
  FileCloseAll = Make({.Id = Id::FileCloseAll,
                       .Caption = "Закрыть вс&е",
                       .Hint = "Закрыть все|Закрыть все файлы",
                       .Execute = [this] { CloseAll(); },
                       .Enabled = [this] { return FDocuments.GetCount() > 0; }});
  FileExit = Make({.Id = Id::FileExit,
                   .Caption = "В&ыход",
                   .Hint = "Выход|Выйти из программы",
                   .Keys = {QKeySequence("Ctrl+Q")},
                   .Execute = [this] { close(); },
                   .Enabled = Always});
  // The desktop's icons where it has them, small drawings of our own
  // otherwise.
  EditCut = Make({.Id = Id::EditCut,
                  .Caption = "&Вырезать",
                  .Hint = "Вырезать|Вырезать выделенную область в буфер обмена",
                  .Keys = {QKeySequence("Ctrl+X")},
                  .Icon = QIcon::fromTheme("edit-cut", DrawEditIcon('x')),
                  .Execute = Edit(&TBasicForm::CutSelection),
                  .Enabled = OnActive(&TBasicForm::CanCut)});
  EditCopy = Make({.Id = Id::EditCopy,
                   .Caption = "&Копировать",
                   .Hint = "Копировать|Скопировать выделенную область в буфер обмена",
                   .Keys = {QKeySequence("Ctrl+C")},
                   .Icon = QIcon::fromTheme("edit-copy", DrawEditIcon('c')),
                   .Execute = Edit(&TBasicForm::CopySelection),
                   .Enabled = OnActive(&TBasicForm::CanCopy)});
  EditPaste = Make({.Id = Id::EditPaste,
                    .Caption = "Вст&авить",
                    .Hint = "Вставить|Вставить содержимое буфера обмена",
                    .Keys = {QKeySequence("Ctrl+V")},
                    .Icon = QIcon::fromTheme("edit-paste", DrawEditIcon('v')),
                    .Execute = Edit(&TBasicForm::Paste),
                    .Enabled = OnActive(&TBasicForm::CanPaste)});
  EditDelete = Make({.Id = Id::EditDelete,
                     .Caption = "&Удалить",
                     .Hint = "Удалить|Очистить выделенную область",
                     .Keys = {QKeySequence("Del")},
                     .Icon = S->standardIcon(QStyle::SP_TrashIcon),
                     .Execute = Edit(&TBasicForm::DeleteSelection),
                     .Enabled = OnActive(&TBasicForm::CanDelete)});
  EditSelectAll = Make({.Id = Id::EditSelectAll,
                        .Caption = "Выде&лить все",
                        .Hint = "Выделить все|Выделить все",
                        .Keys = {QKeySequence("Ctrl+A")},
                        .Execute = Edit(&TBasicForm::SelectAll),
                        .Enabled = OnActive(&TBasicForm::CanSelectAll)});
  WindowNext = Make({.Id = Id::WindowNext,
                     .Caption = "Следующее",
                     .Hint = "Следующее окно|Следующее окно",
                     .Keys = {QKeySequence("Ctrl+F6")},
                     .Execute = [this] { WindowNextExecute(); },
                     // The Window menu and its tool button go with it.
                     .Update =
                         [this](TAction& A) {
                           const bool Any = FWindowList.GetCount() > 0;
                           A.setEnabled(Any);
                           if (mnuWindow)
                             mnuWindow->menuAction()->setEnabled(Any);
                         }});
  HelpModules = Make({.Id = Id::HelpModules,
                      .Caption = "&Модули...",
                      .Hint = "Показать установленные модули|Показать установленные модули",
                      .Execute = [] { ShowModules(); },
                      .Enabled = Always});
  HelpApplications = Make({.Id = Id::HelpApplications,
                           .Caption = "&Приложения",
                           .Hint = "Показать доступные приложения|Показать доступные приложения",
                           .Execute = [] { ShowApplications(); },
                           .Enabled = Always});
  // The help opens at what the active window shows (the selected block's
  // kind in an algorithm), else at its contents.
  HelpContents =
      Make({.Id = Id::HelpContents,
            .Caption = "&Справка",
            .Hint = "Справка|Открыть справку о программе",
            .Keys = {QKeySequence("F1")},
            .Execute =
                [this] {
                  TBasicForm* Active = GetActiveWindow();
                  ShowHelp(QString::fromStdString(Active ? Active->HelpTopic() : std::string()));
                },
            .Enabled = Always});
  FileExamples = Make({.Id = Id::FileExamples,
                       .Caption = "&Примеры...",
                       .Hint = "Примеры|Открыть один из примеров алгоритмов",
                       .Execute = [this] { OpenExample(); },
                       .Enabled = Always});
  HelpAbout = Make({.Id = Id::HelpAbout,
                    .Caption = "&О программе...",
                    .Hint = "Показать информацию о программе|Показать информацию о программе",
                    .Execute = [this] { HelpModules->trigger(); },
                    .Enabled = Always});
}

TAction* TMainForm::FindCommand(const char* Id) const {
  const QString Name = QString::fromUtf8(Id);
  for (int I = 0; I < ActionList->GetActionCount(); ++I)
    if (ActionList->GetActions(I)->objectName() == Name)
      return ActionList->GetActions(I);
  return nullptr;
}

QMetaObject::Connection TMainForm::ConnectIdle(QObject* Context, std::function<void()> Slot) {
  return connect(this, &TMainForm::Idle, Context, std::move(Slot));
}

void TMainForm::CreateStrip() {
  setWindowTitle(QString::fromUtf8(ShellCaption));
  FApplicationTitle = ShellCaption;

  namespace Id = ShellIds;
  tbrMenu = new QMenuBar(this);
  tbrMenu->setNativeMenuBar(false);
  tbrMenu->setAccessibleName(QStringLiteral("Главное меню"));
  mnuFile = tbrMenu->addMenu("&Файл");
  mnuFile->setObjectName(Id::MenuFile);
  mnuFile->addActions({FileNew, FileOpen, FileExamples});
  mnuFile->addSeparator();
  mnuFile->addActions({FileSave, FileSaveAs, FileSaveAll});
  mnuFile->addSeparator();
  mnuFile->addActions({FileClose, FileCloseAll});
  mnuFile->addSeparator();
  mnuFile->addAction(FileExit);
  mnuEdit = tbrMenu->addMenu("&Правка");
  mnuEdit->setObjectName(Id::MenuEdit);
  mnuEdit->addActions({EditCut, EditCopy, EditPaste, EditDelete, EditSelectAll});
  mnuWindow = tbrMenu->addMenu("&Окно");
  mnuWindow->setObjectName(Id::MenuWindow);
  mnuWindow->menuAction()->setObjectName("tbWindow");
  connect(mnuWindow, &QMenu::aboutToShow, this, &TMainForm::RebuildWindowMenu);
  mnuHelp = tbrMenu->addMenu("&?");
  mnuHelp->setObjectName(Id::MenuHelp);
  mnuHelp->addAction(HelpContents);
  QAction* AfterContents = mnuHelp->addSeparator();
  mnuHelp->addAction(HelpAbout);
  mnuHelp->addSeparator();
  mnuHelp->addAction(HelpApplications);
  RebuildWindowMenu();

  tbrMain = new QToolBar(this);
  NameToolBar(tbrMain, QStringLiteral("Файлы и правка"));
  tbrMain->setIconSize(QSize(16, 16));
  tbrMain->addActions({FileNew, FileOpen, FileSave});
  tbrMain->addSeparator();
  tbrMain->addActions({EditCut, EditCopy, EditPaste, EditDelete});

  // Where a document's commands go, by group; the first group of a menu is
  // where a document menu that names none goes.
  FMerger = std::make_unique<TMenuMerger>(*tbrMenu, *tbrMain, mnuWindow);
  FMerger->AddGroup(mnuFile, Id::GroupFileExport, FileClose);
  FMerger->AddGroup(mnuEdit, Id::GroupEditUndo, EditCut);
  FMerger->AddGroup(mnuEdit, Id::GroupEditSelect, nullptr);
  FMerger->AddGroup(mnuHelp, Id::GroupHelpTopics, AfterContents);
  FMenuKeys = new TMenuKeys(*tbrMenu);

  auto* Layout = new QHBoxLayout(this);
  Layout->setContentsMargins(2, 2, 2, 2);
  Layout->setSpacing(4);
  Layout->addWidget(tbrMenu);
  Layout->addWidget(tbrMain);
  Layout->addStretch(1);

  // The strip's height is pinned; only its width follows the desktop.
  FMainHeight = sizeHint().height();
  setMinimumHeight(FMainHeight);
  setMaximumHeight(FMainHeight);
  MakeDesktopPanel(this);
}

void TMainForm::PlaceStrip() {
  QRect Work = WorkArea(this);
  // Once the strip holds its rows, the work area begins below it: the strip
  // stays at the top it was given.
  int Top = FRowsReserved && Work.top() >= frameGeometry().bottom() + 1 ? FStripTop : Work.top();
  QRect Frame = frameGeometry(), Inner = geometry();
  int ExtraW = Frame.width() - Inner.width();
  move(Work.left(), Top);
  resize(std::max(Work.width() - ExtraW, 100), FMainHeight);
  FStripTop = Top;
  if (isVisible() && ReserveScreenRows(this))
    FRowsReserved = true;
}

int TMainForm::GetRestrictedBottom() const {
  QRect Work = WorkArea(this);
  int Bottom = frameGeometry().bottom() + 1;
  QScreen* S = screen() ? screen() : QGuiApplication::primaryScreen();
  int ScreenHeight = S ? S->geometry().height() : Work.height();
  return Work.bottom() + 1 - Bottom >= ScreenHeight / 2 ? Bottom : 0;
}

void TMainForm::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  if (!FShown && !FStartFailed) {
    FShown = true;
    PlaceStrip();
    FirstShow();
  }
}

void TMainForm::FirstShow() {
  FShown = true;
  UpdateActions();
  FStarting = true;
  try {
    InitAppModules();
  } catch (...) {
    FStarting = false;
    throw;
  }
  FStarting = false;
  UpdateCaption();
  // Closed while the start showed its messages: the program ends instead
  // of going on without its main window.
  if (FCloseRequested)
    QTimer::singleShot(0, this, [] { QCoreApplication::quit(); });
}

void TMainForm::changeEvent(QEvent* Event) {
  // A maximize request places the strip again instead.
  if (Event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
    setWindowState(windowState() & ~Qt::WindowMaximized);
    PlaceStrip();
  }
  QWidget::changeEvent(Event);
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  FActiveApps.clear();
  for (int I = 0; I < FApps.GetAppModuleCount(); ++I)
    FActiveApps.push_back(FApps.GetAppModules(I)->GetName());
  bool MayClose = false;
  try {
    MayClose = CloseAll() && ShutDownAllAppModules();
  } catch (const std::exception& E) {
    ShowException(E);
  }
  if (MayClose) {
    FCloseRequested = true;
    // A message of the start still open goes with the window.
    if (FStarting)
      if (QWidget* Modal = QApplication::activeModalWidget())
        Modal->close();
    Event->accept();
  } else {
    Event->ignore();
  }
}

// --- application modules ---

void TMainForm::InitAppModules() {
  if (FSettings)
    FApps.Init(*FSettings);
}

bool TMainForm::ShutDownAllAppModules() {
  HideApplications();
  return FApps.ShutDownAllAppModules();
}

void TMainForm::SaveModuleInfo() {
  if (FListsCreated && FSettings)
    FApps.SaveChoices(*FSettings);
}

void TMainForm::UpdateCaption() {
  // Called whenever a module starts or stops, which changes the documents.
  RequestActionUpdate();
  if (GetAppModuleCount() == 1) {
    const TAppModuleClass* Class = FApps.GetAppModules(0)->GetClass();
    setWindowTitle(QString::fromStdString(Class->GetTitle()));
    FApplicationTitle = Class->GetShortTitle();
  } else {
    setWindowTitle(QString::fromUtf8(ShellCaption));
    FApplicationTitle = ShellShortTitle;
  }
}

void TMainForm::StartIdleJob() {
  if (++FIdleJobs == 1 && FIdleJobTimer)
    FIdleJobTimer->start();
}

void TMainForm::StopIdleJob() {
  if (FIdleJobs > 0 && --FIdleJobs == 0 && FIdleJobTimer)
    FIdleJobTimer->stop();
}

// --- windows ---

void TMainForm::RebuildWindowMenu() {
  FWindowList.FillMenu(*mnuWindow, WindowNext);
}

void TMainForm::WindowNextExecute() {
  FWindowList.SelectNext();
}

// --- commands ---

TEditorForm* TMainForm::ActiveEditor() const {
  return qobject_cast<TEditorForm*>(GetActiveWindow());
}

void TMainForm::UpdateActions() {
  UpdateAllActions(*ActionList);
}

void TMainForm::WatchActionTriggers() {
  // Nothing polls: whatever can change what a command may do asks for one
  // update, and an idle program sleeps in the event loop.
  QCoreApplication::instance()->installEventFilter(this);
  if (auto* App = qobject_cast<QApplication*>(QCoreApplication::instance()))
    connect(App, &QApplication::focusChanged, this, &TMainForm::RequestActionUpdate);
  if (QClipboard* Clipboard = QGuiApplication::clipboard())
    connect(Clipboard, &QClipboard::dataChanged, this, &TMainForm::RequestActionUpdate);
  FIdleJobTimer = new QTimer(this);
  FIdleJobTimer->setInterval(0);
  connect(FIdleJobTimer, &QTimer::timeout, this, &TMainForm::RunActionUpdate);
  RequestActionUpdate();
}

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
  case QEvent::ShortcutOverride:
    // A key a shortcut takes (Alt+1 inserts a block) comes as no key press:
    // with Alt held it is no Alt alone either.
    if (FMenuKeys)
      FMenuKeys->Follow(*static_cast<QKeyEvent*>(Event));
    break;
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
    // Any other key pressed or let go while Alt is held, wherever it goes,
    // makes it no Alt alone.
    if (FMenuKeys)
      FMenuKeys->Follow(*static_cast<QKeyEvent*>(Event));
    // The strip's menus from a document window's keyboard: the key as it
    // reaches the focused control (or the window without one), once.
    if (FMenuKeys && Watched->isWidgetType() && !QApplication::activePopupWidget() &&
        !QApplication::activeModalWidget()) {
      auto* Widget = static_cast<QWidget*>(Watched);
      auto* Form = qobject_cast<TBasicForm*>(Widget->window());
      const QWidget* Focus = QApplication::focusWidget();
      if (Form && (Widget == Focus || (!Focus && Widget == Form)) &&
          FMenuKeys->HandleKey(*Form, *static_cast<QKeyEvent*>(Event)))
        return true;
    }
    RequestActionUpdate();
    break;
  case QEvent::MouseButtonPress:
    if (FMenuKeys)
      FMenuKeys->Interrupted(static_cast<QMouseEvent*>(Event)->modifiers());
    RequestActionUpdate();
    break;
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
  case QEvent::Wheel:
  case QEvent::Drop:
  case QEvent::WindowActivate:
  case QEvent::WindowDeactivate:
    RequestActionUpdate();
    break;
  default:
    break;
  }
  return QWidget::eventFilter(Watched, Event);
}

void TMainForm::RequestActionUpdate() {
  if (FUpdateQueued || FDestroying)
    return;
  FUpdateQueued = true;
  // A posted call: it runs after the events waiting now, once per burst.
  QMetaObject::invokeMethod(this, &TMainForm::RunActionUpdate, Qt::QueuedConnection);
}

void TMainForm::RunActionUpdate() {
  FUpdateQueued = false;
  try {
    UpdateActions();
    // A document's caption shows whether it is modified.
    FDocuments.UpdateCaptions();
    emit Idle();
  } catch (const std::exception& E) {
    ShowException(E);
  }
}

void TMainForm::EditCommand(void (TBasicForm::*Command)()) {
  QPointer<TBasicForm> Active = GetActiveWindow();
  if (!Active)
    return;
  (Active->*Command)();
  // The document gets the keyboard back when it can take it.
  if (Active && Active->isVisible() && Active->isEnabled())
    Active->activateWindow();
}

void TMainForm::FileNewExecute() {
  if (const TEditorFormClass* Class = SelectEditorClass())
    CreateEditor(Class);
}

void TMainForm::FileOpenExecute() {
  TEditorForm* Active = ActiveEditor();
  OpenFromDialog(Active && Active->GetHasFileName() ? Active->GetFileName() : std::string());
}

void TMainForm::OpenExample() {
  const std::string Folder = FindExamplesFolder(ExampleAlgorithmsDir(FHomeDir));
  TExamplesForm Gallery(Folder, this);
  if (Gallery.exec() != QDialog::Accepted)
    return;
  if (Gallery.GetOtherFileWanted())
    OpenFromDialog(Folder + "/");
  else if (const std::string Path = Gallery.SelectedPath(); !Path.empty())
    OpenFiles({Path});
}

void TMainForm::OpenFromDialog(const std::string& StartBeside) {
  std::string Filter;
  int DefaultIndex;
  MakeFilter(Filter, DefaultIndex);
  QFileDialog Dialog(this);
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(QFileDialog::ExistingFiles);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  QStringList Filters = FilterToNameFilters(Filter);
  Dialog.setNameFilters(Filters);
  // The documents a pupil works on, not every file of the folder: the
  // active document's kind, else the first kind listed.
  const int Index = OpenFilterIndex();
  if (Index >= 1 && Index <= Filters.size())
    Dialog.selectNameFilter(Filters[Index - 1]);
  if (!ExecFileDialogUsingWorkingDir(Dialog, StartBeside))
    return;
  std::vector<std::string> Names;
  for (const QString& F : Dialog.selectedFiles())
    Names.push_back(QFile::encodeName(F).toStdString());
  QDir::setCurrent(QFile::decodeName(QByteArray::fromStdString(GetWorkingDir())));
  try {
    OpenFiles(Names);
  } catch (...) {
    QDir::setCurrent(QString::fromStdString(FHomeDir));
    throw;
  }
  QDir::setCurrent(QString::fromStdString(FHomeDir));
}

void TMainForm::FileSaveExecute() {
  if (TEditorForm* E = ActiveEditor())
    E->Save();
}

void TMainForm::FileSaveAsExecute() {
  if (TEditorForm* E = ActiveEditor())
    E->SaveAs();
}

void TMainForm::FileSaveAllExecute() {
  FDocuments.SaveAll();
}

void TMainForm::FileCloseExecute() {
  if (TEditorForm* E = ActiveEditor())
    E->close();
}

} // namespace Deskbay
