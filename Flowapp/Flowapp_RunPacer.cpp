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
                            const std::function<bool()>& Stop) {
  const std::int64_t End = FClock() + SliceMicroseconds;
  unsigned UntilClock = StepsPerClockRead;
  while (Machine.GetState() == amsReady) {
    Machine.Step();
    ++Steps;
    if (--UntilClock == 0) {
      UntilClock = StepsPerClockRead;
      if (FClock() >= End || (Stop && Stop()))
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
