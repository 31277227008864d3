#pragma once

// Comparisons of the flowchart's conditions. A condition holds exactly one
// comparison of two arithmetic expressions and no logical connectives; it is
// split here and both sides go to the expression parser separately.

#include "CorekitExport.h"

#include <cstdint>
#include <string>

namespace Deskbay {

// True exactly for "A"-"Z" and "a"-"z".
COREKIT_API bool IsLatinChar(char C);

// Splits S at its first "<", "=" or ">" into the text before it, the
// operator ("<", ">", "=", "<=", ">=" or "<>") and the text after it; neither
// side is trimmed. Both sides must be non-empty. "A=<B" is A, "=" and "<B";
// "==", "=>" and ">>" are refused. Raises Exception "Bad condition: "S"."
// and leaves the outputs alone when S does not split.
COREKIT_API void SplitCondition(const std::string& S, std::string& Left, std::string& Right,
                                std::string& Op);

// Exact comparison, no tolerance, by one of the operators SplitCondition
// yields; any other operator raises Exception "Bad condition: "Op".".
COREKIT_API bool CompareExtended(long double A, long double B, const std::string& Op);

// The operators as a value, for conditions that are split once and compared
// many times.
enum class TCompareOp : std::uint8_t {
  Less,
  Greater,
  Equal,
  NotEqual,
  LessOrEqual,
  GreaterOrEqual
};

// The operator of a SplitCondition text; raises as CompareExtended does
// for any other.
COREKIT_API TCompareOp CompareOpFromText(const std::string& Op);

// Both comparisons, on whichever values they are given.
template <class TValue> inline bool CompareValues(TValue A, TValue B, TCompareOp Op) {
  switch (Op) {
  case TCompareOp::Less:
    return A < B;
  case TCompareOp::Greater:
    return A > B;
  case TCompareOp::Equal:
    return A == B;
  case TCompareOp::NotEqual:
    return A != B;
  case TCompareOp::LessOrEqual:
    return A <= B;
  case TCompareOp::GreaterOrEqual:
    break;
  }
  return A >= B;
}

inline bool CompareExtended(long double A, long double B, TCompareOp Op) {
  return CompareValues(A, B, Op);
}

// The same for two doubles, without the 80-bit unit.
inline bool CompareDoubles(double A, double B, TCompareOp Op) {
  return CompareValues(A, B, Op);
}

} // namespace Deskbay
