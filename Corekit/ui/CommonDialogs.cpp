#include "CommonDialogs.h"

#include "UiFonts.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace Deskbay {

namespace {

QPushButton* MakeButton(QDialog* Owner, const char* Caption, int X, int Result) {
  auto* B = new QPushButton(QString::fromUtf8(Caption), Owner);
  B->setGeometry(X, 75, 75, 25);
  // Enter presses the button that has the focus, as it does everywhere
  // else on the desktop; the default button answers only while no other
  // button has it.
  B->setAutoDefault(true);
  QObject::connect(B, &QPushButton::clicked, Owner, [Owner, Result] { Owner->done(Result); });
  return B;
}

} // namespace

TYesNoCancelForm::TYesNoCancelForm(QWidget* Parent) : QDialog(Parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  setFont(DefaultUiFont());
  setFixedSize(298, 112);

  lblMsg = new QLabel(this);
  lblMsg->setGeometry(16, 16, 265, 41);
  lblMsg->setAlignment(Qt::AlignCenter);
  lblMsg->setWordWrap(true);

  btnYes = MakeButton(this, "&Да", 24, mrYes);
  btnNo = MakeButton(this, "&Нет", 112, mrNo);
  btnCancel = MakeButton(this, "Отмена", 200, mrCancel);
  btnYes->setDefault(true);
  btnYes->setFocus();
}

void TYesNoCancelForm::reject() {
  done(mrCancel);
}

int YesNoCancel(const std::string& Caption, const std::string& Message) {
  TYesNoCancelForm Form(QApplication::activeWindow());
  Form.setWindowTitle(QString::fromStdString(Caption));
  Form.lblMsg->setText(QString::fromStdString(Message));
  // Centred on the desktop, whatever window asked.
  if (QScreen* Screen = QApplication::primaryScreen())
    Form.move(Screen->availableGeometry().center() - Form.rect().center());
  const int Result = Form.exec();
  return Result == mrYes || Result == mrNo ? Result : mrCancel;
}

} // namespace Deskbay
