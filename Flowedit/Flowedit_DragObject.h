#pragma once

#include "FloweditExport.h"

#include "Corekit/ui/DragDrop.h"

#include <vector>

namespace Deskbay {

class TAlgBlock;

// Blocks on their way from an editor or from the palette to an editor. The
// blocks are not owned; a drag from an editor lists them by their index in
// their sequence.
class FLOWEDIT_API TAlgDragObject : public TDragObject {
public:
  void AddBlock(TAlgBlock* Block);
  void RemoveBlock(TAlgBlock* Block);
  void Clear() { FBlocks.clear(); }
  int GetBlockCount() const { return static_cast<int>(FBlocks.size()); }
  TAlgBlock* GetBlocks(int Index) const;
  // Raises "AlgDragObject: Bad block index %d (%d)." outside the list.
  void CheckBlockIndex(int Index) const;
  // Orders the blocks by their index within their parent.
  void SortByIndex();

  // Set: the blocks are always copied and stay where they are (the palette).
  bool GetKeepSources() const { return FKeepSources; }
  void SetKeepSources(bool Value) { FKeepSources = Value; }

private:
  std::vector<TAlgBlock*> FBlocks;
  bool FKeepSources = false;
};

} // namespace Deskbay
