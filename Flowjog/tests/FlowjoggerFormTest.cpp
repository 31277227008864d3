#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Flowedit/Flowedit_CodePane.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowedit/tests/EditorTestUtils.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Main.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>

#include <memory>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

int ListenerCount(TBaseVersionedObject& Object) {
  return Object.GetAspects(0)->GetListenerCount();
}

std::vector<std::string> Rows(const TWatchFrame& F) {
  std::vector<std::string> R;
  for (int I = 0; I < F.lvWatch->rowCount(); ++I)
    R.push_back(F.lvWatch->item(I, 0)->text().toStdString() + "=" +
                F.lvWatch->item(I, 1)->text().toStdString());
  return R;
}

// A loop that prints and draws: three passes, then "Вывод S".
struct TLoopRun {
  TLoopRun() {
    TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
    First = AddBlock(Body, TBasicAlgBlock::Class, "S=0");
    auto* Loop = static_cast<TContainerAlgBlock*>(AddBlock(Body, TForAlgBlock::Class, "I=1,3,1"));
    Draw = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "S=S+I");
    Draw->GetText().Add("тчк(I,1),4");
    Print = AddBlock(Loop->GetBody(), TIOAlgBlock::Class, "Вывод I, S");
    Last = AddBlock(Body, TIOAlgBlock::Class, "Вывод S");
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
    Form = std::make_unique<TFlowjoggerForm>();
    Form->SetAlgorithm(&Alg);
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  }
  void Step() {
    Machine.Step();
    Form->SelectCurrentBlock();
  }
  TAdvScrollBox& Box() const { return *Form->sbxAlg; }

  TAlgorithm Alg;
  TAlgMachine Machine;
  std::unique_ptr<TFlowjoggerForm> Form; // goes before the machine and the algorithm
  TAlgBlock *First, *Draw, *Print, *Last;
};

} // namespace

TEST(FlowjoggerForm, LayoutFlowchartLeftFramesRight) {
  TFlowjoggerForm F;
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  EXPECT_FALSE(F.AlgEditor->GetEditable());
  EXPECT_EQ(F.sbxAlg->width(), 280);
  EXPECT_EQ(F.pnlControls->geometry().left(), 280);
  EXPECT_EQ(F.pnlControls->width(), 209);
  EXPECT_EQ(F.lblCanvas->text(), QStringLiteral(" Окно графики"));
  EXPECT_TRUE(F.lblCanvas->font().bold());
  int Top = F.WatchesFrame->geometry().top();
  for (auto [Frame, Height] : std::vector<std::pair<QWidget*, int>>{
           {F.WatchesFrame, 97}, {F.ConsoleFrame, 91}, {F.lblCanvas, 20}, {F.CanvasFrame, 232}}) {
    EXPECT_EQ(Frame->geometry(), QRect(F.WatchesFrame->x(), Top, 207, Height))
        << Frame->objectName().toStdString();
    Top += Height;
  }
  EXPECT_EQ(F.WatchesFrame->lvWatch->height(), 77);
  EXPECT_EQ(F.ConsoleFrame->memConsole->height(), 71);
  EXPECT_EQ(F.CanvasFrame->pbxCanvas->geometry(), QRect(17, 0, 181, 181));
  EXPECT_EQ(F.CanvasFrame->cbGrid->pos(), QPoint(16, 200));
}

