#pragma once

// What the GUI hands the logic while it runs: the real fonts for text
// metrics and the input dialog for the machine's questions. No abort poller:
// a run in a window goes in slices from the event loop, which hears Stop,
// F2, close requests and signals as ordinary events between the slices.

#include "CorekitUiExport.h"

#include "QtCanvas.h"

#include "Corekit/InteractionHooks.h"

namespace Deskbay {

// Asks with TInputStringForm.
class COREKITUI_API TQtInputProvider : public IInputProvider {
public:
  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override;
};

// Installs both for its lifetime and puts back what was installed before.
// The program makes one right after its QApplication.
class COREKITUI_API TGuiHooks {
public:
  TGuiHooks();
  ~TGuiHooks();
  TGuiHooks(const TGuiHooks&) = delete;
  TGuiHooks& operator=(const TGuiHooks&) = delete;

private:
  TQtTextMetrics FMetrics;
  TQtInputProvider FInput;
  ITextMetrics* FPreviousMetrics;
  IInputProvider* FPreviousInput;
};

} // namespace Deskbay
