#pragma once

// How well a test set exercises the teacher's model solution: every branch
// taken both ways, every loop run zero times and several times (a loop with
// its condition after the body cannot run zero times and is not asked to).

#include "Flowcheck/Flowcheck_TestFile.h"

#include <string>
#include <vector>

namespace Deskbay {
class TAlgorithm;
}

namespace Deskbay::Algtool {

// One line per shortfall, as "Блок ...: нет случая, где ..."; empty when
// the test set takes every way.
std::vector<std::string> ModelCoverageGaps(TAlgorithm& Model, const TTestFile& Tests);

} // namespace Deskbay::Algtool
