#include "Flowapp_RunPacer.h"

#include "Flowrun/Flowrun_Main.h"

#include <chrono>

namespace Deskbay {

TAlgRunPacer::TAlgRunPacer(TClock Clock) : FClock(std::move(Clock)), FViewsShownAt(FClock()) {}

std::int64_t TAlgRunPacer::SteadyMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TAlgRunPacer::RunSlice(TAlgMachine& Machine, std::int64_t& Steps,
                            const std::function<bool()>& Stop, const std::function<bool()>& Pause) {
  RunSlice(
      [&] {
        if (Machine.GetState() != amsReady || (Pause && Pause()))
          return false;
        Machine.Step();
        ++Steps;
        return true;
      },
      Stop);
}

void TAlgRunPacer::RunSlice(const std::function<bool()>& Step, const std::function<bool()>& Stop) {
  std::int64_t LastRead = FClock();
  const std::int64_t End = LastRead + SliceMicroseconds;
  unsigned UntilRead = FStepsPerRead;
  while (Step()) {
    if (--UntilRead == 0) {
      const std::int64_t Now = FClock();
      const std::int64_t Apart = Now - LastRead;
      LastRead = Now;
      if (Apart < MinReadMicroseconds && FStepsPerRead < MaxStepsPerRead)
        FStepsPerRead *= 2;
      else if (Apart > MaxReadMicroseconds && FStepsPerRead > 1)
        FStepsPerRead /= 2;
      UntilRead = FStepsPerRead;
      if (Now >= End || (Stop && Stop()))
        break;
    }
  }
}

void TAlgRunPacer::BeginRun() {
  FViewsShownAt = FClock() - ViewMicroseconds;
}

bool TAlgRunPacer::ViewsDue() const {
  return FClock() - FViewsShownAt >= ViewMicroseconds;
}

void TAlgRunPacer::ViewsShown() {
  FViewsShownAt = FClock();
}

} // namespace Deskbay
