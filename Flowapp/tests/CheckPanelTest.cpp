// "Проверить" in the algorithm window: the test file beside the algorithm or
// the chosen one, the results panel (passed, failed and hidden cases, the
// lines side by side), the debugger started on a failed case with its own
// answers, and the messages for a missing or broken test file.

#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_CheckPanel.h"
#include "Flowcheck/tests/DivisionAlgorithm.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/MiscUtils_Bag.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <fstream>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const char* const Cases = "=== верный\n"
                          "< 2\n"
                          "> 5\n"
                          "> 2\n"
                          "=== вторая строка\n"
                          "< 5\n"
                          "> 2\n"
                          "> 6\n"
                          "=== скрытый\n"
                          "hidden\n"
                          "< 4321\n"
                          "> 777\n"
                          "=== ноль\n"
                          "< 0\n"
                          "> 1\n";

// Fails the test if the machine asks anybody but the case for input.
class TNoDialog : public IInputProvider {
public:
  TNoDialog() : FPrevious(SetInputProvider(this)) {}
  ~TNoDialog() override { SetInputProvider(FPrevious); }
  bool InputString(const std::string&, const std::string& Prompt, std::string&,
                   const TInputStringOptions&) override {
    ADD_FAILURE() << "input asked outside the case: " << Prompt;
    return false;
  }

private:
  IInputProvider* FPrevious;
};

class CheckPanelTest : public TFlowappTest {
protected:
  // a.alg in the home folder, with a.tests beside it when Tests is given.
  TAlgEditorForm* Open(const char* Tests) {
    TAlgorithm Alg;
    MakeDivisionAlgorithm(Alg);
    SaveObjectToFile(&Alg, Home + "/a.alg");
    if (Tests)
      std::ofstream(Home + "/a.tests") << Tests;
    StartShell();
    auto* W = dynamic_cast<TAlgEditorForm*>(Shell->OpenFile(Home + "/a.alg"));
    EXPECT_NE(W, nullptr);
    W->show();
    W->activateWindow();
    QApplication::setActiveWindow(W);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(W));
    W->UpdateActions();
    return W;
  }
  static void Check(TAlgEditorForm* W) {
    W->UpdateActions();
    W->AlgCheck->trigger();
    WaitForCheck(W);
  }
  // Turns the event loop until the check is over (at most ten seconds).
  static void WaitForCheck(QPointer<TAlgEditorForm> W) {
    QObject Guard;
    bool Late = false;
    After(10000, &Guard, [&] { Late = true; });
    while (W && W->GetChecking() && !Late)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(Late) << "the check did not end";
  }
  static QString Cell(QTableWidget* T, int Row, int Column) {
    QTableWidgetItem* I = T->item(Row, Column);
    return I ? I->text() : QString("<none>");
  }
  static std::string CurrentBlock(TAlgEditorForm* W) {
    const TAlgBlock* B = W->GetMachine() ? W->GetMachine()->GetCurrentBlock() : nullptr;
    return B ? DescribeBlock(B) : std::string();
  }
};

