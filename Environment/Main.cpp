#include "Main.h"

#include "DesktopPanel.h"
#include "Environment_Apps.h"
#include "Environment_Help.h"
#include "Environment_Modules.h"
#include "Environment_New.h"
#include "ErrorDisplay.h"
#include "ModuleReg.h"

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
#include <QMenu>
#include <QMenuBar>
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
#include <sys/stat.h>
#include <unistd.h>

namespace Deskbay {

TMainForm* MainForm = nullptr;

namespace {

constexpr int MaxWindowItems = 20;
constexpr const char* ShellCaption = "Интегрированная среда Deskbay";
constexpr const char* ShellShortTitle = "Deskbay";

TAction* MakeAction(TActionList* List, const char* Caption, const char* Hint,
                    const QKeySequence& Shortcut = {}) {
  auto* A = new TAction(QString::fromUtf8(Caption), List->parent());
  List->Add(A);
  QString H = QString::fromUtf8(Hint);
  A->setToolTip(H.section('|', 0, 0));
  A->setStatusTip(H.section('|', 1));
  if (!Shortcut.isEmpty()) {
    A->setShortcut(Shortcut);
    // The commands work from every document window, not only the strip.
    A->setShortcutContext(Qt::ApplicationShortcut);
  }
  return A;
}

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

// --- application modules ---

TAppModuleClass::~TAppModuleClass() = default;

std::string TAppModuleClass::GetTitle() const {
  return "<Неизвестный модуль>";
}

std::string TAppModuleClass::GetShortTitle() const {
  return GetTitle();
}

IWindowClosed::~IWindowClosed() = default;

TAppModule::TAppModule(const TAppModuleClass& Class, const std::string& Name)
    : FClass(&Class), FName(Name) {
  if (!MainForm)
    throw Exception("Неверный класс главной формы.");
  MainForm->FAppModules.emplace_back(this);
  MainForm->UpdateCaption();
}

TAppModule::~TAppModule() {
  if (MainForm) {
    auto& Modules = MainForm->FAppModules;
    for (auto It = Modules.begin(); It != Modules.end(); ++It)
      if (It->get() == this) {
        It->release(); // the module is being freed already
        Modules.erase(It);
        break;
      }
    MainForm->UpdateCaption();
    CloseEditors();
  }
  for (const TEditorFormClass* Class : FRegistered)
    UnregisterModuleClass(Class);
}

bool TAppModule::CloseQuery() {
  if (!MainForm)
    return true;
  for (const TEditorFormClass* Class : FEditorClasses)
    if (!MainForm->QueryCloseEditors(Class))
      return false;
  return true;
}

void TAppModule::RegisterEditors(const std::vector<const TEditorFormClass*>& Editors,
                                 bool Register) {
  for (const TEditorFormClass* Class : Editors) {
    Assert(std::find(FEditorClasses.begin(), FEditorClasses.end(), Class) == FEditorClasses.end(),
           "Editor class registered twice in one application module");
    FEditorClasses.push_back(Class);
    if (Register) {
      RegisterModuleClass(Class, CATID_EDITOR);
      FRegistered.push_back(Class);
    }
  }
}

void TAppModule::CloseEditors() {
  if (MainForm)
    for (const TEditorFormClass* Class : FEditorClasses)
      MainForm->CloseEditors(Class);
}

const TEditorFormClass* TAppModule::GetEditorClasses(int Index) const {
  Assert(Index >= 0 && Index < GetEditorClassCount(), "Editor class index out of range");
  return FEditorClasses[Index];
}

// --- main window: start and end ---

TMainForm::TMainForm() : TMainForm(TShellStart::FromProgram()) {}

TMainForm::TMainForm(const TShellStart& StartInfo) : QWidget(nullptr) {
  MainForm = this;
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
  FModuleDir = FSettings->ReadString("General", "ModuleDir", FHomeDir);
  // One message for a file that is there but could not be read (a folder,
  // a pipe, a device, too large, no permission); the start goes on.
  if (!FSettings->GetReadError().empty())
    ShowErrorMessage(WithFullStop(FSettings->GetReadError()) +
                     " Программа запущена с настройками по умолчанию.");
  if (FModuleDir.empty())
    FModuleDir = FHomeDir;
  else if (FModuleDir[0] != '/')
    FModuleDir = FHomeDir + "/" + FModuleDir;
  while (FModuleDir.size() > 1 && FModuleDir.back() == '/')
    FModuleDir.pop_back();

  FListsCreated = true;
  FModuleManager.OnModuleRequired = [this](TModuleManager*, const std::string& Name,
                                           std::string& File) { ModuleRequired(Name, File); };

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
  while (!FAppModules.empty())
    delete FAppModules.back().get();
  while (!FWindows.empty())
    delete FWindows.back();
  FAppNames.clear();
  FAppTitles.clear();
  FActiveApps.clear();
  FModuleManager.UnmountAll();
  FSettings.reset();
  FActiveWindow = nullptr;
  FTempFiles.reset();
  MainForm = nullptr;
}

void TMainForm::ModuleRequired(const std::string& ModuleName, std::string& FileName) {
  // Only files of the module folder itself: a name with a path in it (from
  // a settings file, say) never reaches outside.
  if (ModuleName.empty() || ModuleName.find('/') != std::string::npos)
    return;
  std::string Candidate = FModuleDir + "/" + ModuleName;
  // A library that is not in the module folder is left to the system.
  if (access(Candidate.c_str(), F_OK) == 0)
    FileName = Candidate;
}

void TMainForm::CreateActions() {
  ActionList = new TActionList(this);
  FileNew =
      MakeAction(ActionList, "&Создать", "Создать|Создать новый файл", QKeySequence("Ctrl+N"));
  FileOpen = MakeAction(ActionList, "&Открыть...", "Открыть|Открыть файл", QKeySequence("Ctrl+O"));
  FileSave = MakeAction(ActionList, "&Сохранить", "Сохранить|Сохранить текущий файл",
                        QKeySequence("Ctrl+S"));
  FileSaveAs = MakeAction(ActionList, "Сохранить &как...",
                          "Сохранить как|Сохранить текущий файл под другим именем");
  FileSaveAll =
      MakeAction(ActionList, "Сохранить &все", "Сохранить все|Сохранить все открытые файлы");
  FileClose = MakeAction(ActionList, "&Закрыть", "Закрыть|Закрыть текущий файл");
  FileCloseAll = MakeAction(ActionList, "Закрыть вс&е", "Закрыть все|Закрыть все файлы");
  FileExit = MakeAction(ActionList, "В&ыход", "Выход|Выйти из программы");
  EditCut =
      MakeAction(ActionList, "&Вырезать", "Вырезать|Вырезать выделенную область в буфер обмена",
                 QKeySequence("Ctrl+X"));
  EditCopy = MakeAction(ActionList, "&Копировать",
                        "Копировать|Скопировать выделенную область в буфер обмена",
                        QKeySequence("Ctrl+C"));
  EditPaste = MakeAction(ActionList, "Вст&авить", "Вставить|Вставить содержимое буфера обмена",
                         QKeySequence("Ctrl+V"));
  EditDelete = MakeAction(ActionList, "&Удалить", "Удалить|Очистить выделенную область",
                          QKeySequence("Del"));
  EditSelectAll =
      MakeAction(ActionList, "Выде&лить все", "Выделить все|Выделить все", QKeySequence("Ctrl+A"));
  WindowNext =
      MakeAction(ActionList, "Следующее", "Следующее окно|Следующее окно", QKeySequence("Ctrl+F6"));
  HelpModules = MakeAction(ActionList, "&Модули...",
                           "Показать установленные модули|Показать установленные модули");
  HelpApplications = MakeAction(ActionList, "&Приложения",
                                "Показать доступные приложения|Показать доступные приложения");
  HelpContents =
      MakeAction(ActionList, "&Справка", "Справка|Открыть справку о программе", QKeySequence("F1"));
  FileExamples =
      MakeAction(ActionList, "&Примеры...", "Примеры|Открыть один из примеров алгоритмов");
  HelpAbout = MakeAction(ActionList, "&О программе...",
                         "Показать информацию о программе|Показать информацию о программе");

  QStyle* S = style();
  FileNew->setIcon(S->standardIcon(QStyle::SP_FileIcon));
  FileOpen->setIcon(S->standardIcon(QStyle::SP_DialogOpenButton));
  FileSave->setIcon(S->standardIcon(QStyle::SP_DialogSaveButton));
  // The desktop's icons where it has them, small drawings of our own
  // otherwise.
  EditCut->setIcon(QIcon::fromTheme("edit-cut", DrawEditIcon('x')));
  EditCopy->setIcon(QIcon::fromTheme("edit-copy", DrawEditIcon('c')));
  EditPaste->setIcon(QIcon::fromTheme("edit-paste", DrawEditIcon('v')));
  EditDelete->setIcon(S->standardIcon(QStyle::SP_TrashIcon));

  connect(FileNew, &QAction::triggered, this, &TMainForm::FileNewExecute);
  connect(FileOpen, &QAction::triggered, this, &TMainForm::FileOpenExecute);
  connect(FileSave, &QAction::triggered, this, &TMainForm::FileSaveExecute);
  connect(FileSaveAs, &QAction::triggered, this, &TMainForm::FileSaveAsExecute);
  connect(FileSaveAll, &QAction::triggered, this, &TMainForm::FileSaveAllExecute);
  connect(FileClose, &QAction::triggered, this, &TMainForm::FileCloseExecute);
  connect(FileCloseAll, &QAction::triggered, this, [this] { CloseAll(); });
  connect(FileExit, &QAction::triggered, this, &QWidget::close);
  connect(EditCut, &QAction::triggered, this, [this] { EditCommand(&TBasicForm::CutSelection); });
  connect(EditCopy, &QAction::triggered, this, [this] { EditCommand(&TBasicForm::CopySelection); });
  connect(EditPaste, &QAction::triggered, this, [this] { EditCommand(&TBasicForm::Paste); });
  connect(EditDelete, &QAction::triggered, this,
          [this] { EditCommand(&TBasicForm::DeleteSelection); });
  connect(EditSelectAll, &QAction::triggered, this,
          [this] { EditCommand(&TBasicForm::SelectAll); });
  connect(WindowNext, &QAction::triggered, this, &TMainForm::WindowNextExecute);
  connect(HelpModules, &QAction::triggered, this, [] { ShowModules(); });
  // The help opens at what the active window shows (the selected block's
  // kind in an algorithm), else at its contents.
  connect(HelpContents, &QAction::triggered, this, [this] {
    ShowHelp(QString::fromStdString(FActiveWindow ? FActiveWindow->HelpTopic() : std::string()));
  });
  connect(FileExamples, &QAction::triggered, this,
          [this] { OpenFromDialog(ExampleAlgorithmsDir(FHomeDir) + "/"); });
  connect(HelpAbout, &QAction::triggered, HelpModules, &QAction::trigger);
  connect(HelpApplications, &QAction::triggered, this, [] { ShowApplications(); });
  // Enabled state of each command, worked out when the loop goes idle.
  auto Always = [](TAction& A) { A.setEnabled(true); };
  for (TAction* A : {FileNew, FileOpen, FileExamples, FileExit, HelpModules, HelpApplications,
                     HelpAbout, HelpContents})
    A->OnUpdate = Always;
  FileSave->OnUpdate = [this](TAction& A) {
    TEditorForm* E = ActiveEditor();
    A.setEnabled(E && E->CanSave());
  };
  FileSaveAs->OnUpdate = [this](TAction& A) {
    TEditorForm* E = ActiveEditor();
    A.setEnabled(E && E->CanSaveAs());
  };
  FileSaveAll->OnUpdate = [this](TAction& A) {
    A.setEnabled(
        std::any_of(FEditors.begin(), FEditors.end(), [](TEditorForm* E) { return E->CanSave(); }));
  };
  FileClose->OnUpdate = [this](TAction& A) { A.setEnabled(ActiveEditor() != nullptr); };
  FileCloseAll->OnUpdate = [this](TAction& A) { A.setEnabled(!FEditors.empty()); };
  auto OnActive = [this](bool (TBasicForm::*Can)()) {
    return [this, Can](TAction& A) { A.setEnabled(FActiveWindow && (FActiveWindow->*Can)()); };
  };
  EditCut->OnUpdate = OnActive(&TBasicForm::CanCut);
  EditCopy->OnUpdate = OnActive(&TBasicForm::CanCopy);
  EditPaste->OnUpdate = OnActive(&TBasicForm::CanPaste);
  EditDelete->OnUpdate = OnActive(&TBasicForm::CanDelete);
  EditSelectAll->OnUpdate = OnActive(&TBasicForm::CanSelectAll);
  // The Window menu and its tool button go with WindowNext.
  WindowNext->OnUpdate = [this](TAction& A) {
    A.setEnabled(!FWindows.empty());
    if (mnuWindow)
      mnuWindow->menuAction()->setEnabled(!FWindows.empty());
  };

  // Shortcuts of the strip work while a document window has the focus.
  addActions({FileNew, FileOpen, FileSave, EditCut, EditCopy, EditPaste, EditDelete, EditSelectAll,
              WindowNext, HelpContents});
}

void TMainForm::CreateStrip() {
  setWindowTitle(QString::fromUtf8(ShellCaption));
  FApplicationTitle = ShellCaption;

  tbrMenu = new QMenuBar(this);
  tbrMenu->setNativeMenuBar(false);
  mnuFile = tbrMenu->addMenu("&Файл");
  mnuFile->addActions({FileNew, FileOpen, FileExamples});
  mnuFile->addSeparator();
  mnuFile->addActions({FileSave, FileSaveAs, FileSaveAll});
  mnuFile->addSeparator();
  // A document's own file commands (export, print) come here.
  FMergePoints.emplace_back(mnuFile, FileClose);
  mnuFile->addActions({FileClose, FileCloseAll});
  mnuFile->addSeparator();
  mnuFile->addAction(FileExit);
  mnuEdit = tbrMenu->addMenu("&Правка");
  mnuEdit->addActions({EditCut, EditCopy, EditPaste, EditDelete, EditSelectAll});
  // A document's undo and redo come first.
  FMergePoints.emplace_back(mnuEdit, EditCut);
  mnuWindow = tbrMenu->addMenu("&Окно");
  mnuWindow->menuAction()->setObjectName("tbWindow");
  connect(mnuWindow, &QMenu::aboutToShow, this, &TMainForm::RebuildWindowMenu);
  mnuHelp = tbrMenu->addMenu("&?");
  mnuHelp->addAction(HelpContents);
  mnuHelp->addSeparator();
  mnuHelp->addAction(HelpAbout);
  mnuHelp->addSeparator();
  mnuHelp->addAction(HelpApplications);
  RebuildWindowMenu();

  tbrMain = new QToolBar(this);
  tbrMain->setIconSize(QSize(16, 16));
  tbrMain->addActions({FileNew, FileOpen, FileSave});
  tbrMain->addSeparator();
  tbrMain->addActions({EditCut, EditCopy, EditPaste, EditDelete});

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
  for (const auto& Module : FAppModules)
    FActiveApps.push_back(Module->GetName());
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

// --- application table ---

int TMainForm::AppIndex(const std::string& Name) const {
  for (size_t I = 0; I < FAppNames.size(); ++I)
    if (SameText(FAppNames[I].Name, Name))
      return static_cast<int>(I);
  return -1;
}

const std::string& TMainForm::GetApps(int Index) const {
  Assert(Index >= 0 && Index < GetAppCount(), "Application index out of range");
  return FAppNames[Index].Name;
}

const std::string& TMainForm::GetAppTitles(int Index) const {
  Assert(Index >= 0 && Index < GetAppCount(), "Application index out of range");
  return FAppTitles[Index];
}

const TAppModuleClass* TMainForm::GetAppClass(const std::string& Name) const {
  int I = AppIndex(Name);
  return I < 0 ? nullptr : FAppNames[I].Class;
}

const TAppModuleClass* TMainForm::FindAppClass(const std::string& Name) const {
  const TAppModuleClass* Class = GetAppClass(Name);
  if (!Class)
    throw Exception(Format("Не найден класс для модуля \"%s\".", Name.c_str()));
  return Class;
}

TAppModule* TMainForm::GetAppModule(const std::string& Name) const {
  for (const auto& M : FAppModules)
    if (SameText(M->GetName(), Name))
      return M.get();
  return nullptr;
}

TAppModule* TMainForm::FindAppModule(const std::string& Name) const {
  TAppModule* M = GetAppModule(Name);
  if (!M)
    throw Exception(Format("Модуль приложения \"%s\" не загружен.", Name.c_str()));
  return M;
}

TAppModule* TMainForm::GetAppModules(int Index) const {
  Assert(Index >= 0 && Index < GetAppModuleCount(), "Application module index out of range");
  return FAppModules[Index].get();
}

void TMainForm::InitAppModules() {
  if (!FSettings)
    return;
  // One reading of the section, however many entries it holds.
  std::vector<std::pair<std::string, std::string>> Entries;
  FSettings->ReadSectionValues("Applications", Entries);
  FAppNames.clear();
  FAppTitles.clear();
  for (const auto& Entry : Entries)
    FAppNames.push_back({Entry.first, nullptr});
  FAppTitles.assign(FAppNames.size(), "");

  // An entry that fails stays in the file as the user wrote it; the table
  // in memory drops it. A close request (the main window closed from one of
  // the messages, a signal) ends the start at once.
  for (int I = GetAppCount() - 1; I >= 0 && !FCloseRequested; --I) {
    std::string Name = FAppNames[I].Name;
    bool Enabled;
    std::string Title;
    ParseAppValue(Entries[I].second, Enabled, Title);
    if (!Title.empty())
      FAppTitles[I] = Title;
    else {
      try {
        LoadAppClass(Name);
      } catch (const std::exception& E) {
        FAppNames.erase(FAppNames.begin() + I);
        FAppTitles.erase(FAppTitles.begin() + I);
        ShowException(E);
        continue;
      }
    }
    if (Enabled && !FCloseRequested) {
      try {
        PowerUpAppModule(Name);
      } catch (const std::exception& E) {
        ShowErrorMessage(
            WithFullStop(Format("Ошибка инициализации модуля \"%s\": %s", Name.c_str(), E.what())));
      }
    }
  }
}

void TMainForm::LoadAppClass(const std::string& Name) {
  int Index = AppIndex(Name);
  Assert(Index >= 0, "Loading the class of an application that is not listed");
  std::string File = Name + ".so";
  if (FModuleManager.IsModuleResident(File))
    throw Exception(Format("Модуль \"%s\" уже загружен.", File.c_str()));
  TModuleHandle Handle = FModuleManager.MountModule(File);
  // A failure unmounts the package again. The package's own exception
  // types go with it, so the message is copied out and the exception left
  // behind before the package is unloaded.
  std::string Error;
  bool Failed = false;
  try {
    auto Get = reinterpret_cast<TGetAppModuleClass>(
        GetPackageProcAddress(Handle, GetAppModuleClassExport));
    const TAppModuleClass* Class = Get ? Get() : nullptr;
    if (!Class)
      throw Exception(Format("Модуль \"%s\" не является модулем приложения.", File.c_str()));
    FAppNames[Index].Class = Class;
    FAppTitles[Index] = Class->GetTitle();
  } catch (const std::exception& E) {
    Error = E.what();
    Failed = true;
  } catch (...) {
    Error = Format("Модуль \"%s\" не является модулем приложения.", File.c_str());
    Failed = true;
  }
  if (Failed) {
    FAppNames[Index].Class = nullptr;
    FModuleManager.UnmountModule(File);
    throw Exception(Error);
  }
}

void TMainForm::PowerUpAppModule(const std::string& Name) {
  if (GetAppModule(Name))
    throw Exception(Format("Модуль \"%s\" уже включен.", Name.c_str()));
  if (!GetAppClass(Name))
    LoadAppClass(Name);
  FindAppClass(Name)->Create(Name);
}

bool TMainForm::ShutDownAppModule(const std::string& Name) {
  TAppModule* Module = GetAppModule(Name);
  if (!Module)
    return true;
  if (!Module->CloseQuery())
    return false;
  delete Module;
  return true;
}

bool TMainForm::ShutDownAllAppModules() {
  HideApplications();
  for (int I = GetAppModuleCount() - 1; I >= 0; --I) {
    if (I >= GetAppModuleCount())
      continue;
    if (!ShutDownAppModule(FAppModules[I]->GetName()))
      return false;
  }
  return true;
}

void TMainForm::ChooseAppEnabled(const std::string& Name, bool Enabled) {
  const bool Running = GetAppModule(Name) != nullptr;
  auto Remember = [&] {
    auto It = std::find_if(FUserChoices.begin(), FUserChoices.end(),
                           [&](const auto& C) { return SameText(C.first, Name); });
    if (It != FUserChoices.end())
      It->second = Enabled;
    else
      FUserChoices.emplace_back(Name, Enabled);
  };
  if (Running && !Enabled) {
    if (ShutDownAppModule(Name))
      Remember();
  } else if (!Running && Enabled) {
    Remember(); // also when the start fails: the user wants it
    PowerUpAppModule(Name);
  }
}

void TMainForm::SaveModuleInfo() {
  if (!FListsCreated || !FSettings || FUserChoices.empty())
    return;
  std::vector<std::pair<std::string, std::string>> Values;
  for (const auto& [Name, Enabled] : FUserChoices) {
    const int I = AppIndex(Name);
    if (I >= 0)
      Values.emplace_back(FAppNames[I].Name, FormatAppValue(Enabled, FAppTitles[I]));
  }
  FSettings->WriteStrings("Applications", Values);
  FUserChoices.clear();
}

void TMainForm::UpdateCaption() {
  // Called whenever a module starts or stops, which changes the documents.
  RequestActionUpdate();
  if (GetAppModuleCount() == 1) {
    const TAppModuleClass* Class = FAppModules[0]->GetClass();
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

namespace {

QString MenuTitle(const QString& Text) {
  QString T = Text;
  return T.remove('&');
}

} // namespace

void TMainForm::MergeMenu(QMenu* Menu) {
  if (!Menu)
    return;
  UnmergeMenu(Menu);
  TMergedMenu Merged;
  Merged.Source = Menu;
  QAction* Before = nullptr;
  for (const auto& [Target, Point] : FMergePoints)
    if (MenuTitle(Target->title()) == MenuTitle(Menu->title())) {
      Merged.Target = Target;
      Before = Point;
    }
  if (Merged.Target) {
    const QList<QAction*> Actions = Menu->actions();
    if (Actions.isEmpty())
      return;
    Merged.Target->insertActions(Before, Actions);
    for (QAction* A : Actions)
      Merged.Added.emplace_back(A);
    // Set off from the shell's own commands that follow.
    Merged.Added.emplace_back(Merged.Target->insertSeparator(Before));
  } else {
    tbrMenu->insertMenu(mnuWindow->menuAction(), Menu);
  }
  FMergedMenus.push_back(std::move(Merged));
}

void TMainForm::UnmergeMenu(QMenu* Menu) {
  for (auto It = FMergedMenus.begin(); It != FMergedMenus.end(); ++It) {
    if (It->Source != Menu)
      continue;
    if (It->Target) {
      for (const auto& A : It->Added)
        if (A) {
          It->Target->removeAction(A);
          // Our separator; the window's actions stay the window's.
          if (A->parent() == It->Target)
            delete A;
        }
    } else if (Menu) {
      tbrMenu->removeAction(Menu->menuAction());
    }
    FMergedMenus.erase(It);
    return;
  }
}

void TMainForm::MergeWindow(TBasicForm* Window) {
  if (Window == FMergedWindow)
    return;
  // Taken back whatever became of the menus (a window going frees them).
  while (!FMergedMenus.empty())
    UnmergeMenu(FMergedMenus.back().Source);
  for (const auto& A : FMergedTools)
    if (A) {
      tbrMain->removeAction(A);
      if (A->parent() == tbrMain)
        delete A;
    }
  FMergedTools.clear();
  FMergedWindow = Window;
  if (!Window)
    return;
  for (QMenu* Menu : Window->GetMergedMenus())
    MergeMenu(Menu);
  const QList<QAction*> Tools = Window->GetMergedToolActions();
  if (!Tools.isEmpty()) {
    FMergedTools.emplace_back(tbrMain->addSeparator());
    for (QAction* A : Tools) {
      tbrMain->addAction(A);
      FMergedTools.emplace_back(A);
    }
  }
}

// --- documents ---

TEditorForm* TMainForm::CreateEditor(const TEditorFormClass* EditorClass) {
  TEditorForm* Editor = EditorClass->Create(nullptr);
  try {
    Editor->show();
  } catch (...) {
    delete Editor;
    throw;
  }
  return Editor;
}

TEditorForm* TMainForm::OpenFile(const std::string& FileName) {
  // A file has one window: opening it again shows that one, whatever path
  // names it, so two windows can never overwrite each other's saves.
  if (TEditorForm* Shown = FindFileEditor(FileName)) {
    SelectWindow(Shown);
    return Shown;
  }
  const TEditorFormClass* Class = GetFileEditor(FileName);
  // Content no kind recognises goes to the kind whose extension the file
  // has: its loader says what is wrong with the file.
  if (!Class)
    Class = GetExtensionEditor(FileName);
  if (!Class)
    throw Exception(Format("Нет редактора для файла \"%s\".", FileName.c_str()));
  TEditorForm* Editor = Class->Create(nullptr);
  try {
    Editor->OpenFile(FileName);
    Editor->show();
  } catch (...) {
    delete Editor;
    throw;
  }
  return Editor;
}

TEditorForm* TMainForm::FindFileEditor(const std::string& FileName) const {
  struct stat Wanted;
  if (::stat(FileName.c_str(), &Wanted) != 0)
    return nullptr;
  for (TEditorForm* E : FEditors) {
    struct stat Shown;
    if (E->GetHasFileName() && ::stat(E->GetFileName().c_str(), &Shown) == 0 &&
        Shown.st_dev == Wanted.st_dev && Shown.st_ino == Wanted.st_ino)
      return E;
  }
  return nullptr;
}

const TEditorFormClass* TMainForm::GetExtensionEditor(const std::string& FileName) const {
  const size_t Slash = FileName.rfind('/');
  const size_t Dot = FileName.rfind('.');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
    return nullptr;
  const std::string Extension = FileName.substr(Dot + 1);
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanLoad) || Class->GetFlags().Contains(efUniversal))
      continue;
    TStringList Extensions;
    Class->GetFileExtensions(Extensions);
    for (const std::string& E : Extensions.Lines())
      if (!E.empty() && SameText(E, Extension))
        return Class;
  }
  return nullptr;
}

void TMainForm::OpenFiles(const std::vector<std::string>& Names) {
  for (const std::string& Name : Names)
    OpenFile(Name);
}

const TEditorFormClass* TMainForm::GetFileEditor(const std::string& FileName) {
  TFileStream Stream(FileName, fmOpenRead);
  return GetStreamEditor(Stream);
}

const TEditorFormClass* TMainForm::GetStreamEditor(TStream& Stream) {
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  int64_t Position = Stream.GetPosition();
  const TEditorFormClass* Fallback = nullptr;
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class)
      continue;
    TEditorFlags Flags = Class->GetFlags();
    if (Flags.Contains(efUniversal))
      Fallback = Class; // the last universal class registered wins
    else if (Flags.Contains(efCanLoad) && Class->UnderstandsData(Stream))
      return Class;
    Stream.SetPosition(Position);
  }
  return Fallback;
}