TEST(FlowjoggerForm, FollowsTheMachineWithTheNextBlockMarker) {
  TLoopRun R;
  TFlowjoggerForm& F = *R.Form;
  F.SelectCurrentBlock();
  EXPECT_EQ(F.AlgEditor->GetMarkers().Next, nullptr) << "no machine yet: nothing changes";

  F.SetMachine(&R.Machine);
  EXPECT_EQ(F.WatchesFrame->GetVars(), &R.Machine.GetStorage());
  EXPECT_EQ(F.ConsoleFrame->GetConsole(), &R.Machine.GetConsole());
  EXPECT_EQ(F.CanvasFrame->GetCanvas(), &R.Machine.GetCanvas());
  EXPECT_EQ(F.AlgEditor->GetMarkers().Next, R.Alg.GetRoot()) << "attaching shows the current block";
  EXPECT_EQ(R.Alg.GetSelectedBlockCount(), 0) << "the selection stays the pupil's";

  R.Step();
  EXPECT_EQ(F.AlgEditor->GetMarkers().Next, R.First);
  const int Rebuilds = F.AlgEditor->GetRebuildCount();
  R.Step();
  EXPECT_EQ(F.AlgEditor->GetMarkers().Next, R.Alg.GetRoot()->GetBody()->GetBlocks(1));
  EXPECT_EQ(F.AlgEditor->GetRebuildCount(), Rebuilds) << "a marker needs no layout";

  // The user's own selection survives attaching the machine already followed.
  R.Alg.UnselectAll();
  R.Last->SetSelected(true);
  const uint64_t SelVersion = R.Alg.GetSelVersion();
  F.SetMachine(&R.Machine);
  R.Step();
  EXPECT_EQ(R.Alg.GetSelVersion(), SelVersion);
  EXPECT_TRUE(R.Last->GetSelected());

  // Without an algorithm nothing changes either.
  F.SetAlgorithm(nullptr);
  F.SelectCurrentBlock();
  EXPECT_EQ(R.Alg.GetSelVersion(), SelVersion);
  EXPECT_TRUE(F.AlgEditor->GetMarkers().Empty());
  F.SetAlgorithm(&R.Alg);
}

TEST(FlowjoggerForm, NoCurrentBlockClearsTheMarkerWithoutScrolling) {
  TLoopRun R;
  // Tall enough to scroll: twenty more blocks after the loop.
  for (int I = 0; I < 20; ++I)
    AddBlock(R.Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, "Z=" + std::to_string(I));
  R.Form->SetMachine(&R.Machine);
  while (R.Machine.GetState() == amsReady)
    R.Step();
  ASSERT_EQ(R.Machine.GetState(), amsDone);
  ASSERT_GT(R.Box().verticalScrollBar()->maximum(), 0);
  EXPECT_GT(R.Box().GetVertPosition(), 0) << "the last blocks were scrolled into view";

  R.Box().SetVertPosition(7);
  R.Form->SelectCurrentBlock();
  EXPECT_EQ(R.Form->AlgEditor->GetMarkers().Next, nullptr);
  EXPECT_EQ(R.Box().GetVertPosition(), 7);
}

TEST(FlowjoggerForm, TheNextBlockIsScrolledIntoViewUnlessPartlyVisible) {
  TLoopRun R;
  TCompoundAlgBlock* Body = R.Alg.GetRoot()->GetBody();
  for (int I = 0; I < 25; ++I)
    AddBlock(Body, TBasicAlgBlock::Class, "Z=" + std::to_string(I));
  TAlgBlock* Far = Body->GetBlocks(Body->GetBlockCount() - 1);
  R.Form->SetMachine(&R.Machine);
  EXPECT_EQ(R.Box().GetVertPosition(), 0);
  while (R.Machine.GetCurrentBlock() != Far)
    R.Step();
  const int Scrolled = R.Box().GetVertPosition();
  EXPECT_GT(Scrolled, 0);
  const QPoint OnScreen = R.Form->AlgEditor->mapTo(
      R.Box().viewport(), ClientOf(*R.Form->AlgEditor, ChartPointOf(*R.Form->AlgEditor, Far)));
  EXPECT_TRUE(R.Box().viewport()->rect().contains(OnScreen));

  // Still in view after a scroll by a few pixels: left where it is.
  R.Box().SetVertPosition(Scrolled - 5);
  R.Form->SelectCurrentBlock();
  EXPECT_EQ(R.Box().GetVertPosition(), Scrolled - 5);
}

