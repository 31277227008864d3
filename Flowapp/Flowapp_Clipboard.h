#pragma once

// Blocks on the system clipboard: in the project's own type (the blocks'
// records, as a drag carries them) for pasting, and as plain text (their
// lines indented by depth) for any other program. Plain text from anywhere
// pastes as blocks when it reads as a program (Flowimport).

#include "FlowappExport.h"

#include <string>
#include <vector>

namespace Deskbay {

class TAlgorithm;

// Puts the selected blocks of Algorithm on the clipboard; false when
// nothing that can be copied is selected (the clipboard stays as it was).
FLOWAPP_API bool CopyBlocksToClipboard(const TAlgorithm& Algorithm);
// Whether the clipboard holds blocks.
FLOWAPP_API bool ClipboardHoldsBlocks();
// Whether it holds blocks or plain text, which may read as a program.
FLOWAPP_API bool ClipboardHoldsBlocksOrText();
// Inserts the clipboard's blocks after the selected block, or at the end of
// the body, all or nothing, in one step; plain text that reads as a program
// (Python, Pascal, the text form) gives the blocks. Raises with the reason
// (the block limit, damaged data, text that is no program, with its line
// and column) and leaves the algorithm as it was. Returns the names the
// text's import mapped to letters ("total → T").
FLOWAPP_API std::vector<std::string> PasteBlocksFromClipboard(TAlgorithm& Algorithm);

} // namespace Deskbay
