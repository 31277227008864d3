#include "Flowrun_StepProgram.h"

#include "Flowrun_Canvas.h"
#include "Flowrun_Processors.h"

#include "Flowlang/Flowlang_Messages.h"

#include "Corekit/InteractionHooks.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace Deskbay {

namespace {

// The kind of node a block makes: its class served by its own processor,
// else whatever it is goes through that processor.
TStepNode::TKind KindOf(const TAlgBlock* B, const TCompiledBlock& C) {
  const TAlgBlockClass* Class = B->GetClass();
  if (Class == &TCompoundAlgBlock::Class)
    return C.PlainSequence ? TStepNode::nkSequence : TStepNode::nkOwnSequence;
  if (Class == &TBasicAlgBlock::Class && C.Processor == &TBasicAlgBlockProcessor::Instance)
    return TStepNode::nkBasic;
  if (Class == &TIfAlgBlock::Class && C.Processor == &TIfAlgBlockProcessor::Instance)
    return TStepNode::nkIf;
  if (Class == &TWhileAlgBlock::Class && C.Processor == &TWhileAlgBlockProcessor::Instance)
    return TStepNode::nkWhile;
  if (Class == &TForAlgBlock::Class && C.Processor == &TForAlgBlockProcessor::Instance)
    return TStepNode::nkFor;
  if (Class == &TUntilAlgBlock::Class && C.Processor == &TUntilAlgBlockProcessor::Instance)
    return TStepNode::nkUntil;
  return TStepNode::nkOther;
}

TAlgBlock* NextSiblingOf(const TAlgBlock* B, int Index) {
  const TAlgBlock* Parent = B->GetParent();
  return Parent && Index + 1 < Parent->GetBlockCount() ? Parent->GetBlocks(Index + 1) : nullptr;
}

} // namespace

void TAlgMachine::BuildStepProgram(TStepProgram& P, TAlgBlock* Root) {
  P.Nodes.clear();
  P.NodeOf.clear();
  // Preorder without recursion (a chart may nest deeper than the stack
  // allows); each block with the block that follows it.
  struct TPending {
    TAlgBlock* Block;
    TAlgBlock* Next;
    int Parent;
  };
  std::vector<TPending> Pending{{Root, nullptr, -1}};
  std::vector<TAlgBlock*> NextOf;
  std::vector<int> ParentOf;
  while (!Pending.empty()) {
    const TPending Item = Pending.back();
    Pending.pop_back();
    TAlgBlock* B = Item.Block;
    const int Index = static_cast<int>(P.Nodes.size());
    P.NodeOf.emplace(B, Index);
    TStepNode& N = P.Nodes.emplace_back();
    NextOf.push_back(Item.Next);
    ParentOf.push_back(Item.Parent);
    N.Block = B;
    TCompiledBlock& C = GetCompiledBlock(B);
    if (!C.Processor)
      PrepareBlock(B, C);
    CompileBlockAhead(this, B, C);
    N.Compiled = &C;
    N.Kind = KindOf(B, C);
    N.Skip = C.SkipOnJumpOutside;
    // Children pushed last first, so that they come out in order.
    for (int I = B->GetBlockCount() - 1; I >= 0; --I)
      Pending.push_back({B->GetBlocks(I), NextSiblingOf(B->GetBlocks(I), I), Index});
  }
  for (size_t I = P.Nodes.size(); I-- > 0;) {
    TStepNode& N = P.Nodes[I];
    N.Next = P.Find(NextOf[I]);
    N.Last = std::max(N.Last, static_cast<int>(I));
    if (ParentOf[I] >= 0) {
      TStepNode& Parent = P.Nodes[static_cast<size_t>(ParentOf[I])];
      Parent.Last = std::max(Parent.Last, N.Last);
    }
    TAlgBlock* B = N.Block;
    switch (N.Kind) {
    case TStepNode::nkSequence:
      N.First = B->GetBlockCount() ? P.Find(B->GetBlocks(0)) : -1;
      break;
    case TStepNode::nkIf:
      N.First = P.Find(static_cast<TIfAlgBlock*>(B)->GetYesBranch());
      N.Second = P.Find(static_cast<TIfAlgBlock*>(B)->GetNoBranch());
      break;
    case TStepNode::nkWhile:
    case TStepNode::nkFor:
    case TStepNode::nkUntil:
      N.First = P.Find(static_cast<TContainerAlgBlock*>(B)->GetBody());
      break;
    case TStepNode::nkBasic:
    case TStepNode::nkOwnSequence:
    case TStepNode::nkOther:
      break;
    }
  }
  // The block stacks, parents before children: a branch pushes the block
  // after it for its arms, a loop itself for its body, a sequence nothing;
  // what a processor of its own does is not known.
  P.Stack.clear();
  P.States.clear();
  P.StateOf.clear();
  for (size_t I = 0; I < P.Nodes.size(); ++I) {
    TStepNode& N = P.Nodes[I];
    if (ParentOf[I] < 0) {
      N.StaticStack = true;
    } else {
      const TStepNode& Parent = P.Nodes[static_cast<size_t>(ParentOf[I])];
      // The algorithm's start goes into its body as a sequence does.
      const bool Start = Parent.Kind == TStepNode::nkOther &&
                         Parent.Compiled->Processor == &TRootAlgBlockProcessor::Instance;
      N.StaticStack = Parent.StaticStack &&
                      (Start || Parent.Kind == TStepNode::nkSequence ||
                       Parent.Kind == TStepNode::nkIf || Parent.Kind == TStepNode::nkWhile ||
                       Parent.Kind == TStepNode::nkFor || Parent.Kind == TStepNode::nkUntil);
      N.StackTop =
          Start || Parent.Kind == TStepNode::nkSequence ? Parent.StackTop : Parent.OwnEntry;
    }
    if (N.Kind == TStepNode::nkIf) {
      N.OwnEntry = static_cast<int>(P.Stack.size());
      P.Stack.push_back({N.Next, N.StackTop});
    } else if (N.Kind == TStepNode::nkWhile || N.Kind == TStepNode::nkFor ||
               N.Kind == TStepNode::nkUntil) {
      N.OwnEntry = static_cast<int>(P.Stack.size());
      P.Stack.push_back({static_cast<int>(I), N.StackTop});
    }
  }
}

