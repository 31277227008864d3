// algtool as its users meet it: a separate process, files on disk, input
// from a pipe, output and errors on the two streams, exit statuses.

#include "AlgtoolProcess.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Flowrun/Flowrun_Main.h"
#include "tools/Algtool_Files.h"
#include "tools/Algtool_Output.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string Tool = ALGTOOL_PATH;
const std::string ExamplesDir = EXAMPLES_DIR;

TProcessResult RunAlgtool(const std::vector<std::string>& Args, const std::string& Input = "") {
  return RunProcess(Tool, Args, Input);
}

bool EndsWith(const std::string& S, const std::string& End) {
  return S.size() >= End.size() && S.compare(S.size() - End.size(), End.size(), End) == 0;
}

// Saves an algorithm whose root body holds one block per line given.
std::string SaveStatements(const TTempDir& Dir, const std::string& Name,
                           std::vector<std::string> Lines) {
  TAlgorithm Alg;
  TAlgBlock* B = TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody());
  B->GetText().SetLines(Lines);
  const std::string File = Dir.Path(Name);
  Algtool::SaveAlgorithmFile(Alg, File);
  return File;
}

// What the machine itself says when it runs that algorithm.
std::string MachineError(const std::string& File) {
  TAlgorithm Alg;
  Algtool::LoadAlgorithmFile(Alg, File);
  TAlgMachine M;
  M.InitComplete();
  M.SetCurrentBlock(Alg.GetRoot());
  try {
    M.Run();
  } catch (const Exception& E) {
    return Algtool::ErrorLines(E.Message());
  }
  return "";
}

struct TExampleRun {
  const char* Name;
  std::vector<std::string> Args;
  int ExitStatus;
};

} // namespace

TEST(AlgtoolTest, ExamplesPrintWhatTheirOutFilesSay) {
  const TExampleRun Runs[] = {
      {"sum_of_series", {}, 0},
      {"maximum_of_inputs", {}, 0},
      {"table_of_squares", {}, 0},
      {"gcd", {}, 0},
      {"powers_of_two", {}, 0},
      {"drawing", {}, 0},
      {"endless_loop", {"--max-steps", "1000", "--vars"}, 3},
      {"million_sum", {}, 0},
      {"prime_count", {}, 0},
  };
  for (const TExampleRun& Run : Runs) {
    SCOPED_TRACE(Run.Name);
    const std::string Base = ExamplesDir + "/" + Run.Name;
    std::vector<std::string> Args = {"run", Base + ".alg"};
    Args.insert(Args.end(), Run.Args.begin(), Run.Args.end());
    const std::string Input =
        std::filesystem::exists(Base + ".in") ? ReadFileBytes(Base + ".in") : "";
    // The million steps take about a minute under the sanitizers on a busy
    // machine; the limit is there for a hang, not for speed.
    TProcessOptions Patient;
    Patient.TimeoutSeconds = 300;
    TProcessResult R = RunProcess(Tool, Args, Input, Patient);
    EXPECT_EQ(R.ExitStatus, Run.ExitStatus) << R.Err;
    EXPECT_EQ(R.Out, ReadFileBytes(Base + ".out"));
  }
}

TEST(AlgtoolTest, CommittedExamplesAreWhatTheModelSavesToday) {
  TTempDir Dir;
  TProcessResult R = RunProcess(MAKE_EXAMPLES_PATH, {Dir.Path("")});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  int Count = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(Dir.Path(""))) {
    SCOPED_TRACE(Entry.path().filename().string());
    EXPECT_EQ(ReadFileBytes(Entry.path().string()),
              ReadFileBytes(ExamplesDir + "/" + Entry.path().filename().string()));
    ++Count;
  }
  EXPECT_EQ(Count, 12) << "eleven algorithms and the gallery's index";
}

