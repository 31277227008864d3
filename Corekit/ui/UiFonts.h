#pragma once

#include "CorekitUiExport.h"

#include <QFont>

namespace Deskbay {

// The interface font of every window: the desktop's sans serif at 11 pixels.
COREKITUI_API QFont DefaultUiFont();
// The fixed-pitch font, for texts whose columns must line up.
COREKITUI_API QFont FixedUiFont();

} // namespace Deskbay
