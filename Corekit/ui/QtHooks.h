#pragma once

// What the GUI hands the logic while it runs: the real fonts for text
// metrics, the input dialog for the machine's questions, and an abort poller
// that keeps the windows alive during a long run.

#include "CorekitUiExport.h"

#include "QtCanvas.h"

#include "Corekit/InteractionHooks.h"

#include <QObject>

namespace Deskbay {

// Asks with TInputStringForm.
class COREKITUI_API TQtInputProvider : public IInputProvider {
public:
  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override;
};

// Polled by a run (the logic throttles the polls by a clock), it lets the
// event loop paint and looks for F2 pressed while one of our windows is
// active. Meanwhile every other key, click, wheel turn and close request is
// dropped, so nothing re-enters the machine or the document; a widget whose
// property "deskbayDuringRun" is true (the Stop command's button) still gets
// its clicks. Stop may also call RequestAbort.
class COREKITUI_API TQtAbortPoller : public QObject, public IAbortPoller {
  Q_OBJECT
public:
  static constexpr const char* DuringRunProperty = "deskbayDuringRun";
  bool AbortRequested() override;
  void RequestAbort() { FRequested = true; }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  bool FRequested = false;
};

// Installs the three for its lifetime and puts back what was installed
// before. The program makes one right after its QApplication.
class COREKITUI_API TGuiHooks {
public:
  TGuiHooks();
  ~TGuiHooks();
  TGuiHooks(const TGuiHooks&) = delete;
  TGuiHooks& operator=(const TGuiHooks&) = delete;
  TQtAbortPoller& GetAbortPoller() { return FAbortPoller; }

private:
  TQtTextMetrics FMetrics;
  TQtInputProvider FInput;
  TQtAbortPoller FAbortPoller;
  ITextMetrics* FPreviousMetrics;
  IInputProvider* FPreviousInput;
  IAbortPoller* FPreviousPoller;
};

} // namespace Deskbay
