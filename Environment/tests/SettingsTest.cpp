// The settings file at start and at exit: which applications are listed,
// which run, what is written back, whatever the file holds.

#include "ShellTestUtils.h"

#include "Environment/Environment_Apps.h"

#include "Corekit/ModMgr.h"
#include "Corekit/Streams.h"

#include <QTreeWidget>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

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
  EXPECT_EQ(Errors[3], "Модуль \"../env/FixtureSecond.so\" не найден.");
  EXPECT_EQ(Errors[4], "Модуль \"Nowhere.so\" не найден.");
  EXPECT_FALSE(Shell->GetModuleManager().IsModuleResident("FixtureNoClass.so"));
  EXPECT_FALSE(Shell->GetModuleManager().IsModuleResident("FixtureBadClass.so"));

  ASSERT_EQ(Shell->GetAppCount(), 2);
  EXPECT_EQ(Shell->GetApps(0), "FixtureFails");
  EXPECT_EQ(Shell->GetAppModule("FixtureFails"), nullptr);
  EXPECT_EQ(Shell->GetAppModuleCount(), 0);
  EXPECT_EQ(Shell->GetAppTitles(1), "Заголовок \xff");

  // The file keeps every entry as it was: a damaged package replaced later
  // starts again.
  const std::string Before = ReadText(Settings());
  Shell->close();
  Stop();
  EXPECT_EQ(ReadText(Settings()), Before);
}

TEST_F(SettingsTest, AStartThatFailsChangesNothingInTheFile) {
  const std::string Text = "; Settings of the shell\n"
                           "[Applications]\n"
                           "; on trial this week\n"
                           "Nowhere=1,Отсутствующий модуль\n"
                           "FixtureDocs=1,Проверочные документы\n"
                           "# switched off by the teacher\n"
                           "FixtureSecond=0,Второй\n"
                           "\n"
                           "[General]\n"
                           "ModuleDir=" +
                           FixtureDir + "\n";
  WriteText(Settings(), Text);
  Start();
  ASSERT_EQ(Errors.size(), 1u);
  // One language, one full stop.
  EXPECT_EQ(Errors[0], "Ошибка инициализации модуля \"Nowhere\": Модуль \"Nowhere.so\" не найден.");
  EXPECT_NE(Shell->GetAppModule("FixtureDocs"), nullptr);
  Shell->close();
  Stop();
  EXPECT_EQ(ReadText(Settings()), Text);
}

