// The algorithm window's editing commands in the shell: its menus joining
// and leaving the strip with the active window, undo and redo against the
// saved point, blocks through the system clipboard between two windows, the
// chart's context menu, and the pictures the export writes.

#include "FlowappTestUtils.h"

#include "Flowedit/tests/EditorTestUtils.h"

#include "Flowapp/Flowapp_ChartOutput.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowmodel/Flowmodel_History.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace Deskbay::Testing {
namespace {

class EditingTest : public TFlowappTest {};

bool Holds(QWidget* Container, QAction* Action) {
  return Container->actions().contains(Action);
}

TAlgEditorForm* NewAlgWindow(TMainForm& Shell) {
  return dynamic_cast<TAlgEditorForm*>(Shell.CreateEditor(&TAlgEditorForm::StaticClass()));
}

TEST_F(EditingTest, TheActiveWindowsMenusJoinTheStripAndLeaveWithIt) {
  StartShell();
  const int EditItems = static_cast<int>(Shell->mnuEdit->actions().size());
  TAlgEditorForm* First = AlgWindow();
  Shell->FormActivated(First);
  EXPECT_TRUE(Holds(Shell->mnuEdit, First->EditUndo));
  EXPECT_TRUE(Holds(Shell->mnuFile, First->FilePrint));
  EXPECT_TRUE(Holds(Shell->tbrMenu, First->mnuDocView->menuAction())) << "Вид before Окно";
  EXPECT_TRUE(Holds(Shell->tbrMain, First->EditRedo));
  EXPECT_EQ(First->EditUndo->shortcut(), QKeySequence(QKeySequence::Undo));
  EXPECT_TRUE(First->EditRedo->shortcuts().contains(QKeySequence("Ctrl+Shift+Z")));
  EXPECT_EQ(First->FilePrint->shortcut(), QKeySequence(QKeySequence::Print));

  // Another window active: its own commands, none of the first one's.
  TAlgEditorForm* Second = NewAlgWindow(*Shell);
  ASSERT_NE(Second, nullptr);
  Shell->FormActivated(Second);
  EXPECT_TRUE(Holds(Shell->mnuEdit, Second->EditUndo));
  EXPECT_FALSE(Holds(Shell->mnuEdit, First->EditUndo));
  EXPECT_FALSE(Holds(Shell->tbrMenu, First->mnuDocView->menuAction()));
  EXPECT_FALSE(Holds(Shell->tbrMain, First->EditRedo));
  EXPECT_EQ(Shell->mnuEdit->actions().size(), EditItems + 6)
      << "undo, redo, a separator, and after another one the insertion of a block and the "
         "submenu of its kinds";

  // The window closes: its commands go; the window activated after it
  // brings its own.
  delete Second;
  Flush();
  const bool FirstMerged = Shell->GetMergedWindow() == First;
  if (!FirstMerged) {
    EXPECT_EQ(Shell->GetMergedWindow(), nullptr);
  }
  EXPECT_EQ(Shell->mnuEdit->actions().size(), EditItems + (FirstMerged ? 6 : 0));
  int Views = 0;
  for (QAction* A : Shell->tbrMenu->actions())
    Views += A->text().remove('&') == "Вид";
  EXPECT_EQ(Views, FirstMerged ? 1 : 0);
}

// The help's table of every command and key names each command as its menu
// on the strip says it, with an algorithm window's commands merged in, and
// the keys the command answers to.
TEST_F(EditingTest, EveryCommandTheHelpNamesIsInItsMenuWithItsKeys) {
  StartShell();
  Shell->FormActivated(AlgWindow());
  std::ifstream Page(HELP_PAGES_DIR "/editor.html");
  const std::string Html((std::istreambuf_iterator<char>(Page)), std::istreambuf_iterator<char>());
  const size_t Table = Html.find("<a name=\"keys\">");
  ASSERT_NE(Table, std::string::npos);
  const std::string Rows = Html.substr(Table, Html.find("</table>", Table) - Table);
  auto Plain = [](QString Text) { return Text.remove('&').trimmed(); };
  auto Split = [](const std::string& Text, const char* Separator) {
    return QString::fromStdString(Text).split(Separator, Qt::SkipEmptyParts);
  };
  const std::regex Row("<tr><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td></tr>");
  int Checked = 0;
  for (std::sregex_iterator It(Rows.begin(), Rows.end(), Row), End; It != End; ++It) {
    const std::string MenuTitle = (*It)[1], Commands = (*It)[2], Keys = (*It)[3];
    SCOPED_TRACE(MenuTitle + " > " + Commands);
    if (MenuTitle == "схема")
      continue; // keys of the chart itself, no menu
    QMenu* Menu = nullptr;
    for (QAction* A : Shell->tbrMenu->actions())
      if (A->menu() && Plain(A->text()).toStdString() == MenuTitle)
        Menu = A->menu();
    ASSERT_NE(Menu, nullptr) << "no menu " << MenuTitle << " on the strip";
    const QStringList Names = Split(Commands, ", ");
    const QStringList KeyLists = Split(Keys, ", ");
    for (int K = 0; K < Names.size(); ++K) {
      QAction* Command = nullptr;
      for (QAction* A : Menu->actions())
        if (Plain(A->text()) == Names[K])
          Command = A;
      ASSERT_NE(Command, nullptr) << "no command " << Names[K].toStdString();
      ++Checked;
      // One key per command where the row lists one each, else all for the one.
      const QStringList Own = Names.size() == KeyLists.size()
                                  ? QStringList{KeyLists[K]}
                                  : (Names.size() == 1 ? KeyLists : QStringList{});
      for (const QString& Key : Own)
        EXPECT_TRUE(Command->shortcuts().contains(QKeySequence(Key)))
            << Names[K].toStdString() << " does not answer " << Key.toStdString();
    }
  }
  EXPECT_GT(Checked, 25);
}

TEST_F(EditingTest, UndoAndRedoFollowTheSavedPointAndRestWhileRunning) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  W->UpdateActions();
  EXPECT_FALSE(W->EditUndo->isEnabled()) << "a fresh document has no history";
  AddBlocks(Alg, {{"A=1"}});
  ASSERT_TRUE(W->SaveAsFile(Home + "/saved.alg"));
  {
    TModifyGuard Guard(Alg); // one change
    AddBlocks(Alg, {{"B=2"}});
  }
  EXPECT_TRUE(W->GetModified());
  W->UpdateActions();
  ASSERT_TRUE(W->EditUndo->isEnabled());
  W->EditUndo->trigger();
  EXPECT_EQ(Alg.GetRoot()->GetBody()->GetBlockCount(), 1);
  EXPECT_FALSE(W->GetModified()) << "back at what the file holds";
  W->EditRedo->trigger();
  EXPECT_EQ(Alg.GetRoot()->GetBody()->GetBlockCount(), 2);
  EXPECT_TRUE(W->GetModified());

