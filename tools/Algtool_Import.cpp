#include "Algtool_Import.h"

#include "Algtool_Files.h"

#include "Flowmodel/Flowmodel_Main.h"

namespace Deskbay::Algtool {

std::vector<std::string> ImportAlgorithmFile(const TImportOptions& Options) {
  const std::string Text = ReadProgramSource(Options.FileName);
  TAlgorithm Alg;
  const TImportReport Report = ImportProgram(Alg, Text, Options.Form, Options.FileName);
  SaveAlgorithmFile(Alg, Options.OutFileName);
  return Report.Names;
}

} // namespace Deskbay::Algtool
