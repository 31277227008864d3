#include "ModMgr.h"

#include "ElfReader.h"

#include <dlfcn.h>
#include <glob.h>
#include <link.h>
#include <memory>
#include <mutex>
#include <set>
#include <unistd.h>

#include <fstream>

namespace Deskbay {

namespace {

std::string BaseName(const std::string& Path) {
  size_t Slash = Path.rfind('/');
  return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string DirName(const std::string& Path) {
  size_t Slash = Path.rfind('/');
  if (Slash == std::string::npos)
    return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

bool FileExists(const std::string& Path) {
  return access(Path.c_str(), F_OK) == 0;
}

std::recursive_mutex& TableLock() {
  static std::recursive_mutex Lock;
  return Lock;
}

// At the end of the process the table is dropped without unloading: the
// loader finalises every library itself, and unloading from inside that
// pass would run finalisations twice.
bool GProcessEnding = false;

struct TModuleTable {
  std::unique_ptr<std::vector<std::unique_ptr<TMountedModule>>> Items;
  ~TModuleTable() {
    GProcessEnding = true;
    Items.reset();
  }
};

TModuleTable& Table() {
  static TModuleTable T;
  return T;
}

// The loaded libraries' file names as the loader keeps them, the program
// excluded.
std::vector<std::string> LoadedFileNames() {
  std::vector<std::string> Names;
  dl_iterate_phdr(
      [](dl_phdr_info* Info, size_t, void* Data) {
        if (Info->dlpi_name && Info->dlpi_name[0])
          static_cast<std::vector<std::string>*>(Data)->push_back(Info->dlpi_name);
        return 0;
      },
      &Names);
  return Names;
}

// The handle of a library that is already loaded; taking it must not keep
// the library alive, so the reference is given back at once.
TModuleHandle HandleOfLoaded(const std::string& FileName) {
  void* H = dlopen(FileName.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (H)
    dlclose(H);
  return H;
}

TModuleHandle ResidentHandle(const std::string& Name) {
  std::string Key = BaseName(Name);
  if (SameText(BaseName(GetProgramFileName()), Key))
    return dlopen(nullptr, RTLD_LAZY);
  for (const std::string& File : LoadedFileNames())
    if (SameText(BaseName(File), Key))
      if (TModuleHandle H = HandleOfLoaded(File))
        return H;
  return nullptr;
}

void AddConfDirs(const std::string& ConfFile, std::vector<std::string>& Dirs, int Depth) {
  if (Depth > 4)
    return;
  std::ifstream In(ConfFile);
  std::string Line;
  while (std::getline(In, Line)) {
    Line = Trim(Line.substr(0, Line.find('#')));
    if (Line.rfind("include", 0) == 0 && Line.size() > 7 && (Line[7] == ' ' || Line[7] == '\t')) {
      std::string Pattern = Trim(Line.substr(8));
      if (!Pattern.empty() && Pattern[0] != '/')
        Pattern = DirName(ConfFile) + "/" + Pattern;
      glob_t G;
      if (glob(Pattern.c_str(), 0, nullptr, &G) == 0)
        for (size_t I = 0; I < G.gl_pathc; ++I)
          AddConfDirs(G.gl_pathv[I], Dirs, Depth + 1);
      globfree(&G);
    } else if (!Line.empty() && Line[0] == '/')
      Dirs.push_back(Line);
  }
}

std::string ExpandOrigin(std::string Path, const std::string& Origin) {
  for (const char* Token : {"${ORIGIN}", "$ORIGIN"}) {
    size_t At;
    while ((At = Path.find(Token)) != std::string::npos)
      Path.replace(At, std::string(Token).size(), Origin);
  }
  return Path;
}

// Whether the system's loader, loading RequiredBy, would find the library
// Name by itself: its run paths, LD_LIBRARY_PATH, the loader's configured
// folders and the default ones.
bool LoaderFinds(const std::string& Name, const std::string& RequiredBy) {
  if (Name.find('/') != std::string::npos)
    return FileExists(Name);
  std::vector<std::string> Dirs;
  try {
    TElfFile Parent(RequiredBy);
    for (const std::string& P : Parent.GetRunPaths())
      Dirs.push_back(ExpandOrigin(P, DirName(RequiredBy)));
  } catch (const EElfError&) {
  }
  if (const char* Env = getenv("LD_LIBRARY_PATH")) {
    std::string S = Env;
    size_t Start = 0;
    while (Start <= S.size()) {
      size_t Colon = std::min(S.find(':', Start), S.size());
      if (Colon > Start)
        Dirs.push_back(S.substr(Start, Colon - Start));
      Start = Colon + 1;
    }
  }
  AddConfDirs("/etc/ld.so.conf", Dirs, 0);
  for (const char* D : {"/lib64", "/usr/lib64", "/lib", "/usr/lib"})
    Dirs.push_back(D);
  for (const std::string& Dir : Dirs) {
    std::string Candidate = Dir + "/" + Name;
    if (!FileExists(Candidate))
      continue;
    try {
      TElfFile Check(Candidate);
      return true;
    } catch (const EElfError&) {
      // a library of another machine: the loader passes over it too
    }
  }
  return false;
}

// Packages being mounted on this call chain, so that libraries requiring
// each other cannot make the recursion endless.
thread_local std::set<std::string> GMounting;

} // namespace

TMountedModule::TMountedModule(std::string FileName, TModuleHandle Handle)
    : FFileName(std::move(FileName)), FHandle(Handle), FName(BaseName(FFileName)) {}

TMountedModule::~TMountedModule() {
  if (FHandle && !GProcessEnding)
    UnloadPackage(FHandle);
}

void TModuleManager::DoModuleRequired(const std::string& ModuleName, std::string& FileName) {
  if (OnModuleRequired)
    OnModuleRequired(this, ModuleName, FileName);
}

void TModuleManager::DoModuleLoaded(const std::string& FileName, TModuleHandle Instance) {
  if (OnModuleLoaded)
    OnModuleLoaded(this, FileName, Instance);
}

TModuleHandle TModuleManager::MountModule(const std::string& Name) {
  std::lock_guard Guard(TableLock());
  return InternalMount(Name, "");
}

TModuleHandle TModuleManager::InternalMount(const std::string& Name,
                                            const std::string& RequiredBy) {
  if (TModuleHandle H = ResidentHandle(Name))
    return H;

  std::string Path;
  DoModuleRequired(Name, Path);
  if (Path.empty()) {
    // A library the owner does not know of but the system's loader finds
    // by itself is left to the loader.
    if (!RequiredBy.empty() && LoaderFinds(Name, RequiredBy))
      return nullptr;
    throw Exception(Format("Модуль \"%s\" не найден.", Name.c_str()));
  }

  std::string Key = UpperCase(BaseName(Path));
  if (GMounting.count(Key))
    return nullptr; // required in a circle: the loader resolves it with the outer one
  std::vector<std::string> Needed;
  try {
    Needed = TElfFile(Path).GetNeeded();
  } catch (const EElfError& E) {
    // What the reader found is the reason: a 32-bit, cut or script file.
    throw Exception(
        WithFullStop(Format("Не удалось прочитать модуль \"%s\": %s", Path.c_str(), E.what())));
  }

  GMounting.insert(Key);
  TModuleHandle Handle;
  try {
    for (const std::string& Required : Needed)
      InternalMount(Required, Path);
    Handle = SafeLoadPackage(Path);
  } catch (...) {
    GMounting.erase(Key);
    throw;
  }
  GMounting.erase(Key);

  auto& Items = Table().Items;
  try {
    if (!Items)
      Items = std::make_unique<std::vector<std::unique_ptr<TMountedModule>>>();
    Items->push_back(std::make_unique<TMountedModule>(Path, Handle));
  } catch (...) {
    UnloadPackage(Handle);
    throw;
  }
  DoModuleLoaded(Path, Handle);
  return Handle;
}

void TModuleManager::UnmountModule(const std::string& Name) {
  std::lock_guard Guard(TableLock());
  auto& Items = Table().Items;
  if (!Items)
    return;
  for (auto It = Items->begin(); It != Items->end(); ++It)
    if (SameText((*It)->GetName(), Name)) {
      // Out of the table first: the package's finalisation may look at it.
      std::unique_ptr<TMountedModule> Record = std::move(*It);
      Items->erase(It);
      if (Items->empty())
        Items.reset();
      Record.reset();
      return;
    }
}

void TModuleManager::UnmountAll() {
  std::lock_guard Guard(TableLock());
  auto& Items = Table().Items;
  while (Items) {
    std::unique_ptr<TMountedModule> Record = std::move(Items->back());
    Items->pop_back();
    if (Items->empty())
      Items.reset();
    Record.reset();
  }
}

bool TModuleManager::IsModuleResident(const std::string& Name) {
  std::lock_guard Guard(TableLock());
  return ResidentHandle(Name) != nullptr;
}

TMountedModule* TModuleManager::GetModule(const std::string& Name) {
  std::lock_guard Guard(TableLock());
  auto& Items = Table().Items;
  if (Items)
    for (auto& Record : *Items)
      if (SameText(Record->GetName(), Name))
        return Record.get();
  return nullptr;
}

TMountedModule* TModuleManager::FindModule(const std::string& Name) {
  TMountedModule* Record = GetModule(Name);
  if (!Record)
    throw Exception(Format("Модуль \"%s\" не подключён.", Name.c_str()));
  return Record;
}

int TModuleManager::GetModuleCount() {
  std::lock_guard Guard(TableLock());
  auto& Items = Table().Items;
  return Items ? static_cast<int>(Items->size()) : 0;
}

TModuleHandle SafeLoadPackage(const std::string& FileName) {
  dlerror();
  TModuleHandle Handle = dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!Handle) {
    const char* Reason = dlerror();
    throw Exception(WithFullStop(Format("Не удалось загрузить модуль \"%s\": %s", FileName.c_str(),
                                        Reason ? Reason : "неизвестная ошибка")));
  }
  auto Init = reinterpret_cast<void (*)()>(GetPackageProcAddress(Handle, PackageInitExport));
  if (!Init)
    return Handle;
  // The message is copied out before unloading: the exception object's
  // code lives in the package.
  std::string Error;
  bool Failed = false;
  try {
    Init();
  } catch (const std::exception& E) {
    Error = E.what();
    Failed = true;
  } catch (...) {
    Error = Format("Не удалось загрузить модуль \"%s\": неизвестная ошибка.", FileName.c_str());
    Failed = true;
  }
  if (Failed) {
    dlclose(Handle);
    throw Exception(Error);
  }
  return Handle;
}

void UnloadPackage(TModuleHandle Handle) {
  if (auto Done = reinterpret_cast<void (*)()>(GetPackageProcAddress(Handle, PackageDoneExport))) {
    try {
      Done();
    } catch (...) {
      // a failing finalisation must not keep the package, nor stop the
      // unloading of the others
    }
  }
  dlclose(Handle);
}

void* GetPackageProcAddress(TModuleHandle Handle, const char* Name) {
  dlerror();
  void* Sym = dlsym(Handle, Name);
  if (!Sym)
    return nullptr;
  Dl_info Info;
  link_map* Map = nullptr;
  if (!dladdr(Sym, &Info) || dlinfo(Handle, RTLD_DI_LINKMAP, &Map) != 0 || !Map ||
      !Info.dli_fname || std::string(Info.dli_fname) != Map->l_name)
    return nullptr;
  return Sym;
}

std::string GetProgramFileName() {
  char Buf[4096];
  ssize_t N = readlink("/proc/self/exe", Buf, sizeof Buf - 1);
  return N > 0 ? std::string(Buf, static_cast<size_t>(N)) : std::string();
}

std::vector<TLoadedModule> GetLoadedModules() {
  std::vector<TLoadedModule> Result;
  for (const std::string& File : LoadedFileNames())
    if (TModuleHandle H = HandleOfLoaded(File))
      Result.push_back({File, H});
  return Result;
}

std::string GetModuleFileName(TModuleHandle Handle) {
  if (!Handle)
    return "";
  if (Handle == dlopen(nullptr, RTLD_LAZY))
    return GetProgramFileName();
  for (const TLoadedModule& M : GetLoadedModules())
    if (M.Handle == Handle)
      return M.FileName;
  return "";
}

bool GetRequiredPackages(TModuleHandle Module, TStringList& List) {
  List.Clear();
  std::string File = GetModuleFileName(Module);
  if (File.empty())
    return false;
  try {
    List.SetLines(TElfFile(File).GetNeeded());
    return true;
  } catch (const EElfError&) {
    return false;
  }
}

} // namespace Deskbay
