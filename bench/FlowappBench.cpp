// The desktop program's speed, offscreen: a Run inside the algorithm
// window (in slices from the event loop, the views following it) against
// the bare machine, one F8 on a 100-block algorithm up to the repainted
// debugger, and the start up to the first painted window with one untitled
// algorithm; "Проверить" on 20 cases of an example task up to the shown
// results, and on 100,000 cases against the checker alone as "algtool
// check" runs it (goal: the window at most twice as long).

#include "Flowapp/Flowapp_CheckPanel.h"
#include "Flowapp/Flowapp_EditorForm.h"
#include "Flowapp/Flowapp_Module.h"

#include "Corekit/TempFileMgr.h"
#include "Corekit/ui/QtHooks.h"
#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"
#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/Flowcheck_TestFile.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include "TwentyCases.h"
#include <QApplication>
#include <QTableWidget>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Deskbay;
using Deskbay::Bench::TwentyCases;

namespace {

// Ten million steps, about half a second: a long run, where the speed
// counts, rather than the fixed cost of its start and end.
const int LoopCount = 5000000;

// S=0, then the loop: the steps are the loop test and the body per pass,
// plus the root, S=0 and the loop's end.
void BuildCountingLoop(TAlgorithm& Alg, int N) {
  TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody())->GetText().Add("S=0");
  TAlgBlock* For = TForAlgBlock::Class.Create(Alg.GetRoot()->GetBody());
  For->GetText().Add("I=1," + std::to_string(N) + ",1");
  TAlgBlock* Body = TBasicAlgBlock::Class.Create(static_cast<TForAlgBlock*>(For)->GetBody());
  Body->GetText().Add("S=S+I");
}

