#pragma once

// The bag: one object and everything nested in it as a self-describing,
// size-prefixed record on a byte stream, read back into an existing object.
//
// A record is: magic "BAG"$1A, the class name without its leading "T" as a
// sized string, the total size (from the data-size field to the end of the
// pocket), the data size, the object's data (nested records included), and
// the pocket: magic "PCK"$1A, an item count and the items (kind, name,
// position within the data) naming what the data holds. Reading checks the
// framing of every record, so an object that reads back more or fewer bytes
// than it wrote is caught at once.

#include "MiscUtils_StreamHelpers.h"
#include "MiscUtils_Versioning.h"
#include "Streams.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Deskbay {

class TBag;

constexpr uint32_t BagMagic = 0x1A474142;    // "BAG"$1A
constexpr uint32_t PocketMagic = 0x1A4B4350; // "PCK"$1A

// An object is persistent when dynamic_cast to this interface succeeds. The
// bag is the object's stream: position 0 is its first data byte.
class COREKIT_API IPersistent : public virtual IInterface {
public:
  virtual void SaveData(TBag& Bag) = 0;
  virtual void LoadData(TBag& Bag) = 0;
};

enum TBagState { bagIdle, bagPacking, bagRestoring };

struct TBagHeader {
  std::string ClassName;
  int32_t TotalSize = 0;
};

class TPocket;

class COREKIT_API TPocketItem : public TObject {
public:
  // Joins Pocket, which owns it from then on.
  TPocketItem(TPocket* Pocket, std::string Kind, std::string Name, int32_t Position);
  ~TPocketItem() override;
  TPocketItem(const TPocketItem&) = delete;
  TPocketItem& operator=(const TPocketItem&) = delete;
  const char* ClassName() const override { return "TPocketItem"; }

  TPocket* GetPocket() const { return FPocket; }
  const std::string& GetKind() const { return FKind; }
  const std::string& GetName() const { return FName; }
  int32_t GetPosition() const { return FPosition; }

private:
  TPocket* FPocket;
  std::string FKind;
  std::string FName;
  int32_t FPosition;
};

// The index at the end of a record: what the data holds, in writing order.
class COREKIT_API TPocket : public TObject {
public:
  TPocket() = default;
  ~TPocket() override;
  TPocket(const TPocket&) = delete;
  TPocket& operator=(const TPocket&) = delete;
  const char* ClassName() const override { return "TPocket"; }

  virtual void Clear();
  int GetCount() const { return static_cast<int>(FItems.size()); }
  // "Bad pocket item index (%d)." out of range.
  TPocketItem* GetItems(int Index) const;

  void SaveToStream(TStream* Stream) const;
  // Clears, checks the magic ("Incorrect object description block.") and
  // reads the items.
  void LoadFromStream(TStream* Stream);

private:
  friend class TPocketItem;
  std::vector<TPocketItem*> FItems; // owned
};

// A record's pocket with the pockets of all its nested records below it:
// the table of contents that GetPocketContents reads from a stream.
class COREKIT_API TObjectPocket : public TPocket {
public:
  explicit TObjectPocket(TObjectPocket* Parent = nullptr, std::string ItemName = "");
  ~TObjectPocket() override;
  const char* ClassName() const override { return "TObjectPocket"; }

  void Clear() override;
  const std::string& GetStoredClassName() const { return FStoredClassName; }
  const std::string& GetItemName() const { return FItemName; }
  int32_t GetDataStart() const { return FDataStart; }
  TObjectPocket* GetParent() const { return FParent; }
  int GetComponentCount() const { return static_cast<int>(FComponents.size()); }
  // "Bad component index (%d)." out of range.
  TObjectPocket* GetComponents(int Index) const;

private:
  friend class TBag;
  std::string FStoredClassName;
  std::string FItemName;
  int32_t FDataStart = 0;
  std::vector<TObjectPocket*> FComponents; // owned
  TObjectPocket* FParent;
};

class COREKIT_API TBag : public TStream {
public:
  // Over Stream (not owned, never truncated or rewound), or with nullptr over
  // a memory stream of its own.
  explicit TBag(TStream* Stream = nullptr);
  ~TBag() override;
  TBag(const TBag&) = delete;
  TBag& operator=(const TBag&) = delete;
  const char* ClassName() const override { return "TBag"; }

  TBagState GetState() const { return FState; }
  TStream* GetStream() const { return FStream; }
  bool GetOutsideStream() const { return FOutsideStream; }
  // The class name of the record last restored, or of the one ExtractBag copied.
  const std::string& GetStoredClassName() const { return FStoredClassName; }
  const TBagHeader& GetHeader() const { return FHeader; }
  TPocket& GetPocket() const { return *FPocket; }

