#include "Corekit/tests/FileBytes.h"
#include "PersistenceSamples.h"

#include "Flowmodel/Flowmodel_Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// The same bytes with the first Old (of the same length) replaced by New.
std::string Patched(std::string Data, const std::string& Old, const std::string& New) {
  const size_t At = Data.find(Old);
  EXPECT_NE(At, std::string::npos) << Old;
  if (At != std::string::npos)
    Data.replace(At, Old.size(), New);
  return Data;
}

// An algorithm file written record by record, with Count statements in the
// root's body: more than the model itself would ever let one hold.
std::string FileWithStatements(int Count) {
  TMemoryStream S;
  TBag Bag(&S);
  Bag.BeginPack("TAlgorithm");
  WriteStreamFormat(&Bag, 1);
  TBag* Root = Bag.BeginEmbedObject("TRootAlgBlock", "");
  WriteStreamFormat(Root, 1);
  WriteStreamSizedStrings(Root, std::vector<std::string>{"\xED\xE0\xF7\xE0\xEB\xEE"});
  WriteStreamFormat(Root, 1);
  TBag* Body = Root->BeginEmbedObject("TCompoundAlgBlock", "");
  WriteStreamFormat(Body, 1);
  WriteStreamSizedStrings(Body, std::vector<std::string>{});
  WriteStreamFormat(Body, 1);
  WriteStreamInteger(Body, Count);
  for (int I = 0; I < Count; ++I) {
    TBag* Statement = Body->BeginEmbedObject("TBasicAlgBlock", "");
    WriteStreamFormat(Statement, 1);
    WriteStreamSizedStrings(Statement, std::vector<std::string>{"A=" + std::to_string(I)});
    Body->EndEmbedObject(false);
  }
  Root->EndEmbedObject(false);
  Bag.EndEmbedObject(false);
  Bag.EndPack(false);
  return std::string(S.GetBytes().begin(), S.GetBytes().end());
}

} // namespace

TEST(Persistence, ANewAlgorithmSavesAsExactly181Bytes) {
  const std::string Body = "BAG\x1A" + Sized("CompoundAlgBlock") + Le32(28) + Le32(16) + Le32(1) +
                           Le32(0) + Le32(1) + Le32(0) + "PCK\x1A" + Le32(0);
  const std::string Root = "BAG\x1A" + Sized("RootAlgBlock") + Le32(105) + Le32(78) + Le32(1) +
                           Le32(1) + Sized("\xED\xE0\xF7\xE0\xEB\xEE") + Le32(1) + Body +
                           "PCK\x1A" + Le32(1) + Sized("OBJ") + Sized("") + Le32(22);
  const std::string Expected = "BAG\x1A" + Sized("Algorithm") + Le32(160) + Le32(133) + Le32(1) +
                               Root + "PCK\x1A" + Le32(1) + Sized("OBJ") + Sized("") + Le32(4);
  ASSERT_EQ(Body.size(), 56u);
  ASSERT_EQ(Root.size(), 129u);
  ASSERT_EQ(Expected.size(), 181u);

  TAlgorithm Alg;
  EXPECT_EQ(SaveToString(Alg), Expected);

  TAlgorithm Loaded;
  LoadFromString(Loaded, Expected);
  EXPECT_EQ(Loaded.GetBlockCount(), 1);
  EXPECT_EQ(Describe(Loaded.GetRoot()), "TRootAlgBlock|начало[TCompoundAlgBlock]");
}

