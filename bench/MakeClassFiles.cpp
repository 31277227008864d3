// Writes a class of pupils' files for bench/algtool_class.sh: N solutions of
// the example task (the mean of N numbers), every pupil's own in its names
// and the shape of its chart (extra bookkeeping blocks, the count kept in a
// loop or not), one in two with the slip of the wrong example solution, and
// every twenty-fifth a renamed copy of an earlier pupil's.
//
//   make_class_files DIR N

#include "Algtool_Files.h"
#include "Algtool_Output.h"

#include "Corekit/SysUtils.h"

#include <iostream>
#include <string>

using namespace Deskbay;

namespace {

TAlgBlock* Body(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

// Variables: the count, the sum, the loop's counter, the number read, the
// bookkeeping one; five distinct letters chosen by Seed.
void Pupil(TAlgorithm& A, int Seed, bool Slip) {
  static const char Letters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";
  char V[5];
  for (int K = 0; K < 5; ++K)
    V[K] = Letters[(Seed * 7 + K * 5) % 24];
  const std::string N(1, V[0]), S(1, V[1]), I(1, V[2]), X(1, V[3]), T(1, V[4]);
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод " + N});
  TBasicAlgBlock::Class.CreateWithLines(R, {S + "=0"});
  const int Extra = Seed % 7;
  for (int K = 0; K < Extra; ++K)
    TBasicAlgBlock::Class.CreateWithLines(R, {T + Format("=%d", K * Seed % 11)});
  TAlgBlock* Loop = TForAlgBlock::Class.CreateWithLines(R, {I + "=1," + N + ",1"});
  TIOAlgBlock::Class.CreateWithLines(Body(Loop), {"Ввод " + X});
  TBasicAlgBlock::Class.CreateWithLines(Body(Loop), {S + "=" + S + "+" + X});
  if (Seed % 3 == 0)
    TBasicAlgBlock::Class.CreateWithLines(Body(Loop), {T + "=" + T + "+1"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод " + S + ", " + S + "/" + (Slip ? I : N)});
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Использование: make_class_files ПАПКА N\n";
    return 2;
  }
  const std::string Dir = argv[1];
  const int Count = std::stoi(argv[2]);
  try {
    for (int P = 1; P <= Count; ++P) {
      TAlgorithm A;
      // A copy takes an earlier pupil's chart, in its own names.
      const int Seed = P % 25 == 0 ? P - 13 : P;
      Pupil(A, Seed, Seed % 2 == 1);
      Algtool::SaveAlgorithmFile(A, Dir + Format("/pupil%04d.alg", P));
    }
  } catch (const Exception& E) {
    std::cerr << Algtool::ErrorLines(E.Message()) << '\n';
    return 1;
  }
  return 0;
}
