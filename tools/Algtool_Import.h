#pragma once

// "algtool import": a program text (Python, Pascal or the chart's text
// form) made into an algorithm file.

#include "Flowimport/Flowimport_Program.h"

#include <string>
#include <vector>

namespace Deskbay::Algtool {

struct TImportOptions {
  std::string FileName; // "-": standard input
  std::string OutFileName;
  TImportForm Form = TImportForm::Python;
};

// Reads the program, builds the chart and writes it through the atomic
// writer. Returns the name mapping ("total → T" lines). A refusal raises
// the import's error naming the file, the line and the column; nothing is
// written then.
std::vector<std::string> ImportAlgorithmFile(const TImportOptions& Options);

} // namespace Deskbay::Algtool
