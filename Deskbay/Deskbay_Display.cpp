#include "Deskbay_Display.h"

#include "Corekit/SysUtils.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace Deskbay {

namespace {

bool Set(const char* Value) {
  return Value && *Value;
}

} // namespace

std::string ChooseQtPlatform(const char* Chosen, const char* SessionType,
                             const char* WaylandDisplay, const char* X11Display) {
  if (Set(Chosen))
    return Chosen;
  const bool Wayland =
      Set(WaylandDisplay) || (Set(SessionType) && std::string_view(SessionType) == "wayland");
  return Wayland && Set(X11Display) ? "xcb" : "";
}

bool PrepareDisplay(std::string& Reason) {
  const std::string Platform =
      ChooseQtPlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("XDG_SESSION_TYPE"),
                       std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
  if (!Platform.empty())
    ::setenv("QT_QPA_PLATFORM", Platform.c_str(), 1);
  const std::string_view Name = std::string_view(Platform).substr(0, Platform.find(':'));
  const char* Display = std::getenv("DISPLAY");
  bool Reachable = true;
  if (Name == "xcb" || (Name.empty() && !Set(std::getenv("WAYLAND_DISPLAY")))) {
    // The X server itself is asked: a name that leads nowhere aborts Qt
    // just as a missing one does.
    xcb_connection_t* C = Set(Display) ? xcb_connect(nullptr, nullptr) : nullptr;
    Reachable = C && xcb_connection_has_error(C) == 0;
    if (C)
      xcb_disconnect(C);
  } else if (Name == "wayland") {
    Reachable = Set(std::getenv("WAYLAND_DISPLAY"));
  }
  if (Reachable)
    return true;
  Reason = Set(Display) ? "Deskbay: не удалось подключиться к экрану \"" + VisibleText(Display) +
                              "\"; без экрана алгоритм можно выполнить командой "
                              "\"algtool run ФАЙЛ\"."
                        : "Deskbay: нет экрана для окон программы (переменная DISPLAY не "
                          "задана); без экрана алгоритм можно выполнить командой "
                          "\"algtool run ФАЙЛ\".";
  return false;
}

} // namespace Deskbay