void TMainForm::MakeFilter(std::string& Filter, int& DefaultIndex) {
  Filter.clear();
  DefaultIndex = 1;
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanLoad) || Class->GetDescription().empty())
      continue;
    ++DefaultIndex;
    TStringList Extensions;
    Class->GetFileExtensions(Extensions);
    std::string Mask;
    for (const std::string& E : Extensions.Lines())
      Mask += (Mask.empty() ? "" : "; ") + ("*." + E);
    Filter += Class->GetDescription();
    if (!Mask.empty())
      Filter += " (" + Mask + ")";
    Filter += "|" + (Mask.empty() ? std::string("*.*") : Mask) + "|";
  }
  Filter += "Все файлы|*.*";
}

TEditorForm* TMainForm::GetEditors(int Index) const {
  Assert(Index >= 0 && Index < GetEditorCount(), "Editor index out of range");
  return FEditors[Index];
}

void TMainForm::AddFileEditor(TEditorForm* Editor) {
  Assert(std::find(FEditors.begin(), FEditors.end(), Editor) == FEditors.end(),
         "Document added twice");
  FEditors.push_back(Editor);
  RequestActionUpdate();
}

void TMainForm::RemoveFileEditor(TEditorForm* Editor) {
  auto It = std::find(FEditors.begin(), FEditors.end(), Editor);
  if (It != FEditors.end())
    FEditors.erase(It);
  RequestActionUpdate();
}