  W->AlgStepExecute();
  ASSERT_TRUE(W->GetRunning());
  W->UpdateActions();
  EXPECT_FALSE(W->EditUndo->isEnabled());
  W->EditUndoExecute();
  EXPECT_EQ(Alg.GetRoot()->GetBody()->GetBlockCount(), 2) << "no undo in run mode";
  W->AlgStopExecute();
  ASSERT_FALSE(W->GetRunning());
  W->UpdateActions();
  EXPECT_TRUE(W->EditUndo->isEnabled()) << "running made no step of the history";

  // Opening a file starts afresh.
  ASSERT_TRUE(QFile::copy(QString::fromStdString(Home + "/saved.alg"),
                          QString::fromStdString(Home + "/other.alg")));
  TAlgEditorForm* Opened = dynamic_cast<TAlgEditorForm*>(Shell->OpenFile(Home + "/other.alg"));
  ASSERT_NE(Opened, nullptr);
  EXPECT_FALSE(Opened->GetHistory().CanUndo());
}

TEST_F(EditingTest, BlocksTravelThroughTheClipboardBetweenWindowsAllOrNothing) {
  StartShell();
  TAlgEditorForm* From = AlgWindow();
  TAlgorithm& Source = From->GetAlgorithm();
  AddBlocks(Source, {{"A=1", "B=A+1"}, {"C=3"}});
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(From->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  Source.SelectBlock(Source.GetRoot()->GetBody()->GetBlocks(0), true);
  Constructor->AlgEditor->setFocus();
  ASSERT_TRUE(From->CanCopy());
  From->CopySelection();
  const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(Data, nullptr);
  EXPECT_TRUE(Data->hasFormat("application/x-deskbay-blocks"));
  EXPECT_EQ(Data->text().toStdString(), "Блок вычислений: A=1 | B=A+1\n");

  TAlgEditorForm* To = NewAlgWindow(*Shell);
  ASSERT_NE(To, nullptr);
  Flush();
  ASSERT_TRUE(To->CanPaste());
  To->Paste();
  TAlgorithm& Target = To->GetAlgorithm();
  ASSERT_EQ(Target.GetRoot()->GetBody()->GetBlockCount(), 1);
  EXPECT_EQ(Target.GetRoot()->GetBody()->GetBlocks(0)->GetText().Get(1), "B=A+1");
  EXPECT_TRUE(Target.GetRoot()->GetBody()->GetBlocks(0)->GetSelected());
  To->EditUndoExecute();
  EXPECT_EQ(Target.GetRoot()->GetBody()->GetBlockCount(), 0) << "a paste is one step";

  // Cut takes the blocks away and keeps them for pasting.
  From->CutSelection();
  EXPECT_EQ(Source.GetRoot()->GetBody()->GetBlockCount(), 1);

  // A paste that would pass the block limit is refused whole.
  AddBlocks(Source, {{"D=4"}, {"E=5"}});
  ASSERT_EQ(Source.GetRoot()->GetBody()->GetBlockCount(), 3);
  while (Target.GetBlockCount() < AlgMaxBlockCount - 2)
    AddBlocks(Target, {{"X=1"}});
  const int Count = Target.GetBlockCount();
  Source.SelectAll();
  Constructor->AlgEditor->setFocus();
  From->CopySelection();
  Flush();
  const size_t ErrorsBefore = Errors.size();
  To->Paste();
  EXPECT_EQ(Target.GetBlockCount(), Count);
  EXPECT_GT(Errors.size(), ErrorsBefore) << "the refusal is said";
}

// The actions of the popup menu that Open opens (and waits in), looked at
// from a timer, which then closes the menu; Enabled gets whether each could
// be chosen.
QList<QAction*> MenuOffered(const std::function<void()>& Open, QList<bool>* Enabled = nullptr) {
  QList<QAction*> Offered;
  bool Seen = false;
  int Ticks = 0;
  QTimer Timer;
  Timer.setInterval(10);
  QObject::connect(&Timer, &QTimer::timeout, [&] {
    if (auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* A : Menu->actions())
        if (!A->isSeparator()) {
          Offered << A;
          if (Enabled)
            *Enabled << A->isEnabled();
        }
      Seen = true;
      Menu->close();
      Timer.stop();
    } else if (++Ticks > 500) {
      Timer.stop();
    }
  });
  Timer.start();
  Open();
  Timer.stop();
  EXPECT_TRUE(Seen) << "no menu opened";
  return Offered;
}

