// A task pack in the algorithm window: opened untitled with its text, the
// restrictions kept by the editor, "Проверить" on the pack's own cases, the
// pupil's work saved as an ordinary algorithm file.

#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_CheckPanel.h"
#include "Flowapp/Flowapp_Clipboard.h"
#include "Flowapp/Flowapp_TaskPanel.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/SysUtils.h"
#include "Corekit/ui/AdvSpeedButton.h"
#include "Flowcheck/Flowcheck_Task.h"
#include "Flowedit/Flowedit_CodePane.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowedit/Flowedit_framePalette.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>

#include <fstream>
#include <sstream>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

std::string ReadAll(const std::string& Name) {
  std::ifstream F(Name, std::ios::binary);
  std::stringstream S;
  S << F.rdbuf();
  return S.str();
}

class TaskWindowTest : public TFlowappTest {
protected:
  // sum.task in the home folder: a starter chart with one input block,
  // one visible case, and restrictions.
  std::string WritePack(bool ProgramText = false) {
    TAlgorithm Start;
    TIOAlgBlock::Class.CreateWithLines(Start.GetRoot()->GetBody(), {"Ввод A, B"});
    SaveObjectToFile(&Start, Home + "/start.alg");
    TTaskPack Pack;
    Pack.Text = "# Сумма\n\nСложите **два** числа.\n";
    Pack.Start = ReadAll(Home + "/start.alg");
    Pack.TestsText = "=== сумма\n< 1\n< 2\n> 3\n";
    Pack.Restrictions.LimitsBlocks = true;
    Pack.Restrictions.Blocks = {TAlgBlockKind::InputOutput, TAlgBlockKind::Computation};
    Pack.Restrictions.LimitsFunctions = true;
    Pack.Restrictions.Functions = {"ABS"};
    Pack.Restrictions.MaxBlocks = 3;
    Pack.Restrictions.ProgramText = ProgramText;
    const std::string Name = Home + "/sum.task";
    std::ofstream(Name, std::ios::binary) << WriteTaskPack(Pack);
    return Name;
  }

  TAlgEditorForm* OpenPack(const std::string& Name) {
    auto* W = dynamic_cast<TAlgEditorForm*>(Shell->OpenFile(Name));
    EXPECT_NE(W, nullptr);
    if (!W)
      return nullptr;
    W->show();
    QApplication::setActiveWindow(W);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(W));
    W->UpdateActions();
    return W;
  }

  static TPaletteFrame* Palette(TAlgEditorForm* W) {
    auto* Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
    return Constructor ? Constructor->Palette : nullptr;
  }

  static void Click(TAlgEditorForm* W, TAdvSpeedButton* Button) {
    TPaletteFrame* P = Palette(W);
    P->OnBlockClick(*P, TPaletteFrame::PrototypeOf(*Button));
  }
};

