#include "Flowcode_Cpp.h"

#include "Corekit/SysUtils.h"

#include <cmath>
#include <unordered_map>

namespace Deskbay {

namespace {

const char* const HelperFail =
    R"(// Останавливает программу: сообщение идёт в поток ошибок, код выхода 1.
[[noreturn]] void fail(const std::string& message) {
    std::cout.flush();
    std::cerr << message << '\n';
    std::exit(1);
})";

const char* const HelperNumber =
    R"(// Останавливает программу с сообщением исполнителя о выражении.
[[noreturn]] void fail_in(const char* expression) {
    fail(std::string("Ошибка при вычислении \"") + expression + "\".");
}

// Вычисленное значение, каким его хранит переменная: число double.
// Деление на ноль, недопустимый аргумент и слишком большое число дают
// бесконечность или не число, а это ошибка.
inline long double number(long double x, const char* expression) {
    if (!(std::fabs(x) <= DBL_MAX))
        fail_in(expression);
    return static_cast<double>(x);
})";

const char* const HelperCheckedNumber =
    R"(// То же для выражения, в котором бесконечность может пропасть:
// 1/(1/0) даёт 0, но исполнитель останавливается на делении на ноль.
// Такую ошибку помнят флаги процессора.
long double checked_number(long double x, const char* expression) {
    if (std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW))
        fail_in(expression);
    return number(x, expression);
})";

const char* const HelperAsText =
    R"(// Число, как его печатает исполнитель: 10 значащих цифр, без лишних нулей.
std::string as_text(long double x, const char* expression) {
    const double value = static_cast<double>(checked_number(x, expression));
    if (value == 0)
        return "0";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9e", value);
    const std::string text = buffer;
    const size_t e = text.find('e');
    const int exponent = std::atoi(text.c_str() + e + 1);
    std::string digits;
    for (size_t i = 0; i < e; i++)
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            digits += text[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const std::string sign = value < 0 ? "-" : "";
    if (exponent >= 10 || exponent < -5) {
        const std::string fraction = digits.size() > 1 ? "." + digits.substr(1) : "";
        return sign + digits[0] + fraction + "E" + std::to_string(exponent);
    }
    if (exponent < 0)
        return sign + "0." + std::string(-exponent - 1, '0') + digits;
    const size_t whole = exponent + 1;
    if (digits.size() <= whole)
        return sign + digits + std::string(whole - digits.size(), '0');
    return sign + digits.substr(0, whole) + "." + digits.substr(whole);
})";

const char* const HelperJoined = R"(// Значения строки вывода через пробел.
std::string joined(std::initializer_list<std::string> items) {
    std::string line;
    for (const std::string& item : items)
        line += (line.empty() ? "" : " ") + item;
    return line;
})";

const char* const HelperReadNumber =
    R"(// Читает число со стандартного ввода; пустые строки пропускаются.
long double read_number(const std::string& name) {
    std::string text;
    while (text.empty()) {
        std::cerr << "Введите значение " << name << ": " << std::flush;
        if (!std::getline(std::cin, text))
            fail("Выполнение прервано пользователем.");
        // Пробелы и управляющие знаки по краям не считаются.
        size_t first = 0, last = text.size();
        while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
            first++;
        while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
            last--;
        text = text.substr(first, last - first);
    }
    // Знак, цифры с точкой или без, порядок после E.
    size_t i = text[0] == '+' || text[0] == '-' ? 1 : 0;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || (text[i] == '.' && !point)); i++) {
        if (text[i] == '.')
            point = true;
        else
            digits++;
    }
    if (digits > 0 && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            i++;
        const size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            i++;
        if (i == start)
            digits = 0;
    }
    const double value = std::strtold(text.c_str(), nullptr);
    std::feclearexcept(FE_ALL_EXCEPT);
    if (digits == 0 || i != text.size() || std::isinf(value)) {
        // Не больше 40 знаков текста, дальше - многоточие.
        size_t end = 0;
        for (int chars = 0; end < text.size() && chars < 40; chars++)
            do
                end++;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
        fail("\"" + text.substr(0, end) + (end < text.size() ? "…" : "") + "\" не является числом.");
    }
    return value;
})";

const char* const HelperPower =
    R"(// Степень: только положительное основание и не слишком большой результат.
long double power(long double base, long double exponent) {
    if (!(base > 0) || !(std::fabs(std::log(base) * exponent) <= 11356)) {
        std::feraiseexcept(FE_INVALID); // степень не определена
        return NAN;
    }
    return std::pow(base, exponent);
})";

