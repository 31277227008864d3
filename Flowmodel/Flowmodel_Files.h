#pragma once

// Algorithm files as every program reads them (the desktop program and
// algtool): what is refused and how a failure names the file.

#include "Flowmodel_Main.h"

#include "Corekit/Streams.h"

#include <string>

namespace Deskbay {

// Loads the algorithm that Stream holds from its position; FileName is the
// file the stream reads, for the messages. A stream that does not start
// with an algorithm record is refused before anything is read into Alg
// ("Файл "…" не является файлом алгоритма."); a load that fails raises a
// first line naming the file, then the loader's own text.
FLOWMODEL_API void LoadAlgorithmFromStream(TAlgorithm& Alg, TStream& Stream,
                                           const std::string& FileName);
// The same for the file FileName.
FLOWMODEL_API void LoadAlgorithmFile(TAlgorithm& Alg, const std::string& FileName);

} // namespace Deskbay
