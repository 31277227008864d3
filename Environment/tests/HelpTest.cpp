// The help window: its topics per block kind, the search, and the window
// opening where it is asked to, with the pictures the build drew.

#include "Environment/Environment_Help.h"

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>

#include <gtest/gtest.h>

#include <set>

using namespace Deskbay;

namespace {

std::set<QString> AnchorsOf(const QTextDocument& Doc) {
  std::set<QString> Names;
  for (QTextBlock B = Doc.begin(); B.isValid(); B = B.next())
    for (auto It = B.begin(); !It.atEnd(); ++It)
      for (const QString& N : It.fragment().charFormat().anchorNames())
        Names.insert(N);
  return Names;
}

bool HasHit(const std::vector<THelpHit>& Hits, const QString& Topic) {
  for (const THelpHit& H : Hits)
    if (H.Topic == Topic)
      return true;
  return false;
}

} // namespace

TEST(HelpTest, EveryBlockKindOpensItsOwnSection) {
  THelpForm Form;
  std::set<QString> Topics;
  for (const char* Class : {"TBasicAlgBlock", "TIOAlgBlock", "TIfAlgBlock", "TWhileAlgBlock",
                            "TForAlgBlock", "TUntilAlgBlock"}) {
    const QString Topic = HelpTopicOfBlock(Class);
    Topics.insert(Topic);
    Form.ShowTopic(Topic);
    EXPECT_EQ(Form.CurrentTopic(), Topic) << Class;
    EXPECT_TRUE(AnchorsOf(*Form.brwPage->document()).count(Topic.section('#', 1)))
        << Class << " leads to " << Topic.toStdString() << ", which the page lacks";
  }
  EXPECT_EQ(Topics.size(), 6u);
  EXPECT_EQ(HelpTopicOfBlock("TRootAlgBlock"), "index.html");
  EXPECT_EQ(HelpTopicOfBlock(""), "index.html");
}

TEST(HelpTest, EveryCompiledPageIsOneTheWindowKnows) {
  THelpForm Form; // makes the resources available
  QStringList Compiled = QDir(":/help").entryList({"*.html"}, QDir::Files);
  QStringList Known = HelpPageNames();
  Compiled.sort();
  Known.sort();
  EXPECT_EQ(Compiled, Known);
}

TEST(HelpTest, TopicsOutsideThePagesShowTheContents) {
  THelpForm Form;
  Form.ShowTopic("nowhere.html#x");
  EXPECT_EQ(Form.CurrentTopic().section('#', 0, 0), "index.html");
  Form.ShowTopic("drawing.html");
  Form.ShowTopic("#colors");
  EXPECT_EQ(Form.CurrentTopic(), "drawing.html#colors");
  Form.ShowTopic(QString());
  EXPECT_EQ(Form.CurrentTopic(), "index.html");
  EXPECT_TRUE(Form.btnBack->isEnabled());
  Form.btnBack->click();
  EXPECT_EQ(Form.CurrentTopic(), "drawing.html#colors");
}

TEST(HelpTest, SearchFindsEverySectionHoldingAllTheWords) {
  const auto Mod = SearchHelp("mod");
  EXPECT_TRUE(HasHit(Mod, "language.html#mod"));
  EXPECT_TRUE(HasHit(Mod, "errors.html#expected-op"));
  const auto Power = SearchHelp("основанием  ноль");
  ASSERT_FALSE(Power.empty());
  EXPECT_TRUE(HasHit(Power, "errors.html#eval"));
  for (const THelpHit& H : Power)
    EXPECT_TRUE(H.Excerpt.contains("основани", Qt::CaseInsensitive)) << H.Excerpt.toStdString();
  std::set<QString> Seen;
  for (const THelpHit& H : SearchHelp("цикл"))
    EXPECT_TRUE(Seen.insert(H.Topic).second) << "twice: " << H.Topic.toStdString();
  EXPECT_TRUE(SearchHelp("абракадабра").empty());
  EXPECT_TRUE(SearchHelp("   ").empty());
}

TEST(HelpTest, TheWindowShowsTheFirstHitWithTheWordSelected) {
  THelpForm Form;
  Form.Search("заливки");
  ASSERT_TRUE(Form.lstResults->isVisibleTo(&Form));
  ASSERT_GT(Form.lstResults->count(), 0);
  EXPECT_EQ(Form.lstResults->currentRow(), 0);
  EXPECT_EQ(Form.brwPage->textCursor().selectedText().toLower(), "заливки");
  Form.Search("абракадабра");
  ASSERT_EQ(Form.lstResults->count(), 1);
  EXPECT_EQ(Form.lstResults->item(0)->text(), "Ничего не найдено.");
}

TEST(HelpTest, DrawingPicturesAreThoseTheBuildDrew) {
  THelpForm Form;
  Form.ShowTopic("drawing.html#krg");
  for (const char* Name :
       {"grid", "point", "segment", "circle", "polygon", "arc", "fill", "colors"}) {
    const QVariant Image = Form.brwPage->document()->resource(
        QTextDocument::ImageResource, QUrl(QString("pictures/%1.png").arg(Name)));
    const QImage Picture = Image.value<QImage>();
    EXPECT_EQ(Picture.size(), QSize(181, 181)) << Name;
  }
}

TEST(HelpTest, EscapeClosesTheWindowAndItsControlsHaveNames) {
  THelpForm* Help = ShowHelp();
  ASSERT_TRUE(Help);
  EXPECT_EQ(Help->btnBack->accessibleName(), "Назад");
  EXPECT_EQ(Help->btnForward->accessibleName(), "Вперёд");
  EXPECT_EQ(Help->edtSearch->accessibleName(), "Найти в справке");
  QPointer<THelpForm> Alive(Help);
  Help->activateWindow();
  QApplication::setActiveWindow(Help);
  QTest::keyClick(Help->edtSearch, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(!Alive || !Alive->isVisible());
}

TEST(HelpTest, ShowHelpKeepsOneWindow) {
  THelpForm* First = ShowHelp("language.html#for");
  ASSERT_TRUE(First);
  EXPECT_TRUE(First->isVisible());
  EXPECT_EQ(First->CurrentTopic(), "language.html#for");
  EXPECT_EQ(ShowHelp("errors.html"), First);
  EXPECT_EQ(First->CurrentTopic(), "errors.html");
  First->close(); // deletes itself
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  THelpForm* Again = ShowHelp();
  EXPECT_EQ(Again->CurrentTopic(), "index.html");
  Again->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A screen reader reads each control of the help window by what it does,
// not by its arrow.
TEST(HelpTest, EveryControlOfTheWindowIsNamed) {
  THelpForm Form;
  auto Name = [](QWidget* W) {
    QAccessibleInterface* I = QAccessible::queryAccessibleInterface(W);
    return I ? I->text(QAccessible::Name).toStdString() : std::string();
  };
  EXPECT_EQ(Name(Form.btnBack), "Назад");
  EXPECT_EQ(Name(Form.btnForward), "Вперёд");
  EXPECT_EQ(Name(Form.edtSearch), "Найти в справке");
  EXPECT_EQ(Name(Form.lstResults), "Найденные разделы");
  EXPECT_EQ(Name(Form.brwPage), "Страница справки");
}
