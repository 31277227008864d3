#include "EditorTestUtils.h"

#include "Flowedit/Flowedit_ChartAccessible.h"

#include "Flowmodel/Flowmodel_ChartStops.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_History.h"

#include <QAccessible>
#include <QDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// What a screen reader is told, one line per event: the event and the name
// of the object it is about.
std::vector<std::string>* Heard = nullptr;

void Listen(QAccessibleEvent* Event) {
  if (!Heard)
    return;
  QAccessibleInterface* I = Event->accessibleInterface();
  const std::string Name = I ? I->text(QAccessible::Name).toStdString() : "?";
  std::string What;
  switch (Event->type()) {
  case QAccessible::Focus:
    What = "focus";
    break;
  case QAccessible::ObjectCreated:
    What = "created";
    break;
  case QAccessible::ObjectDestroyed:
    What = "destroyed";
    break;
  case QAccessible::NameChanged:
    What = "name";
    break;
  case QAccessible::DescriptionChanged:
    What = "description";
    break;
  case QAccessible::StateChanged:
    What = static_cast<QAccessibleStateChangeEvent*>(Event)->changedStates().selected
               ? (I && I->state().selected ? "selected" : "unselected")
               : "state";
    break;
  default:
    return;
  }
  Heard->push_back(What + " " + Name);
}

// The chart's events recorded for the test's lifetime.
struct TListener {
  TListener() : Previous(SetChartEventSink(&Listen)) { Heard = &Events; }
  ~TListener() {
    SetChartEventSink(Previous);
    Heard = nullptr;
  }
  TChartEventSink Previous;
  // The events heard since the last look, and none of them again.
  std::vector<std::string> Take() { return std::exchange(Events, {}); }
  bool Has(const std::string& Line) {
    return std::find(Events.begin(), Events.end(), Line) != Events.end();
  }
  std::vector<std::string> Events;
};

// The tree as indented names: arms end with ":" and places are left out,
// so it reads as `algtool show` prints the body. Parents and indexes are
// checked on the way.
void Walk(QAccessibleInterface* Node, int Depth, std::vector<std::string>& Lines, int& Places) {
  for (int I = 0; I < Node->childCount(); ++I) {
    QAccessibleInterface* C = Node->child(I);
    ASSERT_NE(C, nullptr);
    EXPECT_EQ(C->parent(), Node);
    EXPECT_EQ(Node->indexOfChild(C), I);
    EXPECT_EQ(C->role(), QAccessible::TreeItem);
    const std::string Name = C->text(QAccessible::Name).toStdString();
    if (Name == ChartPlaceName) {
      ++Places;
      EXPECT_FALSE(C->text(QAccessible::Description).isEmpty());
      EXPECT_EQ(C->childCount(), 0);
      continue;
    }
    const bool Arm = Name == "да" || Name == "нет";
    Lines.push_back(std::string(2 * Depth, ' ') + Name + (Arm ? ":" : ""));
    Walk(C, Depth + 1, Lines, Places);
  }
}

QAccessibleInterface* ChildNamed(QAccessibleInterface* Node, const std::string& Name,
                                 int Skip = 0) {
  for (int I = 0; I < Node->childCount(); ++I)
    if (Node->child(I)->text(QAccessible::Name).toStdString() == Name && Skip-- == 0)
      return Node->child(I);
  return nullptr;
}

} // namespace

TEST(ChartAccessible, EveryExampleReadsAsAlgtoolShowsIt) {
  TListener L;
  const QStringList Files = QDir(EXAMPLES_DIR).entryList({"*.alg"}, QDir::Files, QDir::Name);
  ASSERT_GE(Files.size(), 8);
  for (const QString& File : Files) {
    SCOPED_TRACE(File.toStdString());
    TEditorWindow W;
    LoadAlgorithmFile(W.Alg, (QString(EXAMPLES_DIR) + "/" + File).toStdString());
    QAccessibleInterface* Chart = QAccessible::queryAccessibleInterface(W.Editor);
    ASSERT_NE(Chart, nullptr);
    EXPECT_EQ(Chart->role(), QAccessible::Tree);
    EXPECT_EQ(Chart->text(QAccessible::Name).toStdString(), "Блок-схема");
    std::vector<std::string> Lines;
    int Places = 0;
    Walk(Chart, 0, Lines, Places);
    EXPECT_EQ(Lines, BlockTreeLines(W.Body()));
    // As many places as the cursor has.
    int StopPlaces = 0;
    for (const TChartStop& S : AlgChartStops(W.Alg))
      StopPlaces += S.IsPlace();
    EXPECT_EQ(Places, StopPlaces);
  }
}

