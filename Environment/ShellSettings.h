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

// Whether the program in HomeDir is an installed one: the folder its
// installed defaults go to (share/deskbay, seen from the program's folder)
// is there. A program in its build tree, or in a folder of its own, has no
// such folder.
ENVIRONMENT_API bool IsInstalledProgram(const std::string& HomeDir);

// The folder of the example algorithms: the installed one beside an
// installed program, the source tree's for a program run from its build.
ENVIRONMENT_API std::string ExampleAlgorithmsDir(const std::string& HomeDir);

// The settings file. A program that is not installed keeps it beside
// itself ("<Home>/<Program>.ini") when that folder can be written. An
// installed program never writes beside itself, whoever runs it: its
// settings are the user's own copy "$XDG_CONFIG_HOME/deskbay/<Program>.ini"
// (or "~/.config/..."), made on the first start from the installed default
// (share/deskbay). The same copy serves a program that is not installed
// whose folder cannot be written, made from the file beside it.
//
// A default that cannot be read is never copied: its own name is answered,
// so that reading it reports what is wrong, and the copy is made at a later
// start, once it can be read. When no copy can be made, the default itself
// is answered: read, and writes to it fail.
ENVIRONMENT_API std::string ChooseSettingsFile(const std::string& HomeDir,
                                               const std::string& ProgramName);

// The folder temporary files go under: HomeDir when the program is not
// installed and the folder can be written, otherwise the system's temporary
// folder.
ENVIRONMENT_API std::string ChooseTempBase(const std::string& HomeDir);

// A value of the "Applications" section: the part before the first comma is
// the enabled flag (true when it starts with "1", "Y" or "y"), the rest the
// title; without a comma the application is enabled and has no title.
ENVIRONMENT_API void ParseAppValue(const std::string& Value, bool& Enabled, std::string& Title);
ENVIRONMENT_API std::string FormatAppValue(bool Enabled, const std::string& Title);

} // namespace Deskbay
