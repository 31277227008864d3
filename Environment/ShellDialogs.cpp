#include "ShellDialogs.h"

#include "Corekit/VisualUtils.h"

#include <QMessageBox>
#include <QPushButton>

namespace Deskbay {

int AskYesNoCancel(const std::string& Caption, const std::string& Message) {
  QMessageBox Box(QMessageBox::Question, QString::fromStdString(Caption),
                  QString::fromStdString(Message));
  QPushButton* Yes = Box.addButton("&Да", QMessageBox::YesRole);
  QPushButton* No = Box.addButton("&Нет", QMessageBox::NoRole);
  QPushButton* Cancel = Box.addButton("Отмена", QMessageBox::RejectRole);
  Box.setDefaultButton(Yes);
  Box.setEscapeButton(Cancel);
  Box.exec();
  if (Box.clickedButton() == Yes)
    return mrYes;
  if (Box.clickedButton() == No)
    return mrNo;
  return mrCancel;
}

bool RunFileDialog(QFileDialog& Dialog) {
  Dialog.setDirectory(QString::fromStdString(GetWorkingDir()));
  bool Result = Dialog.exec() == QDialog::Accepted;
  SetWorkingDir(Dialog.directory().absolutePath().toStdString());
  return Result;
}

} // namespace Deskbay
