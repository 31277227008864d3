#include "Flowrun/Flowrun_Announcement.h"
#include "Flowrun/Flowrun_Debugger.h"
#include "MachineTestUtils.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// N = input; S = 0; for I = 1..N: S = S + I*I; S printed.
struct TSquares {
  TSquares() {
    TAlgBlock* Body = Alg.GetRoot()->GetBody();
    Add(Body, TIOAlgBlock::Class, {"Ввод N"});
    Add(Body, TBasicAlgBlock::Class, {"S=0"});
    Loop = AddLoop(Body, TForAlgBlock::Class, "I=1,N,1");
    Add(Loop->GetBody(), TBasicAlgBlock::Class, {"S=S+I*I"});
    Add(Body, TIOAlgBlock::Class, {"Вывод S"});
  }
  TAlgorithm Alg;
  TContainerAlgBlock* Loop;
};

// Every text said while stepping the whole run with F8.
std::vector<std::string> StepThrough(TAlgDebugSession& S, TRunAnnouncer& Announcer) {
  std::vector<std::string> Said;
  S.Start();
  Announcer.Begin(S);
  for (int Guard = 0; Guard < 100; ++Guard) {
    S.StepOne();
    const bool Over = S.GetState() != TDebugState::Paused;
    const TAnnouncedEvent E = S.GetState() == TDebugState::Done     ? TAnnouncedEvent::Finish
                              : S.GetState() == TDebugState::Failed ? TAnnouncedEvent::Error
                                                                    : TAnnouncedEvent::Step;
    Said.push_back(RunAnnouncementText(
        Announcer.End(S, E, true, Over ? "Выполнение завершено. Шагов: 9" : "")));
    if (Over)
      break;
  }
  return Said;
}

} // namespace

TEST(RunAnnouncement, TextsOfEachEvent) {
  TRunAnnouncement A;
  A.Step = 5;
  A.Block = "Блок вычислений: S=S+I*I";
  A.Changed = {{"S", "30"}};
  A.Status = "Пошаговое выполнение. Шагов: 5";
  EXPECT_EQ(RunAnnouncementText(A), "Шаг 5: Блок вычислений: S=S+I*I; S = 30")
      << "a plain step leaves the status line alone";

  A.Event = TAnnouncedEvent::Error;
  A.Changed.clear();
  A.Status = "Ошибка. Шагов: 4\nДеление на ноль.";
  EXPECT_EQ(RunAnnouncementText(A),
            "Шаг 5: Блок вычислений: S=S+I*I. Ошибка. Шагов: 4 Деление на ноль.");

  TRunAnnouncement End;
  End.Event = TAnnouncedEvent::Finish;
  End.OutputCount = 12;
  End.Output = {"8", "9", "10", "11", "12"};
  End.Status = "Выполнение завершено. Шагов: 40";
  EXPECT_EQ(RunAnnouncementText(End), "вывод, последние 5 строк из 12: 8; 9; 10; 11; 12. "
                                      "Выполнение завершено. Шагов: 40");

  TRunAnnouncement Pause;
  Pause.Event = TAnnouncedEvent::Pause;
  Pause.Block = "Ввод-вывод: Вывод S";
  Pause.Status = "Пошаговое выполнение. Шагов: 7";
  EXPECT_EQ(RunAnnouncementText(Pause),
            "Пауза перед блоком «Ввод-вывод: Вывод S». Пошаговое выполнение. Шагов: 7");
  TRunAnnouncement Back;
  Back.Event = TAnnouncedEvent::StepBack;
  Back.Status = "Пошаговое выполнение. Шагов: 6";
  EXPECT_EQ(RunAnnouncementText(Back), "Шаг назад. Пошаговое выполнение. Шагов: 6");
}

// Stepping a real run: each step names its block and what it changed, the
// output comes with the step that printed it, the end with the status.
TEST(RunAnnouncement, StepsOfARunSayTheirBlocksValuesAndOutput) {
  TSquares A;
  TScriptedInput Input;
  Input.Answers = {"2"};
  TAlgDebugSession S(A.Alg);
  TRunAnnouncer Announcer;
  const std::vector<std::string> Said = StepThrough(S, Announcer);
  ASSERT_GE(Said.size(), 6u);
  EXPECT_EQ(Said[1], "Шаг 2: Ввод-вывод: Ввод N; N = 2") << Said[0];
  EXPECT_EQ(Said[2], "Шаг 3: Блок вычислений: S=0; S = 0");
  bool SawSum = false;
  for (const std::string& Text : Said)
    SawSum = SawSum || Text.find(": Блок вычислений: S=S+I*I; S = 5") != std::string::npos;
  EXPECT_TRUE(SawSum);
  bool SawOutput = false;
  for (const std::string& Text : Said)
    SawOutput = SawOutput || Text.find("Ввод-вывод: Вывод S; вывод: 5") != std::string::npos;
  EXPECT_TRUE(SawOutput);
  EXPECT_NE(Said.back().find("Выполнение завершено. Шагов: 9"), std::string::npos) << Said.back();
}

TEST(RunAnnouncement, AFailedStepNamesItsBlockAndTheError) {
  TAlgorithm Alg;
  Add(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"A=1"});
  Add(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"B=A/(A-1)"});
  TAlgDebugSession S(Alg);
  TRunAnnouncer Announcer;
  S.Start();
  S.StepOne();
  S.StepOne();
  Announcer.Begin(S);
  S.StepOne();
  ASSERT_EQ(S.GetState(), TDebugState::Failed);
  const TRunAnnouncement A = Announcer.End(S, TAnnouncedEvent::Error, true, "Ошибка. Шагов: 3");
  EXPECT_EQ(RunAnnouncementText(A), "Шаг 3: Блок вычислений: B=A/(A-1). Ошибка. Шагов: 3");

  // A whole run announced at its end: only the lines it printed, the last
  // ones, and the status.
  TAlgorithm Many;
  TContainerAlgBlock* Loop = AddLoop(Many.GetRoot()->GetBody(), TForAlgBlock::Class, "I=1,12,1");
  Add(Loop->GetBody(), TIOAlgBlock::Class, {"Вывод I"});
  TAlgDebugSession R(Many);
  R.Start();
  Announcer.Begin(R);
  EXPECT_EQ(R.RunSlice(10000, std::chrono::seconds(10)), TSliceEnd::Done);
  EXPECT_EQ(RunAnnouncementText(Announcer.End(R, TAnnouncedEvent::Finish, false, "Готово")),
            "вывод, последние 5 строк из 12: 8; 9; 10; 11; 12. Готово");
}
