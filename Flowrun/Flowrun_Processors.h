#pragma once

// The meaning of every block when the machine processes it, and the
// arithmetic unit that executes assignment lines. Lines are read by the
// line language (Flowlang_Statement) and compiled from its statements.

#include "Flowrun_Main.h"

#include "Flowlang/Flowlang_Statement.h"

#include <string>

namespace Deskbay {

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

// Compiles what Block's processor compiles the first time it runs (its lines,
// condition or header), without running it: for a machine that runs compiled
// blocks directly. Nothing is evaluated and nothing a run shows changes.
FLOWRUN_API void CompileBlockAhead(TAlgMachine* Machine, const TAlgBlock* Block,
                                   TCompiledBlock& Compiled);

// Executes V=expression lines, V a Latin letter.
class FLOWRUN_API TALU : public TAlgDevice {
public:
  using TAlgDevice::TAlgDevice;
  const char* ClassName() const override { return "TALU"; }
  bool ExecLine(const std::string& Line) override;
};

} // namespace Deskbay
