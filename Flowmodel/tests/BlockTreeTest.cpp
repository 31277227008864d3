#include "ModelTestUtils.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

TEST(BlockTree, NewAlgorithmHasARootWithAnEmptyBodyAndIsClean) {
  TAlgorithm Alg;
  TRootAlgBlock* Root = Alg.GetRoot();
  EXPECT_EQ(Alg.GetBlockCount(), 1);
  EXPECT_EQ(Root->GetBlockCount(), 1);
  EXPECT_EQ(Root->GetBlocks(0), Root->GetBody());
  EXPECT_EQ(Root->GetBody()->GetBlockCount(), 0);
  EXPECT_TRUE(Root->GetBody()->GetFixed());
  ASSERT_EQ(Root->GetText().GetCount(), 1);
  EXPECT_EQ(Root->GetText().Get(0), "начало");
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 0);
  EXPECT_FALSE(Alg.GetDirty());
  EXPECT_EQ(Alg.GetAspectCount(), 3);
  EXPECT_EQ(Root->GetParent(), nullptr);
  EXPECT_EQ(Root->GetIndex(), -1);
}

TEST(BlockTree, StructureNavigationAndContainment) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* A = AddStatement(Body, "A=1");
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
  auto* C = TAlgBlock::Create<TBasicAlgBlock>(Body, 0); // inserted first
  auto* Inner = AddStatement(If->GetNoBranch(), "B=2");

  EXPECT_EQ(Body->GetBlockCount(), 3);
  EXPECT_EQ(Body->GetBlocks(0), C);
  EXPECT_EQ(A->GetIndex(), 1);
  EXPECT_EQ(C->GetNextSibling(), A);
  EXPECT_EQ(If->GetNextSibling(), nullptr);
  ASSERT_EQ(If->GetBlockCount(), 2);
  EXPECT_EQ(If->GetBlocks(0), If->GetYesBranch());
  EXPECT_EQ(If->GetBlocks(1), If->GetNoBranch());
  EXPECT_EQ(Inner->GetAlgorithm(), &Alg);
  EXPECT_EQ(Alg.GetBlockCount(), 5)
      << "root, three statements and the branch; sequences do not count";

  EXPECT_TRUE(Alg.GetRoot()->Contains(Inner));
  EXPECT_TRUE(If->Contains(Inner));
  EXPECT_FALSE(If->Contains(If)) << "a block does not contain itself";
  EXPECT_FALSE(A->Contains(Inner));
  EXPECT_FALSE(Inner->Contains(If));

  try {
    Body->GetBlocks(3);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Bad AlgBlock index (3).");
  }
  EXPECT_THROW(TAlgBlock::Create<TBasicAlgBlock>(Body, 5), Exception);
  EXPECT_EQ(Alg.GetBlockCount(), 5);

  EXPECT_FALSE(A->SkipOnJumpOutside());
  auto* Until = TAlgBlock::Create<TUntilAlgBlock>(Body);
  auto* While = TAlgBlock::Create<TWhileAlgBlock>(Body);
  EXPECT_TRUE(Until->SkipOnJumpOutside());
  EXPECT_FALSE(Until->IncomingPointerNeeded());
  EXPECT_FALSE(While->IncomingPointerNeeded());
  EXPECT_TRUE(If->IncomingPointerNeeded());
}

TEST(BlockTree, BlockLimitFailureLeavesTreeCountAndSelectionUnchanged) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  for (int I = 0; I < 98; ++I)
    AddStatement(Body, "X=1");
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Body); // the 99th addition: one block
  EXPECT_EQ(Alg.GetBlockCount(), 100);
  If->SetSelected(true);
  const uint64_t Version = Alg.GetVersion();
  TAspectLog Log(Alg);

  for (TAlgBlock* Parent :
       {static_cast<TAlgBlock*>(Body), static_cast<TAlgBlock*>(If->GetYesBranch())}) {
    try {
      TAlgBlock::Create<TForAlgBlock>(Parent, 0);
      FAIL() << "the 100th addition must fail";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "Слишком много блоков (предел = 100).");
    }
  }
  EXPECT_EQ(Alg.GetBlockCount(), 100);
  EXPECT_EQ(Body->GetBlockCount(), 99);
  EXPECT_EQ(Body->GetBlocks(0)->GetText().Get(0), "X=1");
  EXPECT_EQ(If->GetYesBranch()->GetBlockCount(), 0);
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 1);
  EXPECT_TRUE(If->GetSelected());
  EXPECT_EQ(Alg.GetVersion(), Version);
  EXPECT_TRUE(Log.Log.empty());

  // Making room makes creation possible again.
  Body->GetBlocks(0)->Free();
  EXPECT_NO_THROW(TAlgBlock::Create<TBasicAlgBlock>(Body));
}

