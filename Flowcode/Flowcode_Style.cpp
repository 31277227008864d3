#include "Flowcode_Style.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace Deskbay {

void TCodeSink::Line(const std::string& Text) {
  std::string L;
  for (int I = 0; I < FDepth; ++I)
    L += FIndentUnit;
  FLines.push_back(L + Text);
  FOwners.push_back(FBlock);
}

namespace {

bool IsWholeLiteral(const std::string& Text) {
  size_t Digits = 0;
  for (char C : Text) {
    if (C < '0' || C > '9')
      return false;
    if (Digits || C != '0')
      ++Digits;
  }
  return Digits <= 9;
}

bool IsBinary(TCodeExpr::TKind K) {
  return K == TCodeExpr::ekAdd || K == TCodeExpr::ekSubtract || K == TCodeExpr::ekMultiply ||
         K == TCodeExpr::ekDivide;
}

const char* OperatorText(TCodeExpr::TKind K) {
  switch (K) {
  case TCodeExpr::ekAdd:
    return " + ";
  case TCodeExpr::ekSubtract:
    return " - ";
  case TCodeExpr::ekMultiply:
    return " * ";
  default:
    return " / ";
  }
}

} // namespace

bool IsIntegral(const TCodeExpr& E) {
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    return IsWholeLiteral(E.Text);
  case TCodeExpr::ekNegate:
  case TCodeExpr::ekParens:
    return IsIntegral(E.Args[0]);
  default:
    return IsBinary(E.Kind) && IsIntegral(E.Args[0]) && IsIntegral(E.Args[1]);
  }
}

bool IsConstant(const TCodeExpr& E) {
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    return true;
  case TCodeExpr::ekNegate:
  case TCodeExpr::ekParens:
    return IsConstant(E.Args[0]);
  default:
    return IsBinary(E.Kind) && IsConstant(E.Args[0]) && IsConstant(E.Args[1]);
  }
}

const char* FunctionLimit(const std::string& Name) {
  if (Name == "ROUND" || Name == "TRUNC")
    return "1e9";
  if (Name == "SIN" || Name == "COS")
    return "9e18";
  if (Name == "EXP")
    return "11356";
  return nullptr;
}

TCodeStyle::TWhole TCodeStyle::Wholeness(const TCodeExpr& E) const {
  if (!Analysing())
    return FindWholeness(E);
  const auto It = FWholes.find(&E);
  if (It != FWholes.end())
    return It->second;
  return FWholes[&E] = FindWholeness(E);
}

TCodeStyle::TWhole TCodeStyle::FindWholeness(const TCodeExpr& E) const {
  switch (E.Kind) {
  case TCodeExpr::ekNegate:
  case TCodeExpr::ekParens:
    return Wholeness(E.Args[0]);
  case TCodeExpr::ekAdd:
  case TCodeExpr::ekSubtract:
  case TCodeExpr::ekMultiply:
  case TCodeExpr::ekDivide:
    break;
  default:
    return LeafWholeness(E);
  }
  const TWhole L = Wholeness(E.Args[0]), R = Wholeness(E.Args[1]);
  TWhole W;
  W.Numbers = L.Numbers && R.Numbers;
  W.Whole = E.Kind != TCodeExpr::ekDivide && L.Whole && R.Whole && !W.Numbers && FitsWhole(E, L, R);
  W.Bound = E.Kind == TCodeExpr::ekMultiply ? L.Bound * R.Bound : L.Bound + R.Bound;
  return W;
}

long double TCodeStyle::Bound(const TCodeExpr& E) const {
  if (!FAnalysing)
    return FindBound(E);
  const auto It = FBounds.find(&E);
  if (It != FBounds.end())
    return It->second;
  return FBounds[&E] = FindBound(E);
}