TEST(FlowjoggerForm, ClicksAndKeysInTheFlowchartChangeNoSelectionButZoomWorks) {
  TLoopRun R;
  R.Form->SetMachine(&R.Machine);
  R.Step();
  R.First->SetSelected(true); // the pupil's selection, which the clicks leave as it is
  TAlgEditor& E = *R.Form->AlgEditor;
  ClickBlock(E, R.Last);
  ClickBlock(E, R.First, Qt::ControlModifier);
  QTest::keyClick(&E, Qt::Key_Escape);
  QTest::keyClick(&E, Qt::Key_Delete);
  QTest::keyClick(&E, Qt::Key_A, Qt::ControlModifier);
  std::vector<TAlgBlock*> Sel;
  R.Alg.GetSelectedBlocks(Sel);
  EXPECT_EQ(Sel, std::vector<TAlgBlock*>{R.First});
  EXPECT_EQ(R.Alg.GetRoot()->GetBody()->GetBlockCount(), 3);

  QTest::keyClick(&E, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_GT(E.GetZoom(), 100);
  R.Step();
  EXPECT_EQ(E.GetMarkers().Next, R.Alg.GetRoot()->GetBody()->GetBlocks(1))
      << "following goes on at another zoom";
}

TEST(FlowjoggerForm, AFinishedRunStillShowsItsVariablesOutputAndPicture) {
  TLoopRun R;
  R.Form->SetMachine(&R.Machine);
  R.Form->CanvasFrame->cbGrid->click();
  R.Machine.Run(); // one bracket: the frames hear of the whole run at its end
  R.Form->SelectCurrentBlock();
  ASSERT_EQ(R.Machine.GetState(), amsDone);
  EXPECT_EQ(Rows(*R.Form->WatchesFrame), (std::vector<std::string>{"I=4", "S=6"}));
  EXPECT_EQ(R.Form->ConsoleFrame->memConsole->toPlainText(), QStringLiteral("1 1\n2 3\n3 6\n6"));
  const QImage Canvas = R.Form->CanvasFrame->pbxCanvas->grab().toImage();
  for (int I = 1; I <= 3; ++I)
    EXPECT_EQ(Canvas.pixelColor(9 * I, 171), QColor(255, 0, 0)) << I;
  EXPECT_EQ(Canvas.pixelColor(9, 100), QColor(160, 160, 164)) << "the grid";
  EXPECT_EQ(R.Form->AlgEditor->GetMarkers().Next, nullptr);
}

TEST(FlowjoggerForm, ResizingRepaintsTheCanvasLabels) {
  TLoopRun R;
  R.Form->SetMachine(&R.Machine);
  QCoreApplication::processEvents();
  struct TPaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* E) override {
      Paints += E->type() == QEvent::Paint;
      return false;
    }
    int Paints = 0;
  } Counter;
  R.Form->CanvasFrame->installEventFilter(&Counter);
  R.Form->resize(R.Form->width() + 40, R.Form->height() + 10);
  QCoreApplication::processEvents();
  EXPECT_GT(Counter.Paints, 0);
  R.Form->CanvasFrame->removeEventFilter(&Counter);
}

// The form lets go of the machine's objects when it goes first, and forgets
// them when detached before the machine goes.
TEST(FlowjoggerForm, DetachesInEitherOrder) {
  {
    TAlgorithm Alg;
    TAlgMachine Machine;
    auto Form = std::make_unique<TFlowjoggerForm>();
    Form->SetAlgorithm(&Alg);
    Form->SetMachine(&Machine);
    Form.reset();
    EXPECT_EQ(ListenerCount(Machine.GetStorage()), 0);
    EXPECT_EQ(ListenerCount(Machine.GetConsole()), 0);
    EXPECT_EQ(ListenerCount(Machine.GetCanvas()), 0);
    EXPECT_EQ(Alg.GetAspects(1)->GetListenerCount(), 0) << "selection listeners";
    Machine.GetStorage().SetVars("A", 1);
    Machine.GetConsole().AddLine("x");
  }
  {
    TAlgorithm Alg;
    auto Machine = std::make_unique<TAlgMachine>();
    TFlowjoggerForm Form;
    Form.SetAlgorithm(&Alg);
    Form.SetMachine(Machine.get());
    Form.SetMachine(nullptr);
    EXPECT_EQ(Form.GetMachine(), nullptr);
    EXPECT_EQ(Form.WatchesFrame->GetVars(), nullptr);
    EXPECT_EQ(Form.ConsoleFrame->GetConsole(), nullptr);
    EXPECT_EQ(Form.CanvasFrame->GetCanvas(), nullptr);
    Machine.reset();
    Form.SelectCurrentBlock();
    Form.grab();
  }
}

