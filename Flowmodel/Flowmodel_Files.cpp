#include "Flowmodel_Files.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/SysUtils.h"

namespace Deskbay {

namespace {

bool IsAscii(const std::string& Text) {
  for (unsigned char C : Text)
    if (C >= 0x80)
      return false;
  return true;
}

} // namespace

std::string AlgLoadFailureReason(const Exception& E, TAlgDataSource Source) {
  const bool FromFile = Source == TAlgDataSource::File;
  if (const auto* Newer = dynamic_cast<const EAlgFormatError*>(&E))
    return Format("%s записаны в формате %d, а эта программа читает только формат 1: "
                  "они из более новой версии программы или повреждены.",
                  FromFile ? "данные файла" : "данные", static_cast<int>(Newer->GetFound()));
  if (dynamic_cast<const EReadError*>(&E))
    return FromFile ? "файл обрывается: данные кончаются посреди записи алгоритма."
                    : "данные обрываются посреди записи алгоритма.";
  if (IsAscii(E.Message()))
    return "данные повреждены: записи алгоритма не согласуются между собой.";
  return E.Message();
}

void LoadAlgorithmFromStream(TAlgorithm& Alg, TStream& Stream, const std::string& FileName) {
  const int64_t Start = Stream.GetPosition();
  if (!StreamContainsBagWith(&Stream, "Algorithm"))
    throw Exception(Format("Файл \"%s\" не является файлом алгоритма.", FileName.c_str()));
  Stream.SetPosition(Start);
  // The loader's texts ("Stream read error", "Incorrect object data block.")
  // neither say which file they are about nor speak the user's language.
  try {
    LoadObjectFromStream(&Alg, &Stream);
  } catch (const Exception& E) {
    throw Exception(Format("Не удалось прочитать алгоритм из файла \"%s\":\r\n%s", FileName.c_str(),
                           AlgLoadFailureReason(E, TAlgDataSource::File).c_str()));
  }
}

void LoadAlgorithmFile(TAlgorithm& Alg, const std::string& FileName) {
  TFileStream File(FileName, fmOpenRead);
  LoadAlgorithmFromStream(Alg, File, FileName);
}

} // namespace Deskbay
