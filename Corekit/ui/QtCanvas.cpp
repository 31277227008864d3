#include "QtCanvas.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <cmath>
#include <numbers>

namespace Deskbay {

namespace {

QString ToQString(std::string_view Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QPointF UnitCentre(TPoint P) {
  return QPointF(P.X + 0.5, P.Y + 0.5);
}

// Angle of the ray from Centre towards P in sixteenths of a degree,
// counter-clockwise on the screen from three o'clock; a ray of zero length
// points to the right.
int RayAngle16(QPointF Centre, TPoint P) {
  const double DX = P.X - Centre.x();
  const double DY = Centre.y() - P.Y;
  if (DX == 0 && DY == 0)
    return 0;
  double Degrees = std::atan2(DY, DX) * 180 / std::numbers::pi;
  if (Degrees < 0)
    Degrees += 360;
  return static_cast<int>(std::lround(Degrees * 16));
}

} // namespace

QColor QColorOf(TColor Color) {
  return QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color));
}

QFont QFontOf(const TFont& Font) {
  QFont F(QString::fromStdString(Font.Name));
  F.setStyleHint(QFont::SansSerif);
  // A TFont's height is its line; the glyphs take about three quarters of it.
  F.setPixelSize(std::max(1, Font.Height * 3 / 4));
  F.setWeight(static_cast<QFont::Weight>(std::clamp(Font.Weight / 10 * 10, 100, 900)));
  // Hinting would fit glyphs to the device's pixels, so text measured at one
  // scale would not fill the same box at another (zoom, high-DPI screens).
  F.setHintingPreference(QFont::PreferNoHinting);
  return F;
}

bool TQtCanvas::PenDraws() const {
  return GetPen().Style != TPenStyle::psClear && GetPen().Mode != TPenMode::pmNop;
}

bool TQtCanvas::BrushFills() const {
  return GetBrush().Style != TBrushStyle::bsClear;
}

void TQtCanvas::SetSmoothPen() {
  QPen Pen(QColorOf(GetPen().Color));
  Pen.setWidthF(1);
  Pen.setCapStyle(Qt::FlatCap);
  Pen.setJoinStyle(Qt::MiterJoin);
  FPainter.setPen(Pen);
  FPainter.setRenderHint(QPainter::Antialiasing, true);
}

void TQtCanvas::DoLine(TPoint From, TPoint To) {
  if (!PenDraws() || From == To)
    return;
  const QColor Color = QColorOf(GetPen().Color);
  if (From.Y == To.Y) {
    const int X1 = From.X < To.X ? From.X : To.X + 1;
    FPainter.fillRect(QRect(X1, From.Y, std::abs(To.X - From.X), 1), Color);
  } else if (From.X == To.X) {
    const int Y1 = From.Y < To.Y ? From.Y : To.Y + 1;
    FPainter.fillRect(QRect(From.X, Y1, 1, std::abs(To.Y - From.Y)), Color);
  } else {
    // Slanted: from the first unit's centre to the end unit's edge facing it,
    // so the end unit stays out as on a raster.
    const QPointF A = UnitCentre(From), B = UnitCentre(To);
    const QPointF D = B - A;
    const double Len = std::hypot(D.x(), D.y());
    const QPointF End = B - D * (0.5 / Len);
    FPainter.save();
    SetSmoothPen();
    FPainter.drawLine(QPointF(A.x(), A.y()) - D * (0.5 / Len), End);
    FPainter.restore();
  }
}

void TQtCanvas::DoRectangle(const TRect& Box) {
  const TRect R = Box.Normalized();
  if (R.Width() <= 0 || R.Height() <= 0)
    return;
  const QRect Area(R.Left, R.Top, R.Width(), R.Height());
  if (BrushFills())
    FPainter.fillRect(Area, QColorOf(GetBrush().Color));
  if (PenDraws()) {
    const QColor C = QColorOf(GetPen().Color);
    FPainter.fillRect(QRect(R.Left, R.Top, R.Width(), 1), C);
    FPainter.fillRect(QRect(R.Left, R.Bottom - 1, R.Width(), 1), C);
    FPainter.fillRect(QRect(R.Left, R.Top, 1, R.Height()), C);
    FPainter.fillRect(QRect(R.Right - 1, R.Top, 1, R.Height()), C);
  }
}

