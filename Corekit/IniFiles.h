#pragma once

// A sectioned key-value settings file ("[Section]", "Key=Value" lines).
// Every call reads the file afresh and every write reaches the file at once,
// through the safe writer, so several objects on one file never disagree and
// a failed write leaves the old file whole. Values are kept byte for byte:
// commas, long texts and bytes that are not UTF-8 come back as they went in.
// A write changes only its own lines: comments, blank lines, unknown
// sections and the order of everything else stay as they were.
//
// Only a regular file of at most MaxFileSize bytes is read (ReadFileLimited):
// a pipe, a device or a huge file reads as empty and is never waited on nor
// read to its end. Such a file, or one that cannot be read, is never written
// either: a write raises the reading error, since it would replace contents
// nobody has seen.

#include "StringList.h"
#include "SysUtils.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Deskbay {

class COREKIT_API TIniFile : public TObject {
public:
  explicit TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}
  const char* ClassName() const override { return "TIniFile"; }

  const std::string& GetFileName() const { return FFileName; }

  static constexpr int64_t MaxFileSize = 1 << 20;

  // Sections and keys compare without regard to (ASCII) case; of keys that
  // repeat, the first counts. A missing or unreadable file reads as empty.
  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;
  bool SectionExists(const std::string& Section) const;
  bool ValueExists(const std::string& Section, const std::string& Key) const;
  // The section's keys in file order, each once.
  void ReadSection(const std::string& Section, TStringList& Keys) const;
  // The section's keys in file order, each once, with their values: one
  // reading for a whole section, however long.
  void ReadSectionValues(const std::string& Section,
                         std::vector<std::pair<std::string, std::string>>& Values) const;
  // Why the file could not be read at the last call that read it:
  // "Не удалось прочитать файл \"%s\": <reason>"; "" when it was read or
  // does not exist.
  const std::string& GetReadError() const { return FReadError; }

  // Raise the safe writer's error, naming the file, when it cannot be
  // written. Line breaks in a value become spaces: a value is one line.
  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
  // Several keys of one section in one write of the file: each key's line
  // is replaced where it is; keys not there yet follow the section's last
  // key, in the order given.
  void WriteStrings(const std::string& Section,
                    const std::vector<std::pair<std::string, std::string>>& Values);
  void EraseSection(const std::string& Section);
  void DeleteKey(const std::string& Section, const std::string& Key);

private:
  std::vector<std::string> ReadLines() const;
  std::vector<std::string> ReadLinesToChange();
  void WriteLines(const std::vector<std::string>& Lines);

  std::string FFileName;
  mutable std::string FReadError;
};

} // namespace Deskbay
