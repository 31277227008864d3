#pragma once

// The whole tree of an algorithm laid out for the machine's quick steps
// (TAlgMachine::RunStepProgram): every block a node in drawing order, with
// its kind, its compiled form and the nodes a step moves to, so a step
// neither calls a processor nor looks anything up.
//
// Over the nodes, the flat program (TAlgMachine::RunFlatProgram): in a
// structured chart the block stack at a block is the same whichever way the
// run came there (the branches and loops around it), so a step boundary is
// known by three things only: the block, the block processed last and
// whether the run came back to the block from inside it. Each such state
// knows the states its step goes on to, so a run over them keeps no block
// stack at all and sets the machine's state from the state it stops in.
// The machine keeps the program while the algorithm's version stays.

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
  bool Skip = false; // the block's SkipOnJumpOutside
  int Next = -1;     // the next sibling's node; -1: none
  int First = -1;    // a sequence's first block, a loop's body, a branch's "yes"
  int Second = -1;   // a branch's "no"
  int Last = 0;      // the last node of the block's subtree (nodes in preorder)
  // The block stack wherever the run is at this block: its top entry in
  // TStepProgram::Stack (-1: empty), and whether it is known here at all
  // (false inside a block with a processor of its own).
  int StackTop = -1;
  bool StaticStack = false;
  int OwnEntry = -1; // the entry a branch or a loop pushes for its arms or body
};

// One entry of a block stack: the node pushed (-1: no block) over the
// entries below it.
struct TStackEntry {
  int Node;
  int Below;
};

// A step boundary of the flat program and the states its step goes on to.
struct TFlatState {
  enum TKind : std::uint8_t {
    fkIf,         // Next[1]: "yes", Next[0]: "no"
    fkWhile,      // Next[1]: into the body, Next[0]: on past the loop
    fkUntilTest,  // a post-test loop come back to from its body: its condition
    fkBasic,      // computation lines, none read as text
    fkForFirst,   // the counting loop reached from outside: its start value
    fkForNext,    // ... come back to from its body: the next value
    fkUntilEnter, // a post-test loop counted as it is entered: into the body
    fkProcessed,  // input/output, or computation read as text: the block's processor
    fkLeave,      // a step the flat program does not make: the machine's state set, back
    fkDone        // the algorithm finished with the step that came here
  };
  TKind Kind = fkLeave;
  bool JumpedBack = false;
  int Node = -1;     // -1 for fkDone
  int LastNode = -1; // the block processed last; -1: none
  int Next[2] = {-1, -1};
  const TCompiledBlock* Compiled = nullptr; // of the node's block
  // The block is watched (IStepWatch): a run stops before its step unless
  // WatchCondition is computed and does not hold.
  bool Watched = false;
  const TAlgCondition* WatchCondition = nullptr;
  // A counting loop whose start, end and step are numbers: their values.
  bool ConstantHeader = false;
  double Start = 0, End = 0, Step = 0;
};

struct TStepProgram {
  std::vector<TStepNode> Nodes;
  std::vector<TStackEntry> Stack;
  std::vector<TFlatState> States;
  std::unordered_map<std::uint64_t, int> StateOf; // by StateKey
  // Whom the states' Watched flags answer, at which version, for how many.
  IStepWatch* WatchedBy = nullptr;
  std::uint64_t WatchVersion = 0;
  size_t WatchedStates = 0;
  std::unordered_map<const TAlgBlock*, int> NodeOf;
  // Node of a block, -1 for none (a null block) or one not in the tree.
  int Find(const TAlgBlock* Block) const {
    if (!Block)
      return -1;
    const auto It = NodeOf.find(Block);
    return It == NodeOf.end() ? -1 : It->second;
  }
  TAlgBlock* BlockOf(int Node) const {
    return Node >= 0 ? Nodes[static_cast<size_t>(Node)].Block : nullptr;
  }

  // The state of a run at Node's block, come there from LastNode's, with
  // every state it can go on to; -1 where Node's block does not start a
  // step there or its block stack is not known.
  int StateAt(int Node, int LastNode, bool JumpedBack);

private:
  static std::uint64_t StateKey(int Node, int LastNode, bool JumpedBack) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(Node + 1)) << 33) |
           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(LastNode + 1)) << 1) |
           (JumpedBack ? 1u : 0u);
  }
  int FindOrAddState(int Node, int LastNode, bool JumpedBack, std::vector<int>& Pending);
  int StateAfter(int Pc, int Top, int LastNode, std::vector<int>& Pending);
  void LinkState(int Index, std::vector<int>& Pending);
};

} // namespace Deskbay
