#include "Canvas.h"

#include <algorithm>

namespace Deskbay {

namespace {

// Bytes that start a UTF-8 character, so widths count characters, not bytes.
bool IsLeadByte(char C) {
  return (static_cast<unsigned char>(C) & 0xC0) != 0x80;
}

class TFixedTextMetrics : public ITextMetrics {
public:
  int TextWidth(const TFont& Font, std::string_view Text) override {
    int Count = 0;
    for (char C : Text)
      if (IsLeadByte(C))
        ++Count;
    return Count * (Font.Height / 2);
  }
  int LineHeight(const TFont& Font) override { return Font.Height; }
};

TFixedTextMetrics DefaultMetrics;
ITextMetrics* CurrentMetrics = &DefaultMetrics;

} // namespace

ITextMetrics& GetTextMetrics() {
  return *CurrentMetrics;
}

ITextMetrics* SetTextMetrics(ITextMetrics* Metrics) {
  ITextMetrics* Old = CurrentMetrics;
  CurrentMetrics = Metrics ? Metrics : &DefaultMetrics;
  return Old == &DefaultMetrics ? nullptr : Old;
}

std::vector<std::string> SplitTextLines(std::string_view Text) {
  std::vector<std::string> Lines;
  std::string Line;
  for (size_t I = 0; I < Text.size(); ++I) {
    char C = Text[I];
    if (C == '\r' || C == '\n') {
      Lines.push_back(std::move(Line));
      Line.clear();
      if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n')
        ++I;
    } else {
      Line += C;
    }
  }
  Lines.push_back(std::move(Line));
  return Lines;
}

TCanvas::~TCanvas() = default;

void TCanvas::LineTo(int X, int Y) {
  DoLine(FPenPos, {X, Y});
  FPenPos = {X, Y};
}

int TCanvas::TextWidth(std::string_view Text) const {
  return GetTextMetrics().TextWidth(FFont, Text);
}

int TCanvas::TextHeight(std::string_view) const {
  return GetTextMetrics().LineHeight(FFont);
}

TRect TCanvas::CalcTextRect(TRect Rect, std::string_view Text) const {
  int Width = 0;
  auto Lines = SplitTextLines(Text);
  for (const auto& Line : Lines)
    Width = std::max(Width, TextWidth(Line));
  Rect.Right = std::max(Rect.Right, Rect.Left + Width);
  Rect.Bottom = Rect.Top + static_cast<int>(Lines.size()) * TextHeight("A");
  return Rect;
}

void TCanvas::DrawTextCentred(const TRect& Rect, std::string_view Text) {
  int Y = Rect.Top;
  int Height = TextHeight("A");
  for (const auto& Line : SplitTextLines(Text)) {
    int X = Rect.Left + (Rect.Width() - TextWidth(Line)) / 2;
    DoClippedTextOut({X, Y}, Rect, Line);
    Y += Height;
  }
}

void TCanvas::DrawTextEllipsis(const TRect& Rect, std::string_view Text) {
  auto Lines = SplitTextLines(Text);
  std::string Line = Lines.front();
  if (TextWidth(Line) > Rect.Width()) {
    // Drop whole characters from the end until the cut text and the
    // ellipsis fit together.
    while (!Line.empty() && TextWidth(Line + "...") > Rect.Width()) {
      size_t Cut = Line.size() - 1;
      while (Cut > 0 && !IsLeadByte(Line[Cut]))
        --Cut;
      Line.erase(Cut);
    }
    Line += "...";
  }
  int X = Rect.Left + (Rect.Width() - TextWidth(Line)) / 2;
  int Y = Rect.Top + (Rect.Height() - TextHeight(Line)) / 2;
  DoClippedTextOut({X, Y}, Rect, Line);
}

void TCanvas::DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text) {
  if (P.Y < Clip.Top || P.Y + TextHeight(Text) > Clip.Bottom)
    return;
  // Skip the characters left of the clip, then keep those that end inside it.
  size_t Begin = 0;
  while (Begin < Text.size() && P.X < Clip.Left) {
    size_t Next = Begin + 1;
    while (Next < Text.size() && !IsLeadByte(Text[Next]))
      ++Next;
    P.X += TextWidth(Text.substr(Begin, Next - Begin));
    Begin = Next;
  }
  size_t End = Begin;
  int Right = P.X;
  while (End < Text.size()) {
    size_t Next = End + 1;
    while (Next < Text.size() && !IsLeadByte(Text[Next]))
      ++Next;
    int W = TextWidth(Text.substr(End, Next - End));
    if (Right + W > Clip.Right)
      break;
    Right += W;
    End = Next;
  }
  if (End > Begin)
    DoTextOut(P, Text.substr(Begin, End - Begin));
}

} // namespace Deskbay
