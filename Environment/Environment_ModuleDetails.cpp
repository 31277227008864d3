#include "Environment_ModuleDetails.h"

#include "Corekit/StringList.h"
#include "Corekit/VersionInfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace Deskbay {

void TLinkLabel::SetTarget(const QString& Url) {
  FTarget = Url;
  if (FTarget.isEmpty())
    unsetCursor();
  else
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton && !FTarget.isEmpty())
    QDesktopServices::openUrl(QUrl(FTarget));
  QLabel::mouseReleaseEvent(Event);
}

std::string MakeMailUrl(const std::string& Email) {
  if (Email.size() >= 7 && SameText(Email.substr(0, 7), "mailto:"))
    return Email;
  return "mailto:" + Email;
}

std::string MakeWebUrl(const std::string& Url) {
  if (Url.find("://") != std::string::npos)
    return Url;
  return "http://" + Url;
}

TModuleDetailsForm::TModuleDetailsForm(TModuleHandle Module, QWidget* Parent) : QDialog(Parent) {
  std::string File = GetModuleFileName(Module);
  if (File.empty())
    throw Exception(Format("Модуль %lld не найден.",
                           static_cast<long long>(reinterpret_cast<intptr_t>(Module))));
  TVersionInfo Info(File);

  setWindowTitle("Информация о модуле");
  setFixedSize(360, 384);

  std::string Name = File.substr(File.rfind('/') + 1);
  Name = Name.substr(0, Name.find('.') == 0 ? std::string::npos : Name.find('.'));
  gbxDetails = new QGroupBox(QString::fromStdString(Name + " " + Info.GetVersionString()), this);
  QFont Bold = gbxDetails->font();
  Bold.setBold(true);
  gbxDetails->setFont(Bold);

  auto Value = [this](const std::string& Text) {
    auto* L = new QLabel(QString::fromStdString(Text), gbxDetails);
    QFont F = L->font();
    F.setBold(false);
    L->setFont(F);
    L->setWordWrap(true);
    return L;
  };
  lblDescription = Value(GetFileDescription(File, &Info));
  lblAuthors = Value(Info.GetValue("LegalCopyright"));
  std::string Email = Info.GetValue("Email"), Url = Info.GetValue("URL");
  lblEmail = new TLinkLabel(QString::fromStdString(Email), gbxDetails);
  lblURL = new TLinkLabel(QString::fromStdString(Url), gbxDetails);
  for (TLinkLabel* L : {lblEmail, lblURL}) {
    QFont F = L->font();
    F.setBold(false);
    F.setUnderline(!L->text().isEmpty());
    L->setFont(F);
  }
  lblEmail->SetTarget(Email.empty() ? QString() : QString::fromStdString(MakeMailUrl(Email)));
  lblURL->SetTarget(Url.empty() ? QString() : QString::fromStdString(MakeWebUrl(Url)));
  lblApplication = Value(Info.GetValue("ProductName"));

  memComments = new QPlainTextEdit(QString::fromStdString(Info.GetValue("Comments")), gbxDetails);
  memComments->setReadOnly(true);
  memComments->setFont(lblDescription->font());
  memComments->installEventFilter(this);

  lvDepends = new QTreeWidget(gbxDetails);
  lvDepends->setColumnCount(1);
  lvDepends->setHeaderLabels({"Название"});
  lvDepends->setColumnWidth(0, 100);
  lvDepends->setRootIsDecorated(false);
  lvDepends->setFont(lblDescription->font());
  TStringList Required;
  GetRequiredPackages(Module, Required);
  std::vector<std::string> Names = Required.Lines();
  std::sort(Names.begin(), Names.end());
  for (const std::string& N : Names)
    new QTreeWidgetItem(lvDepends, {QString::fromStdString(N)});

  auto* Form = new QFormLayout;
  Form->setLabelAlignment(Qt::AlignRight);
  auto Caption = [this, &Form](const char* Text, QWidget* Field) {
    auto* L = new QLabel(Text, gbxDetails);
    QFont F = L->font();
    F.setBold(false);
    L->setFont(F);
    Form->addRow(L, Field);
    return L;
  };
  Caption("Описание:", lblDescription);
  Caption("Автор(ы):", lblAuthors);
  Caption("Email:", lblEmail);
  Caption("URL:", lblURL);
  Caption("Приложение:", lblApplication);
  auto* Box = new QVBoxLayout(gbxDetails);
  Box->addLayout(Form);
  auto Plain = [this](const char* Text) {
    auto* L = new QLabel(Text, gbxDetails);
    QFont F = L->font();
    F.setBold(false);
    L->setFont(F);
    return L;
  };
  Box->addWidget(Plain("Комментарий:"));
  Box->addWidget(memComments, 1);
  Box->addWidget(Plain("Зависит от модулей:"));
  Box->addWidget(lvDepends, 1);

  btnOk = new QPushButton("OK", this);
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  auto* Buttons = new QHBoxLayout;
  Buttons->addStretch(1);
  Buttons->addWidget(btnOk);
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(gbxDetails, 1);
  Layout->addLayout(Buttons);
}

bool TModuleDetailsForm::eventFilter(QObject* Watched, QEvent* Event) {
  // Esc in the comments closes the dialog as "OK" does.
  if (Watched == memComments && Event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape) {
    accept();
    return true;
  }
  return QDialog::eventFilter(Watched, Event);
}

void ShowModuleDetails(TModuleHandle Module) {
  TModuleDetailsForm Form(Module, QApplication::activeWindow());
  Form.exec();
}

} // namespace Deskbay