void TQtCanvas::DoEllipse(const TRect& Box) {
  const TRect R = Box.Normalized();
  if (R.Width() <= 0 || R.Height() <= 0)
    return;
  FPainter.save();
  SetSmoothPen();
  if (!PenDraws())
    FPainter.setPen(Qt::NoPen);
  FPainter.setBrush(BrushFills() ? QBrush(QColorOf(GetBrush().Color)) : QBrush(Qt::NoBrush));
  FPainter.drawEllipse(QRectF(R.Left + 0.5, R.Top + 0.5, R.Width() - 1, R.Height() - 1));
  FPainter.restore();
}

void TQtCanvas::DoPolygon(const std::vector<TPoint>& Points) {
  if (Points.size() < 2)
    return;
  QPolygonF Poly;
  Poly.reserve(static_cast<qsizetype>(Points.size()));
  for (TPoint P : Points)
    Poly << UnitCentre(P);
  FPainter.save();
  SetSmoothPen();
  if (!PenDraws())
    FPainter.setPen(Qt::NoPen);
  FPainter.setBrush(BrushFills() ? QBrush(QColorOf(GetBrush().Color)) : QBrush(Qt::NoBrush));
  FPainter.drawPolygon(Poly, Qt::WindingFill);
  FPainter.restore();
}

void TQtCanvas::DoArc(const TRect& Box, TPoint Start, TPoint End) {
  const TRect R = Box.Normalized();
  if (!PenDraws() || R.Width() <= 0 || R.Height() <= 0)
    return;
  const QRectF Rect(R.Left + 0.5, R.Top + 0.5, R.Width() - 1, R.Height() - 1);
  const int A1 = RayAngle16(Rect.center(), Start);
  const int A2 = RayAngle16(Rect.center(), End);
  int Span = A2 - A1;
  if (Span <= 0)
    Span += 360 * 16;
  FPainter.save();
  SetSmoothPen();
  FPainter.drawArc(Rect, A1, Span);
  FPainter.restore();
}

void TQtCanvas::DoSetPixel(TPoint P, TColor Color) {
  FPainter.fillRect(QRect(P.X, P.Y, 1, 1), QColorOf(Color));
}

void TQtCanvas::DoFloodFill(TPoint, TColor, TFillStyle) {}

void TQtCanvas::DoTextOut(TPoint P, std::string_view Text) {
  const QFont Font = QFontOf(GetFont());
  const QString S = ToQString(Text);
  if (BrushFills())
    FPainter.fillRect(QRect(P.X, P.Y, TextWidth(Text), TextHeight(Text)),
                      QColorOf(GetBrush().Color));
  FPainter.save();
  FPainter.setFont(Font);
  FPainter.setPen(QColorOf(GetFont().Color));
  FPainter.setRenderHint(QPainter::TextAntialiasing, true);
  FPainter.drawText(QPointF(P.X, P.Y + QFontMetricsF(Font).ascent()), S);
  FPainter.restore();
}

void TQtCanvas::DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text) {
  const TRect C = Clip.Normalized();
  FPainter.save();
  FPainter.setClipRect(QRect(C.Left, C.Top, C.Width(), C.Height()), Qt::IntersectClip);
  DoTextOut(P, Text);
  FPainter.restore();
}

// --- text metrics ---

namespace {

// Layout asks for the same few fonts over and over; building the metrics
// object is the costly part.
struct TMetricsCache {
  TFont Font;
  QFontMetricsF Metrics{QFont()};
  bool Valid = false;

  const QFontMetricsF& For(const TFont& Wanted) {
    if (!Valid || Wanted.Name != Font.Name || Wanted.Height != Font.Height ||
        Wanted.Weight != Font.Weight) {
      Font = Wanted;
      Metrics = QFontMetricsF(QFontOf(Wanted));
      Valid = true;
    }
    return Metrics;
  }
};

TMetricsCache& Cache() {
  static TMetricsCache C;
  return C;
}

} // namespace

int TQtTextMetrics::TextWidth(const TFont& Font, std::string_view Text) {
  return static_cast<int>(std::ceil(Cache().For(Font).horizontalAdvance(ToQString(Text))));
}

int TQtTextMetrics::LineHeight(const TFont& Font) {
  return static_cast<int>(std::ceil(Cache().For(Font).height()));
}

} // namespace Deskbay
