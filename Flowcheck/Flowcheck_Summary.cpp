#include "Flowcheck_Summary.h"

#include <algorithm>

namespace Deskbay {

namespace {

std::string FirstLine(const std::string& Text) {
  return Text.substr(0, Text.find('\n'));
}

} // namespace

std::string CaseFailureWords(TCaseFailure Failure) {
  switch (Failure) {
  case TCaseFailure::None:
    return "пройден";
  case TCaseFailure::OutputLine:
    return "неверная строка вывода";
  case TCaseFailure::MissingOutput:
    return "выведено меньше строк";
  case TCaseFailure::ExtraOutput:
    return "выведено больше строк";
  case TCaseFailure::Error:
    return "ошибка";
  case TCaseFailure::NoError:
    return "нет ожидаемой ошибки";
  case TCaseFailure::WrongError:
    return "другая ошибка";
  case TCaseFailure::NoAnswer:
    return "не хватило ответов";
  case TCaseFailure::StepLimit:
    return "исчерпан предел шагов";
  case TCaseFailure::Unreadable:
    return "файл не прочитан";
  case TCaseFailure::Crashed:
    return "проверка файла прервалась";
  case TCaseFailure::Restricted:
    return "нарушены ограничения задания";
  }
  return "";
}

void TClassSummary::Add(const TFileResult& File) {
  ++FFiles;
  for (size_t I = 0; I < File.Cases.size(); ++I) {
    const TCaseResult& Case = File.Cases[I];
    if (I >= FCases.size()) {
      TCaseSummary& New = FCases.emplace_back();
      New.Name = Case.CaseName;
      New.Index = static_cast<int>(I);
      New.Hidden = Case.Hidden;
      New.Weight = Case.Weight;
    }
    TCaseSummary& Sum = FCases[I];
    ++Sum.Files;
    if (Case.Passed()) {
      ++Sum.Passed;
      continue;
    }
    const bool WithMessage =
        Case.Failure == TCaseFailure::Error || Case.Failure == TCaseFailure::WrongError;
    std::string Message = WithMessage ? FirstLine(Case.RunError) : std::string();
    if (WithMessage && Message.empty())
      Message = Case.Reason; // the host's failure, not the machine's
    auto Way = std::find_if(Sum.Failures.begin(), Sum.Failures.end(), [&](const auto& F) {
      return F.Failure == Case.Failure && F.Message == Message;
    });
    if (Way == Sum.Failures.end())
      Way = Sum.Failures.insert(Sum.Failures.end(), {Case.Failure, Message, 0});
    ++Way->Files;
  }
}

std::vector<TCaseSummary> TClassSummary::Cases() const {
  std::vector<TCaseSummary> Out = FCases;
  for (TCaseSummary& Case : Out)
    std::stable_sort(Case.Failures.begin(), Case.Failures.end(),
                     [](const auto& A, const auto& B) { return A.Files > B.Files; });
  std::stable_sort(Out.begin(), Out.end(),
                   [](const auto& A, const auto& B) { return A.Passed < B.Passed; });
  return Out;
}

} // namespace Deskbay
