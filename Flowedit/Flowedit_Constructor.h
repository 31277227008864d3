#pragma once

// The constructor form: the algorithm form with a text box that edits the
// selected block's lines and the block palette beside the flowchart. Made
// over a host form, it edits on the host's chart.

#include "FloweditExport.h"
#include "Flowedit_frmAlg.h"

#include "Corekit/MiscUtils_Versioning.h"

class QLabel;
class QPlainTextEdit;

namespace Deskbay {

class TAlgBlock;
class TPaletteFrame;

class FLOWEDIT_API TAlgConstructorForm : public TAlgForm {
  Q_OBJECT
public:
  explicit TAlgConstructorForm(QWidget* Parent = nullptr);
  // Over Host's chart, which becomes editable.
  explicit TAlgConstructorForm(TAlgForm& Host);
  ~TAlgConstructorForm() override;

  QPlainTextEdit* memBlock;
  QFrame* pnlSpacing;
  // Under the text box: what keeps a line of the block from running.
  QLabel* lblLineProblem;
  TPaletteFrame* Palette;

  void SetAlgorithm(TAlgorithm* Algorithm) override;
  void AlgSelChange(TObject* Sender);
  // Fills the text box from the one selected block; without exactly one
  // selected block it is empty and disabled.
  void SetupBlockEditor();
  // Writes the text box back into the one selected block.
  void memBlockChange();
  // Inserts a copy of Block after the one selected block, or at the end of
  // the algorithm when none is selected, and selects it.
  void PaletteBlockClick(TPaletteFrame& Sender, TAlgBlock* Block);
  // A character typed on the flowchart goes on in the text box.
  void AlgEditorKeyPress(QString& Text);
  // Marks the lines of the text box the machine cannot run (a wavy
  // underline under the part in question) and says why under the box: the
  // problem of the cursor's line, else the first.
  void ShowLineProblems();

private:
  void CreatePanel();
  TAlgBlock* SingleSelectedBlock() const;
  void AttachTextBox(bool Attach);

  TNotifyAdapter<TAlgConstructorForm> FOnSelChange{this, &TAlgConstructorForm::AlgSelChange};
  QMetaObject::Connection FTextBoxConnection;
};

} // namespace Deskbay
