#include "HelpExamples.h"

#include "tools/Algtool_Files.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"

#include <map>

namespace Deskbay::Help {

namespace {

const std::string_view PreOpen = "<pre";
const std::string_view PreClose = "</pre>";

int LineAt(std::string_view Text, size_t Pos) {
  int Line = 1;
  for (size_t I = 0; I < Pos && I < Text.size(); ++I)
    Line += Text[I] == '\n';
  return Line;
}

// The value of Name="..." inside the tag text; empty when absent.
std::string Attribute(std::string_view Tag, std::string_view Name) {
  const std::string Key = std::string(Name) + "=\"";
  size_t At = 0;
  while ((At = Tag.find(Key, At)) != std::string_view::npos) {
    if (At == 0 || Tag[At - 1] == ' ') {
      const size_t Start = At + Key.size();
      const size_t End = Tag.find('"', Start);
      if (End == std::string_view::npos)
        return {};
      return std::string(Tag.substr(Start, End - Start));
    }
    At += Key.size();
  }
  return {};
}

// The text of a <pre> block without the one line break that may follow the
// opening tag, ending with a line break.
std::string BlockText(std::string_view Inner) {
  std::string Text = HtmlToText(Inner);
  if (!Text.empty() && Text.front() == '\n')
    Text.erase(0, 1);
  if (!Text.empty() && Text.back() != '\n')
    Text += '\n';
  return Text;
}

void AppendUtf8(std::string& S, unsigned long Code) {
  if (Code < 0x80) {
    S += static_cast<char>(Code);
  } else if (Code < 0x800) {
    S += static_cast<char>(0xC0 | (Code >> 6));
    S += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    S += static_cast<char>(0xE0 | (Code >> 12));
    S += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    S += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    S += static_cast<char>(0xF0 | (Code >> 18));
    S += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
    S += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    S += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

[[noreturn]] void ChartError(const std::string& Where, int Line, const std::string& What) {
  throw Exception(Format("%s, строка %d примера: %s", Where.c_str(), Line, What.c_str()));
}

// The kinds of block a chart line may name, by the names the tool prints.
const std::map<std::string, const TAlgBlockClass*>& BlockKinds() {
  static const std::map<std::string, const TAlgBlockClass*> Kinds = [] {
    std::map<std::string, const TAlgBlockClass*> M;
    for (int I = 0; I < AlgBlockKindCount; ++I)
      if (const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I)); Info.Placed)
        M[Info.Name] = Info.Class;
    return M;
  }();
  return Kinds;
}

} // namespace

std::string HtmlToText(std::string_view Html) {
  std::string S;
  S.reserve(Html.size());
  for (size_t I = 0; I < Html.size(); ++I) {
    const char C = Html[I];
    if (C == '<') {
      const size_t End = Html.find('>', I);
      if (End == std::string_view::npos)
        break;
      I = End;
    } else if (C == '&') {
      const size_t End = Html.find(';', I);
      if (End == std::string_view::npos || End - I > 10) {
        S += C;
        continue;
      }
      const std::string_view Name = Html.substr(I + 1, End - I - 1);
      if (Name == "lt")
        S += '<';
      else if (Name == "gt")
        S += '>';
      else if (Name == "amp")
        S += '&';
      else if (Name == "quot")
        S += '"';
      else if (Name == "nbsp")
        S += ' ';
      else if (Name.size() > 1 && Name[0] == '#')
        AppendUtf8(S, Name[1] == 'x' ? std::stoul(std::string(Name.substr(2)), nullptr, 16)
                                     : std::stoul(std::string(Name.substr(1))));
      else
        S.append(Html.substr(I, End - I + 1));
      I = End;
    } else {
      S += C;
    }
  }
  return S;
}

std::vector<THelpExample> ParseHelpExamples(std::string_view Html, const std::string& PageName) {
  std::vector<THelpExample> Examples;
  size_t At = 0;
  while ((At = Html.find(PreOpen, At)) != std::string_view::npos) {
    const size_t TagEnd = Html.find('>', At);
    const size_t Close = TagEnd == std::string_view::npos ? TagEnd : Html.find(PreClose, TagEnd);
    if (Close == std::string_view::npos)
      throw Exception(
          Format("%s, строка %d: блок <pre> не закрыт.", PageName.c_str(), LineAt(Html, At)));
    const std::string_view Tag = Html.substr(At, TagEnd - At);
    const std::string Class = Attribute(Tag, "class");
    const std::string Text = BlockText(Html.substr(TagEnd + 1, Close - TagEnd - 1));
    const int Line = LineAt(Html, At);
    At = Close + PreClose.size();
    if (Class == "alg") {
      THelpExample E;
      E.Name = Attribute(Tag, "id");
      if (E.Name.empty())
        E.Name = PageName + ":" + std::to_string(Line);
      else if (E.Name.rfind("pic-", 0) == 0)
        E.Picture = E.Name.substr(4);
      E.Where = Format("%s, строка %d", PageName.c_str(), Line);
      E.Chart = Text;
      Examples.push_back(std::move(E));
      continue;
    }
    if (Class != "in" && Class != "out" && Class != "err")
      continue;
    if (Examples.empty())
      throw Exception(Format("%s, строка %d: блок \"%s\" стоит раньше всех примеров.",
                             PageName.c_str(), Line, Class.c_str()));
    THelpExample& E = Examples.back();
    if (Class == "in") {
      E.Input = Text;
    } else if (Class == "out") {
      E.Output = Text;
      E.HasOutput = true;
    } else {
      E.Error = Trim(Text);
    }
  }
  return Examples;
}

std::vector<THelpExample> ReadHelpExamples(const std::string& FileName) {
  TFileStream File(FileName, fmOpenRead);
  std::string Html;
  char Buffer[65536];
  while (const int64_t Count = File.Read(Buffer, sizeof Buffer))
    Html.append(Buffer, static_cast<size_t>(Count));
  const size_t Slash = FileName.rfind('/');
  return ParseHelpExamples(Html,
                           Slash == std::string::npos ? FileName : FileName.substr(Slash + 1));
}

void BuildHelpChart(TAlgorithm& Alg, const std::string& Chart, const std::string& Where) {
  // The sequences the next lines go into, by indent: Open[k] takes the blocks
  // indented by 2k spaces.
  std::vector<TAlgBlock*> Open{Alg.GetRoot()->GetBody()};
  int LineNo = 0;
  size_t Pos = 0;
  while (Pos < Chart.size()) {
    size_t End = Chart.find('\n', Pos);
    if (End == std::string::npos)
      End = Chart.size();
    const std::string Line = Chart.substr(Pos, End - Pos);
    Pos = End + 1;
    ++LineNo;
    if (Trim(Line).empty())
      continue;
    const size_t Indent = Line.find_first_not_of(' ');
    if (Indent % 2 != 0)
      ChartError(Where, LineNo, "отступ должен быть чётным числом пробелов.");
    const size_t Level = Indent / 2;
    const std::string Body = Line.substr(Indent);
    if (Body == "да:" || Body == "нет:") {
      // The branches of the branch that is the last block one level up;
      // their blocks come one level further in.
      TIfAlgBlock* If = nullptr;
      if (Level >= 1 && Level - 1 < Open.size() && Open[Level - 1] &&
          Open[Level - 1]->GetBlockCount() > 0) {
        TAlgBlock* Seq = Open[Level - 1];
        TAlgBlock* Last = Seq->GetBlocks(Seq->GetBlockCount() - 1);
        if (Last->GetKind() == TAlgBlockKind::Branch)
          If = static_cast<TIfAlgBlock*>(Last);
      }
      if (!If)
        ChartError(Where, LineNo, "\"" + Body + "\" стоит не под ветвлением.");
      Open.resize(Level + 1); // nothing goes beside "да:" and "нет:"
      Open[Level] = nullptr;
      Open.push_back(Body == "да:" ? If->GetYesBranch() : If->GetNoBranch());
      continue;
    }
    if (Level >= Open.size() || !Open[Level])
      ChartError(Where, LineNo, "лишний отступ.");
    Open.resize(Level + 1);
    const size_t Colon = Body.find(':');
    const std::string Kind = Body.substr(0, Colon);
    const auto Found = BlockKinds().find(Kind);
    if (Found == BlockKinds().end())
      ChartError(Where, LineNo, "нет блока \"" + Kind + "\".");
    TAlgBlock* B = Found->second->Create(Open[Level]);
    std::vector<std::string> Lines;
    std::string Rest = Colon == std::string::npos ? "" : Body.substr(Colon + 1);
    if (!Rest.empty() && Rest[0] == ' ')
      Rest.erase(0, 1);
    if (!Rest.empty()) {
      size_t From = 0, Bar;
      while ((Bar = Rest.find(" | ", From)) != std::string::npos) {
        Lines.push_back(Rest.substr(From, Bar - From));
        From = Bar + 3;
      }
      Lines.push_back(Rest.substr(From));
    }
    B->GetText().SetLines(Lines);
    if (TCompoundAlgBlock* Body = AlgBodyOf(B))
      Open.push_back(Body);
  }
}

} // namespace Deskbay::Help
