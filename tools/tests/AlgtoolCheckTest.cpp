// "algtool check" as a teacher meets it: a test file and pupils' algorithm
// files on disk, the report on standard output, the exit status.

#include "AlgtoolProcess.h"

#include "Corekit/SysUtils.h"
#include "tools/Algtool_Files.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <variant>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string Tool = ALGTOOL_PATH;
const std::string ExamplesDir = EXAMPLES_DIR;

TProcessResult Check(const std::vector<std::string>& Args) {
  std::vector<std::string> All = {"check"};
  All.insert(All.end(), Args.begin(), Args.end());
  return RunProcess(Tool, All);
}

bool Contains(const std::string& S, const std::string& Part) {
  return S.find(Part) != std::string::npos;
}

struct TBlock {
  const TAlgBlockClass* Class;
  std::vector<std::string> Lines;
  std::vector<TBlock> Body; // for loops
};

void AddBlocks(TAlgBlock* Parent, const std::vector<TBlock>& Blocks) {
  for (const TBlock& B : Blocks) {
    TAlgBlock* Block = B.Class->Create(Parent);
    Block->GetText().SetLines(B.Lines);
    if (B.Body.empty())
      continue;
    if (auto* If = dynamic_cast<TIfAlgBlock*>(Block))
      AddBlocks(If->GetYesBranch(), B.Body); // a branch's body is its "yes" way
    else
      AddBlocks(static_cast<TContainerAlgBlock*>(Block)->GetBody(), B.Body);
  }
}

std::string SaveAlgorithm(const TTempDir& Dir, const std::string& Name,
                          const std::vector<TBlock>& Blocks) {
  TAlgorithm Alg;
  AddBlocks(Alg.GetRoot()->GetBody(), Blocks);
  const std::string File = Dir.Path(Name);
  Algtool::SaveAlgorithmFile(Alg, File);
  return File;
}

std::string WriteTests(const TTempDir& Dir, const std::string& Text,
                       const std::string& Name = "tests.txt") {
  WriteFileBytes(Dir.Path(Name), Text);
  return Dir.Path(Name);
}

// RFC 4180 records, quoted fields with doubled quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& Text) {
  std::vector<std::vector<std::string>> Rows(1, std::vector<std::string>(1));
  bool Quoted = false;
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (Quoted) {
      if (C == '"' && I + 1 < Text.size() && Text[I + 1] == '"')
        Rows.back().back() += Text[++I];
      else if (C == '"')
        Quoted = false;
      else
        Rows.back().back() += C;
    } else if (C == '"') {
      Quoted = true;
    } else if (C == ',') {
      Rows.back().emplace_back();
    } else if (C == '\n') {
      Rows.emplace_back(1);
    } else {
      Rows.back().back() += C;
    }
  }
  if (Rows.back().size() == 1 && Rows.back()[0].empty())
    Rows.pop_back();
  return Rows;
}

// The rows of cases, without the summary row of each file (no case name).
std::vector<std::vector<std::string>> CaseRows(std::vector<std::vector<std::string>> Rows) {
  std::erase_if(Rows, [](const auto& Row) { return Row.size() > 1 && Row[1].empty(); });
  return Rows;
}

// Just enough JSON for the report: an array of flat objects whose values are
// strings, whole numbers, true, false or null.
using TJsonValue = std::variant<std::nullptr_t, bool, long long, std::string>;
using TJsonRow = std::map<std::string, TJsonValue>;

class TJsonReader {
public:
  explicit TJsonReader(const std::string& Text) : FText(Text) {}

  std::vector<TJsonRow> ReadRows() {
    std::vector<TJsonRow> Rows;
    Expect('[');
    if (Peek() == ']') {
      ++FPos;
    } else {
      do {
        Rows.push_back(ReadRow());
      } while (Next() == ',');
      EXPECT_EQ(FText[FPos - 1], ']');
    }
    SkipSpace();
    EXPECT_EQ(FPos, FText.size()) << "nothing after the array";
    return Rows;
  }

private:
  const std::string& FText;
  size_t FPos = 0;

  void SkipSpace() {
    while (FPos < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPos])))
      ++FPos;
  }
  char Peek() {
    SkipSpace();
    return FPos < FText.size() ? FText[FPos] : '\0';
  }
  char Next() {
    const char C = Peek();
    ++FPos;
    return C;
  }
  void Expect(char C) {
    if (Next() != C)
      throw std::runtime_error(std::string("expected ") + C + " at " + std::to_string(FPos));
  }

  TJsonRow ReadRow() {
    TJsonRow Row;
    Expect('{');
    do {
      const std::string Key = ReadString();
      Expect(':');
      Row[Key] = ReadValue();
    } while (Next() == ',');
    if (FText[FPos - 1] != '}')
      throw std::runtime_error("unterminated object");
    return Row;
  }

  TJsonValue ReadValue() {
    const char C = Peek();
    if (C == '"')
      return ReadString();
    for (const char* Word : {"true", "false", "null"})
      if (FText.compare(FPos, std::strlen(Word), Word) == 0) {
        FPos += std::strlen(Word);
        if (Word[0] == 'n')
          return nullptr;
        return Word[0] == 't';
      }
    size_t Used = 0;
    const long long N = std::stoll(FText.substr(FPos), &Used);
    FPos += Used;
    return N;
  }

  std::string ReadString() {
    Expect('"');
    std::string S;
    for (;;) {
      const char C = FText.at(FPos++);
      if (C == '"')
        return S;
      if (static_cast<unsigned char>(C) < 0x20)
        throw std::runtime_error("raw control character in a string");
      if (C != '\\') {
        S += C;
        continue;
      }
      const char E = FText.at(FPos++);
      if (E == 'n')
        S += '\n';
      else if (E == 't')
        S += '\t';
      else if (E == 'u') {
        const unsigned Code = std::stoul(FText.substr(FPos, 4), nullptr, 16);
        FPos += 4;
        if (Code < 0x80)
          S += static_cast<char>(Code);
        else if (Code == 0xFFFD)
          S += "\xEF\xBF\xBD";
        else
          throw std::runtime_error("unexpected escape");
      } else
        S += E;
    }
  }
};

std::vector<TJsonRow> JsonCaseRows(std::vector<TJsonRow> Rows) {
  std::erase_if(Rows, [](const TJsonRow& Row) { return !Row.count("case"); });
  return Rows;
}

// The processes whose parent is Parent.
std::vector<pid_t> ChildrenOf(pid_t Parent) {
  std::vector<pid_t> Children;
  DIR* Proc = opendir("/proc");
  if (!Proc)
    return Children;
  while (dirent* Entry = readdir(Proc)) {
    const pid_t Pid = static_cast<pid_t>(std::atoi(Entry->d_name));
    if (Pid <= 0)
      continue;
    std::ifstream Stat("/proc/" + std::string(Entry->d_name) + "/stat");
    std::string Line;
    std::getline(Stat, Line);
    // "pid (name) state ppid ...": the name may hold blanks and parentheses.
    const size_t Close = Line.rfind(')');
    if (Close == std::string::npos)
      continue;
    std::istringstream Rest(Line.substr(Close + 1));
    std::string State;
    long ParentPid = 0;
    if (Rest >> State >> ParentPid && ParentPid == Parent)
      Children.push_back(Pid);
  }
  closedir(Proc);
  return Children;
}

const std::vector<TBlock> SumOfTwo = {
    {&TIOAlgBlock::Class, {"Ввод A, B"}, {}},
    {&TIOAlgBlock::Class, {"Вывод A+B"}, {}},
};

} // namespace

TEST(AlgtoolCheckTest, ExampleTaskPassesTheRightSolutionAndNamesTheSlip) {
  const std::string Tests = ExamplesDir + "/average.tests";
  const std::string Right = ExamplesDir + "/average.alg";
  const std::string Slip = ExamplesDir + "/average_mistake.alg";
  TProcessResult R = Check({Tests, Right, Slip});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  EXPECT_EQ(R.Out, Right + ": 6/6\n" + Slip +
                       ": 1/6, случай \"три числа\": строка вывода 1: ожидалось \"6 2\", "
                       "выведено \"6 1.5\"\n"
                       "Файлы, прошедшие все случаи: 1 из 2.\n");
  EXPECT_EQ(R.Err, "");

  R = Check({Tests, Right});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, Right + ": 6/6\nФайлы, прошедшие все случаи: 1 из 1.\n");
}

