#pragma once

// The block palette: one button per kind of block a user places, where the
// kind's description puts it. A click reports the button's prototype block;
// a drag carries the prototype to an editor, which drops a copy of it. The
// buttons take the focus with Tab; Space or Enter on one is its click.

#include "FloweditExport.h"

#include <QFrame>
#include <QPoint>

#include <functional>
#include <memory>
#include <vector>

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

  TAdvSpeedButton* sbBasic = nullptr;
  TAdvSpeedButton* sbIf = nullptr;
  TAdvSpeedButton* sbIO = nullptr;
  TAdvSpeedButton* sbWhile = nullptr;
  TAdvSpeedButton* sbFor = nullptr;
  TAdvSpeedButton* sbUntil = nullptr;

  // The algorithm holding the six prototypes, one per button.
  TAlgorithm& GetPaletteAlgorithm() const { return *FAlgorithm; }
  static TAlgBlock* PrototypeOf(const TAdvSpeedButton& Button);

  std::function<void(TPaletteFrame& Sender, TAlgBlock* Block)> OnBlockClick;

  // The pointer moved this far (in either direction) with the button held
  // starts a drag.
  static constexpr int DragThreshold = 4;
  // Room left around a button's picture.
  static constexpr int PictureMargin = 4;
  // The line height of the pictures' labels ("да", "нет") on the screen.
  static constexpr int LabelLineHeight = 14;

  // The one scale of all six pictures (at most 1): the largest at which
  // every prototype's picture fits its button within the margin, so the
  // same shapes are the same size on every button.
  double GetPictureScale() const { return FPictureScale; }
  // The font height the prototypes are drawn with: their labels come out
  // LabelLineHeight high at the picture scale.
  int GetPictureFontHeight() const { return FPictureFontHeight; }

  // The buttons in their order (Tab's order too).
  const std::vector<TAdvSpeedButton*>& GetButtons() const { return FButtons; }

protected:
  virtual void DoBlockClick(TAlgBlock* Block);
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void sbBasicClick(TAdvSpeedButton& Sender);
  void sbBasicMouseDown(TAdvSpeedButton& Sender, QMouseEvent& Event);
  void sbBasicMouseMove(TAdvSpeedButton& Sender, QMouseEvent& Event);
  void sbBasicStartDrag(TAdvSpeedButton& Sender, std::unique_ptr<TDragObject>& DragObject);
  // The buttons' pictures: each prototype drawn by the block's own
  // rendering, all to one scale.
  void PaintButtons();

  std::unique_ptr<TAlgorithm> FAlgorithm;
  std::vector<TAdvSpeedButton*> FButtons; // in the buttons' order
  QPoint FPressPos;
  double FPictureScale = 1;
  int FPictureFontHeight = 0;
};

} // namespace Deskbay
