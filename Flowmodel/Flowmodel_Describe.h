#pragma once

// Blocks in words, as algtool prints them and the clipboard's text form
// carries them.

#include "FlowmodelExport.h"

#include <string>
#include <vector>

namespace Deskbay {

class TAlgBlock;

// The name of a block's kind ("Блок вычислений" ...); a block of a class
// made outside the model goes by its class name.
FLOWMODEL_API std::string BlockKindName(const TAlgBlock* Block);
// Kind and text lines on one line: "Блок вычислений: X=1 | Y=2".
FLOWMODEL_API std::string DescribeBlock(const TAlgBlock* Block);
// Block and what it holds, one line per block indented two spaces a level
// from Depth: a branch's "да:" and "нет:" lines head its two sequences,
// sequences themselves have no line.
FLOWMODEL_API std::vector<std::string> BlockTreeLines(const TAlgBlock* Block, int Depth = 0);
// Blocks (copied ones, in order) as text: their tree lines, one per line,
// with control characters and bytes that are not UTF-8 escaped as
// `algtool show` prints them, so pasting the text into a terminal shows it
// and runs nothing.
FLOWMODEL_API std::string AlgBlocksToText(const std::vector<TAlgBlock*>& Blocks);

} // namespace Deskbay
