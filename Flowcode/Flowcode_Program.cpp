#include "Flowcode_Program.h"

#include "Flowcode_Cpp.h"
#include "Flowcode_Pascal.h"
#include "Flowcode_Python.h"

#include "Corekit/SysUtils.h"
#include "Flowlang/Flowlang_Messages.h"
#include "Flowlang/Flowlang_Statement.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace Deskbay {

bool CodeLanguageFromName(std::string_view Name, TCodeLanguage& Language) {
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp})
    if (Name == CodeLanguageName(L)) {
      Language = L;
      return true;
    }
  return false;
}

const char* CodeLanguageName(TCodeLanguage Language) {
  switch (Language) {
  case TCodeLanguage::Python:
    return "python";
  case TCodeLanguage::Pascal:
    return "pascal";
  default:
    return "cpp";
  }
}

bool CodeStyleFromName(std::string_view Name, TCodeStyleKind& Style) {
  for (TCodeStyleKind S : {TCodeStyleKind::Exact, TCodeStyleKind::Lesson})
    if (Name == CodeStyleName(S)) {
      Style = S;
      return true;
    }
  return false;
}

const char* CodeStyleName(TCodeStyleKind Style) {
  return Style == TCodeStyleKind::Lesson ? "lesson" : "exact";
}

const char* CodeLanguageExtension(TCodeLanguage Language) {
  switch (Language) {
  case TCodeLanguage::Python:
    return ".py";
  case TCodeLanguage::Pascal:
    return ".pas";
  default:
    return ".cpp";
  }
}

std::string TProgramText::GetText() const {
  std::string T;
  for (const std::string& L : FLines)
    T += L + '\n';
  return T;
}

bool TProgramText::GetBlockLines(const TAlgBlock* Block, int& First, int& Last) const {
  const auto It = FBlockLines.find(Block);
  if (It == FBlockLines.end())
    return false;
  First = It->second.first;
  Last = It->second.second;
  return true;
}

const TAlgBlock* TProgramText::GetLineBlock(int Line) const {
  if (Line < 0 || Line >= static_cast<int>(FOwners.size()))
    return nullptr;
  return FOwners[static_cast<size_t>(Line)];
}

