// The algorithm window to a pupil without a mouse or without sight: the
// run-mode controls named as a screen reader reads them, each step and the
// end told on the status line, Tab through the run view without traps, the
// Stop button after a run, and the high-contrast scheme kept in the
// settings only.

#include "FlowappTestUtils.h"

#include "Corekit/IniFiles.h"
#include "Corekit/Streams.h"
#include "Environment/Environment_MenuKeys.h"
#include "Flowapp/Flowapp_CheckPanel.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

QString NameOf(QWidget* W) {
  QAccessibleInterface* I = QAccessible::queryAccessibleInterface(W);
  return I ? I->text(QAccessible::Name) : QString();
}

class AccessTest : public TFlowappTest {
protected:
  TAlgEditorForm* Window() {
    StartShell();
    TAlgEditorForm* W = AlgWindow();
    W->show();
    W->activateWindow();
    QApplication::setActiveWindow(W);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(W));
    return W;
  }
  static TFlowjoggerForm* Debugger(TAlgEditorForm* W) {
    return dynamic_cast<TFlowjoggerForm*>(W->GetChildView());
  }
};

} // namespace

TEST_F(AccessTest, RunModeControlsAreNamedAndTheCanvasSaysWhatIsDrawn) {
  TAlgEditorForm* W = Window();
  AddBlocks(W->GetAlgorithm(), {{"отр(0,0)-(5,5),4", "крг(10,10),2,1,14"}, {"A=1"}});
  W->AlgStepExecute();
  TFlowjoggerForm* D = Debugger(W);
  ASSERT_NE(D, nullptr);
  EXPECT_EQ(NameOf(D->WatchesFrame->lvWatch), "Переменные");
  EXPECT_EQ(NameOf(D->ConsoleFrame->memConsole), "Окно вывода");
  EXPECT_EQ(NameOf(D->CanvasFrame->pbxCanvas), "Окно графики");
  EXPECT_EQ(NameOf(D->CanvasFrame->cbGrid), "Показать сетку");
  EXPECT_EQ(NameOf(W->sldSpeed), "Скорость выполнения по шагам, шагов в секунду");
  EXPECT_EQ(NameOf(W->pnlCheck->tblCases), "Случаи проверки");
  EXPECT_FALSE(NameOf(W->pnlCheck->tblLines).isEmpty());
  EXPECT_EQ(NameOf(W->pnlCheck->btnDebug), "Отладить этот случай");
  EXPECT_EQ(NameOf(W->pnlCheck->btnClose), "Закрыть результаты проверки");
  QAccessibleInterface* Status = QAccessible::queryAccessibleInterface(D->lblStatus);
  ASSERT_NE(Status, nullptr);
  EXPECT_EQ(Status->role(), QAccessible::StatusBar);

  QAccessibleInterface* Canvas = QAccessible::queryAccessibleInterface(D->CanvasFrame->pbxCanvas);
  EXPECT_EQ(Canvas->text(QAccessible::Description), "Ничего не нарисовано");
  W->AlgStepExecute();
  EXPECT_EQ(Canvas->text(QAccessible::Description),
            "Нарисовано: 1 отрезок, 1 круг; цвета: синий, красный, жёлтый");
}

// The bars and the parts of the window are named too, and the button for
// the commands a short bar cannot show.
TEST_F(AccessTest, BarsAndPanesOfTheWindowAreNamed) {
  TAlgEditorForm* W = Window();
  W->resize(120, 300); // too narrow for the bar: its button for the rest shows
  QApplication::processEvents();
  EXPECT_EQ(NameOf(W->tbrAlg), "Алгоритм");
  auto* More = W->tbrAlg->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
  ASSERT_NE(More, nullptr);
  EXPECT_EQ(NameOf(More), "Ещё команды: Алгоритм");
  for (QWidget* Top : QApplication::topLevelWidgets())
    for (QMenuBar* Bar : Top->findChildren<QMenuBar*>())
      EXPECT_EQ(NameOf(Bar), "Главное меню");
  for (QSplitter* Split : W->findChildren<QSplitter*>())
    EXPECT_FALSE(NameOf(Split).isEmpty()) << Split->objectName().toStdString();
}

