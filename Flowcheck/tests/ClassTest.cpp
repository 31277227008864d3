// A teacher's class: marks from scores, the summary of a class's results,
// and the feedback a pupil is given.

#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/Flowcheck_Feedback.h"
#include "Flowcheck/Flowcheck_Marks.h"
#include "Flowcheck/Flowcheck_Summary.h"
#include "Flowcheck/tests/DivisionAlgorithm.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

bool Contains(const std::string& S, const std::string& Part) {
  return S.find(Part) != std::string::npos;
}

TEST(MarksTest, BoundariesAreExactAndTheRestGetTheLowest) {
  const TMarkScale Scale = ParseMarkScale("5:90,4:75,3:50");
  EXPECT_EQ(Scale.MarkFor(20, 20), 5);
  EXPECT_EQ(Scale.MarkFor(18, 20), 5); // 90 exactly
  EXPECT_EQ(Scale.MarkFor(17, 20), 4);
  EXPECT_EQ(Scale.MarkFor(15, 20), 4); // 75 exactly
  EXPECT_EQ(Scale.MarkFor(14, 20), 3);
  EXPECT_EQ(Scale.MarkFor(10, 20), 3); // 50 exactly
  EXPECT_EQ(Scale.MarkFor(9, 20), 2);
  EXPECT_EQ(Scale.MarkFor(0, 20), 2);
  // 2 of 3 is 66.66...%: not 67, as a rounded percent would make it.
  EXPECT_EQ(ParseMarkScale("4:67,3:60").MarkFor(2, 3), 3);
  EXPECT_EQ(ParseMarkScale("4:67,3:60").MarkFor(1999, 3000), 3);
  EXPECT_EQ(ParseMarkScale("4:67,3:60").MarkFor(2010, 3000), 4);
  // A scale that goes lower than 2 gives its own lowest mark to the rest;
  // one with a step at 0 leaves nobody below.
  EXPECT_EQ(ParseMarkScale("3:50,1:20").MarkFor(1, 10), 1);
  EXPECT_EQ(ParseMarkScale("5:90,3:0").MarkFor(0, 10), 3);
  // Huge weights neither overflow nor round.
  EXPECT_EQ(Scale.MarkFor(INT64_MAX / 10 * 9, INT64_MAX / 10 * 10), 5);
  EXPECT_EQ(Scale.MarkFor(INT64_MAX / 10 * 9 - 1, INT64_MAX / 10 * 10), 4);
  // Nothing to score counts as all passed.
  EXPECT_EQ(Scale.MarkFor(0, 0), 5);
}

TEST(MarksTest, WrongScalesAreRefusedWithTheReason) {
  for (const char* Wrong : {"", "5", "5:", ":90", "5:90,", "5:90,,4:75", "5:90;4:75", "5:-1",
                            "5:101", "5:90,4:95", "4:90,5:75", "5:90,5:75", "x:90", "5:9O"}) {
    SCOPED_TRACE(Wrong);
    try {
      ParseMarkScale(Wrong);
      ADD_FAILURE() << "accepted";
    } catch (const Exception& E) {
      EXPECT_TRUE(Contains(E.Message(), "Неверная шкала оценок")) << E.Message();
    }
  }
}

TCaseResult Result(const std::string& Name, TCaseFailure Failure, const std::string& Error = "") {
  TCaseResult R;
  R.CaseName = Name;
  R.Failure = Failure;
  R.RunError = Error;
  R.Reason = Failure == TCaseFailure::None ? "" : "что-то не так";
  return R;
}

TEST(ClassSummaryTest, CountsPassesAndWaysOfFailingWorstCaseFirst) {
  TClassSummary Summary;
  const auto Add = [&Summary](std::vector<TCaseResult> Cases) {
    TFileResult File;
    File.Loaded = true;
    File.Cases = std::move(Cases);
    Summary.Add(File);
  };
  using F = TCaseFailure;
  Add({Result("a", F::None), Result("b", F::OutputLine), Result("c", F::None)});
  Add({Result("a", F::None), Result("b", F::Error, "Деление на ноль.\nв строке"),
       Result("c", F::StepLimit)});
  Add({Result("a", F::MissingOutput), Result("b", F::Error, "Деление на ноль."),
       Result("c", F::None)});
  Add({Result("a", F::None), Result("b", F::Error, "Неизвестная переменная"),
       Result("c", F::None)});
  const std::vector<TCaseSummary> Cases = Summary.Cases();
  ASSERT_EQ(Cases.size(), 3u);
  EXPECT_EQ(Summary.Files(), 4);
  EXPECT_EQ(Cases[0].Name, "b");
  EXPECT_EQ(Cases[0].Passed, 0);
  EXPECT_EQ(Cases[0].Files, 4);
  ASSERT_EQ(Cases[0].Failures.size(), 3u);
  // The same error groups by its first line, the most frequent way first.
  EXPECT_EQ(Cases[0].Failures[0].Failure, F::Error);
  EXPECT_EQ(Cases[0].Failures[0].Message, "Деление на ноль.");
  EXPECT_EQ(Cases[0].Failures[0].Files, 2);
  EXPECT_EQ(Cases[0].Failures[1].Failure, F::OutputLine);
  EXPECT_EQ(Cases[0].Failures[2].Message, "Неизвестная переменная");
  // Ties keep the test file's order.
  EXPECT_EQ(Cases[1].Name, "a");
  EXPECT_EQ(Cases[1].Passed, 3);
  EXPECT_EQ(Cases[2].Name, "c");
  EXPECT_EQ(Cases[2].Index, 2);
  ASSERT_EQ(Cases[2].Failures.size(), 1u);
  EXPECT_EQ(Cases[2].Failures[0].Failure, F::StepLimit);
}

