#include "QtHooks.h"

#include "dlgInputString.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace Deskbay {

bool TQtInputProvider::InputString(const std::string& Caption, const std::string& Prompt,
                                   std::string& Value, const TInputStringOptions& Options) {
  return ExecInputString(Caption, Prompt, Value, Options);
}

bool TQtAbortPoller::AbortRequested() {
  if (QCoreApplication* App = QCoreApplication::instance()) {
    App->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    App->removeEventFilter(this);
  }
  const bool Requested = FRequested;
  FRequested = false;
  return Requested;
}

namespace {

bool MayActDuringRun(QObject* Target) {
  for (auto* W = qobject_cast<QWidget*>(Target); W; W = W->parentWidget())
    if (W->property(TQtAbortPoller::DuringRunProperty).toBool())
      return true;
  return false;
}

} // namespace

bool TQtAbortPoller::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
  case QEvent::KeyPress:
    if (static_cast<QKeyEvent*>(Event)->key() == Qt::Key_F2 && QApplication::activeWindow())
      FRequested = true;
    return true;
  case QEvent::KeyRelease:
  case QEvent::ShortcutOverride:
  case QEvent::Shortcut:
  case QEvent::Wheel:
  case QEvent::ContextMenu:
    return true;
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
    return !MayActDuringRun(Watched);
  case QEvent::Close:
    Event->ignore();
    return true;
  default:
    return false;
  }
}

TGuiHooks::TGuiHooks()
    : FPreviousMetrics(SetTextMetrics(&FMetrics)), FPreviousInput(SetInputProvider(&FInput)),
      FPreviousPoller(SetAbortPoller(&FAbortPoller)) {}

TGuiHooks::~TGuiHooks() {
  SetAbortPoller(FPreviousPoller);
  SetInputProvider(FPreviousInput);
  SetTextMetrics(FPreviousMetrics);
}

} // namespace Deskbay
