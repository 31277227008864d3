// Task packs: written and read back, refused when damaged, and the
// restrictions they set checked on charts.

#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Task.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

bool Contains(const std::string& S, const std::string& Part) {
  return S.find(Part) != std::string::npos;
}

std::string AllBytes() {
  std::string S;
  for (int I = 0; I < 256; ++I)
    S += static_cast<char>(I);
  return S + "xy"; // a length that needs padding
}

TTaskPack SamplePack() {
  TTaskPack Pack;
  Pack.Text = "# Задача\n\nСложите два числа.\n@@ end\n@@@ три\n@ один";
  Pack.Restrictions.LimitsBlocks = true;
  Pack.Restrictions.Blocks = {TAlgBlockKind::InputOutput, TAlgBlockKind::Branch};
  Pack.Restrictions.LimitsFunctions = true;
  Pack.Restrictions.Functions = {"SQRT", "отр"};
  Pack.Restrictions.MaxBlocks = 7;
  Pack.Restrictions.ProgramText = false;
  TTestCase Case;
  Case.Name = "с пробелами";
  Case.Answers = {"  2", "3  "};
  Case.Output = {"  5"};
  Case.MaxSteps = 500;
  Case.Weight = 4;
  TTestCase Error;
  Error.Name = "ошибка";
  Error.ExpectsError = true;
  TTestCase Text = Error;
  Text.Name = "ошибка с текстом";
  Text.ErrorText = "Деление";
  Text.Output = {"1"};
  Pack.TestsText = TestCasesText({Case, Error, Text});
  Pack.Start = AllBytes();
  return Pack;
}

TEST(TaskPackTest, WrittenAndReadBackWhole) {
  const TTaskPack Pack = SamplePack();
  const std::string Text = WriteTaskPack(Pack);
  EXPECT_TRUE(Text.starts_with("@@ deskbay-task 1\n@@ text\n# Задача\n"));
  EXPECT_TRUE(Contains(Text, "\n@@@ end\n@@@@ три\n@ один\n@@ restrictions\n")) << Text;
  EXPECT_TRUE(Contains(Text, "blocks Ввод-вывод, Ветвление\nfunctions SQRT, отр\nmax-blocks 7\n"
                             "program-text no\n"));
  const TTaskPack Back = ParseTaskPack(Text, "p.task");
  EXPECT_EQ(Back.Text, Pack.Text + "\n");
  EXPECT_EQ(Back.Start, Pack.Start);
  EXPECT_EQ(Back.TestsText, Pack.TestsText);
  EXPECT_EQ(Back.Restrictions.Blocks, Pack.Restrictions.Blocks);
  EXPECT_EQ(Back.Restrictions.Functions, Pack.Restrictions.Functions);
  EXPECT_EQ(Back.Restrictions.MaxBlocks, 7);
  EXPECT_FALSE(Back.Restrictions.ProgramText);
  // The cases read back as they were, blanks at the edges of answers too.
  const TTestFile Tests = ParseTestFile(Back.TestsText, "p.task");
  ASSERT_EQ(Tests.Cases.size(), 3u);
  EXPECT_EQ(Tests.Cases[0].Answers, (std::vector<std::string>{"  2", "3  "}));
  EXPECT_EQ(Tests.Cases[0].Output, (std::vector<std::string>{"  5"}));
  EXPECT_EQ(Tests.Cases[0].MaxSteps, 500);
  EXPECT_EQ(Tests.Cases[0].Weight, 4);
  EXPECT_TRUE(Tests.Cases[1].ExpectsError);
  EXPECT_EQ(Tests.Cases[1].ErrorText, "");
  EXPECT_EQ(Tests.Cases[2].ErrorText, "Деление");
  EXPECT_EQ(Tests.Cases[2].Output, (std::vector<std::string>{"1"}));

  // Without restrictions a pack allows everything.
  TTaskPack Free;
  Free.Start = "x";
  const TTaskPack FreeBack = ParseTaskPack(WriteTaskPack(Free), "f.task");
  EXPECT_TRUE(FreeBack.Restrictions.Empty());
  EXPECT_TRUE(FreeBack.Restrictions.Allows(TAlgBlockKind::ForLoop));
  EXPECT_TRUE(FreeBack.Restrictions.AllowsFunction("LN"));
}

