#pragma once

// The algorithm model: a tree of structured flowchart blocks below one root,
// and the document that owns it, counts its blocks, keeps the selection and
// the colour scheme, and publishes content, selection and view changes.

#include "FlowmodelExport.h"
#include "Flowmodel_Kinds.h"

#include "Corekit/Canvas.h"
#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/MiscUtils_Versioning.h"
#include "Corekit/Region.h"
#include "Corekit/StringList.h"
#include "Corekit/VisualUtils.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;

// The most blocks (the root, statements, branches and loops; sequences do not
// count) one algorithm may hold.
constexpr int AlgMaxBlockCount = 100;

// A block class as a value: its name, its base class, its kind and a way to
// make a block of it. Blocks are made by class wherever the exact class of
// another block, or a class found by name, decides what to create.
class FLOWMODEL_API TAlgBlockClass {
public:
  using TFactory = TAlgBlock* (*)();
  constexpr TAlgBlockClass(const char* Name, const TAlgBlockClass* Base, TAlgBlockKind Kind,
                           TFactory Factory)
      : FName(Name), FBase(Base), FKind(Kind), FFactory(Factory) {}
  // A class made outside the model (a test's double) is of its base's kind.
  TAlgBlockClass(const char* Name, const TAlgBlockClass* Base, TFactory Factory)
      : TAlgBlockClass(Name, Base, Base ? Base->FKind : TAlgBlockKind::Computation, Factory) {}

  const char* ClassName() const { return FName; }
  const TAlgBlockClass* GetBase() const { return FBase; }
  TAlgBlockKind GetKind() const { return FKind; }
  bool InheritsFrom(const TAlgBlockClass* Class) const;

  // A new block of this class as the last child of Parent, or at Index.
  TAlgBlock* Create(TAlgBlock* Parent) const;
  TAlgBlock* Create(TAlgBlock* Parent, int Index) const;
  // A new last child of Parent holding Lines (programs that build charts:
  // the examples, tests, benchmarks).
  TAlgBlock* CreateWithLines(TAlgBlock* Parent, const std::vector<std::string>& Lines) const;

private:
  friend class TAlgBlock;
  friend class TAlgorithm;
  TAlgBlock* Construct(TAlgorithm* Algorithm, TAlgBlock* Parent, int Index) const;

  const char* FName;
  const TAlgBlockClass* FBase;
  TAlgBlockKind FKind;
  TFactory FFactory; // nullptr for classes that are never made
};

// Declares a block class's class value and its name.
#define DESKBAY_ALG_BLOCK_CLASS(Name)                                                              \
public:                                                                                            \
  static const TAlgBlockClass Class;                                                               \
  const TAlgBlockClass* GetClass() const override {                                                \
    return &Class;                                                                                 \
  }                                                                                                \
  const char* ClassName() const override {                                                         \
    return #Name;                                                                                  \
  }                                                                                                \
                                                                                                   \
protected:                                                                                         \
  Name() = default;                                                                                \
  ~Name() override = default;                                                                      \
  static TAlgBlock* NewInstance() {                                                                \
    return new Name;                                                                               \
  }                                                                                                \
                                                                                                   \
private:

// --- rendering ---

// Tells a block that the composite image it was drawn into is going away.
class FLOWMODEL_API IOnImageDestroy : public IOnNotify {};

// What the last rendering left on a block: its clickable region (owned, in
// the physical coordinates of its image) and the image it was drawn into
// (not owned: the block listens for the image's destruction and is the
// image's Data). Whichever of block and image goes first unties the link.
class FLOWMODEL_API TAlgRenderLink {
public:
  explicit TAlgRenderLink(TAlgBlock* Owner) : FOwner(Owner), FImageDestroy(Owner) {}
  ~TAlgRenderLink();
  TAlgRenderLink(const TAlgRenderLink&) = delete;
  TAlgRenderLink& operator=(const TAlgRenderLink&) = delete;

  TCompositeImage* GetImage() const { return FImage; }
  // Unregisters from the image, clears its Data and forgets it.
  void Detach();
  // Detaches, then listens to Image and makes the owner its Data.
  void Attach(TCompositeImage* Image);