// --- the flat program's states ---

int TStepProgram::StateAt(int Node, int LastNode, bool JumpedBack) {
  if (Node < 0 || !Nodes[static_cast<size_t>(Node)].StaticStack)
    return -1;
  const TStepNode& N = Nodes[static_cast<size_t>(Node)];
  if (N.Kind == TStepNode::nkSequence || N.Kind == TStepNode::nkOwnSequence ||
      (N.Skip && !JumpedBack))
    return -1;
  std::vector<int> Pending;
  const int State = FindOrAddState(Node, LastNode, JumpedBack, Pending);
  while (!Pending.empty()) {
    const int Index = Pending.back();
    Pending.pop_back();
    LinkState(Index, Pending);
  }
  return State;
}

int TStepProgram::FindOrAddState(int Node, int LastNode, bool JumpedBack,
                                 std::vector<int>& Pending) {
  const auto [It, Added] =
      StateOf.emplace(StateKey(Node, LastNode, JumpedBack), static_cast<int>(States.size()));
  if (Added) {
    TFlatState& S = States.emplace_back();
    S.Node = Node;
    S.LastNode = LastNode;
    S.JumpedBack = JumpedBack;
    S.Kind = Node < 0 ? TFlatState::fkDone : TFlatState::fkLeave;
    S.Compiled = Node < 0 ? nullptr : Nodes[static_cast<size_t>(Node)].Compiled;
    if (Node >= 0)
      Pending.push_back(It->second);
  }
  return It->second;
}

