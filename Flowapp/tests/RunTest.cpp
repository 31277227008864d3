// Run, Step and Stop: the modes, the colours, the input dialog, the status
// line, and a Run in slices that leaves the window responsive: the views
// follow it, and the Stop button, F2 and close requests end it.

#include "FlowappTestUtils.h"

#include "Corekit/ui/CommonDialogs.h"
#include "Corekit/ui/dlgInputString.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

constexpr TColor Blue = 0xFF0000, White = 0xFFFFFF, Aqua = 0xFFFF00, Lime = 0x00FF00,
                 Red = 0x0000FF, Black = 0x000000;
const std::string AbortMessage = "Выполнение прервано пользователем.";

// An error box's text up to its first blank line: the machine's message.
std::string FirstParagraph(const std::string& Text) {
  return Text.substr(0, Text.find("\n\n"));
}

// Counts the machine's interaction notices: each is one update of the views.
class TViewCount : public IOnNotify {
public:
  explicit TViewCount(std::function<void()> OnNotice = {}) : FOnNotice(std::move(OnNotice)) {}
  void Notify(TObject*) override {
    ++Count;
    if (FOnNotice)
      FOnNotice();
  }
  int Count = 0;

private:
  std::function<void()> FOnNotice;
};

// Counts the paint events of the widget it watches.
class TPaintCount : public QObject {
public:
  explicit TPaintCount(QWidget* Widget) { Widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* Event) override {
    if (Event->type() == QEvent::Paint)
      ++Count;
    return false;
  }
  int Count = 0;
};

class RunTest : public TFlowappTest {
protected:
  TAlgEditorForm* Open(const std::string& Example) {
    StartShell();
    TEditorForm* W = Shell->OpenFile(ExamplesDir + "/" + Example);
    return Activate(dynamic_cast<TAlgEditorForm*>(W));
  }
  static TAlgEditorForm* Activate(TAlgEditorForm* W) {
    W->show();
    W->activateWindow();
    QApplication::setActiveWindow(W);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(W));
    return W;
  }
  static void Update(TAlgEditorForm* W) { W->UpdateActions(); }
  static TFlowjoggerForm* Debugger(TAlgEditorForm* W) {
    return dynamic_cast<TFlowjoggerForm*>(W->GetChildView());
  }
  // The block the debugger marks as the next one, and as the failed one.
  static const TAlgBlock* NextMarked(TAlgEditorForm* W) {
    return Debugger(W)->AlgEditor->GetMarkers().Next;
  }
  static const TAlgBlock* ErrorMarked(TAlgEditorForm* W) {
    return Debugger(W)->AlgEditor->GetMarkers().Error;
  }
  static std::string Status(TAlgEditorForm* W) {
    return Debugger(W)->lblStatus->text().toStdString();
  }
  // Turns the event loop until the window's Run has ended; an endless run
  // that nothing ends fails the test instead of hanging the suite.
  static void LoopUntilRunEnds(QPointer<TAlgEditorForm> W) {
    QObject Guard;
    bool Late = false;
    After(10000, &Guard, [&] { Late = true; });
    while (W && W->GetInRun() && !Late)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (Late) {
      ADD_FAILURE() << "the run did not end";
      W->AlgStopExecute();
    }
  }
  // The Stop button clicked as the window system delivers a click: to the
  // window, which hands it to the control under the pointer.
  static void ClickStop(TAlgEditorForm* W) {
    const QPoint At = W->tbStop->mapTo(W, W->tbStop->rect().center());
    QTest::mouseClick(W->windowHandle(), Qt::LeftButton, Qt::NoModifier, At);
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
  ASSERT_NE(Debugger(W), nullptr);
  EXPECT_EQ(Debugger(W)->GetMachine(), W->GetMachine());
  EXPECT_FALSE(Debugger(W)->AlgEditor->GetEditable());
  // The first step processed the root and stopped on the first block, which
  // alone is marked; the selection's colours would show it green with black
  // text, nothing else standing out, but nothing is selected.
  const TAlgColorScheme& Scheme = Alg.GetColorScheme();
  EXPECT_EQ(Scheme.GetSelectedBlockColor(), Lime);
  EXPECT_EQ(Scheme.GetSelectedBlockTextColor(), Black);
  EXPECT_EQ(Scheme.GetSemiselectedBlockColor(), Scheme.GetBlockColor());
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 0);
  ASSERT_NE(W->GetMachine()->GetCurrentBlock(), nullptr);
  EXPECT_EQ(NextMarked(W), W->GetMachine()->GetCurrentBlock());
  EXPECT_EQ(ErrorMarked(W), nullptr);
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);
  EXPECT_EQ(Status(W), "Пошаговое выполнение. Шагов: 1");

  Update(W);
  EXPECT_TRUE(W->AlgStop->isEnabled());
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_TRUE(W->AlgStep->isEnabled());

  // Stepping on keeps the machine; the marker follows it.
  W->AlgStepExecute();
  EXPECT_EQ(NextMarked(W), W->GetMachine()->GetCurrentBlock());
  EXPECT_EQ(NextMarked(W), Alg.GetRoot()->GetBody()->GetBlocks(1));
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("A"), 1);

  // Run finishes it, and the status line says so, with the steps of the
  // whole run; nothing is marked any more.
  const TAlgMachine* Machine = W->GetMachine();
  W->AlgRunExecute();
  EXPECT_FALSE(W->GetInRun());
  EXPECT_EQ(W->GetMachine(), Machine);
  EXPECT_EQ(W->GetMachine()->GetState(), amsDone);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("B"), 2);
  EXPECT_EQ(Status(W), "Выполнение завершено. Шагов: 3");
  EXPECT_TRUE(Debugger(W)->AlgEditor->GetMarkers().Empty());
  EXPECT_TRUE(Errors.empty());

  // Run and Step stay enabled on a finished run and start it again from
  // the beginning: a fresh machine, nothing of the last run kept.
  Update(W);
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_TRUE(W->AlgStep->isEnabled());
  EXPECT_TRUE(W->AlgStop->isEnabled());
  W->AlgStepExecute();
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVarCount(), 0);
  EXPECT_EQ(NextMarked(W), Alg.GetRoot()->GetBody()->GetBlocks(0));
  EXPECT_EQ(Status(W), "Пошаговое выполнение. Шагов: 1");
  W->AlgStepExecute();
  W->AlgStepExecute();
  EXPECT_EQ(Status(W), "Выполнение завершено. Шагов: 3");
  W->AlgRunExecute();
  EXPECT_EQ(W->GetMachine()->GetState(), amsDone);
  EXPECT_EQ(Status(W), "Выполнение завершено. Шагов: 3");

  // Stop goes back to editing, and a new Run starts a fresh machine.
  W->AlgStopExecute();
  EXPECT_FALSE(W->GetRunning());
  W->AlgRunExecute();
  EXPECT_EQ(W->GetMachine()->GetState(), amsDone);
}

