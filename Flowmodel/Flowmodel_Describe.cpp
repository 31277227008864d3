#include "Flowmodel_Describe.h"

#include "Flowmodel_Main.h"

#include "Corekit/SysUtils.h"

namespace Deskbay {

std::string BlockKindName(const TAlgBlock* Block) {
  const TAlgBlockKindInfo& Info = AlgBlockKindInfo(Block->GetKind());
  // A class made outside the model goes by its own name.
  return Block->GetClass() == Info.Class ? Info.Name : Block->ClassName();
}

std::string DescribeBlock(const TAlgBlock* Block) {
  std::string S = BlockKindName(Block);
  const TStringList& Text = Block->GetText();
  for (int I = 0; I < Text.GetCount(); ++I) {
    S += I == 0 ? ": " : " | ";
    S += Text.Get(I);
  }
  return S;
}

namespace {

void AddTreeLines(std::vector<std::string>& Lines, const TAlgBlock* Block, int Depth) {
  if (Block->GetKind() != TAlgBlockKind::Sequence) {
    Lines.push_back(std::string(2 * Depth, ' ') + DescribeBlock(Block));
    ++Depth;
  }
  switch (Block->GetKind()) {
  case TAlgBlockKind::Branch: {
    const auto* If = static_cast<const TIfAlgBlock*>(Block);
    Lines.push_back(std::string(2 * Depth, ' ') + "да:");
    AddTreeLines(Lines, If->GetYesBranch(), Depth + 1);
    Lines.push_back(std::string(2 * Depth, ' ') + "нет:");
    AddTreeLines(Lines, If->GetNoBranch(), Depth + 1);
    return;
  }
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
  case TAlgBlockKind::ForLoop:
    break;
  }
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    AddTreeLines(Lines, Block->GetBlocks(I), Depth);
}

} // namespace

std::vector<std::string> BlockTreeLines(const TAlgBlock* Block, int Depth) {
  std::vector<std::string> Lines;
  AddTreeLines(Lines, Block, Depth);
  return Lines;
}

std::string AlgBlocksToText(const std::vector<TAlgBlock*>& Blocks) {
  std::string Text;
  for (const TAlgBlock* Block : Blocks)
    for (const std::string& Line : BlockTreeLines(Block))
      Text += VisibleText(Line) + '\n';
  return Text;
}

} // namespace Deskbay
