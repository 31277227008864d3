#include "Flowrun_StepProgram.h"

#include "Flowrun_Canvas.h"
#include "Flowrun_Processors.h"

#include "Flowlang/Flowlang_Messages.h"

#include "Corekit/InteractionHooks.h"

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
    if (N.Kind == TStepNode::nkFor) {
      TFusedLoop Loop;
      N.Fusable = PrepareFusedLoop(Loop, B);
    }
  }
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
  bool First = true;
  while (Done < MaxSteps) {
    const TStepNode& N = P.Nodes[static_cast<size_t>(Cur)];
    if (N.Fusable && !First)
      return;
    First = false;
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

} // namespace Deskbay
