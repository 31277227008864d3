// Memory taken by loading a file, counted by the allocator: this program
// replaces the global operator new and delete, so it is a test program of
// its own.

#include "Flowmodel/Flowmodel_Main.h"

#include "Corekit/MiscUtils_Bag.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> LiveBytes{0};
std::atomic<size_t> PeakBytes{0};

void* Allocate(size_t Size) {
  void* P = std::malloc(Size ? Size : 1);
  if (!P)
    throw std::bad_alloc();
  const size_t Live = LiveBytes += malloc_usable_size(P);
  size_t Peak = PeakBytes;
  while (Live > Peak && !PeakBytes.compare_exchange_weak(Peak, Live)) {
  }
  return P;
}

void Release(void* P) {
  if (P) {
    LiveBytes -= malloc_usable_size(P);
    std::free(P);
  }
}

} // namespace

void* operator new(size_t Size) {
  return Allocate(Size);
}
void* operator new[](size_t Size) {
  return Allocate(Size);
}
void operator delete(void* P) noexcept {
  Release(P);
}
void operator delete[](void* P) noexcept {
  Release(P);
}
void operator delete(void* P, size_t) noexcept {
  Release(P);
}
void operator delete[](void* P, size_t) noexcept {
  Release(P);
}

using namespace Deskbay;

TEST(LoadMemory, DeeplyNestedLargeFilesLoadInMemoryProportionalToTheirSize) {
  // 90 loops, one inside the other, around one block with a 4 MB line.
  std::string File;
  {
    TAlgorithm Alg;
    TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
    for (int I = 0; I < 90; ++I)
      Body = static_cast<TWhileAlgBlock*>(TWhileAlgBlock::Class.Create(Body))->GetBody();
    TBasicAlgBlock::Class.Create(Body)->GetText().Add("X=" + std::string(4 << 20, '1'));
    TMemoryStream S;
    SaveObjectToStream(&Alg, &S);
    File.assign(S.GetBytes().begin(), S.GetBytes().end());
  }
  TMemoryStream S(File.data(), File.size());
  TAlgorithm Loaded;
  const size_t Before = LiveBytes;
  PeakBytes = Before;
  LoadObjectFromStream(&Loaded, &S);
  const size_t Used = PeakBytes - Before;
  EXPECT_EQ(Loaded.GetBlockCount(), 92); // the root too
  // The line itself is held a few times on its way into the model (as read,
  // as converted, in the block); a copy per level of nesting would be 90.
  EXPECT_LT(Used, 8 * File.size()) << Used << " bytes for a file of " << File.size();
}

TEST(LoadMemory, LayingOutAHugeLineTakesMemoryForWhatShowsOnly) {
  TAlgorithm Alg;
  TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody())
      ->GetText()
      .Add("X=" + std::string(20 << 20, '1'));
  TWhileAlgBlock::Class.Create(Alg.GetRoot()->GetBody())
      ->GetText()
      .Add("X<" + std::string(20 << 20, '2'));
  const size_t Before = LiveBytes;
  PeakBytes = Before;
  {
    TCompositeImage Image;
    Alg.GetRoot()->Render(Image);
  }
  const size_t Used = PeakBytes - Before;
  EXPECT_LT(Used, 1u << 20) << Used << " bytes to lay out two 20 MB lines";
}
