#pragma once

// The variables of one run of an algorithm, and the evaluation of
// expressions and conditions against them. Names are single Latin letters in
// practice; lookup ignores case, so an expression may write "x" for "X".

#include "FlowrunExport.h"

#include "Corekit/MiscUtils_Versioning.h"
#include "Corekit/Parser.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

class FLOWRUN_API TVarInfo : public TObject {
public:
  TVarInfo(std::string_view Name, double Value) : FName(Name), FValue(Value) {}
  const char* ClassName() const override { return "TVarInfo"; }

  const std::string& GetName() const { return FName; }
  double GetValue() const { return FValue; }
  void SetValue(double Value) { FValue = Value; }

private:
  std::string FName;
  double FValue;
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

private:
  std::vector<std::unique_ptr<TVarInfo>> FVars; // sorted by name, case ignored
  std::unique_ptr<TMathParser> FParser;
  int FLastParseError = 0;
};

} // namespace Deskbay
