#pragma once

// A shell of its own for each test, with the algorithm module enabled in
// its settings file and the GUI's hooks installed (input dialog, abort
// poller, fonts); errors are collected instead of shown.

#include "Flowapp/Flowapp_EditorForm.h"

#include "Corekit/ui/QtHooks.h"
#include "Environment/Main.h"
#include "Environment/tests/ShellHome.h"

#include <QObject>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Deskbay::Testing {

inline const std::string FlowappDir = FLOWAPP_DIR;
inline const std::string ExamplesDir = EXAMPLES_DIR;

class TFlowappTest : public testing::Test, protected TShellHome {
protected:
  TFlowappTest();
  ~TFlowappTest() override;

  // The main window and its first show, then the algorithm module as the
  // shell starts an enabled one. The module is linked into the tests, so it
  // is made from its class here: the shell's own loading refuses a library
  // that is already in the process (that path has tests of its own).
  void StartShell();
  // The I-th document window, which must be an algorithm window.
  TAlgEditorForm* AlgWindow(int Index = 0);
  // Lets deferred deletions and posted events happen.
  static void Flush();

  std::unique_ptr<TGuiHooks> Hooks;
  std::unique_ptr<TMainForm> Shell;
};

// Fills Alg's root body with one computation block per entry, each holding
// the lines of that entry.
void AddBlocks(TAlgorithm& Alg, const std::vector<std::vector<std::string>>& Blocks);

// Answers the modal dialogs that open, in order: the first one opened goes
// to the first function, and so on. A dialog left without an answer is
// rejected, so no test waits on one.
class TModalAnswers {
public:
  explicit TModalAnswers(std::vector<std::function<void(QWidget*)>> Answers);
  ~TModalAnswers();
  int Asked() const { return FAsked; }

private:
  void Arm();
  void Poll();
  std::vector<std::function<void(QWidget*)>> FAnswers;
  int FAsked = 0;
  bool FDone = false;
  QObject FGuard;
};

// Calls Fn once after Ms milliseconds of the event loop (also of the loop
// that a Run turns while it keeps the window alive).
void After(int Ms, QObject* Context, std::function<void()> Fn);

} // namespace Deskbay::Testing
