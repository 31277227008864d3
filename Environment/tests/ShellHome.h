#pragma once

// What every test of a shell needs around it: a home folder of its own,
// removed afterwards; the working folder put back (the shell moves it); and
// errors collected instead of shown in a message box.

#include "Corekit/TempFileMgr.h"
#include "Environment/ErrorDisplay.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace Deskbay::Testing {

class TShellHome {
public:
  explicit TShellHome(const std::string& Prefix) {
    std::string Template = "/tmp/" + Prefix + "-XXXXXX";
    if (!mkdtemp(Template.data()))
      throw std::runtime_error("mkdtemp");
    Home = Template;
    char Buf[4096];
    if (getcwd(Buf, sizeof Buf))
      OldCwd = Buf;
    OldHandler = SetErrorHandler([this](const std::string& M) { Errors.push_back(M); });
  }
  ~TShellHome() {
    SetErrorHandler(OldHandler);
    if (!OldCwd.empty() && chdir(OldCwd.c_str()) != 0) {
    }
    try {
      RemoveDirectoryTree(Home);
    } catch (...) {
    }
  }
  TShellHome(const TShellHome&) = delete;
  TShellHome& operator=(const TShellHome&) = delete;

  std::string Home;
  std::vector<std::string> Errors;

private:
  std::string OldCwd;
  TErrorHandler OldHandler;
};

} // namespace Deskbay::Testing