TEST(AlgtoolCheckTest, EachReasonOfFailureIsNamed) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const std::string Divide = SaveAlgorithm(Dir, "divide.alg",
                                           {{&TIOAlgBlock::Class, {"Ввод A, B"}, {}},
                                            {&TBasicAlgBlock::Class, {"C=A/B"}, {}},
                                            {&TIOAlgBlock::Class, {"Вывод C"}, {}}});
  // Prints without end: the first line too many ends the run at once,
  // long before the default step limit.
  const std::string Chatter = SaveAlgorithm(
      Dir, "chatter.alg",
      {{&TBasicAlgBlock::Class, {"I=0"}, {}},
       {&TWhileAlgBlock::Class,
        {"I>=0"},
        {{&TIOAlgBlock::Class, {"Вывод I"}, {}}, {&TBasicAlgBlock::Class, {"I=I+1"}, {}}}}});
  const std::string Tests = WriteTests(Dir, "=== сумма\n< 2\n< 3\n>5   \n"
                                            "=== лишняя\n< 1\n< 1\n"
                                            "=== нехватка\n< 1\n< 2\n> 3\n> 4\n"
                                            "=== без ответа\n< 1\n> 1\n"
                                            "=== деление на ноль\n< 1\n< 0\n> 0\n"
                                            "=== ошибка\n< 1\n< 0\n! Ошибка при вычислении\n"
                                            "=== любая ошибка\n< 1\n< 0\n!\n"
                                            "=== другая ошибка\n< 1\n< x\n! Ошибка при\n"
                                            "=== без ошибки\n< 4\n< 2\n! Ошибка\n"
                                            "=== вывод до ошибки\n< 4\n< 0\n> 1\n! Ошибка\n"
                                            "=== шаги\nsteps 3\n< 6\n< 2\n> 3\n");
  TProcessResult R = Check({Tests, Sum, Divide, "--format", "csv", "--jobs", "2"});
  ASSERT_EQ(R.ExitStatus, 4) << R.Err;
  const auto Rows = CaseRows(ParseCsv(R.Out));
  ASSERT_EQ(Rows.size(), 1u + 2 * 11) << R.Out;
  std::map<std::string, std::vector<std::string>> Sums, Divisions;
  for (size_t I = 1; I < Rows.size(); ++I) {
    ASSERT_EQ(Rows[I].size(), 17u);
    if (Rows[I][0] == Sum)
      Sums[Rows[I][1]] = Rows[I];
    else if (Rows[I][0] == Divide)
      Divisions[Rows[I][1]] = Rows[I];
  }
  // Columns: file, case, passed, failure, reason, line, expected, actual, steps.
  EXPECT_EQ(Sums["сумма"][2], "true") << "trailing blanks are ignored";
  EXPECT_EQ(Sums["сумма"][8], "3");
  EXPECT_EQ(Sums["лишняя"][3], "extra-output");
  EXPECT_EQ(Sums["лишняя"][4], "лишняя строка вывода 1: \"2\"");
  EXPECT_EQ(Sums["лишняя"][5], "1");
  EXPECT_EQ(Sums["нехватка"][3], "missing-output");
  EXPECT_EQ(Sums["нехватка"][4], "строка вывода 2: ожидалось \"4\", но вывод закончился");
  EXPECT_EQ(Sums["без ответа"][3], "no-answer");
  EXPECT_EQ(Sums["без ответа"][4],
            "ответы случая кончились: нет ответа на вопрос \"Введите значение B:\"");

  EXPECT_EQ(Divisions["сумма"][3], "output-line");
  EXPECT_EQ(Divisions["сумма"][6], "5") << "trailing blanks are not part of the line";
  EXPECT_EQ(Divisions["сумма"][7], "0.6666666667");
  EXPECT_EQ(Divisions["деление на ноль"][3], "error");
  EXPECT_EQ(Divisions["деление на ноль"][4],
            "ошибка в блоке \"Блок вычислений: C=A/B\": Ошибка при вычислении \"A/B\".");
  EXPECT_EQ(Divisions["ошибка"][2], "true");
  EXPECT_EQ(Divisions["любая ошибка"][2], "true");
  EXPECT_EQ(Divisions["другая ошибка"][3], "wrong-error");
  EXPECT_EQ(Divisions["другая ошибка"][7], "\"x\" не является числом.");
  EXPECT_EQ(Divisions["без ошибки"][3], "no-error");
  EXPECT_EQ(Divisions["без ошибки"][4],
            "ожидалась ошибка с текстом \"Ошибка\", но алгоритм закончился без ошибки");
  EXPECT_EQ(Divisions["вывод до ошибки"][3], "missing-output") << "output is checked with !";
  EXPECT_EQ(Divisions["шаги"][3], "step-limit");
  EXPECT_EQ(Divisions["шаги"][4], "алгоритм не закончился: исчерпан предел шагов (3)");
  EXPECT_EQ(Divisions["шаги"][8], "3");

  R = Check({WriteTests(Dir, "=== бесконечный вывод\n> 0\n", "chatter.txt"), Chatter, "--format",
             "json"});
  EXPECT_TRUE(Contains(R.Out, "\"failure\": \"extra-output\", \"reason\": \"лишняя строка "
                              "вывода 2: \\\"1\\\"\", \"line\": 2, \"expected\": \"\", "
                              "\"actual\": \"1\", \"steps\": 7, \"pupil\": \"chatter.alg\", "
                              "\"hidden\": false, \"weight\": 1}"))
      << R.Out;
}

TEST(AlgtoolCheckTest, MistakesInTheTestFileAreNamedByLineAndNothingRuns) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const struct {
    std::string Text;
    std::string Message;
  } Mistakes[] = {
      {"=== a\n< 1\n\nвывод 3\n", "строка 4: непонятная строка \"вывод 3\""},
      {"# задача\n< 1\n=== a\n", "строка 2: строка \"< 1\" стоит до первого случая"},
      {"=== a\n===   \n", "строка 2: у случая нет имени"},
      {"=== a\n> 1\n=== b\n=== a\n", "строка 4: случай \"a\" уже есть в строке 1"},
      {"=== a\n! x\n! y\n", "строка 3: ожидаемая ошибка этого случая уже задана в строке 2"},
      {"=== a\nsteps 0\n", "строка 2: после steps нужно целое число шагов больше нуля"},
      {"=== a\nsteps 1e6\n", "строка 2: после steps нужно целое число шагов больше нуля"},
      {"=== a\nsteps 5\nsteps 6\n", "строка 3: предел шагов этого случая уже задан в строке 2"},
      {"=== a\n> \xC0\xC1\n", "строка 2: строка не в кодировке UTF-8"},
      {"# только комментарий\n\n", "в нём нет ни одного случая"},
      // A long line is quoted by its first 60 letters, never cut inside one.
      {"=== a\n" + std::string(20, ' ') + "ю" + std::string(58, 'x') + "юю\n",
       "непонятная строка \"ю" + std::string(58, 'x') + "ю…\""},
      // An answer with a NUL byte would pass for what stands before it.
      {std::string("=== a\n< 2\0junk\n> 2\n", 20), "строка 2: в строке нулевой байт"},
      {std::string("=== a\n< 1\n# \0\n", 15), "строка 3: в строке нулевой байт"},
  };
  for (const auto& M : Mistakes) {
    SCOPED_TRACE(M.Text);
    const std::string Tests = WriteTests(Dir, M.Text);
    TProcessResult R = Check({Tests, Sum});
    EXPECT_EQ(R.ExitStatus, 1);
    EXPECT_EQ(R.Out, "");
    EXPECT_TRUE(Contains(R.Err, "Файл тестов \"" + Tests + "\"")) << R.Err;
    EXPECT_TRUE(Contains(R.Err, M.Message)) << R.Err;
  }
  TProcessResult R = Check({Dir.Path("missing.txt"), Sum});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(Contains(R.Err, "missing.txt")) << R.Err;
  R = Check({Dir.Path(""), Sum});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(Contains(R.Err, "это папка")) << R.Err;

  // What editors add is no mistake: a byte order mark, CR LF line ends,
  // indented lines, comments.
  const std::string Tests =
      WriteTests(Dir, "\xEF\xBB\xBF# сумма\r\n=== a\r\n  < 2\r\n\t< 3\r\n  # пять\r\n  > 5\r\n");
  R = Check({Tests, Sum});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err << R.Out;
}

