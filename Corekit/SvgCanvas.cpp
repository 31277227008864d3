#include "SvgCanvas.h"

#include "SysUtils.h"

#include "VisualUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Deskbay {

namespace {

// Coordinates are whole or half pixels; "%g" writes both without noise.
std::string Num(double Value) {
  char Buffer[32];
  std::snprintf(Buffer, sizeof Buffer, "%g", Value);
  return Buffer;
}

std::string Attr(const char* Name, double Value) {
  return std::string(" ") + Name + "=\"" + Num(Value) + "\"";
}

// Where the ray from C towards Q leaves the ellipse with radii RX, RY.
void RayPoint(double CX, double CY, double RX, double RY, TPoint Q, double& X, double& Y) {
  double DX = Q.X - CX, DY = Q.Y - CY;
  if (DX == 0 && DY == 0)
    DX = 1;
  double T = 1.0 / std::sqrt((DX / RX) * (DX / RX) + (DY / RY) * (DY / RY));
  X = CX + T * DX;
  Y = CY + T * DY;
}

} // namespace

std::string SvgColor(TColor Color) {
  char Buffer[8];
  std::snprintf(Buffer, sizeof Buffer, "#%02X%02X%02X", GetRValue(Color), GetGValue(Color),
                GetBValue(Color));
  return Buffer;
}

std::string EscapeXml(std::string_view Text) {
  std::string Out;
  Out.reserve(Text.size());
  const char* const Replacement = "\xEF\xBF\xBD";
  size_t I = 0;
  while (I < Text.size()) {
    unsigned char C = static_cast<unsigned char>(Text[I]);
    if (C < 0x80) {
      switch (C) {
      case '&':
        Out += "&amp;";
        break;
      case '<':
        Out += "&lt;";
        break;
      case '>':
        Out += "&gt;";
        break;
      case '"':
        Out += "&quot;";
        break;
      case '\'':
        Out += "&apos;";
        break;
      default:
        if (C >= 0x20 || C == '\t' || C == '\n' || C == '\r')
          Out += static_cast<char>(C);
      }
      ++I;
      continue;
    }
    // A well-formed multi-byte sequence is copied; anything else is one
    // replacement character per bad byte.
    char32_t Code;
    const size_t Length = DecodeUtf8(Text, I, Code);
    const bool Valid = Length > 1;
    if (Valid) {
      Out.append(Text.substr(I, Length));
      I += Length;
    } else {
      Out += Replacement;
      ++I;
    }
  }
  return Out;
}

TSvgCanvas::TSvgCanvas(int Width, int Height) : FWidth(Width), FHeight(Height) {}

std::string TSvgCanvas::GetDocument() const {
  std::string W = std::to_string(FWidth), H = std::to_string(FHeight);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         W + "\" height=\"" + H + "\" viewBox=\"0 0 " + W + " " + H + "\">\n" + FBody + "</svg>\n";
}

std::string TSvgCanvas::ShapePaint(bool Filled) const {
  std::string S;
  if (Filled && GetBrush().Style != TBrushStyle::bsClear)
    S += " fill=\"" + SvgColor(GetBrush().Color) + "\"";
  else
    S += " fill=\"none\"";
  if (GetPen().Style != TPenStyle::psClear)
    S += " stroke=\"" + SvgColor(GetPen().Color) + "\" stroke-width=\"1\"";
  return S;
}

void TSvgCanvas::FillBackground(TColor Color) {
  FBody +=
      "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"" + SvgColor(Color) + "\"/>\n";
}

void TSvgCanvas::DoLine(TPoint From, TPoint To) {
  if (GetPen().Mode == TPenMode::pmNop || GetPen().Style == TPenStyle::psClear)
    return;
  FBody += "<line" + Attr("x1", From.X + 0.5) + Attr("y1", From.Y + 0.5) + Attr("x2", To.X + 0.5) +
           Attr("y2", To.Y + 0.5) + " stroke=\"" + SvgColor(GetPen().Color) +
           "\" stroke-width=\"1\"/>\n";
}

