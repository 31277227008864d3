// algtool: algorithm files from the command line — run, check, show, create,
// resave and draw them without the desktop program.

#include "Algtool_CheckCoverage.h"
#include "Algtool_CheckExpected.h"
#include "Algtool_CheckFeedback.h"
#include "Algtool_CheckPool.h"
#include "Algtool_CheckReport.h"
#include "Algtool_Code.h"
#include "Algtool_Files.h"
#include "Algtool_Import.h"
#include "Algtool_Output.h"
#include "Algtool_Render.h"
#include "Algtool_Run.h"
#include "Algtool_Task.h"
#include "Algtool_TestFile.h"

#include "Corekit/ModMgr.h"
#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Corekit/VersionInfo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace Deskbay;
using namespace Deskbay::Algtool;

namespace {

constexpr int ExitUsage = 2;

const char* const Usage =
    "Использование:\n"
    "  algtool run ФАЙЛ [--max-steps N] [--trace] [--vars] [--canvas КАРТИНКА.png]\n"
    "      выполнить алгоритм; ввод читается со стандартного входа, по значению в строке\n"
    "  algtool check ТЕСТЫ ФАЙЛ... [--format text|csv|json|junit|gradescope] [--jobs N]\n"
    "        [--all] [--coverage] [--model ОБРАЗЕЦ] [--csv-sep ЗНАК] [--excel] [--marks ШКАЛА]\n"
    "        [--feedback ПАПКА] [--summary] [--similar] [--task ЗАДАНИЕ.task]\n"
    "        [--] [ФАЙЛ...]\n"
    "      проверить алгоритмы на случаях из файла тестов; после файла тестов\n"
    "      параметром считается только параметр, написанный точно (со значением,\n"
    "      если оно нужно), всё прочее — файлы, а после -- файлами считается всё;\n"
    "      --all — все неудачные случаи, --coverage — невыполненные блоки\n"
    "      (с --model — и непройденные ветви и циклы образца);\n"
    "      --marks 5:90,4:75,3:50 — оценки по доле баллов, --feedback — отзыв\n"
    "      каждому ученику (ПАПКА/ИМЯ.txt и .html, скрытые случаи без данных),\n"
    "      --summary — итог по случаям для класса (с --model — и невыполненные\n"
    "      блоки образца), --similar — пары похожих схем (копии с другими\n"
    "      именами переменных, другим порядком строк); junit — JUnit XML для\n"
    "      платформ, gradescope — results.json Gradescope для работы одного ученика;\n"
    "      --task — и ограничения задания\n"
    "  algtool check ТЕСТЫ --expected-from ОБРАЗЕЦ [-o ФАЙЛ]\n"
    "      заполнить ожидаемый вывод случаев по образцовому решению\n"
    "  algtool task make --text ТЕКСТ.md --start НАЧАЛО.alg --tests ВСЕ.tests\n"
    "        --visible 1,2 [--allow-blocks ВИДЫ] [--allow-functions ИМЕНА]\n"
    "        [--max-blocks N] [--no-program-text] -o ЗАДАНИЕ.task\n"
    "      собрать задание для учеников: текст, начальная схема, открытые случаи\n"
    "      (номера с 1 по порядку файла тестов) и ограничения (виды блоков, как их\n"
    "      называет show, через запятую; функции и команды рисования; число блоков;\n"
    "      без окна программы)\n"
    "  algtool task make --text ТЕКСТ.md --start НАЧАЛО.alg --tests ВСЕ.tests\n"
    "        --visible 1,2 [--allow-blocks ВИДЫ] [--allow-functions ИМЕНА]\n"
    "        [--max-blocks N] [--no-program-text] -o ЗАДАНИЕ.task\n"
    "      собрать задание для учеников: текст, начальная схема, открытые случаи\n"
    "      (номера с 1 по порядку файла тестов) и ограничения (виды блоков, как их\n"
    "      называет show, через запятую; функции и команды рисования; число блоков;\n"
    "      без окна программы)\n"
    "  algtool show ФАЙЛ\n"
    "      показать блоки алгоритма\n"
    "  algtool new ФАЙЛ\n"
    "      создать новый пустой алгоритм\n"
    "  algtool resave ФАЙЛ НОВЫЙ_ФАЙЛ\n"
    "      прочитать алгоритм и сохранить его заново\n"
    "  algtool render ФАЙЛ -o РИСУНОК.svg|.png|.pdf [--scale 100|200]\n"
    "      нарисовать блок-схему: формат по расширению имени рисунка,\n"
    "      --scale — масштаб рисунка PNG в процентах\n"
    "  algtool code ФАЙЛ --lang python|pascal|cpp [--style exact|lesson] [-o ПРОГРАММА]\n"
    "      записать алгоритм как программу на Python, Pascal или C++;\n"
    "      exact (по умолчанию) печатает то же, что исполнитель, и так же\n"
    "      останавливается, lesson — программа, как её пишут на уроке\n"
    "  algtool import ПРОГРАММА -o ФАЙЛ [--from python|pascal|text]\n"
    "      сделать блок-схему из программы на Python или Pascal или из текста\n"
    "      блоков, как его печатает show; вид по расширению (.py, .pas, .txt)\n"
    "      или --from, \"-\" — стандартный вход; замены имён — в поток ошибок\n"
    "  algtool --version | --help\n"
    "      показать версию или эту справку\n";

// The standard streams of this process, watched for failed writes.
struct TConsole {
  TOutputChannel Out{STDOUT_FILENO, false};
  TOutputChannel Err{STDERR_FILENO, true};
};

// The reason comes last, where a reader of a long usage text looks first.
int UsageError(TConsole& C, const std::string& Why) {
  C.Err.Stream() << Usage << '\n' << ErrorLines("algtool: " + Why) << '\n';
  return ExitUsage;
}

int Failed(TConsole& C, const std::string& Message) {
  C.Err.Stream() << ErrorLines(Message) << '\n';
  return 1;
}

int Show(TConsole& C, const std::string& FileName) {
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, FileName);
  for (const std::string& Line : BlockTreeLines(Alg.GetRoot()))
    C.Out.Stream() << VisibleText(Line) << '\n';
  return 0;
}