// The way from a step's block to the next step's, as RunStepProgram goes it
// (Pc: the node the step went to, Top: the stack's top entry): the state
// there, or -1 where the way passes a block with a processor of its own.
int TStepProgram::StateAfter(int Pc, int Top, int LastNode, std::vector<int>& Pending) {
  bool JumpedBack = false;
  for (;;) {
    if (Pc >= 0) {
      const TStepNode& M = Nodes[static_cast<size_t>(Pc)];
      if (M.Kind == TStepNode::nkSequence) {
        LastNode = Pc;
        JumpedBack = false;
        Pc = M.First;
        continue;
      }
      if (M.Kind != TStepNode::nkOwnSequence && !(M.Skip && !JumpedBack)) {
        if (!M.StaticStack || M.StackTop != Top)
          return -1;
        return FindOrAddState(Pc, LastNode, JumpedBack, Pending);
      }
      if (M.Kind != TStepNode::nkUntil)
        return -1;
      // Entered from outside, a post-test loop goes into its body uncounted.
      LastNode = Pc;
      Top = M.OwnEntry;
      JumpedBack = false;
      Pc = M.First;
      continue;
    }
    if (Top < 0)
      return FindOrAddState(-1, LastNode, JumpedBack, Pending);
    Pc = Stack[static_cast<size_t>(Top)].Node;
    Top = Stack[static_cast<size_t>(Top)].Below;
    JumpedBack = Pc >= 0 && LastNode >= Pc && LastNode <= Nodes[static_cast<size_t>(Pc)].Last;
  }
}

void TStepProgram::LinkState(int Index, std::vector<int>& Pending) {
  const TStepNode& N = Nodes[static_cast<size_t>(States[static_cast<size_t>(Index)].Node)];
  const int Node = States[static_cast<size_t>(Index)].Node;
  const bool JumpedBack = States[static_cast<size_t>(Index)].JumpedBack;
  TFlatState::TKind Kind = TFlatState::fkLeave;
  int Next[2] = {-1, -1};
  switch (N.Kind) {
  case TStepNode::nkBasic: {
    bool Plain = true;
    for (const TCompiledBlock::TLine& L : N.Compiled->Lines)
      Plain = Plain && L.Kind != TCompiledBlock::lkText;
    Kind = Plain ? TFlatState::fkBasic : TFlatState::fkProcessed;
    Next[0] = Next[1] = StateAfter(N.Next, N.StackTop, Node, Pending);
    break;
  }
  case TStepNode::nkIf:
    Kind = TFlatState::fkIf;
    Next[1] = StateAfter(N.First, N.OwnEntry, Node, Pending);
    Next[0] = StateAfter(N.Second, N.OwnEntry, Node, Pending);
    break;
  case TStepNode::nkWhile:
  case TStepNode::nkFor:
  case TStepNode::nkUntil:
    Kind = N.Kind == TStepNode::nkWhile ? TFlatState::fkWhile
           : N.Kind == TStepNode::nkFor
               ? (JumpedBack ? TFlatState::fkForNext : TFlatState::fkForFirst)
               : (JumpedBack ? TFlatState::fkUntilTest : TFlatState::fkUntilEnter);
    Next[1] = StateAfter(N.First, N.OwnEntry, Node, Pending);
    Next[0] = StateAfter(N.Next, N.StackTop, Node, Pending);
    break;
  case TStepNode::nkOther:
    // An input/output block's processor goes on to the next block, as a
    // computation block's does.
    if (N.Compiled->Processor == &TIOAlgBlockProcessor::Instance) {
      Kind = TFlatState::fkProcessed;
      Next[0] = Next[1] = StateAfter(N.Next, N.StackTop, Node, Pending);
    }
    break;
  default:
    break;
  }
  // A step whose way on is not known is left to RunStepProgram.
  if (Next[0] < 0 || Next[1] < 0)
    Kind = TFlatState::fkLeave;
  TFlatState& S = States[static_cast<size_t>(Index)];
  const TCompiledBlock& C = *N.Compiled;
  if (N.Kind == TStepNode::nkFor && C.HeaderError == TCompiledBlock::heNone &&
      C.Start.Code.IsConstant() && C.End.Code.IsConstant() && C.Step.Code.IsConstant()) {
    // Numbers that fail (beyond the range of double) fail every time.
    const TEvalResult Start = C.Start.Code.Evaluate(nullptr), End = C.End.Code.Evaluate(nullptr),
                      Step = C.Step.Code.Evaluate(nullptr);
    const auto Stored = [](const TEvalResult& R) {
      return R.Status == TEvalStatus::Ok && std::fabs(R.Value) <= DBL_MAX;
    };
    S.ConstantHeader = Stored(Start) && Stored(End) && Stored(Step);
    S.Start = static_cast<double>(Start.Value);
    S.End = static_cast<double>(End.Value);
    S.Step = static_cast<double>(Step.Value);
  }
  S.Kind = Kind;
  S.Next[0] = Next[0];
  S.Next[1] = Next[1];
}

