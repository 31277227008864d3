// The program the user starts: the shell's main window and its event loop.

#include "Deskbay_Files.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include <QDir>
#include <QIcon>
#include <QTimer>

#include <memory>

int main(int argc, char** argv) {
  Deskbay::TShellApplication App(argc, argv);
  App.setWindowIcon(QIcon(":/Deskbay/Deskbay.svg"));
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
