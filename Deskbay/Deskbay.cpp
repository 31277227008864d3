// The program the user starts: the shell's main window and its event loop.

#include "Deskbay_Display.h"
#include "Deskbay_Files.h"
#include "Deskbay_Options.h"
#include "Deskbay_Signals.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"
#include "Environment/QtTranslations.h"

#include "Corekit/ui/QtHooks.h"
#include "Corekit/ui/UiFonts.h"

#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
  // Answered without a display: no application object yet.
  if (const std::optional<int> Status = Deskbay::AnswerInfoOption(argc, argv, std::cout))
    return *Status;
  // Qt aborts without a display; the user gets one line instead.
  if (std::string Reason; !Deskbay::PrepareDisplay(Reason)) {
    std::fprintf(stderr, "%s\n", Reason.c_str());
    return 1;
  }
  Deskbay::TShellApplication App(argc, argv);
  Deskbay::InstallQtTranslations();
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
  // Names as the bytes given (Qt has taken out its own options).
  std::error_code NoFolder; // a folder removed under the program: names stay as given
  const std::vector<std::string> Files = Deskbay::CommandLineFiles(
      std::vector<std::string>(argv, argv + argc), std::filesystem::current_path(NoFolder));
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
