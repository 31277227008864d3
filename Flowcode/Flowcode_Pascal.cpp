#include "Flowcode_Pascal.h"

#include <cmath>
#include <unordered_map>

namespace Deskbay {

namespace {

const char* const HelperMaxDouble = R"(const
  MaxDouble: Double = 1.7976931348623157E308;)";

const char* const HelperFail =
    R"({ Останавливает программу: сообщение идёт в поток ошибок, код выхода 1. }
procedure Fail(const Message: AnsiString);
begin
  WriteLn(StdErr, Message);
  Halt(1);
end;)";

const char* const HelperComputationFailed =
    R"({ Деление на ноль и другие ошибки вычисления в самом Pascal - как у исполнителя. }
procedure ComputationFailed(ErrorCode: Longint; Address: CodePointer; Frame: Pointer);
begin
  if ErrorCode in [200, 205, 206, 207, 208, 215] then
    Fail('Ошибка при вычислении.');
end;)";

const char* const HelperNumber =
    R"({ Вычисленное значение, каким его хранит переменная: число Double. }
{ Не число (деление на ноль, недопустимый аргумент) и слишком большое число - ошибка, }
{ и сообщение называет выражение, как его называет исполнитель. }
function Number(X: Extended; const Expression: AnsiString): Extended;
var
  D: Double;
begin
  { Сравнения с не-числом в Free Pascal ненадёжны: IsNan - отдельно. }
  if IsNan(X) or (Abs(X) > MaxDouble) then
    Fail('Ошибка при вычислении "' + Expression + '".');
  D := X;
  Number := D;
end;)";

const char* const HelperAsText =
    R"({ Цифры числа double, округлённые один раз, как их округляет исполнитель, даёт библиотека C. }
function strfromd(Text: PChar; Size: SizeUInt; Format: PChar; X: Double): LongInt; cdecl; external 'c';

{ Число, как его печатает исполнитель: 10 значащих цифр, без лишних нулей. }
function AsText(X: Extended; const Expression: AnsiString): AnsiString;
var
  D: Double;
  Buffer: array[0..39] of Char;
  S, Digits, Sign: AnsiString;
  Exponent, Code, First: Integer;
begin
  D := Number(X, Expression);
  if D = 0 then
  begin
    AsText := '0';
    Exit;
  end;
  strfromd(@Buffer[0], SizeOf(Buffer), '%.9e', D); { '-1.234567890e+03' }
  S := PChar(@Buffer[0]);
  Val(Copy(S, Pos('e', S) + 1, 6), Exponent, Code);
  if D < 0 then
    First := 2
  else
    First := 1;
  Digits := S[First] + Copy(S, First + 2, 9);
  while (Length(Digits) > 1) and (Digits[Length(Digits)] = '0') do
    Delete(Digits, Length(Digits), 1);
  if D < 0 then
    Sign := '-'
  else
    Sign := '';
  if (Exponent >= 10) or (Exponent < -5) then
  begin
    S := Digits[1];
    if Length(Digits) > 1 then
      S := S + '.' + Copy(Digits, 2, 9);
    Str(Exponent, Digits);
    AsText := Sign + S + 'E' + Digits;
  end
  else if Exponent < 0 then
    AsText := Sign + '0.' + StringOfChar('0', -Exponent - 1) + Digits
  else
  begin
    while Length(Digits) < Exponent + 1 do
      Digits := Digits + '0';
    S := Copy(Digits, 1, Exponent + 1);
    if Length(Digits) > Exponent + 1 then
      S := S + '.' + Copy(Digits, Exponent + 2, 9);
    AsText := Sign + S;
  end;
end;)";

const char* const HelperReadNumber =
    R"({ Читает число со стандартного ввода; пустые строки пропускаются. }
function ReadNumber(const Name: string): Extended;
var
  Line: AnsiString;
  X: Extended;
  D: Double;
  Code: Word;
  I, Start, Digits: Integer;
  Point: Boolean;
