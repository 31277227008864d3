// The run controller without a window: what Stop (F2, the Stop button) and
// a close request do in each of its states, the check included, and how the
// check's cases go on the pacer. The last test presses F2 in a real window
// during "Проверить".

#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_CheckPanel.h"
#include "Flowapp/Flowapp_RunController.h"

#include "Corekit/InteractionHooks.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// Records what the controller tells the window; the view switch starts and
// resets the session as the window's does.
class TFakeHost : public IRunHost {
public:
  TAlgRunController* Controller = nullptr;
  void SwitchView(bool Running) override {
    Views.push_back(Running);
    Controller->GetSession().Reset();
    if (Running)
      Controller->GetSession().Start();
  }
  void ShowOutcome(TAlgRunPhase Phase, const std::string& Error) override {
    Outcomes.push_back(Phase);
    if (Phase == rpError)
      Errors.push_back(Error);
  }
  void ShowProgress() override { ++Progress; }
  void ShowChangedVars(bool) override {}
  void StateChanged() override { ++Changes; }
  bool DialogOpen() const override { return Dialog; }
  void CancelInput() override { ++Cancels; }
  void Close(bool MainWindow) override { Closes.push_back(MainWindow); }
  void CheckBegun(const TTestFile&) override {
    ++Begun;
    Results.clear();
  }
  void CasesChecked(const std::vector<TCaseResult>& R) override {
    Results.insert(Results.end(), R.begin(), R.end());
    ++Batches;
  }
  void CheckEnded(bool Stopped) override { Ended.push_back(Stopped); }

  std::vector<bool> Views, Closes, Ended;
  std::vector<TAlgRunPhase> Outcomes;
  std::vector<std::string> Errors;
  std::vector<TCaseResult> Results;
  int Progress = 0, Changes = 0, Cancels = 0, Begun = 0, Batches = 0;
  bool Dialog = false;
};

// Answers the machine's questions by calling Fn, the "dialog" that is open
// meanwhile; then it is cancelled, as CancelInput would cancel it.
class TAskingInput : public IInputProvider {
public:
  std::function<void()> Fn;
  int Asked = 0;
  bool InputString(const std::string&, const std::string&, std::string&,
                   const TInputStringOptions&) override {
    ++Asked;
    if (Fn)
      Fn();
    return false;
  }
};

class RunControllerTest : public testing::Test {
protected:
  RunControllerTest() : Controller(Alg, Host), Input(&Asking) { Host.Controller = &Controller; }
  ~RunControllerTest() override { Controller.Shutdown(); }
  // I=0, then for ever I=I+1.
  void Endless() {
    TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
    TBasicAlgBlock::Class.Create(Body)->GetText().Add("I=0");
    auto* Loop = static_cast<TWhileAlgBlock*>(TWhileAlgBlock::Class.Create(Body));
    Loop->GetText().Add("I>=0");
    TBasicAlgBlock::Class.Create(Loop->GetBody())->GetText().Add("I=I+1");
  }
  // "Ввод N", then N printed.
  void Asks() {
    TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
    TIOAlgBlock::Class.Create(Body)->GetText().Add("Ввод N");
    TIOAlgBlock::Class.Create(Body)->GetText().Add("Вывод N");
  }
  // Turns the event loop until Done or two seconds have passed.
  static bool Until(const std::function<bool()>& Done) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done() && Clock.elapsed() < 2000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return Done();
  }
  static TTestFile Cases(int Count, const std::string& Extra = "") {
    std::string Text;
    for (int I = 0; I < Count; ++I)
      Text += "=== c" + std::to_string(I) + "\n" + Extra + "> 1\n";
    return ParseTestFile(Text, "t.tests");
  }
  TRunState State() const { return Controller.GetState(); }

  TAlgorithm Alg;
  TFakeHost Host;
  TAlgRunController Controller;
  TAskingInput Asking;
  TInputProviderScope Input;
};

#define EXPECT_STATE(S) EXPECT_STREQ(RunStateName(State()), RunStateName(S))

