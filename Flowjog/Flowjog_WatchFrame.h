#pragma once

// The variables of a run and their current values, one row per variable,
// sorted by name. Rows are matched by name and updated in place, never
// cleared: a variable keeps its row from step to step, and every row keeps
// its last value when the storage goes away.

#include "FlowjogExport.h"

#include "Corekit/MiscUtils_Versioning.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QTableWidget;

namespace Deskbay {

class TVarStorage;

class FLOWJOG_API TWatchFrame : public QWidget, public IOnNotify {
  Q_OBJECT
public:
  explicit TWatchFrame(QWidget* Parent = nullptr);
  ~TWatchFrame() override;

  // Stops listening to the old storage, listens to the new one (not owned;
  // nullptr for none) and shows its variables.
  void SetVars(TVarStorage* Storage);
  TVarStorage* GetVars() const { return FStorage; }
  void Notify(TObject* Sender) override;
  void ShowVars();

  QLabel* pnlVarCaption;
  // Column 0 the name, column 1 the value.
  QTableWidget* lvWatch;

private:
  // The row a new caption goes to so that the rows stay sorted.
  int SortedRowFor(const std::string& Name) const;

  TVarStorage* FStorage = nullptr;
  std::vector<std::string> FCaptions; // the rows' captions, in row order
};

} // namespace Deskbay