TEST_F(RunTest, TheErrorBoxExplainsWhatThePanelExplains) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  AddBlocks(W->GetAlgorithm(), {{"N=5"}, {"X=1/(N-N)"}});
  W->AlgRun->trigger();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Ошибка при вычислении \"1/(N-N)\".\n\n"
                       "N = 5\nДеление на ноль: делитель \"(N-N)\" равен 0.");
  W->AlgStop->trigger();

  // A Russian letter in a name: the hint comes first under the message.
  TCompoundAlgBlock* Body = W->GetAlgorithm().GetRoot()->GetBody();
  while (Body->GetBlockCount() > 0)
    Body->GetBlocks(0)->Free();
  AddBlocks(W->GetAlgorithm(), {{"A=1", "X=A+\xD0\x92"}}); // a Cyrillic В
  W->AlgRun->trigger();
  ASSERT_EQ(Errors.size(), 2u);
  const std::string& Box = Errors[1];
  const size_t Hint = Box.find("В имени");
  ASSERT_NE(Hint, std::string::npos) << Box;
  EXPECT_EQ(Box.rfind("\n\n", Hint), Box.find("\n\n")) << "right under the message: " << Box;
  W->AlgStop->trigger();
}

TEST_F(RunTest, AnErrorPaintsTheBlockRedSaysSoAndStopRestoresTheEditView) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=0"}, {"B=1/A"}});

  W->AlgRun->trigger();
  ASSERT_EQ(Errors.size(), 1u) << "the error reaches the shell's error display";
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(W->GetMachine()->GetState(), amsError);
  EXPECT_EQ(Alg.GetColorScheme().GetSelectedBlockColor(), Red);
  EXPECT_EQ(ErrorMarked(W), Alg.GetRoot()->GetBody()->GetBlocks(1));
  EXPECT_EQ(NextMarked(W), nullptr);
  // The box says what the status line says, and explains it under it.
  EXPECT_TRUE(Status(W).starts_with("Ошибка. Шагов: 2\n" + FirstParagraph(Errors[0]))) << Status(W);
  Update(W);
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_TRUE(W->AlgStep->isEnabled());
  EXPECT_TRUE(W->AlgStop->isEnabled());

  // Step on the failed run starts again: green, on the first block.
  W->AlgStepExecute();
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(W->GetMachine()->GetState(), amsReady);
  EXPECT_EQ(Alg.GetColorScheme().GetSelectedBlockColor(), Lime);
  EXPECT_EQ(NextMarked(W), Alg.GetRoot()->GetBody()->GetBlocks(0));
  EXPECT_EQ(ErrorMarked(W), nullptr);
  W->AlgStepExecute();
  W->AlgStepExecute();
  EXPECT_EQ(Errors.size(), 2u) << "the error of a step is shown as well";
  EXPECT_EQ(Alg.GetColorScheme().GetSelectedBlockColor(), Red);
  EXPECT_EQ(ErrorMarked(W), Alg.GetRoot()->GetBody()->GetBlocks(1));
  EXPECT_TRUE(Status(W).starts_with("Ошибка. Шагов: 2\n" + FirstParagraph(Errors[1]))) << Status(W);

  // Stop: default colours, the constructor form, the focus in the text box
  // because exactly one block is selected.
  Activate(W);
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

