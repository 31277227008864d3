// The program the user starts: the shell's main window and its event loop.

#include "Deskbay_Files.h"
#include "Deskbay_Signals.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include "Corekit/ui/QtHooks.h"
#include "Corekit/ui/UiFonts.h"

#include <QDir>
#include <QIcon>
#include <QTimer>

#include <memory>

int main(int argc, char** argv) {
  Deskbay::TShellApplication App(argc, argv);
  // The desktop's icon, the one the package installs.
  QIcon Icon;
  for (const char* Size : {"32", "48", "256"})
    Icon.addFile(QString(":/Deskbay/deskbay-%1.png").arg(Size));
  App.setWindowIcon(Icon);
  App.setFont(Deskbay::DefaultUiFont());
  // The input dialog, the abort poller and the text metrics of the GUI.
  Deskbay::TGuiHooks Hooks;
  Deskbay::WatchTerminationRequests(&App);
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
