// The machine's run loop: a counting loop whose body is one computation
// block (each pass is two counted steps: the loop test and the body), and a
// trial-division prime count with nested loops, MOD and branches.

#include "PrimeCount.h"

#include "Flowrun/Flowrun_Main.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

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

namespace {

// Counts the steps of one run, stepping the machine inside one bracket as
// Run does.
int64_t RunCounting(TAlgorithm& Alg, TAlgMachine& M) {
  M.InitComplete();
  M.SetCurrentBlock(Alg.GetRoot());
  int64_t Steps = 0;
  M.BeginModifyComponents();
  while (M.GetState() == amsReady) {
    M.Step();
    ++Steps;
  }
  M.EndModifyComponents();
  return Steps;
}

void BM_PrimeCountRun(benchmark::State& State) {
  TAlgorithm Alg;
  Bench::BuildPrimeCount(Alg, 20000, false);
  int64_t Steps = 0;
  for (auto _ : State) {
    TAlgMachine M;
    Steps += RunCounting(Alg, M);
    if (M.GetStorage().GetVars("C") != 2262)
      State.SkipWithError("wrong count of primes");
  }
  State.counters["steps/s"] = benchmark::Counter(double(Steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrimeCountRun)->Unit(benchmark::kMillisecond);

} // namespace
