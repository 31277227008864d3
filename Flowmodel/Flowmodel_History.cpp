#include "Flowmodel_History.h"

#include "Flowmodel_Main.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"

#include <algorithm>

namespace Deskbay {

namespace {

// The child indexes that lead from the root to Block.
std::vector<int> PathOf(const TAlgBlock* Block) {
  std::vector<int> Path;
  for (; Block->GetParent(); Block = Block->GetParent())
    Path.push_back(Block->GetIndex());
  std::reverse(Path.begin(), Path.end());
  return Path;
}

TAlgBlock* BlockAt(TAlgBlock* Root, const std::vector<int>& Path) {
  TAlgBlock* Block = Root;
  for (int Index : Path) {
    if (Index < 0 || Index >= Block->GetBlockCount())
      return nullptr;
    Block = Block->GetBlocks(Index);
  }
  return Block;
}

void DescribeBlock(const TAlgBlock* Block, std::string& Shape, std::vector<std::string>& Texts) {
  Shape += Block->ClassName();
  Shape += '(';
  Texts.push_back(Block->GetText().GetText());
  for (int K = 0; K < Block->GetBlockCount(); ++K)
    DescribeBlock(Block->GetBlocks(K), Shape, Texts);
  Shape += ')';
}

} // namespace

TAlgHistory::TAlgHistory(TAlgorithm& Algorithm, int Limit)
    : FAlgorithm(Algorithm), FLimit(std::max(1, Limit)),
      FContentNotify(this, &TAlgHistory::ContentChanged),
      FSelectionNotify(this, &TAlgHistory::SelectionChanged) {
  FAlgorithm.AddListener(&FContentNotify);
  FAlgorithm.AddSelListener(&FSelectionNotify);
  Reset();
}

TAlgHistory::~TAlgHistory() {
  FAlgorithm.RemoveSelListener(&FSelectionNotify);
  FAlgorithm.RemoveListener(&FContentNotify);
}

void TAlgHistory::Reset() {
  FUndo.clear();
  FRedo.clear();
  FCurrent.Id = FNextId++;
  FCurrent.Content = TakeContent();
  FCurrent.Entered = TakeSelection();
  FSavedId = FCurrent.Id;
  FSelection = TakeSelection();
  FTypingIndex = -1;
  TakeDescription();
}

void TAlgHistory::MarkSaved() {
  FSavedId = FCurrent.Id;
}

std::vector<uint8_t> TAlgHistory::TakeContent() const {
  TMemoryStream Stream;
  TBag Bag(&Stream);
  Bag.Pack(&FAlgorithm);
  return Stream.GetBytes();
}

TAlgHistory::TSelectionPaths TAlgHistory::TakeSelection() const {
  TSelectionPaths Paths;
  for (int K = 0; K < FAlgorithm.GetSelectedBlockCount(); ++K)
    Paths.push_back(PathOf(FAlgorithm.GetSelectedBlocksProperty(K)));
  return Paths;
}

void TAlgHistory::Describe(std::string& Shape, std::vector<std::string>& Texts) const {
  Shape.clear();
  Texts.clear();
  DescribeBlock(FAlgorithm.GetRoot(), Shape, Texts);
}

void TAlgHistory::TakeDescription() {
  Describe(FShape, FTexts);
}

void TAlgHistory::SelectionChanged(TObject*) {
  if (FRestoring)
    return;
  TSelectionPaths Selection = TakeSelection();
  if (Selection != FSelection)
    FTypingIndex = -1;
  FSelection = std::move(Selection);
}

void TAlgHistory::ContentChanged(TObject*) {
  if (FRestoring)
    return;
  std::vector<uint8_t> Content = TakeContent();
  if (Content == FCurrent.Content)
    return;

  // A change of one block's text alone continues the typing run in it.
  std::string Shape;
  std::vector<std::string> Texts;
  Describe(Shape, Texts);
  int TextIndex = -1;
  if (Shape == FShape && Texts.size() == FTexts.size()) {
    int Differing = 0;
    for (size_t K = 0; K < Texts.size(); ++K)
      if (Texts[K] != FTexts[K]) {
        ++Differing;
        TextIndex = static_cast<int>(K);
      }
    if (Differing != 1)
      TextIndex = -1;
  }
  const bool Continues = TextIndex >= 0 && TextIndex == FTypingIndex && CanUndo();

  if (!Continues) {
    FCurrent.Left = FSelection;
    FUndo.push_back(std::move(FCurrent));
    while (static_cast<int>(FUndo.size()) > FLimit)
      FUndo.pop_front();
  }
  FRedo.clear();
  FCurrent.Id = FNextId++;
  FCurrent.Content = std::move(Content);
  // The bracket that made the step is closed: the selection is the one the
  // step left, and its own notice is still to come.
  FCurrent.Entered = TakeSelection();
  FCurrent.Left.clear();
  FShape = std::move(Shape);
  FTexts = std::move(Texts);
  FTypingIndex = TextIndex;
}

void TAlgHistory::Restore(const TState& State, const TSelectionPaths& Selection) {
  FRestoring = true;
  try {
    TModifyGuard Guard(FAlgorithm);
    FAlgorithm.UnselectAll();
    TMemoryStream Stream(State.Content.data(), State.Content.size());
    TBag Bag(&Stream);
    Bag.Restore(&FAlgorithm);
    for (const std::vector<int>& Path : Selection)
      if (TAlgBlock* Block = BlockAt(FAlgorithm.GetRoot(), Path))
        if (FAlgorithm.CanSelectBlock(Block))
          FAlgorithm.SelectBlock(Block, true);
    // Before the bracket closes, so that listeners see the right state.
    if (State.Id == FSavedId)
      FAlgorithm.SetDirty(false);
  } catch (...) {
    FRestoring = false;
    throw;
  }
  FRestoring = false;
  FCurrent = State;
  FSelection = TakeSelection();
  FTypingIndex = -1;
  TakeDescription();
}

void TAlgHistory::Undo() {
  if (FUndo.empty())
    return;
  TState Step = std::move(FUndo.back());
  FUndo.pop_back();
  TState Now = FCurrent;
  Restore(Step, Step.Left);
  FRedo.push_back(std::move(Now));
}

void TAlgHistory::Redo() {
  if (FRedo.empty())
    return;
  TState Step = std::move(FRedo.back());
  FRedo.pop_back();
  TState Now = FCurrent;
  Now.Left = TakeSelection();
  Restore(Step, Step.Entered);
  FUndo.push_back(std::move(Now));
}

size_t TAlgHistory::GetMemoryUsed() const {
  size_t Bytes = FCurrent.Content.capacity();
  auto Count = [&Bytes](const TState& S) {
    Bytes += sizeof(TState) + S.Content.capacity();
    for (const TSelectionPaths* Paths : {&S.Entered, &S.Left})
      for (const std::vector<int>& Path : *Paths)
        Bytes += sizeof(Path) + Path.capacity() * sizeof(int);
  };
  for (const TState& S : FUndo)
    Count(S);
  for (const TState& S : FRedo)
    Count(S);
  for (const std::string& T : FTexts)
    Bytes += sizeof(T) + T.capacity();
  return Bytes + FShape.capacity();
}

} // namespace Deskbay
