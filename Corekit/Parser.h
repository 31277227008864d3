#pragma once

// TMathParser reads one arithmetic expression and evaluates it to a long
// double in the same pass: a table-driven shift/reduce parser over a
// hand-written scanner. It knows numbers, + - * / ^, MOD, parentheses and the
// functions ABS ATAN COS EXP LN ROUND SIN SQRT SQR TRUNC; every other
// identifier is a variable whose value the owner supplies through OnGetVar.
//
// Precedence, loosest first: binary + and - (left); * and / (left); MOD
// (left, and only at the start of a term: a*b MOD c is error 4); ^ (right);
// unary minus, which applies to a primary only, so -2^2 is (-2)^2; then
// parentheses and function calls.
//
// Parse never raises for bad input. A syntax error sets GetParseError to one
// of the Err* codes below, stops the parse and calls OnParseError once; a math
// error (division or MOD by zero, a function argument outside its domain, a
// power with a base <= 0, a result that is not finite, "!" where an operand
// belongs) only sets HasError, and the parse runs on so that a later syntax
// error still wins. Exceptions raised by OnGetVar pass out of Parse unchanged.
//
// Numbers are digits with at most one ".", then optionally "E" or "e", an
// optional sign and at most four exponent digits. "." is the decimal point
// whatever the process locale says. "5." converts to 5; a number without any
// digit before its exponent (" .", ".E5") does not convert (error 7), and a
// lone "." at the very start of the text is no number at all (error 3). A
// number converts with all of its digits, however many; one beyond the range
// of long double does not convert (error 7), one too small becomes 0.
//
// Texts longer than MaxExpressionLength characters are refused with
// ErrParserStack ("too complex") at position 1, before any scanning.
//
// Evaluation allocates nothing (short of a number of 128 characters or more):
// the text is scanned in place and OnGetVar receives a view of the identifier
// as written, valid during the call only. The handler must not change the
// parser it is called from.

#include "CorekitExport.h"
#include "SysUtils.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Deskbay {

enum class TokenTypes : std::uint8_t {
  Plus,
  Minus,
  Times,
  Divide,
  Expo,
  OParen,
  CParen,
  Num, // a number, or a variable whose value was found
  Func,
  EOL,
  Bad, // starts no token, or an identifier nobody knows
  ERR, // "!"
  Modu
};

// One entry of the parse stack, and the lookahead record. A Func entry
// carries only its upper-case name, every other entry only its value.
struct TokenRec {
  std::uint8_t State;
  union {
    char FuncName[6];
    long double Value;
  };
};

// Syntax error codes, 0 = none.
using ErrorRange = int;
constexpr ErrorRange ErrNone = 0;
constexpr ErrorRange ErrParserStack = 1;  // the parse stack is full, or the text too long
constexpr ErrorRange ErrBadRange = 2;     // never raised by the parser; the owner's own code
constexpr ErrorRange ErrExpression = 3;   // an operand was expected
constexpr ErrorRange ErrOperator = 4;     // an operator or the end was expected
constexpr ErrorRange ErrOpenParen = 5;    // a function name without "("
constexpr ErrorRange ErrOpCloseParen = 6; // inside parentheses: an operator or ")" was expected
constexpr ErrorRange ErrInvalidNum = 7;   // the text of a number does not convert

using TGetVarEvent =
    std::function<void(TObject* Sender, std::string_view VarName, long double& Value, bool& Found)>;
using TParseErrorEvent = std::function<void(TObject* Sender, int ParseError)>;

class TCompiledExpression;

class COREKIT_API TMathParser : public TObject {
public:
  static constexpr int ParserStackSize = 100;
  static constexpr std::size_t MaxExpressionLength = 65535;

  TMathParser() = default;
  TMathParser(const TMathParser&) = delete;
  TMathParser& operator=(const TMathParser&) = delete;

  const char* ClassName() const override;

  void SetParseString(std::string_view Value);
  const std::string& GetParseString() const { return FParseString; }

