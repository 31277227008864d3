#include "Flowrun/Flowrun_Processors.h"
#include "MachineTestUtils.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// Runs a one-block algorithm of the given class and lines.
struct TOneBlock {
  TOneBlock(const TAlgBlockClass& Class, std::vector<std::string> Lines) {
    Add(Alg.GetRoot()->GetBody(), Class, std::move(Lines));
  }
  TAlgorithm Alg;
};

// Runs one computation block of the given lines; the run stays alive until
// the next call, so a test can look at its variables.
std::string RunLines(std::vector<std::string> Lines, TRun** Out = nullptr) {
  static std::unique_ptr<TRun> R;
  static std::unique_ptr<TAlgorithm> Alg;
  R.reset();
  Alg = std::make_unique<TAlgorithm>();
  Add(Alg->GetRoot()->GetBody(), TBasicAlgBlock::Class, std::move(Lines));
  R = std::make_unique<TRun>(*Alg);
  if (Out)
    *Out = R.get();
  return R->RunToEnd();
}

} // namespace

TEST(Processors, AssignmentLines) {
  TRun* R = nullptr;
  EXPECT_EQ(RunLines({"x = 2*3", "", "   "}, &R), "");
  EXPECT_EQ(R->Var("X"), 6);
  // MOD between blanks stays the operator; joined to a name it is part of it.
  EXPECT_EQ(RunLines({"X=1", "y=xMOD 4"}),
            "Ошибка при вычислении \"xMOD4\".\r\nПеременная \"xMOD4\" не определена.");
  EXPECT_EQ(RunLines({"X="}), "Синтаксическая ошибка в строке \"X=\".");
  EXPECT_EQ(RunLines({"X==1"}), "Ошибка при вычислении \"=1\".\r\nОжидалось выражение.");
  EXPECT_EQ(RunLines({"1=2"}), "Синтаксическая ошибка в строке \"1=2\".");
  EXPECT_EQ(RunLines({"A=B"}), "Ошибка при вычислении \"B\".\r\nПеременная \"B\" не определена.");
  EXPECT_EQ(RunLines({"A=1/0", "B=1"}, &R), "Ошибка при вычислении \"1/0\".\r\n");
  EXPECT_FALSE(R->Machine.GetStorage().VarExists("A")) << "a failed evaluation stores nothing";
  EXPECT_EQ(RunLines({"A=(5)MOD(3)", "B=5MOD(3)"}, &R), "");
  EXPECT_EQ(R->Var("A"), 2);
  EXPECT_EQ(R->Var("B"), 2);
}

TEST(Processors, ModBetweenBlanksIsTheOperatorEveryOtherBlankGoes) {
  EXPECT_EQ(AlgRemoveBlanks("Y = A MOD B"), "Y=A MOD B");
  EXPECT_EQ(AlgRemoveBlanks("X = 1 0"), "X=10");
  EXPECT_EQ(AlgRemoveBlanks("x=7\tmod\t\t3 + 1"), "x=7 mod 3+1");
  // Not between blanks with something on both sides: removed as before.
  for (const char* S : {" MOD X", "X=5 MOD", "X=5 MOD  ", "X=5MOD 3", "X=5 MOD(3)", "X=A MODE 3"})
    EXPECT_EQ(AlgRemoveBlanks(S), RemoveControlsAndSpaces(S)) << S;

  TRun* R = nullptr;
  EXPECT_EQ(RunLines({"A=17", "B = 5", "Y=A MOD B", "X = 5 mod 3", "Z = 1 0", "W=(A) MOD (B)"}, &R),
            "");
  EXPECT_EQ(R->Var("Y"), 2);
  EXPECT_EQ(R->Var("X"), 2);
  EXPECT_EQ(R->Var("Z"), 10);
  EXPECT_EQ(R->Var("W"), 2);

  // Loop headers and output statements read their lines the same way.
  TAlgorithm Alg;
  TContainerAlgBlock* For =
      AddLoop(Alg.GetRoot()->GetBody(), TForAlgBlock::Class, "I = 1 , 7 MOD 4 , 1");
  Add(For->GetBody(), TIOAlgBlock::Class, {"Вывод I MOD 2"});
  TRun Loop(Alg);
  EXPECT_EQ(Loop.RunToEnd(), "");
  EXPECT_EQ(Loop.Console(), (std::vector<std::string>{"1", "0", "1"}));
}

