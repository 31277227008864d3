#include "Flowrun_Control.h"

#include "Flowrun_Main.h"

#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Describe.h"

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
  TStepLimitObserver Limit(MaxSteps);
  TRunObserverChain Chain;
  if (MaxSteps >= 0)
    Chain.Add(&Limit);
  Chain.Add(Observer);
  TRunObserver* const Watcher = Chain.IsEmpty() ? nullptr : &Chain;
  TRunOutcome Outcome;
  try {
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
    // Nobody listens to the components while the run goes on, and per-step
    // notices would only cost.
    TAlgComponentGuard Components(Machine);
    while (Machine.GetState() == amsReady) {
      if (Watcher) {
        TRunEnd End = TRunEnd::Stopped;
        if (Watcher->StopBefore(Machine, Outcome.Steps + 1, End)) {
          Outcome.End = End;
          break;
        }
        Watcher->BeforeStep(Machine, Outcome.Steps + 1);
        try {
          Machine.Step();
        } catch (...) {
          Watcher->AfterStep(Machine);
          throw;
        }
        Watcher->AfterStep(Machine);
      } else {
        Machine.Step();
      }
      ++Outcome.Steps;
    }
  } catch (const Exception& E) {
    Outcome.End = TRunEnd::Failed;
    Outcome.Error = MessageLines(E.Message());
    if (TAlgBlock* Failed = Machine.GetCurrentBlock())
      Outcome.FailedBlock = DescribeBlock(Failed);
  }
  return Outcome;
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
