#pragma once

// Composite images and small drawing helpers.
//
// A TCompositeImage is a canvas that records what is drawn on it as a
// display list and holds child images placed inside it. The flowchart lays
// itself out by drawing every block into an image of its own; once finished,
// an image is immutable, knows the bounds of what was drawn (its size and
// origin), can be replayed onto any canvas and answers which image lies under
// a point.
//
// Coordinate frames of one image:
// - physical: the coordinates the image was drawn in; they may be negative;
// - logical: physical minus the origin, so the image covers (0, 0) to
//   (width - 1, height - 1);
// - parent: the parent's physical coordinates; the image's logical (0, 0)
//   lies at its Position there;
// - global: the physical coordinates of the root of the tree.
//
// Bounds of a recording: a line covers both its end points (although the end
// pixel is not drawn), a rectangle, ellipse or arc its box without the right
// and bottom edges, a polygon the box of its vertices, a pixel itself, text
// the rectangle it measures (clipped text: the clip). Shapes drawn with the
// pmNop pen count like any other. A flood fill covers no known area and does
// not count. An image with nothing drawn and no children has the size (0, 0)
// and the origin (0, 0): it covers no point and displays nothing.

#include "Canvas.h"
#include "CorekitExport.h"
#include "MiscUtils_Versioning.h"
#include "StringList.h"
#include "SysUtils.h"

#include <memory>
#include <string>
#include <vector>

namespace Deskbay {

class COREKIT_API TCompositeImage : public TCanvas, public TObject {
public:
  // A new, recording image; with a Parent (which must still be recording) it
  // becomes that parent's last child and is owned by it.
  explicit TCompositeImage(TCompositeImage* Parent = nullptr);
  // Tells the destroy listeners, frees the children and leaves the parent.
  ~TCompositeImage() override;
  TCompositeImage(const TCompositeImage&) = delete;
  TCompositeImage& operator=(const TCompositeImage&) = delete;
  const char* ClassName() const override { return "TCompositeImage"; }

  // Measures the bounds of the drawing and of every child's area; the image
  // is immutable afterwards. Every child must be finished already.
  void Finish();
  bool GetFinished() const { return FFinished; }
  // Raises "CompositeImage: drawing not finished." while recording.
  void CheckFinished() const;

  TPoint GetSize() const;
  TPoint GetOrigin() const;

  TCompositeImage* GetParent() const { return FParent; }
  int GetComponentCount() const { return static_cast<int>(FChildren.size()); }
  TCompositeImage* GetComponents(int Index) const;
  void CheckComponentIndex(int Index) const;

  // Where the image's logical (0, 0) lies in the parent's physical
  // coordinates; set by whoever lays the child out.
  TPoint GetPosition() const { return FPosition; }
  void SetPosition(TPoint Value) { FPosition = Value; }
  // The object the image shows; not owned.
  TObject* GetData() const { return FData; }
  void SetData(TObject* Value) { FData = Value; }

  TPoint LogToPhys(TPoint P) const;
  TPoint PhysToLog(TPoint P) const;
  TPoint SelfToParent(TPoint P) const;
  TPoint ParentToSelf(TPoint P) const;
  TPoint SelfToGlobal(TPoint P) const;
  // The image's top-left corner in the parent's logical coordinates; only
  // for a child.
  TPoint GetLogCorner() const;
  // The image's area in the parent's logical coordinates, right and bottom
  // exclusive.
  TRect GetLogBounds() const;

  // The deepest image under P (logical coordinates of this image), or
  // nullptr outside it. The first child that contains P wins. On return P is
  // in the logical coordinates of the image found.
  TCompositeImage* GetImageAt(TPoint& P);

  // Replays the tree onto Canvas with this image's logical (0, 0) at P:
  // children first, then the image's own drawing on top. The canvas's pen,
  // brush, font and pen position are as before afterwards.
  void Display(TCanvas& Canvas, TPoint P) const;
  // The same for a surface that shows only the part Visible of the canvas
  // (right and bottom exclusive): children lying wholly outside it are left
  // out, so a window onto a long flowchart replays what it shows.
  void Display(TCanvas& Canvas, TPoint P, const TRect& Visible) const;