TEST_F(AccessTest, StepsErrorsAndTheEndAreAnnouncedOnTheStatusLine) {
  TAlgEditorForm* W = Window();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"S=0"}, {"S=S+3", "T=S*S"}, {"Вывод T"}});
  // The third block prints: make it an output block.
  TAlgBlock* Body = Alg.GetRoot()->GetBody();
  Body->GetBlocks(2)->Free();
  TIOAlgBlock::Class.Create(Body)->GetText().Add("Вывод T");

  // What the status line's accessible name says after each F8 (the name
  // change is the event a screen reader hears; the platform's bridge sends
  // it, offscreen has none).
  std::vector<std::string> Said;
  for (int I = 0; I < 5 && !(W->GetRunning() && W->GetRunStatus().Phase == rpDone); ++I) {
    W->AlgStepExecute();
    Said.push_back(NameOf(Debugger(W)->lblStatus).toStdString());
  }
  ASSERT_EQ(W->GetRunStatus().Phase, rpDone);
  const std::vector<std::string> Expected = {
      "Шаг 1: Алгоритм: начало", "Шаг 2: Блок вычислений: S=0; S = 0",
      "Шаг 3: Блок вычислений: S=S+3 | T=S*S; S = 3, T = 9",
      "Шаг 4: Ввод-вывод: Вывод T; вывод: 9. Выполнение завершено. Шагов: 4"};
  EXPECT_EQ(Said, Expected);

  // A Run that fails: its end, with the error, is said once.
  AddBlocks(Alg, {{"Z=1/(S-S)"}});
  W->AlgRun->trigger();
  ASSERT_EQ(W->GetRunStatus().Phase, rpError);
  const std::string AtError = NameOf(Debugger(W)->lblStatus).toStdString();
  EXPECT_EQ(AtError.rfind("вывод: 9. Ошибка. Шагов: ", 0), 0u) << AtError;
  EXPECT_NE(AtError.find("1/(S-S)"), std::string::npos) << AtError;
  // The line as shown stays its description.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Debugger(W)->lblStatus)
                ->text(QAccessible::Description)
                .toStdString(),
            Debugger(W)->lblStatus->text().toStdString());
}

TEST_F(AccessTest, TabLeavesTheListsAndGoesThroughTheRunViewToTheBar) {
  TAlgEditorForm* W = Window();
  AddBlocks(W->GetAlgorithm(), {{"A=1", "B=2", "C=3"}, {"D=4"}});
  W->AlgStepExecute();
  W->AlgStepExecute();
  TFlowjoggerForm* D = Debugger(W);
  ASSERT_GE(D->WatchesFrame->lvWatch->rowCount(), 3);
  D->WatchesFrame->lvWatch->setFocus();
  D->WatchesFrame->lvWatch->setCurrentCell(0, 0);
  const std::vector<QWidget*> Forward = {D->ConsoleFrame->memConsole, D->CanvasFrame->pbxCanvas,
                                         D->CanvasFrame->cbGrid};
  for (QWidget* Next : Forward) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Next)
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                        : "none");
  }
  // Back through the console to the list, and out of it again backwards.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), D->WatchesFrame->lvWatch);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_NE(QApplication::focusWidget(), D->WatchesFrame->lvWatch) << "Shift+Tab leaves it";
  // The chain goes on from the canvas to the bar's buttons.
  QWidget* After = D->CanvasFrame->cbGrid;
  bool ReachesBar = false;
  for (int I = 0; I < 12 && !ReachesBar; ++I) {
    After = After->nextInFocusChain();
    ReachesBar = After == W->tbRun;
  }
  EXPECT_TRUE(ReachesBar);
}

