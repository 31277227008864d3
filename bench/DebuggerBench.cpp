// The debugger's costs: a run in slices with a breakpoint that never fires
// against the same run driven without one, one step back at the end of a
// run of a million steps, and a counting loop that draws a segment a pass.

#include "Flowrun/Flowrun_Control.h"
#include "Flowrun/Flowrun_Debugger.h"
#include "Flowrun/Flowrun_Main.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace Deskbay;

namespace {

// S=0; I = 1..N: S=S+I, then the block Never (I=0, never true).
struct TSumLoop {
  explicit TSumLoop(int N, const std::string& BodyLine = "S=S+I") {
    TBasicAlgBlock::Class.CreateWithLines(Alg.GetRoot()->GetBody(), {"S=0"});
    TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(Alg.GetRoot()->GetBody(),
                                                         {"I=1," + std::to_string(N) + ",1"});
    Body = TBasicAlgBlock::Class.CreateWithLines(static_cast<TContainerAlgBlock*>(For)->GetBody(),
                                                 {BodyLine});
  }
  TAlgorithm Alg;
  TAlgBlock* Body;
};

void BM_DrivenRunNoBreakpoint(benchmark::State& State) {
  TSumLoop L(1000000);
  int64_t Steps = 0;
  for (auto _ : State) {
    TAlgDebugSession S(L.Alg);
    while (S.RunSlice(INT64_MAX, std::chrono::seconds(100)) == TSliceEnd::Budget) {
    }
    Steps += S.GetStepNumber();
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrivenRunNoBreakpoint)->Unit(benchmark::kMillisecond);

// A conditional breakpoint on a block the run never reaches costs only the
// filter's test per step; one on the body is tested every pass.
void BM_DrivenRunOneBreakpointNeverFires(benchmark::State& State) {
  TSumLoop L(1000000);
  TAlgBlock* Elsewhere = TBasicAlgBlock::Class.CreateWithLines(L.Alg.GetRoot()->GetBody(), {"Z=1"});
  int64_t Steps = 0;
  for (auto _ : State) {
    TAlgDebugSession S(L.Alg);
    S.GetBreakpoints().Set(State.range(0) ? L.Body : Elsewhere, "I=0");
    while (S.RunSlice(INT64_MAX, std::chrono::seconds(100)) == TSliceEnd::Budget) {
    }
    Steps += S.GetStepNumber();
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrivenRunOneBreakpointNeverFires)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One step back from the end of a run of a million steps.
void BM_StepBackAfterMillionSteps(benchmark::State& State) {
  TSumLoop L(500000);
  TAlgDebugSession S(L.Alg);
  while (S.RunSlice(INT64_MAX, std::chrono::seconds(100)) == TSliceEnd::Budget) {
  }
  const int64_t End = S.GetStepNumber();
  for (auto _ : State) {
    S.StepBack();
    State.PauseTiming();
    S.StepOne();
    State.ResumeTiming();
  }
  State.counters["steps"] = double(End);
}
BENCHMARK(BM_StepBackAfterMillionSteps)->Unit(benchmark::kMillisecond);

// The drawing loop of the issue: a segment a pass.
void BM_DrawingLoopRun(benchmark::State& State) {
  TSumLoop L(1000000, "отр(I MOD 20,0)-(I MOD 13,19),1");
  int64_t Steps = 0;
  for (auto _ : State) {
    TAlgMachine M;
    Steps += DriveMachine(M, L.Alg, -1).Steps;
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawingLoopRun)->Unit(benchmark::kMillisecond);

} // namespace
