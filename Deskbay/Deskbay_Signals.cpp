#include "Deskbay_Signals.h"

#include "Environment/Main.h"

#include "Corekit/ui/CommonDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace Deskbay {

namespace {

int GSignalPipe[2] = {-1, -1};
// Requests since the program last decided to go on; counted here because a
// third one must act even when the loop is stuck.
volatile sig_atomic_t GRequests = 0;

void OnTerminate(int Signal) {
  GRequests = GRequests + 1;
  if (GRequests >= 3) {
    // Only async-signal-safe calls: the default action, as if never caught.
    signal(Signal, SIG_DFL);
    raise(Signal);
    return;
  }
  char Byte = 1;
  [[maybe_unused]] ssize_t N = write(GSignalPipe[1], &Byte, 1);
}

// Whether a person can see the question about unsaved changes and answer it.
bool SessionCanAnswer() {
  const QString Platform = QGuiApplication::platformName();
  return Platform != QLatin1String("offscreen") && Platform != QLatin1String("minimal");
}

class TTerminationWatcher : public QObject {
public:
  explicit TTerminationWatcher(QObject* Owner) : QObject(Owner) {
    auto* Notifier = new QSocketNotifier(GSignalPipe[0], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &TTerminationWatcher::Requested);
    FRetry.setSingleShot(true);
    FRetry.setInterval(10);
    connect(&FRetry, &QTimer::timeout, this, &TTerminationWatcher::Proceed);
  }

private:
  void Requested() {
    char Byte;
    if (read(GSignalPipe[0], &Byte, 1) != 1)
      return;
    // A second request while the first is still on its way means: now,
    // without questions.
    FForced = FForced || GRequests >= 2 || !SessionCanAnswer();
    Proceed();
  }

  // One move towards the end; called again by the timer until the main
  // window could be closed.
  void Proceed() {
    FRetry.stop();
    if (QWidget* Popup = QApplication::activePopupWidget()) {
      Popup->close();
      FRetry.start();
      return;
    }
    if (QWidget* Modal = QApplication::activeModalWidget()) {
      Dismiss(Modal);
      FRetry.start();
      return;
    }
    // The close below is under way and waits in a dialog of its own; its
    // dialogs are answered above as they come (without questions, looked
    // for until the close is over).
    if (FClosing) {
      if (FForced)
        FRetry.start();
      return;
    }
    // A loop of its own (a dialog's, a drag's) still runs below us.
    if (QThread::currentThread()->loopLevel() > 1) {
      FRetry.start();
      return;
    }
    if (!MainForm || !MainForm->isVisible()) {
      QCoreApplication::quit();
      return;
    }
    FClosing = true;
    if (FForced)
      FRetry.start();
    const bool Closed = MainForm->close();
    FClosing = false;
    if (Closed) {
      // Other shell windows do not keep the program alive.
      QCoreApplication::quit();
    } else if (FForced) {
      FRetry.start();
    } else {
      // The user answered "Отмена": the program goes on, and the next
      // request starts afresh.
      GRequests = 0;
    }
  }

  void Dismiss(QWidget* Modal) {
    if (FForced)
      if (auto* Question = qobject_cast<TYesNoCancelForm*>(Modal)) {
        Question->done(mrNo);
        return;
      }
    if (auto* Dialog = qobject_cast<QDialog*>(Modal))
      Dialog->reject();
    else
      Modal->close();
  }

  QTimer FRetry;
  bool FForced = false;
  bool FClosing = false;
};

} // namespace

void WatchTerminationRequests(QObject* Owner) {
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, GSignalPipe) != 0)
    return;
  new TTerminationWatcher(Owner);
  struct sigaction Action = {};
  Action.sa_handler = OnTerminate;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &Action, nullptr);
  sigaction(SIGINT, &Action, nullptr);
  sigaction(SIGHUP, &Action, nullptr);
}

} // namespace Deskbay