  void SetOnGetVar(TGetVarEvent Value) { FOnGetVar = std::move(Value); }
  const TGetVarEvent& GetOnGetVar() const { return FOnGetVar; }
  void SetOnParseError(TParseErrorEvent Value) { FOnParseError = std::move(Value); }
  const TParseErrorEvent& GetOnParseError() const { return FOnParseError; }

  // Parses and evaluates ParseString. Afterwards GetHasError tells failure
  // and GetResultValue holds the value (0 on failure).
  void Parse();

  bool GetHasError() const { return FHasError; }
  long double GetResultValue() const { return FResultValue; }
  // The syntax error code of the last Parse (ErrNone after a math error).
  ErrorRange GetParseError() const { return FTokenError; }
  // 1-based; after a syntax error the first character of the offending token
  // (one past the end for a missing token), after error 7 the character
  // where the number stopped converting.
  int GetPosition() const { return static_cast<int>(FPosition); }

private:
  friend class TCompiledExpression;

  // Hidden, so that the calls among them bind inside the library and inline;
  // an exported member is called through the PLT even from its own class.
#define DESKBAY_PARSER_INTERNAL __attribute__((visibility("hidden")))
  DESKBAY_PARSER_INTERNAL TokenTypes NextToken();
  DESKBAY_PARSER_INTERNAL TokenTypes ScanNumber();
  DESKBAY_PARSER_INTERNAL std::size_t IdentLength() const;
  DESKBAY_PARSER_INTERNAL bool IsFunc(std::string_view FuncName);
  DESKBAY_PARSER_INTERNAL bool IsVar(long double& Value);
  // A new top entry with State, for the caller to fill in; nullptr and
  // ErrParserStack when the stack is full.
  DESKBAY_PARSER_INTERNAL TokenRec* Push(std::uint8_t State);
  // The popped entry stays readable until the next Push.
  DESKBAY_PARSER_INTERNAL const TokenRec& Pop();
  DESKBAY_PARSER_INTERNAL void Shift(std::uint8_t State);
  DESKBAY_PARSER_INTERNAL void Reduce(int Reduction);
  DESKBAY_PARSER_INTERNAL void ReduceRule(int Reduction); // every production but the unit ones
  DESKBAY_PARSER_INTERNAL void ReduceUnits();
  DESKBAY_PARSER_INTERNAL std::uint8_t GotoState(int Production) const;
  DESKBAY_PARSER_INTERNAL long double EvalFunction(const char* FuncName, long double X);
  DESKBAY_PARSER_INTERNAL void RecordShift();
  DESKBAY_PARSER_INTERNAL void RecordReduction(int Reduction, const char* FuncName);
#undef DESKBAY_PARSER_INTERNAL

  std::string FParseString;
  TGetVarEvent FOnGetVar;
  TParseErrorEvent FOnParseError;
  TokenRec FCurrToken{};
  TokenTypes FTokenType = TokenTypes::EOL;
  bool FMathError = false;
  TokenRec FStack[ParserStackSize + 1]{}; // 1-based, as the stack top counts entries
  std::uint8_t FStackTop = 0;
  ErrorRange FTokenError = ErrNone;
  std::uint32_t FTokenLen = 0;
  std::uint32_t FPosition = 1;
  long double FResultValue = 0;
  bool FHasError = false;
  // While a TCompiledExpression is being made: where the program goes, and
  // the slot of the variable just scanned (-1 after any other token).
  TCompiledExpression* FRecorder = nullptr;
  const std::function<int(std::string_view)>* FSlotOf = nullptr;
  int FScannedSlot = -1;
  bool FAcceptedErr = false;
};

// How the evaluation of a compiled expression ended.
enum class TEvalStatus : std::uint8_t {
  Ok,
  MathError,   // HasError with no syntax error code
  SyntaxError, // GetParseError and GetPosition tell which and where
  Undefined    // a variable had no value; Undefined names the occurrence
};

