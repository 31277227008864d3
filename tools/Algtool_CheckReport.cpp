#include "Algtool_CheckReport.h"

#include "Algtool_CheckPlatforms.h"
#include "Algtool_Output.h"

#include "Corekit/SysUtils.h"

#include <ostream>
#include <string_view>

namespace Deskbay::Algtool {

namespace {

const char* const Columns[] = {"file",      "case",      "passed", "failure", "reason", "line",
                               "expected",  "actual",    "steps",  "pupil",   "cases",  "score",
                               "max_score", "unreached", "hidden", "weight",  "mark"};

// Every text of a row comes from a file or a file name and is made visible
// first (control characters as escapes), whatever the format: a report is
// read at a terminal, and a cell or a JSON value is printed by the next
// program as it is.
// A cell holds one line: the lines of a message are joined by " / ".
std::string OneCellLine(std::string_view Text) {
  std::string S;
  size_t Start = 0;
  for (;;) {
    const size_t End = Text.find('\n', Start);
    std::string_view Line = Text.substr(Start, End - Start);
    if (!Line.empty() && Line.back() == '\r')
      Line.remove_suffix(1);
    if (!Line.empty()) {
      if (!S.empty())
        S += " / ";
      S += Line;
    }
    if (End == std::string_view::npos)
      return S;
    Start = End + 1;
  }
}

// The file name without its folder, the pupil's name in a class report.
std::string PupilName(const std::string& FileName) {
  const size_t Slash = FileName.find_last_of('/');
  return Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
}

std::string Quoted(const std::string& S, char Separator) {
  if (S.find_first_of(std::string("\"\r\n") + Separator) == std::string_view::npos)
    return S;
  std::string Q = "\"";
  for (char C : S) {
    if (C == '"')
      Q += '"';
    Q += C;
  }
  return Q + '"';
}

std::string JoinedLines(const std::vector<std::string>& Lines) {
  std::string S;
  for (const std::string& Line : Lines)
    S += (S.empty() ? "" : "\n") + Line;
  return S;
}

// A spreadsheet takes a cell that starts with "=", "+", "-" or "@" for a
// formula, and file names are the pupils' to choose; "./" in front names
// the same file and is only text.
std::string CsvFileName(const std::string& Name) {
  if (!Name.empty() && std::string_view("=+-@\t\r").find(Name.front()) != std::string_view::npos)
    return "./" + Name;
  return Name;
}

// A case as the teacher's text names it: hidden cases and weights other
// than 1 said after the name.
std::string CaseLabel(const TCaseResult& Case) {
  std::string S = "случай \"" + VisibleText(Case.CaseName) + "\"";
  if (Case.Hidden && Case.Weight != 1)
    S += Format(" (скрытый, вес %lld)", static_cast<long long>(Case.Weight));
  else if (Case.Hidden)
    S += " (скрытый)";
  else if (Case.Weight != 1)
    S += Format(" (вес %lld)", static_cast<long long>(Case.Weight));
  return S;
}

std::string SummaryLabel(const TCaseSummary& Case) {
  TCaseResult R;
  R.CaseName = Case.Name;
  R.Hidden = Case.Hidden;
  R.Weight = Case.Weight;
  return CaseLabel(R);
}

} // namespace

// A JSON string of the visible text (where bytes that are not UTF-8 are
// escapes already; any left would become U+FFFD).
std::string JsonString(std::string_view Text) {
  const std::string S = VisibleText(Text);
  std::string J = "\"";
  for (size_t I = 0; I < S.size();) {
    const unsigned char C = static_cast<unsigned char>(S[I]);
    if (C == '"' || C == '\\') {
      J += '\\';
      J += static_cast<char>(C);
      ++I;
    } else if (C == '\n') {
      J += "\\n";
      ++I;
    } else if (C == '\t') {
      J += "\\t";
      ++I;
    } else if (C < 0x20) {
      J += Format("\\u%04x", C);
      ++I;
    } else if (C < 0x80) {
      J += static_cast<char>(C);
      ++I;
    } else {
      char32_t Code;
      const size_t Length = DecodeUtf8(S, I, Code);
      if (Length == 0) {
        J += "\xEF\xBF\xBD";
        ++I;
      } else {
        J.append(S.substr(I, Length));
        I += Length;
      }
    }
  }
  return J + '"';
}

std::string TCheckReport::MarkOf(const TFileResult& File) const {
  if (FOptions.Marks.Empty())
    return std::string();
  return std::to_string(FOptions.Marks.MarkFor(File.Score(), File.MaxScore()));
}

std::string TCheckReport::CsvField(std::string_view Text) const {
  return Quoted(VisibleText(OneCellLine(Text)), FOptions.CsvSeparator);
}

// A file name as it is, its line breaks shown as escapes like other bytes.
std::string TCheckReport::CsvName(const std::string& Name) const {
  return Quoted(VisibleText(CsvFileName(Name)), FOptions.CsvSeparator);
}

TCheckReport::TCheckReport(const TReportOptions& Options, std::ostream& Out)
    : FOptions(Options), FFormat(Options.Format), FOut(Out) {
  if (FFormat == TReportFormat::Csv) {
    if (FOptions.ByteOrderMark)
      FOut << "\xEF\xBB\xBF";
    for (const char* Column : Columns) {
      if (Column != Columns[0])
        FOut << FOptions.CsvSeparator;
      FOut << Column;
    }
    FOut << '\n';
  } else if (FFormat == TReportFormat::Json) {
    FOut << '[';
  } else if (FFormat == TReportFormat::Junit) {
    FOut << JunitHead();
  }
}

void TCheckReport::Add(const TFileResult& File) {
  ++FFiles;
  FPassed += File.PassedAll();
  const TCaseResult* Failure = File.FirstFailure();
  FUnreadable += !File.Loaded && Failure && Failure->Failure == TCaseFailure::Unreadable;
  FSummary.Add(File);
  switch (FFormat) {
  case TReportFormat::Text:
    AddText(File);
    break;
  case TReportFormat::Csv:
    AddCsv(File);
    break;
  case TReportFormat::Json:
    AddJson(File);
    break;
  case TReportFormat::Junit:
    FOut << JunitSuite(File);
    break;
  case TReportFormat::Gradescope:
    FOut << GradescopeResults(File, FOptions.Marks);
    break;
  }
  // Results that reach nobody are not worth checking more files for.
  if (!(FOut << std::flush))
    throw EOutputFailed();
}

void TCheckReport::AddText(const TFileResult& File) {
  FOut << VisibleText(File.FileName) << ": " << File.PassedCount() << '/' << File.Cases.size();
  if (File.MaxScore() != static_cast<int64_t>(File.Cases.size()))
    FOut << ", баллы " << File.Score() << '/' << File.MaxScore();
  if (!FOptions.Marks.Empty())
    FOut << ", оценка " << MarkOf(File);
  const TCaseResult* Failure = File.FirstFailure();
  if (Failure && (!FOptions.AllFailures || !File.Loaded)) {
    if (File.Loaded)
      FOut << ", " << CaseLabel(*Failure) << ": ";
    else
      FOut << ", ";
    FOut << VisibleText(Failure->Reason);
  }
  FOut << '\n';
  if (FOptions.AllFailures && File.Loaded)
    for (const TCaseResult& Case : File.Cases)
      if (!Case.Passed())
        FOut << "  " << CaseLabel(Case) << ": " << VisibleText(Case.Reason) << '\n';
  if (FOptions.Coverage && File.Loaded)
    for (const std::string& Block : File.Unreached)
      FOut << "  не выполнен ни в одном случае: " << VisibleText(Block) << '\n';
}

void TCheckReport::AddCsv(const TFileResult& File) {
  const char Sep = FOptions.CsvSeparator;
  const std::string Name = CsvName(File.FileName);
  const std::string Pupil = CsvName(PupilName(File.FileName));
  for (const TCaseResult& Case : File.Cases) {
    FOut << Name << Sep << CsvField(Case.CaseName) << Sep << (Case.Passed() ? "true" : "false")
         << Sep << CaseFailureName(Case.Failure) << Sep << CsvField(Case.Reason) << Sep;
    if (Case.OutputLine > 0)
      FOut << Case.OutputLine;
    FOut << Sep << CsvField(Case.Expected) << Sep << CsvField(Case.Actual) << Sep << Case.Steps
         << Sep << Pupil << Sep << Sep << Sep << Sep << Sep << (Case.Hidden ? "true" : "false")
         << Sep << Case.Weight << Sep << '\n';
  }
  // The file's own row: no case, the number passed, the score.
  FOut << Name << Sep << Sep << File.PassedCount() << Sep << Sep << Sep << Sep << Sep << Sep << Sep
       << Pupil << Sep << File.Cases.size() << Sep << File.Score() << Sep << File.MaxScore() << Sep;
  if (FOptions.Coverage)
    FOut << CsvField(JoinedLines(File.Unreached));
  FOut << Sep << Sep << Sep << MarkOf(File) << '\n';
}

void TCheckReport::AddJson(const TFileResult& File) {
  for (const TCaseResult& Case : File.Cases) {
    FOut << (FFirstRow ? "\n" : ",\n");
    FFirstRow = false;
    FOut << "  {\"file\": " << JsonString(File.FileName)
         << ", \"case\": " << JsonString(Case.CaseName)
         << ", \"passed\": " << (Case.Passed() ? "true" : "false")
         << ", \"failure\": " << JsonString(CaseFailureName(Case.Failure))
         << ", \"reason\": " << JsonString(Case.Reason) << ", \"line\": ";
    if (Case.OutputLine > 0)
      FOut << Case.OutputLine;
    else
      FOut << "null";
    FOut << ", \"expected\": " << JsonString(Case.Expected)
         << ", \"actual\": " << JsonString(Case.Actual) << ", \"steps\": " << Case.Steps
         << ", \"pupil\": " << JsonString(PupilName(File.FileName))
         << ", \"hidden\": " << (Case.Hidden ? "true" : "false") << ", \"weight\": " << Case.Weight
         << '}';
  }
  FOut << (FFirstRow ? "\n" : ",\n");
  FFirstRow = false;
  FOut << "  {\"file\": " << JsonString(File.FileName)
       << ", \"pupil\": " << JsonString(PupilName(File.FileName))
       << ", \"passed\": " << File.PassedCount() << ", \"cases\": " << File.Cases.size()
       << ", \"score\": " << File.Score() << ", \"max_score\": " << File.MaxScore();
  if (!FOptions.Marks.Empty())
    FOut << ", \"mark\": " << MarkOf(File);
  if (FOptions.Coverage) {
    FOut << ", \"unreached\": [";
    for (size_t I = 0; I < File.Unreached.size(); ++I)
      FOut << (I ? ", " : "") << JsonString(File.Unreached[I]);
    FOut << ']';
  }
  FOut << '}';
}

void TCheckReport::FinishText(const TClassEnd& End) {
  if (FOptions.Summary) {
    FOut << "Случаи по классу, сначала самые трудные:\n";
    for (const TCaseSummary& Case : FSummary.Cases()) {
      FOut << "  " << SummaryLabel(Case) << ": прошли " << Case.Passed << " из " << Case.Files;
      for (const TFailureCount& Way : Case.Failures) {
        FOut << "; " << CaseFailureWords(Way.Failure);
        if (!Way.Message.empty())
          FOut << " \"" << VisibleText(OneCellLine(Way.Message)) << "\"";
        FOut << " — " << Way.Files;
      }
      FOut << '\n';
    }
  }
  if (FOptions.Summary && End.HasModel) {
    if (End.ModelUnreached.empty())
      FOut << "Образец: каждый блок выполнен хотя бы в одном случае.\n";
    else
      FOut << "Блоки образца, не выполненные ни в одном случае:\n";
    for (const std::string& Block : End.ModelUnreached)
      FOut << "  " << VisibleText(Block) << '\n';
  }
  if (End.HasSimilar) {
    if (End.Similar.empty())
      FOut << "Похожих решений нет.\n";
    else
      FOut << "Похожие решения, сначала самые похожие:\n";
    for (const TSimilarPair& Pair : End.Similar)
      FOut << "  " << Pair.Percent << "%: " << VisibleText(End.Files[Pair.First]) << " и "
           << VisibleText(End.Files[Pair.Second]) << '\n';
  }
  FOut << "Файлы, прошедшие все случаи: " << FPassed << " из " << FFiles << ".\n";
}

// After the rows, a blank line and a table of its own: one row per case
// and way of failing (a case no file fails has one row with the failure
// empty), then a row per model block no case reached.
void TCheckReport::FinishCsv(const TClassEnd& End) {
  const char Sep = FOptions.CsvSeparator;
  if (End.HasSimilar) {
    FOut << '\n' << "similar_file" << Sep << "similar_to" << Sep << "similarity" << '\n';
    for (const TSimilarPair& Pair : End.Similar)
      FOut << CsvName(End.Files[Pair.First]) << Sep << CsvName(End.Files[Pair.Second]) << Sep
           << Pair.Percent << '\n';
  }
  if (!FOptions.Summary)
    return;
  FOut << '\n'
       << "summary_case" << Sep << "hidden" << Sep << "weight" << Sep << "passed" << Sep << "files"
       << Sep << "failure" << Sep << "message" << Sep << "count" << '\n';
  for (const TCaseSummary& Case : FSummary.Cases()) {
    const std::string Head = CsvField(Case.Name) + Sep + (Case.Hidden ? "true" : "false") + Sep +
                             std::to_string(Case.Weight) + Sep + std::to_string(Case.Passed) + Sep +
                             std::to_string(Case.Files) + Sep;
    if (Case.Failures.empty())
      FOut << Head << Sep << Sep << '\n';
    for (const TFailureCount& Way : Case.Failures)
      FOut << Head << CaseFailureName(Way.Failure) << Sep << CsvField(Way.Message) << Sep
           << Way.Files << '\n';
  }
  for (const std::string& Block : End.ModelUnreached)
    FOut << Sep << Sep << Sep << Sep << Sep << "model-unreached" << Sep << CsvField(Block) << Sep
         << '\n';
}

// The summary is the array's last element, an object of its own kind:
// {"summary": {"files": N, "cases": [...], "model_unreached": [...]}}.
void TCheckReport::FinishJson(const TClassEnd& End) {
  if (FOptions.Summary) {
    FOut << (FFirstRow ? "\n" : ",\n");
    FFirstRow = false;
    FOut << "  {\"summary\": {\"files\": " << FFiles << ", \"cases\": [";
    bool FirstCase = true;
    for (const TCaseSummary& Case : FSummary.Cases()) {
      FOut << (FirstCase ? "\n" : ",\n") << "    {\"case\": " << JsonString(Case.Name)
           << ", \"hidden\": " << (Case.Hidden ? "true" : "false")
           << ", \"weight\": " << Case.Weight << ", \"passed\": " << Case.Passed
           << ", \"files\": " << Case.Files << ", \"failures\": [";
      FirstCase = false;
      for (size_t I = 0; I < Case.Failures.size(); ++I) {
        const TFailureCount& Way = Case.Failures[I];
        FOut << (I ? ", " : "") << "{\"failure\": " << JsonString(CaseFailureName(Way.Failure))
             << ", \"message\": " << JsonString(Way.Message) << ", \"count\": " << Way.Files << '}';
      }
      FOut << "]}";
    }
    FOut << (FirstCase ? "]" : "\n  ]");
    if (End.HasModel) {
      FOut << ", \"model_unreached\": [";
      for (size_t I = 0; I < End.ModelUnreached.size(); ++I)
        FOut << (I ? ", " : "") << JsonString(End.ModelUnreached[I]);
      FOut << ']';
    }
    FOut << "}}";
  }
  if (End.HasSimilar) {
    FOut << (FFirstRow ? "\n" : ",\n");
    FFirstRow = false;
    FOut << "  {\"similar\": [";
    for (size_t I = 0; I < End.Similar.size(); ++I) {
      const TSimilarPair& Pair = End.Similar[I];
      FOut << (I ? ",\n" : "\n") << "    {\"file\": " << JsonString(End.Files[Pair.First])
           << ", \"similar_to\": " << JsonString(End.Files[Pair.Second])
           << ", \"similarity\": " << Pair.Percent << '}';
    }
    FOut << (End.Similar.empty() ? "]}" : "\n  ]}");
  }
  FOut << (FFirstRow ? "]\n" : "\n]\n");
}

void TCheckReport::Finish(const TClassEnd& End) {
  switch (FFormat) {
  case TReportFormat::Text:
    FinishText(End);
    break;
  case TReportFormat::Csv:
    FinishCsv(End);
    break;
  case TReportFormat::Json:
    FinishJson(End);
    break;
  case TReportFormat::Junit:
    FOut << JunitTail();
    break;
  case TReportFormat::Gradescope:
    break;
  }
  if (!(FOut << std::flush))
    throw EOutputFailed();
}

int TCheckReport::ExitStatus() const {
  if (FFiles > 0 && FUnreadable == FFiles)
    return CheckNothingRead;
  return FPassed == FFiles ? CheckAllPassed : CheckSomeFailed;
}

} // namespace Deskbay::Algtool
