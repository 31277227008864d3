#pragma once

// The algorithm as the text of a program in Python 3, Pascal or C++17 that
// does what the interpreter does: run with the same input it prints the
// same lines and ends with an error where the run does. Every block kind
// becomes the language's own construct; what the language does differently
// (powers, MOD, ROUND and TRUNC, the number format, reading a number, the
// double precision of variables) goes through a few short helpers printed
// once at the top, only those the program uses.
//
// A line the interpreter cannot read is kept as a comment, and at its place
// the program stops with the interpreter's message. Drawing commands are
// comments saying what they draw.
//
// The text remembers which lines each block became, and which block each
// line belongs to, so that a view of the program can follow the chart.

#include "FlowcodeExport.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

class TAlgorithm;
class TAlgBlock;

enum class TCodeLanguage { Python, Pascal, Cpp };

// Exact: prints byte for byte what the interpreter prints and fails where
// it fails, with its message. Lesson: the program a teacher writes on the
// board, numbers in the language's own format.
enum class TCodeStyleKind { Exact, Lesson };

// "exact" or "lesson"; false for any other name.
FLOWCODE_API bool CodeStyleFromName(std::string_view Name, TCodeStyleKind& Style);
FLOWCODE_API const char* CodeStyleName(TCodeStyleKind Style);

// "python", "pascal" or "cpp"; false for any other name.
FLOWCODE_API bool CodeLanguageFromName(std::string_view Name, TCodeLanguage& Language);
FLOWCODE_API const char* CodeLanguageName(TCodeLanguage Language);
// The usual file name extension with its dot: ".py", ".pas", ".cpp".
FLOWCODE_API const char* CodeLanguageExtension(TCodeLanguage Language);

class FLOWCODE_API TProgramText {
public:
  const std::vector<std::string>& GetLines() const { return FLines; }
  // The lines joined, each ended by '\n'.
  std::string GetText() const;

  // The lines (0-based, inclusive) written for Block and everything inside
  // it; false when it became no line (an empty sequence).
  bool GetBlockLines(const TAlgBlock* Block, int& First, int& Last) const;
  // The innermost block Line was written for; nullptr for the lines of the
  // program's frame (helpers, declarations) and out of range.
  const TAlgBlock* GetLineBlock(int Line) const;

private:
  friend FLOWCODE_API TProgramText GenerateProgram(const TAlgorithm& Alg, TCodeLanguage Language,
                                                   TCodeStyleKind Style);

  std::vector<std::string> FLines;
  std::vector<const TAlgBlock*> FOwners;
  std::map<const TAlgBlock*, std::pair<int, int>> FBlockLines;
};

// The program text of Alg. Never raises for what the algorithm holds.
FLOWCODE_API TProgramText GenerateProgram(const TAlgorithm& Alg, TCodeLanguage Language,
                                          TCodeStyleKind Style = TCodeStyleKind::Exact);

} // namespace Deskbay
