#include "Flowrun_Debugger.h"

#include "Flowrun_Control.h"
#include "Flowrun_Main.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/SysUtils.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace Deskbay {

void TAlgBreakpoints::Set(const TAlgBlock* Block, const std::string& Condition) {
  FPoints[Block] = Condition;
  FCompiled.erase(Block);
  Refilter();
}

void TAlgBreakpoints::Remove(const TAlgBlock* Block) {
  FPoints.erase(Block);
  FCompiled.erase(Block);
  Refilter();
}

std::map<const TAlgBlock*, bool> TAlgBreakpoints::GetMarks() const {
  std::map<const TAlgBlock*, bool> Marks;
  for (const auto& [Block, Condition] : FPoints)
    Marks[Block] = !Condition.empty();
  return Marks;
}

void TAlgBreakpoints::RemoveUnless(const std::function<bool(const TAlgBlock*)>& Keep) {
  for (auto It = FPoints.begin(); It != FPoints.end();)
    if (Keep(It->first)) {
      ++It;
    } else {
      FCompiled.erase(It->first);
      It = FPoints.erase(It);
    }
  Refilter();
}

void TAlgBreakpoints::RemoveAbsent(const TAlgorithm& Alg) {
  if (FPoints.empty())
    return;
  std::set<const TAlgBlock*> Present;
  std::vector<const TAlgBlock*> Pending = {Alg.GetRoot()};
  while (!Pending.empty()) {
    const TAlgBlock* B = Pending.back();
    Pending.pop_back();
    Present.insert(B);
    for (int I = 0; I < B->GetBlockCount(); ++I)
      Pending.push_back(B->GetBlocks(I));
  }
  RemoveUnless([&Present](const TAlgBlock* B) { return Present.count(B) > 0; });
}

void TAlgBreakpoints::Clear() {
  FPoints.clear();
  FCompiled.clear();
  Refilter();
}

const std::string* TAlgBreakpoints::Find(const TAlgBlock* Block) const {
  const auto It = FPoints.find(Block);
  return It == FPoints.end() ? nullptr : &It->second;
}

bool TAlgBreakpoints::ShouldStop(TAlgMachine& Machine, std::string& Reason) const {
  Reason.clear();
  const TAlgBlock* Next = Machine.GetCurrentBlock();
  if (!MayHave(Next))
    return false;
  const std::string* Condition = Find(Next);
  if (!Condition)
    return false;
  if (Condition->empty())
    return true;
  TVarStorage& Storage = Machine.GetStorage();
  try {
    // Compiled inside: a condition the language refuses stops the run with
    // its reason, as one that cannot be computed does.
    return Storage.EvaluateCondition(*CompiledCondition(Next, Storage));
  } catch (const Exception& E) {
    // A variable that has no value yet (the loop's own before its first
    // pass): the condition does not hold yet.
    const auto It = FCompiled.find(Next);
    if (It != FCompiled.end() && Storage.ConditionReadsUnset(It->second))
      return false;
    std::string Why = MessageLines(E.Message());
    while (!Why.empty() && Why.back() == '\n')
      Why.pop_back();
    Reason =
        Format("Условие точки останова \"%s\" не вычисляется: %s", Condition->c_str(), Why.c_str());
    return true;
  }
}

bool TBreakpointObserver::StopBefore(TAlgMachine& Machine, int64_t Step, TRunEnd& End) {
  if (Step == 1)
    FBreakpoints.ForgetCompiled();
  if (!FBreakpoints.ShouldStop(Machine, FReason))
    return false;
  End = TRunEnd::Stopped;
  return true;
}

const TAlgCondition* TAlgBreakpoints::CompiledCondition(const TAlgBlock* Block,
                                                        TVarStorage& Storage) const {
  const std::string* Condition = Find(Block);
  if (!Condition || Condition->empty())
    return nullptr;
  auto It = FCompiled.find(Block);
  if (It == FCompiled.end() || It->second.Text != *Condition) {
    It = FCompiled.try_emplace(Block).first;
    Storage.CompileCondition(*Condition, It->second);
  }
  return &It->second;
}

