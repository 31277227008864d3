#include "Flowrun/Flowrun_Explain.h"
#include "Flowrun/Flowrun_VarStorage.h"

#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

std::string Explain(TVarStorage& S, const std::string& Expr) {
  try {
    S.Evaluate(Expr);
  } catch (const Exception& E) {
    return ExplainError(E.Message(), S).Text();
  }
  return "no error";
}

} // namespace

TEST(Explain, ReasonsOfMathErrors) {
  TVarStorage S;
  S.SetVars("A", 5);
  S.SetVars("B", 0);
  S.SetVars("N", -4);
  EXPECT_EQ(Explain(S, "A/B"), "A = 5, B = 0\nДеление на ноль: делитель \"B\" равен 0.");
  EXPECT_EQ(Explain(S, "A/(B*2)+1"), "A = 5, B = 0\nДеление на ноль: делитель \"(B*2)\" равен 0.");
  EXPECT_EQ(Explain(S, "A MOD B"), "A = 5, B = 0\nДеление на ноль: делитель \"B\" равен 0.");
  EXPECT_EQ(Explain(S, "SQRT(N)"), "N = -4\nКорень из отрицательного числа: SQRT(N), а (N) = -4.");
  EXPECT_EQ(Explain(S, "LN(B)"),
            "B = 0\nЛогарифм определён только для положительных чисел: LN(B), а (B) = 0.");
  EXPECT_EQ(Explain(S, "B^2"), "B = 0\nСтепень вычисляется только для положительного "
                               "основания, а основание \"B\" равно 0.");
  EXPECT_EQ(Explain(S, "(-2)^2"), "Степень вычисляется только для положительного основания, "
                                  "а основание \"(-2)\" равно -2.");
}

TEST(Explain, UndefinedNamesAndCyrillicLetters) {
  TVarStorage S;
  S.SetVars("A", 1);
  // "А" below is Cyrillic.
  EXPECT_EQ(Explain(S, "А+1"),
            "В имени \"А\" есть русские буквы (А), похожие на латинские: на вид их не "
            "отличить. Наберите имя латинскими буквами.");
  EXPECT_EQ(Explain(S, "A+Q"), "A = 1") << "the message names Q already; Latin gets no hint";
  EXPECT_EQ(CyrillicLookalikeHint("ZZ"), "");
  // The words of input and output lines are no names.
  EXPECT_EQ(ExplainError("Синтаксическая ошибка в строке \"ВВОД А\".", S).Cyrillic,
            "В имени \"А\" есть русские буквы (А), похожие на латинские: на вид их не "
            "отличить. Наберите имя латинскими буквами.");
  EXPECT_EQ(ExplainError("Синтаксическая ошибка в строке \"Вывод 1+\".", S).Cyrillic, "");
  // Only names that could be all Latin: a Russian word is meant as written.
  EXPECT_EQ(CyrillicLookalikeHint("это"), "");
  EXPECT_NE(CyrillicLookalikeHint("ТОР"), "");
  EXPECT_EQ(ExplainError("Что-то без кавычек.", S).Text(), "");
}
