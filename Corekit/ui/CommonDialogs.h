#pragma once

#include "CorekitUiExport.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace Deskbay {

// Which button closed a dialog.
constexpr int mrOk = 1;
constexpr int mrYes = 6;
constexpr int mrNo = 7;
constexpr int mrCancel = 2;

// A question with the answers "Да", "Нет" and "Отмена". Enter presses the
// button that has the focus ("Да" when the question opens); Escape and the
// window's close button answer "Отмена".
class COREKITUI_API TYesNoCancelForm : public QDialog {
  Q_OBJECT
public:
  explicit TYesNoCancelForm(QWidget* Parent = nullptr);

  QLabel* lblMsg;
  QPushButton* btnYes;
  QPushButton* btnNo;
  QPushButton* btnCancel;

  void reject() override;
};

// Shows the question application-modally and returns mrYes, mrNo or mrCancel.
COREKITUI_API int YesNoCancel(const std::string& Caption, const std::string& Message);

} // namespace Deskbay
