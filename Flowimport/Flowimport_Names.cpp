#include "Flowimport_Names.h"

#include "Flowimport_Errors.h"

namespace Deskbay {

namespace {

char LatinCapital(char C) {
  if (C >= 'a' && C <= 'z')
    return static_cast<char>(C - 'a' + 'A');
  if (C >= 'A' && C <= 'Z')
    return C;
  return 0;
}

} // namespace

void TNameMap::Note(const std::string& Key, const std::string& Shown, int Line, int Column) {
  if (FIndex.count(Key))
    return;
  FIndex[Key] = FNames.size();
  FNames.push_back({Key, Shown, Line, Column});
}

void TNameMap::Resolve(const std::string& FileName) {
  bool Taken[26] = {};
  // One-letter names first: they keep their letter wherever they stand.
  for (TName& N : FNames)
    if (N.Shown.size() == 1 && LatinCapital(N.Shown[0]) && !Taken[LatinCapital(N.Shown[0]) - 'A']) {
      N.Letter = LatinCapital(N.Shown[0]);
      Taken[N.Letter - 'A'] = true;
    }
  for (TName& N : FNames) {
    if (N.Letter)
      continue;
    const char Own = LatinCapital(N.Shown[0]);
    if (Own && !Taken[Own - 'A']) {
      N.Letter = Own;
    } else {
      for (int L = 0; L < 26; ++L)
        if (!Taken[L]) {
          N.Letter = static_cast<char>('A' + L);
          break;
        }
    }
    if (!N.Letter) {
      std::string List;
      for (const TName& M : FNames)
        List += (List.empty() ? "" : ", ") + M.Shown;
      throw EImportError(
          FileName, N.Line, N.Column,
          Format("в программе %zu имён переменных, а в языке алгоритмов только 26 букв: %s.",
                 FNames.size(), List.c_str()),
          "Обойдитесь меньшим числом переменных.");
    }
    Taken[N.Letter - 'A'] = true;
  }
}

char TNameMap::LetterOf(const std::string& Key) const {
  const auto It = FIndex.find(Key);
  return It == FIndex.end() ? 0 : FNames[It->second].Letter;
}

std::vector<std::string> TNameMap::Report() const {
  std::vector<std::string> R;
  for (const TName& N : FNames)
    if (!(N.Shown.size() == 1 && LatinCapital(N.Shown[0]) == N.Letter))
      R.push_back(N.Shown + " → " + std::string(1, N.Letter));
  return R;
}

} // namespace Deskbay
