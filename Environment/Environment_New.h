#pragma once

// Choosing what New creates: a document kind, or a new-item provider.

#include "Editor.h"

#include <QDialog>

#include <vector>

class QListWidget;
class QPushButton;

namespace Deskbay {

class ENVIRONMENT_API TNewForm : public QDialog {
  Q_OBJECT
public:
  // Lists every creatable document kind, then the new-item providers.
  explicit TNewForm(QWidget* Parent = nullptr);

  // After "OK": the chosen class, or nullptr when a provider was chosen
  // (which then has run).
  const TEditorFormClass* Choose();

  QListWidget* lvNew;
  QPushButton* btnOk;
  QPushButton* btnCancel;

private:
  void UpdateUI();

  std::vector<const TEditorFormClass*> FClasses;
  std::vector<TModuleInterfaceRef> FProviders;
};

// The one creatable kind without asking when it is the only kind; else the
// dialog. nullptr when cancelled or when a provider made the new item.
ENVIRONMENT_API const TEditorFormClass* SelectEditorClass();

} // namespace Deskbay