TEST(AlgtoolCheckTest, DamagedAndForeignFilesFailTheirRowsOnly) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const std::string Tests = WriteTests(Dir, "=== a\n< 1\n< 2\n> 3\n=== b\n< 0\n< 0\n> 0\n");
  WriteFileBytes(Dir.Path("text.alg"), "just some text\n");
  const std::string Bytes = ReadFileBytes(Sum);
  WriteFileBytes(Dir.Path("cut.alg"), Bytes.substr(0, Bytes.size() / 2));
  const std::vector<std::string> Bad = {Dir.Path("text.alg"), Dir.Path("cut.alg"),
                                        Dir.Path("missing.alg")};

  TProcessResult R = Check({Tests, Bad[0], Sum, Bad[1], Bad[2], Sum});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  std::vector<std::string> Out;
  for (size_t Start = 0, End; (End = R.Out.find('\n', Start)) != std::string::npos; Start = End + 1)
    Out.push_back(R.Out.substr(Start, End - Start));
  ASSERT_EQ(Out.size(), 6u) << R.Out;
  EXPECT_EQ(Out[0], Bad[0] + ": 0/2, Файл \"" + Bad[0] + "\" не является файлом алгоритма.");
  EXPECT_EQ(Out[1], Sum + ": 2/2");
  EXPECT_TRUE(Out[2].starts_with(Bad[1] + ": 0/2, ")) << Out[2];
  EXPECT_TRUE(Contains(Out[3], "missing.alg")) << Out[3];
  EXPECT_EQ(Out[4], Sum + ": 2/2");
  EXPECT_EQ(Out[5], "Файлы, прошедшие все случаи: 2 из 5.");

  R = Check({Tests, Bad[0], Bad[1], Bad[2], "--format", "json"});
  EXPECT_EQ(R.ExitStatus, 1) << "no file could be read";
  const std::vector<TJsonRow> Rows = JsonCaseRows(TJsonReader(R.Out).ReadRows());
  ASSERT_EQ(Rows.size(), 6u);
  for (const TJsonRow& Row : Rows) {
    EXPECT_EQ(std::get<bool>(Row.at("passed")), false);
    EXPECT_EQ(std::get<std::string>(Row.at("failure")), "unreadable");
    EXPECT_FALSE(std::get<std::string>(Row.at("reason")).empty());
  }
}

TEST(AlgtoolCheckTest, CsvAndJsonCarryTheSameRowsAsTheText) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const std::string Odd = SaveAlgorithm(Dir, "=odd, \"name\".alg", SumOfTwo);
  const std::string Tests = WriteTests(Dir, "=== два, \"кавычки\"\n< 1\n< 2\n> 3\n"
                                            "=== неверно\n< 1\n< 2\n> 4\n");
  TProcessResult Csv = Check({Tests, Sum, Odd, "--format", "csv"});
  TProcessResult Json = Check({Tests, Sum, Odd, "--format", "json"});
  EXPECT_EQ(Csv.ExitStatus, 4);
  EXPECT_EQ(Json.ExitStatus, 4);
  const auto CsvRows = CaseRows(ParseCsv(Csv.Out));
  const std::vector<TJsonRow> JsonRows = JsonCaseRows(TJsonReader(Json.Out).ReadRows());
  ASSERT_EQ(CsvRows.size(), 5u) << Csv.Out;
  ASSERT_EQ(JsonRows.size(), 4u);
  const std::vector<std::string> Header = {
      "file",  "case",  "passed", "failure",   "reason",    "line",   "expected", "actual", "steps",
      "pupil", "cases", "score",  "max_score", "unreached", "hidden", "weight",   "mark"};
  EXPECT_EQ(CsvRows[0], Header);
  for (size_t I = 0; I < JsonRows.size(); ++I) {
    SCOPED_TRACE(I);
    const auto& C = CsvRows[I + 1];
    const TJsonRow& J = JsonRows[I];
    ASSERT_EQ(C.size(), Header.size());
    ASSERT_EQ(J.size(), 12u);
    const std::string File = std::get<std::string>(J.at("file"));
    EXPECT_EQ(File, I < 2 ? Sum : Odd);
    // A spreadsheet would take "=..." for a formula; "./" keeps it the same file.
    EXPECT_EQ(C[0], File[0] == '=' ? "./" + File : File);
    EXPECT_EQ(C[1], std::get<std::string>(J.at("case")));
    EXPECT_EQ(C[2], std::get<bool>(J.at("passed")) ? "true" : "false");
    for (int Column : {3, 4, 6, 7})
      EXPECT_EQ(C[Column], std::get<std::string>(J.at(Header[Column])));
    const TJsonValue& Line = J.at("line");
    EXPECT_EQ(C[5], std::holds_alternative<std::nullptr_t>(Line)
                        ? ""
                        : std::to_string(std::get<long long>(Line)));
    EXPECT_EQ(C[8], std::to_string(std::get<long long>(J.at("steps"))));
    EXPECT_EQ(C[14], std::get<bool>(J.at("hidden")) ? "true" : "false");
    EXPECT_EQ(C[15], std::to_string(std::get<long long>(J.at("weight"))));
  }
  EXPECT_EQ(CsvRows[1][1], "два, \"кавычки\"");
  EXPECT_EQ(CsvRows[2][3], "output-line");
  EXPECT_EQ(CsvRows[2][4], "строка вывода 1: ожидалось \"4\", выведено \"3\"");

  // A file name that is not UTF-8 still makes valid JSON, its bytes shown.
  const std::string Latin1 = Dir.Path("\xE9t\xE9.alg");
  WriteFileBytes(Latin1, ReadFileBytes(Sum));
  Json = Check({Tests, Latin1, "--format", "json"});
  const std::vector<TJsonRow> Rows = TJsonReader(Json.Out).ReadRows();
  ASSERT_EQ(Rows.size(), 3u);
  EXPECT_TRUE(Contains(std::get<std::string>(Rows[0].at("file")), "\\xE9t\\xE9.alg"));
}

TEST(AlgtoolCheckTest, ParallelCheckingGivesTheSequentialResults) {
  TTempDir Dir;
  const std::vector<std::vector<TBlock>> Kinds = {
      SumOfTwo,
      {{&TIOAlgBlock::Class, {"Ввод A, B"}, {}}, {&TIOAlgBlock::Class, {"Вывод A-B"}, {}}},
      {{&TIOAlgBlock::Class, {"Ввод A"}, {}}, {&TIOAlgBlock::Class, {"Вывод A"}, {}}},
      {{&TBasicAlgBlock::Class, {"I=0"}, {}},
       {&TWhileAlgBlock::Class, {"I>=0"}, {{&TBasicAlgBlock::Class, {"I=I+1"}, {}}}}},
  };
  std::vector<std::string> Args = {
      WriteTests(Dir, "=== a\nsteps 2000\n< 1\n< 2\n> 3\n=== b\nsteps 2000\n< 5\n< 5\n> 10\n")};
  for (int I = 0; I < 24; ++I) {
    if (I % 7 == 3) {
      WriteFileBytes(Dir.Path(std::to_string(I) + ".alg"), "not an algorithm");
      Args.push_back(Dir.Path(std::to_string(I) + ".alg"));
    } else {
      Args.push_back(SaveAlgorithm(Dir, std::to_string(I) + ".alg", Kinds[I % Kinds.size()]));
    }
  }
  for (const char* Format : {"text", "csv", "json"}) {
    SCOPED_TRACE(Format);
    std::vector<std::string> One = Args, Four = Args, Many = Args;
    One.insert(One.end(), {"--format", Format, "--jobs", "1"});
    Four.insert(Four.end(), {"--jobs", "4", "--format", Format});
    Many.insert(Many.end(), {"--format", Format, "--jobs", "64"});
    const TProcessResult A = Check(One), B = Check(Four), C = Check(Many);
    EXPECT_EQ(A.ExitStatus, 4);
    EXPECT_EQ(A.Out, B.Out);
    EXPECT_EQ(A.Out, C.Out);
    EXPECT_EQ(A.ExitStatus, B.ExitStatus);
    EXPECT_EQ(A.Err, B.Err);
  }
}

TEST(AlgtoolCheckTest, ExitStatusesAndWrongArguments) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const std::string Tests = WriteTests(Dir, "=== a\n< 1\n< 2\n> 3\n");
  EXPECT_EQ(Check({Tests, Sum}).ExitStatus, 0);
  EXPECT_EQ(Check({Tests, Sum, Sum, "--jobs", "3", "--format", "json"}).ExitStatus, 0);
  EXPECT_EQ(Check({WriteTests(Dir, "=== a\n> 1\n", "fail.txt"), Sum}).ExitStatus, 4);
  EXPECT_EQ(Check({Tests, Dir.Path("missing.alg")}).ExitStatus, 1);
  EXPECT_EQ(Check({WriteTests(Dir, "oops\n", "bad.txt"), Sum}).ExitStatus, 1);

  // Before the test file an option must be right; after it, see below.
  const std::vector<std::vector<std::string>> Wrong = {
      {},
      {Tests},
      {"--format", Tests, Sum},
      {"--format", "xml", Tests, Sum},
      {"--jobs", Tests, Sum},
      {"--jobs", "0", Tests, Sum},
      {"--jobs", "-2", Tests, Sum},
      {"--quiet", Tests, Sum},
      {Tests, "--"},
  };
  for (const auto& Args : Wrong) {
    TProcessResult R = Check(Args);
    EXPECT_EQ(R.ExitStatus, 2) << R.Err;
    EXPECT_TRUE(Contains(R.Err, "algtool check")) << "prints the usage";
    EXPECT_EQ(R.Out, "");
  }
  // "--" ends the options: what follows is a file, even one called "--jobs".
  TProcessResult R = Check({Tests, Sum, "--", "--jobs"});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  EXPECT_TRUE(Contains(R.Out, "--jobs: 0/1")) << R.Out;
}

