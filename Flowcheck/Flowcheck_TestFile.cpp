#include "Flowcheck_TestFile.h"

#include "Flowcheck_Text.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"

#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>

namespace Deskbay {

namespace {

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}

std::string_view TrimLeft(std::string_view S) {
  while (!S.empty() && IsBlank(S.front()))
    S.remove_prefix(1);
  return S;
}

bool IsUtf8(std::string_view S) {
  for (size_t I = 0; I < S.size();) {
    char32_t C;
    const size_t Length = DecodeUtf8(S, I, C);
    if (Length == 0)
      return false;
    I += Length;
  }
  return true;
}

class TTestFileParser {
public:
  explicit TTestFileParser(const std::string& FileName) { FResult.FileName = FileName; }

  void ParseLine(std::string_view Raw, int LineNumber) {
    FLine = LineNumber;
    if (!Raw.empty() && Raw.back() == '\r')
      Raw.remove_suffix(1);
    if (!IsUtf8(Raw))
      Fail("строка не в кодировке UTF-8.");
    // A NUL byte would end the text wherever a C string is made of it: an
    // answer "2<NUL>junk" would pass for "2".
    if (Raw.find('\0') != std::string_view::npos)
      Fail("в строке нулевой байт; файл тестов должен быть обычным текстом.");
    const std::string_view Line = TrimLeft(Raw);
    if (Line.empty() || Line.front() == '#')
      return;
    if (Line.substr(0, 3) == "===") {
      StartCase(Trim(Line.substr(3)));
      return;
    }
    const char Marker = Line.front();
    if (Marker == '<' || Marker == '>' || Marker == '!') {
      std::string_view Text = Line.substr(1);
      if (!Text.empty() && Text.front() == ' ')
        Text.remove_prefix(1);
      TTestCase& Case = CurrentCase(Line);
      if (Marker == '<') {
        Case.Answers.emplace_back(Text);
      } else if (Marker == '>') {
        while (!Text.empty() && IsBlank(Text.back()))
          Text.remove_suffix(1);
        Case.Output.emplace_back(Text);
      } else {
        if (Case.ExpectsError)
          Fail(Format("ожидаемая ошибка этого случая уже задана в строке %d.", FErrorLine));
        Case.ExpectsError = true;
        Case.ErrorText = Trim(Text);
        FErrorLine = FLine;
      }
      return;
    }
    if (Trim(Line) == "hidden") {
      CurrentCase(Line).Hidden = true;
      return;
    }
    if (Line.substr(0, 6) == "weight" && (Line.size() == 6 || IsBlank(Line[6]))) {
      TTestCase& Case = CurrentCase(Line);
      if (FWeightLine != 0)
        Fail(Format("вес этого случая уже задан в строке %d.", FWeightLine));
      if (!ParseCount(Trim(Line.substr(6)), Case.Weight) || Case.Weight == 0 ||
          Case.Weight > 1'000'000)
        Fail("после weight нужно целое число от 1 до 1000000.");
      FWeightLine = FLine;
      return;
    }
    if (Line.substr(0, 5) == "steps" && (Line.size() == 5 || IsBlank(Line[5]))) {
      TTestCase& Case = CurrentCase(Line);
      if (FStepsLine != 0)
        Fail(Format("предел шагов этого случая уже задан в строке %d.", FStepsLine));
      int64_t Steps = 0;
      if (!ParseCount(Trim(Line.substr(5)), Steps) || Steps == 0)
        Fail("после steps нужно целое число шагов больше нуля.");
      Case.MaxSteps = Steps;
      FStepsLine = FLine;
      return;
    }
    Fail("непонятная строка " + CheckQuoted(Line) +
         ". Строки случая начинаются с \"===\", \"<\", \">\", \"!\", \"steps\", \"weight\" или "
         "\"hidden\".");
  }

  TTestFile Finish() {
    if (FResult.Cases.empty())
      throw Exception(Format("Файл тестов \"%s\": в нём нет ни одного случая (строки \"=== ИМЯ\").",
                             FResult.FileName.c_str()));
    return std::move(FResult);
  }

private:
  TTestFile FResult;
  int FLine = 0;
  int FErrorLine = 0;  // of the current case's "!" line
  int FStepsLine = 0;  // of the current case's "steps" line
  int FWeightLine = 0; // of the current case's "weight" line
  // The line of every case by its name, so a repeated name is found at once
  // however many cases came before.
  std::unordered_map<std::string, int> FCaseLines;

  [[noreturn]] void Fail(const std::string& Why) const {
    throw Exception(Format("Файл тестов \"%s\", строка %d: ", FResult.FileName.c_str(), FLine) +
                    Why);
  }

  void StartCase(const std::string& Name) {
    if (Name.empty())
      Fail("у случая нет имени после \"===\".");
    const auto [Other, Added] = FCaseLines.try_emplace(Name, FLine);
    if (!Added)
      Fail("случай " + CheckQuoted(Name) + Format(" уже есть в строке %d.", Other->second));
    TTestCase& Case = FResult.Cases.emplace_back();
    Case.Name = Name;
    Case.Line = FLine;
    FErrorLine = FStepsLine = FWeightLine = 0;
  }

  TTestCase& CurrentCase(std::string_view Line) {
    if (FResult.Cases.empty())
      Fail("строка " + CheckQuoted(Line) +
           " стоит до первого случая; случай начинается строкой \"=== ИМЯ\".");
    return FResult.Cases.back();
  }
};

} // namespace

bool ParseCount(const std::string& S, int64_t& Value) {
  if (S.empty() || S.size() > 18)
    return false;
  for (char C : S)
    if (C < '0' || C > '9')
      return false;
  Value = std::stoll(S);
  return true;
}

TTestFile ParseTestFile(const std::string& Text, const std::string& FileName) {
  std::string_view Rest = Text;
  // A byte order mark, as some editors write at the start of UTF-8 files.
  if (Rest.substr(0, 3) == "\xEF\xBB\xBF")
    Rest.remove_prefix(3);
  TTestFileParser Parser(FileName);
  int LineNumber = 0;
  while (!Rest.empty()) {
    const size_t End = Rest.find('\n');
    Parser.ParseLine(Rest.substr(0, End), ++LineNumber);
    if (End == std::string_view::npos)
      break;
    Rest.remove_prefix(End + 1);
  }
  return Parser.Finish();
}

std::string ReadTestFileText(const std::string& FileName) {
  // A folder opens for reading but yields no bytes, which would pass for an
  // empty test file.
  std::error_code Ignored;
  if (std::filesystem::is_directory(FileName, Ignored))
    throw Exception(Format("Файл тестов \"%s\" — это папка, а не файл.", FileName.c_str()));
  TFileStream File(FileName, fmOpenRead);
  std::string Text;
  char Buffer[65536];
  for (;;) {
    const int64_t Count = File.Read(Buffer, sizeof Buffer);
    if (Count <= 0)
      break;
    Text.append(Buffer, static_cast<size_t>(Count));
  }
  return Text;
}

TTestFile ReadTestFile(const std::string& FileName) {
  return ParseTestFile(ReadTestFileText(FileName), FileName);
}

std::string FindTestFile(const std::string& AlgorithmFileName) {
  std::filesystem::path Path(AlgorithmFileName);
  Path.replace_extension(".tests");
  struct stat Info;
  if (stat(Path.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode))
    return {};
  return Path.string();
}

} // namespace Deskbay
