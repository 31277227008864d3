// The algorithm window in edit mode: its tool bar and commands, the shell's
// Edit commands, the modified state, saving and loading.

#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_Images.h"

#include "Corekit/ui/WindowHelpers.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowmodel/Flowmodel_Main.h"

#include "Environment/Environment_Examples.h"
#include "Environment/Environment_Help.h"

#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using EditorFormTest = TFlowappTest;

TEST_F(EditorFormTest, ToolBarHoldsRunStepStopWithTheirCaptionsHintsAndKeys) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  struct TExpected {
    TAction* Action;
    const char* Caption;
    QKeySequence Key;
  };
  for (const TExpected& E :
       {TExpected{W->AlgRun, "Запустить", QKeySequence(Qt::Key_F9)},
        TExpected{W->AlgStop, "Остановить", QKeySequence(Qt::Key_F2)},
        TExpected{W->AlgStep, "Выполнить один шаг", QKeySequence(Qt::Key_F8)}}) {
    EXPECT_EQ(E.Action->text().toStdString(), E.Caption);
    EXPECT_EQ(E.Action->toolTip().toStdString(), E.Caption);
    EXPECT_EQ(E.Action->shortcut(), E.Key);
    EXPECT_FALSE(E.Action->icon().isNull());
  }
  // Buttons in the order Run, Step, Stop; Run with its own caption.
  QList<QToolButton*> Buttons =
      W->tbrAlg->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
  std::vector<QToolButton*> Ours;
  for (QToolButton* B : Buttons)
    if (B->defaultAction())
      Ours.push_back(B);
  ASSERT_EQ(Ours.size(), 3u);
  EXPECT_EQ(Ours[0]->defaultAction(), W->AlgRun);
  EXPECT_EQ(Ours[1]->defaultAction(), W->AlgStep);
  EXPECT_EQ(Ours[2]->defaultAction(), W->AlgStop);
  EXPECT_EQ(W->tbRun->text().toStdString(), "Выполнить");
  EXPECT_EQ(W->tbRun->toolTip().toStdString(), "Выполнить");

  // Six images: the three glyphs at 0, 2 and 4 and their greyed forms.
  ASSERT_EQ(AlgEditorImages().GetCount(), 6);
  for (int I = 0; I < 6; ++I)
    EXPECT_EQ(AlgEditorImages().GetImage(I).size(), QSize(16, 16));
  EXPECT_NE(AlgEditorImages().GetImage(0).toImage(), AlgEditorImages().GetImage(1).toImage());
  EXPECT_THROW(AlgEditorImages().GetImage(6), Exception);

  // In edit mode Run and Step are enabled, Stop is not.
  W->UpdateActions();
  EXPECT_TRUE(W->AlgRun->isEnabled());
  EXPECT_TRUE(W->AlgStep->isEnabled());
  EXPECT_FALSE(W->AlgStop->isEnabled());
}

TEST_F(EditorFormTest, EditCommandsFollowFocusSelectionAndMode) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=2"}});
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  W->activateWindow();
  QApplication::setActiveWindow(W);

  // Cut, Copy and Paste never; Select All whenever editing.
  EXPECT_FALSE(W->CanCopy());
  EXPECT_FALSE(W->CanCut());
  EXPECT_FALSE(W->CanPaste());
  EXPECT_TRUE(W->CanSelectAll());

  TAlgBlock* First = Alg.GetRoot()->GetBody()->GetBlocks(0);
  Alg.SelectBlock(First, true);
  Constructor->AlgEditor->setFocus();
  EXPECT_TRUE(W->SelectionPresent());
  EXPECT_TRUE(W->CanDelete());

  // Not with the focus in the text box.
  Constructor->memBlock->setFocus();
  EXPECT_FALSE(W->CanDelete());
  Constructor->AlgEditor->setFocus();

  // Not with the root selected first.
  Alg.UnselectAll();
  Alg.SelectBlock(Alg.GetRoot(), true);
  EXPECT_FALSE(W->CanDelete());
  Alg.UnselectAll();
  EXPECT_FALSE(W->CanDelete()) << "nothing selected";

  // Delete removes the selected block; Select All selects.
  Alg.SelectBlock(First, true);
  W->DeleteSelection();
  EXPECT_EQ(Alg.GetBlockCount(), 2) << "the root and one block";
  W->SelectAll();
  EXPECT_GT(Alg.GetSelectedBlockCount(), 0);

  // In run mode: no Delete, no Select All, and DeleteSelection does nothing.
  W->AlgStepExecute();
  ASSERT_TRUE(W->GetRunning());
  EXPECT_FALSE(W->CanSelectAll());
  EXPECT_FALSE(W->CanDelete());
  const int Count = Alg.GetBlockCount();
  Alg.SelectBlock(Alg.GetRoot()->GetBody()->GetBlocks(0), true);
  W->DeleteSelection();
  EXPECT_EQ(Alg.GetBlockCount(), Count);
}