TEST_F(AccessTest, AFinishedRunsStopButtonLeadsBackToEditingWithoutRed) {
  TAlgEditorForm* W = Window();
  AddBlocks(W->GetAlgorithm(), {{"A=1"}});
  W->AlgStepExecute();
  W->UpdateActions();
  EXPECT_EQ(W->tbStop->text(), "Остановить") << "a run stands between steps";
  const QImage Running = W->tbStop->icon().pixmap(16, 16).toImage();
  W->AlgRun->trigger();
  ASSERT_EQ(W->GetRunStatus().Phase, rpDone);
  W->UpdateActions();
  EXPECT_EQ(W->tbStop->text(), "К редактированию");
  EXPECT_EQ(NameOf(W->tbStop), "К редактированию");
  const QImage Over = W->tbStop->icon().pixmap(16, 16).toImage();
  EXPECT_NE(Over, Running);
  int Red = 0;
  for (int Y = 0; Y < Over.height(); ++Y)
    for (int X = 0; X < Over.width(); ++X) {
      const QColor C = Over.pixelColor(X, Y);
      Red += C.alpha() > 0 && C.red() > 180 && C.green() < 80 && C.blue() < 80;
    }
  EXPECT_EQ(Red, 0);
  W->AlgStopExecute();
  EXPECT_FALSE(W->GetRunning());
}

