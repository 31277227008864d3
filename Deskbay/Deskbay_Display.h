#pragma once

// The display the program's windows go to, settled before the application
// object exists: Qt ends the process with an abort when it finds none.

#include <string>

namespace Deskbay {

// The platform Qt is to use, from QT_QPA_PLATFORM and the session: in a
// Wayland session with XWayland at hand the program runs through XWayland
// ("xcb"), where it can place its windows and keep the strip a panel,
// unless the user chose a platform. "" leaves the choice to Qt.
std::string ChooseQtPlatform(const char* Chosen, const char* SessionType,
                             const char* WaylandDisplay, const char* X11Display);

// Chooses the platform (ChooseQtPlatform) and checks that its display can
// be reached. False when it cannot; Reason is then the one line to print.
bool PrepareDisplay(std::string& Reason);

} // namespace Deskbay
