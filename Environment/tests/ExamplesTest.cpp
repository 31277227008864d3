// The examples' gallery: the index beside the examples, the folder they are
// found in, and the dialog that shows and opens them.

#include "Environment/Environment_ExampleIndex.h"
#include "Environment/Environment_Examples.h"
#include "Environment/ShellSettings.h"
#include "Environment/tests/ShellHome.h"

#include "Corekit/Streams.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

void Write(const std::string& File, const std::string& Text) {
  SaveFileAtomically(File, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
}

// The examples that come with the program (the source tree's, in a build).
std::string ProgramExamples() {
  return ExampleAlgorithmsDir("/nonexistent");
}

std::vector<std::string> Titles(const std::vector<TExampleInfo>& Examples) {
  std::vector<std::string> T;
  for (const TExampleInfo& E : Examples)
    T.push_back(E.Title);
  return T;
}

class ExamplesTest : public testing::Test, protected TShellHome {
protected:
  ExamplesTest() : TShellHome("deskbay-examples") {}
};

} // namespace

TEST(ExampleIndex, LinesOfFileTitleAndLessonCommentsAndBrokenLinesLeftOut) {
  const auto Lines = ReadExampleIndex("# comment\n"
                                      "\n"
                                      "  gcd.alg |  НОД  | Алгоритм Евклида.  \r\n"
                                      "loop.alg|Цикл\n"
                                      "no_bar.alg\n"
                                      "notes.txt | Заметки | не алгоритм\n"
                                      "../up.alg | Выше | чужая папка\n"
                                      "empty.alg |  | без названия\n"
                                      "last.alg | Последний | без перевода строки");
  ASSERT_EQ(Lines.size(), 3u);
  EXPECT_EQ(Lines[0].FileName, "gcd.alg");
  EXPECT_EQ(Lines[0].Title, "НОД");
  EXPECT_EQ(Lines[0].Lesson, "Алгоритм Евклида.");
  EXPECT_EQ(Lines[1].Title, "Цикл");
  EXPECT_EQ(Lines[1].Lesson, "");
  EXPECT_EQ(Lines[2].FileName, "last.alg");
}

TEST_F(ExamplesTest, AFolderListsTheIndexedExamplesFirstThenTheOthersByName) {
  for (const char* Name : {"b.alg", "a.alg", "z.alg", "notes.txt", ".hidden.alg"})
    Write(Home + "/" + Name, "x");
  // No index: every algorithm by its name.
  EXPECT_EQ(Titles(ListExamples(Home)), (std::vector<std::string>{"a", "b", "z"}));

  Write(Home + "/index.txt", "z.alg | Последний | учит порядку\n"
                             "gone.alg | Удалён | его нет\n"
                             "z.alg | Дважды | второй раз\n");
  const std::vector<TExampleInfo> Examples = ListExamples(Home);
  EXPECT_EQ(Titles(Examples), (std::vector<std::string>{"Последний", "a", "b"}));
  EXPECT_EQ(Examples[0].Path, Home + "/z.alg");
  EXPECT_EQ(Examples[0].Lesson, "учит порядку");

  // An index that is no file is no index; a folder that is none has nothing.
  ::unlink((Home + "/index.txt").c_str());
  ASSERT_EQ(::mkdir((Home + "/index.txt").c_str(), 0700), 0);
  EXPECT_EQ(Titles(ListExamples(Home)), (std::vector<std::string>{"a", "b", "z"}));
  EXPECT_TRUE(ListExamples(Home + "/missing").empty());
}

TEST(ExampleIndex, EveryExampleOfTheProgramHasATitleAndALesson) {
  const std::vector<TExampleInfo> Examples = ListExamples(ProgramExamples());
  ASSERT_GE(Examples.size(), 11u);
  for (const TExampleInfo& E : Examples) {
    EXPECT_NE(E.Title + ".alg", E.FileName) << E.FileName << " is not in the index";
    EXPECT_FALSE(E.Lesson.empty()) << E.FileName;
  }
}

