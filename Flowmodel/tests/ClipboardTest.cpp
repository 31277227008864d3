#include "ModelTestUtils.h"

#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Describe.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"

#include <gtest/gtest.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// Body: A, loop L { inner }, C.
struct TSource {
  TSource() {
    A = AddStatement(Body(Alg), "A");
    Loop = TAlgBlock::Create<TWhileAlgBlock>(Body(Alg));
    Loop->GetText().Add("L");
    AddStatement(Loop->GetBody(), "inner");
    C = AddStatement(Body(Alg), "C");
  }
  TAlgorithm Alg;
  TAlgBlock *A, *C;
  TWhileAlgBlock* Loop;
};

} // namespace

TEST(Clipboard, CopiedBlocksArePastedInTheirOrderAfterTheSelectedBlock) {
  TSource S;
  // Selected back to front: the copy keeps the order of the sequence.
  S.C->SetSelected(true);
  S.Loop->SetSelected(true);
  const std::vector<TAlgBlock*> Copied = AlgBlocksToCopy(S.Alg);
  ASSERT_EQ(Copied, (std::vector<TAlgBlock*>{S.Loop, S.C}));
  const std::vector<uint8_t> Clip = AlgBlocksToBytes(Copied);

  TAlgorithm Other;
  AddStatement(Body(Other), "X")->SetSelected(true);
  AddStatement(Body(Other), "Y");
  const std::vector<TAlgBlock*> Pasted = AlgPasteBytes(Other, Clip);
  EXPECT_EQ(FirstLines(Body(Other)), (std::vector<std::string>{"X", "L", "C", "Y"}));
  EXPECT_EQ(FirstLines(static_cast<TWhileAlgBlock*>(Pasted[0])->GetBody()),
            std::vector<std::string>{"inner"});
  EXPECT_EQ(Other.GetBlockCount(), 6);
  std::vector<TAlgBlock*> Selected;
  Other.GetSelectedBlocks(Selected);
  EXPECT_EQ(Selected, Pasted);

  // Nothing selected: at the end of the body; a selected sequence: at its end.
  Other.UnselectAll();
  AlgPasteBytes(Other, Clip);
  EXPECT_EQ(FirstLines(Body(Other)).back(), "C");
  Other.UnselectAll();
  auto* Branch = TAlgBlock::Create<TIfAlgBlock>(Body(Other));
  AddStatement(Branch->GetNoBranch(), "N");
  Branch->GetNoBranch()->SetSelected(true);
  AlgPasteBytes(Other, Clip);
  EXPECT_EQ(FirstLines(Branch->GetNoBranch()), (std::vector<std::string>{"N", "L", "C"}));
}

TEST(Clipboard, ASelectedSequenceOrRootIsCopiedAsWhatItHolds) {
  TSource S;
  S.Loop->GetBody()->SetSelected(true);
  EXPECT_EQ(AlgBlocksToCopy(S.Alg).size(), 1u);
  S.Alg.UnselectAll();
  S.Alg.GetRoot()->SetSelected(true);
  EXPECT_EQ(AlgBlocksToCopy(S.Alg), (std::vector<TAlgBlock*>{S.A, S.Loop, S.C}));
  S.Alg.UnselectAll();
  EXPECT_TRUE(AlgBlocksToCopy(S.Alg).empty());
}

TEST(Clipboard, APasteThatCannotBeCompletedChangesNothing) {
  TSource S;
  S.Alg.SelectAll();
  const std::vector<uint8_t> Clip = AlgBlocksToBytes(AlgBlocksToCopy(S.Alg));

  // Four blocks do not fit where only two more may go.
  TAlgorithm Full;
  for (int K = 0; K < AlgMaxBlockCount - 3; ++K)
    AddStatement(Body(Full), "F");
  ASSERT_EQ(Full.GetBlockCount(), AlgMaxBlockCount - 2);
  Body(Full)->GetBlocks(0)->SetSelected(true);
  const std::vector<uint8_t> Before = Bytes(Full);
  try {
    AlgPasteBytes(Full, Clip);
    FAIL() << "pasted past the block limit";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Слишком много блоков (предел = 100).");
  }
  EXPECT_EQ(Bytes(Full), Before);
  EXPECT_EQ(Full.GetSelectedBlockCount(), 1);
  EXPECT_EQ(Full.GetSelectedBlocksProperty(0), Body(Full)->GetBlocks(0));

  // Bytes that are not blocks, or a damaged record, are refused the same way.
  for (std::vector<uint8_t> Damaged :
       {std::vector<uint8_t>{'h', 'i'}, std::vector<uint8_t>(Clip.begin(), Clip.end() - 5)}) {
    EXPECT_THROW(AlgPasteBytes(Full, Damaged), Exception);
    EXPECT_EQ(Bytes(Full), Before);
  }
}

TEST(Clipboard, DamagedDataIsRefusedInRussianSayingWhatIsWrong) {
  TSource S;
  S.Alg.SelectAll();
  const std::vector<uint8_t> Clip = AlgBlocksToBytes(AlgBlocksToCopy(S.Alg));
  TAlgorithm Target;
  const std::vector<uint8_t> Before = Bytes(Target);
  auto PasteMessage = [&](const std::vector<uint8_t>& Data) {
    try {
      AlgPasteBytes(Target, Data);
    } catch (const Exception& E) {
      return E.Message();
    }
    return std::string("pasted");
  };
  EXPECT_EQ(PasteMessage(std::vector<uint8_t>(Clip.begin(), Clip.begin() + Clip.size() / 2)),
            "Не удалось вставить блоки из буфера обмена:\r\n"
            "данные обрываются посреди записи алгоритма.");
  // The first record's magic spoilt after the header that names it.
  std::vector<uint8_t> Spoilt = Clip;
  Spoilt[29] = 'X';
  EXPECT_EQ(PasteMessage(Spoilt),
            "Не удалось вставить блоки из буфера обмена:\r\n"
            "данные повреждены: записи алгоритма не согласуются между собой.");
  EXPECT_EQ(Bytes(Target), Before);
}

TEST(Clipboard, TheTextFormEscapesControlCharactersAsAlgtoolShowDoes) {
  TAlgorithm Alg;
  AddStatement(Body(Alg),
               std::string("A=1\x1B]0;title\x07") + "\rB=2" + std::string(1, '\0') + "C");
  AddStatement(Body(Alg), "Вывод \"\xFF\"");
  Alg.SelectAll();
  const std::string Text = AlgBlocksToText(AlgBlocksToCopy(Alg));
  EXPECT_EQ(Text, "Блок вычислений: A=1\\x1B]0;title\\x07\\x0DB=2\\x00C\n"
                  "Блок вычислений: Вывод \"\\xFF\"\n");
  for (char C : Text)
    EXPECT_TRUE(C == '\n' || static_cast<unsigned char>(C) >= 0x20) << static_cast<int>(C);
}