int New(const std::string& FileName) {
  // lstat, not access: a dangling symbolic link is there too, and saving
  // would create the file it names.
  struct stat St;
  if (::lstat(FileName.c_str(), &St) == 0)
    throw Exception(Format("Файл \"%s\" уже существует.", FileName.c_str()));
  TAlgorithm Alg;
  SaveAlgorithmFile(Alg, FileName);
  return 0;
}

int Resave(const std::string& In, const std::string& Out) {
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, In);
  SaveAlgorithmFile(Alg, Out);
  return 0;
}

bool IsPngName(const std::string& FileName) {
  return FileName.size() >= 4 && LowerCaseRu(FileName.substr(FileName.size() - 4)) == ".png";
}

int Render(TConsole& C, const std::vector<std::string>& Args) {
  std::string FileName, OutName;
  int Percent = 0; // not given
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (A == "-o") {
      if (++I == Args.size() || Args[I].empty())
        return UsageError(C, "после -o нужно имя файла рисунка.");
      OutName = Args[I];
    } else if (A == "--scale") {
      if (++I == Args.size() || (Args[I] != "100" && Args[I] != "200"))
        return UsageError(C, "после --scale нужен масштаб рисунка PNG: 100 или 200.");
      Percent = Args[I] == "100" ? 100 : 200;
    } else if (!A.empty() && A[0] == '-') {
      return UsageError(C, Format("неизвестный параметр \"%s\".", A.c_str()));
    } else if (FileName.empty()) {
      FileName = A;
    } else {
      return UsageError(C, "команде render нужен один файл алгоритма.");
    }
  }
  if (FileName.empty())
    return UsageError(C, "команде render нужен файл алгоритма.");
  if (OutName.empty())
    return UsageError(C, "команде render нужно имя файла рисунка: -o РИСУНОК.");
  if (Percent != 0 && !IsPngName(OutName))
    return UsageError(C, "--scale бывает только у рисунка PNG.");
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, FileName);
  // The window heads the PDF's pages with the document's file name.
  WriteAlgorithmPicture(Alg, OutName, Percent == 0 ? 100 : Percent,
                        std::filesystem::path(FileName).filename().string());
  return 0;
}