namespace {

// A whole number a double holds exactly and that stays exact when added up.
bool IsSmallWholeLiteral(const TCodeExpr& E, long double& Value) {
  if (E.Kind == TCodeExpr::ekParens)
    return IsSmallWholeLiteral(E.Args[0], Value);
  if (E.Kind == TCodeExpr::ekNegate) {
    if (!IsSmallWholeLiteral(E.Args[0], Value))
      return false;
    Value = -Value;
    return true;
  }
  if (E.Kind != TCodeExpr::ekNumber || std::trunc(E.Value) != E.Value ||
      std::fabs(E.Value) > 0x1p40L)
    return false;
  Value = E.Value;
  return true;
}

// What the lesson text must know of an expression part that names no
// variable, found in one pass over the part.
struct TConstantPart {
  bool Known = false;     // it names no variable and can be computed
  long double Value = 0;  // then: as the interpreter computes it
  bool Folded = false;    // made of numbers and the four operations only,
  double FoldedValue = 0; // which a compiler computes in doubles
  bool Zero = false;      // zero wherever it can be computed at all
};

long double FunctionValue(const std::string& Name, long double X) {
  static const std::pair<const char*, long double (*)(long double)> Functions[] = {
      {"ABS", [](long double V) { return std::fabs(V); }},
      {"ATAN", [](long double V) { return std::atan(V); }},
      {"COS", [](long double V) { return std::cos(V); }},
      {"EXP", [](long double V) { return std::exp(V); }},
      {"LN", [](long double V) { return std::log(V); }},
      {"ROUND", [](long double V) { return std::nearbyint(V); }},
      {"SIN", [](long double V) { return std::sin(V); }},
      {"SQRT", [](long double V) { return std::sqrt(V); }},
      {"SQR", [](long double V) { return V * V; }},
      {"TRUNC", [](long double V) { return std::trunc(V); }}};
  for (const auto& [F, Value] : Functions)
    if (Name == F)
      return Value(X);
  return NAN;
}

// Whether E has a part that fails wherever it is computed although it
// names variables: a power of a constant not above zero, a MOD by zero (a
// constant that rounds to zero, a remainder by one) or of a constant
// beyond 64-bit integers, a constant beyond the double range as a compiler
// folds it. A compiler may refuse such a part (Free Pascal does a MOD it
// finds to be by zero) or compute it to an infinity before the program
// runs, which no floating-point trap sees. C tells what E is.
bool FailsWhereComputed(const TCodeExpr& E, TConstantPart& C) {
  TConstantPart A, B;
  for (size_t I = 0; I < E.Args.size(); ++I)
    if (FailsWhereComputed(E.Args[I], I == 0 ? A : B))
      return true;
  const auto Beyond = [](long double X) { return !(X > -0x1p63L - 0.5L && X < 0x1p63L - 0.5L); };
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    C.Known = C.Folded = true;
    C.Value = E.Value;
    C.FoldedValue = static_cast<double>(E.Value);
    if (!std::isfinite(C.FoldedValue))
      return true;
    break;
  case TCodeExpr::ekVariable:
    return false;
  case TCodeExpr::ekParens:
    C = A;
    return false;
  case TCodeExpr::ekNegate:
    C = A;
    C.Value = -A.Value;
    C.FoldedValue = -A.FoldedValue;
    return false;
  case TCodeExpr::ekAdd:
  case TCodeExpr::ekSubtract:
  case TCodeExpr::ekMultiply:
  case TCodeExpr::ekDivide: {
    const auto Apply = [&E](auto X, auto Y) {
      return E.Kind == TCodeExpr::ekAdd        ? X + Y
             : E.Kind == TCodeExpr::ekSubtract ? X - Y
             : E.Kind == TCodeExpr::ekMultiply ? X * Y
                                               : X / Y;
    };
    C.Known = A.Known && B.Known;
    C.Value = Apply(A.Value, B.Value);
    C.Folded = A.Folded && B.Folded;
    C.FoldedValue = Apply(A.FoldedValue, B.FoldedValue);
    if (C.Folded && !std::isfinite(C.FoldedValue))
      return true;
    C.Zero = E.Kind == TCodeExpr::ekMultiply && (A.Zero || B.Zero);
    break;
  }
  case TCodeExpr::ekPower:
    if (A.Known && !(A.Value > 0))
      return true;
    C.Known = A.Known && B.Known;
    C.Value = C.Known ? std::pow(A.Value, B.Value) : 0;
    break;
  case TCodeExpr::ekMod:
    if (B.Zero || (B.Known && (std::fabs(B.Value) <= 0.5L || Beyond(B.Value))) ||
        (A.Known && Beyond(A.Value)))
      return true;
    // Of the operands rounded halves to even, with the dividend's sign.
    C.Known = A.Known && B.Known;
    C.Value = C.Known ? std::fmod(std::nearbyint(A.Value), std::nearbyint(B.Value)) : 0;
    C.Zero = A.Zero || (B.Known && std::fabs(std::nearbyint(B.Value)) == 1);
    break;
  case TCodeExpr::ekFunction:
    C.Known = A.Known;
    C.Value = C.Known ? FunctionValue(E.Text, A.Value) : 0;
    break;
  }
  C.Known = C.Known && std::isfinite(C.Value);
  C.Zero = C.Zero || (C.Known && C.Value == 0);
  return false;
}

bool FailsWhereComputed(const TCodeExpr& E) {
  TConstantPart C;
  return FailsWhereComputed(E, C);
}

// Whether Text names the one-letter variable Var (in either case) as a
// word of its own. Deliberately wide: a name inside a quoted text counts.
bool MentionsVar(const std::string& Text, char Var) {
  const auto IsWordChar = [](char C) {
    return std::isalnum(static_cast<unsigned char>(C)) || C == '_' ||
           static_cast<unsigned char>(C) >= 0x80;
  };
  for (size_t I = 0; I < Text.size(); ++I)
    if (std::toupper(static_cast<unsigned char>(Text[I])) == Var &&
        (I == 0 || !IsWordChar(Text[I - 1])) && (I + 1 == Text.size() || !IsWordChar(Text[I + 1])))
      return true;
  return false;
}

