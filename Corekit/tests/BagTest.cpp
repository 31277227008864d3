#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/tests/FileBytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Deskbay;

using namespace Deskbay::Testing;

namespace {

// A persistent object whose data is whatever the test makes it write and read.
struct TProbe : TSolidInterfacedObject, IPersistent {
  explicit TProbe(const char* Name = "TProbe") : Name(Name) {}
  const char* ClassName() const override { return Name; }
  void SaveData(TBag& Bag) override {
    if (OnSave)
      OnSave(Bag);
  }
  void LoadData(TBag& Bag) override {
    if (OnLoad)
      OnLoad(Bag);
  }
  const char* Name;
  std::function<void(TBag&)> OnSave, OnLoad;
};

struct TPlain : TObject {
  const char* ClassName() const override { return "TPlain"; }
};

std::string Contents(const TMemoryStream& S) {
  return std::string(S.GetBytes().begin(), S.GetBytes().end());
}

TMemoryStream Over(const std::string& S) {
  return TMemoryStream(S.data(), S.size());
}

const std::string EmptyPocket = "PCK\x1A" + Le32(0);

// A record as the bag writes it, for data without items.
std::string Record(const std::string& Name, const std::string& Data,
                   const std::string& Pocket = EmptyPocket) {
  return "BAG\x1A" + Sized(Name) + Le32(static_cast<int32_t>(4 + Data.size() + Pocket.size())) +
         Le32(static_cast<int32_t>(Data.size())) + Data + Pocket;
}

} // namespace

TEST(Bag, AnEmptyRecordIs24BytesPlusTheName) {
  TProbe Obj("TAlgorithm");
  TMemoryStream S;
  SaveObjectToStream(&Obj, &S);
  const std::string Expected = std::string("\x42\x41\x47\x1A\x09\x00\x00\x00", 8) + "Algorithm" +
                               Le32(12) + Le32(0) + "PCK\x1A" + Le32(0);
  EXPECT_EQ(Contents(S), Expected);
  EXPECT_EQ(S.GetSize(), 24 + 9);

  S.SetPosition(0);
  TBag Bag(&S);
  TProbe Other;
  Bag.Restore(&Other);
  EXPECT_EQ(Bag.GetStoredClassName(), "Algorithm"); // not compared with the object's class
  EXPECT_EQ(S.GetPosition(), S.GetSize());
}

TEST(Bag, NestedRecordsAndTheirPocketItems) {
  TProbe Inner("TInner");
  Inner.OnSave = [](TBag& B) { WriteStreamInteger(&B, 7); };
  TProbe Outer("tOuter"); // a lower-case "t" is cut as well
  Outer.OnSave = [&](TBag& B) {
    WriteStreamByte(&B, 1);
    B.EmbedObject(&Inner, "");
    B.WriteInteger(-5, "count");
    B.WriteString("hi", "title");
  };
  TMemoryStream S;
  SaveObjectToStream(&Outer, &S);

  const std::string InnerRecord = Record("Inner", Le32(7));
  const std::string Data = std::string("\x01", 1) + InnerRecord + Le32(-5) + Sized("hi");
  const std::string Pocket = "PCK\x1A" + Le32(3) + Sized("OBJ") + Le32(0) + Le32(1) + Sized("INT") +
                             Sized("count") + Le32(1 + static_cast<int32_t>(InnerRecord.size())) +
                             Sized("STR") + Sized("title") +
                             Le32(5 + static_cast<int32_t>(InnerRecord.size()));
  EXPECT_EQ(Contents(S), Record("Outer", Data, Pocket));

  int Value = 0, Byte = 0;
  Inner.OnLoad = [&](TBag& B) { Value = ReadStreamInteger(&B); };
  Outer.OnLoad = [&](TBag& B) {
    Byte = ReadStreamByte(&B);
    B.ExtractObject(&Inner);
    EXPECT_EQ(B.GetPosition(), 1 + static_cast<int64_t>(InnerRecord.size()));
    ReadStreamInteger(&B);
    ReadStreamSizedString(&B);
  };
  S.SetPosition(0);
  LoadObjectFromStream(&Outer, &S);
  EXPECT_EQ(Byte, 1);
  EXPECT_EQ(Value, 7);
}