int Code(TConsole& C, const std::vector<std::string>& Args) {
  TCodeOptions Options;
  bool HasLanguage = false;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (A == "--lang") {
      if (++I == Args.size() || !CodeLanguageFromName(Args[I], Options.Language))
        return UsageError(C, "после --lang нужен язык: python, pascal или cpp.");
      HasLanguage = true;
    } else if (A == "--style") {
      if (++I == Args.size() || !CodeStyleFromName(Args[I], Options.Style))
        return UsageError(C, "после --style нужен вид текста: exact или lesson.");
    } else if (A == "-o") {
      if (++I == Args.size() || Args[I].empty())
        return UsageError(C, "после -o нужно имя файла программы.");
      Options.OutFileName = Args[I];
    } else if (!A.empty() && A[0] == '-') {
      return UsageError(C, Format("неизвестный параметр \"%s\".", A.c_str()));
    } else if (Options.FileName.empty()) {
      Options.FileName = A;
    } else {
      return UsageError(C, "команде code нужен один файл алгоритма.");
    }
  }
  if (Options.FileName.empty())
    return UsageError(C, "команде code нужен файл алгоритма.");
  if (!HasLanguage)
    return UsageError(C, "команде code нужен язык: --lang python, pascal или cpp.");
  WriteAlgorithmCode(Options, C.Out.Stream());
  return 0;
}

int Import(TConsole& C, const std::vector<std::string>& Args) {
  TImportOptions Options;
  bool HasForm = false;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (A == "--from") {
      if (++I == Args.size() || !ImportFormFromName(Args[I], Options.Form))
        return UsageError(C, "после --from нужен вид текста: python, pascal или text.");
      HasForm = true;
    } else if (A == "-o") {
      if (++I == Args.size() || Args[I].empty())
        return UsageError(C, "после -o нужно имя файла алгоритма.");
      Options.OutFileName = Args[I];
    } else if (A.size() > 1 && A[0] == '-') {
      return UsageError(C, Format("неизвестный параметр \"%s\".", A.c_str()));
    } else if (Options.FileName.empty()) {
      Options.FileName = A;
    } else {
      return UsageError(C, "команде import нужен один файл программы.");
    }
  }
  if (Options.FileName.empty())
    return UsageError(C, "команде import нужен файл программы (или \"-\").");
  if (Options.OutFileName.empty())
    return UsageError(C, "команде import нужно имя файла алгоритма: -o ФАЙЛ.");
  if (!HasForm && !ImportFormFromFileName(Options.FileName, Options.Form))
    return UsageError(C, "по имени файла не понять, что это за текст: укажите --from python, "
                         "pascal или text.");
  for (const std::string& Line : ImportAlgorithmFile(Options))
    C.Err.Stream() << VisibleText(Line) << '\n';
  return 0;
}

enum class TCount { Ok, NotANumber, TooLarge };

// Whole decimal numbers only: a step limit of "10x" or "-1" is a mistake,
// one beyond the largest count is too large.
TCount ReadStepCount(const std::string& S, int64_t& Value) {
  if (S.empty() || S.find_first_not_of("0123456789") != std::string::npos)
    return TCount::NotANumber;
  const auto Res = std::from_chars(S.data(), S.data() + S.size(), Value);
  return Res.ec == std::errc() ? TCount::Ok : TCount::TooLarge;
}

