#include "Conditions.h"

#include "SysUtils.h"

namespace Deskbay {

namespace {

[[noreturn]] void BadCondition(const std::string& Text) {
  // Concatenated rather than formatted, so a text with a NUL byte is quoted whole.
  throw Exception("Bad condition: \"" + Text + "\".");
}

} // namespace

bool IsLatinChar(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

void SplitCondition(const std::string& S, std::string& Left, std::string& Right, std::string& Op) {
  const std::size_t P = S.find_first_of("<=>");
  // A left side, and at least one character after the operator's first one.
  if (P == std::string::npos || P == 0 || P + 1 >= S.size())
    BadCondition(S);
  std::string Operator(1, S[P]);
  const char Next = S[P + 1];
  if (Next == '=') {
    if (Operator == "=")
      BadCondition(S);
    Operator += Next;
  } else if (Next == '>') {
    if (Operator != "<")
      BadCondition(S);
    Operator += Next;
  }
  const std::size_t RightStart = P + Operator.size();
  if (RightStart >= S.size())
    BadCondition(S);
  Left = S.substr(0, P);
  Right = S.substr(RightStart);
  Op = std::move(Operator);
}

bool CompareExtended(long double A, long double B, const std::string& Op) {
  return CompareExtended(A, B, CompareOpFromText(Op));
}

TCompareOp CompareOpFromText(const std::string& Op) {
  if (Op == "<")
    return TCompareOp::Less;
  if (Op == ">")
    return TCompareOp::Greater;
  if (Op == "=")
    return TCompareOp::Equal;
  if (Op == "<>")
    return TCompareOp::NotEqual;
  if (Op == "<=")
    return TCompareOp::LessOrEqual;
  if (Op == ">=")
    return TCompareOp::GreaterOrEqual;
  BadCondition(Op);
}

} // namespace Deskbay
