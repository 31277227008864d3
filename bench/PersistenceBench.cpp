// Loading algorithm files: time should grow with the file's size alone,
// however deeply its blocks are nested.

#include "Flowmodel/Flowmodel_Main.h"

#include "Corekit/MiscUtils_Bag.h"

#include <benchmark/benchmark.h>

using namespace Deskbay;

namespace {

// Depth loops, one inside the other, around blocks of many short lines
// adding up to about Bytes.
std::string NestedFile(int Depth, size_t Bytes) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  for (int I = 0; I < Depth; ++I)
    Body = TAlgBlock::Create<TWhileAlgBlock>(Body)->GetBody();
  auto* Block = TAlgBlock::Create<TBasicAlgBlock>(Body);
  std::vector<std::string> Lines(Bytes / 10, "X=X+12345");
  Block->GetText().SetLines(Lines);
  TMemoryStream S;
  SaveObjectToStream(&Alg, &S);
  return std::string(S.GetBytes().begin(), S.GetBytes().end());
}

// Arguments: nesting depth, file size in KiB.
void BM_LoadNestedFile(benchmark::State& State) {
  const std::string File =
      NestedFile(static_cast<int>(State.range(0)), static_cast<size_t>(State.range(1)) << 10);
  for (auto _ : State) {
    TMemoryStream S(File.data(), File.size());
    TAlgorithm Alg;
    LoadObjectFromStream(&Alg, &S);
    benchmark::DoNotOptimize(Alg.GetBlockCount());
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * File.size()));
  State.counters["size"] = static_cast<double>(File.size());
}
BENCHMARK(BM_LoadNestedFile)
    ->Args({1, 1024})
    ->Args({90, 1024})
    ->Args({1, 4096})
    ->Args({90, 4096})
    ->Unit(benchmark::kMillisecond);

} // namespace
