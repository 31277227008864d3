#pragma once

// A module file's version information: the data section the build embeds in
// every library and plug-in of the system, read from the file without
// loading it.

#include "SysUtils.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Deskbay {

// The name of the section that carries the version information.
inline constexpr const char* VersionSectionName = ".deskbay_version";

class COREKIT_API TVersionInfo : public TObject {
public:
  // A file without version information, or one that cannot be read, gives
  // an object with no block and version 0.0.0.0. A major number above 32767
  // raises "Bad file MajorVersion: %d.".
  explicit TVersionInfo(const std::string& FileName);
  ~TVersionInfo() override;
  const char* ClassName() const override { return "TVersionInfo"; }

  bool HasBlock() const { return FBlock != nullptr; }
  bool HasVersion() const { return FHasVersion; }
  int GetMajor() const { return FMajor; }
  int GetMinor() const { return FMinor; }
  int GetRelease() const { return FRelease; }
  int GetBuild() const { return FBuild; }
  // major·2^48 + minor·2^32 + release·2^16 + build.
  uint64_t GetVersion() const { return FVersion; }

  // The value stored under Key (compared without regard to case); "" when
  // absent or when there is no block.
  std::string GetValue(const std::string& Key) const;
  // "%d.%d.%d.%d" of major, minor, release and build.
  std::string GetVersionString() const;

  using TBlock = std::vector<std::pair<std::string, std::string>>;

private:
  std::unique_ptr<TBlock> FBlock;
  int FMajor = 0, FMinor = 0, FRelease = 0, FBuild = 0;
  bool FHasVersion = false;
  uint64_t FVersion = 0;
};

// Parses the text of a version section; false when it is not one (wrong
// header). Values are unescaped ("\\" and "\n").
COREKIT_API bool ParseVersionBlock(const std::string& Data, TVersionInfo::TBlock& Block);

// Info's "FileDescription" when Info is given; when that is empty, the
// package description the file carries; "" when neither exists.
COREKIT_API std::string GetFileDescription(const std::string& FileName, const TVersionInfo* Info);

} // namespace Deskbay