TEST_F(RunTest, InputAsksThroughTheApplicationModalDialogAndCancelStopsTheRun) {
  TAlgEditorForm* W = Open("maximum_of_inputs.alg");
  std::string Caption, Prompt;
  Qt::WindowModality Modality = Qt::NonModal;
  const TAlgBlock* SelectedWhileAsking = nullptr;
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
                         [&](QWidget* Modal) {
                           SelectedWhileAsking = NextMarked(W);
                           qobject_cast<QDialog*>(Modal)->reject();
                         }});
  W->AlgRun->trigger();
  LoopUntilRunEnds(W);
  EXPECT_EQ(Answers.Asked(), 2);
  EXPECT_EQ(Caption, "Ввод данных");
  EXPECT_EQ(Prompt, "Введите значение N:");
  EXPECT_EQ(Modality, Qt::ApplicationModal);
  // The block that asks is the one shown while it asks.
  EXPECT_EQ(SelectedWhileAsking, W->GetMachine()->GetCurrentBlock());
  // Cancel is the pupil stopping the run, as Stop and F2 are: no error box,
  // the status says it stopped.
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVars("N"), 3);
  EXPECT_EQ(Status(W).rfind("Остановлено", 0), 0u) << Status(W);
  EXPECT_EQ(Status(W).find(AbortMessage), std::string::npos) << Status(W);

  // The same for a step that asks: F8 onto the input block, where the
  // answers above, having none left, cancel the dialog.
  Update(W);
  W->AlgStop->trigger();
  for (int K = 0; K < 4 && Answers.Asked() == 2; ++K) {
    Update(W);
    W->AlgStep->trigger();
  }
  EXPECT_EQ(Answers.Asked(), 3);
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Status(W).rfind("Остановлено", 0), 0u) << Status(W);
}

TEST_F(RunTest, AnAnswerThatIsNoNumberIsAskedAgainWithTheReasonAndTheRunGoesOn) {
  TAlgEditorForm* W = Open("maximum_of_inputs.alg");
  QString Refusal;
  bool StillAsking = false;
  auto Answer = [](QWidget* Modal, const char* Text) {
    auto* Edit = Modal->findChild<QLineEdit*>();
    Edit->setText(QString::fromUtf8(Text));
    QTest::keyClick(Edit, Qt::Key_Return);
  };
  // N = "2,0" first: refused in the dialog, which stays; then 2, 3 and 9.
  TModalAnswers Answers({[&](QWidget* Modal) {
                           Answer(Modal, "2,0");
                           StillAsking = Modal->isVisible();
                           Refusal = qobject_cast<TInputStringForm*>(Modal)->lblRefusal->text();
                           Answer(Modal, "2");
                         },
                         [&](QWidget* Modal) { Answer(Modal, "3"); },
                         [&](QWidget* Modal) { Answer(Modal, "9"); }});
  W->AlgRun->trigger();
  LoopUntilRunEnds(W);
  EXPECT_EQ(Answers.Asked(), 3);
  EXPECT_TRUE(StillAsking);
  EXPECT_EQ(Refusal.toStdString(),
            "\"2,0\" не является числом.\nДробную часть отделяйте точкой: 2.0");
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(W->GetMachine()->GetState(), amsDone);
  EXPECT_EQ(Debugger(W)->ConsoleFrame->memConsole->toPlainText(), "9");
}