TStepProgram* TAlgMachine::StepProgramFor(TAlgBlock* Block, int64_t Budget) {
  const TAlgorithm* Alg = Block->GetAlgorithm();
  if (!Alg) {
    // Blocks of no algorithm: laid out for this call.
    TAlgBlock* Root = Block;
    while (Root->GetParent())
      Root = Root->GetParent();
    FProgram = std::make_unique<TStepProgram>();
    FProgramAlgorithm = nullptr;
    BuildStepProgram(*FProgram, Root);
    return FProgram.get();
  }
  if (FProgram && FProgramAlgorithm == Alg && FProgramVersion == Alg->GetVersion())
    return FProgram.get();
  // Laying out costs about a step a block.
  FProgramCredit += Budget;
  if (FProgramCredit < Alg->GetBlockCount())
    return nullptr;
  FProgramCredit = 0;
  FProgram = std::make_unique<TStepProgram>();
  FProgramAlgorithm = Alg;
  FProgramVersion = Alg->GetVersion();
  BuildStepProgram(*FProgram, Alg->GetRoot());
  return FProgram.get();
}

// Every move here is the one StepBlocks and the processors make, in the
// same order, so that the machine's state is theirs after every step and
// wherever a line fails: the current and last processed blocks, the block
// stack, whether the step came back to its block.
void TAlgMachine::RunStepProgram(TStepProgram& P, int64_t MaxSteps, int64_t& Done) {
  int Cur = P.Find(FCurrentBlock);
  if (Cur < 0)
    return;
  {
    const TStepNode& N = P.Nodes[static_cast<size_t>(Cur)];
    if (N.Kind == TStepNode::nkSequence || N.Kind == TStepNode::nkOwnSequence ||
        (N.Skip && !FJumpedBack))
      return; // not a step's first block: the generic step starts there
  }
  // The nodes of the block stack, beside it.
  std::vector<int> NodeStack;
  NodeStack.reserve(FBlockStack.size() + 16);
  for (TAlgBlock* B : FBlockStack) {
    const int N = P.Find(B);
    if (B && N < 0)
      return;
    NodeStack.push_back(N);
  }
  int LastNode = P.Find(FLastProcessedBlock);
  TVarStorage& Storage = *FStorage;
  // After a block's own processor: the node it went to, and what it pushed.
  const auto Resync = [&] {
    NodeStack.resize(std::min(NodeStack.size(), FBlockStack.size()));
    while (NodeStack.size() < FBlockStack.size())
      NodeStack.push_back(P.Find(FBlockStack[NodeStack.size()]));
    return P.Find(FCurrentBlock);
  };
  while (Done < MaxSteps) {
    const TStepNode& N = P.Nodes[static_cast<size_t>(Cur)];
    if (CurrentThreadAbortRequested())
      RaiseAbortByUser();
    // The step's counted block, as ProcessBlock and its processor.
    TAlgBlock* const B = N.Block;
    const TCompiledBlock& C = *N.Compiled;
    const bool JumpedBack = FJumpedBack;
    FLastProcessedBlock = B;
    LastNode = Cur;
    FJumpedBack = false; // also where a line fails, as ProcessBlock leaves it
    int Pc = -1;
    // A loop's step: into its body, the loop on the stack to come back to,
    // or on past it.
    const auto Loop = [&](bool Again) {
      if (!Again)
        return N.Next;
      FBlockStack.push_back(B);
      NodeStack.push_back(Cur);
      return N.First;
    };
    switch (N.Kind) {
    case TStepNode::nkBasic: {
      const std::vector<std::string>& Lines = B->GetText().Lines();
      for (size_t I = 0; I < C.Lines.size(); ++I) {
        const TCompiledBlock::TLine& L = C.Lines[I];
        if (L.Kind == TCompiledBlock::lkAssign)
          Storage.SetSlotValue(L.Target, Storage.Evaluate(L.Expr));
        else if (L.Kind == TCompiledBlock::lkDraw)
          FCanvas->ExecCompiled(L, Lines[I]);
        else if (L.Kind == TCompiledBlock::lkText)
          ExecLine(Lines[I]);
      }
      Pc = N.Next;
      break;
    }
    case TStepNode::nkIf:
      // The block after the branch goes on the stack before the condition.
      FBlockStack.push_back(N.Next >= 0 ? P.Nodes[static_cast<size_t>(N.Next)].Block : nullptr);
      NodeStack.push_back(N.Next);
      if (!C.HasCondition)
        throw Exception(NoConditionText());
      Pc = Storage.EvaluateCondition(C.Condition) ? N.First : N.Second;
      break;
    case TStepNode::nkWhile:
      if (!C.HasCondition)
        throw Exception(NoConditionText());
      Pc = Loop(Storage.EvaluateCondition(C.Condition));
      break;
    case TStepNode::nkFor: {
      if (C.HeaderError == TCompiledBlock::heSyntax)
        RaiseSyntaxError();
      if (C.HeaderError == TCompiledBlock::heSyntaxInLine)
        RaiseSyntaxError(B->GetText().Get(0));
      const double Start = Storage.Evaluate(C.Start);
      const double End = Storage.Evaluate(C.End);
      const double Step = Storage.Evaluate(C.Step);
      const double V = JumpedBack ? Storage.GetSlotValue(C.Var) + Step : Start;
      Storage.SetSlotValue(C.Var, V);
      Pc = Loop(V <= End);
      break;
    }
    case TStepNode::nkUntil: {
      bool Again = true;
      if (JumpedBack) {
        if (!C.HasCondition)
          throw Exception(NoConditionText());
        Again = Storage.EvaluateCondition(C.Condition);
      }
      Pc = Loop(Again);
      break;
    }
    case TStepNode::nkSequence:
    case TStepNode::nkOwnSequence:
    case TStepNode::nkOther:
      FJumpedBack = JumpedBack;
      ProcessBlock(B, *N.Compiled);
      Pc = Resync();
      if (FCurrentBlock && Pc < 0) {
        // Gone where the program does not reach: the generic way ends the step.
        StepBlocks(true);
        ++Done;
        return;
      }
      break;
    }
    FCurrentBlock = Pc >= 0 ? P.Nodes[static_cast<size_t>(Pc)].Block : nullptr;
    // On to the next counted block.
    for (;;) {
      if (Pc >= 0) {
        const TStepNode& M = P.Nodes[static_cast<size_t>(Pc)];
        FCurrentBlock = M.Block;
        if (M.Kind == TStepNode::nkSequence) {
          FLastProcessedBlock = M.Block;
          LastNode = Pc;
          FJumpedBack = false;
          Pc = M.First;
          continue;
        }
        if (M.Kind != TStepNode::nkOwnSequence && !(M.Skip && !FJumpedBack))
          break; // the next step's block
        // Entered from outside, a post-test loop goes into its body uncounted.
        FLastProcessedBlock = M.Block;
        LastNode = Pc;
        if (M.Kind == TStepNode::nkUntil) {
          FBlockStack.push_back(M.Block);
          NodeStack.push_back(Pc);
          FJumpedBack = false;
          Pc = M.First;
          continue;
        }
        ProcessBlock(M.Block, *M.Compiled);
        Pc = Resync();
        if (FCurrentBlock && Pc < 0) {
          StepBlocks(true);
          ++Done;
          return;
        }
        continue;
      }
      FCurrentBlock = nullptr;
      if (FBlockStack.empty()) {
        FState = amsDone;
        ++Done;
        return;
      }
      Pc = NodeStack.back();
      NodeStack.pop_back();
      FCurrentBlock = FBlockStack.back();
      FBlockStack.pop_back();
      if (FCurrentBlock && Pc < 0) {
        FJumpedBack = FLastProcessedBlock && (FLastProcessedBlock == FCurrentBlock ||
                                              FCurrentBlock->Contains(FLastProcessedBlock));
        StepBlocks(true);
        ++Done;
        return;
      }
      // Back to a block the last processed one lies in: its subtree.
      FJumpedBack = FCurrentBlock && LastNode >= 0 && LastNode >= Pc &&
                    LastNode <= P.Nodes[static_cast<size_t>(Pc)].Last;
    }
    ++Done;
    Cur = Pc;
  }
}

