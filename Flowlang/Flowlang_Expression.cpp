#include "Flowlang_Expression.h"

#include "Flowlang_Messages.h"

#include "Corekit/Conditions.h"
#include "Corekit/Parser.h"
#include "Corekit/SysUtils.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace Deskbay {

namespace {

// What the interpreter's storage makes of Text when every one-letter
// variable holds 1: nothing (it reads and computes it), or the message it
// raises. Only longer names are undefined; a math error and a result beyond
// the range of double give the first line with an empty reason.
bool EvaluationFails(const std::string& Text, std::string& Message) {
  thread_local TMathParser Parser;
  thread_local int LastParseError = 0;
  thread_local bool Ready = false;
  if (!Ready) {
    Parser.SetOnGetVar([](TObject*, std::string_view Name, long double& Value, bool& Found) {
      if (Name.size() != 1 || !IsLatinChar(Name[0]))
        throw Exception(UndefinedVariableText(Name));
      Value = 1.0;
      Found = true;
    });
    Parser.SetOnParseError([](TObject*, int Code) { LastParseError = Code; });
    Ready = true;
  }
  Parser.SetParseString(Text);
  LastParseError = 0;
  try {
    Parser.Parse();
  } catch (const Exception& E) {
    Message = EvaluationErrorText(Text, E.Message());
    return true;
  }
  if (Parser.GetHasError()) {
    Message = EvaluationErrorText(Text, ParseErrorText(LastParseError));
    return true;
  }
  if (std::fabs(Parser.GetResultValue()) > static_cast<long double>(DBL_MAX)) {
    Message = EvaluationErrorText(Text, std::string());
    return true;
  }
  return false;
}

// The interpreter's verdict on Text: its message when it refuses the text
// whatever the variables hold, empty when it reads it. A math error (empty
// reason) depends on the values and is no verdict.
std::string RefusalOf(const std::string& Text) {
  std::string M;
  if (!EvaluationFails(Text, M))
    return std::string();
  const size_t Break = M.find("\r\n");
  if (Break != std::string::npos && Break + 2 < M.size())
    return M.substr(0, Break) + "\n" + M.substr(Break + 2);
  return std::string();
}

// Whether Text, which holds no variable, fails when it is evaluated.
bool FailsAlways(const std::string& Text) {
  std::string M;
  return EvaluationFails(Text, M);
}

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}

bool IsIdentChar(char C) {
  return IsDigit(C) || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}

const char* const FunctionNames[] = {"ABS",   "ATAN", "COS",  "EXP", "LN",
                                     "ROUND", "SIN",  "SQRT", "SQR", "TRUNC"};

// Reads a text the interpreter accepts, by the interpreter's grammar:
//   expression = term {("+" | "-") term}
//   term       = modulo {("*" | "/") power}
//   modulo     = power {MOD power}
//   power      = signed ["^" power]
//   signed     = ["-"] primary
//   primary    = number | variable | function "(" expression ")" | "(" expression ")"
// "!" where an operand belongs ends the reading: the value always fails.
class TReader {
public:
  explicit TReader(std::string_view Text) : FText(Text) {}

  bool Read(TCodeExpr& Root) {
    Root = Expression();
    SkipSpaces();
    return !FFailed && (FAlwaysFails || FPos == FText.size());
  }
  bool GetAlwaysFails() const { return FAlwaysFails; }

private:
  std::string_view FText;
  size_t FPos = 0;
  bool FFailed = false;
  bool FAlwaysFails = false;

  bool Stopped() const { return FFailed || FAlwaysFails; }

  void SkipSpaces() {
    while (FPos < FText.size() && FText[FPos] == ' ')
      ++FPos;
  }

  char Peek() {
    SkipSpaces();
    return FPos < FText.size() ? FText[FPos] : '\0';
  }

  std::string_view PeekIdent() {
    SkipSpaces();
    size_t End = FPos;
    while (End < FText.size() && IsIdentChar(FText[End]))
      ++End;
    return FText.substr(FPos, End - FPos);
  }

  static TCodeExpr Node(TCodeExpr::TKind Kind, TCodeExpr A, TCodeExpr B) {
    TCodeExpr N;
    N.Kind = Kind;
    N.Start = A.Start;
    N.End = B.End;
    N.Args.push_back(std::move(A));
    N.Args.push_back(std::move(B));
    return N;
  }

  TCodeExpr Expression() {
    TCodeExpr Left = Term();
    for (char C; !Stopped() && ((C = Peek()) == '+' || C == '-');) {
      ++FPos;
      Left = Node(C == '+' ? TCodeExpr::ekAdd : TCodeExpr::ekSubtract, std::move(Left), Term());
    }
    return Left;
  }

  TCodeExpr Term() {
    TCodeExpr Left = Modulo();
    for (char C; !Stopped() && ((C = Peek()) == '*' || C == '/');) {
      ++FPos;
      Left = Node(C == '*' ? TCodeExpr::ekMultiply : TCodeExpr::ekDivide, std::move(Left), Power());
    }
    return Left;
  }

  TCodeExpr Modulo() {
    TCodeExpr Left = Power();
    while (!Stopped()) {
      const std::string_view Word = PeekIdent();
      if (!IsLetter(Word) || UpperCase(Word) != "MOD")
        break;
      FPos += Word.size();
      Left = Node(TCodeExpr::ekMod, std::move(Left), Power());
    }
    return Left;
  }