long double TCodeStyle::FindBound(const TCodeExpr& E) const {
  constexpr long double Unknown = std::numeric_limits<long double>::infinity();
  const auto Product = [](long double A, long double B) { return A == 0 || B == 0 ? 0 : A * B; };
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    return std::fabs(E.Value);
  case TCodeExpr::ekVariable: {
    const auto It = FCounterRanges.find(E.Text);
    return It == FCounterRanges.end() ? Unknown : It->second.second;
  }
  case TCodeExpr::ekNegate:
  case TCodeExpr::ekParens:
    return Bound(E.Args[0]);
  case TCodeExpr::ekAdd:
  case TCodeExpr::ekSubtract:
    return Bound(E.Args[0]) + Bound(E.Args[1]);
  case TCodeExpr::ekMultiply:
    return Product(Bound(E.Args[0]), Bound(E.Args[1]));
  case TCodeExpr::ekDivide:
    // Only a quotient by a number is bounded by its dividend.
    if (E.Args[1].Kind == TCodeExpr::ekNumber && E.Args[1].Value != 0)
      return Bound(E.Args[0]) / std::fabs(E.Args[1].Value);
    return Unknown;
  case TCodeExpr::ekPower:
    return Unknown;
  case TCodeExpr::ekMod:
    // The remainder of the rounded operands is smaller than either.
    return std::min(Bound(E.Args[0]), Bound(E.Args[1])) + 1;
  case TCodeExpr::ekFunction: {
    const long double Arg = Bound(E.Args[0]);
    if (E.Text == "ABS")
      return Arg;
    if (E.Text == "ATAN")
      return 2;
    if (E.Text == "SIN" || E.Text == "COS")
      return 1;
    if (E.Text == "SQRT")
      return std::sqrt(Arg);
    if (E.Text == "SQR")
      return Product(Arg, Arg);
    if (E.Text == "ROUND" || E.Text == "TRUNC")
      return std::min(Arg + 1, 1e9L); // beyond 1E9 they fail
    if (E.Text == "EXP")
      return std::exp(std::min(Arg, 11356.0L));
    return 11400; // LN of any 80-bit number
  }
  }
  return Unknown;
}

bool TCodeStyle::Positive(const TCodeExpr& E) const {
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    return E.Value > 0;
  case TCodeExpr::ekVariable: {
    const auto It = FCounterRanges.find(E.Text);
    return It != FCounterRanges.end() && It->second.first > 0;
  }
  case TCodeExpr::ekParens:
    return Positive(E.Args[0]);
  case TCodeExpr::ekAdd:
  case TCodeExpr::ekMultiply:
  case TCodeExpr::ekDivide:
    return Positive(E.Args[0]) && Positive(E.Args[1]);
  case TCodeExpr::ekFunction:
    return E.Text == "EXP";
  default:
    return false;
  }
}

std::string TCodeStyle::Expr(const TCodeExpr& E) {
  return ExprText(E, false);
}

std::string TCodeStyle::ExprText(const TCodeExpr& E, bool Real) {
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    return NumberText(E, Real);
  case TCodeExpr::ekVariable:
    return Real ? RealVariableText(E.Text) : E.Text;
  case TCodeExpr::ekNegate:
    return "-" + ExprText(E.Args[0], Real);
  case TCodeExpr::ekParens:
    return "(" + ExprText(E.Args[0], Real) + ")";
  case TCodeExpr::ekPower:
    return PowerText(Expr(E.Args[0]), Expr(E.Args[1]), Positive(E.Args[0]));
  case TCodeExpr::ekMod: {
    const std::string T = ModText(E, Expr(E.Args[0]), Expr(E.Args[1]));
    return Real ? RealValueText(E, T) : T;
  }
  case TCodeExpr::ekFunction: {
    std::string Arg = ExprText(E.Args[0], NeedsRealOperand(E.Args[0]) || NeedsRealArgument(E));
    // The lesson text checks a limit only where the argument may pass it.
    const char* Limit = FunctionLimit(E.Text);
    if (FLesson && Limit && !(Bound(E.Args[0]) <= std::strtold(Limit, nullptr)))
      Arg = LimitedText(Arg, Limit);
    const std::string T = FunctionText(E.Text, Arg);
    return Real ? RealValueText(E, T) : T;
  }
  default: {
    // Two whole numbers would be computed as integers (7 / 2 as 3, large
    // products overflowing), two constants perhaps folded in a smaller
    // type; the left one written as a real of the interpreter's precision
    // keeps the arithmetic in it.
    const bool LeftReal = Real || NeedsRealOperand(E);
    std::string Left = ExprText(E.Args[0], LeftReal), Right = ExprText(E.Args[1], false);
    // MOD binds tighter than * and /; an operator of the language need not.
    if (E.Kind == TCodeExpr::ekMultiply || E.Kind == TCodeExpr::ekDivide) {
      if (E.Args[0].Kind == TCodeExpr::ekMod)
        Left = "(" + Left + ")";
      if (E.Args[1].Kind == TCodeExpr::ekMod)
        Right = "(" + Right + ")";
    }
    if (E.Kind == TCodeExpr::ekDivide)
      return DivideText(Left, Right);
    return Left + OperatorText(E.Kind) + Right;
  }
  }
}

