// The main window: its commands, the caption, the shell windows and their
// menu, close-window listeners, idle jobs, closing and the window placement.

#include "ShellTestUtils.h"
#include "TestKinds.h"

#include "Environment/DesktopPanel.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using MainFormTest = TShellTest;

TEST_F(MainFormTest, CaptionFollowsTheNumberOfRunningModules) {
  WriteSettings("FixtureDocs=0,Проверочные документы\nFixtureSecond=0,Второй\n");
  Start();
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Интегрированная среда Deskbay");
  EXPECT_EQ(Shell->GetApplicationTitle(), "Deskbay");
  Shell->PowerUpAppModule("FixtureDocs");
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Проверочные документы");
  EXPECT_EQ(Shell->GetApplicationTitle(), "Документы");
  Shell->PowerUpAppModule("FixtureSecond");
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Интегрированная среда Deskbay");
  EXPECT_TRUE(Shell->ShutDownAppModule("FixtureDocs"));
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Второй модуль, с запятой");
  EXPECT_TRUE(Shell->ShutDownAppModule("FixtureDocs")); // not running: nothing to do

  // The package stays mounted after a shutdown.
  EXPECT_TRUE(Shell->GetModuleManager().IsModuleResident("FixtureDocs.so"));
  EXPECT_EQ(Shell->GetModuleManager().GetModuleCount(), 2);
  auto Message = [](const std::function<void()>& Fn) {
    try {
      Fn();
    } catch (const Exception& E) {
      return E.Message();
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(Message([&] { Shell->PowerUpAppModule("FixtureSecond"); }),
            "Модуль \"FixtureSecond\" уже включен.");
  EXPECT_EQ(Message([&] { Shell->LoadAppClass("FixtureDocs"); }),
            "Модуль \"FixtureDocs.so\" уже загружен.");
  EXPECT_EQ(Message([&] { Shell->FindAppClass("Other"); }),
            "Не найден класс для модуля \"Other\".");
  EXPECT_EQ(Message([&] { Shell->FindAppModule("FixtureDocs"); }),
            "Модуль приложения \"FixtureDocs\" не загружен.");
  EXPECT_THROW(Shell->LoadAppClass("Unlisted"), EAssertionFailed);
  EXPECT_THROW(Shell->GetApps(2), EAssertionFailed);

  // Documents of a module go with it.
  Shell->PowerUpAppModule("FixtureDocs");
  std::vector<const TModuleClass*> Kinds;
  GetModuleClasses(CATID_EDITOR, Kinds);
  ASSERT_EQ(Kinds.size(), 2u);
  Shell->CreateEditor(dynamic_cast<const TEditorFormClass*>(Kinds[1]));
  Shell->CreateEditor(dynamic_cast<const TEditorFormClass*>(Kinds[0]));
  EXPECT_EQ(Shell->GetEditorCount(), 2);
  EXPECT_TRUE(Shell->ShutDownAppModule("FixtureDocs"));
  EXPECT_EQ(Shell->GetEditorCount(), 1);
  GetModuleClasses(CATID_EDITOR, Kinds);
  EXPECT_EQ(Kinds.size(), 1u);
}

TEST_F(MainFormTest, CommandsAndTheirEnabling) {
  Start();
  EXPECT_EQ(Shell->FileSave->text().toStdString(), "&Сохранить");
  EXPECT_EQ(Shell->FileSave->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(Shell->FileSaveAs->toolTip().toStdString(), "Сохранить как");
  EXPECT_EQ(Shell->FileSaveAs->statusTip().toStdString(),
            "Сохранить текущий файл под другим именем");
  EXPECT_EQ(Shell->WindowNext->shortcut(), QKeySequence("Ctrl+F6"));
  EXPECT_EQ(Shell->HelpAbout->text().toStdString(), "&О программе...");

  Shell->UpdateActions();
  EXPECT_TRUE(Shell->FileNew->isEnabled());
  EXPECT_FALSE(Shell->FileSave->isEnabled());
  EXPECT_FALSE(Shell->FileCloseAll->isEnabled());
  EXPECT_FALSE(Shell->WindowNext->isEnabled());
  EXPECT_FALSE(Shell->mnuWindow->menuAction()->isEnabled());

  TTestKind Kind("TKind", "Вид", {"txt"});
  TRegisteredKinds Registered{&Kind};
  auto* Doc = static_cast<TTestForm*>(Shell->CreateEditor(&Kind));
  auto* Other = new TBasicForm;
  Shell->FormActivated(Doc);
  Shell->UpdateActions();
  // Never saved: Save works even without changes.
  EXPECT_TRUE(Shell->FileSave->isEnabled());
  EXPECT_TRUE(Shell->FileSaveAll->isEnabled());
  EXPECT_TRUE(Shell->FileClose->isEnabled());
  EXPECT_TRUE(Shell->EditDelete->isEnabled());
  EXPECT_FALSE(Shell->EditPaste->isEnabled());
  EXPECT_TRUE(Shell->mnuWindow->menuAction()->isEnabled());
  Shell->EditDelete->trigger();
  EXPECT_EQ(Doc->Deleted, 1);

  // Another shell window active: no document commands.
  Shell->FormActivated(Other);
  Shell->UpdateActions();
  EXPECT_FALSE(Shell->FileSave->isEnabled());
  EXPECT_FALSE(Shell->FileClose->isEnabled());
  EXPECT_FALSE(Shell->EditDelete->isEnabled());
  EXPECT_TRUE(Shell->FileCloseAll->isEnabled());

  // Destroying the active window forgets it.
  delete Other;
  EXPECT_EQ(Shell->GetActiveWindow(), nullptr);
  Shell->FormActivated(Doc);
  Shell->WindowMinimized(Doc);
  EXPECT_EQ(Shell->GetActiveWindow(), nullptr);
}

TEST_F(MainFormTest, WindowMenuHoldsAtMostTwentyWindows) {
  Start();
  std::vector<TBasicForm*> Windows;
  for (int I = 0; I < 25; ++I) {
    Windows.push_back(new TBasicForm);
    Windows.back()->setWindowTitle(QString("Окно %1").arg(I));
  }
  EXPECT_EQ(Shell->GetOpenWindowCount(), 25);
  Shell->FormActivated(Windows[3]);
  Shell->RebuildWindowMenu();
  QList<QAction*> Items = Shell->mnuWindow->actions();
  ASSERT_EQ(Items.size(), 22); // 20 windows, the separator, WindowNext
  EXPECT_EQ(Items[0]->text().toStdString(), "Окно 0");
  EXPECT_TRUE(Items[3]->isChecked());
  EXPECT_FALSE(Items[4]->isChecked());
  EXPECT_TRUE(Items[20]->isSeparator());
  EXPECT_EQ(Items[21], Shell->WindowNext);

  // An item of a destroyed window is detached and does nothing.
  delete Windows[5];
  Items[5]->trigger();
  Items[6]->trigger();
  EXPECT_EQ(Shell->GetActiveWindow(), Windows[6]);

  // WindowNext goes round the windows list.
  Shell->FormActivated(Windows.back());
  Shell->WindowNextExecute();
  EXPECT_EQ(Shell->GetActiveWindow(), Windows[0]);
  Shell->WindowNextExecute();
  EXPECT_EQ(Shell->GetActiveWindow(), Windows[1]);
  Shell->WindowMinimized(Windows[1]);
  Shell->WindowNextExecute(); // none active: counts from the first
  EXPECT_EQ(Shell->GetActiveWindow(), Windows[1]);
  EXPECT_THROW(Shell->AddWindow(Windows[0]), EAssertionFailed);
}

struct TListener : IWindowClosed {
  std::vector<TBasicForm*> Heard;
  std::function<void()> OnHeard;
  void WindowClosed(TBasicForm* Window) override {
    Heard.push_back(Window);
    if (OnHeard)
      OnHeard();
  }
};

TEST_F(MainFormTest, CloseWindowListenersMayLeaveWhileTheyAreTold) {
  Start();
  TListener A, B, C, D;
  for (auto* L : {&A, &B, &C, &D})
    Shell->AddCloseWindowNotify(L);
  EXPECT_THROW(Shell->AddCloseWindowNotify(&B), EAssertionFailed);
  // The last removes itself and the one before it; the walk goes on below.
  D.OnHeard = [&] {
    Shell->RemoveCloseWindowNotify(&D);
    Shell->RemoveCloseWindowNotify(&C);
  };
  auto* W = new TBasicForm;
  delete W;
  EXPECT_EQ(D.Heard.size(), 1u);
  EXPECT_EQ(C.Heard.size(), 0u);
  EXPECT_EQ(B.Heard, std::vector<TBasicForm*>{W});
  EXPECT_EQ(A.Heard, std::vector<TBasicForm*>{W});
  Shell->RemoveCloseWindowNotify(&A);
  Shell->RemoveCloseWindowNotify(&B);
}

// Counts the event loop's passes (each time it is about to wait) for Ms.
int LoopPassesOver(int Ms) {
  int Passes = 0;
  QMetaObject::Connection C =
      QObject::connect(QAbstractEventDispatcher::instance(),
                       &QAbstractEventDispatcher::aboutToBlock, [&] { ++Passes; });
  QEventLoop Loop;
  QTimer::singleShot(Ms, &Loop, &QEventLoop::quit);
  Loop.exec();
  QObject::disconnect(C);
  return Passes;
}

TEST_F(MainFormTest, AnIdleShellSleepsAndUpdatesTheCommandsOncePerChange) {
  Start();
  Shell->show();
  TTestKind Kind("TKind", "Вид", {"txt"});
  TRegisteredKinds Registered{&Kind};
  TEditorForm* Doc = Shell->CreateEditor(&Kind);
  LoopPassesOver(100); // what showing the windows posted
  // Half a second of nothing: the loop waits, it does not spin.
  EXPECT_LT(LoopPassesOver(500), 10);

  int Updates = 0;
  QObject::connect(Shell.get(), &TMainForm::Idle, [&] { ++Updates; });
  // A burst of requests and input makes one update, after it.
  for (int I = 0; I < 5; ++I)
    Shell->RequestActionUpdate();
  QKeyEvent Press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(Doc, &Press);
  EXPECT_EQ(Updates, 0);
  LoopPassesOver(50);
  EXPECT_EQ(Updates, 1);

  // What decides the commands changed: the update follows by itself.
  Shell->WindowMinimized(Doc);
  LoopPassesOver(50);
  EXPECT_FALSE(Shell->FileSave->isEnabled());
  Shell->FormActivated(Doc);
  LoopPassesOver(50);
  EXPECT_TRUE(Shell->FileSave->isEnabled());
  EXPECT_EQ(Updates, 3);
  EXPECT_LT(LoopPassesOver(500), 10);
}

TEST_F(MainFormTest, IdleJobsNeverCountBelowZero) {
  Start();
  Shell->StopIdleJob();
  EXPECT_FALSE(Shell->GetIdleJobsRunning());
  Shell->StartIdleJob();
  EXPECT_TRUE(Shell->GetIdleJobsRunning());
  int Passes = 0;
  QEventLoop Loop;
  QObject::connect(Shell.get(), &TMainForm::Idle, [&] {
    if (++Passes == 3)
      Loop.quit();
  });
  // A running job keeps idle passes coming without any input.
  QTimer::singleShot(5000, &Loop, &QEventLoop::quit);
  Loop.exec();
  EXPECT_GE(Passes, 3);
  Shell->StopIdleJob();
  // The last job ended: the loop sleeps again.
  LoopPassesOver(50);
  EXPECT_LT(LoopPassesOver(500), 10);
  Shell->StopIdleJob();
  Shell->StartIdleJob();
  EXPECT_TRUE(Shell->GetIdleJobsRunning());
  Shell->StopIdleJob();
  EXPECT_FALSE(Shell->GetIdleJobsRunning());
}

TEST_F(MainFormTest, ClosingAsksEveryDocumentAndCancelKeepsEverything) {
  WriteSettings("FixtureDocs=1,Проверочные документы\n");
  Start();
  std::vector<const TModuleClass*> Kinds;
  GetModuleClasses(CATID_EDITOR, Kinds);
  auto* Kind = dynamic_cast<const TEditorFormClass*>(Kinds.at(0));
  TEditorForm* First = Shell->CreateEditor(Kind);
  TEditorForm* Second = Shell->CreateEditor(Kind);
  First->SetModified(true);
  Second->SetModified(true);
  {
    TModalAnswers Answers({"&Нет", "Отмена"});
    EXPECT_FALSE(Shell->close());
    EXPECT_EQ(Answers.Asked(), 2);
  }
  Flush();
  EXPECT_EQ(Shell->GetEditorCount(), 2);
  EXPECT_EQ(Shell->GetAppModuleCount(), 1);
  {
    TModalAnswers Answers({"&Нет"});
    EXPECT_TRUE(Shell->close());
    EXPECT_EQ(Answers.Asked(), 2);
  }
  EXPECT_EQ(Shell->GetEditorCount(), 0);
  EXPECT_EQ(Shell->GetAppModuleCount(), 0);
  Stop();
  EXPECT_EQ(TIniFile(Settings()).ReadString("Applications", "FixtureDocs", ""),
            "1,Проверочные документы");
}

TEST_F(MainFormTest, ShellWindowsKeepBelowTheStrip) {
  Start();
  Shell->show();
  int Bottom = Shell->GetRestrictedBottom();
  ASSERT_GT(Bottom, 0);
  EXPECT_EQ(Bottom, Shell->frameGeometry().bottom() + 1);
  EXPECT_EQ(Shell->minimumHeight(), Shell->maximumHeight());

  auto* W = new TBasicForm;
  EXPECT_GE(W->y(), Bottom);
  W->show();
  W->setWindowState(Qt::WindowMaximized);
  EXPECT_FALSE(W->windowState() & Qt::WindowMaximized);
  EXPECT_GE(W->frameGeometry().top(), Bottom);
  EXPECT_GT(W->width(), 400);

  // A maximize request on the strip places it again.
  Shell->setWindowState(Qt::WindowMaximized);
  EXPECT_EQ(Shell->height(), Shell->minimumHeight());
  // Offscreen nothing reserves the strip's rows: the shell places windows.
  EXPECT_FALSE(Shell->GetRowsReserved());

  Stop();
  EXPECT_EQ(MainForm, nullptr);
  try {
    TBasicForm Orphan;
    ADD_FAILURE() << "made without a main window";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Неверный класс главной формы.");
  }
}

// The strip's rows and one more, where a restored window's border goes.
TEST(DesktopPanel, TheStrutReservesTheStripsRowsOverItsWidth) {
  using TStrut = std::array<uint32_t, 12>;
  const QRect Screen(0, 0, 1280, 800);
  EXPECT_EQ(TopStrut(QRect(0, 0, 1280, 35), Screen),
            (TStrut{0, 0, 36, 0, 0, 0, 0, 0, 0, 1279, 0, 0}));
  // On the right of two monitors, below another panel of 24 rows.
  EXPECT_EQ(TopStrut(QRect(1280, 24, 1280, 35), QRect(0, 0, 2560, 1024)),
            (TStrut{0, 0, 60, 0, 0, 0, 0, 0, 1280, 2559, 0, 0}));
  // Never wider than the screen.
  EXPECT_EQ(TopStrut(QRect(-10, 0, 1300, 30), Screen),
            (TStrut{0, 0, 31, 0, 0, 0, 0, 0, 0, 1279, 0, 0}));
}

} // namespace
