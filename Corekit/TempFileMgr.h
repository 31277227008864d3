#pragma once

// Unique temporary file names inside a private, numbered folder that goes
// away with its manager.

#include "SysUtils.h"

#include <string>

namespace Deskbay {

class COREKIT_API TTempFileManager : public TObject {
public:
  // An empty base folder means the current one. The folder (with missing
  // parents) is made when absent; one that cannot be written to raises
  // "TempFileManager: Directory \"%s\" is not writable.".
  explicit TTempFileManager(const std::string& BaseDir);
  // Removes the private folder with everything in it; errors are ignored.
  ~TTempFileManager() override;
  TTempFileManager(const TTempFileManager&) = delete;
  TTempFileManager& operator=(const TTempFileManager&) = delete;
  const char* ClassName() const override { return "TTempFileManager"; }

  // "<own folder>/<n>.tmp" with n = 1, 2, ...; the first call makes the
  // own folder, "$tmp<k>$" with the first k that is free. The file itself
  // is not created.
  std::string MakeTempFileName();

  const std::string& GetBaseDir() const { return FBaseDir; }
  const std::string& GetOwnDir() const { return FOwnDir; }

private:
  std::string FBaseDir;
  std::string FOwnDir;
  int FCounter = 0;
};

// Deletes Dir's files and subfolders, then Dir itself, raising
// "Error %d on clearing directory %s ... (point #n)" where it fails.
COREKIT_API void RemoveDirectoryTree(const std::string& Dir);

} // namespace Deskbay
