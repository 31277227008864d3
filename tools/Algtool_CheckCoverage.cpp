#include "Algtool_CheckCoverage.h"

#include "Flowcheck/Flowcheck_Check.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Control.h"
#include "Flowrun/Flowrun_Main.h"

#include <map>

namespace Deskbay::Algtool {

namespace {

bool Inside(const TAlgBlock* Part, const TAlgBlock* Block) {
  return Block && (Part == Block || Part->Contains(Block));
}

struct TWays {
  bool Yes = false, No = false;       // a branch
  bool Zero = false, Several = false; // a loop
};

// What ways through a block the cases should take.
enum class TWayKind {
  None,     // one way only
  Branch,   // both of its branches
  Loop,     // no pass and several passes
  LoopOnce, // several passes (the body goes at least once)
};

TWayKind WayKindOf(const TAlgBlock* Block) {
  switch (Block->GetKind()) {
  case TAlgBlockKind::Branch:
    return TWayKind::Branch;
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::ForLoop:
    return TWayKind::Loop;
  case TAlgBlockKind::UntilLoop:
    return TWayKind::LoopOnce;
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
    return TWayKind::None;
  }
  return TWayKind::None;
}

bool IsLoop(const TAlgBlock* Block) {
  const TWayKind Kind = Block ? WayKindOf(Block) : TWayKind::None;
  return Kind == TWayKind::Loop || Kind == TWayKind::LoopOnce;
}

// Follows the blocks a run steps through: after a branch's step the next
// block lies in one of its branches; a loop's head is followed by its body
// for every pass, and an entry into the loop ends when the run goes past it.
class TWayRecorder : public TRunObserver {
public:
  explicit TWayRecorder(std::map<const TAlgBlock*, TWays>& Ways) : FWays(Ways) {}

  void BeforeStep(TAlgMachine& Machine, int64_t) override { See(Machine.GetCurrentBlock()); }
  void Finish() { See(nullptr); }

private:
  std::map<const TAlgBlock*, TWays>& FWays;
  const TAlgBlock* FPrevious = nullptr;
  std::map<const TAlgBlock*, int64_t> FPasses; // loops entered and not yet left

  void See(const TAlgBlock* Block) {
    if (FPrevious && WayKindOf(FPrevious) == TWayKind::Branch) {
      const auto* If = static_cast<const TIfAlgBlock*>(FPrevious);
      const TAlgBlock* Yes = If->GetYesBranch();
      const TAlgBlock* No = If->GetNoBranch();
      // An empty way has no step of its own: going past the branch took it.
      if (Inside(Yes, Block))
        FWays[If].Yes = true;
      else if (Inside(No, Block))
        FWays[If].No = true;
      else if (Yes->GetBlockCount() == 0 && No->GetBlockCount() > 0)
        FWays[If].Yes = true;
      else if (No->GetBlockCount() == 0 && Yes->GetBlockCount() > 0)
        FWays[If].No = true;
    }
    if (IsLoop(FPrevious) && Inside(AlgBodyOf(FPrevious), Block))
      ++FPasses[FPrevious];
    // Loops the run has left: their entry is over.
    for (auto It = FPasses.begin(); It != FPasses.end();) {
      if (Inside(It->first, Block)) {
        ++It;
        continue;
      }
      TWays& W = FWays[It->first];
      W.Zero = W.Zero || It->second == 0;
      W.Several = W.Several || It->second >= 2;
      It = FPasses.erase(It);
    }
    if (IsLoop(Block))
      FPasses.try_emplace(Block, 0);
    FPrevious = Block;
  }
};

void CollectGaps(const TAlgBlock* Block, const std::map<const TAlgBlock*, TWays>& Ways,
                 std::vector<std::string>& Gaps) {
  const auto Found = Ways.find(Block);
  const TWays W = Found == Ways.end() ? TWays() : Found->second;
  const std::string Name = DescribeBlock(Block);
  const TWayKind Kind = WayKindOf(Block);
  if (Kind == TWayKind::Branch) {
    if (!W.Yes)
      Gaps.push_back(Name + ": нет случая, где условие выполнено");
    if (!W.No)
      Gaps.push_back(Name + ": нет случая, где условие не выполнено");
  }
  if (Kind == TWayKind::Loop && !W.Zero)
    Gaps.push_back(Name + ": нет случая, где цикл не выполняется ни разу");
  if ((Kind == TWayKind::Loop || Kind == TWayKind::LoopOnce) && !W.Several)
    Gaps.push_back(Name + ": нет случая, где цикл выполняется несколько раз");
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    CollectGaps(Block->GetBlocks(I), Ways, Gaps);
}

} // namespace

std::vector<std::string> ModelCoverageGaps(TAlgorithm& Model, const TTestFile& Tests) {
  std::map<const TAlgBlock*, TWays> Ways;
  for (const TTestCase& Case : Tests.Cases) {
    TWayRecorder Recorder(Ways);
    CheckCase(Model, Case, nullptr, &Recorder);
    Recorder.Finish();
  }
  std::vector<std::string> Gaps;
  CollectGaps(Model.GetRoot(), Ways, Gaps);
  return Gaps;
}

} // namespace Deskbay::Algtool
