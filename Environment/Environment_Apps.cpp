#include "Environment_Apps.h"

#include "ErrorDisplay.h"
#include "Main.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Deskbay {

namespace {

QPointer<TAppsForm>& Instance() {
  static QPointer<TAppsForm> Form;
  return Form;
}

} // namespace

TAppsForm::TAppsForm() {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("Приложения");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(464, 199);

  lvApps = new QTreeWidget(this);
  lvApps->setObjectName("lvApps");
  lvApps->setColumnCount(2);
  lvApps->setHeaderLabels({"Название", "Модуль"});
  lvApps->setColumnWidth(0, 340);
  lvApps->setColumnWidth(1, 90);
  lvApps->setRootIsDecorated(false);
  lvApps->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvApps->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvApps->header()->setSectionsClickable(false);

  btnOk = new QPushButton("OK", this);
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QWidget::close);

  auto* Buttons = new QHBoxLayout;
  Buttons->addStretch(1);
  Buttons->addWidget(btnOk);
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(lvApps);
  Layout->addLayout(Buttons);

  for (int I = 0; I < MainForm->GetAppCount(); ++I) {
    auto* Item = new QTreeWidgetItem(lvApps);
    Item->setText(0, QString::fromStdString(MainForm->GetAppTitles(I)));
    Item->setText(1, QString::fromStdString(MainForm->GetApps(I)));
    Item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    Item->setCheckState(0,
                        MainForm->GetAppModule(MainForm->GetApps(I)) ? Qt::Checked : Qt::Unchecked);
  }
  lvApps->setSortingEnabled(true);
  lvApps->sortByColumn(0, Qt::AscendingOrder);
  connect(lvApps, &QTreeWidget::itemChanged, this, &TAppsForm::lvAppsItemChanged);
  FHandlerAttached = true;
  Instance() = this;
}

TAppsForm::~TAppsForm() {
  if (Instance() == this)
    Instance() = nullptr;
}

TAppsForm* TAppsForm::GetInstance() {
  return Instance();
}

void TAppsForm::lvAppsItemChanged(QTreeWidgetItem* Item, int Column) {
  if (!FHandlerAttached || Column != 0 || !MainForm)
    return;
  std::string Name = Item->text(1).toStdString();
  bool Ticked = Item->checkState(0) == Qt::Checked;
  QPointer<TAppsForm> Self = this;
  try {
    MainForm->ChooseAppEnabled(Name, Ticked);
  } catch (const std::exception& E) {
    // The mark stays as the user set it.
    ShowException(E);
    return;
  }
  if (!Self)
    return;
  // The mark shows what is running now: a refused shutdown puts it back.
  FHandlerAttached = false;
  Item->setCheckState(0, MainForm->GetAppModule(Name) ? Qt::Checked : Qt::Unchecked);
  FHandlerAttached = true;
}

void ShowApplications() {
  if (!Instance()) {
    auto* Form = new TAppsForm;
    // Centred on the screen.
    if (QScreen* S = QGuiApplication::primaryScreen())
      Form->move(S->availableGeometry().center() - Form->rect().center());
  }
  Instance()->show();
  Instance()->raise();
}

void HideApplications() {
  delete Instance().data();
}

} // namespace Deskbay