// A right click as the window system delivers it, through the top-level
// window, where Qt turns the press into a context menu request.
void RightClick(QWidget& Target, QPoint Client) {
  QWidget* Top = Target.window();
  ASSERT_NE(Top->windowHandle(), nullptr) << "the window is shown";
  QTest::mouseClick(Top->windowHandle(), Qt::RightButton, {}, Target.mapTo(Top, Client));
}

TEST_F(EditingTest, TheChartsContextMenuOffersTheClipboardOnABlockAndPasteElsewhere) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=2"}});
  QGuiApplication::clipboard()->clear();
  Flush();
  TAlgEditor& Editor = *W->GetChildView()->AlgEditor;
  TAlgBlock* First = Alg.GetRoot()->GetBody()->GetBlocks(0);
  TAlgBlock* Second = Alg.GetRoot()->GetBody()->GetBlocks(1);
  Alg.SelectBlock(First, true);

  // A right click on a block that is not selected selects it alone.
  const QPoint OnSecond = ClientOf(Editor, ChartPointOf(Editor, Second));
  QList<bool> Enabled;
  QList<QAction*> Offered = MenuOffered([&] { RightClick(Editor, OnSecond); }, &Enabled);
  EXPECT_EQ(Offered, (QList<QAction*>{Shell->EditCut, Shell->EditCopy, Shell->EditPaste,
                                      Shell->EditDelete}));
  EXPECT_EQ(SelectedLines(Alg), std::vector<std::string>{"B=2"});
  EXPECT_EQ(Enabled, (QList<bool>{true, true, false, true}))
      << "cut, copy and delete act on the block; the clipboard holds no blocks yet";
  EXPECT_EQ(Alg.GetRoot()->GetBody()->GetBlockCount(), 2) << "closing the menu does nothing";

  // On a selected block the selection stays as it is.
  Alg.SelectBlock(First, true);
  ASSERT_EQ(Alg.GetSelectedBlockCount(), 2);
  Offered = MenuOffered([&] { RightClick(Editor, OnSecond); });
  EXPECT_EQ(Offered.size(), 4);
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 2);

  // A free place beside the chart: only Paste, and nothing stays selected.
  const QPoint Free(Editor.width() - 3, Editor.height() - 3);
  TPoint Phys;
  ASSERT_EQ(Editor.GetBlockAt(Free, Phys), nullptr) << "the corner is free";
  Offered = MenuOffered([&] { RightClick(Editor, Free); });
  EXPECT_EQ(Offered, QList<QAction*>{Shell->EditPaste});
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 0);
}

