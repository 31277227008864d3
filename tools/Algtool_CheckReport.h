#pragma once

// The results of "algtool check" as a person reads them (a line per file and
// a summary), or as rows for a spreadsheet (CSV) or a script (JSON), one row
// per file and case. Rows are written as results arrive.

#include "Algtool_Check.h"

#include <iosfwd>

namespace Deskbay::Algtool {

enum class TReportFormat { Text, Csv, Json };

// Exit statuses of a check.
constexpr int CheckAllPassed = 0;
constexpr int CheckNothingRead = 1;
constexpr int CheckSomeFailed = 4;

class TCheckReport {
public:
  TCheckReport(TReportFormat Format, std::ostream& Out);
  void Add(const TFileResult& File);
  // The summary line, or the end of the JSON array.
  void Finish();
  // All passed, some case failed, or not one file could be read.
  int ExitStatus() const;

private:
  TReportFormat FFormat;
  std::ostream& FOut;
  int FFiles = 0;
  int FPassed = 0;
  int FUnreadable = 0;
  bool FFirstRow = true;

  void AddText(const TFileResult& File);
  void AddCsv(const TFileResult& File);
  void AddJson(const TFileResult& File);
};

} // namespace Deskbay::Algtool
