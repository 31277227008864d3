#pragma once

// A teacher's test cases for an algorithm: a plain UTF-8 text file.
//
//   # comment                  (ignored, as are blank lines)
//   === NAME                   starts a case; cases run in file order
//   < TEXT                     one answer to the next input question
//   > TEXT                     one expected output line, in order
//   ! TEXT                     the run must end with an error containing TEXT
//   steps N                    the case's step limit
//   weight N                   the case counts N times in the score (1)
//   hidden                     the pupil is told only whether it passed
//
// One blank after the marker is part of the marker, so "> 5" and ">5" both
// expect "5".

#include "FlowcheckExport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

constexpr int64_t DefaultCaseSteps = 10'000'000;

struct FLOWCHECK_API TTestCase {
  std::string Name;
  int Line = 0; // of its "===" line
  std::vector<std::string> Answers;
  std::vector<std::string> Output; // without trailing blanks, which never count
  bool ExpectsError = false;
  std::string ErrorText; // empty with ExpectsError: any error will do
  int64_t MaxSteps = DefaultCaseSteps;
  int64_t Weight = 1;
  bool Hidden = false;

  // Whether the output is compared: always, unless the case expects an
  // error and names no output line.
  bool ChecksOutput() const { return !ExpectsError || !Output.empty(); }
};

struct FLOWCHECK_API TTestFile {
  std::string FileName;
  std::vector<TTestCase> Cases;
};

// A count as the tool reads one, in arguments and in test files: whole
// decimal digits only, so "10x", "-1" and "1e6" are mistakes.
FLOWCHECK_API bool ParseCount(const std::string& S, int64_t& Value);

// Reads a test file. Any mistake in it raises an error naming the file and
// the line; a file without cases is a mistake too.
FLOWCHECK_API TTestFile ReadTestFile(const std::string& FileName);
// The bytes of a test file, unparsed (a folder or a file that cannot be
// read is an error naming it).
FLOWCHECK_API std::string ReadTestFileText(const std::string& FileName);
// The same for text already in memory; FileName only names it in errors.
FLOWCHECK_API TTestFile ParseTestFile(const std::string& Text, const std::string& FileName);

} // namespace Deskbay

namespace Deskbay {

// The test file of an algorithm file: NAME.tests beside NAME.alg (any other
// extension is replaced, a name without one gains ".tests"). Empty when
// there is no such regular file.
FLOWCHECK_API std::string FindTestFile(const std::string& AlgorithmFileName);

} // namespace Deskbay
