// The marks while typing against the run: for many lines in every kind of
// block, a line the check marks is the line "algtool run" fails on, with the
// same message, and a line it leaves alone runs.

#include "AlgtoolProcess.h"

#include "Flowmodel/Flowmodel_LineCheck.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "tools/Algtool_Files.h"
#include "tools/Algtool_Output.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string Tool = ALGTOOL_PATH;

struct TLineCase {
  TAlgBlockKind Kind;
  std::vector<std::string> Lines;
};

// Every variable a line may read has a value first, so what fails is the
// line itself.
TAlgBlock* AddBlockAfterValues(TAlgorithm& Alg, TAlgBlockKind Kind) {
  TAlgBlock* Values = TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody());
  for (char V = 'A'; V <= 'Z'; ++V)
    Values->GetText().Add(std::string(1, V) + "=1");
  return AlgBlockKindInfo(Kind).Class->Create(Alg.GetRoot()->GetBody());
}

} // namespace

TEST(AlgtoolLineCheck, MarkedLinesAreTheLinesTheRunFailsOnWithTheSameMessage) {
  using K = TAlgBlockKind;
  const TLineCase Cases[] = {
      {K::Computation, {"S=S+"}},
      {K::Computation, {"X="}},
      {K::Computation, {"X=A+*2"}},
      {K::Computation, {"X=(A+1"}},
      {K::Computation, {"X=A+1)"}},
      {K::Computation, {"X=AB+1"}},
      {K::Computation, {"X=1/0"}},
      {K::Computation, {"X=A+LN(0)"}},
      {K::Computation, {"X=SQRT(-1)"}},
      {K::Computation, {"X=SIN A"}},
      {K::Computation, {"X=1..2"}},
      {K::Computation, {"X=!"}},
      {K::Computation, {"X=2^0.5", "Y = A MOD 3", "Z=SIN(A)+ABS(-B)"}},
      {K::Computation, {"A=1", "B=A+", "", "C=*"}},
      {K::Computation, {"ЖЖ=1"}},
      {K::Computation, {"S+"}},
      {K::Computation, {"это не оператор"}},
      {K::Computation, {"К=0"}},
      {K::Computation, {"", "   "}},
      {K::Computation, {"тчк (1,1),2"}},
      {K::Computation, {"тчк (1,1)"}},
      {K::Computation, {"тчк (1,1),"}},
      {K::Computation, {"тчк (1,A+),2"}},
      {K::Computation, {"тчк(1/0,1),2"}},
      {K::Computation, {"тчк 1,1,2"}},
      {K::Computation, {"отр (1,1)-(2,2),3"}},
      {K::Computation, {"отр (1,1)-(2,2)"}},
      {K::Computation, {"крг (5,5),3,1,2"}},
      {K::Computation, {"крг (5,5),3,1"}},
      {K::Computation, {"мну (1,1)-(2,2)-(3,1),1,2"}},
      {K::Computation, {"мну (1,1),1,2"}},
      {K::Computation, {"мну (1,1)-(2,2)-(3,*),1,2"}},
      {K::Computation, {"дуг (1,1)-(2,2)-(3,1),4"}},
      {K::Computation, {"дуг (1,1)-(2,2),4"}},
      {K::Computation, {"зкр (1,1),3"}},
      {K::Computation, {"зкр (1,1),("}},
      {K::InputOutput, {"Ввод A"}},
      {K::InputOutput, {"Ввод A, B"}},
      {K::InputOutput, {"Ввод A,1"}},
      {K::InputOutput, {"Ввод AB"}},
      {K::InputOutput, {"Ввод"}},
      {K::InputOutput, {"Вывод"}},
      {K::InputOutput, {"Вывод A"}},
      {K::InputOutput, {"Вывод A,,B"}},
      {K::InputOutput, {"Вывод A+"}},
      {K::InputOutput, {"Вывод 1/0"}},
      {K::InputOutput, {"Вывод X)"}},
      {K::InputOutput, {"Печать A"}},
      {K::InputOutput, {"вывод A, B+1", "Вывод C*"}},
      {K::Branch, {"A<B"}},
      {K::Branch, {"A<"}},
      {K::Branch, {"A<>B+"}},
      {K::Branch, {"A"}},
      {K::Branch, {""}},
      {K::Branch, {}},
      {K::Branch, {"A<B<C"}},
      {K::Branch, {"A=B", "это не условие"}},
      {K::Branch, {"A>=1/0"}},
      {K::Branch, {"(A<B"}},
      {K::Branch, {"AB<1"}},
      {K::WhileLoop, {"A>5"}},
      {K::WhileLoop, {"A>"}},
      {K::WhileLoop, {}},
      {K::UntilLoop, {"A>5"}},
      {K::UntilLoop, {"A<5"}},
      {K::UntilLoop, {"A<*5"}},
      {K::UntilLoop, {}},
      {K::ForLoop, {"I=1,3,1"}},
      {K::ForLoop, {"I = 1, 3"}},
      {K::ForLoop, {"I=1,,1"}},
      {K::ForLoop, {"I=1,3,1+"}},
      {K::ForLoop, {"I="}},
      {K::ForLoop, {""}},
      {K::ForLoop, {}},
      {K::ForLoop, {"I=1,2,3,4"}},
      {K::ForLoop, {"1=1,2,3"}},
      {K::ForLoop, {"I=A+,2,1"}},
      {K::ForLoop, {"I=1,B*,1"}},
      {K::ForLoop, {"I=1,2,1/0"}},
      {K::ForLoop, {"IJ=1,2,1"}},
  };
  TTempDir Dir;
  int Index = 0;
  for (const TLineCase& C : Cases) {
    TAlgorithm Alg;
    TAlgBlock* B = AddBlockAfterValues(Alg, C.Kind);
    B->GetText().SetLines(C.Lines);
    const std::vector<TLineProblem> Problems = AlgBlockLineProblems(*B);
    const std::string File = Dir.Path("case" + std::to_string(Index++) + ".alg");
    Algtool::SaveAlgorithmFile(Alg, File);
    // Answers for every question; a loop that never ends is cut short.
    const TProcessResult R = RunProcess(Tool, {"run", File, "--max-steps", "1000"}, "1\n1\n1\n");
    const std::string Where = C.Lines.empty() ? "(без строк)" : C.Lines[0];
    if (Problems.empty()) {
      EXPECT_NE(R.ExitStatus, 1) << Where << ": " << R.Err;
      continue;
    }
    EXPECT_EQ(R.ExitStatus, 1) << Where;
    // The run fails on the first problem, with the message the mark gives.
    const std::string Expected = Algtool::ErrorLines(Problems[0].Message) + "\n";
    EXPECT_NE(R.Err.find("\":\n" + Expected), std::string::npos)
        << Where << "\nmark: " << Expected << "run:  " << R.Err;
  }
}
