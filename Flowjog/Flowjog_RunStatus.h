#pragma once

// Where a run stands, as the debugger's status line tells it; no Qt, so the
// code that drives a run can keep it without the debugger's widgets.

#include "FlowjogExport.h"

#include <cstdint>
#include <string>

namespace Deskbay {

enum TAlgRunPhase { rpStepping, rpRunning, rpDone, rpError, rpStopped };

struct TAlgRunStatus {
  TAlgRunPhase Phase = rpStepping;
  std::int64_t Steps = 0; // completed steps
  std::string Error;      // the error's text, rpError only
};

// "Выполнение завершено. Шагов: 12"; after an error, the error's text on a
// line of its own.
FLOWJOG_API std::string AlgRunStatusText(const TAlgRunStatus& Status);

} // namespace Deskbay