TEST(TaskPackTest, DamagedPacksAreRefusedNamingFileAndLine) {
  const std::string Good = WriteTaskPack(SamplePack());
  const auto Refused = [](const std::string& Text, const std::string& Part) {
    try {
      ParseTaskPack(Text, "урок.task");
      ADD_FAILURE() << "accepted: " << Text;
    } catch (const Exception& E) {
      EXPECT_TRUE(Contains(E.Message(), "Файл задания \"урок.task\"")) << E.Message();
      EXPECT_TRUE(Contains(E.Message(), Part)) << E.Message();
    }
  };
  Refused("", "нет строки \"@@ end\"");
  Refused("BAG\x1a", "это не файл задания");
  Refused(Good.substr(0, Good.size() / 2), "нет строки \"@@ end\"");
  Refused(Good + "junk\n", "после \"@@ end\"");
  Refused("@@ deskbay-task 1\n@@ tests\n@@ text\n@@ start base64\neA==\n@@ end\n",
          "строка 3: раздел \"text\" не на своём месте");
  Refused("@@ deskbay-task 1\n@@ restrictions\nblocks Цикл\n@@ start base64\neA==\n@@ end\n",
          "строка 3: нет такого вида блоков: \"Цикл\"");
  Refused("@@ deskbay-task 1\n@@ restrictions\ncolour red\n@@ start base64\neA==\n@@ end\n",
          "строка 3: непонятное ограничение");
  Refused("@@ deskbay-task 1\n@@ restrictions\nmax-blocks 0\n@@ start base64\neA==\n@@ end\n",
          "max-blocks");
  Refused(
      "@@ deskbay-task 1\n@@ restrictions\nfunctions SQRT, POW\n@@ start base64\neA==\n@@ end\n",
      "нет такой функции или команды рисования: \"POW\"");
  Refused("@@ deskbay-task 1\n@@ start base64\n*notbase64*\n@@ end\n", "не в base64");
  Refused("@@ deskbay-task 1\n@@ start base64\n@@ end\n", "нет начальной схемы");
  Refused("@@ deskbay-task 1\n@@ tests\n=== a\nзагадка\n@@ start base64\neA==\n@@ end\n",
          "строка 4: непонятная строка");
  Refused(std::string("@@ deskbay-task 1\n@@ text\na\0b\n@@ start base64\neA==\n@@ end\n", 51),
          "нулевой байт");
}

TEST(TaskPackTest, NamesOfKindsAndFunctionsAsTheToolShowsThem) {
  EXPECT_EQ(ParseBlockKinds("цикл с параметром,  Ввод-вывод ,"),
            (std::vector<TAlgBlockKind>{TAlgBlockKind::ForLoop, TAlgBlockKind::InputOutput}));
  EXPECT_THROW(ParseBlockKinds("Последовательность"), Exception);
  EXPECT_THROW(ParseBlockKinds("Алгоритм"), Exception) << "the root is never placed";
  EXPECT_EQ(ParseFunctionNames("sqrt, Abs, ОТР, SQRT"),
            (std::vector<std::string>{"SQRT", "ABS", "отр"}));
}

TAlgBlock* AddLine(TAlgBlock* Parent, const TAlgBlockClass& Class, const std::string& Line) {
  return Class.CreateWithLines(Parent, {Line});
}

