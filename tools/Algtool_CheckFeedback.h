#pragma once

// --feedback DIR: one report per pupil's file written into DIR as the
// results arrive, NAME.txt and NAME.html (names from TFeedbackNames), each
// through SaveFileAtomically. DIR is made when it is not there.

#include "Algtool_Check.h"
#include "Flowcheck/Flowcheck_Feedback.h"
#include "Flowcheck/Flowcheck_Marks.h"

#include <string>

namespace Deskbay::Algtool {

class TFeedbackWriter {
public:
  TFeedbackWriter(const std::string& Dir, const TMarkScale& Marks);
  void Write(const TFileResult& File);

private:
  std::string FDir;
  TMarkScale FMarks;
  TFeedbackNames FNames;
};

} // namespace Deskbay::Algtool
