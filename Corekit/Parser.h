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

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

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
};

} // namespace Deskbay
