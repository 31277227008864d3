#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_CodePane.h"
#include "Flowedit/Flowedit_Constructor.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// A constructor form with the code pane shown: A, a loop L holding X, B.
struct TPaneForm {
  TPaneForm() {
    Body = Alg.GetRoot()->GetBody();
    A = AddBlock(Body, TBasicAlgBlock::Class, "A=1");
    Loop = static_cast<TContainerAlgBlock*>(AddBlock(Body, TForAlgBlock::Class, "I=1,3,1"));
    X = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "X=I");
    B = AddBlock(Body, TBasicAlgBlock::Class, "B=2");
    Form.resize(900, 500);
    Form.SetAlgorithm(&Alg);
    Form.SetCodePaneVisible(true);
    Form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
  }
  TCodePane& Pane() { return *Form.GetCodePane(); }
  QString Shown() { return Pane().memCode->toPlainText(); }
  QString Expected(TCodeLanguage L) {
    return QString::fromStdString(GenerateProgram(Alg, L, Pane().GetStyle()).GetText());
  }
  TCodeLineRange LinesOf(const TAlgBlock* Block) {
    TCodeLineRange R;
    EXPECT_TRUE(Pane().GetProgram().GetBlockLines(Block, R.First, R.Last));
    return R;
  }
  void Select(TAlgBlock* Block) {
    TModifyGuard Guard(Alg);
    Alg.UnselectAll();
    Block->SetSelected(true);
  }

  TAlgorithm Alg;
  TAlgConstructorForm Form;
  TCompoundAlgBlock* Body;
  TContainerAlgBlock* Loop;
  TAlgBlock *A, *X, *B;
};

// The backgrounds of the marked lines, by line.
std::map<int, QColor> Marks(QPlainTextEdit& Edit) {
  std::map<int, QColor> M;
  for (const QTextEdit::ExtraSelection& S : Edit.extraSelections())
    M[S.cursor.blockNumber()] = S.format.background().color();
  return M;
}

} // namespace

TEST(CodePane, HiddenUntilAskedAndFollowsNothingHidden) {
  TAlgorithm Alg;
  AddBlock(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, "A=1");
  TAlgConstructorForm Form;
  Form.SetAlgorithm(&Alg);
  EXPECT_FALSE(Form.IsCodePaneVisible());
  EXPECT_EQ(Form.GetCodePane()->GetAlgorithm(), nullptr);
  Form.SetCodePaneVisible(true);
  EXPECT_TRUE(Form.IsCodePaneVisible());
  EXPECT_EQ(Form.GetCodePane()->GetAlgorithm(), &Alg);
  EXPECT_EQ(Form.GetCodePane()->parentWidget(), Form.splCode);
  Form.SetCodePaneVisible(false);
  EXPECT_EQ(Form.GetCodePane()->GetAlgorithm(), nullptr);
  // The form may go before or after its algorithm without harm.
  Form.SetCodePaneVisible(true);
}

TEST(CodePane, ShowsTheProgramInTheLanguageChosen) {
  TPaneForm F;
  EXPECT_EQ(F.Pane().GetLanguage(), TCodeLanguage::Python);
  EXPECT_EQ(F.Shown(), F.Expected(TCodeLanguage::Python));
  EXPECT_EQ(F.Pane().memCode->font().fixedPitch() ||
                QFontInfo(F.Pane().memCode->font()).fixedPitch(),
            true);
  std::vector<TCodeLanguage> Told;
  F.Pane().OnLanguageChange = [&](TCodeLanguage L) { Told.push_back(L); };
  F.Pane().cbLanguage->setCurrentIndex(1);
  EXPECT_EQ(F.Pane().GetLanguage(), TCodeLanguage::Pascal);
  EXPECT_EQ(F.Shown(), F.Expected(TCodeLanguage::Pascal));
  F.Pane().SetLanguage(TCodeLanguage::Cpp);
  EXPECT_EQ(F.Pane().cbLanguage->currentText(), "C++");
  EXPECT_EQ(F.Shown(), F.Expected(TCodeLanguage::Cpp));
  EXPECT_EQ(Told, (std::vector<TCodeLanguage>{TCodeLanguage::Pascal, TCodeLanguage::Cpp}));
  EXPECT_TRUE(F.Pane().memCode->isReadOnly());
}

