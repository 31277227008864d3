#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Processors.h"
#include "MachineTestUtils.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

std::string ErrorOf(const std::function<void()>& Fn) {
  try {
    Fn();
  } catch (const Exception& E) {
    return E.Message();
  }
  return "";
}

struct TInteractionCounter : IOnNotify {
  void Notify(TObject*) override { ++Count; }
  int Count = 0;
};

} // namespace

TEST(Machine, StateChecksAndRegistry) {
  TAlgorithm Alg;
  TAlgMachine M;
  EXPECT_EQ(M.GetState(), amsInit);
  EXPECT_EQ(M.GetProcessorCount(), 8);
  EXPECT_EQ(M.GetProcessorIndex("tifalgblockprocessor"), 3);
  EXPECT_EQ(M.GetProcessor("TNoSuchProcessor"), nullptr);
  EXPECT_EQ(ErrorOf([&] { M.FindProcessor("TXProcessor"); }),
            "Процессор \"TXProcessor\" не найден.");
  EXPECT_EQ(M.FindProcessor(Alg.GetRoot()), &TRootAlgBlockProcessor::Instance);
  EXPECT_THROW(M.RegisterProcessor(&TIfAlgBlockProcessor::Instance), EAssertionFailed);
  EXPECT_EQ(M.GetDeviceCount(), 2);
  EXPECT_STREQ(M.GetDevices(0)->ClassName(), "TALU");
  EXPECT_EQ(M.GetDevices(1), static_cast<TAlgDevice*>(&M.GetCanvas()));
  EXPECT_EQ(ErrorOf([&] { M.GetDevices(2); }), "Bad device index (2, 2).");

  M.SetCurrentBlock(nullptr); // the same block again: allowed in any state
  EXPECT_EQ(ErrorOf([&] { M.SetCurrentBlock(Alg.GetRoot()); }),
            "Недопустимое состояние исполнителя (0, ожидалось 1).");
  EXPECT_EQ(ErrorOf([&] { M.Step(); }), "Недопустимое состояние исполнителя (0, ожидалось 1).");
  EXPECT_EQ(M.GetState(), amsInit) << "a state error changes no state";
  M.InitComplete();
  EXPECT_EQ(ErrorOf([&] { M.InitComplete(); }),
            "Недопустимое состояние исполнителя (1, ожидалось 0).");
  EXPECT_EQ(ErrorOf([&] { M.RegisterProcessor(&TIfAlgBlockProcessor::Instance); }),
            "Недопустимое состояние исполнителя (1, ожидалось 0).");
  EXPECT_EQ(ErrorOf([&] {
              M.CheckState(TAlgMachineStates{amsDone, amsError});
            }),
            "Недопустимое состояние исполнителя (1).");
  EXPECT_NO_THROW(M.CheckState(TAlgMachineStates{amsReady}));
}

TEST(Machine, StepsProcessOneCountedBlockEach) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  TAlgBlock* B1 = Add(Body, TBasicAlgBlock::Class, {"A=1"});
  TAlgBlock* B2 = Add(Body, TBasicAlgBlock::Class, {"B=A+1"});
  TRun R(Alg);
  R.Machine.Step();
  EXPECT_EQ(R.Machine.GetCurrentBlock(), B1);
  EXPECT_FALSE(R.Machine.GetStorage().VarExists("A"));
  R.Machine.Step();
  EXPECT_EQ(R.Machine.GetCurrentBlock(), B2);
  EXPECT_EQ(R.Var("A"), 1);
  R.Machine.Step();
  EXPECT_EQ(R.Machine.GetState(), amsDone);
  EXPECT_EQ(R.Machine.GetCurrentBlock(), nullptr);
  EXPECT_EQ(R.Var("B"), 2);
  EXPECT_EQ(ErrorOf([&] { R.Machine.Step(); }),
            "Недопустимое состояние исполнителя (2, ожидалось 1).");
  EXPECT_EQ(R.Machine.GetState(), amsDone);
  R.Machine.Run(); // not ready: returns at once
  EXPECT_EQ(R.Machine.GetState(), amsDone);

  TAlgorithm Empty;
  TRun E(Empty);
  E.Machine.Step();
  EXPECT_EQ(E.Machine.GetState(), amsDone) << "an empty algorithm ends in its first step";
}

