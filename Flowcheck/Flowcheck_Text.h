#pragma once

// How the checker quotes texts of a file in its reasons.

#include "FlowcheckExport.h"

#include <string>
#include <string_view>

namespace Deskbay {

// How much of a text from a file a reason quotes, in characters.
constexpr size_t CheckQuotedChars = 60;

// Text cut after its first MaxChars characters (a byte that is not UTF-8
// counts as one) with "…" to show that more followed; shorter text as it is.
FLOWCHECK_API std::string CheckExcerpt(std::string_view Text, size_t MaxChars = CheckQuotedChars);
// The excerpt in double quotes, as reasons quote a text.
FLOWCHECK_API std::string CheckQuoted(std::string_view Text);

} // namespace Deskbay
