#pragma once

// Text inside the program is UTF-8; algorithm files hold Windows-1251 bytes.
// The table is our own, so conversions do not depend on the host's locales.

#include "CorekitExport.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace Deskbay {

// Every byte has a character, so decoding never fails and never loses a
// byte: the one byte Windows-1251 leaves unassigned, $98, becomes U+0098.
COREKIT_API std::string Cp1251ToUtf8(std::string_view S);

// The character at BadOffset of the UTF-8 text (BadLength bytes; 1 for a
// byte that starts no valid sequence) has no Windows-1251 byte.
struct TCp1251Failure {
  size_t BadOffset = 0;
  size_t BadLength = 0;
  char32_t CodePoint = 0; // 0 when the bytes are not valid UTF-8
};

// False, with the first failure described, when S holds a character that
// Windows-1251 cannot hold or is not valid UTF-8.
COREKIT_API bool TryUtf8ToCp1251(std::string_view S, std::string& Result,
                                 TCp1251Failure* Failure = nullptr);

} // namespace Deskbay
