#include "Corekit/InteractionHooks.h"
#include "Corekit/Canvas.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

struct TFixedAnswer : IInputProvider {
  explicit TFixedAnswer(std::string Answer) : Answer(std::move(Answer)) {}
  bool InputString(const std::string&, const std::string&, std::string& Value,
                   const TInputStringOptions&) override {
    Value = Answer;
    return true;
  }
  std::string Answer;
};

struct TAlwaysAbort : IAbortPoller {
  bool AbortRequested() override { return true; }
};

struct TWideText : ITextMetrics {
  int TextWidth(const TFont&, std::string_view Text) override {
    return 100 * static_cast<int>(Text.size());
  }
  int LineHeight(const TFont&) override { return 50; }
};

} // namespace

// A host that installs a hook for a while (a test inside the GUI, algtool
// inside a test) puts back whatever was there before.
TEST(InteractionHooks, InstallersHandBackThePreviousHookSoHostsNest) {
  TFixedAnswer Outer("outer"), Inner("inner");
  IInputProvider* Before = SetInputProvider(&Outer);
  EXPECT_EQ(SetInputProvider(&Inner), &Outer);
  std::string Value;
  EXPECT_TRUE(InputString("", "", Value, {}));
  EXPECT_EQ(Value, "inner");
  EXPECT_EQ(SetInputProvider(&Outer), &Inner);
  EXPECT_TRUE(InputString("", "", Value, {}));
  EXPECT_EQ(Value, "outer");
  EXPECT_EQ(SetInputProvider(Before), &Outer);

  TAlwaysAbort Poller;
  IAbortPoller* PollerBefore = SetAbortPoller(&Poller);
  EXPECT_TRUE(CurrentThreadAbortRequested()) << "the first poll after installing asks at once";
  EXPECT_EQ(SetAbortPoller(PollerBefore), &Poller);

  TWideText Wide;
  ITextMetrics* MetricsBefore = SetTextMetrics(&Wide);
  EXPECT_EQ(GetTextMetrics().TextWidth(TFont(), "ab"), 200);
  EXPECT_EQ(SetTextMetrics(MetricsBefore), &Wide);
  EXPECT_NE(&GetTextMetrics(), &Wide);
}
