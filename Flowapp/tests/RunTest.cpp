// Run, Step and Stop: the modes, the colours, the input dialog, and a run
// that keeps the window alive and answers F2 and the Stop button.

#include "FlowappTestUtils.h"

#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

constexpr TColor Blue = 0xFF0000, White = 0xFFFFFF, Aqua = 0xFFFF00, Lime = 0x00FF00,
                 Red = 0x0000FF, Black = 0x000000;
const std::string AbortMessage = "Выполнение прервано пользователем.";

class RunTest : public TFlowappTest {
protected:
  TAlgEditorForm* Open(const std::string& Example) {
    StartShell();
    TEditorForm* W = Shell->OpenFile(ExamplesDir + "/" + Example);
    auto* A = dynamic_cast<TAlgEditorForm*>(W);
    A->activateWindow();
    QApplication::setActiveWindow(A);
    return A;
  }
  static void Update(TAlgEditorForm* W) { W->UpdateActions(); }
  // An endless run that nothing else ends fails the test instead of
  // hanging the suite.
  void Watchdog(QObject* Context) {
    After(10000, Context, [this] {
      ADD_FAILURE() << "the run did not end";
      Hooks->GetAbortPoller().RequestAbort();
    });
  }
};

TEST_F(RunTest, StepEntersRunModeWithTheRootInGreenAndStepsOn) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=A+1"}});
  Alg.SelectBlock(Alg.GetRoot()->GetBody()->GetBlocks(1), true);

  W->AlgStepExecute();
  ASSERT_TRUE(W->GetRunning());
  ASSERT_NE(W->GetMachine(), nullptr);
  auto* Debugger = dynamic_cast<TFlowjoggerForm*>(W->GetChildView());
  ASSERT_NE(Debugger, nullptr);
  EXPECT_EQ(Debugger->GetMachine(), W->GetMachine());
  EXPECT_FALSE(Debugger->AlgEditor->GetEditable());
  // The first step processed the root and stopped on the first block, which
  // alone is selected, in green with black text, nothing else standing out.
  const TAlgColorScheme& Scheme = Alg.GetColorScheme();
  EXPECT_EQ(Scheme.GetSelectedBlockColor(), Lime);
  EXPECT_EQ(Scheme.GetSelectedBlockTextColor(), Black);
  EXPECT_EQ(Scheme.GetSemiselectedBlockColor(), Scheme.GetBlockColor());
  ASSERT_EQ(Alg.GetSelectedBlockCount(), 1);
  EXPECT_EQ(Alg.GetSelectedBlocksProperty(0), W->GetMachine()->GetCurrentBlock());
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);

  Update(W);
  EXPECT_TRUE(W->AlgStop->isEnabled());
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_TRUE(W->AlgStep->isEnabled());

  // Stepping on keeps the machine; the selection follows it.
  W->AlgStepExecute();
  EXPECT_EQ(Alg.GetSelectedBlocksProperty(0), W->GetMachine()->GetCurrentBlock());
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("A"), 1);

  // Run finishes it: done, Run and Step disabled, only Stop.
  W->AlgRunExecute();
  EXPECT_EQ(W->GetMachine()->GetState(), amsDone);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("B"), 2);
  Update(W);
  EXPECT_FALSE(W->AlgRun->isEnabled());
  EXPECT_FALSE(W->AlgStep->isEnabled());
  EXPECT_TRUE(W->AlgStop->isEnabled());
  EXPECT_TRUE(Errors.empty());

  // Stop and a new Run: a fresh machine from the start.
  W->AlgStopExecute();
  EXPECT_FALSE(W->GetRunning());
  W->AlgRunExecute();
  EXPECT_EQ(W->GetMachine()->GetState(), amsDone);
}

TEST_F(RunTest, AnErrorPaintsTheBlockRedAndStopRestoresTheEditView) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=0"}, {"B=1/A"}});

  W->AlgRun->trigger();
  ASSERT_EQ(Errors.size(), 1u) << "the error reaches the shell's error display";
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(W->GetMachine()->GetState(), amsError);
  EXPECT_EQ(Alg.GetColorScheme().GetSelectedBlockColor(), Red);
  ASSERT_EQ(Alg.GetSelectedBlockCount(), 1);
  EXPECT_EQ(Alg.GetSelectedBlocksProperty(0), Alg.GetRoot()->GetBody()->GetBlocks(1));
  Update(W);
  EXPECT_FALSE(W->AlgRun->isEnabled());
  EXPECT_FALSE(W->AlgStep->isEnabled());
  EXPECT_TRUE(W->AlgStop->isEnabled());

  // Step on an errored machine does nothing more.
  W->AlgStepExecute();
  EXPECT_EQ(Errors.size(), 1u);

  // Stop: default colours, the constructor form, the focus in the text box
  // because exactly one block is selected.
  W->show();
  W->activateWindow();
  QApplication::setActiveWindow(W);
  W->AlgStop->trigger();
  EXPECT_FALSE(W->GetRunning());
  EXPECT_EQ(W->GetMachine(), nullptr);
  const TAlgColorScheme& Scheme = Alg.GetColorScheme();
  EXPECT_EQ(Scheme.GetSelectedBlockColor(), Blue);
  EXPECT_EQ(Scheme.GetSelectedBlockTextColor(), White);
  EXPECT_EQ(Scheme.GetSemiselectedBlockColor(), Aqua);
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  EXPECT_EQ(W->focusWidget(), Constructor->memBlock);
  Update(W);
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_FALSE(W->AlgStop->isEnabled());
}

