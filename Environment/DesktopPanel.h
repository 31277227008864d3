#pragma once

// The shell's strip as a panel of the desktop. On X11 it is a dock window
// that reserves its rows at the top of the screen through the extended
// window manager hints (_NET_WM_STRUT and _NET_WM_STRUT_PARTIAL), so the
// window manager keeps other windows, maximised ones too, below it. Other
// platforms have no such hint; there the shell places its windows itself.

#include "EnvironmentExport.h"

#include <QRect>

#include <array>
#include <cstdint>

class QWidget;

namespace Deskbay {

// The twelve values of _NET_WM_STRUT_PARTIAL that reserve the rows from the
// screen's top down to the bottom of Strip (both in the X screen's device
// pixels), over the strip's width: left, right, top, bottom, then the start
// and end of each edge's stretch. The first four are _NET_WM_STRUT.
ENVIRONMENT_API std::array<uint32_t, 12> TopStrut(const QRect& Strip, const QRect& Screen);

// Makes the window's native window and marks it as a dock, before it is
// first shown; nothing on other platforms.
ENVIRONMENT_API void MakeDesktopPanel(QWidget* Strip);

// Reserves the rows the strip covers now (again after it moved). False
// where windows cannot reserve space (not X11, no native window yet).
ENVIRONMENT_API bool ReserveScreenRows(QWidget* Strip);

} // namespace Deskbay
