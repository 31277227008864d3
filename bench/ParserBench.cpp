#include "Corekit/Parser.h"

#include <benchmark/benchmark.h>

#include <string_view>

using namespace Deskbay;

namespace {

// One evaluation as the variable storage makes it: the text is set anew and
// every variable comes from the owner's handler.
void BM_ParseWithVariables(benchmark::State& State) {
  TMathParser Parser;
  Parser.SetOnGetVar([](TObject*, std::string_view Name, long double& Value, bool& Found) {
    if (Name.size() == 1 && Name[0] >= 'A' && Name[0] <= 'C') {
      Value = Name[0] - 'A' + 2;
      Found = true;
    }
  });
  for (auto _ : State) {
    Parser.SetParseString("A*B+SQRT(C)-1");
    Parser.Parse();
    benchmark::DoNotOptimize(Parser.GetResultValue());
  }
  if (Parser.GetHasError())
    State.SkipWithError("the expression did not evaluate");
}
BENCHMARK(BM_ParseWithVariables);

// The same expression compiled once, as the machine keeps a line: each pass
// evaluates the program on the variables' slots.
void BM_CompiledEvaluate(benchmark::State& State) {
  TCompiledExpression Expr;
  Expr.Compile("A*B+SQRT(C)-1", [](std::string_view Name) { return Name[0] - 'A'; });
  const double A = 2, B = 3, C = 4;
  const double* Values[] = {&A, &B, &C};
  TEvalResult R{};
  for (auto _ : State) {
    benchmark::DoNotOptimize(Values);
    R = Expr.Evaluate(Values);
    benchmark::DoNotOptimize(R);
  }
  if (R.Status != TEvalStatus::Ok || R.Value != 7)
    State.SkipWithError("the expression did not evaluate to 7");
}
BENCHMARK(BM_CompiledEvaluate);

} // namespace
