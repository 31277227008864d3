#include "WindowHelpers.h"

#include "Corekit/SysUtils.h"
#include "Corekit/VisualUtils.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

namespace Deskbay {

void NameToolBar(QToolBar* Bar, const QString& Name) {
  Bar->setWindowTitle(Name);
  Bar->setAccessibleName(Name);
  // Qt's own button, shown when the bar is too short for its commands.
  if (auto* More = Bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
    More->setAccessibleName(QStringLiteral("Ещё команды: ") + Name);
}

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

TAction* MakeAction(QObject* Owner, TActionList& List, const TActionInfo& Info,
                    QWidget* ShortcutOwner) {
  auto* Action = new TAction(Info.Icon, Info.Caption, Owner);
  Action->setObjectName(QString::fromUtf8(Info.Id));
  const bool TwoParts = Info.Hint.contains('|');
  Action->setToolTip(TwoParts ? Info.Hint.section('|', 0, 0) : Info.Hint);
  Action->setStatusTip(TwoParts ? Info.Hint.section('|', 1) : Info.Hint);
  if (!Info.Keys.isEmpty()) {
    Action->setShortcuts(Info.Keys);
    Action->setShortcutContext(Info.KeyContext);
  }
  if (Info.Category)
    Action->setProperty("category", QString::fromUtf8(Info.Category));
  if (Info.Update)
    Action->OnUpdate = Info.Update;
  else if (Info.Enabled)
    Action->OnUpdate = [Enabled = Info.Enabled](TAction& A) { A.setEnabled(Enabled()); };
  if (Info.Execute)
    QObject::connect(Action, &QAction::triggered, Action, [Execute = Info.Execute] { Execute(); });
  if (ShortcutOwner)
    ShortcutOwner->addAction(Action);
  List.Add(Action);
  return Action;
}

namespace {

bool IsDir(const std::string& Path) {
  return !Path.empty() && QFileInfo(QFile::decodeName(QByteArray::fromStdString(Path))).isDir();
}

std::string DirOf(const std::string& File) {
  const size_t Slash = File.rfind('/');
  if (Slash == std::string::npos)
    return std::string();
  return Slash == 0 ? std::string("/") : File.substr(0, Slash);
}

} // namespace

std::string DocumentsDir() {
  const QString Documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!Documents.isEmpty() && QFileInfo(Documents).isDir())
    return QFile::encodeName(Documents).toStdString();
  return QFile::encodeName(QDir::homePath()).toStdString();
}

std::string FileDialogStartDir(const std::string& DocumentFile) {
  if (const std::string Dir = DirOf(DocumentFile); IsDir(Dir))
    return Dir;
  const std::string Remembered = GetWorkingDir();
  if (IsDir(Remembered) &&
      QDir(QFile::decodeName(QByteArray::fromStdString(Remembered))) != QDir::current())
    return Remembered;
  return DocumentsDir();
}

bool ExecFileDialogUsingWorkingDir(QFileDialog& Dialog, const std::string& DocumentFile) {
  const QString CurrentBefore = QDir::currentPath();
  Dialog.setDirectory(
      QFile::decodeName(QByteArray::fromStdString(FileDialogStartDir(DocumentFile))));
  const bool Result = Dialog.exec() == QDialog::Accepted;
  // The folder of the file chosen, else the one the user's navigation ended
  // in, without a trailing separator (QDir paths have none, except the root
  // itself).
  QString Folder = Dialog.directory().absolutePath();
  if (Result && !Dialog.selectedFiles().isEmpty())
    Folder = QFileInfo(Dialog.selectedFiles().first()).absolutePath();
  SetWorkingDir(QFile::encodeName(Folder).toStdString());
  QDir::setCurrent(CurrentBefore);
  return Result;
}

} // namespace Deskbay
