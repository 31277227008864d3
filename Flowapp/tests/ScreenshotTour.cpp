// Drives the desktop program through the states a teacher looks at and
// saves a picture of the whole screen at each: run it under a real X
// server (Xvfb) to see the windows as a user does.
//   FlowappScreenshotTour OUTDIR

#include "Flowapp/Flowapp_EditorForm.h"
#include "Flowapp/Flowapp_Module.h"

#include "Corekit/TempFileMgr.h"
#include "Corekit/ui/QtHooks.h"
#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

using namespace Deskbay;

namespace {

std::string OutDir;

void Settle(int Ms = 300) {
  QTest::qWait(Ms);
}

void Shot(const std::string& Name) {
  Settle();
  QPixmap P = QGuiApplication::primaryScreen()->grabWindow(0);
  const std::string File = OutDir + "/" + Name + ".png";
  if (!P.save(QString::fromStdString(File)))
    std::fprintf(stderr, "cannot write %s\n", File.c_str());
  else
    std::printf("%s\n", File.c_str()), std::fflush(stdout);
}

// Takes a picture while the window that Open shows is up (a modal dialog,
// or a window of its own), then closes it before the next one.
void ShotOfModal(const std::string& Name, const std::function<void()>& Open) {
  bool Done = false;
  QWidget* Before = QApplication::activeWindow();
  QTimer::singleShot(600, [Name, Before, &Done] {
    Shot(Name);
    if (QWidget* Modal = QApplication::activeModalWidget())
      Modal->close();
    else if (QWidget* Active = QApplication::activeWindow(); Active && Active != Before)
      Active->close();
    Done = true;
  });
  Open();
  if (!QTest::qWaitFor([&Done] { return Done; }, 5000))
    std::fprintf(stderr, "%s: the window did not come up\n", Name.c_str());
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: FlowappScreenshotTour OUTDIR\n");
    return 2;
  }
  OutDir = argv[1];
  TShellApplication App(argc, argv);
  TGuiHooks Hooks;

  std::string Home = "/tmp/deskbay-tour-XXXXXX";
  if (!mkdtemp(Home.data()))
    return 1;
  // Listed but started here from the linked class: the shell refuses to
  // load a package that is already in the process.
  std::ofstream(Home + "/Deskbay.ini") << "[General]\nModuleDir=" << FLOWAPP_DIR
                                       << "\n\n[Applications]\nFlowapp=0,Исполнитель алгоритмов\n";
  int Status = 0;
  {
    auto Shell = std::make_unique<TMainForm>(TShellStart{Home, "Deskbay", ""});
    Shell->show();
    GetAppModuleClass()->Create("Flowapp");
    Settle(500);

    // The shell with an algorithm in edit mode, one block selected.
    auto* W = static_cast<TAlgEditorForm*>(Shell->OpenFile(EXAMPLES_DIR "/drawing.alg"));
    TAlgorithm& Alg = W->GetAlgorithm();
    Alg.SelectBlock(Alg.GetRoot()->GetBody()->GetBlocks(1), true);
    W->activateWindow();
    Shot("1-edit-mode");

    // The debugger in the middle of the drawing.
    for (int I = 0; I < 12; ++I)
      W->AlgStep->trigger();
    Shot("2-debugger-mid-run");
    W->AlgStop->trigger();

    // Run mode after an error: the red block and the message box.
    auto* E = static_cast<TAlgEditorForm*>(Shell->CreateEditor(&TAlgEditorForm::StaticClass()));
    TAlgorithm& Bad = E->GetAlgorithm();
    for (const char* Line : {"A=5", "B=A-5", "C=A/B", "Вывод C"}) {
      TAlgBlock* B = TBasicAlgBlock::Class.Create(Bad.GetRoot()->GetBody());
      B->GetText().Add(Line);
    }
    E->activateWindow();
    Settle();
    ShotOfModal("3-error-in-run-mode", [E] { E->AlgRun->trigger(); });
    Shot("3b-after-the-message");

    // A long run of a printing loop half-way: the console and the variables
    // fill while it goes; then stopped, then a run that ends by itself.
    auto* L = static_cast<TAlgEditorForm*>(Shell->CreateEditor(&TAlgEditorForm::StaticClass()));
    TAlgorithm& Long = L->GetAlgorithm();
    TBasicAlgBlock::Class.Create(Long.GetRoot()->GetBody())->GetText().Add("I=0");
    auto* Loop =
        static_cast<TWhileAlgBlock*>(TWhileAlgBlock::Class.Create(Long.GetRoot()->GetBody()));
    Loop->GetText().Add("I>=0");
    TBasicAlgBlock::Class.Create(Loop->GetBody())->GetText().Add("I=I+1");
    TIOAlgBlock::Class.Create(Loop->GetBody())->GetText().Add("Вывод I, I*I");
    L->activateWindow();
    Settle();
    L->AlgRun->trigger();
    Shot("6-long-run-half-way");
    L->AlgStop->trigger();
    Shot("7-run-stopped");
    L->AlgStop->trigger();
    L->SetModified(false);
    L->close();
    auto* T = static_cast<TAlgEditorForm*>(Shell->OpenFile(EXAMPLES_DIR "/table_of_squares.alg"));
    T->activateWindow();
    T->AlgRun->trigger();
    if (!QTest::qWaitFor([T] { return !T->GetInRun(); }, 5000))
      std::fprintf(stderr, "the table of squares did not finish\n");
    Shot("8-run-finished");

    ShotOfModal("4-applications", [&] { Shell->HelpApplications->trigger(); });
    ShotOfModal("5-modules", [&] { Shell->HelpModules->trigger(); });

    // Nothing to save: the error example was only for the picture.
    E->SetModified(false);
    Shell->close();
    Settle();
  }
  try {
    RemoveDirectoryTree(Home);
  } catch (...) {
  }
  return Status;
}