// The blocks under B, B among them, in every sequence and branch.
void CollectBlocks(const TAlgBlock* B, std::vector<const TAlgBlock*>& Out) {
  Out.push_back(B);
  for (int I = 0; I < B->GetBlockCount(); ++I)
    CollectBlocks(B->GetBlocks(I), Out);
  if (const auto* If = dynamic_cast<const TIfAlgBlock*>(B)) {
    CollectBlocks(If->GetYesBranch(), Out);
    CollectBlocks(If->GetNoBranch(), Out);
  } else if (const auto* C = dynamic_cast<const TContainerAlgBlock*>(B)) {
    CollectBlocks(C->GetBody(), Out);
  }
}

class TGenerator {
public:
  TGenerator(TCodeStyle& Style, const TAlgorithm& Alg) : FStyle(Style), FSink(Style.IndentUnit()) {
    CollectBlocks(Alg.GetRoot(), FAllBlocks);
  }

  TCodeSink& GetSink() { return FSink; }
  const std::set<std::string>& GetVars() const { return FVars; }
  std::map<const TAlgBlock*, std::pair<int, int>>& GetBlockLines() { return FBlockLines; }

  void Block(const TAlgBlock* B) {
    const TAlgBlock* Outer = FSink.GetBlock();
    FSink.SetBlock(B);
    const int First = FSink.GetLineCount();
    switch (B->GetKind()) {
    case TAlgBlockKind::Branch:
      If(static_cast<const TIfAlgBlock*>(B));
      break;
    case TAlgBlockKind::ForLoop:
      For(static_cast<const TForAlgBlock*>(B));
      break;
    case TAlgBlockKind::WhileLoop:
      While(static_cast<const TWhileAlgBlock*>(B));
      break;
    case TAlgBlockKind::UntilLoop:
      Until(static_cast<const TUntilAlgBlock*>(B));
      break;
    case TAlgBlockKind::Root:
      Block(AlgBodyOf(B));
      break;
    case TAlgBlockKind::InputOutput:
      InputOutput(B);
      break;
    case TAlgBlockKind::Computation:
      Computation(B);
      break;
    case TAlgBlockKind::Sequence:
      for (int I = 0; I < B->GetBlockCount(); ++I)
        Block(B->GetBlocks(I));
      break;
    }
    if (FSink.GetLineCount() > First)
      FBlockLines[B] = {First, FSink.GetLineCount() - 1};
    FSink.SetBlock(Outer);
  }

private:
  TCodeStyle& FStyle;
  TCodeSink FSink;
  std::set<std::string> FVars;
  std::vector<const TAlgBlock*> FAllBlocks;
  // The variables certain to hold a value where the next line runs.
  std::set<std::string> FSet;
  std::map<const TAlgBlock*, std::pair<int, int>> FBlockLines;

  // The variables E reads, in the order they are read, each with its name
  // as first written in Text.
  static void VarsOf(const TCodeExpr& E, const std::string& Text,
                     std::vector<std::pair<std::string, std::string>>& Vars) {
    if (E.Kind == TCodeExpr::ekVariable &&
        std::none_of(Vars.begin(), Vars.end(), [&E](const auto& V) { return V.first == E.Text; }))
      Vars.emplace_back(E.Text, E.End > E.Start && E.End <= Text.size()
                                    ? Text.substr(E.Start, E.End - E.Start)
                                    : E.Text);
    for (const TCodeExpr& A : E.Args)
      VarsOf(A, Text, Vars);
  }

