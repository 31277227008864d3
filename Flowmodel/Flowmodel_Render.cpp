// Layout and drawing of blocks. Every block draws itself into a composite
// image of its own; sub-blocks go into child images placed so that all
// blocks of a sequence hang on one vertical line. Sizes follow from what was
// drawn. The pass leaves behind what hit-testing and dropping need: regions,
// the branch lines of a branch and the bottoms of a sequence's blocks.

#include "Flowmodel_Main.h"

#include <algorithm>
#include <cstdlib>

namespace Deskbay {

namespace {

// Arrow heads on connectors are smaller than DrawEndTriangle's default.
constexpr int ArrowLength = 7;
constexpr int ArrowHalfWidth = 3;
constexpr TColor ArrowColor = 0x000000;

const TAlgColorScheme& SchemeOf(const TAlgBlock* Block) {
  static const TAlgColorScheme DefaultScheme(nullptr);
  return Block->GetAlgorithm() ? Block->GetAlgorithm()->GetColorScheme() : DefaultScheme;
}

void ArrowHead(TCanvas& Canvas, TPoint A, TPoint B) {
  auto Brush = SaveBrush(Canvas);
  Canvas.GetBrush().Color = ArrowColor;
  DrawEndTriangle(Canvas, A, B, ArrowLength, ArrowHalfWidth);
  RestoreBrush(Canvas, std::move(Brush));
}

void Arrow(TCanvas& Canvas, TPoint A, TPoint B) {
  ArrowHead(Canvas, A, B);
  Canvas.MoveTo(A.X, A.Y);
  Canvas.LineTo(B.X, B.Y);
}

void Line(TCanvas& Canvas, TPoint A, TPoint B) {
  Canvas.MoveTo(A.X, A.Y);
  Canvas.LineTo(B.X, B.Y);
}

void LineDownInclusive(TCanvas& Canvas, TPoint A, int Length) {
  Canvas.MoveTo(A.X, A.Y);
  LineInclusive(Canvas, A.X, A.Y + Length);
}

// A label next to a connector, on whatever lies behind it.
void Label(TCanvas& Canvas, int X, int Y, const char* Text) {
  auto Brush = SaveBrush(Canvas);
  Canvas.GetBrush().Style = TBrushStyle::bsClear;
  Canvas.TextOut(X, Y, Text);
  RestoreBrush(Canvas, std::move(Brush));
}

// The junction where a condition loop's back edge meets the entry line.
void JunctionDot(TCanvas& Canvas) {
  auto Brush = SaveBrush(Canvas);
  Canvas.GetBrush() = {0x000000, TBrushStyle::bsSolid};
  Canvas.Ellipse(48, 2, 53, 7);
  RestoreBrush(Canvas, std::move(Brush));
}

int LineHeight(const TCanvas& Canvas) {
  return Canvas.TextHeight("A");
}

// Of a block's text only the beginning can ever be seen (a box is at most
// 400 x 300 pixels), so layout and drawing look at no more than its first
// MaxShownLines lines and the first MaxShownChars characters of each: far
// more than a box holds, and nothing more however much a file brings (a
// line of megabytes measured and laid out whole would take gigabytes).
constexpr int MaxShownLines = 100;
constexpr size_t MaxShownChars = 500;
// A hint shows a cut text whole up to these.
constexpr int MaxHintLines = 30;
constexpr size_t MaxHintChars = 300;

bool IsLeadByte(char C) {
  return (static_cast<unsigned char>(C) & 0xC0) != 0x80;
}

// Line's first Chars characters, counted as the canvas counts them.
std::string_view Beginning(std::string_view Line, size_t Chars) {
  size_t At = 0;
  for (size_t N = 0; At < Line.size() && N < Chars; ++N) {
    ++At;
    while (At < Line.size() && !IsLeadByte(Line[At]))
      ++At;
  }
  return Line.substr(0, At);
}

// The lines of Text as far as layout looks at them: Text itself when that
// is all of it (the usual case, nothing copied), else their beginning,
// filled into Shown. Whole says whether they are all of Text.
const TStringList& ShownLines(const TStringList& Text, TStringList& Shown, bool& Whole) {
  const int Count = std::min(Text.GetCount(), MaxShownLines);
  bool Short = Count == Text.GetCount();
  for (int I = 0; Short && I < Count; ++I)
    Short = Text.Get(I).size() <= MaxShownChars;
  Whole = true;
  if (Short)
    return Text;
  std::vector<std::string> Lines;
  Whole = Count == Text.GetCount();
  for (int I = 0; I < Count; ++I) {
    const std::string_view Line = Beginning(Text.Get(I), MaxShownChars);
    Whole = Whole && Line.size() == Text.Get(I).size();
    Lines.emplace_back(Line);
  }
  Shown.SetLines(Lines);
  return Shown;
}

// Enough of the beginning of Line for a rectangle Width wide: the whole
// line when it fits, else a beginning wider than Width. Cutting that with
// an ellipsis gives what cutting the whole line gives, and only a few
// characters more than fit are ever measured.
std::string_view LineForWidth(const TCanvas& Canvas, std::string_view Line, int Width) {
  for (size_t Chars = 16;; Chars *= 2) {
    const std::string_view Part = Beginning(Line, std::min(Chars, MaxShownChars));
    if (Part.size() == Line.size() || Chars >= MaxShownChars || Canvas.TextWidth(Part) > Width)
      return Part;
  }
}

// All lines joined with CR LF, without one at the end.
std::string JoinedText(const TStringList& Text) {
  std::string S;
  for (int I = 0; I < Text.GetCount(); ++I) {
    if (I > 0)
      S += "\r\n";
    S += Text.Get(I);
  }
  return S;
}

// Renders Block into a new child image of Image, not yet placed; the child
// image goes again when rendering fails.
TCompositeImage* RenderUnplaced(TAlgBlock* Block, TCompositeImage& Image, int& Anchor) {
  auto Child = std::make_unique<TCompositeImage>(&Image);
  Anchor = Block->Render(*Child);
  return Child.release();
}

// The parts of a rendered sub-image the layout of loops and branches uses.
struct TChildLayout {
  int Anchor;
  TPoint Origin;
  TPoint Size;
};

TChildLayout LayoutOf(const TCompositeImage* Child, int Anchor) {
  return {Anchor, Child->GetOrigin(), Child->GetSize()};
}

void PlaceChild(TCompositeImage* Child, const TChildLayout& L, int X, int Y) {
  Child->SetPosition({L.Origin.X + X - L.Anchor, Y});
}

} // namespace

// --- TAlgRenderLink ---

TAlgRenderLink::~TAlgRenderLink() {
  Detach();
}

void TAlgRenderLink::Detach() {
  if (!FImage)
    return;
  FImage->SetData(nullptr);
  FImage->RemoveDestroyListener(&FImageDestroy);
  FImage = nullptr;
}

void TAlgRenderLink::Attach(TCompositeImage* Image) {
  Detach();
  FImage = Image;
  if (Image) {
    Image->AddDestroyListener(&FImageDestroy);
    Image->SetData(FOwner);
  }
}

void TAlgRenderLink::SetRegion(std::unique_ptr<TRegion> Region) {
  if (Region.get() != FRegion.get())
    FRegion = std::move(Region);
  else
    Region.release(); // the same region handed back: keep it, free nothing
}

void TAlgRenderLink::TImageDestroyAdapter::Notify(TObject* Sender) {
  FOwner->ImageDestroy(Sender);
}

// --- TAlgBlock ---

void TAlgBlock::ImageDestroy(TObject* Sender) {
  TCompositeImage* Image = FRenderLink.GetImage();
  if (Image && Sender == static_cast<TObject*>(Image))
    FRenderLink.Detach();
}

TPoint TAlgBlock::ParentToSelf(TPoint P) const {
  TCompositeImage* Image = FRenderLink.GetImage();
  return Image ? Image->ParentToSelf(P) : P;
}

TPoint TAlgBlock::SelfToParent(TPoint P) const {
  TCompositeImage* Image = FRenderLink.GetImage();
  return Image ? Image->SelfToParent(P) : P;
}

int TAlgBlock::Render(TCompositeImage& Image) {
  FRenderLink.Attach(&Image);
  const TAlgColorScheme& Scheme = SchemeOf(this);
  if (GetSelected())
    Image.GetBrush().Color = Scheme.GetSelectedBlockColor();
  else if (GetSemiSelected())
    Image.GetBrush().Color = Scheme.GetSemiselectedBlockColor();
  else
    Image.GetBrush().Color = Scheme.GetBlockColor();
  Image.GetPen().Color = Scheme.GetPenColor();
  SetupAlgFont(Image);
  int Anchor = 0;
  InternalRender(Image, Anchor);
  if (!Image.GetFinished())
    Image.Finish();
  return Anchor;
}

TCompositeImage* TAlgBlock::RenderChild(TAlgBlock* Block, TCompositeImage& Image, int X, int Y,
                                        int& Anchor) {
  TCompositeImage* Child = RenderUnplaced(Block, Image, Anchor);
  PlaceChild(Child, LayoutOf(Child, Anchor), X, Y);
  return Child;
}

TCompositeImage* TAlgBlock::RenderChild(TAlgBlock* Block, TCompositeImage& Image, int X, int Y) {
  int Anchor = 0;
  return RenderChild(Block, Image, X, Y, Anchor);
}

void TAlgBlock::InternalRender(TCompositeImage&, int&) {}

TAlgBlock* TAlgBlock::GetBlockAt(TPoint& P) {
  const TRegion* Region = GetRegion();
  return !Region || Region->PtInRegion(P) ? this : nullptr;
}

void TAlgBlock::CalcTextRect(const TCanvas& Image, TRect& TextRect, TRect& BoxRect) const {
  TStringList Buffer;
  bool Whole = true;
  const TStringList& Shown = ShownLines(FText, Buffer, Whole);
  TextRect = Image.CalcTextRect({0, 0, GetStringsWidth(Shown, Image), 0}, JoinedText(Shown));
  const int H = std::min(std::max(TextRect.Bottom + 4, 40), 300);
  const int W = std::min(std::max(TextRect.Right + 4, 100), 400);
  BoxRect = {0, 0, W, H};
  TextRect.Right = std::min(TextRect.Right, W - 4);
  TextRect.Bottom = std::min(TextRect.Bottom, H - 4);
  const int DX = (W - TextRect.Right) / 2;
  const int DY = (H - TextRect.Bottom) / 2;
  TextRect = {TextRect.Left + DX, TextRect.Top + DY, TextRect.Right + DX, TextRect.Bottom + DY};
}

void TAlgBlock::WriteTextLine(TCanvas& Image, const TRect& Rect) {
  if (FText.GetCount() == 0) {
    FRenderLink.SetTextCut(false);
    return;
  }
  const std::string& Line = FText.Get(0);
  const std::string_view Part = LineForWidth(Image, Line, Rect.Width());
  auto Font = SaveFont(Image);
  FRenderLink.SetTextCut(FText.GetCount() > 1 || Part.size() < Line.size() ||
                         Image.TextWidth(Part) > Rect.Width());
  Image.DrawTextEllipsis(Rect, Part);
  RestoreFont(Image, std::move(Font));
}

std::string TAlgBlock::GetCutTextHint() const {
  if (!FRenderLink.GetTextCut())
    return "";
  std::string Hint;
  const int Count = std::min(FText.GetCount(), MaxHintLines);
  for (int I = 0; I < Count; ++I) {
    const std::string& Line = FText.Get(I);
    const std::string_view Part = Beginning(Line, MaxHintChars);
    if (I > 0)
      Hint += '\n';
    Hint += Part;
    if (Part.size() < Line.size())
      Hint += "…";
  }
  if (Count < FText.GetCount())
    Hint += "\n…";
  return Hint;
}

// The lines of a statement centred in TextRect, as far as they can be seen;
// remembers whether the box cut them.
void TAlgBlock::WriteStatementText(TCanvas& Image, const TRect& TextRect, const TRect& Box) {
  TStringList Buffer;
  bool Whole = true;
  const TStringList& Shown = ShownLines(FText, Buffer, Whole);
  const int LineH = std::max(LineHeight(Image), 1);
  FRenderLink.SetTextCut(!Whole || GetStringsWidth(Shown, Image) > Box.Width() - 4 ||
                         Shown.GetCount() * LineH > Box.Height() - 4);
  // Lines that start below the text rectangle would be clipped away whole.
  const int Visible = (TextRect.Height() + LineH - 1) / LineH;
  if (Shown.GetCount() <= Visible) {
    Image.DrawTextCentred(TextRect, JoinedText(Shown));
    return;
  }
  TStringList Seen;
  Seen.SetLines({Shown.Lines().begin(), Shown.Lines().begin() + Visible});
  Image.DrawTextCentred(TextRect, JoinedText(Seen));
}

void TAlgBlock::SetupBlockFont(TCanvas& Image) const {
  const TAlgColorScheme& Scheme = SchemeOf(this);
  Image.GetFont().Color = GetSelected() ? Scheme.GetSelectedBlockTextColor() : Scheme.GetPenColor();
}

void TAlgBlock::SetupAlgFont(TCanvas& Image) const {
  Image.GetFont().Color = SchemeOf(this).GetPenColor();
}

// The block's own first line in the block's text colour; labels drawn
// afterwards keep the colour of the lines.
static void WriteBlockLine(TAlgBlock* Block, TCanvas& Image, const TRect& Rect) {
  auto Font = SaveFont(Image);
  Block->SetupBlockFont(Image);
  Block->WriteTextLine(Image, Rect);
  RestoreFont(Image, std::move(Font));
}

void AlgDrawDiamond(TCompositeImage& Image, TPoint P, TAlgBlock* Block) {
  std::vector<TPoint> Points = {
      {P.X, P.Y + 20}, {P.X + 50, P.Y}, {P.X + 99, P.Y + 20}, {P.X + 50, P.Y + 39}};
  Image.Polygon(Points);
  Block->SetRegion(std::make_unique<TRegion>(TRegion::CreatePolygon(Points)));
  const int Top = P.Y + (40 - LineHeight(Image)) / 2;
  WriteBlockLine(Block, Image, {P.X + 25, Top, P.X + 75, Top + LineHeight(Image)});
}

// --- statements ---

void TBasicAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  SetupBlockFont(Image);
  TRect TextRect, Box;
  CalcTextRect(Image, TextRect, Box);
  Anchor = Box.Right / 2;
  Image.Rectangle(Box.Left, Box.Top, Box.Right, Box.Bottom);
  WriteStatementText(Image, TextRect, Box);
}

void TIOAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  SetupBlockFont(Image);
  TRect TextRect, Box;
  CalcTextRect(Image, TextRect, Box);
  const int W = Box.Right, H = Box.Bottom;
  Anchor = W / 2;
  Image.Polygon({{0, 0}, {W + 20, 0}, {W, H}, {-20, H}});
  WriteStatementText(Image, TextRect, Box);
}

// --- sequence ---

void TCompoundAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  Anchor = 0;
  const int Count = GetBlockCount();
  FChildBottoms.assign(static_cast<size_t>(Count), 0);
  if (Count == 0) {
    // Invisible strokes widen the picture, so an empty sequence is wide
    // enough to be hit and dropped on.
    const TPenMode Mode = Image.GetPen().Mode;
    Image.GetPen().Mode = TPenMode::pmNop;
    Image.MoveTo(-10, 0);
    Image.LineTo(10, 0);
    Image.LineTo(0, 0);
    Image.GetPen().Mode = Mode;
    Image.LineTo(0, 15);
    return;
  }
  int Y = 0;
  for (int I = 0; I < Count; ++I) {
    TAlgBlock* Child = GetBlocks(I);
    if (Child->IncomingPointerNeeded())
      Arrow(Image, {0, Y}, {0, Y + 15});
    else
      LineDownInclusive(Image, {0, Y}, 15);
    TCompositeImage* ChildImage = RenderChild(Child, Image, 0, Y + 15);
    Y += 15 + ChildImage->GetSize().Y;
    FChildBottoms[static_cast<size_t>(I)] = Y;
  }
  Line(Image, {0, Y}, {0, Y + 15});
}

