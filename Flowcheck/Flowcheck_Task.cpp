#include "Flowcheck_Task.h"

#include "Flowcheck_Text.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Flowlang/Flowlang_Expression.h"
#include "Flowlang/Flowlang_Statement.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace Deskbay {

namespace {

// The functions the machine knows (the parser's own list).
constexpr std::string_view FunctionNames[] = {"ABS",   "ATAN", "COS",  "EXP", "LN",
                                              "ROUND", "SIN",  "SQRT", "SQR", "TRUNC"};

// A pack is text a teacher writes; its starter chart is an algorithm file.
constexpr int64_t MaxPackSize = 16 << 20;

const char* const Magic = "@@ deskbay-task 1";

std::vector<std::string> SplitNames(const std::string& Names) {
  std::vector<std::string> Out;
  size_t Start = 0;
  for (;;) {
    const size_t Comma = std::min(Names.find(',', Start), Names.size());
    const std::string Name = Trim(Names.substr(Start, Comma - Start));
    if (!Name.empty())
      Out.push_back(Name);
    if (Comma == Names.size())
      return Out;
    Start = Comma + 1;
  }
}

std::string UpperAscii(std::string S) {
  for (char& C : S)
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 'a' + 'A');
  return S;
}

const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Lines(const std::string& Bytes) {
  std::string S, Line;
  for (size_t I = 0; I < Bytes.size(); I += 3) {
    const size_t N = std::min<size_t>(3, Bytes.size() - I);
    uint32_t V = 0;
    for (size_t K = 0; K < 3; ++K)
      V = (V << 8) | (K < N ? static_cast<unsigned char>(Bytes[I + K]) : 0);
    for (size_t K = 0; K < 4; ++K)
      Line += K <= N ? Alphabet[(V >> (18 - 6 * K)) & 63] : '=';
    if (Line.size() >= 76) {
      S += Line + '\n';
      Line.clear();
    }
  }
  if (!Line.empty())
    S += Line + '\n';
  return S;
}

// False for text that is not base64.
bool DecodeBase64(std::string_view Text, std::string& Out) {
  uint32_t V = 0;
  int Bits = 0;
  bool Padding = false;
  for (char C : Text) {
    if (C == '=') {
      Padding = true;
      continue;
    }
    const char* P = C ? std::strchr(Alphabet, C) : nullptr;
    if (!P || Padding)
      return false;
    V = (V << 6) | static_cast<uint32_t>(P - Alphabet);
    Bits += 6;
    if (Bits >= 8) {
      Bits -= 8;
      Out += static_cast<char>((V >> Bits) & 0xFF);
    }
  }
  return true;
}

void CollectFunctions(const TCodeExpr& E, std::vector<std::string>& Out) {
  if (E.Kind == TCodeExpr::ekFunction)
    Out.push_back(E.Text);
  for (const TCodeExpr& Arg : E.Args)
    CollectFunctions(Arg, Out);
}

// The functions and drawing commands a block's lines use, as the machine
// reads the lines.
std::vector<std::string> UsedFunctions(const TAlgBlock* Block) {
  std::vector<TStatement> Statements;
  const std::vector<std::string>& Lines = Block->GetText().Lines();
  switch (Block->GetKind()) {
  case TAlgBlockKind::Computation:
    for (const std::string& Line : Lines)
      Statements.push_back(ReadComputationLine(Line));
    break;
  case TAlgBlockKind::InputOutput:
    for (const std::string& Line : Lines)
      Statements.push_back(ReadInputOutputLine(Line));
    break;
  case TAlgBlockKind::Branch:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
    if (!Lines.empty())
      Statements.push_back(ReadCondition(Lines[0]));
    break;
  case TAlgBlockKind::ForLoop:
    if (!Lines.empty())
      Statements.push_back(ReadCountingLoop(Lines[0]));
    break;
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
    break;
  }
  std::vector<std::string> Used;
  for (const TStatement& S : Statements) {
    if (S.Kind == TStatementKind::Drawing && S.Command)
      Used.emplace_back(S.Command->Word);
    for (const TExprText& E : S.Exprs) {
      const TCodeExprReading Reading = ReadCodeExpression(E.Text);
      if (!Reading.Refused && !Reading.AlwaysFails)
        CollectFunctions(Reading.Root, Used);
    }
  }
  std::vector<std::string> Unique;
  for (const std::string& Name : Used)
    if (std::find(Unique.begin(), Unique.end(), Name) == Unique.end())
      Unique.push_back(Name);
  return Unique;
}

