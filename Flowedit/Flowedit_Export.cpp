#include "Flowedit_Export.h"

#include "Corekit/PagePlan.h"
#include "Corekit/Streams.h"
#include "Corekit/SvgCanvas.h"
#include "Corekit/SysUtils.h"
#include "Corekit/VisualUtils.h"
#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/UiFonts.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace Deskbay {

namespace {

void WriteBytes(const std::string& FileName, const QByteArray& Bytes) {
  SaveFileAtomically(
      FileName, [&Bytes](TStream& File) { File.WriteBuffer(Bytes.constData(), Bytes.size()); });
}

} // namespace

TChartPicture::TChartPicture(const TAlgorithm& Algorithm) : FCopy(std::make_unique<TAlgorithm>()) {
  FCopy->GetRoot()->Assign(Algorithm.GetRoot());
  FImage = std::make_unique<TCompositeImage>();
  // Laid out with the fonts it is drawn with, also where nobody installed
  // them (the command-line tool).
  TQtTextMetrics Metrics;
  ITextMetrics* Previous = SetTextMetrics(&Metrics);
  try {
    FCopy->GetRoot()->Render(*FImage);
  } catch (...) {
    SetTextMetrics(Previous);
    throw;
  }
  SetTextMetrics(Previous);
}

TChartPicture::~TChartPicture() {
  // The blocks untie themselves from the image as it goes.
  FImage.reset();
  FCopy.reset();
}

TPoint TChartPicture::GetSize() const {
  return FImage->GetSize();
}

void TChartPicture::Paint(QPainter& Painter, double Scale, const TRect& Part) const {
  Painter.save();
  Painter.scale(Scale, Scale);
  Painter.fillRect(QRect(0, 0, Part.Width(), Part.Height()), Qt::white);
  Painter.setClipRect(QRect(0, 0, Part.Width(), Part.Height()));
  TQtCanvas Canvas(Painter);
  FImage->Display(Canvas, {-Part.Left, -Part.Top},
                  {Part.Left - 1, Part.Top - 1, Part.Right + 2, Part.Bottom + 2});
  Painter.restore();
}

QImage TChartPicture::ToImage(int Percent) const {
  const TPoint Size = GetSize();
  const double Scale = Percent / 100.0;
  QImage Image(std::max(1, static_cast<int>(Size.X * Scale + 0.5)),
               std::max(1, static_cast<int>(Size.Y * Scale + 0.5)), QImage::Format_RGB32);
  Image.fill(Qt::white);
  QPainter Painter(&Image);
  Paint(Painter, Scale, {0, 0, Size.X, Size.Y});
  return Image;
}

