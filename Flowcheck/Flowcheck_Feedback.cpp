#include "Flowcheck_Feedback.h"

#include "Flowcheck_Text.h"

#include "Corekit/SvgCanvas.h"
#include "Corekit/SysUtils.h"

#include <vector>

namespace Deskbay {

namespace {

// How much of a case's lines a feedback quotes: a run that printed without
// end makes a page, not a book.
constexpr size_t MaxQuotedLines = 50;
constexpr size_t MaxLineChars = 200;

std::string PupilName(const std::string& FileName) {
  const size_t Slash = FileName.find_last_of('/');
  return Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
}

std::string Shown(const std::string& Text) {
  return VisibleText(CheckExcerpt(Text, MaxLineChars));
}

// The lines as shown, at most MaxQuotedLines, then how many more there were.
std::vector<std::string> ShownLines(const std::vector<std::string>& Lines) {
  std::vector<std::string> Out;
  for (size_t I = 0; I < Lines.size() && I < MaxQuotedLines; ++I)
    Out.push_back(Shown(Lines[I]));
  if (Lines.size() > MaxQuotedLines)
    Out.push_back(Format("… и ещё строк: %zu", Lines.size() - MaxQuotedLines));
  return Out;
}

// What to call the block a failure is laid at.
const char* BlockHeading(TCaseFailure Failure) {
  switch (Failure) {
  case TCaseFailure::OutputLine:
  case TCaseFailure::ExtraOutput:
    return "Блок, который вывел первую неверную строку";
  case TCaseFailure::NoAnswer:
    return "Блок, который задал вопрос без ответа";
  case TCaseFailure::None:
  case TCaseFailure::MissingOutput:
  case TCaseFailure::Error:
  case TCaseFailure::NoError:
  case TCaseFailure::WrongError:
  case TCaseFailure::StepLimit:
  case TCaseFailure::Unreadable:
  case TCaseFailure::Crashed:
  case TCaseFailure::Restricted:
    break;
  }
  return "Блок, где случилась ошибка";
}

// A document of headed items, written once as text and once as HTML.
struct TFeedbackCase {
  std::string Title;  // "«name»" or "скрытый случай N"
  std::string Status; // "пройден" / "не пройден"
  bool Details = false;
  std::vector<std::string> Answers, Expected, Printed;
  bool ChecksOutput = true;
  std::string Reason, BlockHeading, Block;
};

struct TFeedback {
  std::string Pupil;
  std::string Score;
  std::string Mark; // empty without marks
  std::string Passed;
  std::string FileError; // a file that could not be checked
  std::vector<TFeedbackCase> Cases;
};

TFeedback MakeFeedback(const TFileResult& File, const TMarkScale* Marks) {
  TFeedback F;
  F.Pupil = VisibleText(PupilName(File.FileName));
  F.Score = Format("%lld из %lld", static_cast<long long>(File.Score()),
                   static_cast<long long>(File.MaxScore()));
  if (Marks && !Marks->Empty())
    F.Mark = Format("%lld", static_cast<long long>(Marks->MarkFor(File.Score(), File.MaxScore())));
  F.Passed = Format("%d из %zu", File.PassedCount(), File.Cases.size());
  const TCaseResult* First = File.FirstFailure();
  if (!File.Loaded && First)
    F.FileError = VisibleText(First->Reason);
  for (size_t I = 0; I < File.Cases.size(); ++I) {
    const TCaseResult& Case = File.Cases[I];
    TFeedbackCase& C = F.Cases.emplace_back();
    C.Title = Case.Hidden ? PupilCaseName(File, I) : "«" + Shown(Case.CaseName) + "»";
    C.Status = Case.Passed() ? "пройден" : "не пройден";
    if (Case.Hidden || !File.Loaded)
      continue;
    // The task's restrictions: a verdict and its reason, no lines.
    C.Details = Case.Failure != TCaseFailure::Restricted &&
                !(Case.Passed() && Case.Answers.empty() && Case.ExpectedLines.empty() &&
                  Case.PrintedLines.empty());
    if (!C.Details) {
      C.Reason = VisibleText(Case.Reason);
      continue;
    }
    C.Answers = ShownLines(Case.Answers);
    C.Expected = ShownLines(Case.ExpectedLines);
    C.Printed = ShownLines(Case.PrintedLines);
    C.ChecksOutput = !Case.ExpectedLines.empty() || !Case.PrintedLines.empty();
    if (!Case.Passed()) {
      C.Reason = VisibleText(Case.Reason);
      if (!Case.Block.empty()) {
        C.BlockHeading = BlockHeading(Case.Failure);
        C.Block = Shown(Case.Block);
      }
    }
  }
  return F;
}

// Text in the HTML report: the markup characters escaped as the picture
// files escape them.
std::string Html(const std::string& Text) {
  return EscapeXml(Text);
}

void TextLines(std::string& S, const char* Heading, const std::vector<std::string>& Lines) {
  S += std::string("  ") + Heading + ":";
  if (Lines.empty())
    S += " нет\n";
  else
    S += '\n';
  for (const std::string& Line : Lines)
    S += "    " + Line + '\n';
}

void HtmlLines(std::string& S, const char* Heading, const std::vector<std::string>& Lines) {
  S += std::string("<tr><th>") + Heading + "</th><td>";
  if (Lines.empty())
    S += "нет";
  else {
    S += "<pre>";
    for (size_t I = 0; I < Lines.size(); ++I)
      S += (I ? "\n" : "") + Html(Lines[I]);
    S += "</pre>";
  }
  S += "</td></tr>\n";
}

} // namespace

std::string PupilCaseName(const TFileResult& File, size_t Index) {
  return PupilCaseName(File.Cases, Index);
}

std::string PupilCaseName(const std::vector<TCaseResult>& Cases, size_t Index) {
  if (Index >= Cases.size())
    return std::string();
  if (!Cases[Index].Hidden)
    return Cases[Index].CaseName;
  size_t Number = 0;
  for (size_t I = 0; I <= Index; ++I)
    Number += Cases[I].Hidden;
  return Format("скрытый случай %zu", Number);
}

std::string FeedbackText(const TFileResult& File, const TMarkScale* Marks) {
  const TFeedback F = MakeFeedback(File, Marks);
  std::string S = "Проверка алгоритма: " + F.Pupil + "\n";
  S += "Баллы: " + F.Score + "\n";
  if (!F.Mark.empty())
    S += "Оценка: " + F.Mark + "\n";
  S += "Пройдено случаев: " + F.Passed + "\n";
  if (!F.FileError.empty())
    S += "Файл не проверен: " + F.FileError + "\n";
  for (size_t I = 0; I < F.Cases.size(); ++I) {
    const TFeedbackCase& C = F.Cases[I];
    S += Format("\n%zu. ", I + 1) + C.Title + ": " + C.Status + "\n";
    if (!C.Details && !C.Reason.empty())
      S += "  Что не так: " + C.Reason + "\n";
    if (!C.Details)
      continue;
    TextLines(S, "Ответы на вопросы", C.Answers);
    if (C.ChecksOutput) {
      TextLines(S, "Ожидался вывод", C.Expected);
      TextLines(S, "Выведено", C.Printed);
    }
    if (!C.Reason.empty())
      S += "  Что не так: " + C.Reason + "\n";
    if (!C.Block.empty())
      S += "  " + C.BlockHeading + ": " + C.Block + "\n";
  }
  return S;
}

std::string FeedbackHtml(const TFileResult& File, const TMarkScale* Marks) {
  const TFeedback F = MakeFeedback(File, Marks);
  std::string S = "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
                  "<title>Проверка алгоритма: " +
                  Html(F.Pupil) +
                  "</title>\n<style>\n"
                  "body { font-family: sans-serif; margin: 2em; }\n"
                  "table { border-collapse: collapse; margin-bottom: 1.5em; width: 100%; }\n"
                  "th, td { border: 1px solid #888; padding: 0.3em 0.6em; text-align: left;"
                  " vertical-align: top; }\n"
                  "th { width: 30%; font-weight: normal; }\n"
                  "pre { margin: 0; white-space: pre-wrap; }\n"
                  "h2 { font-size: 1.1em; }\n"
                  "@media print { h2 { break-after: avoid; } table { break-inside: avoid; } }\n"
                  "</style>\n</head>\n<body>\n<h1>Проверка алгоритма: " +
                  Html(F.Pupil) + "</h1>\n<p>Баллы: " + Html(F.Score) + "</p>\n";
  if (!F.Mark.empty())
    S += "<p>Оценка: " + Html(F.Mark) + "</p>\n";
  S += "<p>Пройдено случаев: " + Html(F.Passed) + "</p>\n";
  if (!F.FileError.empty())
    S += "<p>Файл не проверен: " + Html(F.FileError) + "</p>\n";
  for (size_t I = 0; I < F.Cases.size(); ++I) {
    const TFeedbackCase& C = F.Cases[I];
    S += Format("<h2>%zu. ", I + 1) + Html(C.Title) + ": " + C.Status + "</h2>\n";
    if (!C.Details && !C.Reason.empty())
      S += "<p>Что не так: " + Html(C.Reason) + "</p>\n";
    if (!C.Details)
      continue;
    S += "<table>\n";
    HtmlLines(S, "Ответы на вопросы", C.Answers);
    if (C.ChecksOutput) {
      HtmlLines(S, "Ожидался вывод", C.Expected);
      HtmlLines(S, "Выведено", C.Printed);
    }
    if (!C.Reason.empty())
      S += "<tr><th>Что не так</th><td>" + Html(C.Reason) + "</td></tr>\n";
    if (!C.Block.empty())
      S += "<tr><th>" + C.BlockHeading + "</th><td><code>" + Html(C.Block) + "</code></td></tr>\n";
    S += "</table>\n";
  }
  return S + "</body>\n</html>\n";
}

std::string TFeedbackNames::Next(const std::string& FileName) {
  // Long enough for any pupil's name, short enough for every file system
  // with ".html" after it.
  constexpr size_t MaxBytes = 120;
  std::string Base = PupilName(FileName);
  if (Base.size() > 4 && LowerCaseRu(Base.substr(Base.size() - 4)) == ".alg")
    Base.resize(Base.size() - 4);
  std::string Safe;
  for (size_t I = 0; I < Base.size() && Safe.size() < MaxBytes;) {
    const unsigned char C = static_cast<unsigned char>(Base[I]);
    if (C < 0x80) {
      const bool Keep = (C >= '0' && C <= '9') || (C >= 'a' && C <= 'z') ||
                        (C >= 'A' && C <= 'Z') || C == '-' || C == '_' ||
                        (C == '.' && !Safe.empty());
      Safe += Keep ? static_cast<char>(C) : '_';
      ++I;
      continue;
    }
    // Letters of other alphabets stay, whole characters only; a byte that
    // is not UTF-8 does not.
    char32_t Code;
    const size_t Length = DecodeUtf8(Base, I, Code);
    if (Length == 0 || Code < 0xA0) {
      Safe += '_';
      I += Length ? Length : 1;
    } else {
      if (Safe.size() + Length > MaxBytes)
        break;
      Safe.append(Base, I, Length);
      I += Length;
    }
  }
  if (Safe.empty())
    Safe = "_";
  std::string Name = Safe;
  for (int N = 2; !FUsed.insert(LowerCaseRu(Name)).second; ++N)
    Name = Format("%s-%d", Safe.c_str(), N);
  return Name;
}

} // namespace Deskbay