begin
  repeat
    Write(StdErr, 'Введите значение ', Name, ': ');
    if Eof(Input) then
      Fail('Выполнение прервано пользователем.');
    ReadLn(Line);
    while (Length(Line) > 0) and (Line[1] <= ' ') do
      Delete(Line, 1, 1);
    while (Length(Line) > 0) and (Line[Length(Line)] <= ' ') do
      Delete(Line, Length(Line), 1);
  until Line <> '';
  { Знак, цифры 0-9 с точкой или без, порядок после E - и больше ничего. }
  I := 1;
  if (I <= Length(Line)) and (Line[I] in ['+', '-']) then
    Inc(I);
  Digits := 0;
  Point := False;
  while (I <= Length(Line)) and ((Line[I] in ['0'..'9']) or ((Line[I] = '.') and not Point)) do
  begin
    if Line[I] = '.' then
      Point := True
    else
      Inc(Digits);
    Inc(I);
  end;
  if (Digits > 0) and (I <= Length(Line)) and (Line[I] in ['e', 'E']) then
  begin
    Inc(I);
    if (I <= Length(Line)) and (Line[I] in ['+', '-']) then
      Inc(I);
    Start := I;
    while (I <= Length(Line)) and (Line[I] in ['0'..'9']) do
      Inc(I);
    if I = Start then
      Digits := 0;
  end;
  Code := 1;
  if (Digits > 0) and (I > Length(Line)) then
    Val(Line, X, Code);
  if (Code <> 0) or (Abs(X) > MaxDouble) then
  begin
    { Не больше 40 знаков текста, дальше - многоточие. }
    I := 1;
    Digits := 0;
    while (I <= Length(Line)) and (Digits < 40) do
    begin
      Inc(I);
      while (I <= Length(Line)) and (Ord(Line[I]) and $C0 = $80) do
        Inc(I);
      Inc(Digits);
    end;
    if I <= Length(Line) then
      Line := Copy(Line, 1, I - 1) + '…';
    Fail('"' + Line + '" не является числом.');
  end;
  D := X;
  ReadNumber := D;
end;)";

const char* const HelperPower =
    R"({ Степень считает powl математической библиотеки C, с 80-битной точностью. }
function powl(X, Y: Extended): Extended; cdecl; external 'm';

{ Степень: только положительное основание и не слишком большой результат. }
function Power(Base, Exponent: Extended): Extended;
begin
  if IsNan(Base) or IsNan(Exponent) or (Base <= 0) or (Abs(Ln(Base) * Exponent) > 11356) then
    Power := NaN
  else
    Power := powl(Base, Exponent);
end;)";

const char* const HelperModulo =
    R"({ MOD: остаток от деления округлённых целых, со знаком делимого. }
function Modulo(A, B: Extended): Extended;
var
  X, Y: Int64;
begin
  { Int64 держит числа от -2^63 до 2^63 - 1. }
  if IsNan(A) or IsNan(B) or (A < -9223372036854775808.0) or (A >= 9223372036854775807.5) or
     (B < -9223372036854775808.0) or (B >= 9223372036854775807.5) then
  begin
    Modulo := NaN;
    Exit;
  end;
  X := Round(A); { половина - к чётному }
  Y := Round(B);
  if Y = 0 then
    Modulo := NaN
  else if Y = -1 then
    Modulo := 0
  else
    Modulo := X mod Y;
end;)";

const char* const HelperRounded =
    R"({ ROUND: ближайшее целое, половина - к чётному; аргумент от -1E9 до 1E9. }
function Rounded(X: Extended): Extended;
begin
  if IsNan(X) or (Abs(X) > 1E9) then
    Rounded := NaN
  else
    Rounded := Round(X);
end;)";

const char* const HelperTruncated = R"({ TRUNC: целая часть; аргумент от -1E9 до 1E9. }
function Truncated(X: Extended): Extended;
begin
  if IsNan(X) or (Abs(X) > 1E9) then
    Truncated := NaN
  else
    Truncated := Trunc(X);
end;)";

const char* const HelperAddStep =
    R"({ Следующее значение переменной цикла: сумма чисел Double, как их хранит переменная. }
function AddStep(Value, Step: Double): Double;
begin
  AddStep := Value + Step;
end;)";

const char* const HelperInRange = R"({ Аргумент функции в её пределах: от -Limit до Limit. }
function InRange(X, Limit: Extended): Extended;
begin
  if IsNan(X) or (Abs(X) > Limit) then
    InRange := NaN
  else
    InRange := X;
