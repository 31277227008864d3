#pragma once

// The algorithm form: the flowchart on a scroll box, the code pane beside it
// (hidden until asked for; a splitter between them), and an empty panel on
// the right for whatever a window adds beside it (the constructor's text box
// and palette, the debugger's views).
//
// A form made over a host form (the protected constructor) brings only its
// right-hand panel: it shares the host's flowchart, scroll box, splitter and
// code pane, and its panel takes the place of the host's while it lives. A
// window keeps one host for its whole life and swaps the forms over it, so
// the chart's zoom and scroll position, the splitter and the code pane's
// language stay as they are.

#include "FloweditExport.h"

#include <QWidget>

class QFrame;
class QSplitter;

namespace Deskbay {

class TAdvScrollBox;
class TAlgEditor;
class TAlgorithm;
class TCodePane;

class FLOWEDIT_API TAlgForm : public QWidget {
  Q_OBJECT
public:
  explicit TAlgForm(QWidget* Parent = nullptr);
  // A form over this one goes with it.
  ~TAlgForm() override;

  TAdvScrollBox* sbxAlg;
  TAlgEditor* AlgEditor;
  QFrame* pnlControls;
  QSplitter* splCode;

  TAlgorithm* GetAlgorithm() const { return FAlgorithm; }
  // Shows Algorithm (not owned; nullptr: none). Over a host the chart is
  // the host's: it shows what the host was given.
  virtual void SetAlgorithm(TAlgorithm* Algorithm);
  // The form whose chart this one shares; nullptr for a form of its own.
  TAlgForm* GetHost() const { return FHost; }
  // A form made over a host: its panel takes the place of the host's, once
  // the form is built. Nothing for a form of its own.
  void ShowOverHost();

  // The program text beside the chart; hidden, the pane follows nothing.
  TCodePane* GetCodePane() const { return FCodePane; }
  bool IsCodePaneVisible() const;
  void SetCodePaneVisible(bool Value);

protected:
  // Over Host's chart: ShowOverHost shows this form's panel in place of
  // Host's, and Host's own comes back when this form goes. One form at a
  // time over a host.
  explicit TAlgForm(TAlgForm& Host);
  void sbxAlgResize();
  // Ctrl+wheel over the chart's whole box, its empty green included, zooms
  // as it does over the chart.
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void CreatePanel(QWidget* Parent);

  TAlgorithm* FAlgorithm = nullptr;
  TCodePane* FCodePane;
  TAlgForm* FHost = nullptr;
  TAlgForm* FGuest = nullptr;
};

} // namespace Deskbay