TEST(ChartAccessible, PlacesStatesAndRunDescriptions) {
  TListener L;
  TEditorWindow W;
  AddBlock(W.Body(), TIOAlgBlock::Class, "Ввод N");
  AddBlock(W.Body(), TBasicAlgBlock::Class, "S=0");
  auto* For = static_cast<TContainerAlgBlock*>(AddBlock(W.Body(), TForAlgBlock::Class, "I=1,N,1"));
  TAlgBlock* Sum = AddBlock(For->GetBody(), TBasicAlgBlock::Class, "S=S+I*I");
  auto* If = static_cast<TIfAlgBlock*>(AddBlock(W.Body(), TIfAlgBlock::Class, "A<B"));
  QAccessibleInterface* Chart = QAccessible::queryAccessibleInterface(W.Editor);
  ASSERT_EQ(Chart->childCount(), 9) << "four blocks and five places";
  EXPECT_EQ(Chart->child(4)->text(QAccessible::Description).toStdString(),
            "после «Блок вычислений: S=0»");
  QAccessibleInterface* Loop = ChildNamed(Chart, "Цикл с параметром: I=1,N,1");
  ASSERT_NE(Loop, nullptr);
  ASSERT_EQ(Loop->childCount(), 3);
  EXPECT_EQ(Loop->child(0)->text(QAccessible::Description).toStdString(),
            "в теле «Цикл с параметром: I=1,N,1», перед «Блок вычислений: S=S+I*I»");
  QAccessibleInterface* Branch = ChildNamed(Chart, "Ветвление: A<B");
  QAccessibleInterface* No = ChildNamed(Branch, "нет");
  ASSERT_NE(No, nullptr);
  EXPECT_EQ(No->child(0)->text(QAccessible::Description).toStdString(),
            "в ветви «нет» «Ветвление: A<B»");
  EXPECT_FALSE(No->rect().isEmpty());
  EXPECT_TRUE(Chart->rect().contains(Loop->child(1)->rect()));

  // Selected and focused follow the cursor while the chart has the focus.
  W.Editor->setFocus();
  W.Editor->SetCursor(TChartStop::At(Sum));
  QAccessibleInterface* SumItem = Loop->child(1);
  EXPECT_TRUE(SumItem->state().selected);
  EXPECT_TRUE(SumItem->state().focused);
  EXPECT_EQ(Chart->focusChild(), SumItem);
  EXPECT_FALSE(Loop->state().selected);
  EXPECT_TRUE(Loop->state().expanded);
  W.Editor->SetCursor(TChartStop::Place(If->GetNoBranch(), 0));
  EXPECT_FALSE(SumItem->state().selected);
  EXPECT_TRUE(No->child(0)->state().focused);

  // A run's next block and error block.
  L.Take();
  W.Editor->SetRunDescriptions(Sum, nullptr, {});
  EXPECT_EQ(SumItem->text(QAccessible::Description).toStdString(), "выполняется следующим");
  W.Editor->SetRunDescriptions(nullptr, Sum, "Деление на ноль.");
  EXPECT_EQ(SumItem->text(QAccessible::Description).toStdString(), "ошибка: Деление на ноль.");
  W.Editor->SetRunDescriptions(nullptr, nullptr, {});
  EXPECT_TRUE(SumItem->text(QAccessible::Description).isEmpty());
  EXPECT_EQ(L.Take(), (std::vector<std::string>{"description Блок вычислений: S=S+I*I",
                                                "description Блок вычислений: S=S+I*I",
                                                "description Блок вычислений: S=S+I*I"}));
}

