#include "Environment_ExampleIndex.h"

#include "Corekit/Streams.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

namespace Deskbay {

namespace {

// An index is a few lines per example; anything larger is not one.
constexpr size_t MaxIndexSize = 256 * 1024;

std::string_view Trimmed(std::string_view S) {
  while (!S.empty() && (S.front() == ' ' || S.front() == '\t'))
    S.remove_prefix(1);
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t' || S.back() == '\r'))
    S.remove_suffix(1);
  return S;
}

bool IsAlgorithmFileName(std::string_view Name) {
  return Name.size() > 4 && Name.find('/') == std::string_view::npos && Name[0] != '.' &&
         Name.substr(Name.size() - 4) == ".alg";
}

std::vector<std::string> AlgorithmFilesOf(const std::string& Folder) {
  std::vector<std::string> Names;
  std::unique_ptr<DIR, int (*)(DIR*)> Dir(opendir(Folder.c_str()), closedir);
  if (!Dir)
    return Names;
  while (const dirent* Entry = readdir(Dir.get()))
    if (IsAlgorithmFileName(Entry->d_name))
      Names.emplace_back(Entry->d_name);
  std::sort(Names.begin(), Names.end());
  return Names;
}

bool HoldsAlgorithms(const std::string& Folder) {
  return !Folder.empty() && !AlgorithmFilesOf(Folder).empty();
}

} // namespace

const char* ExampleIndexFileName() {
  return "index.txt";
}

std::vector<TExampleIndexLine> ReadExampleIndex(std::string_view Text) {
  std::vector<TExampleIndexLine> Lines;
  while (!Text.empty()) {
    const size_t End = Text.find('\n');
    std::string_view Line = Trimmed(Text.substr(0, End));
    Text = End == std::string_view::npos ? std::string_view() : Text.substr(End + 1);
    if (Line.empty() || Line[0] == '#')
      continue;
    const size_t First = Line.find('|');
    if (First == std::string_view::npos)
      continue;
    const size_t Second = Line.find('|', First + 1);
    TExampleIndexLine L;
    L.FileName = Trimmed(Line.substr(0, First));
    L.Title = Trimmed(Line.substr(
        First + 1, Second == std::string_view::npos ? std::string_view::npos : Second - First - 1));
    if (Second != std::string_view::npos)
      L.Lesson = Trimmed(Line.substr(Second + 1));
    if (IsAlgorithmFileName(L.FileName) && !L.Title.empty())
      Lines.push_back(std::move(L));
  }
  return Lines;
}

std::vector<TExampleInfo> ListExamples(const std::string& Folder) {
  const std::vector<std::string> Files = AlgorithmFilesOf(Folder);
  std::vector<TExampleIndexLine> Index;
  try {
    Index = ReadExampleIndex(ReadFileLimited(Folder + "/" + ExampleIndexFileName(), MaxIndexSize));
  } catch (const std::exception&) {
    // Without an index every example goes by its file name.
  }
  std::vector<TExampleInfo> Examples;
  std::set<std::string> Listed;
  auto Add = [&](const std::string& Name, std::string Title, std::string Lesson) {
    if (!std::binary_search(Files.begin(), Files.end(), Name) || !Listed.insert(Name).second)
      return;
    Examples.push_back({Name, Folder + "/" + Name, std::move(Title), std::move(Lesson)});
  };
  for (TExampleIndexLine& L : Index)
    Add(L.FileName, std::move(L.Title), std::move(L.Lesson));
  for (const std::string& Name : Files)
    Add(Name, Name.substr(0, Name.size() - 4), std::string());
  return Examples;
}

std::string FindExamplesFolder(const std::string& Preferred) {
  if (HoldsAlgorithms(Preferred))
    return Preferred;
  const char* Env = getenv("XDG_DATA_DIRS");
  std::string Dirs = Env && *Env ? Env : "/usr/local/share:/usr/share";
  size_t Start = 0;
  while (Start <= Dirs.size()) {
    const size_t End = std::min(Dirs.find(':', Start), Dirs.size());
    const std::string Dir = Dirs.substr(Start, End - Start);
    if (!Dir.empty() && Dir[0] == '/' && HoldsAlgorithms(Dir + "/deskbay/examples"))
      return Dir + "/deskbay/examples";
    Start = End + 1;
  }
  return Preferred;
}

} // namespace Deskbay
