#pragma once

// "algtool check": one algorithm file run on every case of a test file, each
// case on a fresh machine, and what came of each case.

#include "Algtool_TestFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay::Algtool {

// Why a case failed. The names of the kinds (CaseFailureName) are what the
// CSV and JSON reports carry, so scripts can sort failures without reading
// the Russian reason.
enum class TCaseFailure {
  None,
  OutputLine,    // a line differs from the expected one
  MissingOutput, // the run ended before an expected line
  ExtraOutput,   // a line beyond the expected ones
  Error,         // the run failed where it should have ended normally
  NoError,       // the run ended normally where it should have failed
  WrongError,    // it failed, but not with the expected text
  NoAnswer,      // an input question with no answer left
  StepLimit,     // the case's step limit was reached
  Unreadable,    // the file could not be loaded
  Crashed,       // the checking process died on this file
};

const char* CaseFailureName(TCaseFailure Failure);

struct TCaseResult {
  std::string CaseName;
  TCaseFailure Failure = TCaseFailure::None;
  // One line of Russian saying why; empty when the case passed.
  std::string Reason;
  // For the output kinds: the number of the output line (from 1), the line
  // expected and the line printed. For the error kinds: the expected text
  // and the error's text. For NoAnswer: the question as Actual.
  int OutputLine = 0;
  std::string Expected;
  std::string Actual;
  int64_t Steps = 0;

  bool Passed() const { return Failure == TCaseFailure::None; }
};

struct TFileResult {
  std::string FileName;
  bool Loaded = false;
  std::vector<TCaseResult> Cases; // one per case of the test file, in its order

  int PassedCount() const;
  bool PassedAll() const { return PassedCount() == static_cast<int>(Cases.size()); }
  // The first case that failed; nullptr when all passed.
  const TCaseResult* FirstFailure() const;
};

// Loads FileName and runs it on every case of Tests. A file that cannot be
// loaded fails every case with the loader's message. Installs its own input
// provider for each case.
TFileResult CheckFile(const TTestFile& Tests, const std::string& FileName);

// Every case of Tests failed by Failure with Reason (a file that could not
// be loaded or checked).
TFileResult FailedFile(const TTestFile& Tests, const std::string& FileName, TCaseFailure Failure,
                       const std::string& Reason);

} // namespace Deskbay::Algtool
