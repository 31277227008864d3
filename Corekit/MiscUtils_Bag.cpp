#include "MiscUtils_Bag.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

namespace Deskbay {

namespace {

const char* const DataBlockError = "Incorrect object data block.";
const char* const DescriptionBlockError = "Incorrect object description block.";

// Positions inside a record are 32-bit in the format.
int32_t Pos32(int64_t Value) {
  if (Value < INT32_MIN || Value > INT32_MAX)
    throw Exception("Bag records larger than 2 GB are not supported.");
  return static_cast<int32_t>(Value);
}

void CheckSizes(int32_t TotalSize, int32_t DataSize) {
  Assert(TotalSize >= 0, "Bad object format (negative TotalSize).");
  Assert(DataSize >= 0, "Bad object format (negative DataSize).");
  Assert(DataSize < TotalSize, "Bad object format (DataSize >= TotalSize).");
}

} // namespace

// --- TPocketItem, TPocket ---

TPocketItem::TPocketItem(TPocket* Pocket, std::string Kind, std::string Name, int32_t Position)
    : FPocket(Pocket), FKind(std::move(Kind)), FName(std::move(Name)), FPosition(Position) {
  FPocket->FItems.push_back(this);
}

TPocketItem::~TPocketItem() {
  auto& Items = FPocket->FItems;
  auto It = std::find(Items.rbegin(), Items.rend(), this);
  if (It != Items.rend())
    Items.erase(std::next(It).base());
}

TPocket::~TPocket() {
  TPocket::Clear();
}

void TPocket::Clear() {
  while (!FItems.empty())
    delete FItems.back();
}

TPocketItem* TPocket::GetItems(int Index) const {
  if (Index < 0 || Index >= GetCount())
    throw Exception(Format("Bad pocket item index (%d).", Index));
  return FItems[static_cast<size_t>(Index)];
}

void TPocket::SaveToStream(TStream* Stream) const {
  WriteStreamCardinal(Stream, PocketMagic);
  WriteStreamInteger(Stream, GetCount());
  for (const TPocketItem* Item : FItems) {
    bool Raw;
    WriteStreamTildeString(Stream, Item->GetKind(), Raw);
    if (Raw)
      Assert(Item->GetName().empty(), "Assertion failure");
    else
      WriteStreamSizedString(Stream, Item->GetName());
    WriteStreamInteger(Stream, Item->GetPosition());
  }
}

void TPocket::LoadFromStream(TStream* Stream) {
  Clear();
  if (ReadStreamCardinal(Stream) != PocketMagic)
    throw Exception(DescriptionBlockError);
  // Items are made as they are read: a damaged count runs into the end of
  // the stream long before it could exhaust memory.
  const int32_t Count = ReadStreamInteger(Stream);
  for (int32_t I = 0; I < Count; ++I) {
    bool Raw;
    std::string Kind = ReadStreamTildeString(Stream, Raw);
    std::string Name = Raw ? std::string() : ReadStreamSizedString(Stream);
    const int32_t Position = ReadStreamInteger(Stream);
    new TPocketItem(this, std::move(Kind), std::move(Name), Position);
  }
}

// --- TObjectPocket ---

TObjectPocket::TObjectPocket(TObjectPocket* Parent, std::string ItemName)
    : FItemName(std::move(ItemName)), FParent(Parent) {
  if (FParent)
    FParent->FComponents.push_back(this);
}

TObjectPocket::~TObjectPocket() {
  TObjectPocket::Clear();
  if (FParent) {
    auto& Siblings = FParent->FComponents;
    Siblings.erase(std::remove(Siblings.begin(), Siblings.end(), this), Siblings.end());
  }
}

void TObjectPocket::Clear() {
  TPocket::Clear();
  FStoredClassName.clear();
  FDataStart = 0;
  // Level by level rather than by recursion: a tree read from a file may be
  // deeper than the stack.
  std::vector<TObjectPocket*> Doomed;
  Doomed.swap(FComponents);
  while (!Doomed.empty()) {
    TObjectPocket* P = Doomed.back();
    Doomed.pop_back();
    Doomed.insert(Doomed.end(), P->FComponents.begin(), P->FComponents.end());
    P->FComponents.clear();
    P->FParent = nullptr;
    delete P;
  }
}

TObjectPocket* TObjectPocket::GetComponents(int Index) const {
  if (Index < 0 || Index >= GetComponentCount())
    throw Exception(Format("Bad component index (%d).", Index));
  return FComponents[static_cast<size_t>(Index)];
}

// --- TBag ---

TBag::TBag(TStream* Stream)
    : FStream(Stream ? Stream : new TMemoryStream), FParent(dynamic_cast<TBag*>(FStream)),
      FBase(FParent ? FParent->FBase : FStream), FOutsideStream(Stream != nullptr),
      FPocket(new TPocket) {}

void TBag::LocateOnBase() {
  FBaseOffset = FParent ? FParent->FBaseOffset + FParent->FDataStart : 0;
}

TBag::~TBag() {
  delete FChildBag;
  delete FPocket;
  if (!FOutsideStream)
    delete FStream;
}

void TBag::CheckState(TBagState State) const {
  if (FState != State)
    throw Exception(Format("Incorrect bag state (expected %d, found %d).", static_cast<int>(State),
                           static_cast<int>(FState)));
}

void TBag::CheckState(bool Condition) const {
  if (!Condition)
    throw Exception(Format("Incorrect bag state (%d).", static_cast<int>(FState)));
}

void TBag::DeleteChild() {
  delete FChildBag;
  FChildBag = nullptr;
}

void TBag::Pack(TObject* Obj) {
  IPersistent* P = GetPersistentInterface(Obj);
  BeginPack(Obj);
  try {
    P->SaveData(*this);
  } catch (...) {
    EndPack(true);
    throw;
  }
  EndPack(false);
}

void TBag::Restore(TObject* Obj) {
  IPersistent* P = GetPersistentInterface(Obj);
  BeginRestore();
  try {
    P->LoadData(*this);
  } catch (...) {
    EndRestore(true);
    throw;
  }
  EndRestore(false);
}

void TBag::BeginPack(TObject* Obj) {
  BeginPack(std::string(Obj->ClassName()));
}

void TBag::BeginPack(const std::string& ClassName) {
  CheckState(bagIdle);
  TBagHeader Header{CutLeadingT(ClassName), 0};
  if (!FOutsideStream)
    FStream->SetSize(0);
  WriteHeader(Header);
  LocateOnBase();
  const int32_t SizeFieldPos = Pos32(FStream->GetPosition());
  WriteStreamInteger(FStream, 0);
  FHeader = std::move(Header);
  FSizeFieldPos = SizeFieldPos;
  FDataStart = Pos32(FStream->GetPosition());
  FPocket->Clear();
  FState = bagPacking;
}

void TBag::EndPack(bool Aborted) {
  CheckState(bagPacking);
  const int64_t SizeFieldPos = FSizeFieldPos;
  FState = bagIdle;
  FDataStart = 0;
  FHeader.ClassName.clear();
  // A nested record left open by a failed SaveData is abandoned with it.
  DeleteChild();
  try {
    if (!Aborted) {
      const int64_t DataSize = FStream->GetPosition() - SizeFieldPos - 4;
      FPocket->SaveToStream(FStream);
      const int64_t TotalSize = FStream->GetPosition() - SizeFieldPos;
      FStream->Seek(SizeFieldPos - 4, soBeginning);
      WriteStreamInteger(FStream, Pos32(TotalSize));
      WriteStreamInteger(FStream, Pos32(DataSize));
      FStream->Seek(0, soEnd);
    }
  } catch (...) {
    FPocket->Clear();
    throw;
  }
  FPocket->Clear();
}

void TBag::BeginRestore() {
  CheckState(bagIdle);
  if (!FOutsideStream)
    FStream->Seek(0, soBeginning);
  TBagHeader Header;
  ReadHeader(Header);
  LocateOnBase();
  FHeader = Header;
  FStoredClassName = Header.ClassName;
  const int64_t SizeFieldPos = FStream->GetPosition();
  Assert(Header.TotalSize >= 0, "Bad object format (negative TotalSize).");
  const int32_t DataSize = ReadStreamInteger(FStream);
  CheckSizes(Header.TotalSize, DataSize);
  // A nested record that claims to reach past its parent's data is damaged;
  // refusing it here keeps every later seek inside what was read.
  if (auto* Parent = dynamic_cast<TBag*>(FStream))
    Parent->CheckNestedEnd(SizeFieldPos + Header.TotalSize);
  FSizeFieldPos = Pos32(SizeFieldPos);
  FDataSize = DataSize;
  FDataStart = Pos32(FStream->GetPosition());
  FState = bagRestoring;
}

void TBag::EndRestore(bool Aborted) {
  CheckState(bagRestoring);
  FState = bagIdle;
  FDataStart = 0;
  DeleteChild();
  if (Aborted)
    return;
  if (ReadStreamCardinal(FStream) != PocketMagic)
    throw Exception(DescriptionBlockError);
  FStream->Seek(static_cast<int64_t>(FSizeFieldPos) + FHeader.TotalSize, soBeginning);
}

void TBag::CheckNestedEnd(int64_t End) const {
  if (FState == bagRestoring && End > FDataSize)
    throw Exception(DataBlockError);
}

void TBag::EmbedObject(TObject* Obj, const std::string& Name) {
  IPersistent* P = GetPersistentInterface(Obj);
  TBag* Child = BeginEmbedObject(Obj, Name);
  try {
    P->SaveData(*Child);
  } catch (...) {
    EndEmbedObject(true);
    throw;
  }
  EndEmbedObject(false);
}

TBag* TBag::BeginEmbedObject(TObject* Obj, const std::string& Name) {
  return BeginEmbedObject(std::string(Obj->ClassName()), Name);
}

TBag* TBag::BeginEmbedObject(const std::string& ClassName, const std::string& Name) {
  CheckState(bagPacking);
  Assert(FChildBag == nullptr, "Assertion failure");
  CheckStartsWithT(ClassName);
  AddItem("OBJ", Name);
  auto Child = std::make_unique<TBag>(this);
  Child->BeginPack(ClassName);
  FChildBag = Child.release();
  return FChildBag;
}

void TBag::EndEmbedObject(bool Aborted) {
  Assert(FChildBag != nullptr, "Assertion failure");
  std::unique_ptr<TBag> Child(FChildBag);
  FChildBag = nullptr;
  Child->EndPack(Aborted);
}

void TBag::EmbedBag(TBag* Bag, const std::string& Name) {
  CheckState(bagPacking);
  AddItem("OBJ", Name);
  if (!Bag->FOutsideStream)
    Bag->FStream->Seek(0, soBeginning);
  CopyFromBag(Bag);
}

void TBag::Embed(TObject* Obj, const std::string& Name) {
  if (auto* Bag = dynamic_cast<TBag*>(Obj))
    EmbedBag(Bag, Name);
  else
    EmbedObject(Obj, Name);
}

void TBag::ExtractObject(TObject* Obj) {
  IPersistent* P = GetPersistentInterface(Obj);
  TBag* Child = BeginExtractObject();
  try {
    P->LoadData(*Child);
  } catch (...) {
    EndExtractObject(true);
    throw;
  }
  EndExtractObject(false);
}

void TBag::ExtractNewObject(
    const std::function<TObject*(const std::string& StoredClassName)>& Make) {
  TBag* Child = BeginExtractObject();
  try {
    GetPersistentInterface(Make(Child->GetStoredClassName()))->LoadData(*Child);
  } catch (...) {
    EndExtractObject(true);
    throw;
  }
  EndExtractObject(false);
}

TBag* TBag::BeginExtractObject() {
  CheckState(bagRestoring);
  Assert(FChildBag == nullptr, "Assertion failure");
  auto Child = std::make_unique<TBag>(this);
  Child->BeginRestore();
  FChildBag = Child.release();
  return FChildBag;
}

void TBag::EndExtractObject(bool Aborted) {
  Assert(FChildBag != nullptr, "Assertion failure");
  std::unique_ptr<TBag> Child(FChildBag);
  FChildBag = nullptr;
  Child->EndRestore(Aborted);
}

TBag* TBag::ExtractBag() {
  CheckState(bagRestoring);
  Assert(FChildBag == nullptr, "Assertion failure");
  TBagHeader Header;
  ReadHeader(Header);
  Assert(Header.TotalSize >= 0, "Bad object format (negative TotalSize).");
  // Checked before copying, so a damaged size never drives the copy.
  CheckNestedEnd(FStream->GetPosition() - FDataStart + Header.TotalSize);
  auto Result = std::make_unique<TBag>(nullptr);
  Result->WriteHeader(Header);
  if (Header.TotalSize > 0)
    Result->FStream->CopyFrom(FStream, Header.TotalSize);
  Result->FStoredClassName = Header.ClassName;
  return Result.release();
}

void TBag::CopyFromBag(TBag* Bag) {
  TBagHeader Header;
  Bag->ReadHeader(Header);
  Assert(Header.TotalSize >= 0, "Bad object format (negative TotalSize).");
  WriteHeader(Header);
  if (Header.TotalSize > 0)
    FStream->CopyFrom(Bag->FStream, Header.TotalSize);
}

void TBag::AddItem(const std::string& Kind, const std::string& Name) {
  CheckState(bagPacking);
  new TPocketItem(FPocket, Kind, Name, Pos32(FStream->GetPosition() - FDataStart));
}

void TBag::WriteInteger(int32_t Value, const std::string& Name) {
  AddItem("INT", Name);
  WriteStreamInteger(this, Value);
}

void TBag::WriteString(const std::string& Value, const std::string& Name) {
  AddItem("STR", Name);
  WriteStreamSizedString(this, Value);
}

// The parent's state is checked as the call down the chain would; its own
// parent is busy as long as it is, since a nested bag lives only while its
// parent's record is open.
int64_t TBag::Read(void* Buffer, int64_t Count) {
  CheckState(bagRestoring);
  if (FParent)
    FParent->CheckState(bagRestoring);
  return FBase->Read(Buffer, Count);
}

int64_t TBag::Write(const void* Buffer, int64_t Count) {
  CheckState(bagPacking);
  if (FParent)
    FParent->CheckState(bagPacking);
  return FBase->Write(Buffer, Count);
}

int64_t TBag::Seek(int64_t Offset, TSeekOrigin Origin) {
  CheckState(FState != bagIdle);
  if (FParent)
    FParent->CheckState(FParent->FState != bagIdle);
  // Positions below are on FStream, as the parent would see them.
  const int64_t Shift = FBaseOffset;
  if (Origin == soCurrent && Offset == 0)
    return FBase->Seek(0, soCurrent) - Shift - FDataStart;
  int64_t Base = FDataStart;
  if (Origin == soCurrent)
    Base = FBase->Seek(0, soCurrent) - Shift;
  else if (Origin == soEnd)
    Base = FBase->GetSize() - Shift;
  int64_t Target;
  const bool Overflow = __builtin_add_overflow(Base, Offset, &Target);
  Assert(!Overflow && Target >= FDataStart, "Assertion failure");
  return FBase->Seek(Shift + Target, soBeginning) - Shift - FDataStart;
}

int64_t TBag::GetSize() {
  CheckState(FState != bagIdle);
  return FBase->GetSize() - FBaseOffset - FDataStart;
}

void TBag::SetSize(int64_t) {
  throw Exception("Setting bag size is not allowed.");
}

void TBag::ReadHeader(TBagHeader& Header) {
  if (ReadStreamCardinal(FStream) != BagMagic)
    throw Exception(DataBlockError);
  Header.ClassName = ReadStreamSizedString(FStream);
  Header.TotalSize = ReadStreamInteger(FStream);
}

void TBag::WriteHeader(const TBagHeader& Header) {
  WriteStreamCardinal(FStream, BagMagic);
  WriteStreamSizedString(FStream, Header.ClassName);
  WriteStreamInteger(FStream, Header.TotalSize);
}

void TBag::GetPocketContents(TObjectPocket& ObjectPocket) {
  if (dynamic_cast<TBag*>(FStream))
    throw Exception("Extracting pocket contents of non-root bag is not allowed.");
  ObjectPocket.Clear();
  CheckState(bagIdle);

  // Walked with a list of its own instead of recursion, and every nested
  // record must lie inside its parent's data after its elder sibling: each
  // byte is then read at most twice, however the file is damaged.
  struct TWork {
    TObjectPocket* Pocket;
    int64_t Start;
    int64_t Limit; // end of the parent's data; -1 for the outermost record
  };
  std::vector<TWork> Work{{&ObjectPocket, FStream->GetPosition(), -1}};
  int64_t PocketEnd = -1;
  while (!Work.empty()) {
    const TWork W = Work.back();
    Work.pop_back();
    FStream->Seek(W.Start, soBeginning);
    TBagHeader Header;
    ReadHeader(Header);
    const int64_t SizeFieldPos = FStream->GetPosition();
    const int64_t RecordEnd = SizeFieldPos + Header.TotalSize;
    Assert(Header.TotalSize >= 0, "Bad object format (negative TotalSize).");
    const int32_t DataSize = ReadStreamInteger(FStream);
    CheckSizes(Header.TotalSize, DataSize);
    if (W.Limit >= 0 && RecordEnd > W.Limit)
      throw Exception(DataBlockError);
    const int64_t DataStart = FStream->GetPosition();
    const int64_t DataEnd = DataStart + DataSize;
    FStream->Seek(DataEnd, soBeginning);
    W.Pocket->LoadFromStream(FStream); // clears the whole pocket first
    W.Pocket->FStoredClassName = Header.ClassName;
    W.Pocket->FDataStart = Pos32(DataStart);
    const int64_t End = FStream->GetPosition();
    if (End > RecordEnd)
      throw Exception(DescriptionBlockError);
    if (PocketEnd < 0)
      PocketEnd = End;

    std::vector<TWork> Children;
    int64_t PrevEnd = DataStart;
    for (int I = 0; I < W.Pocket->GetCount(); ++I) {
      const TPocketItem* Item = W.Pocket->GetItems(I);
      if (!SameText(Item->GetKind(), "OBJ"))
        continue;
      const int64_t Start = DataStart + Item->GetPosition();
      if (Start < PrevEnd || Start >= DataEnd)
        throw Exception(DataBlockError);
      FStream->Seek(Start, soBeginning);
      TBagHeader ChildHeader;
      ReadHeader(ChildHeader);
      Assert(ChildHeader.TotalSize >= 0, "Bad object format (negative TotalSize).");
      PrevEnd = FStream->GetPosition() + ChildHeader.TotalSize;
      if (PrevEnd > DataEnd)
        throw Exception(DataBlockError);
      Children.push_back({new TObjectPocket(W.Pocket, Item->GetName()), Start, DataEnd});
    }
    Work.insert(Work.end(), Children.rbegin(), Children.rend());
  }
  FStream->Seek(PocketEnd, soBeginning);
}

// --- module functions ---

bool StreamContainsBagWith(TStream* Stream, const std::string& Name) {
  try {
    if (ReadStreamCardinal(Stream) != BagMagic)
      return false;
    const std::string StoredName = ReadStreamSizedString(Stream);
    ReadStreamInteger(Stream);
    return SameText(StoredName, Name);
  } catch (const Exception&) {
    return false;
  }
}

IPersistent* GetPersistentInterface(TObject* Obj) {
  auto* P = dynamic_cast<IPersistent*>(Obj);
  if (!P)
    throw Exception(Format("Class %s is non-persistent.", Obj ? Obj->ClassName() : "nil"));
  return P;
}

void CheckStartsWithT(const std::string& Name) {
  if (Name.empty() || (Name[0] != 'T' && Name[0] != 't'))
    throw Exception(Format("The first character of the name \"%s\" must be \"T\".", Name.c_str()));
}

std::string CutLeadingT(const std::string& Name) {
  CheckStartsWithT(Name);
  return Name.substr(1);
}

void SaveObjectToStream(TObject* Obj, TStream* Stream) {
  TBag Bag(Stream);
  Bag.Pack(Obj);
}

void LoadObjectFromStream(TObject* Obj, TStream* Stream) {
  TBag Bag(Stream);
  Bag.Restore(Obj);
}

void SaveObjectToFile(TObject* Obj, const std::string& FileName) {
  GetPersistentInterface(Obj);
  SaveFileAtomically(FileName, [Obj](TStream& File) { SaveObjectToStream(Obj, &File); });
}

void LoadObjectFromFile(TObject* Obj, const std::string& FileName) {
  TFileStream File(FileName, fmOpenRead);
  LoadObjectFromStream(Obj, &File);
}

} // namespace Deskbay
