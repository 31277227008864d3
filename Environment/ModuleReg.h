#pragma once

// Where application modules and the shell meet: three process-wide
// registries (classes, interface references, objects), each entry filed
// under a category GUID. Entries keep their registration order.

#include "EnvironmentExport.h"

#include "Corekit/MiscUtils_StreamHelpers.h"
#include "Corekit/SysUtils.h"

#include <memory>
#include <string>
#include <vector>

namespace Deskbay {

// Document window classes (TEditorFormClass).
inline constexpr TGUID CATID_EDITOR = {
    0xFDE5FD51, 0x4A22, 0x11D6, {0xAC, 0x07, 0x20, 0x4C, 0x4F, 0x4F, 0x50, 0x20}};
// New-item providers (interface references).
inline constexpr TGUID ICATID_NEW_ITEMS = {
    0x15BA19F2, 0xA143, 0x11D6, {0xAD, 0xCB, 0x20, 0x4C, 0x4F, 0x4F, 0x50, 0x20}};
// Module handles of further libraries the modules dialog lists (objects).
inline constexpr TGUID OCATID_LIBRARY = {
    0x3CBB6D01, 0x6702, 0x11D6, {0xAC, 0x96, 0x20, 0x4C, 0x4F, 0x4F, 0x50, 0x20}};

// A class as a value, as the class registry holds it.
class ENVIRONMENT_API TModuleClass {
public:
  virtual ~TModuleClass();
  virtual const char* ClassName() const = 0;
};

// What every registered interface reference is; providers implement the
// interfaces below besides.
class ENVIRONMENT_API IModuleInterface {
public:
  virtual ~IModuleInterface();
};

// The description of a new-item provider, {8FED95D1-1712-11D6-AB53-204C4F4F5020}.
class ENVIRONMENT_API IModuleDescription : public virtual IModuleInterface {
public:
  virtual std::string GetName() = 0;
  // The caption the new-document dialog shows.
  virtual std::string GetCaption() = 0;
};

// What a new-item provider does, {15BA19F1-A143-11D6-ADCB-204C4F4F5020}.
class ENVIRONMENT_API IModuleAction : public virtual IModuleInterface {
public:
  // Creates the new item.
  virtual void Execute() = 0;
};

using TModuleInterfaceRef = std::shared_ptr<IModuleInterface>;

// A class already registered (under any category): "Класс \"%s\" уже зарегистрирован.".
ENVIRONMENT_API void RegisterModuleClass(const TModuleClass* Class, const TGUID& Category);
ENVIRONMENT_API void UnregisterModuleClass(const TModuleClass* Class);
// Clears List, then appends the classes of Category in registration order.
ENVIRONMENT_API void GetModuleClasses(const TGUID& Category,
                                      std::vector<const TModuleClass*>& List);

// The registry holds the reference, so it keeps the provider alive.
// Twice: "Интерфейс уже зарегистрирован.".
ENVIRONMENT_API void RegisterModuleInterface(const TModuleInterfaceRef& Intf,
                                             const TGUID& Category);
ENVIRONMENT_API void UnregisterModuleInterface(const TModuleInterfaceRef& Intf);
ENVIRONMENT_API void GetModuleInterfaces(const TGUID& Category,
                                         std::vector<TModuleInterfaceRef>& List);

// Objects are not owned. Twice: "Объект уже зарегистрирован.".
ENVIRONMENT_API void RegisterModuleObject(const void* Obj, const TGUID& Category);
ENVIRONMENT_API void UnregisterModuleObject(const void* Obj);
ENVIRONMENT_API void GetModuleObjects(const TGUID& Category, std::vector<const void*>& List);

} // namespace Deskbay
