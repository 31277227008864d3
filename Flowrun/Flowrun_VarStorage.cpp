#include "Flowrun_VarStorage.h"

#include "Flowlang/Flowlang_Messages.h"
#include "Flowlang/Flowlang_Statement.h"

#include "Corekit/Conditions.h"
#include "Corekit/SysUtils.h"

#include <cfloat>
#include <cmath>

namespace Deskbay {

namespace {

char AsciiUpper(char C) {
  return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C;
}

// The same case folding as SameText, so that sorting and lookup agree on
// which names are equal.
int CompareText(std::string_view A, std::string_view B) {
  const size_t Len = A.size() < B.size() ? A.size() : B.size();
  for (size_t I = 0; I < Len; ++I) {
    const auto CA = static_cast<unsigned char>(AsciiUpper(A[I]));
    const auto CB = static_cast<unsigned char>(AsciiUpper(B[I]));
    if (CA != CB)
      return CA < CB ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

[[noreturn]] void RaiseEvaluationError(const std::string& Expr, const std::string& Reason) {
  throw Exception(EvaluationErrorText(Expr, Reason));
}

[[noreturn]] void RaiseBadCondition(const std::string& Cond) {
  throw Exception(BadConditionText(Cond));
}

} // namespace

TVarStorage::TVarStorage() = default;

TVarStorage::~TVarStorage() = default;

int TVarStorage::GetVarIndex(std::string_view Name) const {
  for (size_t I = 0; I < FVars.size(); ++I)
    if (SameText(FVars[I]->GetName(), Name))
      return static_cast<int>(I);
  return -1;
}

int TVarStorage::GetNewVarIndex(std::string_view Name) const {
  for (size_t I = 0; I < FVars.size(); ++I)
    if (CompareText(FVars[I]->GetName(), Name) > 0)
      return static_cast<int>(I);
  return GetVarCount();
}

double TVarStorage::GetVars(std::string_view Name) const {
  const int Index = GetVarIndex(Name);
  if (Index == -1)
    throw Exception(UndefinedVariableText(Name));
  return FVars[static_cast<size_t>(Index)]->GetValue();
}

void TVarStorage::SetVars(std::string_view Name, double Value) {
  const int Index = GetVarIndex(Name);
  if (Index != -1)
    FVars[static_cast<size_t>(Index)]->SetValue(Value);
  else {
    FVars.insert(FVars.begin() + GetNewVarIndex(Name), std::make_unique<TVarInfo>(Name, Value));
    BindSlots();
  }
  Changed();
}

void TVarStorage::DeleteVar(std::string_view Name) {
  const int Index = GetVarIndex(Name);
  if (Index == -1)
    return;
  FVars.erase(FVars.begin() + Index);
  BindSlots();
  Changed();
}

const std::string& TVarStorage::GetVarNames(int Index) const {
  CheckVarIndex(Index);
  return FVars[static_cast<size_t>(Index)]->GetName();
}

double TVarStorage::GetVarValues(int Index) const {
  CheckVarIndex(Index);
  return FVars[static_cast<size_t>(Index)]->GetValue();
}

void TVarStorage::CheckVarIndex(int Index) const {
  if (Index < 0 || Index >= GetVarCount())
    throw Exception(Format("Bad var index (%d, %d).", Index, GetVarCount()));
}

TMathParser* TVarStorage::GetParser() {
  if (!FParser) {
    auto Parser = std::make_unique<TMathParser>();
    Parser->SetOnGetVar([this](TObject* Sender, std::string_view VarName, long double& Value,
                               bool& Found) { ParserGetVar(Sender, VarName, Value, Found); });
    Parser->SetOnParseError(
        [this](TObject* Sender, int ParseError) { ParserParseError(Sender, ParseError); });
    FParser = std::move(Parser);
  }
  return FParser.get();
}

double TVarStorage::Evaluate(const std::string& Expr) {
  TMathParser* Parser = GetParser();
  Parser->SetParseString(Expr);
  FLastParseError = 0;
  try {
    Parser->Parse();
  } catch (const Exception& E) {
    // An undefined variable: GetVars raised it from inside the parse.
    RaiseEvaluationError(Expr, E.Message());
  }
  if (Parser->GetHasError())
    RaiseEvaluationError(Expr, ParseErrorText(FLastParseError));
  const long double Result = Parser->GetResultValue();
  // Stored values are doubles; an extended result beyond their range would
  // otherwise turn into an infinity that no later expression can handle.
  if (std::fabs(Result) > static_cast<long double>(DBL_MAX))
    RaiseEvaluationError(Expr, std::string());
  return static_cast<double>(Result);
}

bool TVarStorage::EvaluateCondition(const std::string& Cond) {
  const TStatement S = ReadCondition(Cond);
  if (S.Kind != TStatementKind::Condition)
    RaiseBadCondition(Cond);
  const long double A = Evaluate(S.Exprs[0].Text);
  const long double B = Evaluate(S.Exprs[1].Text);
  return CompareExtended(A, B, S.Op);
}

void TVarStorage::ParserGetVar(TObject*, std::string_view VarName, long double& Value,
                               bool& Found) {
  Value = GetVars(VarName);
  Found = true;
}

void TVarStorage::ParserParseError(TObject*, int ParseError) {
  FLastParseError = ParseError;
}

// --- compiled forms ---

int TVarStorage::GetSlot(std::string_view Name) {
  const std::string Key = UpperCase(Name);
  for (size_t I = 0; I < FSlotNames.size(); ++I)
    if (FSlotNames[I] == Key)
      return static_cast<int>(I);
  FSlotNames.push_back(Key);
  FSlotVars.push_back(nullptr);
  FSlotValues.push_back(nullptr);
  BindSlots();
  return static_cast<int>(FSlotNames.size() - 1);
}

void TVarStorage::BindSlots() {
  for (size_t I = 0; I < FSlotNames.size(); ++I) {
    const int Index = GetVarIndex(FSlotNames[I]);
    TVarInfo* Info = Index == -1 ? nullptr : FVars[static_cast<size_t>(Index)].get();
    FSlotVars[I] = Info;
    FSlotValues[I] = Info ? &Info->FValue : nullptr;
  }
}

void TVarStorage::Compile(const std::string& Expr, TAlgExpression& Out) {
  Out.Text = Expr;
  Out.Code.Compile(Expr, [this](std::string_view Name) { return GetSlot(Name); });
}

void TVarStorage::CompileCondition(const std::string& Cond, TAlgCondition& Out) {
  CompileCondition(ReadCondition(Cond), Out);
}

void TVarStorage::CompileCondition(const TStatement& Cond, TAlgCondition& Out) {
  Out.Text = Cond.Line;
  Out.Splits = Cond.Kind == TStatementKind::Condition;
  if (!Out.Splits)
    return;
  Compile(Cond.Exprs[0].Text, Out.Left);
  Compile(Cond.Exprs[1].Text, Out.Right);
  Out.Op = CompareOpFromText(Cond.Op);
}

void TVarStorage::RaiseUnsplitCondition(const TAlgCondition& Cond) {
  RaiseBadCondition(Cond.Text);
}

void TVarStorage::RaiseCompiledError(const TAlgExpression& Expr, const TEvalResult& R) const {
  switch (R.Status) {
  case TEvalStatus::Undefined:
    RaiseEvaluationError(Expr.Text, UndefinedVariableText(Expr.Code.GetVarName(R.Undefined)));
  case TEvalStatus::SyntaxError:
    RaiseEvaluationError(Expr.Text, ParseErrorText(Expr.Code.GetParseError()));
  default:
    // A math error, or a value beyond the range of double.
    RaiseEvaluationError(Expr.Text, std::string());
  }
}

} // namespace Deskbay
