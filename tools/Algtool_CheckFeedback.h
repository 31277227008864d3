#pragma once

// --feedback DIR: one report per pupil's file, NAME.txt and NAME.html
// (names from TFeedbackNames), DIR made when it is not there.
//
// A class is a thousand files, and syncing each one as it is written would
// cost far more than checking the class. So the reports are written as one
// batch that is never seen half-written: each goes into a hidden temporary
// file in DIR as its result arrives; Finish syncs them all at once (the file
// system's one sync), then renames each over its name and syncs the folder.
// A report under a name is therefore the old one or the whole new one; a
// check that fails or is stopped before Finish removes its temporary files
// and leaves DIR as it was.

#include "Algtool_Check.h"
#include "Flowcheck/Flowcheck_Feedback.h"
#include "Flowcheck/Flowcheck_Marks.h"

#include <string>
#include <utility>
#include <vector>

namespace Deskbay::Algtool {

class TFeedbackWriter {
public:
  TFeedbackWriter(const std::string& Dir, const TMarkScale& Marks);
  ~TFeedbackWriter();
  TFeedbackWriter(const TFeedbackWriter&) = delete;
  TFeedbackWriter& operator=(const TFeedbackWriter&) = delete;
  void Write(const TFileResult& File);
  // Puts every report in place; an error names the file.
  void Finish();

private:
  std::string FDir;
  int FDirHandle = -1;
  TMarkScale FMarks;
  TFeedbackNames FNames;
  std::vector<std::pair<std::string, std::string>> FPending; // temporary, final
  void WriteTemporary(const std::string& FinalName, const std::string& Text);
};

} // namespace Deskbay::Algtool
