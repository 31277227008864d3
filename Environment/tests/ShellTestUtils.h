#pragma once

// A shell of its own for each test: a home folder with a settings file, the
// fixture packages as its module folder, errors collected instead of shown,
// and answers for the modal dialogs the shell asks.

#include "Environment/Main.h"
#include "Environment/tests/ShellHome.h"

#include "Corekit/TempFileMgr.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace Deskbay::Testing {

inline const std::string FixtureDir = ENV_FIXTURE_DIR;

inline std::string ReadText(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& Name, const std::string& Text) {
  std::ofstream(Name, std::ios::binary | std::ios::trunc) << Text;
}

class TShellTest : public testing::Test, protected TShellHome {
protected:
  TShellTest() : TShellHome("deskbay-shell") {}
  ~TShellTest() override { Shell.reset(); }

  std::string Settings() const { return Home + "/Deskbay.ini"; }

  // The settings file: the fixture folder as module folder and the given
  // application lines.
  void WriteSettings(const std::string& Applications) {
    WriteText(Settings(),
              "[General]\nModuleDir=" + FixtureDir + "\n\n[Applications]\n" + Applications);
  }

  // A main window on the home folder; Start also runs its first show.
  TMainForm* Start(bool FirstShow = true) {
    Shell = std::make_unique<TMainForm>(TShellStart{Home, "Deskbay", ""});
    if (FirstShow)
      Shell->FirstShow();
    return Shell.get();
  }
  // Destroys the main window as the launcher does.
  void Stop() { Shell.reset(); }

  // Lets deferred deletions (closed windows) happen.
  static void Flush() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

  std::unique_ptr<TMainForm> Shell;
};

// Presses the button captioned Caption in the next modal dialog that opens
// (the unsaved-changes question, the new-document choice). Answers stack:
// the first one given answers the first dialog.
class TModalAnswers {
public:
  explicit TModalAnswers(std::vector<std::string> Captions) : FCaptions(std::move(Captions)) {
    Arm();
  }
  ~TModalAnswers() { FDone = true; }
  TModalAnswers(const TModalAnswers&) = delete;
  TModalAnswers& operator=(const TModalAnswers&) = delete;
  int Asked() const { return FAsked; }
  // Runs Prepare on the dialog before the answer is given.
  std::function<void(QWidget*)> Prepare;

private:
  void Arm() {
    // Bound to a guard object, so no poll outlives the answers.
    QTimer::singleShot(10, &FGuard, [this] { Poll(); });
  }
  void Poll() {
    if (FDone)
      return;
    QWidget* Modal = QApplication::activeModalWidget();
    // A dialog is answered once; the next may reuse its address.
    if (!Modal || Modal->property("answered").toBool()) {
      Arm();
      return;
    }
    Modal->setProperty("answered", true);
    if (Prepare)
      Prepare(Modal);
    QString Caption = QString::fromStdString(FCaptions[FAsked % FCaptions.size()]);
    ++FAsked;
    bool Clicked = false;
    for (QPushButton* B : Modal->findChildren<QPushButton*>())
      if (B->text() == Caption && B->isEnabled()) {
        B->click();
        Clicked = true;
        break;
      }
    // Never leave a test waiting on a dialog nobody answers.
    if (!Clicked)
      Modal->close();
    Arm();
  }
  std::vector<std::string> FCaptions;
  int FAsked = 0;
  bool FDone = false;
  QObject FGuard;
};

} // namespace Deskbay::Testing
