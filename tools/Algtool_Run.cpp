#include "Algtool_Run.h"

#include "Algtool_Files.h"
#include "PngExport.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/SysUtils.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Main.h"
#include "Flowrun/Flowrun_Values.h"

#include <csignal>
#include <istream>
#include <ostream>
#include <utility>
#include <vector>

namespace Deskbay::Algtool {

namespace {

// Answers the machine's questions from a stream, as the input dialog would
// take what was typed: trimmed, and an empty line is no answer. The end of
// the stream is the dialog's Cancel.
class TStreamInput : public IInputProvider {
public:
  TStreamInput(std::istream& In, std::ostream* Prompts) : FIn(In), FPrompts(Prompts) {
    FPrevious = SetInputProvider(this);
  }
  ~TStreamInput() override { SetInputProvider(FPrevious); }

  bool InputString(const std::string&, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override {
    for (;;) {
      if (FPrompts)
        *FPrompts << Prompt << ' ' << std::flush;
      std::string Line;
      if (!std::getline(FIn, Line))
        return false;
      std::string Answer = ApplyInputStringOptions(Line, Options);
      if (Options.NotEmpty && Trim(Answer).empty())
        continue;
      Value = std::move(Answer);
      return true;
    }
  }

private:
  std::istream& FIn;
  std::ostream* FPrompts;
  IInputProvider* FPrevious = nullptr;
};

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

int RunAlgorithm(const TRunOptions& Options, std::istream& In, bool PromptInput, std::ostream& Out,
                 std::ostream& Err) {
  TAlgorithm Alg;
  try {
    LoadAlgorithmFile(Alg, Options.FileName);
  } catch (const Exception& E) {
    Err << MessageLines(E.Message()) << '\n';
    return RunFailed;
  }

  TStreamInput Input(In, PromptInput ? &Err : nullptr);
  TInterruptPoller Interrupts;
  TAlgMachine Machine;
  Machine.GetConsole().SetOnAddLine([&Out](const std::string& Line) {
    Out << Line << '\n' << std::flush;
  });

  int Status = RunDone;
  int64_t Steps = 0;
  TVarSnapshot Vars;
  try {
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
    // One component bracket around the whole run, as the machine's own Run
    // keeps it: nobody listens here, and per-step notices would only cost.
    TAlgComponentGuard Components(Machine);
    while (Machine.GetState() == amsReady) {
      if (Options.MaxSteps >= 0 && Steps >= Options.MaxSteps) {
        Status = RunStepLimit;
        break;
      }
      if (Options.Trace) {
        TAlgBlock* Next = Machine.GetCurrentBlock();
        Err << "[" << Steps + 1 << "] " << (Next ? DescribeBlock(Next) : "конец") << '\n';
        Vars = SnapshotVars(Machine.GetStorage());
      }
      Machine.Step();
      ++Steps;
      if (Options.Trace)
        PrintChangedVars(Vars, SnapshotVars(Machine.GetStorage()), Err);
    }
  } catch (const Exception& E) {
    if (Options.Trace)
      PrintChangedVars(Vars, SnapshotVars(Machine.GetStorage()), Err);
    Out << std::flush;
    if (TAlgBlock* Failed = Machine.GetCurrentBlock())
      Err << "Ошибка в блоке \"" << DescribeBlock(Failed) << "\":\n";
    Err << MessageLines(E.Message()) << '\n';
    Status = RunFailed;
  }

  if (Status == RunStepLimit)
    Err << Format("Выполнение остановлено после %lld шагов (предел --max-steps).",
                  static_cast<long long>(Steps))
        << '\n';
  if (Options.Vars)
    PrintVars(Machine.GetStorage(), Out);
  Out << std::flush;
  // The picture as far as the run got, also after an error or the limit.
  if (!Options.CanvasFileName.empty()) {
    try {
      SaveBitmapToPng(Machine.GetCanvas().GetPicture(), Options.CanvasFileName);
    } catch (const Exception& E) {
      Err << MessageLines(E.Message()) << '\n';
      if (Status == RunDone)
        Status = RunFailed;
    }
  }
  return Status;
}

} // namespace Deskbay::Algtool
