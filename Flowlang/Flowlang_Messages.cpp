#include "Flowlang_Messages.h"

#include "Corekit/SysUtils.h"

namespace Deskbay {

std::string SyntaxErrorText() {
  return "Синтаксическая ошибка.";
}

std::string SyntaxErrorInLineText(const std::string& Line) {
  return Format("Синтаксическая ошибка в строке \"%s\".", Line.c_str());
}

std::string NoConditionText() {
  return "Неверное условие.";
}

std::string BadConditionText(const std::string& Cond) {
  return Format("Неверное условие \"%s\".", Cond.c_str());
}

const char* ParseErrorText(int Code) {
  switch (Code) {
  case 1:
    return "Слишком сложное выражение.";
  case 2:
    return "Аргумент выходит за допустимый диапазон.";
  case 3:
    return "Ожидалось выражение.";
  case 4:
    return "Ожидался оператор.";
  case 5:
    return "Ожидалась \"(\".";
  case 6:
    return "Ожидался оператор или \")\".";
  case 7:
    return "Неверное число.";
  default:
    return ""; // a math error has no words of its own
  }
}

std::string EvaluationFailedText(const std::string& Expr) {
  return Format("Ошибка при вычислении \"%s\".", Expr.c_str());
}

std::string EvaluationErrorText(const std::string& Expr, const std::string& Reason) {
  return EvaluationFailedText(Expr) + "\r\n" + Reason;
}

std::string UndefinedVariableText(std::string_view Name) {
  return Format("Переменная \"%.*s\" не определена.", static_cast<int>(Name.size()), Name.data());
}

} // namespace Deskbay
