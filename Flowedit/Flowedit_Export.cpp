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

void PrintChart(const TChartPicture& Picture, QPagedPaintDevice& Device, const QString& Header) {
  QPainter Painter;
  if (!Painter.begin(&Device))
    throw Exception("Не удалось начать печать.");
  // The device's units per chart pixel at 100 % (a chart pixel is 1/96 in).
  const double Unit = Device.logicalDpiX() / 96.0;
  const QRect Page = Device.pageLayout().paintRectPixels(Device.logicalDpiX());
  QFont HeaderFont = DefaultUiFont();
  HeaderFont.setPointSizeF(9);
  Painter.setFont(HeaderFont);
  const int HeaderHeight = Header.isEmpty() ? 0 : Painter.fontMetrics().height() * 2;
  const TPoint Room{static_cast<int>((Page.width()) / Unit),
                    static_cast<int>((Page.height() - HeaderHeight) / Unit)};
  const TPagePlan Plan = PlanPages(Picture.GetSize(), Room);
  for (size_t K = 0; K < Plan.Tiles.size(); ++K) {
    if (K > 0)
      Device.newPage();
    Painter.resetTransform();
    if (!Header.isEmpty()) {
      Painter.setFont(HeaderFont);
      QString Text = Header;
      if (Plan.Tiles.size() > 1)
        Text += QString("  (%1/%2)").arg(K + 1).arg(Plan.Tiles.size());
      Painter.drawText(QRect(0, 0, Page.width(), HeaderHeight), Qt::AlignLeft | Qt::AlignTop, Text);
    }
    Painter.translate(0, HeaderHeight);
    Picture.Paint(Painter, Plan.Scale * Unit, Plan.Tiles[K]);
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
