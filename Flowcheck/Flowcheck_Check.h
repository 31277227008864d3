#pragma once

// Checking an algorithm on every case of a test file, each case on a fresh
// machine at full speed, and what came of each case: for "algtool check"
// (files on disk) and for the algorithm window (the algorithm in memory).

#include "FlowcheckExport.h"
#include "Flowcheck_TestFile.h"

#include "Corekit/InteractionHooks.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;
class TRunObserver;

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
  Restricted,    // the chart uses what its task pack forbids
};

FLOWCHECK_API const char* CaseFailureName(TCaseFailure Failure);

struct FLOWCHECK_API TCaseResult {
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

  // From the case: whether the pupil may see it, its weight, its answers.
  bool Hidden = false;
  int64_t Weight = 1;
  std::vector<std::string> Answers;
  // The whole expected output and the lines printed until the run ended or
  // the first difference stopped it.
  std::vector<std::string> ExpectedLines;
  std::vector<std::string> PrintedLines;
  // Index (from 0) of the first printed or expected line that differs; -1
  // when the output did not differ.
  int FirstDifference = -1;
  // For a failed case: the number of steps to make from the start so the
  // machine stands just before what went wrong (the output step that
  // printed the first wrong line, the step that failed, or the step limit).
  // -1 when the case passed or never ran.
  int64_t StopStep = -1;
  // The error the run ended with, line breaks as '\n'; empty when none.
  std::string RunError;
  // The block that printed the first wrong line or failed, described as
  // "algtool show" does; empty when no block is to blame (a run that ended
  // too soon, a passed case).
  std::string Block;

  bool Passed() const { return Failure == TCaseFailure::None; }
};

struct FLOWCHECK_API TFileResult {
  std::string FileName;
  bool Loaded = false;
  std::vector<TCaseResult> Cases; // one per case of the test file, in its order
  // The blocks no case reached, described by their lines in chart order;
  // filled only when coverage was asked for.
  std::vector<std::string> Unreached;

  int PassedCount() const;
  bool PassedAll() const { return PassedCount() == static_cast<int>(Cases.size()); }
  // The weights of the passed cases, and of all cases.
  int64_t Score() const;
  int64_t MaxScore() const;
  // The first case that failed; nullptr when all passed.
  const TCaseResult* FirstFailure() const;
};

// Answers the machine's questions from a case's "<" lines, as the input
// dialog would take them (the options applied, an empty answer to a question
// that wants one skipped, a huge one cut); none left is the dialog's Cancel.
// The checker's runs and the debugger's replay of a case answer alike.
class FLOWCHECK_API TCaseAnswerList : public IInputProvider {
public:
  explicit TCaseAnswerList(std::vector<std::string> Answers) : FAnswers(std::move(Answers)) {}

  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override;
  // The question no answer was left for; empty while none was.
  const std::string& GetUnansweredPrompt() const { return FUnansweredPrompt; }

private:
  std::vector<std::string> FAnswers;
  size_t FNext = 0;
  std::string FUnansweredPrompt;
};

// The same, installed as the input provider while it lives, the previous
// one put back after.
class FLOWCHECK_API TCaseAnswers : public TCaseAnswerList {
public:
  explicit TCaseAnswers(std::vector<std::string> Answers);
  ~TCaseAnswers() override;
  TCaseAnswers(const TCaseAnswers&) = delete;
  TCaseAnswers& operator=(const TCaseAnswers&) = delete;

private:
  TInputProviderScope FScope;
};

// One case run in pieces on a fresh machine, for a host that keeps its
// window alive between them: Run makes at most Steps more steps, with the
// case's answers as the input provider only meanwhile, and answers whether
// the case is decided; GetResult then holds what CheckCase gives.
class FLOWCHECK_API TCaseRun {
public:
  TCaseRun(TAlgorithm& Alg, const TTestCase& Case, std::set<const TAlgBlock*>* Reached = nullptr,
           TRunObserver* Watcher = nullptr);
  ~TCaseRun();
  TCaseRun(const TCaseRun&) = delete;
  TCaseRun& operator=(const TCaseRun&) = delete;
  bool Run(int64_t Steps);
  bool Decided() const;
  const TCaseResult& GetResult() const;
  // Steps made so far.
  int64_t GetSteps() const;

private:
  struct TState;
  std::unique_ptr<TState> F;
};

// Runs one case on Alg on a fresh machine. Installs its own input provider
// for the run. Reached, when given, gains every block a step was made of;
// Watcher, when given, hears BeforeStep of every step too.
FLOWCHECK_API TCaseResult CheckCase(TAlgorithm& Alg, const TTestCase& Case,
                                    std::set<const TAlgBlock*>* Reached = nullptr,
                                    TRunObserver* Watcher = nullptr);

// Runs Alg (in memory, as the window holds it) on every case of Tests.
FLOWCHECK_API std::vector<TCaseResult> CheckAlgorithm(TAlgorithm& Alg, const TTestFile& Tests);

// Loads FileName and runs it on every case of Tests. A file that cannot be
// loaded fails every case with the loader's message. With Coverage the
// result lists the blocks no case reached.
FLOWCHECK_API TFileResult CheckFile(const TTestFile& Tests, const std::string& FileName,
                                    bool Coverage = false);

// Every case of Tests failed by Failure with Reason (a file that could not
// be loaded or checked).
FLOWCHECK_API TFileResult FailedFile(const TTestFile& Tests, const std::string& FileName,
                                     TCaseFailure Failure, const std::string& Reason);

// What the pupil is told of a case: "пройден", the reason of a failure, and
// for a hidden case nothing of its input or output ("скрытый случай:
// пройден" / "скрытый случай: не пройден").
FLOWCHECK_API std::string PupilDescription(const TCaseResult& Result);

} // namespace Deskbay