bool IsPlaced(const TAlgBlock* Block) {
  return Block->GetParent() && Block->GetKind() != TAlgBlockKind::Sequence &&
         Block->GetKind() != TAlgBlockKind::Root;
}

void CountBlocks(const TAlgBlock* Block, int64_t& Count) {
  Count += IsPlaced(Block);
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    CountBlocks(Block->GetBlocks(I), Count);
}

void Walk(const TAlgBlock* Block, const TTaskRestrictions& R,
          std::vector<TRestrictionBreach>& Out) {
  if (IsPlaced(Block))
    for (std::string& Reason : BlockBreaches(Block, R))
      Out.push_back({Block, std::move(Reason)});
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    Walk(Block->GetBlocks(I), R, Out);
}

class TPackParser {
public:
  explicit TPackParser(const std::string& FileName) : FFileName(FileName) {}

  TTaskPack Parse(std::string_view Rest) {
    if (Rest.substr(0, 3) == "\xEF\xBB\xBF")
      Rest.remove_prefix(3);
    std::string Section, Base64, TestsText;
    bool Ended = false;
    while (!Rest.empty()) {
      const size_t End = Rest.find('\n');
      std::string_view Line = Rest.substr(0, End);
      Rest.remove_prefix(End == std::string_view::npos ? Rest.size() : End + 1);
      ++FLine;
      if (!Line.empty() && Line.back() == '\r')
        Line.remove_suffix(1);
      if (Line.find('\0') != std::string_view::npos)
        Fail("в строке нулевой байт; файл задания должен быть обычным текстом.");
      if (FLine == 1) {
        if (Line != Magic)
          Fail(Format("это не файл задания: первая строка должна быть \"%s\".", Magic));
        continue;
      }
      if (Ended) {
        if (!Trim(Line).empty())
          Fail("после \"@@ end\" ничего не должно быть.");
        continue;
      }
      if (Line.starts_with("@@") && !Line.starts_with("@@@")) {
        const std::string Next = Trim(Line.substr(2));
        if (!NextSection(Section, Next))
          Fail("раздел " + CheckQuoted(Next) +
               " не на своём месте. Разделы идут так: text, "
               "restrictions, tests, start base64, end.");
        Section = Next;
        Ended = Section == "end";
        if (Section == "tests")
          FTestsLine = FLine;
        continue;
      }
      if (Section == "text") {
        if (Line.starts_with("@@@"))
          Line.remove_prefix(1);
        FPack.Text.append(Line);
        FPack.Text += '\n';
      } else if (Section == "restrictions") {
        Restriction(Trim(Line));
      } else if (Section == "tests") {
        TestsText.append(Line);
        TestsText += '\n';
      } else if (Section == "start base64") {
        Base64.append(Trim(Line));
      } else {
        Fail("строка стоит вне разделов.");
      }
    }
    if (!Ended)
      Fail("файл задания не закончен: нет строки \"@@ end\" (файл обрезан?).");
    if (!DecodeBase64(Base64, FPack.Start))
      throw Exception(
          Format("Файл задания \"%s\": начальная схема записана не в base64.", FFileName.c_str()));
    if (FPack.Start.empty())
      throw Exception(Format("Файл задания \"%s\": в нём нет начальной схемы.", FFileName.c_str()));
    // The cases are checked as a test file would be, their lines counted
    // as the pack's (blank lines, which a test file skips, stand for the
    // lines before them).
    if (!Trim(TestsText).empty()) {
      try {
        ParseTestFile(std::string(static_cast<size_t>(FTestsLine), '\n') + TestsText, FFileName);
      } catch (const Exception& E) {
        const std::string As = Format("Файл тестов \"%s\"", FFileName.c_str());
        if (!E.Message().starts_with(As))
          throw;
        throw Exception(Format("Файл задания \"%s\"", FFileName.c_str()) +
                        E.Message().substr(As.size()));
      }
    }
    FPack.TestsText = std::move(TestsText);
    while (FPack.Text.ends_with("\n\n"))
      FPack.Text.pop_back();
    return std::move(FPack);
  }

private:
  std::string FFileName;
  int FLine = 0;
  int FTestsLine = 0; // of "@@ tests"
  TTaskPack FPack;