TEST_F(RunControllerTest, StopAndCloseBetweenStepsAndWhileEditing) {
  Endless();
  // Editing: Stop does nothing, a close may go on.
  Controller.Stop();
  EXPECT_STATE(TRunState::Editing);
  EXPECT_TRUE(Controller.RequestClose(false));
  EXPECT_TRUE(Host.Views.empty());

  Controller.Step();
  EXPECT_STATE(TRunState::Stepping);
  EXPECT_TRUE(Controller.InRunMode());
  EXPECT_EQ(Controller.GetRunStatus().Steps, 1);
  // A close between steps goes on, the run as it stands.
  EXPECT_TRUE(Controller.RequestClose(true));
  EXPECT_STATE(TRunState::Stepping);
  // Stop between steps: back to editing.
  Controller.Stop();
  EXPECT_STATE(TRunState::Editing);
  EXPECT_EQ(Host.Views, (std::vector<bool>{true, false}));
  EXPECT_EQ(Controller.GetSession().GetMachine(), nullptr);
  EXPECT_TRUE(Host.Closes.empty());
}

TEST_F(RunControllerTest, StopAndCloseEndARunAndASlowRunAsTheAbortKeyDoes) {
  Endless();
  for (int Round = 0; Round < 4; ++Round) {
    const bool Slow = Round >= 2;
    const bool ByClose = Round % 2 == 1;
    Host.Outcomes.clear();
    if (Slow) {
      Controller.SetSlowSpeed(50);
      Controller.SlowRun();
      EXPECT_STATE(TRunState::SlowRun);
      ASSERT_TRUE(Until([&] { return Controller.GetSession().GetStepNumber() >= 2; }));
    } else {
      Controller.Run();
      EXPECT_STATE(TRunState::Running);
      EXPECT_TRUE(Controller.InRun());
      EXPECT_FALSE(Controller.CanRun());
      EXPECT_FALSE(Controller.CanCheck());
      QCoreApplication::processEvents();
    }
    if (ByClose)
      EXPECT_TRUE(Controller.RequestClose(Round == 1));
    else
      Controller.Stop();
    EXPECT_STATE(TRunState::Stepping) << Round;
    EXPECT_FALSE(Controller.InRun());
    ASSERT_FALSE(Host.Outcomes.empty());
    EXPECT_EQ(Host.Outcomes.back(), rpStopped) << Round;
    EXPECT_EQ(Controller.GetRunStatus().Phase, rpStopped);
    EXPECT_TRUE(Controller.GetSession().GetStoppedByUser());
    EXPECT_GT(Controller.GetRunStatus().Steps, 0);
    EXPECT_TRUE(Host.Errors.empty());
    // Nothing goes on after the stop.
    const int64_t Steps = Controller.GetSession().GetStepNumber();
    QTest::qWait(60);
    EXPECT_EQ(Controller.GetSession().GetStepNumber(), Steps);
  }
  EXPECT_TRUE(Host.Closes.empty()) << "a close that may go on is the caller's";
}

TEST_F(RunControllerTest, StopOrCloseWhileWaitingForInputCancelsItAndEndsTheRun) {
  Asks();
  for (int Round = 0; Round < 4; ++Round) {
    // A Run's slice, or a single step, waits in the input dialog.
    const bool Step = Round >= 2;
    const bool ByClose = Round % 2 == 1;
    TRunState Seen = TRunState::Editing, AfterRequest = TRunState::Editing;
    bool Refused = false;
    Asking.Fn = [&] {
      Seen = State();
      EXPECT_TRUE(Controller.Busy());
      EXPECT_FALSE(Controller.CanRun());
      // The commands of the run are refused meanwhile.
      Controller.Run();
      Controller.Step();
      Controller.StepBack();
      if (ByClose) {
        Refused = !Controller.RequestClose(false);
        // A second request while it is held changes nothing.
        EXPECT_FALSE(Controller.RequestClose(true));
      } else {
        Controller.Stop();
      }
      AfterRequest = State();
    };
    Host.Closes.clear();
    Host.Outcomes.clear();
    const int Cancels = Host.Cancels;
    const int Asked = Asking.Asked;
    if (Step)
      for (int I = 0; I < 5 && Asking.Asked == Asked; ++I)
        Controller.Step();
    else
      Controller.Run();
    ASSERT_EQ(Asking.Asked, Asked + 1) << Round;
    EXPECT_STATE(ByClose ? TRunState::Closing : TRunState::Stepping) << Round;
    EXPECT_STREQ(RunStateName(Seen), RunStateName(TRunState::WaitingForInput));
    EXPECT_STREQ(RunStateName(AfterRequest),
                 RunStateName(ByClose ? TRunState::Closing : TRunState::WaitingForInput));
    EXPECT_EQ(Host.Cancels, Cancels + 1);
    ASSERT_FALSE(Host.Outcomes.empty());
    EXPECT_EQ(Host.Outcomes.back(), rpStopped) << "no error message: the stop itself";
    EXPECT_TRUE(Host.Errors.empty());
    EXPECT_FALSE(Controller.InRun());
    if (ByClose) {
      EXPECT_TRUE(Refused);
      // Held until the machine's code and every dialog have left.
      Host.Dialog = true;
      QTest::qWait(80);
      EXPECT_TRUE(Host.Closes.empty());
      EXPECT_STATE(TRunState::Closing);
      Controller.Stop();
      EXPECT_STATE(TRunState::Closing);
      Host.Dialog = false;
      ASSERT_TRUE(Until([&] { return !Host.Closes.empty(); }));
      EXPECT_EQ(Host.Closes, std::vector<bool>{false});
      EXPECT_STATE(TRunState::Stepping);
    }
    Controller.Stop();
    EXPECT_STATE(TRunState::Editing);
  }
}