const char* const HelperModulo =
    R"(// MOD: остаток от деления округлённых целых, со знаком делимого.
// Округление - прибавлением и вычитанием 2^63 (половина - к чётному).
long double nearest_whole(long double x) {
    const long double big = 0x1p63L;
    if (!(std::fabs(x) < big))
        return x;
    return x >= 0 ? (x + big) - big : -((big - x) - big);
}

long double rounded_modulo(long double a, long double b) {
    a = nearest_whole(a);
    b = nearest_whole(b);
    if (b == 0 || !(a >= -0x1p63L && a < 0x1p63L) || !(b >= -0x1p63L && b < 0x1p63L)) {
        std::feraiseexcept(FE_INVALID); // остаток не определён
        return NAN;
    }
    // Целые в пределах 64 бит: целочисленное деление процессора, знак
    // остатка - знак делимого, как у MOD исполнителя.
    return b == -1 ? 0 : static_cast<long double>(static_cast<long long>(a) % static_cast<long long>(b));
}

inline long double modulo(long double a, long double b) {
    // Целые меньше 2^53, обычные числа, - через double: его перевод в
    // целое не переключает режим округления процессора.
    const double whole_a = static_cast<double>(a), whole_b = static_cast<double>(b);
    if (std::fabs(whole_a) < 0x1p53 && std::fabs(whole_b) < 0x1p53) {
        const long long x = static_cast<long long>(whole_a), y = static_cast<long long>(whole_b);
        if (x == a && y == b && y != 0)
            return y == -1 ? 0 : static_cast<long double>(x % y);
    }
    return rounded_modulo(a, b);
})";

const char* const HelperRounded =
    R"(// ROUND: ближайшее целое, половина - к чётному; аргумент от -1E9 до 1E9.
long double rounded(long double x) {
    if (!(x >= -1e9L && x <= 1e9L)) {
        std::feraiseexcept(FE_INVALID); // аргумент вне допустимого диапазона
        return NAN;
    }
    return std::nearbyint(x);
})";

const char* const HelperTruncated = R"(// TRUNC: целая часть; аргумент от -1E9 до 1E9.
long double truncated(long double x) {
    if (!(x >= -1e9L && x <= 1e9L)) {
        std::feraiseexcept(FE_INVALID); // аргумент вне допустимого диапазона
        return NAN;
    }
    return std::trunc(x);
})";

const char* const HelperSquare = R"(// SQR: квадрат числа.
long double sqr(long double x) {
    if (!(x >= -1e2466L && x <= 1e2466L)) {
        std::feraiseexcept(FE_INVALID); // аргумент вне допустимого диапазона
        return NAN;
    }
    return x * x;
})";

const char* const HelperAddStep =
    R"(// Следующее значение переменной цикла: сумма чисел double, как их хранит переменная.
long double add_step(double value, double step) {
    return value + step;
})";

const char* const HelperInRange = R"(// Аргумент функции в её пределах: от -limit до limit.
long double in_range(long double x, long double limit) {
    if (!(x >= -limit && x <= limit)) {
        std::feraiseexcept(FE_INVALID); // аргумент вне допустимого диапазона
        return NAN;
    }
    return x;
})";

const char* const LessonPower =
    R"(// Степень, как у исполнителя: только положительного числа.
double power(double base, double exponent) {
    if (!(base > 0))
        std::feraiseexcept(FE_INVALID); // остановит программу
    return std::pow(base, exponent);
})";

const char* const LessonInRange =
    R"(// Аргумент функции в пределах, которые ставит исполнитель: от -limit до limit.
double in_range(double x, double limit) {
    if (!(std::fabs(x) <= limit))
        std::feraiseexcept(FE_INVALID); // остановит программу
    return x;
})";

std::string CppOp(const std::string& Op) {
  if (Op == "=")
    return "==";
  if (Op == "<>")
    return "!=";
  return Op;
}

std::string ConditionText(const TCodeCondition& C) {
  return C.Left + " " + CppOp(C.Op) + " " + C.Right;
}

// Whether an infinity inside E (a division by zero, an overflow) can come
// out of E as a finite number, which the value alone does not show: a
// quotient whose divisor is computed (x/inf is 0), ATAN of a computed value.
bool MayHideInfinity(const TCodeExpr& E) {
  const auto Computed = [](const TCodeExpr* A) {
    while (A->Kind == TCodeExpr::ekParens)
      A = &A->Args[0];
    return A->Kind != TCodeExpr::ekNumber && A->Kind != TCodeExpr::ekVariable;
  };
  if (E.Kind == TCodeExpr::ekDivide && Computed(&E.Args[1]))
    return true;
  if (E.Kind == TCodeExpr::ekFunction && E.Text == "ATAN" && Computed(&E.Args[0]))
    return true;
  for (const TCodeExpr& A : E.Args)
    if (MayHideInfinity(A))
      return true;
  return false;
}

