// The settings file at start and at exit: which applications are listed,
// which run, what is written back, whatever the file holds.

#include "ShellTestUtils.h"

#include "Corekit/ModMgr.h"

#include <sys/stat.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

TEST(AppValueTest, FlagAndTitle) {
  struct {
    const char* Value;
    bool Enabled;
    const char* Title;
  } Cases[] = {{"1,Заголовок", true, "Заголовок"},
               {"0,Заголовок, с запятой", false, "Заголовок, с запятой"},
               {"Yes,T", true, "T"},
               {"y,", true, ""},
               {"no,T", false, "T"},
               {",T", false, "T"},
               {"", true, ""},
               {"1", true, ""},
               {"0", true, ""}};
  for (const auto& C : Cases) {
    bool Enabled = !C.Enabled;
    std::string Title = "stale";
    ParseAppValue(C.Value, Enabled, Title);
    EXPECT_EQ(Enabled, C.Enabled) << C.Value;
    EXPECT_EQ(Title, C.Title) << C.Value;
  }
  EXPECT_EQ(FormatAppValue(true, "A, B"), "1,A, B");
  EXPECT_EQ(FormatAppValue(false, ""), "0,");
}

using SettingsTest = TShellTest;

TEST_F(SettingsTest, TitlesDecideWhetherAPackageIsLoadedAtStart) {
  WriteSettings("FixtureSecond=0,Кэшированный, с запятой\n"
                "FixtureDocs=1,Проверочные документы\n");
  Start();
  EXPECT_TRUE(Errors.empty()) << Errors[0];
  ASSERT_EQ(Shell->GetAppCount(), 2);
  EXPECT_EQ(Shell->GetApps(0), "FixtureSecond");
  EXPECT_EQ(Shell->GetAppTitles(0), "Кэшированный, с запятой");
  // Disabled with a title: its package is not even loaded.
  EXPECT_FALSE(Shell->GetModuleManager().IsModuleResident("FixtureSecond.so"));
  EXPECT_EQ(Shell->GetAppClass("FixtureSecond"), nullptr);
  ASSERT_NE(Shell->GetAppModule("fixturedocs"), nullptr);
  EXPECT_EQ(Shell->GetAppModuleCount(), 1);
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Проверочные документы");
  EXPECT_EQ(Shell->GetApplicationTitle(), "Документы");

  // Closing keeps the running ones enabled and every title.
  Shell->close();
  Stop();
  TIniFile Ini(Settings());
  EXPECT_EQ(Ini.ReadString("Applications", "FixtureSecond", ""), "0,Кэшированный, с запятой");
  EXPECT_EQ(Ini.ReadString("Applications", "FixtureDocs", ""), "1,Проверочные документы");
  EXPECT_EQ(Ini.ReadString("General", "ModuleDir", ""), FixtureDir);
}

TEST_F(SettingsTest, WithoutATitleThePackageIsLoadedToLearnIt) {
  WriteSettings("FixtureSecond=\nJunk line\nFixtureDocs=1\nFixtureDocs=0,duplicate\n");
  Start();
  EXPECT_TRUE(Errors.empty());
  // A line without "=" is no entry; of repeated keys the first counts.
  ASSERT_EQ(Shell->GetAppCount(), 2);
  EXPECT_EQ(Shell->GetApps(1), "FixtureDocs");
  EXPECT_EQ(Shell->GetAppTitles(0), "Второй модуль, с запятой");
  EXPECT_EQ(Shell->GetAppTitles(1), "Проверочные документы");
  EXPECT_EQ(Shell->GetAppModuleCount(), 2);
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Интегрированная среда Deskbay");
}

