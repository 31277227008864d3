#include "Flowmodel_Files.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/SysUtils.h"

namespace Deskbay {

void LoadAlgorithmFromStream(TAlgorithm& Alg, TStream& Stream, const std::string& FileName) {
  const int64_t Start = Stream.GetPosition();
  if (!StreamContainsBagWith(&Stream, "Algorithm"))
    throw Exception(Format("Файл \"%s\" не является файлом алгоритма.", FileName.c_str()));
  Stream.SetPosition(Start);
  // The loader's texts ("Stream read error", "Incorrect object data block.")
  // do not say which file they are about.
  try {
    LoadObjectFromStream(&Alg, &Stream);
  } catch (const Exception& E) {
    throw Exception(Format("Не удалось прочитать алгоритм из файла \"%s\":\r\n%s", FileName.c_str(),
                           E.Message().c_str()));
  }
}

void LoadAlgorithmFile(TAlgorithm& Alg, const std::string& FileName) {
  TFileStream File(FileName, fmOpenRead);
  LoadAlgorithmFromStream(Alg, File, FileName);
}

} // namespace Deskbay
