#pragma once

#include "CorekitUiExport.h"

#include <QScrollArea>

#include <functional>

namespace Deskbay {

// A scroll box: controls are placed on its area (GetArea) in the area's own
// coordinates, and the area grows with them, so the box scrolls to whatever
// lies beyond its visible part. When a control inside gets the keyboard
// focus the box scrolls it into view, unless EnableAutoScroll is off.
class COREKITUI_API TAdvScrollBox : public QScrollArea {
  Q_OBJECT
public:
  explicit TAdvScrollBox(QWidget* Parent = nullptr);
  ~TAdvScrollBox() override;

  // The parent of the controls the box scrolls.
  QWidget* GetArea() const { return widget(); }

  bool GetEnableAutoScroll() const { return FEnableAutoScroll; }
  void SetEnableAutoScroll(bool Value) { FEnableAutoScroll = Value; }
  // Scrolls so that Control is in view, when EnableAutoScroll is on.
  void AutoScrollInView(QWidget* Control);

  int GetHorzPosition() const;
  int GetVertPosition() const;
  // Out-of-range positions are clamped to the scroll range.
  void SetHorzPosition(int Value);
  void SetVertPosition(int Value);

  // Called when the visible part changes size.
  std::function<void(TAdvScrollBox&)> OnResize;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  bool focusNextPrevChild(bool Next) override;

private:
  // The area covers the visible part and every control on it.
  void UpdateArea();
  void FocusChanged(QWidget* Old, QWidget* Now);

  bool FEnableAutoScroll = true;
  bool FUpdatingArea = false;
};

} // namespace Deskbay
