#pragma once

// A sectioned key-value settings file ("[Section]", "Key=Value" lines).
// Every call reads the file afresh and every write reaches the file at once,
// through the safe writer, so several objects on one file never disagree and
// a failed write leaves the old file whole. Values are kept byte for byte:
// commas, long texts and bytes that are not UTF-8 come back as they went in.

#include "StringList.h"
#include "SysUtils.h"

#include <string>
#include <vector>

namespace Deskbay {

class COREKIT_API TIniFile : public TObject {
public:
  explicit TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}
  const char* ClassName() const override { return "TIniFile"; }

  const std::string& GetFileName() const { return FFileName; }

  // Sections and keys compare without regard to (ASCII) case; of keys that
  // repeat, the first counts. A missing or unreadable file reads as empty.
  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;
  bool SectionExists(const std::string& Section) const;
  bool ValueExists(const std::string& Section, const std::string& Key) const;
  // The section's keys in file order, each once.
  void ReadSection(const std::string& Section, TStringList& Keys) const;

  // Raise the safe writer's error, naming the file, when it cannot be
  // written. Line breaks in a value become spaces: a value is one line.
  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
  void EraseSection(const std::string& Section);
  void DeleteKey(const std::string& Section, const std::string& Key);

private:
  std::vector<std::string> ReadLines() const;
  void WriteLines(const std::vector<std::string>& Lines);

  std::string FFileName;
};

} // namespace Deskbay