// --- the flat program's run ---

// The machine as the generic steps leave it at the state's boundary; with
// Pushed, as a step of the state's block leaves it where its line fails
// (its block processed, a branch's block after it on the stack).
void TAlgMachine::SetFlatState(const TStepProgram& P, const TFlatState& S, bool Failing) {
  int Top = -1;
  if (S.Node >= 0) {
    const TStepNode& N = P.Nodes[static_cast<size_t>(S.Node)];
    Top = Failing && N.Kind == TStepNode::nkIf ? N.OwnEntry : N.StackTop;
  }
  FBlockStack.clear();
  for (int E = Top; E >= 0; E = P.Stack[static_cast<size_t>(E)].Below)
    FBlockStack.push_back(P.BlockOf(P.Stack[static_cast<size_t>(E)].Node));
  std::reverse(FBlockStack.begin(), FBlockStack.end());
  FCurrentBlock = P.BlockOf(S.Node);
  FLastProcessedBlock = Failing ? FCurrentBlock : P.BlockOf(S.LastNode);
  FJumpedBack = Failing ? false : S.JumpedBack;
  if (S.Kind == TFlatState::fkDone)
    FState = amsDone;
}

int TAlgMachine::FlatStateNow(TStepProgram& P) const {
  const int Node = P.Find(FCurrentBlock);
  const int LastNode = P.Find(FLastProcessedBlock);
  if (Node < 0 || (FLastProcessedBlock && LastNode < 0))
    return -1;
  // The stack must be the one the block is always reached with.
  const TStepNode& N = P.Nodes[static_cast<size_t>(Node)];
  if (!N.StaticStack)
    return -1;
  size_t Depth = FBlockStack.size();
  for (int E = N.StackTop; E >= 0; E = P.Stack[static_cast<size_t>(E)].Below) {
    if (Depth == 0 || FBlockStack[Depth - 1] != P.BlockOf(P.Stack[static_cast<size_t>(E)].Node))
      return -1;
    --Depth;
  }
  if (Depth != 0)
    return -1;
  return P.StateAt(Node, LastNode, FJumpedBack);
}

