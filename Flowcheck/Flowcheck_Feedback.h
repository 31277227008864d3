#pragma once

// What one pupil is told of a check, in Russian, as plain text and as an
// HTML page for printing: the score (and the mark), every visible case with
// its answers, the expected and printed lines and the block that printed
// the first wrong line or failed, and for a hidden case only its number
// among the hidden cases and whether it passed. Nothing of a hidden case's
// answers, expected or printed lines or reason is ever written.

#include "FlowcheckExport.h"
#include "Flowcheck_Check.h"
#include "Flowcheck_Marks.h"

#include <set>
#include <string>
#include <vector>

namespace Deskbay {

// The name a pupil sees for a case: its own, or "скрытый случай N" for the
// N-th hidden case (from 1) of the test file.
FLOWCHECK_API std::string PupilCaseName(const TFileResult& File, size_t Index);
FLOWCHECK_API std::string PupilCaseName(const std::vector<TCaseResult>& Cases, size_t Index);

// Marks, when given and not empty, add the pupil's mark.
FLOWCHECK_API std::string FeedbackText(const TFileResult& File, const TMarkScale* Marks = nullptr);
FLOWCHECK_API std::string FeedbackHtml(const TFileResult& File, const TMarkScale* Marks = nullptr);

// Names for the feedback files of a class, one per pupil's file: the file's
// name without its folder and its ".alg", every character that is not a
// letter, a digit, "-", "_" or "." (and a leading ".") as "_", cut to a
// length every file system takes; a name already given gains "-2", "-3"...
class FLOWCHECK_API TFeedbackNames {
public:
  std::string Next(const std::string& FileName);

private:
  std::set<std::string> FUsed;
};

} // namespace Deskbay