TEST_F(CheckPanelTest, ChecksEveryCaseIntoRowsAndHidesWhatAHiddenCaseHolds) {
  TAlgEditorForm* W = Open(Cases);
  EXPECT_EQ(W->AlgCheck->shortcut(), QKeySequence("Ctrl+F9"));
  EXPECT_EQ(W->GetTestFileName(), Home + "/a.tests");
  TCheckPanel* P = W->pnlCheck;
  EXPECT_FALSE(P->isVisible());

  // The cases go one by one from the event loop, not inside the command.
  W->AlgCheck->trigger();
  EXPECT_TRUE(W->GetChecking());
  EXPECT_TRUE(P->isVisible());
  EXPECT_EQ(P->tblCases->rowCount(), 0);
  EXPECT_TRUE(P->lblSummary->text().startsWith("Проверка: 0 из 4"));
  WaitForCheck(W);
  EXPECT_TRUE(Errors.empty()) << Errors.front();

  QTableWidget* T = P->tblCases;
  ASSERT_EQ(T->rowCount(), 4);
  EXPECT_TRUE(P->lblSummary->text().startsWith("Пройдено 1 из 4"))
      << P->lblSummary->text().toStdString();
  EXPECT_EQ(Cell(T, 0, 0), "верный");
  EXPECT_EQ(Cell(T, 0, 1), "пройден");
  EXPECT_EQ(Cell(T, 0, 2), "пройден");
  EXPECT_EQ(Cell(T, 1, 1), "не пройден");
  EXPECT_EQ(Cell(T, 1, 2).toStdString(), P->GetResults()[1].Reason);
  EXPECT_TRUE(Cell(T, 1, 2).contains("строка вывода 2"));
  EXPECT_EQ(Cell(T, 2, 2), "скрытый случай: не пройден");
  // A hidden case's name could give it away: the pupil sees its number.
  EXPECT_EQ(Cell(T, 2, 0), "скрытый случай 1");
  EXPECT_TRUE(Cell(T, 3, 2).contains("ошибка")) << Cell(T, 3, 2).toStdString();

  // The first failed case that shows why is open: the lines side by side,
  // the second marked as the first difference.
  EXPECT_EQ(P->GetSelectedCase(), 1);
  QTableWidget* L = P->tblLines;
  ASSERT_EQ(L->rowCount(), 2);
  EXPECT_EQ(Cell(L, 0, 1), "2");
  EXPECT_EQ(Cell(L, 0, 2), "2");
  EXPECT_EQ(Cell(L, 1, 0), "≠ 2");
  EXPECT_EQ(Cell(L, 1, 1), "6");
  EXPECT_EQ(Cell(L, 1, 2), "5");
  EXPECT_TRUE(L->item(1, 2)->font().bold());
  EXPECT_FALSE(L->item(0, 2)->font().bold());
  EXPECT_TRUE(P->lblCase->text().contains("Ввод: 5"));
  EXPECT_TRUE(P->btnDebug->isEnabled());

  // A hidden case: its verdict only, nowhere its answers or lines.
  P->SelectCase(2);
  EXPECT_FALSE(P->btnDebug->isEnabled());
  EXPECT_EQ(L->rowCount(), 0);
  EXPECT_FALSE(L->isVisibleTo(P));
  EXPECT_TRUE(P->lblCase->text().contains("скрытый случай: не пройден"));
  for (QWidget* Widget : P->findChildren<QWidget*>()) {
    QString Texts;
    if (auto* Label = qobject_cast<QLabel*>(Widget))
      Texts = Label->text();
    if (auto* Table = qobject_cast<QTableWidget*>(Widget))
      for (int R = 0; R < Table->rowCount(); ++R)
        for (int C = 0; C < Table->columnCount(); ++C)
          Texts += Cell(Table, R, C) + " " + Table->item(R, C)->toolTip();
    EXPECT_FALSE(Texts.contains("4321") || Texts.contains("777")) << Texts.toStdString();
  }
  P->SelectCase(0);
  EXPECT_FALSE(P->btnDebug->isEnabled());

  // The panel stays through Run and Stop.
  W->AlgStepExecute();
  EXPECT_TRUE(P->isVisible());
  EXPECT_EQ(T->rowCount(), 4);
  W->AlgStopExecute();
  EXPECT_TRUE(P->isVisible());
  P->btnClose->click();
  EXPECT_FALSE(P->isVisible());
}

