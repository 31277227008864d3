#pragma once

// The results of "algtool check" as a person reads them (a line per file and
// a summary), or as rows for a spreadsheet (CSV) or a script (JSON): one row
// per file and case, then one summary row per file (the case column empty,
// "passed" the number of cases passed, and the score). Rows are written as
// results arrive.

#include "Algtool_Check.h"
#include "Flowcheck/Flowcheck_Marks.h"
#include "Flowcheck/Flowcheck_Similar.h"
#include "Flowcheck/Flowcheck_Summary.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace Deskbay::Algtool {

enum class TReportFormat { Text, Csv, Json, Junit, Gradescope };

// A JSON string of the text made visible (control characters and bytes that
// are not UTF-8 as escapes), quotes included.
std::string JsonString(std::string_view Text);

// Exit statuses of a check.
constexpr int CheckAllPassed = 0;
constexpr int CheckNothingRead = 1;
constexpr int CheckSomeFailed = 4;

struct TReportOptions {
  TReportFormat Format = TReportFormat::Text;
  bool AllFailures = false; // text: every failing case, not only the first
  bool Coverage = false;    // the blocks no case reached, per file
  char CsvSeparator = ',';
  bool ByteOrderMark = false; // CSV for spreadsheets that want one
  TMarkScale Marks;           // empty: no marks
  bool Summary = false;       // the class summary after the rows
};

// What the end of a class report adds to the rows: the model's blocks that
// no case reached.
struct TClassEnd {
  bool HasModel = false;
  std::vector<std::string> ModelUnreached;
  // With --similar: the pairs of copies, as indexes into Files.
  bool HasSimilar = false;
  std::vector<std::string> Files;
  std::vector<TSimilarPair> Similar;
};

class TCheckReport {
public:
  TCheckReport(const TReportOptions& Options, std::ostream& Out);
  void Add(const TFileResult& File);
  // The class summary and the copies when asked for, then the summary line
  // or the end of the JSON array.
  void Finish(const TClassEnd& End = {});
  // All passed, some case failed, or not one file could be read.
  int ExitStatus() const;

private:
  TReportOptions FOptions;
  TReportFormat FFormat;
  std::ostream& FOut;
  int FFiles = 0;
  int FPassed = 0;
  int FUnreadable = 0;
  bool FFirstRow = true;
  TClassSummary FSummary;

  void AddText(const TFileResult& File);
  void AddCsv(const TFileResult& File);
  void AddJson(const TFileResult& File);
  void FinishText(const TClassEnd& End);
  void FinishCsv(const TClassEnd& End);
  void FinishJson(const TClassEnd& End);
  std::string MarkOf(const TFileResult& File) const;
  std::string CsvField(std::string_view Text) const;
  std::string CsvName(const std::string& Name) const;
};

} // namespace Deskbay::Algtool
