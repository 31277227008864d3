#include "Flowjog/Flowjog_CanvasFrame.h"
#include "Flowjog/Flowjog_ConsoleFrame.h"
#include "Flowjog/Flowjog_WatchFrame.h"

#include "Flowrun/Flowrun_Canvas.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Deskbay;

namespace {

int ListenerCount(TBaseVersionedObject& Object) {
  return Object.GetAspects(0)->GetListenerCount();
}

// The watch list as "name=value" rows, top to bottom.
std::vector<std::string> Rows(const TWatchFrame& F) {
  std::vector<std::string> R;
  for (int I = 0; I < F.lvWatch->rowCount(); ++I)
    R.push_back(F.lvWatch->item(I, 0)->text().toStdString() + "=" +
                F.lvWatch->item(I, 1)->text().toStdString());
  return R;
}

using TRows = std::vector<std::string>;

QString Joined(const TAlgConsole& C) {
  TStringList L;
  C.GetLines(L);
  QStringList Q;
  for (const std::string& S : L.Lines())
    Q.append(QString::fromStdString(S));
  return Q.join(QLatin1Char('\n'));
}

// The caret stands on the last line, and the text box shows it.
bool LastLineInView(const TAlgConsoleFrame& F) {
  const QTextCursor C = F.memConsole->textCursor();
  const QRect Caret = F.memConsole->cursorRect(C);
  return C.blockNumber() == F.memConsole->document()->blockCount() - 1 &&
         F.memConsole->viewport()->rect().contains(Caret) &&
         F.memConsole->verticalScrollBar()->value() == F.memConsole->verticalScrollBar()->maximum();
}

} // namespace

TEST(WatchFrame, AVariableKeepsItsRowWhileItsValueChanges) {
  TVarStorage S;
  S.SetVars("A", 1);
  S.SetVars("B", 2);
  TWatchFrame F;
  F.SetVars(&S);
  EXPECT_EQ(Rows(F), (TRows{"A=1", "B=2"}));
  EXPECT_EQ(F.lvWatch->columnWidth(0), 23) << "narrower than the toolkit's smallest column";
  QTableWidgetItem* Name = F.lvWatch->item(0, 0);
  QTableWidgetItem* Value = F.lvWatch->item(0, 1);
  F.lvWatch->selectRow(0);

  S.SetVars("A", 1.0 / 3); // outside a bracket: the frame hears of it at once
  EXPECT_EQ(Rows(F), (TRows{"A=0.3333333333", "B=2"}));
  EXPECT_EQ(F.lvWatch->item(0, 0), Name) << "the row was not rebuilt";
  EXPECT_EQ(F.lvWatch->item(0, 1), Value) << "only the value's text changed";
  EXPECT_TRUE(F.lvWatch->item(0, 0)->isSelected()) << "the selection stays";

  // Several changes inside one bracket reach the list once, at its end.
  S.BeginModify();
  S.SetVars("A", -2.5);
  S.SetVars("B", 1e20);
  EXPECT_EQ(Rows(F), (TRows{"A=0.3333333333", "B=2"}));
  S.EndModify();
  EXPECT_EQ(Rows(F), (TRows{"A=-2.5", "B=1E20"}));
  EXPECT_TRUE(F.lvWatch->updatesEnabled());
}

TEST(WatchFrame, RowsSortedByNameWhateverTheOrderTheyCameIn) {
  TVarStorage S, Other; // outlive the frame that shows them
  TWatchFrame F;
  F.SetVars(&S);
  S.SetVars("b", 1);
  S.SetVars("a", 2);
  EXPECT_EQ(Rows(F), (TRows{"a=2", "b=1"}));

  // A second storage whose names fall between and around the shown ones.
  Other.SetVars("C", 3);
  Other.SetVars("Ab", 4);
  F.SetVars(&Other);
  EXPECT_EQ(Rows(F), (TRows{"a=2", "Ab=4", "b=1", "C=3"}));
}

