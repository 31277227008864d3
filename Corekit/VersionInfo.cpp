#include "VersionInfo.h"

#include "ElfReader.h"

namespace Deskbay {

namespace {

constexpr const char* BlockHeader = "DeskbayVersionInfo 1";

std::string Unescape(const std::string& S) {
  std::string R;
  R.reserve(S.size());
  for (size_t I = 0; I < S.size(); ++I) {
    if (S[I] == '\\' && I + 1 < S.size()) {
      ++I;
      R += S[I] == 'n' ? '\n' : S[I];
    } else
      R += S[I];
  }
  return R;
}

// "a.b.c.d" with four decimal numbers of at most 16 bits.
bool ParseFileVersion(const std::string& S, int (&Parts)[4]) {
  size_t I = 0;
  for (int K = 0; K < 4; ++K) {
    if (K > 0) {
      if (I >= S.size() || S[I] != '.')
        return false;
      ++I;
    }
    size_t Start = I;
    long V = 0;
    while (I < S.size() && S[I] >= '0' && S[I] <= '9' && I - Start < 6)
      V = V * 10 + (S[I++] - '0');
    if (I == Start || V > 65535)
      return false;
    Parts[K] = static_cast<int>(V);
  }
  return I == S.size();
}

std::unique_ptr<TVersionInfo::TBlock> ReadBlock(const std::string& FileName) {
  try {
    TElfFile File(FileName);
    std::string Data;
    if (!File.ReadSection(VersionSectionName, Data, 64 * 1024))
      return nullptr;
    auto Block = std::make_unique<TVersionInfo::TBlock>();
    if (!ParseVersionBlock(Data, *Block))
      return nullptr;
    return Block;
  } catch (const EElfError&) {
    return nullptr;
  }
}

const std::string* FindValue(const TVersionInfo::TBlock& Block, const std::string& Key) {
  for (const auto& [K, V] : Block)
    if (SameText(K, Key))
      return &V;
  return nullptr;
}

} // namespace

bool ParseVersionBlock(const std::string& Data, TVersionInfo::TBlock& Block) {
  Block.clear();
  // Several blocks linked into one module lie one after another; the
  // module's own comes first.
  std::string Text = Data.substr(0, Data.find('\0'));
  size_t Pos = 0;
  bool First = true;
  while (Pos < Text.size()) {
    size_t End = Text.find('\n', Pos);
    if (End == std::string::npos)
      End = Text.size();
    std::string Line = Text.substr(Pos, End - Pos);
    Pos = End + 1;
    if (First) {
      if (Line != BlockHeader)
        return false;
      First = false;
      continue;
    }
    size_t Eq = Line.find('=');
    if (Eq == std::string::npos || Eq == 0)
      continue;
    Block.emplace_back(Line.substr(0, Eq), Unescape(Line.substr(Eq + 1)));
  }
  return !First;
}

TVersionInfo::TVersionInfo(const std::string& FileName) : FBlock(ReadBlock(FileName)) {
  if (!FBlock)
    return;
  const std::string* V = FindValue(*FBlock, "FileVersion");
  int Parts[4];
  if (!V || !ParseFileVersion(*V, Parts))
    return;
  if (Parts[0] > 32767)
    throw Exception(Format("Bad file MajorVersion: %d.", Parts[0]));
  FMajor = Parts[0];
  FMinor = Parts[1];
  FRelease = Parts[2];
  FBuild = Parts[3];
  FHasVersion = true;
  FVersion = (uint64_t(FMajor) << 48) | (uint64_t(FMinor) << 32) | (uint64_t(FRelease) << 16) |
             uint64_t(FBuild);
}

TVersionInfo::~TVersionInfo() = default;

std::string TVersionInfo::GetValue(const std::string& Key) const {
  if (!FBlock)
    return "";
  const std::string* V = FindValue(*FBlock, Key);
  return V ? *V : "";
}

std::string TVersionInfo::GetVersionString() const {
  return Format("%d.%d.%d.%d", FMajor, FMinor, FRelease, FBuild);
}

std::string GetFileDescription(const std::string& FileName, const TVersionInfo* Info) {
  std::string Result = Info ? Info->GetValue("FileDescription") : "";
  if (!Result.empty())
    return Result;
  auto Block = ReadBlock(FileName);
  if (!Block)
    return "";
  const std::string* V = FindValue(*Block, "PackageDescription");
  return V ? *V : "";
}

} // namespace Deskbay