TEST_F(EditingTest, AFailedExportRaisesAndLeavesTheOldFileAsItWas) {
  StartShell();
  TAlgorithm& Alg = AlgWindow()->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}});
  QImage Canvas(20, 20, QImage::Format_RGB32);
  Canvas.fill(Qt::white);
  const std::vector<TExportChoice> Choices = ExportChoices(true);
  for (size_t K = 0; K < Choices.size(); ++K) {
    SCOPED_TRACE(Choices[K].Filter.toStdString());
    // A file nobody may write over (the superuser neither: no write bit).
    const std::string Name = Home + "/kept" + std::to_string(K) + "." + Choices[K].Suffix;
    std::ofstream(Name) << "old picture";
    ASSERT_EQ(chmod(Name.c_str(), 0444), 0);
    EXPECT_THROW(WriteExport(Choices[K], Alg, &Canvas, Name, "x.alg"), Exception);
    std::ifstream In(Name);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(In), {}), "old picture");
    // A folder that is not there: nothing is made.
    const std::string Missing = Home + "/no such folder/a." + Choices[K].Suffix;
    EXPECT_THROW(WriteExport(Choices[K], Alg, &Canvas, Missing, "x.alg"), Exception);
    EXPECT_FALSE(std::filesystem::exists(Home + "/no such folder"));
  }
}

void LoopWhileRunning(TAlgEditorForm* W) {
  QElapsedTimer Clock;
  Clock.start();
  while (W->GetInRun() && Clock.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_FALSE(W->GetInRun()) << "the run did not end";
}

TEST_F(EditingTest, ABreakpointStopsTheRunBeforeItsBlockAndRunGoesOnPastIt) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=2"}, {"C=3"}});
  TAlgBlock* Second = Alg.GetRoot()->GetBody()->GetBlocks(1);
  Alg.SelectBlock(Second, true);
  W->UpdateActions();
  ASSERT_TRUE(W->AlgBreakpoint->isEnabled());
  EXPECT_EQ(W->AlgBreakpoint->shortcut(), QKeySequence(Qt::Key_F5));
  W->AlgBreakpoint->trigger();
  EXPECT_TRUE(W->GetBreakpoints().Has(Second));
  EXPECT_EQ(W->GetChildView()->AlgEditor->GetMarkers().Breakpoints.count(Second), 1u)
      << "a red dot in editing";

  W->AlgRunExecute();
  LoopWhileRunning(W);
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(W->GetMachine()->GetCurrentBlock(), Second) << "stopped before the block";
  EXPECT_EQ(W->GetRunStatus().Phase, rpStepping);
  EXPECT_EQ(W->GetChildView()->AlgEditor->GetMarkers().Next, Second);
  EXPECT_EQ(W->GetChildView()->AlgEditor->GetMarkers().Breakpoints.count(Second), 1u);

  W->AlgRunExecute();
  LoopWhileRunning(W);
  EXPECT_EQ(W->GetRunStatus().Phase, rpDone) << "on past the breakpoint to the end";
  W->AlgStopExecute();
  ASSERT_FALSE(W->GetRunning());

  // F5 again takes it away; a deleted block takes its breakpoint along.
  Alg.UnselectAll();
  Alg.SelectBlock(Second, true);
  W->UpdateActions();
  W->AlgBreakpoint->trigger();
  EXPECT_FALSE(W->GetBreakpoints().Has(Second));
  W->AlgBreakpoint->trigger();
  W->GetChildView()->AlgEditor->setFocus();
  W->DeleteSelection();
  W->AlgRunExecute();
  LoopWhileRunning(W);
  EXPECT_EQ(W->GetBreakpoints().GetCount(), 0);
  EXPECT_EQ(W->GetRunStatus().Phase, rpDone);
}