int Run(TConsole& C, const std::vector<std::string>& Args) {
  TRunOptions Options;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (A == "--trace") {
      Options.Trace = true;
    } else if (A == "--vars") {
      Options.Vars = true;
    } else if (A == "--max-steps") {
      if (I + 1 >= Args.size())
        return UsageError(C, "после --max-steps нужно целое число шагов.");
      switch (ReadStepCount(Args[I + 1], Options.MaxSteps)) {
      case TCount::Ok:
        break;
      case TCount::NotANumber:
        return UsageError(C, "после --max-steps нужно целое число шагов.");
      case TCount::TooLarge:
        return UsageError(C,
                          Format("число шагов после --max-steps слишком велико (не больше %lld).",
                                 static_cast<long long>(std::numeric_limits<int64_t>::max())));
      }
      ++I;
    } else if (A == "--canvas") {
      if (I + 1 >= Args.size())
        return UsageError(C, "после --canvas нужно имя файла картинки.");
      Options.CanvasFileName = Args[++I];
    } else if (!A.empty() && A[0] == '-') {
      return UsageError(C, Format("неизвестный параметр \"%s\".", A.c_str()));
    } else if (Options.FileName.empty()) {
      Options.FileName = A;
    } else {
      return UsageError(C, "команде run нужен один файл алгоритма.");
    }
  }
  if (Options.FileName.empty())
    return UsageError(C, "команде run нужен файл алгоритма.");
  return RunAlgorithm(Options, std::cin, isatty(STDIN_FILENO) != 0, C.Out.Stream(), C.Err.Stream());
}

bool ReadReportFormat(const std::string& Value, TReportFormat& Kind) {
  if (Value == "text")
    Kind = TReportFormat::Text;
  else if (Value == "csv")
    Kind = TReportFormat::Csv;
  else if (Value == "json")
    Kind = TReportFormat::Json;
  else if (Value == "junit")
    Kind = TReportFormat::Junit;
  else if (Value == "gradescope")
    Kind = TReportFormat::Gradescope;
  else
    return false;
  return true;
}

// The ways through the model that no case takes, on standard error, so
// that a report on standard output stays one table.
void PrintModelCoverage(TConsole& C, const TTestFile& Tests, TAlgorithm& Model,
                        const std::string& ModelName) {
  const std::vector<std::string> Gaps = ModelCoverageGaps(Model, Tests);
  std::ostream& Err = C.Err.Stream();
  if (Gaps.empty())
    Err << "Образец " << VisibleText(ModelName) << ": случаи проходят все ветви и циклы.\n";
  else
    Err << "Образец " << VisibleText(ModelName) << ": случаям не хватает путей:\n";
  for (const std::string& Gap : Gaps)
    Err << "  " << VisibleText(Gap) << '\n';
}

void PrintModelCoverage(TConsole& C, const TTestFile& Tests, const std::string& ModelName) {
  TAlgorithm Model;
  LoadAlgorithmFile(Model, ModelName);
  PrintModelCoverage(C, Tests, Model, ModelName);
}

// --expected-from: the test file with the model's output as the expected
// one, on standard output or into OutName (written whole or not at all).
int FillTests(TConsole& C, const std::string& TestsName, const std::string& ModelName,
              const std::string& OutName, bool Coverage) {
  const std::string Text = ReadTestFileText(TestsName);
  TAlgorithm Model;
  LoadAlgorithmFile(Model, ModelName);
  const std::string Filled = FillExpected(Text, TestsName, Model);
  if (Coverage)
    PrintModelCoverage(C, ParseTestFile(Filled, TestsName), Model, ModelName);
  if (OutName.empty()) {
    C.Out.Stream() << Filled;
    return 0;
  }
  SaveFileAtomically(OutName, [&Filled](TStream& File) {
    File.WriteBuffer(Filled.data(), static_cast<int64_t>(Filled.size()));
  });
  return 0;
}

