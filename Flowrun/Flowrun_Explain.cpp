#include "Flowrun_Explain.h"

#include "Flowrun_Values.h"
#include "Flowrun_VarStorage.h"

#include "Flowlang/Flowlang_Statement.h"

#include "Corekit/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace Deskbay {

namespace {

// The Cyrillic capitals and small letters drawn as Latin ones are.
constexpr std::string_view Lookalikes[] = {"А", "В", "Е", "К", "М", "Н", "О", "Р", "С",
                                           "Т", "Х", "а", "е", "о", "р", "с", "х", "у"};

bool IsNameStart(unsigned char C) {
  return std::isalpha(C) || C == '_' || C >= 0x80;
}
bool IsNameChar(unsigned char C) {
  return std::isalnum(C) || C == '_' || C >= 0x80;
}

std::string Upper(std::string_view S) {
  std::string R(S);
  for (char& C : R)
    C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return R;
}

// The statement words of an input or output line, in any letter case: not
// names, though their letters look Latin ("Ввод А" is about "А").
bool IsStatementWord(std::string_view Name) {
  const std::string Small = LowerCaseRu(Name);
  return Small == InputWord() || Small == OutputWord();
}

bool IsWord(std::string_view Name) {
  static constexpr std::string_view Words[] = {"ABS",   "ATAN", "COS",  "EXP", "LN",
                                               "ROUND", "SIN",  "SQRT", "SQR", "TRUNC",
                                               "MOD",   "DIV",  "AND",  "OR",  "NOT"};
  const std::string U = Upper(Name);
  return std::find(std::begin(Words), std::end(Words), U) != std::end(Words);
}

// The text between the message's first pair of double quotes.
bool QuotedText(const std::string& Message, std::string& Out) {
  const size_t Open = Message.find('"');
  if (Open == std::string::npos)
    return false;
  // The quoted line ends before the '"' that is followed by ".", a line
  // break or the end.
  size_t Close = Message.find("\".", Open + 1);
  if (Close == std::string::npos)
    Close = Message.rfind('"');
  if (Close == std::string::npos || Close <= Open)
    return false;
  Out = Message.substr(Open + 1, Close - Open - 1);
  return true;
}

struct TToken {
  size_t Begin, End;
  bool Name;
};

std::vector<TToken> Names(const std::string& Text) {
  std::vector<TToken> R;
  size_t I = 0;
  while (I < Text.size()) {
    const auto C = static_cast<unsigned char>(Text[I]);
    if (std::isdigit(C) || C == '.') {
      // A number, with its exponent.
      while (I < Text.size() &&
             (std::isalnum(static_cast<unsigned char>(Text[I])) || Text[I] == '.'))
        ++I;
    } else if (IsNameStart(C)) {
      const size_t B = I;
      while (I < Text.size() && IsNameChar(static_cast<unsigned char>(Text[I])))
        ++I;
      R.push_back({B, I, true});
    } else {
      ++I;
    }
  }
  return R;
}

// The operand after Pos (skipping spaces and one sign): a number, a name with
// an optional argument list, or a bracketed expression.
std::string OperandAfter(const std::string& T, size_t Pos) {
  size_t I = Pos;
  while (I < T.size() && T[I] == ' ')
    ++I;
  const size_t B = I;
  if (I < T.size() && (T[I] == '-' || T[I] == '+'))
    ++I;
  while (I < T.size() && T[I] == ' ')
    ++I;
  if (I < T.size() && T[I] == '(') {
    int Depth = 0;
    for (; I < T.size(); ++I) {
      if (T[I] == '(')
        ++Depth;
      else if (T[I] == ')' && --Depth == 0)
        return T.substr(B, I + 1 - B);
    }
    return std::string();
  }
  while (I < T.size() && (IsNameChar(static_cast<unsigned char>(T[I])) || T[I] == '.'))
    ++I;
  if (I < T.size() && T[I] == '(' && I > B)
    return OperandAfter(T, I).empty() ? std::string() : T.substr(B, I - B) + OperandAfter(T, I);
  return T.substr(B, I - B);
}

// The operand that ends just before Pos: a number, a name, or a bracketed
// expression with the function name before it.
std::string OperandBefore(const std::string& T, size_t Pos) {
  size_t I = Pos;
  while (I > 0 && T[I - 1] == ' ')
    --I;
  const size_t E = I;
  if (I > 0 && T[I - 1] == ')') {
    int Depth = 0;
    while (I > 0) {
      --I;
      if (T[I] == ')')
        ++Depth;
      else if (T[I] == '(' && --Depth == 0)
        break;
    }
    if (Depth != 0)
      return std::string();
  }
  while (I > 0 && (IsNameChar(static_cast<unsigned char>(T[I - 1])) || T[I - 1] == '.'))
    --I;
  return T.substr(I, E - I);
}

bool TryEvaluate(TVarStorage& Storage, const std::string& Text, double& Value) {
  if (Text.empty())
    return false;
  try {
    Value = Storage.Evaluate(Text);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

std::string FindReason(const std::string& T, TVarStorage& Storage) {
  const std::string U = Upper(T);
  double V = 0;
  for (size_t I = 0; I < T.size(); ++I) {
    if (T[I] == '/' || ((U.compare(I, 3, "MOD") == 0 || U.compare(I, 3, "DIV") == 0) &&
                        (I == 0 || !IsNameChar(static_cast<unsigned char>(T[I - 1]))) &&
                        (I + 3 >= T.size() || !IsNameChar(static_cast<unsigned char>(T[I + 3]))))) {
      const std::string D = OperandAfter(T, I + (T[I] == '/' ? 1 : 3));
      if (TryEvaluate(Storage, D, V) && V == 0)
        return Format("Деление на ноль: делитель \"%s\" равен 0.", D.c_str());
    } else if (T[I] == '^') {
      const std::string B = OperandBefore(T, I);
      if (TryEvaluate(Storage, B, V) && V <= 0)
        return Format("Степень вычисляется только для положительного основания, а основание "
                      "\"%s\" равно %s.",
                      B.c_str(), AlgFormatValue(V).c_str());
    }
  }
  for (const TToken& N : Names(T)) {
    const std::string Fn = Upper(std::string_view(T).substr(N.Begin, N.End - N.Begin));
    if (Fn != "SQRT" && Fn != "LN")
      continue;
    const std::string Arg = OperandAfter(T, N.End);
    if (!TryEvaluate(Storage, Arg, V))
      continue;
    if (Fn == "SQRT" && V < 0)
      return Format("Корень из отрицательного числа: SQRT%s, а %s = %s.", Arg.c_str(), Arg.c_str(),
                    AlgFormatValue(V).c_str());
    if (Fn == "LN" && V <= 0)
      return Format("Логарифм определён только для положительных чисел: LN%s, а %s = %s.",
                    Arg.c_str(), Arg.c_str(), AlgFormatValue(V).c_str());
  }
  return std::string();
}

} // namespace

std::string CyrillicLookalikeHint(const std::string& Name) {
  // Only a name that could be all Latin letters is a slip of the layout; a
  // Russian word ("это") is meant as written.
  for (size_t I = 0; I < Name.size();) {
    const auto C = static_cast<unsigned char>(Name[I]);
    if (C < 0x80) {
      ++I;
      continue;
    }
    char32_t Code = 0;
    const size_t Length = DecodeUtf8(Name, I, Code);
    if (Length == 0)
      return std::string();
    const std::string_view Letter(Name.data() + I, Length);
    if (std::find(std::begin(Lookalikes), std::end(Lookalikes), Letter) == std::end(Lookalikes))
      return std::string();
    I += Length;
  }
  std::string Letters;
  for (std::string_view L : Lookalikes)
    if (Name.find(L) != std::string::npos) {
      if (!Letters.empty())
        Letters += ", ";
      Letters += L;
    }
  if (Letters.empty())
    return std::string();
  return Format("В имени \"%s\" есть русские буквы (%s), похожие на латинские: на вид их не "
                "отличить. Наберите имя латинскими буквами.",
                Name.c_str(), Letters.c_str());
}

std::string TErrorExplanation::Text() const {
  std::string R;
  for (const std::string* Part : {&Values, &Reason, &Cyrillic})
    if (!Part->empty()) {
      if (!R.empty())
        R += '\n';
      R += *Part;
    }
  return R;
}

TErrorExplanation ExplainError(const std::string& Message, TVarStorage& Storage) {
  TErrorExplanation E;
  std::string Text;
  if (!QuotedText(Message, Text))
    return E;
  std::vector<std::string> Seen;
  for (const TToken& N : Names(Text)) {
    const std::string Name = Text.substr(N.Begin, N.End - N.Begin);
    if (IsWord(Name) || IsStatementWord(Name) ||
        std::find(Seen.begin(), Seen.end(), Upper(Name)) != Seen.end())
      continue;
    Seen.push_back(Upper(Name));
    // A name followed by "(" is a function's; only the drawing words are
    // Russian, and they are not variables.
    if (Storage.VarExists(Name)) {
      if (!E.Values.empty())
        E.Values += ", ";
      E.Values += Name + " = " + AlgFormatValue(Storage.GetVars(Name));
    } else if (E.Cyrillic.empty()) {
      size_t After = N.End;
      while (After < Text.size() && Text[After] == ' ')
        ++After;
      if (After >= Text.size() || Text[After] != '(')
        E.Cyrillic = CyrillicLookalikeHint(Name);
    }
  }
  // A math error's message ends with its empty reason.
  const bool NoReason = Message.find("Ошибка при вычислении") == 0 &&
                        (Message.size() < 2 || Message.back() == '\n' || Message.back() == '\r');
  if (NoReason)
    E.Reason = FindReason(Text, Storage);
  return E;
}

} // namespace Deskbay