bool TMainForm::QueryCloseEditors(const TEditorFormClass* Class) {
  // A copy: answering may open or close windows.
  std::vector<QPointer<TEditorForm>> Editors(FEditors.begin(), FEditors.end());
  for (const auto& Editor : Editors)
    if (Editor && Class->IsClassOf(Editor) && !Editor->QueryClose())
      return false;
  return true;
}

void TMainForm::CloseEditors(const TEditorFormClass* Class) {
  for (int I = GetEditorCount() - 1; I >= 0; --I) {
    if (I >= GetEditorCount())
      continue; // freeing one freed others
    TEditorForm* Editor = FEditors[I];
    if (Class->IsClassOf(Editor))
      delete Editor;
  }
}

bool TMainForm::CloseAll() {
  const TEditorFormClass* All = &TEditorForm::StaticClass();
  if (!QueryCloseEditors(All))
    return false;
  CloseEditors(All);
  return true;
}

// --- windows ---

void TMainForm::AddWindow(TBasicForm* Window) {
  Assert(std::find(FWindows.begin(), FWindows.end(), Window) == FWindows.end(),
         "Window added twice");
  FWindows.push_back(Window);
  RequestActionUpdate();
}

TBasicForm* TMainForm::GetWindows(int Index) const {
  Assert(Index >= 0 && Index < GetOpenWindowCount(), "Window index out of range");
  return FWindows[Index];
}

