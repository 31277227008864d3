// The debugger in the algorithm window: the slow run, the step back with the
// answers reused, the changed variables and a value's origin, an error's
// explanation, a breakpoint condition that cannot be computed, the panel's
// width kept in the settings, and the one chart that Run and Stop keep.

#include "FlowappTestUtils.h"

#include "Corekit/IniFiles.h"
#include "Corekit/ui/AdvScrollBox.h"
#include "Flowedit/Flowedit_CodePane.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSplitter>
#include <QTableWidget>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

class DebuggerWindowTest : public TFlowappTest {
protected:
  TAlgEditorForm* Window() {
    StartShell();
    return AlgWindow();
  }
  static TFlowjoggerForm* View(TAlgEditorForm* W) {
    return dynamic_cast<TFlowjoggerForm*>(W->GetChildView());
  }
  // Turns the event loop until Done says so or Ms milliseconds have passed.
  static bool LoopUntil(const std::function<bool()>& Done, int Ms = 3000) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done() && Clock.elapsed() < Ms)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
  }
  static void LoopWhileRunning(TAlgEditorForm* W) {
    ASSERT_TRUE(LoopUntil([W] { return !W->GetInRun(); })) << "the run did not end";
  }
  static std::set<std::string> Changed(TAlgEditorForm* W) {
    return View(W)->WatchesFrame->GetChangedNames();
  }
  static void SelectVariable(TAlgEditorForm* W, const std::string& Name) {
    QTableWidget* List = View(W)->WatchesFrame->lvWatch;
    for (int Row = 0; Row < List->rowCount(); ++Row)
      if (List->item(Row, 0)->text().toStdString() == Name)
        List->selectRow(Row);
  }
};

// "Ввод N", then S = N * 2, printed.
TAlgBlock* AddInputAndDouble(TAlgorithm& Alg) {
  TModifyGuard Guard(Alg);
  auto* In = TAlgBlock::Create<TIOAlgBlock>(Alg.GetRoot()->GetBody());
  In->GetText().Add("Ввод N");
  auto* Double = TAlgBlock::Create<TBasicAlgBlock>(Alg.GetRoot()->GetBody());
  Double->GetText().Add("S=N*2");
  auto* Out = TAlgBlock::Create<TIOAlgBlock>(Alg.GetRoot()->GetBody());
  Out->GetText().Add("Вывод S");
  return Double;
}

} // namespace

