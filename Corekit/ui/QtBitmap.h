#pragma once

#include "CorekitUiExport.h"

#include "Corekit/RasterBitmap.h"

#include <QImage>

namespace Deskbay {

// A copy of Bitmap for the screen: opaque pixels, and on a transparent bitmap
// its transparent colour at alpha 0, so what lies beneath shows through.
COREKITUI_API QImage BitmapToQImage(const TBitmap& Bitmap);

} // namespace Deskbay
