// The launcher's own decisions: which platform Qt is to use, whether there
// is a display at all, and the file names it is given.

#include "Deskbay/Deskbay_Display.h"
#include "Deskbay/Deskbay_Files.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Deskbay;

namespace {

TEST(Launcher, AWaylandSessionRunsThroughXWaylandUnlessTheUserChose) {
  EXPECT_EQ(ChooseQtPlatform(nullptr, "wayland", "wayland-0", ":0"), "xcb");
  EXPECT_EQ(ChooseQtPlatform("", nullptr, "wayland-0", ":0"), "xcb");
  EXPECT_EQ(ChooseQtPlatform("wayland", "wayland", "wayland-0", ":0"), "wayland");
  EXPECT_EQ(ChooseQtPlatform("offscreen", nullptr, nullptr, nullptr), "offscreen");
  // No XWayland: Qt's own choice.
  EXPECT_EQ(ChooseQtPlatform(nullptr, "wayland", "wayland-0", nullptr), "");
  EXPECT_EQ(ChooseQtPlatform(nullptr, "x11", nullptr, ":0"), "");
}

TEST(Launcher, WithoutADisplayOneRussianLineInsteadOfAnAbort) {
  const char* Saved[] = {std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                         std::getenv("QT_QPA_PLATFORM")};
  const std::string Keep[] = {Saved[0] ? Saved[0] : "", Saved[1] ? Saved[1] : "",
                              Saved[2] ? Saved[2] : ""};
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  ::unsetenv("DISPLAY");
  std::string Reason;
  EXPECT_FALSE(PrepareDisplay(Reason));
  EXPECT_EQ(Reason.find("Deskbay: нет экрана"), 0u) << Reason;
  EXPECT_EQ(Reason.find('\n'), std::string::npos);
  // A display that names no server.
  ::setenv("DISPLAY", "/nonexistent/socket:7", 1);
  Reason.clear();
  EXPECT_FALSE(PrepareDisplay(Reason));
  EXPECT_NE(Reason.find("\"/nonexistent/socket:7\""), std::string::npos) << Reason;
  // A platform that needs no display.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EXPECT_TRUE(PrepareDisplay(Reason));
  const char* Names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  for (int I = 0; I < 3; ++I)
    if (Saved[I])
      ::setenv(Names[I], Keep[I].c_str(), 1);
    else
      ::unsetenv(Names[I]);
}

TEST(Launcher, FileNamesAreBytesAndStayAsGiven) {
  // "Алгоритм.alg" in the Windows code page: no UTF-8.
  const std::string Cp1251 = "\xC0\xEB\xE3\xEE\xF0\xE8\xF2\xEC.alg";
  EXPECT_EQ(CommandLineFiles({"Deskbay", Cp1251, "../" + Cp1251}, "/start/\xFF/here"),
            (std::vector<std::string>{"/start/\xFF/here/" + Cp1251, "/start/\xFF/" + Cp1251}));
  EXPECT_EQ(CommandLineFiles({"Deskbay", "//a/./b//../c.alg", "/.."}, "/x"),
            (std::vector<std::string>{"/a/c.alg", "/"}));
}

} // namespace
