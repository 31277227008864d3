// The settings file: what is read from files a user or another program may
// have written, and that every write is whole and immediate.

#include "FileBytes.h"
#include "TestDir.h"

#include "Corekit/IniFiles.h"
#include "Corekit/Streams.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

std::vector<std::string> Keys(const TIniFile& Ini, const std::string& Section) {
  TStringList List;
  List.Add("stale");
  Ini.ReadSection(Section, List);
  return List.Lines();
}

TEST(IniFilesTest, ReadingWhatever) {
  TTestDir Dir;
  TIniFile Missing(Dir / "missing.ini");
  EXPECT_EQ(Missing.ReadString("General", "ModuleDir", "def"), "def");
  EXPECT_TRUE(Keys(Missing, "Applications").empty());
  EXPECT_FALSE(Missing.SectionExists("General"));

  WriteFileBytes(Dir / "empty.ini", "");
  EXPECT_EQ(TIniFile(Dir / "empty.ini").ReadString("A", "B", "d"), "d");

  // Keys before any section belong to none; duplicates: the first counts.
  std::string Long(100000, 'x');
  WriteFileBytes(Dir / "s.ini", "orphan=1\r\n"
                                "; comment\r\n"
                                "[ applications ]\r\n"
                                "  Alpha = 1,Title, with, commas  \r\n"
                                "alpha=0,second\r\n"
                                "Beta\r\n"
                                "Gamma=\xff\xfe bytes\r\n"
                                "Long=" +
                                    Long +
                                    "\r\n"
                                    "[Other]\n"
                                    "Alpha=other\n"
                                    "[Applications]\n"
                                    "Delta=late\n");
  TIniFile Ini(Dir / "s.ini");
  EXPECT_EQ(Ini.ReadString("Applications", "ALPHA", ""), "1,Title, with, commas");
  EXPECT_EQ(Ini.ReadString("Applications", "Gamma", ""), "\xff\xfe bytes");
  EXPECT_EQ(Ini.ReadString("Applications", "Long", ""), Long);
  EXPECT_EQ(Ini.ReadString("Applications", "Beta", "none"), "none");
  EXPECT_EQ(Ini.ReadString("Applications", "Delta", ""), "late");
  EXPECT_EQ(Ini.ReadString("", "orphan", "none"), "none");
  EXPECT_EQ(Keys(Ini, "Applications"),
            (std::vector<std::string>{"Alpha", "Gamma", "Long", "Delta"}));
  EXPECT_TRUE(Ini.ValueExists("applications", "long"));
  EXPECT_FALSE(Ini.ValueExists("applications", "Beta"));
}

TEST(IniFilesTest, WritesReachTheFileAndKeepTheRest) {
  TTestDir Dir;
  TIniFile Ini(Dir / "w.ini");
  Ini.WriteString("General", "ModuleDir", "/opt/modules");
  EXPECT_EQ(ReadFileBytes(Dir / "w.ini"), "[General]\nModuleDir=/opt/modules\n");

  WriteFileBytes(Dir / "w.ini", "; kept\n[Applications]\nA=1\n\n[General]\nModuleDir=x\n");
  Ini.WriteString("applications", "B", "0,Title, comma");
  Ini.WriteString("General", "moduledir", "y");
  Ini.WriteString("New", "Key", "line\nbreak");
  EXPECT_EQ(ReadFileBytes(Dir / "w.ini"), "; kept\n[Applications]\nA=1\nB=0,Title, comma\n\n"
                                          "[General]\nmoduledir=y\n\n[New]\nKey=line break\n");
  // Another object on the same file sees every write at once.
  EXPECT_EQ(TIniFile(Dir / "w.ini").ReadString("Applications", "b", ""), "0,Title, comma");

  Ini.EraseSection("APPLICATIONS");
  Ini.DeleteKey("New", "Key");
  EXPECT_EQ(ReadFileBytes(Dir / "w.ini"), "; kept\n[General]\nmoduledir=y\n\n[New]\n");
}

TEST(IniFilesTest, AFailedWriteLeavesTheFileAndSaysSo) {
  TTestDir Nowhere;
  WriteFileBytes(Nowhere / "file", "x");
  std::string Name = Nowhere / "file/s.ini";
  EXPECT_NE(MessageOf([&] { TIniFile(Name).WriteString("A", "B", "C"); }).find(Name),
            std::string::npos);
  EXPECT_EQ(TIniFile(Name).ReadString("A", "B", "none"), "none");

  if (geteuid() == 0)
    GTEST_SKIP() << "the superuser writes anywhere";
  TTestDir Dir;
  mkdir((Dir / "ro").c_str(), 0700);
  WriteFileBytes(Dir / "ro/s.ini", "[General]\nModuleDir=old\n");
  chmod((Dir / "ro").c_str(), 0500);
  TIniFile Ini(Dir / "ro/s.ini");
  std::string Message = MessageOf([&] { Ini.WriteString("General", "ModuleDir", "new"); });
  chmod((Dir / "ro").c_str(), 0700);
  EXPECT_NE(Message.find(Dir / "ro/s.ini"), std::string::npos) << Message;
  EXPECT_EQ(ReadFileBytes(Dir / "ro/s.ini"), "[General]\nModuleDir=old\n");
}