TEST(Bag, ReadingFewerOrMoreBytesThanWrittenIsCaught) {
  TProbe Obj;
  Obj.OnSave = [](TBag& B) { WriteStreamInteger(&B, 42); };
  TMemoryStream S;
  SaveObjectToStream(&Obj, &S);
  for (int Count : {3, 5}) {
    Obj.OnLoad = [Count](TBag& B) {
      uint8_t Buf[8];
      B.ReadBuffer(Buf, Count);
    };
    S.SetPosition(0);
    TBag Bag(&S);
    EXPECT_EQ(MessageOf([&] { Bag.Restore(&Obj); }), "Incorrect object description block.");
    EXPECT_EQ(Bag.GetState(), bagIdle);
  }
}

TEST(Bag, TwoRecordsOneAfterTheOtherOnOneStream) {
  TProbe A, B;
  A.OnSave = [](TBag& Bag) { WriteStreamInteger(&Bag, 1); };
  B.OnSave = [](TBag& Bag) { WriteStreamSizedString(&Bag, "two"); };
  TMemoryStream S;
  TBag Bag(&S);
  Bag.Pack(&A);
  const int64_t FirstEnd = S.GetPosition();
  Bag.Pack(&B);
  EXPECT_EQ(FirstEnd, 24 + 5 + 4);

  int One = 0;
  std::string Two;
  A.OnLoad = [&](TBag& Bg) { One = ReadStreamInteger(&Bg); };
  B.OnLoad = [&](TBag& Bg) { Two = ReadStreamSizedString(&Bg); };
  S.SetPosition(0);
  Bag.Restore(&A);
  EXPECT_EQ(S.GetPosition(), FirstEnd);
  Bag.Restore(&B);
  EXPECT_EQ(S.GetPosition(), S.GetSize());
  EXPECT_EQ(One, 1);
  EXPECT_EQ(Two, "two");
}

TEST(Bag, SeekingIsRelativeToTheRecordsData) {
  TMemoryStream S;
  S.WriteBuffer("prefix", 6); // a record need not start the stream
  TProbe Obj;
  Obj.OnSave = [](TBag& B) {
    WriteStreamInteger(&B, 0);
    EXPECT_EQ(B.GetPosition(), 4);
    EXPECT_EQ(B.Seek(0, soBeginning), 0);
    WriteStreamByte(&B, 0x55);
    EXPECT_EQ(B.Seek(0, soEnd), 4);
    EXPECT_EQ(B.GetSize(), 4);
    EXPECT_EQ(MessageOf([&] { B.Seek(-1, soBeginning); }), "Assertion failure");
    EXPECT_EQ(MessageOf([&] { B.Seek(-5, soCurrent); }), "Assertion failure");
    EXPECT_EQ(B.GetPosition(), 4);
  };
  SaveObjectToStream(&Obj, &S);
  EXPECT_EQ(S.GetBytes()[6 + 4 + 4 + 5 + 4 + 4], 0x55); // the first data byte

  TBag Idle(&S);
  EXPECT_EQ(MessageOf([&] { Idle.Seek(0, soBeginning); }), "Incorrect bag state (0).");
  EXPECT_EQ(MessageOf([&] { Idle.SetSize(0); }), "Setting bag size is not allowed.");
}

TEST(Bag, StateAndClassErrors) {
  TMemoryStream S;
  TBag Bag(&S);
  EXPECT_EQ(MessageOf([&] { WriteStreamInteger(&Bag, 1); }),
            "Incorrect bag state (expected 1, found 0).");
  EXPECT_EQ(MessageOf([&] { ReadStreamInteger(&Bag); }),
            "Incorrect bag state (expected 2, found 0).");
  TProbe Obj;
  EXPECT_EQ(MessageOf([&] { Bag.ExtractObject(&Obj); }),
            "Incorrect bag state (expected 2, found 0).");
  Obj.OnSave = [&](TBag& B) { B.Restore(&Obj); };
  EXPECT_EQ(MessageOf([&] { Bag.Pack(&Obj); }), "Incorrect bag state (expected 0, found 1).");
  EXPECT_EQ(Bag.GetState(), bagIdle);

  TPlain Plain;
  EXPECT_EQ(MessageOf([&] { Bag.Pack(&Plain); }), "Class TPlain is non-persistent.");
  EXPECT_EQ(MessageOf([&] { SaveObjectToFile(&Plain, "/nonexistent/x.alg"); }),
            "Class TPlain is non-persistent.");
  TProbe Bad("Probe");
  TMemoryStream Untouched;
  EXPECT_EQ(MessageOf([&] { SaveObjectToStream(&Bad, &Untouched); }),
            "The first character of the name \"Probe\" must be \"T\".");
  EXPECT_EQ(Untouched.GetSize(), 0);
  EXPECT_EQ(CutLeadingT("TAlgorithm"), "Algorithm");
  EXPECT_EQ(MessageOf([] { CheckStartsWithT(""); }),
            "The first character of the name \"\" must be \"T\".");
}

