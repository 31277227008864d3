#pragma once

// The shell's main window, a strip of menus and tool buttons across the top
// of the desktop, and the shell's commands. What it runs has managers of its
// own: the application modules (Environment_AppModules), the documents
// (Environment_Documents), the windows and their menu (Environment_WindowList)
// and the menus merged into the strip (Environment_MenuMerger). Documents
// live in separate windows (Basic.h, Editor.h) and reach the shell through
// IShell (Environment_Shell.h).

#include "Basic.h"
#include "Editor.h"
#include "Environment_AppModules.h"
#include "Environment_Documents.h"
#include "Environment_MenuKeys.h"
#include "Environment_MenuMerger.h"
#include "Environment_Shell.h"
#include "Environment_WindowList.h"
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

class TMainForm;
// The one main window of the process, while it exists.
ENVIRONMENT_API extern TMainForm* MainForm;

class ENVIRONMENT_API TMainForm : public QWidget, public IShell {
  Q_OBJECT
public:
  // Runs the start sequence for the running program.
  TMainForm();
  // The same with the given folders and names (tests, other hosts).
  explicit TMainForm(const TShellStart& Start);
  ~TMainForm() override;

  // --- the managers
  TDocumentList& GetDocuments() override { return FDocuments; }
  TWindowList& GetWindowList() override { return FWindowList; }
  TAppModuleTable& GetAppModuleTable() { return FApps; }
  TMenuMerger& GetMenuMerger() { return *FMerger; }

  // --- IShell
  QWidget* GetShellWindow() override { return this; }
  bool CloseShell() override { return close(); }
  QMetaObject::Connection ConnectIdle(QObject* Context, std::function<void()> Slot) override;
  TAction* FindCommand(const char* Id) const override;

  // --- documents (TDocumentList)
  TEditorForm* CreateEditor(const TEditorFormClass* EditorClass) override {
    return FDocuments.CreateEditor(EditorClass);
  }
  TEditorForm* OpenFile(const std::string& FileName) { return FDocuments.OpenFile(FileName); }
  TEditorForm* FindFileEditor(const std::string& FileName) const {
    return FDocuments.FindFileEditor(FileName);
  }
  const TEditorFormClass* GetExtensionEditor(const std::string& FileName) const {
    return TDocumentList::GetExtensionEditor(FileName);
  }
  void OpenFiles(const std::vector<std::string>& Names) { FDocuments.OpenFiles(Names); }
  const TEditorFormClass* GetFileEditor(const std::string& FileName) {
    return TDocumentList::GetFileEditor(FileName);
  }
  const TEditorFormClass* GetStreamEditor(TStream& Stream) {
    return TDocumentList::GetStreamEditor(Stream);
  }
  void MakeFilter(std::string& Filter, int& DefaultIndex) {
    TDocumentList::MakeFilter(Filter, DefaultIndex);
  }
  // The 1-based entry of MakeFilter's filter the Open dialog preselects:
  // the active document's kind, else the first kind.
  int OpenFilterIndex() const { return TDocumentList::OpenFilterIndex(ActiveEditor()); }
  int GetEditorCount() const { return FDocuments.GetCount(); }
  TEditorForm* GetEditors(int Index) const { return FDocuments.Get(Index); }
  void AddFileEditor(TEditorForm* Editor) { FDocuments.Add(Editor); }
  void RemoveFileEditor(TEditorForm* Editor) { FDocuments.Remove(Editor); }
  bool QueryCloseEditors(const TEditorFormClass* Class) {
    return FDocuments.QueryCloseEditors(Class);
  }
  void CloseEditors(const TEditorFormClass* Class) { FDocuments.CloseEditors(Class); }
  bool CloseAll() { return FDocuments.CloseAll(); }
  int AcquireNonameNumber() { return FDocuments.AcquireNonameNumber(); }
  void ReleaseNonameNumber(int Number) { FDocuments.ReleaseNonameNumber(Number); }

  // --- windows (TWindowList)
  void AddWindow(TBasicForm* Window) { FWindowList.Add(Window); }
  void RemoveWindow(TBasicForm* Window) { FWindowList.Remove(Window); }
  int GetOpenWindowCount() const { return FWindowList.GetCount(); }
  TBasicForm* GetWindows(int Index) const { return FWindowList.Get(Index); }
  void WindowMinimized(TBasicForm* Window) { FWindowList.Minimized(Window); }
  TBasicForm* GetActiveWindow() const { return FWindowList.GetActive(); }
  // A shell window became the active form.
  void FormActivated(TBasicForm* Window) { FWindowList.Activated(Window); }
  void AddCloseWindowNotify(IWindowClosed* Listener) { FWindowList.AddCloseWindowNotify(Listener); }
  void RemoveCloseWindowNotify(IWindowClosed* Listener) {
    FWindowList.RemoveCloseWindowNotify(Listener);
  }
  // The main window's bottom edge when at least half the screen lies below
  // it, else 0; shell windows keep below it.
  int GetRestrictedBottom() const override;

