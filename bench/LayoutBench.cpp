// Layout of a full algorithm: the editor renders the root into a fresh
// composite image tree on every model change.

#include "Flowmodel/Flowmodel_Main.h"

#include <benchmark/benchmark.h>

using namespace Deskbay;

namespace {

TAlgBlock* Statement(TAlgBlock* Parent, const char* Line) {
  auto* B = TAlgBlock::Create<TBasicAlgBlock>(Parent);
  B->GetText().Add(Line);
  return B;
}

// The block limit's worth of blocks (the root included), every kind, nested.
void FillAlgorithm(TAlgorithm& Alg) {
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  while (Alg.GetBlockCount() + 9 <= AlgMaxBlockCount) {
    Statement(Body, "X=X+1");
    auto* IO = TAlgBlock::Create<TIOAlgBlock>(Body);
    IO->GetText().Add("Вывод X");
    auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
    If->GetText().Add("X<10");
    Statement(If->GetYesBranch(), "Y=1");
    auto* While = TAlgBlock::Create<TWhileAlgBlock>(If->GetNoBranch());
    While->GetText().Add("Y<5");
    Statement(While->GetBody(), "Y=Y+1");
    auto* For = TAlgBlock::Create<TForAlgBlock>(Body);
    For->GetText().Add("I=1,10,1");
    auto* Until = TAlgBlock::Create<TUntilAlgBlock>(For->GetBody());
    Until->GetText().Add("Z>3");
  }
  while (Alg.GetBlockCount() < AlgMaxBlockCount)
    Statement(Body, "Z=0");
}

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
