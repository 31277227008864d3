#pragma once

// What a document window or an application module may ask of the shell it
// runs in. The shell hands itself out as this interface (TBasicForm::GetShell,
// TAppModule::GetShell), so a document needs nothing of the main window's
// own class.

#include "EnvironmentExport.h"

#include <QMetaObject>

#include <functional>
#include <string>

class QObject;
class QWidget;

namespace Deskbay {

class TAction;
class TDocumentList;
class TEditorForm;
class TEditorFormClass;
class TIniFile;
class TWindowList;

class ENVIRONMENT_API IShell {
public:
  virtual ~IShell();

  // The shell's own window, the strip: closing it ends the program, so a
  // document may watch it (an event filter) to answer a close request.
  virtual QWidget* GetShellWindow() = 0;
  // Asks the shell to close, as its window's close button does.
  virtual bool CloseShell() = 0;

  // Asks for one coalesced update of every command (the shell's and the
  // documents'); UpdateActions does it now.
  virtual void RequestActionUpdate() = 0;
  virtual void UpdateActions() = 0;
  // Calls Slot on every update of the commands while Context lives.
  virtual QMetaObject::Connection ConnectIdle(QObject* Context, std::function<void()> Slot) = 0;

  // The shell's command of the given id (ShellCommandIds.h), or nullptr.
  virtual TAction* FindCommand(const char* Id) const = 0;

  // The settings file, nullptr while there is none.
  virtual TIniFile* GetSettings() const = 0;
  virtual const std::string& GetHomeDir() const = 0;

  // The open documents and their opening.
  virtual TDocumentList& GetDocuments() = 0;
  // The shell's windows, every document's among them.
  virtual TWindowList& GetWindowList() = 0;
  // Where shell windows keep below the strip: the strip's bottom edge when
  // at least half the screen lies below it, else 0; and whether the window
  // manager keeps windows off the strip's rows itself.
  virtual int GetRestrictedBottom() const = 0;
  virtual bool GetRowsReserved() const = 0;
  // A new, untitled document of the kind, shown.
  virtual TEditorForm* CreateEditor(const TEditorFormClass* EditorClass) = 0;
};

// The shell of this process while it exists, else nullptr: where a new
// shell window or application module finds the shell it belongs to.
ENVIRONMENT_API IShell* RunningShell();

} // namespace Deskbay
