#include "Algtool_Code.h"

#include "Algtool_Files.h"

#include "Corekit/Streams.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <ostream>

namespace Deskbay::Algtool {

void WriteAlgorithmCode(const TCodeOptions& Options, std::ostream& Out) {
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, Options.FileName);
  const std::string Text = GenerateProgram(Alg, Options.Language, Options.Style).GetText();
  if (Options.OutFileName.empty()) {
    Out << Text << std::flush;
    return;
  }
  SaveFileAtomically(Options.OutFileName,
                     [&Text](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
}

} // namespace Deskbay::Algtool
