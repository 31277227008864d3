#pragma once

// The shell's windows (every TBasicForm), which one is active, the Window
// menu that lists them and those told when one goes.

#include "EnvironmentExport.h"

#include <QPointer>

#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace Deskbay {

class TBasicForm;

// Told of every shell window being destroyed,
// {C59EBC10-5436-11D6-AC2F-204C4F4F5020}.
class ENVIRONMENT_API IWindowClosed {
public:
  virtual ~IWindowClosed();
  virtual void WindowClosed(TBasicForm* Window) = 0;
};

class ENVIRONMENT_API TWindowList {
public:
  // Whatever changes what the commands may do (a window added, removed,
  // activated, minimized).
  std::function<void()> OnChange;
  // A listed window became the active one.
  std::function<void(TBasicForm*)> OnActivated;
  // A window left the list (before its listeners are told).
  std::function<void(TBasicForm*)> OnRemoved;

  void Add(TBasicForm* Window);
  // Takes Window out; unless the shell is ending (SetEnding), another
  // visible shell window is activated.
  void Remove(TBasicForm* Window);
  int GetCount() const { return static_cast<int>(FWindows.size()); }
  TBasicForm* Get(int Index) const;
  bool Contains(const TBasicForm* Window) const;
  // Frees every window, the last first.
  void DeleteAll();
  void SetEnding() { FEnding = true; }

  TBasicForm* GetActive() const { return FActive; }
  // A shell window became the active form.
  void Activated(TBasicForm* Window);
  void Minimized(TBasicForm* Window);
  // Shows, raises and activates Window.
  void Select(TBasicForm* Window);
  // The window after the active one, round.
  void SelectNext();

  void AddCloseWindowNotify(IWindowClosed* Listener);
  void RemoveCloseWindowNotify(IWindowClosed* Listener);

  // Menu lists the first MaxMenuItems windows (the active one checked),
  // then Next.
  static constexpr int MaxMenuItems = 20;
  void FillMenu(QMenu& Menu, QAction* Next);

private:
  std::vector<TBasicForm*> FWindows;
  TBasicForm* FActive = nullptr;
  std::vector<IWindowClosed*> FCloseWindowListeners;
  std::vector<QPointer<QAction>> FMenuItems;
  bool FEnding = false;
};

} // namespace Deskbay