TEST(AlgtoolTest, InputComesTrimmedFromThePipeAndEndOfInputCancels) {
  const std::string Sum = ExamplesDir + "/sum_of_series.alg";
  // Blank lines are no answer; blanks around a value are dropped.
  TProcessResult R = RunAlgtool({"run", Sum, "--vars"}, "\n   \n  2  \n");
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "1.25\nI = 3\nN = 2\nS = 1.25\n");
  EXPECT_EQ(R.Err, ""); // no prompts when the input is not a terminal

  // The decimal point is ".", as in the desktop program.
  R = RunAlgtool({"run", Sum}, "3,5\n");
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(EndsWith(R.Err, "\"3,5\" не является числом.\n")) << R.Err;

  R = RunAlgtool({"run", ExamplesDir + "/maximum_of_inputs.alg", "--vars"}, "3\n5\n");
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(EndsWith(R.Err, "\n")) << R.Err;
  EXPECT_NE(R.Err.find("Ввод-вывод: Ввод A"), std::string::npos) << R.Err;
  // The variables read before the cancel are still reported.
  EXPECT_NE(R.Out.find("A = 5\n"), std::string::npos) << R.Out;
}

TEST(AlgtoolTest, AlgorithmErrorsEndStandardErrorWithTheMachinesText) {
  TTempDir Dir;
  const std::string File = SaveStatements(Dir, "div.alg", {"A=2", "X=A/(A-2)"});
  const std::string Expected = MachineError(File);
  ASSERT_FALSE(Expected.empty());
  TProcessResult R = RunAlgtool({"run", File, "--vars"});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(EndsWith(R.Err, Expected + "\n")) << R.Err;
  EXPECT_NE(R.Err.find("X=A/(A-2)"), std::string::npos) << "names the failing block";
  EXPECT_EQ(R.Out, "A = 2\n");

  const std::string Syntax = SaveStatements(Dir, "syntax.alg", {"это не оператор"});
  R = RunAlgtool({"run", Syntax});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(EndsWith(R.Err, MachineError(Syntax) + "\n")) << R.Err;
}

TEST(AlgtoolTest, StepLimitAndTrace) {
  TProcessResult R = RunAlgtool({"run", ExamplesDir + "/endless_loop.alg", "--max-steps", "7"});
  EXPECT_EQ(R.ExitStatus, 3);
  EXPECT_NE(R.Err.find("7"), std::string::npos) << R.Err;

  R = RunAlgtool({"run", ExamplesDir + "/table_of_squares.alg", "--trace", "--max-steps", "4"});
  EXPECT_EQ(R.ExitStatus, 3);
  EXPECT_EQ(R.Err.find("[1] Алгоритм: начало\n[2] Цикл с параметром: I=1,10,1\n    I = 1\n"), 0u)
      << R.Err;
  EXPECT_NE(R.Err.find("[3] Блок вычислений: K=I*I | C=K*I\n    C = 1\n    K = 1\n"),
            std::string::npos)
      << R.Err;
  EXPECT_NE(R.Err.find("[4] Ввод-вывод: Вывод I, K, C\n"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Out, "1 1 1\n");
}

TEST(AlgtoolTest, NewResaveAndShow) {
  TTempDir Dir;
  const std::string New = Dir.Path("new.alg");
  TProcessResult R = RunAlgtool({"new", New});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  TAlgorithm Fresh;
  Algtool::SaveAlgorithmFile(Fresh, Dir.Path("fresh.alg"));
  EXPECT_EQ(ReadFileBytes(New), ReadFileBytes(Dir.Path("fresh.alg")));
  EXPECT_EQ(ReadFileBytes(New).size(), 181u);

  // An existing file is never overwritten by "new".
  WriteFileBytes(Dir.Path("keep.alg"), "keep");
  R = RunAlgtool({"new", Dir.Path("keep.alg")});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(ReadFileBytes(Dir.Path("keep.alg")), "keep");

  const std::string Gcd = ExamplesDir + "/gcd.alg";
  R = RunAlgtool({"resave", Gcd, Dir.Path("gcd.alg")});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(ReadFileBytes(Dir.Path("gcd.alg")), ReadFileBytes(Gcd));

  R = RunAlgtool({"show", Gcd});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "Алгоритм: начало\n"
                   "  Ввод-вывод: Ввод A, B\n"
                   "  Цикл с предусловием: A<>B\n"
                   "    Ветвление: A>B\n"
                   "      да:\n"
                   "        Блок вычислений: A=A-B\n"
                   "      нет:\n"
                   "        Блок вычислений: B=B-A\n"
                   "  Ввод-вывод: Вывод A\n");
}

