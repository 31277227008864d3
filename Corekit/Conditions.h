#pragma once

// Comparisons of the flowchart's conditions. A condition holds exactly one
// comparison of two arithmetic expressions and no logical connectives; it is
// split here and both sides go to the expression parser separately.

#include "CorekitExport.h"

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

} // namespace Deskbay