// --task and --similar: a checked file's chart, read again (the check may
// have read it in a worker process), for the task's restrictions (a case of
// their own at the end of the file's cases) and for the comparison of
// charts. A file that could not be read fails the restrictions' case with
// the reason and is compared with nothing.
void ReadChartAgain(TFileResult& File, const TTaskRestrictions* Restrictions, bool Similar,
                    std::vector<std::string>& Files, std::vector<TChartPrint>& Prints,
                    std::vector<std::string>& Owners) {
  TAlgorithm Alg;
  bool Loaded = File.Loaded;
  std::string Reason = File.Cases.empty() ? std::string() : File.Cases.front().Reason;
  if (Loaded)
    try {
      LoadAlgorithmFile(Alg, File.FileName);
    } catch (const Exception& E) {
      Loaded = false;
      Reason = E.Message();
    }
  if (Restrictions)
    File.Cases.push_back(RestrictionCase(Loaded ? &Alg : nullptr, *Restrictions, Reason));
  if (!Similar || !Loaded)
    return;
  Files.push_back(File.FileName);
  Prints.push_back(ChartPrint(Alg));
  // The pupil as every report names one: the file without its folder.
  const size_t Slash = File.FileName.find_last_of('/');
  Owners.push_back(Slash == std::string::npos ? File.FileName : File.FileName.substr(Slash + 1));
}

// --marks: a wrong scale leaves Why saying what is wrong with it.
bool ReadMarks(const std::string& Text, TMarkScale& Marks, std::string& Why) {
  try {
    Marks = ParseMarkScale(Text);
    return true;
  } catch (const Exception& E) {
    Why = E.Message();
    return false;
  }
}

