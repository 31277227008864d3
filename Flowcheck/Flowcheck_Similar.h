#pragma once

// Charts that are copies of each other. A chart's fingerprint is read from
// its block tree, not its bytes: blanks and letter case do not count,
// variables are named by what is done with them (so consistent renaming
// changes nothing), the lines of a block and the blocks of a sequence count
// in any order, and blocks without text are left out. Two charts are
// compared by the share of their fingerprints' features they have in
// common: every block's own text, the block with its place (the enclosing
// block), and the whole subtree under it.

#include "FlowcheckExport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgorithm;

struct FLOWCHECK_API TChartPrint {
  std::vector<uint64_t> Features; // sorted
  uint64_t Tree = 0;              // the whole chart's subtree
};

FLOWCHECK_API TChartPrint ChartPrint(const TAlgorithm& Alg);

// The share of common features in percent, 0 to 100 (Dice's coefficient,
// rounded down); 100 for charts the same up to the differences above.
FLOWCHECK_API int ChartSimilarity(const TChartPrint& A, const TChartPrint& B);

// Charts at least this similar are reported as copies.
constexpr int SimilarThreshold = 90;

struct TSimilarPair {
  size_t First = 0, Second = 0; // indexes into the files given, First < Second
  int Percent = 0;
};

// The pairs of Prints at least Threshold similar, most similar first (ties
// in the order of the files). Files of one pupil (the same Owners entry, a
// pupil's earlier and later version) are never a pair.
FLOWCHECK_API std::vector<TSimilarPair> FindSimilarCharts(const std::vector<TChartPrint>& Prints,
                                                          const std::vector<std::string>& Owners,
                                                          int Threshold = SimilarThreshold);

} // namespace Deskbay
