// A line the machine cannot run, marked while it is typed: in the text box
// (a wavy underline and the message under the box) and on the chart (a
// badge and the message as the block's tooltip).

#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_LineCheckMarks.h"

#include "Flowmodel/Flowmodel_LineCheck.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const QString SPlusMessage = QStringLiteral("Ошибка при вычислении \"S+\". Ожидалось выражение.");

struct TMarkedForm {
  TMarkedForm() {
    Body = Alg.GetRoot()->GetBody();
    Input = AddBlock(Body, TIOAlgBlock::Class, "Ввод N");
    Sum = AddBlock(Body, TBasicAlgBlock::Class, "S=0");
    Branch = AddBlock(Body, TIfAlgBlock::Class, "S>N");
    Form.SetAlgorithm(&Alg);
    Form.resize(700, 500);
    Form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
  }
  TAlgEditor& Editor() { return *Form.AlgEditor; }
  QString Message() const { return Form.lblLineProblem->text(); }
  // The underlined parts of the text box.
  QStringList Underlined() const {
    QStringList Parts;
    for (const QTextEdit::ExtraSelection& S : Form.memBlock->extraSelections())
      if (S.format.underlineStyle() == QTextCharFormat::WaveUnderline)
        Parts << S.cursor.selectedText();
    return Parts;
  }
  void Retype(const QString& Text) {
    QPlainTextEdit& Memo = *Form.memBlock;
    Memo.setFocus();
    Memo.selectAll();
    QTest::keyClick(&Memo, Qt::Key_Delete);
    TypeText(&Memo, Text);
  }

  TAlgorithm Alg;
  TAlgConstructorForm Form;
  TCompoundAlgBlock* Body;
  TAlgBlock *Input, *Sum, *Branch;
};

} // namespace

TEST(LineCheckMarks, TheTextBoxUnderlinesTheRefusedPartAndSaysWhyUnderIt) {
  TMarkedForm F;
  ClickBlock(F.Editor(), F.Sum);
  EXPECT_TRUE(F.Message().isEmpty());
  EXPECT_TRUE(F.Underlined().isEmpty());

  F.Retype(QStringLiteral("S = S +"));
  EXPECT_EQ(F.Underlined(), QStringList{QStringLiteral("S +")});
  EXPECT_EQ(F.Message(), SPlusMessage);
  EXPECT_EQ(F.Form.memBlock->accessibleDescription(), SPlusMessage) << "heard, not only seen";

  // Several lines: every wrong line is underlined, the message is the one
  // of the cursor's line, numbered.
  F.Form.memBlock->setPlainText(QString::fromUtf8("S=S+\nX=1\nY = Y)"));
  F.Form.memBlock->moveCursor(QTextCursor::End);
  EXPECT_EQ(F.Underlined(), (QStringList{QStringLiteral("S+"), QStringLiteral("Y)")}));
  EXPECT_TRUE(F.Message().startsWith(QStringLiteral("Строка 3: "))) << F.Message().toStdString();
  F.Form.memBlock->moveCursor(QTextCursor::Start);
  EXPECT_EQ(F.Message(), QStringLiteral("Строка 1: ") + SPlusMessage);

  F.Retype(QStringLiteral("S=S+1"));
  EXPECT_TRUE(F.Underlined().isEmpty());
  EXPECT_TRUE(F.Message().isEmpty());

  // Another block selected: its own verdict.
  F.Branch->GetText().Clear();
  ClickBlock(F.Editor(), F.Branch);
  EXPECT_EQ(F.Message(), QStringLiteral("Неверное условие."));
  ClickBlock(F.Editor(), F.Input);
  EXPECT_TRUE(F.Message().isEmpty());
}

