#include "AdvSpeedButton.h"

#include <QMouseEvent>

namespace Deskbay {

TAdvSpeedButton::TAdvSpeedButton(QWidget* Parent) : QToolButton(Parent) {
  setFocusPolicy(Qt::NoFocus);
  connect(this, &QToolButton::clicked, this, [this] {
    if (OnClick)
      OnClick(*this);
  });
}

void TAdvSpeedButton::mousePressEvent(QMouseEvent* Event) {
  QToolButton::mousePressEvent(Event);
  if (OnMouseDown)
    OnMouseDown(*this, *Event);
}

void TAdvSpeedButton::mouseMoveEvent(QMouseEvent* Event) {
  QToolButton::mouseMoveEvent(Event);
  if (OnMouseMove)
    OnMouseMove(*this, *Event);
}

void TAdvSpeedButton::BeginDrag() {
  std::unique_ptr<TDragObject> Object;
  if (OnStartDrag)
    OnStartDrag(*this, Object);
  if (!Object)
    return;
  // The drag swallows the release; without this the button would stay down
  // and click at the next release.
  setDown(false);
  const QPixmap Picture = icon().pixmap(iconSize());
  // The picture hangs below and right of the pointer, as a chart's own
  // drag does, so the insertion marker where the drop goes stays in sight.
  const Qt::DropAction Action = ExecDrag(this, std::move(Object), Picture, QPoint(-12, -12));
  setDown(false);
  if (OnEndDrag)
    OnEndDrag(*this, Action != Qt::IgnoreAction);
}

} // namespace Deskbay
