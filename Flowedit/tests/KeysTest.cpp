#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_framePalette.h"

#include "Corekit/ui/AdvSpeedButton.h"
#include "Flowmodel/Flowmodel_ChartStops.h"
#include "Flowmodel/Flowmodel_History.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// A constructor form with A=1, B=2 and a counting loop holding X=I.
struct TKeys {
  TKeys() {
    Body = Alg.GetRoot()->GetBody();
    A = AddBlock(Body, TBasicAlgBlock::Class, "A=1");
    B = AddBlock(Body, TBasicAlgBlock::Class, "B=2");
    Loop = static_cast<TContainerAlgBlock*>(AddBlock(Body, TForAlgBlock::Class, "I=1,3,1"));
    X = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "X=I");
    Form.SetAlgorithm(&Alg);
    Form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Editor().setFocus();
  }
  TAlgEditor& Editor() { return *Form.AlgEditor; }
  void Key(int K, Qt::KeyboardModifiers Mods = {}) {
    // The form's own focus: a modal list just closed may leave no window active.
    QWidget* Target = Form.focusWidget() ? Form.focusWidget() : &Editor();
    QTest::keyClick(Target, Qt::Key(K), Mods);
  }
  // The cursor in words: a block's first line, or "@index" of a place of
  // the main sequence, "@body/index" of the loop's.
  std::string Cursor() {
    const TChartStop& S = Editor().GetCursor();
    if (S.IsBlock())
      return S.Block->GetText().GetCount() ? S.Block->GetText().Get(0) : "<empty>";
    if (S.IsPlace())
      return std::string(S.Sequence == Body ? "@" : "@body/") + std::to_string(S.Index);
    return "none";
  }

  TAlgorithm Alg;
  TAlgConstructorForm Form;
  TCompoundAlgBlock* Body;
  TAlgBlock* A;
  TAlgBlock* B;
  TContainerAlgBlock* Loop;
  TAlgBlock* X;
};

// Answers the insert list with a key once it shows; gives up after 5 s.
void AnswerDialogWith(const QString& Text, int Key = 0) {
  auto* Timer = new QTimer;
  auto Tries = std::make_shared<int>(0);
  QObject::connect(Timer, &QTimer::timeout, [Timer, Tries, Text, Key] {
    auto* Dialog = qobject_cast<TInsertBlockDialog*>(QApplication::activeModalWidget());
    if (!Dialog && ++*Tries < 500)
      return;
    Timer->deleteLater();
    Timer->stop();
    if (!Dialog) {
      ADD_FAILURE() << "no insert list";
      return;
    }
    QKeyEvent Press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(Dialog->lstKinds, &Press);
    if (Dialog->isVisible())
      Dialog->reject();
  });
  Timer->start(10);
}

} // namespace

TEST(ChartKeys, CursorWalksTheStopsInDrawingOrderAndSelectsBlocks) {
  TKeys K;
  EXPECT_EQ(K.Cursor(), "none") << "not placed before the first key";
  K.Key(Qt::Key_Down);
  EXPECT_EQ(K.Cursor(), "@0");
  EXPECT_EQ(K.Alg.GetSelectedBlockCount(), 0);
  std::vector<std::string> Seen{K.Cursor()};
  while (K.Editor().MoveCursor(1))
    Seen.push_back(K.Cursor());
  EXPECT_EQ(Seen, (std::vector<std::string>{"@0", "A=1", "@1", "B=2", "@2", "I=1,3,1", "@body/0",
                                            "X=I", "@body/1", "@3"}));
  K.Key(Qt::Key_Down);
  EXPECT_EQ(K.Cursor(), "@3") << "the last stop stays";
  K.Key(Qt::Key_Home);
  EXPECT_EQ(K.Cursor(), "@0");
  K.Key(Qt::Key_Up);
  EXPECT_EQ(K.Cursor(), "@0");
  K.Key(Qt::Key_End);
  K.Key(Qt::Key_Up);
  K.Key(Qt::Key_Up);
  EXPECT_EQ(K.Cursor(), "X=I");
  EXPECT_EQ(SelectedLines(K.Alg), (std::vector<std::string>{"X=I"})) << "as a click selects";
  K.Key(Qt::Key_Up);
  EXPECT_EQ(K.Alg.GetSelectedBlockCount(), 0) << "a place selects nothing";

  // A click moves the cursor; the cursor survives the deletion of its block.
  ClickBlock(K.Editor(), K.B);
  EXPECT_EQ(K.Cursor(), "B=2");
  K.Key(Qt::Key_Delete);
  EXPECT_EQ(K.Cursor(), "I=1,3,1") << "onto the block the deletion selected";
}

