#include "Flowedit_Editor.h"

#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace Deskbay {

namespace {

int FloorDiv(int64_t A, int64_t B) {
  int64_t Q = A / B;
  if ((A % B != 0) && ((A < 0) != (B < 0)))
    --Q;
  return static_cast<int>(Q);
}

int CeilDiv(int64_t A, int64_t B) {
  return -FloorDiv(-A, B);
}

// Band along the box's edges where a resting drag scrolls, and the step.
constexpr int AutoScrollBand = 40;
constexpr int AutoScrollStep = 20;
constexpr int ScrollTimerInterval = 100;

} // namespace

TAlgEditor::TAlgEditor(QWidget* Parent) : QWidget(Parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FScrollTimer.setInterval(ScrollTimerInterval);
  connect(&FScrollTimer, &QTimer::timeout, this, &TAlgEditor::ScrollTimerHandler);
  // The timer watches for a resting pointer only while a drag is on: an
  // idle editor wakes nobody.
}

TAlgEditor::~TAlgEditor() {
  FScrollTimer.stop();
  FDestroying = true;
  SetAlgorithm(nullptr);
}

void TAlgEditor::SetAlgorithm(TAlgorithm* Algorithm) {
  if (Algorithm == FAlgorithm)
    return;
  if (FAlgorithm) {
    FAlgorithm->RemoveListener(&FOnChange);
    FAlgorithm->RemoveSelListener(&FOnSelChange);
    FAlgorithm->RemoveViewListener(&FOnViewChange);
  }
  FAlgorithm = Algorithm;
  if (FAlgorithm) {
    FAlgorithm->AddListener(&FOnChange);
    FAlgorithm->AddSelListener(&FOnSelChange);
    FAlgorithm->AddViewListener(&FOnViewChange);
    NewVersion();
  }
  FDragPending = false;
  FMarkers = {};
  FMarkerImages.clear();
  UpdateImage();
}

void TAlgEditor::UpdateImage() {
  FImage.reset();
  if (FAlgorithm) {
    try {
      auto Image = std::make_unique<TCompositeImage>();
      ++FRebuildCount;
      FAlgorithm->GetRoot()->Render(*Image);
      FImage = std::move(Image);
      ValidateMarkers();
      const QSize Before = size();
      ApplySize();
      if (FAutoCenter && size() != Before)
        Center();
    } catch (...) {
      FImage.reset();
      ValidateMarkers();
      if (!FDestroying)
        update();
      throw;
    }
  }
  if (!FDestroying)
    update();
}

bool TAlgEditor::NewVersion() {
  if (!FAlgorithm)
    return false;
  const uint64_t V = FAlgorithm->GetVersion(), S = FAlgorithm->GetSelVersion(),
                 W = FAlgorithm->GetViewVersion();
  const bool Moved = V != FVersion || S != FSelVersion || W != FViewVersion;
  FVersion = V;
  FSelVersion = S;
  FViewVersion = W;
  return Moved;
}

void TAlgEditor::AlgChange(TObject*) {
  if (NewVersion())
    UpdateImage();
}

void TAlgEditor::AlgSelChange(TObject*) {
  if (NewVersion())
    UpdateImage();
}

void TAlgEditor::AlgViewChange(TObject*) {
  if (NewVersion())
    UpdateImage();
}

void TAlgEditor::SetColor(TColor Value) {
  if (Value != FColor) {
    FColor = Value;
    update();
  }
}

// --- geometry ---

TPoint TAlgEditor::ClientToChart(QPoint P) const {
  return {FloorDiv(int64_t(P.x()) * 100, FZoom), FloorDiv(int64_t(P.y()) * 100, FZoom)};
}

QPoint TAlgEditor::ChartToClient(TPoint P) const {
  return QPoint(FloorDiv(int64_t(P.X) * FZoom, 100), FloorDiv(int64_t(P.Y) * FZoom, 100));
}

QPoint TAlgEditor::CursorClientPos() const {
  return mapFromGlobal(QCursor::pos());
}