struct TEvalResult {
  long double Value; // 0 unless Ok
  TEvalStatus Status;
  int Undefined; // index for GetVarName when Status is Undefined
};

// An expression read once and kept as a program over variable slots, to be
// evaluated any number of times. TMathParser itself reads the text, so the
// syntax is the parser's to the letter; the program then repeats its
// arithmetic operation by operation on the same 80-bit values.
//
// Evaluate answers what Parse would on the same text, had every variable
// the value its slot holds and had OnGetVar raised for the first variable
// without one: the same value bit for bit, the same syntax error code and
// position, the same first variable without a value (in the order the
// scanner meets them, the ones it meets before a syntax error included).
// Nothing in a parse has an effect but the variable lookups, so reporting
// that variable instead of raising in the middle is the same thing.
class COREKIT_API TCompiledExpression {
public:
  // The owner's slot number for a variable as written; called once for each
  // occurrence the scanner meets, in order.
  using TSlotResolver = std::function<int(std::string_view Name)>;

  void Compile(std::string_view Text, const TSlotResolver& SlotOf);

  // Values[Slot] points at the value of the variable in that slot, or is
  // nullptr while the variable has none.
  TEvalResult Evaluate(const double* const* Values) const {
    if (FShape == shConstant)
      return {FLeft.Value, TEvalStatus::Ok, -1};
    if (FShape == shProgram)
      return RunProgram(Values);
    // Checked left first: the order the scanner meets the variables.
    long double Left = FLeft.Value;
    if (FLeft.Slot >= 0) {
      if (!Values[FLeft.Slot])
        return {0, TEvalStatus::Undefined, FLeft.Occurrence};
      Left = *Values[FLeft.Slot];
    }
    if (FShape == shVariable)
      return {Left, TEvalStatus::Ok, -1};
    long double Right = FRight.Value;
    if (FRight.Slot >= 0) {
      if (!Values[FRight.Slot])
        return {0, TEvalStatus::Undefined, FRight.Occurrence};
      Right = *Values[FRight.Slot];
    }
    long double Value;
    switch (FPairCode) {
    case opAdd:
      Value = Left + Right;
      break;
    case opSub:
      Value = Left - Right;
      break;
    case opMul:
      Value = Left * Right;
      break;
    default:
      return ApplyPair(FPairCode, Left, Right);
    }
    if (!std::isfinite(Value))
      return {0, TEvalStatus::MathError, -1};
    return {Value, TEvalStatus::Ok, -1};
  }

  // Evaluate's value, rounded to double as a variable keeps it, made in
  // double arithmetic where that is exact and so the same to the bit: a
  // lone number or variable; a sum, difference or product of two numbers
  // or variables whose exact result is a double (most often whole numbers);
  // the remainder of two whole numbers; a program of whole numbers, +, -,
  // *, MOD and negation in 64-bit integers while every value stays a whole
  // number below 2^62 (those 80-bit operations are exact there). False,
  // Out left alone, wherever it might not be the same (a fraction rounded,
  // -0 where no integer has a sign, an overflow, a variable without a
  // value, a remainder by 0): Evaluate then says what it is.
  [[gnu::always_inline]] bool EvaluateQuick(const double* const* Values, double& Out) const {
    if (FShape == shProgram) {
      std::int64_t Whole;
      if (!FWhole || !RunWholeProgram(Values, Whole))
        return false;
      Out = static_cast<double>(Whole);
      return true;
    }
    double Left, Right;
    if (!FQuick || !LeafValue(FLeft, Values, Left))
      return false;
    if (FShape != shPair) {
      Out = Left;
      return true;
    }
    if (!LeafValue(FRight, Values, Right))
      return false;
    // Tests, not a jump by the operation: a jump's target is harder to
    // guess from step to step.
    if (FPairCode == opAdd || FPairCode == opSub)
      return ExactSum(Left, FPairCode == opAdd ? Right : -Right, Out);
    if (FPairCode == opMul)
      return ExactProduct(Left, Right, Out);
    std::int64_t Remainder;
    if (FPairCode != opMod || !WholeRemainder(Values, Remainder))
      return false;
    Out = static_cast<double>(Remainder);
    return true;
  }
  // EvaluateQuick's value as a whole number, exactly, for a remainder of two
  // numbers or variables and a whole-number program (made as integers), and
  // for a lone number or variable whose value is a whole number other than
  // -0 (as WholeValue finds it); false for any other expression and
  // wherever EvaluateQuick declines.
  [[gnu::always_inline]] bool EvaluateQuickWhole(const double* const* Values,
                                                 std::int64_t& Out) const {
    if (FShape == shProgram)
      return FWhole && RunWholeProgram(Values, Out);
    if (!FQuick)
      return false;
    if (FShape != shPair)
      return WholeLeaf(FLeft, Values, Out);
    return FPairCode == opMod && WholeRemainder(Values, Out);
  }
  // A lone number: its value (the same whatever the variables).
  bool IsConstant() const { return FShape == shConstant; }