end;)";

const char* const HelperDivide =
    R"({ Частное; деление на ноль даёт не число, и его не пропустит Number. }
function Divide(A, B: Extended): Extended;
begin
  if B = 0 then
    Divide := NaN
  else
    Divide := A / B;
end;)";

const char* const HelperLogarithm = R"({ LN: логарифм; только у положительного числа. }
function Logarithm(X: Extended): Extended;
begin
  if IsNan(X) or (X <= 0) then
    Logarithm := NaN
  else
    Logarithm := Ln(X);
end;)";

const char* const HelperTrigonometry =
    R"({ SIN и COS считает математическая библиотека C: точно и при больших аргументах. }
function sinl(X: Extended): Extended; cdecl; external 'm';
function cosl(X: Extended): Extended; cdecl; external 'm';)";

const char* const LessonPower = R"({ Степень, как у исполнителя: только положительного числа. }
function Power(Base, Exponent: Real): Real;
begin
  Power := Exp(Exponent * Ln(Base));
end;)";

const char* const LessonInRange =
    R"({ Аргумент функции в пределах, которые ставит исполнитель: от -Limit до Limit. }
function InRange(X, Limit: Real): Real;
begin
  if Abs(X) > Limit then
    RunError(207); { ошибка вычисления }
  InRange := X;
end;)";

std::string ConditionText(const TCodeCondition& C) {
  return C.Left + " " + C.Op + " " + C.Right;
}

class TPascalStyle : public TCodeStyle {
public:
  std::string IndentUnit() const override { return "  "; }

  std::string Quote(const std::string& Text) const override {
    std::string R;
    bool Open = false;
    for (char C : Text) {
      const auto U = static_cast<unsigned char>(C);
      if (U < 32 || U == 127) {
        if (Open)
          R += '\'';
        Open = false;
        R += '#' + std::to_string(U);
        continue;
      }
      if (!Open)
        R += '\'';
      Open = true;
      R += C;
      if (C == '\'')
        R += C;
    }
    if (Open)
      R += '\'';
    return R.empty() ? "''" : R;
  }

  void Assign(TCodeSink& S, const std::string& Var, const std::string& Value) override {
    S.Line(Var + " := " + Value + ";");
  }
  void Input(TCodeSink& S, const std::string& Var) override {
    if (Lesson()) {
      S.Line("readln(" + Var + ");");
      return;
    }
    Use(TCodeHelper::ReadNumber);
    S.Line(Var + " := ReadNumber(" + Quote(Var) + ");");
  }
  void InputLine(TCodeSink& S, const std::vector<std::string>& Vars) override {
    if (Vars.size() == 1) {
      Input(S, Vars[0]);
      return;
    }
    std::string L;
    for (const std::string& Var : Vars) {
      if (Lesson()) {
        L += (L.empty() ? "" : ", ") + Var;
      } else {
        Use(TCodeHelper::ReadNumber);
        L += (L.empty() ? "" : " ") + Var + " := ReadNumber(" + Quote(Var) + ");";
      }
    }
    // Numbers are read past line ends, one after the other.
    S.Line(Lesson() ? "readln(" + L + ");" : L);
  }
  void Output(TCodeSink& S, const std::vector<std::string>& Items) override {
    std::string L;
    if (Lesson()) {
      for (const std::string& I : Items)
        L += (L.empty() ? "" : ", ' ', ") + I;
      S.Line("writeln(" + L + ");");
      return;
    }
    // The whole line is made before anything is written: an item that
    // fails leaves no part of it behind. One item after the other, so the
    // first that fails is the one named.
    if (Items.size() == 1) {
      S.Line("WriteLn(" + Items[0] + ");");
      return;
    }
    Use(TCodeHelper::Joined);
    S.Line("Printed := " + Items[0] + ";");
    for (size_t I = 1; I < Items.size(); ++I)
      S.Line("Printed := Printed + ' ' + " + Items[I] + ";");
    S.Line("WriteLn(Printed);");
  }
  void Fail(TCodeSink& S, const std::string& Message) override {
    if (Lesson()) {
      S.Line("writeln(StdErr, " + Quote(Message) + ");");
      S.Line("Halt(1);");
      return;
    }
    Use(TCodeHelper::Fail);
    S.Line("Fail(" + Quote(Message) + ");");
  }
  void Comment(TCodeSink& S, const std::string& Text) override {
    S.Line("// " + CommentText(Text));
  }
  void CheckDefined(TCodeSink& S, const std::string& Var, const std::string& Message) override {
    if (Lesson()) {
      S.Line("if " + Var + " = Unset then");
      Open(S);
      Fail(S, Message);
      Close(S);
      return;
    }
    Use(TCodeHelper::Fail);
    S.Line("if " + Var + " = Unset then");
    S.Indent();
    S.Line("Fail(" + Quote(Message) + ");");
    S.Outdent();
  }