TChartFormat ChartFormatOf(const std::string& FileName) {
  const size_t Dot = FileName.rfind('.');
  std::string Ext = Dot == std::string::npos ? std::string() : FileName.substr(Dot + 1);
  std::transform(Ext.begin(), Ext.end(), Ext.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  if (Ext == "svg")
    return TChartFormat::Svg;
  if (Ext == "png")
    return TChartFormat::Png;
  if (Ext == "pdf")
    return TChartFormat::Pdf;
  throw Exception(
      Format("Неизвестный формат рисунка \"%s\": годятся .svg, .png и .pdf.", FileName.c_str()));
}

TPrintLayout LayOutPrintedChart(TPoint ChartSize, const QPageLayout& Layout, int Dpi,
                                int HeaderLineHeight) {
  // The painter's origin is the corner of the printable area; the sheet's
  // own margins count towards the minimum, the rest is kept here.
  const QRect Printable = Layout.paintRectPixels(Dpi);
  const QMargins Kept = Layout.marginsPixels(Dpi);
  const int Min = static_cast<int>(std::lround(PrintMarginMm / 25.4 * Dpi));
  const QMargins Extra(std::max(0, Min - Kept.left()), std::max(0, Min - Kept.top()),
                       std::max(0, Min - Kept.right()), std::max(0, Min - Kept.bottom()));
  const QRect Room = QRect(QPoint(0, 0), Printable.size()).marginsRemoved(Extra);
  const int HeaderHeight = HeaderLineHeight * 2;
  const QRect ChartRoom = Room.adjusted(0, HeaderHeight, 0, 0);

  // A chart pixel is 1/96 in.
  const double Unit = Dpi / 96.0;
  const TPoint RoomInChartPixels{static_cast<int>(ChartRoom.width() / Unit),
                                 static_cast<int>(ChartRoom.height() / Unit)};
  const TPagePlan Plan = PlanPages(ChartSize, RoomInChartPixels);
  TPrintLayout Result;
  Result.Scale = Plan.Scale * Unit;
  const int Count = static_cast<int>(Plan.Tiles.size());
  for (int K = 0; K < Count; ++K) {
    TPrintedPage Page;
    Page.HeaderRect = QRect(Room.left(), Room.top(), Room.width(), HeaderLineHeight);
    Page.PageLabel = QString("стр. %1 из %2").arg(K + 1).arg(Count);
    Page.Tile = Plan.Tiles[K];
    Page.ChartAt = ChartRoom.topLeft();
    if (Count == 1) {
      const int Width = static_cast<int>(std::lround(ChartSize.X * Result.Scale));
      const int Height = static_cast<int>(std::lround(ChartSize.Y * Result.Scale));
      Page.ChartAt += QPoint(std::max(0, (ChartRoom.width() - Width) / 2),
                             std::max(0, (ChartRoom.height() - Height) / 2));
    }
    Result.Pages.push_back(Page);
  }
  return Result;
}

void PrintChart(const TChartPicture& Picture, QPagedPaintDevice& Device, const QString& Header) {
  QPainter Painter;
  if (!Painter.begin(&Device))
    throw Exception("Не удалось начать печать.");
  QFont HeaderFont = DefaultUiFont();
  HeaderFont.setPointSizeF(9);
  Painter.setFont(HeaderFont);
  const TPrintLayout Layout = LayOutPrintedChart(
      Picture.GetSize(), Device.pageLayout(), Device.logicalDpiX(), Painter.fontMetrics().height());
  for (size_t K = 0; K < Layout.Pages.size(); ++K) {
    const TPrintedPage& Page = Layout.Pages[K];
    if (K > 0)
      Device.newPage();
    Painter.resetTransform();
    Painter.setFont(HeaderFont);
    Painter.setPen(Qt::black);
    if (!Header.isEmpty())
      Painter.drawText(Page.HeaderRect, Qt::AlignLeft | Qt::AlignTop, Header);
    Painter.drawText(Page.HeaderRect, Qt::AlignRight | Qt::AlignTop, Page.PageLabel);
    Painter.translate(Page.ChartAt);
    Picture.Paint(Painter, Layout.Scale, Page.Tile);
  }
  Painter.end();
}

void SaveImageAsPng(const QImage& Image, const std::string& FileName) {
  QByteArray Bytes;
  QBuffer Buffer(&Bytes);
  Buffer.open(QIODevice::WriteOnly);
  if (!Image.save(&Buffer, "PNG"))
    throw Exception(Format("Не удалось записать рисунок в файл \"%s\".", FileName.c_str()));
  WriteBytes(FileName, Bytes);
}

void ExportChart(const TAlgorithm& Algorithm, const std::string& FileName, TChartFormat Format,
                 int Percent, const QString& Header) {
  if (Format == TChartFormat::Svg) {
    // Laid out as the command-line tool lays it out, with the metrics in use.
    TAlgorithm Copy;
    Copy.GetRoot()->Assign(Algorithm.GetRoot());
    TCompositeImage Image;
    Copy.GetRoot()->Render(Image);
    const std::string Svg = CompositeImageToSvg(Image);
    WriteBytes(FileName, QByteArray(Svg.data(), static_cast<qsizetype>(Svg.size())));
    return;
  }
  TChartPicture Picture(Algorithm);
  switch (Format) {
  case TChartFormat::Svg:
    break;
  case TChartFormat::Png:
    SaveImageAsPng(Picture.ToImage(Percent), FileName);
    break;
  case TChartFormat::Pdf: {
    QByteArray Bytes;
    {
      QBuffer Buffer(&Bytes);
      Buffer.open(QIODevice::WriteOnly);
      QPdfWriter Writer(&Buffer);
      Writer.setResolution(300);
      Writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
      Writer.setTitle(Header);
      Writer.setCreator("Deskbay");
      PrintChart(Picture, Writer, Header);
    }
    WriteBytes(FileName, Bytes);
    break;
  }
  }
}

} // namespace Deskbay