TEST_F(EditorFormTest, ModifiedStateFollowsTheDirtyFlagAndSavingClearsIt) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  EXPECT_FALSE(W->GetModified());
  EXPECT_TRUE(W->CanSave()) << "never saved";
  const int64_t Before = W->GetVersion();
  AddBlocks(Alg, {{"A=1", "B=A+1"}});
  EXPECT_TRUE(W->GetModified());
  EXPECT_GT(W->GetVersion(), Before);
  EXPECT_EQ(W->GetVersion(), static_cast<int64_t>(Alg.GetVersion()));

  // Selection is no change of the document.
  W->SetModified(false);
  Alg.SelectBlock(Alg.GetRoot()->GetBody()->GetBlocks(0), true);
  EXPECT_FALSE(W->GetModified());
  W->SetModified(true);
  EXPECT_TRUE(Alg.GetDirty());

  // Save As under a name: the number is freed, the file holds the record.
  const std::string File = Home + "/first.alg";
  ASSERT_TRUE(W->SaveAsFile(File));
  EXPECT_FALSE(W->GetModified());
  EXPECT_EQ(W->GetFileName(), File);

  // Opened again, the same blocks, unmodified; a failed load says why.
  TEditorForm* Again = Shell->OpenFile(File);
  auto* A = dynamic_cast<TAlgEditorForm*>(Again);
  ASSERT_NE(A, nullptr);
  EXPECT_FALSE(A->GetModified());
  ASSERT_EQ(A->GetAlgorithm().GetBlockCount(), Alg.GetBlockCount());
  TAlgBlock* Loaded = A->GetAlgorithm().GetRoot()->GetBody()->GetBlocks(0);
  ASSERT_EQ(Loaded->GetText().GetCount(), 2);
  EXPECT_EQ(Loaded->GetText().Get(0), "A=1");
  EXPECT_EQ(Loaded->GetText().Get(1), "B=A+1");
}

} // namespace

namespace {

// Справка (F1) from the text box: the help opens at the kind of the block the box
// shows; with no single block selected, at its contents. The strip's help
// menu and Файл > Примеры... are there.
TEST_F(EditorFormTest, HelpFromTheTextBoxOpensAtTheSelectedBlocksKind) {
  StartShell();
  TAlgEditorForm* W = AlgWindow();
  TAlgorithm& Alg = W->GetAlgorithm();
  auto* Loop = TAlgBlock::Create<TForAlgBlock>(Alg.GetRoot()->GetBody());
  Loop->GetText().Add("I=1,3,1");
  Loop->SetSelected(true);
  QApplication::setActiveWindow(W);
  auto* Constructor = dynamic_cast<TAlgConstructorForm*>(W->GetChildView());
  ASSERT_NE(Constructor, nullptr);
  Constructor->memBlock->setFocus();
  Flush();
  Shell->HelpContents->trigger();
  Flush();
  THelpForm* Help = nullptr;
  for (QWidget* Top : QApplication::topLevelWidgets())
    if (auto* H = qobject_cast<THelpForm*>(Top); H && H->isVisible())
      Help = H;
  ASSERT_NE(Help, nullptr) << "no help window opened";
  EXPECT_EQ(Help->CurrentTopic().toStdString(), "language.html#for");
  EXPECT_EQ(W->HelpTopic(), "language.html#for");
  Alg.UnselectAll();
  EXPECT_EQ(W->HelpTopic(), "index.html");

  EXPECT_EQ(Shell->HelpContents->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_TRUE(Shell->mnuHelp->actions().contains(Shell->HelpContents));
  EXPECT_TRUE(Shell->mnuFile->actions().contains(Shell->FileExamples));
  EXPECT_TRUE(QFileInfo(QString::fromStdString(ExampleAlgorithmsDir(FlowappDir)) + "/drawing.alg")
                  .exists());
  Help->close();
}

// Файл > Примеры... shows the gallery; Enter on an example opens it.
TEST_F(EditorFormTest, TheExamplesGalleryOpensTheChosenExample) {
  StartShell();
  const int Before = Shell->GetEditorCount();
  std::string Chosen;
  TModalAnswers Answers({[&](QWidget* Modal) {
    auto* Gallery = qobject_cast<TExamplesForm*>(Modal);
    ASSERT_NE(Gallery, nullptr);
    EXPECT_GE(Gallery->lvExamples->count(), 11);
    Gallery->lvExamples->setCurrentRow(3);
    Chosen = Gallery->SelectedPath();
    QTest::keyClick(Gallery->lvExamples, Qt::Key_Return);
  }});
  Shell->FileExamples->trigger();
  ASSERT_EQ(Answers.Asked(), 1);
  ASSERT_EQ(Shell->GetEditorCount(), Before + 1);
  TAlgEditorForm* W = AlgWindow(Before);
  EXPECT_EQ(W->GetFileName(), Chosen);
  EXPECT_EQ(Chosen, ExampleAlgorithmsDir(FlowappDir) + "/gcd.alg");
  EXPECT_GT(W->GetAlgorithm().GetRoot()->GetBody()->GetBlockCount(), 0);
}

} // namespace
