#pragma once

// Marks on a school's scale from a pupil's score: "5:90,4:75,3:50" gives 5
// from 90 percent of the highest score, 4 from 75, 3 from 50, and the rest
// the lowest mark given or 2, whichever is lower.

#include "FlowcheckExport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

struct TMarkStep {
  int64_t Mark = 0;
  int64_t Percent = 0; // the least share of the highest score, 0 to 100
};

struct FLOWCHECK_API TMarkScale {
  std::vector<TMarkStep> Steps; // highest first; marks and percents descend
  int64_t Rest = 2;             // for a score below every step

  bool Empty() const { return Steps.empty(); }
  // The mark of Score out of MaxScore, compared exactly (no rounding of the
  // percent); a case set that weighs nothing counts as all passed.
  int64_t MarkFor(int64_t Score, int64_t MaxScore) const;
};

// Reads "MARK:PERCENT,..." (whole numbers, highest first). A mistake raises
// an error saying what is wrong in Russian.
FLOWCHECK_API TMarkScale ParseMarkScale(const std::string& Text);

} // namespace Deskbay
