#include "QtCanvas.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStaticText>
#include <QString>

#include <cmath>
#include <memory>
#include <numbers>
#include <unordered_map>

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

// The flowchart draws the same few fonts and texts on every paint; laying
// text out is what costs, so both are kept. The caches are bounded: past
// their size they start afresh.
struct TFontKey {
  std::string Name;
  int Height;
  int Weight;
  friend bool operator==(const TFontKey&, const TFontKey&) = default;
};

TFontKey KeyOf(const TFont& Font) {
  return {Font.Name, Font.Height, Font.Weight};
}

} // namespace

struct TQtCanvas::TFontEntry {
  TFontKey Key;
  QFont Font;
  std::unordered_map<std::string, QStaticText> Texts;
};

namespace {

constexpr size_t MaxCachedFonts = 16;
constexpr size_t MaxCachedTexts = 2048;

std::vector<std::unique_ptr<TQtCanvas::TFontEntry>>& FontEntries() {
  static std::vector<std::unique_ptr<TQtCanvas::TFontEntry>> Entries;
  return Entries;
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

const TQtCanvas::TFontEntry& TQtCanvas::FontEntry(const TFont& Font) {
  auto& Entries = FontEntries();
  const TFontKey Key = KeyOf(Font);
  for (auto& E : Entries)
    if (E->Key == Key)
      return *E;
  if (Entries.size() >= MaxCachedFonts)
    Entries.clear();
  auto E = std::make_unique<TFontEntry>();
  E->Key = Key;
  E->Font = QFontOf(Font);
  Entries.push_back(std::move(E));
  return *Entries.back();
}

const QStaticText& TQtCanvas::StaticText(const TFontEntry& Font, std::string_view Text) {
  auto& Texts = const_cast<TFontEntry&>(Font).Texts;
  auto It = Texts.find(std::string(Text));
  if (It != Texts.end())
    return It->second;
  if (Texts.size() >= MaxCachedTexts)
    Texts.clear();
  QStaticText S(ToQString(Text));
  S.setTextFormat(Qt::PlainText);
  S.setPerformanceHint(QStaticText::AggressiveCaching);
  S.prepare(QTransform(), Font.Font);
  return Texts.emplace(std::string(Text), std::move(S)).first->second;
}

bool TQtCanvas::PenDraws() const {
  return GetPen().Style != TPenStyle::psClear && GetPen().Mode != TPenMode::pmNop;
}

bool TQtCanvas::BrushFills() const {
  return GetBrush().Style != TBrushStyle::bsClear;
}

double TQtCanvas::LineWidth() const {
  // Below a scale of 1 a unit is less than a device pixel, and a line of
  // one unit would fade or, filled without smoothing, drop out.
  const QTransform& T = FPainter.deviceTransform();
  const double Scale = std::min(std::hypot(T.m11(), T.m12()), std::hypot(T.m21(), T.m22()));
  return Scale > 0 && Scale < 1 ? 1 / Scale : 1;
}

void TQtCanvas::SetSmoothPen() {
  if (PenDraws()) {
    QPen Pen(QColorOf(GetPen().Color));
    Pen.setWidthF(LineWidth());
    Pen.setCapStyle(Qt::FlatCap);
    Pen.setJoinStyle(Qt::MiterJoin);
    FPainter.setPen(Pen);
  } else {
    FPainter.setPen(Qt::NoPen);
  }
  FPainter.setRenderHint(QPainter::Antialiasing, true);
}

void TQtCanvas::SetSmoothBrush() {
  if (BrushFills())
    FPainter.setBrush(QColorOf(GetBrush().Color));
  else
    FPainter.setBrush(Qt::NoBrush);
}

void TQtCanvas::DoLine(TPoint From, TPoint To) {
  if (!PenDraws() || From == To)
    return;
  const QColor Color = QColorOf(GetPen().Color);
  const double Width = LineWidth();
  if (From.Y == To.Y) {
    const int X1 = From.X < To.X ? From.X : To.X + 1;
    FPainter.fillRect(QRectF(X1, From.Y, std::abs(To.X - From.X), Width), Color);
  } else if (From.X == To.X) {
    const int Y1 = From.Y < To.Y ? From.Y : To.Y + 1;
    FPainter.fillRect(QRectF(From.X, Y1, Width, std::abs(To.Y - From.Y)), Color);
  } else {
    // Slanted: from the first unit's centre to the end unit's edge facing it,
    // so the end unit stays out as on a raster.
    const QPointF A = UnitCentre(From), B = UnitCentre(To);
    const QPointF D = B - A;
    const double Len = std::hypot(D.x(), D.y());
    const QPointF End = B - D * (0.5 / Len);
    SetSmoothPen();
    FPainter.drawLine(A - D * (0.5 / Len), End);
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
    const double W = std::min({LineWidth(), double(R.Width()), double(R.Height())});
    FPainter.fillRect(QRectF(R.Left, R.Top, R.Width(), W), C);
    FPainter.fillRect(QRectF(R.Left, R.Bottom - W, R.Width(), W), C);
    FPainter.fillRect(QRectF(R.Left, R.Top, W, R.Height()), C);
    FPainter.fillRect(QRectF(R.Right - W, R.Top, W, R.Height()), C);
  }
}

void TQtCanvas::DoEllipse(const TRect& Box) {
  const TRect R = Box.Normalized();
  if (R.Width() <= 0 || R.Height() <= 0)
    return;
  SetSmoothPen();
  SetSmoothBrush();
  FPainter.drawEllipse(QRectF(R.Left + 0.5, R.Top + 0.5, R.Width() - 1, R.Height() - 1));
}

void TQtCanvas::DoPolygon(const std::vector<TPoint>& Points) {
  if (Points.size() < 2)
    return;
  QPolygonF Poly;
  Poly.reserve(static_cast<qsizetype>(Points.size()));
  for (TPoint P : Points)
    Poly << UnitCentre(P);
  SetSmoothPen();
  SetSmoothBrush();
  FPainter.drawPolygon(Poly, Qt::WindingFill);
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
  SetSmoothPen();
  FPainter.drawArc(Rect, A1, Span);
}

void TQtCanvas::DoSetPixel(TPoint P, TColor Color) {
  FPainter.fillRect(QRect(P.X, P.Y, 1, 1), QColorOf(Color));
}

void TQtCanvas::DoFloodFill(TPoint, TColor, TFillStyle) {}

void TQtCanvas::DoTextOut(TPoint P, std::string_view Text) {
  if (BrushFills())
    FPainter.fillRect(QRect(P.X, P.Y, TextWidth(Text), TextHeight(Text)),
                      QColorOf(GetBrush().Color));
  const TFontEntry& Font = FontEntry(GetFont());
  FPainter.setFont(Font.Font);
  FPainter.setPen(QColorOf(GetFont().Color));
  FPainter.setRenderHint(QPainter::TextAntialiasing, true);
  FPainter.drawStaticText(QPointF(P.X, P.Y), StaticText(Font, Text));
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

// Layout measures the same few fonts and texts over and over; building
// the metrics and shaping the text are what cost.
struct TMetricsCache {
  TFontKey Key;
  QFontMetricsF Metrics{QFont()};
  int Height = 0;
  bool Valid = false;
  std::unordered_map<std::string, int> Widths;

  void For(const TFont& Wanted) {
    TFontKey K = KeyOf(Wanted);
    if (Valid && K == Key)
      return;
    Key = std::move(K);
    Metrics = QFontMetricsF(QFontOf(Wanted));
    Height = static_cast<int>(std::ceil(Metrics.height()));
    Widths.clear();
    Valid = true;
  }
};

TMetricsCache& Cache() {
  static TMetricsCache C;
  return C;
}

} // namespace

int TQtTextMetrics::TextWidth(const TFont& Font, std::string_view Text) {
  TMetricsCache& C = Cache();
  C.For(Font);
  std::string Key(Text);
  auto It = C.Widths.find(Key);
  if (It != C.Widths.end())
    return It->second;
  if (C.Widths.size() >= MaxCachedTexts)
    C.Widths.clear();
  const int W = static_cast<int>(std::ceil(C.Metrics.horizontalAdvance(ToQString(Text))));
  C.Widths.emplace(std::move(Key), W);
  return W;
}

int TQtTextMetrics::LineHeight(const TFont& Font) {
  Cache().For(Font);
  return Cache().Height;
}

} // namespace Deskbay
