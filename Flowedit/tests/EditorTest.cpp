#include "EditorTestUtils.h"

#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// Statements A..E in the main sequence, a loop L holding X and Y after them.
struct TSample : TEditorWindow {
  TSample() : TEditorWindow(QSize(400, 300)) {
    for (const char* Line : {"A=1", "B=2", "C=3", "D=4", "E=5"})
      AddBlock(Body(), TBasicAlgBlock::Class, Line);
    Loop = static_cast<TContainerAlgBlock*>(AddBlock(Body(), TWhileAlgBlock::Class, "L<1"));
    X = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "X=1");
    Y = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "Y=2");
  }
  TAlgBlock* At(int I) const { return Body()->GetBlocks(I); }
  TContainerAlgBlock* Loop;
  TAlgBlock* X;
  TAlgBlock* Y;
};

class TFailingAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TFailingAlgBlock)
protected:
  void InternalRender(TCompositeImage&, int&) override { throw Exception("cannot draw"); }
};
const TAlgBlockClass TFailingAlgBlock::Class("TFailingAlgBlock", &TAlgBlock::Class,
                                             &TFailingAlgBlock::NewInstance);

} // namespace

TEST(AlgEditor, MouseSelectionFollowsCtrlOnly) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  ClickBlock(E, S.At(1));
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"B=2"}));
  EXPECT_TRUE(E.hasFocus());

  ClickBlock(E, S.At(3), Qt::ControlModifier);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"B=2", "D=4"}));
  // A plain click on a selected block keeps the selection (it may become a drag).
  ClickBlock(E, S.At(3));
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"B=2", "D=4"}));
  ClickBlock(E, S.At(1), Qt::ControlModifier);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"D=4"}));
  // Shift and Alt are no modifiers of selection: a plain click.
  ClickBlock(E, S.At(0), Qt::ShiftModifier);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"A=1"}));

  // The free area of a sequence clears the selection and selects nothing.
  ClickAt(E, ClientOf(E, ChartDropPoint(E, S.Loop->GetBody(), 1)));
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);
  ClickBlock(E, S.X);
  ClickAt(E, QPoint(1, 1));
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0) << "empty space clears";
  ClickBlock(E, S.X);
  ClickAt(E, QPoint(1, 1), Qt::ControlModifier);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"X=1"})) << "Ctrl keeps it";
}

TEST(AlgEditor, KeysLevelUpClearSelectAllAndDeleteWithReselection) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  ClickBlock(E, S.X);
  QTest::keyClick(&E, Qt::Key_Escape);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"X=1", "Y=2"}));
  QTest::keyClick(&E, Qt::Key_Escape);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"L<1"}));
  QTest::keyClick(&E, Qt::Key_Escape, Qt::ShiftModifier);
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 0);
  QTest::keyClick(&E, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(S.Alg.GetSelectedBlockCount(), 6);
  QTest::keyClick(&E, Qt::Key_Escape, Qt::ShiftModifier);

  // Deleting one block selects its successor; deleting the last one the new last.
  ClickBlock(E, S.At(2));
  QTest::keyClick(&E, Qt::Key_Delete);
  EXPECT_EQ(FirstLines(S.Body()), (std::vector<std::string>{"A=1", "B=2", "D=4", "E=5", "L<1"}));
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"D=4"}));
  ClickBlock(E, S.Y);
  QTest::keyClick(&E, Qt::Key_Delete);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"X=1"}));
}

TEST(AlgEditor, DragStartsBeyondTheDragDistanceWithTheSelectionInOrder) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  std::vector<std::string> Dragged;
  TDragScript Script([&](QDrag& D) {
    auto* Drag = dynamic_cast<TAlgDragObject*>(TDragMimeData::DragObjectOf(D.mimeData()));
    for (int I = 0; I < Drag->GetBlockCount(); ++I)
      Dragged.push_back(Drag->GetBlocks(I)->GetText().Get(0));
    return Qt::IgnoreAction;
  });
  ClickBlock(E, S.At(3));
  ClickBlock(E, S.At(1), Qt::ControlModifier);
  const QPoint P = ClientOf(E, ChartPointOf(E, S.At(3)));
  PointAt(E, P);
  QTest::mousePress(&E, Qt::LeftButton, {}, P);
  QTest::mouseMove(&E, P + QPoint(1, 0));
  EXPECT_EQ(Script.Drags, 0) << "within the drag distance";
  QTest::mouseMove(&E, P + QPoint(QApplication::startDragDistance() + 1, 0));
  EXPECT_EQ(Script.Drags, 1);
  EXPECT_EQ(Dragged, (std::vector<std::string>{"B=2", "D=4"})) << "in sequence order";
  QTest::mouseRelease(&E, Qt::LeftButton, {}, P);

  // Ctrl+click on a selected block unselects it and never drags.
  QTest::mousePress(&E, Qt::LeftButton, Qt::ControlModifier, P);
  QTest::mouseMove(&E, P + QPoint(40, 40));
  QTest::mouseRelease(&E, Qt::LeftButton, Qt::ControlModifier, P + QPoint(40, 40));
  EXPECT_EQ(Script.Drags, 1);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"B=2"}));
}