TEST(CodePane, ShowsTheLessonTextUnlessTheExactOneIsChosen) {
  TPaneForm F;
  EXPECT_EQ(F.Pane().GetStyle(), TCodeStyleKind::Lesson);
  EXPECT_EQ(F.Shown(),
            QString::fromStdString(
                GenerateProgram(F.Alg, TCodeLanguage::Python, TCodeStyleKind::Lesson).GetText()));
  // Beside the language, named for a screen reader and reached by Tab.
  EXPECT_EQ(F.Pane().cbStyle->accessibleName(), "Вид программы");
  EXPECT_EQ(F.Pane().cbLanguage->accessibleName(), "Язык программы");
  EXPECT_EQ(F.Pane().cbStyle->accessibleDescription(), "Вид программы");
  EXPECT_EQ(F.Pane().cbLanguage->accessibleDescription(), "Язык программы");
  EXPECT_TRUE(F.Pane().cbStyle->focusPolicy() & Qt::TabFocus);
  std::vector<TCodeStyleKind> Told;
  F.Pane().OnStyleChange = [&](TCodeStyleKind S) { Told.push_back(S); };
  F.Pane().cbStyle->setCurrentIndex(1);
  EXPECT_EQ(F.Pane().GetStyle(), TCodeStyleKind::Exact);
  EXPECT_EQ(F.Shown(),
            QString::fromStdString(
                GenerateProgram(F.Alg, TCodeLanguage::Python, TCodeStyleKind::Exact).GetText()));
  F.Pane().SetLanguage(TCodeLanguage::Pascal);
  EXPECT_EQ(F.Shown(), F.Expected(TCodeLanguage::Pascal));
  F.Pane().SetStyle(TCodeStyleKind::Lesson);
  EXPECT_EQ(F.Pane().cbStyle->currentText(), "Для урока");
  EXPECT_EQ(Told, (std::vector<TCodeStyleKind>{TCodeStyleKind::Exact, TCodeStyleKind::Lesson}));
  // The lines still follow the blocks.
  const TCodeLineRange R = F.LinesOf(F.X);
  EXPECT_EQ(F.Pane().GetProgram().GetLineBlock(R.First), F.X);
}

TEST(CodePane, TypingIntoABlockUpdatesTheTextOnceForTheBurst) {
  TPaneForm F;
  F.Select(F.X);
  const int Before = F.Pane().GetRegenerationCount();
  F.Form.memBlock->moveCursor(QTextCursor::End);
  TypeText(F.Form.memBlock, "+7");
  EXPECT_TRUE(QTest::qWaitFor([&] { return F.Shown() == F.Expected(TCodeLanguage::Python); }));
  EXPECT_EQ(F.X->GetText().Lines().front(), "X=I+7");
  EXPECT_EQ(F.Shown(), F.Expected(TCodeLanguage::Python));
  EXPECT_EQ(F.Pane().GetRegenerationCount(), Before + 1);
  // Deleting a block: the text made again holds no line of it, and a click
  // meanwhile reads the new text, never the deleted block.
  const int LinesBefore = F.Pane().memCode->document()->blockCount();
  F.Select(F.A);
  F.Alg.DeleteSelection();
  F.Pane().SelectBlockAtLine(0);
  EXPECT_EQ(F.Shown(), F.Expected(TCodeLanguage::Python));
  EXPECT_LT(F.Pane().memCode->document()->blockCount(), LinesBefore);
}

TEST(CodePane, SelectedAndRunningBlocksMarkTheirLines) {
  TPaneForm F;
  F.Select(F.Loop);
  const TCodeLineRange Loop = F.LinesOf(F.Loop);
  EXPECT_EQ(F.Pane().GetSelectedLines(), (std::vector<TCodeLineRange>{Loop}));
  auto M = Marks(*F.Pane().memCode);
  ASSERT_EQ(M.size(), static_cast<size_t>(Loop.Last - Loop.First + 1));
  EXPECT_EQ(M.begin()->first, Loop.First);
  const QColor Selected = M.begin()->second;

  // The running block over the selection, in its own colour.
  const TCodeLineRange X = F.LinesOf(F.X);
  F.Pane().SetRunningBlock(F.X);
  EXPECT_EQ(F.Pane().GetRunningLines(), (std::vector<TCodeLineRange>{X}));
  M = Marks(*F.Pane().memCode);
  EXPECT_NE(M[X.First], Selected);
  EXPECT_EQ(M[Loop.First], Selected);
  // Not by colour alone: the running lines are bold, the selected ones not.
  int Bold = 0;
  for (const QTextEdit::ExtraSelection& S : F.Pane().memCode->extraSelections())
    Bold += S.format.fontWeight() == QFont::Bold;
  EXPECT_EQ(Bold, X.Last - X.First + 1);
  F.Pane().SetRunningBlock(nullptr);
  EXPECT_TRUE(F.Pane().GetRunningLines().empty());

  // Selection cleared: nothing marked.
  {
    TModifyGuard Guard(F.Alg);
    F.Alg.UnselectAll();
  }
  EXPECT_TRUE(Marks(*F.Pane().memCode).empty());
}

