// algtool against what a damaged or hostile file, a careless command line or
// an unusual standard stream does to it: every case ends in a clear message
// and an honest exit status, and nothing outside the tool's files changes.

#include "AlgtoolProcess.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "tools/Algtool_Files.h"
#include "tools/Algtool_Output.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

using namespace Deskbay;
using namespace Deskbay::Testing;
namespace fs = std::filesystem;

namespace {

const std::string Tool = ALGTOOL_PATH;
const std::string Gcd = std::string(EXAMPLES_DIR) + "/gcd.alg";

TProcessResult RunAlgtool(const std::vector<std::string>& Args, const std::string& Input = "",
                          const TProcessOptions& Options = TProcessOptions()) {
  return RunProcess(Tool, Args, Input, Options);
}

std::string LastLine(const std::string& S) {
  std::string T = S;
  if (!T.empty() && T.back() == '\n')
    T.pop_back();
  return T.substr(T.rfind('\n') == std::string::npos ? 0 : T.rfind('\n') + 1);
}

std::string SaveBlocks(const TTempDir& Dir, const std::string& Name, const TAlgBlockClass& Class,
                       const std::vector<std::string>& Lines) {
  TAlgorithm Alg;
  Class.Create(Alg.GetRoot()->GetBody())->GetText().SetLines(Lines);
  const std::string File = Dir.Path(Name);
  Algtool::SaveAlgorithmFile(Alg, File);
  return File;
}

mode_t FileType(const std::string& Name) {
  struct stat St;
  return ::lstat(Name.c_str(), &St) == 0 ? (St.st_mode & S_IFMT) : 0;
}

} // namespace

TEST(AlgtoolOutput, ControlCharactersAreShownNotObeyed) {
  using Algtool::VisibleText;
  EXPECT_EQ(VisibleText("X=1\x1B]0;title\x07|\x1B[2J\r\t\x7F"),
            "X=1\\x1B]0;title\\x07|\\x1B[2J\\x0D\\x09\\x7F");
  EXPECT_EQ(VisibleText("Ввод A \\ \u00AB\u00BB"), "Ввод A \\ \u00AB\u00BB");
  EXPECT_EQ(VisibleText("\u009B2J \xC2\x85"), "\\u009B2J \\u0085");
  EXPECT_EQ(VisibleText("\xFF\xC3"), "\\xFF\\xC3");

  // Only CR LF breaks an error's lines; its empty last line goes.
  EXPECT_EQ(Algtool::ErrorLines("Ошибка при вычислении \"1/0\".\r\n"),
            "Ошибка при вычислении \"1/0\".");
  EXPECT_EQ(Algtool::ErrorLines("a\r\nb\nc\rd\x1B"), "a\nb\\x0Ac\\x0Dd\\x1B");
}

TEST(AlgtoolOutput, TextsFromAFileReachTheTerminalEscaped) {
  TTempDir Dir;
  const std::string File =
      SaveBlocks(Dir, "esc.alg", TBasicAlgBlock::Class, {"X=1", "\x1B]0;pwned\x07\x1B[2J"});
  TProcessResult R = RunAlgtool({"show", File});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "Алгоритм: начало\n  Блок вычислений: X=1 | \\x1B]0;pwned\\x07\\x1B[2J\n");

  R = RunAlgtool({"run", File, "--trace"});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err.find('\x1B'), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find("Синтаксическая ошибка в строке \"\\x1B]0;pwned\\x07\\x1B[2J\"."),
            std::string::npos)
      << R.Err;

  // The file's own name too, when a message names it.
  const std::string Odd = Dir.Path("odd\x1B[2J.alg");
  R = RunAlgtool({"show", Odd});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err.find('\x1B'), std::string::npos) << R.Err;
}

TEST(AlgtoolOutput, AMathErrorIsTheLastLineOfStandardError) {
  TTempDir Dir;
  const std::string File = SaveBlocks(Dir, "div.alg", TBasicAlgBlock::Class, {"A=1/0"});
  TProcessResult R = RunAlgtool({"run", File});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err, "Ошибка в блоке \"Блок вычислений: A=1/0\":\n"
                   "Ошибка при вычислении \"1/0\".\n");
}