TEST(AlgEditor, DropsMoveCopyAndRefuse) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  // Drag D and E (indexes 3 and 4) to index 1: between A and B.
  const QPoint IntoIndex1 = ClientOf(E, ChartDropPoint(E, S.Body(), 1));
  ClickBlock(E, S.At(4));
  ClickBlock(E, S.At(3), Qt::ControlModifier);
  Qt::DropAction Result = Qt::IgnoreAction;
  TDragScript Script([&](QDrag& D) { return Result = DropOn(D, E, IntoIndex1); });
  E.DoStartDrag();
  EXPECT_EQ(Result, Qt::MoveAction);
  EXPECT_EQ(FirstLines(S.Body()),
            (std::vector<std::string>{"A=1", "D=4", "E=5", "B=2", "C=3", "L<1"}));
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"D=4", "E=5"}));

  // Shift held at the drop copies.
  TDragScript Copy([&](QDrag& D) {
    return Result = DropOn(D, E, ClientOf(E, ChartDropPoint(E, S.Loop->GetBody(), 0)),
                           Qt::ShiftModifier);
  });
  E.DoStartDrag();
  EXPECT_EQ(Result, Qt::CopyAction);
  EXPECT_EQ(FirstLines(S.Body()),
            (std::vector<std::string>{"A=1", "D=4", "E=5", "B=2", "C=3", "L<1"}));
  EXPECT_EQ(FirstLines(S.Loop->GetBody()), (std::vector<std::string>{"D=4", "E=5", "X=1", "Y=2"}));
  EXPECT_EQ(S.Alg.GetBlockCount(), 1 + 6 + 4);

  // The loop may not go into its own body, and nothing goes where no sequence lies.
  ClickBlock(E, S.Loop);
  TDragScript Refused([&](QDrag& D) {
    EXPECT_EQ(DropOn(D, E, ClientOf(E, ChartDropPoint(E, S.Loop->GetBody(), 1))), Qt::IgnoreAction);
    EXPECT_EQ(DropOn(D, E, ClientOf(E, ChartPointOf(E, S.X))), Qt::IgnoreAction)
        << "a statement is no sequence";
    EXPECT_EQ(DropOn(D, E, QPoint(1, 1)), Qt::IgnoreAction);
    return Qt::IgnoreAction;
  });
  E.DoStartDrag();
  EXPECT_EQ(FirstLines(S.Loop->GetBody()), (std::vector<std::string>{"D=4", "E=5", "X=1", "Y=2"}));
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"L<1"}));
}

