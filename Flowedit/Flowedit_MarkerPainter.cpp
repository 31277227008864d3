#include "Flowedit_MarkerPainter.h"

#include "Corekit/VisualUtils.h"
#include "Corekit/ui/QtCanvas.h"
#include "Flowedit_Editor.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <algorithm>
#include <vector>

namespace Deskbay {

namespace {

// The corners of a block's own shape in the coordinates its image was drawn
// in, found from the box the drawing covers (right and bottom exclusive): the rendering draws the
// slanted sides of input and output and of the counting loop's header 20 units wide.
std::vector<TPoint> OwnShape(const TAlgBlock& Block, const TCompositeImage& Image) {
  const TPoint O = Image.GetOrigin(), S = Image.GetSize();
  const TRect Box{O.X, O.Y, O.X + S.X, O.Y + S.Y};
  const TRegion* Region = Block.GetRegion();
  const TRect RegionBox = Region ? Region->GetBox() : TRect{};
  auto Corners = [](const TRect& B) {
    return std::vector<TPoint>{
        {B.Left, B.Top}, {B.Right - 1, B.Top}, {B.Right - 1, B.Bottom - 1}, {B.Left, B.Bottom - 1}};
  };
  const int L = RegionBox.Left, T = RegionBox.Top, R = RegionBox.Right - 1,
            B = RegionBox.Bottom - 1;
  const int CX = (L + R + 1) / 2, CY = (T + B + 1) / 2;
  switch (Block.GetKind()) {
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
  case TAlgBlockKind::Computation:
    return Corners(Box);
  case TAlgBlockKind::InputOutput: {
    const int Slant = std::min(20, Box.Width() / 2);
    return {{Box.Left + Slant, Box.Top},
            {Box.Right - 1, Box.Top},
            {Box.Right - 1 - Slant, Box.Bottom - 1},
            {Box.Left, Box.Bottom - 1}};
  }
  case TAlgBlockKind::Branch:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
    if (RegionBox.Width() <= 0)
      return Corners(Box);
    return {{L, CY}, {CX, T}, {R, CY}, {CX, B}};
  case TAlgBlockKind::ForLoop: {
    if (RegionBox.Width() <= 0)
      return Corners(Box);
    const int Slant = std::min(20, RegionBox.Width() / 2);
    return {{L, CY}, {L + Slant, T}, {R - Slant, T}, {R, CY}, {R - Slant, B}, {L + Slant, B}};
  }
  }
  return Corners(Box);
}

struct TFrameStyle {
  QColor Color;
  Qt::PenStyle Line;
};

// A path around Outline, Gap pixels outside it, with rounded corners.
QPainterPath Around(const QPolygonF& Outline, double Gap) {
  QPainterPath Shape;
  Shape.addPolygon(Outline);
  Shape.closeSubpath();
  QPainterPathStroker Stroker;
  Stroker.setWidth(2 * Gap);
  Stroker.setJoinStyle(Qt::RoundJoin);
  return Stroker.createStroke(Shape).united(Shape).simplified();
}

enum class TBadgeSign { Bang, Square, Equals };

// A round badge of the mark's colour with its sign, in the badge colour.
void Badge(QPainter& Painter, QPointF Centre, double Radius, const QColor& Color,
           const QColor& SignColor, TBadgeSign Sign) {
  Painter.setPen(QPen(SignColor, std::max(1.0, Radius / 6)));
  Painter.setBrush(Color);
  Painter.drawEllipse(Centre, Radius, Radius);
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(SignColor);
  const double U = Radius / 5;
  switch (Sign) {
  case TBadgeSign::Bang:
    Painter.drawRect(QRectF(Centre.x() - U / 1.5, Centre.y() - 3 * U, 1.4 * U, 3.6 * U));
    Painter.drawEllipse(QPointF(Centre.x(), Centre.y() + 2.2 * U), 0.8 * U, 0.8 * U);
    break;
  case TBadgeSign::Square:
    Painter.drawRect(QRectF(Centre.x() - 2 * U, Centre.y() - 2 * U, 4 * U, 4 * U));
    break;
  case TBadgeSign::Equals:
    Painter.drawRect(QRectF(Centre.x() - 2.5 * U, Centre.y() - 2 * U, 5 * U, 1.3 * U));
    Painter.drawRect(QRectF(Centre.x() - 2.5 * U, Centre.y() + 0.7 * U, 5 * U, 1.3 * U));
    break;
  }
}

} // namespace

QPolygonF BlockClientOutline(const TAlgEditor& Editor, const TAlgBlock* Block) {
  const TCompositeImage* Root = Editor.GetImage();
  const TCompositeImage* Image = Editor.BlockImage(Block);
  if (!Root || !Image)
    return {};
  QPolygonF Outline;
  for (const TPoint P : OwnShape(*Block, *Image)) {
    const TPoint Chart = Root->PhysToLog(Image->SelfToGlobal(P));
    // A unit's pixels at the zoom start at ChartToClient; its centre lies
    // half a unit further.
    const double Half = Editor.GetZoom() / 200.0;
    Outline << QPointF(Editor.ChartToClient(Chart)) + QPointF(Half, Half);
  }
  return Outline;
}

void PaintChartMarkers(QPainter& Painter, const TAlgEditor& Editor) {
  const TChartMarkers& Markers = Editor.GetMarkers();
  if (Markers.Empty())
    return;
  const TMarkerColors& Colors = Markers.Colors;
  const int Zoom = Editor.GetZoom();
  Painter.save();
  Painter.setRenderHint(QPainter::Antialiasing, true);
  // Frames a little outside the block, thick enough to be seen at 50 %.
  const int Width = std::max(2, 3 * Zoom / 100);
  const double Gap = Width / 2.0 + 0.5;
  const double BadgeRadius = std::max(6.0, 8.0 * Zoom / 100);
  const QRectF Inside =
      QRectF(Editor.rect()).adjusted(Width / 2.0, Width / 2.0, -Width / 2.0, -Width / 2.0);
  auto Frame = [&](const TAlgBlock* Block, const TFrameStyle& Style) -> QRectF {
    const QPolygonF Outline = BlockClientOutline(Editor, Block);
    if (Outline.isEmpty())
      return {};
    QPen Pen(Style.Color, Width, Style.Line);
    Pen.setJoinStyle(Qt::RoundJoin);
    Painter.setPen(Pen);
    Painter.setBrush(Qt::NoBrush);
    const QPainterPath Path = Around(Outline, Gap);
    QPainterPath Clip;
    Clip.addRect(Inside);
    Painter.drawPath(Path.intersected(Clip));
    return Path.boundingRect();
  };
  const QColor SignColor = QColorOf(Colors.BadgeText);
  if (const QRectF R = Frame(Markers.Origin, {QColorOf(Colors.Origin), Qt::DashDotLine});
      !R.isEmpty())
    Badge(Painter, R.bottomRight() - QPointF(BadgeRadius / 2, BadgeRadius / 2), BadgeRadius,
          QColorOf(Colors.Origin), SignColor, TBadgeSign::Equals);
  if (const QRectF R = Frame(Markers.Next, {QColorOf(Colors.Next), Qt::SolidLine}); !R.isEmpty()) {
    // An arrow from the left, pointing at the block, clear of a
    // breakpoint's dot on the block's edge.
    const double Tip = R.left() - BadgeRadius - 1;
    const double Y = R.center().y();
    const double Size = BadgeRadius * 1.6;
    QPolygonF Arrow;
    Arrow << QPointF(Tip, Y) << QPointF(Tip - Size, Y - Size * 0.7)
          << QPointF(Tip - Size, Y + Size * 0.7);
    Painter.setPen(QPen(SignColor, 1));
    Painter.setBrush(QColorOf(Colors.Next));
    Painter.drawPolygon(Arrow);
  }
  if (const QRectF R = Frame(Markers.Error, {QColorOf(Colors.Error), Qt::DashLine}); !R.isEmpty())
    Badge(Painter, R.topRight() + QPointF(-BadgeRadius / 2, BadgeRadius / 2), BadgeRadius,
          QColorOf(Colors.Error), SignColor, TBadgeSign::Bang);
  if (const QRectF R = Frame(Markers.Stopped, {QColorOf(Colors.Stopped), Qt::DotLine});
      !R.isEmpty())
    Badge(Painter, R.topRight() + QPointF(-BadgeRadius / 2, BadgeRadius / 2), BadgeRadius,
          QColorOf(Colors.Stopped), SignColor, TBadgeSign::Square);
  // Breakpoints: a dot on the shape's left edge, level with its top line of
  // text; a condition puts a bar across it.
  const int Radius = std::max(4, 6 * Zoom / 100);
  for (const auto& [Block, HasCondition] : Markers.Breakpoints) {
    const QRectF R = BlockClientOutline(Editor, Block).boundingRect();
    if (R.isEmpty())
      continue;
    const QPointF C(R.left(), R.top() + std::min(R.height() / 2, 14.0 * Zoom / 100));
    Painter.setPen(QPen(QColorOf(Colors.BreakpointRim), std::max(1.0, Radius / 4.0)));
    Painter.setBrush(QColorOf(Colors.Breakpoint));
    Painter.drawEllipse(C, Radius, Radius);
    if (HasCondition) {
      Painter.setPen(QPen(SignColor, std::max(1.5, Radius / 3.0)));
      Painter.drawLine(C - QPointF(Radius / 2.0, 0), C + QPointF(Radius / 2.0, 0));
    }
  }
  Painter.restore();
}

} // namespace Deskbay