void TAlgMachine::WatchStates(TStepProgram& P, IStepWatch* Watch) {
  const std::uint64_t Version = Watch ? Watch->GetWatchVersion() : 0;
  if (P.WatchedBy == Watch && P.WatchVersion == Version && P.WatchedStates == P.States.size())
    return;
  for (TFlatState& S : P.States) {
    S.WatchCondition = nullptr;
    S.Watched = Watch && S.Node >= 0 && Watch->Watches(P.BlockOf(S.Node), S.WatchCondition);
  }
  P.WatchedBy = Watch;
  P.WatchVersion = Version;
  P.WatchedStates = P.States.size();
}

namespace {

// Whether a run stops before the watched state's step: unless its
// condition is computed and does not hold.
bool WatchStops(const TFlatState& S, const TVarStorage& Storage) {
  const TAlgCondition* Condition = S.WatchCondition;
  double A, B;
  return !Condition || !Condition->Splits || !Storage.TryEvaluate(Condition->Left, A) ||
         !Storage.TryEvaluate(Condition->Right, B) || CompareDoubles(A, B, Condition->Op);
}

} // namespace

// The steps of RunStepProgram, state to state: the same moves, in the same
// order, on the same values, and the machine's state set from the state
// the run stops in, or fails in.
bool TAlgMachine::RunFlatProgram(TStepProgram& P, int64_t MaxSteps, int64_t& Done,
                                 IStepWatch* Watch) {
  const int Entry = FlatStateNow(P);
  if (Entry < 0 || P.States[static_cast<size_t>(Entry)].Kind == TFlatState::fkLeave)
    return false;
  WatchStates(P, Watch);
  TVarStorage& Storage = *FStorage;
  const TFlatState* const States = P.States.data();
  const TFlatState* S = States + Entry;
  int64_t Steps = Done;
  // Values stored and points drawn without their change notices: they are
  // noticed once, when the run stops (whether it ends or fails) or before a
  // step that may let the user look (an input asked in a dialog).
  bool Stored = false, Drawn = false;
  bool Aborted = false, Watched = false;
  TLoopAbortPoll Poll;
  const auto Notice = [this, &Storage, &Stored, &Drawn] {
    if (Stored)
      Storage.NoteValuesChanged();
    if (Drawn)
      FCanvas->NoteDrawn();
    Stored = Drawn = false;
  };
  const auto Settle = [this, &P, &Done, &Notice](const TFlatState& At, int64_t Made, bool Failing) {
    Done = Made;
    Notice();
    SetFlatState(P, At, Failing);
  };
  try {
    while (Steps < MaxSteps && S->Kind < TFlatState::fkLeave) {
      if (S->Watched && WatchStops(*S, Storage)) [[unlikely]] {
        Watched = true;
        break;
      }
      // This step's poll, then as many steps as need none in one go.
      if (Poll.Requested()) [[unlikely]] {
        Aborted = true;
        break;
      }
      const int64_t Quiet = Poll.QuietCalls();
      const int64_t Limit = MaxSteps - Steps - 1 <= Quiet ? MaxSteps : Steps + 1 + Quiet;
      const int64_t From = Steps;
      do {
        const TFlatState::TKind Kind = S->Kind;
        if (Kind >= TFlatState::fkLeave)
          break; // a step left to RunStepProgram, or the end
        if (S->Watched && Steps != From && WatchStops(*S, Storage)) [[unlikely]] {
          Watched = true;
          break;
        }
        const TCompiledBlock& C = *S->Compiled;
        bool Yes = false;
        // Tests in the order of the kinds, not a jump by the kind: a jump's
        // target is harder to guess from step to step.
        if (Kind <= TFlatState::fkUntilTest) {
          if (!C.HasCondition) [[unlikely]]
            throw Exception(NoConditionText());
          Yes = Storage.EvaluateCondition(C.Condition);
        } else if (Kind == TFlatState::fkBasic) {
          for (const TCompiledBlock::TLine& L : C.Lines) {
            if (L.Kind == TCompiledBlock::lkAssign) {
              const double Value = Storage.Evaluate(L.Expr);
              if (Storage.StoreSlotValue(L.Target, Value)) [[likely]]
                Stored = true;
              else
                Storage.SetSlotValue(L.Target, Value);
            } else if (L.Kind == TCompiledBlock::lkDraw) {
              if (FCanvas->DrawQuickPoint(L, Storage)) [[likely]] {
                Drawn = true;
                continue;
              }
              TAlgBlock* B = P.BlockOf(S->Node);
              FCurrentBlock = FLastProcessedBlock = B;
              FCanvas->ExecCompiled(L,
                                    B->GetText().Lines()[static_cast<size_t>(&L - C.Lines.data())]);
            }
          }
        } else if (Kind <= TFlatState::fkForNext) {
          double Start = S->Start, End = S->End, Step = S->Step;
          if (!S->ConstantHeader) {
            if (C.HeaderError == TCompiledBlock::heSyntax)
              RaiseSyntaxError();
            if (C.HeaderError == TCompiledBlock::heSyntaxInLine)
              RaiseSyntaxError(P.BlockOf(S->Node)->GetText().Get(0));
            Start = Storage.Evaluate(C.Start);
            End = Storage.Evaluate(C.End);
            Step = Storage.Evaluate(C.Step);
          }
          const double V =
              Kind == TFlatState::fkForNext ? Storage.GetSlotValue(C.Var) + Step : Start;
          if (Storage.StoreSlotValue(C.Var, V)) [[likely]]
            Stored = true;
          else
            Storage.SetSlotValue(C.Var, V);
          Yes = V <= End;
        } else if (Kind == TFlatState::fkProcessed) {
          // Its processor, with the machine as the generic step has it.
          SetFlatState(P, *S, false);
          Notice();
          Done = Steps; // for an input it may ask (GetStepsInCall)
          ProcessBlock(P.BlockOf(S->Node), *P.Nodes[static_cast<size_t>(S->Node)].Compiled);
        } else {
          Yes = true; // fkUntilEnter
        }
        // A jump, not a choice of address: the processor goes on into the
        // next step on its guess instead of waiting for the condition.
        if (Yes) {
          S = States + S->Next[1];
          asm volatile("");
        } else {
          S = States + S->Next[0];
        }
      } while (++Steps < Limit);
      Poll.Skip(Steps - From - 1);
      if (Watched)
        break;
    }
  } catch (...) {
    Settle(*S, Steps, true);
    throw;
  }
  Settle(*S, Steps, false);
  if (Aborted)
    RaiseAbortByUser();
  return Watched;
}

} // namespace Deskbay