TEST(AlgEditor, DropBetweenEditorsMovesAndTheBlockLimitRefusesWholly) {
  TSample S;
  TEditorWindow Other;
  AddBlock(Other.Body(), TBasicAlgBlock::Class, "P=1");
  AddBlock(Other.Body(), TIOAlgBlock::Class, "Вывод P");
  Other.Alg.SelectAll();
  TAlgEditor& E = *S.Editor;
  const QPoint AtEnd = ClientOf(E, ChartDropPoint(E, S.Body(), 5));
  TDragScript Script([&](QDrag& D) { return DropOn(D, E, AtEnd); });
  Other.Editor->DoStartDrag();
  EXPECT_EQ(FirstLines(S.Body()),
            (std::vector<std::string>{"A=1", "B=2", "C=3", "D=4", "E=5", "P=1", "Вывод P", "L<1"}));
  EXPECT_EQ(Other.Body()->GetBlockCount(), 0) << "a drag between documents moves";
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"P=1", "Вывод P"}));

  // One place left below the limit, two blocks dropped: nothing changes.
  while (S.Alg.GetBlockCount() < AlgMaxBlockCount - 1)
    AddBlock(S.Loop->GetBody(), TBasicAlgBlock::Class, "Z=0");
  AddBlock(Other.Body(), TBasicAlgBlock::Class, "Q=1");
  AddBlock(Other.Body(), TBasicAlgBlock::Class, "R=1");
  Other.Alg.SelectAll();
  ClickBlock(E, S.At(0));
  const std::vector<std::string> Before = FirstLines(S.Body());
  std::string Message;
  TDragScript Full([&](QDrag& D) {
    PointAt(E, ClientOf(E, ChartDropPoint(E, S.Body(), 1)));
    try {
      E.DragDrop(TDragMimeData::DragObjectOf(D.mimeData()), false);
    } catch (const Exception& Err) {
      Message = Err.Message();
    }
    return Qt::IgnoreAction;
  });
  Other.Editor->DoStartDrag();
  EXPECT_EQ(Message, "Слишком много блоков (предел = 100).");
  EXPECT_EQ(FirstLines(S.Body()), Before);
  EXPECT_EQ(S.Alg.GetBlockCount(), AlgMaxBlockCount - 1);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"A=1"}));
  EXPECT_EQ(FirstLines(Other.Body()), (std::vector<std::string>{"Q=1", "R=1"}));
  EXPECT_EQ(Other.Alg.GetSelectedBlockCount(), 2);
  EXPECT_NE(E.GetImage(), nullptr);
}

TEST(AlgEditor, NotEditableOnlyTakesTheFocus) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  E.SetEditable(false);
  S.Alg.SelectBlock(S.At(0), true);
  ClickBlock(E, S.At(2));
  EXPECT_TRUE(E.hasFocus());
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"A=1"}));
  QTest::keyClick(&E, Qt::Key_Delete);
  QTest::keyClick(&E, Qt::Key_Escape);
  QTest::keyClick(&E, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(S.Body()->GetBlockCount(), 6);
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"A=1"}));
  int Drags = 0;
  TDragScript Script([&](QDrag&) { return ++Drags, Qt::IgnoreAction; });
  E.DoStartDrag();
  EXPECT_EQ(Drags, 0);
  // A drag from another editor is refused too.
  TEditorWindow Other;
  AddBlock(Other.Body(), TBasicAlgBlock::Class, "P=1");
  Other.Alg.SelectAll();
  Qt::DropAction Result = Qt::MoveAction;
  TDragScript Drop(
      [&](QDrag& D) { return Result = DropOn(D, E, ClientOf(E, ChartDropPoint(E, S.Body(), 1))); });
  Other.Editor->DoStartDrag();
  EXPECT_EQ(Result, Qt::IgnoreAction);
  EXPECT_EQ(S.Body()->GetBlockCount(), 6);
}

TEST(AlgEditor, RebuildsOncePerChangeAndNeverForNothing) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  const int Start = E.GetRebuildCount();
  S.Alg.BeginModify();
  S.At(0)->GetText().Put(0, "A=10");
  S.Alg.SelectBlock(S.At(0), true);
  S.Alg.GetColorScheme().SetBlockColor(RGBColor(1, 2, 3));
  S.Alg.EndModify();
  EXPECT_EQ(E.GetRebuildCount(), Start + 1) << "three aspects moved, one rebuild";
  E.AlgChange(&S.Alg);
  E.AlgSelChange(&S.Alg);
  E.AlgViewChange(&S.Alg);
  S.Alg.SelectBlock(S.At(0), true); // already selected: no version moves
  EXPECT_EQ(E.GetRebuildCount(), Start + 1);
  S.Alg.UnselectAll();
  EXPECT_EQ(E.GetRebuildCount(), Start + 2);
}

TEST(AlgEditor, RenderFailureLeavesTheBackgroundAndReachesTheChanger) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  ASSERT_NE(E.GetImage(), nullptr);
  // The block is made; the error of drawing it reaches whoever made it.
  EXPECT_THROW(TFailingAlgBlock::Class.Create(S.Body()), Exception);
  ASSERT_EQ(S.Body()->GetBlockCount(), 7);
  TAlgBlock* Bad = S.Body()->GetBlocks(6);
  EXPECT_EQ(E.GetImage(), nullptr);
  const QImage Shot = E.grab().toImage();
  EXPECT_EQ(Shot.pixelColor(Shot.width() / 2, Shot.height() / 2), QColorOf(E.GetColor()));
  Bad->Free();
  EXPECT_NE(E.GetImage(), nullptr);
}

