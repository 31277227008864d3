#pragma once

// The chart's mark of a block that cannot run: a badge with "!" in a circle
// at the block's top-right corner, drawn over the picture by the editor's
// paint, and the machine's message as the block's tooltip. Which lines are
// wrong is the model's verdict (Flowmodel_LineCheck), kept per editor and
// read again only for a block whose text changed.

#include "FloweditExport.h"

#include <QRect>
#include <QString>

class QPainter;

namespace Deskbay {

class TAlgBlock;
class TAlgEditor;
class TAlgLineCheck;

// The verdicts Editor keeps (made with the editor, gone with it).
FLOWEDIT_API TAlgLineCheck& EditorLineCheck(TAlgEditor& Editor);

// Draws the badge of every block of the editor's picture whose lines cannot
// run; forgets the verdicts of blocks the picture no longer shows.
FLOWEDIT_API void PaintLineCheckMarks(QPainter& Painter, TAlgEditor& Editor);

// Where Block's badge lies in the editor's client coordinates; empty when
// its lines can run or the picture does not show it.
FLOWEDIT_API QRect LineCheckBadgeRect(TAlgEditor& Editor, const TAlgBlock* Block);

// The tooltip of a block that cannot run: the message the run gives, each
// problem on its own line ("Строка 2: …" where the block has several lines);
// empty for a block whose lines can run.
FLOWEDIT_API QString LineCheckToolTip(TAlgEditor& Editor, const TAlgBlock* Block);

} // namespace Deskbay
