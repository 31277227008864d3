// The editor's two paths: a selection change on a full algorithm (the
// layout runs again, then one paint) and a repaint without a change (the
// finished picture is only replayed). Runs on the offscreen platform.

#include "FullAlgorithm.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/QtHooks.h"
#include "Flowedit/Flowedit_Editor.h"

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
