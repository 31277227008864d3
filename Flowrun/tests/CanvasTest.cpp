#include "Flowrun/Flowrun_Canvas.h"
#include "MachineTestUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

constexpr TColor Bg = TAlgCanvas::BackgroundColor;

TColor Pal(int I) {
  return TAlgCanvas::Palette[size_t(I)];
}

struct TCanvasRun {
  TAlgMachine Machine;
  TAlgCanvas& Canvas = Machine.GetCanvas();
  TColor At(int X, int Y) const { return Canvas.GetPicture().GetPixel(X, Y); }
  bool Exec(const std::string& Line) { return Canvas.ExecLine(Line); }
  std::string ErrorOf(const std::string& Line) {
    try {
      Exec(Line);
    } catch (const Exception& E) {
      return E.Message();
    }
    return "";
  }
  bool Blank() const {
    TBitmap Fresh(181, 181, Bg);
    return Canvas.GetPicture().SamePixels(Fresh);
  }
};

std::string Syntax(const std::string& Line) {
  return "Синтаксическая ошибка в строке \"" + Line + "\".";
}

std::string Range(const std::string& Value) {
  return "Значение " + Value + " выходит за допустимый диапазон.";
}

} // namespace

TEST(AlgCanvas, PictureAndGeometry) {
  TCanvasRun R;
  const TBitmap& P = R.Canvas.GetPicture();
  EXPECT_EQ(P.GetWidth(), 181);
  EXPECT_EQ(P.GetHeight(), 181);
  EXPECT_TRUE(R.Blank());
  EXPECT_TRUE(P.GetTransparent());
  EXPECT_EQ(P.GetTransparentColor(), RGBColor(254, 254, 254));
  EXPECT_EQ(TAlgCanvas::GetCanvasWidth(), 20);
  EXPECT_EQ(TAlgCanvas::GetCanvasHeight(), 20);
  EXPECT_EQ(TAlgCanvas::GetCanvasScale(), 9);
  EXPECT_EQ(TAlgCanvas::LogToPhys({0, 0}), (TPoint{0, 180}));
  EXPECT_EQ(TAlgCanvas::LogToPhys({20, 20}), (TPoint{180, 0}));
  EXPECT_EQ(Pal(3), RGBColor(51, 204, 204));
  EXPECT_EQ(Pal(15), RGBColor(255, 255, 255));
}

TEST(AlgCanvas, PointsInAnyCaseAndSpacing) {
  TCanvasRun R;
  const uint64_t Version = R.Canvas.GetVersion();
  EXPECT_TRUE(R.Exec("тчк(1,2),3"));
  EXPECT_EQ(R.At(9, 162), Pal(3));
  EXPECT_GT(R.Canvas.GetVersion(), Version) << "a command changes the canvas";
  EXPECT_TRUE(R.Exec("ТЧК (1, 2), 4"));
  EXPECT_EQ(R.At(9, 162), Pal(4));
  EXPECT_TRUE(R.Exec("\tТчК(2,\t2),5"));
  EXPECT_EQ(R.At(18, 162), Pal(5));

  // Every value is an expression; integers round halves to the even side.
  R.Machine.GetStorage().SetVars("A", 2);
  EXPECT_TRUE(R.Exec("тчк(a*5, A+0.5), A*3"));
  EXPECT_EQ(R.At(90, 162), Pal(6));
  EXPECT_TRUE(R.Exec("тчк(11 MOD 10, 2), 7 MOD 4"));
  EXPECT_EQ(R.At(9, 162), Pal(3));
  EXPECT_TRUE(R.Exec("тчк(3.5,20),1"));
  EXPECT_EQ(R.At(36, 0), Pal(1));
  // Off the picture, yet within the pixel range: nothing to see, no error.
  EXPECT_TRUE(R.Exec("тчк(-5,0),1"));

  for (const char* NotMine : {"тч", "", "  ", "A=1", "abc(1,2),3", "точка(1,2),3", "тчx(1,2),3"})
    EXPECT_FALSE(R.Exec(NotMine)) << NotMine;
}

