#pragma once

// Why a program text cannot become a chart: the file (standard input for
// "-", the clipboard's text for an empty name), the line and the
// column (1-based, in characters), what the language of the blocks cannot
// say there, and a hint where one exists. An import that raises one has
// changed nothing.

#include "FlowimportExport.h"

#include "Corekit/SysUtils.h"

#include <string>
#include <string_view>

namespace Deskbay {

class FLOWIMPORT_API EImportError : public Exception {
public:
  EImportError(const std::string& FileName, int Line, int Column, const std::string& What,
               const std::string& Hint = std::string());

  int GetLine() const { return FLine; }
  int GetColumn() const { return FColumn; }
  const std::string& GetWhat() const { return FWhat; }
  const std::string& GetHint() const { return FHint; }

private:
  int FLine, FColumn;
  std::string FWhat, FHint;
};

// How a source is named in messages: the file's name, "стандартный ввод"
// for "-", "текст из буфера обмена" for an empty name (a paste).
FLOWIMPORT_API std::string SourceDisplayName(const std::string& FileName);

// The longest line a program text may have, in bytes.
constexpr size_t MaxImportLineBytes = 10000;
// The deepest nesting of statements, and of parentheses in an expression.
constexpr int MaxImportNesting = 100;
// The most statements (lines of a program, tokens of Pascal's) one text
// may hold: far beyond a program for a lesson, and a bound on the memory an
// import takes.
constexpr size_t MaxImportStatements = 50000;
constexpr size_t MaxImportTokens = 500000;

// Refuses a text that is no program text before any reading: bytes that
// are not UTF-8, NUL and other control characters (tabs, line ends and a
// byte order mark at the start are fine), lines longer than
// MaxImportLineBytes. Raises EImportError at the first such place.
FLOWIMPORT_API void CheckSourceText(std::string_view Text, const std::string& FileName);

// The column (1-based, in characters) of byte Offset of Line.
FLOWIMPORT_API int ColumnOf(std::string_view Line, size_t Offset);

} // namespace Deskbay
