#include "Basic.h"

#include "Environment_Shell.h"
#include "Environment_WindowList.h"

#include "Corekit/SysUtils.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace Deskbay {

namespace {

QRect WorkArea(const QWidget* W) {
  QScreen* S = W->screen() ? W->screen() : QGuiApplication::primaryScreen();
  return S ? S->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

TBasicForm::TBasicForm(QWidget* Parent) : QWidget(Parent, Qt::Window), FShell(RunningShell()) {
  if (!FShell)
    throw Exception("Неверный класс главной формы.");
  resize(347, 204);
  FShell->GetWindowList().Add(this);
  FRegistered = true;
  KeepBelowStrip();
}

TBasicForm::~TBasicForm() {
  if (FRegistered)
    FShell->GetWindowList().Remove(this);
}

void TBasicForm::KeepBelowStrip() {
  // A window manager that keeps windows off the strip's rows places new
  // windows itself, knowing their frames; a position of ours would only
  // override that.
  if (FShell->GetRowsReserved())
    return;
  int Top = FShell->GetRestrictedBottom();
  if (y() >= Top)
    return;
  QRect Work = WorkArea(this);
  move(x(), Top);
  if (y() + height() > Work.bottom() + 1)
    resize(width(), std::max(100, Work.bottom() + 1 - Top));
}

bool TBasicForm::GetReadOnly() {
  return false;
}
bool TBasicForm::SelectionPresent() {
  return false;
}
void TBasicForm::DeleteSelection() {}
void TBasicForm::CopySelection() {}
void TBasicForm::Paste() {}
bool TBasicForm::CanPaste() {
  return false;
}
bool TBasicForm::CanSelectAll() {
  return false;
}
void TBasicForm::SelectAll() {}
bool TBasicForm::CanCopy() {
  return SelectionPresent();
}
bool TBasicForm::CanCut() {
  return !GetReadOnly() && SelectionPresent();
}
void TBasicForm::CutSelection() {
  CopySelection();
  DeleteSelection();
}
bool TBasicForm::CanDelete() {
  return !GetReadOnly() && SelectionPresent();
}
std::string TBasicForm::HelpTopic() {
  return std::string();
}

QList<QMenu*> TBasicForm::GetMergedMenus() {
  return {};
}

QList<QAction*> TBasicForm::GetMergedToolActions() {
  return {};
}

void TBasicForm::EnsureVisibility() {
  if (isMinimized())
    setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
}

void TBasicForm::RawMaximize() {
  setWindowFlag(Qt::FramelessWindowHint, true);
  QScreen* S = screen() ? screen() : QGuiApplication::primaryScreen();
  if (S)
    setGeometry(S->geometry());
  show();
}

QRect TBasicForm::MaximizedGeometry() const {
  QRect Work = WorkArea(this);
  int Top = FShell->GetRestrictedBottom();
  Top = std::max(Top, Work.top());
  return QRect(Work.left(), Top, Work.width(), Work.bottom() + 1 - Top);
}

bool TBasicForm::event(QEvent* Event) {
  if (Event->type() == QEvent::WindowActivate)
    FShell->GetWindowList().Activated(this);
  return QWidget::event(Event);
}

void TBasicForm::changeEvent(QEvent* Event) {
  if (Event->type() == QEvent::WindowStateChange && !FPlacing) {
    TWindowList& Windows = FShell->GetWindowList();
    if (isMinimized() && Windows.GetActive() == this)
      Windows.Minimized(this);
    // A maximized shell window fills the work area below the strip, not
    // the whole screen. Where the strip holds its rows as a panel, the
    // window manager does that itself, the same way every time.
    if ((windowState() & Qt::WindowMaximized) && FShell->GetRestrictedBottom() > 0 &&
        !FShell->GetRowsReserved()) {
      FPlacing = true;
      setWindowState(windowState() & ~Qt::WindowMaximized);
      QRect R = MaximizedGeometry();
      QRect Frame = frameGeometry(), Inner = geometry();
      int ExtraW = Frame.width() - Inner.width(), ExtraH = Frame.height() - Inner.height();
      move(R.topLeft());
      resize(R.width() - ExtraW, R.height() - ExtraH);
      FPlacing = false;
    }
  }
  QWidget::changeEvent(Event);
}

} // namespace Deskbay
