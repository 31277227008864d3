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
#include <memory>
#include <vector>

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

// The prototypes drawn in Font into images of their own.
std::vector<std::unique_ptr<TCompositeImage>>
RenderPrototypes(const std::vector<TAdvSpeedButton*>& Buttons, const TFont& Font) {
  std::vector<std::unique_ptr<TCompositeImage>> Images;
  for (TAdvSpeedButton* Button : Buttons) {
    auto& Image = Images.emplace_back(std::make_unique<TCompositeImage>());
    Image->GetFont() = Font;
    TPaletteFrame::PrototypeOf(*Button)->Render(*Image);
  }
  return Images;
}

// The largest scale, at most 1, at which every image fits its button.
double FittingScale(const std::vector<TAdvSpeedButton*>& Buttons,
                    const std::vector<std::unique_ptr<TCompositeImage>>& Images) {
  double Scale = 1;
  for (size_t I = 0; I < Buttons.size(); ++I) {
    const TPoint Size = Images[I]->GetSize();
    // Besides the margins, one pixel goes to the half of a line's width
    // that lies beyond the picture's last unit.
    const int Border = 2 * TPaletteFrame::PictureMargin + 1;
    if (Size.X > 0)
      Scale = std::min(Scale, double(Buttons[I]->width() - Border) / Size.X);
    if (Size.Y > 0)
      Scale = std::min(Scale, double(Buttons[I]->height() - Border) / Size.Y);
  }
  return std::max(Scale, 0.05);
}

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
  }
  PaintButtons();
}

TPaletteFrame::~TPaletteFrame() = default;

TAlgBlock* TPaletteFrame::PrototypeOf(const TAdvSpeedButton& Button) {
  return static_cast<TAlgBlock*>(Button.GetTag());
}

void TPaletteFrame::PaintButtons() {
  std::vector<TAdvSpeedButton*> Buttons;
  for (const TPaletteButton& Item : PaletteButtons)
    Buttons.push_back(this->*Item.Button);
  // The font grows as the scale shrinks, so the labels stay readable; larger
  // labels widen the pictures that carry them, so the scale is found again
  // until the two agree. The scale always fits the images drawn.
  TFont Font;
  auto Images = RenderPrototypes(Buttons, Font);
  double Scale = FittingScale(Buttons, Images);
  for (int Pass = 0; Pass < 4; ++Pass) {
    const int Wanted = std::max(Font.Height, int(std::ceil(LabelLineHeight / Scale)));
    if (Wanted == Font.Height)
      break;
    Font.Height = Wanted;
    Images = RenderPrototypes(Buttons, Font);
    Scale = FittingScale(Buttons, Images);
  }
  FPictureScale = Scale;
  FPictureFontHeight = Font.Height;

  // Drawn at the screen's own resolution, so the pictures stay sharp.
  const qreal Ratio = devicePixelRatioF();
  for (size_t I = 0; I < Buttons.size(); ++I) {
    const TPoint Size = Images[I]->GetSize();
    if (Size.X <= 0 || Size.Y <= 0)
      continue;
    // Lines are drawn through the centres of their units, half a line
    // beyond the last unit: one pixel more keeps the picture whole.
    const QSize Shown(int(std::ceil(Size.X * Scale)) + 1, int(std::ceil(Size.Y * Scale)) + 1);
    QPixmap Picture(Shown * Ratio);
    Picture.setDevicePixelRatio(Ratio);
    Picture.fill(Qt::transparent);
    {
      QPainter Painter(&Picture);
      Painter.scale(Scale, Scale);
      TQtCanvas Canvas(Painter);
      Images[I]->Display(Canvas, {0, 0});
    }
    Buttons[I]->setIcon(QIcon(Picture));
    Buttons[I]->setIconSize(Shown);
  }
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
