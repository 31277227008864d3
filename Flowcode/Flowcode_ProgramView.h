#pragma once

// What a view of the program text needs beside the text: which lines to
// mark for a set of blocks, which block a line stands for, and how the text
// is saved as a file of its language.

#include "Flowcode_Program.h"

#include <string>
#include <vector>

namespace Deskbay {

struct TCodeLineRange {
  int First = 0; // 0-based, inclusive
  int Last = 0;
  bool operator==(const TCodeLineRange&) const = default;
};

// The lines of Blocks (each with everything inside it), in order, ranges
// that overlap or touch joined into one; blocks without lines add nothing.
FLOWCODE_API std::vector<TCodeLineRange>
CodeLinesOfBlocks(const TProgramText& Text, const std::vector<const TAlgBlock*>& Blocks);

// The block a click on Line selects: the statement Line was written for
// (a sequence's own line, such as an empty body's placeholder, stands for
// the statement holding the sequence); nullptr for the program's frame and
// out of range.
FLOWCODE_API TAlgBlock* CodeLineSelectableBlock(const TProgramText& Text, int Line);

// The file dialog's filter of the language, e.g. "Программа на Python (*.py)".
FLOWCODE_API std::string CodeLanguageFileFilter(TCodeLanguage Language);
// The name offered for the program of the algorithm saved as
// AlgorithmFileName: its name with the language's extension instead of its
// own, beside it; "program" with the extension for an algorithm never saved.
FLOWCODE_API std::string SuggestedProgramFileName(const std::string& AlgorithmFileName,
                                                  TCodeLanguage Language);
// The bytes of the program's file: UTF-8 lines, each ended by '\n'.
FLOWCODE_API std::string ProgramFileBytes(const TProgramText& Text);

} // namespace Deskbay
