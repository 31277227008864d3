#include "Corekit/CodePage1251.h"

#include <gtest/gtest.h>

#include <string>

using namespace Deskbay;

namespace {

std::string Encode(const std::string& Utf8) {
  std::string Out;
  EXPECT_TRUE(TryUtf8ToCp1251(Utf8, Out)) << Utf8;
  return Out;
}

TCp1251Failure FailureOf(const std::string& Utf8) {
  std::string Out;
  TCp1251Failure F;
  EXPECT_FALSE(TryUtf8ToCp1251(Utf8, Out, &F));
  return F;
}

} // namespace

TEST(CodePage1251, EveryByteDecodesAndEncodesBackToItself) {
  std::string All;
  for (int B = 0; B < 256; ++B)
    All += static_cast<char>(B);
  const std::string Utf8 = Cp1251ToUtf8(All);
  EXPECT_EQ(Encode(Utf8), All);
  // 128 ASCII bytes, the rest two (Cyrillic, Latin-1 signs, U+0098) or three bytes each.
  EXPECT_GT(Utf8.size(), 128u * 3);
}

TEST(CodePage1251, KnownCharacters) {
  EXPECT_EQ(Encode("начало"), "\xED\xE0\xF7\xE0\xEB\xEE");
  EXPECT_EQ(Encode("АЯаяЁё№€—«»"), "\xC0\xDF\xE0\xFF\xA8\xB8\xB9\x88\x97\xAB\xBB");
  EXPECT_EQ(Cp1251ToUtf8("\xB9\x88\x98"), "№€\xC2\x98");
  EXPECT_EQ(Encode("X=A+1; Вывод \"Привет\""),
            "X=A+1; \xC2\xFB\xE2\xEE\xE4 \"\xCF\xF0\xE8\xE2\xE5\xF2\"");
}

TEST(CodePage1251, CharactersTheCodePageCannotHoldAndBrokenUtf8AreRefused) {
  TCp1251Failure F = FailureOf("ab☺c");
  EXPECT_EQ(F.BadOffset, 2u);
  EXPECT_EQ(F.BadLength, 3u);
  EXPECT_EQ(F.CodePoint, U'☺');
  EXPECT_EQ(FailureOf("é").CodePoint, U'é'); // Latin-1, but not in this code page
  EXPECT_EQ(FailureOf("😀").CodePoint, 0x1F600u);

  // Lone lead byte, stray continuation, overlong "/", surrogate, 5-byte form, truncation.
  for (const char* Bad :
       {"a\xC3", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80", "\xE2\x98"}) {
    const TCp1251Failure G = FailureOf(Bad);
    EXPECT_EQ(G.CodePoint, 0u) << Bad;
    EXPECT_EQ(G.BadLength, 1u);
  }
}
