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

bool TAlgMachine::StepMany(int64_t MaxSteps, int64_t& Done, IStepWatch* Watch) {
  CheckState(amsReady);
  bool Watched = false;
  FStepsInCall = &Done;
  const auto Steps = [&] {
    TStepProgram* Program = nullptr;
    while (Done < MaxSteps && FState == amsReady) {
      if (!Program && FCurrentBlock)
        Program = StepProgramFor(FCurrentBlock, MaxSteps - Done);
      if (Program) {
        Watched = RunFlatProgram(*Program, MaxSteps, Done, Watch);
        if (Watched || Done == MaxSteps || FState != amsReady)
          break;
      }
      // A step the flat program leaves, or one before it is laid out.
      const TAlgCondition* Condition = nullptr;
      if (Watch && FCurrentBlock && Watch->Watches(FCurrentBlock, Condition)) {
        Watched = true;
        break;
      }
      if (Program) {
        const int64_t Before = Done;
        RunStepProgram(*Program, Done + 1, Done);
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
    FStepsInCall = nullptr;
    FState = amsError;
    throw;
  }
  FStepsInCall = nullptr;
  return Watched;
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
