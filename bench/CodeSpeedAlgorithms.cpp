// Writes the algorithms of the program-text speed rows that examples/ does
// not hold: nested counting loops summing a MOD, and a loop with a
// fractional step summing square roots.
//
//   code_speed_algorithms DIR

#include "tools/Algtool_Files.h"

#include <iostream>
#include <string>

using namespace Deskbay;

namespace {

TAlgBlock* Body(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

// 1,000 × 1,000 passes, each a MOD and a sum.
void NestedMod(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* Outer = TForAlgBlock::Class.CreateWithLines(R, {"I=1,1000,1"});
  TAlgBlock* Inner = TForAlgBlock::Class.CreateWithLines(Body(Outer), {"J=1,1000,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(Inner), {"S=S+(I*J) MOD 7"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

// A million passes with the step 0.001, each a square root and a sum.
void FractionalSqrt(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"X=0,1000,0.001"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+SQRT(X)"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: code_speed_algorithms DIR\n";
    return 2;
  }
  const std::string Dir = argv[1];
  TAlgorithm Nested, Fractional;
  NestedMod(Nested);
  FractionalSqrt(Fractional);
  Algtool::SaveAlgorithmFile(Nested, Dir + "/nested_mod.alg");
  Algtool::SaveAlgorithmFile(Fractional, Dir + "/fractional_sqrt.alg");
  return 0;
}
