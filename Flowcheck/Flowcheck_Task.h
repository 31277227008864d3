#pragma once

// A task pack: what a teacher hands out for one task, in one text file
// (NAME.task) readable in any editor:
//
//   @@ deskbay-task 1
//   @@ text
//   the task's text, as many lines as it has (Markdown or plain)
//   @@ restrictions
//   blocks Блок вычислений, Ввод-вывод, Ветвление
//   functions ABS, SQRT, отр
//   max-blocks 12
//   program-text no
//   @@ tests
//   the visible cases, in the test file's form
//   @@ start base64
//   the starter chart's file, its bytes in base64, 76 characters a line
//   @@ end
//
// Lines starting with "@@" head the sections, in this order; in the text a
// line of its own starting with "@@" is written with one more "@", which
// reading takes off. Every restriction line is optional: without "blocks"
// every kind of block may be used (named as "algtool show" names them),
// without "functions" every function and drawing command, without
// "max-blocks" any number of blocks, without "program-text no" the program
// pane may be shown. The hidden cases stay in the teacher's test file and
// never enter a pack.

#include "FlowcheckExport.h"
#include "Flowcheck_Check.h"
#include "Flowcheck_TestFile.h"

#include "Flowmodel/Flowmodel_Kinds.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgorithm;

struct FLOWCHECK_API TTaskRestrictions {
  bool LimitsBlocks = false;
  std::vector<TAlgBlockKind> Blocks; // allowed, when LimitsBlocks
  bool LimitsFunctions = false;
  // Allowed functions (capitals, "SQRT") and drawing commands (small
  // letters, "отр"), when LimitsFunctions.
  std::vector<std::string> Functions;
  int64_t MaxBlocks = 0; // 0: any number
  bool ProgramText = true;

  bool Allows(TAlgBlockKind Kind) const;
  bool AllowsFunction(const std::string& Name) const;
  bool Empty() const { return !LimitsBlocks && !LimitsFunctions && MaxBlocks == 0 && ProgramText; }
};

struct FLOWCHECK_API TTaskPack {
  std::string Text;
  TTaskRestrictions Restrictions;
  std::string TestsText; // the visible cases as a test file
  std::string Start;     // the starter chart's file bytes
};

// "Блок вычислений, Ввод-вывод": the kinds of block a user places, by their
// names; a name that is none raises an error listing the names.
FLOWCHECK_API std::vector<TAlgBlockKind> ParseBlockKinds(const std::string& Names);
// "SQRT, abs, отр": the language's functions (any letter case) and drawing
// commands; anything else raises an error listing them.
FLOWCHECK_API std::vector<std::string> ParseFunctionNames(const std::string& Names);

// The cases as lines of a test file, read back by ParseTestFile the same
// ("hidden" left out: a pack holds only visible cases).
FLOWCHECK_API std::string TestCasesText(const std::vector<TTestCase>& Cases);

FLOWCHECK_API std::string WriteTaskPack(const TTaskPack& Pack);
// Whether a file's first bytes are those of a task pack.
FLOWCHECK_API bool LooksLikeTaskPack(std::string_view Head);
// A mistake names the file and the line.
FLOWCHECK_API TTaskPack ParseTaskPack(const std::string& Text, const std::string& FileName);
FLOWCHECK_API TTaskPack ReadTaskPackFile(const std::string& FileName);

// What the restrictions forbid in a chart, block by block (Block nullptr:
// the chart as a whole), in chart order.
struct TRestrictionBreach {
  const TAlgBlock* Block = nullptr;
  std::string Reason;
};
FLOWCHECK_API std::vector<TRestrictionBreach> CheckRestrictions(const TAlgorithm& Alg,
                                                                const TTaskRestrictions& R);
// The breaches of one block alone (its kind, its lines), as the editor shows
// them at the block.
FLOWCHECK_API std::vector<std::string> BlockBreaches(const TAlgBlock* Block,
                                                     const TTaskRestrictions& R);
// "В этом задании нельзя использовать «Цикл с параметром»".
FLOWCHECK_API std::string ForbiddenKindReason(TAlgBlockKind Kind);
// The placed blocks of a chart (neither the root nor sequences).
FLOWCHECK_API int64_t CountPlacedBlocks(const TAlgorithm& Alg);
FLOWCHECK_API std::string TooManyBlocksReason(int64_t MaxBlocks);

// Why copies of Blocks (with all they hold) may not be placed into Alg:
// a kind the task forbids, a function or command in their lines it
// forbids, or more blocks than it allows; empty when they may.
FLOWCHECK_API std::string PlacementRefusal(const TAlgorithm& Alg,
                                           const std::vector<const TAlgBlock*>& Blocks,
                                           const TTaskRestrictions& R);

// The name of the case a check with a task pack adds to every file.
FLOWCHECK_API const char* RestrictionCaseName();
// That case for a chart: passed, or failed as Restricted with every breach
// in its reason. It weighs nothing: the score stays the cases' own, the
// file no longer passes all. Alg nullptr: the file could not be read, the
// case fails with Reason.
FLOWCHECK_API TCaseResult RestrictionCase(const TAlgorithm* Alg, const TTaskRestrictions& R,
                                          const std::string& Reason = {});

} // namespace Deskbay