  // Where E (written Text in the line) reads a variable that may have no
  // value yet, the program stops as the interpreter does; past the check
  // the variable surely has one.
  void CheckSet(const TCodeExpr& E, const std::string& Text) {
    if (FStyle.Lesson() && FStyle.StopsAtUnsetVariable())
      return;
    std::vector<std::pair<std::string, std::string>> Vars;
    VarsOf(E, Text, Vars);
    for (const auto& [V, Written] : Vars) {
      if (FSet.count(V))
        continue;
      std::string Message = EvaluationErrorText(Text, UndefinedVariableText(Written));
      Message.erase(Message.find('\r'), 1);
      FStyle.CheckDefined(FSink, V, Message);
      FStyle.NoteMaybeUnset(V);
      FSet.insert(V);
    }
  }

  static std::set<std::string> Common(const std::set<std::string>& A,
                                      const std::set<std::string>& B) {
    std::set<std::string> R;
    for (const std::string& V : A)
      if (B.count(V))
        R.insert(V);
    return R;
  }

  void Fail(const std::string& Line, const std::string& Message) {
    if (!Line.empty())
      FStyle.Comment(FSink, Line);
    FStyle.Fail(FSink, Message);
  }

  void CollectVars(const TCodeExpr& E) {
    if (E.Kind == TCodeExpr::ekVariable)
      FVars.insert(E.Text);
    for (const TCodeExpr& A : E.Args)
      CollectVars(A);
  }

  // The expression read; false with the message of its failure.
  bool ReadQuietly(const std::string& Text, TCodeExpr& E, std::string& Error) {
    TCodeExprReading R = ReadCodeExpression(Text);
    if (R.Refused || R.AlwaysFails) {
      Error = R.Error;
      return false;
    }
    // In the lesson text such a part is the failure itself: a compiler
    // could refuse it, or fold it into a value that no longer fails.
    if (FStyle.Lesson() && FailsWhereComputed(R.Root)) {
      Error = EvaluationFailedText(Text);
      return false;
    }
    CollectVars(R.Root);
    E = std::move(R.Root);
    return true;
  }

  // The failure of a line whose earlier expressions are computed before
  // the failing one is: each of them may stop the program first.
  void FailAfter(const std::vector<std::pair<TCodeExpr, std::string>>& Before,
                 const std::string& Line, const std::string& Error) {
    for (const auto& [E, Text] : Before)
      FStyle.EvaluateOnly(FSink, E, Text);
    Fail(Line, Error);
  }

  // The expression read, or its failure written in its place.
  bool Read(const std::string& Text, const std::string& Line, TCodeExpr& E) {
    std::string Error;
    if (ReadQuietly(Text, E, Error))
      return true;
    Fail(Line, Error);
    return false;
  }

  void Computation(const TAlgBlock* B) {
    for (const std::string& Line : B->GetText().Lines()) {
      const TStatement S = ReadComputationLine(Line);
      TCodeExpr E;
      if (S.Kind == TStatementKind::Assignment) {
        if (!Read(S.Exprs[0].Text, Line, E))
          continue;
        CheckSet(E, S.Exprs[0].Text);
        const std::string Var(1, S.Var);
        FVars.insert(Var);
        FSet.insert(Var);
        FStyle.Assign(FSink, Var, FStyle.Value(E, S.Exprs[0].Text));
      } else if (S.Kind == TStatementKind::Drawing) {
        FStyle.Comment(FSink, std::string("рисунок (") + S.Command->What + "): " + Trim(Line));
      } else if (S.Kind == TStatementKind::Invalid) {
        Fail(Line, S.Error);
      }
    }
  }

  void InputOutput(const TAlgBlock* B) {
    for (const std::string& Line : B->GetText().Lines()) {
      const TStatement S = ReadInputOutputLine(Line);
      if (S.Kind == TStatementKind::Invalid) {
        Fail(Line, S.Error);
      } else if (S.Kind == TStatementKind::Input) {
        std::vector<std::string> Vars;
        for (size_t I = 0; I < S.ValidInputItems; ++I) {
          const std::string Var = UpperCase(S.Items[I].Text);
          FVars.insert(Var);
          FSet.insert(Var);
          Vars.push_back(Var);
        }
        if (!Vars.empty())
          FStyle.InputLine(FSink, Vars);
        if (S.ValidInputItems < S.Items.size())
          Fail(Line, SyntaxErrorInLineText(Line));
      } else if (S.Kind == TStatementKind::Output) {
        std::vector<std::string> Values;
        std::vector<std::pair<TCodeExpr, std::string>> Before;
        for (const TExprText& Item : S.Exprs) {
          TCodeExpr E;
          std::string Error;
          if (!ReadQuietly(Item.Text, E, Error)) {
            // The items before are computed first, and may fail first.
            FailAfter(Before, Line, Error);
            break;
          }
          CheckSet(E, Item.Text);
          Values.push_back(FStyle.Printed(E, Item.Text));
          Before.emplace_back(std::move(E), Item.Text);
        }
        if (Values.size() == S.Exprs.size())
          FStyle.Output(FSink, Values);
      }
    }
  }

