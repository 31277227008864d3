#pragma once

// Algorithm files as every program reads them (the desktop program and
// algtool): what is refused and how a failure names the file.

#include "Flowmodel_Main.h"

#include "Corekit/Streams.h"

#include <string>

namespace Deskbay {

// The algorithm's data carries a format number this program does not read
// (a newer program's file, or a damaged one). Its message stays the internal
// check's; Found is the number read.
class FLOWMODEL_API EAlgFormatError : public EAssertionFailed {
public:
  explicit EAlgFormatError(int32_t Found) : EAssertionFailed("Assertion failure"), FFound(Found) {}
  int32_t GetFound() const { return FFound; }

private:
  int32_t FFound;
};

// Where algorithm data came from, for the words that say what is wrong.
enum class TAlgDataSource { File, Clipboard };

// What a user reads when loading algorithm data failed with E: the
// loader's internal checks speak English, so a stream that ends too soon
// is "файл обрывается: …" ("данные обрываются: …" on the clipboard), a
// format number this program does not know says so, and any other broken
// record is "данные повреждены: …". A message already in Russian (the
// block limit, a read error with the system's reason) stays as it is.
FLOWMODEL_API std::string AlgLoadFailureReason(const Exception& E, TAlgDataSource Source);

// Loads the algorithm that Stream holds from its position; FileName is the
// file the stream reads, for the messages. A stream that does not start
// with an algorithm record is refused before anything is read into Alg
// ("Файл "…" не является файлом алгоритма."); a load that fails raises a
// first line naming the file, then AlgLoadFailureReason.
FLOWMODEL_API void LoadAlgorithmFromStream(TAlgorithm& Alg, TStream& Stream,
                                           const std::string& FileName);
// The same for the file FileName.
FLOWMODEL_API void LoadAlgorithmFile(TAlgorithm& Alg, const std::string& FileName);

} // namespace Deskbay
