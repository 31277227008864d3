#include "IniFiles.h"

#include "Streams.h"

#include <fstream>

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
  std::ifstream In(FFileName, std::ios::binary);
  if (!In)
    return Lines;
  std::string Line;
  while (std::getline(In, Line)) {
    if (!Line.empty() && Line.back() == '\r')
      Line.pop_back();
    Lines.push_back(std::move(Line));
  }
  return Lines;
}

void TIniFile::WriteLines(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& L : Lines)
    Text += L + "\n";
  SaveFileAtomically(FFileName, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
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
  std::vector<std::string> Result;
  bool In = false;
  std::string Name, K, V;
  for (const std::string& L : ReadLines()) {
    if (SectionOf(L, Name))
      In = SameText(Name, Section);
    else if (In && KeyValueOf(L, K, V)) {
      bool Seen = false;
      for (const std::string& R : Result)
        Seen = Seen || SameText(R, K);
      if (!Seen)
        Result.push_back(K);
    }
  }
  Keys.SetLines(Result);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
  std::vector<std::string> Lines = ReadLines();
  const std::string NewLine = Trim(OneLine(Key)) + "=" + OneLine(Value);
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
      if (SameText(K, Key)) {
        Lines[I] = NewLine;
        WriteLines(Lines);
        return;
      }
      LastInSection = static_cast<long>(I);
    }
  }
  if (LastInSection >= 0)
    Lines.insert(Lines.begin() + LastInSection + 1, NewLine);
  else {
    if (!Lines.empty() && !Trim(Lines.back()).empty())
      Lines.push_back("");
    Lines.push_back("[" + OneLine(Section) + "]");
    Lines.push_back(NewLine);
  }
  WriteLines(Lines);
}

void TIniFile::EraseSection(const std::string& Section) {
  std::vector<std::string> Lines = ReadLines(), Kept;
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
  std::vector<std::string> Lines = ReadLines(), Kept;
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
