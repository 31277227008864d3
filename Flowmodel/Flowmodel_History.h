#pragma once

// The undo history of one algorithm. It listens to the algorithm instead of
// being told by each edit: every content change that reaches the listeners
// (one per outermost modification bracket) is one step, whatever made it.
// A step keeps the whole flowchart as the bag writes it and the selection
// as it was before the step, so undoing brings both back exactly. A run of
// typing into one block (changes of that block's text alone, with the
// selection unchanged in between) is one step.

#include "FlowmodelExport.h"

#include "Corekit/MiscUtils_Versioning.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgorithm;
class TAlgBlock;

class FLOWMODEL_API TAlgHistory {
public:
  // The most steps kept; the oldest goes when another comes.
  static constexpr int DefaultLimit = 100;

  // Listens to Algorithm from now on; its present state is the start.
  explicit TAlgHistory(TAlgorithm& Algorithm, int Limit = DefaultLimit);
  ~TAlgHistory();
  TAlgHistory(const TAlgHistory&) = delete;
  TAlgHistory& operator=(const TAlgHistory&) = delete;

  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  int GetUndoCount() const { return static_cast<int>(FUndo.size()); }
  int GetRedoCount() const { return static_cast<int>(FRedo.size()); }
  // Brings back the flowchart and the selection as they were before the
  // last step (Undo) or after the step last undone (Redo). Nothing to do is
  // no error.
  void Undo();
  void Redo();

  // Forgets every step; the present state is the start and the saved point
  // (after opening a file or making a new document).
  void Reset();
  // The present state is what the file holds now.
  void MarkSaved();
  // Whether the present state is the one last saved (or the start).
  bool AtSavedPoint() const { return FCurrent.Id == FSavedId; }
  // Ends a run of typing: the next change of a text is a step of its own.
  void CloseTypingRun() { FTypingIndex = -1; }

  // The bytes the steps hold, for the memory budget.
  size_t GetMemoryUsed() const;

private:
  // A path of child indexes from the root for each selected block.
  using TSelectionPaths = std::vector<std::vector<int>>;
  struct TState {
    uint64_t Id = 0;
    std::vector<uint8_t> Content;
    TSelectionPaths Entered; // the selection the step to this state left
    TSelectionPaths Left;    // the selection when the next step began
  };

  void ContentChanged(TObject* Sender);
  void SelectionChanged(TObject* Sender);
  std::vector<uint8_t> TakeContent() const;
  TSelectionPaths TakeSelection() const;
  void Restore(const TState& State, const TSelectionPaths& Selection);
  // The blocks' classes and nesting in tree order, and their texts.
  void Describe(std::string& Shape, std::vector<std::string>& Texts) const;
  void TakeDescription();

  TAlgorithm& FAlgorithm;
  int FLimit;
  TNotifyAdapter<TAlgHistory> FContentNotify;
  TNotifyAdapter<TAlgHistory> FSelectionNotify;
  std::deque<TState> FUndo; // the oldest first
  std::vector<TState> FRedo;
  TState FCurrent;            // the present state (its Left is still open)
  TSelectionPaths FSelection; // the selection as last heard of
  std::string FShape;
  std::vector<std::string> FTexts;
  int FTypingIndex = -1; // the block (in tree order) of the open typing run
  uint64_t FNextId = 1;
  uint64_t FSavedId = 0;
  bool FRestoring = false;
};

} // namespace Deskbay
