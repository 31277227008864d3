#include "Flowedit_framePalette.h"

#include "Flowedit_DragObject.h"

#include "Corekit/ui/AdvSpeedButton.h"
#include "Corekit/ui/QtCanvas.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace Deskbay {

namespace {

struct TPaletteButton {
  TAdvSpeedButton* TPaletteFrame::*Button;
  const char* Hint;
  const TAlgBlockClass* Class;
  QRect Geometry;
};

const TPaletteButton PaletteButtons[] = {
    {&TPaletteFrame::sbBasic, "Блок вычислений", &TBasicAlgBlock::Class, QRect(0, 0, 100, 40)},
    {&TPaletteFrame::sbIf, "Ветвление", &TIfAlgBlock::Class, QRect(100, 0, 100, 40)},
    {&TPaletteFrame::sbIO, "Ввод-вывод", &TIOAlgBlock::Class, QRect(0, 40, 100, 40)},
    {&TPaletteFrame::sbWhile, "Цикл с предусловием", &TWhileAlgBlock::Class, QRect(0, 80, 100, 81)},
    {&TPaletteFrame::sbFor, "Цикл с параметром", &TForAlgBlock::Class, QRect(100, 40, 100, 40)},
    {&TPaletteFrame::sbUntil, "Цикл с постусловием", &TUntilAlgBlock::Class,
     QRect(100, 80, 100, 81)},
};

// Room left around a button's picture.
constexpr int PictureMargin = 4;

} // namespace

TPaletteFrame::TPaletteFrame(QWidget* Parent)
    : QFrame(Parent), FAlgorithm(std::make_unique<TAlgorithm>()) {
  setFixedSize(200, 161);
  TCompoundAlgBlock* Body = FAlgorithm->GetRoot()->GetBody();
  for (const TPaletteButton& Item : PaletteButtons) {
    auto* Button = new TAdvSpeedButton(this);
    this->*Item.Button = Button;
    Button->setGeometry(Item.Geometry);
    Button->SetFlat(true);
    Button->setToolTip(QString::fromUtf8(Item.Hint));
    Button->SetTag(Item.Class->Create(Body));
    Button->OnClick = [this](TAdvSpeedButton& B) { sbBasicClick(B); };
    Button->OnMouseDown = [this](TAdvSpeedButton& B, QMouseEvent& E) { sbBasicMouseDown(B, E); };
    Button->OnMouseMove = [this](TAdvSpeedButton& B, QMouseEvent& E) { sbBasicMouseMove(B, E); };
    Button->OnStartDrag = [this](TAdvSpeedButton& B, std::unique_ptr<TDragObject>& D) {
      sbBasicStartDrag(B, D);
    };
    PaintButton(*Button);
  }
}

TPaletteFrame::~TPaletteFrame() = default;

TAlgBlock* TPaletteFrame::PrototypeOf(const TAdvSpeedButton& Button) {
  return static_cast<TAlgBlock*>(Button.GetTag());
}

void TPaletteFrame::PaintButton(TAdvSpeedButton& Button) {
  TAlgBlock* Prototype = PrototypeOf(Button);
  TCompositeImage Image;
  Prototype->Render(Image);
  const TPoint Size = Image.GetSize();
  const QSize Room = Button.size() - QSize(2 * PictureMargin, 2 * PictureMargin);
  if (Size.X <= 0 || Size.Y <= 0 || Room.isEmpty())
    return;
  const double Scale =
      std::min({double(Room.width()) / Size.X, double(Room.height()) / Size.Y, 1.0});
  const QSize Shown(int(std::floor(Size.X * Scale)), int(std::floor(Size.Y * Scale)));
  // Drawn at the screen's own resolution, so the picture stays sharp.
  const qreal Ratio = devicePixelRatioF();
  QPixmap Picture(Shown * Ratio);
  Picture.setDevicePixelRatio(Ratio);
  Picture.fill(Qt::transparent);
  {
    QPainter Painter(&Picture);
    Painter.scale(Scale, Scale);
    TQtCanvas Canvas(Painter);
    Image.Display(Canvas, {0, 0});
  }
  Button.setIcon(QIcon(Picture));
  Button.setIconSize(Shown);
}

void TPaletteFrame::DoBlockClick(TAlgBlock* Block) {
  if (OnBlockClick)
    OnBlockClick(*this, Block);
}

void TPaletteFrame::sbBasicClick(TAdvSpeedButton& Sender) {
  if (QApplication::mouseButtons() & Qt::LeftButton)
    return;
  DoBlockClick(PrototypeOf(Sender));
}

void TPaletteFrame::sbBasicMouseDown(TAdvSpeedButton&, QMouseEvent& Event) {
  FPressPos = Event.globalPosition().toPoint();
}

void TPaletteFrame::sbBasicMouseMove(TAdvSpeedButton& Sender, QMouseEvent& Event) {
  if (!(Event.buttons() & Qt::LeftButton))
    return;
  const QPoint D = Event.globalPosition().toPoint() - FPressPos;
  if (std::max(std::abs(D.x()), std::abs(D.y())) > DragThreshold)
    Sender.BeginDrag();
}

void TPaletteFrame::sbBasicStartDrag(TAdvSpeedButton& Sender,
                                     std::unique_ptr<TDragObject>& DragObject) {
  if (DragObject)
    return;
  auto Drag = std::make_unique<TAlgDragObject>();
  Drag->SetKeepSources(true);
  Drag->AddBlock(PrototypeOf(Sender));
  DragObject = std::move(Drag);
}

} // namespace Deskbay
