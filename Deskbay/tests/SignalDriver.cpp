// An application package for the signal tests, loaded by the real program
// beside the algorithm module. It brings the program into the state that
// DESKBAY_SIGNAL_STATE names and then creates the file DESKBAY_SIGNAL_READY,
// so the test knows when to send its signal:
//   idle          the algorithm DESKBAY_SIGNAL_FILE open, nothing else
//   running       that algorithm running (F9)
//   stepping      that algorithm stepped twice (F8)
//   input-run     a run waiting in its input dialog
//   input-step    a step waiting in its input dialog
//   message       an error box over the algorithm window
//   file-dialog   the Open dialog
//   question      the question whether to save, as closing a modified window asks it
// With DESKBAY_SIGNAL_MODIFIED set the algorithm is changed first (and
// never saved by the program: the test checks the file stays as it was).
// Only the shell's interface is used: the algorithm window's commands are
// found by their names.

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include "Corekit/ModMgr.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <string>

namespace Deskbay::Testing {

namespace {

std::string Env(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value ? Value : "";
}

QAction* Command(QWidget* Window, const char* Name) {
  return Window ? Window->findChild<QAction*>(Name) : nullptr;
}

bool ModalIs(const char* ClassName) {
  QWidget* Modal = QApplication::activeModalWidget();
  return Modal && Modal->isVisible() && Modal->inherits(ClassName);
}

class TSignalDriver : public QObject {
public:
  TSignalDriver() {
    FState = Env("DESKBAY_SIGNAL_STATE");
    QTimer::singleShot(0, this, [this] { Start(); });
  }

private:
  void Start() {
    FWindow = MainForm->OpenFile(Env("DESKBAY_SIGNAL_FILE"));
    FWindow->activateWindow();
    QApplication::setActiveWindow(FWindow);
    if (!Env("DESKBAY_SIGNAL_MODIFIED").empty())
      FWindow->SetModified(true);
    // Watched from a timer of its own: the commands below may not return
    // before the state is reached (a dialog's loop runs inside them).
    auto* Watch = new QTimer(this);
    connect(Watch, &QTimer::timeout, this, [this, Watch] {
      if (Reached()) {
        FReached = true;
        Watch->stop();
        std::ofstream(Env("DESKBAY_SIGNAL_READY")) << FState << "\n";
      }
    });
    Watch->start(20);
    QTimer::singleShot(0, this, [this] { Act(); });
  }

  void Act() {
    if (FState == "running" || FState == "input-run")
      Command(FWindow, "AlgRun")->trigger();
    else if (FState == "stepping") {
      Command(FWindow, "AlgStep")->trigger();
      Command(FWindow, "AlgStep")->trigger();
    } else if (FState == "input-step")
      StepUntilAsked();
    else if (FState == "message")
      ShowErrorMessage("Проверочное сообщение.");
    else if (FState == "file-dialog")
      MainForm->FileOpen->trigger();
    else if (FState == "question")
      FWindow->close();
  }

  void StepUntilAsked() {
    if (!FWindow || FReached || ModalIs("QDialog"))
      return;
    Command(FWindow, "AlgStep")->trigger();
    QTimer::singleShot(0, this, [this] { StepUntilAsked(); });
  }

  bool Reached() const {
    if (FState == "idle" || FState == "stepping")
      return true;
    if (FState == "running")
      return !Command(FWindow, "AlgRun")->isEnabled() && Command(FWindow, "AlgStop")->isEnabled();
    if (FState == "input-run" || FState == "input-step")
      return ModalIs("Deskbay::TInputStringForm");
    if (FState == "message")
      return ModalIs("QMessageBox");
    if (FState == "file-dialog")
      return ModalIs("QFileDialog");
    if (FState == "question")
      return ModalIs("Deskbay::TYesNoCancelForm");
    return false;
  }

  std::string FState;
  bool FReached = false;
  QPointer<TEditorForm> FWindow;
};

class TSignalDriverModule : public TAppModule {
public:
  using TAppModule::TAppModule;

private:
  TSignalDriver FDriver;
};

const TAppModuleClassOf<TSignalDriverModule> ModuleClass("TSignalDriverModule");

} // namespace

} // namespace Deskbay::Testing

DESKBAY_PACKAGE_EXPORT const Deskbay::TAppModuleClass* GetAppModuleClass() {
  return &Deskbay::Testing::ModuleClass;
}
