#pragma once

// Writing bitmaps as PNG files.

#include "Corekit/RasterBitmap.h"

#include <string>

namespace Deskbay {

// Writes Bitmap to FileName: 8-bit RGB, or RGBA when the bitmap is
// transparent, its transparent colour then having alpha 0. The file is
// written beside the target under a temporary name and renamed into place,
// so a failure leaves an existing file as it was and no partial file behind.
// A picture libpng cannot encode raises "Не удалось записать файл
// "FileName".\r\n<reason>"; a file that cannot be written, the errors of
// SaveFileAtomically.
void SaveBitmapToPng(const TBitmap& Bitmap, const std::string& FileName);

} // namespace Deskbay
