#include "IniFiles.h"

#include "Streams.h"

#include <cerrno>
#include <unordered_map>

namespace Deskbay {

namespace {

// The section a header line opens, or false for another line.
bool SectionOf(const std::string& Line, std::string& Name) {
  std::string T = Trim(Line);
  if (T.empty() || T[0] != '[')
    return false;
  size_t Close = T.find(']');
  Name = Trim(T.substr(1, Close == std::string::npos ? std::string::npos : Close - 1));
  return true;
}

// The key and value of a "Key=Value" line; false for comments, blank lines
// and lines without "=".
bool KeyValueOf(const std::string& Line, std::string& Key, std::string& Value) {
  std::string T = Trim(Line);
  if (T.empty() || T[0] == ';' || T[0] == '#' || T[0] == '[')
    return false;
  size_t Eq = T.find('=');
  if (Eq == std::string::npos)
    return false;
  Key = Trim(T.substr(0, Eq));
  Value = Trim(T.substr(Eq + 1));
  return !Key.empty();
}

std::string OneLine(std::string S) {
  for (char& C : S)
    if (C == '\r' || C == '\n')
      C = ' ';
  return S;
}

} // namespace

std::vector<std::string> TIniFile::ReadLines() const {
  std::vector<std::string> Lines;
  FReadError.clear();
  std::string Text;
  try {
    Text = ReadFileLimited(FFileName, MaxFileSize);
  } catch (const EFOpenError& E) {
    // No file (nor the folder it would be in) is no error: it reads empty.
    if (E.GetErrorCode() != ENOENT && E.GetErrorCode() != ENOTDIR)
      FReadError = E.Message();
    return Lines;
  }
  size_t Start = 0;
  while (Start < Text.size()) {
    size_t End = Text.find('\n', Start);
    if (End == std::string::npos)
      End = Text.size();
    size_t Stop = End;
    if (Stop > Start && Text[Stop - 1] == '\r')
      --Stop;
    Lines.emplace_back(Text, Start, Stop - Start);
    Start = End + 1;
  }
  return Lines;
}

void TIniFile::WriteLines(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& L : Lines)
    Text += L + "\n";
  SaveFileAtomically(FFileName, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
}

// The file's lines for a change; raises when the file is there but could
// not be read, so that a write never replaces what nobody has seen.
std::vector<std::string> TIniFile::ReadLinesToChange() {
  std::vector<std::string> Lines = ReadLines();
  if (!FReadError.empty())
    throw EFOpenError(FReadError);
  return Lines;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
  bool In = false;
  std::string Name, K, V;
  for (const std::string& L : ReadLines()) {
    if (SectionOf(L, Name))
      In = SameText(Name, Section);
    else if (In && KeyValueOf(L, K, V) && SameText(K, Key))
      return V;
  }
  return Default;
}

bool TIniFile::SectionExists(const std::string& Section) const {
  std::string Name;
  for (const std::string& L : ReadLines())
    if (SectionOf(L, Name) && SameText(Name, Section))
      return true;
  return false;
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Key) const {
  TStringList Keys;
  ReadSection(Section, Keys);
  for (const std::string& K : Keys.Lines())
    if (SameText(K, Key))
      return true;
  return false;
}

void TIniFile::ReadSection(const std::string& Section, TStringList& Keys) const {
  std::vector<std::pair<std::string, std::string>> Values;
  ReadSectionValues(Section, Values);
  std::vector<std::string> Result;
  Result.reserve(Values.size());
  for (auto& KV : Values)
    Result.push_back(std::move(KV.first));
  Keys.SetLines(Result);
}

void TIniFile::ReadSectionValues(const std::string& Section,
                                 std::vector<std::pair<std::string, std::string>>& Values) const {
  Values.clear();
  std::unordered_map<std::string, bool> Seen; // by upper-cased key
  bool In = false;
  std::string Name, K, V;
  for (const std::string& L : ReadLines()) {
    if (SectionOf(L, Name))
      In = SameText(Name, Section);
    else if (In && KeyValueOf(L, K, V) && Seen.emplace(UpperCase(K), true).second)
      Values.emplace_back(K, V);
  }
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
  WriteStrings(Section, {{Key, Value}});
}

void TIniFile::WriteStrings(const std::string& Section,
                            const std::vector<std::pair<std::string, std::string>>& Values) {
  if (Values.empty())
    return;
  std::vector<std::string> Lines = ReadLinesToChange();
  // Where each key of the section's first occurrence stands (the first of
  // a repeated key counts), and the line new keys follow.
  std::unordered_map<std::string, size_t> Where;
  std::string Name, K, V;
  bool In = false;
  long LastInSection = -1; // the section's header or last key line
  for (size_t I = 0; I < Lines.size(); ++I) {
    if (SectionOf(Lines[I], Name)) {
      if (In)
        break; // the first section of that name ends here
      In = SameText(Name, Section);
      if (In)
        LastInSection = static_cast<long>(I);
    } else if (In && KeyValueOf(Lines[I], K, V)) {
      Where.emplace(UpperCase(K), I);
      LastInSection = static_cast<long>(I);
    }
  }
  std::vector<std::string> Added;
  std::unordered_map<std::string, size_t> AddedAt;
  for (const auto& [Key, Value] : Values) {
    const std::string NewLine = Trim(OneLine(Key)) + "=" + OneLine(Value);
    const std::string Upper = UpperCase(Trim(OneLine(Key)));
    if (auto It = Where.find(Upper); It != Where.end())
      Lines[It->second] = NewLine;
    else if (auto Again = AddedAt.find(Upper); Again != AddedAt.end())
      Added[Again->second] = NewLine; // a key given twice: the later value
    else {
      AddedAt.emplace(Upper, Added.size());
      Added.push_back(NewLine);
    }
  }
  if (LastInSection >= 0)
    Lines.insert(Lines.begin() + LastInSection + 1, Added.begin(), Added.end());
  else if (!Added.empty()) {
    if (!Lines.empty() && !Trim(Lines.back()).empty())
      Lines.push_back("");
    Lines.push_back("[" + OneLine(Section) + "]");
    Lines.insert(Lines.end(), Added.begin(), Added.end());
  }
  WriteLines(Lines);
}

void TIniFile::EraseSection(const std::string& Section) {
  std::vector<std::string> Lines = ReadLinesToChange(), Kept;
  std::string Name;
  bool In = false, Erased = false;
  for (const std::string& L : Lines) {
    if (SectionOf(L, Name)) {
      In = SameText(Name, Section);
      Erased = Erased || In;
    }
    if (!In)
      Kept.push_back(L);
  }
  if (Erased)
    WriteLines(Kept);
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Key) {
  std::vector<std::string> Lines = ReadLinesToChange(), Kept;
  std::string Name, K, V;
  bool In = false, Deleted = false;
  for (const std::string& L : Lines) {
    if (SectionOf(L, Name))
      In = SameText(Name, Section);
    else if (In && KeyValueOf(L, K, V) && SameText(K, Key)) {
      Deleted = true;
      continue;
    }
    Kept.push_back(L);
  }
  if (Deleted)
    WriteLines(Kept);
}

} // namespace Deskbay
