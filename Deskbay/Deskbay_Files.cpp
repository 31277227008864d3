#include "Deskbay_Files.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

namespace Deskbay {

namespace {

// Path without empty, "." and ".." parts, worked out on the name alone.
std::string CleanPath(const std::string& Path) {
  std::vector<std::string> Parts;
  size_t Start = 0;
  while (Start <= Path.size()) {
    size_t End = Path.find('/', Start);
    if (End == std::string::npos)
      End = Path.size();
    std::string Part = Path.substr(Start, End - Start);
    if (Part == "..") {
      if (!Parts.empty())
        Parts.pop_back();
    } else if (!Part.empty() && Part != ".") {
      Parts.push_back(std::move(Part));
    }
    Start = End + 1;
  }
  std::string Result;
  for (const std::string& Part : Parts)
    Result += "/" + Part;
  return Result.empty() ? "/" : Result;
}

} // namespace

std::vector<std::string> CommandLineFiles(const std::vector<std::string>& Arguments,
                                          const std::string& StartDir) {
  std::vector<std::string> Files;
  for (size_t I = 1; I < Arguments.size(); ++I) {
    const std::string& Name = Arguments[I];
    if (StartDir.empty() && (Name.empty() || Name[0] != '/'))
      Files.push_back(Name); // no folder to resolve it against
    else
      Files.push_back(CleanPath(!Name.empty() && Name[0] == '/' ? Name : StartDir + "/" + Name));
  }
  return Files;
}

void OpenCommandLineFiles(TMainForm& Main, const std::vector<std::string>& Files) {
  for (const std::string& File : Files) {
    try {
      Main.OpenFile(File);
    } catch (const std::exception& E) {
      ShowException(E);
    }
  }
}

} // namespace Deskbay
