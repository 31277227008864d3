// The algorithm window's check: the example task's right solution on 20
// cases, in memory, as the window runs it (goal: well under 0.5 s).

#include "Flowcheck/Flowcheck_Check.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace Deskbay;

namespace {

std::string TwentyCases() {
  std::string Text;
  for (int N = 1; N <= 20; ++N) {
    Text += "=== " + std::to_string(N) + " чисел\n< " + std::to_string(N) + "\n";
    for (int K = 1; K <= N; ++K)
      Text += "< " + std::to_string(K) + "\n";
    const int Sum = N * (N + 1) / 2;
    Text += "> " + std::to_string(Sum) + " " +
            (N % 2 ? std::to_string((N + 1) / 2) : std::to_string(N / 2) + ".5") + "\n";
  }
  return Text;
}

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