TEST(WatchFrame, DetachingKeepsTheRowsAndAnotherStorageUpdatesThem) {
  TVarStorage Second;
  auto First = std::make_unique<TVarStorage>();
  First->SetVars("A", 1);
  First->SetVars("B", 2);
  TWatchFrame F;
  F.SetVars(First.get());
  F.SetVars(nullptr);
  EXPECT_EQ(ListenerCount(*First), 0);
  First.reset();
  EXPECT_EQ(Rows(F), (TRows{"A=1", "B=2"})) << "detaching never clears the list";
  F.ShowVars();
  EXPECT_EQ(Rows(F), (TRows{"A=1", "B=2"}));

  Second.SetVars("B", 5);
  Second.SetVars("C", 7);
  F.SetVars(&Second);
  EXPECT_EQ(Rows(F), (TRows{"A=1", "B=5", "C=7"}))
      << "matching rows updated, others added, none removed";
  Second.DeleteVar("C");
  EXPECT_EQ(Rows(F), (TRows{"A=1", "B=5", "C=7"}));
}

TEST(ConsoleFrame, ShowsTheLinesWithTheLastInViewAndEmptiesWhenDetached) {
  TAlgConsole C;
  TAlgConsoleFrame F;
  EXPECT_TRUE(QFontInfo(F.memConsole->font()).fixedPitch());
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));

  F.SetConsole(&C);
  EXPECT_EQ(F.memConsole->toPlainText(), QString());
  // One notification per line: the text box follows line by line, and the
  // console drops its oldest lines after 500.
  for (int I = 1; I <= 600; ++I)
    C.AddLine("line " + std::to_string(I));
  EXPECT_EQ(F.memConsole->toPlainText(), Joined(C));
  EXPECT_TRUE(F.memConsole->toPlainText().startsWith(QStringLiteral("line 101\n")));
  EXPECT_TRUE(LastLineInView(F));

  // A batch of lines in one bracket, the full console sliding by more than
  // one line at once.
  C.BeginModify();
  for (int I = 601; I <= 650; ++I)
    C.AddLine("line " + std::to_string(I));
  C.EndModify();
  EXPECT_EQ(F.memConsole->toPlainText(), Joined(C));
  EXPECT_TRUE(LastLineInView(F));

  // Another console replaces the text; detaching empties it.
  TAlgConsole Other;
  Other.AddLine("x\ny");
  Other.AddLine("z");
  F.SetConsole(&Other);
  EXPECT_EQ(F.memConsole->toPlainText(), QStringLiteral("x y\nz"))
      << "a console line is one line of the box";
  EXPECT_EQ(ListenerCount(C), 0);
  F.SetConsole(nullptr);
  EXPECT_EQ(F.memConsole->toPlainText(), QString());
  EXPECT_EQ(ListenerCount(Other), 0);
  Other.AddLine("unseen");
  EXPECT_EQ(F.memConsole->toPlainText(), QString());
}

TEST(CanvasFrame, GridOffShowsThePictureOnWhiteAndTheBoxRedrawsAtOnce) {
  TAlgMachine M;
  TAlgCanvas& Canvas = M.GetCanvas();
  TAlgCanvasFrame F;
  EXPECT_EQ(F.cbGrid->text(), QStringLiteral("Показать сетку"));
  EXPECT_FALSE(F.cbGrid->isChecked());
  F.resize(207, 232);
  F.pbxCanvas->setGeometry(17, 0, 181, 181);
  F.cbGrid->move(16, 200);
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  F.SetCanvas(&Canvas);
  Canvas.ExecLine("тчк(1,2),4"); // (9, 162): on a grid crossing

  const QColor Red(255, 0, 0), Gray(160, 160, 164), White(255, 255, 255);
  QImage Shown = F.pbxCanvas->grab().toImage();
  EXPECT_EQ(Shown.pixelColor(9, 162), Red) << "the notification redrew the picture";
  EXPECT_EQ(Shown.pixelColor(9, 100), White);
  EXPECT_EQ(Shown.pixelColor(0, 0), White);

  QTest::mouseClick(F.cbGrid, Qt::LeftButton);
  ASSERT_TRUE(F.cbGrid->isChecked());
  EXPECT_EQ(F.GetImage().pixelColor(9, 100), Gray) << "composed at once, before any paint";
  Shown = F.pbxCanvas->grab().toImage();
  EXPECT_EQ(Shown.pixelColor(9, 100), Gray);
  EXPECT_EQ(Shown.pixelColor(10, 100), White);
  EXPECT_EQ(Shown.pixelColor(9, 162), Red) << "the grid lies under the picture";

  // Drawing not yet announced (inside a bracket, as during a run) shows on
  // the next paint.
  Canvas.BeginModify();
  Canvas.ExecLine("тчк(2,2),1");
  EXPECT_EQ(F.pbxCanvas->grab().toImage().pixelColor(18, 162), QColor(0, 0, 255));
  Canvas.EndModify();

  F.SetCanvas(nullptr);
  EXPECT_TRUE(F.GetImage().isNull());
  EXPECT_EQ(ListenerCount(Canvas), 0);
}

