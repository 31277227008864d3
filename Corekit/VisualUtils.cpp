#include "VisualUtils.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace Deskbay {

namespace {

const char* const SNotFinished = "CompositeImage: drawing not finished.";

std::string WorkingDir;

} // namespace

// --- TCompositeImage ---

TCompositeImage::TCompositeImage(TCompositeImage* Parent) : FParent(Parent) {
  if (Parent) {
    Assert(!Parent->FFinished, "CompositeImage: can't add a child to a finished image.");
    Parent->FChildren.push_back(this);
  }
  FDestroyListeners = std::make_unique<TAspectController>(this);
}

TCompositeImage::~TCompositeImage() {
  if (FDestroyListeners) {
    FDestroyListeners->Changed();
    FDestroyListeners.reset();
  }
  if (FParent && !FParent->FFreeingChildren) {
    auto& Siblings = FParent->FChildren;
    auto It = std::find(Siblings.begin(), Siblings.end(), this);
    if (It != Siblings.end())
      Siblings.erase(It);
  }
  // The children must not look for themselves in the list being freed.
  FFreeingChildren = true;
  for (TCompositeImage* Child : FChildren)
    delete Child;
}

void TCompositeImage::Finish() {
  Assert(!FFinished, "CompositeImage: drawing already finished.");
  for (const TCompositeImage* Child : FChildren)
    Assert(Child->FFinished, "CompositeImage: a component's drawing is not finished.");
  // Every child's area joins the bounds, as an invisible rectangle would.
  for (const TCompositeImage* Child : FChildren)
    if (Child->FSize.X > 0 && Child->FSize.Y > 0)
      Extend(Child->FPosition.X, Child->FPosition.Y, Child->FPosition.X + Child->FSize.X - 1,
             Child->FPosition.Y + Child->FSize.Y - 1);
  if (FHasBounds) {
    FOrigin = {FMinX, FMinY};
    FSize = {FMaxX - FMinX + 1, FMaxY - FMinY + 1};
  }
  FFinished = true;
}

void TCompositeImage::CheckFinished() const {
  if (!FFinished)
    throw Exception(SNotFinished);
}

TPoint TCompositeImage::GetSize() const {
  CheckFinished();
  return FSize;
}

TPoint TCompositeImage::GetOrigin() const {
  CheckFinished();
  return FOrigin;
}

TCompositeImage* TCompositeImage::GetComponents(int Index) const {
  CheckComponentIndex(Index);
  return FChildren[static_cast<size_t>(Index)];
}

void TCompositeImage::CheckComponentIndex(int Index) const {
  if (Index < 0 || Index >= GetComponentCount())
    throw Exception(Format("Bad CompositeImage component index (%d).", Index));
}

TPoint TCompositeImage::LogToPhys(TPoint P) const {
  return P + GetOrigin();
}

TPoint TCompositeImage::PhysToLog(TPoint P) const {
  return P - GetOrigin();
}

TPoint TCompositeImage::SelfToParent(TPoint P) const {
  return P + (FPosition - GetOrigin());
}

TPoint TCompositeImage::ParentToSelf(TPoint P) const {
  return P - (FPosition - GetOrigin());
}

TPoint TCompositeImage::SelfToGlobal(TPoint P) const {
  if (!FParent) {
    CheckFinished();
    return P;
  }
  return FParent->SelfToGlobal(SelfToParent(P));
}

TPoint TCompositeImage::GetLogCorner() const {
  Assert(FParent != nullptr, "CompositeImage: a root image has no corner in a parent.");
  return FParent->PhysToLog(FPosition);
}

TRect TCompositeImage::GetLogBounds() const {
  TPoint Corner = GetLogCorner();
  TPoint Size = GetSize();
  return {Corner.X, Corner.Y, Corner.X + Size.X, Corner.Y + Size.Y};
}

TCompositeImage* TCompositeImage::GetImageAt(TPoint& P) {
  CheckFinished();
  if (P.X < 0 || P.Y < 0 || P.X >= FSize.X || P.Y >= FSize.Y)
    return nullptr;
  for (TCompositeImage* Child : FChildren)
    if (Child->GetLogBounds().Contains(P)) {
      P = P - Child->GetLogCorner();
      return Child->GetImageAt(P);
    }
  return this;
}

void TCompositeImage::Display(TCanvas& Canvas, TPoint P) const {
  DisplayWithin(Canvas, P, nullptr);
}

void TCompositeImage::Display(TCanvas& Canvas, TPoint P, const TRect& Visible) const {
  const TRect V = Visible.Normalized();
  DisplayWithin(Canvas, P, &V);
}

void TCompositeImage::DisplayWithin(TCanvas& Canvas, TPoint P, const TRect* Visible) const {
  CheckFinished();
  const TPen Pen = Canvas.GetPen();
  const TBrush Brush = Canvas.GetBrush();
  const TFont Font = Canvas.GetFont();
  const TPoint PenPos = Canvas.GetPenPos();
  Replay(Canvas, P, Visible);
  Canvas.GetPen() = Pen;
  Canvas.GetBrush() = Brush;
  Canvas.GetFont() = Font;
  Canvas.MoveTo(PenPos.X, PenPos.Y);
}

