#pragma once

// Every window of the shell other than the main window: registered with the
// main window (its Window menu, the active window, the edit commands), kept
// below the main window's strip.

#include "EnvironmentExport.h"

#include <QList>
#include <QWidget>

class QAction;
class QMenu;

namespace Deskbay {

class IShell;

class ENVIRONMENT_API TBasicForm : public QWidget {
  Q_OBJECT
public:
  // Raises "Неверный класс главной формы." unless the shell's main window
  // exists.
  explicit TBasicForm(QWidget* Parent = nullptr);
  ~TBasicForm() override;

  // What the edit commands of the shell ask of the active window.
  virtual bool GetReadOnly();
  virtual bool SelectionPresent();
  virtual void DeleteSelection();
  virtual void CopySelection();
  virtual void Paste();
  virtual bool CanPaste();
  virtual bool CanSelectAll();
  virtual void SelectAll();
  virtual bool CanCopy();
  virtual bool CanCut();
  virtual void CutSelection();
  virtual bool CanDelete();
  // The help page about what the window shows now ("page.html#anchor");
  // empty: the help's contents.
  virtual std::string HelpTopic();

  // What the window adds to the shell's strip while it is the active one
  // (TMenuMerger): its menus, each merged by its id (object name) into the
  // shell's menu of that id ("file", "edit") at the group it names
  // (SetMergeGroup), or placed before "Окно" ("view"), and the tool bar's
  // buttons. The window owns them; the shell takes them back when another
  // window becomes active or this one closes.
  virtual QList<QMenu*> GetMergedMenus();
  virtual QList<QAction*> GetMergedToolActions();

  bool GetRegistered() const { return FRegistered; }
  // The shell the window belongs to, handed to it when it was made.
  IShell& GetShell() const { return *FShell; }
  // Restores a minimized window and shows it.
  void EnsureVisibility();
  // The whole screen, without a border (offered, not used by the shell).
  void RawMaximize();
  // Where a maximized shell window goes: the work area below the strip.
  QRect MaximizedGeometry() const;

protected:
  bool event(QEvent* Event) override;
  void changeEvent(QEvent* Event) override;

private:
  void KeepBelowStrip();

  IShell* FShell;
  bool FRegistered = false;
  bool FPlacing = false;
};

} // namespace Deskbay