  static bool IsLetter(std::string_view Word) { return !Word.empty() && !IsDigit(Word[0]); }

  TCodeExpr Power() {
    TCodeExpr Base = Signed();
    if (!Stopped() && Peek() == '^') {
      ++FPos;
      return Node(TCodeExpr::ekPower, std::move(Base), Power());
    }
    return Base;
  }

  TCodeExpr Signed() {
    if (Peek() == '!') {
      FAlwaysFails = true;
      return TCodeExpr();
    }
    if (Peek() == '-') {
      const size_t Start = FPos++;
      TCodeExpr N;
      N.Kind = TCodeExpr::ekNegate;
      N.Args.push_back(Primary());
      N.Start = Start;
      N.End = N.Args[0].End;
      return N;
    }
    return Primary();
  }

  TCodeExpr Primary() {
    Peek();
    const size_t Start = FPos;
    TCodeExpr N = Operand();
    N.Start = Start;
    N.End = FPos;
    return N;
  }

  TCodeExpr Operand() {
    TCodeExpr N;
    const char C = Peek();
    if (C == '(') {
      ++FPos;
      N.Kind = TCodeExpr::ekParens;
      N.Args.push_back(Expression());
      Close();
      return N;
    }
    if (IsDigit(C) || C == '.')
      return Number();
    const std::string_view Word = PeekIdent();
    if (!IsLetter(Word)) {
      FFailed = true;
      return N;
    }
    FPos += Word.size();
    const std::string Name = UpperCase(Word);
    for (const char* F : FunctionNames)
      if (Name == F) {
        N.Kind = TCodeExpr::ekFunction;
        N.Text = Name;
        if (Peek() != '(') {
          FFailed = true;
          return N;
        }
        ++FPos;
        N.Args.push_back(Expression());
        Close();
        return N;
      }
    N.Kind = TCodeExpr::ekVariable;
    N.Text = Name;
    return N;
  }

  void Close() {
    if (Stopped())
      return;
    if (Peek() == ')')
      ++FPos;
    else
      FFailed = true;
  }

  // Digits with at most one point, then "E" or "e", a sign and at most four
  // exponent digits, as the scanner takes them.
  TCodeExpr Number() {
    const size_t Start = FPos;
    bool Point = false;
    while (FPos < FText.size() && (IsDigit(FText[FPos]) || (FText[FPos] == '.' && !Point))) {
      Point = Point || FText[FPos] == '.';
      ++FPos;
    }
    if (FPos < FText.size() && (FText[FPos] == 'E' || FText[FPos] == 'e')) {
      ++FPos;
      if (FPos < FText.size() && (FText[FPos] == '+' || FText[FPos] == '-'))
        ++FPos;
      for (int Digits = 0; Digits < 4 && FPos < FText.size() && IsDigit(FText[FPos]); ++Digits)
        ++FPos;
    }
    TCodeExpr N;
    N.Kind = TCodeExpr::ekNumber;
    N.Text = std::string(FText.substr(Start, FPos - Start));
    // The scanner converts "." as the decimal point whatever the locale;
    // strtold in the "C" locale of the library's callers does the same for
    // the digits that reach here.
    std::string Digits = N.Text;
    if (!Digits.empty() && Digits[0] == '.')
      Digits.insert(Digits.begin(), '0');
    N.Value = std::strtold(Digits.c_str(), nullptr);
    return N;
  }
};

} // namespace

namespace {

bool HasVariable(const TCodeExpr& E) {
  if (E.Kind == TCodeExpr::ekVariable)
    return true;
  for (const TCodeExpr& A : E.Args)
    if (HasVariable(A))
      return true;
  return false;
}

// Whether a part of E without variables fails as the interpreter computes
// it. Every part of an expression is computed, so then the whole fails.
bool HasFailingConstant(const TCodeExpr& E, const std::string& Text) {
  if (E.Kind == TCodeExpr::ekNumber)
    return false;
  if (!HasVariable(E))
    return FailsAlways(Text.substr(E.Start, E.End - E.Start));
  for (const TCodeExpr& A : E.Args)
    if (HasFailingConstant(A, Text))
      return true;
  return false;
}

} // namespace

TCodeExprReading ReadCodeExpression(const std::string& Text) {
  TCodeExprReading R;
  R.Error = RefusalOf(Text);
  if (!R.Error.empty()) {
    R.Refused = true;
    return R;
  }
  TReader Reader(Text);
  const bool Read = Reader.Read(R.Root);
  if (Reader.GetAlwaysFails() || !Read || HasFailingConstant(R.Root, Text)) {
    // Unreadable here although the interpreter read it cannot happen; the
    // program then fails at this place rather than compute something else.
    R.AlwaysFails = true;
    R.Error = EvaluationFailedText(Text);
    R.Root = TCodeExpr();
  }
  return R;
}

bool IsStoredAsIs(const TCodeExpr& E) {
  switch (E.Kind) {
  case TCodeExpr::ekVariable:
    return true;
  case TCodeExpr::ekNumber:
    return std::fabs(E.Value) <= DBL_MAX &&
           static_cast<long double>(static_cast<double>(E.Value)) == E.Value;
  case TCodeExpr::ekNegate:
  case TCodeExpr::ekParens:
    return IsStoredAsIs(E.Args[0]);
  default:
    return false;
  }
}

} // namespace Deskbay