TEST(Processors, BranchesTakeTheirSide) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* If = static_cast<TIfAlgBlock*>(Add(Body, TIfAlgBlock::Class, {"1 < 2"}));
  Add(If->GetNoBranch(), TBasicAlgBlock::Class, {"N=1"});
  Add(Body, TBasicAlgBlock::Class, {"Z=1"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_FALSE(R.Machine.GetStorage().VarExists("N"))
      << "an empty yes-branch goes on after the branch";
  EXPECT_EQ(R.Var("Z"), 1);

  If->GetText().Put(0, "A MOD 2 = 1");
  TRun S(Alg);
  S.Machine.GetStorage().SetVars("A", 3);
  EXPECT_EQ(S.RunToEnd(), "");
  EXPECT_FALSE(S.Machine.GetStorage().VarExists("N")) << "in a condition, spaces keep MOD a word";

  If->GetText().Clear();
  TRun T(Alg);
  EXPECT_EQ(T.RunToEnd(), "Неверное условие.");
  If->GetText().Add("A");
  TRun U(Alg);
  EXPECT_EQ(U.RunToEnd(), "Неверное условие \"A\".");
  EXPECT_EQ(U.Machine.GetCurrentBlock(), If);
}

TEST(Processors, CountingLoops) {
  auto Loop = [](const std::string& Header, std::string* Error = nullptr) {
    TAlgorithm Alg;
    TContainerAlgBlock* For = AddLoop(Alg.GetRoot()->GetBody(), TForAlgBlock::Class, Header);
    Add(For->GetBody(), TBasicAlgBlock::Class, {"N=N+1"});
    TRun R(Alg);
    R.Machine.GetStorage().SetVars("N", 0);
    const std::string E = R.RunToEnd();
    if (Error)
      *Error = E;
    return std::make_pair(R.Var("N"), R.Machine.GetStorage().VarExists("I") ? R.Var("I") : -99.0);
  };
  EXPECT_EQ(Loop("I=1,3,1"), std::make_pair(3.0, 4.0));
  EXPECT_EQ(Loop("I=3,1,-1"), std::make_pair(0.0, 3.0));
  EXPECT_EQ(Loop("i = 1, 2, 0.5"), std::make_pair(3.0, 2.5));
  std::string E;
  Loop("I=1,3", &E);
  EXPECT_EQ(E, "Синтаксическая ошибка в строке \"I=1,3\".");
  Loop("I", &E);
  EXPECT_EQ(E, "Синтаксическая ошибка.");
  Loop("I=", &E);
  EXPECT_EQ(E, "Синтаксическая ошибка.");
  Loop("1=1,2,3", &E);
  EXPECT_EQ(E, "Синтаксическая ошибка в строке \"1=1,2,3\".");
  Loop("I=1,3,Q", &E);
  EXPECT_EQ(E, "Ошибка при вычислении \"Q\".\r\nПеременная \"Q\" не определена.");

  // The end follows changes made in the body.
  TAlgorithm Alg;
  TContainerAlgBlock* For = AddLoop(Alg.GetRoot()->GetBody(), TForAlgBlock::Class, "I=1,E,1");
  Add(For->GetBody(), TBasicAlgBlock::Class, {"E=E-1"});
  TRun R(Alg);
  R.Machine.GetStorage().SetVars("E", 10);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_EQ(R.Var("I"), 6);
}

TEST(Processors, ConditionLoops) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  Add(Body, TBasicAlgBlock::Class, {"A=0", "B=0"});
  TContainerAlgBlock* Until = AddLoop(Body, TUntilAlgBlock::Class, "1>2");
  Add(Until->GetBody(), TBasicAlgBlock::Class, {"A=A+1"});
  TContainerAlgBlock* While = AddLoop(Body, TWhileAlgBlock::Class, "B < 5");
  Add(While->GetBody(), TBasicAlgBlock::Class, {"B=B+2"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_EQ(R.Var("A"), 1) << "a false test-after loop runs its body once";
  EXPECT_EQ(R.Var("B"), 6);
}

TEST(Processors, InputAndOutput) {
  TScriptedInput Input;
  Input.Answers = {" 1.5 ", "2"};
  TOneBlock One(TIOAlgBlock::Class, {"Ввод a,B", "вывод A,B+1", "ВЫВОД  A*2 , 7"});
  TRun R(One.Alg);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_EQ(Input.Captions, (std::vector<std::string>{"Ввод данных", "Ввод данных"}));
  EXPECT_EQ(Input.Prompts,
            (std::vector<std::string>{"Введите значение A:", "Введите значение B:"}));
  EXPECT_TRUE(Input.LastOptions.Trim && Input.LastOptions.NotEmpty);
  EXPECT_EQ(R.Console(), (std::vector<std::string>{"1.5 3", "3 7"}));

  // Cancelling the second question keeps the first answer and aborts.
  Input.Answers = {"4"};
  TOneBlock Two(TIOAlgBlock::Class, {"Ввод A,B"});
  TRun S(Two.Alg);
  EXPECT_EQ(S.RunToEnd(), "Выполнение прервано пользователем.");
  EXPECT_EQ(S.Var("A"), 4);
  EXPECT_EQ(S.Machine.GetState(), amsError);

  Input.Answers = {"abc"};
  TOneBlock Three(TIOAlgBlock::Class, {"Ввод A"});
  TRun T(Three.Alg);
  EXPECT_EQ(T.RunToEnd(), "\"abc\" не является числом.");

  for (const char* Bad : {"Ввод AB", "Ввод", "Ввод A,,B", "Печать A", "Вывод"}) {
    Input.Answers = {"1", "1"};
    TOneBlock B(TIOAlgBlock::Class, {Bad});
    TRun U(B.Alg);
    EXPECT_EQ(U.RunToEnd(), "Синтаксическая ошибка в строке \"" + std::string(Bad) + "\".") << Bad;
  }
}

TEST(Processors, InputShowsTheStateBeforeAsking) {
  struct TWatcher : IOnNotify {
    void Notify(TObject*) override { Seen = Storage->VarExists("A"); }
    TVarStorage* Storage = nullptr;
    bool Seen = false;
  } Watcher;
  TScriptedInput Input;
  Input.Answers = {"1"};
  TAlgorithm Alg;
  Add(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"A=5"});
  Add(Alg.GetRoot()->GetBody(), TIOAlgBlock::Class, {"Ввод B"});
  TRun R(Alg);
  Watcher.Storage = &R.Machine.GetStorage();
  R.Machine.GetStorage().AddListener(&Watcher);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_TRUE(Watcher.Seen);
  R.Machine.GetStorage().RemoveListener(&Watcher);
}

TEST(Processors, TheMachineRefusesALineAsTheLineLanguageReadsIt) {
  // Whatever the line language calls invalid, the machine stops on with the
  // same message, at that block.
  const auto RunOne = [](const TAlgBlockClass& Class, const std::string& Line) {
    TAlgorithm Alg;
    Add(Alg.GetRoot()->GetBody(), Class, {Line});
    TRun R(Alg);
    return R.RunToEnd();
  };
  for (const char* Line : {"X=", "1=2", "S+", "ЖЖ=1", "Вывод X", "тч(1,1),1"}) {
    const TStatement S = ReadComputationLine(Line);
    ASSERT_EQ(S.Kind, TStatementKind::Invalid) << Line;
    EXPECT_EQ(RunOne(TBasicAlgBlock::Class, Line), S.Error) << Line;
  }
  for (const char* Line : {"Вывод", "Ввод  ", "Печать A", "A=1"}) {
    const TStatement S = ReadInputOutputLine(Line);
    ASSERT_EQ(S.Kind, TStatementKind::Invalid) << Line;
    EXPECT_EQ(RunOne(TIOAlgBlock::Class, Line), S.Error) << Line;
  }
  for (const char* Line : {"A=>B", "A==B", "A", "<B", "A<"}) {
    const TStatement S = ReadCondition(Line);
    ASSERT_EQ(S.Kind, TStatementKind::Invalid) << Line;
    EXPECT_EQ(RunOne(TIfAlgBlock::Class, Line), S.Error) << Line;
    EXPECT_EQ(RunOne(TWhileAlgBlock::Class, Line), S.Error) << Line;
  }
  for (const char* Line : {"I", "I=", "I=1,3", "1=1,2,3", "I=1,2,3,4"}) {
    const TStatement S = ReadCountingLoop(Line);
    ASSERT_EQ(S.Kind, TStatementKind::Invalid) << Line;
    EXPECT_EQ(RunOne(TForAlgBlock::Class, Line), S.Error) << Line;
  }
  // An input line asks the names before its first bad item, then stops.
  TScriptedInput Input;
  Input.Answers = {"4"};
  TAlgorithm Alg;
  Add(Alg.GetRoot()->GetBody(), TIOAlgBlock::Class, {"Ввод A, 1, B"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "Синтаксическая ошибка в строке \"Ввод A, 1, B\".");
  EXPECT_EQ(R.Var("A"), 4);
  EXPECT_EQ(Input.Prompts.size(), 1u);
}
