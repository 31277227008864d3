#include "AdvScrollBox.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QScrollBar>
#include <QStyle>

namespace Deskbay {

TAdvScrollBox::TAdvScrollBox(QWidget* Parent) : QScrollArea(Parent) {
  setWidgetResizable(false);
  auto* Area = new QWidget;
  Area->setAutoFillBackground(false);
  setWidget(Area);
  Area->installEventFilter(this);
  viewport()->installEventFilter(this);
  horizontalScrollBar()->setTracking(true);
  verticalScrollBar()->setTracking(true);
  connect(qApp, &QApplication::focusChanged, this, &TAdvScrollBox::FocusChanged);
}

TAdvScrollBox::~TAdvScrollBox() {
  disconnect(qApp, &QApplication::focusChanged, this, &TAdvScrollBox::FocusChanged);
}

void TAdvScrollBox::AutoScrollInView(QWidget* Control) {
  if (!FEnableAutoScroll || !Control || !GetArea()->isAncestorOf(Control))
    return;
  const QRect R(Control->mapTo(GetArea(), QPoint(0, 0)), Control->size());
  const QSize View = viewport()->size();
  // Per axis: a control beyond an edge comes in at that edge; one larger
  // than the view shows its top-left part.
  auto Scroll = [](QScrollBar* Bar, int Low, int High, int Extent) {
    const int Pos = Bar->value();
    if (Low < Pos || High - Low > Extent)
      Bar->setValue(Low);
    else if (High > Pos + Extent)
      Bar->setValue(High - Extent);
  };
  Scroll(horizontalScrollBar(), R.left(), R.left() + R.width(), View.width());
  Scroll(verticalScrollBar(), R.top(), R.top() + R.height(), View.height());
}

int TAdvScrollBox::GetHorzPosition() const {
  return horizontalScrollBar()->value();
}

int TAdvScrollBox::GetVertPosition() const {
  return verticalScrollBar()->value();
}

void TAdvScrollBox::SetHorzPosition(int Value) {
  horizontalScrollBar()->setValue(Value);
}

void TAdvScrollBox::SetVertPosition(int Value) {
  verticalScrollBar()->setValue(Value);
}

bool TAdvScrollBox::eventFilter(QObject* Watched, QEvent* Event) {
  QWidget* Area = GetArea();
  if (Watched == viewport()) {
    if (Event->type() == QEvent::Resize) {
      UpdateArea();
      if (OnResize)
        OnResize(*this);
    }
  } else if (Watched == Area) {
    if (Event->type() == QEvent::ChildAdded) {
      if (auto* W = qobject_cast<QWidget*>(static_cast<QChildEvent*>(Event)->child())) {
        W->installEventFilter(this);
        UpdateArea();
      }
    } else if (Event->type() == QEvent::ChildRemoved) {
      UpdateArea();
    }
  } else if (Watched->parent() == Area) {
    switch (Event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
      UpdateArea();
      break;
    default:
      break;
    }
  }
  return QScrollArea::eventFilter(Watched, Event);
}

bool TAdvScrollBox::focusNextPrevChild(bool Next) {
  // Skips QScrollArea's own scrolling; FocusChanged decides.
  return QWidget::focusNextPrevChild(Next);
}

void TAdvScrollBox::UpdateArea() {
  QWidget* Area = GetArea();
  if (FUpdatingArea || !Area)
    return;
  FUpdatingArea = true;
  int W = 0, H = 0;
  for (QObject* O : Area->children()) {
    auto* C = qobject_cast<QWidget*>(O);
    if (!C || C->isHidden())
      continue;
    W = std::max(W, C->geometry().right() + 1);
    H = std::max(H, C->geometry().bottom() + 1);
  }
  // The area fills the viewport that remains once the scroll bars the
  // controls need are shown, so no bar keeps itself alive.
  const QSize Full = maximumViewportSize();
  const int Bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  bool NeedH = W > Full.width(), NeedV = H > Full.height();
  for (int Pass = 0; Pass < 2; ++Pass) {
    NeedV = NeedV || (NeedH && H > Full.height() - Bar);
    NeedH = NeedH || (NeedV && W > Full.width() - Bar);
  }
  const QSize Size(std::max(W, Full.width() - (NeedV ? Bar : 0)),
                   std::max(H, Full.height() - (NeedH ? Bar : 0)));
  Area->resize(Size);
  FUpdatingArea = false;
}

void TAdvScrollBox::FocusChanged(QWidget*, QWidget* Now) {
  if (Now && GetArea()->isAncestorOf(Now))
    AutoScrollInView(Now);
}

} // namespace Deskbay