TEST(TaskRestrictionsTest, ForbiddenKindsFunctionsCommandsAndTooManyBlocks) {
  TAlgorithm Alg;
  TAlgBlock* Body = Alg.GetRoot()->GetBody();
  AddLine(Body, TIOAlgBlock::Class, "Ввод X");
  auto* Loop = static_cast<TForAlgBlock*>(AddLine(Body, TForAlgBlock::Class, "I=1,TRUNC(X),1"));
  AddLine(Loop->GetBody(), TBasicAlgBlock::Class, "Y=SQRT(ABS(X)+LN(2))");
  AddLine(Loop->GetBody(), TBasicAlgBlock::Class, "отр (0,0)-(10,10),1");
  AddLine(Body, TIOAlgBlock::Class, "Вывод \"SQRT и крг\", Y");

  TTaskRestrictions R;
  EXPECT_TRUE(CheckRestrictions(Alg, R).empty());
  R.LimitsBlocks = true;
  R.Blocks = {TAlgBlockKind::InputOutput, TAlgBlockKind::Computation};
  R.LimitsFunctions = true;
  R.Functions = {"ABS", "TRUNC"};
  R.MaxBlocks = 4;
  const std::vector<TRestrictionBreach> B = CheckRestrictions(Alg, R);
  ASSERT_EQ(B.size(), 5u);
  EXPECT_EQ(B[0].Block, nullptr);
  EXPECT_EQ(B[0].Reason, "В этом задании можно использовать не больше 4 блоков, а в схеме их 5");
  EXPECT_EQ(B[1].Block, Loop);
  EXPECT_EQ(B[1].Reason, "В этом задании нельзя использовать «Цикл с параметром»");
  EXPECT_EQ(B[2].Reason, "В этом задании нельзя использовать функцию SQRT");
  EXPECT_EQ(B[3].Reason, "В этом задании нельзя использовать функцию LN");
  EXPECT_EQ(B[4].Reason, "В этом задании нельзя использовать команду рисования «отр»");
  // A name inside a string is text, not a call.
  R.Functions = {"ABS", "TRUNC", "SQRT", "LN", "отр"};
  R.MaxBlocks = 5;
  ASSERT_EQ(CheckRestrictions(Alg, R).size(), 1u);

  const TCaseResult Case = RestrictionCase(&Alg, R);
  EXPECT_EQ(Case.CaseName, "ограничения задания");
  EXPECT_EQ(Case.Failure, TCaseFailure::Restricted);
  EXPECT_EQ(Case.Weight, 0);
  EXPECT_EQ(Case.Reason, "блок \"Цикл с параметром: I=1,TRUNC(X),1\": В этом задании нельзя "
                         "использовать «Цикл с параметром»");
  R.Blocks.push_back(TAlgBlockKind::ForLoop);
  EXPECT_TRUE(RestrictionCase(&Alg, R).Passed());
  EXPECT_EQ(RestrictionCase(nullptr, R, "не прочитан").Failure, TCaseFailure::Unreadable);
}

} // namespace

namespace {

TEST(TaskRestrictionsTest, PlacementIsRefusedForForbiddenKindsLinesAndTooManyBlocks) {
  TAlgorithm Alg;
  AddLine(Alg.GetRoot()->GetBody(), TIOAlgBlock::Class, "Ввод X");
  TAlgorithm Palette;
  TAlgBlock* Loop = AddLine(Palette.GetRoot()->GetBody(), TForAlgBlock::Class, "");
  TAlgBlock* Io = AddLine(Palette.GetRoot()->GetBody(), TIOAlgBlock::Class, "");
  TAlgBlock* Sqrt = AddLine(Palette.GetRoot()->GetBody(), TBasicAlgBlock::Class, "Y=SQRT(X)");
  auto* Branch =
      static_cast<TIfAlgBlock*>(AddLine(Palette.GetRoot()->GetBody(), TIfAlgBlock::Class, "X>0"));
  AddLine(Branch->GetYesBranch(), TForAlgBlock::Class, "I=1,2,1");

  TTaskRestrictions R;
  EXPECT_EQ(PlacementRefusal(Alg, {Loop, Io, Sqrt, Branch}, R), "");
  R.LimitsBlocks = true;
  R.Blocks = {TAlgBlockKind::InputOutput, TAlgBlockKind::Computation, TAlgBlockKind::Branch};
  EXPECT_EQ(PlacementRefusal(Alg, {Loop}, R),
            "В этом задании нельзя использовать «Цикл с параметром»");
  EXPECT_EQ(PlacementRefusal(Alg, {Io}, R), "");
  // What a pasted branch holds counts too.
  EXPECT_EQ(PlacementRefusal(Alg, {Branch}, R),
            "В этом задании нельзя использовать «Цикл с параметром»");
  R.LimitsFunctions = true;
  R.Functions = {"ABS"};
  EXPECT_EQ(PlacementRefusal(Alg, {Sqrt}, R), "В этом задании нельзя использовать функцию SQRT");
  R.MaxBlocks = 2;
  EXPECT_EQ(PlacementRefusal(Alg, {Io}, R), "");
  EXPECT_EQ(PlacementRefusal(Alg, {Io, Io}, R),
            "В этом задании можно использовать не больше 2 блоков");
}

} // namespace
