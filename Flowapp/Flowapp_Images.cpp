#include "Flowapp_Images.h"

#include "Corekit/SysUtils.h"

#include <QPainter>
#include <QPainterPath>

namespace Deskbay {

namespace {

constexpr int GlyphSize = 16;

enum class TGlyph { Run, Stop, Step };

// Drawn in a 16 x 16 box at twice the size and scaled down, so the edges
// stay smooth on ordinary and on high-density screens alike.
QPixmap Draw(TGlyph Glyph, bool Enabled) {
  const qreal Scale = 2;
  QPixmap P(int(GlyphSize * Scale), int(GlyphSize * Scale));
  P.fill(Qt::transparent);
  QPainter G(&P);
  G.setRenderHint(QPainter::Antialiasing);
  G.scale(Scale, Scale);
  auto Colour = [Enabled](QColor C) { return Enabled ? C : QColor(160, 160, 160); };
  const QColor Outline = Enabled ? QColor(40, 40, 40) : QColor(130, 130, 130);
  G.setPen(QPen(Outline, 0.8));
  switch (Glyph) {
  case TGlyph::Run: {
    QPainterPath Triangle;
    Triangle.moveTo(4, 2.5);
    Triangle.lineTo(13.5, 8);
    Triangle.lineTo(4, 13.5);
    Triangle.closeSubpath();
    G.setBrush(Colour(QColor(40, 170, 60)));
    G.drawPath(Triangle);
    break;
  }
  case TGlyph::Stop:
    G.setBrush(Colour(QColor(210, 40, 40)));
    G.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
    break;
  case TGlyph::Step: {
    // One block and an arrow to the next: a single step.
    G.setBrush(Colour(QColor(60, 110, 200)));
    G.drawRect(QRectF(2.5, 2, 7, 4));
    G.setPen(QPen(Colour(QColor(40, 40, 40)), 1.4));
    G.drawLine(QPointF(6, 6), QPointF(6, 11));
    QPainterPath Head;
    Head.moveTo(3.5, 10);
    Head.lineTo(8.5, 10);
    Head.lineTo(6, 14);
    Head.closeSubpath();
    G.setPen(Qt::NoPen);
    G.setBrush(Colour(QColor(40, 40, 40)));
    G.drawPath(Head);
    G.setBrush(Colour(QColor(40, 170, 60)));
    G.drawRect(QRectF(10, 9, 4, 5));
    break;
  }
  }
  G.end();
  QPixmap Result = P.scaled(GlyphSize, GlyphSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return Result;
}

} // namespace

TAlgEditorImages::TAlgEditorImages() {
  for (TGlyph Glyph : {TGlyph::Run, TGlyph::Stop, TGlyph::Step}) {
    FImages.push_back(Draw(Glyph, true));
    FImages.push_back(Draw(Glyph, false));
  }
}

const QPixmap& TAlgEditorImages::GetImage(int Index) const {
  if (Index < 0 || Index >= GetCount())
    throw Exception(Format("Bad image index (%d, %d).", Index, GetCount()));
  return FImages[static_cast<size_t>(Index)];
}

QIcon TAlgEditorImages::Icon(int Index) const {
  QIcon Result(GetImage(Index));
  if (Index + 1 < GetCount())
    Result.addPixmap(GetImage(Index + 1), QIcon::Disabled);
  return Result;
}

const TAlgEditorImages& AlgEditorImages() {
  static const TAlgEditorImages Images;
  return Images;
}

} // namespace Deskbay