TEST(AlgtoolOutput, ARussianLetterInANameGetsTheLookAlikeHintAfterTheMessage) {
  TTempDir Dir;
  // "К" and "А" are Cyrillic; the input word is not taken for a name.
  const std::string Assign = SaveBlocks(Dir, "k.alg", TBasicAlgBlock::Class, {"К=0"});
  TProcessResult R = RunAlgtool({"run", Assign});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err, "Ошибка в блоке \"Блок вычислений: К=0\":\n"
                   "Синтаксическая ошибка в строке \"К=0\".\n"
                   "В имени \"К\" есть русские буквы (К), похожие на латинские: на вид их не "
                   "отличить. Наберите имя латинскими буквами.\n");
  const std::string Output = SaveBlocks(Dir, "a.alg", TIOAlgBlock::Class, {"Вывод А+1"});
  R = RunAlgtool({"run", Output});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_NE(R.Err.find("В имени \"А\" есть русские буквы (А)"), std::string::npos) << R.Err;
  EXPECT_EQ(R.Err.find("Вывод\" есть"), std::string::npos) << R.Err;
}

TEST(AlgtoolOutput, OutputThatCannotBeWrittenFailsTheCommand) {
  for (const char* Where : {"-", "/dev/full"}) {
    SCOPED_TRACE(Where);
    TProcessOptions Options;
    Options.Stdout = Where;
    TProcessResult R = RunAlgtool({"show", Gcd}, "", Options);
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_EQ(R.Err, std::string("algtool: не удалось записать стандартный вывод: ") +
                         SysErrorMessage(Where[0] == '-' ? EBADF : ENOSPC) + "\n");
    R = RunAlgtool({"run", std::string(EXAMPLES_DIR) + "/table_of_squares.alg"}, "", Options);
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_NE(R.Err.find("не удалось записать стандартный вывод"), std::string::npos) << R.Err;
  }

  // A reader that went away (head) ends the tool without a word, whether
  // SIGPIPE ends it or it sees the error itself; an endless output stops too.
  TProcessOptions Options;
  Options.Stdout = "|";
  TProcessResult R = RunAlgtool({"show", Gcd}, "", Options);
  EXPECT_EQ(R.Signal, SIGPIPE);
  EXPECT_EQ(R.Err, "");
  TTempDir Dir;
  TAlgorithm Alg;
  auto* Loop = TWhileAlgBlock::Class.Create(Alg.GetRoot()->GetBody());
  Loop->GetText().Add("1=1");
  TIOAlgBlock::Class.Create(static_cast<TWhileAlgBlock*>(Loop)->GetBody())
      ->GetText()
      .Add("Вывод 1");
  Algtool::SaveAlgorithmFile(Alg, Dir.Path("endless.alg"));
  Options.IgnoreSigpipe = true;
  Options.TimeoutSeconds = 20;
  R = RunAlgtool({"run", Dir.Path("endless.alg")}, "", Options);
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err, "");
}

TEST(AlgtoolOutput, UsageErrorsEndWithTheirReason) {
  TProcessResult R = RunAlgtool({"run", Gcd, "--max-steps", "99999999999999999999"});
  EXPECT_EQ(R.ExitStatus, 2);
  EXPECT_EQ(LastLine(R.Err), "algtool: число шагов после --max-steps слишком велико "
                             "(не больше 9223372036854775807).");
  R = RunAlgtool({"run", Gcd, "--max-steps", "9223372036854775807"}, "4\n6\n");
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "2\n");
  R = RunAlgtool({"frobnicate"});
  EXPECT_EQ(R.ExitStatus, 2);
  EXPECT_EQ(R.Err.find("Использование:"), 0u);
  EXPECT_EQ(LastLine(R.Err), "algtool: неизвестная команда \"frobnicate\".");
}

TEST(AlgtoolFiles, ADamagedFileIsNamedAndWhatIsWrongSaidInRussian) {
  TTempDir Dir;
  const std::string Bytes = ReadFileBytes(Gcd);
  struct TCase {
    const char* Name;
    std::string Data;
    const char* Reason;
  } Cases[] = {
      {"cut.alg", Bytes.substr(0, Bytes.size() / 2),
       "файл обрывается: данные кончаются посреди записи алгоритма."},
      // The root's record magic spoilt.
      {"magic.alg", Bytes.substr(0, 29) + "X" + Bytes.substr(30),
       "данные повреждены: записи алгоритма не согласуются между собой."},
      // The algorithm's format number (right after its sizes) from a newer program.
      {"newer.alg", Bytes.substr(0, 25) + '\x02' + Bytes.substr(26),
       "данные файла записаны в формате 2, а эта программа читает только формат 1: они из "
       "более новой версии программы или повреждены."},
  };
  ASSERT_EQ(Bytes.substr(25, 8), std::string("\x01\x00\x00\x00"
                                             "BAG\x1A",
                                             8));
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    WriteFileBytes(Dir.Path(C.Name), C.Data);
    TProcessResult R = RunAlgtool({"show", Dir.Path(C.Name)});
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_EQ(R.Err, "Не удалось прочитать алгоритм из файла \"" + Dir.Path(C.Name) + "\":\n" +
                         C.Reason + "\n");
  }
}

