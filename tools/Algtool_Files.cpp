#include "Algtool_Files.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"
#include "Corekit/SvgCanvas.h"
#include "Corekit/SysUtils.h"
#include "Corekit/VisualUtils.h"

namespace Deskbay::Algtool {

void SaveAlgorithmFile(TAlgorithm& Alg, const std::string& FileName) {
  SaveObjectToFile(&Alg, FileName);
}

void RenderAlgorithmSvg(TAlgorithm& Alg, const std::string& FileName) {
  TCompositeImage Image;
  Alg.GetRoot()->Render(Image);
  const std::string Svg = CompositeImageToSvg(Image);
  SaveFileAtomically(FileName, [&Svg](TStream& File) {
    File.WriteBuffer(Svg.data(), static_cast<int64_t>(Svg.size()));
  });
}

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

std::string MessageLines(const std::string& Message) {
  std::string S;
  for (size_t I = 0; I < Message.size(); ++I) {
    if (Message[I] == '\r') {
      S += '\n';
      if (I + 1 < Message.size() && Message[I + 1] == '\n')
        ++I;
    } else {
      S += Message[I];
    }
  }
  return S;
}

} // namespace Deskbay::Algtool