  // The first line of a branch or condition loop as a comparison of two
  // values; false with the line and the message of its failure.
  struct TSides {
    TCodeExpr Left, Right;
    std::string LeftText, RightText;
    bool LeftRead = false; // the left side was read when the right failed
  };

  bool ReadCondition(const TAlgBlock* B, TCodeCondition& C, std::string& Line, std::string& Error,
                     TSides& Sides) {
    if (B->GetText().GetCount() == 0) {
      Error = NoConditionText();
      return false;
    }
    Line = B->GetText().Get(0);
    const TStatement S = Deskbay::ReadCondition(Line);
    if (S.Kind == TStatementKind::Invalid) {
      Error = S.Error;
      return false;
    }
    TCodeExpr& L = Sides.Left;
    TCodeExpr& R = Sides.Right;
    Sides.LeftText = S.Exprs[0].Text;
    if (!ReadQuietly(S.Exprs[0].Text, L, Error))
      return false;
    if (!ReadQuietly(S.Exprs[1].Text, R, Error)) {
      Sides.LeftRead = true;
      return false;
    }
    Sides.RightText = S.Exprs[1].Text;
    C.Left = FStyle.Value(L, S.Exprs[0].Text);
    C.Op = S.Op;
    C.Right = FStyle.Value(R, S.Exprs[1].Text);
    return true;
  }

  // The condition, or its failure written in its place.
  void CheckSet(const TSides& Sides) {
    CheckSet(Sides.Left, Sides.LeftText);
    CheckSet(Sides.Right, Sides.RightText);
  }

  bool Condition(const TAlgBlock* B, TCodeCondition& C) {
    std::string Line, Error;
    TSides Sides;
    if (ReadCondition(B, C, Line, Error, Sides)) {
      CheckSet(Sides);
      return true;
    }
    FailCondition(Sides, Line, Error);
    return false;
  }

  // A condition that cannot be computed: its left side is computed first
  // when only the right one fails.
  void FailCondition(const TSides& Sides, const std::string& Line, const std::string& Error) {
    if (!Sides.LeftRead) {
      Fail(Line, Error);
      return;
    }
    CheckSet(Sides.Left, Sides.LeftText);
    FailAfter({{Sides.Left, Sides.LeftText}}, Line, Error);
  }

  // Writes the blocks of a sequence; true when they made no line.
  bool Sequence(const TAlgBlock* B) {
    const int First = FSink.GetLineCount();
    Block(B);
    return FSink.GetLineCount() == First;
  }

  static bool IsEmpty(const TAlgBlock* B) { return B->GetBlockCount() == 0; }

  void If(const TIfAlgBlock* B) {
    TCodeCondition C;
    if (!Condition(B, C))
      return;
    if (IsEmpty(B->GetYesBranch()) && !IsEmpty(B->GetNoBranch())) {
      // Only the "no" branch does something: the opposite condition reads
      // better than an empty "yes".
      C.Op = TCodeStyle::NegatedOp(C.Op);
      FStyle.BeginIf(FSink, C);
      const std::set<std::string> Before = FSet;
      FStyle.EndIf(FSink, Sequence(B->GetNoBranch()));
      FSet = Before;
      return;
    }
    FStyle.BeginIf(FSink, C);
    const std::set<std::string> Before = FSet;
    const bool EmptyYes = Sequence(B->GetYesBranch());
    if (IsEmpty(B->GetNoBranch())) {
      FStyle.EndIf(FSink, EmptyYes);
      FSet = Before;
      return;
    }
    const std::set<std::string> AfterYes = FSet;
    FSet = Before;
    FStyle.Else(FSink, EmptyYes);
    FStyle.EndIf(FSink, Sequence(B->GetNoBranch()));
    FSet = Common(AfterYes, FSet);
  }

