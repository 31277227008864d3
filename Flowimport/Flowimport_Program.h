#pragma once

// A program text made into a chart: the form chosen by the file's
// extension or by name, the text read by its reader, the names mapped to
// letters, the blocks built. What the import reports (the names it mapped)
// goes back to the caller; a refusal is an EImportError and nothing is
// built.

#include "FlowimportExport.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

class TAlgorithm;

enum class TImportForm { Text, Python, Pascal };

// "text", "python" or "pascal"; false for any other name.
FLOWIMPORT_API bool ImportFormFromName(std::string_view Name, TImportForm& Form);
// By the extension (".py", ".pas", ".txt", any case); false for others.
FLOWIMPORT_API bool ImportFormFromFileName(const std::string& FileName, TImportForm& Form);

struct FLOWIMPORT_API TImportReport {
  // "total → T": each name that is not its own letter, in reading order.
  std::vector<std::string> Names;
};

// The largest program text read, in bytes.
constexpr long long MaxProgramTextBytes = 1024 * 1024;

// Fills Alg, a new algorithm, from Text. FileName names the source in
// messages ("-": standard input). Raises EImportError; the caller then
// throws Alg away.
FLOWIMPORT_API TImportReport ImportProgram(TAlgorithm& Alg, std::string_view Text, TImportForm Form,
                                           const std::string& FileName);

// The text of a program file, or of standard input for "-": a regular file
// of at most MaxProgramTextBytes (a folder, a FIFO or a device is refused
// with the file's name and the reason).
FLOWIMPORT_API std::string ReadProgramSource(const std::string& FileName);

struct FLOWIMPORT_API TImportedBlocks {
  std::vector<uint8_t> Bytes; // as the clipboard carries blocks (AlgBlocksToBytes)
  std::vector<std::string> Names;
};

// Text (of the form GuessImportForm finds) as blocks to paste: the bytes
// AlgPasteBytes inserts in one step. FileName names the source in messages
// (empty: the clipboard's text). Raises EImportError.
FLOWIMPORT_API TImportedBlocks ImportProgramAsBlocks(std::string_view Text,
                                                     const std::string& FileName);

// The form a text without a name most likely is in: the text form when its
// first line names a kind of block, Pascal when it has the look of it
// (":=", "begin", "writeln" …), else Python.
FLOWIMPORT_API TImportForm GuessImportForm(std::string_view Text);

} // namespace Deskbay
