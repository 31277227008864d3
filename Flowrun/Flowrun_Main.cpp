#include "Flowrun_Main.h"
#include "Flowrun_StepProgram.h"

#include "Flowrun_Canvas.h"
#include "Flowrun_Processors.h"

#include "Flowlang/Flowlang_Messages.h"

#include "Corekit/InteractionHooks.h"

#include <algorithm>
#include <exception>

namespace Deskbay {

// --- devices and processors ---

TAlgDevice::TAlgDevice(TAlgMachine* Machine) : FMachine(Machine) {
  Machine->FDevices.push_back(this);
}

bool TAlgDevice::ExecLine(const std::string&) {
  return false;
}

TAlgBlockProcessor::~TAlgBlockProcessor() = default;

void TAlgBlockProcessor::Process(TAlgMachine*) const {}

// --- TAlgConsole ---

void TAlgConsole::AddLine(const std::string& S) {
  if (static_cast<int>(FLines.size()) >= MaxLines)
    FLines.pop_front();
  FLines.push_back(S);
  ++FAddedCount;
  Changed();
  if (FOnAddLine)
    FOnAddLine(S);
}

void TAlgConsole::GetLines(TStringList& Strings) const {
  Strings.SetLines(std::vector<std::string>(FLines.begin(), FLines.end()));
}

// --- TAlgMachine ---

TAlgMachine::TAlgMachine()
    : FStorage(new TVarStorage), FConsole(new TAlgConsole),
      FInteractionAspect(new TAspectController(this)) {
  RegisterProcessors({&TBasicAlgBlockProcessor::Instance, &TRootAlgBlockProcessor::Instance,
                      &TCompoundAlgBlockProcessor::Instance, &TIfAlgBlockProcessor::Instance,
                      &TIOAlgBlockProcessor::Instance, &TWhileAlgBlockProcessor::Instance,
                      &TForAlgBlockProcessor::Instance, &TUntilAlgBlockProcessor::Instance});
  new TALU(this);
  FCanvas = new TAlgCanvas(this);
}

TAlgMachine::~TAlgMachine() {
  delete FStorage;
  delete FConsole;
  for (TAlgDevice* D : FDevices)
    delete D;
  delete FInteractionAspect;
}

void TAlgMachine::RegisterProcessor(const TAlgBlockProcessor* Processor) {
  CheckState(amsInit);
  Assert(std::find(FProcessors.begin(), FProcessors.end(), Processor) == FProcessors.end(),
         "RegisterProcessor: the processor is already registered.");
  FProcessors.push_back(Processor);
  // Blocks remember their processor.
  FCompiled.clear();
  for (TRecent& R : FRecentTable)
    R = {};
  FProcessing = {};
}

void TAlgMachine::RegisterProcessors(std::initializer_list<const TAlgBlockProcessor*> Processors) {
  for (const TAlgBlockProcessor* P : Processors)
    RegisterProcessor(P);
}

int TAlgMachine::GetProcessorIndex(const std::string& Name) const {
  for (size_t I = 0; I < FProcessors.size(); ++I)
    if (SameText(FProcessors[I]->ClassName(), Name))
      return static_cast<int>(I);
  return -1;
}

const TAlgBlockProcessor* TAlgMachine::GetProcessor(const std::string& Name) const {
  const int I = GetProcessorIndex(Name);
  return I < 0 ? nullptr : FProcessors[static_cast<size_t>(I)];
}

const TAlgBlockProcessor* TAlgMachine::FindProcessor(const std::string& Name) const {
  const TAlgBlockProcessor* P = GetProcessor(Name);
  if (!P)
    throw Exception(Format("Процессор \"%s\" не найден.", Name.c_str()));
  return P;
}

const TAlgBlockProcessor* TAlgMachine::FindProcessor(const TAlgBlock* Block) const {
  return FindProcessor(std::string(Block->ClassName()) + "Processor");
}

TCompiledBlock& TAlgMachine::LookUpCompiledBlock(const TAlgBlock* Block) {
  TRecent& Recent = FRecentTable[RecentIndex(Block)];
  TCompiledBlock* Entry = Recent.Block == Block ? Recent.Entry : nullptr;
  if (!Entry) {
    std::unique_ptr<TCompiledBlock>& Slot = FCompiled[Block];
    if (!Slot)
      Slot = std::make_unique<TCompiledBlock>();
    Entry = Slot.get();
    Recent = {Block, Entry};
  }
  const std::uint64_t Stamp = Block->GetText().GetChangeStamp();
  if (Entry->Stamp != Stamp) {
    *Entry = TCompiledBlock();
    Entry->Stamp = Stamp;
  }
  return *Entry;
}

void TAlgMachine::InitComplete() {
  CheckState(amsInit);
  FState = amsReady;
}

void TAlgMachine::ChangeCurrentBlock(TAlgBlock* Block) {
  CheckState(amsReady);
  FCurrentBlock = Block;
}

void TAlgMachine::PrepareBlock(const TAlgBlock* Block, TCompiledBlock& Compiled) {
  Compiled.Processor = FindProcessor(Block);
  Compiled.SkipOnJumpOutside = Block->SkipOnJumpOutside();
  Compiled.PlainSequence = Block->GetClass() == &TCompoundAlgBlock::Class &&
                           Compiled.Processor == &TCompoundAlgBlockProcessor::Instance;
}

void TAlgMachine::ProcessCurrentBlock() {
  TCompiledBlock& Compiled = GetCompiledBlock(FCurrentBlock);
  if (!Compiled.Processor)
    PrepareBlock(FCurrentBlock, Compiled);
  ProcessBlock(FCurrentBlock, Compiled);
}

void TAlgMachine::Step() {
  CheckState(amsReady);
  try {
    if (CurrentThreadAbortRequested())
      RaiseAbortByUser();
    // Inside a component bracket already open (Run's, a host's), a bracket
    // of the step's own would only count up and down on every component.
    if (FComponentBrackets > 0) {
      StepBlocks();
    } else {
      TAlgComponentGuard Components(*this);
      StepBlocks();
    }
  } catch (...) {
    FState = amsError;
    throw;
  }
}

void TAlgMachine::StepBlocks(bool Processed) {
  for (;;) {
    if (TAlgBlock* Block = FCurrentBlock) {
      // One lookup of the block's compiled form serves the step's test and
      // its processing.
      TCompiledBlock& Compiled = GetCompiledBlock(Block);
      if (!Compiled.Processor)
        PrepareBlock(Block, Compiled);
      if (Block->GetClass() == &TCompoundAlgBlock::Class) {
        ProcessBlock(Block, Compiled);
        continue;
      }
      const bool Skip = !FJumpedBack && Compiled.SkipOnJumpOutside;
      if (Processed && !Skip)
        break;
      ProcessBlock(Block, Compiled);
      if (!Skip)
        Processed = true;
    } else if (FBlockStack.empty()) {
      FState = amsDone;
      break;
    } else {
      FCurrentBlock = FBlockStack.back();
      FBlockStack.pop_back();
      FJumpedBack =
          FLastProcessedBlock && FCurrentBlock &&
          (FLastProcessedBlock == FCurrentBlock || FCurrentBlock->Contains(FLastProcessedBlock));
    }
  }
}

// --- the fused counting loop ---

bool TAlgMachine::PrepareFusedLoop(TFusedLoop& F, TAlgBlock* B) {
  if (!B || B->GetClass() != &TForAlgBlock::Class)
    return false;
  F.Loop = nullptr;
  // Compiled forms are kept by pointer for the machine's life; a changed
  // text makes its entry anew, not elsewhere.
  TCompiledBlock& C = GetCompiledBlock(B);
  if (C.Processor != &TForAlgBlockProcessor::Instance || !C.Compiled || C.SkipOnJumpOutside ||
      C.HeaderError != TCompiledBlock::heNone)
    return false;
  TAlgBlock* Body = static_cast<TForAlgBlock*>(B)->GetBody();
  if (!Body || Body->GetBlockCount() == 0)
    return false;
  TCompiledBlock& BodyC = GetCompiledBlock(Body);
  if (!BodyC.Processor)
    PrepareBlock(Body, BodyC);
  if (!BodyC.PlainSequence)
    return false;
  F.Body.clear();
  for (int I = 0; I < Body->GetBlockCount(); ++I) {
    TAlgBlock* K = Body->GetBlocks(I);
    if (K->GetClass() != &TBasicAlgBlock::Class)
      return false;
    TCompiledBlock& KC = GetCompiledBlock(K);
    if (KC.Processor != &TBasicAlgBlockProcessor::Instance || !KC.Compiled || KC.SkipOnJumpOutside)
      return false;
    for (const TCompiledBlock::TLine& L : KC.Lines)
      if (L.Kind == TCompiledBlock::lkText || L.Kind == TCompiledBlock::lkOutput)
        return false;
    F.Body.push_back({K, &KC});
  }
  F.Header = &C;
  F.Loop = B;
  return true;
}

// Starts on the loop as the step that reaches it leaves it, and returns on
// a step boundary in the state the generic steps would have left there:
// before a step the generic path must make (the loop ending, a header that
// fails, an abort asked for) or once MaxSteps are done.
void TAlgMachine::RunFusedPasses(const TFusedLoop& F, int64_t MaxSteps, int64_t& Done) {
  const TCompiledBlock& C = *F.Header;
  TVarStorage& Storage = *FStorage;
  TAlgBlock* const Loop = F.Loop;
  TAlgBlock* const Body = static_cast<TForAlgBlock*>(Loop)->GetBody();
  // The abort poll comes once a step, as in Step, and only for a step made
  // here; the steps this leaves to the generic path poll there.
  while (Done < MaxSteps) {
    // The loop's step, as its processor makes it; the header's parts have
    // no effect but failing, which the processor reports.
    double Start, End, Step;
    if (!Storage.TryEvaluate(C.Start, Start) || !Storage.TryEvaluate(C.End, End) ||
        !Storage.TryEvaluate(C.Step, Step))
      return;
    if (FJumpedBack && !Storage.SlotHasValue(C.Var))
      return;
    const double V = FJumpedBack ? Storage.GetSlotValue(C.Var) + Step : Start;
    if (!(V <= End))
      return;
    if (CurrentThreadAbortRequested())
      RaiseAbortByUser();
    Storage.SetSlotValue(C.Var, V);
    FBlockStack.push_back(Loop);
    FJumpedBack = false;
    FLastProcessedBlock = Body;
    FCurrentBlock = F.Body.front().Block;
    ++Done;
    for (size_t Index = 0; Index < F.Body.size(); ++Index) {
      const TFusedLoop::TBodyBlock& K = F.Body[Index];
      if (Done == MaxSteps)
        return;
      if (CurrentThreadAbortRequested())
        RaiseAbortByUser();
      FLastProcessedBlock = K.Block;
      const std::vector<std::string>& Lines = K.Block->GetText().Lines();
      for (size_t I = 0; I < K.Compiled->Lines.size(); ++I) {
        const TCompiledBlock::TLine& L = K.Compiled->Lines[I];
        if (L.Kind == TCompiledBlock::lkAssign)
          Storage.SetSlotValue(L.Target, Storage.Evaluate(L.Expr));
        else if (L.Kind == TCompiledBlock::lkDraw)
          FCanvas->ExecCompiled(L, Lines[I]);
      }
      // The body's blocks in order are each other's next siblings.
      if (Index + 1 < F.Body.size()) {
        FCurrentBlock = F.Body[Index + 1].Block;
      } else {
        // The end of the body: back to the loop, which holds the block.
        FCurrentBlock = FBlockStack.back();
        FBlockStack.pop_back();
        FJumpedBack = true;
      }
      ++Done;
    }
  }
}

void TAlgMachine::StepMany(int64_t MaxSteps, int64_t& Done) {
  CheckState(amsReady);
  const auto Steps = [&] {
    TFusedLoop Loop;
    TStepProgram* Program = nullptr;
    while (Done < MaxSteps && FState == amsReady) {
      if (PrepareFusedLoop(Loop, FCurrentBlock)) {
        RunFusedPasses(Loop, MaxSteps, Done);
        if (Done == MaxSteps)
          break;
      }
      if (!Program && FCurrentBlock)
        Program = StepProgramFor(FCurrentBlock, MaxSteps - Done);
      if (Program) {
        const int64_t Before = Done;
        RunStepProgram(*Program, MaxSteps, Done);
        if (Done > Before || FState != amsReady)
          continue;
      }
      if (CurrentThreadAbortRequested())
        RaiseAbortByUser();
      StepBlocks();
      ++Done;
    }
  };
  try {
    if (FComponentBrackets > 0) {
      Steps();
    } else {
      TAlgComponentGuard Components(*this);
      Steps();
    }
  } catch (...) {
    FState = amsError;
    throw;
  }
}

void TAlgMachine::Run() {
  if (FState != amsReady)
    return;
  TAlgComponentGuard Components(*this);
  int64_t Done = 0;
  while (FState == amsReady)
    StepMany(INT64_MAX, Done);
}

bool TAlgMachine::ExecLine(const std::string& Line) {
  for (TAlgDevice* D : FDevices)
    if (D->ExecLine(Line))
      return true;
  RaiseSyntaxError(Line);
}

TAlgDevice* TAlgMachine::GetDevices(int Index) const {
  CheckDeviceIndex(Index);
  return FDevices[static_cast<size_t>(Index)];
}

void TAlgMachine::CheckDeviceIndex(int Index) const {
  if (Index < 0 || Index >= GetDeviceCount())
    throw Exception(Format("Bad device index (%d, %d).", Index, GetDeviceCount()));
}

void TAlgMachine::RaiseSyntaxError() const {
  throw Exception(SyntaxErrorText());
}

void TAlgMachine::RaiseSyntaxError(const std::string& Line) const {
  throw Exception(SyntaxErrorInLineText(Line));
}

void TAlgMachine::RaiseAbortByUser() const {
  throw Exception("Выполнение прервано пользователем.");
}

void TAlgMachine::RaiseStateError(TAlgMachineState State) const {
  throw Exception(Format("Недопустимое состояние исполнителя (%d, ожидалось %d).",
                         static_cast<int>(FState), static_cast<int>(State)));
}

void TAlgMachine::CheckState(TAlgMachineStates States) const {
  CheckState(States.Contains(FState));
}

void TAlgMachine::CheckState(bool Ok) const {
  if (!Ok)
    throw Exception(Format("Недопустимое состояние исполнителя (%d).", static_cast<int>(FState)));
}

void TAlgMachine::BeginModifyComponents() {
  ++FComponentBrackets;
  FStorage->BeginModify();
  FConsole->BeginModify();
  for (TAlgDevice* D : FDevices)
    D->BeginModify();
}

void TAlgMachine::EndModifyComponents() {
  --FComponentBrackets;
  // Every object's bracket is closed even when a listener of an earlier one
  // fails; the first failure is passed on.
  std::exception_ptr First;
  auto Close = [&First](TVersionManager* M) {
    try {
      M->EndModify();
    } catch (...) {
      if (!First)
        First = std::current_exception();
    }
  };
  Close(FStorage);
  Close(FConsole);
  for (TAlgDevice* D : FDevices)
    Close(D);
  if (First)
    std::rethrow_exception(First);
}

void TAlgMachine::TriggerComponentNotifications() {
  FStorage->TriggerNotifications();
  FConsole->TriggerNotifications();
  for (TAlgDevice* D : FDevices)
    D->TriggerNotifications();
  FInteractionAspect->Changed();
}

void TAlgMachine::AddInteractionListener(IOnNotify* Listener) {
  FInteractionAspect->AddListener(Listener);
}

void TAlgMachine::RemoveInteractionListener(IOnNotify* Listener) {
  if (FInteractionAspect)
    FInteractionAspect->RemoveListener(Listener);
}

} // namespace Deskbay
