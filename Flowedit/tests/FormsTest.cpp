#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_Constructor.h"
#include "Flowedit/Flowedit_framePalette.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/AdvSpeedButton.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPlainTextEdit>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// A constructor form on the screen with A, B and a loop L holding X.
struct TConstructor {
  TConstructor() {
    Body = Alg.GetRoot()->GetBody();
    AddBlock(Body, TBasicAlgBlock::Class, "A=1");
    AddBlock(Body, TBasicAlgBlock::Class, "B=2");
    Loop = static_cast<TContainerAlgBlock*>(AddBlock(Body, TForAlgBlock::Class, "I=1,3,1"));
    X = AddBlock(Loop->GetBody(), TBasicAlgBlock::Class, "X=I");
    Form.SetAlgorithm(&Alg);
    Form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
  }
  TAlgEditor& Editor() { return *Form.AlgEditor; }

  TAlgorithm Alg;
  TAlgConstructorForm Form;
  TCompoundAlgBlock* Body;
  TContainerAlgBlock* Loop;
  TAlgBlock* X;
};

std::vector<std::string> ClassNames(const TAlgBlock* Parent) {
  std::vector<std::string> Names;
  for (int I = 0; I < Parent->GetBlockCount(); ++I)
    Names.push_back(Parent->GetBlocks(I)->ClassName());
  return Names;
}

// A button's picture as drawn, at the screen's resolution.
QImage Picture(const TAdvSpeedButton& Button) {
  const QIcon Icon = Button.icon();
  return Icon.pixmap(Button.iconSize()).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool Dark(QRgb P) {
  return qAlpha(P) > 128 && qGray(P) < 128;
}

// The widest run of the blocks' white fill in one row: the width of the
// largest shape.
int WidestFill(const QImage& Image) {
  int Widest = 0;
  for (int Y = 0; Y < Image.height(); ++Y)
    for (int X = 0, Run = 0; X < Image.width(); ++X) {
      const QRgb P = Image.pixel(X, Y);
      Run = qAlpha(P) == 255 && qGray(P) > 240 ? Run + 1 : 0;
      Widest = std::max(Widest, Run);
    }
  return Widest;
}

} // namespace

TEST(PaletteFrame, SixButtonsWithTheirHintsAndPrototypes) {
  TPaletteFrame Palette;
  const std::vector<std::pair<TAdvSpeedButton*, std::pair<const char*, const char*>>> Expected = {
      {Palette.sbBasic, {"Блок вычислений", "TBasicAlgBlock"}},
      {Palette.sbIf, {"Ветвление", "TIfAlgBlock"}},
      {Palette.sbIO, {"Ввод-вывод", "TIOAlgBlock"}},
      {Palette.sbWhile, {"Цикл с предусловием", "TWhileAlgBlock"}},
      {Palette.sbFor, {"Цикл с параметром", "TForAlgBlock"}},
      {Palette.sbUntil, {"Цикл с постусловием", "TUntilAlgBlock"}}};
  for (const auto& [Button, Want] : Expected) {
    EXPECT_EQ(Button->toolTip(), QString::fromUtf8(Want.first));
    EXPECT_STREQ(TPaletteFrame::PrototypeOf(*Button)->ClassName(), Want.second);
    EXPECT_FALSE(Button->icon().isNull()) << Want.second << " has its picture";
  }
  EXPECT_EQ(ClassNames(Palette.GetPaletteAlgorithm().GetRoot()->GetBody()),
            (std::vector<std::string>{"TBasicAlgBlock", "TIfAlgBlock", "TIOAlgBlock",
                                      "TWhileAlgBlock", "TForAlgBlock", "TUntilAlgBlock"}));
  EXPECT_EQ(Palette.sbUntil->geometry(), QRect(100, 80, 100, 81));
}