int TCompoundAlgBlock::GetNewBlockIndexAt(TPoint P) const {
  const int Count = std::min(GetBlockCount(), static_cast<int>(FChildBottoms.size()));
  for (int I = 0; I < Count; ++I)
    if (FChildBottoms[static_cast<size_t>(I)] > P.Y)
      return I;
  return GetBlockCount();
}

// --- root ---

void TRootAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  Anchor = 50;
  Image.Ellipse(0, 0, 100, 40);
  TRegion Region = TRegion::CreateEllipse({0, 0, 100, 40});
  TCompositeImage* Body = RenderChild(GetBody(), Image, 50, 40);
  const int E = 40 + Body->GetSize().Y - 1;
  ArrowHead(Image, {50, E - 1}, {50, E});
  Image.Ellipse(0, E, 100, E + 40);
  Region.Combine(TRegion::CreateEllipse({0, E, 100, E + 40}));
  SetRegion(std::make_unique<TRegion>(std::move(Region)));
  const int H = LineHeight(Image);
  const int Left = (100 - 80) / 2, Top = (40 - H) / 2;
  WriteBlockLine(this, Image, {Left, Top, Left + 80, Top + H});
}

// --- branch ---

void TIfAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  Anchor = 50;
  AlgDrawDiamond(Image, {0, 0}, this);

  int A = 0;
  TCompositeImage* Yes = RenderUnplaced(FYesBranch, Image, A);
  TChildLayout YesLayout = LayoutOf(Yes, A);
  // A branch line keeps the branch's far side clear of the diamond.
  const int L = -std::max(YesLayout.Origin.X + YesLayout.Size.X - A, 25);
  Arrow(Image, {0, 20}, {L, 20});
  Line(Image, {L, 20}, {L, 40});
  PlaceChild(Yes, YesLayout, L, 40);
  const TPoint YesEnd = {L, 39 + YesLayout.Size.Y};
  Label(Image, -Image.TextWidth("да"), 20 - Image.TextHeight("да"), "да");

  TCompositeImage* No = RenderUnplaced(FNoBranch, Image, A);
  TChildLayout NoLayout = LayoutOf(No, A);
  const int R = 100 + std::max(A - NoLayout.Origin.X, 25);
  Arrow(Image, {100, 20}, {R, 20});
  Line(Image, {R, 20}, {R, 40});
  PlaceChild(No, NoLayout, R, 40);
  const TPoint NoEnd = {R, 39 + NoLayout.Size.Y};
  Label(Image, 100, 20 - Image.TextHeight("нет"), "нет");

  const int J = std::max(YesEnd.Y, NoEnd.Y) + 1;
  Arrow(Image, YesEnd, {L, J});
  Arrow(Image, {L, J}, {50, J});
  Arrow(Image, NoEnd, {R, J});
  Arrow(Image, {R, J}, {50, J});
  LineDownInclusive(Image, {50, J}, 5);

  FLeftBranchX = L;
  FRightBranchX = R;
  FJoinY = J;
}

