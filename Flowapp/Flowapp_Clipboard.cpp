#include "Flowapp_Clipboard.h"

#include "Flowimport/Flowimport_Program.h"
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

bool ClipboardHoldsBlocksOrText() {
  const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
  return Data &&
         (Data->hasFormat(AlgBlocksMimeType) || (Data->hasText() && !Data->text().isEmpty()));
}

std::vector<std::string> PasteBlocksFromClipboard(TAlgorithm& Algorithm) {
  const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
  if (Data && Data->hasFormat(AlgBlocksMimeType)) {
    const QByteArray Raw = Data->data(AlgBlocksMimeType);
    AlgPasteBytes(Algorithm, std::vector<uint8_t>(Raw.begin(), Raw.end()));
    return {};
  }
  if (!Data || !Data->hasText())
    return {};
  const TImportedBlocks Blocks = ImportProgramAsBlocks(Data->text().toStdString(), "");
  AlgPasteBytes(Algorithm, Blocks.Bytes);
  return Blocks.Names;
}

} // namespace Deskbay