void TSvgCanvas::DoRectangle(const TRect& Box) {
  if (GetPen().Mode == TPenMode::pmNop)
    return;
  const TRect N = Box.Normalized();
  const double X1 = N.Left, X2 = N.Right, Y1 = N.Top, Y2 = N.Bottom;
  if (X2 <= X1 || Y2 <= Y1)
    return;
  FBody += "<rect" + Attr("x", X1 + 0.5) + Attr("y", Y1 + 0.5) + Attr("width", X2 - X1 - 1) +
           Attr("height", Y2 - Y1 - 1) + ShapePaint(true) + "/>\n";
}

void TSvgCanvas::DoEllipse(const TRect& Box) {
  if (GetPen().Mode == TPenMode::pmNop)
    return;
  const TRect N = Box.Normalized();
  const double X1 = N.Left, X2 = N.Right, Y1 = N.Top, Y2 = N.Bottom;
  if (X2 <= X1 || Y2 <= Y1)
    return;
  FBody += "<ellipse" + Attr("cx", (X1 + X2) / 2) + Attr("cy", (Y1 + Y2) / 2) +
           Attr("rx", (X2 - X1 - 1) / 2) + Attr("ry", (Y2 - Y1 - 1) / 2) + ShapePaint(true) +
           "/>\n";
}

void TSvgCanvas::DoPolygon(const std::vector<TPoint>& Points) {
  if (GetPen().Mode == TPenMode::pmNop || Points.empty())
    return;
  std::string List;
  for (TPoint P : Points) {
    if (!List.empty())
      List += ' ';
    List += Num(P.X + 0.5) + "," + Num(P.Y + 0.5);
  }
  FBody += "<polygon points=\"" + List + "\" fill-rule=\"nonzero\"" + ShapePaint(true) + "/>\n";
}

void TSvgCanvas::DoArc(const TRect& Box, TPoint Start, TPoint End) {
  if (GetPen().Mode == TPenMode::pmNop || GetPen().Style == TPenStyle::psClear)
    return;
  const TRect N = Box.Normalized();
  const double X1 = N.Left, X2 = N.Right, Y1 = N.Top, Y2 = N.Bottom;
  double CX = (X1 + X2) / 2, CY = (Y1 + Y2) / 2;
  double RX = (X2 - X1 - 1) / 2, RY = (Y2 - Y1 - 1) / 2;
  if (RX <= 0 || RY <= 0)
    return;
  double SX, SY, EX, EY;
  RayPoint(CX, CY, RX, RY, Start, SX, SY);
  RayPoint(CX, CY, RX, RY, End, EX, EY);
  // Counter-clockwise on the screen is the negative sweep of SVG (whose y
  // grows downwards); the angles are measured with y flipped.
  const double Pi = std::acos(-1.0);
  double A1 = std::atan2(-(SY - CY), SX - CX), A2 = std::atan2(-(EY - CY), EX - CX);
  double Sweep = A2 - A1;
  while (Sweep <= 0)
    Sweep += 2 * Pi;
  std::string R = Num(RX) + " " + Num(RY) + " 0 ";
  std::string D = "M " + Num(SX) + " " + Num(SY);
  if (std::abs(Sweep - 2 * Pi) < 1e-9) {
    // Start and end on one ray: the whole ellipse, as two halves.
    D += " A " + R + "1 0 " + Num(2 * CX - SX) + " " + Num(2 * CY - SY);
    D += " A " + R + "1 0 " + Num(SX) + " " + Num(SY);
  } else {
    D += " A " + R + (Sweep > Pi ? "1" : "0") + " 0 " + Num(EX) + " " + Num(EY);
  }
  FBody += "<path d=\"" + D + "\" fill=\"none\" stroke=\"" + SvgColor(GetPen().Color) +
           "\" stroke-width=\"1\"/>\n";
}

void TSvgCanvas::DoSetPixel(TPoint P, TColor Color) {
  FBody += "<rect" + Attr("x", P.X) + Attr("y", P.Y) + " width=\"1\" height=\"1\" fill=\"" +
           SvgColor(Color) + "\"/>\n";
}

