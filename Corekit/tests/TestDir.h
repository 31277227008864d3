#pragma once

// A fresh folder under the system's temporary folder, removed with its
// contents afterwards; and small file helpers for the tests that need files.

#include "Corekit/TempFileMgr.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace Deskbay::Testing {

class TTestDir {
public:
  TTestDir() {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Template = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/deskbay-test-XXXXXX";
    if (!mkdtemp(Template.data()))
      throw std::runtime_error("mkdtemp failed");
    FPath = Template;
  }
  ~TTestDir() {
    try {
      RemoveDirectoryTree(FPath);
    } catch (...) {
    }
  }
  TTestDir(const TTestDir&) = delete;
  TTestDir& operator=(const TTestDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

private:
  std::string FPath;
};

inline std::string ReadFileBytes(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& Name, const std::string& Data) {
  std::ofstream Out(Name, std::ios::binary | std::ios::trunc);
  Out << Data;
}

} // namespace Deskbay::Testing
