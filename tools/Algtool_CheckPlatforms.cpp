#include "Algtool_CheckPlatforms.h"

#include "Algtool_CheckReport.h"
#include "Algtool_Output.h"

#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Feedback.h"
#include "Flowcheck/Flowcheck_Text.h"

#include <string_view>

namespace Deskbay::Algtool {

namespace {

std::string PupilName(const std::string& FileName) {
  const size_t Slash = FileName.find_last_of('/');
  return Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
}

// Text for XML: visible (no control characters, no bytes that are not
// UTF-8), the two non-characters XML forbids replaced, markup escaped; in
// an attribute line breaks and tabs are kept as character references.
std::string XmlLine(std::string_view Raw, bool Attribute) {
  const std::string Text = VisibleText(Raw);
  std::string S;
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (C == '\xEF' && I + 2 < Text.size() && Text[I + 1] == '\xBF' &&
        (Text[I + 2] == '\xBE' || Text[I + 2] == '\xBF')) {
      S += "\xEF\xBF\xBD";
      I += 2;
      continue;
    }
    switch (C) {
    case '&':
      S += "&amp;";
      break;
    case '<':
      S += "&lt;";
      break;
    case '>':
      S += "&gt;";
      break;
    case '"':
      S += Attribute ? "&quot;" : "\"";
      break;
    case '\n':
      S += Attribute ? "&#10;" : "\n";
      break;
    case '\t':
      S += Attribute ? "&#9;" : "\t";
      break;
    default:
      S += C;
    }
  }
  return S;
}

// The lines of a text as XML, the breaks between them kept.
std::string Xml(std::string_view Text, bool Attribute) {
  std::string S;
  for (;;) {
    const size_t Break = Text.find('\n');
    S += XmlLine(Text.substr(0, Break), Attribute);
    if (Break == std::string_view::npos)
      return S;
    S += Attribute ? "&#10;" : "\n";
    Text.remove_prefix(Break + 1);
  }
}

// A JSON string of the lines of a text, the breaks between them kept.
std::string JsonLines(std::string_view Text) {
  std::string S = "\"";
  for (;;) {
    const size_t Break = Text.find('\n');
    const std::string Line = JsonString(Text.substr(0, Break));
    S += Line.substr(1, Line.size() - 2);
    if (Break == std::string_view::npos)
      return S + '"';
    S += "\\n";
    Text.remove_prefix(Break + 1);
  }
}

std::string Attr(std::string_view Text) {
  return '"' + Xml(Text, true) + '"';
}

// Lines of a case, as many and as long as a report shows.
std::string Lines(const char* Heading, const std::vector<std::string>& Lines) {
  constexpr size_t MaxLines = 50, MaxChars = 200;
  std::string S = std::string(Heading) + ":";
  if (Lines.empty())
    return S + " нет\n";
  S += '\n';
  for (size_t I = 0; I < Lines.size() && I < MaxLines; ++I)
    S += "  " + CheckExcerpt(Lines[I], MaxChars) + '\n';
  if (Lines.size() > MaxLines)
    S += Format("  … и ещё строк: %zu\n", Lines.size() - MaxLines);
  return S;
}

// A failed case in full: what a pupil may read of a visible case.
std::string CaseDetails(const TCaseResult& Case) {
  std::string S = Case.Reason + '\n';
  S += Lines("Ответы на вопросы", Case.Answers);
  S += Lines("Ожидался вывод", Case.ExpectedLines);
  S += Lines("Выведено", Case.PrintedLines);
  if (!Case.Block.empty())
    S += "Блок: " + Case.Block + '\n';
  return S;
}

bool FileFailure(TCaseFailure Failure) {
  return Failure == TCaseFailure::Unreadable || Failure == TCaseFailure::Crashed;
}

} // namespace

std::string JunitHead() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"algtool check\">\n";
}

std::string JunitTail() {
  return "</testsuites>\n";
}

std::string JunitSuite(const TFileResult& File) {
  int Failures = 0, Errors = 0;
  for (const TCaseResult& Case : File.Cases) {
    Failures += !Case.Passed() && !FileFailure(Case.Failure);
    Errors += FileFailure(Case.Failure);
  }
  const std::string Pupil = PupilName(File.FileName);
  std::string S = "  <testsuite name=" + Attr(File.FileName) +
                  Format(" tests=\"%zu\" failures=\"%d\" errors=\"%d\" skipped=\"0\">\n",
                         File.Cases.size(), Failures, Errors);
  if (!File.Cases.empty()) {
    S += "    <properties>\n";
    for (size_t I = 0; I < File.Cases.size(); ++I)
      S += "      <property name=" + Attr("weight:" + PupilCaseName(File, I)) +
           Format(" value=\"%lld\"/>\n", static_cast<long long>(File.Cases[I].Weight));
    S += "    </properties>\n";
  }
  for (size_t I = 0; I < File.Cases.size(); ++I) {
    const TCaseResult& Case = File.Cases[I];
    S += "    <testcase name=" + Attr(PupilCaseName(File, I)) + " classname=" + Attr(Pupil);
    if (Case.Passed()) {
      S += "/>\n";
      continue;
    }
    S += ">\n";
    if (FileFailure(Case.Failure))
      S += "      <error message=" + Attr(Case.Reason) +
           " type=" + Attr(CaseFailureName(Case.Failure)) + "/>\n";
    else if (Case.Hidden)
      S += "      <failure message=\"не пройден\" type=\"hidden\"/>\n";
    else
      S += "      <failure message=" + Attr(Case.Reason) +
           " type=" + Attr(CaseFailureName(Case.Failure)) + ">" + Xml(CaseDetails(Case), false) +
           "</failure>\n";
    S += "    </testcase>\n";
  }
  return S + "  </testsuite>\n";
}

std::string GradescopeResults(const TFileResult& File, const TMarkScale& Marks) {
  std::string Output = Format("Баллы: %lld из %lld", static_cast<long long>(File.Score()),
                              static_cast<long long>(File.MaxScore()));
  if (!Marks.Empty())
    Output += Format(", оценка %lld",
                     static_cast<long long>(Marks.MarkFor(File.Score(), File.MaxScore())));
  const TCaseResult* First = File.FirstFailure();
  if (!File.Loaded && First)
    Output += ". " + First->Reason;
  std::string S =
      Format("{\n  \"score\": %lld,\n  \"max_score\": %lld,\n",
             static_cast<long long>(File.Score()), static_cast<long long>(File.MaxScore()));
  S += "  \"output\": " + JsonLines(Output) + ",\n  \"tests\": [";
  for (size_t I = 0; I < File.Cases.size(); ++I) {
    const TCaseResult& Case = File.Cases[I];
    const std::string Out = Case.Passed() ? std::string("пройден") : CaseDetails(Case);
    S += (I ? ",\n" : "\n");
    S += Format("    {\"name\": %s, \"number\": \"%zu\", \"score\": %lld, \"max_score\": %lld, ",
                JsonString(Case.CaseName).c_str(), I + 1,
                static_cast<long long>(Case.Passed() ? Case.Weight : 0),
                static_cast<long long>(Case.Weight));
    S += std::string("\"status\": \"") + (Case.Passed() ? "passed" : "failed") +
         "\", \"output\": " + JsonLines(Out) + ", \"visibility\": \"" +
         (Case.Hidden ? "hidden" : "visible") + "\"}";
  }
  return S + (File.Cases.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

} // namespace Deskbay::Algtool
