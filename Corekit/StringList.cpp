#include "StringList.h"

#include <atomic>

namespace Deskbay {

void TStringList::CheckIndex(int Index, bool AllowEnd) const {
  const int Limit = AllowEnd ? GetCount() : GetCount() - 1;
  if (Index < 0 || Index > Limit)
    throw Exception(Format("List index out of bounds (%d)", Index));
}

std::uint64_t TStringList::NewStamp() {
  static std::atomic<std::uint64_t> Last{0};
  return Last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void TStringList::Changed() {
  FStamp = NewStamp();
  if (FUpdateCount > 0) {
    FChangedInUpdate = true;
    return;
  }
  if (OnChange)
    OnChange(this);
}

const std::string& TStringList::Get(int Index) const {
  CheckIndex(Index, false);
  return FLines[static_cast<size_t>(Index)];
}

void TStringList::Put(int Index, const std::string& S) {
  CheckIndex(Index, false);
  FLines[static_cast<size_t>(Index)] = S;
  Changed();
}

int TStringList::Add(const std::string& S) {
  FLines.push_back(S);
  Changed();
  return GetCount() - 1;
}

void TStringList::Insert(int Index, const std::string& S) {
  CheckIndex(Index, true);
  FLines.insert(FLines.begin() + Index, S);
  Changed();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index, false);
  FLines.erase(FLines.begin() + Index);
  Changed();
}

void TStringList::Clear() {
  if (FLines.empty())
    return;
  FLines.clear();
  Changed();
}

void TStringList::Assign(const TStringList& Source) {
  SetLines(Source.FLines);
}

void TStringList::SetLines(const std::vector<std::string>& Lines) {
  FLines = Lines;
  Changed();
}

std::string TStringList::GetText() const {
  std::string Result;
  for (const std::string& L : FLines) {
    Result += L;
    Result += "\r\n";
  }
  return Result;
}

void TStringList::SetText(const std::string& Text) {
  std::vector<std::string> Lines;
  size_t Start = 0;
  size_t I = 0;
  while (I < Text.size()) {
    const char C = Text[I];
    if (C == '\r' || C == '\n') {
      Lines.push_back(Text.substr(Start, I - Start));
      if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n')
        ++I;
      Start = I + 1;
    }
    ++I;
  }
  if (Start < Text.size())
    Lines.push_back(Text.substr(Start));
  SetLines(Lines);
}

void TStringList::BeginUpdate() {
  ++FUpdateCount;
}

void TStringList::EndUpdate() {
  if (FUpdateCount == 0)
    return;
  if (--FUpdateCount == 0 && FChangedInUpdate) {
    FChangedInUpdate = false;
    Changed();
  }
}

} // namespace Deskbay
