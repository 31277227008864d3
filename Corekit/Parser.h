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
  };
  TShape FShape = shProgram;
  TOpCode FPairCode = opAdd;
  TLeaf FLeft, FRight;

  TEvalResult RunProgram(const double* const* Values) const;
  static TEvalResult ApplyPair(TOpCode Code, long double Left, long double Right);
  TEvalResult EvaluateFailed(const double* const* Values) const;
};

} // namespace Deskbay