TEST(AlgEditor, CentersWhenNarrowAndMakeVisibleScrollsOnlyWhenNothingShows) {
  TEditorWindow W(QSize(600, 200));
  TAlgEditor& E = *W.Editor;
  for (int I = 0; I < 12; ++I)
    AddBlock(W.Body(), TBasicAlgBlock::Class, "K=" + std::to_string(I));
  const int ViewW = W.Box.viewport()->width();
  EXPECT_LT(E.width(), ViewW);
  EXPECT_EQ(E.x(), (ViewW - E.width()) / 2);
  EXPECT_EQ(E.y(), 0) << "taller than the box: from its top";
  // A wider flowchart is centred again after the size change.
  AddBlock(W.Body(), TBasicAlgBlock::Class, std::string(30, 'W') + "=1");
  EXPECT_EQ(E.x(), std::max((W.Box.viewport()->width() - E.width()) / 2, 0));

  // Partly visible: no scroll.
  QScrollBar* V = W.Box.verticalScrollBar();
  TAlgBlock* Last = W.Body()->GetBlocks(12);
  V->setValue(0);
  const int LastTop =
      E.ChartToClient(E.GetImage()->PhysToLog(Last->GetImage()->SelfToGlobal({0, 0}))).y();
  V->setValue(LastTop - W.Box.viewport()->height() + 5);
  const int Before = V->value();
  E.MakeVisible(Last);
  EXPECT_EQ(V->value(), Before);
  // Out of sight: its top-left corner comes to the middle.
  V->setValue(0);
  E.MakeVisible(Last);
  EXPECT_EQ(V->value(), std::min(LastTop - W.Box.viewport()->height() / 2, V->maximum()));
  EXPECT_TRUE(LogClientRect(&W.Box).contains(QPoint(LogClientRect(&W.Box).center().x(), LastTop)));
}

