#pragma once

// The shell's main window, a strip of menus and tool buttons across the top
// of the desktop, and the application modules it runs. Documents live in
// separate windows (Basic.h, Editor.h) that the main window tracks.

#include "Basic.h"
#include "Editor.h"
#include "ShellSettings.h"

#include "Corekit/IniFiles.h"
#include "Corekit/ModMgr.h"
#include "Corekit/TempFileMgr.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QMenu;
class QMenuBar;
class QTimer;
class QToolBar;

namespace Deskbay {

class TAppModule;

// An application module's class as a value; the shell creates modules only
// through it. A module's class derives from TAppModuleClassOf<itsModule>.
class ENVIRONMENT_API TAppModuleClass {
public:
  virtual ~TAppModuleClass();
  virtual const char* ClassName() const = 0;
  // The virtual constructor.
  virtual TAppModule* Create(const std::string& Name) const = 0;
  // The module's long title; "<Неизвестный модуль>".
  virtual std::string GetTitle() const;
  // GetTitle by default.
  virtual std::string GetShortTitle() const;
};

// The class value of the module class TModule, whose constructor takes
// (const TAppModuleClass&, const std::string& Name).
template <class TModule, class Base = TAppModuleClass> class TAppModuleClassOf : public Base {
public:
  explicit TAppModuleClassOf(const char* Name) : FName(Name) {}
  const char* ClassName() const override { return FName; }
  TAppModule* Create(const std::string& Name) const override { return new TModule(*this, Name); }

private:
  const char* FName;
};

// What every application-module package exports by this plain name.
using TGetAppModuleClass = const TAppModuleClass* (*)();
inline constexpr const char* GetAppModuleClassExport = "GetAppModuleClass";

// The base of every application module; owned by the main window.
class ENVIRONMENT_API TAppModule : public TObject {
public:
  // Stores the name and joins the main window's running modules.
  TAppModule(const TAppModuleClass& Class, const std::string& Name);
  // Leaves the running modules, frees the documents of its editor classes
  // and unregisters them.
  ~TAppModule() override;
  TAppModule(const TAppModule&) = delete;
  TAppModule& operator=(const TAppModule&) = delete;
  const char* ClassName() const override { return "TAppModule"; }

  const TAppModuleClass* GetClass() const { return FClass; }
  // The package name without ".so", as the settings file lists it.
  const std::string& GetName() const { return FName; }

  // May the module shut down now: every document of its editor classes
  // agrees to close.
  virtual bool CloseQuery();

  // Adds the classes to the module's editor classes; with Register, also
  // to the module registry under CATID_EDITOR.
  void RegisterEditors(const std::vector<const TEditorFormClass*>& Editors, bool Register);
  void CloseEditors();
  int GetEditorClassCount() const { return static_cast<int>(FEditorClasses.size()); }
  const TEditorFormClass* GetEditorClasses(int Index) const;

private:
  const TAppModuleClass* FClass;
  std::string FName;
  std::vector<const TEditorFormClass*> FEditorClasses;
  std::vector<const TEditorFormClass*> FRegistered;
};

// Told of every shell window being destroyed,
// {C59EBC10-5436-11D6-AC2F-204C4F4F5020}.
class ENVIRONMENT_API IWindowClosed {
public:
  virtual ~IWindowClosed();
  virtual void WindowClosed(TBasicForm* Window) = 0;
};

class TMainForm;
// The one main window of the process, while it exists.
ENVIRONMENT_API extern TMainForm* MainForm;

class ENVIRONMENT_API TMainForm : public QWidget {
  Q_OBJECT
public:
  // Runs the start sequence for the running program.
  TMainForm();
  // The same with the given folders and names (tests, other hosts).
  explicit TMainForm(const TShellStart& Start);
  ~TMainForm() override;

  // --- documents
  TEditorForm* CreateEditor(const TEditorFormClass* EditorClass);
  // Opens the file in a window of the kind its content belongs to (else of
  // the kind its extension names, whose loader says what is wrong); a file
  // already shown (by any path that leads to it) gets its window activated
  // instead of a second one.
  TEditorForm* OpenFile(const std::string& FileName);
  // The document window that shows the file FileName, or nullptr.
  TEditorForm* FindFileEditor(const std::string& FileName) const;
  // The loadable, not universal kind that lists FileName's extension.
  const TEditorFormClass* GetExtensionEditor(const std::string& FileName) const;
  void OpenFiles(const std::vector<std::string>& Names);
  const TEditorFormClass* GetFileEditor(const std::string& FileName);
  const TEditorFormClass* GetStreamEditor(TStream& Stream);
  // The Open dialog's filter ("caption|mask|...") and its 1-based default
  // index, the all-files entry.
  void MakeFilter(std::string& Filter, int& DefaultIndex);
  // The 1-based entry of MakeFilter's filter the Open dialog preselects:
  // the active document's kind, else the first kind.
  int OpenFilterIndex() const;
  int GetEditorCount() const { return static_cast<int>(FEditors.size()); }
  TEditorForm* GetEditors(int Index) const;
  void AddFileEditor(TEditorForm* Editor);
  void RemoveFileEditor(TEditorForm* Editor);
  bool QueryCloseEditors(const TEditorFormClass* Class);
  void CloseEditors(const TEditorFormClass* Class);
  bool CloseAll();