TEST_F(SettingsTest, OnlyWhatTheUserTickedOrUntickedIsWrittenBack) {
  const std::string Head = "[Applications]\n"
                           "; the documents\n"
                           "FixtureDocs=1,Проверочные документы\n"
                           "Nowhere=1\n"
                           "FixtureSecond=0,Второй\n";
  const std::string Tail = "[General]\nModuleDir=" + FixtureDir + "\n";
  WriteText(Settings(), Head + Tail);
  Start();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Модуль \"Nowhere.so\" не найден.");
  ShowApplications();
  TAppsForm* Apps = TAppsForm::GetInstance();
  ASSERT_NE(Apps, nullptr);
  ASSERT_EQ(Apps->lvApps->topLevelItemCount(), 2);
  for (int I = 0; I < 2; ++I) {
    QTreeWidgetItem* Item = Apps->lvApps->topLevelItem(I);
    Item->setCheckState(0, Item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
  EXPECT_EQ(Shell->GetAppModule("FixtureDocs"), nullptr);
  EXPECT_NE(Shell->GetAppModule("FixtureSecond"), nullptr);
  // Back and forth counts as what it ends with; a started module brings
  // its own title.
  Shell->ChooseAppEnabled("FixtureDocs", true);
  Shell->ChooseAppEnabled("FixtureDocs", false);
  Shell->close();
  Stop();
  EXPECT_EQ(ReadText(Settings()), "[Applications]\n"
                                  "; the documents\n"
                                  "FixtureDocs=0,Проверочные документы\n"
                                  "Nowhere=1\n"
                                  "FixtureSecond=1,Второй модуль, с запятой\n" +
                                      Tail);
}

TEST_F(SettingsTest, ASettingsFileThatCannotBeReadIsNamedOnceAndTheProgramStarts) {
  const std::string Defaults = " Программа запущена с настройками по умолчанию.";
  auto Check = [&](const std::string& Reason, mode_t Type) {
    Errors.clear();
    Start();
    ASSERT_EQ(Errors.size(), 1u) << Reason;
    EXPECT_EQ(Errors[0],
              "Не удалось прочитать файл \"" + Settings() + "\": " + Reason + "." + Defaults);
    EXPECT_FALSE(Shell->GetStartFailed());
    EXPECT_EQ(Shell->GetModuleDir(), Home);
    EXPECT_EQ(Shell->GetAppCount(), 0);
    ASSERT_NE(Shell->GetTempFiles(), nullptr);
    Shell->close();
    Stop();
    EXPECT_EQ(Errors.size(), 1u);
    struct stat St;
    ASSERT_EQ(lstat(Settings().c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & S_IFMT, Type) << "left as it was";
    EXPECT_EQ(remove(Settings().c_str()), 0);
  };
  // A pipe no writer opens would hang a reader that waits.
  ASSERT_EQ(mkfifo(Settings().c_str(), 0600), 0);
  Check("это не обычный файл", S_IFIFO);
  // A device without end would be read until memory runs out.
  ASSERT_EQ(symlink("/dev/zero", Settings().c_str()), 0);
  Check("это не обычный файл", S_IFLNK);
  ASSERT_EQ(mkdir(Settings().c_str(), 0700), 0);
  Check(SysErrorMessage(EISDIR), S_IFDIR);
  WriteText(Settings(), std::string(2 << 20, ';'));
  Check("файл больше 1048576 байт", S_IFREG);
  if (geteuid() == 0)
    return; // the superuser reads every file
  WriteSettings("FixtureDocs=1\n");
  chmod(Settings().c_str(), 0200);
  Check(SysErrorMessage(EACCES), S_IFREG);
}

TEST_F(SettingsTest, ClosingTheMainWindowDuringTheStartEndsIt) {
  // Applications start from the last entry to the first: two that fail,
  // then one that would open its module.
  WriteSettings("FixtureDocs=1,Проверочные документы\nNowhere=1,Нет\nGone=1,Нет\n");
  SetErrorHandler([this](const std::string& Message) {
    Errors.push_back(Message);
    // As a close request (the session ends) arrives while the first
    // message is shown.
    if (Errors.size() == 1)
      Shell->close();
  });
  Start();
  EXPECT_TRUE(Shell->GetCloseRequested());
  EXPECT_EQ(Errors.size(), 1u) << "no further message after the close";
  EXPECT_EQ(Shell->GetAppModuleCount(), 0) << "no module started after the close";
  EXPECT_EQ(Shell->GetEditorCount(), 0);
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

// An installed layout under the home folder: the program in bin, its
// defaults in share/deskbay, the user's settings under config.
class InstalledProgramTest : public SettingsTest {
protected:
  InstalledProgramTest() {
    for (const std::string& D : {Bin, Home + "/share", Share})
      mkdir(D.c_str(), 0755);
    setenv("XDG_CONFIG_HOME", Config.c_str(), 1);
  }
  ~InstalledProgramTest() override { unsetenv("XDG_CONFIG_HOME"); }
  const std::string Bin = Home + "/bin", Share = Home + "/share/deskbay", Config = Home + "/config",
                    Own = Config + "/deskbay/Deskbay.ini";
};

TEST_F(InstalledProgramTest, SettingsAreTheUsersOwnCopyOfTheDefaultsNeverBesideTheProgram) {
  EXPECT_TRUE(IsInstalledProgram(Bin));
  EXPECT_FALSE(IsInstalledProgram(Home));
  WriteText(Share + "/Deskbay.ini", "[General]\nModuleDir=../lib/deskbay\n");
  // Whoever runs it (the superuser may write the program's folder).
  EXPECT_EQ(ChooseSettingsFile(Bin, "Deskbay"), Own);
  EXPECT_EQ(ReadText(Own), "[General]\nModuleDir=../lib/deskbay\n");
  EXPECT_EQ(ChooseTempBase(Bin), getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
  struct stat St;
  EXPECT_NE(stat((Bin + "/Deskbay.ini").c_str(), &St), 0);
  // Once there, the copy is the user's: the defaults do not overwrite it.
  WriteText(Own, "[General]\n");
  EXPECT_EQ(ChooseSettingsFile(Bin, "Deskbay"), Own);
  EXPECT_EQ(ReadText(Own), "[General]\n");
  // A program in a folder of its own keeps them beside itself.
  EXPECT_EQ(ChooseSettingsFile(Home, "Deskbay"), Home + "/Deskbay.ini");
}

TEST_F(InstalledProgramTest, ADefaultThatCannotBeReadIsNamedAndNeverCopied) {
  mkdir((Share + "/Deskbay.ini").c_str(), 0755);
  const std::string Default = Bin + "/../share/deskbay/Deskbay.ini";
  EXPECT_EQ(ChooseSettingsFile(Bin, "Deskbay"), Default);
  Shell = std::make_unique<TMainForm>(TShellStart{Bin, "Deskbay", ""});
  Shell->FirstShow();
  EXPECT_FALSE(Shell->GetStartFailed());
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Не удалось прочитать файл \"" + Default + "\": " + SysErrorMessage(EISDIR) +
                           ". Программа запущена с настройками по умолчанию.");
  Stop();
  struct stat St;
  EXPECT_NE(stat(Own.c_str(), &St), 0) << "no empty copy to be used from then on";
  EXPECT_NE(stat((Bin + "/Deskbay.ini").c_str(), &St), 0);

  // Readable again: the next start makes the copy.
  rmdir((Share + "/Deskbay.ini").c_str());
  WriteText(Share + "/Deskbay.ini", "[General]\n");
  EXPECT_EQ(ChooseSettingsFile(Bin, "Deskbay"), Own);
  EXPECT_EQ(ReadText(Own), "[General]\n");
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
