#include "MiscUtils_Versioning.h"

#include <algorithm>

namespace Deskbay {

IInterface::~IInterface() = default;

template <class T> static void RemoveFirst(std::vector<T*>& List, T* Item) {
  auto It = std::find(List.begin(), List.end(), Item);
  if (It != List.end())
    List.erase(It);
}

// --- TAspectController ---

TAspectController::TAspectController(TObject* Owner)
    : FOwner(Owner), FManager(dynamic_cast<TVersionManager*>(Owner)) {
  if (FManager && FManager->FAspects)
    FManager->FAspects->push_back(this);
}

TAspectController::~TAspectController() {
  if (FManager && FManager->FAspects)
    RemoveFirst(*FManager->FAspects, this);
}

void TAspectController::AddListener(IOnNotify* Listener) {
  FListeners.push_back(Listener);
}

void TAspectController::RemoveListener(IOnNotify* Listener) {
  RemoveFirst(FListeners, Listener);
}

void TAspectController::Changed() {
  ++FVersion;
  if (FManager && FManager->FModifyLockCount > 0)
    return;
  DoNotify();
}

void TAspectController::DoNotify() {
  TObject* Sender = FManager ? FManager->FOwner : FOwner;
  NotifyEach(FListeners, false, [Sender](IOnNotify* L) { L->Notify(Sender); });
}

// --- TVersionManager ---

TVersionManager::TVersionManager(TObject* Owner)
    : FAspects(new std::vector<TAspectController*>), FOwner(Owner ? Owner : this) {}

TVersionManager::~TVersionManager() {
  // Cleared first, so the controllers freed here do not look for the list.
  std::vector<TAspectController*>* Aspects = FAspects;
  FAspects = nullptr;
  for (TAspectController* A : *Aspects)
    delete A;
  delete Aspects;
}

TAspectController* TVersionManager::GetAspects(int Index) const {
  if (Index < 0 || Index >= GetAspectCount())
    throw Exception(Format("Bad aspect index (%d).", Index));
  return (*FAspects)[static_cast<size_t>(Index)];
}

void TVersionManager::BeginModify() {
  if (FModifyLockCount == 0)
    RememberVersions();
  ++FModifyLockCount;
}

void TVersionManager::EndModify() {
  if (FModifyLockCount < 1)
    throw EAssertionFailed("EndModify: ModifyLockCount is already 0.");
  if (--FModifyLockCount == 0)
    GenerateNotifications();
}

void TVersionManager::RememberVersions() {
  if (!FAspects)
    return;
  for (TAspectController* A : *FAspects)
    A->RememberVersion();
}

void TVersionManager::GenerateNotifications() {
  if (!FAspects)
    return;
  // An aspect created or freed by a listener joins or leaves from the next
  // pass on, as listeners do.
  NotifyEach(*FAspects, false, [](TAspectController* A) {
    if (A->GetVersion() != A->GetRememberedVersion())
      A->DoNotify();
  });
}

void TVersionManager::TriggerNotifications() {
  if (FModifyLockCount <= 0)
    return;
  GenerateNotifications();
  RememberVersions();
}

// --- TBaseVersionedObject ---

TBaseVersionedObject::TBaseVersionedObject() : FMainAspect(new TAspectController(this)) {}

TBaseVersionedObject::~TBaseVersionedObject() {
  delete FMainAspect;
}

void TBaseVersionedObject::Changed() {
  FMainAspect->Changed();
}

uint64_t TBaseVersionedObject::GetVersion() const {
  return FMainAspect->GetVersion();
}

void TBaseVersionedObject::SetVersion(uint64_t Value) {
  FMainAspect->SetVersion(Value);
}

bool TBaseVersionedObject::GetDirty() const {
  return FMainAspect->GetVersion() != FCleanVersion;
}

void TBaseVersionedObject::SetDirty(bool Value) {
  if (Value)
    Changed();
  else
    FCleanVersion = FMainAspect->GetVersion();
}

// --- TVersionedObject ---

TVersionedObject::TVersionedObject() {
  GetMainAspect()->AddListener(this);
}

TVersionedObject::~TVersionedObject() {
  GetMainAspect()->RemoveListener(this);
}

void TVersionedObject::Notify(TObject*) {
  DoChange();
}

void TVersionedObject::DoChange() {
  if (OnChange)
    OnChange(this);
}

// --- TVersionedObjectEx ---

void TVersionedObjectEx::AddListener(IOnNotify* Listener) {
  GetMainAspect()->AddListener(Listener);
}

void TVersionedObjectEx::RemoveListener(IOnNotify* Listener) {
  if (GetMainAspect())
    GetMainAspect()->RemoveListener(Listener);
}

// --- sink lists ---

void TSinks::Add(IInterface* Sink) {
  if (!AcceptsSink(Sink))
    throw EInvalidCast();
  FSinks.push_back(Sink);
}

void TSinks::Remove(IInterface* Sink) {
  RemoveFirst(FSinks, Sink);
}

bool TSinks::Present(IInterface* Sink) const {
  return std::find(FSinks.begin(), FSinks.end(), Sink) != FSinks.end();
}

void TSinks::CheckIndex(int Index) const {
  if (Index < 0 || Index >= GetCount())
    throw Exception(Format("TSinks.CheckIndex: Bad index: %d", Index));
}

IInterface* TSinks::GetSinks(int Index) const {
  CheckIndex(Index);
  return FSinks[static_cast<size_t>(Index)];
}

bool TDestroySinks::AcceptsSink(IInterface* Sink) const {
  return dynamic_cast<IOnDestroy*>(Sink) != nullptr;
}

void TDestroySinks::SendOnDestroying(TObject* Obj) {
  NotifyEach(Sinks(), true,
             [Obj](IInterface* S) { dynamic_cast<IOnDestroy*>(S)->OnDestroying(Obj); });
}

bool TRenameSinks::AcceptsSink(IInterface* Sink) const {
  return dynamic_cast<IOnRename*>(Sink) != nullptr;
}

void TRenameSinks::SendOnRenaming(TObject* Obj, const std::string& NewName) {
  NotifyEach(Sinks(), true,
             [&](IInterface* S) { dynamic_cast<IOnRename*>(S)->OnRenaming(Obj, NewName); });
}

void TRenameSinks::SendOnRename(TObject* Obj, const std::string& NewName) {
  NotifyEach(Sinks(), true,
             [&](IInterface* S) { dynamic_cast<IOnRename*>(S)->OnRename(Obj, NewName); });
}

} // namespace Deskbay