QScrollArea* TAlgEditor::GetScrollBox() const {
  QWidget* Area = parentWidget();
  if (!Area || !Area->parentWidget())
    return nullptr;
  auto* Box = qobject_cast<QScrollArea*>(Area->parentWidget()->parentWidget());
  return Box && Box->widget() == Area ? Box : nullptr;
}

void TAlgEditor::ApplySize() {
  if (!FImage)
    return;
  const TPoint S = FImage->GetSize();
  resize(CeilDiv(int64_t(S.X) * FZoom, 100), CeilDiv(int64_t(S.Y) * FZoom, 100));
}

void TAlgEditor::SetScrollPositions(int X, int Y) {
  if (QScrollArea* Box = GetScrollBox()) {
    Box->horizontalScrollBar()->setValue(X);
    Box->verticalScrollBar()->setValue(Y);
  }
}

void TAlgEditor::Center() {
  QWidget* Area = parentWidget();
  if (!Area)
    return;
  // The visible part of the box; the control's place is in the area's
  // coordinates, which already include the scroll positions.
  QScrollArea* Box = GetScrollBox();
  const QSize Client = Box ? Box->viewport()->size() : Area->size();
  move(std::max((Client.width() - width()) / 2, 0), std::max((Client.height() - height()) / 2, 0));
}

void TAlgEditor::MakeVisible(TAlgBlock* Block) {
  QScrollArea* Box = GetScrollBox();
  if (!FAlgorithm || !FImage || !Block || Block->GetAlgorithm() != FAlgorithm ||
      !Block->GetImage() || !Box)
    return;
  const TCompositeImage* Image = Block->GetImage();
  const TPoint TL = FImage->PhysToLog(Image->SelfToGlobal({0, 0}));
  const QPoint A = ChartToClient(TL) + pos();
  const QPoint B = ChartToClient(TL + Image->GetSize()) + pos();
  const QRect R(A, QSize(B.x() - A.x(), B.y() - A.y()));
  if (R.intersects(LogClientRect(Box)))
    return;
  SetScrollPositions(A.x() - Box->viewport()->width() / 2, A.y() - Box->viewport()->height() / 2);
}

// --- zoom ---

void TAlgEditor::SetZoom(int Percent) {
  QPoint Anchor(0, 0);
  if (QScrollArea* Box = GetScrollBox())
    Anchor = mapFrom(Box->viewport(), Box->viewport()->rect().center());
  SetZoom(Percent, Anchor);
}

void TAlgEditor::SetZoom(int Percent, QPoint Anchor) {
  const int* Nearest =
      std::min_element(std::begin(ZoomSteps), std::end(ZoomSteps), [Percent](int A, int B) {
        return std::abs(A - Percent) < std::abs(B - Percent);
      });
  if (*Nearest == FZoom)
    return;
  QScrollArea* Box = GetScrollBox();
  const TPoint ChartAnchor = ClientToChart(Anchor);
  const QPoint OnScreen = Box ? mapTo(Box->viewport(), Anchor) : Anchor;
  FZoom = *Nearest;
  ApplySize();
  if (FAutoCenter)
    Center();
  if (Box) {
    const QPoint Now = ChartToClient(ChartAnchor) + pos();
    SetScrollPositions(Now.x() - OnScreen.x(), Now.y() - OnScreen.y());
  }
  update();
  if (OnZoomChange)
    OnZoomChange(*this);
}

void TAlgEditor::ZoomIn() {
  for (int Z : ZoomSteps)
    if (Z > FZoom) {
      SetZoom(Z);
      return;
    }
}

void TAlgEditor::ZoomOut() {
  for (auto It = std::rbegin(ZoomSteps); It != std::rend(ZoomSteps); ++It)
    if (*It < FZoom) {
      SetZoom(*It);
      return;
    }
}

// --- hit-testing ---

TCompositeImage* TAlgEditor::GetImageUnderCursor(TPoint& P) {
  if (!FImage)
    return nullptr;
  P = ClientToChart(CursorClientPos());
  return FImage->GetImageAt(P);
}

TAlgBlock* TAlgEditor::GetBlockUnderCursor(TPoint& P) {
  return GetBlockAt(CursorClientPos(), P);
}

