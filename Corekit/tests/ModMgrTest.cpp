// The module manager with the fixture packages the build makes beside the
// tests: loading order, the process-wide table, unloading order and every
// error, plus the version information the packages carry.

#include "FileBytes.h"
#include "TestDir.h"

#include "Corekit/ModMgr.h"
#include "Corekit/VersionInfo.h"

#include <cerrno>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <thread>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string FixtureDir = FIXTURE_DIR;

std::string Fixture(const std::string& Name) {
  return FixtureDir + "/" + Name;
}

// A manager that finds packages in the fixture folder and notes what it was
// asked and told; the fixtures note their (de)initialisation in a log file.
class ModMgrTest : public testing::Test {
protected:
  void SetUp() override {
    setenv("DESKBAY_FIXTURE_LOG", (Dir / "log").c_str(), 1);
    Manager.OnModuleRequired = [this](TModuleManager*, const std::string& Name, std::string& File) {
      Asked.push_back(Name);
      if (access(Fixture(Name).c_str(), F_OK) == 0)
        File = Fixture(Name);
    };
    Manager.OnModuleLoaded = [this](TModuleManager*, const std::string& File, TModuleHandle) {
      Loaded.push_back(File.substr(File.rfind('/') + 1));
    };
  }
  void TearDown() override {
    Manager.UnmountAll();
    unsetenv("DESKBAY_FIXTURE_LOG");
  }
  std::string Log() { return ReadFileBytes(Dir / "log"); }

  TTestDir Dir;
  TModuleManager Manager;
  std::vector<std::string> Asked, Loaded;
};

TEST_F(ModMgrTest, MountsRequiredPackagesFirstAndUnloadsInReverse) {
  TModuleHandle User = Manager.MountModule("FixtureUser.so");
  ASSERT_NE(User, nullptr);
  EXPECT_EQ(Asked, (std::vector<std::string>{"FixtureUser.so", "FixtureBase.so"}));
  EXPECT_EQ(Loaded, (std::vector<std::string>{"FixtureBase.so", "FixtureUser.so"}));
  EXPECT_EQ(Log(), "+FixtureBase\n+FixtureUser\n");

  ASSERT_EQ(Manager.GetModuleCount(), 2);
  TMountedModule* Base = Manager.FindModule("fixturebase.SO");
  EXPECT_EQ(Base->GetFileName(), Fixture("FixtureBase.so"));
  EXPECT_EQ(Base->GetName(), "FixtureBase.so");
  EXPECT_EQ(Manager.GetModule("FixtureUser.so")->GetHandle(), User);
  EXPECT_TRUE(Manager.IsModuleResident("FixtureUser.so"));

  // A second mount finds it in the process and records nothing.
  Asked.clear();
  EXPECT_EQ(Manager.MountModule("FixtureUser.so"), User);
  EXPECT_TRUE(Asked.empty());
  EXPECT_EQ(Manager.GetModuleCount(), 2);

  // Another manager sees the same table.
  TModuleManager Other;
  EXPECT_EQ(Other.GetModuleCount(), 2);

  Manager.UnmountAll();
  EXPECT_EQ(Log(), "+FixtureBase\n+FixtureUser\n-FixtureUser\n-FixtureBase\n");
  EXPECT_EQ(Manager.GetModuleCount(), 0);
  EXPECT_FALSE(Manager.IsModuleResident("FixtureUser.so"));
  EXPECT_EQ(MessageOf([&] { Manager.FindModule("FixtureUser.so"); }),
            "Модуль \"FixtureUser.so\" не подключён.");
}

TEST_F(ModMgrTest, ResidentModulesAreNeverRecordedNorUnloaded) {
  // The foundation library is in the process already.
  TModuleHandle Corekit = Manager.MountModule("libCorekit.so");
  EXPECT_NE(Corekit, nullptr);
  EXPECT_TRUE(Asked.empty());
  EXPECT_EQ(Manager.GetModuleCount(), 0);

  // A package someone else loaded: its handle, no record; unmounting it by
  // name does nothing.
  void* Own = dlopen(Fixture("FixtureBase.so").c_str(), RTLD_NOW);
  ASSERT_NE(Own, nullptr);
  EXPECT_EQ(Manager.MountModule("FixtureBase.so"), Own);
  EXPECT_EQ(Manager.GetModuleCount(), 0);
  Manager.UnmountModule("FixtureBase.so");
  EXPECT_TRUE(Manager.IsModuleResident("FixtureBase.so"));

  // A package requiring it does not record it either.
  Manager.MountModule("FixtureUser.so");
  EXPECT_EQ(Manager.GetModuleCount(), 1);
  Manager.UnmountModule("FixtureUser.so");
  EXPECT_EQ(Manager.GetModuleCount(), 0);
  dlclose(Own);
  EXPECT_FALSE(Manager.IsModuleResident("FixtureBase.so"));
}

