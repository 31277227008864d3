#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_Export.h"

#include "Corekit/PagePlan.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// A branch in a loop: tall enough to have a shape, small enough for a page.
void Fill(TAlgorithm& Alg) {
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  AddBlock(Body, TBasicAlgBlock::Class, "C=0");
  auto* Loop = static_cast<TContainerAlgBlock*>(AddBlock(Body, TForAlgBlock::Class, "N=2,10,1"));
  AddBlock(Loop->GetBody(), TIfAlgBlock::Class, "N MOD 2=0");
  AddBlock(Body, TIOAlgBlock::Class, "Вывод C");
}

QByteArray ReadAll(const QString& Name) {
  QFile F(Name);
  EXPECT_TRUE(F.open(QIODevice::ReadOnly)) << Name.toStdString();
  return F.readAll();
}

int PdfPageCount(const QByteArray& Pdf) {
  // Each page object names its type once; the page tree says "/Pages".
  int Count = 0;
  for (qsizetype At = Pdf.indexOf("/Type /Page"); At >= 0; At = Pdf.indexOf("/Type /Page", At + 1))
    if (Pdf.mid(At, 12) != "/Type /Pages")
      ++Count;
  return Count;
}

} // namespace

TEST(ChartExport, EachFormatIsWrittenAndReadsBack) {
  TAlgorithm Alg;
  Fill(Alg);
  Alg.GetRoot()->GetBody()->GetBlocks(0)->SetSelected(true);
  const uint64_t Version = Alg.GetVersion();
  QTemporaryDir Dir;
  const std::string Base = Dir.path().toStdString() + "/chart";

  TChartPicture Picture(Alg);
  const TPoint Size = Picture.GetSize();
  ASSERT_GT(Size.X, 100);
  ASSERT_GT(Size.Y, 200);

  ExportChart(Alg, Base + ".png", ChartFormatOf(Base + ".png"), 100);
  ExportChart(Alg, Base + "2.PNG", ChartFormatOf(Base + "2.PNG"), 200);
  QImage Png(QString::fromStdString(Base + ".png"));
  QImage Png2(QString::fromStdString(Base + "2.PNG"));
  EXPECT_EQ(Png.size(), QSize(Size.X, Size.Y));
  EXPECT_EQ(Png2.size(), QSize(Size.X * 2, Size.Y * 2));
  // Drawn on white, with black lines and no selection colour anywhere.
  EXPECT_EQ(Png.pixelColor(0, 0), QColor(Qt::white));
  bool Dark = false, Blue = false;
  for (int Y = 0; Y < Png.height(); ++Y)
    for (int X = 0; X < Png.width(); ++X) {
      const QColor C = Png.pixelColor(X, Y);
      Dark |= C.lightness() < 60;
      Blue |= C.blue() > 200 && C.red() < 60 && C.green() < 60;
    }
  EXPECT_TRUE(Dark);
  EXPECT_FALSE(Blue) << "the selection is not part of the picture";

  ExportChart(Alg, Base + ".svg", TChartFormat::Svg);
  EXPECT_TRUE(ReadAll(QString::fromStdString(Base + ".svg")).contains("N=2,10,1"));

  ExportChart(Alg, Base + ".pdf", TChartFormat::Pdf, 100, "chart.alg");
  const QByteArray Pdf = ReadAll(QString::fromStdString(Base + ".pdf"));
  EXPECT_TRUE(Pdf.startsWith("%PDF"));
  EXPECT_EQ(PdfPageCount(Pdf), 1);

  // The document itself is untouched: same version, same selection.
  EXPECT_EQ(Alg.GetVersion(), Version);
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 1);
}

TEST(ChartExport, ALongChartTakesSeveralPdfPages) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  for (int K = 0; K < 60; ++K)
    AddBlock(Body, TBasicAlgBlock::Class, "X=" + std::to_string(K));
  QTemporaryDir Dir;
  const std::string Name = Dir.path().toStdString() + "/long.pdf";
  ExportChart(Alg, Name, TChartFormat::Pdf, 100, "long.alg");
  const int Pages = PdfPageCount(ReadAll(QString::fromStdString(Name)));
  // About 60 px a block: 3,600 px at half size on A4 (about 1,000 px high).
  EXPECT_GE(Pages, 2);
  EXPECT_LE(Pages, 3);
}