TEST_F(DebuggerWindowTest, TheSlowRunAdvancesPausesIntoStepsFinishesAndStops) {
  TAlgEditorForm* W = Window();
  TAlgorithm& Alg = W->GetAlgorithm();
  {
    TModifyGuard Guard(Alg);
    auto* For = TAlgBlock::Create<TForAlgBlock>(Alg.GetRoot()->GetBody());
    For->GetText().Add("I=1,1000,1");
    TAlgBlock::Create<TBasicAlgBlock>(For->GetBody())->GetText().Add("S=I");
  }
  EXPECT_EQ(W->AlgSlowRun->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F9));
  EXPECT_TRUE(W->GetMergedToolActions().contains(W->AlgSlowRun));
  W->UpdateActions();
  EXPECT_TRUE(W->AlgSlowRun->isEnabled());
  EXPECT_FALSE(W->AlgStepBack->isEnabled()) << "nothing to go back to in editing";
  W->sldSpeed->setValue(50);
  EXPECT_EQ(W->GetSlowSpeed(), 50);
  EXPECT_EQ(W->lblSpeed->text().toStdString(), "50 шаг/с");

  W->AlgSlowRun->trigger();
  ASSERT_TRUE(W->GetSlowRun());
  EXPECT_FALSE(W->GetInRun()) << "the window is free between the steps";
  ASSERT_TRUE(LoopUntil([W] { return W->GetSession().GetStepNumber() >= 4; }));
  EXPECT_EQ(W->GetRunStatus().Phase, rpRunning);
  // The views follow each step: the next block and the changed variable.
  EXPECT_EQ(View(W)->AlgEditor->GetMarkers().Next, W->GetMachine()->GetCurrentBlock());
  EXPECT_FALSE(Changed(W).empty());

  // F8 pauses it into single steps.
  W->AlgStep->trigger();
  EXPECT_FALSE(W->GetSlowRun());
  const int64_t Paused = W->GetSession().GetStepNumber();
  LoopUntil([] { return false; }, 200); // ten steps' time at this speed
  EXPECT_EQ(W->GetSession().GetStepNumber(), Paused);
  W->AlgStep->trigger();
  EXPECT_EQ(W->GetSession().GetStepNumber(), Paused + 1);

  // Shift+F9 again goes on slowly, F9 finishes at full speed.
  W->AlgSlowRun->trigger();
  ASSERT_TRUE(W->GetSlowRun());
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  EXPECT_FALSE(W->GetSlowRun());
  EXPECT_EQ(W->GetRunStatus().Phase, rpDone);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("S"), 1000);

  // F2 ends a slow run, and a breakpoint stops one.
  W->AlgSlowRun->trigger();
  ASSERT_TRUE(LoopUntil([W] { return W->GetSession().GetStepNumber() >= 2; }));
  W->AlgStop->trigger();
  EXPECT_FALSE(W->GetSlowRun());
  EXPECT_EQ(W->GetRunStatus().Phase, rpStopped);
  EXPECT_TRUE(W->GetRunning());
  TAlgBlock* Body = Alg.GetRoot()->GetBody()->GetBlocks(0)->GetBlocks(0)->GetBlocks(0);
  W->GetBreakpoints().Set(Body, "I=2");
  W->AlgSlowRun->trigger();
  ASSERT_TRUE(LoopUntil([W] { return !W->GetSlowRun(); }));
  EXPECT_EQ(W->GetMachine()->GetCurrentBlock(), Body);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("I"), 2);
  EXPECT_EQ(W->GetRunStatus().Phase, rpStepping);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(DebuggerWindowTest, StepBackMarksTheChangeAndStepsOnWithTheAnswerGiven) {
  TAlgEditorForm* W = Window();
  TAlgBlock* Double = AddInputAndDouble(W->GetAlgorithm());
  TModalAnswers Answers({[](QWidget* Modal) {
    Modal->findChild<QLineEdit*>()->setText("4");
    qobject_cast<QDialog*>(Modal)->accept();
  }});
  W->AlgStep->trigger(); // the root
  W->UpdateActions();
  EXPECT_TRUE(W->AlgStepBack->isEnabled());
  W->AlgStep->trigger(); // the input
  EXPECT_EQ(Changed(W), std::set<std::string>{"N"}) << "a new variable is marked too";
  W->AlgStep->trigger(); // S=N*2
  EXPECT_EQ(Changed(W), std::set<std::string>{"S"});
  W->AlgStep->trigger(); // printed
  ASSERT_EQ(Answers.Asked(), 1);
  EXPECT_TRUE(Changed(W).empty());
  EXPECT_EQ(View(W)->ConsoleFrame->memConsole->toPlainText().toStdString(), "8");

  // Back before the output, then before S=N*2: the line and S are gone.
  W->AlgStepBack->trigger();
  EXPECT_EQ(W->GetSession().GetStepNumber(), 3);
  EXPECT_EQ(View(W)->ConsoleFrame->memConsole->toPlainText().toStdString(), "");
  EXPECT_EQ(Changed(W), std::set<std::string>{"S"});
  W->AlgStepBack->trigger();
  EXPECT_EQ(W->GetMachine()->GetCurrentBlock(), Double);
  EXPECT_EQ(View(W)->AlgEditor->GetMarkers().Next, Double);
  EXPECT_EQ(View(W)->WatchesFrame->lvWatch->rowCount(), 1) << "only N exists here";
  EXPECT_EQ(Changed(W), std::set<std::string>{"N"});
  EXPECT_EQ(W->GetRunStatus().Steps, 2);

  // Back to the very start and forward again: the answer is not asked again.
  W->AlgStepBack->trigger();
  W->AlgStepBack->trigger();
  EXPECT_EQ(W->GetSession().GetStepNumber(), 0);
  W->UpdateActions();
  EXPECT_FALSE(W->AlgStepBack->isEnabled());
  for (int I = 0; I < 4; ++I)
    W->AlgStep->trigger();
  EXPECT_EQ(Answers.Asked(), 1);
  EXPECT_EQ(W->GetRunStatus().Phase, rpDone);
  EXPECT_EQ(View(W)->ConsoleFrame->memConsole->toPlainText().toStdString(), "8");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(DebuggerWindowTest, SelectingAVariableMarksTheBlockItsValueCameFrom) {
  TAlgEditorForm* W = Window();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=2"}, {"A=A+B"}, {"C=0"}});
  TAlgBlock* Third = Alg.GetRoot()->GetBody()->GetBlocks(2);
  Alg.SelectBlock(Alg.GetRoot()->GetBody()->GetBlocks(3), true);
  W->UpdateActions();
  W->AlgBreakpoint->trigger();
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  SelectVariable(W, "A");
  EXPECT_EQ(View(W)->AlgEditor->GetMarkers().Origin, Third);
  EXPECT_EQ(View(W)->WatchesFrame->lblNote->text().toStdString(),
            "Переменная A получила значение на шаге 4 (блок отмечен синим).");
  SelectVariable(W, "B");
  EXPECT_EQ(View(W)->AlgEditor->GetMarkers().Origin, Alg.GetRoot()->GetBody()->GetBlocks(1));
  View(W)->WatchesFrame->lvWatch->clearSelection();
  EXPECT_EQ(View(W)->AlgEditor->GetMarkers().Origin, nullptr);
  EXPECT_TRUE(View(W)->WatchesFrame->lblNote->isHidden());
}

TEST_F(DebuggerWindowTest, AnErrorIsExplainedAndABadConditionSaysWhy) {
  TAlgEditorForm* W = Window();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=5", "B=0"}, {"C=A/B"}});
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(View(W)->lblExplanation->text().toStdString(),
            "A = 5, B = 0\nДеление на ноль: делитель \"B\" равен 0.");
  EXPECT_FALSE(View(W)->lblExplanation->isHidden());
  // Back before the failing step: the explanation goes with the error.
  W->AlgStepBack->trigger();
  EXPECT_EQ(W->GetRunStatus().Phase, rpStepping);
  EXPECT_TRUE(View(W)->lblExplanation->isHidden());

  W->AlgStop->trigger();
  W->GetBreakpoints().Set(Alg.GetRoot()->GetBody()->GetBlocks(1), "A=(");
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  EXPECT_EQ(W->GetRunStatus().Phase, rpStepping);
  EXPECT_EQ(W->GetMachine()->GetCurrentBlock(), Alg.GetRoot()->GetBody()->GetBlocks(1));
  EXPECT_NE(View(W)->lblExplanation->text().toStdString().find(
                "Условие точки останова \"A=(\" не вычисляется"),
            std::string::npos);
}

TEST_F(DebuggerWindowTest, WhyABreakpointStoppedGoesWhenTheRunGoesOn) {
  TAlgEditorForm* W = Window();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=2"}});
  W->GetBreakpoints().Set(Alg.GetRoot()->GetBody()->GetBlocks(1), "A=(");
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  ASSERT_FALSE(View(W)->lblExplanation->isHidden());
  W->GetBreakpoints().Clear();
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  EXPECT_EQ(W->GetRunStatus().Phase, rpDone);
  EXPECT_TRUE(View(W)->lblExplanation->isHidden());
}

TEST_F(DebuggerWindowTest, ThePanelWidthAndTheSpeedAreKeptInTheSettings) {
  TAlgEditorForm* W = Window();
  AddBlocks(W->GetAlgorithm(), {{"A=1"}});
  W->AlgStep->trigger();
  TFlowjoggerForm* D = View(W);
  EXPECT_EQ(D->GetPanelWidth(), TFlowjoggerForm::DefaultPanelWidth);
  D->SetPanelWidth(420);
  D->OnPanelWidthChanged(*D, D->GetPanelWidth());
  W->SetSlowSpeed(12);
  W->AlgStop->trigger();
  ASSERT_FALSE(W->GetRunning());
  const TIniFile& Settings = *Shell->GetSettings();
  EXPECT_EQ(Settings.ReadString("Debugger", "PanelWidth", ""), "420");
  EXPECT_EQ(Settings.ReadString("Debugger", "SlowSpeed", ""), "12");
  // The same run's next start, and a window opened later, use them.
  W->AlgStep->trigger();
  EXPECT_EQ(View(W)->GetPanelWidth(), 420);
  auto* Other = dynamic_cast<TAlgEditorForm*>(Shell->CreateEditor(&TAlgEditorForm::StaticClass()));
  ASSERT_NE(Other, nullptr);
  EXPECT_EQ(Other->GetSlowSpeed(), 12);
  Other->AlgStep->trigger();
  EXPECT_EQ(View(Other)->GetPanelWidth(), 420);
}

TEST_F(DebuggerWindowTest, TheZoomStaysThroughRunStepAndStop) {
  TAlgEditorForm* W = Window();
  AddBlocks(W->GetAlgorithm(), {{"A=1"}, {"B=2"}});
  W->SetZoom(150);
  EXPECT_EQ(W->lblZoom->text().toStdString(), "150 %");
  W->AlgRun->trigger();
  LoopWhileRunning(W);
  ASSERT_NE(View(W), nullptr);
  EXPECT_EQ(View(W)->AlgEditor->GetZoom(), 150);
  W->ViewZoomIn->trigger();
  const int Larger = W->GetZoom();
  EXPECT_GT(Larger, 150);
  EXPECT_EQ(W->lblZoom->text().toStdString(), std::to_string(Larger) + " %");
  W->AlgStop->trigger();
  ASSERT_FALSE(W->GetRunning());
  EXPECT_EQ(W->GetChildView()->AlgEditor->GetZoom(), Larger);
  W->AlgStep->trigger();
  EXPECT_EQ(View(W)->AlgEditor->GetZoom(), Larger);
  W->ViewZoomNormal->trigger();
  EXPECT_EQ(View(W)->AlgEditor->GetZoom(), 100);
}

// Run and Stop change only the panel beside the chart: the chart, its scroll
// box, the splitter and the code pane are the same objects throughout, and
// so keep their zoom, scroll position, sizes and language by themselves.
TEST_F(DebuggerWindowTest, RunAndStopKeepTheOneChartAndSwapOnlyThePanel) {
  TAlgEditorForm* W = Window();
  std::vector<std::vector<std::string>> Blocks;
  for (int I = 0; I < 40; ++I)
    Blocks.push_back({"A=" + std::to_string(I)});
  AddBlocks(W->GetAlgorithm(), Blocks);
  W->resize(700, 400);
  W->UpdateActions();
  W->ViewProgram->trigger();
  TAlgForm* Form = W->GetForm();
  ASSERT_NE(Form, nullptr);
  ASSERT_TRUE(Form->IsCodePaneVisible());
  TAlgEditor* Editor = Form->AlgEditor;
  TAdvScrollBox* Box = Form->sbxAlg;
  QSplitter* Splitter = Form->splCode;
  TCodePane* Code = Form->GetCodePane();
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  EXPECT_EQ(Constructor->AlgEditor, Editor);
  EXPECT_FALSE(Form->pnlControls->isVisible()) << "the constructor's panel stands in its place";
  EXPECT_TRUE(Constructor->memBlock->isVisible());

  W->SetZoom(150);
  Code->SetLanguage(TCodeLanguage::Pascal);
  Splitter->setSizes({300, 250});
  QCoreApplication::processEvents();
  const QList<int> Sizes = Splitter->sizes();
  Box->SetVertPosition(120);
  const int Scroll = Box->GetVertPosition();
  ASSERT_GT(Scroll, 0) << "the chart is taller than the window";

  W->AlgStep->trigger();
  ASSERT_TRUE(W->GetRunning());
  TFlowjoggerForm* D = View(W);
  ASSERT_NE(D, nullptr);
  EXPECT_EQ(W->GetForm(), Form);
  EXPECT_EQ(D->AlgEditor, Editor);
  EXPECT_EQ(D->GetCodePane(), Code);
  EXPECT_FALSE(Editor->GetEditable());
  EXPECT_TRUE(D->WatchesFrame->isVisible());
  EXPECT_EQ(W->findChildren<TAlgConstructorForm*>().size(), 0);
  EXPECT_EQ(Editor->GetZoom(), 150);
  EXPECT_EQ(Box->GetVertPosition(), Scroll);
  EXPECT_EQ(Code->GetLanguage(), TCodeLanguage::Pascal);
  EXPECT_NE(Editor->GetMarkers().Next, nullptr);
  W->AlgStep->trigger();
  ASSERT_NE(Code->GetRunningBlock(), nullptr);

  W->AlgStop->trigger();
  ASSERT_FALSE(W->GetRunning());
  QCoreApplication::processEvents();
  Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  EXPECT_EQ(W->findChildren<TFlowjoggerForm*>().size(), 0);
  EXPECT_EQ(Constructor->AlgEditor, Editor);
  EXPECT_EQ(Form->sbxAlg, Box);
  EXPECT_EQ(Form->GetCodePane(), Code);
  EXPECT_TRUE(Editor->GetEditable());
  EXPECT_EQ(Editor->GetZoom(), 150);
  EXPECT_EQ(W->GetZoom(), 150);
  EXPECT_EQ(Box->GetVertPosition(), Scroll);
  EXPECT_EQ(Splitter->sizes(), Sizes);
  EXPECT_EQ(Code->GetLanguage(), TCodeLanguage::Pascal);
  EXPECT_TRUE(Form->IsCodePaneVisible());
  // The run's marks go with the run.
  EXPECT_EQ(Editor->GetMarkers().Next, nullptr);
  EXPECT_EQ(Editor->GetMarkers().Error, nullptr);
  EXPECT_EQ(Code->GetRunningBlock(), nullptr);
}
