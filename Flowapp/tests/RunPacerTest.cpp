// The pace of a Run in slices, on a clock the test turns: how long a slice
// steps, what ends it, and when the views are due.

#include "Flowapp/Flowapp_RunPacer.h"

#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

struct TEndlessRun {
  // I=0, then for ever I=I+1; and a block that fails once I reaches Limit.
  explicit TEndlessRun(const std::string& Limit = "") {
    TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
    TBasicAlgBlock::Class.Create(Body)->GetText().Add("I=0");
    auto* Loop = static_cast<TWhileAlgBlock*>(TWhileAlgBlock::Class.Create(Body));
    Loop->GetText().Add("I>=0");
    TBasicAlgBlock::Class.Create(Loop->GetBody())->GetText().Add("I=I+1");
    if (!Limit.empty()) {
      auto* Branch = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.Create(Loop->GetBody()));
      Branch->GetText().Add("I=" + Limit);
      TBasicAlgBlock::Class.Create(Branch->GetYesBranch())->GetText().Add("X=1/0");
    }
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
  }
  TAlgorithm Alg;
  TAlgMachine Machine;
};

TEST(RunPacer, ASliceStepsUntilItsTimeIsUsedOrItIsToldToStop) {
  TEndlessRun Run;
  int64_t Now = 0, Reads = 0;
  // Each look at the clock takes half a millisecond of it: the reads come
  // neither too often nor too seldom, and stay 16 steps apart.
  TAlgRunPacer Pacer([&] {
    ++Reads;
    return Now += 500;
  });
  int64_t Steps = 0;
  Reads = 0;
  Pacer.RunSlice(Run.Machine, Steps, nullptr);
  const int64_t Looks = TAlgRunPacer::SliceMicroseconds / 500;
  EXPECT_EQ(Reads, 1 + Looks);
  EXPECT_EQ(Steps, Looks * TAlgRunPacer::FirstStepsPerRead);
  EXPECT_EQ(Run.Machine.GetState(), amsReady);

  // A stop is heard at the next look at the clock.
  int Asked = 0;
  Steps = 0;
  Pacer.RunSlice(Run.Machine, Steps, [&] { return ++Asked == 3; });
  EXPECT_EQ(Asked, 3);
  EXPECT_EQ(Steps, 3 * int64_t(TAlgRunPacer::FirstStepsPerRead));
}

TEST(RunPacer, TheClockIsReadSeldomerForQuickStepsAndOftenerForSlowOnes) {
  TEndlessRun Run;
  int64_t Now = 0;
  int Reads = 0;
  // Quick steps (50 microseconds between reads; the pacer's own first read
  // is one of them): the reads spread out, by doubling, to the most steps
  // between two; then a slow read ends the slice and halves them again.
  TAlgRunPacer Pacer([&] {
    ++Reads;
    return Now += Reads <= 9 ? 50 : TAlgRunPacer::SliceMicroseconds;
  });
  int64_t Steps = 0;
  Pacer.RunSlice(Run.Machine, Steps, nullptr);
  EXPECT_EQ(Steps, 16 + 32 + 64 + 128 + 256 + 512 + 1024 + 1024);
  EXPECT_EQ(Pacer.GetStepsPerRead(), TAlgRunPacer::MaxStepsPerRead / 2);

  // Slow steps (5 ms between reads of 16 steps): halved at each read, so
  // the slice overshoots by little: 16 + 8 + 4 + 2 steps in 20 ms.
  TEndlessRun Slow;
  TAlgRunPacer SlowPacer([&] { return Now += 5000; });
  Steps = 0;
  SlowPacer.RunSlice(Slow.Machine, Steps, nullptr);
  EXPECT_EQ(Steps, 16 + 8 + 4 + 2);
  EXPECT_EQ(SlowPacer.GetStepsPerRead(), 1u);
}

TEST(RunPacer, ASliceEndsWithTheRunAndAnErrorPassesOnWithTheStepsBeforeIt) {
  // Steps: the root, I=0, then per pass the loop test, I=I+1 and the branch.
  TEndlessRun Failing("5");
  int64_t Now = 0;
  TAlgRunPacer Pacer([&] { return Now; });
  int64_t Steps = 0;
  EXPECT_THROW(Pacer.RunSlice(Failing.Machine, Steps, nullptr), Exception);
  EXPECT_EQ(Failing.Machine.GetState(), amsError);
  EXPECT_EQ(Steps, 2 + 5 * 3);

  TAlgorithm Empty;
  TAlgMachine Machine;
  Machine.InitComplete();
  Machine.SetCurrentBlock(Empty.GetRoot());
  Steps = 0;
  Pacer.RunSlice(Machine, Steps, nullptr);
  EXPECT_EQ(Machine.GetState(), amsDone);
  EXPECT_EQ(Steps, 1);
}

TEST(RunPacer, TheViewsAreDueAfterARunsFirstSliceAndThenTenTimesASecond) {
  int64_t Now = 5000000;
  TAlgRunPacer Pacer([&] { return Now; });
  Pacer.BeginRun();
  EXPECT_TRUE(Pacer.ViewsDue());
  Pacer.ViewsShown();
  Now += TAlgRunPacer::ViewMicroseconds - 1;
  EXPECT_FALSE(Pacer.ViewsDue());
  Now += 1;
  EXPECT_TRUE(Pacer.ViewsDue());
  static_assert(TAlgRunPacer::ViewMicroseconds + TAlgRunPacer::SliceMicroseconds <= 250000,
                "the views follow a run at least four times a second");
}

} // namespace
