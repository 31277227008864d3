#pragma once

// The line language of the blocks, read once into statements. Both the
// interpreter and the code generator start from here, so a line means the
// same to both: the same words, the same drawing commands, the same
// refusals in the machine's own messages.
//
// What a line is depends on its block:
//   computation block   V=expression, or a drawing command (see below)
//   input/output block  Ввод A,B,...  or  Вывод expression,...
//   branch, condition loops  left<right (< > = <= >= <>), the first line
//   counting loop       V=start,end,step, the first line
// Every line but a condition is read without its blanks (AlgRemoveBlanks);
// the words are recognised in any letter case.
//
// Expressions are kept as their texts with their places in the line as
// read; ReadCodeExpression (Flowlang_Expression) makes a tree of one when
// one is wanted, and TMathParser evaluates them.

#include "FlowlangExport.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

// A statement line as it is read: every character of code 32 or less is
// removed, except that the word MOD (any letter case) written with blanks on
// both sides and something other than blanks before and after it keeps one
// blank on each side, so that it stays the operator: "Y = A MOD B" reads as
// "Y=A MOD B", "X = 1 0" still as "X=10". Joined to its neighbours, MOD
// would be read as part of a longer name (AMODB) or number (MOD3), which no
// line that works can contain, so the blanks change nothing that ran before.
// Source, when given, receives for each character of the result the index
// in Line it came from (a kept blank: the first blank it stands for).
FLOWLANG_API std::string AlgRemoveBlanks(std::string_view Line,
                                         std::vector<size_t>* Source = nullptr);

// Splits S at every comma; empty items are kept.
FLOWLANG_API std::vector<std::string> SplitAtCommas(const std::string& S);
// Whether S begins with LowerWord (small letters), ignoring case.
FLOWLANG_API bool StartsWithWord(const std::string& S, const std::string& LowerWord);

// The words of an input/output block, in small letters. A line that starts
// with the input word is input, whatever follows.
FLOWLANG_API const std::string& InputWord();
FLOWLANG_API const std::string& OutputWord();

// The canvas's commands. Arguments, after the word:
//   тчк (x,y),c                     отр (x1,y1)-(x2,y2),c
//   крг (x,y),r,outline,fill        мну (x1,y1)-(x2,y2)...,outline,fill
//   дуг (x1,y1)-(x2,y2)-(x3,y3),c   зкр (x,y),c
enum class TDrawCommand { Point, Segment, Circle, Polygon, Arc, Fill };

struct TDrawCommandWord {
  const char* Word; // small letters: three Cyrillic letters, six bytes
  TDrawCommand Command;
  const char* What; // what it draws, in words
};

FLOWLANG_API std::span<const TDrawCommandWord> DrawCommandWords();
// The command a line read without blanks starts with; nullptr for none.
FLOWLANG_API const TDrawCommandWord* FindDrawCommand(std::string_view Text);

// An expression inside a line: its text, and where it begins in the text
// the statement was read from (TStatement::Text).
struct TExprText {
  std::string Text;
  size_t Start = 0;
};

enum class TStatementKind {
  Empty,        // nothing to do
  Assignment,   // Var = Exprs[0]
  Input,        // Items: the names as written, in the order they are asked
  Output,       // Exprs: the values printed on one line, in order
  Drawing,      // Command; Exprs: the arguments read, in the order they are read
  Condition,    // Exprs[0] Op Exprs[1]
  CountingLoop, // Var = Exprs[0] (start), Exprs[1] (end), Exprs[2] (step)
  Invalid       // Error: the machine's message for the line
};

struct TStatement {
  TStatementKind Kind = TStatementKind::Empty;
  std::string Line; // as written
  // As read: without blanks (a condition: as written). Source: for each
  // character of Text its index in Line.
  std::string Text;
  std::vector<size_t> Source;

  char Var = 0; // Assignment, CountingLoop: the variable's capital letter
  std::vector<TExprText> Exprs;
  // Input: every item, each a name only if it is one Latin letter. The
  // machine asks them in order and stops with a syntax error at the first
  // item that is not (ValidInputItems tells how many come before it).
  std::vector<TExprText> Items;
  size_t ValidInputItems = 0;

  // Drawing: the command, and whether its arguments have their form. A
  // drawing command that has not ends with a syntax error where its form
  // breaks: the arguments before that place are in Exprs and are computed
  // first, with their checks. PolygonPoints: the points a polygon begins.
  const TDrawCommandWord* Command = nullptr;
  bool FormIsRight = true;
  size_t PolygonPoints = 0;

  std::string Op; // Condition: "<", ">", "=", "<=", ">=" or "<>"

  // Invalid: what the machine reports at this line.
  std::string Error;

  // The index in Line of the character at Pos of Text (Line's size at the end).
  size_t SourceOf(size_t Pos) const { return Pos < Source.size() ? Source[Pos] : Line.size(); }
};

// A line of a computation block: Empty (only blanks), Assignment, Drawing,
// or Invalid with the syntax error in the line. The machine hands an
// Invalid line to its devices as text, which refuse it as said.
FLOWLANG_API TStatement ReadComputationLine(const std::string& Line);

// An assignment V=expression: a Latin letter, "=" and at least one more
// character once the blanks are gone. False for any other line.
FLOWLANG_API bool ReadAssignment(const std::string& Line, TStatement& Out);

// A drawing command: false when the line starts with no command word.
FLOWLANG_API bool ReadDrawing(const std::string& Line, TStatement& Out);

// A line of an input/output block: Empty, Input, Output, or Invalid (no
// word, or nothing after it). An input item that is not one letter makes
// no Invalid statement: the items before it are asked first.
FLOWLANG_API TStatement ReadInputOutputLine(const std::string& Line);

// The first line of a branch or condition loop: Condition, or Invalid with
// "Неверное условие "…"." when it does not split at one comparison.
FLOWLANG_API TStatement ReadCondition(const std::string& Line);
// A branch or condition loop without lines: Invalid, "Неверное условие.".
FLOWLANG_API TStatement MissingCondition();

// The header of a counting loop: CountingLoop, or Invalid with
// "Синтаксическая ошибка." (too short to hold a variable and its parts) or
// the syntax error in the line.
FLOWLANG_API TStatement ReadCountingLoop(const std::string& Line);
// A counting loop without lines: Invalid, "Синтаксическая ошибка.".
FLOWLANG_API TStatement MissingCountingLoop();

} // namespace Deskbay
