#include "Flowedit_Editor.h"
#include "Flowedit_LineCheckMarks.h"

#include "Flowedit_ChartAccessible.h"

#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Flowedit_MarkerPainter.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
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

TAlgEditor::TAlgEditor(QWidget* Parent)
    : QWidget(Parent), FAccessibility(std::make_unique<TChartAccessibility>(*this)) {
  InstallChartAccessibleFactory();
  setAccessibleName("Блок-схема");
  setAccessibleDescription("Стрелки вверх и вниз переходят по блокам и местам для блоков, "
                           "Insert добавляет блок, Enter правит текст блока");
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
  FAccessibility->Clear();
  DetachChartAccessible(this);
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
  FCursor = {};
  FRangeAnchor = nullptr;
  FDropPlace = {};
  FRunNext = FRunError = nullptr;
  FRunErrorMessage.clear();
  // The items of the old chart go, the new chart's come, as after any edit.
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
      FollowChart();
    } catch (...) {
      FImage.reset();
      ValidateMarkers();
      if (!FDestroying)
        update();
      throw;
    }
  }
  if (!FDestroying) {
    update();
    FAccessibility->Refresh();
  }
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
  // The drawing's own coordinates start at its origin, left of 0 where
  // a shape reaches out (input and output, a loop's lines).
  const TPoint TL = FImage->PhysToLog(Image->SelfToGlobal(Image->GetOrigin()));
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
  if (!Block)
    return {};
  // What keeps the block from running first, then its whole text if cut.
  const QString Problems = LineCheckToolTip(*this, Block);
  const QString Cut = QString::fromStdString(Block->GetCutTextHint());
  return Problems.isEmpty() || Cut.isEmpty() ? Problems + Cut : Problems + "\n\n" + Cut;
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
    return Data && (Data == FMarkers.Next || Data == FMarkers.Error || Data == FMarkers.Stopped ||
                    Data == FMarkers.Origin ||
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
  Keep(FMarkers.Stopped);
  Keep(FMarkers.Origin);
  std::erase_if(FMarkers.Breakpoints,
                [this](const auto& Item) { return !FMarkerImages.count(Item.first); });
}

const TCompositeImage* TAlgEditor::BlockImage(const TAlgBlock* Block) const {
  if (!FImage)
    return nullptr;
  if (const auto It = FMarkerImages.find(Block); It != FMarkerImages.end())
    return It->second;
  if (Block && Block->GetAlgorithm() == FAlgorithm)
    return Block->GetImage();
  return nullptr;
}

QRect TAlgEditor::BlockClientRect(const TAlgBlock* Block) const {
  const TCompositeImage* Image = BlockImage(Block);
  if (!Image)
    return {};
  // The picture's top-left corner is its logical (0, 0); its physical (0, 0)
  // lies on the block's line, right of the corner for a block drawn left of
  // that line (input/output, loop headers).
  const TPoint TL = FImage->PhysToLog(Image->SelfToGlobal(Image->LogToPhys({0, 0})));
  const QPoint A = ChartToClient(TL);
  const QPoint B = ChartToClient(TL + Image->GetSize());
  return QRect(A, B - QPoint(1, 1));
}

// --- the keyboard cursor ---

std::vector<TChartStop> TAlgEditor::GetStops() const {
  return FAlgorithm ? AlgChartStops(*FAlgorithm) : std::vector<TChartStop>{};
}

void TAlgEditor::FollowChart() {
  if (!FAlgorithm)
    return;
  const std::vector<TChartStop> Stops = GetStops();
  FCursor = AlgCursorAfterChange(*FAlgorithm, Stops, FCursor);
  if (!FDropPlace.Empty() && AlgFindStop(Stops, FDropPlace) < 0)
    FDropPlace = {};
  if (FRangeAnchor && (AlgFindStop(Stops, TChartStop::At(FRangeAnchor)) < 0 ||
                       !FAlgorithm->BlockSelected(FRangeAnchor)))
    FRangeAnchor = nullptr;
  FollowSelection();
}

void TAlgEditor::FollowSelection() {
  if (FSettingCursor || !FAlgorithm || FAlgorithm->GetSelectedBlockCount() == 0)
    return;
  if (FCursor.IsBlock() && FAlgorithm->BlockSelected(FCursor.Block))
    return;
  // A selection made otherwise (a click, a paste, an insertion) takes the
  // cursor to its first block that is a stop.
  const std::vector<TChartStop> Stops = GetStops();
  for (int I = 0; I < FAlgorithm->GetSelectedBlockCount(); ++I) {
    const TChartStop S = TChartStop::At(FAlgorithm->GetSelectedBlocksProperty(I));
    if (AlgFindStop(Stops, S) >= 0) {
      FCursor = S;
      return;
    }
  }
}

