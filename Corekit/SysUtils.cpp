#include "SysUtils.h"

#include <cmath>
#include <cstdint>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <system_error>
#include <vector>

namespace Deskbay {

TObject::~TObject() = default;

const char* TObject::ClassName() const {
  return "TObject";
}

Exception::Exception(std::string Message) : FMessage(std::move(Message)) {}

EInvalidCast::EInvalidCast() : Exception("Invalid class typecast") {}

std::string Format(const char* Fmt, ...) {
  va_list Args;
  va_start(Args, Fmt);
  va_list Copy;
  va_copy(Copy, Args);
  const int Len = std::vsnprintf(nullptr, 0, Fmt, Copy);
  va_end(Copy);
  std::string Result;
  if (Len > 0) {
    std::vector<char> Buf(static_cast<size_t>(Len) + 1);
    std::vsnprintf(Buf.data(), Buf.size(), Fmt, Args);
    Result.assign(Buf.data(), static_cast<size_t>(Len));
  }
  va_end(Args);
  return Result;
}

void Assert(bool Condition, const char* Message) {
  if (!Condition)
    throw EAssertionFailed(Message);
}

static char AsciiUpper(char C) {
  return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C;
}

long double RoundHalfEven(long double X) {
  // Rounding to the nearest, halves to even, is the processor's own
  // rounding mode, which nothing in the program changes; rint keeps signed
  // zeros as the library's round does, and compiles to one instruction.
  return std::rint(X);
}

size_t DecodeUtf8(std::string_view S, size_t I, char32_t& C) {
  const auto B0 = static_cast<uint8_t>(S[I]);
  size_t Len;
  char32_t Min;
  if (B0 < 0x80) {
    C = B0;
    return 1;
  } else if ((B0 & 0xE0) == 0xC0) {
    Len = 2, Min = 0x80, C = B0 & 0x1F;
  } else if ((B0 & 0xF0) == 0xE0) {
    Len = 3, Min = 0x800, C = B0 & 0x0F;
  } else if ((B0 & 0xF8) == 0xF0) {
    Len = 4, Min = 0x10000, C = B0 & 0x07;
  } else {
    return 0;
  }
  if (I + Len > S.size())
    return 0;
  for (size_t K = 1; K < Len; ++K) {
    const auto B = static_cast<uint8_t>(S[I + K]);
    if ((B & 0xC0) != 0x80)
      return 0;
    C = (C << 6) | (B & 0x3F);
  }
  if (C < Min || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF))
    return 0;
  return Len;
}

namespace {

void AppendHex(std::string& S, const char* Prefix, unsigned Value, int Digits) {
  static const char Hex[] = "0123456789ABCDEF";
  S += Prefix;
  for (int Shift = 4 * (Digits - 1); Shift >= 0; Shift -= 4)
    S += Hex[(Value >> Shift) & 0xF];
}

} // namespace

std::string VisibleText(std::string_view Text) {
  std::string S;
  S.reserve(Text.size());
  for (size_t I = 0; I < Text.size();) {
    const auto Byte = static_cast<unsigned char>(Text[I]);
    if (Byte < 0x20 || Byte == 0x7F) {
      AppendHex(S, "\\x", Byte, 2);
      ++I;
      continue;
    }
    if (Byte < 0x80) {
      S += Text[I++];
      continue;
    }
    char32_t C;
    const size_t Len = DecodeUtf8(Text, I, C);
    if (Len == 0) {
      AppendHex(S, "\\x", Byte, 2);
      ++I;
    } else if (C >= 0x80 && C <= 0x9F) {
      AppendHex(S, "\\u", static_cast<unsigned>(C), 4);
      I += Len;
    } else {
      S.append(Text.substr(I, Len));
      I += Len;
    }
  }
  return S;
}

std::string LowerCaseRu(std::string_view S) {
  std::string R(S);
  for (size_t I = 0; I < R.size(); ++I) {
    auto& C = reinterpret_cast<unsigned char&>(R[I]);
    if (C >= 'A' && C <= 'Z') {
      C = static_cast<unsigned char>(C + 0x20);
    } else if (C == 0xD0 && I + 1 < R.size()) {
      // U+0400..U+042F are D0 80..D0 AF; their small forms U+0430..U+045F
      // are D0 B0..D0 BF and D1 80..D1 9F.
      auto& Next = reinterpret_cast<unsigned char&>(R[I + 1]);
      if (Next >= 0x80 && Next <= 0x8F) {
        C = 0xD1;
        Next = static_cast<unsigned char>(Next + 0x10);
      } else if (Next >= 0x90 && Next <= 0x9F) {
        Next = static_cast<unsigned char>(Next + 0x20);
      } else if (Next >= 0xA0 && Next <= 0xAF) {
        C = 0xD1;
        Next = static_cast<unsigned char>(Next - 0x20);
      }
      ++I;
    }
  }
  return R;
}

std::string UpperCase(std::string_view S) {
  std::string Result(S);
  for (char& C : Result)
    C = AsciiUpper(C);
  return Result;
}

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size())
    return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (AsciiUpper(A[I]) != AsciiUpper(B[I]))
      return false;
  return true;
}

std::string SysErrorMessage(int Error) {
  switch (Error) {
  case EACCES:
    return "нет прав доступа";
  case ENOENT:
    return "нет такого файла или папки";
  case ENOSPC:
    return "на диске не осталось места";
  case EISDIR:
    return "это папка, а не файл";
  case EROFS:
    return "файловая система доступна только для чтения";
  case EEXIST:
    return "файл уже существует";
  case ENOTDIR:
    return "часть пути не является папкой";
  case ENAMETOOLONG:
    return "слишком длинное имя файла";
  case ELOOP:
    return "слишком много символьных ссылок подряд (возможно, они замкнуты в кольцо)";
  case EIO:
    return "ошибка ввода-вывода";
  default:
    return std::generic_category().message(Error);
  }
}

std::string WithFullStop(std::string_view Text) {
  std::string Result(Text);
  while (!Result.empty() && (Result.back() == ' ' || Result.back() == '\n'))
    Result.pop_back();
  const bool Ended = !Result.empty() && (Result.back() == '.' || Result.back() == '!' ||
                                         Result.back() == '?' || Result.ends_with("…"));
  if (!Ended && !Result.empty())
    Result += '.';
  return Result;
}

static bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= 32;
}

std::string Trim(std::string_view S) {
  size_t First = 0;
  size_t Last = S.size();
  while (First < Last && IsBlank(S[First]))
    ++First;
  while (Last > First && IsBlank(S[Last - 1]))
    --Last;
  return std::string(S.substr(First, Last - First));
}

std::string RemoveControlsAndSpaces(std::string_view S) {
  std::string Result;
  Result.reserve(S.size());
  for (char C : S)
    if (!IsBlank(C))
      Result += C;
  return Result;
}

} // namespace Deskbay
