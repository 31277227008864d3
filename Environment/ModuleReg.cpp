#include "ModuleReg.h"

#include <cstring>

namespace Deskbay {

TModuleClass::~TModuleClass() = default;
IModuleInterface::~IModuleInterface() = default;

namespace {

bool SameGUID(const TGUID& A, const TGUID& B) {
  // Byte for byte, as the stored records compare.
  return memcmp(&A, &B, sizeof(TGUID)) == 0;
}

template <class T> struct TEntry {
  T Item;
  TGUID Category;
};

// One list per registry, made on the first registration and gone with the
// library.
template <class T> class TRegistry {
public:
  void Register(const T& Item, const TGUID& Category, const std::string& DuplicateMessage) {
    if (FEntries) {
      for (const auto& E : *FEntries)
        if (E.Item == Item)
          throw Exception(DuplicateMessage);
    } else
      FEntries = std::make_unique<std::vector<TEntry<T>>>();
    FEntries->push_back({Item, Category});
  }
  void Unregister(const T& Item) {
    if (!FEntries)
      return;
    for (auto It = FEntries->begin(); It != FEntries->end(); ++It)
      if (It->Item == Item) {
        // Out of the list before it is released: releasing an interface
        // may run a provider's code that looks at the registry.
        [[maybe_unused]] T Released = std::move(It->Item);
        FEntries->erase(It);
        return;
      }
  }
  void Get(const TGUID& Category, std::vector<T>& List) const {
    List.clear();
    if (FEntries)
      for (const auto& E : *FEntries)
        if (SameGUID(E.Category, Category))
          List.push_back(E.Item);
  }

private:
  std::unique_ptr<std::vector<TEntry<T>>> FEntries;
};

TRegistry<const TModuleClass*>& Classes() {
  static TRegistry<const TModuleClass*> R;
  return R;
}
TRegistry<TModuleInterfaceRef>& Interfaces() {
  static TRegistry<TModuleInterfaceRef> R;
  return R;
}
TRegistry<const void*>& Objects() {
  static TRegistry<const void*> R;
  return R;
}

} // namespace

void RegisterModuleClass(const TModuleClass* Class, const TGUID& Category) {
  Classes().Register(Class, Category,
                     Format("Класс \"%s\" уже зарегистрирован.", Class ? Class->ClassName() : ""));
}

void UnregisterModuleClass(const TModuleClass* Class) {
  Classes().Unregister(Class);
}

void GetModuleClasses(const TGUID& Category, std::vector<const TModuleClass*>& List) {
  Classes().Get(Category, List);
}

void RegisterModuleInterface(const TModuleInterfaceRef& Intf, const TGUID& Category) {
  Interfaces().Register(Intf, Category, "Интерфейс уже зарегистрирован.");
}

void UnregisterModuleInterface(const TModuleInterfaceRef& Intf) {
  Interfaces().Unregister(Intf);
}

void GetModuleInterfaces(const TGUID& Category, std::vector<TModuleInterfaceRef>& List) {
  Interfaces().Get(Category, List);
}

void RegisterModuleObject(const void* Obj, const TGUID& Category) {
  Objects().Register(Obj, Category, "Объект уже зарегистрирован.");
}

void UnregisterModuleObject(const void* Obj) {
  Objects().Unregister(Obj);
}

void GetModuleObjects(const TGUID& Category, std::vector<const void*>& List) {
  Objects().Get(Category, List);
}

} // namespace Deskbay