TEST_F(EditingTest, AConditionalBreakpointStopsWhenItsConditionHolds) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  TAlgBlock* Body = nullptr;
  {
    TModifyGuard Guard(Alg);
    auto* For = TAlgBlock::Create<TForAlgBlock>(Alg.GetRoot()->GetBody());
    For->GetText().Add("I=1,5,1");
    Body = TAlgBlock::Create<TBasicAlgBlock>(For->GetBody());
    Body->GetText().Add("S=I");
  }
  W->GetBreakpoints().Set(Body, "I=3");
  W->AlgRunExecute();
  LoopWhileRunning(W);
  ASSERT_TRUE(W->GetRunning());
  EXPECT_EQ(W->GetMachine()->GetCurrentBlock(), Body);
  EXPECT_EQ(W->GetMachine()->GetStorage().GetVarValues(0), 3) << "I, the only variable yet";
  EXPECT_EQ(W->GetChildView()->AlgEditor->GetMarkers().Breakpoints.at(Body), true);
  W->AlgStopExecute();
}

TEST_F(EditingTest, ExportWritesEachFormatAtItsSize) {
  StartShell();
  TAlgorithm& Alg = AlgWindow()->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=A*2"}});
  const std::vector<TExportChoice> Choices = ExportChoices(true);
  ASSERT_EQ(Choices.size(), 5u);
  WriteExport(Choices[1], Alg, nullptr, Home + "/one.png", "x.alg");
  WriteExport(Choices[2], Alg, nullptr, Home + "/two.png", "x.alg");
  const QImage One(QString::fromStdString(Home + "/one.png"));
  const QImage Two(QString::fromStdString(Home + "/two.png"));
  ASSERT_FALSE(One.isNull());
  EXPECT_EQ(Two.width(), One.width() * 2);
  EXPECT_EQ(Two.height(), One.height() * 2);

  WriteExport(Choices[3], Alg, nullptr, Home + "/chart.pdf", "x.alg");
  QFile Pdf(QString::fromStdString(Home + "/chart.pdf"));
  ASSERT_TRUE(Pdf.open(QIODevice::ReadOnly));
  const QByteArray Bytes = Pdf.readAll();
  EXPECT_TRUE(Bytes.startsWith("%PDF"));
  EXPECT_EQ(Bytes.count("/Type /Page\n") + Bytes.count("/Type /Page\r"), 1) << "one page fits";

  WriteExport(Choices[0], Alg, nullptr, Home + "/chart.svg", "x.alg");
  QFile Svg(QString::fromStdString(Home + "/chart.svg"));
  ASSERT_TRUE(Svg.open(QIODevice::ReadOnly));
  EXPECT_TRUE(Svg.readAll().contains("B=A*2"));

  // The canvas as it is.
  QImage Canvas(181, 181, QImage::Format_RGB32);
  Canvas.fill(Qt::white);
  WriteExport(Choices[4], Alg, &Canvas, Home + "/canvas.png", "x.alg");
  EXPECT_EQ(QImage(QString::fromStdString(Home + "/canvas.png")).size(), QSize(181, 181));
}

} // namespace
} // namespace Deskbay::Testing
