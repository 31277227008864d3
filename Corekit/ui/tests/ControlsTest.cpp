#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/AdvSpeedButton.h"
#include "Corekit/ui/DragDrop.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QDrag>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

// A box of 200 x 150 with a big focusable control far down and right.
struct TScrolledBox {
  TAdvScrollBox Box;
  QLineEdit* Small;
  QPushButton* Big;
  TScrolledBox() {
    Box.resize(200, 150);
    Small = new QLineEdit(Box.GetArea());
    Small->setGeometry(0, 0, 50, 20);
    Big = new QPushButton("big", Box.GetArea());
    Big->setGeometry(300, 400, 300, 300);
    Big->setFocusPolicy(Qt::ClickFocus);
    Box.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Box));
  }
};

struct TNamedObject : TDragObject {
  explicit TNamedObject(int& Alive) : Alive(Alive) { ++Alive; }
  ~TNamedObject() override { --Alive; }
  int& Alive;
};

} // namespace

TEST(AdvScrollBox, AreaGrowsWithItsControlsAndVisiblePartIsTheLogClientRect) {
  TScrolledBox S;
  EXPECT_GE(S.Box.GetArea()->width(), 600);
  EXPECT_GE(S.Box.GetArea()->height(), 700);
  S.Box.SetHorzPosition(30);
  S.Box.SetVertPosition(45);
  const QRect V = LogClientRect(&S.Box);
  EXPECT_EQ(V.topLeft(), QPoint(30, 45));
  EXPECT_EQ(V.size(), S.Box.viewport()->size());
  S.Box.SetVertPosition(100000);
  EXPECT_EQ(S.Box.GetVertPosition(), S.Box.verticalScrollBar()->maximum()) << "clamped";
  QWidget Plain;
  Plain.resize(40, 30);
  EXPECT_EQ(LogClientRect(&Plain), QRect(0, 0, 40, 30));

  // Only what the controls need scrolls: a control that fits leaves no bars.
  S.Big->setGeometry(10, 10, 20, 20);
  EXPECT_EQ(S.Box.horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(S.Box.verticalScrollBar()->maximum(), 0);
}

TEST(AdvScrollBox, FocusScrollsTheControlIntoViewOnlyWithAutoScroll) {
  TScrolledBox S;
  S.Box.SetEnableAutoScroll(false);
  S.Small->setFocus();
  QTest::mouseClick(S.Big, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(S.Big->hasFocus());
  EXPECT_EQ(S.Box.GetHorzPosition(), 0);
  EXPECT_EQ(S.Box.GetVertPosition(), 0);
  S.Box.AutoScrollInView(S.Big);
  EXPECT_EQ(S.Box.GetVertPosition(), 0);

  S.Box.SetEnableAutoScroll(true);
  S.Small->setFocus();
  QTest::mouseClick(S.Big, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_GT(S.Box.GetHorzPosition(), 0);
  EXPECT_GT(S.Box.GetVertPosition(), 0);
  EXPECT_TRUE(LogClientRect(&S.Box).contains(S.Big->geometry().topLeft()));
}

TEST(AdvSpeedButton, DragCarriesTheObjectInsideTheProcessAndFreesItAtTheEnd) {
  TAdvSpeedButton Button;
  int Alive = 0;
  bool Ended = false, Dropped = true, SawObject = false, DraggingInside = false;
  Button.OnStartDrag = [&](TAdvSpeedButton&, std::unique_ptr<TDragObject>& Object) {
    Object = std::make_unique<TNamedObject>(Alive);
  };
  Button.OnEndDrag = [&](TAdvSpeedButton&, bool WasDropped) {
    Ended = true;
    Dropped = WasDropped;
  };
  TDragRunner Before = SetDragRunner([&](QDrag& Drag) {
    SawObject = dynamic_cast<TNamedObject*>(TDragMimeData::DragObjectOf(Drag.mimeData()));
    DraggingInside = IsDragging();
    EXPECT_EQ(Alive, 1);
    return Qt::IgnoreAction;
  });
  Button.BeginDrag();
  SetDragRunner(Before);
  EXPECT_TRUE(SawObject);
  EXPECT_TRUE(DraggingInside);
  EXPECT_FALSE(IsDragging());
  EXPECT_EQ(Alive, 0) << "the object goes with the drag";
  EXPECT_TRUE(Ended);
  EXPECT_FALSE(Dropped);

  // Data from elsewhere carries nothing, even in our format.
  QMimeData Foreign;
  Foreign.setData(TDragMimeData::Format, "x");
  EXPECT_EQ(TDragMimeData::DragObjectOf(&Foreign), nullptr);

  // No object, no drag.
  Ended = false;
  Button.OnStartDrag = nullptr;
  Button.BeginDrag();
  EXPECT_FALSE(Ended);
}