TEST(Persistence, EveryBlockKindRoundTripsToTheSameTreeAndTheSameBytes) {
  auto Alg = MakeEveryKindAlgorithm();
  const std::string Saved = SaveToString(*Alg);
  TMemoryStream Probe(Saved.data(), Saved.size());
  EXPECT_TRUE(StreamContainsBagWith(&Probe, "algorithm"));

  TAlgorithm Loaded;
  TAspectLog Log(Loaded);
  LoadFromString(Loaded, Saved);
  EXPECT_EQ(Describe(Loaded.GetRoot()), Describe(Alg->GetRoot()));
  EXPECT_EQ(Loaded.GetBlockCount(), Alg->GetBlockCount());
  EXPECT_EQ(Loaded.GetBlockCount(), 10);
  EXPECT_EQ(Log.Log, std::vector<std::string>{"content"}); // the load is one change
  EXPECT_EQ(SaveToString(Loaded), Saved);

  // The texts are Windows-1251 in the file.
  EXPECT_NE(Saved.find(Sized("\xC2\xE2\xEE\xE4 A")), std::string::npos); // "Ввод A"
  EXPECT_EQ(Saved.find("Ввод"), std::string::npos);
}

TEST(Persistence, PocketsListTheNestedRecordsOfEveryBlock) {
  auto Alg = MakeEveryKindAlgorithm();
  const std::string Saved = SaveToString(*Alg);
  TMemoryStream S(Saved.data(), Saved.size());
  TBag Bag(&S);
  TObjectPocket Tree;
  Bag.GetPocketContents(Tree);
  EXPECT_EQ(Tree.GetStoredClassName(), "Algorithm");
  ASSERT_EQ(Tree.GetComponentCount(), 1);
  TObjectPocket* Root = Tree.GetComponents(0);
  EXPECT_EQ(Root->GetStoredClassName(), "RootAlgBlock");
  TObjectPocket* Body = Root->GetComponents(0);
  ASSERT_EQ(Body->GetComponentCount(), 3);
  TObjectPocket* If = Body->GetComponents(2)->GetComponents(0)->GetComponents(0);
  EXPECT_EQ(If->GetStoredClassName(), "IfAlgBlock");
  EXPECT_EQ(If->GetComponentCount(), 2);
  EXPECT_EQ(If->GetItems(0)->GetName(), "");
}

TEST(Persistence, LoadingReplacesTheBlocksAnAlgorithmHolds) {
  auto Source = MakeStraightAlgorithm();
  const std::string Saved = SaveToString(*Source);
  auto Alg = MakeEveryKindAlgorithm();
  TAlgBlock* Old = Alg->GetRoot()->GetBody()->GetBlocks(1);
  Alg->SelectBlock(Old, true);
  LoadFromString(*Alg, Saved);
  EXPECT_EQ(Describe(Alg->GetRoot()), Describe(Source->GetRoot()));
  EXPECT_EQ(Alg->GetBlockCount(), 4);
  EXPECT_EQ(Alg->GetSelectedBlockCount(), 0); // the freed block left the selection
}

TEST(Persistence, ChildClassNamesAreFoundInAnyLetterCase) {
  TAlgorithm Alg;
  TAlgBlock::Create<TIfAlgBlock>(Alg.GetRoot()->GetBody())->GetText().Add("A>0");
  const std::string Saved = SaveToString(Alg);
  TAlgorithm Loaded;
  LoadFromString(Loaded, Patched(Saved, "IfAlgBlock", "ifalgblock"));
  EXPECT_EQ(Describe(Loaded.GetRoot()),
            "TRootAlgBlock|начало[TCompoundAlgBlock[TIfAlgBlock|A>0[TCompoundAlgBlock,"
            "TCompoundAlgBlock]]]");

  TAlgorithm Failed;
  EXPECT_EQ(MessageOf([&] { LoadFromString(Failed, Patched(Saved, "IfAlgBlock", "NoAlgBlock")); }),
            "AlgBlock class \"TNoAlgBlock\" not found.");
}

TEST(Persistence, FormatNumbersOtherThanOneStopTheLoad) {
  auto Alg = MakeEveryKindAlgorithm();
  const std::string Saved = SaveToString(*Alg);
  // The algorithm's own format number and the one of the first statement.
  std::string Bad = Saved;
  Bad[25] = 2;
  TAlgorithm Loaded;
  EXPECT_EQ(MessageOf([&] { LoadFromString(Loaded, Bad); }), "Assertion failure");
  const size_t At = Saved.find("BasicAlgBlock") + 13 + 8;
  Bad = Saved;
  Bad[At] = 0;
  TAlgorithm Partly;
  EXPECT_EQ(MessageOf([&] { LoadFromString(Partly, Bad); }), "Assertion failure");
  EXPECT_EQ(Partly.GetBlockCount(), 2); // what was read up to the failure stays
}