// An input asked in the middle of a run's slice: the status line counts
// the steps made before it, as a step-by-step session stands there.
TEST_F(RunControllerTest, AnInputAskedInARunShowsTheStepsMadeBeforeIt) {
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(Body, {"S=0"});
  auto* Loop =
      static_cast<TForAlgBlock*>(TForAlgBlock::Class.CreateWithLines(Body, {"I=1,20000,1"}));
  TBasicAlgBlock::Class.CreateWithLines(Loop->GetBody(), {"S=S+I"});
  TAlgBlock* Input = TIOAlgBlock::Class.CreateWithLines(Body, {"Ввод N"});
  int64_t Expected = 0;
  {
    TAlgDebugSession Session(Alg);
    while (Session.GetNextBlock() != Input)
      Session.StepOne();
    Expected = Session.GetStepNumber();
  }
  int64_t Shown = -1;
  Asking.Fn = [&] {
    Shown = Controller.GetRunStatus().Steps;
    Controller.Stop();
  };
  Controller.Run();
  ASSERT_TRUE(Until([&] { return Asking.Asked > 0; }));
  EXPECT_EQ(Shown, Expected);
}

TEST_F(RunControllerTest, TheCheckGoesOnThePacerAndStopAndCloseEndIt) {
  Endless();
  // Every case runs the endless loop to its step limit.
  const TTestFile Tests = Cases(50, "steps 100000\n");
  for (int Round = 0; Round < 3; ++Round) {
    // From editing, from between steps; and by a close request.
    const bool FromRun = Round == 1;
    if (FromRun)
      Controller.Step();
    const TRunState From = State();
    Host.Ended.clear();
    Controller.StartCheck(Tests);
    EXPECT_STATE(TRunState::Checking);
    EXPECT_TRUE(Controller.Checking());
    EXPECT_EQ(Controller.InRunMode(), FromRun);
    EXPECT_TRUE(Controller.CanStop());
    // Run, Step and a second check wait for the check to end.
    EXPECT_FALSE(Controller.CanRun());
    EXPECT_FALSE(Controller.CanCheck());
    const int64_t Steps = Controller.GetSession().GetStepNumber();
    Controller.Run();
    Controller.Step();
    EXPECT_STATE(TRunState::Checking);
    QTest::qWait(30);
    if (Round == 2)
      EXPECT_TRUE(Controller.RequestClose(true));
    else
      Controller.Stop();
    EXPECT_STREQ(RunStateName(State()), RunStateName(From));
    EXPECT_EQ(Host.Ended, std::vector<bool>{true});
    EXPECT_LT(Host.Results.size(), Tests.Cases.size());
    EXPECT_EQ(Controller.GetSession().GetStepNumber(), Steps);
    const size_t Shown = Host.Results.size();
    QTest::qWait(30);
    EXPECT_EQ(Host.Results.size(), Shown) << "nothing goes on after the stop";
    if (FromRun)
      Controller.Stop();
  }
  EXPECT_TRUE(Host.Closes.empty());
}

