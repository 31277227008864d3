#include "DragDrop.h"

#include <QDrag>
#include <QPointer>
#include <QWidget>

namespace Deskbay {

TDragObject::~TDragObject() = default;

const QString TDragMimeData::Format = QStringLiteral("application/x-deskbay-drag-object");

TDragMimeData::TDragMimeData(std::unique_ptr<TDragObject> Object) : FObject(std::move(Object)) {
  // Only the format is announced; the object itself never leaves the process.
  setData(Format, QByteArray());
}

TDragMimeData::~TDragMimeData() = default;

TDragObject* TDragMimeData::DragObjectOf(const QMimeData* Data) {
  const auto* Own = qobject_cast<const TDragMimeData*>(Data);
  return Own ? Own->GetDragObject() : nullptr;
}

namespace {

TDragRunner Runner;
int DragDepth = 0;

} // namespace

TDragRunner SetDragRunner(TDragRunner NewRunner) {
  TDragRunner Previous = std::move(Runner);
  Runner = std::move(NewRunner);
  return Previous;
}

Qt::DropAction ExecDrag(QWidget* Source, std::unique_ptr<TDragObject> Object,
                        const QPixmap& Picture, std::optional<QPoint> HotSpot) {
  // QDrag owns the MIME data and with it the object, and frees both with
  // itself; the drag is freed here, so the object goes when the drag ends.
  auto* Drag = new QDrag(Source);
  Drag->setMimeData(new TDragMimeData(std::move(Object)));
  if (!Picture.isNull()) {
    Drag->setPixmap(Picture);
    Drag->setHotSpot(HotSpot ? *HotSpot
                             : QPoint(Picture.width() / 2, Picture.height() / 2) /
                                   Picture.devicePixelRatio());
  }
  // Freed here unless the source went first and took it along.
  struct TDragScope {
    QPointer<QDrag> Drag;
    explicit TDragScope(QDrag* D) : Drag(D) { ++DragDepth; }
    ~TDragScope() {
      --DragDepth;
      delete Drag.data();
    }
  } Scope(Drag);
  return Runner ? Runner(*Drag) : Drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

bool IsDragging() {
  return DragDepth > 0;
}

} // namespace Deskbay
