#pragma once

// The options that answer and end before any window is made: --version and
// --help (or -h).

#include <iosfwd>
#include <optional>

namespace Deskbay {

// The exit status when the command line asks for the version or the usage,
// after printing it to Out; nothing when the program is to start.
std::optional<int> AnswerInfoOption(int argc, char** argv, std::ostream& Out);

} // namespace Deskbay
