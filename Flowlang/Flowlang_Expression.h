#pragma once

// An expression of a block line read as a tree, for whatever works on the
// program's text rather than runs it (the code generator, checks of a line).
// The text is first evaluated by the interpreter's own parser (every
// one-letter variable given a value), so a text the interpreter refuses is
// known with the interpreter's own message; a text it accepts is then read
// by the same grammar into the tree. Evaluating stays the parser's.

#include "FlowlangExport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

struct TCodeExpr {
  enum TKind : std::uint8_t {
    ekNumber,   // Text: the number as written, Value: what it converts to
    ekVariable, // Text: the upper-case letter
    ekNegate,   // -Args[0]
    ekAdd,
    ekSubtract,
    ekMultiply,
    ekDivide,
    ekPower,    // Args[0] ^ Args[1]
    ekMod,      // Args[0] MOD Args[1]
    ekFunction, // Text: the upper-case name, Args[0]: the argument
    ekParens    // (Args[0]) as the pupil wrote it
  };
  TKind Kind = ekNumber;
  std::string Text;
  long double Value = 0;
  std::vector<TCodeExpr> Args;
  // Where the node stands in the text it was read from: [Start, End). A
  // statement's expression is read from its own text; add the expression's
  // Start in its line (TExprText) for the place in the line as read.
  size_t Start = 0, End = 0;
};

struct TCodeExprReading {
  // The interpreter refuses the text whatever the values: Error is its
  // message ("Ошибка при вычислении ..." with the reason on a second line,
  // lines separated by '\n').
  bool Refused = false;
  // The text is read, but its evaluation fails whatever the values ("!"
  // where an operand belongs, or a part without variables that fails, such
  // as LN(0), which a compiler would rather compute while compiling);
  // Error is the message.
  bool AlwaysFails = false;
  std::string Error;
  TCodeExpr Root; // valid unless Refused or AlwaysFails
};

FLOWLANG_API TCodeExprReading ReadCodeExpression(const std::string& Text);

// Whether the value of E is certain to be a finite double without
// rounding and without an error, whatever its variables hold: a variable, a
// number exact in a double, or either negated or in parentheses.
FLOWLANG_API bool IsStoredAsIs(const TCodeExpr& E);

} // namespace Deskbay