TEST(BlockTree, CopiesAreDeepAndCountedInTheTargetAlgorithm) {
  TAlgorithm Source;
  TCompoundAlgBlock* SrcBody = Source.GetRoot()->GetBody();
  auto* If = TAlgBlock::Create<TIfAlgBlock>(SrcBody);
  If->GetText().Add("A<B");
  AddStatement(If->GetYesBranch(), "X=1");
  AddStatement(If->GetYesBranch(), "X=2");
  auto* Loop = TAlgBlock::Create<TWhileAlgBlock>(If->GetNoBranch());
  Loop->GetText().Add("X<3");
  EXPECT_EQ(Source.GetBlockCount(), 5);

  TAlgorithm Target;
  Target.SetDirty(false);
  TAspectLog Log(Target);
  TAlgBlock* Copy = If->CreateCopy(Target.GetRoot()->GetBody());

  EXPECT_EQ(Target.GetBlockCount(), 5) << "the root and four copied blocks";
  EXPECT_EQ(Source.GetBlockCount(), 5);
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"content"})) << "one notice for the whole copy";
  EXPECT_TRUE(Target.GetDirty());
  ASSERT_EQ(Copy->GetClass(), &TIfAlgBlock::Class);
  auto* IfCopy = static_cast<TIfAlgBlock*>(Copy);
  EXPECT_EQ(IfCopy->GetText().Get(0), "A<B");
  EXPECT_EQ(FirstLines(IfCopy->GetYesBranch()), (std::vector<std::string>{"X=1", "X=2"}));
  ASSERT_EQ(IfCopy->GetNoBranch()->GetBlockCount(), 1);
  TAlgBlock* LoopCopy = IfCopy->GetNoBranch()->GetBlocks(0);
  EXPECT_EQ(LoopCopy->GetClass(), &TWhileAlgBlock::Class);
  EXPECT_NE(LoopCopy, Loop);
  EXPECT_EQ(LoopCopy->GetAlgorithm(), &Target);
  EXPECT_EQ(LoopCopy->GetText().Get(0), "X<3");
  EXPECT_TRUE(static_cast<TWhileAlgBlock*>(LoopCopy)->GetBody()->GetFixed());

  // Editing the copy leaves the original alone.
  IfCopy->GetYesBranch()->GetBlocks(0)->GetText().Put(0, "Y=5");
  EXPECT_EQ(If->GetYesBranch()->GetBlocks(0)->GetText().Get(0), "X=1");

  // A copy into the block's own body terminates and copies what was there.
  auto* Self = TAlgBlock::Create<TForAlgBlock>(SrcBody);
  AddStatement(Self->GetBody(), "S=S+I");
  Self->CreateCopy(Self->GetBody());
  EXPECT_EQ(Self->GetBody()->GetBlockCount(), 2);
  auto* Nested = static_cast<TForAlgBlock*>(Self->GetBody()->GetBlocks(1));
  EXPECT_EQ(FirstLines(Nested->GetBody()), (std::vector<std::string>{"S=S+I"}));
}

TEST(BlockTree, CopyThatHitsTheLimitIsUndoneWhole) {
  TAlgorithm Source;
  auto* Loop = TAlgBlock::Create<TWhileAlgBlock>(Source.GetRoot()->GetBody());
  for (int I = 0; I < 5; ++I)
    AddStatement(Loop->GetBody(), "X=1");

  TAlgorithm Target;
  TCompoundAlgBlock* Body = Target.GetRoot()->GetBody();
  for (int I = 0; I < 96; ++I)
    AddStatement(Body, "Y=1");
  EXPECT_EQ(Target.GetBlockCount(), 97);
  EXPECT_THROW(Loop->CreateCopy(Body, 0), Exception);
  EXPECT_EQ(Target.GetBlockCount(), 97);
  EXPECT_EQ(Body->GetBlockCount(), 96);
  EXPECT_EQ(Body->GetBlocks(0)->GetClass(), &TBasicAlgBlock::Class);
}

TEST(BlockTree, AssignNeedsAMatchingClass) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Body);
  auto* Loop = TAlgBlock::Create<TForAlgBlock>(Body);
  auto* Stmt = AddStatement(Body, "A=1");
  AddStatement(Loop->GetBody(), "B=1");
  EXPECT_THROW(If->Assign(Loop), EInvalidCast);
  EXPECT_THROW(Loop->Assign(Stmt), EInvalidCast);
  EXPECT_THROW(Loop->GetBody()->Assign(Stmt), EInvalidCast);
  EXPECT_EQ(Loop->GetBody()->GetBlockCount(), 1) << "a refused assignment changes nothing";

  // A statement takes any block's text.
  Stmt->Assign(Loop);
  EXPECT_EQ(Stmt->GetText().GetCount(), 0);
  Loop->Assign(Loop);
  EXPECT_EQ(Loop->GetBody()->GetBlockCount(), 1) << "assigning a block to itself keeps it";
}

TEST(BlockTree, GuardsAgainstFreeingTheRootAndFixedSequences) {
  TAlgorithm Alg;
  try {
    Alg.GetRoot()->Free();
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Нельзя удалить корневой блок.");
  }
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Alg.GetRoot()->GetBody());
  EXPECT_THROW(If->GetYesBranch()->Free(), EAssertionFailed);
  EXPECT_THROW(Alg.GetRoot()->GetBody()->Free(), EAssertionFailed);
  EXPECT_EQ(If->GetBlockCount(), 2);
  EXPECT_EQ(Alg.GetBlockCount(), 2);
}

