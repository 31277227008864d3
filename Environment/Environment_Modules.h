#pragma once

// The modules dialog: every library and plug-in of the system loaded in the
// process, with its version and description.

#include "EnvironmentExport.h"

#include "Corekit/ModMgr.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace Deskbay {

class ENVIRONMENT_API TModuleForm : public QDialog {
  Q_OBJECT
public:
  explicit TModuleForm(QWidget* Parent = nullptr);

  // The handle of the selected row, or nullptr.
  TModuleHandle SelectedModule() const;
  int GetModuleCount() const { return FCount; }

  QLabel* imgIcon;
  QLabel* lblProgramTitle;
  QLabel* lblCopyright;
  QLabel* lblModules;
  QTreeWidget* lvModules;
  QPushButton* btnDetails;
  QPushButton* btnOk;

private:
  void AddModule(const std::string& FileName, TModuleHandle Handle);
  void ShowDetails();

  int FCount = 0;
};

ENVIRONMENT_API void ShowModules();

} // namespace Deskbay