TEST(AlgtoolCheckTest, PupilsFilesNamedLikeOptionsAreCheckedAsFiles) {
  // "algtool check t.tests *" in a folder where pupils chose the names.
  TTempDir Dir;
  const std::vector<std::string> Pupils = {"--format", "--jobs", "-v.alg", "4", "csv", "sum.alg"};
  for (const std::string& Name : Pupils)
    SaveAlgorithm(Dir, Name, SumOfTwo);
  WriteTests(Dir, "=== a\n< 1\n< 2\n> 3\n", "t.tests");
  TProcessOptions InDir;
  InDir.WorkingDir = Dir.Path("");
  std::vector<std::string> Args = {"check", "t.tests"};
  Args.insert(Args.end(), Pupils.begin(), Pupils.end());
  TProcessResult R = RunProcess(Tool, Args, "", InDir);
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "--format: 1/1\n--jobs: 1/1\n-v.alg: 1/1\n4: 1/1\ncsv: 1/1\nsum.alg: 1/1\n"
                   "Файлы, прошедшие все случаи: 6 из 6.\n");

  // An option written exactly is one, also after the files; after "--"
  // nothing is.
  R = RunProcess(Tool, {"check", "t.tests", "sum.alg", "--format", "csv", "--jobs", "2"}, "",
                 InDir);
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_TRUE(R.Out.starts_with("file,case,")) << R.Out;
  R = RunProcess(Tool, {"check", "t.tests", "--", "--format", "csv"}, "", InDir);
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "--format: 1/1\ncsv: 1/1\nФайлы, прошедшие все случаи: 2 из 2.\n");
  R = RunProcess(Tool, {"check", "--help"}, "", InDir);
  EXPECT_TRUE(Contains(R.Err, "[--]")) << R.Err;
}

TEST(AlgtoolCheckTest, ReportsShowControlCharactersFromFilesAsEscapes) {
  TTempDir Dir;
  // A pupil's name that would print a passing line and hide the rest.
  const std::string Fake = SaveAlgorithm(Dir, "petrov.alg: 2∕2\x1B[8m\n", SumOfTwo);
  const std::string Tests = WriteTests(Dir, "=== x\x1B]0;title\x07"
                                            "a\n< 1\n< 2\n> 4\n"
                                            "=== b\n< 1\n< 2\n> 3\n");
  const std::string Visible = Dir.Path("petrov.alg: 2∕2\\x1B[8m\\x0A");
  TProcessResult Text = Check({Tests, Fake});
  EXPECT_EQ(Text.ExitStatus, 4) << Text.Err;
  EXPECT_EQ(Text.Out, Visible +
                          ": 1/2, случай \"x\\x1B]0;title\\x07a\": строка вывода 1: ожидалось "
                          "\"4\", выведено \"3\"\nФайлы, прошедшие все случаи: 0 из 1.\n");

  const std::string Odd = SaveAlgorithm(
      Dir, "odd.alg", {{&TBasicAlgBlock::Class, {"X=1\x1B[2J"}, {}}, SumOfTwo[0], SumOfTwo[1]});
  for (const char* Format : {"csv", "json"}) {
    SCOPED_TRACE(Format);
    TProcessResult R = Check({Tests, Fake, Odd, "--format", Format});
    EXPECT_EQ(R.ExitStatus, 4) << R.Err;
    for (char C : R.Out)
      EXPECT_TRUE(C == '\n' || static_cast<unsigned char>(C) >= 0x20) << R.Out;
    // JSON writes the escape's backslash as two.
    const std::string Slash = Format[0] == 'j' ? "\\\\" : "\\";
    EXPECT_TRUE(Contains(R.Out, "X=1" + Slash + "x1B[2J")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "x" + Slash + "x1B]0;title" + Slash + "x07a")) << R.Out;
  }
  const auto Rows = CaseRows(ParseCsv(Check({Tests, Fake, "--format", "csv"}).Out));
  ASSERT_EQ(Rows.size(), 3u);
  EXPECT_EQ(Rows[1][0], Visible);
  const std::vector<TJsonRow> Json =
      JsonCaseRows(TJsonReader(Check({Tests, Odd, "--format", "json"}).Out).ReadRows());
  ASSERT_EQ(Json.size(), 2u);
  EXPECT_EQ(std::get<std::string>(Json[0].at("reason")),
            "ошибка в блоке \"Блок вычислений: X=1\\x1B[2J\": Ошибка при вычислении "
            "\"1[2J\". Ожидался оператор.");
}

TEST(AlgtoolCheckTest, AReportThatCannotBeWrittenStopsTheCheck) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  // Each runs for seconds: a check that went on after its first report line
  // failed would take minutes.
  const std::string Endless = SaveAlgorithm(
      Dir, "endless.alg",
      {{&TBasicAlgBlock::Class, {"I=0"}, {}},
       {&TWhileAlgBlock::Class, {"I>=0"}, {{&TBasicAlgBlock::Class, {"I=I+1"}, {}}}}});
  const std::string Tests = WriteTests(Dir, "=== a\n< 1\n< 2\n> 3\n");
  std::vector<std::string> Args = {"check", Tests, Sum};
  Args.insert(Args.end(), 40, Endless);
  for (const char* Where : {"/dev/full", "|"}) {
    SCOPED_TRACE(Where);
    TProcessOptions Options;
    Options.Stdout = Where;
    Options.IgnoreSigpipe = true;
    Options.TimeoutSeconds = 30;
    for (const char* Jobs : {"1", "3"}) {
      std::vector<std::string> WithJobs = Args;
      WithJobs.insert(WithJobs.end(), {"--jobs", Jobs, "--format", "csv"});
      const TProcessResult R = RunProcess(Tool, WithJobs, "", Options);
      EXPECT_EQ(R.ExitStatus, 1) << R.Err;
      EXPECT_EQ(R.Err, Where[0] == '|' ? ""
                                       : "algtool: не удалось записать стандартный вывод: " +
                                             SysErrorMessage(ENOSPC) + "\n");
    }
  }
}

TEST(AlgtoolCheckTest, LongTextsAreQuotedByTheirBeginning) {
  TTempDir Dir;
  const std::string Block(1 << 20, 'x');
  const std::string Wrong =
      SaveAlgorithm(Dir, "wrong.alg", {{&TBasicAlgBlock::Class, {"X" + Block}, {}}});
  std::string Items;
  for (int I = 0; I < 50000; ++I)
    Items += ",1";
  const std::string Chatty =
      SaveAlgorithm(Dir, "chatty.alg", {{&TIOAlgBlock::Class, {"Вывод 1" + Items}, {}}});
  const std::string Tests =
      WriteTests(Dir, "=== a\n> 1\n=== b\n! " + std::string(200, 'y') + "\n=== c\n");
  TProcessResult R = Check({Tests, Wrong, Chatty, "--format", "csv"});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  const auto Rows = CaseRows(ParseCsv(R.Out));
  ASSERT_EQ(Rows.size(), 7u);
  const std::string Error = "Синтаксическая ошибка в строке \"X" + std::string(59, 'x') + "…\".";
  const std::string InBlock =
      "ошибка в блоке \"Блок вычислений: X" + std::string(42, 'x') + "…\": ";
  // Columns: file, case, passed, failure, reason, line, expected, actual, steps.
  EXPECT_EQ(Rows[1][4], InBlock + Error);
  EXPECT_EQ(Rows[1][7], Error);
  EXPECT_EQ(Rows[2][4], "ожидалась ошибка с текстом \"" + std::string(60, 'y') +
                            "…\", а получена другая: " + InBlock + Error);
  EXPECT_EQ(Rows[4][3], "output-line");
  EXPECT_EQ(Rows[4][4],
            "строка вывода 1: ожидалось \"1\", выведено \"1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "
            "1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 …\"");
  EXPECT_EQ(Rows[6][3], "extra-output");
  EXPECT_LT(Rows[6][4].size(), 120u);
  EXPECT_LT(R.Out.size(), Block.size() / 2) << "nothing quotes the block whole";
}

