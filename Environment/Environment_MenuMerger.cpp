#include "Environment_MenuMerger.h"

#include "Basic.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QVariant>

namespace Deskbay {

namespace {

constexpr const char* MergeGroupProperty = "mergeGroup";

} // namespace

void SetMergeGroup(QMenu* Menu, const char* Group) {
  Menu->setProperty(MergeGroupProperty, QString::fromUtf8(Group));
}

QString GetMergeGroup(const QMenu* Menu) {
  return Menu->property(MergeGroupProperty).toString();
}

TMenuMerger::TMenuMerger(QMenuBar& Bar, QToolBar& Tools, QMenu* OwnMenusBefore)
    : FBar(Bar), FTools(Tools), FOwnMenusBefore(OwnMenusBefore) {}

void TMenuMerger::AddMenu(QMenu* Target) {
  for (const auto& M : FMenus)
    if (M == Target)
      return;
  FMenus.emplace_back(Target);
}

void TMenuMerger::AddGroup(QMenu* Target, const char* Group, QAction* Before) {
  AddMenu(Target);
  FGroups.push_back({Target, Group, Before});
}

QMenu* TMenuMerger::FindMenu(const QString& Id) const {
  if (Id.isEmpty())
    return nullptr;
  for (const auto& M : FMenus)
    if (M && M->objectName() == Id)
      return M;
  return nullptr;
}

const TMenuMerger::TGroup* TMenuMerger::FindGroup(const QMenu* Target, const QString& Name) const {
  const TGroup* First = nullptr;
  for (const TGroup& G : FGroups) {
    if (G.Target != Target)
      continue;
    if (QString::fromStdString(G.Name) == Name)
      return &G;
    if (!First)
      First = &G;
  }
  return First;
}

void TMenuMerger::MergeMenu(QMenu* Menu) {
  if (!Menu)
    return;
  UnmergeMenu(Menu);
  TMergedMenu Merged;
  Merged.Source = Menu;
  Merged.Target = FindMenu(Menu->objectName());
  if (Merged.Target) {
    const QList<QAction*> Actions = Menu->actions();
    if (Actions.isEmpty())
      return;
    // The group the menu names, else the target's first group, else the
    // target's end.
    const TGroup* Group = FindGroup(Merged.Target, GetMergeGroup(Menu));
    QAction* Before = Group ? Group->Before.data() : nullptr;
    if (Before) {
      Merged.Target->insertActions(Before, Actions);
      for (QAction* A : Actions)
        Merged.Added.emplace_back(A);
      // Set off from the shell's own commands that follow.
      Merged.Added.emplace_back(Merged.Target->insertSeparator(Before));
    } else {
      if (!Merged.Target->actions().isEmpty())
        Merged.Added.emplace_back(Merged.Target->addSeparator());
      Merged.Target->addActions(Actions);
      for (QAction* A : Actions)
        Merged.Added.emplace_back(A);
    }
  } else {
    FBar.insertMenu(FOwnMenusBefore ? FOwnMenusBefore->menuAction() : nullptr, Menu);
  }
  FMergedMenus.push_back(std::move(Merged));
}

void TMenuMerger::UnmergeMenu(QMenu* Menu) {
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
      FBar.removeAction(Menu->menuAction());
    }
    FMergedMenus.erase(It);
    return;
  }
}

void TMenuMerger::UnmergeAll() {
  // Taken back whatever became of the menus (a window going frees them).
  while (!FMergedMenus.empty())
    UnmergeMenu(FMergedMenus.back().Source);
  for (const auto& A : FMergedTools)
    if (A) {
      FTools.removeAction(A);
      if (A->parent() == &FTools)
        delete A;
    }
  FMergedTools.clear();
}

void TMenuMerger::MergeWindow(TBasicForm* Window) {
  if (Window == FMergedWindow)
    return;
  UnmergeAll();
  FMergedWindow = Window;
  if (!Window)
    return;
  for (QMenu* Menu : Window->GetMergedMenus())
    MergeMenu(Menu);
  const QList<QAction*> Tools = Window->GetMergedToolActions();
  if (!Tools.isEmpty()) {
    FMergedTools.emplace_back(FTools.addSeparator());
    for (QAction* A : Tools) {
      FTools.addAction(A);
      FMergedTools.emplace_back(A);
    }
  }
}

} // namespace Deskbay
