#pragma once

// The application modules: a package's module class, the module it makes,
// and the table of applications the settings file lists with the modules
// running now. The table owns the running modules; nothing else frees one.

#include "Editor.h"

#include "Corekit/ModMgr.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Deskbay {

class IShell;
class TAppModule;
class TIniFile;

// An application module's class as a value; the shell creates modules only
// through it. A module's class derives from TAppModuleClassOf<itsModule>.
class ENVIRONMENT_API TAppModuleClass {
public:
  virtual ~TAppModuleClass();
  virtual const char* ClassName() const = 0;
  // The virtual constructor: the module, made whole, is handed to the
  // running shell's module table, which owns it from then on.
  virtual TAppModule* Create(const std::string& Name) const = 0;
  // The module's long title; "<Неизвестный модуль>".
  virtual std::string GetTitle() const;
  // GetTitle by default.
  virtual std::string GetShortTitle() const;

protected:
  // Hands a module just made to the running shell's table (see Create).
  static TAppModule* Adopt(std::unique_ptr<TAppModule> Module);
};

// The class value of the module class TModule, whose constructor takes
// (const TAppModuleClass&, const std::string& Name).
template <class TModule, class Base = TAppModuleClass> class TAppModuleClassOf : public Base {
public:
  explicit TAppModuleClassOf(const char* Name) : FName(Name) {}
  const char* ClassName() const override { return FName; }
  TAppModule* Create(const std::string& Name) const override {
    return this->Adopt(std::make_unique<TModule>(*this, Name));
  }

private:
  const char* FName;
};

// What every application-module package exports by this plain name.
using TGetAppModuleClass = const TAppModuleClass* (*)();
inline constexpr const char* GetAppModuleClassExport = "GetAppModuleClass";

// The base of every application module; owned by the shell's module table.
class ENVIRONMENT_API TAppModule : public TObject {
public:
  // Stores the name and the running shell; raises "Неверный класс главной
  // формы." without one.
  TAppModule(const TAppModuleClass& Class, const std::string& Name);
  // Frees the documents of its editor classes and unregisters them.
  ~TAppModule() override;
  TAppModule(const TAppModule&) = delete;
  TAppModule& operator=(const TAppModule&) = delete;
  const char* ClassName() const override { return "TAppModule"; }

  const TAppModuleClass* GetClass() const { return FClass; }
  // The package name without ".so", as the settings file lists it.
  const std::string& GetName() const { return FName; }
  // The shell the module runs in.
  IShell& GetShell() const { return *FShell; }

  // May the module shut down now: every document of its editor classes
  // agrees to close.
  virtual bool CloseQuery();

  // Adds the classes to the module's editor classes; with Register, also
  // to the module registry under CATID_EDITOR.
  void RegisterEditors(const std::vector<const TEditorFormClass*>& Editors, bool Register);
  void CloseEditors();
  int GetEditorClassCount() const { return static_cast<int>(FEditorClasses.size()); }
  const TEditorFormClass* GetEditorClasses(int Index) const;

private:
  const TAppModuleClass* FClass;
  std::string FName;
  IShell* FShell;
  std::vector<const TEditorFormClass*> FEditorClasses;
  std::vector<const TEditorFormClass*> FRegistered;
};

// The applications of the settings file's [Applications] section, their
// packages (mounted through the module manager from the module folder) and
// the modules running now, which it owns.
class ENVIRONMENT_API TAppModuleTable {
public:
  TAppModuleTable();
  // Frees the modules still running.
  ~TAppModuleTable();
  TAppModuleTable(const TAppModuleTable&) = delete;
  TAppModuleTable& operator=(const TAppModuleTable&) = delete;

  // A module started or stopped.
  std::function<void()> OnChange;
  // Asked between the applications of Init: true ends the start there.
  std::function<bool()> StopStart;

  // Where packages are looked for: only files of this folder itself.
  void SetModuleDir(const std::string& Dir);
  const std::string& GetModuleDir() const { return FModuleDir; }
  TModuleManager& GetModuleManager() { return FModuleManager; }

  // Reads the table from Settings and starts the applications ticked
  // there, the last first; a failing entry is shown and dropped from the
  // table in memory (the file keeps it as the user wrote it).
  void Init(const TIniFile& Settings);
  int GetAppCount() const { return static_cast<int>(FApps.size()); }
  const std::string& GetApps(int Index) const;
  const std::string& GetAppTitles(int Index) const;
  const TAppModuleClass* GetAppClass(const std::string& Name) const;
  const TAppModuleClass* FindAppClass(const std::string& Name) const;
  void LoadAppClass(const std::string& Name);

  TAppModule* GetAppModule(const std::string& Name) const;
  TAppModule* FindAppModule(const std::string& Name) const;
  int GetAppModuleCount() const { return static_cast<int>(FModules.size()); }
  TAppModule* GetAppModules(int Index) const;
  void PowerUpAppModule(const std::string& Name);
  // The table owns Module from now on (TAppModuleClass::Create).
  TAppModule* Adopt(std::unique_ptr<TAppModule> Module);
  // Asks the module (its documents), then frees it; false: it refused.
  bool ShutDownAppModule(const std::string& Name);
  bool ShutDownAllAppModules();
  // Frees every module without asking, the last first.
  void FreeAll();
  // Forgets the table and unmounts every package (after FreeAll).
  void Clear();

  // The user switched an application on or off: see TMainForm.
  void ChooseAppEnabled(const std::string& Name, bool Enabled);
  // Writes what the user chose since the start into Settings, in one write.
  void SaveChoices(TIniFile& Settings);

private:
  struct TAppEntry {
    std::string Name;
    std::string Title;
    const TAppModuleClass* Class = nullptr;
  };
  int AppIndex(const std::string& Name) const;
  void Changed();

  TModuleManager FModuleManager;
  std::string FModuleDir;
  std::vector<TAppEntry> FApps;
  std::vector<std::unique_ptr<TAppModule>> FModules;
  // What the user chose in the applications window, by name, in order.
  std::vector<std::pair<std::string, bool>> FUserChoices;
};

} // namespace Deskbay
