#include "Flowapp_ChartOutput.h"

#include "Flowedit/Flowedit_Export.h"

#include "Corekit/SysUtils.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <filesystem>

namespace Deskbay {

std::vector<TExportChoice> ExportChoices(bool WithCanvas) {
  std::vector<TExportChoice> Choices = {
      {"Рисунок SVG (*.svg)", "svg", 100, false},
      {"Рисунок PNG, 100 % (*.png)", "png", 100, false},
      {"Рисунок PNG, 200 % (*.png)", "png", 200, false},
      {"Документ PDF, A4 (*.pdf)", "pdf", 100, false},
  };
  if (WithCanvas)
    Choices.push_back({"Холст, рисунок PNG (*.png)", "png", 100, true});
  return Choices;
}

void WriteExport(const TExportChoice& Choice, const TAlgorithm& Algorithm, const QImage* Canvas,
                 const std::string& FileName, const QString& Header) {
  if (Choice.Canvas) {
    if (Canvas)
      SaveImageAsPng(*Canvas, FileName);
    return;
  }
  // The name's own extension decides when it names a picture format; the
  // choice's otherwise.
  TChartFormat Format;
  try {
    Format = ChartFormatOf(FileName);
  } catch (const Exception&) {
    Format = ChartFormatOf("." + Choice.Suffix);
  }
  ExportChart(Algorithm, FileName, Format, Choice.Percent, Header);
}

bool ExportWithDialog(QWidget* Parent, const TAlgorithm& Algorithm, const QImage* Canvas,
                      const std::string& DocumentName) {
  const std::vector<TExportChoice> Choices = ExportChoices(Canvas != nullptr);
  QFileDialog Dialog(Parent, "Экспорт рисунка");
  Dialog.setAcceptMode(QFileDialog::AcceptSave);
  Dialog.setFileMode(QFileDialog::AnyFile);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  QStringList Filters;
  for (const TExportChoice& C : Choices)
    Filters << C.Filter;
  Dialog.setNameFilters(Filters);
  const std::string Base = std::filesystem::path(DocumentName).stem().string();
  auto Suggest = [&](int Index) {
    Dialog.setDefaultSuffix(QString::fromStdString(Choices[Index].Suffix));
    Dialog.selectFile(
        QFile::decodeName(QByteArray::fromStdString(Base + "." + Choices[Index].Suffix)));
  };
  Suggest(1);
  Dialog.selectNameFilter(Filters[1]);
  QObject::connect(&Dialog, &QFileDialog::filterSelected, &Dialog, [&](const QString& Filter) {
    Suggest(static_cast<int>(Filters.indexOf(Filter)));
  });
  if (!ExecFileDialogUsingWorkingDir(Dialog, DocumentName) || Dialog.selectedFiles().isEmpty())
    return false;
  const int Index =
      std::max<int>(0, static_cast<int>(Filters.indexOf(Dialog.selectedNameFilter())));
  const std::string FileName = QFile::encodeName(Dialog.selectedFiles().first()).toStdString();
  WriteExport(Choices[Index], Algorithm, Canvas, FileName,
              QFile::decodeName(QByteArray::fromStdString(
                  std::filesystem::path(DocumentName).filename().string())));
  return true;
}

void PrintWithPreview(QWidget* Parent, const TAlgorithm& Algorithm, const QString& Header) {
  const TChartPicture Picture(Algorithm);
  QPrinter Printer(QPrinter::HighResolution);
  Printer.setPageSize(QPageSize(QPageSize::A4));
  Printer.setDocName(Header);
  QPrintPreviewDialog Preview(&Printer, Parent);
  Preview.setWindowTitle("Печать: " + Header);
  QObject::connect(&Preview, &QPrintPreviewDialog::paintRequested, &Preview,
                   [&](QPrinter* Target) { PrintChart(Picture, *Target, Header); });
  Preview.exec();
}

} // namespace Deskbay
