#pragma once

// The flowchart control. It shows one algorithm by asking its root block to
// render into a fresh tree of composite images whenever one of the
// algorithm's three versions (content, selection, view) moved, sizes itself
// to the picture, replays it on every paint and hit-tests through it. Mouse
// and keyboard select, delete, move and copy blocks; blocks dragged from an
// editor or the palette are dropped into sequences.
//
// Zoom scales the picture from 50 % to 300 %. Every position the control
// works with goes through one transform between its client coordinates and
// the flowchart's (the root image's logical coordinates): chart = client *
// 100 / zoom, rounded down. At 100 % both are the same.
//
// The control lives on the area of a scroll box (TAdvScrollBox or any
// QScrollArea); centering, MakeVisible, the wheel and scrolling while
// dragging act on that box and do nothing without one.

#include "FloweditExport.h"
#include "Flowedit_DragObject.h"

#include "Corekit/MiscUtils_Versioning.h"
#include "Corekit/VisualUtils.h"
#include "Flowmodel/Flowmodel_ChartStops.h"
#include "Flowmodel/Flowmodel_Markers.h"

#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QScrollArea;

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;
class TCompoundAlgBlock;
class TChartAccessibility;

// One listener interface per notice the editor hears.
class FLOWEDIT_API IOnAlgChange : public IOnNotify {};
class FLOWEDIT_API IOnAlgSelChange : public IOnNotify {};
class FLOWEDIT_API IOnAlgViewChange : public IOnNotify {};

class FLOWEDIT_API TAlgEditor : public QWidget {
  Q_OBJECT
public:
  explicit TAlgEditor(QWidget* Parent = nullptr);
  ~TAlgEditor() override;

  TAlgorithm* GetAlgorithm() const { return FAlgorithm; }
  // Shows Algorithm (not owned; nullptr: none) and lays it out.
  void SetAlgorithm(TAlgorithm* Algorithm);
  // Lays the algorithm out afresh and takes the picture's size. A failure
  // leaves no picture (only the background shows) and is passed on.
  void UpdateImage();
  // Whether a version moved since the last look; remembers the current ones.
  bool NewVersion();
  void AlgChange(TObject* Sender);
  void AlgSelChange(TObject* Sender);
  void AlgViewChange(TObject* Sender);

  // Centres the control in its scroll box's visible part; a flowchart larger
  // than the box starts at the box's top-left.
  void Center();
  // Scrolls so that Block's top-left corner comes to the middle of the box,
  // unless some of the block is already in view.
  void MakeVisible(TAlgBlock* Block);

  // The image under the pointer, P set to the point in its logical
  // coordinates; nullptr without a picture or outside it.
  TCompositeImage* GetImageUnderCursor(TPoint& P);
  // The block hit under the pointer, P set to the point in the physical
  // coordinates of that block's image.
  TAlgBlock* GetBlockUnderCursor(TPoint& P);
  // The same at Client, a point in client coordinates.
  TAlgBlock* GetBlockAt(QPoint Client, TPoint& P);
  // What the tooltip at Client shows: the whole text of a block whose
  // picture cuts it; empty elsewhere.
  QString ToolTipAt(QPoint Client);
  // Whether Source may be dropped under the pointer; gives the blocks, the
  // point in the target's physical coordinates and the target sequence.
  bool CanAccept(TDragObject* Source, TAlgDragObject*& Drag, TPoint& P, TCompoundAlgBlock*& Target);
  // Drops Source under the pointer: copies of its blocks go into the target
  // sequence, selected; the originals go unless the source keeps them or
  // Copy is set (Shift held). A drop that fails changes nothing.
  void DragDrop(TDragObject* Source, bool Copy);
  // Starts dragging the selection; the drag runs until it ends.
  void DoStartDrag();
  // One tick of scrolling while a drag rests near an edge of the box.
  void ScrollTimerHandler();

  bool GetAutoCenter() const { return FAutoCenter; }
  void SetAutoCenter(bool Value) { FAutoCenter = Value; }
  bool GetEditable() const { return FEditable; }
  void SetEditable(bool Value) { FEditable = Value; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);