void TCompositeImage::Replay(TCanvas& Canvas, TPoint P, const TRect* Visible) const {
  CheckFinished();
  for (const TCompositeImage* Child : FChildren) {
    const TPoint At = P + (Child->FPosition - FOrigin);
    if (Visible &&
        (At.X >= Visible->Right || At.Y >= Visible->Bottom ||
         At.X + Child->FSize.X <= Visible->Left || At.Y + Child->FSize.Y <= Visible->Top))
      continue;
    Child->Replay(Canvas, At, Visible);
  }
  const TPoint Off = P - FOrigin;
  auto Move = [Off](TPoint Q) { return Q + Off; };
  auto MoveBox = [Off](const TRect& R) {
    return TRect{R.Left + Off.X, R.Top + Off.Y, R.Right + Off.X, R.Bottom + Off.Y};
  };
  for (const TCommand& C : FCommands) {
    Canvas.GetPen() = C.Pen;
    Canvas.GetBrush() = C.Brush;
    Canvas.GetFont() = C.Font;
    switch (C.Kind) {
    case TCommandKind::ckLine: {
      TPoint A = Move(C.P1), B = Move(C.P2);
      Canvas.MoveTo(A.X, A.Y);
      Canvas.LineTo(B.X, B.Y);
      break;
    }
    case TCommandKind::ckRectangle: {
      TRect R = MoveBox(C.Box);
      Canvas.Rectangle(R.Left, R.Top, R.Right, R.Bottom);
      break;
    }
    case TCommandKind::ckEllipse: {
      TRect R = MoveBox(C.Box);
      Canvas.Ellipse(R.Left, R.Top, R.Right, R.Bottom);
      break;
    }
    case TCommandKind::ckPolygon: {
      std::vector<TPoint> Points(C.Points);
      for (TPoint& Q : Points)
        Q = Move(Q);
      Canvas.Polygon(Points);
      break;
    }
    case TCommandKind::ckArc: {
      TRect R = MoveBox(C.Box);
      TPoint A = Move(C.P1), B = Move(C.P2);
      Canvas.Arc(R.Left, R.Top, R.Right, R.Bottom, A.X, A.Y, B.X, B.Y);
      break;
    }
    case TCommandKind::ckPixel: {
      TPoint A = Move(C.P1);
      Canvas.SetPixel(A.X, A.Y, C.Color);
      break;
    }
    case TCommandKind::ckFloodFill: {
      TPoint A = Move(C.P1);
      Canvas.FloodFill(A.X, A.Y, C.Color, C.FillStyle);
      break;
    }
    case TCommandKind::ckText: {
      TPoint A = Move(C.P1);
      Canvas.TextOut(A.X, A.Y, C.Text);
      break;
    }
    case TCommandKind::ckClippedText: {
      TPoint A = Move(C.P1);
      Canvas.TextRect(MoveBox(C.Box), A.X, A.Y, C.Text);
      break;
    }
    }
  }
}

void TCompositeImage::AddDestroyListener(IOnNotify* Listener) {
  if (FDestroyListeners)
    FDestroyListeners->AddListener(Listener);
}

void TCompositeImage::RemoveDestroyListener(IOnNotify* Listener) {
  if (FDestroyListeners)
    FDestroyListeners->RemoveListener(Listener);
}

TCompositeImage::TCommand& TCompositeImage::Record(TCommandKind Kind) {
  Assert(!FFinished, "CompositeImage: can't draw on a finished image.");
  TCommand& C = FCommands.emplace_back();
  C.Kind = Kind;
  C.Pen = GetPen();
  C.Brush = GetBrush();
  C.Font = GetFont();
  return C;
}

void TCompositeImage::Extend(int X1, int Y1, int X2, int Y2) {
  if (!FHasBounds) {
    FHasBounds = true;
    FMinX = X1;
    FMinY = Y1;
    FMaxX = X2;
    FMaxY = Y2;
    return;
  }
  FMinX = std::min(FMinX, X1);
  FMinY = std::min(FMinY, Y1);
  FMaxX = std::max(FMaxX, X2);
  FMaxY = std::max(FMaxY, Y2);
}

void TCompositeImage::ExtendBox(const TRect& Box) {
  const TRect N = Box.Normalized();
  if (N.Right > N.Left && N.Bottom > N.Top)
    Extend(N.Left, N.Top, N.Right - 1, N.Bottom - 1);
}

void TCompositeImage::DoLine(TPoint From, TPoint To) {
  TCommand& C = Record(TCommandKind::ckLine);
  C.P1 = From;
  C.P2 = To;
  Extend(std::min(From.X, To.X), std::min(From.Y, To.Y), std::max(From.X, To.X),
         std::max(From.Y, To.Y));
}

void TCompositeImage::DoRectangle(const TRect& Box) {
  Record(TCommandKind::ckRectangle).Box = Box;
  ExtendBox(Box);
}

void TCompositeImage::DoEllipse(const TRect& Box) {
  Record(TCommandKind::ckEllipse).Box = Box;
  ExtendBox(Box);
}