TEST(IniFilesTest, SeveralKeysGoInOneWriteAndEverythingElseStaysWhereItWas) {
  TTestDir Dir;
  const std::string Text = "; the shell's settings\n"
                           "[Applications]\n"
                           "; switched off while the new version is tried\n"
                           "Flowapp=0,Исполнитель\n"
                           "\n"
                           "# a pupil's note\n"
                           "Other=1,Другое\n"
                           "[General]\n"
                           "ModuleDir=mods\n";
  WriteFileBytes(Dir / "s.ini", Text);
  TIniFile Ini(Dir / "s.ini");
  Ini.WriteStrings("applications",
                   {{"other", "0,Другое"}, {"New", "1,Новое"}, {"Next", "x"}, {"new", "0,Новое"}});
  EXPECT_EQ(ReadFileBytes(Dir / "s.ini"), "; the shell's settings\n"
                                          "[Applications]\n"
                                          "; switched off while the new version is tried\n"
                                          "Flowapp=0,Исполнитель\n"
                                          "\n"
                                          "# a pupil's note\n"
                                          "other=0,Другое\n"
                                          "new=0,Новое\n"
                                          "Next=x\n"
                                          "[General]\n"
                                          "ModuleDir=mods\n");
  std::vector<std::pair<std::string, std::string>> Values;
  Ini.ReadSectionValues("APPLICATIONS", Values);
  EXPECT_EQ(
      Values,
      (std::vector<std::pair<std::string, std::string>>{
          {"Flowapp", "0,Исполнитель"}, {"other", "0,Другое"}, {"new", "0,Новое"}, {"Next", "x"}}));
  // Nothing to write: the file is not touched.
  struct stat Before, After;
  ASSERT_EQ(stat((Dir / "s.ini").c_str(), &Before), 0);
  Ini.WriteStrings("Applications", {});
  ASSERT_EQ(stat((Dir / "s.ini").c_str(), &After), 0);
  EXPECT_EQ(Before.st_ino, After.st_ino);
}

TEST(IniFilesTest, FilesThatCannotBeReadAreNamedAndNeverOverwritten) {
  TTestDir Dir;
  ASSERT_EQ(mkfifo((Dir / "fifo.ini").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (Dir / "zero.ini").c_str()), 0);
  ASSERT_EQ(mkdir((Dir / "folder.ini").c_str(), 0700), 0);
  // Just above the limit: refused without being read.
  WriteFileBytes(Dir / "huge.ini",
                 "[General]\nModuleDir=x\n" + std::string(TIniFile::MaxFileSize, ';'));
  struct {
    const char* Name;
    std::string Reason;
  } Cases[] = {{"fifo.ini", "это не обычный файл"},
               {"zero.ini", "это не обычный файл"},
               {"folder.ini", SysErrorMessage(EISDIR)},
               {"huge.ini", "файл больше 1048576 байт"}};
  for (const auto& C : Cases) {
    TIniFile Ini(Dir / C.Name);
    EXPECT_EQ(Ini.ReadString("General", "ModuleDir", "default"), "default") << C.Name;
    EXPECT_EQ(Ini.GetReadError(),
              "Не удалось прочитать файл \"" + (Dir / C.Name) + "\": " + C.Reason);
    EXPECT_EQ(MessageOf([&] { Ini.WriteString("General", "ModuleDir", "y"); }), Ini.GetReadError());
  }
  EXPECT_EQ(ReadFileBytes(Dir / "huge.ini").size(), TIniFile::MaxFileSize + 22);
  struct stat St;
  ASSERT_EQ(lstat((Dir / "zero.ini").c_str(), &St), 0);
  EXPECT_TRUE(S_ISLNK(St.st_mode));
  // A missing file is no error.
  TIniFile Missing(Dir / "missing.ini");
  Missing.ReadString("A", "B", "");
  EXPECT_EQ(Missing.GetReadError(), "");

  if (geteuid() == 0)
    return; // the superuser reads any file
  WriteFileBytes(Dir / "secret.ini", "[General]\nModuleDir=x\n");
  chmod((Dir / "secret.ini").c_str(), 0200);
  TIniFile Secret(Dir / "secret.ini");
  EXPECT_EQ(Secret.ReadString("General", "ModuleDir", "default"), "default");
  EXPECT_EQ(Secret.GetReadError(), "Не удалось прочитать файл \"" + (Dir / "secret.ini") +
                                       "\": " + SysErrorMessage(EACCES));
  EXPECT_THROW(Secret.WriteString("General", "ModuleDir", "y"), EFOpenError);
  chmod((Dir / "secret.ini").c_str(), 0600);
  EXPECT_EQ(ReadFileBytes(Dir / "secret.ini"), "[General]\nModuleDir=x\n");
}

} // namespace
