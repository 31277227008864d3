#include "Flowedit_framePalette.h"

#include "Flowedit_DragObject.h"

#include "Corekit/ui/AdvSpeedButton.h"
#include "Corekit/ui/QtCanvas.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace Deskbay {

namespace {

// The field that names a kind's button, nullptr for kinds without one.
TAdvSpeedButton* TPaletteFrame::*ButtonField(TAlgBlockKind Kind) {
  switch (Kind) {
  case TAlgBlockKind::Computation:
    return &TPaletteFrame::sbBasic;
  case TAlgBlockKind::InputOutput:
    return &TPaletteFrame::sbIO;
  case TAlgBlockKind::Branch:
    return &TPaletteFrame::sbIf;
  case TAlgBlockKind::WhileLoop:
    return &TPaletteFrame::sbWhile;
  case TAlgBlockKind::UntilLoop:
    return &TPaletteFrame::sbUntil;
  case TAlgBlockKind::ForLoop:
    return &TPaletteFrame::sbFor;
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
    break;
  }
  return nullptr;
}

// The kinds with a button, in the buttons' order.
std::vector<const TAlgBlockKindInfo*> PaletteKinds() {
  std::vector<const TAlgBlockKindInfo*> Kinds;
  for (int I = 0; I < AlgBlockKindCount; ++I)
    if (const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I));
        Info.Palette.Order >= 0)
      Kinds.push_back(&Info);
  std::sort(Kinds.begin(), Kinds.end(), [](const TAlgBlockKindInfo* A, const TAlgBlockKindInfo* B) {
    return A->Palette.Order < B->Palette.Order;
  });
  return Kinds;
}

QRect QRectOf(const TRect& R) {
  return QRect(R.Left, R.Top, R.Width(), R.Height());
}

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
  TCompoundAlgBlock* Body = FAlgorithm->GetRoot()->GetBody();
  QRect Whole;
  for (const TAlgBlockKindInfo* Kind : PaletteKinds()) {
    auto* Button = new TAdvSpeedButton(this);
    FButtons.push_back(Button);
    if (TAdvSpeedButton* TPaletteFrame::*Field = ButtonField(Kind->Kind))
      this->*Field = Button;
    Button->setGeometry(QRectOf(Kind->Palette.Place));
    Whole |= Button->geometry();
    Button->SetFlat(true);
    Button->setToolTip(QString::fromUtf8(Kind->Palette.Hint));
    // Reached with Tab, named by its kind; Space or Enter places the kind.
    Button->setFocusPolicy(Qt::TabFocus);
    Button->setAccessibleName(QString::fromUtf8(Kind->Name));
    Button->setAccessibleDescription("Добавить блок в место под курсором блок-схемы");
    Button->installEventFilter(this);
    Button->SetTag(Kind->Class->Create(Body));
    Button->OnClick = [this](TAdvSpeedButton& B) { sbBasicClick(B); };
    Button->OnMouseDown = [this](TAdvSpeedButton& B, QMouseEvent& E) { sbBasicMouseDown(B, E); };
    Button->OnMouseMove = [this](TAdvSpeedButton& B, QMouseEvent& E) { sbBasicMouseMove(B, E); };
    Button->OnStartDrag = [this](TAdvSpeedButton& B, std::unique_ptr<TDragObject>& D) {
      sbBasicStartDrag(B, D);
    };
  }
  setFixedSize(Whole.right() + 1, Whole.bottom() + 1);
  PaintButtons();
}

TPaletteFrame::~TPaletteFrame() = default;

TAlgBlock* TPaletteFrame::PrototypeOf(const TAdvSpeedButton& Button) {
  return static_cast<TAlgBlock*>(Button.GetTag());
}

void TPaletteFrame::PaintButtons() {
  const std::vector<TAdvSpeedButton*>& Buttons = FButtons;
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

bool TPaletteFrame::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::KeyPress) {
    const auto* Key = static_cast<QKeyEvent*>(Event);
    if ((Key->key() == Qt::Key_Return || Key->key() == Qt::Key_Enter) &&
        !(Key->modifiers() & ~Qt::KeypadModifier))
      for (TAdvSpeedButton* Button : FButtons)
        if (Button == Watched) {
          DoBlockClick(PrototypeOf(*Button));
          return true;
        }
  }
  return QFrame::eventFilter(Watched, Event);
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
