// The program the user starts: the shell's main window and its event loop.

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include <QIcon>

#include <memory>

int main(int argc, char** argv) {
  Deskbay::TShellApplication App(argc, argv);
  App.setWindowIcon(QIcon(":/Deskbay/Deskbay.svg"));
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
      Status = App.exec();
    } catch (const std::exception& E) {
      Deskbay::ShowException(E);
    }
  }
  return Status;
}
