#include "Flowcheck_Check.h"

#include "Flowcheck_Text.h"

#include "Corekit/InteractionHooks.h"
#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Control.h"
#include "Flowrun/Flowrun_Main.h"

#include <algorithm>
#include <exception>
#include <sstream>
#include <string_view>
#include <utility>

namespace Deskbay {

namespace {

std::string_view WithoutTrailingBlanks(std::string_view S) {
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t'))
    S.remove_suffix(1);
  return S;
}

// A message of several lines as one line of a report.
std::string OneLine(const std::string& Text) {
  std::string S;
  std::istringstream Lines(Text);
  for (std::string Line; std::getline(Lines, Line);) {
    const std::string Part = Trim(Line);
    if (Part.empty())
      continue;
    if (!S.empty())
      S += ' ';
    S += Part;
  }
  return S;
}

std::string WithoutFinalNewlines(std::string S) {
  while (!S.empty() && S.back() == '\n')
    S.pop_back();
  return S;
}

// The machine's message with what it quotes from the file cut short: every
// stretch between double quotes longer than MaxQuotedChars characters ends
// after them with "…". The machine's own sentences are shorter, so only
// texts of the file (a block's line, a value) are cut, wherever a quote in
// the text itself puts the boundaries.
std::string ShortenQuotedTexts(std::string_view Message) {
  std::string S;
  for (;;) {
    const size_t Quote = Message.find('"');
    S += CheckExcerpt(Message.substr(0, Quote));
    if (Quote == std::string_view::npos)
      return S;
    S += '"';
    Message.remove_prefix(Quote + 1);
  }
}

// Compares the lines a case prints with the expected ones as they arrive, so
// the first difference is caught even in a run that prints without end, and
// stops the run there: the case has failed whatever comes after.
class TOutputComparer : public TRunObserver {
public:
  TOutputComparer(const TTestCase& Case, TCaseResult& Result, std::set<const TAlgBlock*>* Reached,
                  TRunObserver* Watcher)
      : FCase(Case), FResult(Result), FReached(Reached), FWatcher(Watcher) {}

  void BeforeStep(TAlgMachine& Machine, int64_t Step) override {
    FStep = Step;
    FBlock = Machine.GetCurrentBlock();
    if (FWatcher)
      FWatcher->BeforeStep(Machine, Step);
    if (FReached)
      if (TAlgBlock* Block = Machine.GetCurrentBlock())
        FReached->insert(Block);
  }

  void OnLine(const std::string& Line) {
    ++FPrinted;
    if (FDiffers)
      return;
    FResult.PrintedLines.push_back(Line);
    if (!FCase.ChecksOutput())
      return;
    const size_t Index = static_cast<size_t>(FPrinted - 1);
    if (Index >= FCase.Output.size()) {
      FDiffers = true;
      FResult.Failure = TCaseFailure::ExtraOutput;
      FResult.Reason = Format("лишняя строка вывода %lld: ", static_cast<long long>(FPrinted)) +
                       CheckQuoted(Line);
    } else if (WithoutTrailingBlanks(Line) != FCase.Output[Index]) {
      FDiffers = true;
      FResult.Failure = TCaseFailure::OutputLine;
      FResult.Reason = Format("строка вывода %lld: ожидалось ", static_cast<long long>(FPrinted)) +
                       CheckQuoted(FCase.Output[Index]) + ", выведено " + CheckQuoted(Line);
      FResult.Expected = FCase.Output[Index];
    } else {
      return;
    }
    FResult.OutputLine = static_cast<int>(FPrinted);
    FResult.FirstDifference = static_cast<int>(FPrinted - 1);
    FResult.StopStep = FStep - 1;
    FResult.Actual = Line;
    if (FBlock)
      FResult.Block = DescribeBlock(FBlock);
  }

