#include "Flowmodel_LineCheck.h"

#include "Flowmodel_Kinds.h"
#include "Flowmodel_Main.h"

namespace Deskbay {

std::optional<TLineRole> LineRoleOfKind(TAlgBlockKind Kind) {
  switch (Kind) {
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
    return std::nullopt;
  case TAlgBlockKind::Computation:
    return TLineRole::Computation;
  case TAlgBlockKind::InputOutput:
    return TLineRole::InputOutput;
  case TAlgBlockKind::Branch:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
    return TLineRole::Condition;
  case TAlgBlockKind::ForLoop:
    return TLineRole::CountingLoop;
  }
  return std::nullopt;
}

std::vector<TLineProblem> AlgBlockLineProblems(const TAlgBlock& Block) {
  const std::optional<TLineRole> Role = LineRoleOfKind(Block.GetKind());
  if (!Role)
    return {};
  return CheckLines(*Role, Block.GetText().Lines());
}

const std::vector<TLineProblem>& TAlgLineCheck::Problems(const TAlgBlock& Block) {
  const uint64_t Stamp = Block.GetText().GetChangeStamp();
  const TAlgBlockKind Kind = Block.GetKind();
  auto [It, Added] = FEntries.try_emplace(&Block);
  TEntry& E = It->second;
  if (Added || E.Stamp != Stamp || E.Kind != Kind) {
    E.Stamp = Stamp;
    E.Kind = Kind;
    E.Problems = AlgBlockLineProblems(Block);
    ++FReadCount;
  }
  E.Asked = true;
  return E.Problems;
}

void TAlgLineCheck::Sweep() {
  std::erase_if(FEntries, [](const auto& Item) { return !Item.second.Asked; });
  for (auto& [Block, E] : FEntries)
    E.Asked = false;
}

} // namespace Deskbay