TEST(CodePane, ClickingALineSelectsItsBlock) {
  TPaneForm F;
  QPlainTextEdit& Edit = *F.Pane().memCode;
  auto ClickLine = [&](int Line) {
    QTextCursor C(Edit.document()->findBlockByNumber(Line));
    const QPoint P = Edit.cursorRect(C).center() + QPoint(4, 0);
    QTest::mouseClick(Edit.viewport(), Qt::LeftButton, {}, P);
  };
  const TCodeLineRange X = F.LinesOf(F.X);
  ClickLine(X.First);
  EXPECT_EQ(SelectedLines(F.Alg), (std::vector<std::string>{"X=I"}));
  // The editor's text box follows, as after a click on the chart.
  EXPECT_EQ(F.Form.memBlock->toPlainText(), "X=I");
  ClickLine(F.LinesOf(F.Loop).First);
  EXPECT_EQ(SelectedLines(F.Alg), (std::vector<std::string>{"I=1,3,1"}));
  // A line of the program's frame leaves the selection alone.
  ClickLine(0);
  EXPECT_EQ(SelectedLines(F.Alg), (std::vector<std::string>{"I=1,3,1"}));
}

TEST(CodePane, RegeneratingKeepsTheScrollPosition) {
  TAlgorithm Alg;
  std::vector<TAlgBlock*> Blocks;
  for (int I = 0; I < 90; ++I)
    Blocks.push_back(
        AddBlock(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, "A=" + std::to_string(I)));
  TAlgConstructorForm Form;
  Form.resize(900, 400);
  Form.SetAlgorithm(&Alg);
  Form.SetCodePaneVisible(true);
  Form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  QScrollBar* V = Form.GetCodePane()->memCode->verticalScrollBar();
  ASSERT_GT(V->maximum(), 40);
  V->setValue(40);
  {
    TModifyGuard Guard(Alg);
    Blocks[80]->GetText().SetLines({"A=1000"});
  }
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return Form.GetCodePane()->memCode->toPlainText().contains("1000"); }));
  EXPECT_EQ(V->value(), 40);
  // Selecting a block out of view brings its lines into view.
  {
    TModifyGuard Guard(Alg);
    Blocks[85]->SetSelected(true);
  }
  TCodeLineRange R;
  ASSERT_TRUE(Form.GetCodePane()->GetProgram().GetBlockLines(Blocks[85], R.First, R.Last));
  EXPECT_LE(V->value(), R.First);
  EXPECT_GT(V->value(), 40);
}

TEST(CodePane, SavingWritesTheProgramOrNamesTheFile) {
  TAlgorithm Alg;
  AddBlock(Alg.GetRoot()->GetBody(), TIOAlgBlock::Class, "\"сумма\"");
  QTemporaryDir Dir;
  const std::string Name = Dir.path().toStdString() + "/сумма.pas";
  SaveProgramText(Alg, TCodeLanguage::Pascal, Name);
  QFile File(QString::fromStdString(Name));
  ASSERT_TRUE(File.open(QIODevice::ReadOnly));
  EXPECT_EQ(File.readAll().toStdString(), GenerateProgram(Alg, TCodeLanguage::Pascal).GetText());

  const std::string Bad = Dir.path().toStdString() + "/нет/программа.py";
  try {
    SaveProgramText(Alg, TCodeLanguage::Python, Bad);
    ADD_FAILURE() << "a folder that is not there was written into";
  } catch (const Exception& E) {
    EXPECT_NE(E.Message().find("Не удалось сохранить программу в файл \"" + Bad + "\""),
              std::string::npos)
        << E.Message();
  }
}
