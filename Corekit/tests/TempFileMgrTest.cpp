// Temporary file names in a numbered private folder, and its removal.

#include "FileBytes.h"
#include "TestDir.h"

#include "Corekit/TempFileMgr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

bool IsDir(const std::string& Path) {
  struct stat St;
  return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

TEST(TempFileMgrTest, NamesInTheFirstFreeFolderAndTheNextManagerTakesTheNext) {
  TTestDir Dir;
  mkdir((Dir / "$tmp1$").c_str(), 0700);
  {
    TTempFileManager First(Dir.Path() + "/");
    EXPECT_EQ(First.GetBaseDir(), Dir.Path());
    EXPECT_EQ(First.GetOwnDir(), "");
    EXPECT_EQ(First.MakeTempFileName(), Dir / "$tmp2$/1.tmp");
    EXPECT_EQ(First.MakeTempFileName(), Dir / "$tmp2$/2.tmp");
    EXPECT_FALSE(IsDir(Dir / "$tmp2$/1.tmp")); // names only, no files

    TTempFileManager Second(Dir.Path());
    EXPECT_EQ(Second.MakeTempFileName(), Dir / "$tmp3$/1.tmp");

    // Whatever was put into its folder goes with it.
    WriteFileBytes(First.MakeTempFileName(), "data");
    mkdir((Dir / "$tmp2$/sub").c_str(), 0700);
    WriteFileBytes(Dir / "$tmp2$/sub/inner", "x");
    symlink(Dir.Path().c_str(), (Dir / "$tmp2$/sub/link").c_str());
  }
  EXPECT_FALSE(IsDir(Dir / "$tmp2$"));
  EXPECT_FALSE(IsDir(Dir / "$tmp3$"));
  EXPECT_TRUE(IsDir(Dir / "$tmp1$")); // not its own, and a link is never followed
}

TEST(TempFileMgrTest, BaseFolderIsMadeOrRefused) {
  TTestDir Dir;
  {
    TTempFileManager Deep(Dir / "a/b/c");
    EXPECT_TRUE(IsDir(Dir / "a/b/c"));
  }
  {
    // Nothing handed out, nothing made.
    TTempFileManager Unused(Dir / "a");
  }
  EXPECT_TRUE(IsDir(Dir / "a/b"));

  WriteFileBytes(Dir / "file", "x");
  EXPECT_NE(MessageOf([&] { TTempFileManager OnFile(Dir / "file/sub"); }), "(no error)");

  char Cwd[4096];
  ASSERT_NE(getcwd(Cwd, sizeof Cwd), nullptr);
  ASSERT_EQ(chdir(Dir.Path().c_str()), 0);
  {
    TTempFileManager Here("");
    EXPECT_EQ(Here.MakeTempFileName(), Dir / "$tmp1$/1.tmp");
  }
  ASSERT_EQ(chdir(Cwd), 0);

  if (geteuid() != 0) { // the superuser may write anywhere
    mkdir((Dir / "locked").c_str(), 0500);
    EXPECT_EQ(MessageOf([&] { TTempFileManager Locked(Dir / "locked"); }),
              "TempFileManager: Directory \"" + (Dir / "locked") + "\" is not writable.");
    chmod((Dir / "locked").c_str(), 0700);
  }
}

TEST(TempFileMgrTest, RemovalErrorsNameTheFolder) {
  TTestDir Dir;
  EXPECT_EQ(
      MessageOf([&] { RemoveDirectoryTree(Dir / "absent"); }),
      Format("Error %d on clearing directory %s (point #1)", ENOENT, (Dir / "absent").c_str()));
  if (geteuid() != 0) {
    mkdir((Dir / "ro").c_str(), 0700);
    WriteFileBytes(Dir / "ro/kept", "x");
    chmod((Dir / "ro").c_str(), 0500);
    EXPECT_EQ(MessageOf([&] { RemoveDirectoryTree(Dir / "ro"); }),
              Format("Error %d on clearing directory %s, file kept (point #2)", EACCES,
                     (Dir / "ro").c_str()));
    chmod((Dir / "ro").c_str(), 0700);
  }
}

} // namespace
