#pragma once

// Blocks on the system clipboard: in the project's own type (the blocks'
// records, as a drag carries them) for pasting, and as plain text (their
// lines indented by depth) for any other program.

#include "FlowappExport.h"

namespace Deskbay {

class TAlgorithm;

// Puts the selected blocks of Algorithm on the clipboard; false when
// nothing that can be copied is selected (the clipboard stays as it was).
FLOWAPP_API bool CopyBlocksToClipboard(const TAlgorithm& Algorithm);
// Whether the clipboard holds blocks.
FLOWAPP_API bool ClipboardHoldsBlocks();
// Inserts the clipboard's blocks after the selected block, or at the end of
// the body, all or nothing; raises with the reason (the block limit,
// damaged data) and leaves the algorithm as it was.
FLOWAPP_API void PasteBlocksFromClipboard(TAlgorithm& Algorithm);

} // namespace Deskbay
