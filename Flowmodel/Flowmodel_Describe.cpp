#include "Flowmodel_Describe.h"

#include "Flowmodel_Main.h"

#include "Corekit/SysUtils.h"

namespace Deskbay {

std::string BlockKindName(const TAlgBlock* Block) {
  const TAlgBlockClass* C = Block->GetClass();
  if (C == &TRootAlgBlock::Class)
    return "Алгоритм";
  if (C == &TBasicAlgBlock::Class)
    return "Блок вычислений";
  if (C == &TIOAlgBlock::Class)
    return "Ввод-вывод";
  if (C == &TIfAlgBlock::Class)
    return "Ветвление";
  if (C == &TWhileAlgBlock::Class)
    return "Цикл с предусловием";
  if (C == &TForAlgBlock::Class)
    return "Цикл с параметром";
  if (C == &TUntilAlgBlock::Class)
    return "Цикл с постусловием";
  if (C == &TCompoundAlgBlock::Class)
    return "Последовательность";
  return Block->ClassName();
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
  const bool Sequence = Block->GetClass() == &TCompoundAlgBlock::Class;
  if (!Sequence) {
    Lines.push_back(std::string(2 * Depth, ' ') + DescribeBlock(Block));
    ++Depth;
  }
  if (const auto* If = dynamic_cast<const TIfAlgBlock*>(Block)) {
    Lines.push_back(std::string(2 * Depth, ' ') + "да:");
    AddTreeLines(Lines, If->GetYesBranch(), Depth + 1);
    Lines.push_back(std::string(2 * Depth, ' ') + "нет:");
    AddTreeLines(Lines, If->GetNoBranch(), Depth + 1);
    return;
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
