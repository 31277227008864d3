#include "Algtool_Run.h"

#include "Algtool_Files.h"
#include "Algtool_Output.h"
#include "PngExport.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/SysUtils.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Explain.h"
#include "Flowrun/Flowrun_Main.h"
#include "Flowrun/Flowrun_Values.h"

#include <csignal>
#include <istream>
#include <limits>
#include <ostream>
#include <utility>
#include <vector>

namespace Deskbay::Algtool {

namespace {

// The longest answer read from a line; nobody types more for a number.
constexpr std::streamsize MaxInputLine = 4096;

// One line of In, without its end, into Line; false at the end of In. A
// line longer than MaxInputLine is skipped to its end without being kept
// and read as its beginning and "…", which no number ends in, so the run
// fails quoting it.
bool ReadBoundedLine(std::istream& In, std::string& Line) {
  Line.assign(static_cast<size_t>(MaxInputLine) + 1, '\0');
  In.getline(Line.data(), MaxInputLine + 1);
  const std::streamsize Count = In.gcount();
  if (In.fail() && Count == MaxInputLine) {
    In.clear();
    In.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    Line.resize(static_cast<size_t>(Count));
    Line += "…";
    return true;
  }
  if (In.fail())
    return false;
  // The count includes the line end when one was taken. A NUL byte stays
  // in the answer, which then is no number, instead of ending it early.
  Line.resize(static_cast<size_t>(In.eof() ? Count : Count - 1));
  return true;
}

// Ctrl+C stops the run the way F2 does in the desktop program: the machine
// fails with its own "stopped by the user" error, so --vars and --canvas
// still report. A second Ctrl+C ends the process at once.
volatile std::sig_atomic_t InterruptRequested = 0;

void OnInterrupt(int) {
  InterruptRequested = 1;
}

class TInterruptPoller : public IAbortPoller {
public:
  TInterruptPoller() {
    InterruptRequested = 0;
    struct sigaction Action = {};
    Action.sa_handler = OnInterrupt;
    Action.sa_flags = SA_RESETHAND;
    sigemptyset(&Action.sa_mask);
    sigaction(SIGINT, &Action, &FOld);
    FPrevious = SetAbortPoller(this);
  }
  ~TInterruptPoller() override {
    SetAbortPoller(FPrevious);
    sigaction(SIGINT, &FOld, nullptr);
  }
  bool AbortRequested() override { return InterruptRequested != 0; }

private:
  struct sigaction FOld = {};
  IAbortPoller* FPrevious = nullptr;
};

using TVarSnapshot = std::vector<std::pair<std::string, double>>;

TVarSnapshot SnapshotVars(const TVarStorage& Storage) {
  TVarSnapshot Vars;
  for (int I = 0; I < Storage.GetVarCount(); ++I)
    Vars.emplace_back(Storage.GetVarNames(I), Storage.GetVarValues(I));
  return Vars;
}

// Variables that are new or hold another value than before.
void PrintChangedVars(const TVarSnapshot& Before, const TVarSnapshot& After, std::ostream& Err) {
  for (const auto& [Name, Value] : After) {
    bool Same = false;
    for (const auto& [OldName, OldValue] : Before)
      if (OldName == Name) {
        Same = OldValue == Value;
        break;
      }
    if (!Same)
      Err << "    " << Name << " = " << AlgFormatValue(Value) << '\n';
  }
}

void PrintVars(const TVarStorage& Storage, std::ostream& Out) {
  for (int I = 0; I < Storage.GetVarCount(); ++I)
    Out << Storage.GetVarNames(I) << " = " << AlgFormatValue(Storage.GetVarValues(I)) << '\n';
}

} // namespace

TStreamInput::TStreamInput(std::istream& In, std::ostream* Prompts)
    : FIn(In), FPrompts(Prompts), FPrevious(SetInputProvider(this)) {}

TStreamInput::~TStreamInput() {
  SetInputProvider(FPrevious);
}

bool TStreamInput::InputString(const std::string&, const std::string& Prompt, std::string& Value,
                               const TInputStringOptions& Options) {
  for (;;) {
    if (FPrompts)
      *FPrompts << Prompt << ' ' << std::flush;
    std::string Line;
    if (!ReadBoundedLine(FIn, Line)) {
      FUnansweredPrompt = Prompt;
      return false;
    }
    std::string Answer = ApplyInputStringOptions(Line, Options);
    if (Options.NotEmpty && Trim(Answer).empty())
      continue;
    Value = std::move(Answer);
    return true;
  }
}

namespace {

// --trace: each next block before its step, the variables it changed after.
class TTracer : public TRunObserver {
public:
  explicit TTracer(std::ostream& Err) : FErr(Err) {}
  void BeforeStep(TAlgMachine& Machine, int64_t Step) override {
    TAlgBlock* Next = Machine.GetCurrentBlock();
    FErr << "[" << Step << "] " << (Next ? VisibleText(DescribeBlock(Next)) : "конец") << '\n';
    FVars = SnapshotVars(Machine.GetStorage());
  }
  void AfterStep(TAlgMachine& Machine) override {
    PrintChangedVars(FVars, SnapshotVars(Machine.GetStorage()), FErr);
  }

private:
  std::ostream& FErr;
  TVarSnapshot FVars;
};

} // namespace

int RunAlgorithm(const TRunOptions& Options, std::istream& In, bool PromptInput, std::ostream& Out,
                 std::ostream& Err) {
  TAlgorithm Alg;
  try {
    LoadAlgorithmFile(Alg, Options.FileName);
  } catch (const Exception& E) {
    Err << ErrorLines(E.Message()) << '\n';
    return RunFailed;
  }

  TStreamInput Input(In, PromptInput ? &Err : nullptr);
  TInterruptPoller Interrupts;
  TAlgMachine Machine;
  // A run whose output can go nowhere is stopped, not left to run on.
  Machine.GetConsole().SetOnAddLine([&Out](const std::string& Line) {
    if (!(Out << Line << '\n' << std::flush))
      throw EOutputFailed();
  });
  // --max-steps and --trace are observers of the run, the limit asked first.
  TStepLimitObserver Limit(Options.MaxSteps);
  TTracer Tracer(Err);
  TRunObserverChain Observers;
  if (Options.MaxSteps >= 0)
    Observers.Add(&Limit);
  if (Options.Trace)
    Observers.Add(&Tracer);
  const TRunOutcome Outcome =
      DriveMachine(Machine, Alg, -1, Observers.IsEmpty() ? nullptr : &Observers);

  int Status = RunDone;
  if (Outcome.End == TRunEnd::Failed) {
    Out << std::flush;
    if (!Outcome.FailedBlock.empty())
      Err << "Ошибка в блоке \"" << VisibleText(Outcome.FailedBlock) << "\":\n";
    Err << VisibleLines(Outcome.Error) << '\n';
    // A Russian letter that looks Latin in a name: the message alone does
    // not show it, so the hint follows, as the window gives it.
    const std::string Hint = ExplainError(Outcome.Error, Machine.GetStorage()).Cyrillic;
    if (!Hint.empty())
      Err << VisibleText(Hint) << '\n';
    Status = RunFailed;
  } else if (Outcome.End == TRunEnd::StepLimit) {
    Err << Format("Выполнение остановлено после %lld шагов (предел --max-steps).",
                  static_cast<long long>(Outcome.Steps))
        << '\n';
    Status = RunStepLimit;
  }
  if (Options.Vars)
    PrintVars(Machine.GetStorage(), Out);
  Out << std::flush;
  // The picture as far as the run got, also after an error or the limit.
  if (!Options.CanvasFileName.empty()) {
    try {
      SaveBitmapToPng(Machine.GetCanvas().GetPicture(), Options.CanvasFileName);
    } catch (const Exception& E) {
      Err << ErrorLines(E.Message()) << '\n';
      if (Status == RunDone)
        Status = RunFailed;
    }
  }
  return Status;
}

} // namespace Deskbay::Algtool
