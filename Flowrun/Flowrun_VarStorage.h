#pragma once

// The variables of one run of an algorithm, and the evaluation of
// expressions and conditions against them. Names are single Latin letters in
// practice; lookup ignores case, so an expression may write "x" for "X".

#include "FlowrunExport.h"

#include "Corekit/Conditions.h"
#include "Corekit/MiscUtils_Versioning.h"
#include "Corekit/Parser.h"

#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

struct TStatement;

class FLOWRUN_API TVarInfo : public TObject {
public:
  TVarInfo(std::string_view Name, double Value) : FName(Name), FValue(Value) {}
  const char* ClassName() const override { return "TVarInfo"; }

  const std::string& GetName() const { return FName; }
  double GetValue() const { return FValue; }
  void SetValue(double Value) { FValue = Value; }

private:
  friend class TVarStorage; // its slots point at the value
  std::string FName;
  double FValue;
};

// An expression compiled against one storage's variable slots, with the
// text it was read from for the error messages.
struct TAlgExpression {
  std::string Text;
  TCompiledExpression Code;
};

// A condition split once: both sides compiled, or the note that the text
// does not split, which evaluating it then reports.
struct TAlgCondition {
  std::string Text;
  bool Splits = false;
  TAlgExpression Left, Right;
  TCompareOp Op = TCompareOp::Equal;
};

class FLOWRUN_API TVarStorage : public TVersionedObjectEx {
public:
  TVarStorage();
  ~TVarStorage() override;
  TVarStorage(const TVarStorage&) = delete;
  TVarStorage& operator=(const TVarStorage&) = delete;
  const char* ClassName() const override { return "TVarStorage"; }

  int GetVarCount() const { return static_cast<int>(FVars.size()); }
  // -1 when there is no variable of that name.
  int GetVarIndex(std::string_view Name) const;
  // Where a new variable Name keeps the list sorted by name.
  int GetNewVarIndex(std::string_view Name) const;
  bool VarExists(std::string_view Name) const { return GetVarIndex(Name) != -1; }

  double GetVars(std::string_view Name) const;
  void SetVars(std::string_view Name, double Value);
  void DeleteVar(std::string_view Name);

  const std::string& GetVarNames(int Index) const;
  double GetVarValues(int Index) const;
  void CheckVarIndex(int Index) const;

  TMathParser* GetParser();

  // Raises "Ошибка при вычислении "Expr".\r\n<reason>"; the reason is empty
  // for math errors and for a result beyond the range of double.
  double Evaluate(const std::string& Expr);
  // Both sides are rounded to double, then compared exactly.
  bool EvaluateCondition(const std::string& Cond);

  void ParserGetVar(TObject* Sender, std::string_view VarName, long double& Value, bool& Found);
  void ParserParseError(TObject* Sender, int ParseError);

  // Lines that run many times are compiled once against slots: a slot
  // stands for one name (case ignored) whether or not the variable exists
  // yet, and follows it through SetVars and DeleteVar. Evaluating a compiled
  // form gives exactly what Evaluate and EvaluateCondition give for its
  // text: the same value, the same error with the same text.
  void Compile(const std::string& Expr, TAlgExpression& Out);
  void CompileCondition(const std::string& Cond, TAlgCondition& Out);
  // A condition the line language has read (ReadCondition).
  void CompileCondition(const TStatement& Cond, TAlgCondition& Out);
  [[gnu::always_inline]] double Evaluate(const TAlgExpression& Expr) {
    double Quick;
    if (Expr.Code.EvaluateQuick(FSlotValues.data(), Quick)) [[likely]]
      return Quick;
    return EvaluateIn80Bits(Expr);
  }
  [[gnu::noinline]] double EvaluateIn80Bits(const TAlgExpression& Expr) {
    const TEvalResult R = Expr.Code.Evaluate(FSlotValues.data());
    // Stored values are doubles; see Evaluate of a text.
    if (R.Status != TEvalStatus::Ok || std::fabs(R.Value) > MaxStored)
      RaiseCompiledError(Expr, R);
    return static_cast<double>(R.Value);
  }
  [[gnu::always_inline]] bool EvaluateCondition(const TAlgCondition& Cond) {
    if (!Cond.Splits)
      RaiseUnsplitCondition(Cond);
    // Two doubles compare as their 80-bit values do.
    const double A = Evaluate(Cond.Left);
    const double B = Evaluate(Cond.Right);
    return CompareDoubles(A, B, Cond.Op);
  }
  // Whether evaluating Cond now would fail on a variable without a value
  // (rather than on its syntax or its arithmetic).
  bool ConditionReadsUnset(const TAlgCondition& Cond) {
    return Cond.Splits &&
           (Cond.Left.Code.Evaluate(FSlotValues.data()).Status == TEvalStatus::Undefined ||
            Cond.Right.Code.Evaluate(FSlotValues.data()).Status == TEvalStatus::Undefined);
  }

