#pragma once

#include "Flowedit/Flowedit_Editor.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/DragDrop.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Deskbay::Testing {

inline TAlgBlock* AddBlock(TAlgBlock* Parent, const TAlgBlockClass& Class,
                           const std::string& Line) {
  TAlgBlock* B = Class.Create(Parent);
  B->GetText().Add(Line);
  return B;
}

inline std::vector<std::string> FirstLines(const TAlgBlock* Parent) {
  std::vector<std::string> Lines;
  for (int I = 0; I < Parent->GetBlockCount(); ++I) {
    const TStringList& T = Parent->GetBlocks(I)->GetText();
    Lines.push_back(T.GetCount() ? T.Get(0) : "");
  }
  return Lines;
}

inline std::vector<std::string> SelectedLines(const TAlgorithm& Alg) {
  std::vector<TAlgBlock*> Sel;
  Alg.GetSelectedBlocks(Sel);
  std::vector<std::string> Lines;
  for (TAlgBlock* B : Sel)
    Lines.push_back(B->GetText().GetCount() ? B->GetText().Get(0) : "");
  return Lines;
}

// The block the editor's picture shows at a flowchart point, found the way
// the editor finds it, without the pointer; Phys gets the point in that
// block's physical coordinates.
inline TAlgBlock* BlockAtChart(TAlgEditor& Editor, TPoint P, TPoint* Phys = nullptr) {
  TCompositeImage* Root = Editor.GetImage();
  if (!Root)
    return nullptr;
  TCompositeImage* Image = Root->GetImageAt(P);
  if (!Image || !Image->GetData())
    return nullptr;
  P = Image->LogToPhys(P);
  TAlgBlock* B = static_cast<TAlgBlock*>(Image->GetData())->GetBlockAt(P);
  if (Phys)
    *Phys = P;
  return B;
}

// The point of Area's image (flowchart coordinates) nearest its middle
// column and closest to its vertical middle where a click hits Wanted (by
// default Area itself) and, for a sequence, a drop goes to Index (-1: any).
inline TPoint ChartPointOf(TAlgEditor& Editor, TAlgBlock* Area, TAlgBlock* Wanted = nullptr,
                           int Index = -1) {
  if (!Wanted)
    Wanted = Area;
  const TCompositeImage* Image = Area->GetImage();
  const TPoint TL = Editor.GetImage()->PhysToLog(Image->SelfToGlobal({0, 0}));
  const TPoint S = Image->GetSize();
  std::optional<TPoint> Best;
  long BestDist = 0;
  for (int Y = 0; Y < S.Y; ++Y)
    for (int X = 0; X < S.X; ++X) {
      const TPoint P = TL + TPoint{X, Y};
      TPoint Phys;
      if (BlockAtChart(Editor, P, &Phys) != Wanted)
        continue;
      if (Index >= 0 && static_cast<TCompoundAlgBlock*>(Wanted)->GetNewBlockIndexAt(Phys) != Index)
        continue;
      const long D = long(X - S.X / 2) * (X - S.X / 2) + long(Y - S.Y / 2) * (Y - S.Y / 2);
      if (!Best || D < BestDist) {
        Best = P;
        BestDist = D;
      }
    }
  EXPECT_TRUE(Best.has_value()) << "no point of the block hits what was wanted";
  return Best.value_or(TL);
}

// Where a drop into Sequence goes to Index.
inline TPoint ChartDropPoint(TAlgEditor& Editor, TCompoundAlgBlock* Sequence, int Index) {
  return ChartPointOf(Editor, Sequence, Sequence, Index);
}

// Client point of a flowchart point: the middle of the screen pixels that
// show it, so it maps back to the same point at every zoom.
inline QPoint ClientOf(TAlgEditor& Editor, TPoint Chart) {
  const QPoint A = Editor.ChartToClient(Chart);
  const QPoint B = Editor.ChartToClient(Chart + TPoint{1, 1});
  return QPoint((A.x() + B.x()) / 2, (A.y() + B.y()) / 2);
}

inline void PointAt(TAlgEditor& Editor, QPoint Client) {
  QCursor::setPos(Editor.mapToGlobal(Client));
}

inline void ClickAt(TAlgEditor& Editor, QPoint Client, Qt::KeyboardModifiers Mods = {}) {
  PointAt(Editor, Client);
  QTest::mouseClick(&Editor, Qt::LeftButton, Mods, Client);
}

inline void ClickBlock(TAlgEditor& Editor, TAlgBlock* Block, Qt::KeyboardModifiers Mods = {}) {
  ClickAt(Editor, ClientOf(Editor, ChartPointOf(Editor, Block)), Mods);
}

// Types Text into Target character by character, any alphabet.
inline void TypeText(QWidget* Target, const QString& Text) {
  for (QChar C : Text) {
    QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(C));
    QApplication::sendEvent(Target, &Press);
    QKeyEvent Release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(C));
    QApplication::sendEvent(Target, &Release);
  }
}

// Sends the drag's enter, move and drop to Target at a client point, as Qt
// would during the drag, and gives the drop action (IgnoreAction: refused).
inline Qt::DropAction DropOn(QDrag& Drag, TAlgEditor& Target, QPoint Client,
                             Qt::KeyboardModifiers Mods = {}) {
  PointAt(Target, Client);
  const Qt::DropActions Actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent Enter(Client, Actions, Drag.mimeData(), Qt::LeftButton, Mods);
  QApplication::sendEvent(&Target, &Enter);
  if (!Enter.isAccepted())
    return Qt::IgnoreAction;
  QDragMoveEvent Move(Client, Actions, Drag.mimeData(), Qt::LeftButton, Mods);
  QApplication::sendEvent(&Target, &Move);
  if (!Move.isAccepted())
    return Qt::IgnoreAction;
  QDropEvent Drop(Client, Actions, Drag.mimeData(), Qt::LeftButton, Mods);
  QApplication::sendEvent(&Target, &Drop);
  return Drop.isAccepted() ? Drop.dropAction() : Qt::IgnoreAction;
}

// Installs a drag runner for its lifetime.
struct TDragScript {
  explicit TDragScript(std::function<Qt::DropAction(QDrag&)> Run)
      : Previous(SetDragRunner([this, Run](QDrag& D) {
          ++Drags;
          return Run(D);
        })) {}
  ~TDragScript() { SetDragRunner(Previous); }
  int Drags = 0;
  TDragRunner Previous;
};

// An editable editor on a scroll box, showing its own algorithm.
struct TEditorWindow {
  explicit TEditorWindow(QSize BoxSize = QSize(400, 300)) {
    Box.resize(BoxSize);
    Editor = new TAlgEditor(Box.GetArea());
    Editor->SetEditable(true);
    Box.OnResize = [this](TAdvScrollBox&) { Editor->Center(); };
    Editor->SetAlgorithm(&Alg);
    Box.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Box));
  }
  ~TEditorWindow() { Editor->SetAlgorithm(nullptr); }
  TCompoundAlgBlock* Body() const { return Alg.GetRoot()->GetBody(); }

  TAlgorithm Alg;
  TAdvScrollBox Box;
  TAlgEditor* Editor;
};

} // namespace Deskbay::Testing