TEST(Bag, AnAbortedPackLeavesZeroSizesAndNoPocketAndTheBagReusable) {
  TProbe Obj;
  Obj.OnSave = [](TBag& B) {
    WriteStreamString(&B, "abc");
    throw Exception("boom");
  };
  TMemoryStream S;
  TBag Bag(&S);
  EXPECT_EQ(MessageOf([&] { Bag.Pack(&Obj); }), "boom");
  EXPECT_EQ(Contents(S), "BAG\x1A" + Sized("Probe") + Le32(0) + Le32(0) + "abc");
  EXPECT_EQ(Bag.GetState(), bagIdle);

  // A nested record aborted the same way, inside a record that completes.
  TProbe Inner("TInner");
  Inner.OnSave = [](TBag&) { throw Exception("inner"); };
  Obj.OnSave = [&](TBag& B) { EXPECT_THROW(B.EmbedObject(&Inner, "x"), Exception); };
  S.Clear();
  Bag.Pack(&Obj);
  const std::string InnerAborted = "BAG\x1A" + Sized("Inner") + Le32(0) + Le32(0);
  const std::string Pocket = "PCK\x1A" + Le32(1) + Sized("OBJ") + Sized("x") + Le32(0);
  EXPECT_EQ(Contents(S), Record("Probe", InnerAborted, Pocket));
}

TEST(Bag, DamagedHeadersGiveTheirErrors) {
  TProbe Obj;
  const auto RestoreFrom = [&](const std::string& Data) {
    return MessageOf([&] {
      TMemoryStream S = Over(Data);
      LoadObjectFromStream(&Obj, &S);
    });
  };
  const std::string Good = Record("Probe", "");
  EXPECT_EQ(RestoreFrom(Good), "(no error)");
  EXPECT_EQ(RestoreFrom("BAG\x1B" + Good.substr(4)), "Incorrect object data block.");
  EXPECT_EQ(RestoreFrom(""), "Stream read error");
  EXPECT_EQ(RestoreFrom(Good.substr(0, 20)), "Stream read error");
  const std::string Head = "BAG\x1A" + Sized("Probe");
  EXPECT_EQ(RestoreFrom(Head + Le32(-1) + Le32(0) + EmptyPocket),
            "Bad object format (negative TotalSize).");
  EXPECT_EQ(RestoreFrom(Head + Le32(12) + Le32(-1) + EmptyPocket),
            "Bad object format (negative DataSize).");
  EXPECT_EQ(RestoreFrom(Head + Le32(12) + Le32(12) + EmptyPocket),
            "Bad object format (DataSize >= TotalSize).");
  EXPECT_EQ(RestoreFrom(Head + Le32(12) + Le32(0) + "PCK\x1B" + Le32(0)),
            "Incorrect object description block.");

  // A nested record whose size reaches past its parent's data is refused
  // before anything is read or copied from it.
  TProbe Inner("TInner");
  Obj.OnLoad = [&](TBag& B) { B.ExtractObject(&Inner); };
  const std::string Nested = "BAG\x1A" + Sized("Inner") + Le32(1000) + Le32(0) + EmptyPocket;
  EXPECT_EQ(RestoreFrom(Record("Probe", Nested)), "Incorrect object data block.");
  Obj.OnLoad = [&](TBag& B) { delete B.ExtractBag(); };
  EXPECT_EQ(RestoreFrom(Record("Probe", Nested)), "Incorrect object data block.");
}

