#pragma once

// What a screen reader is told while a run is followed: each step, pause,
// end, stop and error as one text ("Шаг 5: Блок вычислений: S=S+I*I;
// S = 30"), the variables the step changed with their values, the lines it
// printed, and at the end of a run the status line. No Qt: the window only
// sends the text on.

#include "FlowrunExport.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Deskbay {

class TAlgDebugSession;
class TAlgMachine;

enum class TAnnouncedEvent {
  Step,     // a single step (F8, a slow run's tick); the run goes on
  StepBack, // a step back
  Pause,    // a run paused before a block (a breakpoint, F8 in a slow run)
  Finish,   // the run reached its end
  Stop,     // the user stopped the run
  Error,    // the run failed
};

struct TRunAnnouncement {
  // Lines of output read out at most; the first of more are counted only.
  static constexpr int MaxOutputLines = 5;

  TAnnouncedEvent Event = TAnnouncedEvent::Step;
  // The step just made (its number, from 1) and its block in words, as
  // `algtool show` names it; 0 and empty when no single step was made (the
  // end of a Run). At a pause, Block is the block the run stands before.
  int64_t Step = 0;
  std::string Block;
  // Variables the step gave a value, with the values as the watch list
  // shows them.
  std::vector<std::pair<std::string, std::string>> Changed;
  // The last of the lines printed (at most MaxOutputLines) and how many
  // were printed in all.
  std::vector<std::string> Output;
  int64_t OutputCount = 0;
  // The status line; read at every event but a plain step.
  std::string Status;
};

// The announcement's text, one line.
FLOWRUN_API std::string RunAnnouncementText(const TRunAnnouncement& A);

// Gathers an announcement from a session: Begin before a step or a run
// remembers the block about to run and the output so far; End after it
// fills in what happened. SingleStep: what ended was one step (F8, a slow
// run's tick), whose block and changed variables are told; after a Run only
// the output and the status are, since the session would have to replay
// the run to know the last step's changes.
class FLOWRUN_API TRunAnnouncer {
public:
  void Begin(const TAlgDebugSession& Session);
  TRunAnnouncement End(TAlgDebugSession& Session, TAnnouncedEvent Event, bool SingleStep,
                       const std::string& Status);

private:
  TAlgMachine* FMachine = nullptr;
  std::string FBlock;
  int64_t FSteps = 0;
  int64_t FLines = 0;
};

} // namespace Deskbay
