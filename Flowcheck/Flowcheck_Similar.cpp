#include "Flowcheck_Similar.h"

#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Kinds.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>
#include <unordered_map>

namespace Deskbay {

namespace {

// FNV-1a, then mixed: stable from run to run, so prints can be compared
// across processes.
uint64_t Hash(std::string_view S, uint64_t Seed = 0xcbf29ce484222325ull) {
  uint64_t H = Seed;
  for (unsigned char C : S) {
    H ^= C;
    H *= 0x100000001b3ull;
  }
  H ^= H >> 33;
  H *= 0xff51afd7ed558ccdull;
  H ^= H >> 33;
  return H;
}

uint64_t Combine(uint64_t A, uint64_t B) {
  return Hash(std::string_view(reinterpret_cast<const char*>(&B), sizeof B), A);
}

bool IsLatin(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

// A line without blanks, in small letters, each variable (a Latin letter
// standing alone, not the exponent of a number) as '\x01' followed by its
// capital letter, so the names can be replaced later.
std::string MarkedLine(const std::string& Line) {
  std::string Compact;
  for (char C : Line)
    if (static_cast<unsigned char>(C) > ' ')
      Compact += C;
  const std::string Low = LowerCaseRu(Compact);
  std::string S;
  bool Quoted = false;
  for (size_t I = 0; I < Low.size(); ++I) {
    const char C = Low[I];
    if (C == '"')
      Quoted = !Quoted;
    const bool Alone = IsLatin(C) && (I == 0 || !IsLatin(Low[I - 1])) &&
                       (I + 1 == Low.size() || !IsLatin(Low[I + 1]));
    const bool Exponent =
        I > 0 && (std::isdigit(static_cast<unsigned char>(Low[I - 1])) || Low[I - 1] == '.');
    if (!Quoted && Alone && !Exponent) {
      S += '\x01';
      S += static_cast<char>(C - 'a' + 'A');
    } else {
      S += C;
    }
  }
  return S;
}

// The line with variable Self as '#' and every other as 'v' (with Self 0:
// every variable as 'v').
std::string Profiled(const std::string& Marked, char Self) {
  std::string S;
  for (size_t I = 0; I < Marked.size(); ++I) {
    if (Marked[I] == '\x01' && I + 1 < Marked.size()) {
      S += Marked[++I] == Self ? '#' : 'v';
    } else {
      S += Marked[I];
    }
  }
  return S;
}

class TPrinter {
public:
  explicit TPrinter(const TAlgorithm& Alg) { Collect(Alg.GetRoot()); }

  // The blocks with every variable the same, and each variable's profile:
  // a renamed copy has the same profiles, a changed line changes only the
  // profiles of the variables in it.
  TChartPrint Print(const TAlgorithm& Alg) {
    TChartPrint P;
    P.Tree = Subtree(Alg.GetRoot(), 0, P.Features);
    const std::vector<uint64_t> Profiles = VariableProfiles();
    for (uint64_t Profile : Profiles) {
      P.Features.push_back(Combine(Profile, 4));
      P.Tree = Combine(P.Tree, Profile);
    }
    std::sort(P.Features.begin(), P.Features.end());
    return P;
  }

private:
  std::unordered_map<const TAlgBlock*, std::vector<std::string>> FLines;

  void Collect(const TAlgBlock* Block) {
    std::vector<std::string>& Lines = FLines[Block];
    for (const std::string& Line : Block->GetText().Lines()) {
      std::string M = MarkedLine(Line);
      if (!M.empty())
        Lines.push_back(std::move(M));
    }
    for (int I = 0; I < Block->GetBlockCount(); ++I)
      Collect(Block->GetBlocks(I));
  }

  // Each variable's profile: what is done with it in every line, in no
  // particular order; the profiles sorted, so the names do not count.
  std::vector<uint64_t> VariableProfiles() {
    std::map<char, std::vector<std::string>> Uses;
    for (const auto& [Block, Lines] : FLines) {
      const std::string Kind = std::to_string(static_cast<int>(Block->GetKind())) + ":";
      for (const std::string& Line : Lines)
        for (size_t I = 0; I + 1 < Line.size(); ++I)
          if (Line[I] == '\x01')
            Uses[Line[I + 1]].push_back(Kind + Profiled(Line, Line[I + 1]));
    }
    std::vector<uint64_t> Profiles;
    for (auto& [Var, Profile] : Uses) {
      std::sort(Profile.begin(), Profile.end());
      Profile.erase(std::unique(Profile.begin(), Profile.end()), Profile.end());
      uint64_t H = 0;
      for (const std::string& Use : Profile)
        H = Combine(H, Hash(Use));
      Profiles.push_back(H);
    }
    std::sort(Profiles.begin(), Profiles.end());
    return Profiles;
  }

  bool IsEmptyStatement(const TAlgBlock* Block) {
    switch (Block->GetKind()) {
    case TAlgBlockKind::Computation:
    case TAlgBlockKind::InputOutput:
      return FLines[Block].empty();
    case TAlgBlockKind::Root:
    case TAlgBlockKind::Sequence:
    case TAlgBlockKind::Branch:
    case TAlgBlockKind::WhileLoop:
    case TAlgBlockKind::UntilLoop:
    case TAlgBlockKind::ForLoop:
      return false;
    }
    return false;
  }

  // The block's own text: its kind and its lines, in no order.
  uint64_t Own(const TAlgBlock* Block) {
    std::vector<std::string> Lines;
    for (const std::string& Line : FLines[Block])
      Lines.push_back(Profiled(Line, 0));
    std::sort(Lines.begin(), Lines.end());
    uint64_t H = Hash(std::to_string(static_cast<int>(Block->GetKind())));
    for (const std::string& Line : Lines)
      H = Combine(H, Hash(Line));
    return H;
  }

  // The subtree's hash; Features gains the block's own, placed and subtree
  // features (a sequence adds none of its own: its blocks count in any order).
  uint64_t Subtree(const TAlgBlock* Block, uint64_t Parent, std::vector<uint64_t>& Features) {
    const bool Sequence = Block->GetKind() == TAlgBlockKind::Sequence;
    const uint64_t Self = Sequence ? Parent : Own(Block);
    std::vector<uint64_t> Children;
    for (int I = 0; I < Block->GetBlockCount(); ++I) {
      const TAlgBlock* Child = Block->GetBlocks(I);
      if (!IsEmptyStatement(Child))
        Children.push_back(Subtree(Child, Self, Features));
    }
    if (Sequence)
      std::sort(Children.begin(), Children.end());
    uint64_t H = Combine(Sequence ? 0x5e9 : Self, Children.size());
    for (uint64_t Child : Children)
      H = Combine(H, Child);
    if (!Sequence) {
      Features.push_back(Combine(Self, 1));
      Features.push_back(Combine(Combine(Self, Parent), 2));
      Features.push_back(Combine(H, 3));
    }
    return H;
  }
};

} // namespace

TChartPrint ChartPrint(const TAlgorithm& Alg) {
  TPrinter Printer(Alg);
  return Printer.Print(Alg);
}

int ChartSimilarity(const TChartPrint& A, const TChartPrint& B) {
  if (A.Tree == B.Tree)
    return 100;
  const size_t Total = A.Features.size() + B.Features.size();
  if (Total == 0)
    return 100;
  size_t Common = 0;
  for (size_t I = 0, J = 0; I < A.Features.size() && J < B.Features.size();) {
    if (A.Features[I] < B.Features[J]) {
      ++I;
    } else if (B.Features[J] < A.Features[I]) {
      ++J;
    } else {
      ++Common;
      ++I;
      ++J;
    }
  }
  const int Percent = static_cast<int>(200 * Common / Total);
  // Only the same tree is all the same.
  return std::min(Percent, 99);
}

std::vector<TSimilarPair> FindSimilarCharts(const std::vector<TChartPrint>& Prints,
                                            const std::vector<std::string>& Owners, int Threshold) {
  std::vector<TSimilarPair> Pairs;
  for (size_t I = 0; I < Prints.size(); ++I)
    for (size_t J = I + 1; J < Prints.size(); ++J) {
      if (I < Owners.size() && J < Owners.size() && Owners[I] == Owners[J])
        continue;
      // The share can reach the threshold only when the sizes allow it.
      const size_t A = Prints[I].Features.size(), B = Prints[J].Features.size();
      if (Prints[I].Tree != Prints[J].Tree &&
          200 * std::min(A, B) < static_cast<size_t>(Threshold) * (A + B))
        continue;
      const int Percent = ChartSimilarity(Prints[I], Prints[J]);
      if (Percent >= Threshold)
        Pairs.push_back({I, J, Percent});
    }
  std::stable_sort(Pairs.begin(), Pairs.end(), [](const TSimilarPair& X, const TSimilarPair& Y) {
    return X.Percent > Y.Percent;
  });
  return Pairs;
}

} // namespace Deskbay
