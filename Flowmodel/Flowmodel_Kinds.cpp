#include "Flowmodel_Kinds.h"

#include "Flowmodel_Main.h"

namespace Deskbay {

namespace {

constexpr TAlgPaletteButton NoButton{-1, "", {0, 0, 0, 0}};

// One line per kind, in the kinds' order. The palette's buttons: two
// columns of 100 pixels, rows of 40, the loops' row 81 high.
constexpr TAlgBlockKindInfo KindInfos[] = {
    {TAlgBlockKind::Root, &TRootAlgBlock::Class, "Алгоритм", false, NoButton, "index.html"},
    {TAlgBlockKind::Sequence, &TCompoundAlgBlock::Class, "Последовательность", false, NoButton,
     "index.html"},
    {TAlgBlockKind::Computation,
     &TBasicAlgBlock::Class,
     "Блок вычислений",
     true,
     {0, "Блок вычислений", {0, 0, 100, 40}},
     "language.html#assign"},
    {TAlgBlockKind::InputOutput,
     &TIOAlgBlock::Class,
     "Ввод-вывод",
     true,
     {2, "Ввод-вывод", {0, 40, 100, 80}},
     "language.html#io"},
    {TAlgBlockKind::Branch,
     &TIfAlgBlock::Class,
     "Ветвление",
     true,
     {1, "Ветвление", {100, 0, 200, 40}},
     "language.html#if"},
    {TAlgBlockKind::WhileLoop,
     &TWhileAlgBlock::Class,
     "Цикл с предусловием",
     true,
     {3, "Цикл с предусловием", {0, 80, 100, 161}},
     "language.html#while"},
    {TAlgBlockKind::UntilLoop,
     &TUntilAlgBlock::Class,
     "Цикл с постусловием",
     true,
     {5, "Цикл с постусловием", {100, 80, 200, 161}},
     "language.html#until"},
    {TAlgBlockKind::ForLoop,
     &TForAlgBlock::Class,
     "Цикл с параметром",
     true,
     {4, "Цикл с параметром", {100, 40, 200, 80}},
     "language.html#for"},
};

constexpr bool EveryKindInItsPlace() {
  if (std::size(KindInfos) != AlgBlockKindCount)
    return false;
  for (int I = 0; I < AlgBlockKindCount; ++I)
    if (KindInfos[I].Kind != AlgBlockKindAt(I))
      return false;
  return true;
}
static_assert(EveryKindInItsPlace(), "every kind has its line, in the kinds' order");

} // namespace

const TAlgBlockKindInfo& AlgBlockKindInfo(TAlgBlockKind Kind) {
  Assert(IsAlgBlockKind(Kind), "Not an AlgBlock kind.");
  return KindInfos[static_cast<int>(Kind)];
}

TCompoundAlgBlock* AlgBodyOf(const TAlgBlock* Block) {
  switch (Block->GetKind()) {
  case TAlgBlockKind::Root:
  case TAlgBlockKind::WhileLoop:
  case TAlgBlockKind::UntilLoop:
  case TAlgBlockKind::ForLoop:
    return static_cast<const TContainerAlgBlock*>(Block)->GetBody();
  case TAlgBlockKind::Sequence:
  case TAlgBlockKind::Computation:
  case TAlgBlockKind::InputOutput:
  case TAlgBlockKind::Branch:
    return nullptr;
  }
  return nullptr;
}

} // namespace Deskbay
