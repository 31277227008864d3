#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Debugger.h"
#include "MachineTestUtils.h"
#include "RandomAlgorithm.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using std::chrono::seconds;

// N = input; for I = 1..N: S = S + I, a line printed and a segment drawn.
struct TLoopAlg {
  TLoopAlg() {
    TAlgBlock* Body = Alg.GetRoot()->GetBody();
    Add(Body, TIOAlgBlock::Class, {"Ввод N"});
    Add(Body, TBasicAlgBlock::Class, {"S=0"});
    Loop = AddLoop(Body, TForAlgBlock::Class, "I=1,N,1");
    Sum = Add(Loop->GetBody(), TBasicAlgBlock::Class, {"S=S+I"});
    Add(Loop->GetBody(), TIOAlgBlock::Class, {"Вывод I,S"});
    Add(Loop->GetBody(), TBasicAlgBlock::Class, {"отр(I,0)-(0,I),I MOD 16"});
  }
  TAlgorithm Alg;
  TContainerAlgBlock* Loop;
  TAlgBlock* Sum;
};

// Everything a window shows of a paused run.
struct TState {
  const TAlgBlock* Next;
  int64_t Step;
  std::vector<std::pair<std::string, double>> Vars;
  std::vector<std::string> Console;
  std::vector<TColor> Pixels;
  bool operator==(const TState&) const = default;
};

TState StateOf(TAlgDebugSession& S) {
  TState R{S.GetNextBlock(), S.GetStepNumber(), {}, {}, {}};
  TVarStorage& V = S.GetMachine()->GetStorage();
  for (int I = 0; I < V.GetVarCount(); ++I)
    R.Vars.emplace_back(V.GetVarNames(I), V.GetVarValues(I));
  TStringList L;
  S.GetMachine()->GetConsole().GetLines(L);
  R.Console = L.Lines();
  const TBitmap& P = S.GetMachine()->GetCanvas().GetPicture();
  for (int Y = 0; Y < P.GetHeight(); ++Y)
    for (int X = 0; X < P.GetWidth(); ++X)
      R.Pixels.push_back(P.GetPixel(X, Y));
  return R;
}

} // namespace

TEST(Debugger, BreakpointStopsBeforeTheBlockAndContinuingGoesPast) {
  TLoopAlg A;
  TScriptedInput Input;
  Input.Answers = {"3"};
  TAlgDebugSession S(A.Alg);
  S.GetBreakpoints().Set(A.Sum);
  EXPECT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetNextBlock(), A.Sum);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("S"), 0);
  EXPECT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("S"), 1) << "went past it once";
  S.GetBreakpoints().Remove(A.Sum);
  EXPECT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Done);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("S"), 6);
  EXPECT_EQ(S.GetState(), TDebugState::Done);
  EXPECT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Done);
}

TEST(Debugger, ConditionalBreakpointAndOneThatCannotBeEvaluated) {
  TLoopAlg A;
  TScriptedInput Input;
  Input.Answers = {"10"};
  TAlgDebugSession S(A.Alg);
  S.GetBreakpoints().Set(A.Sum, "I=5");
  EXPECT_EQ(S.RunSlice(1000000, seconds(10)), TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("I"), 5);
  EXPECT_EQ(S.GetBreakReason(), "");
  EXPECT_EQ(S.RunSlice(1000000, seconds(10)), TSliceEnd::Done);

  // A variable without a value: the condition does not hold (yet), as
  // with a condition on the loop's variable before the loop's first pass.
  S.Start();
  Input.Answers = {"10"};
  S.GetBreakpoints().Set(A.Sum, "Q=1");
  S.GetBreakpoints().Set(A.Loop, "I=3");
  EXPECT_EQ(S.RunSlice(1000000, seconds(10)), TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetNextBlock(), A.Loop);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("I"), 3) << "after the pass with I=3";
  EXPECT_EQ(S.GetBreakReason(), "");
  S.GetBreakpoints().Remove(A.Loop);
  EXPECT_EQ(S.RunSlice(1000000, seconds(10)), TSliceEnd::Done);
  // One that cannot be computed for another reason stops with the reason.
  S.Start();
  Input.Answers = {"10"};
  S.GetBreakpoints().Set(A.Sum, "I/0=1");
  EXPECT_EQ(S.RunSlice(1000000, seconds(10)), TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetBreakReason(),
            "Условие точки останова \"I/0=1\" не вычисляется: Ошибка при вычислении \"I/0\".");
  // A slice bounded by steps hands control back and goes on.
  S.Start();
  Input.Answers = {"10"};
  S.GetBreakpoints().Clear();
  EXPECT_EQ(S.RunSlice(5, seconds(10)), TSliceEnd::Budget);
  EXPECT_EQ(S.GetStepNumber(), 5);
}

