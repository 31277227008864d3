#pragma once

// Blocks in words, as algtool prints them and the clipboard's text form
// carries them.

#include "FlowmodelExport.h"

#include <string>

namespace Deskbay {

class TAlgBlock;

// The kind of a block as the palette names it ("Блок вычислений" ...).
FLOWMODEL_API std::string BlockKindName(const TAlgBlock* Block);
// Kind and text lines on one line: "Блок вычислений: X=1 | Y=2".
FLOWMODEL_API std::string DescribeBlock(const TAlgBlock* Block);

} // namespace Deskbay