TEST(AlgtoolCheckTest, AFileThatKillsItsWorkerFailsAloneAndTheOthersAreChecked) {
  TTempDir Dir;
  // Without a steps line this runs for seconds: time enough to kill the
  // worker that is on it.
  const std::string Endless = SaveAlgorithm(
      Dir, "endless.alg",
      {{&TBasicAlgBlock::Class, {"I=0"}, {}},
       {&TWhileAlgBlock::Class, {"I>=0"}, {{&TBasicAlgBlock::Class, {"I=I+1"}, {}}}}});
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const std::string Tests = WriteTests(Dir, "=== a\n< 1\n< 2\n> 3\n");
  const std::string Out = Dir.Path("out");

  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, 1, Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> Args = {Tool, "check", Tests, Endless, Sum, "--jobs", "1"};
  std::vector<char*> Argv;
  for (std::string& A : Args)
    Argv.push_back(A.data());
  Argv.push_back(nullptr);
  pid_t Pid = 0;
  ASSERT_EQ(posix_spawn(&Pid, Tool.c_str(), &Actions, nullptr, Argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&Actions);

  bool Killed = false;
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Killed && std::chrono::steady_clock::now() < Deadline) {
    for (pid_t Worker : ChildrenOf(Pid))
      Killed = kill(Worker, SIGKILL) == 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  int Status = 0;
  while (waitpid(Pid, &Status, WNOHANG) == 0 && std::chrono::steady_clock::now() < Deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (waitpid(Pid, &Status, WNOHANG) == 0) {
    kill(Pid, SIGKILL);
    waitpid(Pid, &Status, 0);
  }
  ASSERT_TRUE(Killed);
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 4);
  EXPECT_EQ(ReadFileBytes(Out), Endless +
                                    ": 0/1, проверка файла прервалась: процесс проверки "
                                    "завершился по сигналу 9 (" +
                                    strsignal(SIGKILL) + ")\n" + Sum +
                                    ": 1/1\nФайлы, прошедшие все случаи: 1 из 2.\n");
}

// The larger of two numbers; the "no" way of its branch is empty.
const std::vector<TBlock> Larger = {
    {&TIOAlgBlock::Class, {"Ввод A, B"}, {}},
    {&TIfAlgBlock::Class, {"B>A"}, {{&TBasicAlgBlock::Class, {"A=B"}, {}}}},
    {&TIOAlgBlock::Class, {"Вывод A"}, {}},
};

TEST(AlgtoolCheckTest, AllFailuresHiddenCasesWeightsAndSummaryRows) {
  TTempDir Dir;
  const std::string Sum = SaveAlgorithm(Dir, "sum.alg", SumOfTwo);
  const std::string Diff =
      SaveAlgorithm(Dir, "diff.alg", {SumOfTwo[0], {&TIOAlgBlock::Class, {"Вывод A-B"}, {}}});
  const std::string Tests = WriteTests(Dir, "=== нули\n< 0\n< 0\n> 0\n"
                                            "=== один\nweight 3\n< 1\n< 2\n> 3\n"
                                            "=== скрытый\nhidden\n< 5\n< 5\n> 10\n");
  TProcessResult R = Check({Tests, Sum, Diff, "--all"});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  // The teacher sees hidden cases in full, marked as hidden, and weights.
  EXPECT_EQ(R.Out,
            Sum + ": 3/3, баллы 5/5\n" + Diff +
                ": 1/3, баллы 1/5\n"
                "  случай \"один\" (вес 3): строка вывода 1: ожидалось \"3\", выведено \"-1\"\n"
                "  случай \"скрытый\" (скрытый): строка вывода 1: ожидалось \"10\", "
                "выведено \"0\"\n"
                "Файлы, прошедшие все случаи: 1 из 2.\n");

  const auto Rows = ParseCsv(Check({Tests, Sum, Diff, "--format", "csv"}).Out);
  ASSERT_EQ(Rows.size(), 1u + 2 * 4);
  // Columns 9-12: pupil, cases, score, max_score; "passed" counts cases.
  EXPECT_EQ(Rows[1][9], "sum.alg");
  EXPECT_EQ(Rows[4], (std::vector<std::string>{Sum, "", "3", "", "", "", "", "", "", "sum.alg", "3",
                                               "5", "5", "", "", "", ""}));
  // Columns 14-15 of a case: hidden, weight.
  EXPECT_EQ(Rows[2][14], "false");
  EXPECT_EQ(Rows[2][15], "3");
  EXPECT_EQ(Rows[3][14], "true");
  EXPECT_EQ(Rows[3][15], "1");
  EXPECT_EQ(Rows[8][1], "");
  EXPECT_EQ(Rows[8][2], "1");
  EXPECT_EQ(Rows[8][11], "1");
  const std::vector<TJsonRow> Json =
      TJsonReader(Check({Tests, Diff, "--format", "json"}).Out).ReadRows();
  ASSERT_EQ(Json.size(), 4u);
  EXPECT_EQ(std::get<std::string>(Json[3].at("pupil")), "diff.alg");
  EXPECT_EQ(std::get<long long>(Json[3].at("passed")), 1);
  EXPECT_EQ(std::get<long long>(Json[3].at("score")), 1);
  EXPECT_EQ(std::get<long long>(Json[3].at("max_score")), 5);
}

TEST(AlgtoolCheckTest, CsvForSpreadsheetsKeepsEachCellOnOneLine) {
  TTempDir Dir;
  const std::string Broken = Dir.Path("\xE9l\xE8ve.alg");
  WriteFileBytes(
      Broken, ReadFileBytes(SaveAlgorithm(Dir, "b.alg", {{&TBasicAlgBlock::Class, {"X=1+"}, {}}})));
  const std::string Tests = WriteTests(Dir, "=== a\n! другая\n");
  const TProcessResult R = Check({Tests, Broken, "--format", "csv", "--csv-sep", ";", "--excel"});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  ASSERT_TRUE(R.Out.starts_with("\xEF\xBB\xBF"
                                "file;case;passed;"))
      << R.Out;
  const auto Rows = ParseCsv(R.Out.substr(3));
  ASSERT_EQ(Rows.size(), 3u) << R.Out;
  EXPECT_EQ(Rows[1].size(), 1u) << "fields are split by ';', not ','";
  EXPECT_EQ(std::count(R.Out.begin(), R.Out.end(), '\n'), 3) << R.Out;
  EXPECT_TRUE(Contains(R.Out, "\\xE9l\\xE8ve.alg")) << R.Out;
  EXPECT_FALSE(Contains(R.Out, "\xE9l")) << "no raw bytes that are not UTF-8";
  EXPECT_TRUE(Contains(R.Out, "wrong-error")) << R.Out;
  EXPECT_TRUE(Contains(R.Out, " / ")) << "the error's lines joined: " << R.Out;
  EXPECT_EQ(Check({"--csv-sep", "ab", Tests, Broken}).ExitStatus, 2);
}

TEST(AlgtoolCheckTest, ExpectedOutputFromTheModelPassesTheModel) {
  TTempDir Dir;
  const std::string Model = SaveAlgorithm(Dir, "model.alg", Larger);
  const std::string Divide = SaveAlgorithm(
      Dir, "divide.alg", {SumOfTwo[0], {&TIOAlgBlock::Class, {"Вывод A", "Вывод A/B"}, {}}});
  const std::string Bare = WriteTests(Dir, "# больший из двух\n=== первый\n< 5\n< 2\n> старое\n\n"
                                           "=== второй\n< 1\n< 7\n");
  const std::string Out = Dir.Path("filled.tests");
  TProcessResult R = Check({Bare, "--expected-from", Model, "-o", Out});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(ReadFileBytes(Out), "# больший из двух\n=== первый\n< 5\n< 2\n> 5\n\n"
                                "=== второй\n< 1\n< 7\n> 7\n");
  EXPECT_EQ(Check({Out, Model}).ExitStatus, 0);
  // On standard output, and an error as the "!" line.
  R = Check({WriteTests(Dir, "=== ноль\n< 3\n< 0\n", "z.tests"), "--expected-from", Divide});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Out, "=== ноль\n< 3\n< 0\n> 3\n! Ошибка при вычислении \"A/B\".\n");
  // A model that runs out of answers fills nothing.
  R = Check({WriteTests(Dir, "=== мало\n< 3\n", "m.tests"), "--expected-from", Model, "-o", Out});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(Contains(R.Err, "мало")) << R.Err;
  EXPECT_TRUE(ReadFileBytes(Out).starts_with("# больший из двух")) << "the old file stays";
}

TEST(AlgtoolCheckTest, CoverageNamesUnreachedBlocksAndUntakenWays) {
  TTempDir Dir;
  const std::string Model = SaveAlgorithm(Dir, "model.alg", Larger);
  const std::string Tests = WriteTests(Dir, "=== первый\n< 5\n< 2\n> 5\n");
  TProcessResult R = Check({Tests, Model, "--coverage", "--model", Model});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_TRUE(Contains(R.Out, "  не выполнен ни в одном случае: Блок вычислений: A=B\n")) << R.Out;
  EXPECT_TRUE(Contains(R.Err, "B>A: нет случая, где условие выполнено")) << R.Err;
  EXPECT_FALSE(Contains(R.Err, "не выполнено")) << R.Err;

  const std::string Loop = SaveAlgorithm(
      Dir, "loop.alg",
      {{&TIOAlgBlock::Class, {"Ввод N"}, {}},
       {&TForAlgBlock::Class, {"I=1,N,1"}, {{&TIOAlgBlock::Class, {"Вывод I"}, {}}}}});
  R = Check(
      {WriteTests(Dir, "=== один\n< 1\n> 1\n", "l.tests"), Loop, "--coverage", "--model", Loop});
  EXPECT_TRUE(Contains(R.Err, "цикл не выполняется ни разу")) << R.Err;
  EXPECT_TRUE(Contains(R.Err, "цикл выполняется несколько раз")) << R.Err;
  R = Check({WriteTests(Dir, "=== нет\n< 0\n=== три\n< 3\n> 1\n> 2\n> 3\n", "l2.tests"), Loop,
             "--coverage", "--model", Loop});
  EXPECT_EQ(R.ExitStatus, 0) << R.Out;
  EXPECT_TRUE(Contains(R.Err, "случаи проходят все ветви и циклы")) << R.Err;
}