  void BeginIf(TCodeSink& S, const TCodeCondition& C) override {
    S.Line("if " + ConditionText(C) + " then");
    Open(S);
  }
  void Else(TCodeSink& S, bool) override {
    S.Outdent();
    S.Line("end");
    S.Line("else");
    Open(S);
  }
  void EndIf(TCodeSink& S, bool) override { Close(S); }
  void BeginWhile(TCodeSink& S, const TCodeCondition& C) override {
    S.Line("while " + ConditionText(C) + " do");
    Open(S);
  }
  void EndWhile(TCodeSink& S, bool) override { Close(S); }
  void BeginRepeat(TCodeSink& S) override {
    S.Line("repeat");
    S.Indent();
  }
  void EndRepeat(TCodeSink& S, const TCodeCondition& C) override {
    TCodeCondition Stop = C;
    Stop.Op = NegatedOp(C.Op);
    S.Outdent();
    S.Line("until " + ConditionText(Stop) + ";");
  }
  // Pascal's own loop: a whole counter by one, to an end read once; Trunc
  // rounds a fractional end towards zero, which is down from a start of 1.
  static bool OwnLoop(const TCodeForLoop& L) {
    return L.Counted && L.StepValue == 1 && (L.EndWhole || L.StartValue >= 1);
  }

  void BeginFor(TCodeSink& S, const TCodeForLoop& L) override {
    if (Lesson() && OwnLoop(L)) {
      FCounters.insert(L.Var);
      // A fractional end is rounded down; a whole one is taken as it is.
      const bool WholeEnd = L.EndWhole || IsWholeCounter(L.End);
      S.Line("for " + L.Var + " := " + L.Start + " to " +
             (WholeEnd ? L.End : "Trunc(" + L.End + ")") + " do");
      Open(S);
      return;
    }
    if (Lesson()) {
      FRealCounters.insert(L.Var);
      Comment(S, "цикл с параметром " + L.Var + " через while: " +
                     (!L.WhyNot.empty()  ? L.WhyNot
                      : L.StepValue != 1 ? "шаг for в Pascal только 1"
                                         : "конец не целое число"));
    }
    S.Line(L.Var + " := " + L.Start + ";");
    S.Line("while " + L.Var + " <= " + L.End + " do");
    Open(S);
  }
  void EndFor(TCodeSink& S, const TCodeForLoop& L, bool) override {
    if (Lesson() && OwnLoop(L)) {
      Close(S);
      return;
    }
    if (Lesson()) {
      S.Line(L.Var + " := " + L.Var + " + " + L.Step + ";");
    } else if (L.Plain && L.StepValue < 0) {
      S.Line(L.Var + " := " + L.Var + " - " + L.Step.substr(1) + ";");
    } else if (L.Plain) {
      S.Line(L.Var + " := " + L.Var + " + " + L.Step + ";");
    } else {
      Use(TCodeHelper::AddStep);
      S.Line(L.Var + " := AddStep(" + L.Var + ", " + L.Step + ");");
    }
    Close(S);
  }

