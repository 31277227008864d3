#pragma once

// A canvas that logs every drawing call with its coordinates and the state
// it was drawn with, so tests can check what a picture replays.

#include "Corekit/Canvas.h"
#include "Corekit/SysUtils.h"

#include <algorithm>
#include <string>
#include <vector>

namespace Deskbay::Testing {

class TLogCanvas : public TCanvas {
public:
  std::vector<std::string> Log;
  bool Has(const std::string& Entry) const {
    return std::find(Log.begin(), Log.end(), Entry) != Log.end();
  }

protected:
  void DoLine(TPoint A, TPoint B) override {
    Log.push_back(Format("line %d,%d-%d,%d%s", A.X, A.Y, B.X, B.Y,
                         GetPen().Mode == TPenMode::pmNop ? " nop" : ""));
  }
  void DoRectangle(const TRect& R) override {
    Log.push_back(
        Format("rect %d,%d,%d,%d %06X", R.Left, R.Top, R.Right, R.Bottom, GetBrush().Color));
  }
  void DoEllipse(const TRect& R) override {
    Log.push_back(Format("ellipse %d,%d,%d,%d", R.Left, R.Top, R.Right, R.Bottom));
  }
  void DoPolygon(const std::vector<TPoint>& Points) override {
    std::string S = "polygon";
    for (TPoint P : Points)
      S += Format(" %d,%d", P.X, P.Y);
    Log.push_back(S);
  }
  void DoArc(const TRect& R, TPoint S, TPoint E) override {
    Log.push_back(Format("arc %d,%d,%d,%d %d,%d %d,%d", R.Left, R.Top, R.Right, R.Bottom, S.X, S.Y,
                         E.X, E.Y));
  }
  void DoSetPixel(TPoint P, TColor C) override {
    Log.push_back(Format("pixel %d,%d %06X", P.X, P.Y, C));
  }
  void DoFloodFill(TPoint P, TColor, TFillStyle) override {
    Log.push_back(Format("fill %d,%d", P.X, P.Y));
  }
  void DoTextOut(TPoint P, std::string_view T) override {
    Log.push_back(Format("text %d,%d %s %06X%s", P.X, P.Y, std::string(T).c_str(), GetFont().Color,
                         GetBrush().Style == TBrushStyle::bsClear ? " clear" : ""));
  }
  void DoClippedTextOut(TPoint P, const TRect& C, std::string_view T) override {
    Log.push_back(Format("clipped %d,%d [%d,%d,%d,%d] %s %06X", P.X, P.Y, C.Left, C.Top, C.Right,
                         C.Bottom, std::string(T).c_str(), GetFont().Color));
  }
};

} // namespace Deskbay::Testing