namespace {

// A class of pupils, each failing in a way of their own.
struct TPlantedClass {
  TTempDir Dir;
  std::string Tests, Right, Wrong, Short, Error, Endless, Damaged;
  TPlantedClass() {
    Right = SaveAlgorithm(Dir, "right.alg", SumOfTwo);
    Wrong =
        SaveAlgorithm(Dir, "wrong.alg", {SumOfTwo[0], {&TIOAlgBlock::Class, {"Вывод A-B"}, {}}});
    Short = SaveAlgorithm(Dir, "short.alg", {SumOfTwo[0]});
    Error = SaveAlgorithm(Dir, "error.alg",
                          {SumOfTwo[0], {&TIOAlgBlock::Class, {"Вывод A/(B-B)"}, {}}});
    Endless = SaveAlgorithm(Dir, "endless.alg",
                            {SumOfTwo[0], {&TWhileAlgBlock::Class, {"A=A"}, {}}, SumOfTwo[1]});
    Damaged = Dir.Path("damaged.alg");
    WriteFileBytes(Damaged, "not an algorithm");
    // The hidden case's name, answers and expected line are found nowhere
    // a pupil reads.
    Tests = WriteTests(Dir, "=== видимый\nweight 3\nsteps 100000\n< 1\n< 2\n> 3\n"
                            "=== тайный случай\nhidden\nsteps 1000\n< 31337\n< 11\n> 31348\n");
  }
  std::vector<std::string> Files() const { return {Right, Wrong, Short, Error, Endless, Damaged}; }
};

std::vector<std::string> Args(std::vector<std::string> Head, const std::vector<std::string>& Tail) {
  Head.insert(Head.end(), Tail.begin(), Tail.end());
  return Head;
}

} // namespace

TEST(AlgtoolClassTest, FeedbackPerPupilNeverShowsHiddenCases) {
  TPlantedClass Class;
  const std::string Out = Class.Dir.Path("отзывы");
  const TProcessResult R =
      Check(Args({Class.Tests}, Args(Class.Files(), {"--feedback", Out, "--marks", "5:100,3:75"})));
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  for (const char* Name : {"right", "wrong", "short", "error", "endless", "damaged"})
    for (const char* Ext : {".txt", ".html"}) {
      SCOPED_TRACE(std::string(Name) + Ext);
      const std::string Text = ReadFileBytes(Out + "/" + Name + Ext);
      EXPECT_TRUE(Contains(Text, std::string(Name) + ".alg"));
      EXPECT_TRUE(Contains(Text, "скрытый случай 1"));
      for (const char* Secret : {"тайный", "31337", "31348", "11"})
        EXPECT_FALSE(Contains(Text, Secret)) << Secret;
    }
  const std::string Wrong = ReadFileBytes(Out + "/wrong.txt");
  EXPECT_TRUE(Contains(Wrong, "Оценка: 2")) << Wrong;
  EXPECT_TRUE(Contains(Wrong, "«видимый»: не пройден")) << Wrong;
  EXPECT_TRUE(Contains(Wrong, "Ввод-вывод: Вывод A-B")) << "the block that printed it: " << Wrong;
  EXPECT_TRUE(Contains(Wrong, "скрытый случай 1: не пройден")) << Wrong;
  const std::string Right = ReadFileBytes(Out + "/right.txt");
  EXPECT_TRUE(Contains(Right, "Оценка: 5")) << Right;
  EXPECT_TRUE(Contains(Right, "скрытый случай 1: пройден")) << Right;
  EXPECT_TRUE(Contains(ReadFileBytes(Out + "/error.txt"), "Ошибка при вычислении"));
  EXPECT_TRUE(Contains(ReadFileBytes(Out + "/damaged.html"), "Файл не проверен"));

  // The same with workers and a file named twice: the second report beside
  // the first, neither overwritten.
  const std::string Again = Class.Dir.Path("again");
  ASSERT_EQ(Check({Class.Tests, Class.Wrong, Class.Right, Class.Wrong, "--jobs", "3", "--feedback",
                   Again})
                .ExitStatus,
            4);
  EXPECT_EQ(ReadFileBytes(Again + "/wrong.txt"), ReadFileBytes(Again + "/wrong-2.txt"));
  EXPECT_TRUE(Contains(ReadFileBytes(Again + "/wrong.txt"), "Ввод-вывод: Вывод A-B"))
      << "the block reaches the report through a worker too";

  // A feedback folder that cannot be made stops before anything is checked.
  WriteFileBytes(Class.Dir.Path("plain"), "x");
  const TProcessResult Bad =
      Check({Class.Tests, Class.Right, "--feedback", Class.Dir.Path("plain")});
  EXPECT_EQ(Bad.ExitStatus, 1);
  EXPECT_TRUE(Contains(Bad.Err, "plain")) << Bad.Err;
  EXPECT_EQ(Bad.Out, "");
}

TEST(AlgtoolClassTest, MarksInEveryReport) {
  TPlantedClass Class;
  // Weights 3 and 1: the right solution has 100%, a file passing only the
  // visible case exactly 75%.
  const std::string Visible =
      SaveAlgorithm(Class.Dir, "visible.alg",
                    {{&TIOAlgBlock::Class, {"Ввод A, B"}, {}},
                     {&TIfAlgBlock::Class, {"A=1"}, {{&TIOAlgBlock::Class, {"Вывод 3"}, {}}}}});
  const std::vector<std::string> Files = {Class.Right, Visible, Class.Wrong};
  TProcessResult R = Check(Args({Class.Tests}, Args(Files, {"--marks", "5:100,4:75"})));
  EXPECT_EQ(R.Out, Class.Right + ": 2/2, баллы 4/4, оценка 5\n" + Visible +
                       ": 1/2, баллы 3/4, оценка 4, случай \"тайный случай\" (скрытый): строка "
                       "вывода 1: ожидалось \"31348\", но вывод закончился\n" +
                       Class.Wrong +
                       ": 0/2, баллы 0/4, оценка 2, случай \"видимый\" (вес 3): строка вывода 1: "
                       "ожидалось \"3\", выведено \"-1\"\n"
                       "Файлы, прошедшие все случаи: 1 из 3.\n");
  const auto Rows = ParseCsv(
      Check(Args({Class.Tests}, Args(Files, {"--marks", "5:100,4:75", "--format", "csv"}))).Out);
  ASSERT_EQ(Rows.size(), 1u + 3 * 3);
  EXPECT_EQ(Rows[0][16], "mark");
  EXPECT_EQ(Rows[3][16], "5");
  EXPECT_EQ(Rows[6][16], "4");
  EXPECT_EQ(Rows[9][16], "2");
  EXPECT_EQ(Rows[1][16], "") << "a case has no mark";
  const std::vector<TJsonRow> Json =
      TJsonReader(
          Check(Args({Class.Tests}, Args(Files, {"--marks", "5:100,4:75", "--format", "json"})))
              .Out)
          .ReadRows();
  ASSERT_EQ(Json.size(), 9u);
  EXPECT_EQ(std::get<long long>(Json[5].at("mark")), 4);
  EXPECT_FALSE(Json[4].count("mark"));

  // A wrong scale before the test file is a usage error with the reason;
  // after it the argument is a pupil's file.
  R = Check({"--marks", "5:90,4:95", Class.Tests, Class.Right});
  EXPECT_EQ(R.ExitStatus, 2);
  EXPECT_TRUE(Contains(R.Err, "Неверная шкала оценок \"5:90,4:95\"")) << R.Err;
  R = Check({Class.Tests, Class.Right, "--marks", "5:90,4:95"});
  EXPECT_EQ(R.ExitStatus, 4);
  EXPECT_TRUE(Contains(R.Out, "5:90,4:95: 0/2")) << R.Out;
}

