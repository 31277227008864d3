#pragma once

// For the tool's tests: temporary folders and files, and a program run as a
// child process with a given standard input, collecting its exit status,
// standard output and standard error.

#include <string>
#include <vector>

namespace Deskbay::Testing {

struct TProcessResult {
  int ExitStatus = -1; // -1 when the process did not exit normally
  int Signal = 0;      // the signal that ended it, if one did
  std::string Out;
  std::string Err;
};

struct TProcessOptions {
  // Where standard output goes: captured when empty, closed with "-", into a
  // pipe whose reader has gone with "|", otherwise into that file.
  std::string Stdout;
  // Started with SIGPIPE ignored, as some shells and services start programs.
  bool IgnoreSigpipe = false;
  // Kills the child after this, so a hanging tool fails the test instead of
  // the whole suite.
  int TimeoutSeconds = 60;
  // The child's working folder; the caller's when empty.
  std::string WorkingDir;
};

TProcessResult RunProcess(const std::string& Program, const std::vector<std::string>& Args,
                          const std::string& Input = "",
                          const TProcessOptions& Options = TProcessOptions());

// A fresh private folder, removed with everything in it at destruction.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string Path(const std::string& Name) const { return FPath + "/" + Name; }

private:
  std::string FPath;
};

std::string ReadFileBytes(const std::string& FileName);
void WriteFileBytes(const std::string& FileName, const std::string& Bytes);

} // namespace Deskbay::Testing
