#pragma once

// The algorithm form: the flowchart on a scroll box, the code pane beside it
// (hidden until asked for; a splitter between them), and an empty panel on
// the right for whatever a window adds beside it (the constructor's text box
// and palette, the debugger's views).

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
  ~TAlgForm() override;

  TAdvScrollBox* sbxAlg;
  TAlgEditor* AlgEditor;
  QFrame* pnlControls;
  QSplitter* splCode;

  TAlgorithm* GetAlgorithm() const { return FAlgorithm; }
  // Shows Algorithm (not owned; nullptr: none).
  virtual void SetAlgorithm(TAlgorithm* Algorithm);

  // The program text beside the chart. The window keeps its visibility and
  // language (GetCodePane()->GetLanguage(), SetLanguage) when it changes
  // its form; hidden, the pane follows nothing.
  TCodePane* GetCodePane() const { return FCodePane; }
  bool IsCodePaneVisible() const;
  void SetCodePaneVisible(bool Value);

protected:
  void sbxAlgResize();

private:
  TAlgorithm* FAlgorithm = nullptr;
  TCodePane* FCodePane;
};

} // namespace Deskbay
