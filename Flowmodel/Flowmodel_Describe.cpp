#include "Flowmodel_Describe.h"

#include "Flowmodel_Main.h"

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

} // namespace Deskbay
