#include "Flowcode_Python.h"

#include "Corekit/SysUtils.h"
#include <cctype>

#include <cmath>

namespace Deskbay {

namespace {

const char* const HelperFail = R"(def fail(message):
    # Останавливает программу: сообщение идёт в поток ошибок, код выхода 1.
    sys.exit(message))";

const char* const HelperComputationFailed = R"(def computation_failed(kind, error, trace):
    # Деление на ноль и другие ошибки вычисления в самом Python - как у исполнителя.
    if issubclass(kind, (ArithmeticError, ValueError)):
        print("Ошибка при вычислении.", file=sys.stderr)
    else:
        sys.__excepthook__(kind, error, trace)


sys.excepthook = computation_failed)";

const char* const HelperNumber = R"(def number(x, expression):
    # Вычисленное значение, каким его хранит переменная. Не число (деление на
    # ноль, недопустимый аргумент) и слишком большое число - ошибка, и
    # сообщение называет выражение, как его называет исполнитель.
    x = float(x)
    if not math.isfinite(x):
        fail(f'Ошибка при вычислении "{expression}".')
    return x)";

const char* const HelperAsText = R"(def as_text(x, expression):
    # Число, как его печатает исполнитель: 10 значащих цифр, без лишних нулей.
    x = number(x, expression)
    if x == 0:
        return "0"
    mantissa, exponent = f"{x:.9e}".split("e")
    exponent = int(exponent)
    digits = mantissa.replace("-", "").replace(".", "").rstrip("0")
    sign = "-" if x < 0 else ""
    if exponent >= 10 or exponent < -5:
        fraction = "." + digits[1:] if len(digits) > 1 else ""
        return f"{sign}{digits[0]}{fraction}E{exponent}"
    if exponent < 0:
        return sign + "0." + "0" * (-exponent - 1) + digits
    whole = digits[:exponent + 1].ljust(exponent + 1, "0")
    fraction = digits[exponent + 1:]
    return sign + whole + ("." + fraction if fraction else ""))";

const char* const HelperReadNumber = R"(def read_number(name):
    # Читает число со стандартного ввода; пустые строки пропускаются.
    while True:
        print(f"Введите значение {name}:", end=" ", file=sys.stderr, flush=True)
        line = sys.stdin.readline()
        if not line:
            fail("Выполнение прервано пользователем.")
        # Пробелы и управляющие знаки по краям не считаются.
        text = line.strip("".join(map(chr, range(33))))
        if text:
            break
    # Только цифры 0-9: знак, цифры с точкой или без, порядок после E.
    if not re.fullmatch(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?", text) or math.isinf(float(text)):
        shown = text[:40] + ("…" if len(text) > 40 else "")
        fail(f'"{shown}" не является числом.')
    return float(text))";

const char* const HelperPower = R"(def power(base, exponent):
    # Степень: только положительное основание и не слишком большой результат.
    if not (base > 0 and abs(math.log(base) * exponent) <= 11356):
        return math.nan
    try:
        return base ** exponent
    except OverflowError:
        return math.inf)";

const char* const HelperModulo = R"(def modulo(a, b):
    # MOD: остаток от деления округлённых целых, со знаком делимого.
    if not (-2**63 <= a < 2**63 and -2**63 <= b < 2**63):
        return math.nan
    a, b = round(a), round(b)
    if b == 0 or not (-2**63 <= a < 2**63 and -2**63 <= b < 2**63):
        return math.nan
    r = abs(a) % abs(b)
    return -r if a < 0 else r)";

const char* const HelperRounded = R"(def rounded(x):
    # ROUND: ближайшее целое, половина - к чётному; аргумент от -1E9 до 1E9.
    if not -1e9 <= x <= 1e9:
        return math.nan
    return round(x))";

const char* const HelperTruncated = R"(def truncated(x):
    # TRUNC: целая часть; аргумент от -1E9 до 1E9.
    if not -1e9 <= x <= 1e9:
        return math.nan
    return math.trunc(x))";

const char* const HelperInRange = R"(def in_range(x, limit):
    # Аргумент функции в её пределах: от -limit до limit.
    if not -limit <= x <= limit:
        return math.nan
    return x)";

