// The checker as the algorithm window uses it: an algorithm in memory, one
// result per case with what the window shows and where its debugger stops.

#include "Corekit/InteractionHooks.h"
#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/tests/DivisionAlgorithm.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Control.h"
#include "Flowrun/Flowrun_Main.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const char* const Tests = "=== верный\n"
                          "< 2\n"
                          "> 5\n"
                          "> 2\n"
                          "=== вторая строка\n"
                          "weight 3\n"
                          "< 5\n"
                          "> 2\n"
                          "> 6\n"
                          "=== скрытый\n"
                          "hidden\n"
                          "< 1\n"
                          "> 7\n"
                          "=== ноль\n"
                          "< 0\n"
                          "> 1\n";

// Replays a case to its stop step, as the window's debugger does, and
// answers the block the machine stands at.
std::string BlockAtStop(TAlgorithm& Alg, const TCaseResult& Result) {
  TCaseAnswers Answers(Result.Answers);
  TAlgMachine Machine;
  const TRunOutcome Outcome = DriveMachine(Machine, Alg, Result.StopStep);
  EXPECT_EQ(Outcome.End, TRunEnd::StepLimit);
  TAlgBlock* Block = Machine.GetCurrentBlock();
  return Block ? DescribeBlock(Block) : std::string();
}

TEST(CheckTest, ResultsCarryFirstDifferenceStopStepAndPupilText) {
  TAlgorithm Alg;
  MakeDivisionAlgorithm(Alg);
  const TTestFile File = ParseTestFile(Tests, "t.tests");
  const std::vector<TCaseResult> R = CheckAlgorithm(Alg, File);
  ASSERT_EQ(R.size(), 4u);

  EXPECT_TRUE(R[0].Passed());
  EXPECT_EQ(R[0].StopStep, -1);
  EXPECT_EQ(R[0].FirstDifference, -1);
  EXPECT_EQ(PupilDescription(R[0]), "пройден");

  // The second printed line is wrong: the debugger stops before "Вывод X".
  EXPECT_EQ(R[1].Failure, TCaseFailure::OutputLine);
  EXPECT_EQ(R[1].FirstDifference, 1);
  EXPECT_EQ(R[1].Weight, 3);
  EXPECT_EQ(R[1].ExpectedLines, (std::vector<std::string>{"2", "6"}));
  EXPECT_EQ(R[1].PrintedLines, (std::vector<std::string>{"2", "5"}));
  EXPECT_EQ(R[1].Answers, (std::vector<std::string>{"5"}));
  EXPECT_NE(BlockAtStop(Alg, R[1]).find("Вывод X"), std::string::npos);
  EXPECT_EQ(PupilDescription(R[1]), R[1].Reason);
  EXPECT_NE(R[1].Reason.find("строка вывода 2"), std::string::npos);

  // A hidden case says nothing of its input or output to the pupil.
  EXPECT_TRUE(R[2].Hidden);
  EXPECT_FALSE(R[2].Passed());
  EXPECT_EQ(PupilDescription(R[2]), "скрытый случай: не пройден");

  // An error: the debugger stops before the step that failed.
  EXPECT_EQ(R[3].Failure, TCaseFailure::Error);
  EXPECT_NE(BlockAtStop(Alg, R[3]).find("Y=10/X"), std::string::npos);
}

TEST(CheckTest, MissingOutputStopsAtTheEndAndStepLimitAtTheLimit) {
  TAlgorithm Alg;
  MakeDivisionAlgorithm(Alg);
  const TTestFile File = ParseTestFile("=== мало\n< 2\n> 5\n> 2\n> 9\n"
                                       "=== предел\nsteps 3\n< 2\n> 5\n> 2\n",
                                       "t.tests");
  const std::vector<TCaseResult> R = CheckAlgorithm(Alg, File);
  EXPECT_EQ(R[0].Failure, TCaseFailure::MissingOutput);
  EXPECT_EQ(R[0].FirstDifference, 2);
  EXPECT_EQ(R[0].StopStep, R[0].Steps);
  EXPECT_EQ(R[1].Failure, TCaseFailure::StepLimit);
  EXPECT_EQ(R[1].StopStep, 3);
}

TEST(CheckTest, WeightsMakeTheScoreAndBadWeightsAreRefused) {
  TFileResult File;
  File.Cases.resize(3);
  File.Cases[0].Weight = 2;
  File.Cases[1].Weight = 3;
  File.Cases[1].Failure = TCaseFailure::Error;
  EXPECT_EQ(File.Score(), 3);
  EXPECT_EQ(File.MaxScore(), 6);
  for (const char* Bad : {"weight 0", "weight x", "weight", "weight 2\nweight 3"}) {
    try {
      ParseTestFile(std::string("=== a\n> 1\n") + Bad + "\n", "w.tests");
      ADD_FAILURE() << Bad;
    } catch (const Exception& E) {
      EXPECT_NE(E.Message().find("w.tests"), std::string::npos) << E.Message();
    }
  }
}

