#pragma once

// The window in which a running algorithm is followed: the flowchart,
// read-only, with the block that comes next selected and in view; beside it
// the variables, the output console and the drawing canvas. Its owner gives
// it the algorithm and the machine and calls SelectCurrentBlock whenever the
// machine has moved on; the frames follow the machine's objects by themselves.
// A status line above them says how the run stands. Made over a host form,
// it follows the run on the host's chart, read-only while it lives.

#include "FlowjogExport.h"
#include "Flowjog_CanvasFrame.h"
#include "Flowjog_ConsoleFrame.h"
#include "Flowjog_RunStatus.h"
#include "Flowjog_WatchFrame.h"

#include "Flowedit/Flowedit_frmAlg.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class QLabel;
class QScrollArea;

namespace Deskbay {

class TAlgBlock;
class TAlgMachine;

class FLOWJOG_API TFlowjoggerForm : public TAlgForm {
  Q_OBJECT
public:
  explicit TFlowjoggerForm(QWidget* Parent = nullptr);
  explicit TFlowjoggerForm(TAlgForm& Host);
  // Selects the block the machine stands on, alone, and detaches the
  // frames from the machine before the algorithm goes; a host's chart is
  // left without the run's marks and editable again.
  ~TFlowjoggerForm() override;

  // Follows Machine (not owned; nullptr for none): its storage, console and
  // canvas go to the frames, then the current block is shown. The machine
  // already followed changes nothing; one machine replacing another (a step
  // back) leaves nothing of the old one's variables, lines or picture.
  void SetMachine(TAlgMachine* Machine);
  TAlgMachine* GetMachine() const { return FMachine; }
  // Marks the machine's current block on the flowchart (as the next block;
  // as the error block when the machine failed, as the stopped block when
  // the status last shown says the run was stopped) and scrolls it into
  // view; without a current block only clears the mark. The
  // algorithm's selection is left alone. Nothing without an algorithm or a
  // machine.
  void SelectCurrentBlock();
  // The other marks over the flowchart; nullptr or an empty map clears
  // them. The error block is red, the block a value came from blue; a
  // breakpoint is a red dot, with a bar when it has a condition (true).
  void SetErrorBlock(const TAlgBlock* Block);
  void SetOriginBlock(const TAlgBlock* Block);
  void SetBreakpoints(const std::map<const TAlgBlock*, bool>& Breakpoints);
  // An error's explanation under the status line, several lines if need
  // be; empty hides it.
  void ShowExplanation(const std::string& Text);

  // The panel's width: 209 after creation, at most MaxPanelWidth. Its left
  // edge can be dragged; the canvas grows with it by whole multiples of its
  // pixels. OnPanelWidthChanged hears every change the user makes (for the
  // owner to remember it).
  static constexpr int DefaultPanelWidth = 209;
  static constexpr int MaxPanelWidth = 800;
  void SetPanelWidth(int Width);
  int GetPanelWidth() const;
  std::function<void(TFlowjoggerForm&, int Width)> OnPanelWidthChanged;
  void FormResize();
  // The status line shows Status.
  void ShowRunStatus(const TAlgRunStatus& Status);
  // Tells a screen reader Text: the status line, a status bar to it, takes
  // Text as its accessible name and says so with a name-change event, the
  // way a live region is heard.
  void Announce(const std::string& Text);
  // The marks, the changed variables and the status line in the colours
  // of the high-contrast scheme, or back in the usual ones.
  void SetHighContrast(bool Value);
  bool GetHighContrast() const { return FHighContrast; }

  QLabel* lblStatus;
  QLabel* lblExplanation;
  TWatchFrame* WatchesFrame;
  TAlgConsoleFrame* ConsoleFrame;
  QLabel* lblCanvas;
  TAlgCanvasFrame* CanvasFrame;
  // The strip along the panel's left edge that drags it wider.
  QWidget* pnlSizer;

protected:
  void resizeEvent(QResizeEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void CreatePanel();

  // The panel's width as set (the scroll bar, when shown, comes on top).
  void ApplyPanelWidth();
  int FPanelWidth = DefaultPanelWidth;
  QScrollArea* FPanelScroll = nullptr;
  TAlgMachine* FMachine = nullptr;
  TAlgRunPhase FPhase = rpStepping;
  std::string FErrorText; // the failed run's message, for a screen reader
  bool FHighContrast = false;
  // Where a drag of the sizer started: the pointer's global x, the width.
  int FSizeStartX = 0, FSizeStartWidth = 0;
  bool FSizing = false;
};

} // namespace Deskbay
