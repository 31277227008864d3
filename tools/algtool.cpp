// algtool: algorithm files from the command line — run, check, show, create,
// resave and draw them without the desktop program.

#include "Algtool_CheckPool.h"
#include "Algtool_CheckReport.h"
#include "Algtool_Files.h"
#include "Algtool_Run.h"
#include "Algtool_TestFile.h"

#include "Corekit/SysUtils.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
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
    "  algtool check ТЕСТЫ ФАЙЛ... [--format text|csv|json] [--jobs N]\n"
    "      проверить алгоритмы на случаях из файла тестов\n"
    "  algtool show ФАЙЛ\n"
    "      показать блоки алгоритма\n"
    "  algtool new ФАЙЛ\n"
    "      создать новый пустой алгоритм\n"
    "  algtool resave ФАЙЛ НОВЫЙ_ФАЙЛ\n"
    "      прочитать алгоритм и сохранить его заново\n"
    "  algtool render ФАЙЛ -o КАРТИНКА.svg\n"
    "      нарисовать блок-схему в формате SVG\n";

int UsageError(const std::string& Why) {
  std::cerr << "algtool: " << Why << "\n\n" << Usage;
  return ExitUsage;
}

int Failed(const Exception& E) {
  std::cerr << MessageLines(E.Message()) << '\n';
  return 1;
}

void PrintTree(const TAlgBlock* Block, int Depth) {
  const bool Sequence = Block->GetClass() == &TCompoundAlgBlock::Class;
  if (!Sequence) {
    std::cout << std::string(2 * Depth, ' ') << DescribeBlock(Block) << '\n';
    ++Depth;
  }
  if (const auto* If = dynamic_cast<const TIfAlgBlock*>(Block)) {
    std::cout << std::string(2 * Depth, ' ') << "да:\n";
    PrintTree(If->GetYesBranch(), Depth + 1);
    std::cout << std::string(2 * Depth, ' ') << "нет:\n";
    PrintTree(If->GetNoBranch(), Depth + 1);
    return;
  }
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    PrintTree(Block->GetBlocks(I), Depth);
}

int Show(const std::string& FileName) {
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, FileName);
  PrintTree(Alg.GetRoot(), 0);
  return 0;
}

int New(const std::string& FileName) {
  if (access(FileName.c_str(), F_OK) == 0)
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

int Render(const std::string& FileName, const std::string& SvgFileName) {
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, FileName);
  RenderAlgorithmSvg(Alg, SvgFileName);
  return 0;
}

int Run(const std::vector<std::string>& Args) {
  TRunOptions Options;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (A == "--trace") {
      Options.Trace = true;
    } else if (A == "--vars") {
      Options.Vars = true;
    } else if (A == "--max-steps") {
      if (I + 1 >= Args.size() || !ParseCount(Args[I + 1], Options.MaxSteps))
        return UsageError("после --max-steps нужно целое число шагов.");
      ++I;
    } else if (A == "--canvas") {
      if (I + 1 >= Args.size())
        return UsageError("после --canvas нужно имя файла картинки.");
      Options.CanvasFileName = Args[++I];
    } else if (!A.empty() && A[0] == '-') {
      return UsageError(Format("неизвестный параметр \"%s\".", A.c_str()));
    } else if (Options.FileName.empty()) {
      Options.FileName = A;
    } else {
      return UsageError("команде run нужен один файл алгоритма.");
    }
  }
  if (Options.FileName.empty())
    return UsageError("команде run нужен файл алгоритма.");
  return RunAlgorithm(Options, std::cin, isatty(STDIN_FILENO) != 0, std::cout, std::cerr);
}

int Check(const std::vector<std::string>& Args) {
  std::vector<std::string> Names;
  TReportFormat ReportFormat = TReportFormat::Text;
  int64_t Jobs = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
  bool Options = true;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    if (Options && A == "--") {
      Options = false;
    } else if (Options && A == "--format") {
      const std::string Value = I + 1 < Args.size() ? Args[++I] : "";
      if (Value == "text")
        ReportFormat = TReportFormat::Text;
      else if (Value == "csv")
        ReportFormat = TReportFormat::Csv;
      else if (Value == "json")
        ReportFormat = TReportFormat::Json;
      else
        return UsageError("после --format нужен формат: text, csv или json.");
    } else if (Options && A == "--jobs") {
      if (I + 1 >= Args.size() || !ParseCount(Args[I + 1], Jobs) || Jobs == 0)
        return UsageError("после --jobs нужно целое число процессов больше нуля.");
      ++I;
    } else if (Options && A.size() > 1 && A[0] == '-') {
      return UsageError(Format("неизвестный параметр \"%s\".", A.c_str()));
    } else {
      Names.push_back(A);
    }
  }
  if (Names.size() < 2)
    return UsageError("команде check нужны файл тестов и хотя бы один файл алгоритма.");
  const TTestFile Tests = ReadTestFile(Names[0]);
  Names.erase(Names.begin());
  TCheckReport Report(ReportFormat, std::cout);
  CheckFiles(Tests, Names, static_cast<int>(std::min<int64_t>(Jobs, 1 << 16)),
             [&Report](const TFileResult& File) { Report.Add(File); });
  Report.Finish();
  return Report.ExitStatus();
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Args(argv + 1, argv + argc);
  if (Args.empty())
    return UsageError("не указана команда.");
  const std::string Command = Args[0];
  Args.erase(Args.begin());
  if (Command == "--help" || Command == "-h" || Command == "help") {
    std::cout << Usage;
    return 0;
  }
  try {
    if (Command == "run")
      return Run(Args);
    if (Command == "check")
      return Check(Args);
    if (Command == "show" && Args.size() == 1)
      return Show(Args[0]);
    if (Command == "new" && Args.size() == 1)
      return New(Args[0]);
    if (Command == "resave" && Args.size() == 2)
      return Resave(Args[0], Args[1]);
    if (Command == "render" && Args.size() == 3 && Args[1] == "-o")
      return Render(Args[0], Args[2]);
    if (Command == "show" || Command == "new" || Command == "resave" || Command == "render")
      return UsageError(Format("неверные аргументы команды %s.", Command.c_str()));
    return UsageError(Format("неизвестная команда \"%s\".", Command.c_str()));
  } catch (const Exception& E) {
    return Failed(E);
  } catch (const std::exception& E) {
    std::cerr << E.what() << '\n';
    return 1;
  }
}