TEST(Debugger, SteppingBackAndForthReproducesEveryState) {
  TLoopAlg A;
  TScriptedInput Input;
  Input.Answers = {"4"};
  TAlgDebugSession S(A.Alg);
  S.Start();
  std::vector<TState> Recorded{StateOf(S)};
  while (S.StepOne())
    if (S.GetState() == TDebugState::Paused)
      Recorded.push_back(StateOf(S));
  ASSERT_EQ(S.GetState(), TDebugState::Done);
  EXPECT_EQ(S.GetRecordedInputCount(), 1);
  ASSERT_GT(Recorded.size(), 10u);
  // Back to the start, checking each state on the way.
  S.StepBack();
  for (size_t I = Recorded.size() - 1;; --I) {
    ASSERT_EQ(StateOf(S), Recorded[I]) << "back at step " << I;
    if (I == 0)
      break;
    ASSERT_TRUE(S.StepBack());
  }
  EXPECT_FALSE(S.CanStepBack());
  // Forward again without an answer left in the script: the recorded one is used.
  for (size_t I = 1; I < Recorded.size(); ++I) {
    ASSERT_TRUE(S.StepOne());
    ASSERT_EQ(StateOf(S), Recorded[I]) << "forward at step " << I;
  }
  EXPECT_EQ(Input.Captions.size(), 1u) << "asked once only";
}

TEST(Debugger, ChangedVariablesAndTheirOrigins) {
  TLoopAlg A;
  TScriptedInput Input;
  Input.Answers = {"3"};
  TAlgDebugSession S(A.Alg);
  S.GetBreakpoints().Set(A.Sum, "I=2");
  ASSERT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Breakpoint);
  ASSERT_TRUE(S.StepOne());
  EXPECT_EQ(S.GetChangedVars(), std::vector<std::string>{"S"});
  TVarOrigin O;
  ASSERT_TRUE(S.GetVarOrigin("s", O));
  EXPECT_EQ(O.Block, A.Sum);
  EXPECT_EQ(O.Step, S.GetStepNumber());
  ASSERT_TRUE(S.GetVarOrigin("N", O));
  EXPECT_EQ(O.Step, 2) << "the input block is the second step, after the root";
  EXPECT_FALSE(S.GetVarOrigin("Q", O));
  // After a slice the origins are worked out again.
  S.GetBreakpoints().Clear();
  ASSERT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Done);
  ASSERT_TRUE(S.GetVarOrigin("S", O));
  EXPECT_EQ(O.Block, A.Sum);
  EXPECT_EQ(S.GetState(), TDebugState::Done);
}

TEST(Debugger, ErrorsStopStepBackAndStop) {
  TAlgorithm Alg;
  Add(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"A=5", "B=0"});
  TAlgBlock* Div = Add(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"C=A/B"});
  TAlgDebugSession S(Alg);
  EXPECT_EQ(S.RunSlice(1000, seconds(10)), TSliceEnd::Failed);
  EXPECT_EQ(S.GetError(), "Ошибка при вычислении \"A/B\".\n");
  EXPECT_EQ(S.GetErrorBlock(), Div);
  EXPECT_EQ(S.GetErrorExplanation().Text(),
            "A = 5, B = 0\nДеление на ноль: делитель \"B\" равен 0.");
  ASSERT_TRUE(S.StepBack());
  EXPECT_EQ(S.GetState(), TDebugState::Paused);
  EXPECT_EQ(S.GetNextBlock(), Div);
  EXPECT_FALSE(S.StepOne());
  EXPECT_EQ(S.GetState(), TDebugState::Failed);

  S.Start();
  S.StepOne();
  S.Stop();
  EXPECT_EQ(S.GetError(), "Выполнение прервано пользователем.");
  TVarOrigin O;
  EXPECT_FALSE(S.GetVarOrigin("A", O));
  S.Reset();
  EXPECT_EQ(S.GetState(), TDebugState::Idle);
  EXPECT_EQ(S.GetMachine(), nullptr);
}

