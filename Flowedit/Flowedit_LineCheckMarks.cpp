#include "Flowedit_LineCheckMarks.h"

#include "Flowedit_Editor.h"

#include "Flowlang/Flowlang_LineCheck.h"
#include "Flowmodel/Flowmodel_LineCheck.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QObject>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <vector>

namespace Deskbay {

namespace {

// The verdicts live in a child object of the editor, so they go with it.
class TLineCheckHolder : public QObject {
public:
  explicit TLineCheckHolder(QObject* Parent) : QObject(Parent) {
    setObjectName(QStringLiteral("LineCheck"));
  }
  TAlgLineCheck Check;
};

// Every block of the editor's picture with the image it is drawn in.
template <class F> void ForEachBlockImage(const TAlgEditor& Editor, F&& Visit) {
  std::vector<const TCompositeImage*> Stack;
  if (Editor.GetImage())
    Stack.push_back(Editor.GetImage());
  while (!Stack.empty()) {
    const TCompositeImage* Image = Stack.back();
    Stack.pop_back();
    if (const auto* Block = dynamic_cast<const TAlgBlock*>(Image->GetData()))
      Visit(*Block, *Image);
    for (int I = 0; I < Image->GetComponentCount(); ++I)
      Stack.push_back(Image->GetComponents(I));
  }
}

// The badge at the top-right corner of the block's own shape (for a branch
// or a loop: its condition, not the whole structure).
QRect BadgeRect(const TAlgEditor& Editor, const TAlgBlock& Block, const TCompositeImage& Image) {
  const TCompositeImage* Root = Editor.GetImage();
  TPoint Corner;
  if (const TRegion* Region = Block.GetRegion(); Region && !Region->IsEmpty()) {
    const TRect Box = Region->GetBox();
    Corner = Root->PhysToLog(Image.SelfToGlobal({Box.Right, Box.Top}));
  } else {
    // The image's top-right corner: its logical (0, 0) is its origin.
    Corner = Root->PhysToLog(Image.SelfToGlobal(Image.GetOrigin() + TPoint{Image.GetSize().X, 0}));
  }
  const QPoint C = Editor.ChartToClient(Corner);
  const int Radius = std::max(6, 8 * Editor.GetZoom() / 100);
  QRect R(C.x() - Radius, C.y() - Radius, 2 * Radius + 1, 2 * Radius + 1);
  // The control is as large as the picture: a corner at its edge (the widest
  // block) keeps the whole badge inside it.
  const QRect Room = Editor.rect();
  if (R.right() > Room.right())
    R.moveRight(Room.right());
  if (R.top() < Room.top())
    R.moveTop(Room.top());
  return R;
}

const TCompositeImage* ImageOf(const TAlgEditor& Editor, const TAlgBlock* Block) {
  const TCompositeImage* Found = nullptr;
  if (Block)
    ForEachBlockImage(Editor, [&](const TAlgBlock& B, const TCompositeImage& Image) {
      if (&B == Block)
        Found = &Image;
    });
  return Found;
}

void DrawBadge(QPainter& Painter, const QRect& R) {
  Painter.setPen(QPen(QColor(0x80, 0x00, 0x00), 1.5));
  Painter.setBrush(QColor(0xE0, 0x20, 0x20));
  Painter.drawEllipse(QRectF(R).adjusted(0.5, 0.5, -0.5, -0.5));
  // The "!" as two shapes, so it reads at any zoom without a font.
  const double W = R.width();
  const QPointF Mid = QRectF(R).center();
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(Qt::white);
  const double Stem = std::max(2.0, W / 7.0);
  Painter.drawRoundedRect(QRectF(Mid.x() - Stem / 2, R.top() + W * 0.18, Stem, W * 0.42), Stem / 2,
                          Stem / 2);
  Painter.drawEllipse(QPointF(Mid.x(), R.top() + W * 0.77), Stem * 0.6, Stem * 0.6);
}

} // namespace

TAlgLineCheck& EditorLineCheck(TAlgEditor& Editor) {
  auto* Holder =
      Editor.findChild<TLineCheckHolder*>(QStringLiteral("LineCheck"), Qt::FindDirectChildrenOnly);
  if (!Holder)
    Holder = new TLineCheckHolder(&Editor);
  return Holder->Check;
}

void PaintLineCheckMarks(QPainter& Painter, TAlgEditor& Editor) {
  TAlgLineCheck& Check = EditorLineCheck(Editor);
  Painter.save();
  Painter.setRenderHint(QPainter::Antialiasing, true);
  ForEachBlockImage(Editor, [&](const TAlgBlock& Block, const TCompositeImage& Image) {
    if (!Check.Problems(Block).empty())
      DrawBadge(Painter, BadgeRect(Editor, Block, Image));
  });
  Painter.restore();
  Check.Sweep();
}

QRect LineCheckBadgeRect(TAlgEditor& Editor, const TAlgBlock* Block) {
  const TCompositeImage* Image = ImageOf(Editor, Block);
  if (!Image || EditorLineCheck(Editor).Problems(*Block).empty())
    return {};
  return BadgeRect(Editor, *Block, *Image);
}

QString LineCheckToolTip(TAlgEditor& Editor, const TAlgBlock* Block) {
  if (!ImageOf(Editor, Block))
    return {};
  const std::vector<TLineProblem>& Problems = EditorLineCheck(Editor).Problems(*Block);
  const bool Numbered = Block->GetText().GetCount() > 1;
  QStringList Lines;
  for (const TLineProblem& P : Problems) {
    QString Line = QString::fromStdString(ProblemOneLine(P.Message));
    if (Numbered)
      Line = QStringLiteral("Строка %1: %2").arg(P.Line + 1).arg(Line);
    Lines << Line;
  }
  return Lines.join(QLatin1Char('\n'));
}

} // namespace Deskbay
