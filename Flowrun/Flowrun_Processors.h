#pragma once

// The meaning of every block when the machine processes it, and the
// arithmetic unit that executes assignment lines.

#include "Flowrun_Main.h"

#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

// A statement line (assignment, loop header, input/output, drawing command)
// as it is read: every character of code 32 or less is removed, except that
// the word MOD (any letter case) written with blanks on both sides and
// something other than blanks before and after it keeps one blank on each
// side, so that it stays the operator: "Y = A MOD B" reads as "Y=A MOD B",
// "X = 1 0" still as "X=10". Joined to its neighbours, MOD would be read as
// part of a longer name (AMODB) or number (MOD3), which no line that works
// can contain, so the blanks change nothing that ran before.
FLOWRUN_API std::string AlgRemoveBlanks(std::string_view Line);

// An assignment V=expression, read the way the arithmetic unit reads it:
// the variable's upper-case letter and the expression's text.
FLOWRUN_API bool ReadAssignment(const std::string& Line, char& Letter, std::string& Expr);
// Splits S at every comma; empty items are kept.
FLOWRUN_API std::vector<std::string> SplitAtCommas(const std::string& S);
// Whether S begins with LowerWord (small letters), ignoring case.
FLOWRUN_API bool StartsWithWord(const std::string& S, const std::string& LowerWord);

#define DESKBAY_PROCESSOR(Name)                                                                    \
  class FLOWRUN_API Name : public TAlgBlockProcessor {                                             \
  public:                                                                                          \
    static const Name Instance;                                                                    \
    const char* ClassName() const override { return #Name; }                                       \
    void Process(TAlgMachine* Machine) const override;                                             \
  };

DESKBAY_PROCESSOR(TBasicAlgBlockProcessor)
DESKBAY_PROCESSOR(TRootAlgBlockProcessor)
DESKBAY_PROCESSOR(TCompoundAlgBlockProcessor)
DESKBAY_PROCESSOR(TIfAlgBlockProcessor)
DESKBAY_PROCESSOR(TIOAlgBlockProcessor)
DESKBAY_PROCESSOR(TWhileAlgBlockProcessor)
DESKBAY_PROCESSOR(TForAlgBlockProcessor)
DESKBAY_PROCESSOR(TUntilAlgBlockProcessor)

#undef DESKBAY_PROCESSOR

// Executes V=expression lines, V a Latin letter.
class FLOWRUN_API TALU : public TAlgDevice {
public:
  using TAlgDevice::TAlgDevice;
  const char* ClassName() const override { return "TALU"; }
  bool ExecLine(const std::string& Line) override;
};

} // namespace Deskbay