  // --- windows
  void AddWindow(TBasicForm* Window);
  void RemoveWindow(TBasicForm* Window);
  int GetOpenWindowCount() const { return static_cast<int>(FWindows.size()); }
  TBasicForm* GetWindows(int Index) const;
  void WindowMinimized(TBasicForm* Window);
  TBasicForm* GetActiveWindow() const { return FActiveWindow; }
  // A shell window became the active form.
  void FormActivated(TBasicForm* Window);
  int AcquireNonameNumber();
  void ReleaseNonameNumber(int Number);
  void AddCloseWindowNotify(IWindowClosed* Listener);
  void RemoveCloseWindowNotify(IWindowClosed* Listener);
  // The main window's bottom edge when at least half the screen lies below
  // it, else 0; shell windows keep below it.
  int GetRestrictedBottom() const;

  // --- application modules
  int GetAppCount() const { return static_cast<int>(FAppNames.size()); }
  const std::string& GetApps(int Index) const;
  const std::string& GetAppTitles(int Index) const;
  const TAppModuleClass* GetAppClass(const std::string& Name) const;
  const TAppModuleClass* FindAppClass(const std::string& Name) const;
  TAppModule* GetAppModule(const std::string& Name) const;
  TAppModule* FindAppModule(const std::string& Name) const;
  int GetAppModuleCount() const { return static_cast<int>(FAppModules.size()); }
  TAppModule* GetAppModules(int Index) const;
  void InitAppModules();
  void LoadAppClass(const std::string& Name);
  void PowerUpAppModule(const std::string& Name);
  bool ShutDownAppModule(const std::string& Name);
  bool ShutDownAllAppModules();
  // The user switched an application on or off (the applications window):
  // it is started or shut down now, and the choice is what SaveModuleInfo
  // keeps for the next start. A shutdown that a document refuses changes
  // nothing; a start that fails keeps the choice and passes the error on.
  void ChooseAppEnabled(const std::string& Name, bool Enabled);
  // Writes back to the settings file what the user chose since the start,
  // in one write; every other line of the file stays as it was. Nothing
  // chosen, nothing written.
  void SaveModuleInfo();
  void UpdateCaption();
  // The task bar's title as UpdateCaption set it.
  const std::string& GetApplicationTitle() const { return FApplicationTitle; }

  // --- idle jobs: while any runs, idle passes keep coming without input,
  // each after the events that are waiting; with none the loop sleeps
  void StartIdleJob();
  void StopIdleJob();
  bool GetIdleJobsRunning() const { return FIdleJobs > 0; }

  // A window's menu joins the strip: its actions go into the shell's menu
  // of the same title (without the "&"), at that menu's place for them (in
  // "Файл" after the save commands, in "Правка" at the top), or the menu
  // itself stands before "Окно" when the shell has none of its title.
  // UnmergeMenu takes back all that MergeMenu added for Menu.
  void MergeMenu(QMenu* Menu);
  void UnmergeMenu(QMenu* Menu);
  // The window whose menus and tool buttons are in the strip now; the
  // active window's, kept while no other shell window is active.
  TBasicForm* GetMergedWindow() const { return FMergedWindow; }

  const std::string& GetHomeDir() const { return FHomeDir; }
  const std::string& GetProgramName() const { return FProgramName; }
  const std::string& GetModuleDir() const { return FModuleDir; }
  TIniFile* GetSettings() const { return FSettings.get(); }
  TModuleManager& GetModuleManager() { return FModuleManager; }
  // nullptr when no folder for temporary files could be had.
  TTempFileManager* GetTempFiles() const { return FTempFiles.get(); }
  bool GetStartFailed() const { return FStartFailed; }
  // The main window was closed: no further step of the start runs.
  bool GetCloseRequested() const { return FCloseRequested; }