const char* const HelperDivide = R"(def divide(a, b):
    # Частное; деление на ноль даёт не число, и его не пропустит number.
    return a / b if b != 0 else math.nan)";

const char* const HelperSquare = R"(def square(x):
    # SQR: квадрат числа; слишком большой - бесконечность, её не пропустит number.
    return x * x)";

const char* const HelperRoot = R"(def root(x):
    # SQRT: корень; у отрицательного числа его нет.
    return math.sqrt(x) if x >= 0 else math.nan)";

const char* const HelperLogarithm = R"(def logarithm(x):
    # LN: логарифм; только у положительного числа.
    return math.log(x) if x > 0 else math.nan)";

const char* const HelperExponent = R"(def exponent(x):
    # EXP: слишком большое значение - бесконечность, её не пропустит number.
    try:
        return math.exp(x)
    except OverflowError:
        return math.inf)";

const char* const LessonPower = R"(def power(base, exponent):
    # Степень, как у исполнителя: только положительного числа.
    if base <= 0:
        sys.exit("Ошибка: степень числа, не большего нуля.")
    return float(base) ** exponent)";

const char* const LessonInRange = R"(def in_range(x, limit):
    # Аргумент функции в пределах, которые ставит исполнитель: от -limit до limit.
    if abs(x) > limit:
        sys.exit("Ошибка: аргумент функции за её пределами.")
    return x)";

std::string PythonOp(const std::string& Op) {
  if (Op == "=")
    return "==";
  if (Op == "<>")
    return "!=";
  return Op;
}

std::string ConditionText(const TCodeCondition& C) {
  return C.Left + " " + PythonOp(C.Op) + " " + C.Right;
}

class TPythonStyle : public TCodeStyle {
public:
  std::string IndentUnit() const override { return "    "; }

  std::string Quote(const std::string& Text) const override {
    std::string R = "\"";
    for (char C : Text) {
      const auto U = static_cast<unsigned char>(C);
      if (C == '"' || C == '\\') {
        R += '\\';
        R += C;
      } else if (C == '\n') {
        R += "\\n";
      } else if (U < 32 || U == 127) {
        static const char Hex[] = "0123456789abcdef";
        R += "\\x";
        R += Hex[U >> 4];
        R += Hex[U & 15];
      } else {
        R += C;
      }
    }
    return R + "\"";
  }

  void Assign(TCodeSink& S, const std::string& Var, const std::string& Value) override {
    S.Line(Var + " = " + Value);
  }
  void Input(TCodeSink& S, const std::string& Var) override {
    if (Lesson()) {
      S.Line(Var + " = float(input())");
      return;
    }
    Use(TCodeHelper::ReadNumber);
    S.Line(Var + " = read_number(" + Quote(Var) + ")");
  }
  void InputLine(TCodeSink& S, const std::vector<std::string>& Vars) override {
    if (Vars.size() == 1) {
      Input(S, Vars[0]);
      return;
    }
    // A tuple is read left to right: one value a line, in order.
    std::string Names, Values;
    for (const std::string& Var : Vars) {
      Names += (Names.empty() ? "" : ", ") + Var;
      Values += Values.empty() ? "" : ", ";
      if (Lesson()) {
        Values += "float(input())";
      } else {
        Use(TCodeHelper::ReadNumber);
        Values += "read_number(" + Quote(Var) + ")";
      }
    }
    S.Line(Names + " = " + Values);
  }
  void Output(TCodeSink& S, const std::vector<std::string>& Items) override {
    std::string L;
    if (Lesson()) {
      for (const std::string& I : Items)
        L += (L.empty() ? "" : ", ") + I;
      S.Line("print(" + L + ")");
      return;
    }
    for (const std::string& I : Items)
      L += (L.empty() ? "" : ", ") + I;
    S.Line("print(" + L + ")");
  }
  void Fail(TCodeSink& S, const std::string& Message) override {
    if (Lesson()) {
      FExits = true;
      S.Line("sys.exit(" + Quote(Message) + ")");
      return;
    }
    Use(TCodeHelper::Fail);
    S.Line("fail(" + Quote(Message) + ")");
  }
  void Comment(TCodeSink& S, const std::string& Text) override {
    ++FComments;
    S.Line("# " + CommentText(Text));
  }
  void CheckDefined(TCodeSink& S, const std::string& Var, const std::string& Message) override {
    Use(TCodeHelper::Fail);
    S.Line("if " + Var + " is None:");
    S.Indent();
    S.Line("fail(" + Quote(Message) + ")");
    S.Outdent();
  }

