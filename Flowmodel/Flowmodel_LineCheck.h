#pragma once

// The lines of a block that cannot run, as the pupil types them: the line
// language's verdict (Flowlang_LineCheck) for each block by its kind, kept
// with the text's change stamp so that a block is read again only when its
// text changed. The chart's marks and the text box ask it.

#include "FlowmodelExport.h"

#include "Flowlang/Flowlang_LineCheck.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Deskbay {

class TAlgBlock;
enum class TAlgBlockKind : uint8_t;

// How the machine reads the lines of a block of Kind; none for the root and
// the sequences, whose text it never reads.
FLOWMODEL_API std::optional<TLineRole> LineRoleOfKind(TAlgBlockKind Kind);

// The problems of Block's lines, read now.
FLOWMODEL_API std::vector<TLineProblem> AlgBlockLineProblems(const TAlgBlock& Block);

class FLOWMODEL_API TAlgLineCheck {
public:
  // The problems of Block's lines; read again only when the text's change
  // stamp is not the one they were read at. The reference stays valid until
  // the next call.
  const std::vector<TLineProblem>& Problems(const TAlgBlock& Block);
  // Forgets every block not asked about since the previous Sweep, so blocks
  // that are gone leave nothing behind. A block asked about again later is
  // read anew.
  void Sweep();
  // How many blocks were read (not taken from what was kept) so far.
  uint64_t GetReadCount() const { return FReadCount; }
  size_t GetKeptCount() const { return FEntries.size(); }

private:
  struct TEntry {
    uint64_t Stamp = 0;
    TAlgBlockKind Kind{};
    bool Asked = false;
    std::vector<TLineProblem> Problems;
  };
  // Blocks by address: a block made later at the same address has another
  // stamp (stamps are never given twice; a copy has its source's lines).
  std::unordered_map<const TAlgBlock*, TEntry> FEntries;
  uint64_t FReadCount = 0;
};

} // namespace Deskbay
