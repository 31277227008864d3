#pragma once

// The class at a glance: for every case of a test file, how many pupils'
// files pass it and how the others fail it, gathered as results arrive.

#include "FlowcheckExport.h"
#include "Flowcheck_Check.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

// One way a case fails: the kind, and for errors the machine's message (the
// first line of the error, without the block it arose in, so that pupils'
// differing charts group together).
struct TFailureCount {
  TCaseFailure Failure = TCaseFailure::None;
  std::string Message;
  int Files = 0;
};

struct TCaseSummary {
  std::string Name;
  int Index = 0; // in the test file, from 0
  bool Hidden = false;
  int64_t Weight = 1;
  int Passed = 0;
  int Files = 0;
  std::vector<TFailureCount> Failures; // most frequent first, then by first seen
};

class FLOWCHECK_API TClassSummary {
public:
  void Add(const TFileResult& File);
  // Worst case first: the fewest files passing it, ties in test-file order.
  std::vector<TCaseSummary> Cases() const;
  int Files() const { return FFiles; }

private:
  std::vector<TCaseSummary> FCases;
  int FFiles = 0;
};

// The kind of failure in Russian words, as the summary names it.
FLOWCHECK_API std::string CaseFailureWords(TCaseFailure Failure);

} // namespace Deskbay
