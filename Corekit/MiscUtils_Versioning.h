#pragma once

// Change notification for model objects. An object owns aspects; each aspect
// has a 64-bit version and listeners. A change bumps the version; listeners
// hear of it at once, or - inside BeginModify/EndModify - once per changed
// aspect when the outermost bracket closes, in the order the aspects were
// created. The dirty flag is derived from the main aspect's version.
//
// Listeners that change listener lists during a notification pass: every
// pass works on the listeners registered when it started. A listener added
// during the pass is first called by the next pass; a listener removed during
// the pass is not called any more in it, even when its turn has not come yet
// (so a listener may safely remove - and then free - another one). The same
// rule holds for the sink lists.

#include "CorekitExport.h"
#include "SysUtils.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

namespace Deskbay {

// Interfaces are plain abstract classes; nobody counts references to them.
class COREKIT_API IInterface {
public:
  virtual ~IInterface();
};

class COREKIT_API IOnNotify : public virtual IInterface {
public:
  virtual void Notify(TObject* Sender) = 0;
};

// Routes notices of one kind to a named method of its owner, so one class can
// listen to several aspects and tell them apart without looking at Sender.
template <class TOwner> class TNotifyAdapter : public IOnNotify {
public:
  using TMethod = void (TOwner::*)(TObject* Sender);
  TNotifyAdapter(TOwner* Owner, TMethod Method) : FOwner(Owner), FMethod(Method) {}
  void Notify(TObject* Sender) override { (FOwner->*FMethod)(Sender); }

private:
  TOwner* FOwner;
  TMethod FMethod;
};

// Base of objects that implement interfaces; their creators free them.
class COREKIT_API TSolidInterfacedObject : public TObject, public virtual IInterface {
public:
  const char* ClassName() const override { return "TSolidInterfacedObject"; }
};

class TVersionManager;

// Calls Fn for each entry of Live that was present when the pass started and
// is still present when its turn comes; Reverse walks from the last entry.
template <class T, class F> void NotifyEach(const std::vector<T*>& Live, bool Reverse, F&& Fn) {
  if (Live.empty())
    return;
  const std::vector<T*> Snapshot(Live);
  const size_t Count = Snapshot.size();
  for (size_t K = 0; K < Count; ++K) {
    T* Item = Snapshot[Reverse ? Count - 1 - K : K];
    bool Present = false;
    for (T* L : Live)
      if (L == Item) {
        Present = true;
        break;
      }
    if (Present)
      Fn(Item);
  }
}

class COREKIT_API TAspectController : public TObject {
public:
  // An owner that is a TVersionManager takes the controller into its aspect
  // list; the list frees controllers still in it when the manager goes.
  explicit TAspectController(TObject* Owner);
  ~TAspectController() override;
  const char* ClassName() const override { return "TAspectController"; }

  void AddListener(IOnNotify* Listener);
  void RemoveListener(IOnNotify* Listener);
  int GetListenerCount() const { return static_cast<int>(FListeners.size()); }

  void Changed();
  void DoNotify();

  uint64_t GetVersion() const { return FVersion; }
  void SetVersion(uint64_t Value) { FVersion = Value; }
  uint64_t GetRememberedVersion() const { return FRememberedVersion; }
  void RememberVersion() { FRememberedVersion = FVersion; }
  TObject* GetOwner() const { return FOwner; }

private:
  friend class TVersionManager;
  uint64_t FVersion = 1;
  uint64_t FRememberedVersion = 1;
  TObject* FOwner;
  TVersionManager* FManager; // the owner, when it is a manager
  std::vector<IOnNotify*> FListeners;
};

class COREKIT_API TVersionManager : public TSolidInterfacedObject {
public:
  // Listeners receive Owner as Sender; without one, the manager itself.
  explicit TVersionManager(TObject* Owner = nullptr);
  ~TVersionManager() override;
  const char* ClassName() const override { return "TVersionManager"; }

  void BeginModify();
  void EndModify();
  bool GetModifying() const { return FModifyLockCount > 0; }
  int GetModifyLockCount() const { return FModifyLockCount; }
  int GetAspectCount() const { return FAspects ? static_cast<int>(FAspects->size()) : 0; }
  TAspectController* GetAspects(int Index) const;

  void RememberVersions();
  void GenerateNotifications();
  // Publishes what changed so far inside the open bracket and takes the
  // current versions as the new baseline; outside a bracket does nothing.
  void TriggerNotifications();

