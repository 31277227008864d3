#include "dlgInputString.h"

#include "UiFonts.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace Deskbay {

TInputStringForm::TInputStringForm(QWidget* Parent) : QDialog(Parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  setFont(DefaultUiFont());
  setFixedSize(304, 102);

  lblMsg = new QLabel(this);
  lblMsg->setGeometry(16, 8, 273, 17);
  edtValue = new QLineEdit(this);
  edtValue->setGeometry(16, 26, 273, 21);
  // The question names the field for the keyboard and a screen reader.
  lblMsg->setBuddy(edtValue);
  lblRefusal = new QLabel(this);
  lblRefusal->setWordWrap(true);
  lblRefusal->setGeometry(16, 52, 273, 0);
  lblRefusal->hide();
  btnOk = new QPushButton(QStringLiteral("OK"), this);
  btnOk->setGeometry(62, 64, 75, 25);
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QString::fromUtf8("Отмена"), this);
  btnCancel->setGeometry(166, 64, 75, 25);
  btnCancel->setAutoDefault(false);

  connect(btnOk, &QPushButton::clicked, this, [this] {
    if (btnOk->isEnabled())
      Accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, &TInputStringForm::reject);
  connect(edtValue, &QLineEdit::textChanged, this, [this] { UpdateUI(); });
  // Enter in the edit box presses the default button, which may be disabled.
  connect(edtValue, &QLineEdit::returnPressed, this, [this] {
    if (btnOk->isEnabled())
      Accept();
  });
  edtValue->setFocus();
}

void TInputStringForm::SetOptions(const TInputStringOptions& Options) {
  FOptions = Options;
  UpdateUI();
}

std::string TInputStringForm::EnteredText() const {
  return ApplyInputStringOptions(edtValue->text().toStdString(), FOptions);
}

void TInputStringForm::UpdateUI() {
  btnOk->setEnabled(!(FOptions.NotEmpty && EnteredText().empty()));
}

void TInputStringForm::Accept() {
  const std::string Refusal = FOptions.Check ? FOptions.Check(EnteredText()) : std::string();
  if (Refusal.empty()) {
    done(mrOk);
    return;
  }
  const QString Text = QString::fromStdString(Refusal);
  lblRefusal->setText(Text);
  lblRefusal->setAccessibleName(Text);
  const int Height = lblRefusal->heightForWidth(lblRefusal->width());
  lblRefusal->setGeometry(16, 52, 273, Height);
  lblRefusal->show();
  // The buttons move below the reason.
  btnOk->move(btnOk->x(), 52 + Height + 12);
  btnCancel->move(btnCancel->x(), 52 + Height + 12);
  setFixedSize(304, 52 + Height + 12 + 25 + 13);
  edtValue->setAccessibleDescription(Text);
  edtValue->setFocus();
  edtValue->selectAll();
}

void TInputStringForm::reject() {
  done(mrCancel);
}

void TInputStringForm::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  UpdateUI();
  edtValue->setFocus();
  edtValue->selectAll();
}

bool ExecInputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                     const TInputStringOptions& Options) {
  TInputStringForm Form(QApplication::activeWindow());
  Form.setWindowTitle(QString::fromStdString(Caption));
  Form.lblMsg->setText(QString::fromStdString(Prompt));
  Form.edtValue->setAccessibleName(QString::fromStdString(Prompt));
  Form.edtValue->setText(QString::fromStdString(Value));
  Form.SetOptions(Options);
  if (Form.exec() != mrOk)
    return false;
  Value = Form.EnteredText();
  return true;
}

} // namespace Deskbay