TEST_F(RunTest, TheStopButtonAndF2EndARunGoingInSlicesAndOtherInputActs) {
  TAlgEditorForm* W = Open("endless_loop.alg");
  TAlgorithm& Alg = W->GetAlgorithm();
  for (int Round = 0; Round < 2; ++Round) {
    // F9 on the stopped run of the first round starts afresh.
    W->AlgRun->trigger();
    ASSERT_TRUE(W->GetInRun()) << "Run returns to the event loop";
    // The first slice has run; its steps show at once.
    EXPECT_EQ(Status(W), "Выполняется. Шагов: " + std::to_string(W->GetRunStatus().Steps));
    EXPECT_GT(W->GetRunStatus().Steps, 0);
    Update(W);
    EXPECT_FALSE(W->AlgRun->isEnabled());
    EXPECT_FALSE(W->AlgStep->isEnabled());
    EXPECT_TRUE(W->AlgStop->isEnabled());
    bool StoppedAtOnce = false;
    int64_t StepsAtStop = 0;
    TPaintCount Paints(Debugger(W)->AlgEditor);
    int PaintsDuringRun = 0;
    // Between slices the loop paints and takes input: F8 is refused, a
    // click on the flowchart selects nothing; then the stop, as a user gives
    // it, from the loop that runs the slices.
    After(60, W, [&] {
      QTest::keyClick(W->windowHandle(), Qt::Key_F8);
      const QPoint Chart = Debugger(W)->AlgEditor->mapTo(W, QPoint(60, 60));
      QTest::mouseClick(W->windowHandle(), Qt::LeftButton, Qt::NoModifier, Chart);
      EXPECT_TRUE(W->GetInRun());
      PaintsDuringRun = Paints.Count;
      if (Round == 0)
        ClickStop(W);
      else
        QTest::keyClick(W->windowHandle(), Qt::Key_F2);
      StoppedAtOnce = !W->GetInRun();
      StepsAtStop = W->GetRunStatus().Steps;
    });
    LoopUntilRunEnds(W);
    EXPECT_TRUE(StoppedAtOnce) << "round " << Round;
    EXPECT_GT(PaintsDuringRun, 0) << "the flowchart is painted during the run";
    // Ended as F2 ends it: the machine stopped with the user's abort where
    // it stood, the block marked, the status saying so and no message.
    ASSERT_TRUE(W->GetRunning());
    EXPECT_EQ(W->GetMachine()->GetState(), amsError);
    EXPECT_GT(W->GetMachine()->GetStorage().GetVars("I"), 0);
    EXPECT_EQ(Alg.GetColorScheme().GetSelectedBlockColor(), Red);
    // Stopping is no error: the block has the stopped run's mark.
    EXPECT_EQ(ErrorMarked(W), nullptr);
    EXPECT_EQ(Debugger(W)->AlgEditor->GetMarkers().Stopped, W->GetMachine()->GetCurrentBlock());
    EXPECT_GT(StepsAtStop, 0);
    EXPECT_EQ(Status(W), "Остановлено. Шагов: " + std::to_string(StepsAtStop));
    EXPECT_TRUE(Errors.empty());
  }
  // Stop once more goes back to editing.
  ClickStop(W);
  EXPECT_FALSE(W->GetRunning());
}