bool TAlgDebugSession::TBreakpointWatch::Watches(const TAlgBlock* Block,
                                                 const TAlgCondition*& Condition) {
  const TAlgBreakpoints& Points = FSession.FBreakpoints;
  if (!Points.MayHave(Block) || !Points.Find(Block))
    return false;
  try {
    Condition = Points.CompiledCondition(Block, FSession.FMachine->GetStorage());
  } catch (const Exception&) {
    Condition = nullptr; // ShouldStop says why
  }
  return true;
}

void TAlgBreakpoints::Refilter() {
  ++FVersion;
  FFilter.fill(false);
  for (const auto& [Block, Condition] : FPoints)
    FFilter[FilterIndex(Block)] = true;
}

// While a step goes, answers the machine's questions from the answers
// already given in this run, and records the new ones the host gives.
class TAlgDebugSession::TRecorder : public IInputProvider {
public:
  explicit TRecorder(TAlgDebugSession& Session) : FSession(Session), FScope(this) {}
  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override {
    if (FSession.FInputsUsed < FSession.FInputs.size()) {
      Value = FSession.FInputs[FSession.FInputsUsed++];
      return true;
    }
    IInputProvider* Host = FScope.GetPrevious();
    if (!(FSession.FScript && FSession.FScript->InputString(Caption, Prompt, Value, Options)) &&
        (!Host || !Host->InputString(Caption, Prompt, Value, Options)))
      return false;
    FSession.FInputs.push_back(Value);
    ++FSession.FInputsUsed;
    return true;
  }

private:
  TAlgDebugSession& FSession;
  TInputProviderScope FScope;
};

namespace {

// The variables as they are, to see what a step changed.
using TSnapshot = std::vector<std::pair<std::string, double>>;

void TakeSnapshot(TVarStorage& S, TSnapshot& Out) {
  Out.resize(static_cast<size_t>(S.GetVarCount()));
  for (int I = 0; I < S.GetVarCount(); ++I) {
    Out[static_cast<size_t>(I)].first = S.GetVarNames(I);
    Out[static_cast<size_t>(I)].second = S.GetVarValues(I);
  }
}

bool SameValue(double A, double B) {
  return std::memcmp(&A, &B, sizeof A) == 0;
}

} // namespace

TAlgDebugSession::TAlgDebugSession(TAlgorithm& Alg)
    : FAlg(Alg), FContentNotify(this, &TAlgDebugSession::ContentChanged) {
  FAlg.AddListener(&FContentNotify);
}

TAlgDebugSession::~TAlgDebugSession() {
  FAlg.RemoveListener(&FContentNotify);
}

void TAlgDebugSession::ContentChanged(TObject*) {
  FBreakpoints.RemoveAbsent(FAlg);
}

void TAlgDebugSession::NewMachine() {
  FBreakpoints.ForgetCompiled();
  // The old machine stays until its followers have left it.
  std::unique_ptr<TAlgMachine> Old = std::move(FMachine);
  FMachine = std::make_unique<TAlgMachine>();
  FMachine->InitComplete();
  FMachine->SetCurrentBlock(FAlg.GetRoot());
  FState = TDebugState::Paused;
  FSteps = 0;
  FInputsUsed = 0;
  FPastBreakpoint = false;
  FBreakReason.clear();
  FError.clear();
  FRawError.clear();
  FErrorBlock = nullptr;
  FStoppedByUser = false;
  FOrigins.clear();
  FOriginsValid = true;
  FChanged.clear();
  FChangedValid = true;
  if (OnMachineChange)
    OnMachineChange(FMachine.get());
}

void TAlgDebugSession::Start(std::unique_ptr<IInputProvider> Script) {
  FInputs.clear();
  FScript = std::move(Script);
  NewMachine();
}

void TAlgDebugSession::StartAt(int64_t Steps, std::unique_ptr<IInputProvider> Script) {
  FInputs.clear();
  FScript = std::move(Script);
  Replay(Steps);
}

void TAlgDebugSession::Reset() {
  if (OnMachineChange)
    OnMachineChange(nullptr);
  FMachine.reset();
  FInputs.clear();
  FInputsUsed = 0;
  FScript.reset();
  FState = TDebugState::Idle;
  FSteps = 0;
  FError.clear();
  FRawError.clear();
  FErrorBlock = nullptr;
  FOrigins.clear();
  FChanged.clear();
  FBreakReason.clear();
}

TAlgBlock* TAlgDebugSession::GetNextBlock() const {
  return FState == TDebugState::Paused && FMachine ? FMachine->GetCurrentBlock() : nullptr;
}