  void While(const TWhileAlgBlock* B) {
    TCodeCondition C;
    if (!Condition(B, C))
      return;
    FStyle.BeginWhile(FSink, C);
    const std::set<std::string> Before = FSet;
    FStyle.EndWhile(FSink, Sequence(B->GetBody()));
    FSet = Before;
  }

  void Until(const TUntilAlgBlock* B) {
    TCodeCondition C;
    std::string Line, Error;
    TSides Sides;
    if (!ReadCondition(B, C, Line, Error, Sides)) {
      // The body runs once before the condition is first read.
      Sequence(B->GetBody());
      FailCondition(Sides, Line, Error);
      return;
    }
    FStyle.Comment(FSink, "повторять, пока " + Line);
    FStyle.BeginRepeat(FSink);
    Sequence(B->GetBody());
    // The condition is read after every pass of the body.
    CheckSet(Sides);
    FStyle.EndRepeat(FSink, C);
  }

  // Whether some line below B may give Var a new value. Deliberately wider
  // than the statements: any line of any block that begins "Var=" or names
  // Var after the input word counts, even one the machine refuses.
  static bool Assigns(const TAlgBlock* B, const std::string& Var) {
    for (const std::string& Line : B->GetText().Lines()) {
      const std::string S = AlgRemoveBlanks(Line);
      if (S.size() >= 2 && S[1] == '=' && UpperCase(S.substr(0, 1)) == Var)
        return true;
      if (StartsWithWord(S, InputWord()))
        for (const std::string& Item : SplitAtCommas(S.substr(InputWord().size())))
          if (UpperCase(Item) == Var)
            return true;
    }
    // A branch's children are its two arms, a loop's its body.
    for (int I = 0; I < B->GetBlockCount(); ++I)
      if (Assigns(B->GetBlocks(I), Var))
        return true;
    return false;
  }

  // Whether a block outside Loop names Var.
  bool ReadElsewhere(const TAlgBlock* Loop, char Var) const {
    std::vector<const TAlgBlock*> Inside;
    CollectBlocks(Loop, Inside);
    for (const TAlgBlock* B : FAllBlocks) {
      if (std::find(Inside.begin(), Inside.end(), B) != Inside.end())
        continue;
      for (const std::string& Line : B->GetText().Lines())
        if (MentionsVar(Line, Var))
          return true;
    }
    return false;
  }

  // For the lesson text: whether the language's own counting loop means
  // what the interpreter does, and why not.
  void Counting(const TForAlgBlock* B, const TCodeExpr& Start, const TCodeExpr& End,
                const TCodeExpr& Step, TCodeForLoop& L) {
    std::vector<std::pair<std::string, std::string>> EndVars;
    VarsOf(End, std::string(), EndVars);
    VarsOf(Step, std::string(), EndVars);
    bool EndChanges = false;
    for (const auto& V : EndVars)
      EndChanges = EndChanges || Assigns(B->GetBody(), V.first);
    if (!IsSmallWholeLiteral(Start, L.StartValue) || !IsSmallWholeLiteral(Step, L.StepValue) ||
        L.StepValue == 0)
      L.WhyNot = "начало или шаг не целое число";
    else if (L.StepValue < 0)
      L.WhyNot = "шаг отрицательный, а цикл идёт, пока " + L.Var + " не больше конца";
    else if (Assigns(B->GetBody(), L.Var))
      L.WhyNot = "тело цикла меняет переменную " + L.Var;
    else if (EndChanges)
      L.WhyNot = "тело цикла меняет конец или шаг";
    else if (ReadElsewhere(B, L.Var[0]))
      L.WhyNot = "значение " + L.Var + " нужно и после цикла";
    L.Counted = L.WhyNot.empty();
    L.EndWhole = IsSmallWholeLiteral(End, L.EndValue);
    if (!L.Counted)
      return;
    // In the body the variable runs from the start up to the end, whose
    // size is known where it is a number or made of known counters.
    L.Bound =
        std::max(std::fabs(L.StartValue), L.EndWhole ? std::fabs(L.EndValue) : FStyle.Bound(End));
    FStyle.NoteCounter(L.Var, L.StartValue, L.Bound);
  }

