#include "Environment_Modules.h"

#include "Environment_ModuleDetails.h"
#include "Main.h"
#include "ModuleReg.h"

#include "Corekit/ElfReader.h"
#include "Corekit/VersionInfo.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

namespace Deskbay {

namespace {

std::string ShortName(const std::string& FileName) {
  std::string Name = FileName.substr(FileName.rfind('/') + 1);
  size_t Dot = Name.find('.');
  return Dot == std::string::npos || Dot == 0 ? Name : Name.substr(0, Dot);
}

// The system's own libraries and plug-ins are those that carry its version
// section; the others loaded in the process are the platform's.
bool CarriesVersionSection(const std::string& FileName) {
  try {
    std::string Data;
    return TElfFile(FileName).ReadSection(VersionSectionName, Data, 64 * 1024);
  } catch (const EElfError&) {
    return false;
  }
}

} // namespace

TModuleForm::TModuleForm(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle("Модули");
  setFixedSize(600, 268);

  imgIcon = new QLabel(this);
  imgIcon->setFixedSize(32, 32);
  imgIcon->setScaledContents(true);
  imgIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  lblProgramTitle = new QLabel(this);
  QFont Bold = lblProgramTitle->font();
  Bold.setBold(true);
  Bold.setPixelSize(16);
  lblProgramTitle->setFont(Bold);
  if (MainForm)
    lblProgramTitle->setText(MainForm->windowTitle());
  lblCopyright = new QLabel("Учебная среда для построения и исполнения алгоритмов", this);
  lblModules = new QLabel(this);

  lvModules = new QTreeWidget(this);
  lvModules->setObjectName("lvModules");
  lvModules->setColumnCount(3);
  lvModules->setHeaderLabels({"Название", "Версия", "Описание"});
  lvModules->setColumnWidth(0, 100);
  lvModules->setColumnWidth(1, 70);
  lvModules->setColumnWidth(2, 385);
  lvModules->setRootIsDecorated(false);
  lvModules->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvModules->setEditTriggers(QAbstractItemView::NoEditTriggers);

  btnDetails = new QPushButton("&Информация о модуле...", this);
  btnDetails->setEnabled(false);
  btnOk = new QPushButton("OK", this);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnDetails, &QPushButton::clicked, this, &TModuleForm::ShowDetails);
  connect(lvModules, &QTreeWidget::itemSelectionChanged, this,
          [this] { btnDetails->setEnabled(!lvModules->selectedItems().isEmpty()); });
  connect(lvModules, &QTreeWidget::itemDoubleClicked, this, &TModuleForm::ShowDetails);

  auto* Head = new QGridLayout;
  Head->addWidget(imgIcon, 0, 0, 2, 1, Qt::AlignTop);
  Head->addWidget(lblProgramTitle, 0, 1);
  Head->addWidget(lblCopyright, 1, 1);
  Head->setColumnStretch(1, 1);
  auto* Buttons = new QHBoxLayout;
  Buttons->addWidget(btnDetails);
  Buttons->addStretch(1);
  Buttons->addWidget(btnOk);
  auto* Layout = new QVBoxLayout(this);
  Layout->addLayout(Head);
  Layout->addWidget(lblModules);
  Layout->addWidget(lvModules, 1);
  Layout->addLayout(Buttons);

  std::string Program = GetProgramFileName();
  std::set<TModuleHandle> Listed;
  for (const TLoadedModule& M : GetLoadedModules())
    if (M.FileName != Program && CarriesVersionSection(M.FileName) &&
        Listed.insert(M.Handle).second)
      AddModule(M.FileName, M.Handle);
  std::vector<const void*> Libraries;
  GetModuleObjects(OCATID_LIBRARY, Libraries);
  for (const void* L : Libraries) {
    auto Handle = const_cast<TModuleHandle>(L);
    std::string File = GetModuleFileName(Handle);
    if (!File.empty() && File != Program && Listed.insert(Handle).second)
      AddModule(File, Handle);
  }
  lvModules->setSortingEnabled(true);
  lvModules->sortByColumn(0, Qt::AscendingOrder);
  lblModules->setText(QString::fromStdString(Format("Установленные модули [всего: %d]", FCount)));
}

void TModuleForm::AddModule(const std::string& FileName, TModuleHandle Handle) {
  std::string Version = "0.0.0.0", Description;
  try {
    TVersionInfo Info(FileName);
    Version = Info.GetVersionString();
    Description = GetFileDescription(FileName, &Info);
  } catch (const std::exception&) {
    // a damaged version shows as none; the row stays
    Description = GetFileDescription(FileName, nullptr);
  }
  auto* Item = new QTreeWidgetItem(lvModules);
  Item->setText(0, QString::fromStdString(ShortName(FileName)));
  Item->setText(1, QString::fromStdString(Version));
  Item->setText(2, QString::fromStdString(Description));
  Item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(Handle)));
  ++FCount;
}

TModuleHandle TModuleForm::SelectedModule() const {
  QList<QTreeWidgetItem*> Selected = lvModules->selectedItems();
  return Selected.isEmpty() ? nullptr : Selected.first()->data(0, Qt::UserRole).value<void*>();
}

void TModuleForm::ShowDetails() {
  if (TModuleHandle Handle = SelectedModule())
    ShowModuleDetails(Handle);
}

void ShowModules() {
  TModuleForm Form(QApplication::activeWindow());
  Form.exec();
}

} // namespace Deskbay