  const TRegion* GetRegion() const { return FRegion.get(); }
  void SetRegion(std::unique_ptr<TRegion> Region);
  // Whether the last drawing showed less of the text than all of it.
  bool GetTextCut() const { return FTextCut; }
  void SetTextCut(bool Value) { FTextCut = Value; }

private:
  class TImageDestroyAdapter : public IOnImageDestroy {
  public:
    explicit TImageDestroyAdapter(TAlgBlock* Owner) : FOwner(Owner) {}
    void Notify(TObject* Sender) override;

  private:
    TAlgBlock* FOwner;
  };

  TAlgBlock* FOwner;
  std::unique_ptr<TRegion> FRegion;
  TCompositeImage* FImage = nullptr;
  bool FTextCut = false;
  TImageDestroyAdapter FImageDestroy;
};

// A block never goes with delete: Free checks that it may go, tears it down
// inside one bracket of its algorithm and frees it with everything below it.
class FLOWMODEL_API TAlgBlock : public TSolidInterfacedObject, public IPersistent {
public:
  static const TAlgBlockClass Class;
  virtual const TAlgBlockClass* GetClass() const { return &Class; }
  const char* ClassName() const override { return "TAlgBlock"; }
  // What the block is; every block of one class is of the same kind.
  TAlgBlockKind GetKind() const { return GetClass()->GetKind(); }

  template <class T> static T* Create(TAlgBlock* Parent) {
    return static_cast<T*>(T::Class.Create(Parent));
  }
  template <class T> static T* Create(TAlgBlock* Parent, int Index) {
    return static_cast<T*>(T::Class.Create(Parent, Index));
  }

  // Fails with "Нельзя удалить корневой блок." for the algorithm's root and
  // with an assertion for a sequence that belongs to a loop or branch.
  void Free();

  TAlgBlock* GetParent() const { return FParent; }
  TAlgorithm* GetAlgorithm() const { return FAlgorithm; }
  int GetBlockCount() const { return static_cast<int>(FBlocks.size()); }
  TAlgBlock* GetBlocks(int Index) const;
  void CheckBlockIndex(int Index) const;
  int GetIndex() const;
  TAlgBlock* GetNextSibling() const;
  // True when this block is a proper ancestor of Block.
  bool Contains(const TAlgBlock* Block) const;
  bool GetCounted() const { return FCounted; }

  TStringList& GetText() { return FText; }
  const TStringList& GetText() const { return FText; }

  bool GetSelected() const;
  void SetSelected(bool Value);
  bool GetSemiSelected() const;

  void Changed();
  void TextChange(TObject* Sender);
  void BeginModify();
  void EndModify();

  // Frees every child.
  void Clear();

  // A deep copy of this block, of its exact class, below NewParent (which may
  // belong to another algorithm: the copy is counted there).
  TAlgBlock* CreateCopy(TAlgBlock* NewParent) const;
  TAlgBlock* CreateCopy(TAlgBlock* NewParent, int Index) const;
  // Moves the block to Index of its own parent (counted without it), the
  // same block with everything below it.
  void MoveInParent(int Index);

  // Copies content, never identity or position.
  virtual void Assign(const TAlgBlock* Source);
  // Whether the enclosing sequence draws an arrow head into the block.
  virtual bool IncomingPointerNeeded() const { return true; }
  // Whether the machine enters the block from above without a step of its own.
  virtual bool SkipOnJumpOutside() const { return false; }

