#include "Algtool_CheckReport.h"

#include "Algtool_Output.h"

#include "Corekit/SysUtils.h"

#include <ostream>
#include <string_view>

namespace Deskbay::Algtool {

namespace {

const char* const Columns[] = {"file", "case",     "passed", "failure", "reason",
                               "line", "expected", "actual", "steps"};

// Every text of a row comes from a file or a file name and is made visible
// first (control characters as escapes), whatever the format: a report is
// read at a terminal, and a cell or a JSON value is printed by the next
// program as it is.
std::string CsvField(std::string_view Text) {
  const std::string S = VisibleText(Text);
  if (S.find_first_of(",\"\r\n") == std::string_view::npos)
    return std::string(S);
  std::string Q = "\"";
  for (char C : S) {
    if (C == '"')
      Q += '"';
    Q += C;
  }
  return Q + '"';
}

// A spreadsheet takes a cell that starts with "=", "+", "-" or "@" for a
// formula, and file names are the pupils' to choose; "./" in front names
// the same file and is only text.
std::string CsvFileName(const std::string& Name) {
  if (!Name.empty() && std::string_view("=+-@\t\r").find(Name.front()) != std::string_view::npos)
    return "./" + Name;
  return Name;
}

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

} // namespace

TCheckReport::TCheckReport(TReportFormat Format, std::ostream& Out) : FFormat(Format), FOut(Out) {
  if (FFormat == TReportFormat::Csv) {
    for (const char* Column : Columns)
      FOut << (Column == Columns[0] ? "" : ",") << Column;
    FOut << '\n';
  } else if (FFormat == TReportFormat::Json) {
    FOut << '[';
  }
}

void TCheckReport::Add(const TFileResult& File) {
  ++FFiles;
  FPassed += File.PassedAll();
  const TCaseResult* Failure = File.FirstFailure();
  FUnreadable += !File.Loaded && Failure && Failure->Failure == TCaseFailure::Unreadable;
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
  }
  // Results that reach nobody are not worth checking more files for.
  if (!(FOut << std::flush))
    throw EOutputFailed();
}

void TCheckReport::AddText(const TFileResult& File) {
  FOut << VisibleText(File.FileName) << ": " << File.PassedCount() << '/' << File.Cases.size();
  if (const TCaseResult* Failure = File.FirstFailure()) {
    if (File.Loaded)
      FOut << ", случай \"" << VisibleText(Failure->CaseName) << "\": ";
    else
      FOut << ", ";
    FOut << VisibleText(Failure->Reason);
  }
  FOut << '\n';
}

void TCheckReport::AddCsv(const TFileResult& File) {
  for (const TCaseResult& Case : File.Cases) {
    FOut << CsvField(CsvFileName(File.FileName)) << ',' << CsvField(Case.CaseName) << ','
         << (Case.Passed() ? "true" : "false") << ',' << CaseFailureName(Case.Failure) << ','
         << CsvField(Case.Reason) << ',';
    if (Case.OutputLine > 0)
      FOut << Case.OutputLine;
    FOut << ',' << CsvField(Case.Expected) << ',' << CsvField(Case.Actual) << ',' << Case.Steps
         << '\n';
  }
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
         << ", \"actual\": " << JsonString(Case.Actual) << ", \"steps\": " << Case.Steps << '}';
  }
}

void TCheckReport::Finish() {
  if (FFormat == TReportFormat::Text)
    FOut << "Файлы, прошедшие все случаи: " << FPassed << " из " << FFiles << ".\n";
  else if (FFormat == TReportFormat::Json)
    FOut << (FFirstRow ? "]\n" : "\n]\n");
  if (!(FOut << std::flush))
    throw EOutputFailed();
}

int TCheckReport::ExitStatus() const {
  if (FFiles > 0 && FUnreadable == FFiles)
    return CheckNothingRead;
  return FPassed == FFiles ? CheckAllPassed : CheckSomeFailed;
}

} // namespace Deskbay::Algtool