bool TCodeStyle::CanFail(const TCodeExpr& E) const {
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
  case TCodeExpr::ekVariable:
    return false;
  case TCodeExpr::ekNegate:
  case TCodeExpr::ekParens:
    return CanFail(E.Args[0]);
  case TCodeExpr::ekAdd:
  case TCodeExpr::ekSubtract:
  case TCodeExpr::ekMultiply:
    return CanFail(E.Args[0]) || CanFail(E.Args[1]) || !(Bound(E) <= 1e300L);
  case TCodeExpr::ekFunction:
    if (E.Text == "ABS" || E.Text == "ATAN")
      return CanFail(E.Args[0]);
    return true;
  default:
    return true;
  }
}

std::string TCodeStyle::LessonExpr(const TCodeExpr& E) {
  struct TScope {
    TCodeStyle& Style;
    explicit TScope(TCodeStyle& S) : Style(S) { Style.FAnalysing = true; }
    ~TScope() {
      Style.FAnalysing = false;
      Style.ForgetAnalyses();
    }
  } Scope(*this);
  FMayFail = FMayFail || CanFail(E);
  return Expr(E);
}

std::string TCodeStyle::Value(const TCodeExpr& E, const std::string& Source) {
  if (FLesson)
    return LessonExpr(E);
  if (KeptAsIs(E))
    return Expr(E);
  Use(TCodeHelper::Number);
  return CheckedNumberText(E, Expr(E), Source);
}

void TCodeStyle::EvaluateOnly(TCodeSink& S, const TCodeExpr& E, const std::string& Source) {
  if (FLesson || KeptAsIs(E))
    return;
  Use(TCodeHelper::Number);
  S.Line(CheckedNumberText(E, Expr(E), Source) + StatementEnd());
}

std::string TCodeStyle::Printed(const TCodeExpr& E, const std::string& Source) {
  if (FLesson)
    return LessonExpr(E);
  Use(TCodeHelper::AsText);
  return AsTextHelperText(Expr(E), Source);
}

bool TCodeStyle::UsesFailingHelper() const {
  for (TCodeHelper H : FUsed)
    if (H != TCodeHelper::Fail && H != TCodeHelper::AsText && H != TCodeHelper::Joined &&
        H != TCodeHelper::AddStep)
      return true;
  return Uses(TCodeHelper::AsText); // through Number
}

std::string TCodeStyle::NegatedOp(const std::string& Op) {
  if (Op == "<")
    return ">=";
  if (Op == ">")
    return "<=";
  if (Op == "<=")
    return ">";
  if (Op == ">=")
    return "<";
  if (Op == "=")
    return "<>";
  return "=";
}

std::string TCodeStyle::CommentText(const std::string& Text) {
  std::string R = Text;
  for (char& C : R)
    if (static_cast<unsigned char>(C) < 32 || C == 127)
      C = ' ';
  while (!R.empty() && R.back() == ' ')
    R.pop_back();
  return R;
}

void TCodeStyle::AppendLines(std::vector<std::string>& L, const std::string& Text) {
  size_t Start = 0;
  for (;;) {
    const size_t End = Text.find('\n', Start);
    L.push_back(Text.substr(Start, End == std::string::npos ? std::string::npos : End - Start));
    if (End == std::string::npos)
      return;
    Start = End + 1;
  }
}

bool TCodeStyle::IsAtomText(const std::string& Text) {
  const auto IsNameChar = [](char C) {
    return std::isalnum(static_cast<unsigned char>(C)) || C == '_' || C == '.' || C == ':';
  };
  size_t I = 0;
  while (I < Text.size() && IsNameChar(Text[I]))
    ++I;
  if (I == Text.size())
    return !Text.empty();
  if (Text[I] != '(')
    return false;
  int Depth = 0;
  for (; I < Text.size(); ++I) {
    if (Text[I] == '(')
      ++Depth;
    else if (Text[I] == ')' && --Depth == 0)
      return I + 1 == Text.size();
  }
  return false;
}

std::string TCodeStyle::NormalNumber(const std::string& Text, bool& Whole) {
  const size_t E = Text.find_first_of("eE");
  const std::string Mantissa = Text.substr(0, E);
  const std::string Exponent = E == std::string::npos ? std::string() : Text.substr(E);
  const size_t Point = Mantissa.find('.');
  std::string Int = Mantissa.substr(0, Point);
  const size_t FirstDigit = Int.find_first_not_of('0');
  Int = FirstDigit == std::string::npos ? "0" : Int.substr(FirstDigit);
  Whole = Point == std::string::npos && Exponent.empty() && Int.size() <= 18;
  std::string R = Int;
  if (Point != std::string::npos) {
    const std::string Fraction = Mantissa.substr(Point + 1);
    R += "." + (Fraction.empty() ? std::string("0") : Fraction);
  }
  return R + Exponent;
}

} // namespace Deskbay