TAlgBlock* TAlgEditor::GetBlockAt(QPoint Client, TPoint& P) {
  if (!FImage)
    return nullptr;
  P = ClientToChart(Client);
  TCompositeImage* Image = FImage->GetImageAt(P);
  if (!Image || !Image->GetData())
    return nullptr;
  auto* Block = dynamic_cast<TAlgBlock*>(Image->GetData());
  if (!Block)
    return nullptr;
  P = Image->LogToPhys(P);
  return Block->GetBlockAt(P);
}

QString TAlgEditor::ToolTipAt(QPoint Client) {
  TPoint P;
  TAlgBlock* Block = GetBlockAt(Client, P);
  return Block ? QString::fromStdString(Block->GetCutTextHint()) : QString();
}

bool TAlgEditor::event(QEvent* Event) {
  if (Event->type() != QEvent::ToolTip)
    return QWidget::event(Event);
  auto* Help = static_cast<QHelpEvent*>(Event);
  const QString Tip = ToolTipAt(Help->pos());
  if (Tip.isEmpty()) {
    QToolTip::hideText();
    Event->ignore();
  } else {
    // As plain text with its line breaks, whatever the text looks like;
    // gone when the pointer moves on, until it rests again.
    QToolTip::showText(Help->globalPos(),
                       "<p style='white-space:pre'>" + Tip.toHtmlEscaped() + "</p>", this,
                       QRect(Help->pos() - QPoint(4, 4), QSize(9, 9)));
  }
  return true;
}

// --- markers ---

void TAlgEditor::SetMarkers(const TChartMarkers& Markers) {
  FMarkers = Markers;
  ValidateMarkers();
  if (!FDestroying)
    update();
}

// The picture's images name the blocks that exist: a marker whose block is
// not among them is dropped without the pointer ever being followed. The
// images found are remembered, because another view of the same algorithm
// may have drawn the block since.
void TAlgEditor::ValidateMarkers() {
  FMarkerImages.clear();
  if (FMarkers.Empty())
    return;
  std::vector<const TCompositeImage*> Stack;
  if (FImage)
    Stack.push_back(FImage.get());
  auto Marked = [this](const void* Data) {
    return Data && (Data == FMarkers.Next || Data == FMarkers.Error || Data == FMarkers.Origin ||
                    FMarkers.Breakpoints.count(static_cast<const TAlgBlock*>(Data)) > 0);
  };
  while (!Stack.empty()) {
    const TCompositeImage* Image = Stack.back();
    Stack.pop_back();
    if (const auto* Block = dynamic_cast<const TAlgBlock*>(Image->GetData());
        Block && Marked(Block))
      FMarkerImages.emplace(Block, Image);
    for (int I = 0; I < Image->GetComponentCount(); ++I)
      Stack.push_back(Image->GetComponents(I));
  }
  auto Keep = [this](const TAlgBlock*& Block) {
    if (Block && !FMarkerImages.count(Block))
      Block = nullptr;
  };
  Keep(FMarkers.Next);
  Keep(FMarkers.Error);
  Keep(FMarkers.Origin);
  std::erase_if(FMarkers.Breakpoints,
                [this](const auto& Item) { return !FMarkerImages.count(Item.first); });
}

QRect TAlgEditor::BlockClientRect(const TAlgBlock* Block) const {
  const auto It = FMarkerImages.find(Block);
  const TCompositeImage* Image = nullptr;
  if (It != FMarkerImages.end())
    Image = It->second;
  else if (FImage && Block && Block->GetAlgorithm() == FAlgorithm)
    Image = Block->GetImage();
  if (!FImage || !Image)
    return {};
  const TPoint TL = FImage->PhysToLog(Image->SelfToGlobal({0, 0}));
  const QPoint A = ChartToClient(TL);
  const QPoint B = ChartToClient(TL + Image->GetSize());
  return QRect(A, B - QPoint(1, 1));
}