void TSvgCanvas::DoFloodFill(TPoint, TColor, TFillStyle) {}

namespace {

// The width of Text in ems in a wide sans-serif font (DejaVu Sans is among
// the widest a viewer falls back to): signs such as = < > + are widest,
// capitals and Cyrillic letters next, digits and small Latin letters less,
// blanks and punctuation least.
double WideSansEms(std::string_view Text) {
  double Ems = 0;
  for (size_t I = 0; I < Text.size(); ++I) {
    const unsigned char C = static_cast<unsigned char>(Text[I]);
    if ((C & 0xC0) == 0x80)
      continue; // a continuation byte of the character counted already
    if (C >= 0x80)
      Ems += 0.75; // Cyrillic and other letters beyond ASCII
    else if (C == ' ' || C == '.' || C == ',' || C == ':' || C == ';' || C == '\'' || C == '|' ||
             C == '!' || C == 'i' || C == 'l' || C == 'j')
      Ems += 0.35;
    else if (std::strchr("=<>+~^#%", C))
      Ems += 0.84;
    else if (C == 'm' || C == 'w' || C == 'M' || C == 'W')
      Ems += 0.98;
    else if (C >= 'A' && C <= 'Z')
      Ems += 0.78;
    else
      Ems += 0.64;
  }
  return std::max(Ems, 0.5);
}

} // namespace

void TSvgCanvas::WriteText(TPoint P, std::string_view Text, const std::string& ClipAttribute) {
  if (Text.empty())
    return;
  const TFont& Font = GetFont();
  const int Height = TextHeight(Text);
  if (GetBrush().Style != TBrushStyle::bsClear)
    FBody += "<rect" + Attr("x", P.X) + Attr("y", P.Y) + Attr("width", TextWidth(Text)) +
             Attr("height", Height) + " fill=\"" + SvgColor(GetBrush().Color) + "\"" +
             ClipAttribute + "/>\n";
  // A font's em is about four fifths of its line height, and the baseline
  // sits about as far down the line. Viewers that ignore textLength draw the
  // text at its font size in whatever font they find for the family, so the
  // size is also cut down to what fits the measured width in a wide sans
  // font; centred on the measured box, what little it still differs by
  // falls to both sides alike.
  const int Width = TextWidth(Text);
  const double Size = std::min(Font.Height * 0.8, Width / WideSansEms(Text));
  FBody += "<text" + Attr("x", P.X + Width / 2.0) + Attr("y", P.Y + Height * 0.8) +
           " font-family=\"" + EscapeXml(Font.Name) + ", DejaVu Sans, Arial, sans-serif\"" +
           Attr("font-size", Size) +
           (Font.Weight != 400 ? Attr("font-weight", Font.Weight) : std::string()) + " fill=\"" +
           SvgColor(Font.Color) + "\" text-anchor=\"middle\"" + Attr("textLength", Width) +
           " lengthAdjust=\"spacingAndGlyphs\" xml:space=\"preserve\"" + ClipAttribute + ">" +
           EscapeXml(Text) + "</text>\n";
}

void TSvgCanvas::DoTextOut(TPoint P, std::string_view Text) {
  WriteText(P, Text, std::string());
}

void TSvgCanvas::DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text) {
  if (Text.empty() || Clip.Width() <= 0 || Clip.Height() <= 0)
    return;
  std::string Id = "clip" + std::to_string(++FClipCount);
  FBody += "<clipPath id=\"" + Id + "\"><rect" + Attr("x", Clip.Left) + Attr("y", Clip.Top) +
           Attr("width", Clip.Width()) + Attr("height", Clip.Height()) + "/></clipPath>\n";
  WriteText(P, Text, " clip-path=\"url(#" + Id + ")\"");
}

std::string CompositeImageToSvg(const TCompositeImage& Image) {
  TPoint Size = Image.GetSize();
  TSvgCanvas Canvas(Size.X, Size.Y);
  Canvas.FillBackground(0xFFFFFF);
  Image.Display(Canvas, {0, 0});
  return Canvas.GetDocument();
}

} // namespace Deskbay