  // Percent, one of ZoomSteps; 100 after creation.
  static constexpr int ZoomSteps[] = {50, 67, 75, 90, 100, 110, 125, 150, 175, 200, 250, 300};
  int GetZoom() const { return FZoom; }
  // The nearest step to Percent; the flowchart point under Anchor (client
  // coordinates) stays where it is on the screen when the box can scroll.
  void SetZoom(int Percent);
  void SetZoom(int Percent, QPoint Anchor);
  // One wheel turn with Ctrl: the next zoom step up (AngleDelta > 0) or
  // down, the point At (client coordinates, inside the chart or not) kept
  // where it is as far as the scroll box allows.
  void WheelZoom(int AngleDelta, QPoint At);
  void ZoomIn();
  void ZoomOut();

  TPoint ClientToChart(QPoint P) const;
  QPoint ChartToClient(TPoint P) const;
  // The pointer's current position in client coordinates.
  QPoint CursorClientPos() const;
  TCompositeImage* GetImage() const { return FImage.get(); }
  // How often the flowchart was laid out.
  int GetRebuildCount() const { return FRebuildCount; }
  // The box the control scrolls in, if any.
  QScrollArea* GetScrollBox() const;

  // The zoom changed (SetZoom, ZoomIn, ZoomOut, Ctrl and the wheel).
  std::function<void(TAlgEditor&)> OnZoomChange;

  // The marks drawn over the picture (next block, error, origin,
  // breakpoints), at the blocks' places at every zoom. Blocks that are not
  // in the algorithm's picture are dropped at once and again whenever the
  // flowchart is laid out, so a deleted block leaves no mark behind.
  void SetMarkers(const TChartMarkers& Markers);
  const TChartMarkers& GetMarkers() const { return FMarkers; }
  // Where Block's picture lies in client coordinates; empty when it has none.
  QRect BlockClientRect(const TAlgBlock* Block) const;
  // The image Block was drawn into in this control's picture, or nullptr.
  const TCompositeImage* BlockImage(const TAlgBlock* Block) const;

  // A typed character the control did not use itself.
  std::function<void(TAlgEditor&, QString& Text)> OnKeyPress;

  // The keyboard cursor (Flowmodel_ChartStops): a block, which is then
  // selected as a click selects it, or a place, shown with the insertion
  // marker while the control has the focus; nothing selected then. It
  // follows the selection made otherwise and survives edits. Down, Up,
  // Home and End move it; Shift with Down or Up extends the selection along
  // its sequence, Alt with them moves the selected blocks.
  const TChartStop& GetCursor() const { return FCursor; }
  void SetCursor(const TChartStop& Stop);
  // Delta stops on (negative: back), as far as the chart goes; false when
  // the cursor stays.
  bool MoveCursor(int Delta);
  // The stops in drawing order, from the algorithm as it is now.
  std::vector<TChartStop> GetStops() const;
  // Where the insertion marker of a drag stands now; empty without one.
  const TChartStop& GetDropPlace() const { return FDropPlace; }
  // Where a place is shown in client coordinates (the middle of its arrow).
  QPoint PlaceClientPoint(const TChartStop& Place) const;
  // Where a stop lies in client coordinates: a block's picture, a small box
  // around a place's marker; empty without a picture.
  QRect StopClientRect(const TChartStop& Stop) const;

  // Enter on the chart: the block under the cursor is to be edited.
  std::function<void(TAlgEditor&)> OnEditRequest;
  // Insert on the chart (Kind empty: ask which), Alt+1 ... Alt+6 (the
  // kinds in the insert list's order).
  std::function<void(TAlgEditor&, std::optional<TAlgBlockKind> Kind)> OnInsertRequest;