TEST(AlgtoolTest, BadFilesAndBadArguments) {
  TTempDir Dir;
  WriteFileBytes(Dir.Path("text.alg"), "just some text\n");
  std::string Gcd = ReadFileBytes(ExamplesDir + "/gcd.alg");
  WriteFileBytes(Dir.Path("cut.alg"), Gcd.substr(0, Gcd.size() / 2));
  for (const char* Name : {"text.alg", "cut.alg", "missing.alg"}) {
    SCOPED_TRACE(Name);
    for (const char* Command : {"run", "show"}) {
      TProcessResult R = RunAlgtool({Command, Dir.Path(Name)});
      EXPECT_EQ(R.ExitStatus, 1);
      EXPECT_FALSE(R.Err.empty());
      EXPECT_EQ(R.Out, "");
    }
    TProcessResult R = RunAlgtool({"resave", Dir.Path(Name), Dir.Path("out.alg")});
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_FALSE(std::filesystem::exists(Dir.Path("out.alg")));
  }

  const std::vector<std::vector<std::string>> Wrong = {
      {},
      {"frobnicate"},
      {"run"},
      {"run", "a.alg", "b.alg"},
      {"run", "a.alg", "--max-steps"},
      {"run", "a.alg", "--max-steps", "-5"},
      {"run", "a.alg", "--colour"},
      {"show"},
      {"resave", "a.alg"},
      {"render", "a.alg", "b.svg"},
      {"render", "a.alg"},
      {"render", "-o", "b.svg"},
      {"render", "a.alg", "-o"},
      {"render", "a.alg", "-o", "b.png", "--scale", "150"},
      {"render", "a.alg", "-o", "b.png", "--scale"},
      {"render", "a.alg", "-o", "b.svg", "--scale", "200"},
      {"render", "a.alg", "-o", "b.svg", "--colour"},
  };
  for (const auto& Args : Wrong) {
    TProcessResult R = RunAlgtool(Args);
    EXPECT_EQ(R.ExitStatus, 2) << (Args.empty() ? "" : Args[0]);
    EXPECT_NE(R.Err.find("algtool run"), std::string::npos) << "prints the usage";
  }
}

TEST(AlgtoolRender, UnknownFormatsAndFailedWritesLeaveFilesAsTheyWere) {
  TTempDir Dir;
  const std::string Gcd = ExamplesDir + "/gcd.alg";
  for (const char* Name : {"gcd.jpg", "gcd.", "gcd.svg.bak"}) {
    const std::string Out = Dir.Path(Name);
    TProcessResult R = RunAlgtool({"render", Gcd, "-o", Out});
    EXPECT_EQ(R.ExitStatus, 1) << Name;
    EXPECT_EQ(R.Err, "Неизвестный формат рисунка \"" + Out + "\": годятся .svg, .png и .pdf.\n");
    EXPECT_FALSE(std::filesystem::exists(Out)) << Name;
  }

  // A picture nobody may write over (the superuser neither: it has no write
  // bit) is refused with its name, and stays; so does one whose algorithm
  // does not load.
  for (const char* Name : {"kept.svg", "kept.PNG", "kept.pdf"}) {
    SCOPED_TRACE(Name);
    const std::string Out = Dir.Path(Name);
    WriteFileBytes(Out, "old picture");
    ASSERT_EQ(::chmod(Out.c_str(), 0444), 0);
    TProcessResult R = RunAlgtool({"render", Gcd, "-o", Out});
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_NE(R.Err.find(Out), std::string::npos) << R.Err;
    EXPECT_EQ(ReadFileBytes(Out), "old picture");
    ASSERT_EQ(::chmod(Out.c_str(), 0644), 0);
    R = RunAlgtool({"render", Dir.Path("missing.alg"), "-o", Out});
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_EQ(ReadFileBytes(Out), "old picture");
  }
  auto Leftovers = std::distance(std::filesystem::directory_iterator(Dir.Path("")),
                                 std::filesystem::directory_iterator());
  EXPECT_EQ(Leftovers, 3) << "no temporary file stays behind";
}

#if !ALGTOOL_PAINTS
TEST(AlgtoolRender, ABuildWithoutQtSaysItWritesOnlySvg) {
  TTempDir Dir;
  const std::string Out = Dir.Path("gcd.png");
  TProcessResult R = RunAlgtool({"render", ExamplesDir + "/gcd.alg", "-o", Out});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_NE(R.Err.find("пишет только SVG"), std::string::npos) << R.Err;
  EXPECT_FALSE(std::filesystem::exists(Out));
}
#endif