TEST(ChartAccessible, EveryKindOfEditIsTold) {
  TListener L;
  TEditorWindow W;
  TAlgBlock* A = AddBlock(W.Body(), TBasicAlgBlock::Class, "A=1");
  TAlgBlock* B = AddBlock(W.Body(), TBasicAlgBlock::Class, "B=2");
  TAlgHistory History(W.Alg);
  QAccessibleInterface* Chart = QAccessible::queryAccessibleInterface(W.Editor);
  ASSERT_EQ(Chart->childCount(), 5);
  W.Editor->setFocus();
  L.Take();

  // Cursor moves: the focus goes to the new stop.
  QTest::keyClick(W.Editor, Qt::Key_Down);
  QTest::keyClick(W.Editor, Qt::Key_Down);
  std::vector<std::string> E = L.Take();
  EXPECT_NE(std::find(E.begin(), E.end(), "focus Место для блока"), E.end());
  EXPECT_NE(std::find(E.begin(), E.end(), "selected Блок вычислений: A=1"), E.end());
  EXPECT_EQ(E.back(), "focus Блок вычислений: A=1");

  // Selection by the mouse.
  ClickBlock(*W.Editor, B);
  E = L.Take();
  EXPECT_NE(std::find(E.begin(), E.end(), "unselected Блок вычислений: A=1"), E.end());
  EXPECT_NE(std::find(E.begin(), E.end(), "selected Блок вычислений: B=2"), E.end());
  EXPECT_EQ(E.back(), "focus Блок вычислений: B=2");

  // Typing renames.
  B->GetText().SetText("B=3");
  EXPECT_TRUE(L.Has("name Блок вычислений: B=3"));
  L.Take();

  // Insertion: new items (the block and a place), the focus on the block.
  TAlgBlock* New = AlgInsertNewBlock(W.Alg, TAlgBlockKind::InputOutput, W.Body(), 2);
  ASSERT_EQ(W.Editor->GetCursor(), TChartStop::At(New));
  EXPECT_TRUE(L.Has("created Ввод-вывод"));
  EXPECT_TRUE(L.Has("created Место для блока"));
  EXPECT_TRUE(L.Has("focus Ввод-вывод"));
  EXPECT_EQ(Chart->childCount(), 7);
  L.Take();

  // Deletion: its item goes, the focus moves to the block selected instead.
  QTest::keyClick(W.Editor, Qt::Key_Delete);
  EXPECT_TRUE(L.Has("destroyed Ввод-вывод"));
  EXPECT_TRUE(L.Has("focus Блок вычислений: B=3"));
  EXPECT_EQ(Chart->childCount(), 5);
  L.Take();

  // Undo brings it back.
  History.Undo();
  EXPECT_TRUE(L.Has("created Ввод-вывод")) << ::testing::PrintToString(L.Events);
  EXPECT_EQ(Chart->childCount(), 7);
  L.Take();

  // Paste: the pasted block is told and takes the focus.
  W.Alg.UnselectAll();
  W.Editor->SetCursor(TChartStop::At(W.Body()->GetBlocks(0)));
  const std::vector<uint8_t> Bytes = AlgBlocksToBytes({W.Body()->GetBlocks(0)});
  L.Take();
  AlgPasteBytes(W.Alg, Bytes);
  EXPECT_TRUE(L.Has("created Блок вычислений: A=1"));
  EXPECT_EQ(L.Events.back(), "focus Блок вычислений: A=1");
  EXPECT_EQ(Chart->childCount(), 9);
  (void)A;
}

TEST(ChartAccessible, NothingIsBuiltWhileNoAssistiveTechnologyListens) {
  TEditorWindow W;
  AddBlock(W.Body(), TBasicAlgBlock::Class, "A=1");
  W.Editor->SetCursor(TChartStop::At(W.Body()->GetBlocks(0)));
  EXPECT_FALSE(W.Editor->GetAccessibility().Contains(TChartNode::Of(W.Editor->GetCursor())));
}