  [[noreturn]] void Fail(const std::string& Why) const {
    throw Exception(Format("Файл задания \"%s\", строка %d: ", FFileName.c_str(), FLine) + Why);
  }

  static bool NextSection(const std::string& Current, const std::string& Next) {
    static const char* const Order[] = {"", "text", "restrictions", "tests", "start base64", "end"};
    size_t From = 0, To = 0;
    for (size_t I = 0; I < std::size(Order); ++I) {
      if (Current == Order[I])
        From = I;
      if (Next == Order[I])
        To = I;
    }
    return To > From && (Next == Order[To]);
  }

  void Restriction(const std::string& Line) {
    if (Line.empty() || Line.front() == '#')
      return;
    const size_t Blank = std::min(Line.find(' '), Line.size());
    const std::string Key = Line.substr(0, Blank);
    const std::string Value = Trim(Line.substr(Blank));
    TTaskRestrictions& R = FPack.Restrictions;
    try {
      if (Key == "blocks") {
        R.LimitsBlocks = true;
        R.Blocks = ParseBlockKinds(Value);
      } else if (Key == "functions") {
        R.LimitsFunctions = true;
        R.Functions = ParseFunctionNames(Value);
      } else if (Key == "max-blocks") {
        if (!ParseCount(Value, R.MaxBlocks) || R.MaxBlocks == 0)
          Fail("после max-blocks нужно целое число блоков больше нуля.");
      } else if (Key == "program-text") {
        if (Value != "yes" && Value != "no")
          Fail("после program-text нужно yes или no.");
        R.ProgramText = Value == "yes";
      } else {
        Fail("непонятное ограничение " + CheckQuoted(Line) +
             ". Ограничения: blocks, functions, max-blocks, program-text.");
      }
    } catch (const Exception& E) {
      if (E.Message().starts_with("Файл задания"))
        throw;
      Fail(E.Message());
    }
  }
};

std::string KindList() {
  std::string S;
  for (int I = 0; I < AlgBlockKindCount; ++I) {
    const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I));
    if (Info.Placed)
      S += (S.empty() ? "«" : ", «") + std::string(Info.Name) + "»";
  }
  return S;
}

std::string FunctionList() {
  std::string S;
  for (std::string_view Name : FunctionNames)
    S += (S.empty() ? "" : ", ") + std::string(Name);
  for (const TDrawCommandWord& Word : DrawCommandWords())
    S += std::string(", ") + Word.Word;
  return S;
}

} // namespace

bool TTaskRestrictions::Allows(TAlgBlockKind Kind) const {
  return !LimitsBlocks || std::find(Blocks.begin(), Blocks.end(), Kind) != Blocks.end();
}

bool TTaskRestrictions::AllowsFunction(const std::string& Name) const {
  return !LimitsFunctions || std::find(Functions.begin(), Functions.end(), Name) != Functions.end();
}

