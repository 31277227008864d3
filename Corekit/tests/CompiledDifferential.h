#pragma once

// Compiled evaluation held against the parser reading the text, on random
// expressions and conditions: well-formed ones from a small grammar, and
// damaged copies of them that reach every syntax error, math errors and
// undefined variables. Shared by the unit tests (a few thousand texts) and
// the benchmark build (the full run).

#include "Corekit/Parser.h"
#include "Corekit/SysUtils.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace Deskbay::Testing {

class TExpressionGenerator {
public:
  explicit TExpressionGenerator(std::uint32_t Seed) : FRandom(Seed) {}

  // Variables a test defines; every other identifier is undefined.
  static std::vector<std::string> DefinedNames() { return {"A", "B", "C", "X", "I", "S"}; }
  static std::vector<double> Values() {
    return {0.0, 1.0, -2.5, 3.0, 7.0, 0.1, 1e300, -1e-300, 1000000.0, 0.5};
  }

  // Well-formed most of the time, damaged otherwise.
  std::string Expression() {
    std::string S = Sum(0);
    if (Chance(40))
      Damage(S);
    return S;
  }

  // A comparison, or a text that does not split into one.
  std::string Condition() {
    static const char* const Ops[] = {
        "<", ">", "=", "<>", "<=", ">=", "==", "=>", ">>", "<<", "=<"};
    std::string S;
    switch (Pick(10)) {
    case 0:
      S = Expression(); // no operator, or one from inside a damaged side
      break;
    case 1:
      S = Ops[Pick(std::size(Ops))];
      S += Expression();
      break;
    case 2:
      S = Expression() + Ops[Pick(std::size(Ops))];
      break;
    default:
      S = Expression() + Spaces() + Ops[Pick(std::size(Ops))] + Spaces() + Expression();
    }
    return S;
  }

private:
  std::size_t Pick(std::size_t N) {
    return std::uniform_int_distribution<std::size_t>(0, N - 1)(FRandom);
  }
  bool Chance(int Percent) { return static_cast<int>(Pick(100)) < Percent; }

  std::string Spaces() { return Chance(25) ? std::string(Pick(3) + 1, ' ') : std::string(); }

  std::string Sum(int Depth) {
    std::string S = Term(Depth);
    while (Chance(35))
      S += Spaces() + (Chance(50) ? "+" : "-") + Spaces() + Term(Depth);
    return S;
  }

  std::string Term(int Depth) {
    std::string S = Chance(15) ? ModChain(Depth) : Factor(Depth);
    while (Chance(30))
      S += Spaces() + (Chance(50) ? "*" : "/") + Spaces() + Factor(Depth);
    return S;
  }

  std::string ModChain(int Depth) {
    static const char* const Words[] = {"MOD", "mod", "Mod"};
    std::string S = Factor(Depth);
    do
      S += std::string(" ") + Words[Pick(3)] + " " + Factor(Depth);
    while (Chance(20));
    return S;
  }

  std::string Factor(int Depth) {
    std::string S = Signed(Depth);
    if (Chance(12))
      S += Spaces() + "^" + Spaces() + Factor(Depth + 1);
    return S;
  }

  // Built by appending: GCC 12 warns falsely (-Wrestrict) about literals
  // put in front of a temporary string.
  std::string Signed(int Depth) {
    std::string S = Chance(12) ? "-" : "";
    S += Primary(Depth);
    return S;
  }

  std::string Primary(int Depth) {
    static const char* const Functions[] = {"ABS", "ATAN", "COS", "EXP",   "LN",   "ROUND",
                                            "SIN", "SQRT", "SQR", "TRUNC", "sqrt", "Round"};
    const std::size_t Kind = Depth > 6 ? Pick(2) : Pick(5);
    if (Kind == 0)
      return Number();
    if (Kind == 1)
      return Variable();
    std::string S = Kind == 2 ? "" : Functions[Pick(std::size(Functions))];
    S += "(";
    if (Kind == 2)
      S += Spaces();
    S += Sum(Depth + 1);
    if (Kind == 2)
      S += Spaces();
    S += ")";
    return S;
  }