void TAlgEditor::SetCursor(const TChartStop& Stop) {
  if (!FAlgorithm || AlgFindStop(GetStops(), Stop) < 0)
    return;
  FCursor = Stop;
  FRangeAnchor = nullptr;
  if (FEditable) {
    FSettingCursor = true;
    struct TDone {
      bool& Flag;
      ~TDone() { Flag = false; }
    } Done{FSettingCursor};
    TModifyGuard Guard(FAlgorithm);
    const bool Alone =
        Stop.IsBlock() && FAlgorithm->GetSelectedBlockCount() == 1 && Stop.Block->GetSelected();
    if (!Alone) {
      FAlgorithm->UnselectAll();
      if (Stop.IsBlock())
        Stop.Block->SetSelected(true);
    }
  }
  ShowCursor();
}

void TAlgEditor::ExtendSelection(int Delta) {
  if (!FCursor.IsBlock())
    return;
  TAlgBlock* Next = AlgSiblingBlock(FCursor.Block, Delta);
  if (!Next)
    return;
  TAlgBlock* Anchor = FRangeAnchor && FAlgorithm->BlockSelected(FRangeAnchor) &&
                              FRangeAnchor->GetParent() == Next->GetParent()
                          ? FRangeAnchor
                          : FCursor.Block;
  FCursor = TChartStop::At(Next);
  FRangeAnchor = Anchor;
  {
    FSettingCursor = true;
    struct TDone {
      bool& Flag;
      ~TDone() { Flag = false; }
    } Done{FSettingCursor};
    TModifyGuard Guard(FAlgorithm);
    AlgSelectRange(*FAlgorithm, Anchor, Next);
  }
  ShowCursor();
}

void TAlgEditor::ShowCursor() {
  if (QScrollArea* Box = GetScrollBox()) {
    const QRect R = StopClientRect(FCursor).translated(pos());
    if (!R.isEmpty())
      Box->ensureVisible(R.center().x(), R.center().y(), std::min(R.width() / 2 + 20, 200),
                         std::min(R.height() / 2 + 20, 150));
  }
  update();
  FAccessibility->Refresh();
}

bool TAlgEditor::MoveCursor(int Delta) {
  const std::vector<TChartStop> Stops = GetStops();
  if (Stops.empty())
    return false;
  const int At = AlgFindStop(Stops, FCursor);
  const int To = At < 0 ? 0 : std::clamp(At + Delta, 0, static_cast<int>(Stops.size()) - 1);
  if (To == At)
    return false;
  SetCursor(Stops[static_cast<size_t>(To)]);
  return true;
}

QPoint TAlgEditor::PlaceClientPoint(const TChartStop& Place) const {
  if (!FImage || !Place.IsPlace() || Place.Sequence->GetAlgorithm() != FAlgorithm ||
      !Place.Sequence->GetImage())
    return {};
  const TCompositeImage* Image = Place.Sequence->GetImage();
  return ChartToClient(FImage->PhysToLog(Image->SelfToGlobal(AlgPlacePoint(Place))));
}

QRect TAlgEditor::StopClientRect(const TChartStop& Stop) const {
  if (Stop.IsBlock())
    return BlockClientRect(Stop.Block);
  if (!Stop.IsPlace() || !FImage || !Stop.Sequence->GetImage())
    return {};
  const QPoint C = PlaceClientPoint(Stop);
  const int W = std::max(20, 20 * FZoom / 100), H = std::max(7, 7 * FZoom / 100);
  return QRect(C - QPoint(W, H), QSize(2 * W + 1, 2 * H + 1));
}

void TAlgEditor::SetRunDescriptions(const TAlgBlock* Next, const TAlgBlock* Error,
                                    const QString& Message) {
  FRunNext = Next;
  FRunError = Error;
  FRunErrorMessage = Message;
  FAccessibility->Refresh();
}

QString TAlgEditor::RunDescription(const TAlgBlock* Block) const {
  if (!Block)
    return {};
  if (Block == FRunError)
    return FRunErrorMessage.isEmpty()
               ? QString(ChartErrorDescription)
               : QString(ChartErrorDescription) + QStringLiteral(": ") + FRunErrorMessage;
  if (Block == FRunNext)
    return ChartNextDescription;
  return {};
}