TEST_F(SettingsTest, BadEntriesAreDroppedOrDisabledWithTheirMessages) {
  WriteSettings(
      "Nowhere=1\n../env/FixtureSecond=1\nFixtureBadClass\nFixtureBadClass=1\nFixtureNoClass=1\n"
      "FixtureFails=1,Неудачный модуль\n"
      "FixtureDocs=0\xff\xfe,Заголовок \xff\n");
  Start();
  ASSERT_EQ(Errors.size(), 5u);
  // From the last entry to the first.
  EXPECT_EQ(Errors[0], "Ошибка инициализации модуля \"FixtureFails\": Нет нужных данных.");
  EXPECT_EQ(Errors[1], "Модуль \"FixtureNoClass.so\" не является модулем приложения.");
  // The package's own exception went with it; its message stays.
  EXPECT_EQ(Errors[2], "Класс модуля недоступен");
  EXPECT_EQ(Errors[3], "Module \"../env/FixtureSecond.so\" not found.");
  EXPECT_EQ(Errors[4], "Module \"Nowhere.so\" not found.");
  EXPECT_FALSE(Shell->GetModuleManager().IsModuleResident("FixtureNoClass.so"));
  EXPECT_FALSE(Shell->GetModuleManager().IsModuleResident("FixtureBadClass.so"));

  ASSERT_EQ(Shell->GetAppCount(), 2);
  EXPECT_EQ(Shell->GetApps(0), "FixtureFails");
  EXPECT_EQ(Shell->GetAppModule("FixtureFails"), nullptr);
  EXPECT_EQ(Shell->GetAppModuleCount(), 0);
  EXPECT_EQ(Shell->GetAppTitles(1), "Заголовок \xff");

  Shell->close();
  Stop();
  TStringList Keys;
  TIniFile(Settings()).ReadSection("Applications", Keys);
  EXPECT_EQ(Keys.Lines(), (std::vector<std::string>{"FixtureFails", "FixtureDocs"}));
  EXPECT_EQ(TIniFile(Settings()).ReadString("Applications", "FixtureDocs", ""), "0,Заголовок \xff");
}

TEST_F(SettingsTest, MissingEmptyOrUnwritableSettingsStillStart) {
  Start();
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Shell->GetAppCount(), 0);
  EXPECT_EQ(Shell->GetModuleDir(), Home);
  Stop();

  WriteText(Settings(), "no sections here\n\x01\x02\n");
  Start();
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Shell->GetAppCount(), 0);
  Stop();

  // A settings file that cannot be written: the table is lost quietly.
  WriteText(Home + "/file", "x");
  Shell = std::make_unique<TMainForm>(TShellStart{Home, "Deskbay", Home + "/file/Deskbay.ini"});
  Shell->FirstShow();
  EXPECT_FALSE(Shell->GetStartFailed());
  Stop();
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SettingsTest, RelativeModuleFolderAndTheTemporaryFolder) {
  WriteText(Settings(), "[General]\nModuleDir=mods/\n");
  Start();
  EXPECT_EQ(Shell->GetModuleDir(), Home + "/mods");
  ASSERT_NE(Shell->GetTempFiles(), nullptr);
  std::string Temp = Shell->GetTempFiles()->MakeTempFileName();
  EXPECT_EQ(Temp, Home + "/$tmp1$/1.tmp");
  Stop();
  struct stat St;
  EXPECT_NE(stat((Home + "/$tmp1$").c_str(), &St), 0);
}

TEST_F(SettingsTest, AnInstalledProgramStartsFromTheInstalledDefaults) {
  std::string Bin = Home + "/bin", Share = Home + "/share/deskbay";
  mkdir(Bin.c_str(), 0700);
  mkdir((Home + "/share").c_str(), 0700);
  mkdir(Share.c_str(), 0700);
  WriteText(Share + "/Deskbay.ini", "[General]\nModuleDir=../lib/deskbay\n");
  EXPECT_EQ(ChooseSettingsFile(Bin, "Deskbay"), Bin + "/Deskbay.ini");
  EXPECT_EQ(ReadText(Bin + "/Deskbay.ini"), "[General]\nModuleDir=../lib/deskbay\n");
  // Once there, the copy is the user's: the defaults do not overwrite it.
  WriteText(Bin + "/Deskbay.ini", "[General]\n");
  EXPECT_EQ(ChooseSettingsFile(Bin, "Deskbay"), Bin + "/Deskbay.ini");
  EXPECT_EQ(ReadText(Bin + "/Deskbay.ini"), "[General]\n");
}

TEST_F(SettingsTest, ASettingsFileBesideAnUnwritableProgramMovesToTheUser) {
  if (geteuid() == 0)
    GTEST_SKIP() << "the superuser writes anywhere";
  std::string Program = Home + "/prog", Config = Home + "/config";
  mkdir(Program.c_str(), 0700);
  WriteText(Program + "/Deskbay.ini", "[General]\nModuleDir=x\n");
  chmod(Program.c_str(), 0500);
  setenv("XDG_CONFIG_HOME", Config.c_str(), 1);
  EXPECT_EQ(ChooseSettingsFile(Program, "Deskbay"), Config + "/deskbay/Deskbay.ini");
  EXPECT_EQ(ReadText(Config + "/deskbay/Deskbay.ini"), "[General]\nModuleDir=x\n");
  EXPECT_EQ(ChooseTempBase(Program), getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
  unsetenv("XDG_CONFIG_HOME");
  chmod(Program.c_str(), 0700);
  EXPECT_EQ(ChooseSettingsFile(Program, "Deskbay"), Program + "/Deskbay.ini");
}

} // namespace
