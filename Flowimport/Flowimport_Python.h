#pragma once

// A Python program read into the statements of a chart: assignments
// (also +=, -=, *=, /=), input through input(), float(input()),
// int(input()) or map(float, input().split()), print, if/elif/else, while,
// for over range, the functions of math the language has, % and // where
// they mean MOD and division for the values, ** as ^; a drawing statement
// kept as a comment ("# рисунок (…): …") is that statement again. What a
// program written from a chart adds (its helpers, the checks of variables
// without a value, the counting loop spelt as a while loop) is read back.
// Anything else is refused with the line, the column and the reason.

#include "FlowimportExport.h"

#include "Flowimport_Chart.h"

#include <string_view>

namespace Deskbay {

// Reads Text (checked with CheckSourceText) into Nodes, noting the names
// in Names. Raises EImportError.
FLOWIMPORT_API void ReadPythonProgram(std::string_view Text, const std::string& FileName,
                                      TImportNodes& Nodes, TNameMap& Names);

} // namespace Deskbay
