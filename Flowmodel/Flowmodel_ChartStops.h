#pragma once

// The stops of the chart's keyboard cursor: every block a user placed and
// every place where a block can go (before each block of a sequence, after
// its last one, an empty body or arm), in the order the chart is drawn: top
// to bottom, a container's body before what follows it, a branch's "да" arm
// before its "нет" arm. What a place means (which sequence, which index), how
// the cursor survives an edit, where an insertion goes and how the selection
// grows and moves along a sequence are decided here; the editor only shows
// them.

#include "FlowmodelExport.h"
#include "Flowmodel_Kinds.h"

#include "Corekit/Canvas.h"

#include <string>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;
class TCompoundAlgBlock;

// A block, or a place: Index in Sequence is where a new block would go.
struct FLOWMODEL_API TChartStop {
  TAlgBlock* Block = nullptr;
  TCompoundAlgBlock* Sequence = nullptr;
  int Index = 0;

  static TChartStop At(TAlgBlock* Block) { return {Block, nullptr, 0}; }
  static TChartStop Place(TCompoundAlgBlock* Sequence, int Index) {
    return {nullptr, Sequence, Index};
  }
  bool IsPlace() const { return Sequence != nullptr; }
  bool IsBlock() const { return Block != nullptr; }
  bool Empty() const { return !Block && !Sequence; }
  bool operator==(const TChartStop&) const = default;
};

// Every stop of the algorithm, in drawing order; the root itself is none.
FLOWMODEL_API std::vector<TChartStop> AlgChartStops(const TAlgorithm& Algorithm);
// The stops of Block and of what it holds (Block itself first, unless it is
// the root or a sequence).
FLOWMODEL_API void AlgAddChartStops(const TAlgBlock* Block, std::vector<TChartStop>& Stops);
// Stop's position in Stops, -1 when it is not there.
FLOWMODEL_API int AlgFindStop(const std::vector<TChartStop>& Stops, const TChartStop& Stop);

// Where the cursor stands after the chart changed: where it stood while that
// stop still exists; else on the first selected block; else on its
// sequence's nearest place while the sequence exists; else the first stop.
// A cursor not yet placed stays so while nothing is selected. Pointers of
// the old cursor are compared, never followed.
FLOWMODEL_API TChartStop AlgCursorAfterChange(const TAlgorithm& Algorithm,
                                              const std::vector<TChartStop>& Stops,
                                              const TChartStop& Cursor);

// The block a place lies in: the root, a loop or a branch.
FLOWMODEL_API TAlgBlock* AlgPlaceOwner(const TChartStop& Place);
// A place in words, for a screen reader: "после «Блок вычислений: S=0»",
// "в теле «Цикл с параметром: I=1,N,1»", "в ветви «нет» «Ветвление: A<B»",
// "в начале алгоритма"; a place before a block adds ", перед «...»".
FLOWMODEL_API std::string AlgPlaceDescription(const TChartStop& Place);
// Where the chart shows a place: on its sequence's line, in the middle of the
// arrow into the block at Index (or below the last block), in the physical
// coordinates of the sequence's image from its last rendering.
FLOWMODEL_API TPoint AlgPlacePoint(const TChartStop& Place);

// The kinds a user inserts, in the order the insert list numbers them (1 to
// 6): statements, input/output, branch, the three loops.
FLOWMODEL_API std::vector<TAlgBlockKind> AlgInsertableKinds();
// Where an insertion at the cursor goes: after the one selected block (a
// sequence: at its end); with nothing selected, the place under the
// cursor, else the end of the algorithm. False when several blocks are
// selected: there is no one place.
FLOWMODEL_API bool AlgInsertPlace(const TAlgorithm& Algorithm, const TChartStop& Cursor,
                                  TCompoundAlgBlock*& Target, int& Index);
// A new empty block of Kind at Index of Target, alone selected, in one
// change bracket; the block limit raises and leaves everything as it was.
FLOWMODEL_API TAlgBlock* AlgInsertNewBlock(TAlgorithm& Algorithm, TAlgBlockKind Kind,
                                           TCompoundAlgBlock* Target, int Index);

// Selects the blocks of one sequence from From to To (either order), in
// their order, and nothing else.
FLOWMODEL_API void AlgSelectRange(TAlgorithm& Algorithm, TAlgBlock* From, TAlgBlock* To);
// The block Delta places after Block in its sequence (before for a negative
// Delta); nullptr past either end or for the root and sequences.
FLOWMODEL_API TAlgBlock* AlgSiblingBlock(const TAlgBlock* Block, int Delta);
// Moves the selected blocks one place down (Delta > 0) or up their sequence,
// keeping their order and selection, in one change bracket (one undo step).
// False, and nothing changes, when nothing movable is selected or a selected
// block is already at that end.
FLOWMODEL_API bool AlgMoveSelection(TAlgorithm& Algorithm, int Delta);

} // namespace Deskbay
