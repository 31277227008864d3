#pragma once

// "Файл" > "Примеры...": the examples' gallery. Each example of the folder
// is a row with a small picture of its chart, its title and one line of
// what it teaches (Environment_ExampleIndex); a double click, Enter or
// "Открыть" opens it, "Другой файл..." the usual file dialog in the folder.

#include "EnvironmentExport.h"
#include "Environment_ExampleIndex.h"

#include <QDialog>
#include <QImage>
#include <QSize>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace Deskbay {

// The chart of the algorithm in File on white, scaled down to fit MaxSize
// (never enlarged). A file that cannot be read gives a null image and its
// reason in Error.
ENVIRONMENT_API QImage ExampleChartPicture(const std::string& File, QSize MaxSize,
                                           std::string* Error = nullptr);

class ENVIRONMENT_API TExamplesForm : public QDialog {
  Q_OBJECT
public:
  // The examples of Folder; the first is selected.
  explicit TExamplesForm(const std::string& Folder, QWidget* Parent = nullptr);

  const std::vector<TExampleInfo>& GetExamples() const { return FExamples; }
  // The selected example's file; empty when none is selected.
  std::string SelectedPath() const;
  // Whether the dialog ended with "Другой файл...".
  bool GetOtherFileWanted() const { return FOtherFile; }

  static constexpr QSize PictureSize{88, 110};

  QLabel* lblFolder;
  QListWidget* lvExamples;
  QPushButton* btnOpen;
  QPushButton* btnOtherFile;
  QPushButton* btnCancel;

private:
  void UpdateUI();

  std::vector<TExampleInfo> FExamples;
  bool FOtherFile = false;
};

} // namespace Deskbay