  void BeginIf(TCodeSink& S, const TCodeCondition& C) override {
    S.Line("if " + ConditionText(C) + ":");
    Open(S);
  }
  void Else(TCodeSink& S, bool) override {
    Close(S);
    S.Line("else:");
    Open(S);
  }
  void EndIf(TCodeSink& S, bool) override { Close(S); }
  void BeginWhile(TCodeSink& S, const TCodeCondition& C) override {
    S.Line("while " + ConditionText(C) + ":");
    Open(S);
  }
  void EndWhile(TCodeSink& S, bool) override { Close(S); }
  void BeginRepeat(TCodeSink& S) override {
    S.Line("while True:");
    Open(S);
  }
  void EndRepeat(TCodeSink& S, const TCodeCondition& C) override {
    TCodeCondition Stop = C;
    Stop.Op = NegatedOp(C.Op);
    S.Line("if " + ConditionText(Stop) + ":");
    S.Indent();
    S.Line("break");
    S.Outdent();
    Close(S);
  }
  // Python's range: whole numbers from the start, before the end; int()
  // rounds a fractional end towards zero, which is down from a start of 1.
  static bool Ranged(const TCodeForLoop& L) {
    return L.Counted && (L.EndWhole || L.StartValue >= 1);
  }
  static std::string Whole(long double V) { return std::to_string(static_cast<long long>(V)); }

  void BeginFor(TCodeSink& S, const TCodeForLoop& L) override {
    if (Lesson() && Ranged(L)) {
      std::string End;
      if (L.EndWhole)
        End = Whole(L.EndValue + 1);
      else
        End = "int(" + L.End + ") + 1";
      const std::string Step = L.StepValue == 1 ? "" : ", " + Whole(L.StepValue);
      const std::string From = L.StartValue == 0 && Step.empty() ? "" : Whole(L.StartValue) + ", ";
      S.Line("for " + L.Var + " in range(" + From + End + Step + "):");
      Open(S);
      return;
    }
    if (Lesson())
      Comment(S, "цикл с параметром " + L.Var +
                     " через while: " + (L.WhyNot.empty() ? "конец не целое число" : L.WhyNot));
    S.Line(L.Var + " = " + L.Start);
    S.Line("while " + L.Var + " <= " + L.End + ":");
    Open(S);
  }
  void EndFor(TCodeSink& S, const TCodeForLoop& L, bool) override {
    if (Lesson() && Ranged(L)) {
      Close(S);
      return;
    }
    if (Lesson()) {
      S.Line(L.Var + " = " + L.Var + " + " + L.Step);
      Close(S);
      return;
    }
    // The step closes the body, so the body is never empty here.
    if (L.Plain && L.StepValue < 0)
      S.Line(L.Var + " -= " + L.Step.substr(1));
    else if (L.Plain)
      S.Line(L.Var + " += " + L.Step);
    else
      S.Line(L.Var + " = " + L.Var + " + " + L.Step);
    Close(S);
  }

  bool StopsAtUnsetVariable() const override { return true; } // NameError

