// The kinds of block: one class each, a complete description each, and the
// kind of every block the model makes.

#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Kinds.h"

#include "ModelTestUtils.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace Deskbay;

namespace {

bool Overlap(const TRect& A, const TRect& B) {
  return A.Left < B.Right && B.Left < A.Right && A.Top < B.Bottom && B.Top < A.Bottom;
}

// A double made outside the model from a branch: it is a branch.
class TMarkedIfAlgBlock : public TIfAlgBlock {
  DESKBAY_ALG_BLOCK_CLASS(TMarkedIfAlgBlock)
};
const TAlgBlockClass TMarkedIfAlgBlock::Class("TMarkedIfAlgBlock", &TIfAlgBlock::Class,
                                              &TMarkedIfAlgBlock::NewInstance);

} // namespace

TEST(BlockKinds, EveryKindHasOneClassAndEveryClassOneKind) {
  EXPECT_EQ(AlgBlockKindCount, 8);
  std::set<const TAlgBlockClass*> Classes;
  std::set<std::string> Names;
  for (int I = 0; I < AlgBlockKindCount; ++I) {
    const TAlgBlockKind Kind = AlgBlockKindAt(I);
    const TAlgBlockKindInfo& Info = AlgBlockKindInfo(Kind);
    SCOPED_TRACE(Info.Name);
    EXPECT_EQ(Info.Kind, Kind);
    ASSERT_NE(Info.Class, nullptr);
    EXPECT_EQ(Info.Class->GetKind(), Kind);
    EXPECT_TRUE(Classes.insert(Info.Class).second) << "one class per kind";
    EXPECT_TRUE(Names.insert(Info.Name).second) << "one name per kind";
    EXPECT_FALSE(std::string(Info.Name).empty());
    const std::string Topic = Info.HelpTopic;
    EXPECT_NE(Topic.find(".html"), std::string::npos) << Topic;
  }
  // The classes that make blocks are these and no more: each below the root
  // of the chain is of its own kind, the abstract ones make nothing.
  for (const TAlgBlockClass* C : Classes)
    EXPECT_TRUE(C->InheritsFrom(&TAlgBlock::Class)) << C->ClassName();
  TAlgorithm Alg;
  EXPECT_THROW(TContainerAlgBlock::Class.Create(Alg.GetRoot()->GetBody()), Exception);
  EXPECT_EQ(Alg.GetRoot()->GetBody()->GetBlockCount(), 0);
  EXPECT_EQ(Alg.GetBlockCount(), 1);
}

TEST(BlockKinds, PlacedKindsAreRegisteredAndOnThePaletteEachOnItsOwnPlace) {
  std::vector<const TAlgBlockClass*> Placed;
  std::set<int> Orders;
  std::vector<TRect> Places;
  for (int I = 0; I < AlgBlockKindCount; ++I) {
    const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I));
    SCOPED_TRACE(Info.Name);
    if (!Info.Placed) {
      EXPECT_EQ(Info.Palette.Order, -1) << "only placed kinds have a button";
      continue;
    }
    Placed.push_back(Info.Class);
    EXPECT_FALSE(std::string(Info.Palette.Hint).empty());
    EXPECT_TRUE(Orders.insert(Info.Palette.Order).second);
    EXPECT_GT(Info.Palette.Place.Width(), 0);
    EXPECT_GT(Info.Palette.Place.Height(), 0);
    for (const TRect& Other : Places)
      EXPECT_FALSE(Overlap(Info.Palette.Place, Other));
    Places.push_back(Info.Palette.Place);
  }
  ASSERT_EQ(Placed.size(), 6u);
  EXPECT_EQ(*Orders.begin(), 0);
  EXPECT_EQ(*Orders.rbegin(), 5);
  ASSERT_EQ(AlgBlockClassCount(), 6);
  for (int I = 0; I < 6; ++I)
    EXPECT_EQ(AlgBlockClasses(I), Placed[I]);
  EXPECT_FALSE(AlgBlockKindInfo(TAlgBlockKind::Root).Placed);
  EXPECT_FALSE(AlgBlockKindInfo(TAlgBlockKind::Sequence).Placed);
}

TEST(BlockKinds, BlocksAreOfTheirClassesKindAndNamedByIt) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  EXPECT_EQ(Alg.GetRoot()->GetKind(), TAlgBlockKind::Root);
  EXPECT_EQ(Body->GetKind(), TAlgBlockKind::Sequence);
  EXPECT_EQ(AlgBodyOf(Alg.GetRoot()), Body);
  EXPECT_EQ(AlgBodyOf(Body), nullptr);
  for (int I = 0; I < AlgBlockClassCount(); ++I) {
    TAlgBlock* B = AlgBlockClasses(I)->Create(Body);
    const TAlgBlockKindInfo& Info = AlgBlockKindInfo(B->GetKind());
    EXPECT_EQ(Info.Class, AlgBlockClasses(I));
    EXPECT_EQ(BlockKindName(B), Info.Name);
    // Exactly the loops and the root have a body.
    const bool Loop = B->GetClass()->InheritsFrom(&TContainerAlgBlock::Class);
    EXPECT_EQ(AlgBodyOf(B), Loop ? static_cast<TContainerAlgBlock*>(B)->GetBody() : nullptr)
        << Info.Name;
  }
  EXPECT_EQ(BlockKindName(Alg.GetRoot()), "Алгоритм");
  EXPECT_EQ(BlockKindName(Body), "Последовательность");

  // A class made elsewhere is of its base's kind, and named by its class.
  auto* Marked = TAlgBlock::Create<TMarkedIfAlgBlock>(Body);
  EXPECT_EQ(Marked->GetKind(), TAlgBlockKind::Branch);
  EXPECT_EQ(BlockKindName(Marked), "TMarkedIfAlgBlock");
  EXPECT_EQ(BlockTreeLines(Marked),
            (std::vector<std::string>{"TMarkedIfAlgBlock", "  да:", "  нет:"}));
}