TEST(BlockTree, FreeingABlockFreesItsSubtreeAndNotifiesOncePerAspect) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  auto* Loop = TAlgBlock::Create<TUntilAlgBlock>(Body);
  auto* If = TAlgBlock::Create<TIfAlgBlock>(Loop->GetBody());
  AddStatement(If->GetYesBranch(), "A=1");
  AddStatement(If->GetNoBranch(), "A=2");
  EXPECT_EQ(Alg.GetBlockCount(), 5);
  Loop->SetSelected(true);

  TAspectLog Log(Alg);
  Alg.BeginModify();
  Loop->Free();
  EXPECT_TRUE(Log.Log.empty());
  Alg.EndModify();
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"content", "selection"}));
  EXPECT_EQ(Alg.GetBlockCount(), 1);
  EXPECT_EQ(Body->GetBlockCount(), 0);
  EXPECT_EQ(Alg.GetSelectedBlockCount(), 0);

  // Clear frees all children at once.
  AddStatement(Body, "B=1");
  AddStatement(Body, "B=2");
  Log.Log.clear();
  Body->Clear();
  EXPECT_EQ(Body->GetBlockCount(), 0);
  EXPECT_EQ(Alg.GetBlockCount(), 1);
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"content"}));
}

TEST(BlockTree, TextEditsAreContentChanges) {
  TAlgorithm Alg;
  auto* B = AddStatement(Alg.GetRoot()->GetBody(), "A=1");
  Alg.SetDirty(false);
  TCounter Content;
  Alg.AddListener(&Content);
  B->GetText().Add("B=2");
  B->GetText().Put(0, "A=3");
  EXPECT_EQ(Content.Count, 2);
  EXPECT_EQ(Content.LastSender, &Alg);
  EXPECT_TRUE(Alg.GetDirty());
  Alg.RemoveListener(&Content);
}

TEST(ColorScheme, DefaultsAndViewNotices) {
  TAlgorithm Alg;
  TAlgColorScheme& S = Alg.GetColorScheme();
  EXPECT_EQ(S.GetPenColor(), 0x000000u);
  EXPECT_EQ(S.GetBlockColor(), 0xFFFFFFu);
  EXPECT_EQ(S.GetSelectedBlockColor(), 0xFF0000u);
  EXPECT_EQ(S.GetSemiselectedBlockColor(), 0xFFFF00u);
  EXPECT_EQ(S.GetSelectedBlockTextColor(), 0xFFFFFFu);

  TAspectLog Log(Alg);
  const uint64_t View = Alg.GetViewVersion();
  S.SetPenColor(0x000000);
  EXPECT_TRUE(Log.Log.empty()) << "an equal value is no change";
  S.SetBlockColor(0x00FF00);
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"view"}));
  EXPECT_EQ(Alg.GetViewVersion(), View + 1);

  TAlgColorScheme Same(nullptr);
  Same.Assign(S); // no algorithm: nobody to tell
  Log.Log.clear();
  S.Assign(Same);
  EXPECT_EQ(Log.Log, (std::vector<std::string>{"view"}))
      << "Assign notifies once even when nothing differs";
  EXPECT_FALSE(Alg.GetDirty()) << "colours are no content";
}

TEST(Registry, FindsRegisteredClassesByNameIgnoringCase) {
  EXPECT_EQ(AlgBlockClassCount(), 6);
  const char* Order[] = {"TBasicAlgBlock", "TIOAlgBlock",    "TIfAlgBlock",
                         "TWhileAlgBlock", "TUntilAlgBlock", "TForAlgBlock"};
  for (int I = 0; I < 6; ++I)
    EXPECT_STREQ(AlgBlockClasses(I)->ClassName(), Order[I]);

  EXPECT_EQ(AlgFindBlockClass("ifalgblock"), &TIfAlgBlock::Class);
  EXPECT_EQ(AlgFindBlockClass("ForAlgBlock"), &TForAlgBlock::Class);
  for (const char* Missing : {"CompoundAlgBlock", "RootAlgBlock", "TIfAlgBlock", ""}) {
    try {
      AlgFindBlockClass(Missing);
      FAIL() << Missing;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "AlgBlock class \"T" + std::string(Missing) + "\" not found.");
    }
  }

  // A class found by name makes blocks of that class.
  TAlgorithm Alg;
  TAlgBlock* B = AlgFindBlockClass("whilealgblock")->Create(Alg.GetRoot()->GetBody());
  EXPECT_STREQ(B->ClassName(), "TWhileAlgBlock");
  EXPECT_TRUE(B->GetClass()->InheritsFrom(&TContainerAlgBlock::Class));
  EXPECT_FALSE(B->GetClass()->InheritsFrom(&TIfAlgBlock::Class));
}
