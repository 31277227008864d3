#pragma once

// Where the shell keeps its settings and temporary files, and how an
// application's line in the settings file reads and writes.

#include "EnvironmentExport.h"

#include <string>

namespace Deskbay {

// The start-up facts the shell derives from its program file.
struct ENVIRONMENT_API TShellStart {
  std::string HomeDir;      // the program's folder, without trailing "/"
  std::string ProgramName;  // the program file's name without extension
  std::string SettingsFile; // the settings file to use ("" = choose, see below)

  // From the running program's file.
  static TShellStart FromProgram();
};

// The settings file beside the program ("<Home>/<Program>.ini") when that
// folder can be written; otherwise the user's own copy
// "$XDG_CONFIG_HOME/deskbay/<Program>.ini" (or "~/.config/..."). A new
// file starts as a copy of the one beside the program or, for an installed
// program, of the default installed with it (share/deskbay). When no file
// can be written at all, one that can be read: writes to it fail quietly.
ENVIRONMENT_API std::string ChooseSettingsFile(const std::string& HomeDir,
                                               const std::string& ProgramName);

// The folder temporary files go under: HomeDir when it can be written,
// otherwise the system's temporary folder.
ENVIRONMENT_API std::string ChooseTempBase(const std::string& HomeDir);

// A value of the "Applications" section: the part before the first comma is
// the enabled flag (true when it starts with "1", "Y" or "y"), the rest the
// title; without a comma the application is enabled and has no title.
ENVIRONMENT_API void ParseAppValue(const std::string& Value, bool& Enabled, std::string& Title);
ENVIRONMENT_API std::string FormatAppValue(bool Enabled, const std::string& Title);

} // namespace Deskbay