TEST(AlgCanvas, BadArgumentsRaiseAndDrawNothing) {
  TCanvasRun R;
  const struct {
    std::string Line, Message;
  } Cases[] = {
      {"тчк(1,2)", Syntax("тчк(1,2)")},
      {"тчк", Syntax("тчк")},
      {"тчк 1,2,3", Syntax("тчк 1,2,3")},
      {"тчк(1,2", Syntax("тчк(1,2")},
      {"тчк(1,2);3", Syntax("тчк(1,2);3")},
      {"тчк(1,2),16", Range("16")},
      {"тчк(1,2),-1", Range("-1")},
      {"тчк(300,0),1", Range("2700")},
      {"тчк(0,-300),1", Range("2880")},
      // The pixel of a huge logical value is checked as it is, not wrapped.
      {"тчк(238609295,0),1", Range("2147483655")},
      {"тчк(1e10,0),1", "Ошибка округления числа 1e+10."},
      {"отр(0,0),(1,1),2", Syntax("отр(0,0),(1,1),2")},
      {"отр(0,0)-(1,1)", Syntax("отр(0,0)-(1,1)")},
      {"крг(10,10),0,1,2", Range("0")},
      {"крг(10,10),128,1,2", Range("128")},
      {"крг(10,10),2,1", Syntax("крг(10,10),2,1")},
      {"крг(10,10),2,3,99", Range("99")},
      {"мну(0,0),1,2", Syntax("мну(0,0),1,2")},
      {"мну(0,0)-(1,1)1,2", Syntax("мну(0,0)-(1,1)1,2")},
      {"мну(0,0)-(1,1)-", Syntax("мну(0,0)-(1,1)-")},
      {"дуг(0,0)-(1,1),2", Syntax("дуг(0,0)-(1,1),2")},
      {"зкр(0,0)", Syntax("зкр(0,0)")},
      {"зкр(0,0),16", Range("16")},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(R.ErrorOf(C.Line), C.Message) << C.Line;
  EXPECT_TRUE(R.Blank());
  // The outline colour was set before the fill colour failed.
  EXPECT_EQ(R.Canvas.GetCanvas().GetPen().Color, Pal(3));
  // An expression that cannot be evaluated reports the storage's error.
  EXPECT_NE(R.ErrorOf("тчк(Q,0),1").find("Q"), std::string::npos);
}

TEST(AlgCanvas, SegmentsCirclesAndPolygons) {
  TCanvasRun R;
  EXPECT_TRUE(R.Exec("отр(0,0)-(2,0),4"));
  for (int X = 0; X <= 18; ++X)
    EXPECT_EQ(R.At(X, 180), Pal(4)) << X;
  EXPECT_EQ(R.At(19, 180), Bg) << "both ends included, nothing beyond";

  EXPECT_TRUE(R.Exec("крг(10,10),2,1,2"));
  for (TPoint P : {TPoint{72, 90}, {108, 90}, {90, 72}, {90, 108}})
    EXPECT_EQ(R.At(P.X, P.Y), Pal(1)) << P.X << "," << P.Y;
  for (TPoint P : {TPoint{71, 90}, {109, 90}, {90, 71}, {90, 109}})
    EXPECT_EQ(R.At(P.X, P.Y), Bg) << P.X << "," << P.Y;
  EXPECT_EQ(R.At(90, 90), Pal(2));
  EXPECT_EQ(R.At(90 + 12, 90 + 12), Pal(2));

  TCanvasRun T;
  EXPECT_TRUE(T.Exec("мну(0,0)-(20,0)-(10,20),4,14"));
  for (TPoint P : {TPoint{0, 180}, {180, 180}, {90, 0}, {90, 180}, {45, 90}, {135, 90}})
    EXPECT_EQ(T.At(P.X, P.Y), Pal(4)) << P.X << "," << P.Y;
  for (TPoint P : {TPoint{90, 120}, {90, 10}, {10, 178}, {170, 178}, {46, 90}, {134, 90}})
    EXPECT_EQ(T.At(P.X, P.Y), Pal(14)) << P.X << "," << P.Y;
  for (TPoint P : {TPoint{44, 90}, {136, 90}, {10, 10}, {170, 10}})
    EXPECT_EQ(T.At(P.X, P.Y), Bg) << P.X << "," << P.Y;
}

TEST(AlgCanvas, FloodFillStopsAtAnOutline) {
  TCanvasRun R;
  R.Exec("крг(10,10),2,1,15");
  EXPECT_TRUE(R.Exec("зкр(10,10),4"));
  EXPECT_EQ(R.At(90, 90), Pal(4));
  EXPECT_EQ(R.At(90, 73), Pal(4));
  EXPECT_EQ(R.At(90, 72), Pal(1));
  EXPECT_EQ(R.At(0, 0), Bg);
  EXPECT_TRUE(R.Exec("зкр(0,0),14"));
  EXPECT_EQ(R.At(0, 180), Pal(14));
  EXPECT_EQ(R.At(180, 0), Pal(14));
  EXPECT_EQ(R.At(90, 90), Pal(4)) << "the inside is another area";
  EXPECT_TRUE(R.Exec("зкр(100,100),3")) << "off the picture: nothing to fill";
}

TEST(AlgCanvas, ArcsPassThroughTheirMiddlePoint) {
  // Over the top from left to right (clockwise) and back (counter-clockwise):
  // the same upper half circle either way.
  for (const char* Line : {"дуг(0,10)-(10,20)-(20,10),1", "дуг(20,10)-(10,20)-(0,10),1"}) {
    TCanvasRun R;
    EXPECT_TRUE(R.Exec(Line));
    EXPECT_EQ(R.At(90, 0), Pal(1)) << Line;
    EXPECT_EQ(R.At(0, 90), Pal(1)) << Line;
    EXPECT_EQ(R.At(180, 90), Pal(1)) << Line;
    EXPECT_EQ(R.At(90, 180), Bg) << Line;
    EXPECT_EQ(R.At(90, 90), Bg) << Line;
  }

  // An uneven arc: the rounded circle passes within a pixel of every point,
  // and its far side stays empty.
  TCanvasRun U;
  EXPECT_TRUE(U.Exec("дуг(2,3)-(7,15)-(16,5),12"));
  auto Near = [&](TPoint P) {
    for (int DY = -1; DY <= 1; ++DY)
      for (int DX = -1; DX <= 1; ++DX)
        if (U.At(P.X + DX, P.Y + DY) == Pal(12))
          return true;
    return false;
  };
  for (TPoint L : {TPoint{2, 3}, {7, 15}, {16, 5}})
    EXPECT_TRUE(Near(TAlgCanvas::LogToPhys(L))) << L.X << "," << L.Y;
  int Below = 0;
  for (int X = 0; X < 181; ++X)
    for (int Y = 170; Y < 181; ++Y)
      Below += U.At(X, Y) == Pal(12);
  EXPECT_EQ(Below, 0) << "the arc does not close under its chord";

  TCanvasRun Line;
  EXPECT_TRUE(Line.Exec("дуг(0,0)-(1,1)-(2,2),1"));
  EXPECT_TRUE(Line.Blank()) << "collinear points: no circle, no error";
}

TEST(AlgCanvas, MachineDrawsAndStopsOnDrawingErrors) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  Add(Body, TBasicAlgBlock::Class, {"A=5", "тчк(A,A),4", "B=A+1"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_EQ(R.Machine.GetState(), amsDone);
  EXPECT_EQ(R.Machine.GetCanvas().GetPicture().GetPixel(45, 135), Pal(4));
  EXPECT_EQ(R.Var("B"), 6);

  TAlgorithm Bad;
  Add(Bad.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"A=1"});
  TAlgBlock* Failing = Add(Bad.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"крг(10,10),0,1,2"});
  TRun E(Bad);
  EXPECT_EQ(E.RunToEnd(), Range("0"));
  EXPECT_EQ(E.Machine.GetState(), amsError);
  EXPECT_EQ(E.Machine.GetCurrentBlock(), Failing);

  TAlgorithm Unknown;
  Add(Unknown.GetRoot()->GetBody(), TBasicAlgBlock::Class, {"тч(1,1),1"});
  TRun N(Unknown);
  EXPECT_EQ(N.RunToEnd(), Syntax("тч(1,1),1")) << "neither device takes it";
}
