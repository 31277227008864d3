#pragma once

// What a pupil needs beside the interpreter's message when a run stops on an
// error: the values the failing line reads, the reason the message leaves
// out (division by zero, a root or logarithm of a negative number, a power
// of a base that is not positive) and the Cyrillic letter that looks Latin.

#include "FlowrunExport.h"

#include <string>

namespace Deskbay {

class TVarStorage;

struct TErrorExplanation {
  std::string Values;   // "A = 5, B = 0"; empty when the line reads none that exist
  std::string Reason;   // empty when the message says it already, or none was found
  std::string Cyrillic; // the look-alike letters, empty when none
  // The three as lines, those that are empty left out.
  FLOWRUN_API std::string Text() const;
};

// Message is the machine's error text as raised (CR LF breaks or plain ones);
// Storage holds the variables at the moment of the error.
FLOWRUN_API TErrorExplanation ExplainError(const std::string& Message, TVarStorage& Storage);

// The Cyrillic letters of Name that look like Latin ones, as the hint says
// them; empty when there are none, or when Name has other Russian letters
// too (a Russian word is meant as written).
FLOWRUN_API std::string CyrillicLookalikeHint(const std::string& Name);

} // namespace Deskbay
