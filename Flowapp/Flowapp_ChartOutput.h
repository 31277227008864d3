#pragma once

// The flowchart as a picture file or on paper, from the algorithm window:
// the export dialog ("Экспорт рисунка...") and the print preview
// ("Печать..."). The pictures themselves come from the chart export.

#include "FlowappExport.h"

#include <QString>

#include <string>
#include <vector>

class QImage;
class QWidget;

namespace Deskbay {

class TAlgorithm;

// One kind of picture the export dialog offers.
struct TExportChoice {
  QString Filter;      // the dialog's entry: "Рисунок PNG, 100 % (*.png)"
  std::string Suffix;  // without the dot
  int Percent = 100;   // of a PNG
  bool Canvas = false; // the run's canvas instead of the flowchart
};

// What the dialog offers: SVG, PNG at 100 % and 200 %, PDF; with a canvas
// (run mode) also the canvas as PNG.
FLOWAPP_API std::vector<TExportChoice> ExportChoices(bool WithCanvas);

// Writes the picture Choice names into FileName: the flowchart of
// Algorithm, or Canvas. A failure raises and leaves an existing file as it
// was.
FLOWAPP_API void WriteExport(const TExportChoice& Choice, const TAlgorithm& Algorithm,
                             const QImage* Canvas, const std::string& FileName,
                             const QString& Header);

// Asks where and in which form, then writes; false when cancelled. Canvas
// may be null. DocumentName is the document's file (or untitled name).
FLOWAPP_API bool ExportWithDialog(QWidget* Parent, const TAlgorithm& Algorithm,
                                  const QImage* Canvas, const std::string& DocumentName);

// The print preview of the flowchart, with the document's name as the
// pages' header; printing goes from there.
FLOWAPP_API void PrintWithPreview(QWidget* Parent, const TAlgorithm& Algorithm,
                                  const QString& Header);

} // namespace Deskbay
