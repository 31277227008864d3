#include "Flowcheck_Text.h"

#include "Corekit/SysUtils.h"

namespace Deskbay {

std::string CheckExcerpt(std::string_view Text, size_t MaxChars) {
  size_t At = 0;
  for (size_t Chars = 0; At < Text.size(); ++Chars) {
    if (Chars == MaxChars)
      return std::string(Text.substr(0, At)) + "…";
    char32_t C;
    const size_t Length = DecodeUtf8(Text, At, C);
    At += Length ? Length : 1;
  }
  return std::string(Text);
}

std::string CheckQuoted(std::string_view Text) {
  return '"' + CheckExcerpt(Text) + '"';
}

} // namespace Deskbay
