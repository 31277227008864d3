#include "Flowjog_CanvasFrame.h"

#include "Corekit/ui/QtBitmap.h"
#include "Corekit/ui/UiFonts.h"
#include "Flowrun/Flowrun_Canvas.h"

#include <QCheckBox>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace Deskbay {

// The paint box only shows the composed picture; the frame decides what it is.
class TCanvasPaintBox : public QWidget {
public:
  explicit TCanvasPaintBox(TAlgCanvasFrame* Frame) : QWidget(Frame), FFrame(Frame) {}

protected:
  void paintEvent(QPaintEvent* Event) override { FFrame->pbxCanvasPaint(Event); }
  // The focus is drawn around the box, on the frame.
  void focusInEvent(QFocusEvent* Event) override {
    QWidget::focusInEvent(Event);
    FFrame->update();
  }
  void focusOutEvent(QFocusEvent* Event) override {
    QWidget::focusOutEvent(Event);
    FFrame->update();
  }

private:
  TAlgCanvasFrame* FFrame;
};

TAlgCanvasFrame::TAlgCanvasFrame(QWidget* Parent) : QWidget(Parent) {
  resize(158, 188);
  setFont(DefaultUiFont());
  pbxCanvas = new TCanvasPaintBox(this);
  pbxCanvas->setObjectName(QStringLiteral("pbxCanvas"));
  pbxCanvas->setGeometry(16, 0, 124, 139);
  // A stop of the Tab order, so a screen reader can be brought to what is
  // drawn; its description says it.
  pbxCanvas->setFocusPolicy(Qt::StrongFocus);
  pbxCanvas->setAccessibleName(QStringLiteral("Окно графики"));
  pbxCanvas->setAccessibleDescription(QStringLiteral("Ничего не нарисовано"));
  cbGrid = new QCheckBox(QStringLiteral("Показать сетку"), this);
  cbGrid->setObjectName(QStringLiteral("cbGrid"));
  cbGrid->setGeometry(0, 144, 121, 17);
  // As wide and high as its text in the desktop's font.
  cbGrid->resize(cbGrid->sizeHint().expandedTo(QSize(121, 17)));
  cbGrid->setChecked(false);
  connect(cbGrid, &QCheckBox::clicked, this, [this] { cbGridClick(); });
}

TAlgCanvasFrame::~TAlgCanvasFrame() {
  SetCanvas(nullptr);
}

void TAlgCanvasFrame::SetCanvas(TAlgCanvas* Canvas) {
  if (Canvas == FCanvas)
    return;
  if (FCanvas)
    FCanvas->RemoveListener(this);
  FBitmap.reset();
  FImage = QImage();
  FCanvas = Canvas;
  if (FCanvas)
    FCanvas->AddListener(this);
  ShowCanvas();
  if (!FCanvas) {
    // Without a canvas nothing is composed, but the old picture and labels
    // must not stay on screen.
    pbxCanvas->update();
    update();
  }
}

void TAlgCanvasFrame::Notify(TObject*) {
  ShowCanvas();
}

void TAlgCanvasFrame::cbGridClick() {
  ShowCanvas();
}

void TAlgCanvasFrame::ShowCanvas() {
  if (!FCanvas)
    return;
  UpdateImage();
  pbxCanvas->update();
  DrawLabels();
  const QString Description = QString::fromStdString(CanvasDescription(*FCanvas));
  if (pbxCanvas->accessibleDescription() != Description)
    pbxCanvas->setAccessibleDescription(Description);
}

void TAlgCanvasFrame::DrawLabels() {
  if (FCanvas)
    update();
}

void TAlgCanvasFrame::UpdateImage() {
  const bool Grid = cbGrid->isChecked();
  if (FBitmap && FComposedVersion == FCanvas->GetVersion() && FComposedGrid == Grid)
    return;
  const TBitmap& Picture = FCanvas->GetPicture();
  if (!FBitmap)
    FBitmap = std::make_unique<TBitmap>(Picture.GetWidth(), Picture.GetHeight());
  ComposeCanvasPicture(*FBitmap, *FCanvas, Grid);
  FImage = BitmapToQImage(*FBitmap);
  FComposedVersion = FCanvas->GetVersion();
  FComposedGrid = Grid;
}

// A paint also catches drawing that has not been announced yet: during a run
// the canvas tells its listeners only when the run ends, while the window is
// still repainted now and then.
void TAlgCanvasFrame::pbxCanvasPaint(QPaintEvent*) {
  if (!FCanvas)
    return;
  UpdateImage();
  QPainter P(pbxCanvas);
  if (FMagnification == 1)
    P.drawImage(0, 0, FImage);
  else // every pixel a square of the same size: no smoothing
    P.drawImage(QRect(0, 0, FImage.width() * FMagnification, FImage.height() * FMagnification),
                FImage);
}

void TAlgCanvasFrame::SetMagnification(int Value) {
  Value = std::max(1, Value);
  if (Value == FMagnification)
    return;
  FMagnification = Value;
  pbxCanvas->update();
  update();
}

std::array<TCanvasLabel, 5> TAlgCanvasFrame::GetLabels() const {
  if (!FCanvas)
    return {};
  const QRect G = pbxCanvas->geometry();
  const QFontMetrics M(font());
  return CanvasLabels(
      FCanvas->GetCanvasWidth(), FCanvas->GetCanvasHeight(),
      FCanvas->GetCanvasScale() * FMagnification,
      {G.left(), G.top(), G.right() + 1, G.bottom() + 1},
      [&](const std::string& Text) { return M.horizontalAdvance(QString::fromStdString(Text)); });
}

// The labels stand on the frame's own surface, so they are painted with it:
// every resize or repaint of the frame or the form brings them back.
void TAlgCanvasFrame::paintEvent(QPaintEvent*) {
  if (!FCanvas)
    return;
  QPainter P(this);
  const QFontMetrics M(font());
  const QColor Face = palette().color(QPalette::Button);
  P.setPen(palette().color(QPalette::ButtonText));
  for (const TCanvasLabel& L : GetLabels()) {
    const QRect Box(L.Pos.X, L.Pos.Y, L.Width, M.height());
    P.fillRect(Box, Face);
    P.drawText(Box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               QString::fromStdString(L.Text));
  }
  if (pbxCanvas->hasFocus()) {
    // Around the picture, leaving its pixels as they are.
    P.setPen(QPen(palette().color(QPalette::Highlight), 2));
    P.setBrush(Qt::NoBrush);
    P.drawRect(QRectF(pbxCanvas->geometry()).adjusted(-1, -1, 1, 1));
  }
}

} // namespace Deskbay