class TCppStyle : public TCodeStyle {
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
        // Three octal digits: an escape that no following character extends.
        R += '\\';
        R += static_cast<char>('0' + (U >> 6));
        R += static_cast<char>('0' + ((U >> 3) & 7));
        R += static_cast<char>('0' + (U & 7));
      } else {
        R += C;
      }
    }
    return R + "\"";
  }

  void Assign(TCodeSink& S, const std::string& Var, const std::string& Value) override {
    S.Line(Var + " = " + Value + ";");
  }
  void Input(TCodeSink& S, const std::string& Var) override {
    if (Lesson()) {
      InputLine(S, {Var});
      return;
    }
    Use(TCodeHelper::ReadNumber);
    S.Line(Var + " = read_number(" + Quote(Var) + ");");
  }
  void InputLine(TCodeSink& S, const std::vector<std::string>& Vars) override {
    if (!Lesson()) {
      TCodeStyle::InputLine(S, Vars);
      return;
    }
    // What is not a number stops the program, as nothing read at all does.
    std::string Read, Names;
    for (const std::string& Var : Vars) {
      Read += " >> " + Var;
      Names += (Names.empty() ? "" : ", ") + Var;
    }
    S.Line("if (!(std::cin" + Read + ")) { std::cerr << " +
           Quote("Для " + Names + " введено не число.\n") + "; return 1; }");
  }
  void Output(TCodeSink& S, const std::vector<std::string>& Items) override {
    std::string L;
    if (Lesson()) {
      // std::endl: every line is out before a failed computation stops
      // the program.
      for (const std::string& I : Items)
        L += (L.empty() ? "" : " << ' ' << ") + I;
      S.Line("std::cout << " + L + " << std::endl;");
      return;
    }
    // The whole line is made before anything is printed: an item that fails
    // leaves no part of it behind. The items of a braced list are computed
    // in order, so the first that fails is the one named.
    if (Items.size() == 1) {
      S.Line("std::cout << " + Items[0] + " << '\\n';");
      return;
    }
    Use(TCodeHelper::Joined);
    for (const std::string& I : Items)
      L += (L.empty() ? "" : ", ") + I;
    S.Line("std::cout << joined({" + L + "}) << '\\n';");
  }
  void Fail(TCodeSink& S, const std::string& Message) override {
    if (Lesson()) {
      S.Line("std::cerr << " + Quote(Message) + " << '\\n';");
      S.Line("return 1;");
      return;
    }
    Use(TCodeHelper::Fail);
    S.Line("fail(" + Quote(Message) + ");");
  }
  void CheckDefined(TCodeSink& S, const std::string& Var, const std::string& Message) override {
    if (Lesson()) {
      // A variable without a value holds NAN, which no computation gives
      // while the floating-point exceptions stop the program.
      FMath = true;
      S.Line("if (std::isnan(" + Var + ")) {");
      S.Indent();
      Fail(S, Message);
      Close(S);
      return;
    }
    Use(TCodeHelper::Fail);
    S.Line("if (" + Var + " == unset)");
    S.Indent();
    S.Line("fail(" + Quote(Message) + ");");
    S.Outdent();
  }
  void Comment(TCodeSink& S, const std::string& Text) override {
    std::string T = CommentText(Text);
    // A backslash at the end would continue the comment on the next line.
    if (!T.empty() && T.back() == '\\')
      T += " //";
    S.Line("// " + T);
  }

  void BeginIf(TCodeSink& S, const TCodeCondition& C) override {
    S.Line("if (" + ConditionText(C) + ") {");
    S.Indent();
  }
  void Else(TCodeSink& S, bool) override {
    S.Outdent();
    S.Line("} else {");
    S.Indent();
  }
  void EndIf(TCodeSink& S, bool) override { Close(S); }
  void BeginWhile(TCodeSink& S, const TCodeCondition& C) override {
    S.Line("while (" + ConditionText(C) + ") {");
    S.Indent();
  }
  void EndWhile(TCodeSink& S, bool) override { Close(S); }
  void BeginRepeat(TCodeSink& S) override {
    S.Line("do {");
    S.Indent();
  }
  void EndRepeat(TCodeSink& S, const TCodeCondition& C) override {
    S.Outdent();
    S.Line("} while (" + ConditionText(C) + ");");
  }
  void BeginFor(TCodeSink& S, const TCodeForLoop& L) override {
    if (Lesson()) {
      if (!L.Counted) {
        Comment(S, "цикл с параметром " + L.Var + " через while: " + L.WhyNot);
        S.Line(L.Var + " = " + L.Start + ";");
        S.Line("while (" + L.Var + " <= " + L.End + ") {");
      } else {
        // A counter named nowhere else, declared in the loop: a whole
        // number where its values are known to fit one, else a double,
        // which holds whole numbers exactly as far as they go.
        const bool Whole = L.Bound <= 0x1p53L;
        if (Whole)
          FCounters.insert(L.Var);
        FLoopCounters.insert(L.Var);
        S.Line("for (" + std::string(Whole ? "long long " : "double ") + L.Var + " = " + L.Start +
               "; " + L.Var + " <= " + L.End + "; " + L.Var +
               (L.StepValue == 1 ? "++" : " += " + L.Step) + ") {");
      }
      S.Indent();
      return;
    }
    std::string Next;
    if (!L.Plain) {
      Use(TCodeHelper::AddStep);
      Next = L.Var + " = add_step(" + L.Var + ", " + L.Step + ")";
    } else if (L.StepValue == 1) {
      Next = L.Var + "++";
    } else if (L.StepValue == -1) {
      Next = L.Var + "--";
    } else if (L.StepValue < 0) {
      Next = L.Var + " -= " + L.Step.substr(1);
    } else {
      Next = L.Var + " += " + L.Step;
    }
    S.Line("for (" + L.Var + " = " + L.Start + "; " + L.Var + " <= " + L.End + "; " + Next + ") {");
    S.Indent();
  }
  void EndFor(TCodeSink& S, const TCodeForLoop& L, bool) override {
    if (Lesson() && !L.Counted)
      S.Line(L.Var + " = " + L.Var + " + " + L.Step + ";");
    Close(S);
  }

  std::vector<std::string> Prologue(const std::set<std::string>& Vars) override {
    if (Lesson())
      return LessonPrologue(Vars);
    if (Uses(TCodeHelper::AsText))
      Use(TCodeHelper::CheckedNumber);
    if (Uses(TCodeHelper::CheckedNumber))
      Use(TCodeHelper::Number);
    if (UsesFailingHelper())
      Use(TCodeHelper::Fail);
    std::vector<std::string> L;
    if (Uses(TCodeHelper::AsText) || Uses(TCodeHelper::ReadNumber))
      L.push_back("#include <cctype>");
    if (Uses(TCodeHelper::Number) || Uses(TCodeHelper::ReadNumber))
      L.push_back("#include <cfenv>");
    if (Uses(TCodeHelper::Number))
      L.push_back("#include <cfloat>");
    L.push_back("#include <cmath>");
    if (Uses(TCodeHelper::AsText))
      L.push_back("#include <cstdio>");
    L.push_back("#include <cstdlib>");
    L.push_back("#include <iostream>");
    L.push_back("#include <string>");
    const std::pair<TCodeHelper, const char*> Helpers[] = {
        {TCodeHelper::Fail, HelperFail},
        {TCodeHelper::Number, HelperNumber},
        {TCodeHelper::CheckedNumber, HelperCheckedNumber},
        {TCodeHelper::AsText, HelperAsText},
        {TCodeHelper::Joined, HelperJoined},
        {TCodeHelper::ReadNumber, HelperReadNumber},
        {TCodeHelper::Power, HelperPower},
        {TCodeHelper::Modulo, HelperModulo},
        {TCodeHelper::Rounded, HelperRounded},
        {TCodeHelper::Truncated, HelperTruncated},
        {TCodeHelper::InRange, HelperInRange},
        {TCodeHelper::Square, HelperSquare},
        {TCodeHelper::AddStep, HelperAddStep}};
    for (const auto& [H, Text] : Helpers) {
      if (!Uses(H))
        continue;
      L.push_back("");
      AppendLines(L, Text);
    }
    if (!MaybeUnset().empty()) {
      L.push_back("");
      L.push_back(
          "// Значение переменной, которой ещё ничего не присвоено: больше любого числа double.");
      L.push_back("const long double unset = 1e4000L;");
    }
    L.push_back("");
    L.push_back("int main() {");
    if (!Vars.empty()) {
      std::string D;
      for (const std::string& V : Vars)
        D += (D.empty() ? "" : ", ") + V + (MaybeUnset().count(V) ? " = unset" : " = 0");
      L.push_back(IndentUnit() + "long double " + D + ";");
      L.push_back("");
    }
    return L;
  }
  std::vector<std::string> Epilogue() override {
    std::vector<std::string> L{"}"};
    // The helpers after the algorithm, declared before it.
    for (const auto& [Used, Text] : LessonHelpers())
      if (Used) {
        L.push_back("");
        AppendLines(L, Text);
      }
    return L;
  }