TEST(Machine, LoopsStepAndJumpBackAcrossSteps) {
  // A while loop with a true condition and an empty body: one test per step.
  TAlgorithm Alg;
  TAlgBlock* Loop = AddLoop(Alg.GetRoot()->GetBody(), TWhileAlgBlock::Class, "1<2");
  TRun R(Alg);
  R.Machine.Step();
  for (int I = 0; I < 3; ++I) {
    EXPECT_EQ(R.Machine.GetCurrentBlock(), Loop);
    R.Machine.Step();
  }
  EXPECT_EQ(R.Machine.GetCurrentBlock(), Loop);
  EXPECT_EQ(R.Machine.GetState(), amsReady);

  // An until loop is entered without a step; coming back from its body counts.
  TAlgorithm U;
  TContainerAlgBlock* Until = AddLoop(U.GetRoot()->GetBody(), TUntilAlgBlock::Class, "X<2");
  TAlgBlock* Inc = Add(Until->GetBody(), TBasicAlgBlock::Class, {"X=X+1"});
  Add(U.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"Y=X"});
  TRun S(U);
  S.Machine.GetStorage().SetVars("X", 0);
  S.Machine.Step();
  EXPECT_EQ(S.Machine.GetCurrentBlock(), Inc)
      << "the root step goes through the until into its body";
  S.Machine.Step();
  EXPECT_EQ(S.Machine.GetCurrentBlock(), Until)
      << "back at the test, which counts as the next step";
  EXPECT_TRUE(S.Machine.GetJumpedBack()) << "the flag survives the end of the step";
  S.Machine.Step(); // X=1 < 2: the body again
  EXPECT_EQ(S.Machine.GetCurrentBlock(), Inc);
  EXPECT_EQ(S.RunToEnd(), "");
  EXPECT_EQ(S.Var("X"), 2);
  EXPECT_EQ(S.Var("Y"), 2);
}

TEST(Machine, RunErrorsLeaveTheFailingBlockCurrent) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  Add(Body, TBasicAlgBlock::Class, {"A=1"});
  TAlgBlock* Bad = Add(Body, TBasicAlgBlock::Class, {"B=2", "print A", "C=3"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "Синтаксическая ошибка в строке \"print A\".");
  EXPECT_EQ(R.Machine.GetState(), amsError);
  EXPECT_EQ(R.Machine.GetCurrentBlock(), Bad);
  EXPECT_EQ(R.Var("B"), 2) << "lines before the failing one took effect";
  EXPECT_FALSE(R.Machine.GetStorage().VarExists("C"));
  EXPECT_EQ(ErrorOf([&] { R.Machine.SetCurrentBlock(Body); }),
            "Недопустимое состояние исполнителя (3, ожидалось 1).");
}

TEST(Machine, F2AbortsAnEndlessLoop) {
  TAlgorithm Alg;
  TContainerAlgBlock* Loop = AddLoop(Alg.GetRoot()->GetBody(), TWhileAlgBlock::Class, "0=0");
  Add(Loop->GetBody(), TBasicAlgBlock::Class, {"I=1"});
  TRun R(Alg);
  THeldF2 F2;
  EXPECT_EQ(R.RunToEnd(), "Выполнение прервано пользователем.");
  EXPECT_EQ(R.Machine.GetState(), amsError);
  EXPECT_GE(F2.Polls, 1);
}

TEST(Machine, RunNotifiesComponentsOnceAtTheEnd) {
  TAlgorithm Alg;
  TContainerAlgBlock* For = AddLoop(Alg.GetRoot()->GetBody(), TForAlgBlock::Class, "I=1,50,1");
  Add(For->GetBody(), TIOAlgBlock::Class, {"Вывод I"});
  TRun R(Alg);
  TInteractionCounter Storage, Console;
  R.Machine.GetStorage().AddListener(&Storage);
  R.Machine.GetConsole().AddListener(&Console);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_EQ(Storage.Count, 1);
  EXPECT_EQ(Console.Count, 1);
  EXPECT_EQ(R.Console().size(), 50u);
  R.Machine.GetStorage().RemoveListener(&Storage);
  R.Machine.GetConsole().RemoveListener(&Console);
}

TEST(Console, KeepsTheLast500Lines) {
  TAlgConsole C;
  for (int I = 1; I <= 501; ++I)
    C.AddLine(std::to_string(I));
  TStringList L;
  C.GetLines(L);
  ASSERT_EQ(L.GetCount(), 500);
  EXPECT_EQ(L.Get(0), "2");
  EXPECT_EQ(L.Get(499), "501");
}
