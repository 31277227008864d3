#pragma once

// The statements a program text was read into, before they become blocks:
// lines of the language (their variables still markers), branches and the
// three loops, and the comments the text carried. Finishing them maps the
// names, reads back what a program written from a chart spells in several
// statements (a counting loop as a while loop with its header in a comment
// before it, a post-test loop after the comment "повторять, пока …", a
// line the machine refuses as a comment followed by the stop), and checks
// every line with the line language's readers. Building fills a sequence:
// statements of one kind that follow each other share one block.

#include "FlowimportExport.h"

#include "Flowimport_Names.h"

#include <string>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgBlockClass;

struct FLOWIMPORT_API TImportNode {
  enum TKind {
    nkAssign,  // Text: the line; Var, Value: the variable and the expression
    nkInput,   // Text: "Ввод A, B"
    nkOutput,  // Text: "Вывод ..."
    nkDrawing, // Text: the drawing command as written
    nkIf,      // Text: the condition; Body: "да", Else: "нет"
    nkWhile,   // Text: the condition; CondLeft, CondOp, CondRight its parts
    nkUntil,   // Text: the condition under which the body repeats
    nkFor,     // Text: the header "I=1,10,1"
    nkComment, // Text: the comment's text, trimmed
    nkStop     // the program stops with a message here (a refused line)
  };
  TKind Kind = nkAssign;
  std::string Text;
  std::string Var, Value;                  // nkAssign
  std::string CondLeft, CondOp, CondRight; // nkWhile
  std::vector<TImportNode> Body, Else;
  int Line = 0, Column = 0;
};

using TImportNodes = std::vector<TImportNode>;

// Maps the names (Names.Resolve), replaces the markers, reads back the
// multi-statement forms and checks every line. Raises EImportError.
FLOWIMPORT_API void FinishImportNodes(TImportNodes& Nodes, TNameMap& Names,
                                      const std::string& FileName);

// Appends the finished statements to Sequence as blocks. More blocks than an
// algorithm holds raises EImportError at the statement that is one too many.
FLOWIMPORT_API void BuildImportedBlocks(const TImportNodes& Nodes, TAlgBlock* Sequence,
                                        const std::string& FileName);

// A block of Class below Parent, or EImportError at Line and Column when
// the algorithm holds no more.
FLOWIMPORT_API TAlgBlock* CreateImportedBlock(const TAlgBlockClass& Class, TAlgBlock* Parent,
                                              int Line, int Column, const std::string& FileName);

} // namespace Deskbay