  std::string Number() {
    static const char* const Fixed[] = {"0",
                                        "1",
                                        "2",
                                        "10",
                                        "0.5",
                                        ".5",
                                        "5.",
                                        "1e3",
                                        "2E-2",
                                        "1.5e+1",
                                        "3e400",
                                        "1e",
                                        "7E+",
                                        "123456789012345678901",
                                        "0.1",
                                        "1e-5000",
                                        "9223372036854775807",
                                        "11356",
                                        "1E9",
                                        "2.5"};
    if (Chance(60))
      return std::to_string(Pick(1000));
    return Fixed[Pick(std::size(Fixed))];
  }

  std::string Variable() {
    static const char* const Defined[] = {"A", "B", "C", "X", "I", "S", "a", "x", "s"};
    static const char* const Undefined[] = {"Q", "q", "AB", "sqrt4", "ABSX", "x_1"};
    if (Chance(90))
      return Defined[Pick(std::size(Defined))];
    return Undefined[Pick(std::size(Undefined))];
  }

  // One change that a typing pupil might make.
  void Damage(std::string& S) {
    static const char* const Inserts[] = {"+", "-", "*",        "/", "^", "(",   ")",
                                          "!", " ", "\t",       ".", "e", "MOD", "SIN",
                                          "Q", "1", "\xD0\x96", "#", ",", "_"};
    const std::size_t At = Pick(S.size() + 1);
    switch (Pick(4)) {
    case 0:
      if (!S.empty())
        S.erase(Pick(S.size()), 1 + Pick(3));
      break;
    case 1:
      S.insert(At, Inserts[Pick(std::size(Inserts))]);
      break;
    case 2:
      if (At < S.size())
        S[At] = Inserts[Pick(std::size(Inserts))][0];
      break;
    default:
      // Deep nesting reaches the parser's stack limit.
      S = std::string(90 + Pick(20), '(') + S + std::string(Pick(120), ')');
    }
  }

  std::mt19937 FRandom;
};

// Variables as the machine's storage keeps them: doubles under names that
// match whatever their case; asking for any other name raises.
class TDifferentialVars {
public:
  void Randomize(std::mt19937& Random) {
    FValues.clear();
    const std::vector<double> Values = TExpressionGenerator::Values();
    for (const std::string& Name : TExpressionGenerator::DefinedNames())
      if (Random() % 16 != 0) // now and then a variable is not set yet
        FValues[Name] = Values[Random() % Values.size()];
  }

  void Set(const std::string& Name, double Value) { FValues[UpperCase(Name)] = Value; }
  double Get(const std::string& Name) const { return FValues.at(UpperCase(Name)); }

  // The parser's way: a lookup that raises for an undefined name.
  void GetVar(std::string_view Name, long double& Value, bool& Found) const {
    const auto It = FValues.find(UpperCase(Name));
    if (It == FValues.end())
      throw Exception("undefined " + std::string(Name));
    Value = It->second;
    Found = true;
  }

  // The compiled way: slots by upper-cased name, values by pointer.
  int Slot(std::string_view Name) {
    const std::string Key = UpperCase(Name);
    for (size_t I = 0; I < FSlotNames.size(); ++I)
      if (FSlotNames[I] == Key)
        return static_cast<int>(I);
    FSlotNames.push_back(Key);
    return static_cast<int>(FSlotNames.size() - 1);
  }
  std::vector<const double*> SlotValues() const {
    std::vector<const double*> Result;
    for (const std::string& Name : FSlotNames) {
      const auto It = FValues.find(Name);
      Result.push_back(It == FValues.end() ? nullptr : &It->second);
    }
    Result.push_back(nullptr); // never empty
    return Result;
  }

private:
  std::map<std::string, double> FValues;
  std::vector<std::string> FSlotNames;
};

inline bool SameBits(long double A, long double B) {
  return std::memcmp(&A, &B, 10) == 0; // the 80 bits that hold the value
}