TEST(AlgEditor, WheelScrollsATenthOfItsDelta) {
  TEditorWindow W(QSize(300, 150));
  for (int I = 0; I < 10; ++I)
    AddBlock(W.Body(), TBasicAlgBlock::Class, "K=1");
  QScrollBar* V = W.Box.verticalScrollBar();
  V->setValue(100);
  QWheelEvent Wheel(QPointF(5, 5), W.Editor->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(W.Editor, &Wheel);
  EXPECT_EQ(V->value(), 88);
  QWheelEvent Back(QPointF(5, 5), W.Editor->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -55),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(W.Editor, &Back);
  EXPECT_EQ(V->value(), 93) << "-55 div 10 truncates to -5";
}

TEST(AlgEditor, RestingDragScrollsTowardTheNearEdge) {
  TEditorWindow W(QSize(300, 200));
  for (int I = 0; I < 10; ++I)
    AddBlock(W.Body(), TBasicAlgBlock::Class, "K=1");
  W.Alg.SelectBlock(W.Body()->GetBlocks(0), true);
  TAlgEditor& E = *W.Editor;
  QScrollBar* V = W.Box.verticalScrollBar();
  std::vector<int> Seen;
  TDragScript Script([&](QDrag&) {
    const QPoint NearBottom(W.Box.viewport()->width() / 2, W.Box.viewport()->height() - 10);
    QCursor::setPos(W.Box.viewport()->mapToGlobal(NearBottom));
    E.ScrollTimerHandler(); // the pointer has just arrived
    Seen.push_back(V->value());
    E.ScrollTimerHandler();
    Seen.push_back(V->value());
    E.ScrollTimerHandler();
    Seen.push_back(V->value());
    QCursor::setPos(W.Box.viewport()->mapToGlobal(QPoint(150, 100)));
    E.ScrollTimerHandler();
    E.ScrollTimerHandler();
    Seen.push_back(V->value());
    return Qt::IgnoreAction;
  });
  E.DoStartDrag();
  EXPECT_EQ(Seen, (std::vector<int>{0, 20, 40, 40}));
  // Without a drag nothing scrolls.
  E.ScrollTimerHandler();
  E.ScrollTimerHandler();
  EXPECT_EQ(V->value(), 40);
}

TEST(AlgEditor, ZoomKeepsClicksDropsAndMakeVisibleInFlowchartCoordinates) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  const TPoint ChartB = ChartPointOf(E, S.At(1));
  const TPoint ChartIntoLoop = ChartDropPoint(E, S.Loop->GetBody(), 1);
  const QSize At100 = E.size();
  QTest::keyClick(&E, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_GT(E.GetZoom(), 100);
  E.SetZoom(200);
  EXPECT_EQ(E.GetZoom(), 200);
  EXPECT_EQ(E.size(), At100 * 2);
  EXPECT_EQ(E.ClientToChart(E.ChartToClient({37, 81})), (TPoint{37, 81}));

  ClickAt(E, ClientOf(E, ChartB));
  EXPECT_EQ(SelectedLines(S.Alg), (std::vector<std::string>{"B=2"}));
  TDragScript Script([&](QDrag& D) { return DropOn(D, E, ClientOf(E, ChartIntoLoop)); });
  E.DoStartDrag();
  EXPECT_EQ(FirstLines(S.Loop->GetBody()), (std::vector<std::string>{"X=1", "B=2", "Y=2"}));

  // The last block's corner comes to the middle of the box at this zoom too.
  QScrollBar* V = S.Box.verticalScrollBar();
  V->setValue(0);
  TAlgBlock* Last = S.Loop->GetBody()->GetBlocks(2);
  E.MakeVisible(Last);
  const TPoint Corner = E.GetImage()->PhysToLog(Last->GetImage()->SelfToGlobal({0, 0}));
  const int CornerY = E.ChartToClient(Corner).y() + E.y();
  EXPECT_EQ(V->value(), std::min(CornerY - S.Box.viewport()->height() / 2, V->maximum()));

  QTest::keyClick(&E, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(E.GetZoom(), 100);
  QTest::keyClick(&E, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(E.GetZoom(), 90);
  E.SetZoom(10);
  EXPECT_EQ(E.GetZoom(), 50);
  E.SetZoom(1000);
  EXPECT_EQ(E.GetZoom(), 300);
}

TEST(AlgEditor, AConditionCutShortShowsWholeAsATooltip) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  // A condition that runs, so the tooltip is the text alone.
  const std::string Long = "L < A + B + C + D + E + F + G + H + I + J + K + M";
  S.Loop->GetText().SetLines({Long});
  QApplication::processEvents();
  const QPoint OnLoop = ClientOf(E, ChartPointOf(E, S.Loop));
  EXPECT_EQ(E.ToolTipAt(OnLoop).toStdString(), Long);
  EXPECT_EQ(E.ToolTipAt(ClientOf(E, ChartPointOf(E, S.At(0)))), QString()) << "shown whole";

  // The tooltip event shows it as plain text, whatever it looks like.
  S.Loop->GetText().SetLines({"A<B and <b>C</b> & D, which is too long"});
  QApplication::processEvents();
  QHelpEvent Help(QEvent::ToolTip, OnLoop, E.mapToGlobal(OnLoop));
  QApplication::sendEvent(&E, &Help);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_TRUE(QToolTip::text().contains("A&lt;B and &lt;b&gt;C&lt;/b&gt; &amp; D"))
      << QToolTip::text().toStdString();
  QToolTip::hideText();
}

TEST(AlgDragObject, BadIndexNamesIndexAndCount) {
  TAlgDragObject Drag;
  EXPECT_EQ(Drag.GetBlockCount(), 0);
  try {
    Drag.GetBlocks(0);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "AlgDragObject: Bad block index 0 (0).");
  }
}

namespace {

// The block's picture in client pixels, found from its own image.
QRect ClientRectOf(TAlgEditor& E, const TAlgBlock* Block) {
  const TCompositeImage* Image = Block->GetImage();
  const TPoint TL = E.GetImage()->PhysToLog(Image->SelfToGlobal({0, 0}));
  return QRect(E.ChartToClient(TL), E.ChartToClient(TL + Image->GetSize()) - QPoint(1, 1));
}

bool IsMostly(QColor C, int Channel) {
  const int V[] = {C.red(), C.green(), C.blue()};
  return V[Channel] > 150 && V[(Channel + 1) % 3] < 110 && V[(Channel + 2) % 3] < 110;
}

// Pixels of Colour's channel on the horizontal line at Y between X0 and X1.
int CountOnRow(const QImage& I, int Y, int X0, int X1, int Channel) {
  int N = 0;
  for (int X = std::max(X0, 0); X <= std::min(X1, I.width() - 1); ++X)
    N += IsMostly(I.pixelColor(X, Y), Channel);
  return N;
}

} // namespace

TEST(AlgEditor, MarkersAreDrawnOverTheBlocksAtEveryZoom) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  for (int Zoom : {100, 200, 67}) {
    E.SetZoom(Zoom);
    E.SetMarkers({});
    const QRect R = ClientRectOf(E, S.At(2));
    const QImage Plain = E.grab().toImage();
    EXPECT_EQ(CountOnRow(Plain, R.top() - 1, R.left(), R.right(), 1), 0) << Zoom;

    TChartMarkers M;
    M.Next = S.At(2);
    M.Error = S.At(4);
    M.Origin = S.X;
    M.Breakpoints[S.At(0)] = false;
    E.SetMarkers(M);
    const QImage I = E.grab().toImage();
    // The next block's outline runs just outside its top edge, not across
    // its neighbours'.
    EXPECT_GT(CountOnRow(I, R.top() - 1, R.left(), R.right(), 1), R.width() / 2) << Zoom;
    EXPECT_EQ(CountOnRow(I, R.center().y(), R.left() + 8, R.right() - 8, 1), 0)
        << "an outline, not a fill; at " << Zoom;
    const QRect A = ClientRectOf(E, S.At(1));
    EXPECT_EQ(CountOnRow(I, A.center().y(), 0, I.width(), 1), 0) << Zoom;
    const QRect Err = ClientRectOf(E, S.At(4));
    // Dashed and dash-dotted frames cover a good part of the edge's length.
    auto Best = [&](int Y0, int Step, const QRect& R, int Channel) {
      int N = 0;
      for (int K = 0; K < 3; ++K)
        N = std::max(N, CountOnRow(I, Y0 + K * Step, R.left(), R.right(), Channel));
      return N;
    };
    EXPECT_GT(Best(Err.top() - 1, -1, Err, 0), Err.width() / 3) << Zoom;
    const QRect Org = ClientRectOf(E, S.X);
    EXPECT_GT(Best(Org.bottom() + 1, 1, Org, 2), Org.width() / 3) << Zoom;
    // The breakpoint: red on the first block's left edge.
    const QRect B = ClientRectOf(E, S.At(0));
    int Red = 0;
    for (int Y = B.top(); Y <= B.bottom(); ++Y)
      Red += IsMostly(I.pixelColor(B.left(), Y), 0);
    EXPECT_GT(Red, 3) << Zoom;
    EXPECT_EQ(E.BlockClientRect(S.At(2)), R);
  }
}

