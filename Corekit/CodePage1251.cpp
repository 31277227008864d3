#include "CodePage1251.h"

#include "SysUtils.h"

#include <cstdint>

namespace Deskbay {

namespace {

// Bytes $80..$BF; $C0..$FF are U+0410..U+044F in order.
constexpr char16_t HighTable[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // $80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // $88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // $90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // $98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // $A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // $A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // $B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // $B8
};

char32_t ByteToCodePoint(uint8_t B) {
  if (B < 0x80)
    return B;
  if (B >= 0xC0)
    return 0x0410 + (B - 0xC0);
  return HighTable[B - 0x80];
}

// -1 when Windows-1251 has no byte for the character.
int CodePointToByte(char32_t C) {
  if (C < 0x80)
    return static_cast<int>(C);
  if (C >= 0x0410 && C <= 0x044F)
    return static_cast<int>(0xC0 + (C - 0x0410));
  for (int I = 0; I < 64; ++I)
    if (HighTable[I] == C)
      return 0x80 + I;
  return -1;
}

void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

} // namespace

std::string Cp1251ToUtf8(std::string_view S) {
  std::string Out;
  Out.reserve(S.size() * 2);
  for (char Ch : S)
    AppendUtf8(Out, ByteToCodePoint(static_cast<uint8_t>(Ch)));
  return Out;
}

bool TryUtf8ToCp1251(std::string_view S, std::string& Result, TCp1251Failure* Failure) {
  Result.clear();
  Result.reserve(S.size());
  for (size_t I = 0; I < S.size();) {
    char32_t C = 0;
    const size_t Len = DecodeUtf8(S, I, C);
    const int Byte = Len ? CodePointToByte(C) : -1;
    if (Byte < 0) {
      if (Failure)
        *Failure = {I, Len ? Len : 1, Len ? C : 0};
      return false;
    }
    Result += static_cast<char>(Byte);
    I += Len;
  }
  return true;
}

} // namespace Deskbay
