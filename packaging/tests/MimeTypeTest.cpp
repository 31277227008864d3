// The "alg" file type as the desktop sees it: the shared MIME package is
// read by Qt's MIME database, the same rules a file manager applies.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const char* const AlgType = "application/x-deskbay-alg";

// XDG_DATA_DIRS must name our package before the database is first used,
// which is why main sets it up before anything else runs.
QTemporaryDir* DataDir = nullptr;

QString WriteFile(const QString& Name, const QByteArray& Bytes) {
  QString Path = QDir(DataDir->path()).filePath(Name);
  QFile File(Path);
  EXPECT_TRUE(File.open(QIODevice::WriteOnly));
  File.write(Bytes);
  return Path;
}

QByteArray ReadFile(const QString& Path) {
  QFile File(Path);
  EXPECT_TRUE(File.open(QIODevice::ReadOnly)) << Path.toStdString();
  return File.readAll();
}

QByteArray BagHeader(const QByteArray& ClassName) {
  QByteArray Bytes("BAG\x1a", 4);
  quint32 Length = quint32(ClassName.size());
  for (int i = 0; i < 4; ++i)
    Bytes.append(char((Length >> (8 * i)) & 0xFF));
  return Bytes + ClassName + QByteArray(16, '\0');
}

} // namespace

TEST(AlgMimeType, SavedAlgorithmsAreRecognisedByContentWhateverTheirName) {
  QMimeDatabase Db;
  QByteArray Saved = ReadFile(QStringLiteral(EXAMPLES_DIR "/drawing.alg"));
  EXPECT_EQ(Db.mimeTypeForFile(WriteFile("drawing", Saved)).name(), AlgType);
  EXPECT_EQ(Db.mimeTypeForFile(WriteFile("drawing.bin", Saved), QMimeDatabase::MatchContent).name(),
            AlgType);
  // The program compares the class name without regard to case.
  EXPECT_EQ(Db.mimeTypeForData(BagHeader("ALGORITHM")).name(), AlgType);
  EXPECT_EQ(Db.mimeTypeForData(BagHeader("algorithm")).name(), AlgType);
}

TEST(AlgMimeType, OtherContentIsNotAnAlgorithm) {
  QMimeDatabase Db;
  // A bag of another class, a longer name that starts alike, and text.
  EXPECT_NE(Db.mimeTypeForData(BagHeader("RootAlgBlock")).name(), AlgType);
  EXPECT_NE(Db.mimeTypeForData(BagHeader("Algorithms")).name(), AlgType);
  EXPECT_NE(Db.mimeTypeForData(QByteArray("BAG\x1a\x09\x00\x00\x00Algorithn", 17)).name(), AlgType);
  EXPECT_NE(Db.mimeTypeForData(QByteArray("Algorithm\n")).name(), AlgType);
}

TEST(AlgMimeType, TheExtensionAloneNamesTheType) {
  QMimeDatabase Db;
  EXPECT_EQ(Db.mimeTypeForFile(QStringLiteral("pupil.alg"), QMimeDatabase::MatchExtension).name(),
            AlgType);
  QMimeType Type = Db.mimeTypeForName(AlgType);
  ASSERT_TRUE(Type.isValid());
  EXPECT_EQ(Type.iconName(), "deskbay");
  EXPECT_EQ(Type.preferredSuffix(), "alg");
}

TEST(TaskMimeType, TaskPacksByNameAndByContent) {
  QMimeDatabase Db;
  const char* const TaskType = "application/x-deskbay-task";
  EXPECT_EQ(Db.mimeTypeForFile(QStringLiteral("lesson.task"), QMimeDatabase::MatchExtension).name(),
            TaskType);
  EXPECT_EQ(Db.mimeTypeForData(QByteArray("@@ deskbay-task 1\n@@ text\n")).name(), TaskType);
  EXPECT_NE(Db.mimeTypeForData(QByteArray("@@ notes\n")).name(), TaskType);
  QMimeType Type = Db.mimeTypeForName(TaskType);
  ASSERT_TRUE(Type.isValid());
  EXPECT_TRUE(Type.inherits("text/plain"));
}

int main(int argc, char** argv) {
  // Our package in a data folder of its own, before the system's.
  QTemporaryDir Data;
  DataDir = &Data;
  QDir(Data.path()).mkpath("mime/packages");
  QFile::copy(QStringLiteral(MIME_PACKAGE),
              QDir(Data.path()).filePath("mime/packages/deskbay.xml"));
  QByteArray Dirs = Data.path().toLocal8Bit() + ":/usr/local/share:/usr/share";
  setenv("XDG_DATA_DIRS", Dirs.constData(), 1);
  setenv("XDG_DATA_HOME", (Data.path() + "/home").toLocal8Bit().constData(), 1);
  QCoreApplication App(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
