#include "Flowmodel_ChartStops.h"

#include "Flowmodel_Clipboard.h"
#include "Flowmodel_Describe.h"
#include "Flowmodel_Main.h"

#include <algorithm>

namespace Deskbay {

namespace {

void AddSequenceStops(TCompoundAlgBlock* Sequence, std::vector<TChartStop>& Stops) {
  const int Count = Sequence->GetBlockCount();
  for (int I = 0; I < Count; ++I) {
    Stops.push_back(TChartStop::Place(Sequence, I));
    AlgAddChartStops(Sequence->GetBlocks(I), Stops);
  }
  Stops.push_back(TChartStop::Place(Sequence, Count));
}

std::string Quoted(const TAlgBlock* Block) {
  return "«" + DescribeBlock(Block) + "»";
}

} // namespace

void AlgAddChartStops(const TAlgBlock* Block, std::vector<TChartStop>& Stops) {
  auto* Self = const_cast<TAlgBlock*>(Block);
  switch (Block->GetKind()) {
  case TAlgBlockKind::Root:
    AddSequenceStops(AlgBodyOf(Block), Stops);
    return;
  case TAlgBlockKind::Sequence:
    AddSequenceStops(static_cast<TCompoundAlgBlock*>(Self), Stops);
    return;
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
    Stops.push_back(TChartStop::At(Self));
    return;
  case TAlgBlockKind::Branch: {
    Stops.push_back(TChartStop::At(Self));
    const auto* If = static_cast<const TIfAlgBlock*>(Block);
    AddSequenceStops(If->GetYesBranch(), Stops);
    AddSequenceStops(If->GetNoBranch(), Stops);
    return;
  }
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
  case TAlgBlockKind::ForLoop:
    Stops.push_back(TChartStop::At(Self));
    AddSequenceStops(AlgBodyOf(Block), Stops);
    return;
  }
}

std::vector<TChartStop> AlgChartStops(const TAlgorithm& Algorithm) {
  std::vector<TChartStop> Stops;
  AlgAddChartStops(Algorithm.GetRoot(), Stops);
  return Stops;
}

int AlgFindStop(const std::vector<TChartStop>& Stops, const TChartStop& Stop) {
  const auto It = std::find(Stops.begin(), Stops.end(), Stop);
  return It == Stops.end() ? -1 : static_cast<int>(It - Stops.begin());
}

TChartStop AlgCursorAfterChange(const TAlgorithm& Algorithm, const std::vector<TChartStop>& Stops,
                                const TChartStop& Cursor) {
  if (Stops.empty())
    return {};
  if (Cursor.Empty() && Algorithm.GetSelectedBlockCount() == 0)
    return {};
  if (!Cursor.Empty() && AlgFindStop(Stops, Cursor) >= 0)
    return Cursor;
  if (Algorithm.GetSelectedBlockCount() > 0) {
    const int I = AlgFindStop(Stops, TChartStop::At(Algorithm.GetSelectedBlocksProperty(0)));
    if (I >= 0)
      return Stops[static_cast<size_t>(I)];
  }
  if (Cursor.IsPlace()) {
    // The sequence's places are found by the pointer alone; the nearest one
    // below the old index is where the cursor stood, now that blocks went.
    const TChartStop* Nearest = nullptr;
    for (const TChartStop& S : Stops)
      if (S.Sequence == Cursor.Sequence && S.Index <= Cursor.Index)
        Nearest = &S;
    if (Nearest)
      return *Nearest;
  }
  return Stops.front();
}

TAlgBlock* AlgPlaceOwner(const TChartStop& Place) {
  return Place.Sequence ? Place.Sequence->GetParent() : nullptr;
}

std::string AlgPlaceDescription(const TChartStop& Place) {
  TCompoundAlgBlock* Sequence = Place.Sequence;
  if (!Sequence)
    return {};
  const int Count = Sequence->GetBlockCount();
  if (Place.Index > 0 && Place.Index <= Count)
    return "после " + Quoted(Sequence->GetBlocks(Place.Index - 1));
  std::string Where;
  const TAlgBlock* Owner = Sequence->GetParent();
  switch (Owner ? Owner->GetKind() : TAlgBlockKind::Sequence) {
  case TAlgBlockKind::Root:
    Where = "в начале алгоритма";
    break;
  case TAlgBlockKind::Branch:
    Where = std::string("в ветви «") +
            (static_cast<const TIfAlgBlock*>(Owner)->GetYesBranch() == Sequence ? "да" : "нет") +
            "» " + Quoted(Owner);
    break;
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
  case TAlgBlockKind::ForLoop:
    Where = "в теле " + Quoted(Owner);
    break;
  case TAlgBlockKind::Sequence:
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
    Where = "в последовательности";
    break;
  }
  if (Count > 0)
    Where += ", перед " + Quoted(Sequence->GetBlocks(0));
  return Where;
}

TPoint AlgPlacePoint(const TChartStop& Place) {
  if (!Place.Sequence)
    return {0, 0};
  // Each block is entered by an arrow 15 units long; below the last one the
  // sequence's line goes on as long.
  const std::vector<int32_t>& Bottoms = Place.Sequence->GetChildBottoms();
  const int Above = Place.Index - 1;
  const int Top = Above >= 0 && Above < static_cast<int>(Bottoms.size())
                      ? Bottoms[static_cast<size_t>(Above)]
                      : 0;
  return {0, Top + 7};
}

std::vector<TAlgBlockKind> AlgInsertableKinds() {
  std::vector<TAlgBlockKind> Kinds;
  for (int I = 0; I < AlgBlockKindCount; ++I)
    if (AlgBlockKindInfo(AlgBlockKindAt(I)).Placed)
      Kinds.push_back(AlgBlockKindAt(I));
  return Kinds;
}

bool AlgInsertPlace(const TAlgorithm& Algorithm, const TChartStop& Cursor,
                    TCompoundAlgBlock*& Target, int& Index) {
  // The cursor leaves the selection when it goes onto a place, so a
  // selection is newer than the place.
  if (Algorithm.GetSelectedBlockCount() > 1)
    return false;
  if (Algorithm.GetSelectedBlockCount() == 1) {
    AlgPlaceAfter(Algorithm.GetSelectedBlocksProperty(0), Target, Index);
    return true;
  }
  if (Cursor.IsPlace() && Cursor.Sequence->GetAlgorithm() == &Algorithm) {
    Target = Cursor.Sequence;
    Index = std::clamp(Cursor.Index, 0, Target->GetBlockCount());
    return true;
  }
  AlgPlaceAfter(Algorithm.GetRoot(), Target, Index);
  return true;
}

TAlgBlock* AlgInsertNewBlock(TAlgorithm& Algorithm, TAlgBlockKind Kind, TCompoundAlgBlock* Target,
                             int Index) {
  TModifyGuard Guard(Algorithm);
  // Made first: when the block limit refuses it, the selection stays.
  TAlgBlock* Block = AlgBlockKindInfo(Kind).Class->Create(Target, Index);
  Algorithm.UnselectAll();
  Block->SetSelected(true);
  return Block;
}

void AlgSelectRange(TAlgorithm& Algorithm, TAlgBlock* From, TAlgBlock* To) {
  TAlgBlock* Parent = From->GetParent();
  if (!Parent || To->GetParent() != Parent)
    return;
  const int A = std::min(From->GetIndex(), To->GetIndex());
  const int B = std::max(From->GetIndex(), To->GetIndex());
  Algorithm.UnselectAll();
  for (int I = A; I <= B; ++I)
    Algorithm.SelectBlock(Parent->GetBlocks(I), true);
}

TAlgBlock* AlgSiblingBlock(const TAlgBlock* Block, int Delta) {
  const TAlgBlock* Parent = Block ? Block->GetParent() : nullptr;
  if (!Parent || Block->GetKind() == TAlgBlockKind::Sequence)
    return nullptr;
  const int I = Block->GetIndex() + Delta;
  return I >= 0 && I < Parent->GetBlockCount() ? Parent->GetBlocks(I) : nullptr;
}

bool AlgMoveSelection(TAlgorithm& Algorithm, int Delta) {
  std::vector<TAlgBlock*> Selected;
  Algorithm.GetSelectedBlocks(Selected);
  if (Selected.empty() || Delta == 0)
    return false;
  TAlgBlock* Parent = Selected.front()->GetParent();
  if (!Parent || Parent->GetKind() != TAlgBlockKind::Sequence)
    return false;
  std::sort(Selected.begin(), Selected.end(),
            [](const TAlgBlock* A, const TAlgBlock* B) { return A->GetIndex() < B->GetIndex(); });
  const int Step = Delta > 0 ? 1 : -1;
  const TAlgBlock* Edge = Step > 0 ? Selected.back() : Selected.front();
  if (!AlgSiblingBlock(Edge, Step))
    return false;
  TModifyGuard Guard(Algorithm);
  // The block at the moving end goes first, so each finds its neighbour free.
  if (Step > 0)
    std::reverse(Selected.begin(), Selected.end());
  for (TAlgBlock* B : Selected)
    B->MoveInParent(B->GetIndex() + Step);
  return true;
}

} // namespace Deskbay