void TCompositeImage::DoPolygon(const std::vector<TPoint>& Points) {
  TCommand& C = Record(TCommandKind::ckPolygon);
  C.Points = Points;
  for (TPoint P : Points)
    Extend(P.X, P.Y, P.X, P.Y);
}

void TCompositeImage::DoArc(const TRect& Box, TPoint Start, TPoint End) {
  TCommand& C = Record(TCommandKind::ckArc);
  C.Box = Box;
  C.P1 = Start;
  C.P2 = End;
  ExtendBox(Box);
}

void TCompositeImage::DoSetPixel(TPoint P, TColor Color) {
  TCommand& C = Record(TCommandKind::ckPixel);
  C.P1 = P;
  C.Color = Color;
  Extend(P.X, P.Y, P.X, P.Y);
}

void TCompositeImage::DoFloodFill(TPoint P, TColor Color, TFillStyle Style) {
  TCommand& C = Record(TCommandKind::ckFloodFill);
  C.P1 = P;
  C.Color = Color;
  C.FillStyle = Style;
}

void TCompositeImage::DoTextOut(TPoint P, std::string_view Text) {
  if (Text.empty())
    return;
  TCommand& C = Record(TCommandKind::ckText);
  C.P1 = P;
  C.Text = Text;
  ExtendBox({P.X, P.Y, P.X + TextWidth(Text), P.Y + TextHeight(Text)});
}

void TCompositeImage::DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text) {
  if (Text.empty())
    return;
  TCommand& C = Record(TCommandKind::ckClippedText);
  C.P1 = P;
  C.Box = Clip;
  C.Text = Text;
  ExtendBox(Clip);
}

// --- helpers ---

int RoundHalfEven(double Value) {
  return static_cast<int>(RoundHalfEven(static_cast<long double>(Value)));
}

void VectorSetLength(TPoint& V, float Len) {
  const double X = V.X, Y = V.Y;
  const int L = RoundHalfEven(std::sqrt(X * X + Y * Y));
  if (L == 0) {
    V = {0, 0};
    return;
  }
  V.X = RoundHalfEven(X * Len / L);
  V.Y = RoundHalfEven(Y * Len / L);
}

void RelMove(TCanvas& Canvas, int DX, int DY) {
  TPoint P = Canvas.GetPenPos();
  Canvas.MoveTo(P.X + DX, P.Y + DY);
}

void RelLine(TCanvas& Canvas, int DX, int DY) {
  TPoint P = Canvas.GetPenPos();
  Canvas.LineTo(P.X + DX, P.Y + DY);
}

void LineInclusive(TCanvas& Canvas, int X, int Y) {
  Canvas.LineTo(X, Y);
  if (Canvas.GetPen().Style != TPenStyle::psClear)
    Canvas.SetPixel(X, Y, Canvas.GetPen().Color);
}

void RelLineInclusive(TCanvas& Canvas, int DX, int DY) {
  TPoint P = Canvas.GetPenPos();
  LineInclusive(Canvas, P.X + DX, P.Y + DY);
}

void DrawEndTriangle(TCanvas& Canvas, TPoint A, TPoint B, int Length, int HalfWidth) {
  TPoint D = B - A;
  TPoint N = {-D.Y, D.X};
  VectorSetLength(D, static_cast<float>(Length));
  VectorSetLength(N, static_cast<float>(HalfWidth));
  TPoint Base = B - D;
  Canvas.Polygon({Base + N, Base - N, B});
}

void DrawEndTriangle(TCanvas& Canvas, TPoint A, TPoint B) {
  DrawEndTriangle(Canvas, A, B, 15, 7);
}

std::unique_ptr<TFont> SaveFont(const TCanvas& Canvas) {
  return std::make_unique<TFont>(Canvas.GetFont());
}

void RestoreFont(TCanvas& Canvas, std::unique_ptr<TFont> Font) {
  if (Font)
    Canvas.GetFont() = *Font;
}

std::unique_ptr<TBrush> SaveBrush(const TCanvas& Canvas) {
  return std::make_unique<TBrush>(Canvas.GetBrush());
}

void RestoreBrush(TCanvas& Canvas, std::unique_ptr<TBrush> Brush) {
  if (Brush)
    Canvas.GetBrush() = *Brush;
}

int GetStringsWidth(const TStringList& Strings, const TCanvas& Canvas) {
  int Width = 0;
  for (const std::string& Line : Strings.Lines())
    Width = std::max(Width, Canvas.TextWidth(Line));
  return Width;
}

void SetWorkingDir(const std::string& Dir) {
  WorkingDir = Dir;
}

std::string GetWorkingDir() {
  if (!WorkingDir.empty())
    return WorkingDir;
  std::string Buffer(256, '\0');
  while (!getcwd(Buffer.data(), Buffer.size())) {
    if (errno != ERANGE)
      return std::string();
    Buffer.resize(Buffer.size() * 2);
  }
  Buffer.resize(Buffer.find('\0'));
  return Buffer;
}

} // namespace Deskbay