TEST(PaletteFrame, PicturesShareOneScaleAreWholeAndHaveReadableLabels) {
  TPaletteFrame Palette;
  const double Scale = Palette.GetPictureScale();
  EXPECT_GT(Scale, 0.2);
  EXPECT_LE(Scale, 1.0);
  // Labels come out about as high as the interface's text.
  EXPECT_GE(Palette.GetPictureFontHeight() * Scale, TPaletteFrame::LabelLineHeight - 1);

  for (TAdvSpeedButton* Button : {Palette.sbBasic, Palette.sbIf, Palette.sbIO, Palette.sbWhile,
                                  Palette.sbFor, Palette.sbUntil}) {
    SCOPED_TRACE(Button->toolTip().toStdString());
    const QSize Room = Button->size() - QSize(6, 6);
    EXPECT_LE(Button->iconSize().width(), Room.width());
    EXPECT_LE(Button->iconSize().height(), Room.height());
    // Every line is there: the picture's last rows hold a line.
    const QImage Image = Picture(*Button);
    int LastDarkRow = -1;
    for (int Y = 0; Y < Image.height(); ++Y)
      for (int X = 0; X < Image.width(); ++X)
        if (Dark(Image.pixel(X, Y)))
          LastDarkRow = Y;
    EXPECT_GE(LastDarkRow, Image.height() - 3 * Image.devicePixelRatio());
  }
  // The bottom edge of the input/output picture is a whole line.
  const QImage IO = Picture(*Palette.sbIO);
  int Longest = 0;
  for (int Y = IO.height() - 4; Y < IO.height(); ++Y) {
    int Count = 0;
    for (int X = 0; X < IO.width(); ++X)
      Count += Dark(IO.pixel(X, Y));
    Longest = std::max(Longest, Count);
  }
  EXPECT_GT(Longest, IO.width() / 2);
  // One scale: the three diamonds are the same size.
  const int Diamond = WidestFill(Picture(*Palette.sbIf));
  EXPECT_NEAR(WidestFill(Picture(*Palette.sbWhile)), Diamond, 1);
  EXPECT_NEAR(WidestFill(Picture(*Palette.sbUntil)), Diamond, 1);
}

TEST(ConstructorForm, PaletteClickInsertsNextToTheSelection) {
  TConstructor C;
  TPaletteFrame& P = *C.Form.Palette;
  // Nothing selected: at the end of the main sequence.
  QTest::mouseClick(P.sbIO, Qt::LeftButton);
  EXPECT_EQ(ClassNames(C.Body), (std::vector<std::string>{"TBasicAlgBlock", "TBasicAlgBlock",
                                                          "TForAlgBlock", "TIOAlgBlock"}));
  EXPECT_EQ(C.Alg.GetSelectedBlocksProperty(0), C.Body->GetBlocks(3));
  // One selected: right after it, in its own sequence, selected alone.
  C.Alg.UnselectAll();
  C.Alg.SelectBlock(C.X, true);
  QTest::mouseClick(P.sbIf, Qt::LeftButton);
  EXPECT_EQ(ClassNames(C.Loop->GetBody()),
            (std::vector<std::string>{"TBasicAlgBlock", "TIfAlgBlock"}));
  ASSERT_EQ(C.Alg.GetSelectedBlockCount(), 1);
  EXPECT_EQ(C.Alg.GetSelectedBlocksProperty(0), C.Loop->GetBody()->GetBlocks(1));
  // Two selected: nothing happens.
  C.Alg.UnselectAll();
  C.Alg.SelectBlock(C.Body->GetBlocks(0), true);
  C.Alg.SelectBlock(C.Body->GetBlocks(1), true);
  const int Count = C.Alg.GetBlockCount();
  QTest::mouseClick(P.sbBasic, Qt::LeftButton);
  EXPECT_EQ(C.Alg.GetBlockCount(), Count);
  EXPECT_EQ(C.Alg.GetSelectedBlockCount(), 2);
}

TEST(ConstructorForm, PaletteClickWithASequenceSelectedAddsToItsEnd) {
  TConstructor C;
  TPaletteFrame& P = *C.Form.Palette;
  C.Alg.SelectBlock(C.Loop->GetBody(), true);
  QTest::mouseClick(P.sbIO, Qt::LeftButton);
  // Into the sequence, never beside it into the loop.
  EXPECT_EQ(C.Loop->GetBlockCount(), 1);
  EXPECT_EQ(ClassNames(C.Loop->GetBody()),
            (std::vector<std::string>{"TBasicAlgBlock", "TIOAlgBlock"}));
  ASSERT_EQ(C.Alg.GetSelectedBlockCount(), 1);
  EXPECT_EQ(C.Alg.GetSelectedBlocksProperty(0), C.Loop->GetBody()->GetBlocks(1));
}