void TAlgEditor::PaintMarkers(QPainter& Painter) const {
  if (FMarkers.Empty())
    return;
  Painter.save();
  Painter.setRenderHint(QPainter::Antialiasing, true);
  Painter.setBrush(Qt::NoBrush);
  // Outlines a little outside the block, thick enough to be seen at 50 %.
  const int Width = std::max(2, 3 * FZoom / 100);
  auto Outline = [&](const TAlgBlock* Block, const QColor& Color) {
    const QRect R = BlockClientRect(Block);
    if (R.isEmpty())
      return;
    QPen Pen(Color, Width);
    Pen.setJoinStyle(Qt::RoundJoin);
    Painter.setPen(Pen);
    // A block as wide as the picture (a loop, a branch) keeps its outline
    // inside the control.
    const double H = Width / 2.0;
    const QRectF Box = QRectF(R).adjusted(-H, -H, H, H) & QRectF(rect()).adjusted(H, H, -H, -H);
    Painter.drawRoundedRect(Box, Width, Width);
  };
  Outline(FMarkers.Origin, QColor(0x1E, 0x64, 0xDC));
  Outline(FMarkers.Next, QColor(0x00, 0xB0, 0x00));
  Outline(FMarkers.Error, QColor(0xE0, 0x00, 0x00));
  // Breakpoints: a dot on the block's left edge, level with its top line of
  // text; a condition puts a white bar across it.
  const int Radius = std::max(4, 6 * FZoom / 100);
  for (const auto& [Block, HasCondition] : FMarkers.Breakpoints) {
    const QRect R = BlockClientRect(Block);
    if (R.isEmpty())
      continue;
    const QPointF C(R.left(), R.top() + std::min(R.height() / 2, 14 * FZoom / 100));
    Painter.setPen(QPen(QColor(0x80, 0x00, 0x00), 1));
    Painter.setBrush(QColor(0xE0, 0x00, 0x00));
    Painter.drawEllipse(C, Radius, Radius);
    if (HasCondition) {
      Painter.setPen(QPen(Qt::white, std::max(1.5, Radius / 3.0)));
      Painter.drawLine(C - QPointF(Radius / 2.0, 0), C + QPointF(Radius / 2.0, 0));
    }
  }
  Painter.restore();
}

// --- painting ---

void TAlgEditor::paintEvent(QPaintEvent* Event) {
  QPainter Painter(this);
  const QRect Dirty = Event->rect();
  Painter.fillRect(Dirty, QColorOf(FColor));
  if (!FImage)
    return;
  if (FZoom != 100)
    Painter.scale(FZoom / 100.0, FZoom / 100.0);
  TQtCanvas Canvas(Painter);
  // Only what the paint covers is replayed; a unit of margin takes in
  // smoothed edges that reach past a picture's bounds.
  const TPoint From = ClientToChart(Dirty.topLeft()) - TPoint{1, 1};
  const TPoint To = ClientToChart(Dirty.bottomRight()) + TPoint{2, 2};
  FImage->Display(Canvas, {0, 0}, {From.X, From.Y, To.X, To.Y});
  Painter.resetTransform();
  PaintMarkers(Painter);
}

// --- mouse and keys ---

void TAlgEditor::mousePressEvent(QMouseEvent* Event) {
  QWidget::mousePressEvent(Event);
  Event->accept();
  FDragPending = false;
  if (!FAlgorithm)
    return;
  setFocus(Qt::MouseFocusReason);
  if (!FEditable || Event->button() != Qt::LeftButton)
    return;
  const bool Ctrl = Event->modifiers() & Qt::ControlModifier;
  TPoint P;
  TAlgBlock* B = GetBlockUnderCursor(P);
  TModifyGuard Guard(FAlgorithm);
  if (B) {
    if (!B->GetSelected()) {
      if (!Ctrl)
        FAlgorithm->UnselectAll();
      // A click on the free area of a sequence never selects the sequence.
      if (B->GetKind() != TAlgBlockKind::Sequence)
        B->SetSelected(true);
    } else if (Ctrl) {
      B->SetSelected(false);
    }
    if (!Ctrl && B->GetSelected()) {
      FDragPending = true;
      FDragStartPos = Event->globalPosition().toPoint();
    }
  } else if (!Ctrl) {
    FAlgorithm->UnselectAll();
  }
}

