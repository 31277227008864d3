#include "Algtool_CheckExpected.h"

#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Check.h"
#include "Flowcheck/Flowcheck_Text.h"

#include <string_view>
#include <vector>

namespace Deskbay::Algtool {

namespace {

struct TTextLine {
  std::string_view Text; // without its line end
  std::string_view End;  // "\n", "\r\n" or nothing at the end of the file
};

std::vector<TTextLine> SplitLines(std::string_view Rest) {
  std::vector<TTextLine> Lines;
  while (!Rest.empty()) {
    const size_t End = Rest.find('\n');
    TTextLine Line;
    Line.Text = Rest.substr(0, End);
    if (End != std::string_view::npos) {
      Line.End = "\n";
      if (!Line.Text.empty() && Line.Text.back() == '\r') {
        Line.Text.remove_suffix(1);
        Line.End = "\r\n";
      }
      Rest.remove_prefix(End + 1);
    } else {
      Rest = {};
    }
    Lines.push_back(Line);
  }
  return Lines;
}

std::string_view TrimmedLeft(std::string_view S) {
  while (!S.empty() && (S.front() == ' ' || S.front() == '\t'))
    S.remove_prefix(1);
  return S;
}

// What the model printed on the case, as ">" and "!" lines.
std::string ExpectedLines(TAlgorithm& Model, const TTestCase& Case, const std::string& FileName,
                          std::string_view LineEnd) {
  TTestCase Run = Case;
  // Expecting any error and no output lets the run go to its end, printing.
  Run.Output.clear();
  Run.ExpectsError = true;
  Run.ErrorText.clear();
  const TCaseResult R = CheckCase(Model, Run);
  if (R.Failure == TCaseFailure::NoAnswer || R.Failure == TCaseFailure::StepLimit)
    throw Exception(Format("Файл тестов \"%s\", случай ", FileName.c_str()) +
                    CheckQuoted(Case.Name) + ": образцовый алгоритм не закончился: " + R.Reason +
                    ".");
  std::string S;
  for (const std::string& Line : R.PrintedLines) {
    std::string_view Text = Line;
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
      Text.remove_suffix(1);
    S += "> ";
    S += Text;
    S += LineEnd;
  }
  if (!R.RunError.empty()) {
    const std::string First = Trim(R.RunError.substr(0, R.RunError.find('\n')));
    S += "! " + First;
    S += LineEnd;
  }
  return S;
}

} // namespace

std::string FillExpected(const std::string& Text, const std::string& FileName, TAlgorithm& Model) {
  const TTestFile Tests = ParseTestFile(Text, FileName);
  const std::vector<TTextLine> Lines = SplitLines(Text);
  const std::string_view LineEnd =
      !Lines.empty() && Lines[0].End == "\r\n" ? std::string_view("\r\n") : "\n";
  // Per line (from 0): the generated lines that go before it, and whether
  // it is an old output line that goes.
  std::vector<std::string> Before(Lines.size() + 1);
  std::vector<bool> Dropped(Lines.size());
  for (size_t C = 0; C < Tests.Cases.size(); ++C) {
    const size_t First = static_cast<size_t>(Tests.Cases[C].Line - 1);
    const size_t End = C + 1 < Tests.Cases.size() ? static_cast<size_t>(Tests.Cases[C + 1].Line - 1)
                                                  : Lines.size();
    size_t At = std::string::npos;
    size_t Last = First;
    for (size_t I = First; I < End; ++I) {
      const std::string_view L = TrimmedLeft(Lines[I].Text);
      if (L.empty() || L.front() == '#')
        continue;
      Last = I;
      if (L.front() == '>' || L.front() == '!') {
        Dropped[I] = true;
        if (At == std::string::npos)
          At = I;
      }
    }
    if (At == std::string::npos)
      At = Last + 1;
    Before[At] += ExpectedLines(Model, Tests.Cases[C], FileName, LineEnd);
  }
  std::string S;
  for (size_t I = 0; I <= Lines.size(); ++I) {
    if (!Before[I].empty() && !S.empty() && S.back() != '\n')
      S += LineEnd;
    S += Before[I];
    if (I == Lines.size() || Dropped[I])
      continue;
    S += Lines[I].Text;
    S += Lines[I].End;
  }
  return S;
}

} // namespace Deskbay::Algtool
