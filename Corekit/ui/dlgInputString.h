#pragma once

// The one-line input dialog. Once the GUI's hooks are installed (QtHooks.h),
// InputString of InteractionHooks.h shows this dialog too; the machine asks
// its input values that way.

#include "CommonDialogs.h"
#include "CorekitUiExport.h"

#include "Corekit/InteractionHooks.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Deskbay {

class COREKITUI_API TInputStringForm : public QDialog {
  Q_OBJECT
public:
  explicit TInputStringForm(QWidget* Parent = nullptr);

  QLabel* lblMsg;
  QLineEdit* edtValue;
  // Why the last answer was refused (the options' Check); hidden until then.
  QLabel* lblRefusal;
  QPushButton* btnOk;
  QPushButton* btnCancel;

  void SetOptions(const TInputStringOptions& Options);
  const TInputStringOptions& GetOptions() const { return FOptions; }
  // What OK hands back: the edit box's text, trimmed and normalised as the
  // options ask.
  std::string EnteredText() const;
  // OK is enabled unless the options ask for a text and there is none.
  void UpdateUI();
  // OK pressed: the answer is handed back unless the options' Check refuses
  // it, which shows the reason under the field and keeps the dialog open
  // with the answer selected for typing over.
  void Accept();

  void accept() override { Accept(); }
  void reject() override;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  TInputStringOptions FOptions;
};

// Shows the dialog application-modally with Value in the edit box, all of
// it selected. True on OK, and Value becomes the entered text; on cancel
// Value is left alone.
COREKITUI_API bool ExecInputString(const std::string& Caption, const std::string& Prompt,
                                   std::string& Value, const TInputStringOptions& Options);

} // namespace Deskbay