TEST_F(TaskWindowTest, APackOpensUntitledWithItsTextAndTheEditorKeepsItsRules) {
  const std::string Name = WritePack();
  StartShell();
  const int Before = Shell->GetDocuments().GetCount();
  TAlgEditorForm* W = OpenPack(Name);
  ASSERT_NE(W, nullptr);
  EXPECT_EQ(Shell->GetDocuments().GetCount(), Before + 1);
  // Untitled, unchanged, the starter chart in it, the pack's text above.
  EXPECT_FALSE(W->GetHasFileName());
  EXPECT_TRUE(W->GetFileName().ends_with(".alg")) << W->GetFileName();
  EXPECT_FALSE(W->GetModified());
  ASSERT_NE(W->GetTask(), nullptr);
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 1);
  ASSERT_NE(W->pnlTask, nullptr);
  EXPECT_TRUE(W->pnlTask->isVisible());
  EXPECT_EQ(W->pnlTask->lblTitle->text(), "Задание: sum.task");
  EXPECT_TRUE(W->pnlTask->txtTask->toPlainText().contains("Сложите два числа."))
      << W->pnlTask->txtTask->toPlainText().toStdString();
  EXPECT_EQ(W->pnlTask->txtTask->accessibleName(), "Текст задания");
  EXPECT_TRUE(W->pnlTask->lblRules->text().contains("«Ввод-вывод», «Блок вычислений»"));
  EXPECT_TRUE(W->pnlTask->lblRules->text().contains("не больше 3 блоков"));
  // The task above the check results.
  EXPECT_LT(W->splCheck->indexOf(W->pnlTask), W->splCheck->indexOf(W->pnlCheck));

  // The program pane may not be shown.
  EXPECT_FALSE(W->ViewProgram->isEnabled());
  EXPECT_FALSE(W->FileSaveProgram->isEnabled());
  EXPECT_FALSE(W->GetForm()->IsCodePaneVisible());

  // A forbidden kind is refused at the block, with the reason; nothing changes.
  TPaletteFrame* P = Palette(W);
  ASSERT_NE(P, nullptr);
  Click(W, P->sbFor);
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 1);
  EXPECT_FALSE(W->GetModified());
  EXPECT_TRUE(W->pnlTask->lblRefusal->isVisible());
  EXPECT_EQ(W->pnlTask->lblRefusal->text(),
            "⚠ В этом задании нельзя использовать «Цикл с параметром»");
  Click(W, P->sbIf);
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 1);
  // Nor does the keyboard's way in (Insert, Alt+1 ... Alt+6) go round it.
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  W->pnlTask->lblRefusal->clear();
  Constructor->InsertBlock(TAlgBlockKind::ForLoop);
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 1);
  EXPECT_EQ(W->pnlTask->lblRefusal->text(),
            "⚠ В этом задании нельзя использовать «Цикл с параметром»");
  // Allowed blocks go in, up to the most the task allows.
  Click(W, P->sbIO);
  Click(W, P->sbBasic);
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 3);
  Click(W, P->sbBasic);
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 3);
  EXPECT_TRUE(W->pnlTask->lblRefusal->text().contains("не больше 3 блоков"));

  // A pasted loop is taken back, the reason said.
  {
    TAlgorithm Other;
    TAlgBlock* Loop = TForAlgBlock::Class.CreateWithLines(Other.GetRoot()->GetBody(), {"I=1,2,1"});
    Other.SelectBlock(Loop, true);
    ASSERT_TRUE(CopyBlocksToClipboard(Other));
  }
  W->GetAlgorithm().UnselectAll();
  W->Paste();
  EXPECT_EQ(CountPlacedBlocks(W->GetAlgorithm()), 3);
  EXPECT_EQ(W->pnlTask->lblRefusal->text(),
            "⚠ В этом задании нельзя использовать «Цикл с параметром»");

  // A forbidden function typed into a block is named at once.
  TAlgBlock* Last = W->GetAlgorithm().GetRoot()->GetBody()->GetBlocks(2);
  {
    TModifyGuard Guard(&W->GetAlgorithm());
    Last->GetText().SetText("Y=SQRT(A)");
  }
  W->UpdateActions();
  EXPECT_TRUE(W->pnlTask->lblRefusal->text().contains("нельзя использовать функцию SQRT"))
      << W->pnlTask->lblRefusal->text().toStdString();
  {
    TModifyGuard Guard(&W->GetAlgorithm());
    Last->GetText().SetText("Y=ABS(A)");
  }
  W->UpdateActions();
  EXPECT_FALSE(W->pnlTask->lblRefusal->isVisible());
  EXPECT_TRUE(Errors.empty()) << Errors.front();

  // "Проверить" runs the pack's case.
  W->AlgCheck->trigger();
  for (int I = 0; I < 200 && W->GetChecking(); ++I)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_EQ(W->pnlCheck->tblCases->rowCount(), 1);
  EXPECT_EQ(W->pnlCheck->tblCases->item(0, 0)->text(), "сумма");
  EXPECT_TRUE(W->pnlCheck->isVisible());

  // The pupil saves an ordinary algorithm; the pack stays as it was.
  const std::string PackBefore = ReadAll(Name);
  ASSERT_TRUE(W->SaveAsFile(Home + "/pupil.alg"));
  TAlgorithm Saved;
  LoadAlgorithmFile(Saved, Home + "/pupil.alg");
  EXPECT_EQ(CountPlacedBlocks(Saved), 3);
  EXPECT_EQ(ReadAll(Name), PackBefore);
  EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(TaskWindowTest, EachOpeningIsAWindowOfItsOwnAndDamagedPacksAreNamed) {
  const std::string Name = WritePack(true);
  StartShell();
  TAlgEditorForm* First = OpenPack(Name);
  TAlgEditorForm* Second = OpenPack(Name);
  ASSERT_NE(First, nullptr);
  EXPECT_NE(First, Second);
  // The pack lets the program be shown.
  EXPECT_TRUE(First->ViewProgram->isEnabled());

  // A pack by content under another name, and a cut one.
  const std::string Text = ReadAll(Name);
  std::ofstream(Home + "/task.txt", std::ios::binary) << Text;
  EXPECT_NE(dynamic_cast<TAlgEditorForm*>(Shell->OpenFile(Home + "/task.txt"))->GetTask(), nullptr);
  std::ofstream(Home + "/cut.task", std::ios::binary) << Text.substr(0, Text.size() / 2);
  const int Count = Shell->GetDocuments().GetCount();
  try {
    Shell->OpenFile(Home + "/cut.task");
    ADD_FAILURE() << "a cut pack opened";
  } catch (const Exception& E) {
    EXPECT_TRUE(E.Message().find("Файл задания \"" + Home + "/cut.task\"") != std::string::npos)
        << E.Message();
  }
  EXPECT_EQ(Shell->GetDocuments().GetCount(), Count) << "no window is left of it";
  // An ordinary algorithm still opens as one, with no task.
  TAlgorithm Alg;
  SaveObjectToFile(&Alg, Home + "/plain.alg");
  auto* Plain = dynamic_cast<TAlgEditorForm*>(Shell->OpenFile(Home + "/plain.alg"));
  ASSERT_NE(Plain, nullptr);
  EXPECT_EQ(Plain->GetTask(), nullptr);
  EXPECT_TRUE(Plain->GetHasFileName());
}

} // namespace