TEST(CanvasFrame, LabelsForTheTwentyByTwentyCanvasAtScaleNine) {
  TAlgMachine M;
  TAlgCanvasFrame F;
  F.resize(207, 232);
  F.pbxCanvas->setGeometry(17, 0, 181, 181);
  EXPECT_EQ(F.GetLabels()[0].Text, "") << "no labels without a canvas";
  F.SetCanvas(&M.GetCanvas());
  const QFontMetrics Metrics(F.font());
  const int W20 = Metrics.horizontalAdvance("20");
  const auto Labels = F.GetLabels();
  std::vector<std::string> Texts;
  for (const TCanvasLabel& L : Labels)
    Texts.push_back(L.Text);
  EXPECT_EQ(Texts, (std::vector<std::string>{"20", "10", "0", "10", "20"}));
  EXPECT_EQ(Labels[0].Pos, (TPoint{14 - W20, 0})) << "measured in the frame's font";
  EXPECT_EQ(Labels[4].Pos, (TPoint{198 - W20, 183}));

  // They are painted on the button face, and come back with every paint.
  const QImage Frame = F.grab().toImage();
  const QColor Face = F.palette().color(QPalette::Button);
  const TCanvasLabel& Zero = Labels[2];
  bool FaceSeen = false, TextSeen = false;
  for (int X = Zero.Pos.X; X < Zero.Pos.X + Zero.Width; ++X)
    for (int Y = Zero.Pos.Y; Y < Zero.Pos.Y + Metrics.height(); ++Y)
      (Frame.pixelColor(X, Y) == Face ? FaceSeen : TextSeen) = true;
  EXPECT_TRUE(FaceSeen);
  EXPECT_TRUE(TextSeen);

  // Moved with the paint box.
  F.pbxCanvas->move(30, 5);
  EXPECT_EQ(F.GetLabels()[4].Pos, (TPoint{211 - W20, 188}));
}

// A frame never keeps an object that is gone: destroyed first, it stops
// listening; detached first, it forgets the object before that goes.
TEST(Frames, NeverOutliveTheirObjectsInEitherOrder) {
  {
    auto M = std::make_unique<TAlgMachine>();
    auto Watch = std::make_unique<TWatchFrame>();
    auto Console = std::make_unique<TAlgConsoleFrame>();
    auto Canvas = std::make_unique<TAlgCanvasFrame>();
    Watch->SetVars(&M->GetStorage());
    Console->SetConsole(&M->GetConsole());
    Canvas->SetCanvas(&M->GetCanvas());
    Watch.reset();
    Console.reset();
    Canvas.reset();
    EXPECT_EQ(ListenerCount(M->GetStorage()), 0);
    EXPECT_EQ(ListenerCount(M->GetConsole()), 0);
    EXPECT_EQ(ListenerCount(M->GetCanvas()), 0);
    M->GetStorage().SetVars("A", 1);
    M->GetConsole().AddLine("still here");
    M->GetCanvas().ExecLine("тчк(1,1),1");
  }
  {
    auto M = std::make_unique<TAlgMachine>();
    TWatchFrame Watch;
    TAlgConsoleFrame Console;
    TAlgCanvasFrame Canvas;
    Watch.SetVars(&M->GetStorage());
    Console.SetConsole(&M->GetConsole());
    Canvas.SetCanvas(&M->GetCanvas());
    Watch.SetVars(nullptr);
    Console.SetConsole(nullptr);
    Canvas.SetCanvas(nullptr);
    M.reset();
    Watch.ShowVars();
    Console.ShowData();
    Canvas.ShowCanvas();
    Canvas.grab();
  }
}

