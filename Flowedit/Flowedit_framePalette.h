#pragma once

// The block palette: one button per kind of block a user adds. A click
// reports the button's prototype block; a drag carries the prototype to an
// editor, which drops a copy of it.

#include "FloweditExport.h"

#include <QFrame>
#include <QPoint>

#include <functional>
#include <memory>

namespace Deskbay {

class TAdvSpeedButton;
class TAlgBlock;
class TAlgorithm;
class TDragObject;

class FLOWEDIT_API TPaletteFrame : public QFrame {
  Q_OBJECT
public:
  explicit TPaletteFrame(QWidget* Parent = nullptr);
  ~TPaletteFrame() override;

  TAdvSpeedButton* sbBasic;
  TAdvSpeedButton* sbIf;
  TAdvSpeedButton* sbIO;
  TAdvSpeedButton* sbWhile;
  TAdvSpeedButton* sbFor;
  TAdvSpeedButton* sbUntil;

  // The algorithm holding the six prototypes, one per button.
  TAlgorithm& GetPaletteAlgorithm() const { return *FAlgorithm; }
  static TAlgBlock* PrototypeOf(const TAdvSpeedButton& Button);

  std::function<void(TPaletteFrame& Sender, TAlgBlock* Block)> OnBlockClick;

  // The pointer moved this far (in either direction) with the button held
  // starts a drag.
  static constexpr int DragThreshold = 4;

protected:
  virtual void DoBlockClick(TAlgBlock* Block);

private:
  void sbBasicClick(TAdvSpeedButton& Sender);
  void sbBasicMouseDown(TAdvSpeedButton& Sender, QMouseEvent& Event);
  void sbBasicMouseMove(TAdvSpeedButton& Sender, QMouseEvent& Event);
  void sbBasicStartDrag(TAdvSpeedButton& Sender, std::unique_ptr<TDragObject>& DragObject);
  // The button's picture: its prototype drawn by the block's own rendering.
  void PaintButton(TAdvSpeedButton& Button);

  std::unique_ptr<TAlgorithm> FAlgorithm;
  QPoint FPressPos;
};

} // namespace Deskbay
