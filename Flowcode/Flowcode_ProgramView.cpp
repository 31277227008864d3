#include "Flowcode_ProgramView.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <algorithm>

namespace Deskbay {

std::vector<TCodeLineRange> CodeLinesOfBlocks(const TProgramText& Text,
                                              const std::vector<const TAlgBlock*>& Blocks) {
  std::vector<TCodeLineRange> Ranges;
  for (const TAlgBlock* B : Blocks) {
    TCodeLineRange R;
    if (B && Text.GetBlockLines(B, R.First, R.Last))
      Ranges.push_back(R);
  }
  std::sort(Ranges.begin(), Ranges.end(),
            [](const TCodeLineRange& A, const TCodeLineRange& B) { return A.First < B.First; });
  std::vector<TCodeLineRange> Joined;
  for (const TCodeLineRange& R : Ranges)
    if (!Joined.empty() && R.First <= Joined.back().Last + 1)
      Joined.back().Last = std::max(Joined.back().Last, R.Last);
    else
      Joined.push_back(R);
  return Joined;
}

TAlgBlock* CodeLineSelectableBlock(const TProgramText& Text, int Line) {
  auto* B = const_cast<TAlgBlock*>(Text.GetLineBlock(Line));
  while (B && B->GetKind() == TAlgBlockKind::Sequence)
    B = B->GetParent();
  if (!B || !B->GetParent())
    return nullptr; // the root: the program's frame
  return B;
}

std::string CodeLanguageFileFilter(TCodeLanguage Language) {
  const char* Name = Language == TCodeLanguage::Python   ? "Python"
                     : Language == TCodeLanguage::Pascal ? "Pascal"
                                                         : "C++";
  return std::string("Программа на ") + Name + " (*" + CodeLanguageExtension(Language) + ")";
}

std::string SuggestedProgramFileName(const std::string& AlgorithmFileName, TCodeLanguage Language) {
  const size_t Slash = AlgorithmFileName.rfind('/');
  const size_t NameStart = Slash == std::string::npos ? 0 : Slash + 1;
  std::string Stem = AlgorithmFileName.substr(NameStart);
  const size_t Dot = Stem.rfind('.');
  if (Dot != std::string::npos && Dot > 0)
    Stem.erase(Dot);
  if (Stem.empty())
    Stem = "program";
  return AlgorithmFileName.substr(0, NameStart) + Stem + CodeLanguageExtension(Language);
}

std::string ProgramFileBytes(const TProgramText& Text) {
  return Text.GetText();
}

} // namespace Deskbay