TEST(FlowjoggerForm, ErrorOriginAndBreakpointMarkersAndTheExplanation) {
  TLoopRun R;
  TFlowjoggerForm& F = *R.Form;
  F.SetMachine(&R.Machine);
  R.Step();
  F.SetErrorBlock(R.Print);
  F.SetOriginBlock(R.Draw);
  F.SetBreakpoints({{R.Last, true}});
  TChartMarkers M = F.AlgEditor->GetMarkers();
  EXPECT_EQ(M.Next, R.First) << "the other markers leave the next block alone";
  EXPECT_EQ(M.Error, R.Print);
  EXPECT_EQ(M.Origin, R.Draw);
  EXPECT_EQ(M.Breakpoints, (std::map<const TAlgBlock*, bool>{{R.Last, true}}));
  R.Step();
  EXPECT_EQ(F.AlgEditor->GetMarkers().Error, R.Print) << "stepping moves only the next block";
  F.SetErrorBlock(nullptr);
  F.SetOriginBlock(nullptr);
  F.SetBreakpoints({});
  EXPECT_EQ(F.AlgEditor->GetMarkers().Error, nullptr);
  EXPECT_EQ(F.AlgEditor->GetMarkers().Origin, nullptr);
  EXPECT_TRUE(F.AlgEditor->GetMarkers().Breakpoints.empty());

  EXPECT_FALSE(F.lblExplanation->isVisible());
  const int WatchTop = F.WatchesFrame->y();
  F.ShowExplanation("A = 5, B = 0\nДелить на нуль нельзя.");
  QCoreApplication::processEvents();
  EXPECT_TRUE(F.lblExplanation->isVisible());
  EXPECT_EQ(F.lblExplanation->text(), QStringLiteral("A = 5, B = 0\nДелить на нуль нельзя."));
  EXPECT_GE(F.lblExplanation->height(), 2 * F.lblExplanation->fontMetrics().height());
  EXPECT_GT(F.lblExplanation->y(), F.lblStatus->y());
  EXPECT_GT(F.WatchesFrame->y(), WatchTop) << "the frames make room";
  F.ShowExplanation("");
  QCoreApplication::processEvents();
  EXPECT_FALSE(F.lblExplanation->isVisible());
  EXPECT_EQ(F.WatchesFrame->y(), WatchTop);
}

