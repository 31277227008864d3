#include "Flowrun_Debugger.h"

#include "Flowrun_Control.h"
#include "Flowrun_Main.h"

#include "Corekit/SysUtils.h"

#include <cstring>

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
    auto It = FCompiled.find(Next);
    if (It == FCompiled.end() || It->second.Text != *Condition) {
      It = FCompiled.try_emplace(Next).first;
      Storage.CompileCondition(*Condition, It->second);
    }
    return Storage.EvaluateCondition(It->second);
  } catch (const Exception& E) {
    Reason = Format("Условие точки останова \"%s\" не вычисляется: %s", Condition->c_str(),
                    MessageLines(E.Message()).c_str());
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

void TAlgBreakpoints::Refilter() {
  FFilter.fill(false);
  for (const auto& [Block, Condition] : FPoints)
    FFilter[FilterIndex(Block)] = true;
}

// While a step goes, answers the machine's questions from the answers
// already given in this run, and records the new ones the host gives.
class TAlgDebugSession::TRecorder : public IInputProvider {
public:
  explicit TRecorder(TAlgDebugSession& Session)
      : FSession(Session), FHost(SetInputProvider(this)) {}
  ~TRecorder() override { SetInputProvider(FHost); }
  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override {
    if (FSession.FInputsUsed < FSession.FInputs.size()) {
      Value = FSession.FInputs[FSession.FInputsUsed++];
      return true;
    }
    if (!FHost || !FHost->InputString(Caption, Prompt, Value, Options))
      return false;
    FSession.FInputs.push_back(Value);
    ++FSession.FInputsUsed;
    return true;
  }

private:
  TAlgDebugSession& FSession;
  IInputProvider* FHost;
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

TAlgDebugSession::TAlgDebugSession(TAlgorithm& Alg) : FAlg(Alg) {}

TAlgDebugSession::~TAlgDebugSession() = default;

void TAlgDebugSession::NewMachine() {
  FBreakpoints.ForgetCompiled();
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
}

void TAlgDebugSession::Start() {
  FInputs.clear();
  NewMachine();
}

void TAlgDebugSession::Reset() {
  FMachine.reset();
  FInputs.clear();
  FInputsUsed = 0;
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

bool TAlgDebugSession::StepTracked() {
  const TAlgBlock* Block = FMachine->GetCurrentBlock();
  const int64_t Number = FSteps + 1;
  TakeSnapshot(FMachine->GetStorage(), FBefore);
  const bool Ok = DoStep();
  TakeSnapshot(FMachine->GetStorage(), FAfter);
  FChanged.clear();
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
  FPastBreakpoint = false;
  if (!FOriginsValid)
    RecomputeOrigins();
  return StepTracked();
}

void TAlgDebugSession::RecomputeOrigins() {
  const TDebugState State = FState;
  const bool Stopped = FStoppedByUser;
  const int64_t Steps = FSteps;
  const bool PastBreakpoint = FPastBreakpoint;
  const std::string BreakReason = FBreakReason;
  NewMachine();
  TAlgComponentGuard Components(*FMachine);
  while (FSteps < Steps && FState == TDebugState::Paused)
    StepTracked();
  // The failing step fails again the same way; a user's stop is made again.
  if (State == TDebugState::Failed && FState == TDebugState::Paused) {
    if (Stopped)
      Stop();
    else
      StepTracked();
  }
  FPastBreakpoint = PastBreakpoint;
  FBreakReason = BreakReason;
}

TSliceEnd TAlgDebugSession::RunSlice(int64_t MaxSteps, std::chrono::nanoseconds Budget) {
  if (FState == TDebugState::Idle || !FMachine)
    Start();
  if (FState == TDebugState::Done)
    return TSliceEnd::Done;
  if (FState == TDebugState::Failed)
    return TSliceEnd::Failed;
  FBreakReason.clear();
  FOriginsValid = false;
  const auto Deadline = std::chrono::steady_clock::now() + Budget;
  TAlgComponentGuard Components(*FMachine);
  const bool AnyBreakpoint = FBreakpoints.GetCount() > 0;
  for (int64_t N = 0; N < MaxSteps; ++N) {
    if ((N & 1023) == 1023 && std::chrono::steady_clock::now() >= Deadline)
      return TSliceEnd::Budget;
    if (AnyBreakpoint && !FPastBreakpoint && FBreakpoints.ShouldStop(*FMachine, FBreakReason)) {
      FPastBreakpoint = true;
      return TSliceEnd::Breakpoint;
    }
    FPastBreakpoint = false;
    if (!DoStep())
      return TSliceEnd::Failed;
    if (FState == TDebugState::Done)
      return TSliceEnd::Done;
  }
  return TSliceEnd::Budget;
}

void TAlgDebugSession::Stop() {
  if (FState != TDebugState::Paused || !FMachine)
    return;
  try {
    FMachine->RaiseAbortByUser();
  } catch (const Exception& E) {
    FStoppedByUser = true;
    FState = TDebugState::Failed;
    FRawError = E.Message();
    FError = MessageLines(FRawError);
    FErrorBlock = FMachine->GetCurrentBlock();
  }
}

bool TAlgDebugSession::CanStepBack() const {
  if (!FMachine)
    return false;
  return FState == TDebugState::Failed || FSteps > 0;
}

void TAlgDebugSession::Replay(int64_t Steps) {
  NewMachine();
  FOriginsValid = false;
  TAlgComponentGuard Components(*FMachine);
  while (FSteps < Steps && FState == TDebugState::Paused)
    DoStep();
}

bool TAlgDebugSession::StepBack() {
  if (!CanStepBack())
    return false;
  // After an error, the state before the failing step; else one step less.
  Replay(FState == TDebugState::Failed ? FSteps : FSteps - 1);
  return true;
}

const std::vector<std::string>& TAlgDebugSession::GetChangedVars() {
  if (!FOriginsValid && FMachine)
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