TEST(Debugger, ObserversEndADrivenRunWhereTheyShould) {
  TLoopAlg A;
  TScriptedInput Input;
  TAlgBreakpoints Points;
  Points.Set(A.Sum, "I=3");
  TBreakpointObserver Breaks(Points);
  {
    Input.Answers = {"5"};
    TAlgMachine M;
    const TRunOutcome O = DriveMachine(M, A.Alg, -1, &Breaks);
    EXPECT_EQ(O.End, TRunEnd::Stopped);
    EXPECT_EQ(M.GetCurrentBlock(), A.Sum);
    EXPECT_EQ(M.GetStorage().GetVars("I"), 3);
    EXPECT_EQ(M.GetStorage().GetVars("S"), 3);
  }
  {
    // The step limit is asked first, and counts completed steps.
    Input.Answers = {"5"};
    TAlgMachine M;
    const TRunOutcome O = DriveMachine(M, A.Alg, 4, &Breaks);
    EXPECT_EQ(O.End, TRunEnd::StepLimit);
    EXPECT_EQ(O.Steps, 4);
  }
  {
    Input.Answers = {"2"};
    TAlgMachine M;
    EXPECT_EQ(DriveMachine(M, A.Alg, -1, &Breaks).End, TRunEnd::Done) << "never I=3";
  }
  {
    // In pieces of three steps: the same end at the same step.
    Input.Answers = {"5"};
    TAlgMachine M;
    TMachineDriver Driver(M, A.Alg, -1, &Breaks);
    int Pieces = 0;
    while (!Driver.Run(3))
      ++Pieces;
    EXPECT_GT(Pieces, 3);
    EXPECT_TRUE(Driver.Run(3)) << "an ended run stays ended";
    EXPECT_EQ(Driver.GetOutcome().End, TRunEnd::Stopped);
    EXPECT_EQ(M.GetCurrentBlock(), A.Sum);
    EXPECT_EQ(M.GetStorage().GetVars("S"), 3);
  }
}

TEST(Debugger, HostFollowsTheMachineAndKeepsItWhileOriginsAreWorkedOut) {
  TLoopAlg A;
  TScriptedInput Input;
  Input.Answers = {"3"};
  TAlgDebugSession S(A.Alg);
  std::vector<TAlgMachine*> Told;
  S.OnMachineChange = [&](TAlgMachine* M) {
    // The new machine is the session's by the time the host is told.
    if (M) {
      EXPECT_NE(S.GetMachine(), nullptr);
    }
    Told.push_back(M);
  };
  S.Start();
  ASSERT_EQ(Told.size(), 1u);
  EXPECT_EQ(Told.back(), S.GetMachine());
  ASSERT_EQ(S.RunSlice(7, seconds(10)), TSliceEnd::Budget);
  TAlgMachine* Followed = S.GetMachine();
  TVarOrigin O;
  ASSERT_TRUE(S.GetVarOrigin("S", O));
  EXPECT_EQ(O.Block, A.Sum);
  EXPECT_EQ(S.GetMachine(), Followed) << "origins are replayed aside";
  EXPECT_EQ(Told.size(), 1u);
  ASSERT_TRUE(S.StepBack());
  EXPECT_EQ(Told.size(), 2u);
  EXPECT_EQ(Told.back(), S.GetMachine());
  EXPECT_EQ(S.GetStepNumber(), 6);
  S.Reset();
  EXPECT_EQ(Told.back(), nullptr);
}

TEST(Debugger, AdvancePassesTheBreakpointItStandsAtAfterAPause) {
  TLoopAlg A;
  TScriptedInput Input;
  Input.Answers = {"3"};
  TAlgDebugSession S(A.Alg);
  S.GetBreakpoints().Set(A.Sum);
  S.Start();
  // Single steps up to the breakpoint's block: a run from there goes past it.
  while (S.GetNextBlock() != A.Sum)
    ASSERT_TRUE(S.StepOne());
  EXPECT_TRUE(S.BreakpointHolds());
  EXPECT_EQ(S.Advance(), TSliceEnd::Budget);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("S"), 1);
  TSliceEnd End;
  while ((End = S.Advance()) == TSliceEnd::Budget) {
  }
  EXPECT_EQ(End, TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetMachine()->GetStorage().GetVars("I"), 2);
  // A fresh start stops at the first block already.
  S.GetBreakpoints().Set(A.Alg.GetRoot());
  S.Start();
  EXPECT_EQ(S.Advance(), TSliceEnd::Breakpoint);
  EXPECT_EQ(S.GetStepNumber(), 0);
}