TEST_F(CheckPanelTest, DebuggingAFailedCaseStopsBeforeTheBlockThatWentWrong) {
  TAlgEditorForm* W = Open(Cases);
  Check(W);
  TCheckPanel* P = W->pnlCheck;
  ASSERT_EQ(P->tblCases->rowCount(), 4);
  TNoDialog NoDialog;

  // A double click on the wrong second line's case, delivered to the
  // window as the window system does: stopped before the output block that
  // printed it, its answer given, no dialog.
  QTableWidget* T = P->tblCases;
  const QRect Row = T->visualItemRect(T->item(1, 0));
  const QPoint At = T->viewport()->mapTo(W, Row.center());
  QTest::mouseDClick(W->windowHandle(), Qt::LeftButton, Qt::NoModifier, At);
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(CurrentBlock(W), DescribeBlock(W->GetAlgorithm().GetRoot()->GetBody()->GetBlocks(3)));
  EXPECT_NE(CurrentBlock(W).find("Вывод X"), std::string::npos);
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);
  EXPECT_EQ(W->GetRunStatus().Steps, P->GetResults()[1].StopStep);
  EXPECT_EQ(W->GetRunStatus().Phase, rpStepping);
  auto* Debugger = dynamic_cast<TFlowjoggerForm*>(W->GetChildView());
  ASSERT_NE(Debugger, nullptr);
  EXPECT_TRUE(Debugger->lblExplanation->text().startsWith("Отладка случая \"вторая строка\""))
      << Debugger->lblExplanation->text().toStdString();
  EXPECT_EQ(Debugger->AlgEditor->GetMarkers().Next,
            W->GetAlgorithm().GetRoot()->GetBody()->GetBlocks(3));
  // The pupil steps on: the wrong line comes out.
  W->AlgStepExecute();
  EXPECT_NE(CurrentBlock(W).find("X<0"), std::string::npos);
  // Back before the input and on again: the case's answer is used again.
  const int64_t Stood = W->GetSession().GetStepNumber();
  for (int I = 0; I < 4; ++I)
    W->AlgStepBackExecute();
  EXPECT_EQ(W->GetSession().GetStepNumber(), Stood - 4);
  for (int I = 0; I < 4; ++I)
    W->AlgStepExecute();
  EXPECT_NE(CurrentBlock(W).find("X<0"), std::string::npos);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("X"), 5);
  EXPECT_TRUE(P->isVisible());
  EXPECT_TRUE(W->tbStop->isVisible());

  // The case that fails with an error, from the button: a fresh machine
  // stands before the block that fails, the error still to come.
  P->SelectCase(3);
  P->btnDebug->click();
  EXPECT_NE(CurrentBlock(W).find("Y=10/X"), std::string::npos);
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  W->AlgStepExecute();
  EXPECT_EQ(W->GetMachine()->GetState(), amsError);

  // A hidden or passed case is not debugged.
  W->AlgStopExecute();
  W->DebugCase(P->GetResults()[2]);
  W->DebugCase(P->GetResults()[0]);
  EXPECT_FALSE(W->GetRunning());
}

TEST_F(CheckPanelTest, AMissingOrBrokenTestFileIsNamedAndNothingIsChecked) {
  TAlgEditorForm* W = Open(nullptr);
  EXPECT_EQ(W->GetTestFileName(), "");
  W->AlgCheck->trigger();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(Home + "/a.tests"), std::string::npos) << Errors[0];
  EXPECT_NE(Errors[0].find("Выбрать тесты"), std::string::npos) << Errors[0];
  EXPECT_FALSE(W->GetChecking());
  EXPECT_FALSE(W->pnlCheck->isVisible());

  // An untitled algorithm has nowhere to look.
  AlgWindow(0)->UpdateActions();
  AlgWindow(0)->AlgCheck->trigger();
  ASSERT_EQ(Errors.size(), 2u);
  EXPECT_NE(Errors[1].find("не сохранён"), std::string::npos) << Errors[1];

  // A chosen file wins over the one beside; its mistake names it and the line.
  std::ofstream(Home + "/a.tests") << Cases;
  std::ofstream(Home + "/broken.tests") << "=== a\n> 1\nweight x\n";
  W->SetChosenTestFile(Home + "/broken.tests");
  EXPECT_EQ(W->GetTestFileName(), Home + "/broken.tests");
  W->UpdateActions();
  W->AlgCheck->trigger();
  ASSERT_EQ(Errors.size(), 3u);
  EXPECT_NE(Errors[2].find("broken.tests"), std::string::npos) << Errors[2];
  EXPECT_NE(Errors[2].find("3"), std::string::npos) << Errors[2];
  EXPECT_FALSE(W->GetChecking());
  EXPECT_FALSE(W->pnlCheck->isVisible());

  W->SetChosenTestFile("");
  Check(W);
  EXPECT_EQ(W->pnlCheck->tblCases->rowCount(), 4);
}

