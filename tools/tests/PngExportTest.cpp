#include "tools/PngExport.h"

#include "AlgtoolProcess.h"

#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace Deskbay;
using namespace Deskbay::Testing;
namespace fs = std::filesystem;

namespace {

struct TDecoded {
  int Width = 0, Height = 0;
  std::vector<unsigned char> Rgba;
  const unsigned char* At(int X, int Y) const { return &Rgba[(size_t(Y) * Width + X) * 4]; }
};

TDecoded ReadPng(const fs::path& File, png_uint_32* Format = nullptr) {
  png_image Image;
  std::memset(&Image, 0, sizeof Image);
  Image.version = PNG_IMAGE_VERSION;
  TDecoded D;
  if (!png_image_begin_read_from_file(&Image, File.c_str()))
    return D;
  if (Format)
    *Format = Image.format;
  Image.format = PNG_FORMAT_RGBA;
  D.Rgba.resize(PNG_IMAGE_SIZE(Image));
  if (png_image_finish_read(&Image, nullptr, D.Rgba.data(), 0, nullptr)) {
    D.Width = int(Image.width);
    D.Height = int(Image.height);
  }
  png_image_free(&Image);
  return D;
}

} // namespace

TEST(PngExport, PixelsAndTransparencyRoundTrip) {
  TTempDir Temp;
  const fs::path Dir = Temp.Path("");
  TBitmap B(7, 5, RGBColor(254, 254, 254));
  B.SetPixel(0, 0, RGBColor(255, 0, 0));
  B.SetPixel(6, 4, RGBColor(0, 128, 0));
  B.SetPixel(3, 2, RGBColor(51, 204, 204));
  B.SetTransparent(true);
  B.SetTransparentColor(RGBColor(254, 254, 254));
  const fs::path File = Dir / "picture.png";
  SaveBitmapToPng(B, File.string());

  png_uint_32 Format = 0;
  const TDecoded D = ReadPng(File, &Format);
  ASSERT_EQ(D.Width, 7);
  ASSERT_EQ(D.Height, 5);
  EXPECT_TRUE(Format & PNG_FORMAT_FLAG_ALPHA);
  for (int Y = 0; Y < 5; ++Y)
    for (int X = 0; X < 7; ++X) {
      const TColor C = B.GetPixel(X, Y);
      const unsigned char* P = D.At(X, Y);
      EXPECT_EQ(P[0], GetRValue(C));
      EXPECT_EQ(P[1], GetGValue(C));
      EXPECT_EQ(P[2], GetBValue(C));
      EXPECT_EQ(P[3], C == B.GetTransparentColor() ? 0 : 255) << X << "," << Y;
    }

  // An opaque bitmap is written without alpha, replacing the old file.
  B.SetTransparent(false);
  SaveBitmapToPng(B, File.string());
  const TDecoded Opaque = ReadPng(File, &Format);
  ASSERT_EQ(Opaque.Width, 7);
  EXPECT_FALSE(Format & PNG_FORMAT_FLAG_ALPHA);
  EXPECT_EQ(Opaque.At(1, 1)[3], 255);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1)
      << "no temporary file stays behind";
}

TEST(PngExport, FailuresLeaveNoFileBehind) {
  TTempDir Temp;
  const fs::path Dir = Temp.Path("");
  TBitmap B(2, 2);
  const std::string Missing = (Dir / "no-such-dir" / "x.png").string();
  try {
    SaveBitmapToPng(B, Missing);
    FAIL() << "no error";
  } catch (const Exception& E) {
    EXPECT_NE(E.Message().find("\"" + Missing + "\""), std::string::npos) << E.Message();
  }

  // The target is a directory: the rename fails and the temporary goes.
  const fs::path Target = Dir / "taken.png";
  fs::create_directory(Target);
  fs::create_directory(Target / "inside");
  EXPECT_THROW(SaveBitmapToPng(B, Target.string()), Exception);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);

  TBitmap Empty;
  EXPECT_THROW(SaveBitmapToPng(Empty, (Dir / "e.png").string()), Exception);
  EXPECT_FALSE(fs::exists(Dir / "e.png"));
}
