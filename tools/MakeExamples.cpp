// Writes the example algorithms of examples/ from their definitions here, so
// that the files can be rebuilt whenever an example changes, and so that a
// test can check that the committed files are exactly what the current
// model saves.
//
//   make_examples DIR

#include "Algtool_Files.h"

#include "Corekit/SysUtils.h"

#include <iostream>
#include <string>
#include <vector>

using namespace Deskbay;

namespace {

TAlgBlock* Add(TAlgBlock* Parent, const TAlgBlockClass& Class, std::vector<std::string> Lines) {
  TAlgBlock* B = Class.Create(Parent);
  B->GetText().SetLines(Lines);
  return B;
}

TAlgBlock* Body(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

// The sum of the series 1/1² + 1/2² + … + 1/N², which tends to π²/6.
void SumOfSeries(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TIOAlgBlock::Class, {"Ввод N"});
  Add(R, TBasicAlgBlock::Class, {"S=0"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=1,N,1"});
  Add(Body(For), TBasicAlgBlock::Class, {"S=S+1/(I*I)"});
  Add(R, TIOAlgBlock::Class, {"Вывод S"});
}

// The greatest of N numbers typed one after another.
void MaximumOfInputs(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TIOAlgBlock::Class, {"Ввод N", "Ввод A"});
  Add(R, TBasicAlgBlock::Class, {"M=A"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=2,N,1"});
  Add(Body(For), TIOAlgBlock::Class, {"Ввод A"});
  auto* If = static_cast<TIfAlgBlock*>(Add(Body(For), TIfAlgBlock::Class, {"A>M"}));
  Add(If->GetYesBranch(), TBasicAlgBlock::Class, {"M=A"});
  Add(R, TIOAlgBlock::Class, {"Вывод M"});
}

// A table of squares and cubes by a counting loop.
void TableOfSquares(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=1,10,1"});
  Add(Body(For), TBasicAlgBlock::Class, {"K=I*I", "C=K*I"});
  Add(Body(For), TIOAlgBlock::Class, {"Вывод I, K, C"});
}

// Euclid's algorithm by subtraction, with a loop that tests first and a
// branch inside it.
void GreatestCommonDivisor(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TIOAlgBlock::Class, {"Ввод A, B"});
  TAlgBlock* While = Add(R, TWhileAlgBlock::Class, {"A<>B"});
  auto* If = static_cast<TIfAlgBlock*>(Add(Body(While), TIfAlgBlock::Class, {"A>B"}));
  Add(If->GetYesBranch(), TBasicAlgBlock::Class, {"A=A-B"});
  Add(If->GetNoBranch(), TBasicAlgBlock::Class, {"B=B-A"});
  Add(R, TIOAlgBlock::Class, {"Вывод A"});
}

// The powers of two up to N, with a loop that tests after its body.
void PowersOfTwo(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TIOAlgBlock::Class, {"Ввод N"});
  Add(R, TBasicAlgBlock::Class, {"P=1"});
  TAlgBlock* Until = Add(R, TUntilAlgBlock::Class, {"P<=N"});
  Add(Body(Until), TIOAlgBlock::Class, {"Вывод P"});
  Add(Body(Until), TBasicAlgBlock::Class, {"P=P*2"});
}

// A house in a garden, drawn on the canvas.
void Drawing(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TBasicAlgBlock::Class,
      {"мну(4,2)-(16,2)-(16,10)-(4,10),0,12", "мну(3,10)-(17,10)-(10,16),0,6",
       "мну(8,2)-(12,2)-(12,7)-(8,7),0,1", "крг(17,17),2,12,14"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=0,20,2"});
  Add(Body(For), TBasicAlgBlock::Class, {"отр(I,0)-(I+1,1),2"});
}

// A loop that never ends: the condition stays true. Stop it with
// --max-steps (or Ctrl+C).
void EndlessLoop(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TBasicAlgBlock::Class, {"I=0"});
  TAlgBlock* While = Add(R, TWhileAlgBlock::Class, {"I>=0"});
  Add(Body(While), TBasicAlgBlock::Class, {"I=I+1"});
}

// The sum of the first million numbers: a counting loop of a million passes,
// which shows how fast the machine runs.
void MillionSum(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TBasicAlgBlock::Class, {"S=0"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=1,1000000,1"});
  Add(Body(For), TBasicAlgBlock::Class, {"S=S+I"});
  Add(R, TIOAlgBlock::Class, {"Вывод S"});
}

// How many primes lie below 20000, by trial division: nested loops, MOD in
// a condition and two branches; the other speed measure of the machine.
void PrimeCount(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TBasicAlgBlock::Class, {"C=0"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"N=2,19999,1"});
  Add(Body(For), TBasicAlgBlock::Class, {"P=1", "D=2"});
  TAlgBlock* While = Add(Body(For), TWhileAlgBlock::Class, {"D*D<=N"});
  auto* Divides = static_cast<TIfAlgBlock*>(Add(Body(While), TIfAlgBlock::Class, {"N MOD D=0"}));
  Add(Divides->GetYesBranch(), TBasicAlgBlock::Class, {"P=0", "D=N"});
  Add(Body(While), TBasicAlgBlock::Class, {"D=D+1"});
  auto* Prime = static_cast<TIfAlgBlock*>(Add(Body(For), TIfAlgBlock::Class, {"P=1"}));
  Add(Prime->GetYesBranch(), TBasicAlgBlock::Class, {"C=C+1"});
  Add(R, TIOAlgBlock::Class, {"Вывод C"});
}

// N numbers read one after another: their sum and their mean. With N = 0
// there is no mean, and the division fails. examples/average.tests holds a
// teacher's cases for this task.
void Average(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TIOAlgBlock::Class, {"Ввод N"});
  Add(R, TBasicAlgBlock::Class, {"S=0"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=1,N,1"});
  Add(Body(For), TIOAlgBlock::Class, {"Ввод A"});
  Add(Body(For), TBasicAlgBlock::Class, {"S=S+A"});
  Add(R, TIOAlgBlock::Class, {"Вывод S, S/N"});
}

// The same task with a pupil's slip: the mean divides by I, which the loop
// has left one beyond N. The sum is right, the mean is not, and N = 0 no
// longer fails.
void AverageMistake(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  Add(R, TIOAlgBlock::Class, {"Ввод N"});
  Add(R, TBasicAlgBlock::Class, {"S=0"});
  TAlgBlock* For = Add(R, TForAlgBlock::Class, {"I=1,N,1"});
  Add(Body(For), TIOAlgBlock::Class, {"Ввод A"});
  Add(Body(For), TBasicAlgBlock::Class, {"S=S+A"});
  Add(R, TIOAlgBlock::Class, {"Вывод S, S/I"});
}

struct TExample {
  const char* Name;
  void (*Build)(TAlgorithm&);
};

const TExample Examples[] = {
    {"sum_of_series", SumOfSeries},
    {"maximum_of_inputs", MaximumOfInputs},
    {"table_of_squares", TableOfSquares},
    {"gcd", GreatestCommonDivisor},
    {"powers_of_two", PowersOfTwo},
    {"drawing", Drawing},
    {"endless_loop", EndlessLoop},
    {"million_sum", MillionSum},
    {"average", Average},
    {"average_mistake", AverageMistake},
    {"prime_count", PrimeCount},
};

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Использование: make_examples КАТАЛОГ\n";
    return 2;
  }
  try {
    for (const TExample& E : Examples) {
      TAlgorithm Alg;
      E.Build(Alg);
      Algtool::SaveAlgorithmFile(Alg, std::string(argv[1]) + "/" + E.Name + ".alg");
    }
  } catch (const Exception& E) {
    std::cerr << Algtool::MessageLines(E.Message()) << '\n';
    return 1;
  }
  return 0;
}
