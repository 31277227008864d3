#include "Flowrun_Control.h"

#include "Flowrun_Main.h"

#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Describe.h"

namespace Deskbay {

TRunOutcome DriveMachine(TAlgMachine& Machine, TAlgorithm& Alg, int64_t MaxSteps,
                         TRunObserver* Observer) {
  TRunOutcome Outcome;
  try {
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
    // Nobody listens to the components while the run goes on, and per-step
    // notices would only cost.
    TAlgComponentGuard Components(Machine);
    while (Machine.GetState() == amsReady) {
      if (MaxSteps >= 0 && Outcome.Steps >= MaxSteps) {
        Outcome.End = TRunEnd::StepLimit;
        break;
      }
      if (Observer) {
        if (Observer->StopRequested()) {
          Outcome.End = TRunEnd::Stopped;
          break;
        }
        Observer->BeforeStep(Machine, Outcome.Steps + 1);
        try {
          Machine.Step();
        } catch (...) {
          Observer->AfterStep(Machine);
          throw;
        }
        Observer->AfterStep(Machine);
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
