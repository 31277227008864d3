#include "Environment_AppModules.h"

#include "Environment_Documents.h"
#include "Environment_Shell.h"
#include "ErrorDisplay.h"
#include "Main.h"
#include "ModuleReg.h"
#include "ShellSettings.h"

#include "Corekit/IniFiles.h"

#include <algorithm>
#include <unistd.h>

namespace Deskbay {

TAppModuleClass::~TAppModuleClass() = default;

std::string TAppModuleClass::GetTitle() const {
  return "<Неизвестный модуль>";
}

std::string TAppModuleClass::GetShortTitle() const {
  return GetTitle();
}

TAppModule* TAppModuleClass::Adopt(std::unique_ptr<TAppModule> Module) {
  Assert(MainForm != nullptr, "An application module without a shell");
  return MainForm->GetAppModuleTable().Adopt(std::move(Module));
}

TAppModule::TAppModule(const TAppModuleClass& Class, const std::string& Name)
    : FClass(&Class), FName(Name), FShell(RunningShell()) {
  if (!FShell)
    throw Exception("Неверный класс главной формы.");
}

TAppModule::~TAppModule() {
  CloseEditors();
  for (const TEditorFormClass* Class : FRegistered)
    UnregisterModuleClass(Class);
}

bool TAppModule::CloseQuery() {
  for (const TEditorFormClass* Class : FEditorClasses)
    if (!FShell->GetDocuments().QueryCloseEditors(Class))
      return false;
  return true;
}

void TAppModule::RegisterEditors(const std::vector<const TEditorFormClass*>& Editors,
                                 bool Register) {
  for (const TEditorFormClass* Class : Editors) {
    Assert(std::find(FEditorClasses.begin(), FEditorClasses.end(), Class) == FEditorClasses.end(),
           "Editor class registered twice in one application module");
    FEditorClasses.push_back(Class);
    if (Register) {
      RegisterModuleClass(Class, CATID_EDITOR);
      FRegistered.push_back(Class);
    }
  }
}

void TAppModule::CloseEditors() {
  for (const TEditorFormClass* Class : FEditorClasses)
    FShell->GetDocuments().CloseEditors(Class);
}

const TEditorFormClass* TAppModule::GetEditorClasses(int Index) const {
  Assert(Index >= 0 && Index < GetEditorClassCount(), "Editor class index out of range");
  return FEditorClasses[Index];
}

// --- the table ---

TAppModuleTable::TAppModuleTable() {
  FModuleManager.OnModuleRequired = [this](TModuleManager*, const std::string& ModuleName,
                                           std::string& FileName) {
    // Only files of the module folder itself: a name with a path in it
    // (from a settings file, say) never reaches outside.
    if (ModuleName.empty() || ModuleName.find('/') != std::string::npos)
      return;
    std::string Candidate = FModuleDir + "/" + ModuleName;
    // A library that is not in the module folder is left to the system.
    if (access(Candidate.c_str(), F_OK) == 0)
      FileName = Candidate;
  };
}

TAppModuleTable::~TAppModuleTable() {
  FreeAll();
}

void TAppModuleTable::SetModuleDir(const std::string& Dir) {
  FModuleDir = Dir;
}

void TAppModuleTable::Changed() {
  if (OnChange)
    OnChange();
}

int TAppModuleTable::AppIndex(const std::string& Name) const {
  for (size_t I = 0; I < FApps.size(); ++I)
    if (SameText(FApps[I].Name, Name))
      return static_cast<int>(I);
  return -1;
}

const std::string& TAppModuleTable::GetApps(int Index) const {
  Assert(Index >= 0 && Index < GetAppCount(), "Application index out of range");
  return FApps[Index].Name;
}

const std::string& TAppModuleTable::GetAppTitles(int Index) const {
  Assert(Index >= 0 && Index < GetAppCount(), "Application index out of range");
  return FApps[Index].Title;
}

const TAppModuleClass* TAppModuleTable::GetAppClass(const std::string& Name) const {
  int I = AppIndex(Name);
  return I < 0 ? nullptr : FApps[I].Class;
}

const TAppModuleClass* TAppModuleTable::FindAppClass(const std::string& Name) const {
  const TAppModuleClass* Class = GetAppClass(Name);
  if (!Class)
    throw Exception(Format("Не найден класс для модуля \"%s\".", Name.c_str()));
  return Class;
}

TAppModule* TAppModuleTable::GetAppModule(const std::string& Name) const {
  for (const auto& M : FModules)
    if (SameText(M->GetName(), Name))
      return M.get();
  return nullptr;
}

TAppModule* TAppModuleTable::FindAppModule(const std::string& Name) const {
  TAppModule* M = GetAppModule(Name);
  if (!M)
    throw Exception(Format("Модуль приложения \"%s\" не загружен.", Name.c_str()));
  return M;
}

TAppModule* TAppModuleTable::GetAppModules(int Index) const {
  Assert(Index >= 0 && Index < GetAppModuleCount(), "Application module index out of range");
  return FModules[Index].get();
}

void TAppModuleTable::Init(const TIniFile& Settings) {
  auto Stopped = [this] { return StopStart && StopStart(); };
  // One reading of the section, however many entries it holds.
  std::vector<std::pair<std::string, std::string>> Entries;
  Settings.ReadSectionValues("Applications", Entries);
  FApps.clear();
  for (const auto& Entry : Entries)
    FApps.push_back({Entry.first, "", nullptr});

  // An entry that fails stays in the file as the user wrote it; the table
  // in memory drops it. A close request (the main window closed from one of
  // the messages, a signal) ends the start at once.
  for (int I = GetAppCount() - 1; I >= 0 && !Stopped(); --I) {
    std::string Name = FApps[I].Name;
    bool Enabled;
    std::string Title;
    ParseAppValue(Entries[I].second, Enabled, Title);
    if (!Title.empty())
      FApps[I].Title = Title;
    else {
      try {
        LoadAppClass(Name);
      } catch (const std::exception& E) {
        FApps.erase(FApps.begin() + I);
        ShowException(E);
        continue;
      }
    }
    if (Enabled && !Stopped()) {
      try {
        PowerUpAppModule(Name);
      } catch (const std::exception& E) {
        ShowErrorMessage(
            WithFullStop(Format("Ошибка инициализации модуля \"%s\": %s", Name.c_str(), E.what())));
      }
    }
  }
}

void TAppModuleTable::LoadAppClass(const std::string& Name) {
  int Index = AppIndex(Name);
  Assert(Index >= 0, "Loading the class of an application that is not listed");
  std::string File = Name + ".so";
  if (FModuleManager.IsModuleResident(File))
    throw Exception(Format("Модуль \"%s\" уже загружен.", File.c_str()));
  TModuleHandle Handle = FModuleManager.MountModule(File);
  // A failure unmounts the package again. The package's own exception
  // types go with it, so the message is copied out and the exception left
  // behind before the package is unloaded.
  std::string Error;
  bool Failed = false;
  try {
    auto Get = reinterpret_cast<TGetAppModuleClass>(
        GetPackageProcAddress(Handle, GetAppModuleClassExport));
    const TAppModuleClass* Class = Get ? Get() : nullptr;
    if (!Class)
      throw Exception(Format("Модуль \"%s\" не является модулем приложения.", File.c_str()));
    FApps[Index].Class = Class;
    FApps[Index].Title = Class->GetTitle();
  } catch (const std::exception& E) {
    Error = E.what();
    Failed = true;
  } catch (...) {
    Error = Format("Модуль \"%s\" не является модулем приложения.", File.c_str());
    Failed = true;
  }
  if (Failed) {
    FApps[Index].Class = nullptr;
    FModuleManager.UnmountModule(File);
    throw Exception(Error);
  }
}

void TAppModuleTable::PowerUpAppModule(const std::string& Name) {
  if (GetAppModule(Name))
    throw Exception(Format("Модуль \"%s\" уже включен.", Name.c_str()));
  if (!GetAppClass(Name))
    LoadAppClass(Name);
  FindAppClass(Name)->Create(Name);
}

TAppModule* TAppModuleTable::Adopt(std::unique_ptr<TAppModule> Module) {
  TAppModule* Adopted = Module.get();
  FModules.push_back(std::move(Module));
  Changed();
  return Adopted;
}

bool TAppModuleTable::ShutDownAppModule(const std::string& Name) {
  auto It = std::find_if(FModules.begin(), FModules.end(),
                         [&](const auto& M) { return SameText(M->GetName(), Name); });
  if (It == FModules.end())
    return true;
  if (!(*It)->CloseQuery())
    return false;
  // Asking may have started or stopped modules: found again.
  It = std::find_if(FModules.begin(), FModules.end(),
                    [&](const auto& M) { return SameText(M->GetName(), Name); });
  if (It == FModules.end())
    return true;
  // Out of the table first: while it goes, the module no longer runs.
  std::unique_ptr<TAppModule> Module = std::move(*It);
  FModules.erase(It);
  Changed();
  Module.reset();
  return true;
}

bool TAppModuleTable::ShutDownAllAppModules() {
  for (int I = GetAppModuleCount() - 1; I >= 0; --I) {
    if (I >= GetAppModuleCount())
      continue;
    if (!ShutDownAppModule(FModules[I]->GetName()))
      return false;
  }
  return true;
}

void TAppModuleTable::FreeAll() {
  while (!FModules.empty()) {
    std::unique_ptr<TAppModule> Module = std::move(FModules.back());
    FModules.pop_back();
    Changed();
    Module.reset();
  }
}

void TAppModuleTable::Clear() {
  FApps.clear();
  FModuleManager.UnmountAll();
}

void TAppModuleTable::ChooseAppEnabled(const std::string& Name, bool Enabled) {
  const bool Running = GetAppModule(Name) != nullptr;
  auto Remember = [&] {
    auto It = std::find_if(FUserChoices.begin(), FUserChoices.end(),
                           [&](const auto& C) { return SameText(C.first, Name); });
    if (It != FUserChoices.end())
      It->second = Enabled;
    else
      FUserChoices.emplace_back(Name, Enabled);
  };
  if (Running && !Enabled) {
    if (ShutDownAppModule(Name))
      Remember();
  } else if (!Running && Enabled) {
    Remember(); // also when the start fails: the user wants it
    PowerUpAppModule(Name);
  }
}

void TAppModuleTable::SaveChoices(TIniFile& Settings) {
  if (FUserChoices.empty())
    return;
  std::vector<std::pair<std::string, std::string>> Values;
  for (const auto& [Name, Enabled] : FUserChoices) {
    const int I = AppIndex(Name);
    if (I >= 0)
      Values.emplace_back(FApps[I].Name, FormatAppValue(Enabled, FApps[I].Title));
  }
  Settings.WriteStrings("Applications", Values);
  FUserChoices.clear();
}

} // namespace Deskbay