void TMainForm::RemoveWindow(TBasicForm* Window) {
  auto It = std::find(FWindows.begin(), FWindows.end(), Window);
  if (It != FWindows.end())
    FWindows.erase(It);
  if (FActiveWindow == Window)
    FActiveWindow = nullptr;
  if (FMergedWindow == Window)
    MergeWindow(nullptr);
  RequestActionUpdate();
  for (const auto& Item : FWindowItems)
    if (Item && Item->data().value<void*>() == Window)
      Item->setData(QVariant());

  // Listeners may remove themselves or others while they are told.
  int I = static_cast<int>(FCloseWindowListeners.size()) - 1;
  while (I >= 0) {
    FCloseWindowListeners[I]->WindowClosed(Window);
    --I;
    if (I >= static_cast<int>(FCloseWindowListeners.size()))
      I = static_cast<int>(FCloseWindowListeners.size()) - 1;
  }

  if (FDestroying)
    return;
  for (QWidget* W : QApplication::topLevelWidgets()) {
    auto* Other = qobject_cast<TBasicForm*>(W);
    if (Other && Other != Window && Other->isVisible() && Other->isEnabled() &&
        std::find(FWindows.begin(), FWindows.end(), Other) != FWindows.end()) {
      Other->activateWindow();
      break;
    }
  }
}