std::vector<TAlgBlockKind> ParseBlockKinds(const std::string& Names) {
  std::vector<TAlgBlockKind> Kinds;
  for (const std::string& Name : SplitNames(Names)) {
    bool Found = false;
    for (int I = 0; I < AlgBlockKindCount && !Found; ++I) {
      const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I));
      if (Info.Placed && LowerCaseRu(Info.Name) == LowerCaseRu(Name)) {
        Found = true;
        if (std::find(Kinds.begin(), Kinds.end(), Info.Kind) == Kinds.end())
          Kinds.push_back(Info.Kind);
      }
    }
    if (!Found)
      throw Exception("нет такого вида блоков: " + CheckQuoted(Name) +
                      ". Виды блоков: " + KindList() + ".");
  }
  return Kinds;
}

std::vector<std::string> ParseFunctionNames(const std::string& Names) {
  std::vector<std::string> Out;
  for (const std::string& Name : SplitNames(Names)) {
    std::string Known;
    for (std::string_view F : FunctionNames)
      if (UpperAscii(Name) == F)
        Known = F;
    for (const TDrawCommandWord& Word : DrawCommandWords())
      if (LowerCaseRu(Name) == Word.Word)
        Known = Word.Word;
    if (Known.empty())
      throw Exception("нет такой функции или команды рисования: " + CheckQuoted(Name) +
                      ". Есть: " + FunctionList() + ".");
    if (std::find(Out.begin(), Out.end(), Known) == Out.end())
      Out.push_back(Known);
  }
  return Out;
}

std::string TestCasesText(const std::vector<TTestCase>& Cases) {
  std::string S;
  for (const TTestCase& Case : Cases) {
    S += (S.empty() ? "=== " : "\n=== ") + Case.Name + '\n';
    if (Case.MaxSteps != DefaultCaseSteps)
      S += Format("steps %lld\n", static_cast<long long>(Case.MaxSteps));
    if (Case.Weight != 1)
      S += Format("weight %lld\n", static_cast<long long>(Case.Weight));
    for (const std::string& Answer : Case.Answers)
      S += "< " + Answer + '\n';
    for (const std::string& Line : Case.Output)
      S += "> " + Line + '\n';
    if (Case.ExpectsError)
      S += Case.ErrorText.empty() ? std::string("!\n") : "! " + Case.ErrorText + '\n';
  }
  return S;
}

std::string WriteTaskPack(const TTaskPack& Pack) {
  std::string S = std::string(Magic) + "\n@@ text\n";
  std::string_view Text = Pack.Text;
  while (!Text.empty()) {
    const size_t End = Text.find('\n');
    const std::string_view Line = Text.substr(0, End);
    if (Line.starts_with("@@"))
      S += '@';
    S.append(Line);
    S += '\n';
    Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
  }
  S += "@@ restrictions\n";
  const TTaskRestrictions& R = Pack.Restrictions;
  if (R.LimitsBlocks) {
    S += "blocks";
    for (size_t I = 0; I < R.Blocks.size(); ++I)
      S += std::string(I ? ", " : " ") + AlgBlockKindInfo(R.Blocks[I]).Name;
    S += '\n';
  }
  if (R.LimitsFunctions) {
    S += "functions";
    for (size_t I = 0; I < R.Functions.size(); ++I)
      S += (I ? ", " : " ") + R.Functions[I];
    S += '\n';
  }
  if (R.MaxBlocks > 0)
    S += Format("max-blocks %lld\n", static_cast<long long>(R.MaxBlocks));
  if (!R.ProgramText)
    S += "program-text no\n";
  S += "@@ tests\n" + Pack.TestsText;
  if (!Pack.TestsText.empty() && Pack.TestsText.back() != '\n')
    S += '\n';
  S += "@@ start base64\n" + Base64Lines(Pack.Start) + "@@ end\n";
  return S;
}

bool LooksLikeTaskPack(std::string_view Head) {
  if (Head.starts_with("\xEF\xBB\xBF"))
    Head.remove_prefix(3);
  return Head.starts_with("@@ deskbay-task");
}

TTaskPack ParseTaskPack(const std::string& Text, const std::string& FileName) {
  return TPackParser(FileName).Parse(Text);
}