void TAlgEditor::focusInEvent(QFocusEvent* Event) {
  QWidget::focusInEvent(Event);
  update();
  // Qt tells of the chart's own focus after this handler; the cursor's item
  // is told after that, so a screen reader ends on the stop, not the chart.
  FAccessibility->TellFocusAgain();
  QMetaObject::invokeMethod(
      this, [this] { FAccessibility->Refresh(); }, Qt::QueuedConnection);
}

void TAlgEditor::focusOutEvent(QFocusEvent* Event) {
  QWidget::focusOutEvent(Event);
  update();
  FAccessibility->Refresh();
}

void TAlgEditor::PaintInsertionMarker(QPainter& Painter, const TChartStop& Place) const {
  const QRect R = StopClientRect(Place);
  if (R.isEmpty())
    return;
  // A bar across the arrow with a triangle at each end pointing at it: the
  // shape says "here", whatever the colours.
  const QPointF C = QRectF(R).center();
  // An arm at the chart's edge narrows the marker, so it is seen whole.
  const double W = std::max(4.0, std::min({R.width() / 2.0, C.x() - 1, width() - C.x() - 2})),
               H = R.height() / 2.0;
  Painter.save();
  Painter.setRenderHint(QPainter::Antialiasing, true);
  Painter.setPen(QPen(Qt::black, 1));
  Painter.setBrush(QColor(0xF0, 0x80, 0x00));
  Painter.drawRoundedRect(QRectF(C.x() - W * 0.6, C.y() - H * 0.35, W * 1.2, H * 0.7), 2, 2);
  Painter.setBrush(Qt::black);
  for (const double Side : {-1.0, 1.0}) {
    const QPointF Tip(C.x() + Side * W * 0.6, C.y());
    const QPointF Back(C.x() + Side * W, C.y());
    Painter.drawPolygon(QPolygonF({Tip, Back + QPointF(0, -H), Back + QPointF(0, H)}));
  }
  Painter.restore();
}

