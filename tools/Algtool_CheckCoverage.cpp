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
    if (const auto* If = dynamic_cast<const TIfAlgBlock*>(FPrevious)) {
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
    if (const auto* Loop = dynamic_cast<const TContainerAlgBlock*>(FPrevious);
        Loop && !dynamic_cast<const TRootAlgBlock*>(Loop) && Inside(Loop->GetBody(), Block))
      ++FPasses[Loop];
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
    if (const auto* Loop = dynamic_cast<const TContainerAlgBlock*>(Block);
        Loop && !dynamic_cast<const TRootAlgBlock*>(Loop))
      FPasses.try_emplace(Loop, 0);
    FPrevious = Block;
  }
};

void CollectGaps(const TAlgBlock* Block, const std::map<const TAlgBlock*, TWays>& Ways,
                 std::vector<std::string>& Gaps) {
  const auto Found = Ways.find(Block);
  const TWays W = Found == Ways.end() ? TWays() : Found->second;
  const std::string Name = DescribeBlock(Block);
  if (dynamic_cast<const TIfAlgBlock*>(Block)) {
    if (!W.Yes)
      Gaps.push_back(Name + ": нет случая, где условие выполнено");
    if (!W.No)
      Gaps.push_back(Name + ": нет случая, где условие не выполнено");
  } else if (dynamic_cast<const TContainerAlgBlock*>(Block) &&
             !dynamic_cast<const TRootAlgBlock*>(Block)) {
    if (!W.Zero && !dynamic_cast<const TUntilAlgBlock*>(Block))
      Gaps.push_back(Name + ": нет случая, где цикл не выполняется ни разу");
    if (!W.Several)
      Gaps.push_back(Name + ": нет случая, где цикл выполняется несколько раз");
  }
  if (const auto* If = dynamic_cast<const TIfAlgBlock*>(Block)) {
    CollectGaps(If->GetYesBranch(), Ways, Gaps);
    CollectGaps(If->GetNoBranch(), Ways, Gaps);
    return;
  }
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