TEST(FlowjoggerForm, DraggingThePanelWiderGrowsTheCanvasInWholeMultiples) {
  TLoopRun R;
  TFlowjoggerForm& F = *R.Form;
  F.resize(900, 700);
  F.SetMachine(&R.Machine);
  R.Machine.Run();
  QCoreApplication::processEvents();
  const QImage Before = F.pnlControls->grab().toImage();
  const auto LabelsBefore = F.CanvasFrame->GetLabels();
  const QImage Small = F.CanvasFrame->pbxCanvas->grab().toImage();
  ASSERT_EQ(Small.size(), QSize(181, 181));

  std::vector<int> Heard;
  F.OnPanelWidthChanged = [&](TFlowjoggerForm&, int W) { Heard.push_back(W); };
  // The pointer drags the panel's left edge 200 pixels to the left.
  auto Send = [&](QEvent::Type Type, int Dx, Qt::MouseButtons Buttons) {
    const QPointF Local(2, 50);
    QMouseEvent E(Type, Local, F.pnlSizer->mapToGlobal(Local) + QPointF(Dx, 0), Qt::LeftButton,
                  Buttons, {});
    QApplication::sendEvent(F.pnlSizer, &E);
  };
  Send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
  Send(QEvent::MouseMove, -100, Qt::LeftButton);
  Send(QEvent::MouseMove, -200, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, -200, {});
  QCoreApplication::processEvents();
  EXPECT_EQ(F.GetPanelWidth(), 409);
  EXPECT_EQ(Heard, (std::vector<int>{309, 409}));
  EXPECT_EQ(F.WatchesFrame->width(), 407) << "the lists widen with the panel";
  EXPECT_EQ(F.CanvasFrame->GetMagnification(), 2);
  EXPECT_EQ(F.CanvasFrame->pbxCanvas->geometry(), QRect(17, 0, 362, 362));
  EXPECT_EQ(F.CanvasFrame->cbGrid->pos(), QPoint(16, 381));
  const QImage Big = F.CanvasFrame->pbxCanvas->grab().toImage();
  for (int Y = 0; Y < 181; Y += 5)
    for (int X = 0; X < 181; X += 5)
      for (auto [Dx, Dy] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}})
        ASSERT_EQ(Big.pixel(2 * X + Dx, 2 * Y + Dy), Small.pixel(X, Y)) << X << "," << Y;
  // The labels: heights beside the box at twice the distance, widths under it.
  const auto Labels = F.CanvasFrame->GetLabels();
  EXPECT_EQ(Labels[1].Pos.Y, 10 * 18);
  EXPECT_EQ(Labels[2].Pos.Y, 362 + 2);
  EXPECT_EQ(Labels[4].Pos.X + Labels[4].Width, 17 + 362);

  // Back at the default width everything is as before.
  F.SetPanelWidth(100);
  QCoreApplication::processEvents();
  EXPECT_EQ(F.GetPanelWidth(), TFlowjoggerForm::DefaultPanelWidth);
  EXPECT_EQ(F.CanvasFrame->GetMagnification(), 1);
  EXPECT_EQ(F.CanvasFrame->GetLabels()[1].Pos.Y, LabelsBefore[1].Pos.Y);
  EXPECT_EQ(F.pnlControls->grab().toImage(), Before);
  F.SetPanelWidth(100000);
  EXPECT_EQ(F.GetPanelWidth(), TFlowjoggerForm::MaxPanelWidth);
}

TEST(FlowjoggerForm, GoingLeavesTheBlockTheRunStoodOnSelected) {
  TLoopRun R;
  R.Form->SetMachine(&R.Machine);
  R.Step();
  R.Step();
  R.Last->SetSelected(true);
  TAlgBlock* Stood = R.Machine.GetCurrentBlock();
  ASSERT_NE(Stood, R.Last);
  R.Form.reset();
  std::vector<TAlgBlock*> Sel;
  R.Alg.GetSelectedBlocks(Sel);
  EXPECT_EQ(Sel, std::vector<TAlgBlock*>{Stood});
}

