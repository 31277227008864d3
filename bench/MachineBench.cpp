// The machine's run loop: a counting loop whose body is one computation
// block. Each pass is two counted steps (the loop test and the body).

#include "Flowrun/Flowrun_Main.h"

#include <benchmark/benchmark.h>

using namespace Deskbay;

static void BM_CountingLoopRun(benchmark::State& State) {
  const int N = static_cast<int>(State.range(0));
  TAlgorithm Alg;
  TAlgBlock* For = TForAlgBlock::Class.Create(Alg.GetRoot()->GetBody());
  For->GetText().Add("I=1," + std::to_string(N) + ",1");
  TAlgBlock* Body = TBasicAlgBlock::Class.Create(static_cast<TForAlgBlock*>(For)->GetBody());
  Body->GetText().Add("S=S+I");
  int64_t Steps = 0;
  for (auto _ : State) {
    TAlgMachine M;
    M.GetStorage().SetVars("S", 0);
    M.InitComplete();
    M.SetCurrentBlock(Alg.GetRoot());
    M.Run();
    if (M.GetStorage().GetVars("S") != 0.5 * N * (N + 1.0))
      State.SkipWithError("wrong sum");
    Steps += 2 * int64_t(N) + 2;
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
  State.counters["body passes/s"] =
      benchmark::Counter(double(State.iterations()) * N, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CountingLoopRun)->Arg(1000000)->Unit(benchmark::kMillisecond);
