#pragma once

// A teacher's test cases for "algtool check": a plain UTF-8 text file.
//
//   # comment                  (ignored, as are blank lines)
//   === NAME                   starts a case; cases run in file order
//   < TEXT                     one answer to the next input question
//   > TEXT                     one expected output line, in order
//   ! TEXT                     the run must end with an error containing TEXT
//   steps N                    the case's step limit
//
// One blank after the marker is part of the marker, so "> 5" and ">5" both
// expect "5".

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay::Algtool {

constexpr int64_t DefaultCaseSteps = 10'000'000;

struct TTestCase {
  std::string Name;
  int Line = 0; // of its "===" line
  std::vector<std::string> Answers;
  std::vector<std::string> Output; // without trailing blanks, which never count
  bool ExpectsError = false;
  std::string ErrorText; // empty with ExpectsError: any error will do
  int64_t MaxSteps = DefaultCaseSteps;

  // Whether the output is compared: always, unless the case expects an
  // error and names no output line.
  bool ChecksOutput() const { return !ExpectsError || !Output.empty(); }
};

struct TTestFile {
  std::string FileName;
  std::vector<TTestCase> Cases;
};

// A count as the tool reads one, in arguments and in test files: whole
// decimal digits only, so "10x", "-1" and "1e6" are mistakes.
bool ParseCount(const std::string& S, int64_t& Value);

// Reads a test file. Any mistake in it raises an error naming the file and
// the line; a file without cases is a mistake too.
TTestFile ReadTestFile(const std::string& FileName);
// The same for text already in memory; FileName only names it in errors.
TTestFile ParseTestFile(const std::string& Text, const std::string& FileName);

} // namespace Deskbay::Algtool
