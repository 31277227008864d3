#pragma once

// The examples' gallery without Qt: which algorithms a folder of examples
// holds, with the title and the one line of what each teaches from the
// folder's index file, and where the examples are.
//
// The index (index.txt beside the examples, written by make_examples) has
// one line per example, its fields separated by "|":
//   gcd.alg | Наибольший общий делитель | Цикл с предусловием и ветвление.
// Empty lines and lines starting with "#" are comments. A line that names
// no plain ".alg" file of the folder, or has no title, is left out.

#include "EnvironmentExport.h"

#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

struct TExampleInfo {
  std::string FileName; // the file's name in its folder ("gcd.alg")
  std::string Path;     // Folder + "/" + FileName
  std::string Title;    // from the index, else the file name without ".alg"
  std::string Lesson;   // from the index, else empty
};

struct TExampleIndexLine {
  std::string FileName, Title, Lesson;
};

// The index's lines, in order.
ENVIRONMENT_API std::vector<TExampleIndexLine> ReadExampleIndex(std::string_view Text);

// The name of the index file in a folder of examples.
ENVIRONMENT_API const char* ExampleIndexFileName();

// The algorithms of Folder: those the index names, in its order, then the
// others by name. A folder that cannot be read has none; an index that
// cannot be read (missing, too large, not a regular file) names none.
ENVIRONMENT_API std::vector<TExampleInfo> ListExamples(const std::string& Folder);

// Where the examples are: Preferred (the program's own folder of them) when
// it holds an algorithm, else the first folder "deskbay/examples" under the
// data folders of XDG_DATA_DIRS (by default /usr/local/share and
// /usr/share) that does, else Preferred.
ENVIRONMENT_API std::string FindExamplesFolder(const std::string& Preferred);

} // namespace Deskbay
