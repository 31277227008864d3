#include "PngExport.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace Deskbay {

namespace {

[[noreturn]] void RaiseWriteError(const std::string& FileName, const std::string& Reason) {
  throw Exception(
      Format("Не удалось записать файл \"%s\".\r\n%s", FileName.c_str(), Reason.c_str()));
}

} // namespace

void SaveBitmapToPng(const TBitmap& Bitmap, const std::string& FileName) {
  const int W = Bitmap.GetWidth(), H = Bitmap.GetHeight();
  if (W == 0 || H == 0)
    RaiseWriteError(FileName, "The bitmap is empty.");
  const bool Alpha = Bitmap.GetTransparent();
  const size_t Channels = Alpha ? 4 : 3;
  std::vector<unsigned char> Data(size_t(W) * size_t(H) * Channels);
  unsigned char* Out = Data.data();
  for (int Y = 0; Y < H; ++Y) {
    const TColor* Row = Bitmap.GetScanLine(Y);
    for (int X = 0; X < W; ++X) {
      *Out++ = GetRValue(Row[X]);
      *Out++ = GetGValue(Row[X]);
      *Out++ = GetBValue(Row[X]);
      if (Alpha)
        *Out++ = Row[X] == Bitmap.GetTransparentColor() ? 0 : 255;
    }
  }

  png_image Image;
  std::memset(&Image, 0, sizeof Image);
  Image.version = PNG_IMAGE_VERSION;
  Image.width = png_uint_32(W);
  Image.height = png_uint_32(H);
  Image.format = Alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  // Encoded in memory first: the file is then written in one go, so a
  // failed save never leaves a broken picture behind.
  png_alloc_size_t Size = 0;
  bool Encoded = png_image_write_get_memory_size(Image, Size, 0, Data.data(), 0, nullptr) != 0;
  std::vector<unsigned char> Png(Encoded ? Size : 0);
  if (Encoded)
    Encoded = png_image_write_to_memory(&Image, Png.data(), &Size, 0, Data.data(), 0, nullptr) != 0;
  const std::string Reason = Encoded ? "" : Image.message;
  png_image_free(&Image);
  if (!Encoded)
    RaiseWriteError(FileName, Reason);
  SaveFileAtomically(FileName, [&](TStream& File) { File.WriteBuffer(Png.data(), int64_t(Size)); });
}

} // namespace Deskbay