// An endless loop runs each case up to its step limit in slices of the
// event loop's time: the window answers meanwhile, editing the chart under a
// running case changes nothing of it, and the check starts over on the chart
// as it is now.
TEST_F(CheckPanelTest, AnEndlessLoopKeepsTheWindowAliveAndAnEditStartsTheCheckOver) {
  std::ofstream(Home + "/loop.tests") << "=== один\nsteps 20000000\n> 1\n"
                                         "=== два\nsteps 20000000\n> 2\n";
  TAlgEditorForm* W = Open(nullptr);
  W->SetChosenTestFile(Home + "/loop.tests");
  TAlgorithm& Alg = W->GetAlgorithm();
  {
    TModifyGuard Guard(Alg);
    Alg.GetRoot()->GetBody()->Clear();
    auto* While = TAlgBlock::Create<TWhileAlgBlock>(Alg.GetRoot()->GetBody());
    While->GetText().Add("1=1");
    TAlgBlock::Create<TBasicAlgBlock>(While->GetBody())->GetText().Add("J=1");
    TAlgBlock::Create<TBasicAlgBlock>(Alg.GetRoot()->GetBody())->GetText().Add("I=0");
  }
  int Turns = 0;
  QTimer Ticker;
  QObject::connect(&Ticker, &QTimer::timeout, [&] { ++Turns; });
  Ticker.start(5);
  W->UpdateActions();
  W->AlgCheck->trigger();
  // The event loop turns while the first case runs.
  ASSERT_TRUE(W->GetChecking());
  QElapsedTimer Clock;
  Clock.start();
  while (Turns <= 5 && W->GetChecking() && Clock.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_GT(Turns, 5);
  EXPECT_TRUE(W->pnlCheck->GetResults().empty()) << "still on the first case";
  // Meanwhile the chart changes: its first block, the loop, goes.
  {
    TModifyGuard Guard(Alg);
    Alg.GetRoot()->GetBody()->GetBlocks(0)->Free();
  }
  WaitForCheck(W);
  const std::vector<TCaseResult>& R = W->pnlCheck->GetResults();
  ASSERT_EQ(R.size(), 2u);
  // Started over on the chart as it is now: "I=0" ends at once.
  EXPECT_EQ(R[0].Failure, TCaseFailure::MissingOutput);
  EXPECT_EQ(R[1].Failure, TCaseFailure::MissingOutput);
  EXPECT_TRUE(Errors.empty());
}

} // namespace

TEST_F(CheckPanelTest, TheVerdictColumnFitsBothVerdictsWhateverTheFirstRowsSay) {
  TCheckPanel Panel;
  Panel.resize(1280, 200);
  Panel.BeginCheck("t.tests", 3);
  TCaseResult Passed;
  Passed.CaseName = "1";
  Panel.AddResults({Passed, Passed});
  TCaseResult Failed;
  Failed.CaseName = "2";
  Failed.Failure = TCaseFailure::OutputLine;
  Failed.Reason = "строка 1";
  Panel.AddResults({Failed});
  const QFontMetrics Metrics(Panel.tblCases->font());
  EXPECT_GE(Panel.tblCases->columnWidth(1), Metrics.horizontalAdvance("не пройден") + 8);
  EXPECT_GE(Panel.tblCases->columnWidth(1),
            Panel.tblCases->horizontalHeader()->fontMetrics().horizontalAdvance("Итог"));
}
