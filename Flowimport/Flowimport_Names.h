#pragma once

// The names of a program mapped to the language's 26 one-letter variables.
// A one-letter name is its own capital letter; a longer name (or a second
// name for a letter already taken, such as "a" beside "A" in Python) gets
// its own first letter where that is free, else the first free letter.

#include "FlowimportExport.h"

#include <map>
#include <string>
#include <vector>

namespace Deskbay {

class FLOWIMPORT_API TNameMap {
public:
  // Where a name is first seen, in reading order: Key tells names apart
  // (Pascal's names are keys in lower case), Shown is how it is written.
  void Note(const std::string& Key, const std::string& Shown, int Line, int Column);

  // Gives every name its letter. More names than letters raises
  // EImportError at the first name left without one, listing the names.
  void Resolve(const std::string& FileName);

  // The letter of a noted name (after Resolve).
  char LetterOf(const std::string& Key) const;

  // "total → T", one per name that is not its own letter, in reading order.
  std::vector<std::string> Report() const;

private:
  struct TName {
    std::string Key, Shown;
    int Line, Column;
    char Letter = 0;
  };
  std::vector<TName> FNames;
  std::map<std::string, size_t> FIndex;
};

} // namespace Deskbay