TEST_F(ModMgrTest, FailuresNameTheModuleAndKeepWhatWasMounted) {
  Manager.MountModule("FixtureBase.so");

  // Without an answer from the owner nothing can be found.
  TModuleManager Lonely;
  EXPECT_EQ(MessageOf([&] { Lonely.MountModule("FixtureUser.so"); }),
            "Модуль \"FixtureUser.so\" не найден.");
  EXPECT_EQ(MessageOf([&] { Manager.MountModule("Nowhere.so"); }),
            "Модуль \"Nowhere.so\" не найден.");

  // The required library is neither with the owner nor with the loader.
  EXPECT_EQ(MessageOf([&] { Manager.MountModule("FixtureNeedsGone.so"); }),
            "Модуль \"FixtureGone.so\" не найден.");
  EXPECT_FALSE(Manager.IsModuleResident("FixtureNeedsGone.so"));

  // An initialisation that throws: its message, and the package is gone.
  EXPECT_EQ(MessageOf([&] { Manager.MountModule("FixtureThrows.so"); }),
            "Ошибка при загрузке модуля");
  EXPECT_FALSE(Manager.IsModuleResident("FixtureThrows.so"));

  // Files that are no packages: the reason the reader found is kept.
  WriteFileBytes(Dir / "Text.so", "#!/bin/sh\necho a script, long enough for an ELF header\n");
  Manager.OnModuleRequired = [&](TModuleManager*, const std::string& Name, std::string& File) {
    File = Dir / Name;
  };
  EXPECT_EQ(MessageOf([&] { Manager.MountModule("Text.so"); }),
            "Не удалось прочитать модуль \"" + (Dir / "Text.so") +
                "\": это не библиотека (файл не в формате ELF).");
  EXPECT_EQ(MessageOf([&] { Manager.MountModule("Missing.so"); }),
            "Не удалось прочитать модуль \"" + (Dir / "Missing.so") +
                "\": " + SysErrorMessage(ENOENT) + ".");
  EXPECT_EQ(MessageOf([&] { Manager.FindModule("Missing.so"); }),
            "Модуль \"Missing.so\" не подключён.");

  EXPECT_EQ(Manager.GetModuleCount(), 1);
  EXPECT_NE(Manager.GetModule("FixtureBase.so"), nullptr);
}

TEST_F(ModMgrTest, SafeLoadPackageReportsTheLoadersReason) {
  WriteFileBytes(Dir / "Bad.so", std::string("\x7f"
                                             "ELF",
                                             4) +
                                     std::string(60, '\0'));
  std::string Message = MessageOf([&] { SafeLoadPackage(Dir / "Bad.so"); });
  const std::string Start = "Не удалось загрузить модуль \"" + (Dir / "Bad.so") + "\": ";
  EXPECT_EQ(Message.rfind(Start, 0), 0u) << Message;
  EXPECT_GT(Message.size(), Start.size() + 1);
  EXPECT_EQ(Message.back(), '.');
  EXPECT_FALSE(Message.ends_with("..")) << Message;
}

TEST_F(ModMgrTest, ExportsAndRequiredPackagesOfLoadedModules) {
  TModuleHandle User = Manager.MountModule("FixtureUser.so");
  // The package's own export, never one of the libraries it pulled in.
  EXPECT_NE(GetPackageProcAddress(User, "FixtureUserValue"), nullptr);
  EXPECT_EQ(GetPackageProcAddress(User, "FixtureBaseValue"), nullptr);

  EXPECT_EQ(GetModuleFileName(User), Fixture("FixtureUser.so"));
  EXPECT_EQ(GetModuleFileName(reinterpret_cast<TModuleHandle>(0x10)), "");
  EXPECT_EQ(GetModuleFileName(dlopen(nullptr, RTLD_LAZY)), GetProgramFileName());

  TStringList Required;
  Required.Add("stale");
  ASSERT_TRUE(GetRequiredPackages(User, Required));
  auto Lines = Required.Lines();
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "FixtureBase.so"), Lines.end());
  EXPECT_EQ(std::find(Lines.begin(), Lines.end(), "stale"), Lines.end());
  EXPECT_FALSE(GetRequiredPackages(reinterpret_cast<TModuleHandle>(0x10), Required));
  EXPECT_EQ(Required.GetCount(), 0);

  bool Listed = false;
  for (const TLoadedModule& M : GetLoadedModules()) {
    EXPECT_NE(M.FileName, GetProgramFileName());
    Listed = Listed || (M.FileName == Fixture("FixtureUser.so") && M.Handle == User);
  }
  EXPECT_TRUE(Listed);
}