void TAlgEditor::mouseMoveEvent(QMouseEvent* Event) {
  QWidget::mouseMoveEvent(Event);
  Event->accept();
  if (!FDragPending || !(Event->buttons() & Qt::LeftButton))
    return;
  if ((Event->globalPosition().toPoint() - FDragStartPos).manhattanLength() <
      QApplication::startDragDistance())
    return;
  FDragPending = false;
  DoStartDrag();
}

void TAlgEditor::mouseReleaseEvent(QMouseEvent* Event) {
  QWidget::mouseReleaseEvent(Event);
  Event->accept();
  FDragPending = false;
}

bool TAlgEditor::HandleKey(QKeyEvent& Event) {
  const Qt::KeyboardModifiers Mods = Event.modifiers();
  const bool Ctrl = Mods & Qt::ControlModifier;
  if (Ctrl) {
    switch (Event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomIn();
      return true;
    case Qt::Key_Minus:
      ZoomOut();
      return true;
    case Qt::Key_0:
      SetZoom(100);
      return true;
    default:
      break;
    }
  }
  if (!FAlgorithm || !FEditable)
    return false;
  switch (Event.key()) {
  case Qt::Key_Escape:
    if (Mods & Qt::ShiftModifier)
      FAlgorithm->UnselectAll();
    else
      FAlgorithm->LevelUpSelection();
    return true;
  case Qt::Key_Delete:
    FAlgorithm->DeleteSelection();
    return true;
  case Qt::Key_A:
    if (!Ctrl)
      return false;
    FAlgorithm->SelectAll();
    return true;
  default:
    return false;
  }
}

void TAlgEditor::keyPressEvent(QKeyEvent* Event) {
  if (HandleKey(*Event)) {
    Event->accept();
    return;
  }
  QString Text = Event->text();
  if (!Text.isEmpty() && !(Event->modifiers() & Qt::ControlModifier) && OnKeyPress) {
    OnKeyPress(*this, Text);
    Event->accept();
    return;
  }
  QWidget::keyPressEvent(Event);
}

void TAlgEditor::WheelZoom(int AngleDelta, QPoint At) {
  if (AngleDelta == 0)
    return;
  const int Target = AngleDelta > 0 ? FZoom + 1 : FZoom - 1;
  for (int I = 0; I < static_cast<int>(std::size(ZoomSteps)); ++I) {
    const int Z = ZoomSteps[AngleDelta > 0 ? I : std::size(ZoomSteps) - 1 - I];
    if (AngleDelta > 0 ? Z >= Target : Z <= Target) {
      SetZoom(Z, At);
      return;
    }
  }
}

void TAlgEditor::wheelEvent(QWheelEvent* Event) {
  const int D = Event->angleDelta().y();
  if (Event->modifiers() & Qt::ControlModifier) {
    WheelZoom(D, Event->position().toPoint());
    Event->accept();
    return;
  }
  QScrollArea* Box = GetScrollBox();
  if (!Box) {
    Event->ignore();
    return;
  }
  // One notch (120) scrolls 12 pixels.
  QScrollBar* Bar = Box->verticalScrollBar();
  Bar->setValue(Bar->value() - D / 10);
  Event->accept();
}

// --- dragging ---

