#pragma once

// The whole tree of an algorithm laid out for the machine's quick steps
// (TAlgMachine::RunStepProgram): every block a node in drawing order, with
// its kind, its compiled form and the nodes a step moves to, so a step
// neither calls a processor nor looks anything up. The machine builds it at
// the start of StepMany and keeps it no longer than that call.

#include "Flowrun_Main.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Deskbay {

struct TStepNode {
  enum TKind : std::uint8_t {
    nkSequence,    // a sequence the built-in processor serves: entered, not counted
    nkOwnSequence, // a sequence with a processor of its own: processed, not counted
    nkBasic,
    nkIf,
    nkWhile,
    nkFor,
    nkUntil,
    nkOther // anything else: its own processor, then the node it left
  };
  TAlgBlock* Block = nullptr;
  TCompiledBlock* Compiled = nullptr;
  TKind Kind = nkOther;
  bool Skip = false;    // the block's SkipOnJumpOutside
  bool Fusable = false; // a counting loop StepMany runs pass after pass
  int Next = -1;        // the next sibling's node; -1: none
  int First = -1;       // a sequence's first block, a loop's body, a branch's "yes"
  int Second = -1;      // a branch's "no"
  int Last = 0;         // the last node of the block's subtree (nodes in preorder)
};

struct TStepProgram {
  std::vector<TStepNode> Nodes;
  std::unordered_map<const TAlgBlock*, int> NodeOf;
  // Node of a block, -1 for none (a null block) or one not in the tree.
  int Find(const TAlgBlock* Block) const {
    if (!Block)
      return -1;
    const auto It = NodeOf.find(Block);
    return It == NodeOf.end() ? -1 : It->second;
  }
};

} // namespace Deskbay