  TObject* GetOwner() const { return FOwner; }

private:
  friend class TAspectController;
  std::vector<TAspectController*>* FAspects;
  int32_t FModifyLockCount = 0;
  TObject* FOwner;
};

// Holds a bracket of Object open for one scope: Begin on entry, End when the
// scope is left, also by an exception. A failure while closing is passed on
// on the normal path; while another exception is already on its way, that
// one wins and the closing failure is dropped. A null Object holds nothing.
template <class T> class TBracketGuard {
public:
  using TMethod = void (T::*)();
  TBracketGuard(T* Object, TMethod Begin, TMethod End)
      : FObject(Object), FEnd(End), FUncaught(std::uncaught_exceptions()) {
    if (FObject)
      (FObject->*Begin)();
  }
  ~TBracketGuard() noexcept(false) {
    if (!FObject)
      return;
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        (FObject->*FEnd)();
      } catch (...) {
      }
    } else {
      (FObject->*FEnd)();
    }
  }
  TBracketGuard(const TBracketGuard&) = delete;
  TBracketGuard& operator=(const TBracketGuard&) = delete;

private:
  T* FObject;
  TMethod FEnd;
  int FUncaught;
};

// The BeginModify/EndModify bracket of a versioned object (or of anything
// with those two operations) for one scope.
template <class T> class TModifyGuard : public TBracketGuard<T> {
public:
  explicit TModifyGuard(T* Object) : TBracketGuard<T>(Object, &T::BeginModify, &T::EndModify) {}
  explicit TModifyGuard(T& Object) : TModifyGuard(&Object) {}
};

class COREKIT_API TBaseVersionedObject : public TVersionManager {
public:
  TBaseVersionedObject();
  ~TBaseVersionedObject() override;
  const char* ClassName() const override { return "TBaseVersionedObject"; }

  virtual void Changed();
  uint64_t GetVersion() const;
  // Overwrites the main aspect's version; nobody is told.
  void SetVersion(uint64_t Value);
  bool GetDirty() const;
  void SetDirty(bool Value);

protected:
  TAspectController* GetMainAspect() const { return FMainAspect; }

private:
  TAspectController* FMainAspect;
  uint64_t FCleanVersion = 1;
};

class COREKIT_API TVersionedObject : public TBaseVersionedObject, public IOnNotify {
public:
  TVersionedObject();
  ~TVersionedObject() override;
  const char* ClassName() const override { return "TVersionedObject"; }

  void Notify(TObject* Sender) override;
  virtual void DoChange();

  TNotifyEvent OnChange;
};

// A versioned object whose main aspect outside listeners may subscribe to.
class COREKIT_API TVersionedObjectEx : public TBaseVersionedObject {
public:
  const char* ClassName() const override { return "TVersionedObjectEx"; }
  void AddListener(IOnNotify* Listener);
  void RemoveListener(IOnNotify* Listener);
};

// Sink lists fan a destroy or rename notice out to interface listeners, the
// last registered first.
class COREKIT_API ISinks : public virtual IInterface {
public:
  virtual void Add(IInterface* Sink) = 0;
  virtual void Remove(IInterface* Sink) = 0;
  virtual bool Present(IInterface* Sink) const = 0;
};

class COREKIT_API TSinks : public TSolidInterfacedObject, public virtual ISinks {
public:
  const char* ClassName() const override { return "TSinks"; }
  void Add(IInterface* Sink) override;
  void Remove(IInterface* Sink) override;
  bool Present(IInterface* Sink) const override;
  int GetCount() const { return static_cast<int>(FSinks.size()); }
  IInterface* GetSinks(int Index) const;

protected:
  // A sink that cannot take the notices of this list is refused when added.
  virtual bool AcceptsSink(IInterface*) const { return true; }
  const std::vector<IInterface*>& Sinks() const { return FSinks; }

private:
  void CheckIndex(int Index) const;
  std::vector<IInterface*> FSinks;
};

class COREKIT_API IOnDestroy : public virtual IInterface {
public:
  virtual void OnDestroying(TObject* Obj) = 0;
};

class COREKIT_API IOnRename : public virtual IInterface {
public:
  virtual void OnRenaming(TObject* Obj, const std::string& NewName) = 0;
  virtual void OnRename(TObject* Obj, const std::string& NewName) = 0;
};

class COREKIT_API IDestroyNotify : public virtual ISinks {};
class COREKIT_API IRenameNotify : public virtual ISinks {};

class COREKIT_API TDestroySinks : public TSinks, public IDestroyNotify {
public:
  const char* ClassName() const override { return "TDestroySinks"; }
  void SendOnDestroying(TObject* Obj);

protected:
  bool AcceptsSink(IInterface* Sink) const override;
};

class COREKIT_API TRenameSinks : public TSinks, public IRenameNotify {
public:
  const char* ClassName() const override { return "TRenameSinks"; }
  void SendOnRenaming(TObject* Obj, const std::string& NewName);
  void SendOnRename(TObject* Obj, const std::string& NewName);

protected:
  bool AcceptsSink(IInterface* Sink) const override;
};

} // namespace Deskbay