  // What the parser found wrong with the text (ErrNone when nothing).
  ErrorRange GetParseError() const { return FParseError; }
  int GetPosition() const { return FPosition; }
  int GetVarCount() const { return static_cast<int>(FVars.size()); }
  // The variable occurrence as written in the text.
  const std::string& GetVarName(int Index) const { return FVars[static_cast<size_t>(Index)].Name; }

private:
  friend class TMathParser;

  enum TOpCode : std::uint8_t {
    opConst,
    opVar,
    opAdd,
    opSub,
    opMul,
    opDiv,
    opPow,
    opMod,
    opNeg,
    opFunc
  };
  // A binary operation whose right operand is a lone variable or number
  // carries it (Fused), so it needs no push of its own.
  enum TFused : std::uint8_t { fuNone, fuVar, fuConst };
  struct TOp {
    TOpCode Code;
    std::uint8_t Func; // index of the function for opFunc
    TFused Fused;
    int Slot;          // for opVar and fuVar
    int Occurrence;    // for opVar and fuVar: its index in FVars
    long double Value; // for opConst and fuConst
  };
  struct TVarRef {
    int Slot;
    std::string Name;
  };

  std::vector<TOp> FOps;      // postfix; run only when the text parsed
  std::vector<TVarRef> FVars; // every variable the scanner met, in order
  ErrorRange FParseError = ErrNone;
  int FPosition = 1;
  bool FMathError = false; // "!" where an operand belongs: fails whatever the values
  int FDepth = 0;          // the deepest the program's value stack gets

  // The commonest programs run without the value stack: a lone number or
  // variable, and a variable or number on each side of one operator.
  enum TShape : std::uint8_t { shProgram, shConstant, shVariable, shPair };
  struct TLeaf {
    int Slot = -1; // -1: the number Value
    int Occurrence = -1;
    long double Value = 0;
    double Quick = 0; // Value, where it is a double (FQuick)
    // A number's Quick as WholeValue finds it, worked out once.
    bool IsWhole = false;
    std::int64_t Whole = 0;
  };
  TShape FShape = shProgram;
  TOpCode FPairCode = opAdd;
  TLeaf FLeft, FRight;

  // For EvaluateQuick: a lone number, variable or pair whose numbers are
  // doubles; a program whose numbers are whole ones within 2^62 and whose
  // operations the integers make (FWholeValues: its numbers as integers).
  bool FQuick = false;
  bool FWhole = false;
  std::vector<std::int64_t> FWholeValues;

