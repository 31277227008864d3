// "algtool import" as its users meet it: textbook programs made into charts
// that print what the programs print, the name mapping on standard error,
// refusals that write nothing, and the usual usage errors.

#include "AlgtoolProcess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

using namespace Deskbay::Testing;

namespace {

const std::string Tool = ALGTOOL_PATH;
const std::string Data = IMPORT_DATA_DIR;

struct TTextbook {
  const char* Name;
  const char* Input;
  const char* Mapped; // the report of the Python text
};
const TTextbook Textbook[] = {{"series", "10\n", "total → T\n"},
                              {"euclid", "1071\n462\n", "rest → R\n"},
                              {"primes", "1000\n", "count → C\nis_prime → I\n"}};

// Where a program is, on the search path.
std::string Found(const std::string& Program) {
  const char* Path = std::getenv("PATH");
  std::string P = Path ? Path : "";
  for (size_t From = 0; From <= P.size();) {
    size_t End = P.find(':', From);
    if (End == std::string::npos)
      End = P.size();
    const std::string Candidate = P.substr(From, End - From) + "/" + Program;
    if (::access(Candidate.c_str(), X_OK) == 0)
      return Candidate;
    From = End + 1;
  }
  return "";
}

TEST(AlgtoolImportTest, TextbookProgramsPrintWhatTheSourcesPrint) {
  TTempDir Dir;
  const std::string Python = Found("python3"), Fpc = Found("fpc");
  for (const TTextbook& T : Textbook)
    for (const std::string Ext : {".py", ".pas"}) {
      const std::string Source = Data + "/" + T.Name + Ext;
      const std::string Chart = Dir.Path(T.Name + Ext + ".alg");
      const TProcessResult Import = RunProcess(Tool, {"import", Source, "-o", Chart});
      ASSERT_EQ(Import.ExitStatus, 0) << Import.Err;
      if (Ext == ".py") {
        EXPECT_EQ(Import.Err, T.Mapped);
      }
      const TProcessResult Run = RunProcess(Tool, {"run", Chart}, T.Input);
      EXPECT_EQ(Run.ExitStatus, 0) << Run.Err;
      std::string Expected;
      if (Ext == ".py") {
        if (Python.empty())
          continue;
        Expected = RunProcess(Python, {Source}, T.Input).Out;
      } else {
        if (Fpc.empty())
          continue;
        const std::string Copy = Dir.Path(std::string(T.Name) + ".pas");
        WriteFileBytes(Copy, ReadFileBytes(Source));
        const TProcessResult Built = RunProcess(Fpc, {"-v0", "-FE" + Dir.Path(""), Copy});
        ASSERT_EQ(Built.ExitStatus, 0) << Built.Out << Built.Err;
        Expected = RunProcess(Dir.Path(T.Name), {}, T.Input).Out;
      }
      EXPECT_FALSE(Expected.empty()) << Source;
      EXPECT_EQ(Run.Out, Expected) << Source;
    }
}

TEST(AlgtoolImportTest, StandardInputAndTheTextForm) {
  TTempDir Dir;
  const TProcessResult Py = RunProcess(
      Tool, {"import", "-", "--from", "python", "-o", Dir.Path("a.alg")}, "x = 2\nprint(x * x)\n");
  ASSERT_EQ(Py.ExitStatus, 0) << Py.Err;
  EXPECT_EQ(Py.Err, "");
  const TProcessResult Shown = RunProcess(Tool, {"show", Dir.Path("a.alg")});
  EXPECT_EQ(Shown.Out, "Алгоритм: начало\n  Блок вычислений: X=2\n  Ввод-вывод: Вывод X*X\n");
  WriteFileBytes(Dir.Path("a.txt"), Shown.Out);
  ASSERT_EQ(RunProcess(Tool, {"import", Dir.Path("a.txt"), "-o", Dir.Path("b.alg")}).ExitStatus, 0);
  ASSERT_EQ(RunProcess(Tool, {"resave", Dir.Path("a.alg"), Dir.Path("c.alg")}).ExitStatus, 0);
  EXPECT_EQ(ReadFileBytes(Dir.Path("b.alg")), ReadFileBytes(Dir.Path("c.alg")));
}

TEST(AlgtoolImportTest, ARefusalNamesThePlaceAndWritesNothing) {
  TTempDir Dir;
  const std::string Source = Dir.Path("bad.py"), Out = Dir.Path("out.alg");
  WriteFileBytes(Source, "x = 1\nprint('x =', x)\n");
  WriteFileBytes(Out, "old");
  const TProcessResult R = RunProcess(Tool, {"import", Source, "-o", Out});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_NE(R.Err.find("Файл \"" + Source + "\", строка 2, столбец 7: текст печатать нельзя"),
            std::string::npos)
      << R.Err;
  EXPECT_EQ(ReadFileBytes(Out), "old");
  const TProcessResult Folder =
      RunProcess(Tool, {"import", Dir.Path(""), "--from", "python", "-o", Dir.Path("x.alg")});
  EXPECT_EQ(Folder.ExitStatus, 1);
  EXPECT_FALSE(std::filesystem::exists(Dir.Path("x.alg")));
}

TEST(AlgtoolImportTest, WrongArgumentsAreUsageErrors) {
  for (const std::vector<std::string>& Args : {std::vector<std::string>{"import"},
                                               {"import", "a.py"},
                                               {"import", "a.c", "-o", "b.alg"},
                                               {"import", "-", "-o", "b.alg"},
                                               {"import", "a.py", "--from", "basic", "-o", "b.alg"},
                                               {"import", "a.py", "b.py", "-o", "c.alg"},
                                               {"import", "a.py", "-o"}}) {
    const TProcessResult R = RunProcess(Tool, Args);
    EXPECT_EQ(R.ExitStatus, 2) << Args.size();
    EXPECT_NE(R.Err.find("algtool: "), std::string::npos) << R.Err;
  }
}

} // namespace
