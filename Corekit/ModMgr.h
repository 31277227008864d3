#pragma once

// Loading plug-in packages (shared libraries) by file name, the libraries
// they require first, with one process-wide table of what was loaded.

#include "StringList.h"
#include "SysUtils.h"

#include <functional>
#include <string>
#include <vector>

namespace Deskbay {

// A loaded library as dlopen hands it out.
using TModuleHandle = void*;

// A package may export these (extern "C", no arguments): its initialisation
// runs right after loading, and an exception from it unloads the package
// again; its finalisation runs right before unloading.
inline constexpr const char* PackageInitExport = "DeskbayPackageInit";
inline constexpr const char* PackageDoneExport = "DeskbayPackageDone";

#define DESKBAY_PACKAGE_EXPORT extern "C" __attribute__((visibility("default")))

class TModuleManager;

// Asked for the path of a package that is not loaded yet; leaving FileName
// empty means the package cannot be found.
using TModuleRequiredEvent = std::function<void(
    TModuleManager* Sender, const std::string& ModuleName, std::string& FileName)>;
// Told after a package was loaded and recorded.
using TModuleLoadedEvent = std::function<void(TModuleManager* Sender, const std::string& FileName,
                                              TModuleHandle Instance)>;

// One package the managers loaded; freeing the record unloads it.
class COREKIT_API TMountedModule {
public:
  TMountedModule(std::string FileName, TModuleHandle Handle);
  ~TMountedModule();
  TMountedModule(const TMountedModule&) = delete;
  TMountedModule& operator=(const TMountedModule&) = delete;

  const std::string& GetFileName() const { return FFileName; }
  TModuleHandle GetHandle() const { return FHandle; }
  // The file name without directory: the key for look-ups.
  const std::string& GetName() const { return FName; }

private:
  friend class TModuleManager;
  std::string FFileName;
  TModuleHandle FHandle;
  std::string FName;
};

// Every manager shares one table, guarded by one lock that the same thread
// may take again (mounting recurses into required packages, and the events
// run while it is held).
class COREKIT_API TModuleManager : public TObject {
public:
  const char* ClassName() const override { return "TModuleManager"; }

  // Loads the package file named Name (and, first, every package it
  // requires) unless a module of that file name is already in the process.
  // Raises "Модуль \"%s\" не найден." when no file is known for a package,
  // and "Не удалось прочитать модуль \"%s\": <reason>." when the file is no
  // library of this machine (the ELF reader's reason).
  TModuleHandle MountModule(const std::string& Name);
  // Unloads a recorded package; names not in the table are ignored.
  void UnmountModule(const std::string& Name);
  // Unloads every recorded package, the last recorded first.
  void UnmountAll();
  // Whether a module of that file name is loaded in the process, recorded
  // or not.
  bool IsModuleResident(const std::string& Name);

  // The record of that name, or nullptr / the error
  // "Модуль \"%s\" не подключён.".
  TMountedModule* GetModule(const std::string& Name);
  TMountedModule* FindModule(const std::string& Name);
  int GetModuleCount();

  TModuleRequiredEvent OnModuleRequired;
  TModuleLoadedEvent OnModuleLoaded;

protected:
  virtual void DoModuleRequired(const std::string& ModuleName, std::string& FileName);
  virtual void DoModuleLoaded(const std::string& FileName, TModuleHandle Instance);

private:
  TModuleHandle InternalMount(const std::string& Name, const std::string& RequiredBy);
};

// Loads the library and runs its initialisation. Raises
// "Не удалось загрузить модуль \"%s\": %s." with the loader's reason; an exception
// from the initialisation unloads the library and comes back as a plain
// error with the same message.
COREKIT_API TModuleHandle SafeLoadPackage(const std::string& FileName);
// Runs the package's finalisation and unloads it.
COREKIT_API void UnloadPackage(TModuleHandle Handle);

// An export of the package itself (never one of the libraries it pulled
// in), or nullptr.
COREKIT_API void* GetPackageProcAddress(TModuleHandle Handle, const char* Name);

// The full path of a module loaded in the process; "" for a handle that is
// none. The program's own handle gives the program file.
COREKIT_API std::string GetModuleFileName(TModuleHandle Handle);
// The program file's full path.
COREKIT_API std::string GetProgramFileName();

struct TLoadedModule {
  std::string FileName;
  TModuleHandle Handle;
};
// Every library loaded in the process with its file, in load order; the
// program itself is not among them.
COREKIT_API std::vector<TLoadedModule> GetLoadedModules();

// The names of the libraries Module requires, in the order its dynamic
// section lists them; false when they cannot be read.
COREKIT_API bool GetRequiredPackages(TModuleHandle Module, TStringList& List);

} // namespace Deskbay