TEST(Debugger, ACaseStartsWithItsAnswersAtItsStepAndStopKeepsTheBlock) {
  TLoopAlg A;
  TScriptedInput Input; // no answers: asking the pupil would fail the step
  struct TCase : IInputProvider {
    bool InputString(const std::string&, const std::string&, std::string& Value,
                     const TInputStringOptions&) override {
      Value = "2";
      return Asked++ == 0;
    }
    int Asked = 0;
  };
  auto Case = std::make_unique<TCase>();
  TCase* Script = Case.get();
  TAlgDebugSession S(A.Alg);
  S.StartAt(4, std::move(Case));
  EXPECT_EQ(S.GetState(), TDebugState::Paused);
  EXPECT_EQ(S.GetStepNumber(), 4);
  EXPECT_TRUE(Input.Captions.empty());
  EXPECT_EQ(Script->Asked, 1);
  EXPECT_EQ(S.GetNextBlock(), A.Sum);
  // The last step's changes are known without a replay: the loop set I.
  EXPECT_EQ(S.GetChangedVars(), std::vector<std::string>{"I"});
  S.Stop();
  EXPECT_EQ(S.GetMachine()->GetState(), amsError);
  EXPECT_EQ(S.GetMachine()->GetCurrentBlock(), A.Sum);
  EXPECT_TRUE(S.GetStoppedByUser());
  EXPECT_TRUE(S.GetChangedVars().empty());
  // Back from a stop: where it stood, paused again.
  ASSERT_TRUE(S.StepBack());
  EXPECT_EQ(S.GetState(), TDebugState::Paused);
  EXPECT_EQ(S.GetStepNumber(), 4);
}

TEST(Debugger, SteppingBackThroughAFullConsoleBringsBackTheLinesItDropped) {
  // N = input; for I = 1..N a line printed: 600 lines overfill the console.
  TAlgorithm Alg;
  Add(Alg.GetRoot()->GetBody(), TIOAlgBlock::Class, {"Ввод N"});
  auto* Loop = AddLoop(Alg.GetRoot()->GetBody(), TForAlgBlock::Class, "I=1,N,1");
  Add(Loop->GetBody(), TIOAlgBlock::Class, {"Вывод I"});
  TScriptedInput Input;
  Input.Answers = {"600"};
  TAlgDebugSession S(Alg);
  while (S.RunSlice(1000000, seconds(10)) == TSliceEnd::Budget) {
  }
  const int64_t Total = S.GetStepNumber();
  TStringList Lines;
  S.GetMachine()->GetConsole().GetLines(Lines);
  ASSERT_LT(Lines.GetCount(), 600) << "the console keeps its last lines only";
  // The states of the last 40 steps, one at a time.
  Input.Answers = {"600"};
  S.Start();
  std::vector<TState> Recorded;
  while (S.GetStepNumber() < Total - 40)
    ASSERT_TRUE(S.StepOne());
  Recorded.push_back(StateOf(S));
  while (S.StepOne())
    if (S.GetState() == TDebugState::Paused)
      Recorded.push_back(StateOf(S));
  ASSERT_EQ(S.GetState(), TDebugState::Done) << S.GetError();
  S.StepBack();
  for (size_t I = Recorded.size() - 1; I > 0; --I) {
    ASSERT_EQ(StateOf(S), Recorded[I]) << "back at " << S.GetStepNumber();
    ASSERT_TRUE(S.StepBack());
  }
  EXPECT_EQ(StateOf(S), Recorded[0]);
  EXPECT_EQ(Input.Captions.size(), 2u) << "once a run: stepping back asks nothing";
}

// The session follows the algorithm's content: a deleted block takes its
// breakpoint with it, and so do the blocks inside a deleted loop; the
// breakpoints of blocks still there stay as they were.
TEST(Debugger, BreakpointsOfDeletedBlocksGoWithTheirBlocks) {
  TLoopAlg A;
  TAlgDebugSession S(A.Alg);
  TAlgBlock* First = A.Alg.GetRoot()->GetBody()->GetBlocks(0);
  S.GetBreakpoints().Set(First);
  S.GetBreakpoints().Set(A.Sum, "I=2");
  S.GetBreakpoints().Set(A.Loop->GetBody()->GetBlocks(1));
  ASSERT_EQ(S.GetBreakpoints().GetCount(), 3);
  {
    TModifyGuard Guard(A.Alg);
    A.Loop->Free();
  }
  EXPECT_EQ(S.GetBreakpoints().GetCount(), 1);
  EXPECT_TRUE(S.GetBreakpoints().Has(First));
  // An edit that deletes nothing keeps them.
  {
    TModifyGuard Guard(A.Alg);
    First->GetText().Add("");
  }
  EXPECT_TRUE(S.GetBreakpoints().Has(First));
}