TEST(ChartKeys, ShiftExtendsAlongTheSequenceAltMovesTheSelection) {
  TKeys K;
  K.Editor().SetCursor(TChartStop::At(K.A));
  K.Key(Qt::Key_Down, Qt::ShiftModifier);
  K.Key(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(SelectedLines(K.Alg), (std::vector<std::string>{"A=1", "B=2", "I=1,3,1"}));
  K.Key(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(K.Alg.GetSelectedBlockCount(), 3) << "never past the sequence's end";
  K.Key(Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(SelectedLines(K.Alg), (std::vector<std::string>{"A=1", "B=2"}));

  TAlgHistory History(K.Alg);
  K.Key(Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(FirstLines(K.Body), (std::vector<std::string>{"I=1,3,1", "A=1", "B=2"}));
  EXPECT_EQ(SelectedLines(K.Alg), (std::vector<std::string>{"A=1", "B=2"}));
  EXPECT_EQ(K.Cursor(), "B=2");
  EXPECT_EQ(History.GetUndoCount(), 1);
  K.Key(Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(History.GetUndoCount(), 1) << "at the end nothing moves";
  K.Key(Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(FirstLines(K.Body), (std::vector<std::string>{"A=1", "B=2", "I=1,3,1"}));
}

TEST(ChartKeys, InsertListAndAltDigitsPlaceABlockAndTheTextBoxTakesTheTyping) {
  TKeys K;
  // On the loop's empty place after X: the list, 3 chooses the branch.
  K.Editor().SetCursor(TChartStop::Place(K.Loop->GetBody(), 1));
  AnswerDialogWith("3");
  K.Key(Qt::Key_Insert);
  ASSERT_EQ(K.Loop->GetBody()->GetBlockCount(), 2);
  TAlgBlock* If = K.Loop->GetBody()->GetBlocks(1);
  EXPECT_EQ(If->GetKind(), TAlgBlockKind::Branch);
  EXPECT_TRUE(If->GetSelected());
  EXPECT_EQ(K.Form.focusWidget(), K.Form.memBlock);
  TypeText(K.Form.memBlock, "A<B");
  K.Key(Qt::Key_Escape);
  EXPECT_EQ(K.Form.focusWidget(), &K.Editor());
  EXPECT_EQ(SelectedLines(K.Alg), (std::vector<std::string>{"A<B"}));
  EXPECT_EQ(K.Cursor(), "A<B");

  // Alt+2 after the selected block: input/output; Ctrl+Enter back.
  K.Key(Qt::Key_2, Qt::AltModifier);
  TAlgBlock* IO = K.Loop->GetBody()->GetBlocks(2);
  EXPECT_EQ(IO->GetKind(), TAlgBlockKind::InputOutput);
  TypeText(K.Form.memBlock, "Вывод A");
  K.Key(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(K.Form.focusWidget(), &K.Editor());
  EXPECT_EQ(FirstLines(K.Loop->GetBody()), (std::vector<std::string>{"X=I", "A<B", "Вывод A"}));

  // Enter in the list chooses its current line; Escape chooses nothing.
  K.Editor().SetCursor(TChartStop::Place(K.Body, 0));
  AnswerDialogWith("", Qt::Key_Escape);
  K.Key(Qt::Key_Insert);
  EXPECT_EQ(K.Body->GetBlockCount(), 3);
  AnswerDialogWith("", Qt::Key_Return);
  K.Key(Qt::Key_Insert);
  EXPECT_EQ(K.Body->GetBlocks(0)->GetKind(), TAlgBlockKind::Computation);

  // The list names the six kinds by their numbers.
  TInsertBlockDialog Dialog;
  QStringList Lines;
  for (int I = 0; I < Dialog.lstKinds->count(); ++I)
    Lines << Dialog.lstKinds->item(I)->text();
  EXPECT_EQ(Lines.join("|").toStdString(),
            "1  Блок вычислений|2  Ввод-вывод|3  Ветвление|4  Цикл с предусловием|"
            "5  Цикл с постусловием|6  Цикл с параметром");
}

TEST(ChartKeys, EnterAndTypingGoToTheEndOfTheTextNeverReplacingIt) {
  TKeys K;
  K.Editor().SetCursor(TChartStop::At(K.A));
  K.A->GetText().Add("C=3");
  K.Form.SetupBlockEditor();
  K.Key(Qt::Key_Return);
  ASSERT_EQ(K.Form.focusWidget(), K.Form.memBlock);
  EXPECT_TRUE(K.Form.memBlock->textCursor().atEnd());
  K.Key(Qt::Key_Escape);
  TypeText(&K.Editor(), "4");
  EXPECT_EQ(K.A->GetText().Get(0), "A=1");
  EXPECT_EQ(K.A->GetText().Get(1), "C=34");
  // Enter on a place opens the insert list.
  K.Key(Qt::Key_Escape);
  K.Editor().SetCursor(TChartStop::Place(K.Body, 3));
  AnswerDialogWith("6");
  K.Key(Qt::Key_Return);
  EXPECT_EQ(K.Body->GetBlocks(3)->GetKind(), TAlgBlockKind::ForLoop);
}

TEST(ChartKeys, TabGoesChartTextBoxPaletteAndSpaceOnAButtonInsertsAtTheCursor) {
  TKeys K;
  K.Editor().SetCursor(TChartStop::At(K.B));
  K.Key(Qt::Key_Tab);
  EXPECT_EQ(K.Form.focusWidget(), K.Form.memBlock);
  K.Key(Qt::Key_Tab);
  auto* Button = qobject_cast<TAdvSpeedButton*>(K.Form.focusWidget());
  ASSERT_NE(Button, nullptr);
  EXPECT_EQ(Button, K.Form.Palette->sbBasic);
  EXPECT_EQ(Button->accessibleName().toStdString(), "Блок вычислений");
  K.Key(Qt::Key_Tab);
  EXPECT_EQ(K.Form.focusWidget(), K.Form.Palette->sbIf);
  for (TAdvSpeedButton* B : K.Form.Palette->GetButtons())
    EXPECT_FALSE(B->accessibleName().isEmpty());

  K.Key(Qt::Key_Space);
  EXPECT_EQ(K.Body->GetBlocks(2)->GetKind(), TAlgBlockKind::Branch) << "after B, the selected";
  EXPECT_EQ(K.Form.focusWidget(), K.Form.memBlock);
  K.Editor().SetCursor(TChartStop::Place(K.Loop->GetBody(), 0));
  K.Form.Palette->sbWhile->setFocus();
  K.Key(Qt::Key_Return);
  EXPECT_EQ(K.Loop->GetBody()->GetBlocks(0)->GetKind(), TAlgBlockKind::WhileLoop);
}

TEST(ChartKeys, DragShowsItsPlaceRefusesEmptySpaceAndKeepsTheDropUnderThePointer) {
  TEditorWindow W(QSize(260, 220));
  for (int I = 0; I < 8; ++I)
    AddBlock(W.Body(), TBasicAlgBlock::Class, "S" + std::to_string(I) + "=0");
  auto* If = static_cast<TIfAlgBlock*>(AddBlock(W.Body(), TIfAlgBlock::Class, "A<B"));
  TAlgEditor& E = *W.Editor;
  // Scrolled so that the branch's "нет" arm is in view.
  const QPoint IntoNo = ClientOf(E, ChartDropPoint(E, If->GetNoBranch(), 0));
  QScrollBar* V = W.Box.verticalScrollBar();
  ASSERT_GT(V->maximum(), 0) << "the chart is taller than the box";
  V->setValue(E.mapTo(W.Box.GetArea(), IntoNo).y() - 110);
  TPoint Phys;
  BlockAtChart(E, E.ClientToChart(IntoNo), &Phys);
  const QPoint OnScreen = E.mapTo(W.Box.viewport(), IntoNo);

  TAlgorithm Source;
  TAlgBlock* Proto = TBasicAlgBlock::Class.Create(Source.GetRoot()->GetBody());
  auto Drag = std::make_unique<TAlgDragObject>();
  Drag->SetKeepSources(true);
  Drag->AddBlock(Proto);
  QDrag QtDrag(&E);
  QtDrag.setMimeData(new TDragMimeData(std::move(Drag)));
  const Qt::DropActions Actions = Qt::CopyAction | Qt::MoveAction;
  auto Move = [&](QPoint At) {
    PointAt(E, At);
    QDragMoveEvent Event(At, Actions, QtDrag.mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(&E, &Event);
    return Event.isAccepted();
  };
  QDragEnterEvent Enter(IntoNo, Actions, QtDrag.mimeData(), Qt::LeftButton, {});
  QApplication::sendEvent(&E, &Enter);
  ASSERT_TRUE(Move(IntoNo));
  EXPECT_EQ(E.GetDropPlace(), TChartStop::Place(If->GetNoBranch(), 0));
  // Off every sequence: refused (the pointer says nothing happens), no marker.
  EXPECT_FALSE(Move(QPoint(2, 2)));
  EXPECT_TRUE(E.GetDropPlace().Empty());
  ASSERT_TRUE(Move(IntoNo));
  QDropEvent Drop(IntoNo, Actions, QtDrag.mimeData(), Qt::LeftButton, {});
  QApplication::sendEvent(&E, &Drop);
  ASSERT_TRUE(Drop.isAccepted());
  EXPECT_TRUE(E.GetDropPlace().Empty());
  ASSERT_EQ(If->GetNoBranch()->GetBlockCount(), 1);
  EXPECT_TRUE(If->GetNoBranch()->GetBlocks(0)->GetSelected()) << "the dropped block is selected";
  EXPECT_EQ(E.GetCursor(), TChartStop::At(If->GetNoBranch()->GetBlocks(0)));
  EXPECT_TRUE(E.hasFocus());
  // The point of the arm that was under the pointer is under it still.
  const TCompositeImage* Arm = If->GetNoBranch()->GetImage();
  const QPoint Now =
      E.mapTo(W.Box.viewport(), E.ChartToClient(E.GetImage()->PhysToLog(Arm->SelfToGlobal(Phys))));
  EXPECT_LE((Now - OnScreen).manhattanLength(), 2);
}

TEST(ChartKeys, ABlocksRectCoversItsOwnShapeWhateverSideOfItsLineItIsDrawn) {
  TEditorWindow W(QSize(500, 400));
  TAlgBlock* IO = AddBlock(W.Body(), TIOAlgBlock::Class, "Ввод N");
  auto* For = static_cast<TContainerAlgBlock*>(AddBlock(W.Body(), TForAlgBlock::Class, "I=1,N,1"));
  AddBlock(For->GetBody(), TBasicAlgBlock::Class, "S=S+I");
  TAlgEditor& E = *W.Editor;
  for (TAlgBlock* B : {IO, static_cast<TAlgBlock*>(For)}) {
    const QRect R = E.BlockClientRect(B);
    ASSERT_FALSE(R.isEmpty());
    int Hits = 0, Outside = 0;
    for (int Y = 0; Y < E.height(); ++Y)
      for (int X = 0; X < E.width(); ++X)
        if (BlockAtChart(E, E.ClientToChart(QPoint(X, Y))) == B) {
          ++Hits;
          Outside += !R.contains(X, Y);
        }
    EXPECT_GT(Hits, 100);
    EXPECT_EQ(Outside, 0) << B->GetText().Get(0) << " hit outside its rectangle";
  }
}