protected:
  std::string NumberText(const TCodeExpr& E, bool Real) override {
    bool Whole;
    std::string T = NormalNumber(E.Text, Whole);
    // An int holds nine digits for sure; a longer whole number is a real.
    if (Whole && !Real && T.size() <= 9)
      return T;
    if (T.find_first_of(".eE") == std::string::npos)
      T += ".0";
    return Lesson() ? T : T + "L";
  }
  std::string FunctionText(const std::string& Name, const std::string& Arg) override {
    if (Lesson()) {
      FMath = true;
      if (Name == "ROUND")
        return "std::nearbyint(" + Arg + ")"; // half to even, as the interpreter rounds
      if (Name == "SQR")
        return "std::pow(" + Arg + ", 2)";
      if (Name == "LN")
        return "std::log(" + Arg + ")";
      if (Name == "ABS")
        return "std::fabs(" + Arg + ")"; // a double, whatever the argument
      return "std::" + LowerCaseRu(Name) + "(" + Arg + ")";
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
      return "sqr(" + Arg + ")";
    }
    if (Name == "ABS")
      return "std::fabs(" + Arg + ")";
    if (Name == "SIN" || Name == "COS" || Name == "EXP") {
      Use(TCodeHelper::InRange);
      return "std::" + LowerCaseRu(Name) + "(in_range(" + Arg + ", " +
             (Name == "EXP" ? "11356" : "9e18L") + "))";
    }
    if (Name == "LN")
      return "std::log(" + Arg + ")";
    return "std::" + LowerCaseRu(Name) + "(" + Arg + ")";
  }
  std::string PowerText(const std::string& Base, const std::string& Exponent,
                        bool PositiveBase) override {
    if (Lesson()) {
      FMath = true;
      // The interpreter takes powers of positive numbers only.
      FPowerHelper = FPowerHelper || !PositiveBase;
      return std::string(PositiveBase ? "std::pow(" : "power(") + Base + ", " + Exponent + ")";
    }
    Use(TCodeHelper::Power);
    return "power(" + Base + ", " + Exponent + ")";
  }
  std::string ModText(const TCodeExpr& E, const std::string& A, const std::string& B) override {
    if (Lesson()) {
      // Whole numbers: C++'s own remainder, with the dividend's sign as the
      // interpreter's MOD has it; else std::fmod, which does not round.
      if (IsWholeRemainder(E))
        return Operand(A) + " % " + Operand(B);
      FMath = true;
      FFmod = true;
      return "std::fmod(" + A + ", " + B + ")";
    }
    Use(TCodeHelper::Modulo);
    return "modulo(" + A + ", " + B + ")";
  }
  std::string NumberHelperText(const std::string& Value, const std::string& Source) override {
    return "number(" + Value + ", " + Quote(Source) + ")";
  }
  std::string CheckedNumberText(const TCodeExpr& E, const std::string& Value,
                                const std::string& Source) override {
    // Reading the processor's flags costs more than the step itself.
    if (!MayHideInfinity(E))
      return NumberHelperText(Value, Source);
    Use(TCodeHelper::CheckedNumber);
    return "checked_number(" + Value + ", " + Quote(Source) + ")";
  }
  std::string AsTextHelperText(const std::string& Value, const std::string& Source) override {
    return "as_text(" + Value + ", " + Quote(Source) + ")";
  }
  bool NeedsRealOperand(const TCodeExpr& E) const override {
    if (!Lesson())
      return IsIntegral(E);
    if (Wholeness(E).Numbers)
      return true;
    // In the lesson text a whole counter divided by a whole number would
    // divide as integers, and a sum or product of whole numbers that may
    // not fit a long long would wrap.
    if (E.Kind != TCodeExpr::ekDivide && !IsWholeOperation(E))
      return false;
    const TWhole L = Wholeness(E.Args[0]), R = Wholeness(E.Args[1]);
    return L.Whole && R.Whole && (E.Kind == TCodeExpr::ekDivide || !FitsWhole(E, L, R));
  }
  std::string LimitedText(const std::string& Arg, const std::string& Limit) override {
    FLimitsHelper = true;
    return "in_range(" + Arg + ", " + Limit + ")";
  }
  std::string RealVariableText(const std::string& Var) override {
    return FCounters.count(Var) ? "double(" + Var + ")" : Var;
  }
  std::string RealValueText(const TCodeExpr& E, const std::string& Text) override {
    return Lesson() && WholeTyped(E) ? "double(" + Text + ")" : Text;
  }