// Several steps at once stop where single ones would: before a breakpoint
// (and past it the next time), at the end; the answer is asked once.
TEST(Debugger, AdvancingManyStepsAtOnceStopsWhereSingleStepsWould) {
  TLoopAlg One, Many;
  TScriptedInput Input;
  Input.Answers = {"3", "3"};
  TAlgDebugSession A(One.Alg), B(Many.Alg);
  A.GetBreakpoints().Set(One.Sum, "I=2");
  B.GetBreakpoints().Set(Many.Sum, "I=2");
  TSliceEnd EndA = TSliceEnd::Budget;
  while ((EndA = A.Advance()) == TSliceEnd::Budget) {
  }
  TSliceEnd EndB = TSliceEnd::Budget;
  while ((EndB = B.Advance(7)) == TSliceEnd::Budget) {
  }
  EXPECT_EQ(EndA, TSliceEnd::Breakpoint);
  EXPECT_EQ(EndB, TSliceEnd::Breakpoint);
  EXPECT_EQ(B.GetStepNumber(), A.GetStepNumber());
  EXPECT_EQ(B.GetNextBlock(), Many.Sum);
  EXPECT_EQ(B.Advance(1000), TSliceEnd::Done);
  while (A.Advance() == TSliceEnd::Budget) {
  }
  EXPECT_EQ(B.GetStepNumber(), A.GetStepNumber());
  EXPECT_EQ(B.GetMachine()->GetStorage().GetVars("S"), 6);
  EXPECT_EQ(B.GetRecordedInputCount(), 1);
  EXPECT_EQ(B.Advance(5), TSliceEnd::Done);
}

// Breakpoints tested inside a run of many steps (the machine stops only
// before a block whose breakpoint may hold) pause exactly where testing
// before every single step does: the same pauses at the same steps with the
// same reasons, the same end.
TEST(Debugger, BreakpointsPauseInLongSlicesWhereSingleStepsWould) {
  const char* const Conditions[] = {"", "I=3", "S>10", "Q>1", "1/(I-2)>0", "I>", "K<2", "J=I"};
  int Failures = 0;
  for (unsigned Seed = 0; Seed < 400 && Failures < 3; ++Seed) {
    TAlgorithm Alg;
    TRandomAlgorithm(Seed).Build(Alg);
    std::vector<const TAlgBlock*> Blocks;
    std::vector<const TAlgBlock*> Pending{Alg.GetRoot()};
    while (!Pending.empty()) {
      const TAlgBlock* B = Pending.back();
      Pending.pop_back();
      Blocks.push_back(B);
      for (int I = 0; I < B->GetBlockCount(); ++I)
        Pending.push_back(B->GetBlocks(I));
    }
    std::mt19937 Random(Seed);
    std::vector<std::pair<const TAlgBlock*, std::string>> Points;
    for (unsigned N = 1 + Random() % 3; N > 0; --N)
      Points.emplace_back(Blocks[Random() % Blocks.size()],
                          Conditions[Random() % std::size(Conditions)]);
    // Each pause: how the slice ended, the step, the next block, the reason.
    const auto Pauses = [&](int64_t Slice) {
      TAlgDebugSession S(Alg);
      for (const auto& [Block, Condition] : Points)
        S.GetBreakpoints().Set(Block, Condition);
      std::ostringstream Out;
      for (int Pause = 0; Pause < 60; ++Pause) {
        TSliceEnd End;
        int64_t Steps = 0;
        while ((End = S.Advance(Slice)) == TSliceEnd::Budget && (Steps += Slice) < 5000) {
        }
        Out << int(End) << " " << S.GetStepNumber() << " " << S.GetNextBlock() << " "
            << S.GetBreakReason() << S.GetError() << "\n";
        if (End != TSliceEnd::Breakpoint)
          break;
      }
      return Out.str();
    };
    const std::string One = Pauses(1), Many = Pauses(1000);
    if (One != Many) {
      ++Failures;
      ADD_FAILURE() << "algorithm " << Seed << "\nstep by step:\n" << One << "in slices:\n" << Many;
    }
  }
}