TEST_F(RunTest, InputAsksThroughTheApplicationModalDialogAndCancelAborts) {
  TAlgEditorForm* W = Open("maximum_of_inputs.alg");
  std::string Caption, Prompt;
  Qt::WindowModality Modality = Qt::NonModal;
  // The first question is answered, the second cancelled.
  TModalAnswers Answers({[&](QWidget* Modal) {
                           Caption = Modal->windowTitle().toStdString();
                           Modality = Modal->windowModality();
                           for (QLabel* L : Modal->findChildren<QLabel*>())
                             if (!L->text().isEmpty())
                               Prompt = L->text().toStdString();
                           Modal->findChild<QLineEdit*>()->setText("3");
                           qobject_cast<QDialog*>(Modal)->accept();
                         },
                         [](QWidget* Modal) { qobject_cast<QDialog*>(Modal)->reject(); }});
  W->AlgRun->trigger();
  EXPECT_EQ(Answers.Asked(), 2);
  EXPECT_EQ(Caption, "Ввод данных");
  EXPECT_EQ(Prompt, "Введите значение N:");
  EXPECT_EQ(Modality, Qt::ApplicationModal);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(AbortMessage), std::string::npos) << Errors[0];
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("N"), 3);
  EXPECT_EQ(W->GetMachine()->GetState(), amsError);
}

TEST_F(RunTest, F2EndsAnEndlessRunAndOtherInputWaits) {
  TAlgEditorForm* W = Open("endless_loop.alg");
  QPointer<TAlgEditorForm> Alive(W);
  int Painted = 0;
  // While the run holds the window: a key that would start a step, a click
  // on the flowchart and a close request are held back; the window paints;
  // then F2 ends the run.
  After(100, W, [&] {
    QTest::keyClick(W, Qt::Key_F8);
    W->close();
    W->GetChildView()->repaint();
    ++Painted;
  });
  After(300, W, [&] {
    // F2 counts while one of the program's windows is the active one.
    QApplication::setActiveWindow(W);
    QTest::keyClick(W, Qt::Key_F2);
  });
  Watchdog(W);
  W->AlgRun->trigger();
  ASSERT_FALSE(Alive.isNull()) << "the close request did not free the window under the run";
  EXPECT_EQ(Painted, 1);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(AbortMessage), std::string::npos) << Errors[0];
  EXPECT_EQ(W->GetMachine()->GetState(), amsError);
  EXPECT_EQ(W->GetAlgorithm().GetColorScheme().GetSelectedBlockColor(), Red);
  EXPECT_GT(W->GetMachine()->GetStorage().GetVars("I"), 0);
  EXPECT_FALSE(W->GetInRun());

  // After the run the keys are the commands' shortcuts again: F2 stops,
  // F8 steps into a fresh run.
  EXPECT_EQ(W->AlgStop->shortcut(), QKeySequence(Qt::Key_F2));
  Update(W);
  QTest::keyClick(W, Qt::Key_F2);
  EXPECT_FALSE(W->GetRunning());
  Update(W);
  QTest::keyClick(W, Qt::Key_F8);
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);
}

TEST_F(RunTest, TheStopButtonEndsAnEndlessRun) {
  TAlgEditorForm* W = Open("endless_loop.alg");
  After(200, W, [&] {
    QPoint Centre = W->tbStop->rect().center();
    QApplication::postEvent(
        W->tbStop, new QMouseEvent(QEvent::MouseButtonPress, Centre, W->tbStop->mapToGlobal(Centre),
                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QApplication::postEvent(W->tbStop,
                            new QMouseEvent(QEvent::MouseButtonRelease, Centre,
                                            W->tbStop->mapToGlobal(Centre), Qt::LeftButton,
                                            Qt::NoButton, Qt::NoModifier));
  });
  Watchdog(W);
  W->AlgRun->trigger();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(AbortMessage), std::string::npos) << Errors[0];
  // The run ended; the machine stays for the user to look at until Stop.
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(W->GetMachine()->GetState(), amsError);
}

} // namespace
