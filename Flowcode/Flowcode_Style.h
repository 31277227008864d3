#pragma once

// How a program is spelt in one language: TCodeStyle turns the pieces the
// generator has decided on (an assignment, a loop, a value that must be
// checked) into lines, and tracks which helpers of the generated program
// the text uses. The generator (Flowcode_Program) decides what the
// algorithm means; the styles only decide how it is written.

#include "Flowlang/Flowlang_Expression.h"

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace Deskbay {

class TAlgBlock;

// The lines of a program as they are written, each remembering the
// innermost block it was written for.
class TCodeSink {
public:
  explicit TCodeSink(std::string IndentUnit) : FIndentUnit(std::move(IndentUnit)) {}

  void Line(const std::string& Text);
  void Indent() { ++FDepth; }
  void Outdent() { --FDepth; }
  int GetLineCount() const { return static_cast<int>(FLines.size()); }

  const TAlgBlock* GetBlock() const { return FBlock; }
  void SetBlock(const TAlgBlock* Block) { FBlock = Block; }

  std::vector<std::string>& Lines() { return FLines; }
  std::vector<const TAlgBlock*>& Owners() { return FOwners; }

private:
  std::string FIndentUnit;
  int FDepth = 0;
  const TAlgBlock* FBlock = nullptr;
  std::vector<std::string> FLines;
  std::vector<const TAlgBlock*> FOwners;
};

// The helpers a generated program may define before its statements.
enum class TCodeHelper {
  Fail,   // stop with a message and exit status 1
  Number, // a computed value checked and kept as a variable keeps it
  // The same, also failing where an infinity inside the expression was
  // hidden by what came after it (1/(1/0) is 0; the interpreter stops).
  CheckedNumber,
  AsText, // a value as the interpreter prints it
  Joined, // the items of an output line
  ReadNumber,
  Power,
  Modulo,
  Rounded,
  Truncated,
  Square,
  InRange,      // a function's argument within its limits
  AddStep,      // the counting loop's next value, added as the variable holds it
  Trigonometry, // SIN and COS of the C library, where the language's own lose digits
  // Operations that would fail by themselves give a value the Number
  // helper refuses instead, so the failure is reported with its expression.
  Divide,
  Root,
  Logarithm,
  Exponent
};

// A comparison of two values already written in the language.
struct TCodeCondition {
  std::string Left;
  std::string Op; // "<", ">", "=", "<>", "<=", ">="
  std::string Right;
};

// A counting loop as the generator has read it. Plain: the start and step
// are whole numbers, the end can neither fail nor be rounded and the body
// never assigns the variable, so the variable stays a whole number and the
// language's simplest loop is exact.
struct TCodeForLoop {
  std::string Var;
  std::string Start, End, Step; // values written in the language
  bool Plain = false;
  long double StepValue = 1; // when Plain or Counted
  // For the lesson text: the start and step are whole numbers, and neither
  // the variable nor the end's variables change in the body, nor is the
  // variable read outside the loop, so the language's own counting loop
  // means the same where the language can spell it. Why not, otherwise.
  bool Counted = false;
  std::string WhyNot;
  long double StartValue = 0;
  bool EndWhole = false; // the end is a whole number as written
  long double EndValue = 0;
  // When Counted: the largest magnitude the variable has in the body,
  // infinite where the end's size is not known.
  long double Bound = 0;
};

class TCodeStyle {
public:
  virtual ~TCodeStyle() = default;

  virtual std::string IndentUnit() const = 0;

  // The lesson text: the algorithm's statements the plain way of the
  // language, without the checks and helpers of the faithful text.
  bool Lesson() const { return FLesson; }
  void SetLesson(bool Lesson) { FLesson = Lesson; }

  // The expression written in the language, shape and parentheses kept.
  std::string Expr(const TCodeExpr& E);
  // The expression as a value an algorithm keeps: checked and rounded
  // through the Number helper unless it is certain to be exact already.
  // Source is the expression as the interpreter names it when it fails.
  std::string Value(const TCodeExpr& E, const std::string& Source);
  // A statement that only computes E and stops where it fails, as the
  // interpreter computes a value it then has no use for (an item before one
  // that always fails); nothing in the lesson text or where E cannot fail.
  void EvaluateOnly(TCodeSink& S, const TCodeExpr& E, const std::string& Source);
  // E as an output item: in the faithful text through the output helper,
  // which checks it itself.
  std::string Printed(const TCodeExpr& E, const std::string& Source);

  virtual std::string Quote(const std::string& Text) const = 0;

  virtual void Assign(TCodeSink& S, const std::string& Var, const std::string& Value) = 0;
  virtual void Input(TCodeSink& S, const std::string& Var) = 0;
  // The variables one input line asks for, in order. A language that can
  // keep them on one line of text does, so the text still tells one line
  // naming two variables from two lines naming one each.
  virtual void InputLine(TCodeSink& S, const std::vector<std::string>& Vars) {
    for (const std::string& Var : Vars)
      Input(S, Var);
  }
  virtual void Output(TCodeSink& S, const std::vector<std::string>& Items) = 0;
  virtual void Fail(TCodeSink& S, const std::string& Message) = 0;
  virtual void Comment(TCodeSink& S, const std::string& Text) = 0;
  // Stops with Message when Var has not been given a value yet; the
  // variable then starts out as the language's "no value".
  virtual void CheckDefined(TCodeSink& S, const std::string& Var, const std::string& Message) = 0;

  virtual void BeginIf(TCodeSink& S, const TCodeCondition& C) = 0;
  virtual void Else(TCodeSink& S, bool EmptyYes) = 0;
  virtual void EndIf(TCodeSink& S, bool EmptyLast) = 0;
  virtual void BeginWhile(TCodeSink& S, const TCodeCondition& C) = 0;
  virtual void EndWhile(TCodeSink& S, bool EmptyBody) = 0;
  // A loop whose body runs first and repeats while C holds.
  virtual void BeginRepeat(TCodeSink& S) = 0;
  virtual void EndRepeat(TCodeSink& S, const TCodeCondition& C) = 0;
  virtual void BeginFor(TCodeSink& S, const TCodeForLoop& L) = 0;
  virtual void EndFor(TCodeSink& S, const TCodeForLoop& L, bool EmptyBody) = 0;

  // The whole program: what comes before the statements (helpers,
  // declarations of Vars) and after them.
  virtual std::vector<std::string> Prologue(const std::set<std::string>& Vars) = 0;
  virtual std::vector<std::string> Epilogue() = 0;

  void Use(TCodeHelper H) { FUsed.insert(H); }
  // The variables some statement may read before they are set.
  const std::set<std::string>& MaybeUnset() const { return FMaybeUnset; }
  void NoteMaybeUnset(const std::string& Var) { FMaybeUnset.insert(Var); }

  bool Uses(TCodeHelper H) const { return FUsed.count(H) != 0; }
  // Whether a helper that may stop the program is used (then Fail is).
  bool UsesFailingHelper() const;

  // Whether the language itself stops where a variable that was never set
  // is read (Python's NameError), so that the lesson text needs no check.
  virtual bool StopsAtUnsetVariable() const { return false; }

  // What the lesson text knows of a counting loop's variable inside its
  // body: from Low up to a magnitude of at most High (High infinite when
  // not known). The variable is named nowhere else.
  void NoteCounter(const std::string& Var, long double Low, long double High) {
    FCounterRanges[Var] = {Low, High};
  }
  // The largest magnitude E can have where it is computed without an
  // error; infinite where that is not known. Only counters are known.
  long double Bound(const TCodeExpr& E) const;
  // Whether E is certain to be above zero.
  bool Positive(const TCodeExpr& E) const;
  // Whether some value the lesson text computes may fail: a quotient, a
  // power, MOD, a function with a domain or limits, or a sum or product
  // not known to stay small.
  bool MayFail() const { return FMayFail; }

  // The comparison with the opposite outcome.
  static std::string NegatedOp(const std::string& Op);

protected:
  // The language's spelling of the pieces of an expression.
  virtual std::string NumberText(const TCodeExpr& E, bool Real) = 0;
  virtual std::string FunctionText(const std::string& Name, const std::string& Arg) = 0;
  // PositiveBase: the base is certain to be above zero, where the
  // interpreter takes powers only.
  virtual std::string PowerText(const std::string& Base, const std::string& Exponent,
                                bool PositiveBase) = 0;
  // E is the MOD node, A and B its operands as written.
  virtual std::string ModText(const TCodeExpr& E, const std::string& A, const std::string& B) = 0;
  // The lesson text: the argument of a function whose limits the
  // interpreter checks (ROUND and TRUNC to 1E9, SIN and COS to 9E18, EXP
  // to 11356), where the argument may lie beyond them; Limit as written.
  virtual std::string LimitedText(const std::string& Arg, const std::string& Limit) {
    (void)Limit;
    return Arg;
  }
  // The Number and output helpers over Value; Source as for Value.
  virtual std::string NumberHelperText(const std::string& Value, const std::string& Source) = 0;
  // The same for E, where the language may check E more cheaply when no
  // error inside it can be hidden.
  virtual std::string CheckedNumberText(const TCodeExpr& E, const std::string& Value,
                                        const std::string& Source) {
    (void)E;
    return NumberHelperText(Value, Source);
  }
  virtual std::string AsTextHelperText(const std::string& Value, const std::string& Source) = 0;
  // What ends a statement: ";" or nothing.
  virtual std::string StatementEnd() const { return ";"; }
  // A quotient: the language's operator unless it would fail by itself
  // (then a helper that gives a value the Number helper refuses).
  virtual std::string DivideText(const std::string& Left, const std::string& Right) {
    return Left + " / " + Right;
  }
  // A variable where a real is needed (a whole counter converted).
  virtual std::string RealVariableText(const std::string& Var) { return Var; }
  // A function's value or a remainder (Text, for E) where a real is needed:
  // converted where the language gives a whole number.
  virtual std::string RealValueText(const TCodeExpr& E, const std::string& Text) {
    (void)E;
    return Text;
  }
  // Whether the argument of the function E must be computed as a real
  // (a whole square that might not fit the whole-number type).
  virtual bool NeedsRealArgument(const TCodeExpr& E) const {
    (void)E;
    return false;
  }
  // Whether the language holds E's value exactly as a variable keeps it
  // without the Number helper.
  virtual bool KeptAsIs(const TCodeExpr& E) const { return IsStoredAsIs(E); }
  // Whether the language would compute E (an operation, or a function's
  // argument) in a precision other than the interpreter's: with integers
  // when both operands are whole numbers, or folding constants in a smaller
  // type. Then its leftmost number is written with the Real spelling.
  virtual bool NeedsRealOperand(const TCodeExpr& E) const = 0;

  // The same text with control characters as blanks, for a comment.
  static std::string CommentText(const std::string& Text);
  // The number as written, without leading zeros and with a digit on each
  // side of its point; Whole when it has neither a point nor an exponent
  // and at most 18 digits (so it fits a 64-bit integer).
  static std::string NormalNumber(const std::string& Text, bool& Whole);
  // Text split at its line breaks, appended to L.
  static void AppendLines(std::vector<std::string>& L, const std::string& Text);

  // While the lesson text writes one expression, what is found out about
  // its parts may be kept by the part's address (the parts stay where they
  // are until the expression is written): a style's own findings too,
  // forgotten with ForgetAnalyses.
  bool Analysing() const { return FAnalysing; }
  virtual void ForgetAnalyses() {
    FBounds.clear();
    FWholes.clear();
  }

  // How the language computes a value as a whole number: whether it does,
  // whether the value is made of numbers alone (which the language computes
  // its own way), and its largest magnitude. The findings are kept while an
  // expression is written.
  struct TWhole {
    bool Whole = false, Numbers = false;
    long double Bound = 0;
  };
  TWhole Wholeness(const TCodeExpr& E) const;
  bool WholeTyped(const TCodeExpr& E) const { return Wholeness(E).Whole; }
  // A number, a variable, a remainder or a function's value, as the
  // language computes it (nothing whole unless a style says so). Negation
  // and parentheses are as their part; a sum, difference, product or
  // quotient is whole where both parts are, it fits (FitsWhole) and it is
  // no quotient, and made of numbers where both parts are (and then not
  // whole: the language computes those its own way).
  virtual TWhole LeafWholeness(const TCodeExpr& E) const {
    (void)E;
    return {};
  }
  // Whether the sum, difference or product E of whole L and R surely fits
  // the language's whole numbers.
  virtual bool FitsWhole(const TCodeExpr& E, const TWhole& L, const TWhole& R) const {
    return (E.Kind == TCodeExpr::ekMultiply ? L.Bound * R.Bound : L.Bound + R.Bound) < 0x1p62L;
  }
  static bool IsWholeOperation(const TCodeExpr& E) {
    return E.Kind == TCodeExpr::ekAdd || E.Kind == TCodeExpr::ekSubtract ||
           E.Kind == TCodeExpr::ekMultiply;
  }
  // A name, a number, a call, or an expression in one pair of parentheses:
  // what an operator may follow or precede without parentheses of its own.
  static bool IsAtomText(const std::string& Text);

private:
  TWhole FindWholeness(const TCodeExpr& E) const;
  bool FLesson = false;
  std::set<TCodeHelper> FUsed;
  std::set<std::string> FMaybeUnset;
  std::map<std::string, std::pair<long double, long double>> FCounterRanges;
  bool FMayFail = false;
  bool FAnalysing = false;
  mutable std::unordered_map<const TCodeExpr*, long double> FBounds;
  mutable std::unordered_map<const TCodeExpr*, TWhole> FWholes;

  std::string ExprText(const TCodeExpr& E, bool Real);
  // E written as the lesson text writes it, its findings kept meanwhile.
  std::string LessonExpr(const TCodeExpr& E);
  bool CanFail(const TCodeExpr& E) const;
  long double FindBound(const TCodeExpr& E) const;
};

// Whether E is written with whole-number literals only (and + - * / between
// them), which a language with integer arithmetic would compute as integers.
bool IsIntegral(const TCodeExpr& E);
// Whether E is made of numbers and the four operations only, which a
// compiler computes while it compiles.
bool IsConstant(const TCodeExpr& E);
// The limit the interpreter sets on the argument of the function Name
// (written as the lesson text writes it), or nullptr where there is none.
const char* FunctionLimit(const std::string& Name);

} // namespace Deskbay