  // --- application modules (TAppModuleTable)
  int GetAppCount() const { return FApps.GetAppCount(); }
  const std::string& GetApps(int Index) const { return FApps.GetApps(Index); }
  const std::string& GetAppTitles(int Index) const { return FApps.GetAppTitles(Index); }
  const TAppModuleClass* GetAppClass(const std::string& Name) const {
    return FApps.GetAppClass(Name);
  }
  const TAppModuleClass* FindAppClass(const std::string& Name) const {
    return FApps.FindAppClass(Name);
  }
  TAppModule* GetAppModule(const std::string& Name) const { return FApps.GetAppModule(Name); }
  TAppModule* FindAppModule(const std::string& Name) const { return FApps.FindAppModule(Name); }
  int GetAppModuleCount() const { return FApps.GetAppModuleCount(); }
  TAppModule* GetAppModules(int Index) const { return FApps.GetAppModules(Index); }
  void InitAppModules();
  void LoadAppClass(const std::string& Name) { FApps.LoadAppClass(Name); }
  void PowerUpAppModule(const std::string& Name) { FApps.PowerUpAppModule(Name); }
  bool ShutDownAppModule(const std::string& Name) { return FApps.ShutDownAppModule(Name); }
  bool ShutDownAllAppModules();
  // The user switched an application on or off (the applications window):
  // it is started or shut down now, and the choice is what SaveModuleInfo
  // keeps for the next start. A shutdown that a document refuses changes
  // nothing; a start that fails keeps the choice and passes the error on.
  void ChooseAppEnabled(const std::string& Name, bool Enabled) {
    FApps.ChooseAppEnabled(Name, Enabled);
  }
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

  // A window's menu joins the strip (TMenuMerger): its actions go into the
  // shell's menu of its id at the group it names, or the menu itself stands
  // before "Окно" when the shell has no menu of its id. UnmergeMenu takes
  // back all that MergeMenu added for Menu.
  void MergeMenu(QMenu* Menu) { FMerger->MergeMenu(Menu); }
  void UnmergeMenu(QMenu* Menu) { FMerger->UnmergeMenu(Menu); }
  // The window whose menus and tool buttons are in the strip now; the
  // active window's, kept while no other shell window is active.
  TBasicForm* GetMergedWindow() const { return FMerger->GetMergedWindow(); }

  const std::string& GetHomeDir() const override { return FHomeDir; }
  const std::string& GetProgramName() const { return FProgramName; }
  const std::string& GetModuleDir() const { return FApps.GetModuleDir(); }
  TIniFile* GetSettings() const override { return FSettings.get(); }
  TModuleManager& GetModuleManager() { return FApps.GetModuleManager(); }
  // nullptr when no folder for temporary files could be had.
  TTempFileManager* GetTempFiles() const { return FTempFiles.get(); }
  bool GetStartFailed() const { return FStartFailed; }
  // The main window was closed: no further step of the start runs.
  bool GetCloseRequested() const { return FCloseRequested; }

  // The first show's work: actions, the application modules, the caption.
  void FirstShow();
  // Recomputes every action's enabled state.
  void UpdateActions() override;
  // Asks for one update of the commands (the shell's and, through Idle, the
  // documents' own) and of the documents' captions once the events waiting
  // now are handled; any number of requests before then make one update.
  // The shell asks on user input, focus, window and clipboard changes; a
  // document asks when its state changes without any of these (a run that
  // ends by itself).
  void RequestActionUpdate() override;
  // Rebuilds the Window menu as it is about to open.
  void RebuildWindowMenu();
  // Places the strip across the top of the work area and, where the
  // desktop allows (X11), reserves its rows there as panels do.
  void PlaceStrip();
  // The window manager keeps other windows, maximised ones too, off the
  // strip's rows; the shell need not place them itself.
  bool GetRowsReserved() const override { return FRowsReserved; }

  // The commands (their ids: ShellCommandIds.h).
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
  // "Файл" > "Примеры...": the examples' gallery, then the chosen example.
  void OpenExample();
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
  TEditorForm* ActiveEditor() const;
  void EditCommand(void (TBasicForm::*Command)());

  int FMainHeight = 0;
  int FStripTop = 0;
  bool FRowsReserved = false;
  bool FShown = false;
  // Declared before what they manage, so they outlive it while it goes.
  TWindowList FWindowList;
  TDocumentList FDocuments{FWindowList};
  TAppModuleTable FApps;
  std::unique_ptr<TMenuMerger> FMerger;
  // F10, Alt and Alt with a letter from the document windows.
  TMenuKeys* FMenuKeys = nullptr;
  std::unique_ptr<TIniFile> FSettings;
  std::string FProgramName;
  std::string FHomeDir;
  std::vector<std::string> FActiveApps;
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
};

} // namespace Deskbay
