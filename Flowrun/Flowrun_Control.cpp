#include "Flowrun_Control.h"

#include "Flowrun_Main.h"

#include "Corekit/SysUtils.h"

#include "Flowmodel/Flowmodel_Describe.h"
#include <algorithm>

namespace Deskbay {

bool TRunObserverChain::StopBefore(TAlgMachine& Machine, int64_t Step, TRunEnd& End) {
  for (TRunObserver* O : FObservers)
    if (O->StopBefore(Machine, Step, End))
      return true;
  return false;
}

void TRunObserverChain::BeforeStep(TAlgMachine& Machine, int64_t Step) {
  for (TRunObserver* O : FObservers)
    O->BeforeStep(Machine, Step);
}

void TRunObserverChain::AfterStep(TAlgMachine& Machine) {
  for (TRunObserver* O : FObservers)
    O->AfterStep(Machine);
}

TRunOutcome DriveMachine(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                         TRunObserver* Observer) {
  TMachineDriver Driver(Machine, Alg, MaxSteps, Observer);
  Driver.Run(INT64_MAX);
  return Driver.GetOutcome();
}

TMachineDriver::TMachineDriver(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                               TRunObserver* Observer)
    : FMachine(Machine), FAlg(Alg), FLimit(MaxSteps), FMaxSteps(MaxSteps) {
  if (MaxSteps >= 0)
    FChain.Add(&FLimit);
  FChain.Add(Observer);
  FWatcher = Observer ? &FChain : nullptr;
}

bool TMachineDriver::Run(int64_t Steps) {
  if (FEnded)
    return true;
  TAlgMachine& Machine = FMachine;
  TRunObserver* const Watcher = FWatcher;
  try {
    if (!FStarted) {
      FStarted = true;
      Machine.InitComplete();
      Machine.SetCurrentBlock(FAlg.GetRoot());
    }
    // Nobody listens to the components while the run goes on, and per-step
    // notices would only cost.
    TAlgComponentGuard Components(Machine);
    for (int64_t N = 0; N < Steps && Machine.GetState() == amsReady;) {
      if (Watcher) {
        TRunEnd End = TRunEnd::Stopped;
        if (Watcher->StopBefore(Machine, FOutcome.Steps + 1, End)) {
          FOutcome.End = End;
          FEnded = true;
          break;
        }
        Watcher->BeforeStep(Machine, FOutcome.Steps + 1);
        try {
          Machine.Step();
        } catch (...) {
          Watcher->AfterStep(Machine);
          throw;
        }
        Watcher->AfterStep(Machine);
      } else {
        // Only the step limit watches: the steps up to it in one go.
        if (FMaxSteps >= 0 && FOutcome.Steps >= FMaxSteps) {
          FOutcome.End = TRunEnd::StepLimit;
          FEnded = true;
          break;
        }
        int64_t Budget = Steps - N;
        if (FMaxSteps >= 0)
          Budget = std::min(Budget, FMaxSteps - FOutcome.Steps);
        int64_t Done = 0;
        try {
          Machine.StepMany(Budget, Done);
        } catch (...) {
          FOutcome.Steps += Done;
          throw;
        }
        FOutcome.Steps += Done;
        N += Done;
        continue;
      }
      ++FOutcome.Steps;
      ++N;
    }
    if (Machine.GetState() != amsReady)
      FEnded = true;
  } catch (const Exception& E) {
    FOutcome.End = TRunEnd::Failed;
    FOutcome.Error = MessageLines(E.Message());
    if (TAlgBlock* Failed = Machine.GetCurrentBlock())
      FOutcome.FailedBlock = DescribeBlock(Failed);
    FEnded = true;
  }
  return FEnded;
}

std::string MessageLines(const std::string& Message) {
  std::string S;
  for (size_t I = 0; I < Message.size(); ++I) {
    if (Message[I] == '\r') {
      S += '\n';
      if (I + 1 < Message.size() && Message[I + 1] == '\n')
        ++I;
    } else {
      S += Message[I];
    }
  }
  return S;
}

} // namespace Deskbay