  bool StopRequested() override { return FDiffers; }
  bool Differs() const { return FDiffers; }
  int64_t Printed() const { return FPrinted; }

private:
  const TTestCase& FCase;
  TCaseResult& FResult;
  std::set<const TAlgBlock*>* FReached;
  TRunObserver* FWatcher;
  const TAlgBlock* FBlock = nullptr; // the block of the step under way
  int64_t FStep = 0;
  int64_t FPrinted = 0;
  bool FDiffers = false;
};

// The error's text as the report carries it, with long quoted texts cut.
std::string ErrorText(const TRunOutcome& Outcome) {
  return ShortenQuotedTexts(WithoutFinalNewlines(Outcome.Error));
}

std::string DescribeError(const TRunOutcome& Outcome) {
  const std::string Error = OneLine(ErrorText(Outcome));
  if (Outcome.FailedBlock.empty())
    return Error;
  return "ошибка в блоке " + CheckQuoted(Outcome.FailedBlock) + ": " + Error;
}

// Judges a run whose printed lines all matched so far.
void JudgeEnd(const TTestCase& Case, const TRunOutcome& Outcome, const TCaseAnswerList& Input,
              int64_t Printed, TCaseResult& Result) {
  const std::string Expected = Case.ErrorText.empty()
                                   ? std::string("ожидалась ошибка")
                                   : "ожидалась ошибка с текстом " + CheckQuoted(Case.ErrorText);
  switch (Outcome.End) {
  case TRunEnd::StepLimit:
    Result.Failure = TCaseFailure::StepLimit;
    Result.Reason = Format("алгоритм не закончился: исчерпан предел шагов (%lld)",
                           static_cast<long long>(Case.MaxSteps));
    return;
  case TRunEnd::Failed:
    Result.Actual = ErrorText(Outcome);
    if (!Input.GetUnansweredPrompt().empty()) {
      Result.Failure = TCaseFailure::NoAnswer;
      Result.Actual = CheckExcerpt(Input.GetUnansweredPrompt());
      Result.Reason = "ответы случая кончились: нет ответа на вопрос " +
                      CheckQuoted(Input.GetUnansweredPrompt());
      return;
    }
    if (!Case.ExpectsError) {
      Result.Failure = TCaseFailure::Error;
      Result.Reason = DescribeError(Outcome);
      return;
    }
    if (Outcome.Error.find(Case.ErrorText) == std::string::npos) {
      Result.Failure = TCaseFailure::WrongError;
      Result.Expected = Case.ErrorText;
      Result.Reason = Expected + ", а получена другая: " + DescribeError(Outcome);
      return;
    }
    Result.Actual.clear();
    break;
  case TRunEnd::Done:
    if (Case.ExpectsError) {
      Result.Failure = TCaseFailure::NoError;
      Result.Expected = Case.ErrorText;
      Result.Reason = Expected + ", но алгоритм закончился без ошибки";
      return;
    }
    break;
  case TRunEnd::Stopped:
    return;
  }
  if (Case.ChecksOutput() && Printed < static_cast<int64_t>(Case.Output.size())) {
    const std::string& Line = Case.Output[static_cast<size_t>(Printed)];
    Result.Failure = TCaseFailure::MissingOutput;
    Result.OutputLine = static_cast<int>(Printed + 1);
    Result.FirstDifference = static_cast<int>(Printed);
    Result.Expected = Line;
    Result.Reason = Format("строка вывода %lld: ожидалось ", static_cast<long long>(Printed + 1)) +
                    CheckQuoted(Line) + ", но вывод закончился";
  }
}

} // namespace

namespace {

// The longest answer taken whole, in bytes, as a typed answer is bounded.
constexpr size_t MaxAnswer = 4096;

} // namespace

TCaseAnswers::TCaseAnswers(std::vector<std::string> Answers)
    : TCaseAnswerList(std::move(Answers)), FScope(this) {}

TCaseAnswers::~TCaseAnswers() = default;

bool TCaseAnswerList::InputString(const std::string&, const std::string& Prompt, std::string& Value,
                                  const TInputStringOptions& Options) {
  for (;;) {
    if (FNext >= FAnswers.size()) {
      FUnansweredPrompt = Prompt;
      return false;
    }
    std::string Line = FAnswers[FNext++];
    if (Line.size() > MaxAnswer) {
      Line.resize(MaxAnswer);
      Line += "…";
    }
    std::string Answer = ApplyInputStringOptions(Line, Options);
    if (Options.NotEmpty && Trim(Answer).empty())
      continue;
    Value = std::move(Answer);
    return true;
  }
}

const char* CaseFailureName(TCaseFailure Failure) {
  switch (Failure) {
  case TCaseFailure::None:
    return "";
  case TCaseFailure::OutputLine:
    return "output-line";
  case TCaseFailure::MissingOutput:
    return "missing-output";
  case TCaseFailure::ExtraOutput:
    return "extra-output";
  case TCaseFailure::Error:
    return "error";
  case TCaseFailure::NoError:
    return "no-error";
  case TCaseFailure::WrongError:
    return "wrong-error";
  case TCaseFailure::NoAnswer:
    return "no-answer";
  case TCaseFailure::StepLimit:
    return "step-limit";
  case TCaseFailure::Unreadable:
    return "unreadable";
  case TCaseFailure::Crashed:
    return "crashed";
  case TCaseFailure::Restricted:
    return "restriction";
  }
  return "";
}

struct TCaseRun::TState {
  TState(TAlgorithm& Alg, const TTestCase& Case, std::set<const TAlgBlock*>* Reached,
         TRunObserver* Watcher)
      : Case(Case), Input(Case.Answers), Comparer(Case, Result, Reached, Watcher),
        Driver(Machine, Alg, Case.MaxSteps, &Comparer) {
    Result.CaseName = Case.Name;
    Result.Hidden = Case.Hidden;
    Result.Weight = Case.Weight;
    Result.Answers = Case.Answers;
    Result.ExpectedLines = Case.Output;
    Machine.GetConsole().SetOnAddLine([this](const std::string& Line) { Comparer.OnLine(Line); });
  }
  const TTestCase& Case;
  TCaseResult Result;
  TCaseAnswerList Input;
  TOutputComparer Comparer;
  TAlgMachine Machine;
  TMachineDriver Driver;
  bool Decided = false;
};

TCaseRun::TCaseRun(TAlgorithm& Alg, const TTestCase& Case, std::set<const TAlgBlock*>* Reached,
                   TRunObserver* Watcher)
    : F(std::make_unique<TState>(Alg, Case, Reached, Watcher)) {}

TCaseRun::~TCaseRun() = default;

bool TCaseRun::Decided() const {
  return F->Decided;
}

const TCaseResult& TCaseRun::GetResult() const {
  return F->Result;
}

int64_t TCaseRun::GetSteps() const {
  return F->Driver.GetOutcome().Steps;
}

bool TCaseRun::Run(int64_t Steps) {
  if (F->Decided)
    return true;
  {
    // The case answers the machine's questions while its steps go, and
    // nobody else's.
    TInputProviderScope Answers(&F->Input);
    if (!F->Driver.Run(Steps))
      return false;
  }
  const TRunOutcome& Outcome = F->Driver.GetOutcome();
  TCaseResult& Result = F->Result;
  Result.Steps = Outcome.Steps;
  if (Outcome.End == TRunEnd::Failed)
    Result.RunError = WithoutFinalNewlines(Outcome.Error);

  if (!F->Comparer.Differs()) {
    JudgeEnd(F->Case, Outcome, F->Input, F->Comparer.Printed(), Result);
    // The run went wrong at its end: before the step that failed (a failed
    // step is not counted), or where the run stopped.
    if (!Result.Passed())
      Result.StopStep = Outcome.Steps;
    if (!Result.Passed() && Outcome.End == TRunEnd::Failed)
      Result.Block = Outcome.FailedBlock;
  }
  F->Decided = true;
  return true;
}

TCaseResult CheckCase(TAlgorithm& Alg, const TTestCase& Case, std::set<const TAlgBlock*>* Reached,
                      TRunObserver* Watcher) {
  TCaseRun Run(Alg, Case, Reached, Watcher);
  Run.Run(INT64_MAX);
  return Run.GetResult();
}

std::vector<TCaseResult> CheckAlgorithm(TAlgorithm& Alg, const TTestFile& Tests) {
  std::vector<TCaseResult> Results;
  Results.reserve(Tests.Cases.size());
  for (const TTestCase& Case : Tests.Cases)
    Results.push_back(CheckCase(Alg, Case));
  return Results;
}

std::string PupilDescription(const TCaseResult& Result) {
  if (Result.Hidden)
    return Result.Passed() ? "скрытый случай: пройден" : "скрытый случай: не пройден";
  return Result.Passed() ? "пройден" : Result.Reason;
}

int64_t TFileResult::Score() const {
  int64_t Sum = 0;
  for (const TCaseResult& Case : Cases)
    Sum += Case.Passed() ? Case.Weight : 0;
  return Sum;
}

int64_t TFileResult::MaxScore() const {
  int64_t Sum = 0;
  for (const TCaseResult& Case : Cases)
    Sum += Case.Weight;
  return Sum;
}

int TFileResult::PassedCount() const {
  int Count = 0;
  for (const TCaseResult& Case : Cases)
    Count += Case.Passed();
  return Count;
}

const TCaseResult* TFileResult::FirstFailure() const {
  for (const TCaseResult& Case : Cases)
    if (!Case.Passed())
      return &Case;
  return nullptr;
}

TFileResult FailedFile(const TTestFile& Tests, const std::string& FileName, TCaseFailure Failure,
                       const std::string& Reason) {
  TFileResult File;
  File.FileName = FileName;
  for (const TTestCase& Case : Tests.Cases) {
    TCaseResult& Result = File.Cases.emplace_back();
    Result.CaseName = Case.Name;
    Result.Hidden = Case.Hidden;
    Result.Weight = Case.Weight;
    Result.Failure = Failure;
    Result.Reason = Reason;
  }
  return File;
}

namespace {

// The blocks of the chart below Block in the order "algtool show" prints
// them, sequences left out: every block's children in their order (a
// branch's are its yes and no sequences).
void CollectUnreached(const TAlgBlock* Block, const std::set<const TAlgBlock*>& Reached,
                      std::vector<std::string>& Out) {
  if (Block->GetKind() != TAlgBlockKind::Sequence && Block->GetParent() && !Reached.count(Block))
    Out.push_back(DescribeBlock(Block));
  for (int I = 0; I < Block->GetBlockCount(); ++I)
    CollectUnreached(Block->GetBlocks(I), Reached, Out);
}

} // namespace

TFileResult CheckFile(const TTestFile& Tests, const std::string& FileName, bool Coverage) {
  TAlgorithm Alg;
  try {
    LoadAlgorithmFile(Alg, FileName);
  } catch (const Exception& E) {
    return FailedFile(Tests, FileName, TCaseFailure::Unreadable,
                      OneLine(MessageLines(E.Message())));
  } catch (const std::exception& E) {
    return FailedFile(Tests, FileName, TCaseFailure::Unreadable, OneLine(E.what()));
  }
  TFileResult File;
  File.FileName = FileName;
  File.Loaded = true;
  std::set<const TAlgBlock*> Reached;
  for (const TTestCase& Case : Tests.Cases) {
    try {
      File.Cases.push_back(CheckCase(Alg, Case, Coverage ? &Reached : nullptr));
    } catch (const std::exception& E) {
      // Not an error of the algorithm (those end up in the outcome) but of
      // the host, such as memory running out: this case fails, the rest run.
      TCaseResult& Result = File.Cases.emplace_back();
      Result.CaseName = Case.Name;
      Result.Failure = TCaseFailure::Error;
      Result.Hidden = Case.Hidden;
      Result.Weight = Case.Weight;
      Result.Reason = OneLine(E.what());
    }
  }
  if (Coverage)
    CollectUnreached(Alg.GetRoot(), Reached, File.Unreached);
  return File;
}

} // namespace Deskbay
