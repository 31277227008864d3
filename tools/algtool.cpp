// algtool: algorithm files from the command line — run, show, create, resave
// and draw them without the desktop program.

#include "Algtool_Files.h"
#include "Algtool_Run.h"

#include "Corekit/SysUtils.h"

#include <unistd.h>

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

// Whole decimal numbers only: a step limit of "10x" or "-1" is a mistake.
bool ParseCount(const std::string& S, int64_t& Value) {
  if (S.empty() || S.size() > 18)
    return false;
  for (char C : S)
    if (C < '0' || C > '9')
      return false;
  Value = std::stoll(S);
  return true;
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
