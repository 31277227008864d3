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
  // Each look at the clock takes 100 microseconds of it.
  TAlgRunPacer Pacer([&] {
    ++Reads;
    return Now += 100;
  });
  int64_t Steps = 0;
  Reads = 0;
  Pacer.RunSlice(Run.Machine, Steps, nullptr);
  // One read to start, then one every 16 steps until 20 ms have passed.
  const int64_t Looks = TAlgRunPacer::SliceMicroseconds / 100;
  EXPECT_EQ(Reads, 1 + Looks);
  EXPECT_EQ(Steps, Looks * TAlgRunPacer::StepsPerClockRead);
  EXPECT_EQ(Run.Machine.GetState(), amsReady);

  // A stop is heard at the next look at the clock.
  int Asked = 0;
  Steps = 0;
  Pacer.RunSlice(Run.Machine, Steps, [&] { return ++Asked == 3; });
  EXPECT_EQ(Asked, 3);
  EXPECT_EQ(Steps, 3 * int64_t(TAlgRunPacer::StepsPerClockRead));
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