  std::vector<std::string> Prologue(const std::set<std::string>& Vars) override {
    if (Lesson()) {
      std::vector<std::string> L{"{ Числа читаются, считаются и печатаются по правилам Pascal. }",
                                 "program Algorithm;"};
      if (FMathUnit || !MaybeUnset().empty())
        L.push_back("uses Math;");
      // A variable without a value holds Infinity, which no computation
      // gives: Pascal stops at an overflow.
      if (!MaybeUnset().empty()) {
        L.push_back("const");
        L.push_back(IndentUnit() + "Unset = Infinity; { значение переменной, которой ещё ничего "
                                   "не присвоено }");
      }
      std::string Reals, Wholes;
      for (const std::string& V : Vars) {
        std::string& D = FCounters.count(V) && !FRealCounters.count(V) ? Wholes : Reals;
        D += (D.empty() ? "" : ", ") + V;
      }
      if (!Vars.empty())
        L.push_back("var");
      if (!Reals.empty())
        L.push_back(IndentUnit() + Reals + ": Real;");
      if (!Wholes.empty())
        L.push_back(IndentUnit() + Wholes + ": Int64;");
      for (const auto& [Used, Text] :
           {std::pair{FPowerHelper, LessonPower}, std::pair{FLimitsHelper, LessonInRange}})
        if (Used) {
          L.push_back("");
          AppendLines(L, Text);
        }
      if (FPowerHelper || FLimitsHelper)
        L.push_back("");
      L.push_back("begin");
      std::string Unset;
      for (const std::string& V : MaybeUnset())
        Unset += (Unset.empty() ? "" : " ") + V + " := Unset;";
      if (!Unset.empty())
        L.push_back(IndentUnit() + Unset);
      return L;
    }
    if (Uses(TCodeHelper::AsText))
      Use(TCodeHelper::Number);
    if (UsesFailingHelper())
      Use(TCodeHelper::Fail);
    std::vector<std::string> L{"program Algorithm;"};
    // The FPU's exceptions masked: a failed operation gives a value that
    // Number refuses, naming its expression.
    if (Uses(TCodeHelper::Number) || UsesFailingHelper())
      L.push_back("uses Math;");
    if (Uses(TCodeHelper::Number) || Uses(TCodeHelper::ReadNumber)) {
      L.push_back("");
      AppendLines(L, HelperMaxDouble);
    }
    if (!MaybeUnset().empty()) {
      L.push_back("");
      L.push_back("const");
      L.push_back(
          IndentUnit() +
          "{ Значение переменной, которой ещё ничего не присвоено: больше любого Double. }");
      L.push_back(IndentUnit() + "Unset: Extended = 1E4000;");
    }
    if (!Vars.empty()) {
      std::string D;
      for (const std::string& V : Vars)
        D += (D.empty() ? "" : ", ") + V;
      L.push_back("");
      L.push_back("var");
      L.push_back(IndentUnit() + D + ": Extended;");
    }
    if (Uses(TCodeHelper::Joined)) {
      if (Vars.empty()) {
        L.push_back("");
        L.push_back("var");
      }
      L.push_back(IndentUnit() + "Printed: AnsiString; { строка вывода }");
    }
    const std::pair<TCodeHelper, const char*> Helpers[] = {
        {TCodeHelper::Fail, HelperFail},
        {TCodeHelper::Fail, HelperComputationFailed},
        {TCodeHelper::Number, HelperNumber},
        {TCodeHelper::AsText, HelperAsText},
        {TCodeHelper::ReadNumber, HelperReadNumber},
        {TCodeHelper::Power, HelperPower},
        {TCodeHelper::Modulo, HelperModulo},
        {TCodeHelper::Rounded, HelperRounded},
        {TCodeHelper::Truncated, HelperTruncated},
        {TCodeHelper::InRange, HelperInRange},
        {TCodeHelper::Divide, HelperDivide},
        {TCodeHelper::Logarithm, HelperLogarithm},
        {TCodeHelper::AddStep, HelperAddStep},
        {TCodeHelper::Trigonometry, HelperTrigonometry}};
    for (const auto& [H, Text] : Helpers) {
      if (!Uses(H))
        continue;
      L.push_back("");
      AppendLines(L, Text);
    }
    L.push_back("");
    L.push_back("begin");
    // A failed operation of Pascal's own ends in the interpreter's words,
    // not in a run-time error.
    if (Uses(TCodeHelper::Fail))
      L.push_back(IndentUnit() + "ErrorProc := @ComputationFailed;");
    if (Uses(TCodeHelper::Number))
      L.push_back(IndentUnit() + "SetExceptionMask([exInvalidOp, exDenormalized, exZeroDivide, "
                                 "exOverflow, exUnderflow, exPrecision]);");
    if (!MaybeUnset().empty()) {
      std::string D;
      for (const std::string& V : MaybeUnset())
        D += (D.empty() ? "" : " ") + V + " := Unset;";
      L.push_back(IndentUnit() + D);
    }
    return L;
  }
  std::vector<std::string> Epilogue() override { return {"end."}; }

protected:
  std::string NumberText(const TCodeExpr& E, bool Real) override {
    // Free Pascal types a constant by the smallest type that holds it (2.5
    // is a Single) and folds constant operations in that type; Extended(...)
    // keeps them in the interpreter's precision.
    bool Whole;
    std::string T = NormalNumber(E.Text, Whole);
    if (!Whole && T.find_first_of(".eE") == std::string::npos)
      T += ".0";
    return Real ? "Extended(" + T + ")" : T;
  }
  std::string FunctionText(const std::string& Name, const std::string& Arg) override {
    if (Lesson() && (Name == "ROUND" || Name == "TRUNC"))
      return (Name == "ROUND" ? "Round(" : "Trunc(") + Arg + ")";
    if (Lesson() && (Name == "SIN" || Name == "COS" || Name == "EXP"))
      return (Name == "SIN" ? "Sin(" : Name == "COS" ? "Cos(" : "Exp(") + Arg + ")";
    if (Name == "ROUND") {
      Use(TCodeHelper::Rounded);
      return "Rounded(" + Arg + ")";
    }
    if (Name == "TRUNC") {
      Use(TCodeHelper::Truncated);
      return "Truncated(" + Arg + ")";
    }
    if (Name == "SIN" || Name == "COS" || Name == "EXP") {
      Use(TCodeHelper::InRange);
      if (Name != "EXP")
        Use(TCodeHelper::Trigonometry);
      const std::string Pascal = Name == "SIN" ? "sinl" : Name == "COS" ? "cosl" : "Exp";
      return Pascal + "(InRange(" + Arg + ", " + (Name == "EXP" ? "11356" : "9E18") + "))";
    }
    if (!Lesson() && Name == "LN") {
      Use(TCodeHelper::Logarithm);
      return "Logarithm(" + Arg + ")";
    }
    static const std::pair<const char*, const char*> Names[] = {
        {"ABS", "Abs"}, {"ATAN", "ArcTan"}, {"COS", "Cos"},   {"EXP", "Exp"},
        {"LN", "Ln"},   {"SIN", "Sin"},     {"SQRT", "Sqrt"}, {"SQR", "Sqr"}};
    for (const auto& [From, To] : Names)
      if (Name == From)
        return std::string(To) + "(" + Arg + ")";
    return Name + "(" + Arg + ")";
  }
  std::string PowerText(const std::string& Base, const std::string& Exponent, bool) override {
    if (Lesson()) {
      FPowerHelper = true;
      return "Power(" + Base + ", " + Exponent + ")";
    }
    Use(TCodeHelper::Power);
    return "Power(" + Base + ", " + Exponent + ")";
  }
  std::string ModText(const TCodeExpr&, const std::string& A, const std::string& B) override {
    // Round rounds halves to even, and mod keeps the dividend's sign, as
    // the interpreter's MOD does.
    if (Lesson())
      return WholeOperand(A) + " mod " + WholeOperand(B);
    Use(TCodeHelper::Modulo);
    return "Modulo(" + A + ", " + B + ")";
  }
  std::string NumberHelperText(const std::string& Value, const std::string& Source) override {
    return "Number(" + Value + ", " + Quote(Source) + ")";
  }
  std::string AsTextHelperText(const std::string& Value, const std::string& Source) override {
    return "AsText(" + Value + ", " + Quote(Source) + ")";
  }
  std::string DivideText(const std::string& Left, const std::string& Right) override {
    if (Lesson())
      return Left + " / " + Right;
    Use(TCodeHelper::Divide);
    return "Divide(" + Left + ", " + Right + ")";
  }
  bool NeedsRealOperand(const TCodeExpr& E) const override {
    if (!Lesson())
      return IsConstant(E);
    if (Wholeness(E).Numbers)
      return true;
    // In the lesson text a sum or product of whole numbers that may not
    // fit an Int64 would wrap (Fits).
    if (!IsWholeOperation(E))
      return false;
    const TWhole L = Wholeness(E.Args[0]), R = Wholeness(E.Args[1]);
    return L.Whole && R.Whole && !FitsWhole(E, L, R);
  }
  bool NeedsRealArgument(const TCodeExpr& E) const override {
    if (!Lesson() || E.Text != "SQR")
      return false;
    const TWhole A = Wholeness(E.Args[0]);
    return A.Whole && !(A.Bound < 0x1p31L);
  }
  std::string RealVariableText(const std::string& Var) override {
    return Lesson() && IsWholeCounter(Var) ? "Real(" + Var + ")" : Var;
  }
  std::string RealValueText(const TCodeExpr& E, const std::string& Text) override {
    return Lesson() && WholeTyped(E) ? "Real(" + Text + ")" : Text;
  }
  std::string LimitedText(const std::string& Arg, const std::string& Limit) override {
    FLimitsHelper = true;
    return "InRange(" + Arg + ", " + Limit + ")";
  }

private:
  bool FMathUnit = false;
  bool FPowerHelper = false, FLimitsHelper = false; // the lesson text's helpers
  std::set<std::string> FCounters, FRealCounters;