TEST(CheckTest, CoverageListsTheBlocksNoCaseReached) {
  const std::string Dir =
      std::filesystem::temp_directory_path() / ("flowcheck-" + std::to_string(getpid()));
  std::filesystem::create_directories(Dir);
  TAlgorithm Alg;
  MakeDivisionAlgorithm(Alg);
  SaveObjectToFile(&Alg, Dir + "/a.alg");
  std::ofstream(Dir + "/a.tests") << "=== x\n< 2\n> 5\n> 2\n";
  EXPECT_EQ(FindTestFile(Dir + "/a.alg"), Dir + "/a.tests");
  EXPECT_EQ(FindTestFile(Dir + "/b.alg"), "");
  const TFileResult R = CheckFile(ReadTestFile(Dir + "/a.tests"), Dir + "/a.alg", true);
  ASSERT_EQ(R.Unreached.size(), 1u);
  EXPECT_NE(R.Unreached[0].find("минус"), std::string::npos);
  std::filesystem::remove_all(Dir);
}

TEST(CheckTest, CaseAnswersAnswerAsTheDialogWouldAndThenCancel) {
  struct TRefuse : IInputProvider {
    bool InputString(const std::string&, const std::string&, std::string&,
                     const TInputStringOptions&) override {
      ADD_FAILURE() << "the previous provider was asked";
      return false;
    }
  } Refuse;
  IInputProvider* Outer = SetInputProvider(&Refuse);
  {
    TCaseAnswers Answers({"  5 ", "   ", "7", std::string(5000, 'x')});
    EXPECT_EQ(GetInputProvider(), &Answers);
    TInputStringOptions Trim;
    Trim.Trim = true;
    TInputStringOptions NotEmpty;
    NotEmpty.NotEmpty = true;
    std::string Value;
    ASSERT_TRUE(InputString("", "X?", Value, Trim));
    EXPECT_EQ(Value, "5");
    // A blank answer to a question that wants one is passed over.
    ASSERT_TRUE(InputString("", "Y?", Value, NotEmpty));
    EXPECT_EQ(Value, "7");
    ASSERT_TRUE(InputString("", "Z?", Value, TInputStringOptions()));
    EXPECT_EQ(Value, std::string(4096, 'x') + "…");
    EXPECT_EQ(Answers.GetUnansweredPrompt(), "");
    Value = "kept";
    EXPECT_FALSE(InputString("", "W?", Value, TInputStringOptions()));
    EXPECT_EQ(Value, "kept");
    EXPECT_EQ(Answers.GetUnansweredPrompt(), "W?");
  }
  EXPECT_EQ(GetInputProvider(), &Refuse);
  SetInputProvider(Outer);
}

} // namespace

// A case run in pieces, as the window runs it between events, comes to the
// same result as a case run at once, every kind of ending included; between
// the pieces nobody's questions go to the case.
TEST(CheckTest, ACaseRunInPiecesEndsAsACaseRunAtOnce) {
  TAlgorithm Alg;
  MakeDivisionAlgorithm(Alg);
  const TTestFile File = ParseTestFile(
      std::string(Tests) + "=== предел\nsteps 3\n< 2\n> 5\n" + "=== без ответа\n> 5\n", "t.tests");
  IInputProvider* Outside = GetInputProvider();
  for (const TTestCase& Case : File.Cases) {
    const TCaseResult Whole = CheckCase(Alg, Case);
    TCaseRun Run(Alg, Case);
    int Pieces = 0;
    while (!Run.Run(2)) {
      ++Pieces;
      ASSERT_EQ(GetInputProvider(), Outside);
      ASSERT_LT(Pieces, 100);
    }
    EXPECT_TRUE(Run.Decided());
    EXPECT_EQ(Pieces > 0, Whole.Steps >= 2) << Case.Name;
    const TCaseResult& Sliced = Run.GetResult();
    EXPECT_EQ(Sliced.Failure, Whole.Failure) << Case.Name;
    EXPECT_EQ(Sliced.Reason, Whole.Reason) << Case.Name;
    EXPECT_EQ(Sliced.Steps, Whole.Steps) << Case.Name;
    EXPECT_EQ(Sliced.StopStep, Whole.StopStep) << Case.Name;
    EXPECT_EQ(Sliced.PrintedLines, Whole.PrintedLines) << Case.Name;
    EXPECT_EQ(Run.GetSteps(), Whole.Steps) << Case.Name;
  }
}