  // --- rendering ---
  // Lays the block out and draws it into Image (recording, nothing drawn on
  // it yet), finishes the image and returns the anchor: the x, in Image's
  // physical coordinates, of the vertical line the block is entered and left
  // on. The block becomes the image's Data.
  int Render(TCompositeImage& Image);
  // Renders Block into a new child image of Image placed so that Block's
  // anchor falls on x = X and its top on y = Y; frees the child image when
  // rendering fails.
  TCompositeImage* RenderChild(TAlgBlock* Block, TCompositeImage& Image, int X, int Y, int& Anchor);
  TCompositeImage* RenderChild(TAlgBlock* Block, TCompositeImage& Image, int X, int Y);
  // The block (or, for a branch, one of its sequences) at P, physical
  // coordinates of the block's image; nullptr when P misses the block's
  // region. P is converted into the coordinates of the block found.
  virtual TAlgBlock* GetBlockAt(TPoint& P);
  void ImageDestroy(TObject* Sender);
  TCompositeImage* GetImage() const { return FRenderLink.GetImage(); }
  const TRegion* GetRegion() const { return FRenderLink.GetRegion(); }
  void SetRegion(std::unique_ptr<TRegion> Region) { FRenderLink.SetRegion(std::move(Region)); }
  // Through the block's image; unchanged while the block has none.
  TPoint ParentToSelf(TPoint P) const;
  TPoint SelfToParent(TPoint P) const;
  // The text box of a statement: at least 100 x 40, at most 400 x 300, with
  // the text rectangle centred in it.
  void CalcTextRect(const TCanvas& Image, TRect& TextRect, TRect& BoxRect) const;
  // The first line, centred in Rect and cut with an ellipsis; remembers
  // whether that showed the whole text.
  void WriteTextLine(TCanvas& Image, const TRect& Rect);
  // The text for a hint where the last drawing of the block cut it (more
  // lines than it shows, a line cut with an ellipsis or by its box); empty
  // when the picture shows it whole. Lines are joined with '\n'; a text too
  // long for any hint is shortened with "…".
  std::string GetCutTextHint() const;
  void SetupBlockFont(TCanvas& Image) const;
  void SetupAlgFont(TCanvas& Image) const;
  // Persistence: a format number and the text lines; subclasses add theirs.
  void SaveData(TBag& Bag) override;
  void LoadData(TBag& Bag) override;

protected:
  virtual void InternalRender(TCompositeImage& Image, int& Anchor);
  // The lines of a statement centred in TextRect of its Box (CalcTextRect).
  void WriteStatementText(TCanvas& Image, const TRect& TextRect, const TRect& Box);

  TAlgBlock();
  ~TAlgBlock() override;

  virtual void Init() {}
  virtual void Done() {}
  // Raises when the block may not be freed on its own.
  virtual void CheckCanFree() const {}
  static const std::vector<TAlgBlock*>& ChildrenOf(const TAlgBlock* Block) {
    return Block->FBlocks;
  }

  // Takes the block out of the tree and frees it and everything below it,
  // without the guards of Free; the caller holds a bracket of the algorithm.
  void Destroy();

private:
  // Same algorithm only; Index counts in NewParent without this block.
  void MoveTo(TAlgBlock* NewParent, int Index);

  friend class TAlgBlockClass;
  friend class TAlgorithm;

  TAlgBlock* FParent = nullptr;
  TAlgorithm* FAlgorithm = nullptr;
  std::vector<TAlgBlock*> FBlocks; // owned
  TStringList FText;
  bool FCounted = false;
  TAlgRenderLink FRenderLink{this};
};

// A statement: the lines the machine executes.
class FLOWMODEL_API TBasicAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TBasicAlgBlock)
protected:
  void InternalRender(TCompositeImage& Image, int& Anchor) override;
};

// Input and output statements.
class FLOWMODEL_API TIOAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TIOAlgBlock)
protected:
  void InternalRender(TCompositeImage& Image, int& Anchor) override;
};

// An invisible sequence of blocks. A fixed one belongs to a loop, the root or
// a branch and only goes with its owner.
class FLOWMODEL_API TCompoundAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TCompoundAlgBlock)
public:
  bool GetFixed() const { return FFixed; }
  void Assign(const TAlgBlock* Source) override;
  // Where a block dropped at P (physical coordinates of the sequence's
  // image) goes: before the first child whose bottom lies below P.
  int GetNewBlockIndexAt(TPoint P) const;
  // The bottom of each child's area, from the last rendering.
  const std::vector<int32_t>& GetChildBottoms() const { return FChildBottoms; }
  void SaveData(TBag& Bag) override;
  void LoadData(TBag& Bag) override;

protected:
  void CheckCanFree() const override;
  void InternalRender(TCompositeImage& Image, int& Anchor) override;