TEST(LineCheckMarks, TheChartBadgesTheBlockAndItsTooltipIsTheRunsMessage) {
  TMarkedForm F;
  TAlgEditor& E = F.Editor();
  EXPECT_TRUE(LineCheckBadgeRect(E, F.Sum).isNull());
  F.Sum->GetText().SetText("S=S+");
  const QRect Badge = LineCheckBadgeRect(E, F.Sum);
  ASSERT_FALSE(Badge.isNull());
  // At the block's top-right corner.
  const QRect Block = E.BlockClientRect(F.Sum);
  EXPECT_TRUE(Block.contains(Badge.center() + QPoint(-Badge.width() / 2, Badge.height() / 2)));
  EXPECT_NEAR(Badge.center().x(), Block.right(), Badge.width());
  EXPECT_NEAR(Badge.center().y(), Block.top(), Badge.height());

  // Drawn: a red circle with a white "!".
  const QImage Shot = E.grab().toImage();
  const QRgb Ring = Shot.pixel(Badge.center() + QPoint(Badge.width() / 2 - 3, 0));
  EXPECT_GT(qRed(Ring), 150);
  EXPECT_LT(qGreen(Ring), 100);
  const QRgb Stem = Shot.pixel(Badge.center() - QPoint(0, Badge.height() / 5));
  EXPECT_GT(qGreen(Stem), 200) << "the mark is a glyph, not a colour alone";

  EXPECT_EQ(E.ToolTipAt(Block.center()), SPlusMessage);
  F.Sum->GetText().SetText("S=S+\nT=*");
  EXPECT_EQ(E.ToolTipAt(E.BlockClientRect(F.Sum).center()),
            QStringLiteral("Строка 1: ") + SPlusMessage +
                QStringLiteral("\nСтрока 2: Ошибка при вычислении \"*\". Ожидалось выражение."));

  // A branch's badge sits at its condition's corner, not the whole branch's.
  F.Branch->GetText().SetText("S>");
  const QRect BranchBadge = LineCheckBadgeRect(E, F.Branch);
  ASSERT_FALSE(BranchBadge.isNull());
  EXPECT_LT(BranchBadge.center().y(), E.BlockClientRect(F.Branch).top() + 60);
  F.Sum->GetText().SetText("S=0");
  EXPECT_TRUE(LineCheckBadgeRect(E, F.Sum).isNull());
  EXPECT_TRUE(E.ToolTipAt(E.BlockClientRect(F.Sum).center()).isEmpty());
}

TEST(LineCheckMarks, EveryKindsBadgeSitsOnItsShapesCornerInsideTheChart) {
  TMarkedForm F;
  TAlgEditor& E = F.Editor();
  TAlgBlock* While = AddBlock(F.Body, TWhileAlgBlock::Class, "S<");
  TAlgBlock* Until = AddBlock(F.Body, TUntilAlgBlock::Class, "S<");
  TAlgBlock* For = AddBlock(F.Body, TForAlgBlock::Class, "I=1,");
  F.Input->GetText().SetText("д N");
  F.Sum->GetText().SetText("S=S+");
  F.Branch->GetText().SetText("S>");
  for (TAlgBlock* B : {F.Input, F.Sum, F.Branch, While, Until, For}) {
    const QRect Badge = LineCheckBadgeRect(E, B);
    ASSERT_FALSE(Badge.isNull()) << B->GetText().Get(0);
    EXPECT_TRUE(E.rect().contains(Badge)) << B->GetText().Get(0) << ": wholly on the chart";
    // A box or a parallelogram: the shape itself is under the badge's
    // inner side (a diamond's corner of its box is empty).
    TPoint P;
    if (B == F.Input || B == F.Sum) {
      EXPECT_EQ(E.GetBlockAt(Badge.center() + QPoint(-4, 4), P), B) << B->GetText().Get(0);
    }
  }
}

// The place the markers and badges are drawn at: a loop's or a branch's
// picture reaches left of its condition, and its place covers all of it.
TEST(LineCheckMarks, ABlocksPlaceCoversItsWholePictureWhateverItsOrigin) {
  TMarkedForm F;
  TAlgEditor& E = F.Editor();
  auto* Loop = static_cast<TContainerAlgBlock*>(AddBlock(F.Body, TWhileAlgBlock::Class, "S<N"));
  TAlgBlock* Inner = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "S=S+1");
  auto* Branch = static_cast<TIfAlgBlock*>(F.Branch);
  TAlgBlock* Yes = AddBlock(Branch->GetYesBranch(), TBasicAlgBlock::Class, "S=1");
  TAlgBlock* No = AddBlock(Branch->GetNoBranch(), TBasicAlgBlock::Class, "S=2");
  for (auto [Outer, Part] :
       {std::pair<TAlgBlock*, TAlgBlock*>{Loop, Inner}, {Branch, Yes}, {Branch, No}}) {
    const QRect O = E.BlockClientRect(Outer), P = E.BlockClientRect(Part);
    EXPECT_TRUE(O.contains(P)) << Outer->GetText().Get(0) << " " << Part->GetText().Get(0);
    EXPECT_TRUE(E.rect().contains(O)) << Outer->GetText().Get(0);
  }
}

TEST(LineCheckMarks, PaintingRereadsOnlyTheBlockTypedInAndForgetsDeletedOnes) {
  TMarkedForm F;
  TAlgEditor& E = F.Editor();
  E.grab();
  TAlgLineCheck& Check = EditorLineCheck(E);
  const uint64_t Reads = Check.GetReadCount();
  const size_t Kept = Check.GetKeptCount(); // the sequences' verdicts too
  E.grab();
  EXPECT_EQ(Check.GetReadCount(), Reads) << "nothing changed, nothing read";
  F.Sum->GetText().SetText("S=S+1");
  E.grab();
  EXPECT_EQ(Check.GetReadCount(), Reads + 1);
  F.Input->Free();
  E.grab();
  EXPECT_EQ(Check.GetKeptCount(), Kept - 1);
}
