#include "Flowedit_DragObject.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <algorithm>

namespace Deskbay {

void TAlgDragObject::AddBlock(TAlgBlock* Block) {
  FBlocks.push_back(Block);
}

void TAlgDragObject::RemoveBlock(TAlgBlock* Block) {
  auto It = std::find(FBlocks.begin(), FBlocks.end(), Block);
  if (It != FBlocks.end())
    FBlocks.erase(It);
}

TAlgBlock* TAlgDragObject::GetBlocks(int Index) const {
  CheckBlockIndex(Index);
  return FBlocks[static_cast<size_t>(Index)];
}

void TAlgDragObject::CheckBlockIndex(int Index) const {
  if (Index < 0 || Index >= GetBlockCount())
    throw Exception(Format("AlgDragObject: Bad block index %d (%d).", Index, GetBlockCount()));
}

void TAlgDragObject::SortByIndex() {
  std::stable_sort(FBlocks.begin(), FBlocks.end(), [](const TAlgBlock* A, const TAlgBlock* B) {
    return A->GetIndex() < B->GetIndex();
  });
}

} // namespace Deskbay