TEST(ConstructorForm, PaletteDragStartsAfterFourPixelsAndDropsACopy) {
  TConstructor C;
  TPaletteFrame& P = *C.Form.Palette;
  TAlgEditor& E = C.Editor();
  TAlgBlock* Prototype = TPaletteFrame::PrototypeOf(*P.sbWhile);
  const QPoint IntoLoop = ClientOf(E, ChartDropPoint(E, C.Loop->GetBody(), 0));
  Qt::DropAction Result = Qt::IgnoreAction;
  TDragScript Script([&](QDrag& D) { return Result = DropOn(D, E, IntoLoop); });
  const QPoint Start(20, 20);
  QTest::mousePress(P.sbWhile, Qt::LeftButton, {}, Start);
  QTest::mouseMove(P.sbWhile, Start + QPoint(4, -4));
  EXPECT_EQ(Script.Drags, 0) << "4 pixels are not yet a drag";
  QTest::mouseMove(P.sbWhile, Start + QPoint(-5, 0));
  EXPECT_EQ(Script.Drags, 1);
  QTest::mouseRelease(P.sbWhile, Qt::LeftButton, {}, Start + QPoint(-5, 0));
  EXPECT_EQ(Result, Qt::CopyAction);
  EXPECT_EQ(ClassNames(C.Loop->GetBody()),
            (std::vector<std::string>{"TWhileAlgBlock", "TBasicAlgBlock"}));
  EXPECT_EQ(TPaletteFrame::PrototypeOf(*P.sbWhile), Prototype) << "the palette keeps its block";
  EXPECT_EQ(Prototype->GetAlgorithm(), &P.GetPaletteAlgorithm());
  EXPECT_EQ(C.Alg.GetBlockCount(), 6) << "the drag did not click as well";
}

TEST(ConstructorForm, TextBoxFollowsTheSingleSelectionAndWritesBack) {
  TConstructor C;
  QPlainTextEdit& Memo = *C.Form.memBlock;
  EXPECT_FALSE(Memo.isEnabled());
  ClickBlock(C.Editor(), C.Body->GetBlocks(1));
  EXPECT_TRUE(Memo.isEnabled());
  EXPECT_EQ(Memo.toPlainText(), QStringLiteral("B=2"));
  ClickBlock(C.Editor(), C.Body->GetBlocks(0), Qt::ControlModifier);
  EXPECT_FALSE(Memo.isEnabled());
  EXPECT_TRUE(Memo.toPlainText().isEmpty());
  ClickBlock(C.Editor(), C.Body->GetBlocks(0), Qt::ControlModifier);
  EXPECT_EQ(Memo.toPlainText(), QStringLiteral("B=2"));
  const int Version = int(C.Alg.GetVersion());
  EXPECT_EQ(C.Body->GetBlocks(1)->GetText().Lines(), (std::vector<std::string>{"B=2"}))
      << "filling wrote nothing back";
  EXPECT_EQ(int(C.Alg.GetVersion()), Version);

  // Every change goes into the block; a character an alg file cannot hold is
  // allowed while editing.
  Memo.setFocus();
  Memo.moveCursor(QTextCursor::End);
  QTest::keyClick(&Memo, Qt::Key_Return);
  TypeText(&Memo, QString::fromUtf8("Вывод B€"));
  EXPECT_EQ(C.Body->GetBlocks(1)->GetText().Lines(), (std::vector<std::string>{"B=2", "Вывод B€"}));
  EXPECT_EQ(Memo.toPlainText(), QString::fromUtf8("B=2\nВывод B€")) << "not refilled meanwhile";
}

TEST(ConstructorForm, TypingOnTheChartGoesOnInTheTextBox) {
  TConstructor C;
  QPlainTextEdit& Memo = *C.Form.memBlock;
  ClickBlock(C.Editor(), C.X);
  ASSERT_TRUE(C.Editor().hasFocus());
  QTest::keyClick(&C.Editor(), Qt::Key_Space);
  EXPECT_TRUE(Memo.hasFocus());
  EXPECT_EQ(Memo.toPlainText(), QStringLiteral("X=I")) << "a space only moves the focus";

  C.Editor().setFocus();
  QTest::keyClicks(&C.Editor(), "+1");
  EXPECT_TRUE(Memo.hasFocus());
  EXPECT_EQ(Memo.toPlainText(), QStringLiteral("X=I+1"));
  EXPECT_EQ(C.X->GetText().Lines(), (std::vector<std::string>{"X=I+1"}));

  // Without exactly one selected block the keys stay with the chart.
  C.Alg.UnselectAll();
  C.Editor().setFocus();
  QTest::keyClicks(&C.Editor(), "z");
  EXPECT_TRUE(C.Editor().hasFocus());
}

