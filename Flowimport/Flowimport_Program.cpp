#include "Flowimport_Program.h"

#include "Flowimport_Chart.h"
#include "Flowimport_Errors.h"
#include "Flowimport_Pascal.h"
#include "Flowimport_Python.h"
#include "Flowimport_Text.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <unistd.h>

#include <cerrno>

namespace Deskbay {

bool ImportFormFromName(std::string_view Name, TImportForm& Form) {
  if (Name == "text")
    Form = TImportForm::Text;
  else if (Name == "python")
    Form = TImportForm::Python;
  else if (Name == "pascal")
    Form = TImportForm::Pascal;
  else
    return false;
  return true;
}

bool ImportFormFromFileName(const std::string& FileName, TImportForm& Form) {
  const size_t Dot = FileName.rfind('.');
  const size_t Slash = FileName.rfind('/');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
    return false;
  const std::string Ext = LowerCaseRu(FileName.substr(Dot));
  if (Ext == ".py")
    Form = TImportForm::Python;
  else if (Ext == ".pas" || Ext == ".pp" || Ext == ".dpr")
    Form = TImportForm::Pascal;
  else if (Ext == ".txt")
    Form = TImportForm::Text;
  else
    return false;
  return true;
}

TImportReport ImportProgram(TAlgorithm& Alg, std::string_view Text, TImportForm Form,
                            const std::string& FileName) {
  TImportReport Report;
  if (Form == TImportForm::Text) {
    ImportChartText(Alg, Text, FileName);
    return Report;
  }
  TImportNodes Nodes;
  TNameMap Names;
  if (Form == TImportForm::Python)
    ReadPythonProgram(Text, FileName, Nodes, Names);
  else
    ReadPascalProgram(Text, FileName, Nodes, Names);
  FinishImportNodes(Nodes, Names, FileName);
  if (Nodes.empty())
    throw EImportError(FileName, 0, 0, "в программе нет ни одного оператора.");
  BuildImportedBlocks(Nodes, Alg.GetRoot()->GetBody(), FileName);
  Report.Names = Names.Report();
  return Report;
}

std::string ReadProgramSource(const std::string& FileName) {
  if (FileName != "-")
    return ReadFileLimited(FileName, MaxProgramTextBytes);
  std::string Text;
  char Buffer[65536];
  for (;;) {
    const ssize_t N = ::read(STDIN_FILENO, Buffer, sizeof Buffer);
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      throw Exception("Не удалось прочитать стандартный ввод: " + SysErrorMessage(errno));
    if (N == 0)
      return Text;
    if (Text.size() + static_cast<size_t>(N) > static_cast<size_t>(MaxProgramTextBytes))
      throw Exception(Format("Стандартный ввод длиннее %lld байт — это не текст программы.",
                             MaxProgramTextBytes));
    Text.append(Buffer, static_cast<size_t>(N));
  }
}

TImportedBlocks ImportProgramAsBlocks(std::string_view Text, const std::string& FileName) {
  TAlgorithm Alg;
  TImportedBlocks Result;
  Result.Names = ImportProgram(Alg, Text, GuessImportForm(Text), FileName).Names;
  std::vector<TAlgBlock*> Blocks;
  TAlgBlock* Body = Alg.GetRoot()->GetBody();
  for (int I = 0; I < Body->GetBlockCount(); ++I)
    Blocks.push_back(Body->GetBlocks(I));
  if (Blocks.empty())
    throw EImportError(FileName, 0, 0, "в тексте нет ни одного блока.");
  Result.Bytes = AlgBlocksToBytes(Blocks);
  return Result;
}

TImportForm GuessImportForm(std::string_view Text) {
  if (LooksLikeChartText(Text))
    return TImportForm::Text;
  const std::string Lower = LowerCaseRu(Text.substr(0, 4096));
  for (const char* Sign : {":=", "begin", "writeln", "readln", "program "})
    if (Lower.find(Sign) != std::string::npos)
      return TImportForm::Pascal;
  return TImportForm::Python;
}

} // namespace Deskbay
