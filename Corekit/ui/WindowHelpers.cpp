#include "WindowHelpers.h"

#include "Corekit/SysUtils.h"
#include "Corekit/VisualUtils.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QFileDialog>
#include <QScrollBar>

namespace Deskbay {

QRect LogClientRect(const QWidget* Control) {
  if (const auto* Area = qobject_cast<const QAbstractScrollArea*>(Control)) {
    const QWidget* Viewport = Area->viewport();
    return QRect(Area->horizontalScrollBar()->value(), Area->verticalScrollBar()->value(),
                 Viewport->width(), Viewport->height());
  }
  return Control->rect();
}

bool TAction::Update() {
  if (!OnUpdate)
    return false;
  OnUpdate(*this);
  return true;
}

void TActionList::Add(TAction* Action) {
  if (Action && !FActions.contains(Action)) {
    FActions.append(Action);
    // An action that goes away leaves the list by itself.
    connect(Action, &QObject::destroyed, this,
            [this, Action] { FActions.removeAll(static_cast<TAction*>(Action)); });
  }
}

void TActionList::Remove(TAction* Action) {
  if (FActions.removeAll(Action) > 0)
    disconnect(Action, &QObject::destroyed, this, nullptr);
}

TAction* TActionList::GetActions(int Index) const {
  if (Index < 0 || Index >= FActions.size())
    throw Exception(Format("Bad action index (%d).", Index));
  return FActions[Index];
}

void UpdateAllActions(const TActionList& List) {
  for (int I = 0; I < List.GetActionCount(); ++I)
    List.GetActions(I)->Update();
}

bool ExecFileDialogUsingWorkingDir(QFileDialog& Dialog) {
  const QString CurrentBefore = QDir::currentPath();
  Dialog.setDirectory(QString::fromStdString(GetWorkingDir()));
  const bool Result = Dialog.exec() == QDialog::Accepted;
  // The folder the user's navigation ended in, without a trailing separator
  // (QDir paths have none, except the root itself).
  SetWorkingDir(Dialog.directory().absolutePath().toStdString());
  QDir::setCurrent(CurrentBefore);
  return Result;
}

} // namespace Deskbay
