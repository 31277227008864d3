#pragma once

// The primes below Limit by trial division, counted in C: nested loops,
// MOD and branches. The machine's benchmark and the side-by-side scripts
// (through make_bench_algs) run the same chart.

#include "Flowmodel/Flowmodel_Main.h"

#include <string>

namespace Deskbay::Bench {

inline void BuildPrimeCount(TAlgorithm& Alg, int Limit, bool PrintCount) {
  auto Body = [](TAlgBlock* Loop) { return static_cast<TContainerAlgBlock*>(Loop)->GetBody(); };
  TAlgBlock* R = Alg.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"C=0"});
  TAlgBlock* For =
      TForAlgBlock::Class.CreateWithLines(R, {"N=2," + std::to_string(Limit - 1) + ",1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"P=1", "D=2"});
  TAlgBlock* While = TWhileAlgBlock::Class.CreateWithLines(Body(For), {"D*D<=N"});
  auto* Divides =
      static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Body(While), {"N MOD D=0"}));
  TBasicAlgBlock::Class.CreateWithLines(Divides->GetYesBranch(), {"P=0", "D=N"});
  TBasicAlgBlock::Class.CreateWithLines(Body(While), {"D=D+1"});
  auto* Prime = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Body(For), {"P=1"}));
  TBasicAlgBlock::Class.CreateWithLines(Prime->GetYesBranch(), {"C=C+1"});
  if (PrintCount)
    TIOAlgBlock::Class.CreateWithLines(R, {"Вывод C"});
}

} // namespace Deskbay::Bench
