#pragma once

#include "CorekitUiExport.h"

#include <QFont>

namespace Deskbay {

// The interface font of every window: the desktop's font at the size the
// desktop chose (the platform's general font; Qt's fallback where the
// desktop says none).
COREKITUI_API QFont DefaultUiFont();
// The fixed-pitch font, for texts whose columns must line up, a little
// larger than the interface font, as monospace faces run small.
COREKITUI_API QFont FixedUiFont();
// How much larger than the usual 12 pixels (9 points at 96 dots an inch)
// the desktop's font is, never below 1: what fixed sizes of panels and
// captions grow by.
COREKITUI_API double UiFontScale();

} // namespace Deskbay
