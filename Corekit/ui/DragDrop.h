#pragma once

// Drag and drop of our own objects inside this process. A drag carries a
// TDragObject inside Qt's drag and drop; the MIME data is private to the
// process (another program sees an empty format and refuses it), so two
// windows of one process exchange objects while nothing leaks outside. The
// object is freed when the drag ends, dropped or cancelled.

#include "CorekitUiExport.h"

#include <QMimeData>
#include <QPixmap>

#include <functional>
#include <memory>
#include <optional>

class QDrag;
class QWidget;

namespace Deskbay {

class COREKITUI_API TDragObject {
public:
  virtual ~TDragObject();
};

class COREKITUI_API TDragMimeData : public QMimeData {
  Q_OBJECT
public:
  static const QString Format;
  explicit TDragMimeData(std::unique_ptr<TDragObject> Object);
  ~TDragMimeData() override;
  TDragObject* GetDragObject() const { return FObject.get(); }
  // The object Data carries when the drag started in this process, else
  // nullptr.
  static TDragObject* DragObjectOf(const QMimeData* Data);

private:
  std::unique_ptr<TDragObject> FObject;
};

// Runs a prepared drag to its end and gives the drop action. The default
// is QDrag::exec; tests install their own to drop where they like.
using TDragRunner = std::function<Qt::DropAction(QDrag& Drag)>;
// Installs Runner (an empty one brings back the default); returns the runner
// it replaced.
COREKITUI_API TDragRunner SetDragRunner(TDragRunner Runner);

// Drags Object from Source until the drag ends, showing Picture with its
// point HotSpot under the pointer (by default its centre). Blocks nothing
// else: the event loop runs meanwhile.
COREKITUI_API Qt::DropAction ExecDrag(QWidget* Source, std::unique_ptr<TDragObject> Object,
                                      const QPixmap& Picture = QPixmap(),
                                      std::optional<QPoint> HotSpot = std::nullopt);
// True while a drag started by ExecDrag is in progress.
COREKITUI_API bool IsDragging();

} // namespace Deskbay
