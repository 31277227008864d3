#include "Flowimport_Expr.h"

namespace Deskbay {

namespace {

std::string Operand(const TPiece& P, int Needed) {
  return P.Level >= Needed ? P.Text : "(" + P.Text + ")";
}

} // namespace

TPiece TPiece::Number(const std::string& Text) {
  TPiece P;
  P.Text = Text;
  P.Shape = psNumber;
  return P;
}

TPiece TPiece::Variable(const std::string& Key) {
  TPiece P;
  P.Text = VariableMarker(Key);
  P.Shape = psVariable;
  return P;
}

TPiece TPiece::Negate(const TPiece& A) {
  TPiece P;
  P.Text = "-" + Operand(A, 5);
  P.Level = 4;
  P.Shape = psNegate;
  P.Args = std::make_shared<TPiece>(A);
  return P;
}

namespace {

// Around a negation, the parentheses of a power's or MOD's operand say
// nothing: the language binds the sign tighter than both.
const TPiece& WithoutParensOfNegation(const TPiece& P) {
  return P.Shape == TPiece::psParens && P.Args->Shape == TPiece::psNegate ? *P.Args : P;
}

} // namespace

TPiece TPiece::Binary(char Op, const TPiece& InL, const TPiece& InR) {
  const bool Tight = Op == '^' || Op == 'M';
  const TPiece& L = Tight ? WithoutParensOfNegation(InL) : InL;
  const TPiece& R = Tight ? WithoutParensOfNegation(InR) : InR;
  // The grammar of the language: a sum of products; a product's left
  // operand a product or less, its right operand a power; MOD between
  // powers; a power's base a signed operand, its exponent a power.
  TPiece P;
  switch (Op) {
  case '+':
  case '-':
    P.Text = Operand(L, 0) + Op + Operand(R, 1);
    P.Level = 0;
    break;
  case '*':
  case '/':
    P.Text = Operand(L, 1) + Op + Operand(R, 3);
    P.Level = 1;
    break;
  case 'M':
    P.Text = Operand(L, 2) + " MOD " + Operand(R, 3);
    P.Level = 2;
    break;
  default:
    P.Text = Operand(L, 4) + "^" + Operand(R, 3);
    P.Level = 3;
    break;
  }
  P.Op = Op;
  P.Left = std::make_shared<TPiece>(L);
  P.Right = std::make_shared<TPiece>(R);
  return P;
}

TPiece TPiece::Call(const std::string& Func, const TPiece& Arg) {
  TPiece P;
  P.Text = Func + "(" + Arg.Text + ")";
  P.Shape = psCall;
  P.Func = Func;
  P.Args = std::make_shared<TPiece>(Arg);
  return P;
}

TPiece TPiece::Parens(const TPiece& A) {
  TPiece P;
  P.Text = "(" + A.Text + ")";
  P.Shape = psParens;
  P.Args = std::make_shared<TPiece>(A);
  return P;
}

bool TPiece::IsWholeNumber() const {
  return IsNumber() && Text.find_first_of(".eE") == std::string::npos;
}

std::string TPiece::VariableKey() const {
  const TPiece& U = Unwrapped();
  return U.Shape == psVariable ? U.Text.substr(1, U.Text.size() - 2) : std::string();
}

const TPiece& TPiece::Unwrapped() const {
  const TPiece* P = this;
  while (P->Shape == psParens)
    P = P->Args.get();
  return *P;
}

std::string VariableMarker(const std::string& Key) {
  return "\x01" + Key + "\x02";
}

std::string NegatedComparison(const std::string& Op) {
  if (Op == "<")
    return ">=";
  if (Op == ">=")
    return "<";
  if (Op == ">")
    return "<=";
  if (Op == "<=")
    return ">";
  if (Op == "=")
    return "<>";
  return "=";
}

} // namespace Deskbay