  std::vector<std::string> Prologue(const std::set<std::string>&) override {
    if (Lesson()) {
      std::vector<std::string> L{std::string("# Числа читаются, считаются и печатаются по правилам "
                                             "Python") +
                                 (FMod ? ", MOD - это %." : ".")};
      if (FMathFunctions)
        L.push_back("import math");
      if (FExits || Helpers())
        L.push_back("import sys");
      // The helpers before the algorithm: a text read back into a chart
      // has no function of its own, such as a main.
      for (const auto& [Used, Text] :
           {std::pair{FPowerHelper, LessonPower}, std::pair{FLimitsHelper, LessonInRange}})
        if (Used) {
          L.push_back("");
          L.push_back("");
          AppendLines(L, Text);
        }
      if (Helpers()) {
        L.push_back("");
        L.push_back("");
      }
      return L;
    }
    if (Uses(TCodeHelper::AsText))
      Use(TCodeHelper::Number);
    if (UsesFailingHelper())
      Use(TCodeHelper::Fail);
    const bool Computes = UsesFailingHelper() || FMathFunctions;
    std::vector<std::string> L{"#!/usr/bin/env python3"};
    if (Computes) {
      L.push_back("# Python считает в 64-битных числах float, исполнитель - в 80-битных: может");
      L.push_back("# отличаться не только последняя цифра, но и ветвь условия или число");
      L.push_back("# повторений цикла, где сравниваются дробные значения.");
    }
    const bool NeedsMath = FMathFunctions || Uses(TCodeHelper::Number) ||
                           Uses(TCodeHelper::ReadNumber) || Uses(TCodeHelper::Power) ||
                           Uses(TCodeHelper::Truncated) || UsesFailingHelper();
    if (NeedsMath)
      L.push_back("import math");
    if (Uses(TCodeHelper::ReadNumber))
      L.push_back("import re");
    if (Uses(TCodeHelper::Fail))
      L.push_back("import sys");
    const std::pair<TCodeHelper, const char*> Helpers[] = {
        {TCodeHelper::Fail, HelperFail},           {TCodeHelper::Number, HelperNumber},
        {TCodeHelper::AsText, HelperAsText},       {TCodeHelper::ReadNumber, HelperReadNumber},
        {TCodeHelper::Power, HelperPower},         {TCodeHelper::Modulo, HelperModulo},
        {TCodeHelper::Rounded, HelperRounded},     {TCodeHelper::Truncated, HelperTruncated},
        {TCodeHelper::InRange, HelperInRange},     {TCodeHelper::Divide, HelperDivide},
        {TCodeHelper::Square, HelperSquare},       {TCodeHelper::Root, HelperRoot},
        {TCodeHelper::Logarithm, HelperLogarithm}, {TCodeHelper::Exponent, HelperExponent}};
    for (const auto& [H, Text] : Helpers) {
      if (!Uses(H))
        continue;
      L.push_back("");
      L.push_back("");
      AppendLines(L, Text);
    }
    if (Computes) {
      L.push_back("");
      L.push_back("");
      AppendLines(L, HelperComputationFailed);
    }
    L.push_back("");
    L.push_back("");
    if (!MaybeUnset().empty()) {
      std::string D;
      for (const std::string& V : MaybeUnset())
        D += V + " = ";
      L.push_back(D + "None  # ещё не заданы");
    }
    return L;
  }
  std::vector<std::string> Epilogue() override { return {}; }

protected:
  std::string NumberText(const TCodeExpr& E, bool Real) override {
    if (Lesson()) {
      // Beyond 15 digits Python's integers would be more exact than the
      // interpreter's numbers.
      bool Whole;
      std::string T = NormalNumber(E.Text, Whole);
      if (T.size() > 15 && T.find_first_of(".eE") == std::string::npos)
        T += ".0";
      return T;
    }
    // Python's integers would be exact beyond the precision of the
    // interpreter's numbers: a long whole number, and the left one of an
    // operation on whole numbers, is written as a float.
    bool Whole;
    std::string T = NormalNumber(E.Text, Whole);
    if ((Real || T.size() > 9) && T.find_first_of(".eE") == std::string::npos)
      T += ".0";
    return T;
  }
  std::string FunctionText(const std::string& Name, const std::string& Arg) override {
    if (Name == "ABS")
      return "abs(" + Arg + ")";
    if (Lesson() && Name == "ROUND")
      return "round(" + Arg + ")";
    if (Lesson() && Name == "TRUNC") {
      FMathFunctions = true;
      return "math.trunc(" + Arg + ")";
    }
    if (Lesson() && Name == "SQR")
      return (IsAtomText(Arg) ? Arg : "(" + Arg + ")") + " ** 2";
    if (Lesson() && Name != "SQR") {
      FMathFunctions = true;
      return "math." + LowerCaseRu(Name == "LN" ? std::string("LOG") : Name) + "(" + Arg + ")";
    }
    if (Name == "ROUND") {
      Use(TCodeHelper::Rounded);
      return "rounded(" + Arg + ")";
    }
    if (Name == "TRUNC") {
      Use(TCodeHelper::Truncated);
      return "truncated(" + Arg + ")";
    }
    if (Name == "SQR") {
      Use(TCodeHelper::Square);
      return "square(" + Arg + ")";
    }
    FMathFunctions = true;
    if (Name == "EXP") {
      Use(TCodeHelper::InRange);
      Use(TCodeHelper::Exponent);
      return "exponent(in_range(" + Arg + ", 11356))";
    }
    if (Name == "SIN" || Name == "COS") {
      Use(TCodeHelper::InRange);
      return "math." + LowerCaseRu(Name) + "(in_range(" + Arg + ", 9e18))";
    }
    if (Name == "LN") {
      Use(TCodeHelper::Logarithm);
      return "logarithm(" + Arg + ")";
    }
    if (Name == "SQRT") {
      Use(TCodeHelper::Root);
      return "root(" + Arg + ")";
    }
    return "math." + LowerCaseRu(Name) + "(" + Arg + ")";
  }
  std::string PowerText(const std::string& Base, const std::string& Exponent,
                        bool PositiveBase) override {
    if (Lesson() && !PositiveBase) {
      // The interpreter takes powers of positive numbers only.
      FPowerHelper = true;
      return "power(" + Base + ", " + Exponent + ")";
    }
    if (Lesson())
      return (IsAtomText(Base) ? Base : "(" + Base + ")") + " ** " +
             (IsAtomText(Exponent) ? Exponent : "(" + Exponent + ")");
    Use(TCodeHelper::Power);
    return "power(" + Base + ", " + Exponent + ")";
  }
  std::string ModText(const TCodeExpr&, const std::string& A, const std::string& B) override {
    if (Lesson()) {
      FMod = true;
      return (IsAtomText(A) ? A : "(" + A + ")") + " % " + (IsAtomText(B) ? B : "(" + B + ")");
    }
    Use(TCodeHelper::Modulo);
    return "modulo(" + A + ", " + B + ")";
  }
  std::string NumberHelperText(const std::string& Value, const std::string& Source) override {
    return "number(" + Value + ", " + Quote(Source) + ")";
  }
  std::string AsTextHelperText(const std::string& Value, const std::string& Source) override {
    return "as_text(" + Value + ", " + Quote(Source) + ")";
  }
  std::string StatementEnd() const override { return std::string(); }
  std::string DivideText(const std::string& Left, const std::string& Right) override {
    if (Lesson())
      return Left + " / " + Right;
    Use(TCodeHelper::Divide);
    return "divide(" + Left + ", " + Right + ")";
  }
  // A float literal already is the double nearest the number.
  bool KeptAsIs(const TCodeExpr& E) const override {
    if (E.Kind == TCodeExpr::ekNumber)
      return std::isfinite(static_cast<double>(E.Value));
    if (E.Kind == TCodeExpr::ekNegate || E.Kind == TCodeExpr::ekParens)
      return KeptAsIs(E.Args[0]);
    return IsStoredAsIs(E);
  }
  bool NeedsRealOperand(const TCodeExpr& E) const override { return !Lesson() && IsIntegral(E); }
  std::string LimitedText(const std::string& Arg, const std::string& Limit) override {
    FLimitsHelper = true;
    return "in_range(" + Arg + ", " + Limit + ")";
  }

private:
  bool FMathFunctions = false;
  bool FExits = false;
  bool FMod = false;
  bool FPowerHelper = false, FLimitsHelper = false; // the lesson text's helpers

  bool Helpers() const { return Lesson() && (FPowerHelper || FLimitsHelper); }

  // Comment lines do not count as a body: a block of drawings alone (or
  // of nothing) needs a statement.
  int FComments = 0;
  std::vector<int> FOpen;
  int Statements(TCodeSink& S) const { return S.GetLineCount() - FComments; }
  void Open(TCodeSink& S) {
    FOpen.push_back(Statements(S));
    S.Indent();
  }
  void Close(TCodeSink& S) {
    if (!FOpen.empty() && FOpen.back() == Statements(S))
      S.Line("pass");
    if (!FOpen.empty())
      FOpen.pop_back();
    S.Outdent();
  }
};

} // namespace

std::unique_ptr<TCodeStyle> MakePythonStyle() {
  return std::make_unique<TPythonStyle>();
}

} // namespace Deskbay
