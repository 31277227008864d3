#include "Parser.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <locale.h>
#include <stdlib.h>

namespace Deskbay {

namespace {

using enum TokenTypes;

// In the order the scanner tries them. Only a whole identifier matches, so
// SQRT and SQR never clash.
constexpr std::string_view FuncNames[] = {"ABS",   "ATAN", "COS",  "EXP", "LN",
                                          "ROUND", "SIN",  "SQRT", "SQR", "TRUNC"};

// Faults of the tables themselves; kept out of line so that the hot
// operations that check for them stay small enough to inline.
[[noreturn]] [[gnu::cold]] [[gnu::noinline]] void BadTokenState() {
  throw Exception("Bad token state");
}

[[noreturn]] [[gnu::cold]] [[gnu::noinline]] void InvalidReduction() {
  throw Exception("Invalid reduction");
}

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}

// IsLatinChar is exported and therefore never inlined; the scanner asks this
// for every character.
bool IsLetter(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

bool IsIdentChar(char C) {
  return IsDigit(C) || IsLetter(C) || C == '_';
}

char AsciiUpper(char C) {
  return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C;
}

// Numbers are written with "." in every locale the program may run under.
locale_t NumberLocale() {
  static const locale_t Locale = [] {
    const locale_t L = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    Assert(L != nullptr, "Cannot create the C locale");
    return L;
  }();
  return Locale;
}

// R is already integral; NaN fails as well.
bool FitsInt64(long double R) {
  return R >= -0x1p63L && R < 0x1p63L;
}

bool InRange(long double X, long double Low, long double High) {
  return X >= Low && X <= High;
}

// The LR tables. Both are built at compile time from the rows below, so the
// parse loop indexes them instead of branching through nested switches.
constexpr int StateCount = 81;
constexpr int TokenCount = static_cast<int>(Modu) + 1;
constexpr std::uint8_t NoState = 0xFF;

enum TActionKind : std::uint8_t { akBadState, akShift, akReduce, akAccept, akAcceptErr, akError };

struct TAction {
  TActionKind Kind;
  std::uint8_t Arg; // the state to shift to, the production, or the error code
};

struct TActionTable {
  TAction Rows[StateCount][TokenCount];
};

constexpr int OperandStates[] = {0, 9, 12, 13, 14, 15, 16, 20, 40};

constexpr TActionTable MakeActionTable() {
  TActionTable T{};
  const auto Row = [&T](int State, TActionKind Kind, int Arg) {
    for (TAction& A : T.Rows[State])
      A = {Kind, static_cast<std::uint8_t>(Arg)};
  };
  const auto Set = [&T](int State, TokenTypes Token, TActionKind Kind, int Arg) {
    T.Rows[State][static_cast<int>(Token)] = {Kind, static_cast<std::uint8_t>(Arg)};
  };
  for (int S : OperandStates) {
    Row(S, akError, ErrExpression);
    Set(S, Num, akShift, 10);
    Set(S, Func, akShift, 11);
    Set(S, Minus, akShift, 5);
    Set(S, OParen, akShift, 9);
    Set(S, ERR, akAcceptErr, 0);
  }
  Row(1, akError, ErrOperator);
  Set(1, EOL, akAccept, 0);
  Set(1, Plus, akShift, 12);
  Set(1, Minus, akShift, 13);
  Row(2, akReduce, 3);
  Set(2, Times, akShift, 14);
  Set(2, Divide, akShift, 15);
  Row(3, akReduce, 6);
  Set(3, Modu, akShift, 40);
  Row(4, akReduce, 8);
  Set(4, Expo, akShift, 16);
  Row(5, akError, ErrExpression);
  Set(5, Num, akShift, 10);
  Set(5, Func, akShift, 11);
  Set(5, OParen, akShift, 9);
  Row(6, akReduce, 10);
  Row(8, akReduce, 12);
  Row(10, akReduce, 15);
  Row(11, akError, ErrOpenParen);
  Set(11, OParen, akShift, 20);
  Row(17, akReduce, 9);
  Row(19, akError, ErrOpCloseParen);
  Set(19, Plus, akShift, 12);
  Set(19, Minus, akShift, 13);
  Set(19, CParen, akShift, 27);
  Row(21, akReduce, 1);
  Set(21, Times, akShift, 14);
  Set(21, Divide, akShift, 15);
  Row(22, akReduce, 2);
  Set(22, Times, akShift, 14);
  Set(22, Divide, akShift, 15);
  Row(23, akReduce, 4);
  Row(24, akReduce, 5);
  Row(25, akReduce, 7);
  Row(27, akReduce, 14);
  Row(28, akError, ErrOpCloseParen);
  Set(28, Plus, akShift, 12);
  Set(28, Minus, akShift, 13);
  Set(28, CParen, akShift, 29);
  Row(29, akReduce, 16);
  Row(80, akReduce, 100);
  return T;
}

constexpr TActionTable ActionTable = MakeActionTable();

// Productions that reduce to the same phrase share a goto row.
enum TPhrase : std::uint8_t { phExpression, phTerm, phFactor, phSigned, phPrimary, phOperand };

constexpr int PhraseCount = phOperand + 1;

constexpr TPhrase PhraseOf(int Production) {
  if (Production <= 3)
    return phExpression;
  if (Production <= 6)
    return phTerm;
  if (Production <= 8 || Production == 100)
    return phFactor;
  if (Production <= 10)
    return phSigned;
  if (Production <= 12)
    return phPrimary;
  return phOperand;
}

struct TGotoTable {
  std::uint8_t Next[PhraseCount][StateCount];
};

constexpr TGotoTable MakeGotoTable() {
  TGotoTable T{};
  for (auto& Row : T.Next)
    for (std::uint8_t& Next : Row)
      Next = NoState;
  const auto Set = [&T](TPhrase Phrase, std::initializer_list<int> From, int To) {
    for (int S : From)
      T.Next[Phrase][S] = static_cast<std::uint8_t>(To);
  };
  Set(phExpression, {0}, 1);
  Set(phExpression, {9}, 19);
  Set(phExpression, {20}, 28);
  Set(phTerm, {0, 9, 20}, 2);
  Set(phTerm, {12}, 21);
  Set(phTerm, {13}, 22);
  Set(phFactor, {0, 9, 12, 13, 20}, 3);
  Set(phFactor, {14}, 23);
  Set(phFactor, {15}, 24);
  Set(phFactor, {16}, 25);
  Set(phFactor, {40}, 80);
  for (int S : OperandStates) {
    Set(phSigned, {S}, 4);
    Set(phPrimary, {S}, 6);
    Set(phOperand, {S}, 8);
  }
  Set(phPrimary, {5}, 17);
  Set(phOperand, {5}, 8);
  return T;
}

constexpr TGotoTable GotoTable = MakeGotoTable();

constexpr bool IsUnitProduction(int Production) {
  return Production == 3 || Production == 6 || Production == 8 || Production == 10 ||
         Production == 12 || Production == 15;
}

// For the states that reduce by a unit production whatever the lookahead
// (6, 8 and 10), the goto row of that production; NoState for the others.
struct TUnitStates {
  std::uint8_t Phrase[StateCount];
};

constexpr TUnitStates MakeUnitStates() {
  TUnitStates U{};
  for (int S = 0; S < StateCount; ++S) {
    const TAction First = ActionTable.Rows[S][0];
    bool Uniform = First.Kind == akReduce && IsUnitProduction(First.Arg);
    for (const TAction& A : ActionTable.Rows[S])
      Uniform = Uniform && A.Kind == First.Kind && A.Arg == First.Arg;
    U.Phrase[S] = Uniform ? static_cast<std::uint8_t>(PhraseOf(First.Arg)) : NoState;
  }
  return U;
}

constexpr TUnitStates UnitStates = MakeUnitStates();

std::uint8_t GotoNext(std::uint8_t Phrase, std::uint8_t Uncovered) {
  const std::uint8_t Next = GotoTable.Next[Phrase][Uncovered];
  if (Next == NoState)
    BadTokenState();
  return Next;
}

} // namespace

const char* TMathParser::ClassName() const {
  return "TMathParser";
}

// Out of line: inlined into callers, GCC 12 warns falsely about the copy
// (-Wrestrict) when the text is a literal.
void TMathParser::SetParseString(std::string_view Value) {
  FParseString.assign(Value);
}

TokenRec* TMathParser::Push(std::uint8_t State) {
  if (FStackTop == ParserStackSize) {
    FTokenError = ErrParserStack;
    return nullptr;
  }
  TokenRec* Slot = &FStack[++FStackTop];
  Slot->State = State;
  return Slot;
}

const TokenRec& TMathParser::Pop() {
  if (FStackTop == 0)
    BadTokenState();
  return FStack[FStackTop--];
}

std::size_t TMathParser::IdentLength() const {
  const std::size_t Start = FPosition - 1;
  std::size_t I = Start;
  while (I < FParseString.size() && IsIdentChar(FParseString[I]))
    ++I;
  return I - Start;
}

bool TMathParser::IsFunc(std::string_view FuncName) {
  const std::size_t Len = IdentLength();
  if (Len != FuncName.size())
    return false;
  const char* Ident = FParseString.data() + (FPosition - 1);
  for (std::size_t I = 0; I < Len; ++I)
    if (AsciiUpper(Ident[I]) != FuncName[I])
      return false;
  std::memcpy(FCurrToken.FuncName, FuncName.data(), Len);
  FCurrToken.FuncName[Len] = '\0';
  FPosition += static_cast<std::uint32_t>(Len);
  return true;
}

bool TMathParser::IsVar(long double& Value) {
  const std::size_t Len = IdentLength();
  const std::string_view Name(FParseString.data() + (FPosition - 1), Len);
  FPosition += static_cast<std::uint32_t>(Len);
  bool Found = false;
  Value = 0;
  if (FOnGetVar)
    FOnGetVar(this, Name, Value, Found);
  return Found;
}

TokenTypes TMathParser::ScanNumber() {
  const char* S = FParseString.data();
  const std::size_t Len = FParseString.size();
  const std::uint32_t Start = FPosition;
  std::size_t I = Start - 1;
  bool Dot = false;
  while (I < Len && (IsDigit(S[I]) || (S[I] == '.' && !Dot))) {
    Dot = Dot || S[I] == '.';
    ++I;
  }
  if (Start == 1 && I == 1 && S[0] == '.') {
    FTokenLen = 0;
    return Bad;
  }
  const std::size_t MantissaEnd = I;
  if (I < Len && (S[I] == 'E' || S[I] == 'e')) {
    ++I;
    if (I < Len && (S[I] == '+' || S[I] == '-'))
      ++I;
    for (int Digits = 0; Digits < 4 && I < Len && IsDigit(S[I]); ++Digits)
      ++I;
  }

  const std::size_t TextLen = I - (Start - 1);
  // Most numbers are small integers, and those are exact in a long double
  // when summed digit by digit.
  if (!Dot && I == MantissaEnd && TextLen <= 18) {
    std::uint64_t Integer = 0;
    for (std::size_t J = Start - 1; J < I; ++J)
      Integer = Integer * 10 + static_cast<std::uint64_t>(S[J] - '0');
    FCurrToken.Value = static_cast<long double>(Integer);
    FPosition = static_cast<std::uint32_t>(I + 1);
    FTokenLen = FPosition - Start;
    return Num;
  }

  // strtold needs its own terminated copy: it would read past the number
  // (more exponent digits, a hexadecimal "0x") if left on the text.
  char Small[128];
  std::string Large;
  char* Text = Small;
  if (TextLen < sizeof(Small)) {
    std::memcpy(Small, S + (Start - 1), TextLen);
    Small[TextLen] = '\0';
  } else {
    Large.assign(S + (Start - 1), TextLen);
    Text = Large.data();
  }
  char* End = nullptr;
  const long double Value = strtold_l(Text, &End, NumberLocale());
  const std::size_t Converted = static_cast<std::size_t>(End - Text);
  if (Converted != TextLen || !std::isfinite(Value)) {
    FMathError = true;
    FTokenError = ErrInvalidNum;
    // An overflowing number converts to its end; blame its first character.
    FPosition = Start + static_cast<std::uint32_t>(Converted != TextLen ? Converted : 0);
    FTokenLen = 0;
    return Bad;
  }
  FCurrToken.Value = Value;
  FPosition = static_cast<std::uint32_t>(I + 1);
  FTokenLen = FPosition - Start;
  return Num;
}

TokenTypes TMathParser::NextToken() {
  const std::size_t Len = FParseString.size();
  while (FPosition <= Len && FParseString[FPosition - 1] == ' ')
    ++FPosition;
  const std::uint32_t Start = FPosition;
  FTokenLen = 0;
  if (FPosition > Len)
    return EOL;

  const char Ch = AsciiUpper(FParseString[FPosition - 1]);
  if (Ch == '!')
    return ERR;
  if (IsDigit(Ch) || Ch == '.')
    return ScanNumber();

  TokenTypes Kind;
  if (IsLetter(Ch)) {
    const std::size_t IdentLen = IdentLength();
    bool IsFuncName = false;
    for (std::string_view Name : FuncNames)
      if (Name.size() == IdentLen && IsFunc(Name)) {
        IsFuncName = true;
        break;
      }
    if (IsFuncName)
      Kind = Func;
    else if (IdentLen == 3 && IsFunc("MOD"))
      Kind = Modu;
    else
      // An unknown identifier stays consumed, so that stepping back over it
      // puts the position of the error on its first character.
      Kind = IsVar(FCurrToken.Value) ? Num : Bad;
  } else {
    switch (Ch) {
    case '+':
      Kind = Plus;
      break;
    case '-':
      Kind = Minus;
      break;
    case '*':
      Kind = Times;
      break;
    case '/':
      Kind = Divide;
      break;
    case '^':
      Kind = Expo;
      break;
    case '(':
      Kind = OParen;
      break;
    case ')':
      Kind = CParen;
      break;
    default:
      return Bad;
    }
    ++FPosition;
  }
  FTokenLen = FPosition - Start;
  return Kind;
}

void TMathParser::Shift(std::uint8_t State) {
  TokenRec* Slot = Push(State);
  // A token that did not fit stays the lookahead, so the error points at it.
  if (!Slot)
    return;
  // Only the live member is copied (an operator carries none): copying the
  // whole record right after its state byte was written stalls the CPU.
  if (FTokenType == Func)
    std::memcpy(Slot->FuncName, FCurrToken.FuncName, sizeof(Slot->FuncName));
  else if (FTokenType == Num)
    Slot->Value = FCurrToken.Value;
  ReduceUnits();
  FTokenType = NextToken();
}

void TMathParser::ReduceUnits() {
  // Every number and every closing parenthesis leads through two or three of
  // these states. They need no lookahead, and as the entry below the top
  // stays the same, the chain runs in registers instead of round trips
  // through the parse loop and the stack.
  const std::uint8_t Below = FStack[FStackTop - 1].State;
  std::uint8_t State = FStack[FStackTop].State;
  std::uint8_t Phrase = UnitStates.Phrase[State];
  if (Phrase == NoState)
    return;
  do {
    State = GotoNext(Phrase, Below);
    Phrase = UnitStates.Phrase[State];
  } while (Phrase != NoState);
  FStack[FStackTop].State = State;
}

inline std::uint8_t TMathParser::GotoState(int Production) const {
  return GotoNext(PhraseOf(Production), FStack[FStackTop].State);
}

long double TMathParser::EvalFunction(const char* FuncName, long double X) {
  // Outside a domain the result is NaN, which the finiteness test below turns
  // into a math error together with every overflow.
  constexpr long double Outside = std::numeric_limits<long double>::quiet_NaN();
  const std::string_view Name(FuncName);
  long double Result;
  if (Name == "ABS")
    Result = std::fabs(X);
  else if (Name == "ATAN")
    Result = std::atan(X);
  else if (Name == "COS")
    Result = InRange(X, -9E18L, 9E18L) ? std::cos(X) : Outside;
  else if (Name == "EXP")
    Result = InRange(X, -11356.0L, 11356.0L) ? std::exp(X) : Outside;
  else if (Name == "LN")
    Result = X > 0 ? std::log(X) : Outside;
  else if (Name == "ROUND")
    Result = InRange(X, -1E9L, 1E9L) ? RoundHalfEven(X) : Outside;
  else if (Name == "SIN")
    Result = InRange(X, -9E18L, 9E18L) ? std::sin(X) : Outside;
  else if (Name == "SQRT")
    Result = X >= 0 ? std::sqrt(X) : Outside;
  else if (Name == "SQR")
    Result = InRange(X, -1E2466L, 1E2466L) ? X * X : Outside;
  else if (Name == "TRUNC")
    Result = InRange(X, -1E9L, 1E9L) ? std::trunc(X) : Outside;
  else
    InvalidReduction();
  if (!std::isfinite(Result)) {
    FMathError = true;
    return 0;
  }
  return Result;
}

inline void TMathParser::Reduce(int Reduction) {
  if (IsUnitProduction(Reduction)) {
    // One entry in, the same value out: only its state changes. Popping and
    // pushing would move the value through two slow 80-bit transfers.
    FStack[FStackTop].State = GotoNext(PhraseOf(Reduction), FStack[FStackTop - 1].State);
  } else {
    ReduceRule(Reduction);
  }
}

void TMathParser::ReduceRule(int Reduction) {
  long double Value = 0;
  switch (Reduction) {
  case 1:
  case 2:
  case 4:
  case 5:
  case 7: {
    const long double Right = Pop().Value;
    Pop();
    const long double Left = Pop().Value;
    bool Valid = true;
    switch (Reduction) {
    case 1:
      Value = Left + Right;
      break;
    case 2:
      Value = Left - Right;
      break;
    case 4:
      Value = Left * Right;
      break;
    case 5:
      Valid = Right != 0;
      if (Valid)
        Value = Left / Right;
      break;
    default: {
      // Powers are only taken of positive bases and only where ln(b)*e
      // keeps the result inside the range of the type.
      Valid = Left > 0;
      if (Valid) {
        const long double L = std::log(Left) * Right;
        Valid = InRange(L, -11356.0L, 11356.0L);
        if (Valid)
          Value = std::pow(Left, Right);
      }
    }
    }
    if (!Valid || !std::isfinite(Value)) {
      FMathError = true;
      Value = 0;
    }
    break;
  }
  case 9:
    Value = -Pop().Value;
    Pop();
    break;
  case 14:
    Pop();
    Value = Pop().Value;
    Pop();
    break;
  case 16: {
    Pop();
    const long double Argument = Pop().Value;
    Pop();
    Value = EvalFunction(Pop().FuncName, Argument);
    break;
  }
  case 100: {
    const long double Divisor = RoundHalfEven(Pop().Value);
    Pop();
    const long double Dividend = RoundHalfEven(Pop().Value);
    if (!FitsInt64(Dividend) || !FitsInt64(Divisor) || Divisor == 0) {
      FMathError = true;
    } else {
      const auto A = static_cast<std::int64_t>(Dividend);
      const auto B = static_cast<std::int64_t>(Divisor);
      // INT64_MIN % -1 traps on x86-64; the remainder is 0 for every A.
      Value = B == -1 ? 0.0L : static_cast<long double>(A % B);
    }
    break;
  }
  default:
    InvalidReduction();
  }
  // The right-hand side was popped, so there is always room.
  Push(GotoState(Reduction))->Value = Value;
  ReduceUnits();
}

void TMathParser::Parse() {
  FPosition = 1;
  FStackTop = 0;
  FTokenError = ErrNone;
  FTokenLen = 0;
  FMathError = false;
  FHasError = false;
  FResultValue = 0;

  bool Accepted = false;
  if (FParseString.size() > MaxExpressionLength) {
    FTokenError = ErrParserStack;
  } else {
    Push(0)->Value = 0;
    FTokenType = NextToken();
  }

  while (!Accepted && FTokenError == ErrNone) {
    const TAction Action = ActionTable.Rows[FStack[FStackTop].State][static_cast<int>(FTokenType)];
    switch (Action.Kind) {
    case akShift:
      Shift(Action.Arg);
      break;
    case akReduce:
      Reduce(Action.Arg);
      break;
    case akAccept:
      Accepted = true;
      break;
    case akAcceptErr:
      // "!" in place of an operand fails the value; the rest is not read.
      FMathError = true;
      Accepted = true;
      break;
    case akError:
      FTokenError = Action.Arg;
      break;
    case akBadState:
      BadTokenState();
    }
  }

  if (FTokenError != ErrNone)
    FPosition -= FTokenLen;
  // The results are in place before the handler runs, so it may read them.
  FHasError = FMathError || FTokenError != ErrNone;
  FResultValue = FHasError ? 0 : FStack[FStackTop].Value;
  if (FTokenError != ErrNone && FOnParseError)
    FOnParseError(this, FTokenError);
}

} // namespace Deskbay
