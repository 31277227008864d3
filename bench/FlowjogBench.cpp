// The debugger following a run: a step of the machine, the notifications to
// the watch, console and canvas frames, the selection of the next block
// with the flowchart's rebuild, and one paint of the whole form into an
// image. The algorithm holds the block limit's worth of blocks; its loop
// changes 26 variables, draws and prints on every pass.

#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using namespace Deskbay;

namespace {

// An endless loop of three counted steps (the test, the computation, the
// output); the blocks after it are never reached but laid out every time.
void FillAlgorithm(TAlgorithm& Alg) {
  TAlgBlock* R = Alg.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"N=0"});
  TAlgBlock* Loop = TWhileAlgBlock::Class.CreateWithLines(R, {"N>=0"});
  TAlgBlock* Body = static_cast<TContainerAlgBlock*>(Loop)->GetBody();
  std::vector<std::string> Lines = {"N=N+1"};
  for (char C = 'A'; C <= 'Z'; ++C)
    if (C != 'N')
      Lines.push_back(std::string(1, C) + "=N*" + std::to_string(C - 'A' + 1) + "/7");
  Lines.push_back("тчк(N-20*TRUNC(N/20),10),4");
  TBasicAlgBlock::Class.CreateWithLines(Body, Lines);
  TIOAlgBlock::Class.CreateWithLines(Body, {"Вывод N, A, B, C"});
  while (Alg.GetBlockCount() + 3 <= AlgMaxBlockCount) {
    TAlgBlock* If = TIfAlgBlock::Class.CreateWithLines(R, {"X<10"});
    TBasicAlgBlock::Class.CreateWithLines(static_cast<TIfAlgBlock*>(If)->GetYesBranch(), {"Y=1"});
    TIOAlgBlock::Class.CreateWithLines(static_cast<TIfAlgBlock*>(If)->GetNoBranch(), {"Вывод Y"});
  }
  while (Alg.GetBlockCount() < AlgMaxBlockCount)
    TBasicAlgBlock::Class.CreateWithLines(R, {"Z=0"});
}

struct TDebuggerRun {
  TDebuggerRun() {
    FillAlgorithm(Alg);
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
    Form = std::make_unique<TFlowjoggerForm>();
    Form->SetAlgorithm(&Alg);
    Form->SetMachine(&Machine);
    Form->CanvasFrame->cbGrid->setChecked(true);
    // Laid out and painted like a shown window, but only into the image.
    Form->setAttribute(Qt::WA_DontShowOnScreen);
    Form->show();
    Image = QImage(Form->size(), QImage::Format_ARGB32_Premultiplied);
    // A full console: from here on every printed line pushes one out.
    for (int I = 0; I < 3 * TAlgConsole::MaxLines + 30; ++I)
      Step();
  }
  void Step() {
    Machine.Step();
    Form->SelectCurrentBlock();
  }
  void Paint() { Form->render(&Image); }
  void PaintPanel() { Form->pnlControls->render(&Image); }

  TAlgorithm Alg;
  TAlgMachine Machine;
  std::unique_ptr<TFlowjoggerForm> Form;
  QImage Image;
};

// One step of whichever kind comes next, with one paint.
void BM_DebuggerStep(benchmark::State& State) {
  TDebuggerRun Run;
  if (Run.Alg.GetBlockCount() != AlgMaxBlockCount)
    State.SkipWithError("the algorithm does not hold 100 blocks");
  for (auto _ : State) {
    Run.Step();
    Run.Paint();
  }
  if (Run.Machine.GetState() != amsReady)
    State.SkipWithError("the run stopped");
}
BENCHMARK(BM_DebuggerStep)->Unit(benchmark::kMillisecond);

// A whole pass of the loop - 26 variables changed, a point drawn, a line
// printed, three selections and rebuilds - with one paint.
void BM_DebuggerLoopPass(benchmark::State& State) {
  TDebuggerRun Run;
  for (auto _ : State) {
    for (int I = 0; I < 3; ++I)
      Run.Step();
    Run.Paint();
  }
  if (Run.Machine.GetState() != amsReady)
    State.SkipWithError("the run stopped");
}
BENCHMARK(BM_DebuggerLoopPass)->Unit(benchmark::kMillisecond);

// The step as above, painting only the panel of the three frames: what the
// debugger adds to the flowchart's own painting.
void BM_DebuggerStepFramesOnly(benchmark::State& State) {
  TDebuggerRun Run;
  for (auto _ : State) {
    Run.Step();
    Run.PaintPanel();
  }
  if (Run.Machine.GetState() != amsReady)
    State.SkipWithError("the run stopped");
}
BENCHMARK(BM_DebuggerStepFramesOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
