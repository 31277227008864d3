// The editor's two paths: a selection change on a full algorithm (the
// layout runs again, then one paint) and a repaint without a change (the
// finished picture is only replayed). Runs on the offscreen platform.

#include "FullAlgorithm.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/QtHooks.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowmodel/Flowmodel_History.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace Deskbay;

namespace {

// What one paint of the editor on a screen covers: a window's worth.
const QSize Window(800, 600);

struct TEditorSetup {
  TEditorSetup() : Image(Window, QImage::Format_ARGB32_Premultiplied) {
    Bench::FillAlgorithm(Alg);
    Box.resize(Window);
    Editor = new TAlgEditor(Box.GetArea());
    Editor->SetEditable(true);
    Editor->SetAlgorithm(&Alg);
    Statements = Alg.GetRoot()->GetBody();
  }
  ~TEditorSetup() { Editor->SetAlgorithm(nullptr); }
  void Paint() { Editor->render(&Image, QPoint(), QRegion(QRect(QPoint(), Window))); }

  TGuiHooks Hooks; // the Qt fonts measure, as on the screen
  TAlgorithm Alg;
  TAdvScrollBox Box;
  TAlgEditor* Editor;
  TCompoundAlgBlock* Statements;
  QImage Image;
};

void BM_SelectionChangeLayoutAndPaint(benchmark::State& State) {
  TEditorSetup S;
  if (S.Alg.GetBlockCount() != AlgMaxBlockCount)
    State.SkipWithError("the algorithm does not hold 100 blocks");
  const int Before = S.Editor->GetRebuildCount();
  int I = 0;
  for (auto _ : State) {
    {
      // As a click selects: one bracket, one layout.
      TModifyGuard Guard(S.Alg);
      S.Alg.UnselectAll();
      S.Alg.SelectBlock(S.Statements->GetBlocks(I++ % S.Statements->GetBlockCount()), true);
    }
    S.Paint();
  }
  State.counters["layouts"] =
      benchmark::Counter(S.Editor->GetRebuildCount() - Before, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SelectionChangeLayoutAndPaint)->Unit(benchmark::kMillisecond);

void BM_RepaintReplayOnly(benchmark::State& State) {
  TEditorSetup S;
  const int Before = S.Editor->GetRebuildCount();
  for (auto _ : State)
    S.Paint();
  if (S.Editor->GetRebuildCount() != Before)
    State.SkipWithError("a repaint laid the flowchart out");
}
BENCHMARK(BM_RepaintReplayOnly)->Unit(benchmark::kMillisecond);

// Undo and redo on a full algorithm, each through to the repainted editor,
// with a history of 100 steps that each changed a block's text; the
// history's memory is reported as a counter (goal: 2 MB). One iteration is
// two steps (goal: 5 ms each).
void BM_UndoRedoAndPaint(benchmark::State& State) {
  TEditorSetup S;
  TAlgHistory History(S.Alg);
  for (int I = 0; I < TAlgHistory::DefaultLimit; ++I) {
    TModifyGuard Guard(S.Alg);
    TAlgBlock* B = S.Statements->GetBlocks(I % S.Statements->GetBlockCount());
    B->GetText().Add("X" + std::to_string(I) + "=1");
    History.CloseTypingRun();
  }
  if (History.GetUndoCount() != TAlgHistory::DefaultLimit)
    State.SkipWithError("the history does not hold 100 steps");
  S.Paint();
  for (auto _ : State) {
    History.Undo();
    S.Paint();
    History.Redo();
    S.Paint();
  }
  State.counters["history_MB"] = double(History.GetMemoryUsed()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_UndoRedoAndPaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
