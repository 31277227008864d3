#pragma once

#include "CorekitUiExport.h"

#include "DragDrop.h"

#include <QToolButton>

#include <functional>
#include <memory>

namespace Deskbay {

// A speed button (flat when asked) that can also be the source of a drag:
// its owner watches the pointer through OnMouseDown and OnMouseMove, calls
// BeginDrag when it decides a drag starts, supplies the dragged object in
// OnStartDrag and hears the end in OnEndDrag.
class COREKITUI_API TAdvSpeedButton : public QToolButton {
  Q_OBJECT
public:
  explicit TAdvSpeedButton(QWidget* Parent = nullptr);

  bool GetFlat() const { return autoRaise(); }
  void SetFlat(bool Value) { setAutoRaise(Value); }
  // Free for the owner: which object the button stands for.
  void* GetTag() const { return FTag; }
  void SetTag(void* Value) { FTag = Value; }

  // Starts a drag at once: asks OnStartDrag for the object (no object, no
  // drag), runs the drag and reports its end. The press that led here ends
  // with the drag, so the button does not click afterwards.
  void BeginDrag();

  std::function<void(TAdvSpeedButton&, QMouseEvent&)> OnMouseDown;
  std::function<void(TAdvSpeedButton&, QMouseEvent&)> OnMouseMove;
  std::function<void(TAdvSpeedButton&)> OnClick;
  std::function<void(TAdvSpeedButton&, std::unique_ptr<TDragObject>&)> OnStartDrag;
  // Dropped tells whether a target took the object.
  std::function<void(TAdvSpeedButton&, bool Dropped)> OnEndDrag;

protected:
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;

private:
  void* FTag = nullptr;
};

} // namespace Deskbay