TEST(Bag, ExtractBagCopiesTheNextRecordAndEmbedBagPutsItBack) {
  TProbe Inner("TInner");
  Inner.OnSave = [](TBag& B) { WriteStreamSizedString(&B, "payload"); };
  TProbe Outer("TOuter");
  Outer.OnSave = [&](TBag& B) { B.Embed(&Inner, "in"); };
  TMemoryStream S;
  SaveObjectToStream(&Outer, &S);

  std::unique_ptr<TBag> Copy;
  Outer.OnLoad = [&](TBag& B) {
    Copy.reset(B.ExtractBag());
    EXPECT_EQ(B.GetPosition(), 4 + 4 + 5 + 4 + 4 + 11 + 8); // just past the nested record
  };
  S.SetPosition(0);
  LoadObjectFromStream(&Outer, &S);
  ASSERT_TRUE(Copy);
  EXPECT_EQ(Copy->GetStoredClassName(), "Inner");
  EXPECT_EQ(Copy->GetState(), bagIdle);

  std::string Payload;
  Inner.OnLoad = [&](TBag& B) { Payload = ReadStreamSizedString(&B); };
  Copy->Restore(&Inner);
  EXPECT_EQ(Payload, "payload");
  Copy->Restore(&Inner); // its own stream is rewound each time
  EXPECT_EQ(Payload, "payload");

  // Embedding the copy writes the same bytes as embedding the object.
  Outer.OnSave = [&](TBag& B) { B.Embed(Copy.get(), "in"); };
  TMemoryStream Again;
  SaveObjectToStream(&Outer, &Again);
  EXPECT_EQ(Again.GetBytes(), S.GetBytes());
}

TEST(Bag, StreamContainsBagWithNeverRaises) {
  TProbe Obj("TAlgorithm");
  TMemoryStream S;
  SaveObjectToStream(&Obj, &S);
  S.SetPosition(0);
  EXPECT_TRUE(StreamContainsBagWith(&S, "algorithm"));
  S.SetPosition(0);
  EXPECT_FALSE(StreamContainsBagWith(&S, "Algorithm2"));
  TMemoryStream Empty;
  EXPECT_FALSE(StreamContainsBagWith(&Empty, "Algorithm"));
  TMemoryStream Foreign = Over("PK\x03\x04 a zip file, say");
  EXPECT_FALSE(StreamContainsBagWith(&Foreign, "Algorithm"));
  TMemoryStream Short = Over("BAG\x1A" + Le32(0x7FFFFFFF) + "Alg");
  EXPECT_FALSE(StreamContainsBagWith(&Short, "Algorithm"));
}

TEST(Bag, PocketContentsListEveryNestedRecordInOrder) {
  TProbe Leaf("TLeaf");
  TProbe Mid("TMid");
  Mid.OnSave = [&](TBag& B) {
    B.WriteInteger(3, "n");
    B.EmbedObject(&Leaf, "first");
    B.EmbedObject(&Leaf, "second");
  };
  TProbe Top("TTop");
  Top.OnSave = [&](TBag& B) { B.EmbedObject(&Mid, ""); };
  TMemoryStream S;
  WriteStreamString(&S, "xy");
  SaveObjectToStream(&Top, &S);
  WriteStreamString(&S, "after");

  S.SetPosition(2);
  TBag Bag(&S);
  TObjectPocket Tree;
  Bag.GetPocketContents(Tree);
  EXPECT_EQ(S.GetPosition(), S.GetSize() - 5);
  EXPECT_EQ(Tree.GetStoredClassName(), "Top");
  EXPECT_EQ(Tree.GetDataStart(), 2 + 4 + 7 + 4 + 4);
  ASSERT_EQ(Tree.GetComponentCount(), 1);
  TObjectPocket* M = Tree.GetComponents(0);
  EXPECT_EQ(M->GetStoredClassName(), "Mid");
  EXPECT_EQ(M->GetParent(), &Tree);
  ASSERT_EQ(M->GetCount(), 3);
  EXPECT_EQ(M->GetItems(0)->GetKind(), "INT");
  ASSERT_EQ(M->GetComponentCount(), 2);
  EXPECT_EQ(M->GetComponents(0)->GetItemName(), "first");
  EXPECT_EQ(M->GetComponents(1)->GetItemName(), "second");
  EXPECT_EQ(M->GetComponents(1)->GetStoredClassName(), "Leaf");
  EXPECT_EQ(MessageOf([&] { M->GetComponents(2); }), "Bad component index (2).");
  EXPECT_EQ(MessageOf([&] { M->GetItems(-1); }), "Bad pocket item index (-1).");

  TBag Nested(&Bag);
  EXPECT_EQ(MessageOf([&] { Nested.GetPocketContents(Tree); }),
            "Extracting pocket contents of non-root bag is not allowed.");
}

