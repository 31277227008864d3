#include "PngExport.h"

#include "Corekit/SysUtils.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

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

  // The temporary file shares the target's directory, so the rename cannot
  // cross file systems.
  std::string TempName = FileName + ".XXXXXX";
  const int Fd = mkstemp(TempName.data());
  if (Fd < 0)
    RaiseWriteError(FileName, std::strerror(errno));
  FILE* File = fdopen(Fd, "wb");
  if (!File) {
    const int Error = errno;
    close(Fd);
    unlink(TempName.c_str());
    RaiseWriteError(FileName, std::strerror(Error));
  }
  png_image Image;
  std::memset(&Image, 0, sizeof Image);
  Image.version = PNG_IMAGE_VERSION;
  Image.width = png_uint_32(W);
  Image.height = png_uint_32(H);
  Image.format = Alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const bool Written = png_image_write_to_stdio(&Image, File, 0, Data.data(), 0, nullptr) != 0;
  std::string Reason = Written ? "" : Image.message;
  png_image_free(&Image);
  // A full disk may show only when the buffers are flushed.
  const bool Flushed = std::fflush(File) == 0 && fsync(fileno(File)) == 0;
  if (Written && !Flushed)
    Reason = std::strerror(errno);
  const bool Closed = std::fclose(File) == 0;
  if (Written && Flushed && !Closed)
    Reason = std::strerror(errno);
  if (!Written || !Flushed || !Closed) {
    unlink(TempName.c_str());
    RaiseWriteError(FileName, Reason);
  }
  // mkstemp makes the file private; a picture gets the mode of any new file
  // (reading the mask means setting it: fine for the single-threaded tool).
  const mode_t Mask = umask(0);
  umask(Mask);
  chmod(TempName.c_str(), 0666 & ~Mask);
  if (std::rename(TempName.c_str(), FileName.c_str()) != 0) {
    const int Error = errno;
    unlink(TempName.c_str());
    RaiseWriteError(FileName, std::strerror(Error));
  }
}

} // namespace Deskbay