TAlgBlock* TIfAlgBlock::GetBlockAt(TPoint& P) {
  if (P.Y >= 20 && P.Y <= FJoinY) {
    TCompoundAlgBlock* Branch = nullptr;
    if (std::abs(P.X - FLeftBranchX) <= 10)
      Branch = FYesBranch;
    else if (std::abs(P.X - FRightBranchX) <= 10)
      Branch = FNoBranch;
    if (Branch) {
      P = Branch->ParentToSelf(P);
      return Branch;
    }
  }
  return TAlgBlock::GetBlockAt(P);
}

// --- loops ---

void TWhileAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  Anchor = 50;
  Line(Image, {50, 0}, {50, 4});
  JunctionDot(Image);
  Arrow(Image, {50, 4}, {50, 21});
  AlgDrawDiamond(Image, {0, 21}, this);

  int A = 0;
  TCompositeImage* Body = RenderChild(GetBody(), Image, 50, 61, A);
  const TChildLayout B = LayoutOf(Body, A);
  const int D = 61 + B.Size.Y - 1;
  Arrow(Image, {50, D}, {50, D + 7});

  const int X1 = 50 - std::max(A - B.Origin.X, 50) - 20;
  Arrow(Image, {50, D + 7}, {X1, D + 7});
  Arrow(Image, {X1, D + 7}, {X1, 4});
  Arrow(Image, {X1, 4}, {50, 4});

  const int X2 = 50 + std::max(B.Origin.X + B.Size.X - A, 50) + 20;
  Arrow(Image, {100, 41}, {X2, 41});
  Arrow(Image, {X2, 41}, {X2, D + 17});
  Arrow(Image, {X2, D + 17}, {50, D + 17});
  LineDownInclusive(Image, {50, D + 17}, 5);

  Label(Image, 56, 60, "да");
  Label(Image, 98, 41 - Image.TextHeight("нет") - 4, "нет");
}

void TUntilAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  Anchor = 50;
  Line(Image, {50, 0}, {50, 4});
  JunctionDot(Image);

  int A = 0;
  TCompositeImage* Body = RenderChild(GetBody(), Image, 50, 4, A);
  const TChildLayout L = LayoutOf(Body, A);
  const int B = 4 + L.Size.Y - 1;
  AlgDrawDiamond(Image, {0, B}, this);

  const int X1 = 50 - std::max(A - L.Origin.X, 50) - 20;
  Arrow(Image, {0, B + 20}, {X1, B + 20});
  Arrow(Image, {X1, B + 20}, {X1, 4});
  Arrow(Image, {X1, 4}, {50, 4});

  LineDownInclusive(Image, {50, B + 40}, LineHeight(Image));

  Label(Image, 1 - Image.TextWidth("да"), B + 20 - Image.TextHeight("да") - 3, "да");
  Label(Image, 53, B + 40, "нет");
}

void TForAlgBlock::InternalRender(TCompositeImage& Image, int& Anchor) {
  Anchor = 50;
  std::vector<TPoint> Hexagon = {{-20, 20}, {0, 0}, {100, 0}, {120, 20}, {100, 40}, {0, 40}};
  Image.Polygon(Hexagon);
  SetRegion(std::make_unique<TRegion>(TRegion::CreatePolygon(Hexagon)));

  int A = 0;
  TCompositeImage* Body = RenderChild(GetBody(), Image, 50, 40, A);
  const TChildLayout L = LayoutOf(Body, A);
  const int H = L.Size.Y;
  Arrow(Image, {50, H + 40}, {50, H + 45});

  const int X1 = 50 - std::max(A - L.Origin.X, 70) - 20;
  Arrow(Image, {50, H + 45}, {X1, H + 45});
  Arrow(Image, {X1, H + 45}, {X1, 20});
  Arrow(Image, {X1, 20}, {-20, 20});

  const int X2 = 50 + std::max(L.Origin.X + L.Size.X - A, 70) + 20;
  Arrow(Image, {120, 20}, {X2, 20});
  Arrow(Image, {X2, 20}, {X2, H + 55});
  Arrow(Image, {X2, H + 55}, {50, H + 55});
  LineDownInclusive(Image, {50, H + 55}, 5);

  const int LH = LineHeight(Image);
  const int Top = (40 - LH) / 2;
  WriteBlockLine(this, Image, {0, Top, 100, Top + LH});
}

} // namespace Deskbay