bool TAlgDebugSession::DoStep() {
  TRecorder Recorder(*this);
  return StepRecorded();
}

bool TAlgDebugSession::StepRecorded() {
  try {
    FMachine->Step();
  } catch (const Exception& E) {
    FState = TDebugState::Failed;
    FRawError = E.Message();
    FError = MessageLines(FRawError);
    FErrorBlock = FMachine->GetCurrentBlock();
    return false;
  }
  ++FSteps;
  if (FMachine->GetState() == amsDone)
    FState = TDebugState::Done;
  return true;
}

bool TAlgDebugSession::StepsRecorded(int64_t MaxSteps, IStepWatch* Watch) {
  int64_t Done = 0;
  try {
    FMachine->StepMany(MaxSteps, Done, Watch);
  } catch (const Exception& E) {
    FSteps += Done;
    FState = TDebugState::Failed;
    FRawError = E.Message();
    FError = MessageLines(FRawError);
    FErrorBlock = FMachine->GetCurrentBlock();
    return false;
  }
  FSteps += Done;
  if (FMachine->GetState() == amsDone)
    FState = TDebugState::Done;
  return true;
}

bool TAlgDebugSession::StepTracked() {
  const TAlgBlock* Block = FMachine->GetCurrentBlock();
  const int64_t Number = FSteps + 1;
  TakeSnapshot(FMachine->GetStorage(), FBefore);
  const bool Ok = DoStep();
  TakeSnapshot(FMachine->GetStorage(), FAfter);
  FChanged.clear();
  FChangedValid = true;
  // Both lists are in the storage's order, and a step only adds names.
  size_t J = 0;
  for (const auto& [Name, Value] : FAfter) {
    if (J < FBefore.size() && FBefore[J].first == Name) {
      if (SameValue(FBefore[J++].second, Value))
        continue;
    }
    FChanged.push_back(Name);
    FOrigins[Name] = {Block, Number};
  }
  return Ok;
}

bool TAlgDebugSession::StepOne() {
  if (FState == TDebugState::Idle || !FMachine)
    Start();
  if (FState != TDebugState::Paused)
    return false;
  FBreakReason.clear();
  if (!FOriginsValid)
    RecomputeOrigins();
  const bool Ok = StepTracked();
  FPastBreakpoint = true;
  return Ok;
}

void TAlgDebugSession::RecomputeOrigins() {
  // On a session of its own, with the answers of this run: the machine the
  // host follows stays as it is.
  TAlgDebugSession Side(FAlg);
  Side.FInputs = FInputs;
  Side.NewMachine();
  {
    TAlgComponentGuard Components(*Side.FMachine);
    while (Side.FSteps < FSteps && Side.FState == TDebugState::Paused)
      Side.StepTracked();
    // The failing step fails again the same way; a user's stop needs no step.
    if (FState == TDebugState::Failed && Side.FState == TDebugState::Paused && !FStoppedByUser)
      Side.StepTracked();
  }
  FOrigins = std::move(Side.FOrigins);
  FChanged = FStoppedByUser ? std::vector<std::string>() : std::move(Side.FChanged);
  FOriginsValid = true;
  FChangedValid = true;
}

TSliceEnd TAlgDebugSession::Advance() {
  return Advance(1);
}

TSliceEnd TAlgDebugSession::Advance(int64_t MaxSteps) {
  if (FState == TDebugState::Idle || !FMachine)
    Start();
  if (FState == TDebugState::Done)
    return TSliceEnd::Done;
  if (FState == TDebugState::Failed)
    return TSliceEnd::Failed;
  // One recorder for all the steps: installing it costs as much as a step.
  TRecorder Recorder(*this);
  for (int64_t I = 0; I < MaxSteps;) {
    // Going on from a pause: the block it stood at passes, and why it
    // stopped no longer holds. Otherwise the filter first, inline: most
    // steps end the breakpoint test there.
    if (FPastBreakpoint) {
      FPastBreakpoint = false;
      FBreakReason.clear();
    } else if (FBreakpoints.GetCount() > 0 && FBreakpoints.MayHave(FMachine->GetCurrentBlock()) &&
               FBreakpoints.ShouldStop(*FMachine, FBreakReason)) {
      FPastBreakpoint = true;
      return TSliceEnd::Breakpoint;
    }
    FOriginsValid = false;
    FChangedValid = false;
    const int64_t Before = FSteps;
    bool Ok;
    if (FBreakpoints.GetCount() == 0) {
      // Nothing to test before each step: the rest at once.
      Ok = StepsRecorded(MaxSteps - I);
    } else {
      // This step, whose test has passed, then at once up to the next
      // block with a breakpoint that may hold, tested above.
      Ok = StepRecorded();
      if (Ok && FState != TDebugState::Done && I + 1 < MaxSteps)
        Ok = StepsRecorded(MaxSteps - I - 1, &FWatch);
    }
    I += FSteps - Before;
    if (!Ok)
      return TSliceEnd::Failed;
    if (FState == TDebugState::Done)
      return TSliceEnd::Done;
  }
  return TSliceEnd::Budget;
}

