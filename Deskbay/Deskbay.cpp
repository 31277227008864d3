// The program the user starts: the shell's main window and its event loop.

#include "Deskbay_Files.h"
#include "Deskbay_Options.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include "Corekit/ui/QtHooks.h"
#include "Corekit/ui/UiFonts.h"

#include <QDir>
#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <iostream>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int GSignalPipe[2] = {-1, -1};

void OnTerminate(int) {
  char Byte = 1;
  // Only the write is safe here; the loop does the rest.
  [[maybe_unused]] ssize_t N = write(GSignalPipe[1], &Byte, 1);
}

// A request to end (the session ending, kill) closes the main window as the
// user would, so the application table is saved and the packages unloaded.
void WatchTerminationRequests(QObject* Owner) {
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, GSignalPipe) != 0)
    return;
  auto* Notifier = new QSocketNotifier(GSignalPipe[0], QSocketNotifier::Read, Owner);
  QObject::connect(Notifier, &QSocketNotifier::activated, Owner, [] {
    char Byte;
    [[maybe_unused]] ssize_t N = read(GSignalPipe[0], &Byte, 1);
    // A dialog that is open is closed first, then the main window once
    // the dialog's loop has returned.
    if (QWidget* Modal = QApplication::activeModalWidget())
      Modal->close();
    QTimer::singleShot(0, [] {
      if (Deskbay::MainForm)
        Deskbay::MainForm->close();
    });
  });
  struct sigaction Action = {};
  Action.sa_handler = OnTerminate;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &Action, nullptr);
  sigaction(SIGINT, &Action, nullptr);
  sigaction(SIGHUP, &Action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
  // Answered without a display: no application object yet.
  if (const std::optional<int> Status = Deskbay::AnswerInfoOption(argc, argv, std::cout))
    return *Status;
  Deskbay::TShellApplication App(argc, argv);
  // The desktop's icon, the one the package installs.
  QIcon Icon;
  for (const char* Size : {"32", "48", "256"})
    Icon.addFile(QString(":/Deskbay/deskbay-%1.png").arg(Size));
  App.setWindowIcon(Icon);
  App.setFont(Deskbay::DefaultUiFont());
  // The input dialog, the abort poller and the text metrics of the GUI.
  Deskbay::TGuiHooks Hooks;
  WatchTerminationRequests(&App);
  // Before the shell makes its own folder the working one.
  const std::vector<std::string> Files =
      Deskbay::CommandLineFiles(App.arguments(), QDir::currentPath().toStdString());
  int Status = 1;
  {
    // Freed whatever way the loop ends: it saves the application table and
    // unloads the packages while the application object still exists.
    std::unique_ptr<Deskbay::TMainForm> Main;
    try {
      Main = std::make_unique<Deskbay::TMainForm>();
      if (Main->GetStartFailed())
        return 1;
      Main->show();
      // Once the loop runs, after the modules have opened their windows.
      QTimer::singleShot(0, Main.get(),
                         [&Main, &Files] { Deskbay::OpenCommandLineFiles(*Main, Files); });
      Status = App.exec();
    } catch (const std::exception& E) {
      Deskbay::ShowException(E);
    }
  }
  return Status;
}
