#include "Corekit/SysUtils.h"
#include "Corekit/StringList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <limits>
#include <set>
#include <system_error>
#include <vector>

using namespace Deskbay;

TEST(SysUtils, TextHelpersFoldOnlyAscii) {
  EXPECT_EQ(UpperCase("abcXyz_1"), "ABCXYZ_1");
  EXPECT_EQ(UpperCase("ввод"), "ввод") << "Cyrillic bytes are left alone";
  EXPECT_TRUE(SameText("TIfAlgBlock", "tifalgblock"));
  EXPECT_FALSE(SameText("TIfAlgBlock", "TIfAlgBloc"));
  EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
  EXPECT_EQ(RemoveControlsAndSpaces(" x = 2\t* 3\x01"), "x=2*3");
  EXPECT_EQ(Format("Bad AlgBlock index (%d).", -1), "Bad AlgBlock index (-1).");
  EXPECT_EQ(Format("\"%s\"", std::string(300, 'a').c_str()).size(), 302u);
}

TEST(StringList, ChangesAreReportedOncePerUpdate) {
  TStringList L;
  int Changes = 0;
  L.OnChange = [&](TObject* S) {
    EXPECT_EQ(S, &L);
    ++Changes;
  };
  L.Add("a");
  L.Insert(0, "b");
  L.Put(1, "c");
  EXPECT_EQ(Changes, 3);
  EXPECT_EQ(L.GetText(), "b\r\nc\r\n");

  L.BeginUpdate();
  L.Delete(0);
  L.Add("d");
  L.EndUpdate();
  EXPECT_EQ(Changes, 4);

  L.SetText("one\r\ntwo\nthree\r");
  EXPECT_EQ(L.GetCount(), 3);
  EXPECT_EQ(L.Get(2), "three");
  EXPECT_THROW(L.Get(3), Exception);
  EXPECT_THROW(L.Insert(5, "x"), Exception);
  L.Clear();
  L.Clear();
  EXPECT_EQ(Changes, 6) << "clearing an empty list is no change";
}

TEST(SysUtilsTest, LowerCaseRuFoldsLatinAndCyrillicCapitalsOnly) {
  EXPECT_EQ(LowerCaseRu("ВВОД Вывод ТЧК"), "ввод вывод тчк");
  EXPECT_EQ(LowerCaseRu("АЯЁЀЏ XyZ"), "аяёѐџ xyz");
  // Small letters, other scripts, digits and a cut-off sequence stay as they are.
  EXPECT_EQ(LowerCaseRu("яё €5 Ω"), "яё €5 Ω");
  EXPECT_EQ(LowerCaseRu("\xD0"), "\xD0");
}

TEST(SysUtils, CommonSystemReasonsAreInRussianTheRestAsTheSystemSaysThem) {
  std::set<std::string> Seen;
  for (int Error :
       {EACCES, ENOENT, ENOSPC, EISDIR, EROFS, EEXIST, ENOTDIR, ENAMETOOLONG, ELOOP, EIO}) {
    const std::string Text = SysErrorMessage(Error);
    EXPECT_TRUE(Seen.insert(Text).second) << Text;
    EXPECT_EQ(std::count_if(Text.begin(), Text.end(), [](char C) { return std::isalpha(C); }), 0)
        << Error << ": " << Text;
    EXPECT_NE(Text.back(), '.') << "the reason ends a sentence that has its own full stop";
  }
  EXPECT_EQ(SysErrorMessage(EPIPE), std::generic_category().message(EPIPE));
}

TEST(SysUtils, MessagesMadeOfMessagesEndWithOneFullStop) {
  EXPECT_EQ(WithFullStop("Модуль не найден"), "Модуль не найден.");
  EXPECT_EQ(WithFullStop("Модуль не найден."), "Модуль не найден.");
  EXPECT_EQ(WithFullStop("Что это?"), "Что это?");
  EXPECT_EQ(WithFullStop("и так далее…"), "и так далее…");
  EXPECT_EQ(WithFullStop("line\n"), "line.");
  EXPECT_EQ(WithFullStop(""), "");
}

// Halves go to the even neighbour, everything else to the nearest, signed
// zeros as the library rounds them; the quick way for ordinary numbers
// agrees with the library's rounding everywhere.
TEST(SysUtils, RoundHalfEvenAgreesWithTheLibrarysRounding) {
  auto Library = [](long double X) {
    if (std::fabs(X - std::trunc(X)) == 0.5L)
      return 2.0L * std::round(X / 2.0L);
    return std::round(X);
  };
  std::vector<long double> Values = {
      0.0L,  -0.0L,  0.5L,  -0.5L,  1.5L,    -1.5L,    2.5L,           -2.5L, 0.49L, -0.49L,
      0.51L, -0.51L, 1e18L, -1e18L, 0x1p62L, -0x1p62L, 0x1p63L + 0.5L, 1e30L, 7.0L,  -7.0L};
  uint64_t Seed = 99;
  for (int I = 0; I < 20000; ++I) {
    Seed = Seed * 6364136223846793005ull + 1442695040888963407ull;
    const long double Whole =
        static_cast<long double>(static_cast<int64_t>(Seed >> 20) - (1ll << 43));
    Values.push_back(Whole + static_cast<long double>(Seed % 8) / 4.0L);
    Values.push_back(Whole / 1000.0L);
  }
  for (long double X : Values) {
    const long double A = RoundHalfEven(X), B = Library(X);
    ASSERT_EQ(A, B) << static_cast<double>(X);
    ASSERT_EQ(std::signbit(A), std::signbit(B)) << static_cast<double>(X);
  }
  EXPECT_TRUE(std::isnan(RoundHalfEven(std::numeric_limits<long double>::quiet_NaN())));
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<long double>::infinity()),
            std::numeric_limits<long double>::infinity());
}