  static constexpr long double WholeLimit = 0x1p62L;
  [[gnu::always_inline]] static bool WholeValue(double V, std::int64_t& Out) {
    if (!(V >= -0x1p62 && V <= 0x1p62))
      return false;
    const auto I = static_cast<std::int64_t>(V);
    if (static_cast<double>(I) != V || (I == 0 && std::signbit(V)))
      return false;
    Out = I;
    return true;
  }
  // A leaf's value as a double: its number, or its variable's value.
  [[gnu::always_inline]] static bool LeafValue(const TLeaf& Leaf, const double* const* Values,
                                               double& Out) {
    if (Leaf.Slot < 0) {
      Out = Leaf.Quick;
      return true;
    }
    const double* Value = Values[Leaf.Slot];
    if (!Value)
      return false;
    Out = *Value;
    return true;
  }
  [[gnu::always_inline]] static bool WholeValue(const double* Value, std::int64_t& Out) {
    return Value && WholeValue(*Value, Out);
  }
  // A leaf's value as a whole number, as WholeValue finds it.
  [[gnu::always_inline]] static bool WholeLeaf(const TLeaf& Leaf, const double* const* Values,
                                               std::int64_t& Out) {
    if (Leaf.Slot >= 0)
      return WholeValue(Values[Leaf.Slot], Out);
    Out = Leaf.Whole;
    return Leaf.IsWhole;
  }
  // The pair's left MOD right, of two whole numbers, as the 80-bit unit
  // makes it.
  [[gnu::always_inline]] bool WholeRemainder(const double* const* Values, std::int64_t& Out) const {
    std::int64_t A, B;
    return WholeLeaf(FLeft, Values, A) && WholeLeaf(FRight, Values, B) &&
           ApplyWhole(opMod, A, B, Out);
  }
  // A + B where the exact sum is a double (its error, by Knuth's two-sum,
  // is 0): the 80-bit sum is exact too, and rounds to it.
  static bool ExactSum(double A, double B, double& Out) {
    const double S = A + B;
    const double BPart = S - A;
    const double Error = (A - (S - BPart)) + (B - BPart);
    if (Error != 0 || !(std::fabs(S) <= DBL_MAX))
      return false;
    Out = S;
    return true;
  }
  // A * B where the two significands have 53 significant bits between them,
  // so the exact product is a double unless it leaves the normal range.
  static bool ExactProduct(double A, double B, double& Out) {
    const double P = A * B;
    if (A == 0 || B == 0) {
      if (!std::isfinite(P))
        return false;
      Out = P; // a zero with the sign of the 80-bit product
      return true;
    }
    const auto Bits = [](double V) {
      std::uint64_t U;
      __builtin_memcpy(&U, &V, sizeof U);
      return U;
    };
    constexpr std::uint64_t Fraction = (std::uint64_t{1} << 52) - 1;
    const std::uint64_t SA = (Bits(A) & Fraction) | (Fraction + 1);
    const std::uint64_t SB = (Bits(B) & Fraction) | (Fraction + 1);
    if (__builtin_ctzll(SA) + __builtin_ctzll(SB) < 53 ||
        !(std::fabs(P) >= DBL_MIN && std::fabs(P) <= DBL_MAX) ||
        !(std::fabs(A) >= DBL_MIN && std::fabs(B) >= DBL_MIN))
      return false;
    Out = P;
    return true;
  }
  [[gnu::always_inline]] static bool ApplyWhole(TOpCode Code, std::int64_t Left, std::int64_t Right,
                                                std::int64_t& Out) {
    switch (Code) {
    case opAdd:
      return !__builtin_add_overflow(Left, Right, &Out);
    case opSub:
      return !__builtin_sub_overflow(Left, Right, &Out);
    case opMul:
      // A zero product of a negative number is -0.
      return !__builtin_mul_overflow(Left, Right, &Out) && (Out != 0 || (Left >= 0 && Right >= 0));
    case opMod:
      if (Right == 0)
        return false;
      Out = Right == -1 ? 0 : Left % Right;
      return true;
    default:
      return false;
    }
  }
  bool RunWholeProgram(const double* const* Values, std::int64_t& Out) const;
  TEvalResult RunProgram(const double* const* Values) const;
  static TEvalResult ApplyPair(TOpCode Code, long double Left, long double Right);
  TEvalResult EvaluateFailed(const double* const* Values) const;
};

} // namespace Deskbay
