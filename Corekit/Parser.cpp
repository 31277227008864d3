#include "Parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <locale.h>
#include <memory>
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

// The arithmetic of the productions, shared by the parser and the compiled
// programs so that both compute every value the same way. A result that is
// not finite, or an operand outside the operation's domain, sets MathError
// and gives 0.

// Productions 1, 2, 4, 5 and 7.
[[gnu::always_inline]] inline long double ApplyOperator(int Production, long double Left,
                                                        long double Right, bool& MathError) {
  long double Value = 0;
  bool Valid = true;
  switch (Production) {
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
    MathError = true;
    Value = 0;
  }
  return Value;
}

// Production 100.
inline long double ApplyMod(long double DividendValue, long double DivisorValue, bool& MathError) {
  // Whole numbers, the usual operands, are their own rounding; the test
  // costs less than rounding them.
  if (InRange(DividendValue, -0x1p62L, 0x1p62L) && InRange(DivisorValue, -0x1p62L, 0x1p62L)) {
    // Through double: a whole number below 2^53 arrives exactly, and the
    // conversion to an integer needs no switch of the x87 rounding mode,
    // which stalls the processor. Anything else fails the test below.
    const auto A = static_cast<std::int64_t>(static_cast<double>(DividendValue));
    const auto B = static_cast<std::int64_t>(static_cast<double>(DivisorValue));
    if (static_cast<long double>(A) == DividendValue &&
        static_cast<long double>(B) == DivisorValue) {
      if (B == 0) {
        MathError = true;
        return 0;
      }
      return B == -1 ? 0.0L : static_cast<long double>(A % B);
    }
  }
  const long double Divisor = RoundHalfEven(DivisorValue);
  const long double Dividend = RoundHalfEven(DividendValue);
  if (!FitsInt64(Dividend) || !FitsInt64(Divisor) || Divisor == 0) {
    MathError = true;
    return 0;
  }
  const auto A = static_cast<std::int64_t>(Dividend);
  const auto B = static_cast<std::int64_t>(Divisor);
  // INT64_MIN % -1 traps on x86-64; the remainder is 0 for every A.
  return B == -1 ? 0.0L : static_cast<long double>(A % B);
}

// Production 16; Index into FuncNames.
long double ApplyFunction(int Index, long double X, bool& MathError) {
  // Outside a domain the result is NaN, which the finiteness test below turns
  // into a math error together with every overflow.
  constexpr long double Outside = std::numeric_limits<long double>::quiet_NaN();
  long double Result;
  switch (Index) {
  case 0:
    Result = std::fabs(X);
    break;
  case 1:
    Result = std::atan(X);
    break;
  case 2:
    Result = InRange(X, -9E18L, 9E18L) ? std::cos(X) : Outside;
    break;
  case 3:
    Result = InRange(X, -11356.0L, 11356.0L) ? std::exp(X) : Outside;
    break;
  case 4:
    Result = X > 0 ? std::log(X) : Outside;
    break;
  case 5:
    Result = InRange(X, -1E9L, 1E9L) ? RoundHalfEven(X) : Outside;
    break;
  case 6:
    Result = InRange(X, -9E18L, 9E18L) ? std::sin(X) : Outside;
    break;
  case 7:
    Result = X >= 0 ? std::sqrt(X) : Outside;
    break;
  case 8:
    Result = InRange(X, -1E2466L, 1E2466L) ? X * X : Outside;
    break;
  case 9:
    Result = InRange(X, -1E9L, 1E9L) ? std::trunc(X) : Outside;
    break;
  default:
    InvalidReduction();
  }
  if (!std::isfinite(Result)) {
    MathError = true;
    return 0;
  }
  return Result;
}

