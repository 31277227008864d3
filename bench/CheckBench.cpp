// The algorithm window's check: the example task's right solution on 20
// cases, in memory, as the window runs it (goal: well under 0.5 s).

#include "Flowcheck/Flowcheck_Check.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"

#include "TwentyCases.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace Deskbay;
using Deskbay::Bench::TwentyCases;

namespace {

void BM_CheckExampleTwentyCases(benchmark::State& State) {
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, EXAMPLES_DIR "/average.alg");
  const TTestFile Tests = ParseTestFile(TwentyCases(), "bench.tests");
  for (auto _ : State) {
    const std::vector<TCaseResult> Results = CheckAlgorithm(Alg, Tests);
    if (!Results.back().Passed())
      State.SkipWithError(Results.back().Reason.c_str());
    benchmark::DoNotOptimize(Results.data());
  }
}
BENCHMARK(BM_CheckExampleTwentyCases)->Unit(benchmark::kMillisecond);

} // namespace