  void For(const TForAlgBlock* B) {
    if (B->GetText().GetCount() == 0) {
      Fail(std::string(), MissingCountingLoop().Error);
      return;
    }
    const std::string& Line = B->GetText().Get(0);
    const TStatement S = ReadCountingLoop(Line);
    if (S.Kind == TStatementKind::Invalid) {
      Fail(Line, S.Error);
      return;
    }
    // The start is computed first, then the end and the step: a part that
    // cannot be read fails after the parts before it.
    TCodeExpr Parts[3];
    std::vector<std::pair<TCodeExpr, std::string>> Read;
    for (size_t I = 0; I < 3; ++I) {
      std::string Error;
      if (!ReadQuietly(S.Exprs[I].Text, Parts[I], Error)) {
        FailAfter(Read, Line, Error);
        return;
      }
      CheckSet(Parts[I], S.Exprs[I].Text);
      Read.emplace_back(Parts[I], S.Exprs[I].Text);
    }
    const TCodeExpr &Start = Parts[0], &End = Parts[1], &Step = Parts[2];
    TCodeForLoop L;
    L.Var = std::string(1, S.Var);
    FVars.insert(L.Var);
    FSet.insert(L.Var);
    long double StartValue;
    L.Plain = IsSmallWholeLiteral(Start, StartValue) && IsSmallWholeLiteral(Step, L.StepValue) &&
              IsStoredAsIs(End) && !Assigns(B->GetBody(), L.Var);
    L.Start = FStyle.Value(Start, S.Exprs[0].Text);
    L.End = FStyle.Value(End, S.Exprs[1].Text);
    L.Step = FStyle.Value(Step, S.Exprs[2].Text);
    if (FStyle.Lesson())
      Counting(B, Start, End, Step, L);
    else
      FStyle.Comment(FSink, Line);
    FStyle.BeginFor(FSink, L);
    const std::set<std::string> Before = FSet;
    FStyle.EndFor(FSink, L, Sequence(B->GetBody()));
    FSet = Before;
  }
};

std::unique_ptr<TCodeStyle> MakeStyle(TCodeLanguage Language) {
  switch (Language) {
  case TCodeLanguage::Python:
    return MakePythonStyle();
  case TCodeLanguage::Pascal:
    return MakePascalStyle();
  default:
    return MakeCppStyle();
  }
}

} // namespace

TProgramText GenerateProgram(const TAlgorithm& Alg, TCodeLanguage Language, TCodeStyleKind Kind) {
  const std::unique_ptr<TCodeStyle> Style = MakeStyle(Language);
  Style->SetLesson(Kind == TCodeStyleKind::Lesson);
  TGenerator G(*Style, Alg);
  if (Language != TCodeLanguage::Python)
    G.GetSink().Indent();
  G.Block(Alg.GetRoot());

  TProgramText P;
  P.FLines = Style->Prologue(G.GetVars());
  const int Offset = static_cast<int>(P.FLines.size());
  P.FOwners.assign(P.FLines.size(), nullptr);
  P.FLines.insert(P.FLines.end(), G.GetSink().Lines().begin(), G.GetSink().Lines().end());
  P.FOwners.insert(P.FOwners.end(), G.GetSink().Owners().begin(), G.GetSink().Owners().end());
  for (const std::string& L : Style->Epilogue()) {
    P.FLines.push_back(L);
    P.FOwners.push_back(nullptr);
  }
  for (const auto& [Block, Range] : G.GetBlockLines())
    P.FBlockLines[Block] = {Range.first + Offset, Range.second + Offset};
  return P;
}

} // namespace Deskbay