  [[noreturn]] static void RaiseUnsplitCondition(const TAlgCondition& Cond);
  // The quick evaluation alone: false where only Evaluate can say what the
  // value is or why there is none.
  [[gnu::always_inline]] bool EvaluateQuick(const TAlgExpression& Expr, double& Value) const {
    return Expr.Code.EvaluateQuick(FSlotValues.data(), Value);
  }
  // The same for an expression made as a whole number (see
  // TCompiledExpression::EvaluateQuickWhole).
  [[gnu::always_inline]] bool EvaluateQuickWhole(const TAlgExpression& Expr,
                                                 std::int64_t& Value) const {
    return Expr.Code.EvaluateQuickWhole(FSlotValues.data(), Value);
  }
  // Evaluate without raising: false where Evaluate would raise.
  bool TryEvaluate(const TAlgExpression& Expr, double& Value) const {
    if (EvaluateQuick(Expr, Value))
      return true;
    const TEvalResult R = Expr.Code.Evaluate(FSlotValues.data());
    if (R.Status != TEvalStatus::Ok || std::fabs(R.Value) > MaxStored)
      return false;
    Value = static_cast<double>(R.Value);
    return true;
  }
  // Whether the slot's variable has a value (GetSlotValue reads it directly).
  bool SlotHasValue(int Slot) const { return FSlotValues[static_cast<size_t>(Slot)] != nullptr; }

  int GetSlot(std::string_view Name);
  // GetVars and SetVars of the slot's name (upper-cased).
  double GetSlotValue(int Slot) const {
    const double* Value = FSlotValues[static_cast<size_t>(Slot)];
    return Value ? *Value : GetVars(FSlotNames[static_cast<size_t>(Slot)]);
  }
  void SetSlotValue(int Slot, double Value) {
    TVarInfo* Info = FSlotVars[static_cast<size_t>(Slot)];
    if (!Info)
      return SetVars(FSlotNames[static_cast<size_t>(Slot)], Value);
    Info->FValue = Value;
    Changed();
  }
  // SetSlotValue without the change notice, for a run of many steps that
  // gives one notice when it stops (NoteValuesChanged); false, storing
  // nothing, while the slot has no variable (SetSlotValue makes it).
  bool StoreSlotValue(int Slot, double Value) {
    TVarInfo* Info = FSlotVars[static_cast<size_t>(Slot)];
    if (!Info)
      return false;
    Info->FValue = Value;
    return true;
  }
  void NoteValuesChanged() { Changed(); }

private:
  static constexpr long double MaxStored = DBL_MAX;

  [[noreturn]] void RaiseCompiledError(const TAlgExpression& Expr, const TEvalResult& R) const;
  void BindSlots();

  std::vector<std::unique_ptr<TVarInfo>> FVars; // sorted by name, case ignored
  // By slot: the upper-cased name, its variable and its value (both null
  // while there is no such variable).
  std::vector<std::string> FSlotNames;
  std::vector<TVarInfo*> FSlotVars;
  std::vector<const double*> FSlotValues;
  std::unique_ptr<TMathParser> FParser;
  int FLastParseError = 0;
};

} // namespace Deskbay
