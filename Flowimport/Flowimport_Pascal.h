#pragma once

// A Pascal program read into the statements of a chart: := assignments,
// read/readln and write/writeln of numbers, if … then … else, begin … end,
// while … do, repeat … until (the post-test loop, its condition turned
// round), for … to … do as a counting loop, downto as a pre-test loop, div,
// mod and the functions the language has; declarations are read and
// dropped. What a program written from a chart adds (helpers, checks of
// variables without a value, the counting loop spelt as a while loop) is
// read back. Anything else is refused with the line, the column and the
// reason. Names are compared without regard to case, as Pascal does.

#include "FlowimportExport.h"

#include "Flowimport_Chart.h"

#include <string_view>

namespace Deskbay {

FLOWIMPORT_API void ReadPascalProgram(std::string_view Text, const std::string& FileName,
                                      TImportNodes& Nodes, TNameMap& Names);

} // namespace Deskbay
