#pragma once

// The applications window: every known application with a check mark that
// switches it on and off.

#include "Basic.h"

class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace Deskbay {

class ENVIRONMENT_API TAppsForm : public TBasicForm {
  Q_OBJECT
public:
  TAppsForm();
  ~TAppsForm() override;

  // The open window, or nullptr.
  static TAppsForm* GetInstance();

  QTreeWidget* lvApps;
  QPushButton* btnOk;

private:
  void lvAppsItemChanged(QTreeWidgetItem* Item, int Column);
  bool FHandlerAttached = false;
};

// Creates the window when there is none, then shows it.
ENVIRONMENT_API void ShowApplications();
// Frees the window when there is one.
ENVIRONMENT_API void HideApplications();

} // namespace Deskbay