QPixmap TAlgEditor::DragPicture(const TAlgDragObject& Drag) const {
  if (!FImage || Drag.GetBlockCount() == 0)
    return QPixmap();
  TRect Bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  std::vector<std::pair<const TCompositeImage*, TPoint>> Parts;
  for (int I = 0; I < Drag.GetBlockCount(); ++I) {
    const TCompositeImage* Image = Drag.GetBlocks(I)->GetImage();
    if (!Image)
      continue;
    const TPoint TL = FImage->PhysToLog(Image->SelfToGlobal({0, 0}));
    const TPoint S = Image->GetSize();
    Parts.push_back({Image, TL});
    Bounds = {std::min(Bounds.Left, TL.X), std::min(Bounds.Top, TL.Y),
              std::max(Bounds.Right, TL.X + S.X), std::max(Bounds.Bottom, TL.Y + S.Y)};
  }
  if (Parts.empty())
    return QPixmap();
  // A big selection shows its top part; the picture only hints at what moves.
  const int W = std::min(Bounds.Width(), 400), H = std::min(Bounds.Height(), 300);
  const qreal Ratio = devicePixelRatioF();
  const qreal Scale = FZoom / 100.0;
  QPixmap Picture(QSize(int(std::ceil(W * Scale * Ratio)), int(std::ceil(H * Scale * Ratio))));
  Picture.setDevicePixelRatio(Ratio);
  Picture.fill(Qt::transparent);
  QPainter Painter(&Picture);
  Painter.setOpacity(0.7);
  Painter.scale(Scale, Scale);
  TQtCanvas Canvas(Painter);
  for (const auto& [Image, TL] : Parts)
    Image->Display(Canvas, TL - TPoint{Bounds.Left, Bounds.Top});
  return Picture;
}

void TAlgEditor::DoStartDrag() {
  if (!FAlgorithm || !FEditable || FAlgorithm->GetSelectedBlockCount() == 0)
    return;
  auto Drag = std::make_unique<TAlgDragObject>();
  std::vector<TAlgBlock*> Selected;
  FAlgorithm->GetSelectedBlocks(Selected);
  for (TAlgBlock* B : Selected)
    Drag->AddBlock(B);
  Drag->SortByIndex();
  const QPixmap Picture = DragPicture(*Drag);
  // The picture hangs below and right of the pointer, so the place a drop
  // goes to stays in sight.
  ExecDrag(this, std::move(Drag), Picture, QPoint(-12, -12));
}

bool TAlgEditor::CanAccept(TDragObject* Source, TAlgDragObject*& Drag, TPoint& P,
                           TCompoundAlgBlock*& Target) {
  Drag = nullptr;
  Target = nullptr;
  auto* AlgDrag = dynamic_cast<TAlgDragObject*>(Source);
  if (!FAlgorithm || !FEditable || !AlgDrag)
    return false;
  Drag = AlgDrag;
  TAlgBlock* T = GetBlockUnderCursor(P);
  auto* Sequence =
      T && T->GetKind() == TAlgBlockKind::Sequence ? static_cast<TCompoundAlgBlock*>(T) : nullptr;
  if (Drag->GetBlockCount() == 0 || !Sequence || !Drag->GetBlocks(0)->GetParent())
    return false;
  Target = Sequence;
  if (Drag->GetBlocks(0)->GetAlgorithm() != FAlgorithm)
    return true;
  // Never into one of the dragged blocks' own sequences.
  for (int I = 0; I < Drag->GetBlockCount(); ++I)
    if (Drag->GetBlocks(I)->Contains(Sequence))
      return false;
  return true;
}

void TAlgEditor::ShowRefusal(const std::string& Reason, const TAlgBlock* Block) {
  const QRect Place = Block ? BlockClientRect(Block) : QRect();
  const QPoint At = Place.isEmpty() ? CursorClientPos() : Place.bottomLeft();
  QToolTip::showText(mapToGlobal(At), QString::fromStdString(Reason), this);
  if (OnRefusal)
    OnRefusal(Reason);
}

bool TAlgEditor::MayPlace(const std::vector<const TAlgBlock*>& Blocks, const TAlgBlock* Where) {
  const std::string Why = OnCheckPlacement ? OnCheckPlacement(Blocks) : std::string();
  if (!Why.empty())
    ShowRefusal(Why, Where);
  return Why.empty();
}

