#pragma once

// Checking many algorithm files at once in worker processes.
//
// Workers are processes, not threads: a run reaches its host through
// process-wide hooks (the input provider and the abort poller of
// InteractionHooks), so two runs in one process would answer each other's
// questions. A process of its own per worker also keeps a file that brings
// a worker down from taking the others with it: that file fails with the
// reason, a new worker takes over, and the rest are checked.

#include "Algtool_Check.h"

#include <functional>
#include <string>
#include <vector>

namespace Deskbay::Algtool {

// Checks every file of Files on Tests in at most Jobs worker processes (at
// least one) and hands each result to OnResult in the order of Files, each as
// soon as it and all before it are done; so the results and their order do
// not depend on Jobs. When no worker can be started the files are checked
// in this process. With Coverage each result lists its unreached blocks.
void CheckFiles(const TTestFile& Tests, const std::vector<std::string>& Files, int Jobs,
                bool Coverage, const std::function<void(const TFileResult&)>& OnResult);

} // namespace Deskbay::Algtool
