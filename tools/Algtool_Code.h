#pragma once

// "algtool code": the algorithm as the text of a program in Python, Pascal
// or C++, on standard output or into a file.

#include "Flowcode/Flowcode_Program.h"

#include <iosfwd>
#include <string>

namespace Deskbay::Algtool {

struct TCodeOptions {
  std::string FileName;
  TCodeLanguage Language = TCodeLanguage::Python;
  TCodeStyleKind Style = TCodeStyleKind::Exact;
  std::string OutFileName; // empty: standard output
};

// Writes the program text of the algorithm file to Out, or into
// OutFileName through the atomic writer. A file that does not load raises
// the loader's error naming it; nothing is written then.
void WriteAlgorithmCode(const TCodeOptions& Options, std::ostream& Out);

} // namespace Deskbay::Algtool