  bool IsWholeCounter(const std::string& Var) const {
    return FCounters.count(Var) && !FRealCounters.count(Var);
  }

  static bool IsZero(const TCodeExpr& E) {
    if (E.Kind == TCodeExpr::ekParens || E.Kind == TCodeExpr::ekNegate)
      return IsZero(E.Args[0]);
    return E.Kind == TCodeExpr::ekNumber && E.Value == 0;
  }

  // How Pascal computes a value: as an Int64 (whole literals and counters,
  // their sums, differences and products where they surely fit and are no
  // product with 0, ROUND, TRUNC, MOD, and ABS and SQR of whole numbers),
  // with its largest magnitude.
  TWhole LeafWholeness(const TCodeExpr& E) const override {
    TWhole W;
    switch (E.Kind) {
    case TCodeExpr::ekNumber: {
      NormalNumber(E.Text, W.Whole);
      W.Numbers = true;
      W.Bound = std::fabs(E.Value);
      return W;
    }
    case TCodeExpr::ekVariable:
      W.Whole = IsWholeCounter(E.Text);
      W.Bound = Bound(E);
      return W;
    case TCodeExpr::ekMod:
      W.Whole = true;
      W.Bound = Bound(E);
      return W;
    case TCodeExpr::ekFunction: {
      const TWhole A = Wholeness(E.Args[0]);
      W.Whole = E.Text == "ROUND" || E.Text == "TRUNC" ||
                ((E.Text == "ABS" || E.Text == "SQR") && A.Whole && !NeedsRealArgument(E));
      W.Bound = Bound(E);
      return W;
    }
    default:
      return W;
    }
  }
  // Whether the sum, difference or product E of whole L and R fits an
  // Int64, and is no product with 0, which Free Pascal leaves out of the
  // program with any failure of its other factor's ROUND, TRUNC or mod.
  bool FitsWhole(const TCodeExpr& E, const TWhole& L, const TWhole& R) const override {
    if (E.Kind == TCodeExpr::ekMultiply)
      return L.Bound * R.Bound < 0x1p62L && !IsZero(E.Args[0]) && !IsZero(E.Args[1]);
    return L.Bound + R.Bound < 0x1p62L;
  }

  // An operand of mod: a whole counter or number as it is, else rounded.
  std::string WholeOperand(const std::string& A) const {
    if (FCounters.count(A) ||
        (!A.empty() && A.find_first_not_of("0123456789") == std::string::npos))
      return A;
    return "Round(" + A + ")";
  }

  static void Open(TCodeSink& S) {
    S.Line("begin");
    S.Indent();
  }
  static void Close(TCodeSink& S) {
    S.Outdent();
    S.Line("end;");
  }
};

} // namespace

std::unique_ptr<TCodeStyle> MakePascalStyle() {
  return std::make_unique<TPascalStyle>();
}

} // namespace Deskbay