private:
  bool FMath = false;
  std::set<std::string> FCounters;     // the whole ones of the lesson text's own counting loops
  std::set<std::string> FLoopCounters; // all of them, declared in their loops
  bool FPowerHelper = false, FLimitsHelper = false, FFmod = false;

  // The lesson text's helpers, whether used, with their texts.
  std::vector<std::pair<bool, const char*>> LessonHelpers() const {
    if (!Lesson())
      return {};
    return {{FPowerHelper, LessonPower}, {FLimitsHelper, LessonInRange}};
  }

  std::vector<std::string> LessonPrologue(const std::set<std::string>& Vars) {
    std::vector<std::string> L{
        std::string(
            "// Числа читаются, считаются и печатаются по правилам C++ (15 значащих цифр)") +
        (FFmod ? ", MOD - это std::fmod." : ".")};
    if (MayFail())
      L.push_back("#include <cfenv>");
    if (FMath)
      L.push_back("#include <cmath>");
    L.push_back("#include <iostream>");
    L.push_back("");
    bool Declared = false;
    for (const auto& [Used, Text] : LessonHelpers())
      if (Used) {
        const std::string T = Text;
        // The helper's first line after its comment, as a declaration.
        const size_t Start = T.find('\n') + 1;
        L.push_back(T.substr(Start, T.find(" {", Start) - Start) + ";");
        Declared = true;
      }
    if (Declared)
      L.push_back("");
    L.push_back("int main() {");
    if (MayFail()) {
      L.push_back(
          IndentUnit() +
          "// Деление на ноль, недопустимый аргумент и переполнение останавливают программу.");
      L.push_back(IndentUnit() + "feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);");
    }
    L.push_back(IndentUnit() + "std::cout.precision(15);");
    std::string D;
    for (const std::string& V : Vars)
      if (!FLoopCounters.count(V))
        D += (D.empty() ? "" : ", ") + V + (MaybeUnset().count(V) ? " = NAN" : "");
    if (!D.empty())
      L.push_back(IndentUnit() + "double " + D + ";");
    return L;
  }

  // An operand of %: in parentheses unless it is one already.
  static std::string Operand(const std::string& Text) {
    return IsAtomText(Text) ? Text : "(" + Text + ")";
  }

  // How C++ computes a value: as a whole number (whole literals, whole
  // counters, their sums, differences and products where they surely fit a
  // long long, their remainders by a number surely above zero), with its
  // largest magnitude; and whether it is made of whole literals alone (an
  // operation on those is made real). So no whole-number computation can
  // fail, and a compiler that leaves one out where it knows the value
  // (x % 1, 0 * x) leaves out no failure.
  TWhole LeafWholeness(const TCodeExpr& E) const override {
    TWhole W;
    switch (E.Kind) {
    case TCodeExpr::ekNumber: {
      bool Whole;
      W.Whole = W.Numbers = NormalNumber(E.Text, Whole).size() <= 9 && Whole; // as NumberText
      W.Bound = std::fabs(E.Value);
      return W;
    }
    case TCodeExpr::ekVariable:
      W.Whole = FCounters.count(E.Text) != 0;
      W.Bound = Bound(E);
      return W;
    case TCodeExpr::ekMod: {
      const TWhole L = Wholeness(E.Args[0]), R = Wholeness(E.Args[1]);
      W.Whole = L.Whole && R.Whole && Positive(E.Args[1]);
      W.Bound = std::min(L.Bound, R.Bound);
      return W;
    }
    default:
      return W;
    }
  }
  // Whether the remainder E is written with %.
  bool IsWholeRemainder(const TCodeExpr& E) const { return WholeTyped(E); }

  static void Close(TCodeSink& S) {
    S.Outdent();
    S.Line("}");
  }
};

} // namespace

std::unique_ptr<TCodeStyle> MakeCppStyle() {
  return std::make_unique<TCppStyle>();
}

} // namespace Deskbay
