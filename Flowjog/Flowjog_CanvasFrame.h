#pragma once

// The machine's drawing canvas on screen: the picture on white, an optional
// grid under it, and coordinate labels beside and under the paint box.

#include "FlowjogExport.h"
#include "Flowjog_CanvasPicture.h"

#include "Corekit/MiscUtils_Versioning.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>

class QCheckBox;

namespace Deskbay {

class TAlgCanvas;

class FLOWJOG_API TAlgCanvasFrame : public QWidget, public IOnNotify {
  Q_OBJECT
public:
  explicit TAlgCanvasFrame(QWidget* Parent = nullptr);
  ~TAlgCanvasFrame() override;

  // Stops listening to the old canvas and drops the off-screen picture made
  // for it, listens to the new one (not owned; nullptr for none) and shows it.
  void SetCanvas(TAlgCanvas* Canvas);
  TAlgCanvas* GetCanvas() const { return FCanvas; }
  void Notify(TObject* Sender) override;
  // Composes the picture off screen and has the paint box and the labels
  // repainted; nothing without a canvas.
  void ShowCanvas();
  // Has the coordinate labels repainted: they belong to the frame's own
  // surface, outside the paint box.
  void DrawLabels();

  // Screen pixels per canvas pixel (1 after creation); the owner sizes the
  // paint box to match. The labels follow.
  void SetMagnification(int Value);
  int GetMagnification() const { return FMagnification; }

  // The composed picture as the paint box shows it; null without a canvas.
  const QImage& GetImage() const { return FImage; }
  // The labels for the canvas attached, in the frame's font and at the paint
  // box's current place; empty texts without a canvas.
  std::array<TCanvasLabel, 5> GetLabels() const;

  QWidget* pbxCanvas;
  QCheckBox* cbGrid;

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  friend class TCanvasPaintBox;
  void pbxCanvasPaint(QPaintEvent* Event);
  void cbGridClick();
  // Composes again when the canvas has drawn since the last composition or
  // the grid was switched.
  void UpdateImage();

  TAlgCanvas* FCanvas = nullptr;
  std::unique_ptr<TBitmap> FBitmap; // the off-screen picture, made on first use
  QImage FImage;
  uint64_t FComposedVersion = 0;
  bool FComposedGrid = false;
  int FMagnification = 1;
};

} // namespace Deskbay