bool TAlgDebugSession::BreakpointHolds() {
  FBreakReason.clear();
  return FState == TDebugState::Paused && FMachine && FBreakpoints.GetCount() > 0 &&
         FBreakpoints.ShouldStop(*FMachine, FBreakReason);
}

TSliceEnd TAlgDebugSession::RunSlice(int64_t MaxSteps, std::chrono::nanoseconds Budget) {
  FBreakReason.clear();
  const auto Deadline = std::chrono::steady_clock::now() + Budget;
  if (FState == TDebugState::Idle || !FMachine)
    Start();
  TAlgComponentGuard Components(*FMachine);
  // The clock read once every 1024 steps.
  for (int64_t N = 0; N < MaxSteps;) {
    if (N > 0 && std::chrono::steady_clock::now() >= Deadline)
      return TSliceEnd::Budget;
    const int64_t Chunk = std::min<int64_t>(1024, MaxSteps - N);
    const TSliceEnd End = Advance(Chunk);
    if (End != TSliceEnd::Budget)
      return End;
    N += Chunk;
  }
  return TSliceEnd::Budget;
}

namespace {

class TAbortNow : public IAbortPoller {
public:
  bool AbortRequested() override { return true; }
};

} // namespace

void TAlgDebugSession::Stop() {
  if (FState != TDebugState::Paused || !FMachine)
    return;
  // The machine's own abort: a poller just installed is asked at once, so
  // the step raises the user's abort error before it does anything, and
  // the machine keeps the block that would have come next.
  TAbortNow Now;
  IAbortPoller* Previous = SetAbortPoller(&Now);
  DoStep();
  SetAbortPoller(Previous);
  FStoppedByUser = true;
  FChanged.clear();
}

bool TAlgDebugSession::CanStepBack() const {
  if (!FMachine)
    return false;
  return FState == TDebugState::Failed || FSteps > 0;
}

void TAlgDebugSession::Replay(int64_t Steps) {
  NewMachine();
  FOriginsValid = false;
  {
    TAlgComponentGuard Components(*FMachine);
    if (FSteps + 1 < Steps && FState == TDebugState::Paused) {
      TRecorder Recorder(*this);
      StepsRecorded(Steps - 1 - FSteps);
    }
    // The last step with its changes noted, so the views can mark them.
    if (FSteps < Steps && FState == TDebugState::Paused)
      StepTracked();
  }
  FPastBreakpoint = FSteps > 0;
}

bool TAlgDebugSession::StepBack() {
  if (!CanStepBack())
    return false;
  // After an error, the state before the failing step; else one step less.
  Replay(FState == TDebugState::Failed ? FSteps : FSteps - 1);
  return true;
}

const std::vector<std::string>& TAlgDebugSession::GetChangedVars() {
  if (!FChangedValid && FMachine)
    RecomputeOrigins();
  return FChanged;
}

bool TAlgDebugSession::GetVarOrigin(const std::string& Name, TVarOrigin& Origin) {
  if (!FMachine)
    return false;
  if (!FOriginsValid)
    RecomputeOrigins();
  const int Index = FMachine->GetStorage().GetVarIndex(Name);
  if (Index < 0)
    return false;
  const auto It = FOrigins.find(FMachine->GetStorage().GetVarNames(Index));
  if (It == FOrigins.end())
    return false;
  Origin = It->second;
  return true;
}

TErrorExplanation TAlgDebugSession::GetErrorExplanation() const {
  if (FState != TDebugState::Failed || !FMachine)
    return {};
  return ExplainError(FRawError, FMachine->GetStorage());
}

} // namespace Deskbay
