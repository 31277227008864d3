#pragma once

// "algtool check TESTS --expected-from MODEL.alg": the teacher writes only
// the answers of each case, the model solution writes what it must print.

#include "Flowcheck/Flowcheck_TestFile.h"

#include <string>

namespace Deskbay {
class TAlgorithm;
}

namespace Deskbay::Algtool {

// The text of the test file Text (read as FileName) with every case's ">"
// and "!" lines replaced by what Model prints on the case's answers, and an
// "!" line with the first line of its error when it fails. Other lines stay
// as they are; the new lines take the place of the case's first old one, or
// follow its last line. A model that runs out of answers or steps is an
// error naming the case: its output would be no answer.
std::string FillExpected(const std::string& Text, const std::string& FileName, TAlgorithm& Model);

} // namespace Deskbay::Algtool