TEST(ChartExport, UnknownFormatsAndFailedWritesChangeNothing) {
  EXPECT_THROW(ChartFormatOf("chart.jpg"), Exception);
  EXPECT_THROW(ChartFormatOf("chart"), Exception);
  EXPECT_EQ(ChartFormatOf("a.b.Svg"), TChartFormat::Svg);

  TAlgorithm Alg;
  Fill(Alg);
  QTemporaryDir Dir;
  const std::string Missing = Dir.path().toStdString() + "/no such folder/a.pdf";
  EXPECT_THROW(ExportChart(Alg, Missing, TChartFormat::Pdf), Exception);
  const QString Name = Dir.path() + "/kept.png";
  {
    QFile F(Name);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write("old picture");
  }
  // A folder that cannot be written: the old file stays as it was.
  ASSERT_EQ(chmod(Dir.path().toLocal8Bit().constData(), 0555), 0);
  if (access(Dir.path().toLocal8Bit().constData(), W_OK) == 0) {
    chmod(Dir.path().toLocal8Bit().constData(), 0755);
    GTEST_SKIP() << "the folder stays writable for this user (root)";
  }
  EXPECT_THROW(ExportChart(Alg, Name.toStdString(), TChartFormat::Png), Exception);
  chmod(Dir.path().toLocal8Bit().constData(), 0755);
  EXPECT_EQ(ReadAll(Name), QByteArray("old picture"));
}

TEST(ChartPrint, PagesKeepMarginsNumberThemselvesAndCentreAChartThatFits) {
  constexpr int Dpi = 300;
  const int Min = static_cast<int>(std::lround(PrintMarginMm / 25.4 * Dpi));
  // A printer that keeps 5 mm itself, and one that keeps nothing.
  for (double Kept : {5.0, 0.0}) {
    SCOPED_TRACE(Kept);
    const QPageLayout Layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                             QMarginsF(Kept, Kept, Kept, Kept), QPageLayout::Millimeter);
    const QRect Sheet = Layout.fullRectPixels(Dpi);
    const QPoint Origin = Layout.paintRectPixels(Dpi).topLeft();
    // Every part of every page, on the sheet, at least the margin from its edges.
    auto ExpectInside = [&](const QRect& OnPage) {
      const QRect R = OnPage.translated(Origin);
      EXPECT_GE(R.left(), Min - 1);
      EXPECT_GE(R.top(), Min - 1);
      EXPECT_LE(R.right(), Sheet.width() - Min + 1);
      EXPECT_LE(R.bottom(), Sheet.height() - Min + 1);
    };

    const TPoint Small{200, 300};
    const TPrintLayout One = LayOutPrintedChart(Small, Layout, Dpi, 40);
    ASSERT_EQ(One.Pages.size(), 1u);
    const TPrintedPage& P = One.Pages[0];
    EXPECT_EQ(P.PageLabel.toStdString(), "стр. 1 из 1");
    EXPECT_DOUBLE_EQ(One.Scale, Dpi / 96.0);
    const QRect Chart(P.ChartAt, QSize(static_cast<int>(Small.X * One.Scale),
                                       static_cast<int>(Small.Y * One.Scale)));
    ExpectInside(P.HeaderRect);
    ExpectInside(Chart);
    EXPECT_GE(Chart.top(), P.HeaderRect.bottom());
    // In the middle across the sheet, and below the header in the middle of the rest.
    const int Left = Chart.left() + Origin.x();
    const int Right = Sheet.width() - (Chart.right() + Origin.x());
    EXPECT_LE(std::abs(Left - Right), 3);

    const TPrintLayout Long = LayOutPrintedChart({300, 3600}, Layout, Dpi, 40);
    ASSERT_GE(Long.Pages.size(), 2u);
    for (size_t K = 0; K < Long.Pages.size(); ++K) {
      const TPrintedPage& Page = Long.Pages[K];
      EXPECT_EQ(Page.PageLabel.toStdString(),
                "стр. " + std::to_string(K + 1) + " из " + std::to_string(Long.Pages.size()));
      ExpectInside(Page.HeaderRect);
      ExpectInside(QRect(Page.ChartAt, QSize(static_cast<int>(Page.Tile.Width() * Long.Scale),
                                             static_cast<int>(Page.Tile.Height() * Long.Scale))));
      EXPECT_GE(Page.ChartAt.y(), Page.HeaderRect.bottom());
    }
  }
}
