#include "Flowapp_Clipboard.h"

#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace Deskbay {

bool CopyBlocksToClipboard(const TAlgorithm& Algorithm) {
  const std::vector<TAlgBlock*> Blocks = AlgBlocksToCopy(Algorithm);
  if (Blocks.empty())
    return false;
  const std::vector<uint8_t> Bytes = AlgBlocksToBytes(Blocks);
  auto* Data = new QMimeData;
  Data->setData(AlgBlocksMimeType, QByteArray(reinterpret_cast<const char*>(Bytes.data()),
                                              static_cast<qsizetype>(Bytes.size())));
  Data->setText(QString::fromStdString(AlgBlocksToText(Blocks)));
  QGuiApplication::clipboard()->setMimeData(Data);
  return true;
}

bool ClipboardHoldsBlocks() {
  const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
  return Data && Data->hasFormat(AlgBlocksMimeType);
}

void PasteBlocksFromClipboard(TAlgorithm& Algorithm) {
  const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
  if (!Data || !Data->hasFormat(AlgBlocksMimeType))
    return;
  const QByteArray Raw = Data->data(AlgBlocksMimeType);
  AlgPasteBytes(Algorithm, std::vector<uint8_t>(Raw.begin(), Raw.end()));
}

} // namespace Deskbay