// Before the test file every argument that starts with "-" is an option and
// must be right. After it the arguments are usually "*" expanded by the
// shell in a folder of pupils' files, whose names are the pupils' to
// choose: only an option written exactly (a flag, or an option with a
// right value) is one; anything else, a file called "--jobs" too, is a
// file, and after "--" everything is.
int Check(TConsole& C, const std::vector<std::string>& Args) {
  std::vector<std::string> Names;
  TReportOptions Report;
  std::string ModelName, OutName, FeedbackDir, TaskName;
  bool Expected = false, Similar = false;
  int64_t Jobs = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
  bool Options = true;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    const bool Strict = Names.empty();
    const std::string* Value = I + 1 < Args.size() ? &Args[I + 1] : nullptr;
    int64_t Count = 0;
    std::string MarksError;
    if (!Options) {
      Names.push_back(A);
    } else if (A == "--") {
      Options = false;
    } else if (A == "--format" && Value && ReadReportFormat(*Value, Report.Format)) {
      ++I;
    } else if (A == "--jobs" && Value && ParseCount(*Value, Count) && Count > 0) {
      Jobs = Count;
      ++I;
    } else if (A == "--all") {
      Report.AllFailures = true;
    } else if (A == "--coverage") {
      Report.Coverage = true;
    } else if (A == "--summary") {
      Report.Summary = true;
    } else if (A == "--similar") {
      Similar = true;
    } else if (A == "--task" && Value && TaskName.empty() && !Value->empty()) {
      TaskName = *Value;
      ++I;
    } else if (A == "--marks" && Value && ReadMarks(*Value, Report.Marks, MarksError)) {
      ++I;
    } else if (Strict && A == "--marks" && !MarksError.empty()) {
      return UsageError(C, MarksError);
    } else if (A == "--feedback" && Value && FeedbackDir.empty() && !Value->empty()) {
      FeedbackDir = *Value;
      ++I;
    } else if (A == "--excel") {
      Report.ByteOrderMark = true;
    } else if (A == "--csv-sep" && Value && Value->size() == 1 &&
               std::string_view(",;\t|").find((*Value)[0]) != std::string_view::npos) {
      Report.CsvSeparator = (*Value)[0];
      ++I;
    } else if ((A == "--expected-from" || A == "--model") && Value && ModelName.empty()) {
      Expected = Expected || A == "--expected-from";
      ModelName = *Value;
      ++I;
    } else if (A == "-o" && Value && OutName.empty()) {
      OutName = *Value;
      ++I;
    } else if (Strict && A == "--format") {
      return UsageError(C, "после --format нужен формат: text, csv, json, junit или gradescope.");
    } else if (Strict && A == "--jobs") {
      return UsageError(C, "после --jobs нужно целое число процессов больше нуля.");
    } else if (Strict && A == "--csv-sep") {
      return UsageError(C, "после --csv-sep нужен разделитель: \",\", \";\", \"|\" или табуляция.");
    } else if (Strict && A == "--marks") {
      return UsageError(C, "после --marks нужна шкала оценок, например \"5:90,4:75,3:50\".");
    } else if (Strict && (A == "--expected-from" || A == "--model" || A == "-o" ||
                          A == "--feedback" || A == "--task")) {
      return UsageError(C, Format("после %s нужно имя файла (один раз).", A.c_str()));
    } else if (Strict && A.size() > 1 && A[0] == '-') {
      return UsageError(C, Format("неизвестный параметр \"%s\".", A.c_str()));
    } else {
      Names.push_back(A);
    }
  }
  if (Expected) {
    if (Names.size() != 1)
      return UsageError(C, "с --expected-from команде check нужен только файл тестов.");
    return FillTests(C, Names[0], ModelName, OutName, Report.Coverage);
  }
  if (!OutName.empty())
    return UsageError(C, "-o у команды check бывает только с --expected-from.");
  if (Names.size() < 2)
    return UsageError(C, "команде check нужны файл тестов и хотя бы один файл алгоритма.");
  if (Report.Format == TReportFormat::Gradescope && Names.size() != 2)
    return UsageError(C, "с --format gradescope проверяется один файл: работа одного ученика.");
  if ((Report.Summary || Similar) &&
      (Report.Format == TReportFormat::Junit || Report.Format == TReportFormat::Gradescope))
    return UsageError(C, "--summary и --similar бывают в отчётах text, csv и json.");
  const TTestFile Tests = ReadTestFile(Names[0]);
  Names.erase(Names.begin());
  if (!ModelName.empty() && Report.Coverage)
    PrintModelCoverage(C, Tests, ModelName);
  TClassEnd End;
  if (!ModelName.empty() && Report.Summary) {
    const TFileResult Model = CheckFile(Tests, ModelName, true);
    if (!Model.Loaded)
      throw Exception(Model.Cases.empty() ? std::string() : Model.Cases[0].Reason);
    End.HasModel = true;
    End.ModelUnreached = Model.Unreached;
  }
  std::optional<TFeedbackWriter> Feedback;
  if (!FeedbackDir.empty())
    Feedback.emplace(FeedbackDir, Report.Marks);
  std::optional<TTaskRestrictions> Restrictions;
  if (!TaskName.empty())
    Restrictions = ReadTaskPackFile(TaskName).Restrictions;
  End.HasSimilar = Similar;
  std::vector<TChartPrint> Prints;
  std::vector<std::string> Owners;
  TCheckReport Out(Report, C.Out.Stream());
  CheckFiles(Tests, Names, static_cast<int>(std::min<int64_t>(Jobs, 1 << 16)), Report.Coverage,
             [&](const TFileResult& Checked) {
               TFileResult File = Checked;
               if (Restrictions || Similar)
                 ReadChartAgain(File, Restrictions ? &*Restrictions : nullptr, Similar, End.Files,
                                Prints, Owners);
               Out.Add(File);
               if (Feedback)
                 Feedback->Write(File);
             });
  if (Similar)
    End.Similar = FindSimilarCharts(Prints, Owners);
  if (Feedback)
    Feedback->Finish();
  Out.Finish(End);
  return Out.ExitStatus();
}

