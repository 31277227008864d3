// Importing a program of 100 blocks (the most an algorithm holds) from each
// kind of text: Python and Pascal in both styles a chart is written in, and
// the text form. Goal: under 50 ms each.

#include "Flowcode/Flowcode_Program.h"
#include "Flowimport/Flowimport_Program.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace Deskbay;

namespace {

// Root and 99 blocks: a counting loop whose body takes turns of an
// assignment, an output and a branch with one assignment in it.
void MakeHundredBlocks(TAlgorithm& Alg) {
  TAlgBlock* Body = Alg.GetRoot()->GetBody();
  TAlgBlock::Create<TBasicAlgBlock>(Body)->GetText().SetLines({"S=0", "N=10"});
  auto* For = TAlgBlock::Create<TForAlgBlock>(Body);
  For->GetText().SetLines({"I=1,N,1"});
  TAlgBlock* Loop = AlgBodyOf(For);
  while (Alg.GetBlockCount() + 4 <= AlgMaxBlockCount) {
    TAlgBlock::Create<TBasicAlgBlock>(Loop)->GetText().SetLines({"S=S+SQRT(I)*2 MOD 7"});
    TAlgBlock::Create<TIOAlgBlock>(Loop)->GetText().SetLines({"Вывод S, I^2"});
    auto* If = TAlgBlock::Create<TIfAlgBlock>(Loop);
    If->GetText().SetLines({"S>I*3"});
    TAlgBlock::Create<TBasicAlgBlock>(If->GetYesBranch())->GetText().SetLines({"S=S-I"});
  }
  while (Alg.GetBlockCount() < AlgMaxBlockCount)
    TAlgBlock::Create<TIOAlgBlock>(Loop)->GetText().SetLines({"Вывод S"});
}

void Import(benchmark::State& State, const std::string& Text, TImportForm Form) {
  for (auto _ : State) {
    TAlgorithm Alg;
    ImportProgram(Alg, Text, Form, "bench");
    if (Alg.GetBlockCount() != AlgMaxBlockCount) {
      State.SkipWithError("the import did not give back all the blocks");
      return;
    }
  }
}

std::string Program(TCodeLanguage Language, TCodeStyleKind Style) {
  TAlgorithm Alg;
  MakeHundredBlocks(Alg);
  return GenerateProgram(Alg, Language, Style).GetText();
}

void BM_ImportPythonExact(benchmark::State& State) {
  Import(State, Program(TCodeLanguage::Python, TCodeStyleKind::Exact), TImportForm::Python);
}
void BM_ImportPythonLesson(benchmark::State& State) {
  Import(State, Program(TCodeLanguage::Python, TCodeStyleKind::Lesson), TImportForm::Python);
}
void BM_ImportPascalExact(benchmark::State& State) {
  Import(State, Program(TCodeLanguage::Pascal, TCodeStyleKind::Exact), TImportForm::Pascal);
}
void BM_ImportPascalLesson(benchmark::State& State) {
  Import(State, Program(TCodeLanguage::Pascal, TCodeStyleKind::Lesson), TImportForm::Pascal);
}
void BM_ImportChartText(benchmark::State& State) {
  TAlgorithm Alg;
  MakeHundredBlocks(Alg);
  std::string Text;
  for (const std::string& L : BlockTreeLines(Alg.GetRoot()))
    Text += L + "\n";
  Import(State, Text, TImportForm::Text);
}

} // namespace

BENCHMARK(BM_ImportPythonExact)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportPythonLesson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportPascalExact)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportPascalLesson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportChartText)->Unit(benchmark::kMillisecond);