void TMainForm::WindowMinimized(TBasicForm* Window) {
  if (FActiveWindow == Window)
    FActiveWindow = nullptr;
  RequestActionUpdate();
}

void TMainForm::FormActivated(TBasicForm* Window) {
  if (std::find(FWindows.begin(), FWindows.end(), Window) != FWindows.end()) {
    FActiveWindow = Window;
    MergeWindow(Window);
  }
  RequestActionUpdate();
}

int TMainForm::AcquireNonameNumber() {
  for (size_t I = 0; I < FNonameNumbers.size(); ++I)
    if (!FNonameNumbers[I]) {
      FNonameNumbers[I] = true;
      return static_cast<int>(I) + 1;
    }
  FNonameNumbers.push_back(true);
  return static_cast<int>(FNonameNumbers.size());
}

void TMainForm::ReleaseNonameNumber(int Number) {
  Assert(Number >= 1 && Number <= static_cast<int>(FNonameNumbers.size()),
         "Untitled number out of range");
  FNonameNumbers[Number - 1] = false;
}

void TMainForm::AddCloseWindowNotify(IWindowClosed* Listener) {
  Assert(std::find(FCloseWindowListeners.begin(), FCloseWindowListeners.end(), Listener) ==
             FCloseWindowListeners.end(),
         "Close-window listener added twice");
  FCloseWindowListeners.push_back(Listener);
}

