#include "TempFileMgr.h"

#include "Streams.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Deskbay {

namespace {

// Makes Dir and its missing parents; raises with the system's reason.
void ForceDirectories(const std::string& Dir) {
  struct stat St;
  if (stat(Dir.c_str(), &St) == 0) {
    if (S_ISDIR(St.st_mode))
      return;
    throw Exception(Format("Не удалось создать папку \"%s\": %s", Dir.c_str(),
                           SysErrorMessage(ENOTDIR).c_str()));
  }
  size_t Slash = Dir.rfind('/');
  if (Slash != std::string::npos && Slash > 0)
    ForceDirectories(Dir.substr(0, Slash));
  if (mkdir(Dir.c_str(), 0777) != 0 && errno != EEXIST)
    throw Exception(
        Format("Не удалось создать папку \"%s\": %s", Dir.c_str(), SysErrorMessage(errno).c_str()));
}

std::string CurrentDir() {
  char Buf[PATH_MAX];
  if (!getcwd(Buf, sizeof Buf))
    throw Exception(
        Format("Не удалось определить текущую папку: %s", SysErrorMessage(errno).c_str()));
  return Buf;
}

} // namespace

TTempFileManager::TTempFileManager(const std::string& BaseDir) {
  FBaseDir = BaseDir.empty() ? CurrentDir() : BaseDir;
  while (FBaseDir.size() > 1 && FBaseDir.back() == '/')
    FBaseDir.pop_back();
  ForceDirectories(FBaseDir);
  if (access(FBaseDir.c_str(), W_OK | X_OK) != 0)
    throw Exception(Format("TempFileManager: Directory \"%s\" is not writable.", FBaseDir.c_str()));
}

TTempFileManager::~TTempFileManager() {
  if (FOwnDir.empty())
    return;
  try {
    RemoveDirectoryTree(FOwnDir);
  } catch (const Exception&) {
  }
}

std::string TTempFileManager::MakeTempFileName() {
  if (FOwnDir.empty()) {
    std::string Prefix = FBaseDir == "/" ? "" : FBaseDir;
    for (long N = 1;; ++N) {
      std::string Dir = Prefix + "/$tmp" + std::to_string(N) + "$";
      if (mkdir(Dir.c_str(), 0700) == 0) {
        FOwnDir = Dir;
        break;
      }
      if (errno != EEXIST)
        throw Exception(Format("TempFileManager: Can't create temp directory in \"%s\" (error %d).",
                               FBaseDir.c_str(), errno));
    }
  }
  ++FCounter;
  return FOwnDir + "/" + std::to_string(FCounter) + ".tmp";
}

void RemoveDirectoryTree(const std::string& Dir) {
  DIR* D = opendir(Dir.c_str());
  if (!D)
    throw Exception(Format("Error %d on clearing directory %s (point #1)", errno, Dir.c_str()));
  for (;;) {
    errno = 0;
    dirent* E = readdir(D);
    if (!E) {
      int Error = errno;
      closedir(D);
      if (Error != 0)
        throw Exception(Format("Error %d on clearing directory %s (point #3)", Error, Dir.c_str()));
      break;
    }
    std::string Name = E->d_name;
    if (Name == "." || Name == "..")
      continue;
    std::string Path = Dir + "/" + Name;
    struct stat St;
    // A link to a folder is removed as the link, never followed.
    if (lstat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode)) {
      try {
        RemoveDirectoryTree(Path);
      } catch (...) {
        closedir(D);
        throw;
      }
    } else if (unlink(Path.c_str()) != 0) {
      int Error = errno;
      closedir(D);
      throw Exception(Format("Error %d on clearing directory %s, file %s (point #2)", Error,
                             Dir.c_str(), Name.c_str()));
    }
  }
  if (rmdir(Dir.c_str()) != 0)
    throw Exception(Format("Error %d on clearing directory %s (point #4)", errno, Dir.c_str()));
}

} // namespace Deskbay
