#pragma once

// Typed values on byte streams, always little-endian whatever the host: the
// encodings inside persistence records. Strings are bytes, written as they
// are; reading past the end raises the stream read error.

#include "Canvas.h"
#include "Streams.h"
#include "StringList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};
  friend bool operator==(const TGUID&, const TGUID&) = default;
};

// The first 32-bit value of a tilde string at or above which it is not a
// length but the string's own four bytes.
constexpr int32_t TildeRawLimit = 0x7E000000;

COREKIT_API void WriteStreamInteger(TStream* Stream, int32_t Value);
COREKIT_API int32_t ReadStreamInteger(TStream* Stream);
COREKIT_API void WriteStreamCardinal(TStream* Stream, uint32_t Value);
COREKIT_API uint32_t ReadStreamCardinal(TStream* Stream);
// A format number goes out unsigned and comes back signed.
COREKIT_API void WriteStreamFormat(TStream* Stream, uint32_t Value);
COREKIT_API int32_t ReadStreamFormat(TStream* Stream);
COREKIT_API void WriteStreamInt64(TStream* Stream, int64_t Value);
COREKIT_API int64_t ReadStreamInt64(TStream* Stream);
COREKIT_API void WriteStreamByte(TStream* Stream, uint8_t Value);
COREKIT_API uint8_t ReadStreamByte(TStream* Stream);
COREKIT_API void WriteStreamWord(TStream* Stream, uint16_t Value);
COREKIT_API uint16_t ReadStreamWord(TStream* Stream);
COREKIT_API void WriteStreamSmallInt(TStream* Stream, int16_t Value);
COREKIT_API int16_t ReadStreamSmallInt(TStream* Stream);
COREKIT_API void WriteStreamBoolean(TStream* Stream, bool Value);
COREKIT_API bool ReadStreamBoolean(TStream* Stream);
COREKIT_API void WriteStreamSingle(TStream* Stream, float Value);
COREKIT_API float ReadStreamSingle(TStream* Stream);
COREKIT_API void WriteStreamDouble(TStream* Stream, double Value);
COREKIT_API double ReadStreamDouble(TStream* Stream);
// A point in time as days since 1899-12-30, the fraction being the time of day.
COREKIT_API void WriteStreamDateTime(TStream* Stream, double Value);
COREKIT_API double ReadStreamDateTime(TStream* Stream);
COREKIT_API void WriteStreamRect(TStream* Stream, const TRect& Value);
COREKIT_API TRect ReadStreamRect(TStream* Stream);
COREKIT_API void WriteStreamGUID(TStream* Stream, const TGUID& Value);
COREKIT_API TGUID ReadStreamGUID(TStream* Stream);

// A 32-bit length, then the bytes. A negative length or one beyond the
// stream's end is the read error; nothing is allocated beyond what arrives.
COREKIT_API void WriteStreamSizedString(TStream* Stream, const std::string& Value);
COREKIT_API std::string ReadStreamSizedString(TStream* Stream);

// A 32-bit count, then each line as a sized string. A missing list is count
// 0; reading clears the list (when given) and appends each line read.
COREKIT_API void WriteStreamSizedStrings(TStream* Stream, const TStringList* Lines);
COREKIT_API void WriteStreamSizedStrings(TStream* Stream, const std::vector<std::string>& Lines);
COREKIT_API void ReadStreamSizedStrings(TStream* Stream, TStringList* Lines);
COREKIT_API void ReadStreamSizedStrings(TStream* Stream, std::vector<std::string>& Lines);

// Four bytes ending in "~" or $7F go out raw, anything else as a sized
// string shorter than $7E000000 ("String is too long." otherwise). Raw tells
// which form was used.
COREKIT_API void WriteStreamTildeString(TStream* Stream, const std::string& Value);
COREKIT_API void WriteStreamTildeString(TStream* Stream, const std::string& Value, bool& Raw);
COREKIT_API std::string ReadStreamTildeString(TStream* Stream);
COREKIT_API std::string ReadStreamTildeString(TStream* Stream, bool& Raw);

// The bytes alone / everything from the position to the end.
COREKIT_API void WriteStreamString(TStream* Stream, const std::string& Value);
COREKIT_API std::string ReadStreamString(TStream* Stream);

// A 32-bit count, then all of Source from its start (its position is kept).
COREKIT_API void WriteStreamStream(TStream* Stream, TStream* Source);
// Empties Target, fills it with the stored bytes and rewinds it.
COREKIT_API void ReadStreamStream(TStream* Stream, TStream* Target);

} // namespace Deskbay