  // Listeners hear (with this image as the sender) that the image is being
  // destroyed. Removing does nothing once that notification has passed.
  void AddDestroyListener(IOnNotify* Listener);
  void RemoveDestroyListener(IOnNotify* Listener);

protected:
  void DoLine(TPoint From, TPoint To) override;
  void DoRectangle(const TRect& Box) override;
  void DoEllipse(const TRect& Box) override;
  void DoPolygon(const std::vector<TPoint>& Points) override;
  void DoArc(const TRect& Box, TPoint Start, TPoint End) override;
  void DoSetPixel(TPoint P, TColor Color) override;
  void DoFloodFill(TPoint P, TColor Color, TFillStyle Style) override;
  void DoTextOut(TPoint P, std::string_view Text) override;
  void DoClippedTextOut(TPoint P, const TRect& Clip, std::string_view Text) override;

private:
  enum class TCommandKind {
    ckLine,
    ckRectangle,
    ckEllipse,
    ckPolygon,
    ckArc,
    ckPixel,
    ckFloodFill,
    ckText,
    ckClippedText
  };
  struct TCommand {
    TCommandKind Kind;
    TPen Pen;
    TBrush Brush;
    TFont Font;
    TRect Box;     // shape box, clip of clipped text
    TPoint P1, P2; // line ends, arc rays, text or pixel position, fill start
    TColor Color = 0;
    TFillStyle FillStyle = TFillStyle::fsSurface;
    std::vector<TPoint> Points;
    std::string Text;
  };

  TCommand& Record(TCommandKind Kind);
  // Grows the bounds by the pixels X1..X2, Y1..Y2 (inclusive).
  void Extend(int X1, int Y1, int X2, int Y2);
  void ExtendBox(const TRect& Box);
  void DisplayWithin(TCanvas& Canvas, TPoint P, const TRect* Visible) const;
  void Replay(TCanvas& Canvas, TPoint P, const TRect* Visible) const;

  TPoint FSize;
  TPoint FOrigin;
  bool FFinished = false;
  TCompositeImage* FParent;
  std::vector<TCompositeImage*> FChildren; // owned
  bool FFreeingChildren = false;
  TPoint FPosition;
  TObject* FData = nullptr;
  std::unique_ptr<TAspectController> FDestroyListeners;

  std::vector<TCommand> FCommands;
  bool FHasBounds = false;
  int FMinX = 0, FMinY = 0, FMaxX = 0, FMaxY = 0;
};

// RoundHalfEven (SysUtils) for pixel values, which fit an int.
COREKIT_API int RoundHalfEven(double Value);
// Scales V to the length Len (rounded to whole pixels); a zero vector stays
// (0, 0).
COREKIT_API void VectorSetLength(TPoint& V, float Len);

COREKIT_API void RelMove(TCanvas& Canvas, int DX, int DY);
// A line from the pen position by (DX, DY), end pixel excluded.
COREKIT_API void RelLine(TCanvas& Canvas, int DX, int DY);
// LineTo, and the end pixel too unless the pen is clear.
COREKIT_API void LineInclusive(TCanvas& Canvas, int X, int Y);
COREKIT_API void RelLineInclusive(TCanvas& Canvas, int DX, int DY);
// A filled arrow head with its tip at B, pointing along A->B, drawn with the
// canvas's pen and brush.
COREKIT_API void DrawEndTriangle(TCanvas& Canvas, TPoint A, TPoint B, int Length, int HalfWidth);
COREKIT_API void DrawEndTriangle(TCanvas& Canvas, TPoint A, TPoint B);

COREKIT_API std::unique_ptr<TFont> SaveFont(const TCanvas& Canvas);
COREKIT_API void RestoreFont(TCanvas& Canvas, std::unique_ptr<TFont> Font);
COREKIT_API std::unique_ptr<TBrush> SaveBrush(const TCanvas& Canvas);
COREKIT_API void RestoreBrush(TCanvas& Canvas, std::unique_ptr<TBrush> Brush);

// The widest of the lines in the canvas's font; 0 for no lines.
COREKIT_API int GetStringsWidth(const TStringList& Strings, const TCanvas& Canvas);

// The folder file dialogs start in; the process's current folder while none
// is stored.
COREKIT_API void SetWorkingDir(const std::string& Dir);
COREKIT_API std::string GetWorkingDir();

} // namespace Deskbay