TEST(AlgtoolClassTest, SummaryCountsTheClassWorstCaseFirst) {
  TPlantedClass Class;
  const std::string Model = Class.Dir.Path("model.alg");
  WriteFileBytes(
      Model,
      ReadFileBytes(SaveAlgorithm(
          Class.Dir, "m.alg",
          {SumOfTwo[0],
           {&TIfAlgBlock::Class, {"A>100000"}, {{&TIOAlgBlock::Class, {"Вывод \"много\""}, {}}}},
           SumOfTwo[1]})));
  TProcessResult R =
      Check(Args({Class.Tests}, Args(Class.Files(), {"--summary", "--model", Model})));
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  const std::string Text = R.Out.substr(R.Out.find("Случаи по классу"));
  EXPECT_EQ(Text,
            "Случаи по классу, сначала самые трудные:\n"
            "  случай \"видимый\" (вес 3): прошли 1 из 6; неверная строка вывода — 1; "
            "выведено меньше строк — 1; ошибка \"Ошибка при вычислении \"A/(B-B)\".\" — 1; "
            "исчерпан предел шагов — 1; файл не прочитан — 1\n"
            "  случай \"тайный случай\" (скрытый): прошли 1 из 6; неверная строка вывода — 1; "
            "выведено меньше строк — 1; ошибка \"Ошибка при вычислении \"A/(B-B)\".\" — 1; "
            "исчерпан предел шагов — 1; файл не прочитан — 1\n"
            "Блоки образца, не выполненные ни в одном случае:\n"
            "  Ввод-вывод: Вывод \"много\"\n"
            "Файлы, прошедшие все случаи: 1 из 6.\n");

  const std::string Csv =
      Check(Args({Class.Tests},
                 Args(Class.Files(), {"--summary", "--model", Model, "--format", "csv"})))
          .Out;
  const size_t Blank = Csv.find("\n\n");
  ASSERT_NE(Blank, std::string::npos) << Csv;
  const auto Rows = ParseCsv(Csv.substr(Blank + 2));
  ASSERT_EQ(Rows.size(), 1u + 5 + 5 + 1) << Csv;
  EXPECT_EQ(Rows[0], (std::vector<std::string>{"summary_case", "hidden", "weight", "passed",
                                               "files", "failure", "message", "count"}));
  EXPECT_EQ(Rows[1],
            (std::vector<std::string>{"видимый", "false", "3", "1", "6", "output-line", "", "1"}));
  EXPECT_EQ(Rows[3][5], "error");
  EXPECT_EQ(Rows[3][6], "Ошибка при вычислении \"A/(B-B)\".");
  EXPECT_EQ(Rows[6][0], "тайный случай");
  EXPECT_EQ(Rows[6][1], "true");
  EXPECT_EQ(Rows[11][5], "model-unreached");
  EXPECT_EQ(Rows[11][6], "Ввод-вывод: Вывод \"много\"");

  const std::string Json =
      Check(Args({Class.Tests},
                 Args(Class.Files(), {"--summary", "--model", Model, "--format", "json"})))
          .Out;
  EXPECT_TRUE(Contains(Json, "{\"summary\": {\"files\": 6, \"cases\": [\n    {\"case\": "
                             "\"видимый\", \"hidden\": false, \"weight\": 3, \"passed\": 1, "
                             "\"files\": 6, \"failures\": [{\"failure\": \"output-line\", "
                             "\"message\": \"\", \"count\": 1}, "))
      << Json;
  EXPECT_TRUE(Contains(Json, "\"model_unreached\": [\"Ввод-вывод: Вывод \\\"много\\\"\"]}}\n]\n"))
      << Json;
}

TEST(AlgtoolClassTest, JunitReportIsValidAgainstTheSchemaAndKeepsHiddenCasesHidden) {
  TPlantedClass Class;
  // Names that XML must escape, and bytes it cannot hold.
  const std::string Odd = Class.Dir.Path("<&\"o\x01\xff.alg");
  WriteFileBytes(Odd, ReadFileBytes(Class.Wrong));
  const std::string Tests =
      WriteTests(Class.Dir,
                 "=== <видимый> & \"кавычки\"\nweight 3\nsteps 1000\n< 1\n< 2\n> 3\n"
                 "=== тайный случай\nhidden\nsteps 1000\n< 31337\n< 11\n"
                 "> 31348\n",
                 "odd.tests");
  std::vector<std::string> Files = Class.Files();
  Files.push_back(Odd);
  const TProcessResult R = Check(Args({Tests, "--format", "junit"}, Files));
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  const std::string Report = Class.Dir.Path("report.xml");
  WriteFileBytes(Report, R.Out);
  const TProcessResult Lint =
      RunProcess("/usr/bin/xmllint", {"--noout", "--schema", JUNIT_XSD, Report});
  EXPECT_EQ(Lint.ExitStatus, 0) << Lint.Err << R.Out;
  EXPECT_TRUE(Contains(Lint.Err, "validates")) << Lint.Err;

  size_t Suites = 0;
  for (size_t At = R.Out.find("<testsuite "); At != std::string::npos;
       At = R.Out.find("<testsuite ", At + 1))
    ++Suites;
  EXPECT_EQ(Suites, 7u);
  EXPECT_TRUE(Contains(R.Out, "<testsuite name=\"" + Class.Right +
                                  "\" tests=\"2\" failures=\"0\" errors=\"0\" skipped=\"0\">"));
  EXPECT_TRUE(Contains(R.Out, "<property name=\"weight:&lt;видимый&gt; &amp; &quot;кавычки&quot;\" "
                              "value=\"3\"/>"))
      << R.Out;
  EXPECT_TRUE(Contains(R.Out, "<property name=\"weight:скрытый случай 1\" value=\"1\"/>"));
  EXPECT_TRUE(Contains(R.Out, "<failure message=\"строка вывода 1: ожидалось &quot;3&quot;, "
                              "выведено &quot;-1&quot;\" type=\"output-line\">"));
  EXPECT_TRUE(Contains(R.Out, "<failure message=\"не пройден\" type=\"hidden\"/>"));
  EXPECT_TRUE(Contains(R.Out, "<error message=")) << "the damaged file: " << R.Out;
  EXPECT_TRUE(Contains(R.Out, "type=\"unreadable\""));
  for (const char* Secret : {"тайный", "31337", "31348"})
    EXPECT_FALSE(Contains(R.Out, Secret)) << Secret;
  EXPECT_EQ(Check({Tests, Class.Right, "--format", "junit", "--summary"}).ExitStatus, 2);
}

TEST(AlgtoolClassTest, GradescopeResultsHaveTheDocumentedFields) {
  TPlantedClass Class;
  // Read by Python's own JSON reader, field by field as Gradescope takes
  // them: a number score and max_score, tests with a name, numbers, a
  // status of two values, an output text and a visibility of four.
  const char* const Script =
      "import json, sys\n"
      "r = json.load(open(sys.argv[1], encoding='utf-8'))\n"
      "assert set(r) <= {'score', 'max_score', 'output', 'tests', 'visibility',"
      " 'stdout_visibility', 'execution_time', 'extra_data'}, r.keys()\n"
      "assert isinstance(r['score'], (int, float)) and isinstance(r['max_score'], (int, float))\n"
      "assert isinstance(r['output'], str)\n"
      "total = 0\n"
      "for t in r['tests']:\n"
      "  assert set(t) <= {'name', 'number', 'score', 'max_score', 'status', 'output',"
      " 'visibility', 'tags', 'extra_data', 'name_format', 'output_format'}, t.keys()\n"
      "  assert isinstance(t['name'], str) and isinstance(t['output'], str)\n"
      "  assert isinstance(t['number'], str)\n"
      "  assert t['status'] in ('passed', 'failed')\n"
      "  assert t['visibility'] in ('visible', 'hidden', 'after_due_date', 'after_published')\n"
      "  assert 0 <= t['score'] <= t['max_score']\n"
      "  assert (t['status'] == 'passed') == (t['score'] == t['max_score'])\n"
      "  total += t['score']\n"
      "assert total == r['score'], (total, r['score'])\n"
      "print(r['score'], r['max_score'], ' '.join(t['visibility'] + ':' + t['status']"
      " for t in r['tests']))\n";
  WriteFileBytes(Class.Dir.Path("check.py"), Script);
  const auto Results = [&](const std::string& File) {
    const TProcessResult R =
        Check({Class.Tests, File, "--format", "gradescope", "--marks", "5:90"});
    const std::string Json = Class.Dir.Path("results.json");
    WriteFileBytes(Json, R.Out);
    const TProcessResult Py = RunProcess("/usr/bin/python3", {Class.Dir.Path("check.py"), Json});
    EXPECT_EQ(Py.ExitStatus, 0) << Py.Err << R.Out;
    return std::make_pair(Py.Out, R.Out);
  };
  EXPECT_EQ(Results(Class.Right).first, "4 4 visible:passed hidden:passed\n");
  const auto [Wrong, WrongJson] = Results(Class.Wrong);
  EXPECT_EQ(Wrong, "0 4 visible:failed hidden:failed\n");
  EXPECT_TRUE(Contains(WrongJson, "\"output\": \"Баллы: 0 из 4, оценка 2\""));
  // Gradescope shows a hidden test to the teacher only: its reason stays.
  EXPECT_TRUE(Contains(WrongJson, "\"name\": \"тайный случай\""));
  EXPECT_TRUE(Contains(WrongJson, "ожидалось \\\"31348\\\""));
  EXPECT_EQ(Results(Class.Damaged).first, "0 4 visible:failed hidden:failed\n");
  EXPECT_EQ(Results(Class.Endless).first, "0 4 visible:failed hidden:failed\n");

  // One submission, one results file.
  EXPECT_EQ(Check({Class.Tests, Class.Right, Class.Wrong, "--format", "gradescope"}).ExitStatus, 2);
}

