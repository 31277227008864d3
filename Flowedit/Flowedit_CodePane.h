#pragma once

// The code pane: the algorithm as the text of a program in the language
// chosen above it, read-only, following the chart. The lines of the selected
// blocks are marked, and in another colour those of the block about to run;
// a click on a line selects its block in the algorithm.

#include "FloweditExport.h"

#include "Flowcode/Flowcode_ProgramView.h"

#include "Corekit/MiscUtils_Versioning.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QPlainTextEdit;

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;

class FLOWEDIT_API TCodePane : public QWidget {
  Q_OBJECT
public:
  explicit TCodePane(QWidget* Parent = nullptr);
  ~TCodePane() override;

  QComboBox* cbLanguage;
  // Beside the language: the lesson text (the default) or the exact one.
  QComboBox* cbStyle;
  QPlainTextEdit* memCode;

  TAlgorithm* GetAlgorithm() const { return FAlgorithm; }
  // Shows Algorithm (not owned; nullptr: none).
  void SetAlgorithm(TAlgorithm* Algorithm);

  TCodeLanguage GetLanguage() const { return FLanguage; }
  void SetLanguage(TCodeLanguage Language);
  // Called when the language changes (by the combo box or SetLanguage).
  std::function<void(TCodeLanguage)> OnLanguageChange;

  TCodeStyleKind GetStyle() const { return FStyle; }
  void SetStyle(TCodeStyleKind Style);
  // Called when the style changes (by the combo box or SetStyle).
  std::function<void(TCodeStyleKind)> OnStyleChange;

  // The block about to run (nullptr: none); only compared, never followed.
  const TAlgBlock* GetRunningBlock() const { return FRunningBlock; }
  void SetRunningBlock(const TAlgBlock* Block);

  // The program as shown, made now if the algorithm changed since.
  const TProgramText& GetProgram();
  // The marked lines, as shown.
  const std::vector<TCodeLineRange>& GetSelectedLines() const { return FSelectedLines; }
  const std::vector<TCodeLineRange>& GetRunningLines() const { return FRunningLines; }
  // How many times the text was made (a burst of changes makes it once).
  int GetRegenerationCount() const { return FRegenerationCount; }

  // Selects in the algorithm the block of Line (0-based), as a click on it
  // does; a line of the program's frame selects nothing.
  void SelectBlockAtLine(int Line);

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void AlgChange(TObject* Sender);
  void AlgSelChange(TObject* Sender);
  void Regenerate();
  void UpdateMarks(bool ScrollToMarks);
  void ScrollToLines(const std::vector<TCodeLineRange>& Ranges);

  TAlgorithm* FAlgorithm = nullptr;
  TCodeLanguage FLanguage = TCodeLanguage::Python;
  TCodeStyleKind FStyle = TCodeStyleKind::Lesson;
  const TAlgBlock* FRunningBlock = nullptr;
  std::optional<TProgramText> FProgram; // empty: to be made
  std::vector<TCodeLineRange> FSelectedLines, FRunningLines;
  int FRegenerationCount = 0;
  QTimer FRegenerateTimer;
  TNotifyAdapter<TCodePane> FOnChange{this, &TCodePane::AlgChange};
  TNotifyAdapter<TCodePane> FOnSelChange{this, &TCodePane::AlgSelChange};
};

// Asks for a file name (offered: the algorithm's own with the language's
// extension) and writes the program of Algorithm in Language there through
// the safe writer. False when cancelled; a failure raises, naming the file.
FLOWEDIT_API bool SaveProgramTextAs(QWidget* Parent, TAlgorithm& Algorithm, TCodeLanguage Language,
                                    const std::string& AlgorithmFileName,
                                    TCodeStyleKind Style = TCodeStyleKind::Exact);
// The writing part: the program of Algorithm in Language into FileName; a
// failure raises as above and leaves an existing file as it was.
FLOWEDIT_API void SaveProgramText(const TAlgorithm& Algorithm, TCodeLanguage Language,
                                  const std::string& FileName,
                                  TCodeStyleKind Style = TCodeStyleKind::Exact);

} // namespace Deskbay