void TMainForm::RemoveCloseWindowNotify(IWindowClosed* Listener) {
  auto It = std::find(FCloseWindowListeners.begin(), FCloseWindowListeners.end(), Listener);
  if (It != FCloseWindowListeners.end())
    FCloseWindowListeners.erase(It);
}

void TMainForm::SelectWindow(TBasicForm* Window) {
  Window->EnsureVisibility();
  Window->raise();
  Window->activateWindow();
  FormActivated(Window);
}

void TMainForm::RebuildWindowMenu() {
  mnuWindow->clear();
  FWindowItems.clear();
  int Count = std::min(GetOpenWindowCount(), MaxWindowItems);
  for (int I = 0; I < Count; ++I) {
    TBasicForm* Window = FWindows[I];
    QAction* Item = mnuWindow->addAction(Window->windowTitle());
    Item->setCheckable(true);
    Item->setChecked(Window == FActiveWindow);
    Item->setData(QVariant::fromValue(static_cast<void*>(Window)));
    connect(Item, &QAction::triggered, this, [this, Item] {
      // A window destroyed meanwhile has detached its item.
      auto* W = static_cast<TBasicForm*>(Item->data().value<void*>());
      if (W)
        SelectWindow(W);
    });
    FWindowItems.emplace_back(Item);
  }
  mnuWindow->addSeparator();
  mnuWindow->addAction(WindowNext);
}