int FunctionIndex(const char* FuncName) {
  const std::string_view Name(FuncName);
  for (std::size_t I = 0; I < std::size(FuncNames); ++I)
    if (FuncNames[I] == Name)
      return static_cast<int>(I);
  InvalidReduction();
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
  if (FRecorder) [[unlikely]] {
    // Compiling: every variable is taken as found; its slot is what counts.
    FScannedSlot = (*FSlotOf)(Name);
    FRecorder->FVars.push_back({FScannedSlot, std::string(Name)});
    return true;
  }
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
  FScannedSlot = -1;
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
  if (FRecorder) [[unlikely]]
    RecordShift();
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
  return ApplyFunction(FunctionIndex(FuncName), X, FMathError);
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
  const char* FuncName = nullptr;
  switch (Reduction) {
  case 1:
  case 2:
  case 4:
  case 5:
  case 7: {
    const long double Right = Pop().Value;
    Pop();
    const long double Left = Pop().Value;
    Value = ApplyOperator(Reduction, Left, Right, FMathError);
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
    FuncName = Pop().FuncName;
    Value = EvalFunction(FuncName, Argument);
    break;
  }
  case 100: {
    const long double Divisor = Pop().Value;
    Pop();
    const long double Dividend = Pop().Value;
    Value = ApplyMod(Dividend, Divisor, FMathError);
    break;
  }
  default:
    InvalidReduction();
  }
  if (FRecorder) [[unlikely]]
    RecordReduction(Reduction, FuncName);
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
  FAcceptedErr = false;
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
      FAcceptedErr = true;
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

// --- compiling ---

void TMathParser::RecordShift() {
  if (FTokenType != Num)
    return;
  TCompiledExpression::TOp Op{};
  if (FScannedSlot >= 0) {
    Op.Code = TCompiledExpression::opVar;
    Op.Slot = FScannedSlot;
    Op.Occurrence = static_cast<int>(FRecorder->FVars.size()) - 1;
  } else {
    Op.Code = TCompiledExpression::opConst;
    Op.Value = FCurrToken.Value;
  }
  FRecorder->FOps.push_back(Op);
}

void TMathParser::RecordReduction(int Reduction, const char* FuncName) {
  TCompiledExpression::TOp Op{};
  switch (Reduction) {
  case 1:
    Op.Code = TCompiledExpression::opAdd;
    break;
  case 2:
    Op.Code = TCompiledExpression::opSub;
    break;
  case 4:
    Op.Code = TCompiledExpression::opMul;
    break;
  case 5:
    Op.Code = TCompiledExpression::opDiv;
    break;
  case 7:
    Op.Code = TCompiledExpression::opPow;
    break;
  case 9:
    Op.Code = TCompiledExpression::opNeg;
    break;
  case 16:
    Op.Code = TCompiledExpression::opFunc;
    Op.Func = static_cast<std::uint8_t>(FunctionIndex(FuncName));
    break;
  case 100:
    Op.Code = TCompiledExpression::opMod;
    break;
  default:
    return; // parentheses leave the value as it is
  }
  FRecorder->FOps.push_back(Op);
}

void TCompiledExpression::Compile(std::string_view Text, const TSlotResolver& SlotOf) {
  FOps.clear();
  FVars.clear();
  auto Parser = std::make_unique<TMathParser>();
  Parser->SetParseString(Text);
  Parser->FRecorder = this;
  Parser->FSlotOf = &SlotOf;
  Parser->Parse();
  FParseError = Parser->GetParseError();
  FPosition = Parser->GetPosition();
  FMathError = Parser->FAcceptedErr;
  if (FParseError != ErrNone || FMathError)
    FOps.clear();
  const auto Leaf = [](const TOp& Op, TLeaf& Out) {
    if (Op.Code != opConst && Op.Code != opVar)
      return false;
    Out = Op.Code == opVar ? TLeaf{Op.Slot, Op.Occurrence, 0} : TLeaf{-1, -1, Op.Value};
    return true;
  };
  FShape = shProgram;
  if (FOps.size() == 1 && Leaf(FOps[0], FLeft)) {
    FShape = FOps[0].Code == opConst ? shConstant : shVariable;
  } else if (FOps.size() == 3 && Leaf(FOps[0], FLeft) && Leaf(FOps[1], FRight) &&
             FOps[2].Code >= opAdd && FOps[2].Code <= opMod) {
    FShape = shPair;
    FPairCode = FOps[2].Code;
  }
  int Depth = 0;
  FDepth = 0;
  for (const TOp& Op : FOps) {
    if (Op.Code == opConst || Op.Code == opVar)
      ++Depth;
    else if (Op.Code != opNeg && Op.Code != opFunc)
      --Depth;
    FDepth = std::max(FDepth, Depth);
  }
  Assert(FDepth <= TMathParser::ParserStackSize, "TCompiledExpression: the program is too deep");

  // In postfix the operation right after a lone variable or number takes it
  // as its right operand; the variable is still checked at the same point.
  std::vector<TOp> Fused;
  Fused.reserve(FOps.size());
  for (const TOp& Op : FOps) {
    const bool Binary = Op.Code >= opAdd && Op.Code <= opMod;
    if (Binary && !Fused.empty() && (Fused.back().Code == opVar || Fused.back().Code == opConst)) {
      TOp Leaf = Fused.back();
      Fused.pop_back();
      Leaf.Fused = Leaf.Code == opVar ? fuVar : fuConst;
      Leaf.Code = Op.Code;
      Fused.push_back(Leaf);
    } else {
      Fused.push_back(Op);
    }
  }
  FOps = std::move(Fused);

  // The whole form, where every number is a whole one and every operation
  // one the integers make exactly.
  const auto WholeNumber = [](long double V, std::int64_t& Out) {
    if (!(V >= -WholeLimit && V <= WholeLimit) || std::signbit(V) ||
        V != static_cast<long double>(static_cast<std::int64_t>(V)))
      return false;
    Out = static_cast<std::int64_t>(V);
    return true;
  };
  FWhole = FShape == shProgram && !FOps.empty();
  FWholeValues.assign(FOps.size(), 0);
  for (size_t I = 0; I < FOps.size() && FWhole; ++I) {
    const TOp& Op = FOps[I];
    const bool Operation = Op.Code == opConst || Op.Code == opVar || Op.Code == opAdd ||
                           Op.Code == opSub || Op.Code == opMul || Op.Code == opMod ||
                           Op.Code == opNeg;
    const bool Number = Op.Code == opConst || Op.Fused == fuConst;
    FWhole = Operation && (!Number || WholeNumber(Op.Value, FWholeValues[I]));
  }
  // The numbers of a lone number, variable or pair as doubles, where they are.
  const auto Double = [](TLeaf& L) {
    L.Quick = static_cast<double>(L.Value);
    L.IsWhole = L.Slot < 0 && WholeValue(L.Quick, L.Whole);
    return L.Slot >= 0 ||
           (static_cast<long double>(L.Quick) == L.Value && std::fabs(L.Value) <= DBL_MAX);
  };
  FQuick = FShape != shProgram && Double(FLeft) && (FShape != shPair || Double(FRight));
}

bool TCompiledExpression::RunWholeProgram(const double* const* Values, std::int64_t& Out) const {
  std::int64_t Below[TMathParser::ParserStackSize + 1];
  int Depth = 0;
  std::int64_t Top = 0;
  const std::int64_t* Numbers = FWholeValues.data();
  // One jump for each operation, by its code and the form of its right
  // operand, as RunProgram goes.
#define DESKBAY_WHOLE(Code)                                                                        \
  case Code: {                                                                                     \
    const std::int64_t Right = Top;                                                                \
    if (!ApplyWhole(Code, Below[--Depth], Right, Top))                                             \
      return false;                                                                                \
    break;                                                                                         \
  }                                                                                                \
  case Code | fuVar << 4: {                                                                        \
    std::int64_t Right;                                                                            \
    if (!WholeValue(Values[Op.Slot], Right) || !ApplyWhole(Code, Top, Right, Top))                 \
      return false;                                                                                \
    break;                                                                                         \
  }                                                                                                \
  case Code | fuConst << 4:                                                                        \
    if (!ApplyWhole(Code, Top, Numbers[I], Top))                                                   \
      return false;                                                                                \
    break;
  for (size_t I = 0; I < FOps.size(); ++I) {
    const TOp& Op = FOps[I];
    switch (Op.Code | Op.Fused << 4) {
    case opConst:
      Below[Depth++] = Top;
      Top = Numbers[I];
      break;
    case opVar:
      Below[Depth++] = Top;
      if (!WholeValue(Values[Op.Slot], Top))
        return false;
      break;
    case opNeg:
      if (Top == 0 || __builtin_sub_overflow(std::int64_t{0}, Top, &Top))
        return false; // -0, or beyond the integers
      break;
      DESKBAY_WHOLE(opAdd)
      DESKBAY_WHOLE(opSub)
      DESKBAY_WHOLE(opMul)
      DESKBAY_WHOLE(opMod)
    default:
      return false;
    }
  }
#undef DESKBAY_WHOLE
  Out = Top;
  return true;
}

TEvalResult TCompiledExpression::ApplyPair(TOpCode Code, long double Left, long double Right) {
  static constexpr int Productions[] = {0, 0, 1, 2, 4, 5, 7};
  bool MathError = false;
  const long double Value = Code == opMod
                                ? ApplyMod(Left, Right, MathError)
                                : ApplyOperator(Productions[Code], Left, Right, MathError);
  if (MathError)
    return {0, TEvalStatus::MathError, -1};
  return {Value, TEvalStatus::Ok, -1};
}

// A text that does not parse: the variables met before the error still
// count, then the error.
TEvalResult TCompiledExpression::EvaluateFailed(const double* const* Values) const {
  for (std::size_t I = 0; I < FVars.size(); ++I)
    if (!Values[FVars[I].Slot])
      return {0, TEvalStatus::Undefined, static_cast<int>(I)};
  if (FParseError != ErrNone)
    return {0, TEvalStatus::SyntaxError, -1};
  return {0, TEvalStatus::MathError, -1};
}

TEvalResult TCompiledExpression::RunProgram(const double* const* Values) const {
  if (FOps.empty())
    return EvaluateFailed(Values);

  // The top of the value stack stays in Top; the entries below it, in
  // Below. The operands come in the order the scanner met them, so the first
  // variable without a value found here is the one the parser would ask for
  // first.
  long double Below[TMathParser::ParserStackSize + 1];
  int Depth = 0;
  long double Top = 0;
  bool MathError = false;
  // A binary operation in its three forms: both operands on the stack, or
  // the right one a variable or a number of its own.
#define DESKBAY_BINARY(Code, Apply)                                                                \
  case Code: {                                                                                     \
    const long double Right = Top;                                                                 \
    Top = Apply(Below[--Depth], Right);                                                            \
    break;                                                                                         \
  }                                                                                                \
  case Code | fuVar << 4: {                                                                        \
    const double* Value = Values[Op.Slot];                                                         \
    if (!Value)                                                                                    \
      return {0, TEvalStatus::Undefined, Op.Occurrence};                                           \
    Top = Apply(Top, *Value);                                                                      \
    break;                                                                                         \
  }                                                                                                \
  case Code | fuConst << 4:                                                                        \
    Top = Apply(Top, Op.Value);                                                                    \
    break;
  const auto Add = [&MathError](long double L, long double R) {
    return ApplyOperator(1, L, R, MathError);
  };
  const auto Sub = [&MathError](long double L, long double R) {
    return ApplyOperator(2, L, R, MathError);
  };
  const auto Mul = [&MathError](long double L, long double R) {
    return ApplyOperator(4, L, R, MathError);
  };
  const auto Div = [&MathError](long double L, long double R) {
    return ApplyOperator(5, L, R, MathError);
  };
  const auto Pow = [&MathError](long double L, long double R) {
    return ApplyOperator(7, L, R, MathError);
  };
  const auto Mod = [&MathError](long double L, long double R) { return ApplyMod(L, R, MathError); };
  for (const TOp& Op : FOps) {
    switch (Op.Code | Op.Fused << 4) {
    case opConst:
      Below[Depth++] = Top;
      Top = Op.Value;
      break;
    case opVar: {
      const double* Value = Values[Op.Slot];
      if (!Value)
        return {0, TEvalStatus::Undefined, Op.Occurrence};
      Below[Depth++] = Top;
      Top = *Value;
      break;
    }
      DESKBAY_BINARY(opAdd, Add)
      DESKBAY_BINARY(opSub, Sub)
      DESKBAY_BINARY(opMul, Mul)
      DESKBAY_BINARY(opDiv, Div)
      DESKBAY_BINARY(opPow, Pow)
      DESKBAY_BINARY(opMod, Mod)
    case opNeg:
      Top = -Top;
      break;
    case opFunc:
      Top = ApplyFunction(Op.Func, Top, MathError);
      break;
    }
  }
#undef DESKBAY_BINARY
  if (MathError)
    return {0, TEvalStatus::MathError, -1};
  return {Top, TEvalStatus::Ok, -1};
}

} // namespace Deskbay