void TAlgEditor::PaintCursor(QPainter& Painter) const {
  if (!FDropPlace.Empty())
    PaintInsertionMarker(Painter, FDropPlace);
  if (!hasFocus())
    return;
  if (FCursor.Empty()) {
    // Not yet on a stop: the whole chart shows the focus.
    Painter.save();
    Painter.setBrush(Qt::NoBrush);
    Painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    Painter.drawRect(rect().adjusted(1, 1, -2, -2));
    Painter.restore();
    return;
  }
  if (FCursor.IsPlace()) {
    if (FDropPlace != FCursor)
      PaintInsertionMarker(Painter, FCursor);
    return;
  }
  const QRect R = BlockClientRect(FCursor.Block);
  if (R.isEmpty())
    return;
  // A dashed frame, white under black, seen on any colour.
  const int M = std::max(5, 6 * FZoom / 100);
  const QRect Frame = R.adjusted(-M, -M, M, M) & rect().adjusted(1, 1, -2, -2);
  Painter.save();
  Painter.setBrush(Qt::NoBrush);
  Painter.setPen(QPen(Qt::white, 2));
  Painter.drawRect(Frame);
  QPen Dash(Qt::black, 2, Qt::DashLine);
  Painter.setPen(Dash);
  Painter.drawRect(Frame);
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
  PaintChartMarkers(Painter, *this);
  PaintLineCheckMarks(Painter, *this);
  PaintCursor(Painter);
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
  if (!FAlgorithm)
    return false;
  const bool Shift = Mods & Qt::ShiftModifier, Alt = Mods & Qt::AltModifier;
  switch (Event.key()) {
  case Qt::Key_Down:
  case Qt::Key_Up: {
    const int Delta = Event.key() == Qt::Key_Down ? 1 : -1;
    if (Ctrl)
      return false;
    if (Alt && FEditable) {
      if (AlgMoveSelection(*FAlgorithm, Delta) && FCursor.IsBlock())
        ShowCursor();
      return true;
    }
    if (Shift && FEditable) {
      ExtendSelection(Delta);
      return true;
    }
    if (!Shift && !Alt)
      MoveCursor(Delta);
    return true;
  }
  case Qt::Key_Home:
  case Qt::Key_End:
    if (Mods & ~Qt::KeypadModifier)
      return false;
    if (const std::vector<TChartStop> Stops = GetStops(); !Stops.empty())
      SetCursor(Event.key() == Qt::Key_Home ? Stops.front() : Stops.back());
    return true;
  default:
    break;
  }
  if (!FEditable)
    return false;
  if (Alt && !Ctrl && Event.key() >= Qt::Key_1 && Event.key() <= Qt::Key_6) {
    const std::vector<TAlgBlockKind> Kinds = AlgInsertableKinds();
    const size_t I = static_cast<size_t>(Event.key() - Qt::Key_1);
    if (I < Kinds.size() && OnInsertRequest)
      OnInsertRequest(*this, Kinds[I]);
    return true;
  }
  switch (Event.key()) {
  case Qt::Key_Insert:
    if (Mods & ~Qt::KeypadModifier)
      return false;
    if (OnInsertRequest)
      OnInsertRequest(*this, std::nullopt);
    return true;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (Ctrl || Alt || !OnEditRequest)
      return false;
    OnEditRequest(*this);
    return true;
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

TChartStop TAlgEditor::DropPlaceAt(TDragObject* Source) {
  TAlgDragObject* Drag;
  TPoint P;
  TCompoundAlgBlock* Target;
  if (!Source || !CanAccept(Source, Drag, P, Target))
    return {};
  return TChartStop::Place(Target, Target->GetNewBlockIndexAt(P));
}

void TAlgEditor::SetDropPlace(const TChartStop& Place) {
  if (Place == FDropPlace)
    return;
  FDropPlace = Place;
  update();
}

void TAlgEditor::dragLeaveEvent(QDragLeaveEvent* Event) {
  QWidget::dragLeaveEvent(Event);
  SetDropPlace({});
}

void TAlgEditor::KeepAt(TCompoundAlgBlock* Target, TPoint At, QPoint OnScreen) {
  QScrollArea* Box = GetScrollBox();
  if (!Box || !FImage || !Target || Target->GetAlgorithm() != FAlgorithm || !Target->GetImage())
    return;
  const QPoint Now = mapTo(Box->viewport(),
                           ChartToClient(FImage->PhysToLog(Target->GetImage()->SelfToGlobal(At))));
  const QPoint Shift = OnScreen - Now;
  const QSize View = Box->viewport()->size();
  // A chart narrower than the box moves inside it, a wider one scrolls.
  QPoint Place = pos();
  int ScrollX = Box->horizontalScrollBar()->value(), ScrollY = Box->verticalScrollBar()->value();
  if (width() <= View.width())
    Place.setX(std::clamp(Place.x() + Shift.x(), 0, View.width() - width()));
  else
    ScrollX -= Shift.x();
  if (height() <= View.height())
    Place.setY(std::clamp(Place.y() + Shift.y(), 0, View.height() - height()));
  else
    ScrollY -= Shift.y();
  move(Place);
  SetScrollPositions(ScrollX, ScrollY);
}

void TAlgEditor::dragMoveEvent(QDragMoveEvent* Event) {
  TDragObject* Source = TDragMimeData::DragObjectOf(Event->mimeData());
  TAlgDragObject* Drag;
  TPoint P;
  TCompoundAlgBlock* Target;
  if (!Source || !CanAccept(Source, Drag, P, Target)) {
    // Nothing would happen here: no marker, and the pointer says so. The
    // answer holds for this one point, so every move is asked again.
    SetDropPlace({});
    Event->ignore(QRect(Event->position().toPoint(), QSize(1, 1)));
    return;
  }
  SetDropPlace(TChartStop::Place(Target, Target->GetNewBlockIndexAt(P)));
  const bool Copy = Drag->GetKeepSources() || (Event->modifiers() & Qt::ShiftModifier);
  Event->setDropAction(Copy ? Qt::CopyAction : Qt::MoveAction);
  Event->accept(QRect(Event->position().toPoint(), QSize(1, 1)));
}

void TAlgEditor::dropEvent(QDropEvent* Event) {
  TDragObject* Source = TDragMimeData::DragObjectOf(Event->mimeData());
  TAlgDragObject* Drag;
  TPoint P;
  TCompoundAlgBlock* Target;
  SetDropPlace({});
  if (!Source || !CanAccept(Source, Drag, P, Target)) {
    Event->ignore();
    return;
  }
  const bool Shift = Event->modifiers() & Qt::ShiftModifier;
  Event->setDropAction(Drag->GetKeepSources() || Shift ? Qt::CopyAction : Qt::MoveAction);
  Event->accept();
  QScrollArea* Box = GetScrollBox();
  const QPoint OnScreen =
      Box ? mapTo(Box->viewport(), Event->position().toPoint()) : Event->position().toPoint();
  DragDrop(Source, Shift);
  // The dropped block, selected, takes what is typed next; the chart keeps
  // the place of the drop under the pointer.
  KeepAt(Target, P, OnScreen);
  setFocus(Qt::OtherFocusReason);
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
