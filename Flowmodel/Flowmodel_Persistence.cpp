// Saving and loading of algorithms: each class writes a format number and
// its own fields after its parent class's, and nests its sub-blocks as
// complete records with empty item names. Block texts are UTF-8 in the
// model and Windows-1251 in files.

#include "Flowmodel_Files.h"
#include "Flowmodel_Main.h"

#include "Corekit/CodePage1251.h"

#include <memory>

namespace Deskbay {

namespace {

constexpr uint32_t AlgFormat = 1;

void CheckFormat(TBag& Bag) {
  const int32_t Found = ReadStreamFormat(&Bag);
  if (Found != static_cast<int32_t>(AlgFormat))
    throw EAlgFormatError(Found);
}

std::string EncodeLine(const std::string& Line) {
  std::string Result;
  TCp1251Failure Failure;
  if (TryUtf8ToCp1251(Line, Result, &Failure))
    return Result;
  if (Failure.CodePoint != 0)
    throw Exception(Format("Символ \"%s\" (U+%04X) нельзя сохранить в файле алгоритма.",
                           Line.substr(Failure.BadOffset, Failure.BadLength).c_str(),
                           static_cast<unsigned>(Failure.CodePoint)));
  throw Exception(Format("Неверная последовательность байтов (0x%02X) в тексте блока: "
                         "алгоритм нельзя сохранить.",
                         static_cast<unsigned>(static_cast<uint8_t>(Line[Failure.BadOffset]))));
}

// Refuses before the first byte of data is written, so a text the file
// cannot hold never leaves half an algorithm behind.
void CheckTextsEncodable(const TAlgBlock* Root) {
  std::vector<const TAlgBlock*> Pending{Root};
  while (!Pending.empty()) {
    const TAlgBlock* Block = Pending.back();
    Pending.pop_back();
    for (const std::string& Line : Block->GetText().Lines())
      EncodeLine(Line);
    for (int I = 0; I < Block->GetBlockCount(); ++I)
      Pending.push_back(Block->GetBlocks(I));
  }
}

} // namespace

// --- blocks ---

void TAlgBlock::SaveData(TBag& Bag) {
  WriteStreamFormat(&Bag, AlgFormat);
  std::vector<std::string> Lines;
  for (const std::string& Line : FText.Lines())
    Lines.push_back(EncodeLine(Line));
  WriteStreamSizedStrings(&Bag, Lines);
}

void TAlgBlock::LoadData(TBag& Bag) {
  CheckFormat(Bag);
  std::vector<std::string> Lines;
  ReadStreamSizedStrings(&Bag, Lines);
  FText.Clear();
  for (const std::string& Line : Lines)
    FText.Add(Cp1251ToUtf8(Line));
  Changed();
}

void TCompoundAlgBlock::SaveData(TBag& Bag) {
  TAlgBlock::SaveData(Bag);
  WriteStreamFormat(&Bag, AlgFormat);
  WriteStreamInteger(&Bag, GetBlockCount());
  for (TAlgBlock* Child : ChildrenOf(this))
    Bag.EmbedObject(Child, "");
}

void TCompoundAlgBlock::LoadData(TBag& Bag) {
  TAlgBlock::LoadData(Bag);
  CheckFormat(Bag);
  const int32_t Count = ReadStreamInteger(&Bag);
  Clear();
  // Each child is made from the class its record names; the block limit
  // stops a file with too many of them partway. The records are read where
  // they lie: a copy of each would cost the file's size once per level of
  // nesting.
  for (int32_t I = 0; I < Count; ++I)
    Bag.ExtractNewObject([this](const std::string& StoredClassName) -> TObject* {
      return AlgFindBlockClass(StoredClassName)->Create(this);
    });
}

void TContainerAlgBlock::SaveData(TBag& Bag) {
  TAlgBlock::SaveData(Bag);
  WriteStreamFormat(&Bag, AlgFormat);
  Bag.EmbedObject(FBody, "");
}

void TContainerAlgBlock::LoadData(TBag& Bag) {
  TAlgBlock::LoadData(Bag);
  CheckFormat(Bag);
  Bag.ExtractObject(FBody);
}

void TIfAlgBlock::SaveData(TBag& Bag) {
  TAlgBlock::SaveData(Bag);
  WriteStreamFormat(&Bag, AlgFormat);
  Bag.EmbedObject(FYesBranch, "");
  Bag.EmbedObject(FNoBranch, "");
}

void TIfAlgBlock::LoadData(TBag& Bag) {
  TAlgBlock::LoadData(Bag);
  CheckFormat(Bag);
  Bag.ExtractObject(FYesBranch);
  Bag.ExtractObject(FNoBranch);
}

// --- TAlgorithm ---

void TAlgorithm::SaveData(TBag& Bag) {
  CheckTextsEncodable(FRoot);
  WriteStreamFormat(&Bag, AlgFormat);
  Bag.EmbedObject(FRoot, "");
}

void TAlgorithm::LoadData(TBag& Bag) {
  // Views hear of the whole load once, even from callers without a bracket.
  TModifyGuard Guard(this);
  CheckFormat(Bag);
  Bag.ExtractObject(FRoot);
}

} // namespace Deskbay
