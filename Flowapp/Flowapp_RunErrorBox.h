#pragma once

// The text of the box a run's error is shown in: the machine's message as
// the status line gives it, and under it what the debugger's panel
// explains — the look-alike letter's hint first, then the values the line
// read and the reason the message leaves out.

#include "FlowappExport.h"

#include "Flowrun/Flowrun_Explain.h"

#include <string>

namespace Deskbay {

// Message is the machine's text as raised (CR LF or plain line breaks; a
// math error's empty second line is dropped). Explanation may be empty.
FLOWAPP_API std::string RunErrorBoxText(const std::string& Message,
                                        const TErrorExplanation& Explanation);

} // namespace Deskbay