TEST_F(ModMgrTest, ManagersOnSeveralThreadsShareTheTableSafely) {
  auto Work = [] {
    TModuleManager Own;
    Own.OnModuleRequired = [](TModuleManager*, const std::string& Name, std::string& File) {
      File = Fixture(Name);
    };
    for (int I = 0; I < 50; ++I) {
      Own.MountModule("FixtureUser.so");
      Own.UnmountModule("FixtureUser.so");
      Own.UnmountModule("FixtureBase.so");
    }
  };
  std::thread A(Work), B(Work);
  A.join();
  B.join();
  EXPECT_EQ(Manager.GetModuleCount(), 0);
  EXPECT_FALSE(Manager.IsModuleResident("FixtureUser.so"));
}

TEST(VersionInfoTest, ValuesAndVersionOfTheEmbeddedSection) {
  TVersionInfo Info(Fixture("FixtureBase.so"));
  EXPECT_TRUE(Info.HasVersion());
  EXPECT_EQ(Info.GetVersionString(), "1.2.3.4");
  EXPECT_EQ(Info.GetVersion(), (1ull << 48) | (2ull << 32) | (3ull << 16) | 4ull);
  EXPECT_EQ(Info.GetValue("FileDescription"), "Базовый модуль");
  EXPECT_EQ(Info.GetValue("fileDESCRIPTION"), "Базовый модуль");
  EXPECT_EQ(Info.GetValue("Comments"), "Первая строка\nвторая \\ строка");
  EXPECT_EQ(Info.GetValue("Email"), "fixture@example.org");
  EXPECT_EQ(Info.GetValue("URL"), "example.org/fixture");
  EXPECT_EQ(Info.GetValue("ProductName"), "Проверки");
  EXPECT_EQ(Info.GetValue("NoSuchKey"), "");
  EXPECT_EQ(GetFileDescription(Fixture("FixtureBase.so"), &Info), "Базовый модуль");

  // Without any version information.
  TVersionInfo None(Fixture("FixtureUser.so"));
  EXPECT_FALSE(None.HasBlock());
  EXPECT_EQ(None.GetVersionString(), "0.0.0.0");
  EXPECT_EQ(None.GetValue("FileDescription"), "");
  EXPECT_EQ(GetFileDescription(Fixture("FixtureUser.so"), &None), "");

  // Values but no version: the description falls back to the package's.
  TVersionInfo NoVersion(Fixture("FixtureNeedsGone.so"));
  EXPECT_TRUE(NoVersion.HasBlock());
  EXPECT_FALSE(NoVersion.HasVersion());
  EXPECT_EQ(NoVersion.GetVersionString(), "0.0.0.0");
  EXPECT_EQ(GetFileDescription(Fixture("FixtureNeedsGone.so"), &NoVersion),
            "Модуль без своей библиотеки");
  EXPECT_EQ(GetFileDescription(Fixture("FixtureNeedsGone.so"), nullptr),
            "Модуль без своей библиотеки");

  EXPECT_EQ(MessageOf([] { TVersionInfo Bad(Fixture("FixtureThrows.so")); }),
            "Bad file MajorVersion: 32768.");

  // The system's own libraries carry theirs.
  std::string Corekit;
  for (const TLoadedModule& M : GetLoadedModules())
    if (M.FileName.ends_with("/libCorekit.so"))
      Corekit = M.FileName;
  ASSERT_FALSE(Corekit.empty());
  TVersionInfo Own(Corekit);
  EXPECT_TRUE(Own.HasVersion());
  EXPECT_EQ(GetFileDescription(Corekit, &Own), "Вспомогательные функции");
  EXPECT_EQ(Own.GetValue("ProductName"), "Deskbay");
}

TEST(VersionInfoTest, ParsingTheBlock) {
  TVersionInfo::TBlock Block;
  EXPECT_FALSE(ParseVersionBlock("", Block));
  EXPECT_FALSE(ParseVersionBlock("Something else\nFileVersion=1.0.0.0\n", Block));
  std::string Two = std::string("DeskbayVersionInfo 1\nA=x=y\nnoequals\n=v\nB=\\n\\\\") +
                    std::string(1, '\0') + "DeskbayVersionInfo 1\nC=later\n";
  ASSERT_TRUE(ParseVersionBlock(Two, Block));
  ASSERT_EQ(Block.size(), 2u);
  EXPECT_EQ(Block[0], std::make_pair(std::string("A"), std::string("x=y")));
  EXPECT_EQ(Block[1], std::make_pair(std::string("B"), std::string("\n\\")));
}

} // namespace