TEST(AlgtoolClassTest, SimilarListsCopiesButNotOtherSolutionsOrOnePupilsVersions) {
  TTempDir Dir;
  const std::vector<TBlock> Sum = {
      {&TIOAlgBlock::Class, {"Ввод N"}, {}},
      {&TBasicAlgBlock::Class, {"S=0"}, {}},
      {&TForAlgBlock::Class,
       {"I=1,N,1"},
       {{&TIOAlgBlock::Class, {"Ввод X"}, {}}, {&TBasicAlgBlock::Class, {"S=S+X"}, {}}}},
      {&TIOAlgBlock::Class, {"Вывод S"}, {}}};
  const std::string Ivanov = SaveAlgorithm(Dir, "ivanov.alg", Sum);
  // Renamed, reordered and padded with an empty block: a copy.
  const std::string Petrov = SaveAlgorithm(
      Dir, "petrov.alg",
      {{&TBasicAlgBlock::Class, {"T = 0"}, {}},
       {&TIOAlgBlock::Class, {"ввод k"}, {}},
       {&TBasicAlgBlock::Class, {""}, {}},
       {&TForAlgBlock::Class,
        {"J=1,K,1"},
        {{&TIOAlgBlock::Class, {"Ввод Y"}, {}}, {&TBasicAlgBlock::Class, {"T=T+Y"}, {}}}},
       {&TIOAlgBlock::Class, {"Вывод T"}, {}}});
  // The same task done with a condition loop: no copy.
  const std::string Sidorov = SaveAlgorithm(Dir, "sidorov.alg",
                                            {{&TIOAlgBlock::Class, {"Ввод N"}, {}},
                                             {&TBasicAlgBlock::Class, {"S=0", "I=0"}, {}},
                                             {&TWhileAlgBlock::Class,
                                              {"I<N"},
                                              {{&TIOAlgBlock::Class, {"Ввод X"}, {}},
                                               {&TBasicAlgBlock::Class, {"S=S+X"}, {}},
                                               {&TBasicAlgBlock::Class, {"I=I+1"}, {}}}},
                                             {&TIOAlgBlock::Class, {"Вывод S"}, {}}});
  // Ivanov's earlier version, in the folder of a former lesson.
  ASSERT_EQ(::mkdir(Dir.Path("before").c_str(), 0700), 0);
  const std::string Earlier = SaveAlgorithm(Dir, "before/ivanov.alg", Sum);
  const std::string Tests = WriteTests(Dir, "=== два\n< 2\n< 1\n< 2\n> 3\n");
  const std::vector<std::string> Files = {Ivanov, Sidorov, Petrov, Earlier,
                                          Dir.Path("missing.alg")};

  const TProcessResult R = Check(Args({Tests, "--similar"}, Files));
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  EXPECT_TRUE(Contains(R.Out, "Похожие решения, сначала самые похожие:\n"
                              "  100%: " +
                                  Ivanov + " и " + Petrov + "\n  100%: " + Petrov + " и " +
                                  Earlier + "\nФайлы, прошедшие все случаи: 4 из 5.\n"))
      << R.Out;
  EXPECT_FALSE(Contains(R.Out, "sidorov.alg и")) << R.Out;
  EXPECT_FALSE(Contains(R.Out, "и " + Sidorov)) << R.Out;

  const std::string Csv = Check(Args({Tests, "--similar", "--format", "csv"}, Files)).Out;
  const auto Rows = ParseCsv(Csv.substr(Csv.find("\n\n") + 2));
  ASSERT_EQ(Rows.size(), 3u) << Csv;
  EXPECT_EQ(Rows[0], (std::vector<std::string>{"similar_file", "similar_to", "similarity"}));
  EXPECT_EQ(Rows[1], (std::vector<std::string>{Ivanov, Petrov, "100"}));
  const std::string Json = Check(Args({Tests, "--similar", "--format", "json"}, Files)).Out;
  EXPECT_TRUE(Contains(Json, "{\"similar\": [\n    {\"file\": \"" + Ivanov +
                                 "\", \"similar_to\": \"" + Petrov + "\", \"similarity\": 100},"))
      << Json;

  // Only one of a pair: nothing similar.
  EXPECT_TRUE(Contains(Check({Tests, Ivanov, Sidorov, "--similar"}).Out, "Похожих решений нет."));
}

TEST(AlgtoolTaskTest, APackHoldsTheVisibleCasesOnlyAndTheCheckReportsBreaches) {
  TPlantedClass Class;
  WriteFileBytes(Class.Dir.Path("task.md"), "# Сумма\n\nВведите A и B, выведите A+B.\n");
  const std::string Start = SaveAlgorithm(Class.Dir, "start.alg", {SumOfTwo[0]});
  const std::string Pack = Class.Dir.Path("sum.task");
  TProcessResult R = RunProcess(
      Tool, {"task", "make", "--text", Class.Dir.Path("task.md"), "--start", Start, "--tests",
             Class.Tests, "--visible", "1", "--allow-blocks", "Ввод-вывод, Блок вычислений",
             "--allow-functions", "ABS", "--max-blocks", "3", "--no-program-text", "-o", Pack});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  const std::string Text = ReadFileBytes(Pack);
  EXPECT_TRUE(Contains(Text, "=== видимый\nsteps 100000\nweight 3\n< 1\n< 2\n> 3\n")) << Text;
  for (const char* Secret : {"тайный", "31337", "31348"})
    EXPECT_FALSE(Contains(Text, Secret)) << Secret;
  EXPECT_TRUE(Contains(Text, "blocks Ввод-вывод, Блок вычислений\nfunctions ABS\nmax-blocks 3\n"
                             "program-text no\n"));

  // A chart with a branch, where the pack allows none, and with SQRT.
  const std::string Branchy = SaveAlgorithm(
      Class.Dir, "branchy.alg",
      {SumOfTwo[0],
       {&TIfAlgBlock::Class, {"SQRT(A)>=0"}, {{&TIOAlgBlock::Class, {"Вывод A+B"}, {}}}}});
  R = Check({Class.Tests, Class.Right, Branchy, Class.Damaged, "--task", Pack, "--all"});
  EXPECT_EQ(R.ExitStatus, 4) << R.Err;
  EXPECT_TRUE(Contains(R.Out, Class.Right + ": 3/3, баллы 4/4\n")) << R.Out;
  EXPECT_TRUE(Contains(R.Out, "  случай \"ограничения задания\" (вес 0): блок \"Ветвление: "
                              "SQRT(A)>=0\": В этом задании нельзя использовать «Ветвление»; "
                              "блок \"Ветвление: SQRT(A)>=0\": В этом задании нельзя использовать "
                              "функцию SQRT\n"))
      << R.Out;
  const auto Rows = ParseCsv(
      Check({Class.Tests, Branchy, Class.Damaged, "--task", Pack, "--format", "csv", "--jobs", "2"})
          .Out);
  ASSERT_EQ(Rows.size(), 1u + 2 * 4);
  EXPECT_EQ(Rows[3][1], "ограничения задания");
  EXPECT_EQ(Rows[3][3], "restriction");
  EXPECT_EQ(Rows[7][3], "unreadable") << "a damaged file fails the restrictions' case too";

  // Starter charts must keep the rules themselves; numbers must exist.
  R = RunProcess(Tool, {"task", "make", "--text", Class.Dir.Path("task.md"), "--start", Branchy,
                        "--tests", Class.Tests, "--visible", "1", "--allow-blocks", "Ввод-вывод",
                        "-o", Class.Dir.Path("bad.task")});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_TRUE(Contains(R.Err, "сама нарушает ограничения задания")) << R.Err;
  for (const char* Visible : {"0", "3", "1,1", "1,", "x"}) {
    R = RunProcess(Tool, {"task", "make", "--text", Class.Dir.Path("task.md"), "--start", Start,
                          "--tests", Class.Tests, "--visible", Visible, "-o",
                          Class.Dir.Path("bad.task")});
    EXPECT_EQ(R.ExitStatus, 1) << Visible;
    EXPECT_TRUE(Contains(R.Err, "--visible")) << R.Err;
  }
  EXPECT_FALSE(std::ifstream(Class.Dir.Path("bad.task")).good()) << "nothing half-made is left";
  R = RunProcess(Tool, {"task", "make", "--text", Class.Dir.Path("task.md"), "--start", Start,
                        "--tests", Class.Tests, "--visible", "1", "--allow-blocks", "Цикл", "-o",
                        Class.Dir.Path("bad.task")});
  EXPECT_EQ(R.ExitStatus, 2);
  EXPECT_TRUE(Contains(R.Err, "нет такого вида блоков: \"Цикл\"")) << R.Err;
  EXPECT_EQ(RunProcess(Tool, {"task", "make", "--text", Class.Dir.Path("task.md")}).ExitStatus, 2);
  EXPECT_EQ(Check({Class.Tests, Class.Right, "--task", Class.Tests}).ExitStatus, 1)
      << "a test file is no pack";
}