TTaskPack ReadTaskPackFile(const std::string& FileName) {
  return ParseTaskPack(ReadFileLimited(FileName, MaxPackSize), FileName);
}

std::string ForbiddenKindReason(TAlgBlockKind Kind) {
  return Format("В этом задании нельзя использовать «%s»", AlgBlockKindInfo(Kind).Name);
}

std::string TooManyBlocksReason(int64_t MaxBlocks) {
  return Format("В этом задании можно использовать не больше %lld блоков",
                static_cast<long long>(MaxBlocks));
}

int64_t CountPlacedBlocks(const TAlgorithm& Alg) {
  int64_t Count = 0;
  CountBlocks(Alg.GetRoot(), Count);
  return Count;
}

std::vector<std::string> BlockBreaches(const TAlgBlock* Block, const TTaskRestrictions& R) {
  std::vector<std::string> Out;
  if (!R.Allows(Block->GetKind()))
    Out.push_back(ForbiddenKindReason(Block->GetKind()));
  if (R.LimitsFunctions)
    for (const std::string& Name : UsedFunctions(Block))
      if (!R.AllowsFunction(Name))
        Out.push_back(FindDrawCommand(Name)
                          ? "В этом задании нельзя использовать команду рисования «" + Name + "»"
                          : "В этом задании нельзя использовать функцию " + Name);
  return Out;
}

std::vector<TRestrictionBreach> CheckRestrictions(const TAlgorithm& Alg,
                                                  const TTaskRestrictions& R) {
  std::vector<TRestrictionBreach> Out;
  if (R.MaxBlocks > 0) {
    const int64_t Count = CountPlacedBlocks(Alg);
    if (Count > R.MaxBlocks)
      Out.push_back({nullptr, TooManyBlocksReason(R.MaxBlocks) +
                                  Format(", а в схеме их %lld", static_cast<long long>(Count))});
  }
  Walk(Alg.GetRoot(), R, Out);
  return Out;
}

namespace {

std::string FirstRefusal(const TAlgBlock* Block, const TTaskRestrictions& R, int64_t& Count) {
  if (IsPlaced(Block)) {
    ++Count;
    const std::vector<std::string> Breaches = BlockBreaches(Block, R);
    if (!Breaches.empty())
      return Breaches.front();
  }
  for (int I = 0; I < Block->GetBlockCount(); ++I) {
    std::string Why = FirstRefusal(Block->GetBlocks(I), R, Count);
    if (!Why.empty())
      return Why;
  }
  return std::string();
}

} // namespace

std::string PlacementRefusal(const TAlgorithm& Alg, const std::vector<const TAlgBlock*>& Blocks,
                             const TTaskRestrictions& R) {
  int64_t Count = 0;
  for (const TAlgBlock* Block : Blocks) {
    std::string Why = FirstRefusal(Block, R, Count);
    if (!Why.empty())
      return Why;
  }
  if (R.MaxBlocks > 0 && CountPlacedBlocks(Alg) + Count > R.MaxBlocks)
    return TooManyBlocksReason(R.MaxBlocks);
  return std::string();
}

const char* RestrictionCaseName() {
  return "ограничения задания";
}

TCaseResult RestrictionCase(const TAlgorithm* Alg, const TTaskRestrictions& R,
                            const std::string& Reason) {
  TCaseResult Case;
  Case.CaseName = RestrictionCaseName();
  Case.Weight = 0;
  if (!Alg) {
    Case.Failure = TCaseFailure::Unreadable;
    Case.Reason = Reason;
    return Case;
  }
  for (const TRestrictionBreach& Breach : CheckRestrictions(*Alg, R)) {
    Case.Failure = TCaseFailure::Restricted;
    if (!Case.Reason.empty())
      Case.Reason += "; ";
    if (Breach.Block)
      Case.Reason += "блок " + CheckQuoted(DescribeBlock(Breach.Block)) + ": ";
    Case.Reason += Breach.Reason;
  }
  return Case;
}

} // namespace Deskbay
