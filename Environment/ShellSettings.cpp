#include "ShellSettings.h"

#include "Corekit/IniFiles.h"
#include "Corekit/ModMgr.h"
#include "Corekit/Streams.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace Deskbay {

namespace {

bool Exists(const std::string& Path) {
  return access(Path.c_str(), F_OK) == 0;
}

bool Writable(const std::string& Path) {
  return access(Path.c_str(), W_OK) == 0;
}

bool MakeDirs(const std::string& Dir) {
  if (Dir.empty() || Exists(Dir))
    return !Dir.empty();
  size_t Slash = Dir.rfind('/');
  if (Slash != std::string::npos && Slash > 0 && !MakeDirs(Dir.substr(0, Slash)))
    return false;
  return mkdir(Dir.c_str(), 0777) == 0 || Exists(Dir);
}

std::string UserConfigDir() {
  const char* Xdg = getenv("XDG_CONFIG_HOME");
  if (Xdg && Xdg[0] == '/')
    return Xdg;
  const char* Home = getenv("HOME");
  if (Home && Home[0] == '/')
    return std::string(Home) + "/.config";
  return "";
}

} // namespace

TShellStart TShellStart::FromProgram() {
  TShellStart Start;
  std::string Program = GetProgramFileName();
  size_t Slash = Program.rfind('/');
  if (Slash == std::string::npos)
    Start.HomeDir = ".";
  else if (Slash == 0)
    Start.HomeDir = "/";
  else
    Start.HomeDir.assign(Program, 0, Slash);
  std::string File = Slash == std::string::npos ? Program : Program.substr(Slash + 1);
  size_t Dot = File.rfind('.');
  Start.ProgramName = Dot == std::string::npos || Dot == 0 ? File : File.substr(0, Dot);
  return Start;
}

bool IsInstalledProgram(const std::string& HomeDir) {
  struct stat St;
  const std::string Defaults = HomeDir + "/" + DESKBAY_DEFAULTS_FROM_BIN;
  return stat(Defaults.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

std::string ExampleAlgorithmsDir(const std::string& HomeDir) {
  if (IsInstalledProgram(HomeDir))
    return HomeDir + "/" + DESKBAY_DEFAULTS_FROM_BIN + "/examples";
  return DESKBAY_SOURCE_EXAMPLES;
}

std::string ChooseSettingsFile(const std::string& HomeDir, const std::string& ProgramName) {
  const std::string Name = ProgramName + ".ini";
  const std::string Beside = HomeDir + "/" + Name;
  const bool Installed = IsInstalledProgram(HomeDir);
  if (!Installed && Writable(HomeDir) && (!Exists(Beside) || Writable(Beside)))
    return Beside;
  // What the user's own copy starts from.
  const std::string Default =
      Installed ? HomeDir + "/" + DESKBAY_DEFAULTS_FROM_BIN + "/" + Name : Beside;

  const std::string Config = UserConfigDir();
  if (Config.empty())
    return Default;
  const std::string Dir = Config + "/deskbay";
  const std::string Own = Dir + "/" + Name;
  if (Exists(Own))
    return Own;
  std::string Text;
  try {
    Text = ReadFileLimited(Default, TIniFile::MaxFileSize);
  } catch (const EFOpenError& E) {
    if (E.GetErrorCode() != ENOENT)
      return Default; // read again at the start, which says what is wrong
  }
  if (!MakeDirs(Dir))
    return Default;
  try {
    SaveFileAtomically(Own, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
  } catch (const std::exception&) {
    return Default;
  }
  return Own;
}

std::string ChooseTempBase(const std::string& HomeDir) {
  if (!HomeDir.empty() && !IsInstalledProgram(HomeDir) && Writable(HomeDir))
    return HomeDir;
  const char* Tmp = getenv("TMPDIR");
  return Tmp && Tmp[0] == '/' ? Tmp : "/tmp";
}

void ParseAppValue(const std::string& Value, bool& Enabled, std::string& Title) {
  size_t Comma = Value.find(',');
  if (Comma == std::string::npos) {
    Enabled = true;
    Title.clear();
    return;
  }
  std::string Flag = Value.substr(0, Comma);
  Enabled = !Flag.empty() && (Flag[0] == '1' || Flag[0] == 'Y' || Flag[0] == 'y');
  Title = Value.substr(Comma + 1);
}

std::string FormatAppValue(bool Enabled, const std::string& Title) {
  return std::string(Enabled ? "1" : "0") + "," + Title;
}

} // namespace Deskbay