private:
  friend class TContainerAlgBlock;
  friend class TIfAlgBlock;
  // How an owner lets its own sequence go: unfixed, freed, forgotten.
  static void DestroyOwned(TCompoundAlgBlock*& Sequence);
  bool FFixed = false;
  std::vector<int32_t> FChildBottoms;
};

// A block with one body sequence: the root and the three loops. Never made
// itself.
class FLOWMODEL_API TContainerAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TContainerAlgBlock)
public:
  TCompoundAlgBlock* GetBody() const { return FBody; }
  void Assign(const TAlgBlock* Source) override;
  void SaveData(TBag& Bag) override;
  void LoadData(TBag& Bag) override;

protected:
  void Init() override;
  void Done() override;

private:
  TCompoundAlgBlock* FBody = nullptr;
};

// The whole algorithm, drawn as its begin and end.
class FLOWMODEL_API TRootAlgBlock : public TContainerAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TRootAlgBlock)
protected:
  void Init() override;
  void InternalRender(TCompositeImage& Image, int& Anchor) override;
};

// Loop with the condition tested before the body.
class FLOWMODEL_API TWhileAlgBlock : public TContainerAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TWhileAlgBlock)
public:
  bool IncomingPointerNeeded() const override { return false; }

protected:
  void InternalRender(TCompositeImage& Image, int& Anchor) override;
};

// Loop with the condition tested after the body.
class FLOWMODEL_API TUntilAlgBlock : public TContainerAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TUntilAlgBlock)
public:
  bool IncomingPointerNeeded() const override { return false; }
  bool SkipOnJumpOutside() const override { return true; }

protected:
  void InternalRender(TCompositeImage& Image, int& Anchor) override;
};

// Counting loop.
class FLOWMODEL_API TForAlgBlock : public TContainerAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TForAlgBlock)
protected:
  void InternalRender(TCompositeImage& Image, int& Anchor) override;
};

// Two-way branch.
class FLOWMODEL_API TIfAlgBlock : public TAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TIfAlgBlock)
public:
  TCompoundAlgBlock* GetYesBranch() const { return FYesBranch; }
  TCompoundAlgBlock* GetNoBranch() const { return FNoBranch; }
  void Assign(const TAlgBlock* Source) override;
  // The click bands (10 pixels either side of a branch line) answer the
  // branch's sequence.
  TAlgBlock* GetBlockAt(TPoint& P) override;
  // Layout of the last rendering: the x of the yes and no lines, the y of
  // the line where they join.
  int GetLeftBranchX() const { return FLeftBranchX; }
  int GetRightBranchX() const { return FRightBranchX; }
  int GetJoinY() const { return FJoinY; }
  void SaveData(TBag& Bag) override;
  void LoadData(TBag& Bag) override;

protected:
  void Init() override;
  void Done() override;
  void InternalRender(TCompositeImage& Image, int& Anchor) override;

private:
  TCompoundAlgBlock* FYesBranch = nullptr;
  TCompoundAlgBlock* FNoBranch = nullptr;
  int32_t FLeftBranchX = 0;
  int32_t FRightBranchX = 0;
  int32_t FJoinY = 0;
};

class FLOWMODEL_API TAlgColorScheme : public TObject {
public:
  explicit TAlgColorScheme(TAlgorithm* Algorithm);
  const char* ClassName() const override { return "TAlgColorScheme"; }

  void Assign(const TAlgColorScheme& Source);

  TColor GetPenColor() const { return FPenColor; }
  TColor GetBlockColor() const { return FBlockColor; }
  TColor GetSelectedBlockColor() const { return FSelectedBlockColor; }
  TColor GetSemiselectedBlockColor() const { return FSemiselectedBlockColor; }
  TColor GetSelectedBlockTextColor() const { return FSelectedBlockTextColor; }
  void SetPenColor(TColor Value) { SetColor(FPenColor, Value); }
  void SetBlockColor(TColor Value) { SetColor(FBlockColor, Value); }
  void SetSelectedBlockColor(TColor Value) { SetColor(FSelectedBlockColor, Value); }
  void SetSemiselectedBlockColor(TColor Value) { SetColor(FSemiselectedBlockColor, Value); }
  void SetSelectedBlockTextColor(TColor Value) { SetColor(FSelectedBlockTextColor, Value); }
  // The high-contrast colours: white lines and text on black blocks, the
  // selection yellow with black text. A view's setting, never saved with
  // the algorithm.
  void SetHighContrast();