TEST_F(ExamplesTest, TheExamplesAreFoundInTheDataFoldersWhenTheProgramHasNone) {
  const std::string Data = Home + "/share";
  ASSERT_EQ(::mkdir(Data.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((Data + "/deskbay").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((Data + "/deskbay/examples").c_str(), 0700), 0);
  Write(Data + "/deskbay/examples/x.alg", "x");
  const char* Old = getenv("XDG_DATA_DIRS");
  const std::string Saved = Old ? Old : "";
  setenv("XDG_DATA_DIRS", ("relative:" + Home + "/none:" + Data).c_str(), 1);
  EXPECT_EQ(FindExamplesFolder(Home + "/empty"), Data + "/deskbay/examples");
  EXPECT_EQ(FindExamplesFolder(ProgramExamples()), ProgramExamples()) << "its own come first";
  setenv("XDG_DATA_DIRS", Home.c_str(), 1);
  EXPECT_EQ(FindExamplesFolder(Home + "/empty"), Home + "/empty") << "nowhere else: its own";
  if (Old)
    setenv("XDG_DATA_DIRS", Saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_DIRS");
}

TEST_F(ExamplesTest, TheGalleryShowsEachChartWithItsTitleAndLesson) {
  TExamplesForm Gallery(ProgramExamples());
  const int Count = Gallery.lvExamples->count();
  ASSERT_EQ(size_t(Count), Gallery.GetExamples().size());
  QListWidgetItem* First = Gallery.lvExamples->item(0);
  EXPECT_EQ(First->text(),
            QStringLiteral("Таблица квадратов и кубов\n"
                           "Цикл со счётчиком: на каждом шаге одна строка таблицы."));
  EXPECT_EQ(First->data(Qt::AccessibleTextRole).toString(), First->text());
  EXPECT_FALSE(Gallery.lvExamples->accessibleName().isEmpty());
  // The picture is the chart, drawn: dark lines on white, within its size.
  const QImage Picture =
      ExampleChartPicture(Gallery.GetExamples()[0].Path, TExamplesForm::PictureSize);
  ASSERT_FALSE(Picture.isNull());
  EXPECT_LE(Picture.width(), TExamplesForm::PictureSize.width());
  EXPECT_LE(Picture.height(), TExamplesForm::PictureSize.height());
  int Dark = 0;
  for (int Y = 0; Y < Picture.height(); ++Y)
    for (int X = 0; X < Picture.width(); ++X)
      Dark += qGray(Picture.pixel(X, Y)) < 100;
  EXPECT_GT(Dark, 50);
  for (int I = 0; I < Count; ++I)
    EXPECT_FALSE(Gallery.lvExamples->item(I)->icon().isNull()) << I;
  EXPECT_EQ(Gallery.SelectedPath(), Gallery.GetExamples()[0].Path) << "the first is chosen";
}

TEST_F(ExamplesTest, EnterOrADoubleClickOpensTheChosenExample) {
  const std::string Folder = ProgramExamples();
  {
    TExamplesForm Gallery(Folder);
    Gallery.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Gallery));
    EXPECT_TRUE(Gallery.lvExamples->hasFocus()) << "the keys go to the list at once";
    QTest::keyClick(Gallery.lvExamples, Qt::Key_Down);
    QTest::keyClick(Gallery.lvExamples, Qt::Key_Return);
    EXPECT_EQ(Gallery.result(), QDialog::Accepted);
    EXPECT_EQ(Gallery.SelectedPath(), Gallery.GetExamples()[1].Path);
    EXPECT_FALSE(Gallery.GetOtherFileWanted());
  }
  {
    TExamplesForm Gallery(Folder);
    Gallery.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Gallery));
    QListWidget& List = *Gallery.lvExamples;
    const QRect Third = List.visualItemRect(List.item(2));
    QTest::mouseClick(List.viewport(), Qt::LeftButton, {}, Third.center());
    QTest::mouseDClick(List.viewport(), Qt::LeftButton, {}, Third.center());
    EXPECT_EQ(Gallery.result(), QDialog::Accepted);
    EXPECT_EQ(Gallery.SelectedPath(), Gallery.GetExamples()[2].Path);
  }
  {
    TExamplesForm Gallery(Folder);
    Gallery.btnOtherFile->click();
    EXPECT_EQ(Gallery.result(), QDialog::Accepted);
    EXPECT_TRUE(Gallery.GetOtherFileWanted());
  }
}

TEST_F(ExamplesTest, AnExampleThatCannotBeReadSaysWhyInItsRow) {
  Write(Home + "/broken.alg", "not an algorithm");
  Write(Home + "/index.txt", "broken.alg | Сломанный | не читается\n");
  TExamplesForm Gallery(Home);
  ASSERT_EQ(Gallery.lvExamples->count(), 1);
  const QString Text = Gallery.lvExamples->item(0)->text();
  EXPECT_TRUE(Text.startsWith(QStringLiteral("Сломанный\n"))) << Text.toStdString();
  EXPECT_TRUE(Text.contains(QStringLiteral("broken.alg"))) << Text.toStdString();
  EXPECT_FALSE(Gallery.lvExamples->item(0)->icon().isNull());

  TExamplesForm Empty(Home + "/missing");
  EXPECT_EQ(Empty.lvExamples->count(), 0);
  EXPECT_FALSE(Empty.btnOpen->isEnabled());
  EXPECT_TRUE(Empty.lblFolder->text().contains(QStringLiteral("нет примеров")));
}