TEST_F(RunTest, TheViewsFollowARunTenTimesASecondOfItsClock) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  TBasicAlgBlock::Class.Create(Body)->GetText().Add("I=0");
  auto* Loop = static_cast<TWhileAlgBlock*>(TWhileAlgBlock::Class.Create(Body));
  Loop->GetText().Add("I>=0");
  TBasicAlgBlock::Class.Create(Loop->GetBody())->GetText().Add("I=I+1");
  TIOAlgBlock::Class.Create(Loop->GetBody())->GetText().Add("Вывод I");
  // Each look at the clock takes a millisecond of it.
  int64_t Now = 0;
  W->GetRunPacer().SetClock([&Now] { return Now += 1000; });

  // The first step makes the machine, so the views can be counted.
  W->AlgStepExecute();
  const TAlgBlock* Shown = nullptr;
  TViewCount Views([&] { Shown = NextMarked(W); });
  W->GetMachine()->AddInteractionListener(&Views);
  W->AlgRunExecute();
  int Slices = 0;
  while (Now < 2000000 && W->GetInRun()) {
    QCoreApplication::processEvents();
    ++Slices;
  }
  ASSERT_TRUE(W->GetInRun());
  // Two seconds: ten updates a second, each showing the block the run is
  // on, never the root (whose start and end would glow together).
  EXPECT_GE(Views.Count, 18);
  EXPECT_LE(Views.Count, 22);
  EXPECT_GT(Slices, 3 * Views.Count) << "views are not updated after every slice";
  EXPECT_NE(Shown, Alg.GetRoot());
  EXPECT_TRUE(Shown == Loop->GetBody()->GetBlocks(0) || Shown == Loop->GetBody()->GetBlocks(1) ||
              Shown == Loop);
  // The variables, the console's last lines and the status follow too.
  TAlgMachine& M = *W->GetMachine();
  const QTableWidget* Watch = Debugger(W)->WatchesFrame->lvWatch;
  ASSERT_EQ(Watch->rowCount(), 1);
  EXPECT_GT(Watch->item(0, 1)->text().toInt(), 0);
  const QString Console = Debugger(W)->ConsoleFrame->memConsole->toPlainText();
  EXPECT_FALSE(Console.isEmpty());
  EXPECT_EQ(Console.split('\n').size(), TAlgConsole::MaxLines);
  EXPECT_EQ(Status(W).rfind("Выполняется. Шагов: ", 0), 0u);
  EXPECT_GT(M.GetConsole().GetLineCount(), 0);

  W->GetMachine()->RemoveInteractionListener(&Views);
  W->AlgStopExecute();
  EXPECT_FALSE(W->GetInRun());
}

TEST_F(RunTest, CloseRequestsDuringARunEndItAndThenCloseAsUsual) {
  // The window's own close: the run ends, the window goes.
  TAlgEditorForm* W = Open("endless_loop.alg");
  QPointer<TAlgEditorForm> Alive(W);
  W->AlgRun->trigger();
  W->close();
  Flush();
  EXPECT_TRUE(Alive.isNull());

  // Modified: the run ends before the question, and "Отмена" keeps it all.
  W = Activate(static_cast<TAlgEditorForm*>(Shell->OpenFile(ExamplesDir + "/endless_loop.alg")));
  Alive = W;
  W->SetModified(true);
  bool RunOverWhenAsked = false;
  {
    TModalAnswers Answers({[&](QWidget* Modal) {
      RunOverWhenAsked = !W->GetInRun() && W->GetMachine()->GetState() == amsError;
      qobject_cast<QDialog*>(Modal)->reject();
    }});
    W->AlgRun->trigger();
    After(30, W, [W] { W->close(); });
    LoopUntilRunEnds(W);
    while (Answers.Asked() == 0)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  Flush();
  ASSERT_FALSE(Alive.isNull());
  EXPECT_TRUE(RunOverWhenAsked);
  EXPECT_EQ(Status(W), "Остановлено. Шагов: " + std::to_string(W->GetRunStatus().Steps));

  // A close while the run waits in its input dialog cancels the dialog,
  // ends the run without a message and closes the window after.
  TAlgEditorForm* Asking =
      Activate(static_cast<TAlgEditorForm*>(Shell->OpenFile(ExamplesDir + "/gcd.alg")));
  QPointer<TAlgEditorForm> AskingAlive(Asking);
  {
    TModalAnswers Answers({[&](QWidget* Modal) {
      Asking->close();
      EXPECT_FALSE(AskingAlive.isNull()) << "not closed under its dialog";
      EXPECT_FALSE(Modal->isVisible());
    }});
    Asking->AlgRun->trigger();
    LoopUntilRunEnds(Asking);
    for (int I = 0; I < 20 && AskingAlive; ++I)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(Answers.Asked(), 1);
  }
  Flush();
  EXPECT_TRUE(AskingAlive.isNull());
  EXPECT_TRUE(Errors.empty());

  // The shell's close (Выход, the strip's ×, a signal): the run ends first,
  // then the usual question, then the window goes.
  ASSERT_FALSE(Alive.isNull());
  W->AlgRun->trigger();
  ASSERT_TRUE(W->GetInRun());
  RunOverWhenAsked = false;
  TModalAnswers Answers({[&](QWidget* Modal) {
    RunOverWhenAsked = !W->GetInRun() && W->GetMachine()->GetState() == amsError;
    qobject_cast<QDialog*>(Modal)->done(mrNo);
  }});
  After(30, W, [this] { Shell->close(); });
  LoopUntilRunEnds(W);
  while (Alive && Answers.Asked() == 0)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  Flush();
  EXPECT_TRUE(RunOverWhenAsked);
  EXPECT_TRUE(Alive.isNull());
  EXPECT_TRUE(Errors.empty());
}

} // namespace
