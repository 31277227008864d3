#include "Flowmodel_Clipboard.h"
#include "Flowmodel_Files.h"

#include "Flowmodel_Main.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"

#include <algorithm>

namespace Deskbay {

std::vector<TAlgBlock*> AlgBlocksToCopy(const TAlgorithm& Algorithm) {
  std::vector<TAlgBlock*> Blocks;
  Algorithm.GetSelectedBlocks(Blocks);
  if (Blocks.size() == 1) {
    // A sequence or the root stands for what it holds.
    TAlgBlock* Only = Blocks.front();
    TAlgBlock* Holder = nullptr;
    switch (Only->GetKind()) {
    case TAlgBlockKind::Root:
      Holder = AlgBodyOf(Only);
      break;
    case TAlgBlockKind::Sequence:
      Holder = Only;
      break;
    case TAlgBlockKind::Computation:
    case TAlgBlockKind::InputOutput:
    case TAlgBlockKind::Branch:
    case TAlgBlockKind::WhileLoop:
    case TAlgBlockKind::UntilLoop:
    case TAlgBlockKind::ForLoop:
      break;
    }
    if (Holder) {
      Blocks.clear();
      for (int K = 0; K < Holder->GetBlockCount(); ++K)
        Blocks.push_back(Holder->GetBlocks(K));
      return Blocks;
    }
  }
  std::sort(Blocks.begin(), Blocks.end(),
            [](const TAlgBlock* A, const TAlgBlock* B) { return A->GetIndex() < B->GetIndex(); });
  return Blocks;
}

std::vector<uint8_t> AlgBlocksToBytes(const std::vector<TAlgBlock*>& Blocks) {
  TAlgorithm Carrier;
  for (const TAlgBlock* Block : Blocks)
    Block->CreateCopy(Carrier.GetRoot()->GetBody());
  TMemoryStream Stream;
  TBag Bag(&Stream);
  Bag.Pack(&Carrier);
  return Stream.GetBytes();
}

void AlgPlaceAfter(TAlgBlock* Anchor, TCompoundAlgBlock*& Target, int& Index) {
  switch (Anchor->GetKind()) {
  case TAlgBlockKind::Root: // the end of its body
    Target = AlgBodyOf(Anchor);
    Index = Target->GetBlockCount();
    break;
  case TAlgBlockKind::Sequence: // its end
    Target = static_cast<TCompoundAlgBlock*>(Anchor);
    Index = Target->GetBlockCount();
    break;
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
  case TAlgBlockKind::Branch:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
  case TAlgBlockKind::ForLoop:
    // Every block but the root and the sequences lies in a sequence.
    Target = static_cast<TCompoundAlgBlock*>(Anchor->GetParent());
    Index = Anchor->GetIndex() + 1;
    break;
  }
}

void AlgPastePlace(const TAlgorithm& Algorithm, TCompoundAlgBlock*& Target, int& Index) {
  std::vector<TAlgBlock*> Selected;
  Algorithm.GetSelectedBlocks(Selected);
  TAlgBlock* Last = Selected.empty()
                        ? Algorithm.GetRoot()
                        : *std::max_element(Selected.begin(), Selected.end(),
                                            [](const TAlgBlock* A, const TAlgBlock* B) {
                                              return A->GetIndex() < B->GetIndex();
                                            });
  AlgPlaceAfter(Last, Target, Index);
}

std::vector<TAlgBlock*> AlgPasteBytes(TAlgorithm& Algorithm, const std::vector<uint8_t>& Bytes) {
  TAlgorithm Carrier;
  {
    TMemoryStream Stream(Bytes.data(), Bytes.size());
    if (!StreamContainsBagWith(&Stream, "Algorithm"))
      throw Exception("В буфере обмена нет блоков алгоритма.");
    Stream.Seek(0, soBeginning);
    try {
      TBag Bag(&Stream);
      Bag.Restore(&Carrier);
    } catch (const Exception& E) {
      throw Exception("Не удалось вставить блоки из буфера обмена:\r\n" +
                      AlgLoadFailureReason(E, TAlgDataSource::Clipboard));
    }
  }
  TCompoundAlgBlock* Target;
  int Index;
  AlgPastePlace(Algorithm, Target, Index);
  TCompoundAlgBlock* Source = Carrier.GetRoot()->GetBody();

  std::vector<TAlgBlock*> SelectedBefore;
  Algorithm.GetSelectedBlocks(SelectedBefore);
  std::vector<TAlgBlock*> Pasted;
  TModifyGuard Guard(Algorithm);
  try {
    Algorithm.UnselectAll();
    for (int K = 0; K < Source->GetBlockCount(); ++K)
      Pasted.push_back(Source->GetBlocks(K)->CreateCopy(Target, Index + K));
    for (TAlgBlock* Block : Pasted)
      Block->SetSelected(true);
  } catch (...) {
    // The block limit: nothing of the paste stays.
    Algorithm.UnselectAll();
    for (auto It = Pasted.rbegin(); It != Pasted.rend(); ++It)
      (*It)->Free();
    for (TAlgBlock* Block : SelectedBefore)
      Algorithm.SelectBlock(Block, true);
    throw;
  }
  return Pasted;
}

} // namespace Deskbay