// "task make": every option once, the required ones all given.
int Task(TConsole& C, const std::vector<std::string>& Args) {
  if (Args.empty() || Args[0] != "make")
    return UsageError(C, "у команды task есть только make.");
  TTaskMakeOptions Options;
  std::string* Files[] = {&Options.TextFile, &Options.StartFile, &Options.TestsFile,
                          &Options.Visible, &Options.OutFile};
  const char* const Names[] = {"--text", "--start", "--tests", "--visible", "-o"};
  bool Blocks = false, Functions = false, NoProgram = false;
  for (size_t I = 1; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    const std::string* Value = I + 1 < Args.size() ? &Args[I + 1] : nullptr;
    bool Known = false;
    for (size_t K = 0; K < std::size(Names); ++K)
      if (A == Names[K]) {
        if (!Value || !Files[K]->empty() || Value->empty())
          return UsageError(C, Format("после %s нужно значение (один раз).", A.c_str()));
        *Files[K] = *Value;
        Known = true;
        ++I;
      }
    if (Known)
      continue;
    try {
      if (A == "--allow-blocks" && Value && !Blocks) {
        Options.Restrictions.LimitsBlocks = Blocks = true;
        Options.Restrictions.Blocks = ParseBlockKinds(*Value);
        ++I;
      } else if (A == "--allow-functions" && Value && !Functions) {
        Options.Restrictions.LimitsFunctions = Functions = true;
        Options.Restrictions.Functions = ParseFunctionNames(*Value);
        ++I;
      } else if (A == "--max-blocks" && Value && Options.Restrictions.MaxBlocks == 0) {
        if (!ParseCount(*Value, Options.Restrictions.MaxBlocks) ||
            Options.Restrictions.MaxBlocks == 0)
          return UsageError(C, "после --max-blocks нужно целое число блоков больше нуля.");
        ++I;
      } else if (A == "--no-program-text" && !NoProgram) {
        Options.Restrictions.ProgramText = false;
        NoProgram = true;
      } else {
        return UsageError(
            C, Format("неизвестный или повторённый параметр \"%s\" команды task make.", A.c_str()));
      }
    } catch (const Exception& E) {
      return UsageError(C, A + ": " + E.Message());
    }
  }
  for (size_t K = 0; K < std::size(Names); ++K)
    if (Files[K]->empty())
      return UsageError(C, Format("команде task make нужен %s.", Names[K]));
  MakeTaskPack(Options);
  return 0;
}

int Dispatch(TConsole& C, std::vector<std::string> Args) {
  if (Args.empty())
    return UsageError(C, "не указана команда.");
  const std::string Command = Args[0];
  Args.erase(Args.begin());
  if (Command == "--help" || Command == "-h" || Command == "help") {
    C.Out.Stream() << Usage;
    return 0;
  }
  // The version every module of the system carries (the modules dialog
  // shows it), read from this program's own version section.
  if (Command == "--version") {
    C.Out.Stream() << "algtool " << TVersionInfo(GetProgramFileName()).GetVersionString() << '\n';
    return 0;
  }
  try {
    if (Command == "run")
      return Run(C, Args);
    if (Command == "check")
      return Check(C, Args);
    if (Command == "code")
      return Code(C, Args);
    if (Command == "task")
      return Task(C, Args);
    if (Command == "render")
      return Render(C, Args);
    if (Command == "import")
      return Import(C, Args);
    if (Command == "show" && Args.size() == 1)
      return Show(C, Args[0]);
    if (Command == "new" && Args.size() == 1)
      return New(Args[0]);
    if (Command == "resave" && Args.size() == 2)
      return Resave(Args[0], Args[1]);
    if (Command == "show" || Command == "new" || Command == "resave")
      return UsageError(C, Format("неверные аргументы команды %s.", Command.c_str()));
    return UsageError(C, Format("неизвестная команда \"%s\".", Command.c_str()));
  } catch (const EOutputFailed&) {
    return 1;
  } catch (const Exception& E) {
    return Failed(C, E.Message());
  } catch (const std::exception& E) {
    return Failed(C, E.what());
  }
}

// Output that did not reach its file is a failure, never a success with the
// output lost. A reader that went away (a pipe into head) is no news to the
// user, so that one stays quiet.
int FinishOutput(TConsole& C, int Status) {
  if (!C.Out.Flush() && C.Out.GetError() != EPIPE)
    C.Err.Stream() << ErrorLines(Format("algtool: не удалось записать стандартный вывод: %s",
                                        SysErrorMessage(C.Out.GetError()).c_str()))
                   << '\n';
  C.Err.Flush();
  return C.Out.Failed() || C.Err.Failed() ? 1 : Status;
}

} // namespace

int main(int argc, char** argv) {
  ReserveStandardDescriptors();
  // Standard input is read through its own buffer; nothing here mixes it
  // with the C library's stdio.
  std::ios::sync_with_stdio(false);
  TConsole C;
  const int Status = Dispatch(C, std::vector<std::string>(argv + 1, argv + argc));
  return FinishOutput(C, Status);
}
