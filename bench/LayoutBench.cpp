// Layout of a full algorithm: the editor renders the root into a fresh
// composite image tree on every model change.

#include "FullAlgorithm.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <benchmark/benchmark.h>

using namespace Deskbay;
using Deskbay::Bench::FillAlgorithm;

namespace {

void BM_LayoutHundredBlocks(benchmark::State& State) {
  TAlgorithm Alg;
  FillAlgorithm(Alg);
  if (Alg.GetBlockCount() != AlgMaxBlockCount)
    State.SkipWithError("the algorithm does not hold 100 blocks");
  for (auto _ : State) {
    auto* Image = new TCompositeImage;
    benchmark::DoNotOptimize(Alg.GetRoot()->Render(*Image));
    delete Image;
  }
}
BENCHMARK(BM_LayoutHundredBlocks)->Unit(benchmark::kMicrosecond);

} // namespace
