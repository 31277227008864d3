#pragma once

// Blocks on the clipboard: what Copy puts there and how Paste brings it
// back. The blocks travel as an algorithm record of their own whose body
// holds copies of them, the bytes an "alg" file would hold, so a paste
// works between documents and between programs, and a damaged clipboard is
// refused by the same checks as a damaged file.

#include "FlowmodelExport.h"

#include <cstdint>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;
class TCompoundAlgBlock;

// The clipboard's own data type for blocks.
inline constexpr const char* AlgBlocksMimeType = "application/x-deskbay-blocks";

// The selected blocks of Algorithm in their order in their sequence (the
// root and sequences are never copied: a selected sequence gives its
// blocks); empty when nothing can be copied.
FLOWMODEL_API std::vector<TAlgBlock*> AlgBlocksToCopy(const TAlgorithm& Algorithm);

// Blocks (all of one sequence, in order) as clipboard bytes.
FLOWMODEL_API std::vector<uint8_t> AlgBlocksToBytes(const std::vector<TAlgBlock*>& Blocks);

// Where a block placed after Anchor goes: after it in its sequence, or at
// the end of Anchor when it is a sequence, or of its body when it is the
// root. A paste and a palette click both place blocks so.
FLOWMODEL_API void AlgPlaceAfter(TAlgBlock* Anchor, TCompoundAlgBlock*& Target, int& Index);

// Where a paste into Algorithm goes: after the last selected block in its
// sequence, at the end of a selected sequence or of the root's body, or at
// the end of the body when nothing is selected.
FLOWMODEL_API void AlgPastePlace(const TAlgorithm& Algorithm, TCompoundAlgBlock*& Target,
                                 int& Index);

// Inserts the blocks that Bytes carry at the paste place, all or nothing
// (the block limit, damaged bytes), in one change bracket; the new blocks
// become the selection. Raises with the reason and leaves the algorithm
// and its selection as they were.
FLOWMODEL_API std::vector<TAlgBlock*> AlgPasteBytes(TAlgorithm& Algorithm,
                                                    const std::vector<uint8_t>& Bytes);

} // namespace Deskbay
