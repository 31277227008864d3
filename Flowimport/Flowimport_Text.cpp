#include "Flowimport_Text.h"

#include "Flowimport_Chart.h"
#include "Flowimport_Errors.h"

#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Kinds.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <vector>

namespace Deskbay {

namespace {

const TAlgBlockKind AllKinds[] = {TAlgBlockKind::Root,        TAlgBlockKind::Sequence,
                                  TAlgBlockKind::Computation, TAlgBlockKind::InputOutput,
                                  TAlgBlockKind::Branch,      TAlgBlockKind::WhileLoop,
                                  TAlgBlockKind::UntilLoop,   TAlgBlockKind::ForLoop};

// The kind a line's words before its colon name, or false.
bool KindNamed(std::string_view Name, TAlgBlockKind& Kind) {
  for (TAlgBlockKind K : AllKinds)
    if (K != TAlgBlockKind::Sequence && Name == AlgBlockKindInfo(K).Name) {
      Kind = K;
      return true;
    }
  return false;
}

std::vector<std::string> SplitLines(const std::string& Rest) {
  std::vector<std::string> Lines;
  if (Rest.empty())
    return Lines;
  size_t From = 0, Bar;
  while ((Bar = Rest.find(" | ", From)) != std::string::npos) {
    Lines.push_back(Rest.substr(From, Bar - From));
    From = Bar + 3;
  }
  Lines.push_back(Rest.substr(From));
  return Lines;
}

struct TLine {
  int No;
  size_t Level;
  std::string Body;
};

} // namespace

bool LooksLikeChartText(std::string_view Text) {
  size_t Pos = Text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (Pos < Text.size()) {
    size_t End = Text.find('\n', Pos);
    if (End == std::string_view::npos)
      End = Text.size();
    const std::string Line = Trim(Text.substr(Pos, End - Pos));
    Pos = End + 1;
    if (Line.empty())
      continue;
    TAlgBlockKind Kind;
    return KindNamed(Line.substr(0, Line.find(':')), Kind);
  }
  return false;
}

void ImportChartText(TAlgorithm& Alg, std::string_view Text, const std::string& FileName) {
  CheckSourceText(Text, FileName);
  if (Text.substr(0, 3) == "\xEF\xBB\xBF")
    Text.remove_prefix(3);
  std::vector<TLine> Lines;
  int LineNo = 0;
  for (size_t Pos = 0; Pos < Text.size();) {
    size_t End = Text.find('\n', Pos);
    if (End == std::string_view::npos)
      End = Text.size();
    std::string Line(Text.substr(Pos, End - Pos));
    Pos = End + 1;
    ++LineNo;
    if (!Line.empty() && Line.back() == '\r')
      Line.pop_back();
    if (Trim(Line).empty())
      continue;
    const size_t Indent = Line.find_first_not_of(' ');
    if (Line[Indent] == '\t')
      throw EImportError(FileName, LineNo, static_cast<int>(Indent) + 1,
                         "отступ сделан табуляцией, а нужны пробелы, по два на уровень.");
    if (Indent % 2 != 0)
      throw EImportError(FileName, LineNo, static_cast<int>(Indent) + 1,
                         "отступ должен быть чётным числом пробелов (по два на уровень).");
    Lines.push_back({LineNo, Indent / 2, Line.substr(Indent)});
  }
  if (Lines.empty())
    throw EImportError(FileName, 0, 0, "в тексте нет ни одного блока.");

  size_t Base = 0; // the level of the root's blocks
  size_t First = 0;
  const std::string RootName = AlgBlockKindInfo(TAlgBlockKind::Root).Name;
  {
    const std::string& B = Lines[0].Body;
    if (Lines[0].Level == 0 && B.compare(0, RootName.size(), RootName) == 0 &&
        (B.size() == RootName.size() || B[RootName.size()] == ':')) {
      std::string Rest = B.size() > RootName.size() ? B.substr(RootName.size() + 1) : "";
      if (!Rest.empty() && Rest[0] == ' ')
        Rest.erase(0, 1);
      Alg.GetRoot()->GetText().SetLines(SplitLines(Rest));
      Base = 1;
      First = 1;
    }
  }
  // The sequences the next lines go into, by level: Open[k] takes the
  // blocks of level Base + k; nullptr where only "да:" or "нет:" may stand.
  std::vector<TAlgBlock*> Open{Alg.GetRoot()->GetBody()};
  for (size_t I = First; I < Lines.size(); ++I) {
    const TLine& L = Lines[I];
    const int Column = static_cast<int>(2 * L.Level) + 1;
    if (L.Level < Base)
      throw EImportError(FileName, L.No, Column,
                         "после строки алгоритма блоки стоят с отступом в два пробела.");
    const size_t Level = L.Level - Base;
    if (Level > 2 * static_cast<size_t>(MaxImportNesting))
      throw EImportError(FileName, L.No, Column,
                         Format("блоки вложены глубже %d уровней.", MaxImportNesting));
    if (L.Body == "да:" || L.Body == "нет:") {
      TIfAlgBlock* If = nullptr;
      if (Level >= 1 && Level - 1 < Open.size() && Open[Level - 1] &&
          Open[Level - 1]->GetBlockCount() > 0) {
        TAlgBlock* Seq = Open[Level - 1];
        TAlgBlock* Last = Seq->GetBlocks(Seq->GetBlockCount() - 1);
        if (Last->GetKind() == TAlgBlockKind::Branch)
          If = static_cast<TIfAlgBlock*>(Last);
      }
      if (!If)
        throw EImportError(FileName, L.No, Column, "\"" + L.Body + "\" стоит не под ветвлением.",
                           "Ветви ветвления пишутся на два пробела правее его строки.");
      Open.resize(Level + 1);
      Open[Level] = nullptr;
      Open.push_back(L.Body == "да:" ? If->GetYesBranch() : If->GetNoBranch());
      continue;
    }
    if (Level >= Open.size() || !Open[Level])
      throw EImportError(FileName, L.No, Column, "лишний отступ: блоку здесь негде стоять.");
    Open.resize(Level + 1);
    const size_t Colon = L.Body.find(':');
    const std::string Name = L.Body.substr(0, Colon);
    TAlgBlockKind Kind;
    if (!KindNamed(Name, Kind) || Kind == TAlgBlockKind::Root)
      throw EImportError(FileName, L.No, Column, "нет блока \"" + Name + "\".",
                         "Строка блока начинается с его вида и двоеточия: \"Блок вычислений: "
                         "X=1\".");
    std::string Rest = Colon == std::string::npos ? "" : L.Body.substr(Colon + 1);
    if (!Rest.empty() && Rest[0] == ' ')
      Rest.erase(0, 1);
    TAlgBlock* B =
        CreateImportedBlock(*AlgBlockKindInfo(Kind).Class, Open[Level], L.No, Column, FileName);
    B->GetText().SetLines(SplitLines(Rest));
    if (TCompoundAlgBlock* Body = AlgBodyOf(B))
      Open.push_back(Body);
  }
}

} // namespace Deskbay