// Over a host the form's panel stands in place of the host's, on the host's
// chart, read-only while it lives; going, it leaves the chart as editing
// finds it: editable, with the breakpoints but none of the run's marks.
TEST(FlowjoggerForm, OverAHostItSharesTheChartAndLeavesItAsItWas) {
  TLoopRun R;
  TAlgForm Host;
  Host.SetAlgorithm(&R.Alg);
  // High enough for the panel's frames: a lower one scrolls them and is
  // wider by the scroll bar.
  Host.resize(Host.width(), 500);
  Host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Host));
  const int ChartWidth = Host.sbxAlg->width();
  {
    TFlowjoggerForm Over(Host);
    Over.SetAlgorithm(&R.Alg);
    Over.ShowOverHost();
    QCoreApplication::processEvents();
    EXPECT_EQ(Over.GetHost(), &Host);
    EXPECT_EQ(Over.AlgEditor, Host.AlgEditor);
    EXPECT_EQ(Over.sbxAlg, Host.sbxAlg);
    EXPECT_EQ(Over.GetCodePane(), Host.GetCodePane());
    EXPECT_FALSE(Host.AlgEditor->GetEditable());
    EXPECT_TRUE(Host.pnlControls->isHidden());
    EXPECT_EQ(Over.geometry(), QRect(ChartWidth - 8, 0, 209, Host.height()))
        << "the wider panel narrows the chart";
    EXPECT_EQ(Host.AlgEditor->GetAlgorithm(), &R.Alg);

    Over.SetMachine(&R.Machine);
    R.Machine.Step();
    Over.SelectCurrentBlock();
    Over.SetErrorBlock(R.Last);
    Over.SetOriginBlock(R.First);
    Over.SetBreakpoints({{R.Print, false}});
    ASSERT_NE(Host.AlgEditor->GetMarkers().Next, nullptr);
  }
  EXPECT_TRUE(Host.AlgEditor->GetEditable());
  EXPECT_FALSE(Host.pnlControls->isHidden());
  EXPECT_EQ(Host.AlgEditor->GetAlgorithm(), &R.Alg) << "the chart still shows the algorithm";
  TChartMarkers Left;
  Left.Breakpoints = {{R.Print, false}};
  EXPECT_EQ(Host.AlgEditor->GetMarkers(), Left);
  EXPECT_EQ(Host.GetCodePane()->GetRunningBlock(), nullptr);
  EXPECT_EQ(ListenerCount(R.Machine.GetStorage()), 0);
}

// A panel lower than its frames (a large desktop font or scale on a small
// screen) scrolls them instead of cutting the last ones, and grows by the
// scroll bar so the frames keep their width.
TEST(FlowjoggerForm, ALowPanelScrollsItsFramesAndKeepsTheirSizes) {
  TFlowjoggerForm F;
  F.resize(489, 300);
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  QCoreApplication::processEvents();
  auto* Scroll = F.pnlControls->findChild<QScrollArea*>("sbxPanel");
  ASSERT_NE(Scroll, nullptr);
  EXPECT_GT(Scroll->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(F.CanvasFrame->height(), 232) << "not squeezed";
  EXPECT_EQ(F.WatchesFrame->width(), 207);
  EXPECT_EQ(F.GetPanelWidth(), TFlowjoggerForm::DefaultPanelWidth);
  EXPECT_GT(F.pnlControls->width(), TFlowjoggerForm::DefaultPanelWidth);
  // Tall enough again: no scroll bar, the panel at its width.
  F.resize(489, 600);
  QCoreApplication::processEvents();
  EXPECT_EQ(Scroll->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(F.pnlControls->width(), TFlowjoggerForm::DefaultPanelWidth);
}

TEST(FlowjoggerForm, AScreenReaderHearsTheNextBlockAndTheFailedOne) {
  TLoopRun R;
  R.Form->SetMachine(&R.Machine);
  R.Step();
  const TAlgEditor& E = *R.Form->AlgEditor;
  ASSERT_EQ(R.Machine.GetCurrentBlock(), R.First);
  EXPECT_EQ(E.RunDescription(R.First).toStdString(), "выполняется следующим");
  EXPECT_TRUE(E.RunDescription(R.Last).isEmpty());
  // A failure: the block says so with the message the status line shows.
  R.Draw->GetText().Put(0, "S=S/0");
  while (R.Machine.GetState() == amsReady) {
    try {
      R.Step();
    } catch (const Exception&) {
      R.Form->SelectCurrentBlock();
    }
  }
  R.Form->ShowRunStatus({rpError, 3, "Ошибка при вычислении \"S/0\"."});
  EXPECT_EQ(E.RunDescription(R.Draw).toStdString(), "ошибка: Ошибка при вычислении \"S/0\".");
  EXPECT_TRUE(E.RunDescription(R.First).isEmpty());
}
