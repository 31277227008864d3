#pragma once

// The algorithm's text form, as "algtool show" prints it and the help and
// the clipboard write it: one block a line, "Вид блока: строка | строка",
// what a block holds two spaces further in, a branch's arms under "да:" and
// "нет:". The first line may be the root's ("Алгоритм: начало"); without it
// the blocks start at the left edge. Lines keep their text as written.

#include "FlowimportExport.h"

#include <string>
#include <string_view>

namespace Deskbay {

class TAlgorithm;

// Fills Alg, a new algorithm, from Text. Raises EImportError naming
// FileName, the line and the column; the caller then throws Alg away.
FLOWIMPORT_API void ImportChartText(TAlgorithm& Alg, std::string_view Text,
                                    const std::string& FileName);

// Whether Text's first line that is not blank names a kind of block.
FLOWIMPORT_API bool LooksLikeChartText(std::string_view Text);

} // namespace Deskbay
