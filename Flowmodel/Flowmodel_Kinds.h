#pragma once

// The kinds of block: one value per block class, and one description of each
// (its name, its palette button, its help topic). Code that treats kinds
// differently switches on the kind and names every kind without a default,
// so the compiler (-Wswitch) points out each place a new kind must be
// handled.

#include "FlowmodelExport.h"

#include "Corekit/Canvas.h"

#include <cstdint>

namespace Deskbay {

class TAlgBlock;
class TAlgBlockClass;
class TCompoundAlgBlock;

// A block of a kind is an object of the kind's class or of a class derived
// from it, so after a switch on the kind a static_cast to that class is
// safe. The values run from 0 without gaps, in the order the block-class
// registry lists the kinds made by name.
enum class TAlgBlockKind : uint8_t {
  Root,        // TRootAlgBlock: the whole algorithm, its begin and end
  Sequence,    // TCompoundAlgBlock: the blocks one after another
  Computation, // TBasicAlgBlock: assignments and drawing commands
  InputOutput, // TIOAlgBlock
  Branch,      // TIfAlgBlock: a condition and two sequences
  WhileLoop,   // TWhileAlgBlock: the condition before the body
  UntilLoop,   // TUntilAlgBlock: the condition after the body
  ForLoop,     // TForAlgBlock: the counting loop
};

// Whether Kind is one of the kinds above.
constexpr bool IsAlgBlockKind(TAlgBlockKind Kind) {
  switch (Kind) {
  case TAlgBlockKind::Root:
  case TAlgBlockKind::Sequence:
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
  case TAlgBlockKind::Branch:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
  case TAlgBlockKind::ForLoop:
    return true;
  }
  return false;
}

// How many kinds there are (counted through the switch above).
constexpr int AlgBlockKindCount = [] {
  int Count = 0;
  while (IsAlgBlockKind(static_cast<TAlgBlockKind>(Count)))
    ++Count;
  return Count;
}();

// The kind at Index (0 ... AlgBlockKindCount - 1).
constexpr TAlgBlockKind AlgBlockKindAt(int Index) {
  return static_cast<TAlgBlockKind>(Index);
}

// A kind's button on the block palette.
struct TAlgPaletteButton {
  int Order;        // buttons are made in this order (0 first), -1: no button
  const char* Hint; // the button's tooltip
  TRect Place;      // in the palette's pixels
};

struct TAlgBlockKindInfo {
  TAlgBlockKind Kind;
  const TAlgBlockClass* Class; // the class whose blocks have the kind
  // How "algtool show", the clipboard's text form and the charts of the help
  // name the kind ("Блок вычислений").
  const char* Name;
  // A block the user places into a sequence: the palette offers it, a file
  // names its class and the block-class registry finds it there. The root
  // and the sequences are made by the blocks that own them.
  bool Placed;
  TAlgPaletteButton Palette;
  // The help's section about the kind ("language.html#for"); the contents
  // for kinds without one of their own.
  const char* HelpTopic;
};

FLOWMODEL_API const TAlgBlockKindInfo& AlgBlockKindInfo(TAlgBlockKind Kind);

// The body of a block that has one (the root and the loops), else nullptr.
FLOWMODEL_API TCompoundAlgBlock* AlgBodyOf(const TAlgBlock* Block);

} // namespace Deskbay
