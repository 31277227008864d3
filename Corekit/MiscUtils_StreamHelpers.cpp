#include "MiscUtils_StreamHelpers.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace Deskbay {

namespace {

template <class T> void WriteLE(TStream* Stream, T Value) {
  static_assert(std::is_unsigned_v<T>);
  uint8_t Bytes[sizeof(T)];
  for (size_t I = 0; I < sizeof(T); ++I)
    Bytes[I] = static_cast<uint8_t>(Value >> (8 * I));
  Stream->WriteBuffer(Bytes, sizeof(T));
}

template <class T> T ReadLE(TStream* Stream) {
  static_assert(std::is_unsigned_v<T>);
  uint8_t Bytes[sizeof(T)];
  Stream->ReadBuffer(Bytes, sizeof(T));
  T Value = 0;
  for (size_t I = 0; I < sizeof(T); ++I)
    Value |= static_cast<T>(static_cast<T>(Bytes[I]) << (8 * I));
  return Value;
}

// Reads Count bytes. A length taken from a file may be damaged, so the
// string grows with the bytes that really arrive rather than by the count.
std::string ReadBytes(TStream* Stream, int64_t Count) {
  constexpr int64_t Chunk = 64 * 1024;
  if (Count < 0)
    throw EReadError();
  std::string Result;
  if (Count <= Chunk) {
    Result.resize(static_cast<size_t>(Count));
    Stream->ReadBuffer(Result.data(), Count);
    return Result;
  }
  while (static_cast<int64_t>(Result.size()) < Count) {
    const int64_t N = std::min(Chunk, Count - static_cast<int64_t>(Result.size()));
    const size_t Old = Result.size();
    Result.resize(Old + static_cast<size_t>(N));
    Stream->ReadBuffer(Result.data() + Old, N);
  }
  return Result;
}

int32_t CheckedLength(size_t Size) {
  if (Size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw Exception("String is too long.");
  return static_cast<int32_t>(Size);
}

} // namespace

void WriteStreamInteger(TStream* Stream, int32_t Value) {
  WriteLE(Stream, static_cast<uint32_t>(Value));
}

int32_t ReadStreamInteger(TStream* Stream) {
  return static_cast<int32_t>(ReadLE<uint32_t>(Stream));
}

void WriteStreamCardinal(TStream* Stream, uint32_t Value) {
  WriteLE(Stream, Value);
}

uint32_t ReadStreamCardinal(TStream* Stream) {
  return ReadLE<uint32_t>(Stream);
}

void WriteStreamFormat(TStream* Stream, uint32_t Value) {
  WriteLE(Stream, Value);
}

int32_t ReadStreamFormat(TStream* Stream) {
  return ReadStreamInteger(Stream);
}

void WriteStreamInt64(TStream* Stream, int64_t Value) {
  WriteLE(Stream, static_cast<uint64_t>(Value));
}

int64_t ReadStreamInt64(TStream* Stream) {
  return static_cast<int64_t>(ReadLE<uint64_t>(Stream));
}

void WriteStreamByte(TStream* Stream, uint8_t Value) {
  WriteLE(Stream, Value);
}

uint8_t ReadStreamByte(TStream* Stream) {
  return ReadLE<uint8_t>(Stream);
}

void WriteStreamWord(TStream* Stream, uint16_t Value) {
  WriteLE(Stream, Value);
}

uint16_t ReadStreamWord(TStream* Stream) {
  return ReadLE<uint16_t>(Stream);
}

void WriteStreamSmallInt(TStream* Stream, int16_t Value) {
  WriteLE(Stream, static_cast<uint16_t>(Value));
}

int16_t ReadStreamSmallInt(TStream* Stream) {
  return static_cast<int16_t>(ReadLE<uint16_t>(Stream));
}

void WriteStreamBoolean(TStream* Stream, bool Value) {
  WriteLE(Stream, static_cast<uint8_t>(Value ? 1 : 0));
}

bool ReadStreamBoolean(TStream* Stream) {
  return ReadLE<uint8_t>(Stream) != 0;
}

void WriteStreamSingle(TStream* Stream, float Value) {
  WriteLE(Stream, std::bit_cast<uint32_t>(Value));
}

float ReadStreamSingle(TStream* Stream) {
  return std::bit_cast<float>(ReadLE<uint32_t>(Stream));
}

void WriteStreamDouble(TStream* Stream, double Value) {
  WriteLE(Stream, std::bit_cast<uint64_t>(Value));
}

double ReadStreamDouble(TStream* Stream) {
  return std::bit_cast<double>(ReadLE<uint64_t>(Stream));
}

void WriteStreamDateTime(TStream* Stream, double Value) {
  WriteStreamDouble(Stream, Value);
}

double ReadStreamDateTime(TStream* Stream) {
  return ReadStreamDouble(Stream);
}

void WriteStreamRect(TStream* Stream, const TRect& Value) {
  WriteStreamInteger(Stream, Value.Left);
  WriteStreamInteger(Stream, Value.Top);
  WriteStreamInteger(Stream, Value.Right);
  WriteStreamInteger(Stream, Value.Bottom);
}

TRect ReadStreamRect(TStream* Stream) {
  TRect R;
  R.Left = ReadStreamInteger(Stream);
  R.Top = ReadStreamInteger(Stream);
  R.Right = ReadStreamInteger(Stream);
  R.Bottom = ReadStreamInteger(Stream);
  return R;
}

void WriteStreamGUID(TStream* Stream, const TGUID& Value) {
  WriteLE(Stream, Value.D1);
  WriteLE(Stream, Value.D2);
  WriteLE(Stream, Value.D3);
  Stream->WriteBuffer(Value.D4, sizeof(Value.D4));
}

TGUID ReadStreamGUID(TStream* Stream) {
  TGUID G;
  G.D1 = ReadLE<uint32_t>(Stream);
  G.D2 = ReadLE<uint16_t>(Stream);
  G.D3 = ReadLE<uint16_t>(Stream);
  Stream->ReadBuffer(G.D4, sizeof(G.D4));
  return G;
}

void WriteStreamSizedString(TStream* Stream, const std::string& Value) {
  WriteStreamInteger(Stream, CheckedLength(Value.size()));
  Stream->WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
}

std::string ReadStreamSizedString(TStream* Stream) {
  return ReadBytes(Stream, ReadStreamInteger(Stream));
}

void WriteStreamSizedStrings(TStream* Stream, const TStringList* Lines) {
  if (!Lines) {
    WriteStreamInteger(Stream, 0);
    return;
  }
  WriteStreamSizedStrings(Stream, Lines->Lines());
}

void WriteStreamSizedStrings(TStream* Stream, const std::vector<std::string>& Lines) {
  WriteStreamInteger(Stream, CheckedLength(Lines.size()));
  for (const std::string& S : Lines)
    WriteStreamSizedString(Stream, S);
}

void ReadStreamSizedStrings(TStream* Stream, TStringList* Lines) {
  const int32_t Count = ReadStreamInteger(Stream);
  if (Lines)
    Lines->Clear();
  // Lines are appended as they arrive: a damaged count ends in the read
  // error once the stream runs dry, never in a reservation by the count.
  for (int32_t I = 0; I < Count; ++I) {
    std::string S = ReadStreamSizedString(Stream);
    if (Lines)
      Lines->Add(S);
  }
}

void ReadStreamSizedStrings(TStream* Stream, std::vector<std::string>& Lines) {
  const int32_t Count = ReadStreamInteger(Stream);
  Lines.clear();
  for (int32_t I = 0; I < Count; ++I)
    Lines.push_back(ReadStreamSizedString(Stream));
}

void WriteStreamTildeString(TStream* Stream, const std::string& Value) {
  bool Raw;
  WriteStreamTildeString(Stream, Value, Raw);
}

void WriteStreamTildeString(TStream* Stream, const std::string& Value, bool& Raw) {
  Raw = Value.size() == 4 && (Value[3] == '\x7E' || Value[3] == '\x7F');
  if (Raw) {
    Stream->WriteBuffer(Value.data(), 4);
    return;
  }
  if (Value.size() >= static_cast<size_t>(TildeRawLimit))
    throw Exception("String is too long.");
  WriteStreamSizedString(Stream, Value);
}

std::string ReadStreamTildeString(TStream* Stream) {
  bool Raw;
  return ReadStreamTildeString(Stream, Raw);
}

std::string ReadStreamTildeString(TStream* Stream, bool& Raw) {
  const int32_t First = ReadStreamInteger(Stream);
  Raw = First >= TildeRawLimit;
  if (!Raw)
    return ReadBytes(Stream, First);
  const auto U = static_cast<uint32_t>(First);
  std::string S(4, '\0');
  for (size_t I = 0; I < 4; ++I)
    S[I] = static_cast<char>(static_cast<uint8_t>(U >> (8 * I)));
  return S;
}

void WriteStreamString(TStream* Stream, const std::string& Value) {
  Stream->WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
}

std::string ReadStreamString(TStream* Stream) {
  std::string Result;
  char Buffer[64 * 1024];
  for (;;) {
    const int64_t N = Stream->Read(Buffer, sizeof(Buffer));
    if (N <= 0)
      break;
    Result.append(Buffer, static_cast<size_t>(N));
  }
  return Result;
}

void WriteStreamStream(TStream* Stream, TStream* Source) {
  const int64_t Pos = Source->GetPosition();
  const int64_t Size = Source->GetSize();
  if (Size > std::numeric_limits<int32_t>::max())
    throw Exception("Stream is too large.");
  WriteStreamInteger(Stream, static_cast<int32_t>(Size));
  Source->SetPosition(0);
  if (Size > 0)
    Stream->CopyFrom(Source, Size);
  Source->SetPosition(Pos);
}

void ReadStreamStream(TStream* Stream, TStream* Target) {
  const int32_t Count = ReadStreamInteger(Stream);
  Target->SetSize(0);
  Target->SetPosition(0);
  if (Count >= 1)
    Target->CopyFrom(Stream, Count);
  Target->SetPosition(0);
}

} // namespace Deskbay
