#include "QtBitmap.h"

namespace Deskbay {

QImage BitmapToQImage(const TBitmap& Bitmap) {
  const int W = Bitmap.GetWidth(), H = Bitmap.GetHeight();
  QImage Image(W, H, QImage::Format_ARGB32);
  if (Image.isNull())
    return Image;
  const bool Transparent = Bitmap.GetTransparent();
  const TColor Clear = Bitmap.GetTransparentColor();
  for (int Y = 0; Y < H; ++Y) {
    const TColor* Src = Bitmap.GetScanLine(Y);
    auto* Dst = reinterpret_cast<QRgb*>(Image.scanLine(Y));
    for (int X = 0; X < W; ++X) {
      const TColor C = Src[X] & 0xFFFFFF;
      Dst[X] = Transparent && C == Clear ? qRgba(0, 0, 0, 0)
                                         : qRgb(GetRValue(C), GetGValue(C), GetBValue(C));
    }
  }
  return Image;
}

} // namespace Deskbay