void TAlgEditor::DragDrop(TDragObject* Source, bool Copy) {
  TAlgDragObject* Drag;
  TPoint P;
  TCompoundAlgBlock* Target;
  if (!CanAccept(Source, Drag, P, Target))
    return;
  // Copies add blocks; a move only places them elsewhere.
  if (Drag->GetKeepSources() || Copy) {
    std::vector<const TAlgBlock*> Blocks;
    for (int I = 0; I < Drag->GetBlockCount(); ++I)
      Blocks.push_back(Drag->GetBlocks(I));
    if (!MayPlace(Blocks, Target))
      return;
  }
  const int Index = Target->GetNewBlockIndexAt(P);
  std::vector<TAlgBlock*> SelectedBefore;
  FAlgorithm->GetSelectedBlocks(SelectedBefore);
  std::vector<TAlgBlock*> Copies;
  TModifyGuard Guard(FAlgorithm);
  try {
    FAlgorithm->UnselectAll();
    for (int I = 0; I < Drag->GetBlockCount(); ++I) {
      TAlgBlock* C = Drag->GetBlocks(I)->CreateCopy(Target, Index + I);
      Copies.push_back(C);
      C->SetSelected(true);
    }
  } catch (...) {
    // A drop that cannot be completed (the block limit) leaves the tree and
    // the selection as they were.
    FAlgorithm->UnselectAll();
    for (auto It = Copies.rbegin(); It != Copies.rend(); ++It)
      (*It)->Free();
    for (TAlgBlock* B : SelectedBefore)
      FAlgorithm->SelectBlock(B, true);
    throw;
  }
  if (Drag->GetKeepSources() || Copy)
    return;
  std::vector<TAlgBlock*> Sources;
  for (int I = 0; I < Drag->GetBlockCount(); ++I)
    Sources.push_back(Drag->GetBlocks(I));
  Drag->Clear();
  for (TAlgBlock* B : Sources)
    B->Free();
}

void TAlgEditor::dragEnterEvent(QDragEnterEvent* Event) {
  // Our blocks are welcome; where they may go is decided as the pointer moves.
  if (FAlgorithm && FEditable &&
      dynamic_cast<TAlgDragObject*>(TDragMimeData::DragObjectOf(Event->mimeData()))) {
    Event->acceptProposedAction();
    FScrollTimer.start();
  } else
    Event->ignore();
}

void TAlgEditor::dragMoveEvent(QDragMoveEvent* Event) {
  TDragObject* Source = TDragMimeData::DragObjectOf(Event->mimeData());
  TAlgDragObject* Drag;
  TPoint P;
  TCompoundAlgBlock* Target;
  if (!Source || !CanAccept(Source, Drag, P, Target)) {
    Event->ignore();
    return;
  }
  const bool Copy = Drag->GetKeepSources() || (Event->modifiers() & Qt::ShiftModifier);
  Event->setDropAction(Copy ? Qt::CopyAction : Qt::MoveAction);
  Event->accept();
}

void TAlgEditor::dropEvent(QDropEvent* Event) {
  TDragObject* Source = TDragMimeData::DragObjectOf(Event->mimeData());
  TAlgDragObject* Drag;
  TPoint P;
  TCompoundAlgBlock* Target;
  if (!Source || !CanAccept(Source, Drag, P, Target)) {
    Event->ignore();
    return;
  }
  const bool Shift = Event->modifiers() & Qt::ShiftModifier;
  Event->setDropAction(Drag->GetKeepSources() || Shift ? Qt::CopyAction : Qt::MoveAction);
  Event->accept();
  DragDrop(Source, Shift);
}

void TAlgEditor::ScrollTimerHandler() {
  const QPoint Q = QCursor::pos();
  QScrollArea* Box = GetScrollBox();
  if (IsDragging() && Q == FLastTickPos && Box && QApplication::widgetAt(Q) == this) {
    const QPoint V = Box->viewport()->mapFromGlobal(Q);
    const QSize Client = Box->viewport()->size();
    auto Step = [](int At, int Extent) {
      return At < AutoScrollBand            ? -AutoScrollStep
             : At > Extent - AutoScrollBand ? AutoScrollStep
                                            : 0;
    };
    SetScrollPositions(Box->horizontalScrollBar()->value() + Step(V.x(), Client.width()),
                       Box->verticalScrollBar()->value() + Step(V.y(), Client.height()));
  }
  FLastTickPos = Q;
  if (!IsDragging())
    FScrollTimer.stop();
}

} // namespace Deskbay