  // What a run says about blocks, for a screen reader: the block that runs
  // next ("выполняется следующим") and the block an error stopped at
  // ("ошибка" and Message). nullptr: none. Pointers are compared with the
  // chart's blocks, never followed otherwise.
  void SetRunDescriptions(const TAlgBlock* Next, const TAlgBlock* Error, const QString& Message);
  // The accessible description a run gives Block; empty outside a run.
  QString RunDescription(const TAlgBlock* Block) const;
  TChartAccessibility& GetAccessibility() const { return *FAccessibility; }
  // Asked before copies of blocks go into the chart (a palette block, a
  // drop that copies): the reason they may not, empty when they may. A
  // refusal changes nothing and is shown at the block it concerns.
  std::function<std::string(const std::vector<const TAlgBlock*>& Blocks)> OnCheckPlacement;
  // Shows Reason at Block's place on the chart as a tool tip (at the
  // pointer when the block is not drawn) and tells OnRefusal.
  void ShowRefusal(const std::string& Reason, const TAlgBlock* Block);
  std::function<void(const std::string& Reason)> OnRefusal;
  // OnCheckPlacement's answer; true when the blocks may go in, else the
  // refusal is shown at Where.
  bool MayPlace(const std::vector<const TAlgBlock*>& Blocks, const TAlgBlock* Where);

protected:
  bool event(QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  void dragLeaveEvent(QDragLeaveEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

private:
  // The control's size for the picture at the current zoom.
  void ApplySize();
  // Left and top edge of the visible part, 0 without a box.
  void SetScrollPositions(int X, int Y);
  bool HandleKey(QKeyEvent& Event);
  // Drops the markers' blocks that the current picture does not show.
  void ValidateMarkers();
  // The keyboard cursor's focus frame or place, and a drag's place.
  void PaintCursor(QPainter& Painter) const;
  void PaintInsertionMarker(QPainter& Painter, const TChartStop& Place) const;
  // The cursor after a change of the chart or of the selection.
  void FollowChart();
  void FollowSelection();
  // Keeps the point At of Target's physical coordinates where OnScreen
  // (the box's viewport) shows it, as far as the box allows.
  void KeepAt(TCompoundAlgBlock* Target, TPoint At, QPoint OnScreen);
  // The place a drop at the pointer goes to; empty where none.
  TChartStop DropPlaceAt(TDragObject* Source);
  void SetDropPlace(const TChartStop& Place);
  // Shift with Down or Up: the selection from where it started to the next
  // block of the sequence.
  void ExtendSelection(int Delta);
  // Scrolls the cursor's stop into view and tells who follows it.
  void ShowCursor();
  // A picture of the blocks being dragged, to follow the pointer.
  QPixmap DragPicture(const TAlgDragObject& Drag) const;

  TAlgorithm* FAlgorithm = nullptr;
  TChartMarkers FMarkers;
  // The images of the marked blocks in this control's picture.
  std::map<const TAlgBlock*, const TCompositeImage*> FMarkerImages;
  std::unique_ptr<TCompositeImage> FImage;
  bool FAutoCenter = true;
  bool FEditable = false;
  TColor FColor = 0xFFFFFF;
  int FZoom = 100;
  QTimer FScrollTimer;
  QPoint FLastTickPos;
  uint64_t FVersion = 0, FSelVersion = 0, FViewVersion = 0;
  int FRebuildCount = 0;
  bool FDestroying = false;
  // A press on a selected block that may become a drag.
  bool FDragPending = false;
  QPoint FDragStartPos;
  TChartStop FCursor;
  // The block a Shift-extended selection started from.
  TAlgBlock* FRangeAnchor = nullptr;
  TChartStop FDropPlace;
  bool FSettingCursor = false;
  const TAlgBlock* FRunNext = nullptr;
  const TAlgBlock* FRunError = nullptr;
  QString FRunErrorMessage;
  std::unique_ptr<TChartAccessibility> FAccessibility;

  class TChangeAdapter : public IOnAlgChange {
  public:
    explicit TChangeAdapter(TAlgEditor* Owner) : FOwner(Owner) {}
    void Notify(TObject* Sender) override { FOwner->AlgChange(Sender); }

  private:
    TAlgEditor* FOwner;
  };
  class TSelChangeAdapter : public IOnAlgSelChange {
  public:
    explicit TSelChangeAdapter(TAlgEditor* Owner) : FOwner(Owner) {}
    void Notify(TObject* Sender) override { FOwner->AlgSelChange(Sender); }

  private:
    TAlgEditor* FOwner;
  };
  class TViewChangeAdapter : public IOnAlgViewChange {
  public:
    explicit TViewChangeAdapter(TAlgEditor* Owner) : FOwner(Owner) {}
    void Notify(TObject* Sender) override { FOwner->AlgViewChange(Sender); }

  private:
    TAlgEditor* FOwner;
  };
  TChangeAdapter FOnChange{this};
  TSelChangeAdapter FOnSelChange{this};
  TViewChangeAdapter FOnViewChange{this};
};

} // namespace Deskbay
