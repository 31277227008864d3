#include "Environment_New.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace Deskbay {

namespace {

// Items carry their source: a class (index >= 0) or a provider (-1 - index).
constexpr int SourceRole = Qt::UserRole;

} // namespace

TNewForm::TNewForm(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle("Создать");
  resize(498, 318);
  lvNew = new QListWidget(this);
  lvNew->setObjectName("lvNew");
  lvNew->setViewMode(QListView::ListMode);
  lvNew->setEditTriggers(QAbstractItemView::NoEditTriggers);
  btnOk = new QPushButton("OK", this);
  btnOk->setDefault(true);
  btnCancel = new QPushButton("Отмена", this);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* Buttons = new QHBoxLayout;
  Buttons->addStretch(1);
  Buttons->addWidget(btnOk);
  Buttons->addWidget(btnCancel);
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(lvNew);
  Layout->addLayout(Buttons);

  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanCreate))
      continue;
    auto* Item = new QListWidgetItem(QString::fromStdString(Class->GetDescription()), lvNew);
    Item->setData(SourceRole, static_cast<int>(FClasses.size()));
    FClasses.push_back(Class);
  }
  std::vector<TModuleInterfaceRef> Providers;
  GetModuleInterfaces(ICATID_NEW_ITEMS, Providers);
  for (const TModuleInterfaceRef& P : Providers) {
    auto* Description = dynamic_cast<IModuleDescription*>(P.get());
    auto* Item = new QListWidgetItem(
        QString::fromStdString(Description ? Description->GetCaption() : std::string()), lvNew);
    Item->setData(SourceRole, -1 - static_cast<int>(FProviders.size()));
    FProviders.push_back(P);
  }
  lvNew->setSortingEnabled(true);
  lvNew->sortItems();
  lvNew->setFocus();

  connect(lvNew, &QListWidget::itemSelectionChanged, this, &TNewForm::UpdateUI);
  connect(lvNew, &QListWidget::itemDoubleClicked, this, [this] {
    if (btnOk->isEnabled())
      accept();
  });
  UpdateUI();
}

void TNewForm::UpdateUI() {
  btnOk->setEnabled(!lvNew->selectedItems().isEmpty());
}

const TEditorFormClass* TNewForm::Choose() {
  QList<QListWidgetItem*> Selected = lvNew->selectedItems();
  if (Selected.isEmpty())
    return nullptr;
  int Source = Selected.first()->data(SourceRole).toInt();
  if (Source >= 0)
    return FClasses[Source];
  if (auto* Action = dynamic_cast<IModuleAction*>(FProviders[-1 - Source].get()))
    Action->Execute();
  return nullptr;
}

const TEditorFormClass* SelectEditorClass() {
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  // A provider must stay reachable, so with one the dialog is shown.
  std::vector<TModuleInterfaceRef> Providers;
  GetModuleInterfaces(ICATID_NEW_ITEMS, Providers);
  // Kinds that only open files (a task pack) are not made new.
  std::vector<const TEditorFormClass*> Creatable;
  for (const TModuleClass* C : Classes)
    if (auto* Kind = dynamic_cast<const TEditorFormClass*>(C);
        Kind && Kind->GetFlags().Contains(efCanCreate))
      Creatable.push_back(Kind);
  if (Creatable.size() == 1 && Providers.empty())
    return Creatable[0];
  TNewForm Form;
  if (Form.exec() != QDialog::Accepted)
    return nullptr;
  return Form.Choose();
}

} // namespace Deskbay