  // Tells the owning algorithm's view listeners.
  void Changed();

private:
  void SetColor(TColor& Field, TColor Value);

  TAlgorithm* FAlgorithm;
  TColor FPenColor = 0x000000;
  TColor FBlockColor = 0xFFFFFF;
  TColor FSelectedBlockColor = 0xFF0000;
  TColor FSemiselectedBlockColor = 0xFFFF00;
  TColor FSelectedBlockTextColor = 0xFFFFFF;
};

// The algorithm document. Aspects in notification order: content (the main
// aspect), selection, view. Destroying it notifies nobody.
class FLOWMODEL_API TAlgorithm : public TVersionedObjectEx, public IPersistent {
public:
  TAlgorithm();
  ~TAlgorithm() override;
  const char* ClassName() const override { return "TAlgorithm"; }

  TRootAlgBlock* GetRoot() const { return FRoot; }
  TAlgColorScheme& GetColorScheme() { return *FColorScheme; }
  const TAlgColorScheme& GetColorScheme() const { return *FColorScheme; }

  int GetBlockCount() const { return FBlockCount; }
  void IncBlockCount();
  void DecBlockCount();

  int GetSelectedBlockCount() const { return static_cast<int>(FSelection.size()); }
  TAlgBlock* GetSelectedBlocksProperty(int Index) const;
  void CheckSelectedBlockIndex(int Index) const;
  void GetSelectedBlocks(std::vector<TAlgBlock*>& List) const;
  bool BlockSelected(const TAlgBlock* Block) const;
  bool CanSelectBlock(const TAlgBlock* Block) const;
  TAlgBlock* GetSelOwner() const;
  bool BlockSemiselected(const TAlgBlock* Block) const;
  void SelectBlock(TAlgBlock* Block, bool Value);
  void UnselectAll();
  void SelectAll();
  // Widens the selection: statements, their whole sequence, its owner ... the root, nothing.
  void LevelUpSelection();
  // Frees the selected blocks; after deleting one block, its successor (or the
  // new last block) is selected.
  void DeleteSelection();

  void AddSelListener(IOnNotify* Listener);
  void RemoveSelListener(IOnNotify* Listener);
  void AddViewListener(IOnNotify* Listener);
  void RemoveViewListener(IOnNotify* Listener);
  uint64_t GetSelVersion() const { return FSelAspect->GetVersion(); }
  uint64_t GetViewVersion() const { return FViewAspect->GetVersion(); }

  // Persistence: a format number and the root. Loading replaces the blocks
  // inside one bracket; a failed load keeps what was read up to the failure.
  void SaveData(TBag& Bag) override;
  void LoadData(TBag& Bag) override;

private:
  friend class TAlgColorScheme;

  TRootAlgBlock* FRoot = nullptr;
  int32_t FBlockCount = 0;
  std::vector<TAlgBlock*> FSelection; // in selection order; blocks not owned
  TAspectController* FSelAspect = nullptr;
  TAspectController* FViewAspect = nullptr;
  TAlgColorScheme* FColorScheme = nullptr;
};

// The decision diamond of a branch or condition loop with its bounding box's
// top-left corner at P; it becomes Block's region and carries Block's first
// line.
FLOWMODEL_API void AlgDrawDiamond(TCompositeImage& Image, TPoint P, TAlgBlock* Block);

// The block classes that can be created by name: those of the kinds a user
// places (statements, input/output, branch, the three loops), which the model
// registers when it is loaded, and any added later.
FLOWMODEL_API void AlgRegisterBlockClass(const TAlgBlockClass* Class);
FLOWMODEL_API void AlgRegisterBlockClasses(std::initializer_list<const TAlgBlockClass*> Classes);
FLOWMODEL_API int AlgBlockClassCount();
FLOWMODEL_API const TAlgBlockClass* AlgBlockClasses(int Index);
// Name without the leading "T", any letter case.
FLOWMODEL_API const TAlgBlockClass* AlgFindBlockClass(const std::string& Name);

} // namespace Deskbay
