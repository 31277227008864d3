// "algtool --version" and "--help": what they print and that they succeed.

#include "AlgtoolProcess.h"

#include "Corekit/VersionInfo.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

TEST(AlgtoolVersionTest, VersionIsTheOneTheModulesCarry) {
  const std::string Version = TVersionInfo(MODULE_PATH).GetVersionString();
  ASSERT_NE(Version, "0.0.0.0");
  const auto R = RunProcess(ALGTOOL_PATH, {"--version"});
  EXPECT_EQ(R.ExitStatus, 0);
  EXPECT_EQ(R.Out, "algtool " + Version + "\n");
  EXPECT_EQ(R.Err, "");
}

TEST(AlgtoolVersionTest, HelpListsEveryCommandAndSucceeds) {
  const auto R = RunProcess(ALGTOOL_PATH, {"--help"});
  EXPECT_EQ(R.ExitStatus, 0);
  EXPECT_EQ(R.Err, "");
  for (const char* Command : {"run", "check", "show", "new", "resave", "render", "--version"})
    EXPECT_NE(R.Out.find(std::string("algtool ") + Command), std::string::npos) << Command;
  // Without a command the same text is a mistake: on standard error, status 2.
  const auto Wrong = RunProcess(ALGTOOL_PATH, {});
  EXPECT_EQ(Wrong.ExitStatus, 2);
  EXPECT_EQ(Wrong.Out, "");
}