TEST(Persistence, AFileWithMoreBlocksThanTheLimitFailsPartway) {
  TAlgorithm Full;
  LoadFromString(Full, FileWithStatements(AlgMaxBlockCount - 1));
  EXPECT_EQ(Full.GetBlockCount(), AlgMaxBlockCount);

  TAlgorithm Alg;
  EXPECT_EQ(MessageOf([&] { LoadFromString(Alg, FileWithStatements(AlgMaxBlockCount)); }),
            "Слишком много блоков (предел = 100).");
  EXPECT_EQ(Alg.GetBlockCount(), AlgMaxBlockCount);
}

TEST(Persistence, TextsThatWindows1251CannotHoldAreNotSaved) {
  auto Alg = MakeStraightAlgorithm();
  Alg->GetRoot()->GetBody()->GetBlocks(2)->GetText().Add("Вывод \"☺\"");
  TMemoryStream S;
  EXPECT_EQ(MessageOf([&] { SaveObjectToStream(Alg.get(), &S); }),
            "Символ \"☺\" (U+263A) нельзя сохранить в файле алгоритма.");
  EXPECT_EQ(S.GetSize(), 4 + 4 + 9 + 4 + 4); // the header alone: no algorithm data

  Alg->GetRoot()->GetBody()->GetBlocks(2)->GetText().Put(1, "A=\xC3");
  EXPECT_EQ(MessageOf([&] { SaveObjectToStream(Alg.get(), &S); }),
            "Неверная последовательность байтов (0xC3) в тексте блока: алгоритм нельзя "
            "сохранить.");

  // A file keeps the old contents.
  namespace fs = std::filesystem;
  const fs::path File =
      fs::temp_directory_path() / ("deskbay-persist-" + std::to_string(::getpid()) + ".alg");
  auto Good = MakeStraightAlgorithm();
  SaveObjectToFile(Good.get(), File.string());
  EXPECT_THROW(SaveObjectToFile(Alg.get(), File.string()), Exception);
  TAlgorithm Loaded;
  LoadObjectFromFile(&Loaded, File.string());
  EXPECT_EQ(Describe(Loaded.GetRoot()), Describe(Good->GetRoot()));
  fs::remove(File);
}

TEST(Persistence, TheUnassignedByteSurvivesALoadAndASave) {
  TAlgorithm Alg;
  AddStatement(Alg.GetRoot()->GetBody(), "A=1");
  const std::string Saved = SaveToString(Alg);
  const std::string WithOdd = Patched(Saved, "A=1", "A=\x98");
  TAlgorithm Loaded;
  LoadFromString(Loaded, WithOdd);
  EXPECT_EQ(Loaded.GetRoot()->GetBody()->GetBlocks(0)->GetText().Get(0), "A=\xC2\x98");
  EXPECT_EQ(SaveToString(Loaded), WithOdd);
}

TEST(Persistence, LoadFailuresReachTheUserInRussian) {
  EXPECT_EQ(AlgLoadFailureReason(EReadError(), TAlgDataSource::File),
            "файл обрывается: данные кончаются посреди записи алгоритма.");
  EXPECT_EQ(AlgLoadFailureReason(EAssertionFailed("Bad object format (negative TotalSize)."),
                                 TAlgDataSource::File),
            "данные повреждены: записи алгоритма не согласуются между собой.");
  EXPECT_EQ(AlgLoadFailureReason(EAlgFormatError(7), TAlgDataSource::Clipboard),
            "данные записаны в формате 7, а эта программа читает только формат 1: они из более "
            "новой версии программы или повреждены.");
  // Messages already meant for the user stay as they are.
  EXPECT_EQ(
      AlgLoadFailureReason(Exception("Слишком много блоков (предел = 100)."), TAlgDataSource::File),
      "Слишком много блоков (предел = 100).");
}