void TMainForm::WindowNextExecute() {
  if (FWindows.empty())
    return;
  auto It = std::find(FWindows.begin(), FWindows.end(), FActiveWindow);
  size_t I = It == FWindows.end() ? 0 : static_cast<size_t>(It - FWindows.begin());
  size_t Next = I + 1 >= FWindows.size() ? 0 : I + 1;
  SelectWindow(FWindows[Next]);
}

// --- commands ---

TEditorForm* TMainForm::ActiveEditor() const {
  return qobject_cast<TEditorForm*>(FActiveWindow);
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
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
  case QEvent::MouseButtonPress:
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
    std::vector<QPointer<TEditorForm>> Editors(FEditors.begin(), FEditors.end());
    for (const auto& E : Editors)
      if (E)
        E->UpdateWindowCaption();
    emit Idle();
  } catch (const std::exception& E) {
    ShowException(E);
  }
}

void TMainForm::EditCommand(void (TBasicForm::*Command)()) {
  QPointer<TBasicForm> Active = FActiveWindow;
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

int TMainForm::OpenFilterIndex() const {
  // The entries of MakeFilter before the all-files one, in its order.
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  TEditorForm* Active = ActiveEditor();
  int Index = 0, First = 0;
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanLoad) || Class->GetDescription().empty())
      continue;
    ++Index;
    if (!First)
      First = Index;
    if (Active && Active->GetClass() == Class)
      return Index;
  }
  return First ? First : 1;
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
  std::vector<QPointer<TEditorForm>> Editors(FEditors.begin(), FEditors.end());
  for (const auto& E : Editors)
    if (E && E->CanSave() && !E->Save())
      break;
}

void TMainForm::FileCloseExecute() {
  if (TEditorForm* E = ActiveEditor())
    E->close();
}

} // namespace Deskbay