  // Whole records.
  void Pack(TObject* Obj);
  void Restore(TObject* Obj);

  // Nested records, while packing / restoring this bag's record.
  void EmbedObject(TObject* Obj, const std::string& Name);
  void EmbedBag(TBag* Bag, const std::string& Name);
  void Embed(TObject* Obj, const std::string& Name);
  void ExtractObject(TObject* Obj);
  // Reads the next nested record in place into the object that Make returns
  // for the record's stored class name (Make raises to refuse the name).
  // Unlike ExtractBag nothing is copied, so reading records nested in each
  // other costs no more memory than reading them one after the other.
  void ExtractNewObject(const std::function<TObject*(const std::string& StoredClassName)>& Make);
  // A copy of the next nested record in a new idle bag of its own, whose
  // stored class name tells what it holds; the caller frees it.
  TBag* ExtractBag();

  // The halves of the above, for data written without IPersistent. Each
  // end's Aborted skips the framing that a complete record needs.
  void BeginPack(TObject* Obj);
  void BeginPack(const std::string& ClassName);
  void EndPack(bool Aborted);
  void BeginRestore();
  void EndRestore(bool Aborted);
  // Answers the child bag that writes / reads the nested record.
  TBag* BeginEmbedObject(TObject* Obj, const std::string& Name);
  TBag* BeginEmbedObject(const std::string& ClassName, const std::string& Name);
  void EndEmbedObject(bool Aborted);
  TBag* BeginExtractObject();
  void EndExtractObject(bool Aborted);

  void AddItem(const std::string& Kind, const std::string& Name);
  void WriteInteger(int32_t Value, const std::string& Name);
  void WriteString(const std::string& Value, const std::string& Name);

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  // Relative to the current record's data.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override;
  // Always "Setting bag size is not allowed."
  void SetSize(int64_t NewSize) override;

  // Magic, class name and total size on the underlying stream.
  void ReadHeader(TBagHeader& Header);
  void WriteHeader(const TBagHeader& Header);
  // The record at Bag's underlying position, header and all, onto this bag's
  // underlying stream.
  void CopyFromBag(TBag* Bag);

  // The pocket tree of the record at the position of the underlying stream
  // (which must not be another bag); afterwards the stream stands after the
  // record's pocket. Nested records must lie inside their parent's data, one
  // after the other, so a damaged file cannot send the walk in circles.
  void GetPocketContents(TObjectPocket& ObjectPocket);

  void CheckState(TBagState State) const;
  void CheckState(bool Condition) const;

private:
  void CopyRecordBody(const TBagHeader& Header);
  // The end (in this bag's data) that a nested record must not pass.
  void CheckNestedEnd(int64_t End) const;
  void DeleteChild();
  // Where position 0 of FStream lies on FBase, fixed when a record begins.
  void LocateOnBase();

  TStream* FStream;
  // A nested bag reads, writes and seeks the stream at the bottom of the
  // chain of bags directly, at FBaseOffset + its own positions: passing
  // every call down the chain would cost each read the depth of nesting.
  TBag* FParent;  // FStream when it is a bag
  TStream* FBase; // the first stream down the chain that is not a bag
  int64_t FBaseOffset = 0;
  bool FOutsideStream;
  int32_t FDataStart = 0;
  TBagState FState = bagIdle;
  std::string FStoredClassName;
  int32_t FSizeFieldPos = 0;
  TBagHeader FHeader;
  TBag* FChildBag = nullptr;
  TPocket* FPocket;
  int32_t FDataSize = 0; // of the record being restored
};

// Whether the stream holds, at its position, a record of class Name (any
// letter case). Never raises: a short or foreign stream answers false. The
// stream is left where reading stopped.
COREKIT_API bool StreamContainsBagWith(TStream* Stream, const std::string& Name);

// "Class %s is non-persistent." unless Obj is persistent.
COREKIT_API IPersistent* GetPersistentInterface(TObject* Obj);
// "The first character of the name \"%s\" must be \"T\"." unless it is "T" or "t".
COREKIT_API void CheckStartsWithT(const std::string& Name);
COREKIT_API std::string CutLeadingT(const std::string& Name);

COREKIT_API void SaveObjectToStream(TObject* Obj, TStream* Stream);
COREKIT_API void LoadObjectFromStream(TObject* Obj, TStream* Stream);
// Writes a temporary file beside FileName and renames it over FileName only
// when the whole record is on the disk: a failed save leaves the old file.
COREKIT_API void SaveObjectToFile(TObject* Obj, const std::string& FileName);
COREKIT_API void LoadObjectFromFile(TObject* Obj, const std::string& FileName);

} // namespace Deskbay
