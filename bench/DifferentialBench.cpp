// The full differential run of compiled evaluation against the parser: the
// unit tests run a few thousand texts, this run the whole count, and fails
// on the first difference.

#include "Corekit/tests/CompiledDifferential.h"

#include <benchmark/benchmark.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

constexpr int FullCount = 120000;

void BM_CompiledMatchesParser(benchmark::State& State) {
  for (auto _ : State) {
    const TDifferentialRun Run = RunDifferential(FullCount, 2026);
    if (!Run.Differences.empty())
      State.SkipWithError(("compiled differs from the parser: " + Run.Differences[0]).c_str());
    for (int Outcome = 0; Outcome < 10; ++Outcome)
      State.counters["outcome " + std::to_string(Outcome)] = Run.Outcomes[Outcome];
  }
  State.counters["texts"] = FullCount;
}
BENCHMARK(BM_CompiledMatchesParser)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
