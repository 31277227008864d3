#pragma once

// How the flowchart's marks are drawn over the editor's picture: each
// marked block gets a frame around its own shape (the rectangle, the
// parallelogram of input and output, the diamond of a condition, the hexagon
// of a counting loop's header: never the whole loop with its body), a little
// outside it, in the mark's colour, and a second cue besides the colour:
//   next block   solid frame and an arrow pointing at the block from its left;
//   error        dashed frame and a round badge with "!" at the top right;
//   stopped run  dotted frame and a badge with a square at the top right;
//   origin       dash-dotted frame and a badge with "=" at the bottom right;
//   breakpoint   a dot with a rim at the block's left, a bar across it when
//                the breakpoint has a condition.

#include "FloweditExport.h"
#include "Flowmodel/Flowmodel_Markers.h"

#include <QPolygonF>

class QPainter;

namespace Deskbay {

class TAlgBlock;
class TAlgEditor;

// The outline of Block's own shape in Editor's client coordinates (corner
// points at pixel centres); empty when the editor's picture does not show it.
FLOWEDIT_API QPolygonF BlockClientOutline(const TAlgEditor& Editor, const TAlgBlock* Block);

// Draws Editor's markers (`TAlgEditor::GetMarkers`) at the editor's zoom.
FLOWEDIT_API void PaintChartMarkers(QPainter& Painter, const TAlgEditor& Editor);

} // namespace Deskbay
