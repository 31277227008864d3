// Damaged algorithm files: whatever the bytes, a load ends in a loaded
// algorithm or in the system's own error, and the model stays consistent.
// Anything else (a crash, a foreign exception, a sanitizer report) fails.

#include "PersistenceSamples.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

int CountedBlocks(const TAlgBlock* Block) {
  int N = Block->GetCounted() ? 1 : 0;
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    N += CountedBlocks(Block->GetBlocks(I));
  return N;
}

struct TFuzzStats {
  int Loaded = 0;
  int Refused = 0;
};

void Feed(const std::string& Data, TFuzzStats& Stats) {
  TAlgorithm Alg;
  try {
    LoadFromString(Alg, Data);
    ++Stats.Loaded;
  } catch (const Exception&) {
    ++Stats.Refused;
  }
  // Whatever was read stays a sound model: counted right, and savable
  // (every byte read from a file decodes to a character a file can hold).
  ASSERT_EQ(Alg.GetBlockCount(), CountedBlocks(Alg.GetRoot()));
  ASSERT_NO_THROW(SaveToString(Alg));

  TMemoryStream S(Data.data(), Data.size());
  StreamContainsBagWith(&S, "Algorithm");
  S.SetPosition(0);
  TBag Bag(&S);
  TObjectPocket Tree;
  try {
    Bag.GetPocketContents(Tree);
  } catch (const Exception&) {
  }
}

std::string WithInt(std::string Data, size_t At, int32_t Value) {
  for (size_t I = 0; I < 4 && At + I < Data.size(); ++I)
    Data[At + I] = static_cast<char>(static_cast<uint32_t>(Value) >> (8 * I));
  return Data;
}

std::unique_ptr<TAlgorithm> MakeDeepAlgorithm() {
  auto Alg = std::make_unique<TAlgorithm>();
  TCompoundAlgBlock* Body = Alg->GetRoot()->GetBody();
  for (int I = 1; I < AlgMaxBlockCount; ++I) {
    auto* Loop = TAlgBlock::Create<TWhileAlgBlock>(Body);
    Loop->GetText().Add("A<" + std::to_string(I));
    Body = Loop->GetBody();
  }
  return Alg;
}

} // namespace

TEST(PersistenceFuzz, DamagedFilesLoadOrFailCleanly) {
  std::vector<std::string> Samples;
  Samples.push_back(SaveToString(*MakeEveryKindAlgorithm()));
  Samples.push_back(SaveToString(*MakeStraightAlgorithm()));
  TAlgorithm Empty;
  Samples.push_back(SaveToString(Empty));
  std::mt19937 Random(20240613); // fixed: a failure must reproduce
  const auto Below = [&](size_t N) { return static_cast<size_t>(Random() % N); };
  TFuzzStats Stats;

  for (const std::string& Good : Samples) {
    const int RefusedBefore = Stats.Refused;
    Feed(Good, Stats);
    ASSERT_EQ(Stats.Refused, RefusedBefore);
    for (size_t Len = 0; Len < Good.size(); ++Len)
      Feed(Good.substr(0, Len), Stats);
    // Every 32-bit field (and every other offset) set to the sizes that break
    // naive readers.
    const int32_t Sizes[] = {-1, INT32_MIN, INT32_MAX, 0x7E000000};
    for (size_t At = 0; At + 4 <= Good.size(); ++At)
      for (size_t K : {At % 4, (At + 2) % 4})
        Feed(WithInt(Good, At, Sizes[K]), Stats);
    for (int I = 0; I < 500; ++I) {
      std::string D = Good;
      D[Below(D.size())] ^= static_cast<char>(1 << Below(8));
      Feed(D, Stats);
    }
    for (int I = 0; I < 300; ++I) {
      std::string D = Good;
      for (size_t K = 1 + Below(4); K > 0; --K)
        D[Below(D.size())] = static_cast<char>(Random());
      Feed(D, Stats);
    }
    for (int I = 0; I < 200; ++I) {
      std::string D = Good;
      const size_t At = Below(D.size());
      if (I % 2)
        D.insert(At, 1 + Below(8), static_cast<char>(Random()));
      else
        D.erase(At, 1 + Below(8));
      Feed(D, Stats);
    }
  }

  // Garbage, some of it behind a plausible magic.
  for (int I = 0; I < 300; ++I) {
    std::string D(Below(200), '\0');
    for (char& C : D)
      C = static_cast<char>(Random());
    if (I % 2)
      D = "BAG\x1A" + D;
    Feed(D, Stats);
  }

  // Deep nesting at the block limit loads; damaged, it fails cleanly too.
  const std::string Deep = SaveToString(*MakeDeepAlgorithm());
  const int RefusedBefore = Stats.Refused;
  Feed(Deep, Stats);
  ASSERT_EQ(Stats.Refused, RefusedBefore);
  for (int I = 0; I < 12; ++I) {
    std::string D = Deep;
    D[Below(D.size())] ^= static_cast<char>(1 << Below(8));
    Feed(D.substr(0, D.size() - Below(D.size() / 4)), Stats);
  }

  // Both outcomes occur: some damage goes unnoticed (a changed letter in a
  // text), most does not.
  EXPECT_GT(Stats.Loaded, int(Samples.size()));
  EXPECT_GT(Stats.Refused, 1000);
  EXPECT_GT(Stats.Loaded + Stats.Refused, 7000);
}