TEST(AlgEditor, MarkersOfDeletedOrForeignBlocksAreDropped) {
  TSample S;
  TAlgEditor& E = *S.Editor;
  TAlgorithm Other;
  TAlgBlock* Foreign = AddBlock(Other.GetRoot()->GetBody(), TBasicAlgBlock::Class, "Q=1");
  TChartMarkers M;
  M.Next = S.Y;
  M.Error = Foreign;
  M.Origin = S.At(1);
  M.Breakpoints = {{S.X, true}, {S.At(3), false}, {Foreign, false}};
  E.SetMarkers(M);
  EXPECT_EQ(E.GetMarkers().Error, nullptr) << "a block of another algorithm";
  EXPECT_EQ(E.GetMarkers().Breakpoints.size(), 2u);

  const int Rebuilds = E.GetRebuildCount();
  S.Loop->Free(); // takes X and Y with it
  ASSERT_GT(E.GetRebuildCount(), Rebuilds);
  EXPECT_EQ(E.GetMarkers().Next, nullptr);
  EXPECT_EQ(E.GetMarkers().Origin, S.At(1));
  EXPECT_EQ(E.GetMarkers().Breakpoints, (std::map<const TAlgBlock*, bool>{{S.At(3), false}}));
  E.grab(); // paints without touching what went

  E.SetAlgorithm(&Other);
  EXPECT_TRUE(E.GetMarkers().Empty()) << "another algorithm starts unmarked";
  E.SetAlgorithm(&S.Alg);
}