TEST_F(AccessTest, HighContrastIsKeptInTheSettingsAndNeverInTheFile) {
  TAlgEditorForm* W = Window();
  AddBlocks(W->GetAlgorithm(), {{"A=1"}});
  auto Bytes = [W] {
    TMemoryStream S;
    W->SaveStream(S);
    return std::string(reinterpret_cast<const char*>(S.GetMemory()),
                       static_cast<size_t>(S.GetSize()));
  };
  const std::string Plain = Bytes();
  W->ViewHighContrast->trigger();
  EXPECT_TRUE(W->ViewHighContrast->isChecked());
  EXPECT_EQ(W->GetAlgorithm().GetColorScheme().GetPenColor(), RGBColor(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(W->GetForm()->AlgEditor->GetColor(), RGBColor(0, 0, 0));
  EXPECT_EQ(Bytes(), Plain) << "the scheme is no part of the document";
  ASSERT_NE(W->GetShell().GetSettings(), nullptr);
  EXPECT_EQ(W->GetShell().GetSettings()->ReadString("View", "HighContrast", ""), "1");

  // The run view takes it up: the marks in their high-contrast colours.
  W->AlgStepExecute();
  EXPECT_EQ(Debugger(W)->AlgEditor->GetMarkers().Colors, TMarkerColors::HighContrast());
  W->AlgStopExecute();
  W->ViewHighContrast->trigger();
  EXPECT_EQ(W->GetShell().GetSettings()->ReadString("View", "HighContrast", ""), "0");
  EXPECT_EQ(W->GetAlgorithm().GetColorScheme().GetPenColor(), RGBColor(0, 0, 0));
}

TEST(MenuKeys, TheUnderlinedLetterIsOneKeyOnEitherLayout) {
  const std::vector<QString> Titles = {"&Файл", "&Правка", "&Вид", "В&ыполнение", "&Окно", "&?"};
  const std::vector<std::tuple<int, int, int>> Keys = {{Qt::Key_A, 0x0424, 0},
                                                       {Qt::Key_G, 0x041F, 1},
                                                       {Qt::Key_D, 0x0412, 2},
                                                       {Qt::Key_S, 0x042B, 3},
                                                       {Qt::Key_J, 0x041E, 4}};
  for (const auto& [Latin, Cyrillic, Menu] : Keys) {
    EXPECT_EQ(MnemonicMenuIndex(Titles, Latin), Menu) << Latin;
    EXPECT_EQ(MnemonicMenuIndex(Titles, Cyrillic), Menu) << Cyrillic;
  }
  EXPECT_EQ(MnemonicMenuIndex(Titles, Qt::Key_Z), -1);
  EXPECT_EQ(MnemonicMenuIndex(Titles, Qt::Key_F10), -1);
  EXPECT_EQ(MnemonicMenuIndex({"Сохранить &&всё", "&Сохранить"}, 0x0421), 1) << "&& is no mark";
}

TEST_F(AccessTest, F10AltAndAltWithALetterOpenTheStripsMenusFromADocument) {
  TAlgEditorForm* W = Window();
  Shell->FormActivated(W);
  W->GetForm()->AlgEditor->setFocus();
  auto Key = [](QEvent::Type Type, int K, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QKeyEvent Event(Type, K, Mods);
    QApplication::sendEvent(QApplication::focusWidget(), &Event);
  };
  auto MenuTitled = [this](const QString& Title) -> QMenu* {
    for (QAction* A : Shell->tbrMenu->actions())
      if (A->menu() && A->text() == Title)
        return A->menu();
    return nullptr;
  };
  auto TapAlt = [&Key] {
    Key(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    Key(QEvent::KeyRelease, Qt::Key_Alt);
  };
  auto CloseMenu = [] {
    QApplication::activePopupWidget()->close();
    QTest::qWait(20);
  };
  Key(QEvent::KeyPress, Qt::Key_F10);
  EXPECT_EQ(QApplication::activePopupWidget(), Shell->mnuFile);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  QTest::qWait(20);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  // Alt alone: press and release.
  TapAlt();
  EXPECT_EQ(QApplication::activePopupWidget(), Shell->mnuFile);
  CloseMenu();

  // Alt with another key first is no Alt alone.
  Key(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
  Key(QEvent::KeyPress, Qt::Key_Z, Qt::AltModifier);
  Key(QEvent::KeyRelease, Qt::Key_Alt);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // Nor with a key a shortcut takes (Alt+2 inserts a block): that key
  // comes as a shortcut, not as a key press.
  const int Blocks = W->GetAlgorithm().GetRoot()->GetBody()->GetBlockCount();
  Key(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_2, Qt::AltModifier);
  Key(QEvent::KeyRelease, Qt::Key_Alt);
  EXPECT_EQ(W->GetAlgorithm().GetRoot()->GetBody()->GetBlockCount(), Blocks + 1);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // With a screen reader's bridge on, the press and the release of Alt may
  // come after the shortcut taken with it: still no Alt alone, and the
  // text typed next goes to the new block, not to a menu ("в" would choose
  // "Сохранить &все").
  W->GetForm()->AlgEditor->setFocus();
  EXPECT_TRUE(qt_sendShortcutOverrideEvent(QApplication::focusWidget(), 0, Qt::Key_2,
                                           Qt::AltModifier, "2"));
  TapAlt();
  EXPECT_EQ(W->GetAlgorithm().GetRoot()->GetBody()->GetBlockCount(), Blocks + 2);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // A pointer press with Alt held, before that Alt's press comes: the same.
  W->GetForm()->AlgEditor->setFocus();
  QMouseEvent Click(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                    Qt::LeftButton, Qt::AltModifier);
  QApplication::sendEvent(W->GetForm()->AlgEditor, &Click);
  QMouseEvent Let(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                  Qt::NoButton, Qt::AltModifier);
  QApplication::sendEvent(W->GetForm()->AlgEditor, &Let);
  TapAlt();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // Nothing of them stays: Alt alone opens "Файл" again.
  TapAlt();
  EXPECT_EQ(QApplication::activePopupWidget(), Shell->mnuFile);
  CloseMenu();

  // Alt+Ы on a Russian layout and Alt+S on a Latin one: the window's own
  // menu on the strip.
  QMenu* Run = MenuTitled("В&ыполнение");
  ASSERT_NE(Run, nullptr);
  Key(QEvent::KeyPress, 0x042B, Qt::AltModifier);
  EXPECT_EQ(QApplication::activePopupWidget(), Run);
  CloseMenu();
  Key(QEvent::KeyPress, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(QApplication::activePopupWidget(), Run);
  CloseMenu();

  EXPECT_EQ(Shell->FileSaveAs->shortcut(), QKeySequence("Ctrl+Shift+S"));
  EXPECT_EQ(Shell->FileClose->shortcut(), QKeySequence("Ctrl+W"));
  EXPECT_EQ(Shell->FileExit->shortcut(), QKeySequence("Ctrl+Q"));
}
