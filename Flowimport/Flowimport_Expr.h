#pragma once

// Expressions of a program text written in the language of the blocks as
// they are read: each piece is the text of a part with the binding it has
// there, so an operation puts parentheses around an operand only where the
// language's grammar would read it otherwise (MOD binds tighter than * and
// /, "-X^2" is (-X)^2). Parentheses of the source are kept. The canonical
// spelling: no blanks, " MOD " with blanks, functions in capitals.
// Variables stand as markers until the names are mapped to letters.

#include "FlowimportExport.h"

#include <memory>
#include <string>

namespace Deskbay {

struct FLOWIMPORT_API TPiece {
  // How tightly the text binds, as an operand: 0 a sum, 1 a product, 2 MOD,
  // 3 a power, 4 a negation, 5 a number, variable, call or parentheses.
  enum TShape { psOther, psNumber, psVariable, psCall, psParens, psNegate };
  std::string Text;
  int Level = 5;
  TShape Shape = psOther;
  std::string Func;             // psCall: the language's name of the function
  std::shared_ptr<TPiece> Args; // psCall, psParens, psNegate: the operand
  char Op = 0;                  // an operation's operator, as Binary takes it
  std::shared_ptr<TPiece> Left, Right;

  static TPiece Number(const std::string& Text);
  static TPiece Variable(const std::string& Key);
  static TPiece Negate(const TPiece& A);
  // Op: '+', '-', '*', '/', 'M' (MOD) or '^'.
  static TPiece Binary(char Op, const TPiece& L, const TPiece& R);
  static TPiece Call(const std::string& Func, const TPiece& Arg);
  static TPiece Parens(const TPiece& A);

  // A number written without a sign: whole (no point, no exponent) or not.
  bool IsNumber() const { return Shape == psNumber; }
  bool IsWholeNumber() const;
  // A number with a minus before it.
  bool IsNegativeNumber() const { return Shape == psNegate && Args->IsNumber(); }
  // A variable's key, or empty.
  std::string VariableKey() const;
  // The piece without the parentheses around it.
  const TPiece& Unwrapped() const;
};

// The marker standing for variable Key in texts until the names are mapped.
FLOWIMPORT_API std::string VariableMarker(const std::string& Key);
// Text with every marker replaced: Letter gives the variable's letter.
template <class F> std::string ReplaceMarkers(const std::string& Text, F Letter) {
  std::string R;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] != '\x01') {
      R += Text[I];
      continue;
    }
    const size_t End = Text.find('\x02', I);
    R += Letter(Text.substr(I + 1, End - I - 1));
    I = End;
  }
  return R;
}

// The comparison with the opposite outcome: "<" for ">=" ...
FLOWIMPORT_API std::string NegatedComparison(const std::string& Op);

} // namespace Deskbay
