#pragma once

// How a Run shares the window's thread with the event loop: the machine
// steps in slices of a few milliseconds and the loop handles input and
// repaints between them, so Stop, close requests and signals are ordinary
// events. The views are brought up to date a few times a second rather than
// after every slice, so that following the run costs little of its speed.

#include "FlowappExport.h"

#include <cstdint>
#include <functional>

namespace Deskbay {

class TAlgMachine;

class FLOWAPP_API TAlgRunPacer {
public:
  // Microseconds of a steady clock.
  using TClock = std::function<std::int64_t()>;
  // Stepping time of one slice: short enough for input to feel immediate.
  static constexpr std::int64_t SliceMicroseconds = 20000;
  // Time between two updates of the views: ten a second.
  static constexpr std::int64_t ViewMicroseconds = 100000;
  // The clock costs as much as a few quick steps, so it is read every so
  // many steps: more when the reads come less than MinReadMicroseconds
  // apart (up to MaxStepsPerRead), fewer when they come more than
  // MaxReadMicroseconds apart (down to every step). A slice therefore
  // overshoots its time by at most about MaxReadMicroseconds.
  static constexpr unsigned FirstStepsPerRead = 16;
  static constexpr unsigned MaxStepsPerRead = 1024;
  static constexpr std::int64_t MinReadMicroseconds = 200;
  static constexpr std::int64_t MaxReadMicroseconds = 2000;

  explicit TAlgRunPacer(TClock Clock = SteadyMicroseconds);
  static std::int64_t SteadyMicroseconds();
  void SetClock(TClock Clock) { FClock = std::move(Clock); }

  // Steps Machine while it is ready, until the slice's time is used up or
  // Stop (asked whenever the clock is read) answers true. Each completed
  // step counts in Steps; an error of the machine passes on.
  // How many steps go between two reads is kept from slice to slice.
  // Pause, when given, is asked before every step: true ends the slice
  // before that step (a breakpoint).
  void RunSlice(TAlgMachine& Machine, std::int64_t& Steps, const std::function<bool()>& Stop,
                const std::function<bool()>& Pause = {});
  // The same for a host that steps by itself: Step makes one step and
  // answers whether the run goes on (false: it ended, failed or paused).
  void RunSlice(const std::function<bool()>& Step, const std::function<bool()>& Stop);
  // A run begins: the views are due after its first slice, so the block it
  // stands on shows at once.
  void BeginRun();
  // The views are due: ViewMicroseconds have passed since ViewsShown.
  bool ViewsDue() const;
  void ViewsShown();
  unsigned GetStepsPerRead() const { return FStepsPerRead; }

private:
  TClock FClock;
  std::int64_t FViewsShownAt;
  unsigned FStepsPerRead = FirstStepsPerRead;
};

} // namespace Deskbay
