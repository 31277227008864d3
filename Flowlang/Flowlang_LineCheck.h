#pragma once

// Which lines of a block the machine cannot run, known while the pupil types:
// a line the language refuses, with the message the machine raises when the
// run reaches it. The lines are read as the machine reads them (the Read…
// functions of Flowlang_Statement, ReadCodeExpression for each expression),
// so the verdict and the words are the machine's own.
//
// Only what fails whatever the variables hold is a problem: a syntax error,
// an expression the parser refuses (a missing operand, a name longer than one
// letter), a part without variables that cannot be computed (1/0, LN(0)), a
// condition that does not split, a counting loop without its header. What
// depends on values (an undefined variable, a division by a variable that is
// zero, a drawing coordinate out of range) shows only when the run gets
// there. Where a line holds several refused expressions, the one the machine
// computes first is reported; the message is the one the run gives when the
// variables read before that place have values.

#include "FlowlangExport.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace Deskbay {

struct TStatement;

// How a block's lines are read.
enum class TLineRole {
  Computation, // every line: an assignment, a drawing command or nothing
  InputOutput, // every line: Ввод …, Вывод … or nothing
  Condition,   // the first line: a comparison (a branch, the condition loops)
  CountingLoop // the first line: V=start,end,step
};

struct TLineProblem {
  // The line's index in the block. A block that lacks the line it needs (a
  // branch or loop without text) has its problem at line 0 with Missing set.
  size_t Line = 0;
  bool Missing = false;
  // The part of the line as written that the message is about, End
  // exclusive: the refused expression, or the whole line.
  size_t Start = 0, End = 0;
  // The machine's words; a message of two lines (a failed evaluation and its
  // reason) has them separated by "\r\n", as the machine raises it.
  std::string Message;
};

// The line read as the machine reads a line in the given role.
FLOWLANG_API TStatement ReadLineAs(TLineRole Role, const std::string& Line);

// The problem of one line in the given role, if any (Missing is never set).
FLOWLANG_API bool CheckLine(TLineRole Role, const std::string& Line, TLineProblem& Out);

// Every problem of a block's lines, in line order. The roles that read only
// the first line look at no other.
FLOWLANG_API std::vector<TLineProblem> CheckLines(TLineRole Role,
                                                  std::span<const std::string> Lines);

// The message on one line, for a label or a tooltip: its lines joined by a
// blank ("Ошибка при вычислении "S+". Ожидалось выражение.").
FLOWLANG_API std::string ProblemOneLine(const std::string& Message);

} // namespace Deskbay
