#pragma once

// How a window's menus and tool buttons join the shell's strip while it is
// the active window. A menu is known by its id (its object name), a place
// in a menu by the name of a group; visible titles play no part, so a
// translated or reworded title cannot send a document's commands elsewhere.

#include "EnvironmentExport.h"

#include <QPointer>
#include <QString>

#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;

namespace Deskbay {

class TBasicForm;

// The group of the shell's menu that a document's Menu goes to (a name of
// ShellCommandIds.h, "file.export"); without one, the menu's first group.
ENVIRONMENT_API void SetMergeGroup(QMenu* Menu, const char* Group);
ENVIRONMENT_API QString GetMergeGroup(const QMenu* Menu);

class ENVIRONMENT_API TMenuMerger {
public:
  // Bar holds the shell's menus, Tools its tool buttons; a menu of an id
  // the shell has none of is placed before OwnMenusBefore (the Window menu).
  TMenuMerger(QMenuBar& Bar, QToolBar& Tools, QMenu* OwnMenusBefore);
  TMenuMerger(const TMenuMerger&) = delete;
  TMenuMerger& operator=(const TMenuMerger&) = delete;

  // Target is a menu of the shell's (its id is its object name), which a
  // document's menu of that id joins; AddGroup adds it too.
  void AddMenu(QMenu* Target);
  // A group of the shell's menu Target: a document's commands of this
  // group go before Before, followed by a separator (Before nullptr: at
  // the menu's end, after a separator). Target's id is its object name.
  void AddGroup(QMenu* Target, const char* Group, QAction* Before);

  // Menu's actions go into the shell's menu of its id, at its group, or
  // the menu itself stands before the Window menu when the shell has none
  // of that id. UnmergeMenu takes back all that MergeMenu added for Menu.
  void MergeMenu(QMenu* Menu);
  void UnmergeMenu(QMenu* Menu);

  // The strip shows what Window adds (nullptr: nothing): its merged menus
  // and tool buttons, and no longer what the window merged before added.
  void MergeWindow(TBasicForm* Window);
  TBasicForm* GetMergedWindow() const { return FMergedWindow; }

  // The shell's menu of the id, or nullptr.
  QMenu* FindMenu(const QString& Id) const;

private:
  struct TGroup {
    QPointer<QMenu> Target;
    std::string Name;
    QPointer<QAction> Before;
  };
  struct TMergedMenu {
    QPointer<QMenu> Source;
    QPointer<QMenu> Target;               // the shell's menu, or nullptr
    std::vector<QPointer<QAction>> Added; // in Target (a separator of ours too)
  };
  // Target's group of that name, else its first group, else nullptr.
  const TGroup* FindGroup(const QMenu* Target, const QString& Name) const;
  void UnmergeAll();

  QMenuBar& FBar;
  QToolBar& FTools;
  QPointer<QMenu> FOwnMenusBefore;
  std::vector<QPointer<QMenu>> FMenus;
  std::vector<TGroup> FGroups;
  std::vector<TMergedMenu> FMergedMenus;
  std::vector<QPointer<QAction>> FMergedTools; // a separator of ours and the window's
  TBasicForm* FMergedWindow = nullptr;
};

} // namespace Deskbay
