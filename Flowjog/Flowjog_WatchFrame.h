#pragma once

// The variables of a run and their current values, one row per variable,
// sorted by name. Rows are matched by name and updated in place, never
// cleared: a variable keeps its row from step to step, and every row keeps
// its last value when the storage goes away.

#include "FlowjogExport.h"

#include "Corekit/MiscUtils_Versioning.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <set>
#include <string>
#include <utility>
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
  // Removes every row (for a run that starts over elsewhere).
  void Clear();
  // The rows of these variables show in bold red until the next call (an
  // empty list clears them); the mark stays while the rows' values change
  // and reaches rows that appear later.
  void SetChangedNames(const std::vector<std::string>& Names);
  // The text and ground colours of a changed row (high contrast has its
  // own).
  void SetChangedColors(const QColor& Text, const QColor& Ground);
  const std::set<std::string>& GetChangedNames() const { return FChanged; }
  // A line under the list (where the selected variable's value came
  // from); empty hides it.
  void ShowNote(const std::string& Text);
  // The variable in the selected row; empty without one.
  std::string SelectedName() const;

  // The pupil selected a variable's row (Name is empty when the selection
  // went away).
  std::function<void(TWatchFrame&, const std::string& Name)> OnSelectVariable;

  QLabel* pnlVarCaption;
  // Column 0 the name, column 1 the value.
  QTableWidget* lvWatch;
  QLabel* lblNote;

private:
  // The row a new caption goes to so that the rows stay sorted.
  int SortedRowFor(const std::string& Name) const;
  // Gives Row the colour its mark asks for.
  void PaintRow(int Row);
  // Tells OnSelectVariable when the selected variable is another one.
  void SelectionChanged();

  TVarStorage* FStorage = nullptr;
  std::vector<std::string> FCaptions; // the rows' captions, in row order
  std::set<std::string> FChanged;
  std::pair<QColor, QColor> FChangedColors{QColor(0xC0, 0x00, 0x00), QColor(0xFF, 0xE4, 0xE4)};
  std::string FSelected;  // the variable OnSelectVariable last heard of
  bool FUpdating = false; // rows are being added
};

} // namespace Deskbay