TEST_F(RunControllerTest, ManyCasesGoInSlicesAndReachTheWindowInBatches) {
  TIOAlgBlock::Class.Create(Alg.GetRoot()->GetBody())->GetText().Add("Вывод 1");
  const TTestFile Tests = Cases(3000);
  Controller.StartCheck(Tests);
  EXPECT_TRUE(Host.Results.empty()) << "the cases go from the event loop";
  ASSERT_TRUE(Until([&] { return !Controller.Checking(); }));
  EXPECT_EQ(Host.Ended, std::vector<bool>{false});
  ASSERT_EQ(Host.Results.size(), Tests.Cases.size());
  for (size_t I = 0; I < Tests.Cases.size(); ++I) {
    EXPECT_EQ(Host.Results[I].CaseName, Tests.Cases[I].Name);
    EXPECT_TRUE(Host.Results[I].Passed());
  }
  EXPECT_LT(Host.Batches, 100) << "not a call for every case";
  EXPECT_STATE(TRunState::Editing);
}

TEST_F(RunControllerTest, AnEditDuringTheCheckStartsItOverOnTheChartAsItIs) {
  Endless();
  Controller.StartCheck(Cases(2, "steps 20000000\n"));
  QTest::qWait(30);
  ASSERT_TRUE(Controller.Checking());
  {
    TModifyGuard Guard(Alg);
    Alg.GetRoot()->GetBody()->GetBlocks(1)->Free();
  }
  ASSERT_TRUE(Until([&] { return !Controller.Checking(); }));
  EXPECT_EQ(Host.Begun, 2);
  ASSERT_EQ(Host.Results.size(), 2u);
  EXPECT_EQ(Host.Results[0].Failure, TCaseFailure::MissingOutput);
}

TEST_F(RunControllerTest, DebuggingACaseEndsTheCheckAndStandsWhereAsked) {
  Endless();
  Controller.StartCheck(Cases(5, "steps 1000000\n"));
  Controller.StartDebugAt(5, nullptr);
  EXPECT_STATE(TRunState::Stepping);
  EXPECT_EQ(Host.Ended, std::vector<bool>{true});
  EXPECT_EQ(Controller.GetSession().GetStepNumber(), 5);
  EXPECT_EQ(Controller.GetRunStatus().Phase, rpStepping);
}

// F2 in the window during "Проверить": the check ends at once, its rows so
// far stay, and the summary says it was stopped.
class CheckStopTest : public TFlowappTest {};

TEST_F(CheckStopTest, F2InTheWindowStopsTheCheck) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  W->show();
  W->activateWindow();
  QApplication::setActiveWindow(W);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(W));
  TAlgorithm& Alg = W->GetAlgorithm();
  {
    TModifyGuard Guard(Alg);
    auto* While = TAlgBlock::Create<TWhileAlgBlock>(Alg.GetRoot()->GetBody());
    While->GetText().Add("1=1");
    TAlgBlock::Create<TBasicAlgBlock>(While->GetBody())->GetText().Add("J=1");
  }
  std::string Text;
  for (int I = 0; I < 50; ++I)
    Text += "=== c" + std::to_string(I) + "\nsteps 20000000\n> 1\n";
  const std::string Tests = Home + "/loop.tests";
  std::ofstream(Tests) << Text;
  W->SetChosenTestFile(Tests);
  W->UpdateActions();
  W->AlgCheck->trigger();
  ASSERT_TRUE(W->GetChecking());
  W->UpdateActions();
  EXPECT_TRUE(W->AlgStop->isEnabled());
  EXPECT_FALSE(W->AlgRun->isEnabled());
  QTest::qWait(50);
  QTest::keyClick(W->windowHandle(), Qt::Key_F2);
  EXPECT_FALSE(W->GetChecking());
  EXPECT_FALSE(W->GetRunning());
  EXPECT_LT(W->pnlCheck->GetResults().size(), 50u);
  EXPECT_TRUE(W->pnlCheck->lblSummary->text().startsWith("Проверка остановлена"))
      << W->pnlCheck->lblSummary->text().toStdString();
  W->UpdateActions();
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_TRUE(W->AlgCheck->isEnabled());
}

} // namespace
