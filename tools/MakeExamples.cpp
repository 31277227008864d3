// Writes the example algorithms of examples/ from their definitions here, so
// that the files can be rebuilt whenever an example changes, and so that a
// test can check that the committed files are exactly what the current
// model saves.
//
//   make_examples DIR

#include "Algtool_Files.h"
#include "Algtool_Output.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"

#include <iostream>
#include <string>
#include <vector>

using namespace Deskbay;

namespace {

TAlgBlock* Body(TAlgBlock* Loop) {
  return static_cast<TContainerAlgBlock*>(Loop)->GetBody();
}

// The sum of the series 1/1² + 1/2² + … + 1/N², which tends to π²/6.
void SumOfSeries(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод N"});
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,N,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+1/(I*I)"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

// The greatest of N numbers typed one after another.
void MaximumOfInputs(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод N", "Ввод A"});
  TBasicAlgBlock::Class.CreateWithLines(R, {"M=A"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=2,N,1"});
  TIOAlgBlock::Class.CreateWithLines(Body(For), {"Ввод A"});
  auto* If = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Body(For), {"A>M"}));
  TBasicAlgBlock::Class.CreateWithLines(If->GetYesBranch(), {"M=A"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод M"});
}

// A table of squares and cubes by a counting loop.
void TableOfSquares(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,10,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"K=I*I", "C=K*I"});
  TIOAlgBlock::Class.CreateWithLines(Body(For), {"Вывод I, K, C"});
}

// Euclid's algorithm by subtraction, with a loop that tests first and a
// branch inside it.
void GreatestCommonDivisor(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод A, B"});
  TAlgBlock* While = TWhileAlgBlock::Class.CreateWithLines(R, {"A<>B"});
  auto* If = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Body(While), {"A>B"}));
  TBasicAlgBlock::Class.CreateWithLines(If->GetYesBranch(), {"A=A-B"});
  TBasicAlgBlock::Class.CreateWithLines(If->GetNoBranch(), {"B=B-A"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод A"});
}

// The powers of two up to N, with a loop that tests after its body.
void PowersOfTwo(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод N"});
  TBasicAlgBlock::Class.CreateWithLines(R, {"P=1"});
  TAlgBlock* Until = TUntilAlgBlock::Class.CreateWithLines(R, {"P<=N"});
  TIOAlgBlock::Class.CreateWithLines(Body(Until), {"Вывод P"});
  TBasicAlgBlock::Class.CreateWithLines(Body(Until), {"P=P*2"});
}

// A house in a garden, drawn on the canvas.
void Drawing(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(
      R, {"мну(4,2)-(16,2)-(16,10)-(4,10),0,12", "мну(3,10)-(17,10)-(10,16),0,6",
          "мну(8,2)-(12,2)-(12,7)-(8,7),0,1", "крг(17,17),2,12,14"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=0,20,2"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"отр(I,0)-(I+1,1),2"});
}

// A loop that never ends: the condition stays true. Stop it with
// --max-steps (or Ctrl+C).
void EndlessLoop(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"I=0"});
  TAlgBlock* While = TWhileAlgBlock::Class.CreateWithLines(R, {"I>=0"});
  TBasicAlgBlock::Class.CreateWithLines(Body(While), {"I=I+1"});
}

// The sum of the first million numbers: a counting loop of a million passes,
// which shows how fast the machine runs.
void MillionSum(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,1000000,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+I"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S"});
}

// How many primes lie below 20000, by trial division: nested loops, MOD in
// a condition and two branches; the other speed measure of the machine.
void PrimeCount(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"C=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"N=2,19999,1"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"P=1", "D=2"});
  TAlgBlock* While = TWhileAlgBlock::Class.CreateWithLines(Body(For), {"D*D<=N"});
  auto* Divides =
      static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Body(While), {"N MOD D=0"}));
  TBasicAlgBlock::Class.CreateWithLines(Divides->GetYesBranch(), {"P=0", "D=N"});
  TBasicAlgBlock::Class.CreateWithLines(Body(While), {"D=D+1"});
  auto* Prime = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(Body(For), {"P=1"}));
  TBasicAlgBlock::Class.CreateWithLines(Prime->GetYesBranch(), {"C=C+1"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод C"});
}

// N numbers read one after another: their sum and their mean. With N = 0
// there is no mean, and the division fails. examples/average.tests holds a
// teacher's cases for this task.
void Average(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод N"});
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,N,1"});
  TIOAlgBlock::Class.CreateWithLines(Body(For), {"Ввод A"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+A"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S, S/N"});
}

// The same task with a pupil's slip: the mean divides by I, which the loop
// has left one beyond N. The sum is right, the mean is not, and N = 0 no
// longer fails.
void AverageMistake(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TIOAlgBlock::Class.CreateWithLines(R, {"Ввод N"});
  TBasicAlgBlock::Class.CreateWithLines(R, {"S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,N,1"});
  TIOAlgBlock::Class.CreateWithLines(Body(For), {"Ввод A"});
  TBasicAlgBlock::Class.CreateWithLines(Body(For), {"S=S+A"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S, S/I"});
}

// Each example with the title and the one line of what it teaches that the
// examples' gallery shows (index.txt, in this order).
struct TExample {
  const char* Name;
  void (*Build)(TAlgorithm&);
  const char* Title;
  const char* Lesson;
};

const TExample Examples[] = {
    {"table_of_squares", TableOfSquares, "Таблица квадратов и кубов",
     "Цикл со счётчиком: на каждом шаге одна строка таблицы."},
    {"sum_of_series", SumOfSeries, "Сумма ряда",
     "Накопление суммы в цикле со счётчиком: 1/1² + 1/2² + … + 1/N²."},
    {"maximum_of_inputs", MaximumOfInputs, "Наибольшее из введённых чисел",
     "Ввод в цикле и ветвление: запомнить наибольшее из N чисел."},
    {"gcd", GreatestCommonDivisor, "Наибольший общий делитель",
     "Алгоритм Евклида: цикл с предусловием и ветвление внутри него."},
    {"powers_of_two", PowersOfTwo, "Степени двойки",
     "Цикл с постусловием: тело выполняется раньше проверки условия."},
    {"average", Average, "Среднее арифметическое",
     "Сумма и среднее N чисел; при N = 0 деление на ноль. Есть тесты учителя."},
    {"average_mistake", AverageMistake, "Среднее с ошибкой",
     "То же задание с ошибкой ученика: тесты учителя её находят."},
    {"prime_count", PrimeCount, "Сколько простых чисел",
     "Вложенные циклы, MOD в условии и два ветвления."},
    {"drawing", Drawing, "Дом в саду",
     "Команды рисования: многоугольники, окружность и отрезки в цикле."},
    {"endless_loop", EndlessLoop, "Бесконечный цикл",
     "Условие всегда истинно: как остановить выполнение."},
    {"million_sum", MillionSum, "Сумма миллиона чисел",
     "Миллион шагов цикла: как быстро работает машина."},
};

// The gallery's index: "file | title | lesson", one example a line.
std::string IndexText() {
  std::string Text = "# Примеры алгоритмов: файл | название | чему учит пример.\n";
  for (const TExample& E : Examples)
    Text += std::string(E.Name) + ".alg | " + E.Title + " | " + E.Lesson + "\n";
  return Text;
}

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
    const std::string Index = IndexText();
    SaveFileAtomically(std::string(argv[1]) + "/index.txt",
                       [&](TStream& S) { S.WriteBuffer(Index.data(), Index.size()); });
  } catch (const Exception& E) {
    std::cerr << Algtool::ErrorLines(E.Message()) << '\n';
    return 1;
  }
  return 0;
}
