// Writes the algorithms the side-by-side scripts run (bench/versus_python.sh,
// bench/run_memory.sh) into a directory, so that their loops stay defined
// in one place beside the Python the scripts pit them against.
//
//   make_bench_algs DIR

#include "Algtool_Files.h"
#include "Algtool_Output.h"
#include "PrimeCount.h"

#include <iostream>
#include <string>

using namespace Deskbay;

namespace {

TAlgBlock* Body(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

// S = 1 + 2 + ... + 5,000,000.
void Sum(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,5000000,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+I"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

// The primes below 50,000 by trial division.
void Primes(TAlgorithm& A) {
  Bench::BuildPrimeCount(A, 50000, true);
}

// 1500 x 1500 passes of a sum of remainders.
void NestedMod(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* Outer = TForAlgBlock::Class.CreateWithLines(R, {"I=1,1500,1"});
  TAlgBlock* Inner = TForAlgBlock::Class.CreateWithLines(Body(Outer), {"J=1,1500,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(Inner), {"S=S+(I*J) MOD 7"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

// A fractional step: the sum of square roots of 0, 0.25, ... up to 500,000.
void Roots(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0", "X=0"});
  TAlgBlock* While = TWhileAlgBlock::Class.CreateWithLines(R, {"X<500000"});
  TBasicAlgBlock::Class.CreateWithLines(Body(While), {"S=S+SQRT(X)", "X=X+0.25"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

// One segment or one point a pass, and the bare sum beside them, with
// the same number of passes: their steps per second compare directly.
void Segments(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,3000000,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"отр(I MOD 20,0)-(I MOD 13,19),1"});
}

void Points(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,3000000,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"тчк(I MOD 20,I MOD 13),1"});
}

void PlainSum(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,3000000,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+I"});
}

// 100,000,000 steps without output: two a pass.
void Long(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,49999999,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+I MOD 3"});
}

struct TBenchAlg {
  const char* Name;
  void (*Build)(TAlgorithm&);
};

const TBenchAlg Algs[] = {
    {"sum", Sum},           {"primes", Primes}, {"nested_mod", NestedMod}, {"roots", Roots},
    {"segments", Segments}, {"points", Points}, {"plain_sum", PlainSum},   {"long", Long},
};

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_bench_algs DIR\n";
    return 2;
  }
  try {
    for (const TBenchAlg& B : Algs) {
      TAlgorithm Alg;
      B.Build(Alg);
      Algtool::SaveAlgorithmFile(Alg, std::string(argv[1]) + "/" + B.Name + ".alg");
    }
  } catch (const Exception& E) {
    std::cerr << Algtool::ErrorLines(E.Message()) << '\n';
    return 1;
  }
  return 0;
}