// Empty when the compiled form of Text answers exactly as the parser does
// with the same variables; otherwise what differs.
// Outcome, when given, receives the compiled form's outcome as an index of
// TDifferentialRun::Outcomes.
inline std::string CompareWithParser(const std::string& Text, TDifferentialVars& Vars,
                                     int* Outcome = nullptr) {
  TMathParser Parser;
  Parser.SetOnGetVar([&Vars](TObject*, std::string_view Name, long double& Value, bool& Found) {
    Vars.GetVar(Name, Value, Found);
  });
  Parser.SetParseString(Text);
  std::string Undefined;
  try {
    Parser.Parse();
  } catch (const Exception& E) {
    Undefined = E.Message().substr(10);
  }

  TCompiledExpression Compiled;
  Compiled.Compile(Text, [&Vars](std::string_view Name) { return Vars.Slot(Name); });
  const std::vector<const double*> Values = Vars.SlotValues();
  const TEvalResult R = Compiled.Evaluate(Values.data());

  // The quick evaluation, where it answers, gives the double the full one
  // rounds to, bit for bit.
  double Quick;
  std::ostringstream QuickDiff;
  if (Compiled.EvaluateQuick(Values.data(), Quick)) {
    const double Full = static_cast<double>(R.Value);
    if (R.Status != TEvalStatus::Ok || !(std::fabs(R.Value) <= DBL_MAX) ||
        std::memcmp(&Full, &Quick, sizeof Full) != 0)
      QuickDiff << "quick: " << Quick << " where the full evaluation gives status " << int(R.Status)
                << ", " << Full;
  }
  // And its whole number, where it gives one, is that double exactly.
  std::int64_t Whole;
  if (Compiled.EvaluateQuickWhole(Values.data(), Whole)) {
    const double Full = static_cast<double>(R.Value);
    if (R.Status != TEvalStatus::Ok || static_cast<long double>(Whole) != R.Value ||
        (Whole == 0 && std::signbit(Full)))
      QuickDiff << "quick whole: " << Whole << " where the full evaluation gives status "
                << int(R.Status) << ", " << Full;
  }
  if (Outcome)
    *Outcome = R.Status == TEvalStatus::Ok          ? 9
               : R.Status == TEvalStatus::Undefined ? 8
               : R.Status == TEvalStatus::MathError ? 0
                                                    : Compiled.GetParseError();
  std::ostringstream Diff;
  if (!Undefined.empty()) {
    if (R.Status != TEvalStatus::Undefined || Compiled.GetVarName(R.Undefined) != Undefined)
      Diff << "the parser asked first for the undefined " << Undefined;
  } else if (R.Status == TEvalStatus::Undefined) {
    Diff << "compiled: undefined " << Compiled.GetVarName(R.Undefined);
  } else if (Parser.GetParseError() != ErrNone) {
    if (R.Status != TEvalStatus::SyntaxError ||
        Compiled.GetParseError() != Parser.GetParseError() ||
        Compiled.GetPosition() != Parser.GetPosition())
      Diff << "the parser: error " << Parser.GetParseError() << " at " << Parser.GetPosition()
           << "; compiled: status " << int(R.Status) << ", error " << Compiled.GetParseError()
           << " at " << Compiled.GetPosition();
  } else if (Parser.GetHasError()) {
    if (R.Status != TEvalStatus::MathError)
      Diff << "the parser: math error; compiled: status " << int(R.Status);
  } else if (R.Status != TEvalStatus::Ok || !SameBits(R.Value, Parser.GetResultValue())) {
    Diff << "the parser: " << static_cast<double>(Parser.GetResultValue()) << "; compiled: status "
         << int(R.Status) << ", " << static_cast<double>(R.Value);
  }
  Diff << QuickDiff.str();
  if (Diff.str().empty())
    return std::string();
  std::string Report = "\"";
  Report += Text;
  Report += "\": ";
  Report += Diff.str();
  return Report;
}

// Runs Count random texts from Seed; the first differences found, at most
// MaxReported, and how often each syntax error code came up (index 0: math
// errors, 8: undefined variables, 9: values).
struct TDifferentialRun {
  std::vector<std::string> Differences;
  int Outcomes[10] = {};
};

inline TDifferentialRun RunDifferential(int Count, std::uint32_t Seed, size_t MaxReported = 10) {
  TDifferentialRun Run;
  TExpressionGenerator Generator(Seed);
  std::mt19937 Random(Seed + 1);
  TDifferentialVars Vars;
  for (int I = 0; I < Count; ++I) {
    Vars.Randomize(Random);
    const std::string Text = Generator.Expression();
    int Outcome = 0;
    std::string Diff = CompareWithParser(Text, Vars, &Outcome);
    if (!Diff.empty() && Run.Differences.size() < MaxReported)
      Run.Differences.push_back(std::move(Diff));
    ++Run.Outcomes[Outcome];
  }
  return Run;
}

} // namespace Deskbay::Testing
