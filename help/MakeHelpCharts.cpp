// Writes the picture examples of the help's pages as algorithm files, for the
// build to draw through "algtool run --canvas".
//
//   make_help_charts DIR PAGE.html...

#include "HelpExamples.h"

#include "tools/Algtool_Files.h"
#include "tools/Algtool_Output.h"

#include "Corekit/SysUtils.h"

#include <iostream>

using namespace Deskbay;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "Использование: make_help_charts ПАПКА СТРАНИЦА.html...\n";
    return 2;
  }
  const std::string Dir = argv[1];
  try {
    for (int I = 2; I < argc; ++I)
      for (const Help::THelpExample& E : Help::ReadHelpExamples(argv[I])) {
        if (E.Picture.empty())
          continue;
        TAlgorithm Alg;
        Help::BuildHelpChart(Alg, E.Chart, E.Where);
        Algtool::SaveAlgorithmFile(Alg, Dir + "/" + E.Picture + ".alg");
      }
  } catch (const Exception& E) {
    std::cerr << Algtool::ErrorLines(E.Message()) << '\n';
    return 1;
  }
  return 0;
}