  // The first show's work: actions, the application modules, the caption.
  void FirstShow();
  // Recomputes every action's enabled state.
  void UpdateActions();
  // Asks for one update of the commands (the shell's and, through Idle, the
  // documents' own) and of the documents' captions once the events waiting
  // now are handled; any number of requests before then make one update.
  // The shell asks on user input, focus, window and clipboard changes; a
  // document asks when its state changes without any of these (a run that
  // ends by itself).
  void RequestActionUpdate();
  // Rebuilds the Window menu as it is about to open.
  void RebuildWindowMenu();
  // Places the strip across the top of the work area and, where the
  // desktop allows (X11), reserves its rows there as panels do.
  void PlaceStrip();
  // The window manager keeps other windows, maximised ones too, off the
  // strip's rows; the shell need not place them itself.
  bool GetRowsReserved() const { return FRowsReserved; }

  // The commands.
  TAction *FileNew, *FileOpen, *FileSave, *FileSaveAs, *FileSaveAll, *FileClose, *FileCloseAll,
      *FileExit, *EditCut, *EditCopy, *EditPaste, *EditDelete, *EditSelectAll, *WindowNext,
      *HelpModules, *HelpApplications, *HelpAbout, *HelpContents, *FileExamples;
  TActionList* ActionList;
  QMenuBar* tbrMenu;
  QToolBar* tbrMain;
  QMenu *mnuFile = nullptr, *mnuEdit = nullptr, *mnuWindow = nullptr, *mnuHelp = nullptr;

  // The actions' handlers, reachable without the menus.
  void FileNewExecute();
  void FileOpenExecute();
  // The Open dialog, started in the folder of StartBeside (a file's name,
  // or a folder's with a trailing "/"), else where dialogs start.
  void OpenFromDialog(const std::string& StartBeside);
  void FileSaveExecute();
  void FileSaveAsExecute();
  void FileSaveAllExecute();
  void FileCloseExecute();
  void WindowNextExecute();

signals:
  // The coalesced update of the commands (RequestActionUpdate), repeated
  // while idle jobs run.
  void Idle();

protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  // Sees the application's user input, which may change what the commands
  // may do, and lets it go on.
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void Start(const TShellStart& Start);
  void CreateActions();
  void CreateStrip();
  void WatchActionTriggers();
  void RunActionUpdate();
  void ModuleRequired(const std::string& ModuleName, std::string& FileName);
  TEditorForm* ActiveEditor() const;
  void EditCommand(void (TBasicForm::*Command)());
  void SelectWindow(TBasicForm* Window);
  int AppIndex(const std::string& Name) const;
  // The strip shows what Window adds (nullptr: nothing), and no longer what
  // the window merged before added.
  void MergeWindow(TBasicForm* Window);

  struct TAppEntry {
    std::string Name;
    const TAppModuleClass* Class = nullptr;
  };

  int FMainHeight = 0;
  int FStripTop = 0;
  bool FRowsReserved = false;
  std::vector<TEditorForm*> FEditors;
  TBasicForm* FActiveWindow = nullptr;
  std::vector<TBasicForm*> FWindows;
  bool FShown = false;
  std::vector<IWindowClosed*> FCloseWindowListeners;
  std::vector<bool> FNonameNumbers; // slot n-1: number n is taken
  std::vector<std::unique_ptr<TAppModule>> FAppModules;
  TModuleManager FModuleManager;
  std::unique_ptr<TIniFile> FSettings;
  std::string FProgramName;
  std::string FModuleDir;
  std::vector<TAppEntry> FAppNames;
  std::vector<std::string> FAppTitles;
  std::string FHomeDir;
  std::vector<std::string> FActiveApps;
  // What the user chose in the applications window, by name, in order.
  std::vector<std::pair<std::string, bool>> FUserChoices;
  // The start made the application lists (the table is saved only then).
  bool FListsCreated = false;
  int FIdleJobs = 0;
  std::unique_ptr<TTempFileManager> FTempFiles;
  std::string FApplicationTitle;
  bool FStartFailed = false;
  bool FCloseRequested = false;
  bool FStarting = false; // the applications are being started
  bool FDestroying = false;
  bool FUpdateQueued = false;
  QTimer* FIdleJobTimer = nullptr;
  std::vector<QPointer<QAction>> FWindowItems;
  // Where a merged menu's actions go in the shell's menu of that title.
  std::vector<std::pair<QMenu*, QAction*>> FMergePoints;
  struct TMergedMenu {
    QPointer<QMenu> Source;
    QPointer<QMenu> Target;               // the shell's menu, or nullptr
    std::vector<QPointer<QAction>> Added; // in Target (a separator of ours too)
  };
  std::vector<TMergedMenu> FMergedMenus;
  std::vector<QPointer<QAction>> FMergedTools; // a separator of ours and the window's
  TBasicForm* FMergedWindow = nullptr;

  friend class TAppModule;
};

} // namespace Deskbay