TEST(Bag, PocketContentsRefuseNestedPositionsThatPointBackOrOverlap) {
  const std::string Inner = Record("Inner", "");
  const auto PocketOf = [](std::initializer_list<int32_t> Positions) {
    std::string P = "PCK\x1A" + Le32(static_cast<int32_t>(Positions.size()));
    for (int32_t Pos : Positions)
      P += Sized("OBJ") + Sized("") + Le32(Pos);
    return P;
  };
  const auto Walk = [](const std::string& Data) {
    return MessageOf([&] {
      TMemoryStream S = Over(Data);
      TBag Bag(&S);
      TObjectPocket Tree;
      Bag.GetPocketContents(Tree);
    });
  };
  EXPECT_EQ(Walk(Record("Outer", Inner, PocketOf({0}))), "(no error)");
  // The record itself, before the data, past the data, twice the same child.
  EXPECT_EQ(Walk(Record("Outer", Inner, PocketOf({-21}))), "Incorrect object data block.");
  EXPECT_EQ(Walk(Record("Outer", Inner, PocketOf({-1}))), "Incorrect object data block.");
  EXPECT_EQ(Walk(Record("Outer", Inner, PocketOf({100}))), "Incorrect object data block.");
  EXPECT_EQ(Walk(Record("Outer", Inner + Inner, PocketOf({0, 0}))), "Incorrect object data block.");
  EXPECT_EQ(Walk(Record("Outer", Inner + Inner, PocketOf({0, 29}))), "(no error)");
}

TEST(Bag, PocketItemsWithRawKinds) {
  TPocket Pocket;
  new TPocketItem(&Pocket, "ABC~", "", 5);
  new TPocketItem(&Pocket, "STR", "name", 9);
  TMemoryStream S;
  Pocket.SaveToStream(&S);
  EXPECT_EQ(Contents(S),
            "PCK\x1A" + Le32(2) + "ABC~" + Le32(5) + Sized("STR") + Sized("name") + Le32(9));
  S.SetPosition(0);
  TPocket Copy;
  Copy.LoadFromStream(&S);
  ASSERT_EQ(Copy.GetCount(), 2);
  EXPECT_EQ(Copy.GetItems(0)->GetKind(), "ABC~");
  EXPECT_EQ(Copy.GetItems(1)->GetName(), "name");
  EXPECT_EQ(Copy.GetItems(1)->GetPosition(), 9);
  delete Copy.GetItems(0); // an item leaves its pocket when freed
  EXPECT_EQ(Copy.GetCount(), 1);

  new TPocketItem(&Pocket, "XYZ~", "named", 0);
  EXPECT_EQ(MessageOf([&] { Pocket.SaveToStream(&S); }), "Assertion failure");
}

TEST(Bag, SaveObjectToFileReplacesTheFileOnlyWhenTheWholeRecordIsWritten) {
  namespace fs = std::filesystem;
  const fs::path Dir = fs::temp_directory_path() / ("deskbay-bag-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  const fs::path File = Dir / "a.alg";
  TProbe Obj;
  Obj.OnSave = [](TBag& B) { WriteStreamInteger(&B, 1); };
  SaveObjectToFile(&Obj, File.string());
  const auto Size = fs::file_size(File);
  EXPECT_EQ(Size, 24u + 5 + 4);

  Obj.OnSave = [](TBag& B) {
    WriteStreamString(&B, std::string(100, 'x'));
    throw Exception("disk on fire");
  };
  EXPECT_EQ(MessageOf([&] { SaveObjectToFile(&Obj, File.string()); }), "disk on fire");
  EXPECT_EQ(fs::file_size(File), Size);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);

  int Value = 0;
  Obj.OnLoad = [&](TBag& B) { Value = ReadStreamInteger(&B); };
  LoadObjectFromFile(&Obj, File.string());
  EXPECT_EQ(Value, 1);

  // Saved through a symbolic link, the link stays and its target changes.
  const fs::path Link = Dir / "link.alg";
  fs::create_symlink(File, Link);
  Obj.OnSave = [](TBag& B) { WriteStreamInteger(&B, 2); };
  SaveObjectToFile(&Obj, Link.string());
  EXPECT_TRUE(fs::is_symlink(Link));
  LoadObjectFromFile(&Obj, File.string());
  EXPECT_EQ(Value, 2);
  fs::remove(Link);

  const std::string Missing = (Dir / "missing" / "b.alg").string();
  EXPECT_EQ(MessageOf([&] {
              LoadObjectFromFile(&Obj, Missing);
            }).rfind("Не удалось открыть файл \"" + Missing + "\": ", 0),
            0u);
  Obj.OnSave = nullptr;
  EXPECT_EQ(MessageOf([&] { SaveObjectToFile(&Obj, Missing); }),
            "Не удалось создать файл \"" + Missing + "\": " + SysErrorMessage(ENOENT));
  fs::remove_all(Dir);
}