TEST(AlgtoolFiles, TypedValuesTooLargeOrTooLongAreRefusedAtOnce) {
  TTempDir Dir;
  const std::string File = SaveBlocks(Dir, "in.alg", TIOAlgBlock::Class, {"Ввод A", "Вывод A"});
  TProcessResult R = RunAlgtool({"run", File}, "1e400\n");
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(LastLine(R.Err), "\"1e400\" не является числом.");
  EXPECT_EQ(R.Out, "");

  // 20 MB on one line without an end: read in bounded pieces and quoted
  // by its beginning.
  R = RunAlgtool({"run", File}, std::string(20 << 20, '7'));
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(LastLine(R.Err), "\"" + std::string(40, '7') + "…\" не является числом.");
  EXPECT_LT(R.Err.size(), 200u);
  // A long line followed by a good one: the long one is still no number.
  R = RunAlgtool({"run", File}, std::string(10000, '7') + "\n5\n");
  EXPECT_EQ(R.ExitStatus, 1);
  R = RunAlgtool({"run", File}, std::string(4000, ' ') + "5\n");
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "5\n");
  // A NUL byte does not end the answer early: "2<NUL>junk" is no number.
  R = RunAlgtool({"run", File}, std::string("2\0junk\n", 7));
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Out, "");
}

TEST(AlgtoolFiles, DevicesAndFifosAreWrittenIntoAndNeverWaitedOnForReading) {
  TTempDir Dir;
  const std::string Fifo = Dir.Path("fifo");
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  // Reading from a FIFO without a writer is refused at once.
  TProcessOptions Quick;
  Quick.TimeoutSeconds = 20;
  TProcessResult R = RunAlgtool({"show", Fifo}, "", Quick);
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err, "Не удалось открыть файл \"" + Fifo + "\": это не обычный файл\n");

  std::string Svg;
  std::thread Reader([&] { Svg = ReadFileBytes(Fifo); });
  R = RunAlgtool({"render", Gcd, "-o", Fifo}, "", Quick);
  Reader.join();
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  ASSERT_EQ(RunAlgtool({"render", Gcd, "-o", Dir.Path("gcd.svg")}).ExitStatus, 0);
  EXPECT_EQ(Svg, ReadFileBytes(Dir.Path("gcd.svg")));
  EXPECT_EQ(FileType(Fifo), S_IFIFO);

  if (::geteuid() != 0)
    GTEST_SKIP() << "device nodes are made by root only";
  const std::string Null = Dir.Path("null");
  ASSERT_EQ(::mknod(Null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  R = RunAlgtool({"resave", Gcd, Null});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(FileType(Null), S_IFCHR);
  R = RunAlgtool({"new", Null});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(FileType(Null), S_IFCHR);
}

TEST(AlgtoolFiles, LinksThatDangleOrLoop) {
  TTempDir Dir;
  fs::create_symlink("target.alg", Dir.Path("dangling.alg"));
  // "new" refuses a dangling link as it refuses a file...
  TProcessResult R = RunAlgtool({"new", Dir.Path("dangling.alg")});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err, "Файл \"" + Dir.Path("dangling.alg") + "\" уже существует.\n");
  EXPECT_FALSE(fs::exists(Dir.Path("target.alg")));
  // ...while saving through it creates the file it names.
  R = RunAlgtool({"resave", Gcd, Dir.Path("dangling.alg")});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(ReadFileBytes(Dir.Path("target.alg")), ReadFileBytes(Gcd));
  EXPECT_EQ(FileType(Dir.Path("dangling.alg")), S_IFLNK);

  fs::create_symlink("b.alg", Dir.Path("a.alg"));
  fs::create_symlink("a.alg", Dir.Path("b.alg"));
  R = RunAlgtool({"resave", Gcd, Dir.Path("a.alg")});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_EQ(R.Err, "Не удалось сохранить файл \"" + Dir.Path("a.alg") +
                       "\": " + SysErrorMessage(ELOOP) + "\n");
}
