#pragma once

// The flowchart as a picture or on pages: SVG, PNG at a scale, PDF on A4,
// and any paged device such as a printer. Every file goes through the safe
// writer, so a failed export leaves an existing file as it was.

#include "FloweditExport.h"

#include "Corekit/Canvas.h"

#include <QImage>
#include <QPageLayout>
#include <QRect>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace Deskbay {

class TAlgorithm;
class TCompositeImage;

// The flowchart of an algorithm laid out on its own: a copy is drawn, so the
// document's views keep their layout, and nothing in it is selected.
class FLOWEDIT_API TChartPicture {
public:
  explicit TChartPicture(const TAlgorithm& Algorithm);
  ~TChartPicture();
  TChartPicture(const TChartPicture&) = delete;
  TChartPicture& operator=(const TChartPicture&) = delete;

  // Pixels at 100 %.
  TPoint GetSize() const;
  // Draws Part of the chart (pixels at 100 %) with its top-left corner at
  // the painter's origin, Scale times as large, on white.
  void Paint(QPainter& Painter, double Scale, const TRect& Part) const;
  // The whole chart at Percent of its size.
  QImage ToImage(int Percent) const;

private:
  std::unique_ptr<TAlgorithm> FCopy;
  std::unique_ptr<TCompositeImage> FImage;
};

enum class TChartFormat { Svg, Png, Pdf };

// The format a file name asks for by its extension (any letter case);
// raises "Неизвестный формат рисунка …" for any other.
FLOWEDIT_API TChartFormat ChartFormatOf(const std::string& FileName);

// Where a printed chart goes on its pages, in device pixels from the
// painter's origin (the corner of the device's printable area): the margins
// are at least PrintMarginMm on every side of the sheet whatever the device
// keeps itself; each page has a header line (the file name at the left,
// "стр. K из N" at the right); a chart that fits one page stands in the
// middle of the room under the header, one cut into pages at its top left.
struct TPrintedPage {
  QRect HeaderRect;  // the header line
  QString PageLabel; // "стр. 1 из 3"
  QPoint ChartAt;    // where the tile's top-left corner goes
  TRect Tile;        // the part of the chart (pixels at 100 %)
};
struct TPrintLayout {
  double Scale = 1; // device pixels per chart pixel at 100 %
  std::vector<TPrintedPage> Pages;
};
constexpr double PrintMarginMm = 15;
FLOWEDIT_API TPrintLayout LayOutPrintedChart(TPoint ChartSize, const QPageLayout& Layout, int Dpi,
                                             int HeaderLineHeight);

// Fills the pages of Device with Picture as LayOutPrintedChart places it,
// Header (the file name) and the page number at the top of each page.
FLOWEDIT_API void PrintChart(const TChartPicture& Picture, QPagedPaintDevice& Device,
                             const QString& Header);

// Writes the flowchart of Algorithm into FileName. Percent is the PNG's
// scale (100 or 200); Header heads the PDF's pages.
FLOWEDIT_API void ExportChart(const TAlgorithm& Algorithm, const std::string& FileName,
                              TChartFormat Format, int Percent = 100,
                              const QString& Header = QString());

// Writes Image as a PNG file through the safe writer.
FLOWEDIT_API void SaveImageAsPng(const QImage& Image, const std::string& FileName);

} // namespace Deskbay
