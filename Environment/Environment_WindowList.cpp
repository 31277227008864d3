#include "Environment_WindowList.h"

#include "Basic.h"

#include "Corekit/SysUtils.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <algorithm>

namespace Deskbay {

IWindowClosed::~IWindowClosed() = default;

void TWindowList::Add(TBasicForm* Window) {
  Assert(!Contains(Window), "Window added twice");
  FWindows.push_back(Window);
  if (OnChange)
    OnChange();
}

TBasicForm* TWindowList::Get(int Index) const {
  Assert(Index >= 0 && Index < GetCount(), "Window index out of range");
  return FWindows[Index];
}

bool TWindowList::Contains(const TBasicForm* Window) const {
  return std::find(FWindows.begin(), FWindows.end(), Window) != FWindows.end();
}

void TWindowList::DeleteAll() {
  while (!FWindows.empty())
    delete FWindows.back();
}

void TWindowList::Remove(TBasicForm* Window) {
  auto It = std::find(FWindows.begin(), FWindows.end(), Window);
  if (It != FWindows.end())
    FWindows.erase(It);
  if (FActive == Window)
    FActive = nullptr;
  if (OnRemoved)
    OnRemoved(Window);
  if (OnChange)
    OnChange();
  for (const auto& Item : FMenuItems)
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

  if (FEnding)
    return;
  for (QWidget* W : QApplication::topLevelWidgets()) {
    auto* Other = qobject_cast<TBasicForm*>(W);
    if (Other && Other != Window && Other->isVisible() && Other->isEnabled() && Contains(Other)) {
      Other->activateWindow();
      break;
    }
  }
}

void TWindowList::Activated(TBasicForm* Window) {
  if (Contains(Window)) {
    FActive = Window;
    if (OnActivated)
      OnActivated(Window);
  }
  if (OnChange)
    OnChange();
}

void TWindowList::Minimized(TBasicForm* Window) {
  if (FActive == Window)
    FActive = nullptr;
  if (OnChange)
    OnChange();
}

void TWindowList::Select(TBasicForm* Window) {
  Window->EnsureVisibility();
  Window->raise();
  Window->activateWindow();
  Activated(Window);
}

void TWindowList::SelectNext() {
  if (FWindows.empty())
    return;
  auto It = std::find(FWindows.begin(), FWindows.end(), FActive);
  size_t I = It == FWindows.end() ? 0 : static_cast<size_t>(It - FWindows.begin());
  size_t Next = I + 1 >= FWindows.size() ? 0 : I + 1;
  Select(FWindows[Next]);
}

void TWindowList::AddCloseWindowNotify(IWindowClosed* Listener) {
  Assert(std::find(FCloseWindowListeners.begin(), FCloseWindowListeners.end(), Listener) ==
             FCloseWindowListeners.end(),
         "Close-window listener added twice");
  FCloseWindowListeners.push_back(Listener);
}

void TWindowList::RemoveCloseWindowNotify(IWindowClosed* Listener) {
  auto It = std::find(FCloseWindowListeners.begin(), FCloseWindowListeners.end(), Listener);
  if (It != FCloseWindowListeners.end())
    FCloseWindowListeners.erase(It);
}

void TWindowList::FillMenu(QMenu& Menu, QAction* Next) {
  Menu.clear();
  FMenuItems.clear();
  int Count = std::min(GetCount(), MaxMenuItems);
  for (int I = 0; I < Count; ++I) {
    TBasicForm* Window = FWindows[I];
    QAction* Item = Menu.addAction(Window->windowTitle());
    Item->setCheckable(true);
    Item->setChecked(Window == FActive);
    Item->setData(QVariant::fromValue(static_cast<void*>(Window)));
    QObject::connect(Item, &QAction::triggered, &Menu, [this, Item] {
      // A window destroyed meanwhile has detached its item.
      auto* W = static_cast<TBasicForm*>(Item->data().value<void*>());
      if (W)
        Select(W);
    });
    FMenuItems.emplace_back(Item);
  }
  Menu.addSeparator();
  Menu.addAction(Next);
}

} // namespace Deskbay
