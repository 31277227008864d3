#pragma once

// The constructor form: the algorithm form with a text box that edits the
// selected block's lines and the block palette beside the flowchart. Made
// over a host form, it edits on the host's chart.

#include "FloweditExport.h"
#include "Flowedit_frmAlg.h"

#include "Corekit/MiscUtils_Versioning.h"
#include "Flowmodel/Flowmodel_Kinds.h"

class QLabel;
#include <QDialog>

#include <optional>

class QListWidget;
class QPlainTextEdit;

namespace Deskbay {

class TAlgBlock;
class TPaletteFrame;

// The list of the kinds to insert, numbered 1 to 6 in the order of
// AlgInsertableKinds: a digit chooses at once, Enter the current line.
class FLOWEDIT_API TInsertBlockDialog : public QDialog {
  Q_OBJECT
public:
  explicit TInsertBlockDialog(QWidget* Parent = nullptr);
  QListWidget* lstKinds;
  // The kind chosen; empty until one is.
  std::optional<TAlgBlockKind> GetChosen() const { return FChosen; }

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void Choose(int Row);
  bool ChooseByKey(const QKeyEvent& Event);
  std::optional<TAlgBlockKind> FChosen;
};

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
  // Inserts a copy of Block where InsertBlock inserts, and selects it.
  void PaletteBlockClick(TPaletteFrame& Sender, TAlgBlock* Block);
  // A character typed on the flowchart goes on in the text box.
  void AlgEditorKeyPress(QString& Text);
  // Marks the lines of the text box the machine cannot run (a wavy
  // underline under the part in question) and says why under the box: the
  // problem of the cursor's line, else the first.
  void ShowLineProblems();
  // A new block of Kind at the chart's cursor (Flowmodel_ChartStops), alone
  // selected, the text box taking the focus; nothing where several blocks
  // are selected away from the cursor. The block limit raises.
  void InsertBlock(TAlgBlockKind Kind);
  // Asks which kind (TInsertBlockDialog), then inserts it.
  void InsertBlockDialog();
  // The text box takes the focus with the caret at the end of the text of
  // the one selected block; on a place, the insert list opens instead.
  void EditBlockText();
  // Escape and Ctrl+Enter in the text box give the focus back to the chart.
  bool eventFilter(QObject* Watched, QEvent* Event) override;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  void CreatePanel();
  void ChainTabOrder();
  TAlgBlock* SingleSelectedBlock() const;
  void AttachTextBox(bool Attach);
  // After an insertion: the block in view, its text box ready for typing.
  void Inserted(TAlgBlock* Block);

  TNotifyAdapter<TAlgConstructorForm> FOnSelChange{this, &TAlgConstructorForm::AlgSelChange};
  QMetaObject::Connection FTextBoxConnection;
};

} // namespace Deskbay