TEST(AlgForm, ShowsItsAlgorithmCentredAndLetsGoOfItFirst) {
  auto Alg = std::make_unique<TAlgorithm>();
  {
    TAlgForm Form;
    Form.resize(544, 375);
    Form.SetAlgorithm(Alg.get());
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    TAlgEditor& E = *Form.AlgEditor;
    EXPECT_EQ(E.GetAlgorithm(), Alg.get());
    EXPECT_TRUE(E.GetEditable());
    EXPECT_FALSE(Form.sbxAlg->GetEnableAutoScroll());
    EXPECT_EQ(Form.pnlControls->width(), 201);
    EXPECT_EQ(E.x(), (Form.sbxAlg->viewport()->width() - E.width()) / 2);
    Form.resize(700, 375);
    QApplication::processEvents();
    EXPECT_EQ(E.x(), (Form.sbxAlg->viewport()->width() - E.width()) / 2) << "centred again";
  }
  // The form has gone: changing the algorithm reaches no dead listener.
  AddBlock(Alg->GetRoot()->GetBody(), TBasicAlgBlock::Class, "A=1");
  Alg->SelectAll();
  TAlgConstructorForm* Form = new TAlgConstructorForm;
  Form->SetAlgorithm(Alg.get());
  delete Form;
  Alg->UnselectAll();
  SUCCEED();
}

TEST(AlgForm, CtrlWheelZoomsOverTheEmptyGreenToo) {
  TAlgorithm Alg;
  TAlgForm Form;
  Form.resize(700, 500);
  Form.SetAlgorithm(&Alg);
  Form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  TAlgEditor& E = *Form.AlgEditor;
  QWidget* Viewport = Form.sbxAlg->viewport();
  // A point of the box left of the chart: the empty green.
  const QPoint Empty(2, Viewport->height() / 2);
  ASSERT_FALSE(E.geometry().contains(E.parentWidget()->mapFrom(Viewport, Empty)));
  auto Turn = [&](int Delta, Qt::KeyboardModifiers Mods) {
    QWheelEvent Wheel(QPointF(Empty), QPointF(Viewport->mapToGlobal(Empty)), QPoint(),
                      QPoint(0, Delta), Qt::NoButton, Mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Viewport, &Wheel);
  };
  const int Before = E.GetZoom();
  Turn(120, Qt::ControlModifier);
  EXPECT_GT(E.GetZoom(), Before);
  Turn(-120, Qt::ControlModifier);
  EXPECT_EQ(E.GetZoom(), Before);
  Turn(-120, Qt::NoModifier); // without Ctrl the box scrolls as before
  EXPECT_EQ(E.GetZoom(), Before);
}

// Over a host the constructor edits on the host's chart; going, it lets go
// of the chart's keys and of the selection, and the chart stays.
TEST(ConstructorForm, OverAHostItTypesOnTheHostsChartUntilItGoes) {
  TAlgorithm Alg;
  TAlgBlock* A = AddBlock(Alg.GetRoot()->GetBody(), TBasicAlgBlock::Class, "A=1");
  TAlgForm Host;
  Host.SetAlgorithm(&Alg);
  Host.AlgEditor->SetEditable(false);
  Host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Host));
  auto Over = std::make_unique<TAlgConstructorForm>(Host);
  Over->SetAlgorithm(&Alg);
  Over->ShowOverHost();
  EXPECT_EQ(Over->AlgEditor, Host.AlgEditor);
  EXPECT_TRUE(Host.AlgEditor->GetEditable()) << "the constructor edits";
  EXPECT_TRUE(Host.pnlControls->isHidden());
  EXPECT_EQ(Over->memBlock->window(), &Host);
  ClickBlock(*Host.AlgEditor, A);
  QTest::keyClicks(Host.AlgEditor, "+2");
  EXPECT_EQ(A->GetText().Lines(), (std::vector<std::string>{"A=1+2"}));

  Over.reset();
  EXPECT_FALSE(Host.pnlControls->isHidden());
  EXPECT_EQ(Host.AlgEditor->GetAlgorithm(), &Alg);
  EXPECT_EQ(Alg.GetAspects(1)->GetListenerCount(), 1) << "only the chart hears the selection";
  Host.AlgEditor->setFocus();
  QTest::keyClicks(Host.AlgEditor, "7");
  EXPECT_EQ(A->GetText().Lines(), (std::vector<std::string>{"A=1+2"}));
}
