#pragma once

// The results of checking an algorithm on the teacher's test cases, as the
// algorithm window shows them below the chart: one row per case with its
// name, whether it passed and what the checker says of it in the pupil's
// words; beside the rows, the expected and the printed lines of the selected
// case side by side with the first difference marked; above them the
// summary "Пройдено N из M". A hidden case shows nothing of its input or
// output. A failed case that is not hidden can be debugged: a double click
// on its row, Enter, or the "Отладить" button asks the owner through
// OnDebugCase.

#include "FlowappExport.h"

#include "Flowcheck/Flowcheck_Check.h"

#include <QFrame>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace Deskbay {

class FLOWAPP_API TCheckPanel : public QFrame {
  Q_OBJECT
public:
  explicit TCheckPanel(QWidget* Parent = nullptr);

  // A check of Total cases from the test file TestsName (shown by its
  // name alone) begins: the rows of the last one go.
  void BeginCheck(const std::string& TestsName, int Total);
  // The next case's result, in the order of the file. The last one ends
  // the check: the summary is shown and the first failed case selected.
  void AddResult(const TCaseResult& Result);
  // Several results at once, as AddResult adds each.
  void AddResults(const std::vector<TCaseResult>& Results);
  // The check was stopped before every case was in: the summary says so.
  void StopCheck();
  const std::vector<TCaseResult>& GetResults() const { return FResults; }
  // All cases are in.
  bool GetComplete() const { return static_cast<int>(FResults.size()) >= FTotal; }
  // Selects the row of case Index and shows its lines; -1 clears.
  void SelectCase(int Index);
  int GetSelectedCase() const { return FSelected; }
  // Whether the case at Index may be debugged: it failed, is not hidden
  // and has a place to stop.
  bool CanDebug(int Index) const;

  // The case at Index is to be debugged (only cases CanDebug allows).
  std::function<void(int Index)> OnDebugCase;
  // The close button was pressed; the panel hides itself first.
  std::function<void()> OnClose;

  // The most lines the side-by-side view shows of one case: those around
  // the first difference when there are more.
  static constexpr int MaxShownLines = 500;

  QLabel* lblSummary;
  QToolButton* btnClose;
  QTableWidget* tblCases;
  QLabel* lblCase;
  QTableWidget* tblLines;
  QPushButton* btnDebug;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void ShowSummary();
  void ShowCase(int Index);
  void DebugRow(int Index);

  std::vector<TCaseResult> FResults;
  std::string FTestsName;
  int FTotal = 0;
  int FSelected = -1;
  bool FStopped = false;
};

} // namespace Deskbay
