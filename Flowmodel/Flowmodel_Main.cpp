#include "Flowmodel_Main.h"

#include <algorithm>
#include <memory>

namespace Deskbay {

// TAlgBlock is never made; a class made elsewhere straight from it is taken
// for a computation, a box of lines.
const TAlgBlockClass TAlgBlock::Class("TAlgBlock", nullptr, TAlgBlockKind::Computation, nullptr);
const TAlgBlockClass TBasicAlgBlock::Class("TBasicAlgBlock", &TAlgBlock::Class,
                                           TAlgBlockKind::Computation,
                                           &TBasicAlgBlock::NewInstance);
const TAlgBlockClass TIOAlgBlock::Class("TIOAlgBlock", &TAlgBlock::Class,
                                        TAlgBlockKind::InputOutput, &TIOAlgBlock::NewInstance);
const TAlgBlockClass TCompoundAlgBlock::Class("TCompoundAlgBlock", &TAlgBlock::Class,
                                              TAlgBlockKind::Sequence,
                                              &TCompoundAlgBlock::NewInstance);
// Of no kind of its own: the kind here is never asked of a block.
const TAlgBlockClass TContainerAlgBlock::Class("TContainerAlgBlock", &TAlgBlock::Class,
                                               TAlgBlockKind::Computation, nullptr);
const TAlgBlockClass TRootAlgBlock::Class("TRootAlgBlock", &TContainerAlgBlock::Class,
                                          TAlgBlockKind::Root, &TRootAlgBlock::NewInstance);
const TAlgBlockClass TWhileAlgBlock::Class("TWhileAlgBlock", &TContainerAlgBlock::Class,
                                           TAlgBlockKind::WhileLoop, &TWhileAlgBlock::NewInstance);
const TAlgBlockClass TUntilAlgBlock::Class("TUntilAlgBlock", &TContainerAlgBlock::Class,
                                           TAlgBlockKind::UntilLoop, &TUntilAlgBlock::NewInstance);
const TAlgBlockClass TForAlgBlock::Class("TForAlgBlock", &TContainerAlgBlock::Class,
                                         TAlgBlockKind::ForLoop, &TForAlgBlock::NewInstance);
const TAlgBlockClass TIfAlgBlock::Class("TIfAlgBlock", &TAlgBlock::Class, TAlgBlockKind::Branch,
                                        &TIfAlgBlock::NewInstance);

// --- TAlgBlockClass ---

bool TAlgBlockClass::InheritsFrom(const TAlgBlockClass* Class) const {
  for (const TAlgBlockClass* C = this; C; C = C->FBase)
    if (C == Class)
      return true;
  return false;
}

TAlgBlock* TAlgBlockClass::Create(TAlgBlock* Parent) const {
  Assert(Parent != nullptr, "A block without parent needs its algorithm.");
  return Construct(nullptr, Parent, Parent->GetBlockCount());
}

TAlgBlock* TAlgBlockClass::Create(TAlgBlock* Parent, int Index) const {
  Assert(Parent != nullptr, "A block without parent needs its algorithm.");
  return Construct(nullptr, Parent, Index);
}

TAlgBlock* TAlgBlockClass::CreateWithLines(TAlgBlock* Parent,
                                           const std::vector<std::string>& Lines) const {
  TAlgBlock* Block = Create(Parent);
  Block->GetText().SetLines(Lines);
  return Block;
}

TAlgBlock* TAlgBlockClass::Construct(TAlgorithm* Algorithm, TAlgBlock* Parent, int Index) const {
  if (!FFactory)
    throw Exception(Format("Cannot create an abstract AlgBlock of class %s.", FName));
  TAlgorithm* Alg = Parent ? Parent->FAlgorithm : Algorithm;
  Assert(Alg != nullptr, "AlgBlock has no algorithm.");
  if (Parent && (Index < 0 || Index > Parent->GetBlockCount()))
    throw Exception(Format("Bad AlgBlock index (%d).", Index));

  // Until the block is in the tree, failing leaves no trace: the count is
  // taken last, so nothing has to be given back.
  std::unique_ptr<TAlgBlock, void (*)(TAlgBlock*)> Block(FFactory(),
                                                         [](TAlgBlock* B) { delete B; });
  Block->FParent = Parent;
  Block->FAlgorithm = Alg;
  const bool Counted = !InheritsFrom(&TCompoundAlgBlock::Class);
  if (Parent)
    Parent->FBlocks.reserve(Parent->FBlocks.size() + 1);
  if (Counted) {
    Alg->IncBlockCount();
    Block->FCounted = true;
  }
  TAlgBlock* B = Block.release();
  if (Parent)
    Parent->FBlocks.insert(Parent->FBlocks.begin() + Index, B);
  B->FText.OnChange = [B](TObject* Sender) { B->TextChange(Sender); };

  TModifyGuard Guard(Alg);
  try {
    B->Changed();
    B->Init();
  } catch (...) {
    B->Destroy();
    throw;
  }
  return B;
}

// --- TAlgBlock ---

TAlgBlock::TAlgBlock() = default;

TAlgBlock::~TAlgBlock() = default;

void TAlgBlock::Free() {
  if (FAlgorithm && FAlgorithm->GetRoot() == this)
    throw Exception("Нельзя удалить корневой блок.");
  CheckCanFree();
  TModifyGuard Guard(FAlgorithm);
  Destroy();
}

void TAlgBlock::Destroy() {
  TAlgorithm* Alg = FAlgorithm;
  if (FCounted)
    Alg->DecBlockCount();
  Changed();
  SetSelected(false);
  Done();
  if (FParent) {
    auto& Siblings = FParent->FBlocks;
    Siblings.erase(std::find(Siblings.begin(), Siblings.end(), this));
    FParent = nullptr;
  }
  FText.OnChange = nullptr;
  while (!FBlocks.empty())
    FBlocks.back()->Destroy();
  delete this;
}

TAlgBlock* TAlgBlock::GetBlocks(int Index) const {
  CheckBlockIndex(Index);
  return FBlocks[static_cast<size_t>(Index)];
}

void TAlgBlock::CheckBlockIndex(int Index) const {
  if (Index < 0 || Index >= GetBlockCount())
    throw Exception(Format("Bad AlgBlock index (%d).", Index));
}

int TAlgBlock::GetIndex() const {
  if (!FParent)
    return -1;
  const auto& Siblings = FParent->FBlocks;
  return static_cast<int>(std::find(Siblings.begin(), Siblings.end(), this) - Siblings.begin());
}

TAlgBlock* TAlgBlock::GetNextSibling() const {
  if (!FParent)
    return nullptr;
  const auto& Siblings = FParent->FBlocks;
  auto It = std::find(Siblings.begin(), Siblings.end(), this);
  return (It == Siblings.end() || It + 1 == Siblings.end()) ? nullptr : *(It + 1);
}

bool TAlgBlock::Contains(const TAlgBlock* Block) const {
  for (const TAlgBlock* B = Block ? Block->FParent : nullptr; B; B = B->FParent)
    if (B == this)
      return true;
  return false;
}

bool TAlgBlock::GetSelected() const {
  return FAlgorithm && FAlgorithm->BlockSelected(this);
}

void TAlgBlock::SetSelected(bool Value) {
  if (FAlgorithm)
    FAlgorithm->SelectBlock(this, Value);
}

bool TAlgBlock::GetSemiSelected() const {
  return FAlgorithm && FAlgorithm->BlockSemiselected(this);
}

void TAlgBlock::Changed() {
  if (FAlgorithm)
    FAlgorithm->Changed();
}

void TAlgBlock::TextChange(TObject*) {
  Changed();
}

void TAlgBlock::BeginModify() {
  if (FAlgorithm)
    FAlgorithm->BeginModify();
}

void TAlgBlock::EndModify() {
  if (FAlgorithm)
    FAlgorithm->EndModify();
}

void TAlgBlock::Clear() {
  if (FBlocks.empty())
    return;
  TModifyGuard Guard(FAlgorithm);
  while (!FBlocks.empty())
    FBlocks.back()->Destroy();
}

TAlgBlock* TAlgBlock::CreateCopy(TAlgBlock* NewParent) const {
  Assert(NewParent != nullptr, "A copy needs a parent.");
  return CreateCopy(NewParent, NewParent->GetBlockCount());
}

TAlgBlock* TAlgBlock::CreateCopy(TAlgBlock* NewParent, int Index) const {
  Assert(NewParent != nullptr, "A copy needs a parent.");
  // Both algorithms hold a bracket, so each hears of the whole copy once.
  TAlgorithm* Own = FAlgorithm;
  TAlgorithm* Target = NewParent->FAlgorithm != Own ? NewParent->FAlgorithm : nullptr;
  TModifyGuard OwnGuard(Own);
  TModifyGuard TargetGuard(Target);
  // A copy into this block's own subtree is made beside the block first:
  // made in place, it would be part of what it copies and never end.
  const bool IntoItself = FParent && (NewParent == this || Contains(NewParent));
  if (IntoItself && (Index < 0 || Index > NewParent->GetBlockCount()))
    throw Exception(Format("Bad AlgBlock index (%d).", Index));
  TAlgBlock* Copy = IntoItself ? GetClass()->Create(FParent, GetIndex() + 1)
                               : GetClass()->Create(NewParent, Index);
  try {
    Copy->Assign(this);
  } catch (...) {
    Copy->Destroy();
    throw;
  }
  if (IntoItself)
    Copy->MoveTo(NewParent, Index);
  return Copy;
}

void TAlgBlock::MoveTo(TAlgBlock* NewParent, int Index) {
  auto& Siblings = FParent->FBlocks;
  Siblings.erase(std::find(Siblings.begin(), Siblings.end(), this));
  NewParent->FBlocks.insert(NewParent->FBlocks.begin() + Index, this);
  FParent = NewParent;
  Changed();
}

void TAlgBlock::MoveInParent(int Index) {
  Assert(FParent != nullptr, "MoveInParent: the block has no parent.");
  Assert(Index >= 0 && Index < FParent->GetBlockCount(), "MoveInParent: index out of range.");
  MoveTo(FParent, Index);
}

void TAlgBlock::Assign(const TAlgBlock* Source) {
  if (Source != this)
    FText.Assign(Source->FText);
}

// --- sequences, containers and the branch ---

void TCompoundAlgBlock::DestroyOwned(TCompoundAlgBlock*& Sequence) {
  TCompoundAlgBlock* S = Sequence;
  if (!S)
    return;
  Sequence = nullptr;
  S->FFixed = false;
  S->Destroy();
}

void TCompoundAlgBlock::CheckCanFree() const {
  Assert(!FFixed, "A fixed AlgBlock sequence goes only with its owner.");
}

void TCompoundAlgBlock::Assign(const TAlgBlock* Source) {
  const auto* Src = dynamic_cast<const TCompoundAlgBlock*>(Source);
  if (!Src)
    throw EInvalidCast();
  if (Src == this)
    return;
  // The source's children as they are now: a copy into the source itself
  // (a loop copied into its own body) must not chase its own new blocks.
  const std::vector<TAlgBlock*> Children = ChildrenOf(Src);
  TModifyGuard Guard(GetAlgorithm());
  TAlgBlock::Assign(Source);
  Clear();
  for (TAlgBlock* Child : Children)
    Child->CreateCopy(this);
}

void TContainerAlgBlock::Init() {
  FBody = Create<TCompoundAlgBlock>(this);
  FBody->FFixed = true;
}

void TContainerAlgBlock::Done() {
  TCompoundAlgBlock::DestroyOwned(FBody);
}

void TContainerAlgBlock::Assign(const TAlgBlock* Source) {
  const auto* Src = dynamic_cast<const TContainerAlgBlock*>(Source);
  if (!Src)
    throw EInvalidCast();
  TModifyGuard Guard(GetAlgorithm());
  TAlgBlock::Assign(Source);
  FBody->Assign(Src->FBody);
}

void TRootAlgBlock::Init() {
  TContainerAlgBlock::Init();
  GetText().Add("начало");
}

void TIfAlgBlock::Init() {
  FYesBranch = Create<TCompoundAlgBlock>(this);
  FYesBranch->FFixed = true;
  FNoBranch = Create<TCompoundAlgBlock>(this);
  FNoBranch->FFixed = true;
}

void TIfAlgBlock::Done() {
  TCompoundAlgBlock::DestroyOwned(FYesBranch);
  TCompoundAlgBlock::DestroyOwned(FNoBranch);
}

void TIfAlgBlock::Assign(const TAlgBlock* Source) {
  const auto* Src = dynamic_cast<const TIfAlgBlock*>(Source);
  if (!Src)
    throw EInvalidCast();
  TModifyGuard Guard(GetAlgorithm());
  TAlgBlock::Assign(Source);
  FYesBranch->Assign(Src->FYesBranch);
  FNoBranch->Assign(Src->FNoBranch);
}

// --- TAlgColorScheme ---

TAlgColorScheme::TAlgColorScheme(TAlgorithm* Algorithm) : FAlgorithm(Algorithm) {}

void TAlgColorScheme::Assign(const TAlgColorScheme& Source) {
  FPenColor = Source.FPenColor;
  FBlockColor = Source.FBlockColor;
  FSelectedBlockColor = Source.FSelectedBlockColor;
  FSemiselectedBlockColor = Source.FSemiselectedBlockColor;
  FSelectedBlockTextColor = Source.FSelectedBlockTextColor;
  Changed();
}

void TAlgColorScheme::SetColor(TColor& Field, TColor Value) {
  if (Field == Value)
    return;
  Field = Value;
  Changed();
}

void TAlgColorScheme::SetHighContrast() {
  FPenColor = RGBColor(0xFF, 0xFF, 0xFF);
  FBlockColor = RGBColor(0x00, 0x00, 0x00);
  FSelectedBlockColor = RGBColor(0xFF, 0xFF, 0x00);
  FSemiselectedBlockColor = RGBColor(0x00, 0x60, 0xC0);
  FSelectedBlockTextColor = RGBColor(0x00, 0x00, 0x00);
  Changed();
}

void TAlgColorScheme::Changed() {
  if (FAlgorithm)
    FAlgorithm->FViewAspect->Changed();
}

// --- TAlgorithm ---

TAlgorithm::TAlgorithm() {
  FRoot = static_cast<TRootAlgBlock*>(TRootAlgBlock::Class.Construct(this, nullptr, 0));
  FSelAspect = new TAspectController(this);
  FViewAspect = new TAspectController(this);
  FColorScheme = new TAlgColorScheme(this);
  SetDirty(false);
}

TAlgorithm::~TAlgorithm() {
  FSelection.clear();
  // Left open for good: listeners hear nothing of the teardown.
  BeginModify();
  TRootAlgBlock* Root = FRoot;
  FRoot = nullptr;
  if (Root)
    Root->Destroy();
  delete FSelAspect;
  FSelAspect = nullptr;
  delete FViewAspect;
  FViewAspect = nullptr;
  delete FColorScheme;
  FColorScheme = nullptr;
}

void TAlgorithm::IncBlockCount() {
  if (FBlockCount >= AlgMaxBlockCount)
    throw Exception(Format("Слишком много блоков (предел = %d).", AlgMaxBlockCount));
  ++FBlockCount;
}

void TAlgorithm::DecBlockCount() {
  if (FBlockCount > 0)
    --FBlockCount;
}

TAlgBlock* TAlgorithm::GetSelectedBlocksProperty(int Index) const {
  CheckSelectedBlockIndex(Index);
  return FSelection[static_cast<size_t>(Index)];
}

void TAlgorithm::CheckSelectedBlockIndex(int Index) const {
  if (Index < 0 || Index >= GetSelectedBlockCount())
    throw Exception(Format("Bad selected block index %d (%d).", Index, GetSelectedBlockCount()));
}

void TAlgorithm::GetSelectedBlocks(std::vector<TAlgBlock*>& List) const {
  List = FSelection;
}

bool TAlgorithm::BlockSelected(const TAlgBlock* Block) const {
  return std::find(FSelection.begin(), FSelection.end(), Block) != FSelection.end();
}

bool TAlgorithm::CanSelectBlock(const TAlgBlock* Block) const {
  return FSelection.empty() || Block->GetParent() == GetSelOwner();
}

TAlgBlock* TAlgorithm::GetSelOwner() const {
  return FSelection.empty() ? nullptr : FSelection.front()->GetParent();
}

bool TAlgorithm::BlockSemiselected(const TAlgBlock* Block) const {
  for (const TAlgBlock* S : FSelection)
    if (S->Contains(Block))
      return true;
  return false;
}

void TAlgorithm::SelectBlock(TAlgBlock* Block, bool Value) {
  if (!Block)
    return;
  if (Value) {
    // A block of another document or another sequence is refused silently.
    if (Block->GetAlgorithm() != this || BlockSelected(Block) || !CanSelectBlock(Block))
      return;
    FSelection.push_back(Block);
    FSelAspect->Changed();
  } else {
    auto It = std::find(FSelection.begin(), FSelection.end(), Block);
    if (It == FSelection.end())
      return;
    FSelection.erase(It);
    FSelAspect->Changed();
  }
}

void TAlgorithm::UnselectAll() {
  if (FSelection.empty())
    return;
  FSelection.clear();
  FSelAspect->Changed();
}

void TAlgorithm::SelectAll() {
  TModifyGuard Guard(this);
  UnselectAll();
  TCompoundAlgBlock* Body = FRoot->GetBody();
  for (int I = 0; I < Body->GetBlockCount(); ++I)
    SelectBlock(Body->GetBlocks(I), true);
}

void TAlgorithm::LevelUpSelection() {
  if (FSelection.empty())
    return;
  TModifyGuard Guard(this);
  if (FSelection.front() == FRoot) {
    UnselectAll();
  } else {
    TAlgBlock* Owner = GetSelOwner();
    Assert(Owner != nullptr, "LevelUpSelection: the selection has no owner.");
    if (GetSelectedBlockCount() < Owner->GetBlockCount()) {
      for (int I = 0; I < Owner->GetBlockCount(); ++I)
        SelectBlock(Owner->GetBlocks(I), true);
    } else {
      UnselectAll();
      SelectBlock(Owner->GetParent(), true);
    }
  }
}

void TAlgorithm::DeleteSelection() {
  if (FSelection.empty() || FSelection.front() == FRoot)
    return;
  // Everything is checked before anything changes, so a selection holding a
  // block that may not go is refused whole.
  for (const TAlgBlock* B : FSelection)
    B->CheckCanFree();
  TModifyGuard Guard(this);
  const std::vector<TAlgBlock*> Doomed = FSelection;
  TAlgBlock* Parent = Doomed.front()->GetParent();
  int Index = Doomed.size() == 1 ? Doomed.front()->GetIndex() : -1;
  UnselectAll();
  for (auto It = Doomed.rbegin(); It != Doomed.rend(); ++It)
    (*It)->Destroy();
  if (Index != -1 && Parent) {
    if (Index >= Parent->GetBlockCount())
      Index = Parent->GetBlockCount() - 1;
    if (Index != -1)
      SelectBlock(Parent->GetBlocks(Index), true);
  }
}

void TAlgorithm::AddSelListener(IOnNotify* Listener) {
  FSelAspect->AddListener(Listener);
}

void TAlgorithm::RemoveSelListener(IOnNotify* Listener) {
  if (FSelAspect)
    FSelAspect->RemoveListener(Listener);
}

void TAlgorithm::AddViewListener(IOnNotify* Listener) {
  FViewAspect->AddListener(Listener);
}

void TAlgorithm::RemoveViewListener(IOnNotify* Listener) {
  if (FViewAspect)
    FViewAspect->RemoveListener(Listener);
}

// --- block-class registry ---

namespace {

std::unique_ptr<std::vector<const TAlgBlockClass*>>& Registry() {
  static std::unique_ptr<std::vector<const TAlgBlockClass*>> List;
  return List;
}

// Fills the registry when the library is loaded and empties it when unloaded.
struct TRegistryLifetime {
  TRegistryLifetime() {
    for (int I = 0; I < AlgBlockKindCount; ++I)
      if (const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I)); Info.Placed)
        AlgRegisterBlockClass(Info.Class);
  }
  ~TRegistryLifetime() { Registry().reset(); }
} RegistryLifetime;

} // namespace

void AlgRegisterBlockClass(const TAlgBlockClass* Class) {
  if (!Registry())
    Registry() = std::make_unique<std::vector<const TAlgBlockClass*>>();
  Registry()->push_back(Class);
}

void AlgRegisterBlockClasses(std::initializer_list<const TAlgBlockClass*> Classes) {
  for (const TAlgBlockClass* C : Classes)
    AlgRegisterBlockClass(C);
}

int AlgBlockClassCount() {
  return Registry() ? static_cast<int>(Registry()->size()) : 0;
}

const TAlgBlockClass* AlgBlockClasses(int Index) {
  if (Index < 0 || Index >= AlgBlockClassCount())
    throw Exception(Format("Bad AlgBlock class index (%d).", Index));
  return (*Registry())[static_cast<size_t>(Index)];
}

const TAlgBlockClass* AlgFindBlockClass(const std::string& Name) {
  const std::string Full = "T" + Name;
  if (Registry())
    for (const TAlgBlockClass* C : *Registry())
      if (SameText(C->ClassName(), Full))
        return C;
  throw Exception(Format("AlgBlock class \"%s\" not found.", Full.c_str()));
}

} // namespace Deskbay
