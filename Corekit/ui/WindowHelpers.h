#pragma once

// Small helpers shared by the windows: the visible part of a scrolled area,
// actions that update themselves, and file dialogs that start where the
// pupil's files are and remember the folder the user worked in.

#include "CorekitUiExport.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QRect>

#include <functional>
#include <string>

class QFileDialog;
class QToolBar;
class QWidget;

namespace Deskbay {

// The control's client rectangle; for a scrolling control (a scroll area)
// its viewport shifted by the scroll positions, that is the part of the
// scrolled area now visible, in the area's own coordinates.
COREKITUI_API QRect LogClientRect(const QWidget* Control);

// Names a tool bar for a screen reader, and its button for the commands
// that do not fit ("Ещё команды: " and the bar's name).
COREKITUI_API void NameToolBar(QToolBar* Bar, const QString& Name);

// An action whose state (enabled, checked, caption) is worked out by its
// OnUpdate handler whenever the window asks, typically when the event loop
// is about to wait.
class COREKITUI_API TAction : public QAction {
  Q_OBJECT
public:
  using QAction::QAction;
  std::function<void(TAction&)> OnUpdate;
  // Calls OnUpdate; false when there is none.
  bool Update();
};

// The actions of a window in index order; not owned (Qt parents own them).
class COREKITUI_API TActionList : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
  void Add(TAction* Action);
  void Remove(TAction* Action);
  int GetActionCount() const { return static_cast<int>(FActions.size()); }
  TAction* GetActions(int Index) const;

private:
  QList<TAction*> FActions;
};

// Update on every action of the list, in index order.
COREKITUI_API void UpdateAllActions(const TActionList& List);

// One command as a window offers it, in one description: MakeAction turns
// it into the action the menus, tool bars and keys share.
struct TActionInfo {
  // The action's object name, by which menus are merged and tests find it.
  const char* Id = "";
  QString Caption{};
  // "short|long": the short part is the tool tip, the long one the status
  // tip; a hint without "|" is both.
  QString Hint{};
  QList<QKeySequence> Keys{};
  // Where the keys work (only set when there are keys).
  Qt::ShortcutContext KeyContext = Qt::WindowShortcut;
  QIcon Icon{};
  // The "category" property, when given.
  const char* Category = nullptr;
  std::function<void()> Execute{};
  // When the command may be used (worked out on every update); Update, when
  // given, instead does the whole update of the action.
  std::function<bool()> Enabled{};
  std::function<void(TAction&)> Update{};
};

// The action Info describes, a child of Owner, added to List; with
// ShortcutOwner its keys work wherever that widget's do (added to it).
COREKITUI_API TAction* MakeAction(QObject* Owner, TActionList& List, const TActionInfo& Info,
                                  QWidget* ShortcutOwner = nullptr);

// The folder a pupil's documents belong in: the desktop's documents folder
// (as xdg-user-dirs names it) when it exists, else the home folder.
COREKITUI_API std::string DocumentsDir();

// Where a file dialog starts: the folder of DocumentFile when that folder
// exists (the active document's), else the folder last used (the stored
// working folder, unless it is only the process's current folder, which is
// the program's own), else DocumentsDir.
COREKITUI_API std::string FileDialogStartDir(const std::string& DocumentFile = "");

// Runs an open or save dialog that starts in FileDialogStartDir(DocumentFile)
// and remembers, as the working folder, the folder of the file chosen (the
// folder the user ended in when the dialog was cancelled). The process's
// current folder is left as it was. True when the user accepted.
COREKITUI_API bool ExecFileDialogUsingWorkingDir(QFileDialog& Dialog,
                                                 const std::string& DocumentFile = "");

} // namespace Deskbay