// A shell in a folder of its own with the algorithm module enabled.
class TShell {
public:
  TShell() {
    std::string Template = "/tmp/deskbay-bench-XXXXXX";
    if (!mkdtemp(Template.data()))
      std::abort();
    FHome = Template;
    // The module is linked here, so it is started from its class (the
    // shell refuses to load a package already in the process).
    std::ofstream(FHome + "/Deskbay.ini") << "[General]\n\n[Applications]\n";
    SetErrorHandler([](const std::string&) {});
  }
  ~TShell() {
    Stop();
    try {
      RemoveDirectoryTree(FHome);
    } catch (...) {
    }
  }
  TMainForm* Start() {
    FMain = std::make_unique<TMainForm>(TShellStart{FHome, "Deskbay", ""});
    FMain->show();
    GetAppModuleClass()->Create("Flowapp");
    return FMain.get();
  }
  void Stop() {
    FMain.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  TAlgEditorForm* Window() { return static_cast<TAlgEditorForm*>(FMain->GetEditors(0)); }
  const std::string& Home() const { return FHome; }

private:
  std::string FHome;
  std::unique_ptr<TMainForm> FMain;
};

void BM_BareMachineRun(benchmark::State& State) {
  TAlgorithm Alg;
  BuildCountingLoop(Alg, LoopCount);
  int64_t Steps = 0;
  for (auto _ : State) {
    TAlgMachine M;
    M.InitComplete();
    M.SetCurrentBlock(Alg.GetRoot());
    M.Run();
    Steps += 2 * int64_t(LoopCount) + 2;
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareMachineRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// Counts the updates of the views: the machine's interaction notices.
class TViewCount : public IOnNotify {
public:
  void Notify(TObject*) override { ++Count; }
  int64_t Count = 0;
};

// F9 in the shown window: slices of steps from the event loop, which
// handles input and paints between them; the views (variables, console,
// canvas, the current block, the status line) follow ten times a second.
// "views/s" counts their updates per second of the run's own (wall) time.
void BM_DesktopRun(benchmark::State& State) {
  TGuiHooks Hooks;
  TShell Shell;
  Shell.Start();
  TAlgEditorForm* W = Shell.Window();
  BuildCountingLoop(W->GetAlgorithm(), LoopCount);
  W->show();
  QApplication::processEvents();
  int64_t Steps = 0;
  TViewCount Views;
  std::chrono::steady_clock::duration Running{};
  for (auto _ : State) {
    State.PauseTiming();
    W->AlgStop->trigger();
    // The first step makes the machine, so its views can be counted.
    W->AlgStep->trigger();
    W->GetMachine()->AddInteractionListener(&Views);
    State.ResumeTiming();
    const auto Start = std::chrono::steady_clock::now();
    W->AlgRun->trigger();
    while (W->GetInRun())
      QCoreApplication::processEvents();
    Running += std::chrono::steady_clock::now() - Start;
    State.PauseTiming();
    if (!W->GetMachine() || W->GetMachine()->GetState() != amsDone)
      State.SkipWithError("the run did not finish");
    W->GetMachine()->RemoveInteractionListener(&Views);
    State.ResumeTiming();
    Steps += 2 * int64_t(LoopCount) + 1;
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
  State.counters["views/s"] = benchmark::Counter(double(Views.Count), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DesktopRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// F8 as the key reaches the window, through the shortcut, the step, the
// debugger's selection and the flowchart's repaint.
void BM_StepKeyTo100BlockDebugger(benchmark::State& State) {
  TGuiHooks Hooks;
  TShell Shell;
  Shell.Start();
  TAlgEditorForm* W = Shell.Window();
  TAlgorithm& Alg = W->GetAlgorithm();
  TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody())->GetText().Add("A=0");
  while (Alg.GetBlockCount() < 100)
    TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody())->GetText().Add("A=A+1");
  W->show();
  W->activateWindow();
  QApplication::setActiveWindow(W);
  QApplication::processEvents();
  for (auto _ : State) {
    if (W->GetMachine() && W->GetMachine()->GetState() != amsReady) {
      State.PauseTiming();
      W->AlgStop->trigger();
      // The idle update has not run: enable Run and Step for the key.
      W->UpdateActions();
      State.ResumeTiming();
    }
    const TAlgMachine* Before = W->GetMachine();
    const TAlgBlock* Current = Before ? Before->GetCurrentBlock() : nullptr;
    QTest::keyClick(W, Qt::Key_F8);
    W->GetForm()->repaint();
    W->UpdateActions();
    if (!W->GetMachine() || W->GetMachine()->GetCurrentBlock() == Current) {
      State.SkipWithError("F8 did not step");
      break;
    }
  }
}
BENCHMARK(BM_StepKeyTo100BlockDebugger)->Unit(benchmark::kMicrosecond);

// Ctrl+F9 on average.alg with the cases of TestsText, up to the painted
// results panel with every row: the test file read, the cases in slices of
// the event loop's time, the rows in batches.
void CheckIntoPanel(benchmark::State& State, const std::string& TestsText, int Rows) {
  TGuiHooks Hooks;
  TShell Shell;
  Shell.Start();
  TAlgEditorForm* W = Shell.Window();
  LoadAlgorithmFile(W->GetAlgorithm(), EXAMPLES_DIR "/average.alg");
  const std::string Tests = Shell.Home() + "/cases.tests";
  std::ofstream(Tests) << TestsText;
  W->SetChosenTestFile(Tests);
  W->show();
  QApplication::processEvents();
  for (auto _ : State) {
    W->UpdateActions();
    W->AlgCheck->trigger();
    while (W->GetChecking())
      QCoreApplication::processEvents();
    W->repaint();
    const std::vector<TCaseResult>& Results = W->pnlCheck->GetResults();
    if (W->pnlCheck->tblCases->rowCount() != Rows || !Results.back().Passed()) {
      State.SkipWithError("the check did not pass every case");
      break;
    }
  }
}

// The twenty cases (goal: 0.5 s), the first case's lines shown.
void BM_CheckTwentyCasesIntoPanel(benchmark::State& State) {
  CheckIntoPanel(State, TwentyCases(), 20);
}
BENCHMARK(BM_CheckTwentyCasesIntoPanel)->Unit(benchmark::kMillisecond);

// The example task on 100,000 cases of 1 to 20 numbers each.
const int ManyCases = 100000;

std::string ManyCasesText() {
  std::string Text;
  Text.reserve(ManyCases * 80);
  for (int I = 0; I < ManyCases; ++I) {
    const int N = I % 20 + 1;
    Text += "=== случай " + std::to_string(I) + "\n< " + std::to_string(N) + "\n";
    for (int K = 1; K <= N; ++K)
      Text += "< " + std::to_string(K) + "\n";
    Text += "> " + std::to_string(N * (N + 1) / 2) + " " +
            (N % 2 ? std::to_string((N + 1) / 2) : std::to_string(N / 2) + ".5") + "\n";
  }
  return Text;
}

// What "algtool check TESTS average.alg --jobs 1" does: the file loaded and
// every case on a fresh machine, no window.
void BM_CheckManyCasesAsAlgtool(benchmark::State& State) {
  const TTestFile Tests = ParseTestFile(ManyCasesText(), "many.tests");
  for (auto _ : State) {
    const TFileResult Result = CheckFile(Tests, EXAMPLES_DIR "/average.alg");
    if (Result.Cases.size() != size_t(ManyCases) || !Result.Cases.back().Passed()) {
      State.SkipWithError("the check did not pass every case");
      break;
    }
  }
  State.counters["cases/s"] = benchmark::Counter(double(ManyCases) * double(State.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CheckManyCasesAsAlgtool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Ctrl+F9 on the same cases, against the checker alone above.
void BM_CheckManyCasesIntoPanel(benchmark::State& State) {
  CheckIntoPanel(State, ManyCasesText(), ManyCases);
  State.counters["cases/s"] = benchmark::Counter(double(ManyCases) * double(State.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CheckManyCasesIntoPanel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// From nothing to the main window with one painted untitled algorithm.
void BM_StartToFirstPaintedWindow(benchmark::State& State) {
  TGuiHooks Hooks;
  TShell Shell;
  for (auto _ : State) {
    Shell.Start();
    Shell.Window()->repaint();
    State.PauseTiming();
    Shell.Stop();
    State.ResumeTiming();
  }
}
BENCHMARK(BM_StartToFirstPaintedWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char Cwd[4096];
  const bool HaveCwd = getcwd(Cwd, sizeof Cwd) != nullptr;
  QApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The shell makes its home the working folder.
  if (HaveCwd && chdir(Cwd) != 0)
    return 1;
  return 0;
}
