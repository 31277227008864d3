#pragma once

// What the line language says about a line it refuses, in the words the
// machine reports them: the interpreter raises these texts, the code
// generator writes them where its program stops.

#include "FlowlangExport.h"

#include <string>
#include <string_view>

namespace Deskbay {

// "Синтаксическая ошибка." — a counting loop without a header, or one too
// short to name its variable.
FLOWLANG_API std::string SyntaxErrorText();
// "Синтаксическая ошибка в строке "Line"." — Line as the pupil wrote it.
FLOWLANG_API std::string SyntaxErrorInLineText(const std::string& Line);
// "Неверное условие." — a branch or condition loop without a line.
FLOWLANG_API std::string NoConditionText();
// "Неверное условие "Cond"." — a condition that does not split.
FLOWLANG_API std::string BadConditionText(const std::string& Cond);

// The words of the parser's syntax error codes; empty for a math error,
// which has none of its own.
FLOWLANG_API const char* ParseErrorText(int Code);
// "Ошибка при вычислении "Expr"." — the first line of every failed
// evaluation.
FLOWLANG_API std::string EvaluationFailedText(const std::string& Expr);
// The first line, "\r\n" and the reason (which may be empty).
FLOWLANG_API std::string EvaluationErrorText(const std::string& Expr, const std::string& Reason);
// "Переменная "Name" не определена."
FLOWLANG_API std::string UndefinedVariableText(std::string_view Name);

} // namespace Deskbay