namespace {

// The names of the rows shown in red.
TRows RedRows(const TWatchFrame& F) {
  TRows R;
  for (int I = 0; I < F.lvWatch->rowCount(); ++I) {
    const QColor Name = F.lvWatch->item(I, 0)->foreground().color();
    const QColor Value = F.lvWatch->item(I, 1)->foreground().color();
    EXPECT_EQ(Name, Value) << "a row is marked whole";
    if (F.lvWatch->item(I, 1)->foreground().style() != Qt::NoBrush && Value.red() > 150 &&
        Value.green() < 60)
      R.push_back(F.lvWatch->item(I, 0)->text().toStdString());
  }
  return R;
}

} // namespace

TEST(WatchFrame, ChangedRowsAreRedUntilTheNextCall) {
  TVarStorage S;
  S.SetVars("B", 2);
  TWatchFrame F;
  F.resize(200, 200);
  F.SetVars(&S);
  F.SetChangedNames({"B", "C"});
  EXPECT_EQ(RedRows(F), TRows{"B"});
  S.SetVars("A", 1);
  S.SetVars("C", 3); // appears later, marked
  S.SetVars("B", 5); // the value changes, the mark stays
  EXPECT_EQ(Rows(F), (TRows{"A=1", "B=5", "C=3"}));
  EXPECT_EQ(RedRows(F), (TRows{"B", "C"}));
  // The marks are pixels too: the value cell's text is drawn red.
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  F.SetChangedNames({"A"});
  EXPECT_EQ(RedRows(F), TRows{"A"});
  const QRect Cell = F.lvWatch->visualItemRect(F.lvWatch->item(0, 1));
  const QImage I = F.lvWatch->viewport()->grab(Cell).toImage();
  int Reddish = 0;
  for (int Y = 0; Y < I.height(); ++Y)
    for (int X = 0; X < I.width(); ++X)
      Reddish += I.pixelColor(X, Y).red() > I.pixelColor(X, Y).green() + 40;
  EXPECT_GT(Reddish, 10);
  F.SetChangedNames({});
  EXPECT_EQ(RedRows(F), TRows{});
}

TEST(WatchFrame, SelectingARowNamesTheVariableAndTheNoteShowsUnderTheList) {
  TVarStorage S;
  S.SetVars("A", 1);
  S.SetVars("B", 2);
  TWatchFrame F;
  F.resize(200, 200);
  F.SetVars(&S);
  F.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
  std::vector<std::string> Heard;
  F.OnSelectVariable = [&](TWatchFrame& Sender, const std::string& Name) {
    EXPECT_EQ(&Sender, &F);
    Heard.push_back(Name);
  };
  const QRect Row1 = F.lvWatch->visualItemRect(F.lvWatch->item(1, 1));
  QTest::mouseClick(F.lvWatch->viewport(), Qt::LeftButton, {}, Row1.center());
  EXPECT_EQ(Heard, TRows{"B"});
  EXPECT_EQ(F.SelectedName(), "B");
  S.SetVars("AA", 3); // a row inserted above moves the selection with it
  EXPECT_EQ(F.SelectedName(), "B");
  EXPECT_EQ(Heard, TRows{"B"}) << "no word of a selection that did not change";
  F.lvWatch->clearSelection();
  EXPECT_EQ(Heard, (TRows{"B", ""}));

  EXPECT_FALSE(F.lblNote->isVisible());
  F.ShowNote("B = 2 получено на шаге 3");
  EXPECT_TRUE(F.lblNote->isVisible());
  EXPECT_GT(F.lblNote->y(), F.lvWatch->geometry().bottom());
  F.ShowNote("");
  EXPECT_FALSE(F.lblNote->isVisible());
}