const char* const ClassTests = "=== положительное\n"
                               "< 2\n"
                               "> 5\n"
                               "> 2\n"
                               "=== секрет первый\n"
                               "hidden\n"
                               "< 4\n"
                               "> 2.5\n"
                               "> 4\n"
                               "> 777\n"
                               "=== отрицательное\n"
                               "< -5\n"
                               "> -2\n"
                               "> -5\n"
                               "> отрицательное\n"
                               "=== секрет второй\n"
                               "hidden\n"
                               "weight 2\n"
                               "< 0\n"
                               "> 31337\n";

TFileResult CheckDivision(const TTestFile& Tests) {
  TAlgorithm Alg;
  MakeDivisionAlgorithm(Alg);
  TFileResult File;
  File.FileName = "класс/Иванов Петя.alg";
  File.Loaded = true;
  File.Cases = CheckAlgorithm(Alg, Tests);
  return File;
}

TEST(FeedbackTest, VisibleCasesInFullHiddenOnesByNumberOnly) {
  const TTestFile Tests = ParseTestFile(ClassTests, "class.tests");
  const TFileResult File = CheckDivision(Tests);
  ASSERT_EQ(File.Cases.size(), 4u);
  ASSERT_TRUE(File.Cases[0].Passed());
  ASSERT_FALSE(File.Cases[1].Passed());
  ASSERT_FALSE(File.Cases[2].Passed());
  ASSERT_FALSE(File.Cases[3].Passed());
  EXPECT_EQ(PupilCaseName(File, 0), "положительное");
  EXPECT_EQ(PupilCaseName(File, 1), "скрытый случай 1");
  EXPECT_EQ(PupilCaseName(File, 3), "скрытый случай 2");

  const TMarkScale Marks = ParseMarkScale("5:90,4:75,3:50");
  for (const std::string& Text : {FeedbackText(File, &Marks), FeedbackHtml(File, &Marks)}) {
    SCOPED_TRACE(Text);
    EXPECT_TRUE(Contains(Text, "Иванов Петя.alg"));
    EXPECT_TRUE(Contains(Text, "1 из 5"));
    EXPECT_TRUE(Contains(Text, "Оценка: 2"));
    EXPECT_TRUE(Contains(Text, "скрытый случай 1: не пройден"));
    EXPECT_TRUE(Contains(Text, "скрытый случай 2: не пройден"));
    // The visible failure with its lines and the block that printed the
    // wrong one ("Вывод X" printed "-5" where "отрицательное" was due).
    EXPECT_TRUE(Contains(Text, "отрицательное"));
    EXPECT_TRUE(Contains(Text, "-5"));
    EXPECT_TRUE(Contains(Text, "Вывод \"минус\"") || Contains(Text, "Вывод &quot;минус&quot;"));
    // Nothing of the hidden cases: names, answers, expected or printed lines.
    for (const char* Secret : {"секрет", "777", "31337", "2.5", "Деление"})
      EXPECT_FALSE(Contains(Text, Secret)) << Secret;
  }
  // Without marks there is no mark.
  EXPECT_FALSE(Contains(FeedbackText(File), "Оценка"));
}

TEST(FeedbackTest, TextsFromFilesCannotBreakThePage) {
  const TTestFile Tests = ParseTestFile("=== <b>\"&\n< 1\n> <script>\n", "t.tests");
  TFileResult File = CheckDivision(Tests);
  File.FileName = "<i>\x1b[2J.alg";
  const std::string Html = FeedbackHtml(File);
  EXPECT_FALSE(Contains(Html, "<script>"));
  EXPECT_FALSE(Contains(Html, "<b>"));
  EXPECT_FALSE(Contains(Html, "<i>"));
  EXPECT_TRUE(Contains(Html, "&lt;script&gt;"));
  EXPECT_FALSE(Contains(FeedbackText(File), "\x1b")) << "control characters shown as escapes";
  // A line without end is quoted by its beginning.
  File.Cases[0].PrintedLines = std::vector<std::string>(1000, std::string(10000, 'x'));
  EXPECT_LT(FeedbackText(File).size(), 20000u);
}

TEST(FeedbackTest, FileNamesAreSafeAndDistinct) {
  TFeedbackNames Names;
  EXPECT_EQ(Names.Next("класс/Иванов Петя.alg"), "Иванов_Петя");
  EXPECT_EQ(Names.Next("другой/Иванов Петя.ALG"), "Иванов_Петя-2");
  EXPECT_EQ(Names.Next("иванов петя.alg"), "иванов_петя-3") << "case does not make a name new";
  EXPECT_EQ(Names.Next("../../etc/passwd"), "passwd");
  EXPECT_EQ(Names.Next(".hidden.alg"), "_hidden");
  EXPECT_EQ(Names.Next("a\nb\xff\xc2\x85.alg"), "a_b__");
  EXPECT_EQ(Names.Next(".alg"), "_alg");
  EXPECT_EQ(Names.Next("dir/"), "_");
  const std::string Long = Names.Next(std::string(300, 'z') + ".alg");
  EXPECT_EQ(Long, std::string(120, 'z'));
  const std::string LongRu = Names.Next(std::string(150, 'a') + "я" + ".alg");
  EXPECT_EQ(LongRu, std::string(120, 'a'));
  std::string Cyrillic;
  for (int I = 0; I < 100; ++I)
    Cyrillic += "ж";
  const std::string Cut = Names.Next(Cyrillic);
  EXPECT_EQ(Cut.size(), 120u) << "cut at a whole character";
}

} // namespace
