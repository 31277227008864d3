// Lines compiled once must behave exactly as lines read anew every time.

#include "MachineTestUtils.h"

#include "Corekit/tests/CompiledDifferential.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Processors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

// The text of the error, or the bits of the value.
template <class F> std::string Outcome(F&& Evaluate) {
  try {
    const double Value = Evaluate();
    char Bits[sizeof Value];
    std::memcpy(Bits, &Value, sizeof Value);
    return "value " + std::string(Bits, sizeof Bits);
  } catch (const Exception& E) {
    return "error " + E.Message();
  }
}

TEST(CompiledLines, StorageAnswersAsForTheText) {
  const char* Env = std::getenv("DESKBAY_DIFFERENTIAL_COUNT");
  const int Count = Env ? std::atoi(Env) / 2 : 5000;
  TExpressionGenerator Generator(4);
  std::mt19937 Random(5);
  const std::vector<std::string> Names = TExpressionGenerator::DefinedNames();
  const std::vector<double> Values = TExpressionGenerator::Values();
  int Failures = 0;
  for (int I = 0; I < Count && Failures < 10; ++I) {
    // Compiled while the storage is empty: the slots must follow the
    // variables set afterwards.
    TVarStorage Storage;
    const std::string Expr = Generator.Expression();
    const std::string Cond = Generator.Condition();
    TAlgExpression CompiledExpr;
    TAlgCondition CompiledCond;
    Storage.Compile(Expr, CompiledExpr);
    Storage.CompileCondition(Cond, CompiledCond);
    for (const std::string& Name : Names)
      if (Random() % 8 != 0)
        Storage.SetVars(Random() % 2 ? Name : LowerCaseRu(Name), Values[Random() % Values.size()]);
    if (Random() % 4 == 0)
      Storage.DeleteVar(Names[Random() % Names.size()]);

    const std::string ByText = Outcome([&] { return Storage.Evaluate(Expr); });
    const std::string ByCode = Outcome([&] { return Storage.Evaluate(CompiledExpr); });
    if (ByText != ByCode) {
      ++Failures;
      ADD_FAILURE() << Expr << "\n" << ByText << "\n" << ByCode;
    }
    const std::string CondByText =
        Outcome([&] { return Storage.EvaluateCondition(Cond) ? 1.0 : 0.0; });
    const std::string CondByCode =
        Outcome([&] { return Storage.EvaluateCondition(CompiledCond) ? 1.0 : 0.0; });
    if (CondByText != CondByCode) {
      ++Failures;
      ADD_FAILURE() << Cond << "\n" << CondByText << "\n" << CondByCode;
    }
  }
}

TEST(CompiledLines, SlotsFollowTheVariables) {
  TVarStorage Storage;
  TAlgExpression E;
  Storage.Compile("x+1", E);
  const auto Error = [&] { return Outcome([&] { return Storage.Evaluate(E); }); };
  EXPECT_EQ(Error(), "error Ошибка при вычислении \"x+1\".\r\nПеременная \"x\" не определена.");
  Storage.SetVars("X", 2);
  EXPECT_EQ(Storage.Evaluate(E), 3);
  Storage.SetVars("A", 1); // an insertion before X moves it in the list
  Storage.SetVars("x", 5);
  EXPECT_EQ(Storage.Evaluate(E), 6);
  EXPECT_EQ(Storage.GetVarNames(1), "X");
  Storage.DeleteVar("X");
  EXPECT_EQ(Error(), "error Ошибка при вычислении \"x+1\".\r\nПеременная \"x\" не определена.");

  // Storing through a slot is SetVars of the upper-case name.
  const int Slot = Storage.GetSlot("b");
  EXPECT_THROW(Storage.GetSlotValue(Slot), Exception);
  Storage.SetSlotValue(Slot, 4);
  EXPECT_EQ(Storage.GetVarNames(1), "B");
  EXPECT_EQ(Storage.GetVars("b"), 4);
  EXPECT_EQ(Storage.GetSlotValue(Slot), 4);
}

TEST(CompiledLines, AChangedTextIsReadAgain) {
  TAlgorithm Alg;
  TAlgBlock* Loop = AddLoop(Alg.GetRoot()->GetBody(), TWhileAlgBlock::Class, "X<100");
  TAlgBlock* Body =
      Add(static_cast<TContainerAlgBlock*>(Loop)->GetBody(), TBasicAlgBlock::Class, {"X=X+1"});
  TRun R(Alg);
  R.Machine.GetStorage().SetVars("X", 0);
  for (int I = 0; I < 5; ++I)
    R.Machine.Step(); // root, then test and body twice
  EXPECT_EQ(R.Var("X"), 2);
  Body->GetText().Put(0, "X=X+10");
  Loop->GetText().Put(0, "X<30");
  EXPECT_EQ(R.RunToEnd(), "");
  EXPECT_EQ(R.Var("X"), 32);

  // A line that turns from an assignment into something no device takes.
  TRun Again(Alg);
  Again.Machine.GetStorage().SetVars("X", 0);
  Again.Machine.Step();
  Again.Machine.Step();
  Body->GetText().Put(0, "X+1");
  EXPECT_EQ(Again.RunToEnd(), "Синтаксическая ошибка в строке \"X+1\".");
}

TEST(CompiledLines, ErrorsComeAtTheSameMomentAsBefore) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  TAlgBlock* For = AddLoop(Body, TForAlgBlock::Class, "I = 1, 3, 1");
  Add(static_cast<TContainerAlgBlock*>(For)->GetBody(), TBasicAlgBlock::Class,
      {"A=I", "  ", "B=A/(3-I)", "C=1"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "Ошибка при вычислении \"A/(3-I)\".\r\n");
  // The third pass failed on its second line: A was set, C stays from the
  // second pass.
  EXPECT_EQ(R.Var("A"), 3);
  EXPECT_EQ(R.Var("B"), 2);
  EXPECT_EQ(R.Var("C"), 1);
  EXPECT_EQ(R.Machine.GetCurrentBlock()->GetText().Get(0), "A=I");
}

TEST(CompiledLines, OutputStatementsInOrderWithTheirErrors) {
  TAlgorithm Alg;
  TCompoundAlgBlock* Body = Alg.GetRoot()->GetBody();
  TAlgBlock* For = AddLoop(Body, TForAlgBlock::Class, "I=1,2,1");
  TAlgBlock* IO = Add(static_cast<TContainerAlgBlock*>(For)->GetBody(), TIOAlgBlock::Class,
                      {"Вывод I, I*2", " ", "вывод 10/(2-I), I"});
  TRun R(Alg);
  EXPECT_EQ(R.RunToEnd(), "Ошибка при вычислении \"10/(2-I)\".\r\n");
  EXPECT_EQ(R.Console(), (std::vector<std::string>{"1 2", "10 1", "2 4"}));

  // The block's new text is read on its next pass.
  TRun Again(Alg);
  Again.Machine.Step();
  Again.Machine.Step();
  Again.Machine.Step(); // the first pass of the output block
  IO->GetText().SetLines({"Вывод I+100", "Вывести I"});
  EXPECT_EQ(Again.RunToEnd(), "Синтаксическая ошибка в строке \"Вывести I\".");
  EXPECT_EQ(Again.Console(), (std::vector<std::string>{"1 2", "10 1", "102"}));
}

bool SamePicture(const TBitmap& A, const TBitmap& B) {
  for (int Y = 0; Y < A.GetHeight(); ++Y)
    for (int X = 0; X < A.GetWidth(); ++X)
      if (A.GetPixel(X, Y) != B.GetPixel(X, Y))
        return false;
  return true;
}

// Each drawing line on a loop of passes: compiled in the block, read as text
// by the canvas itself on a second machine with the same variables. The same
// pixels, pen and error after every pass.
TEST(CompiledLines, DrawingStatementsAsReadFromText) {
  const std::vector<std::string> Lines = {
      "тчк(I,I),I+3",
      "ОТР (I MOD 20,0)-(I MOD 13,19) , 1",
      "отр(I,0)-(20-I,20),I*4",
      "крг(10,10),I,2,I+1",
      "крг(10,10),2,3,I*5",
      "мну(0,0)-(I,10)-(10,I),I,15-I",
      "мну(0,0)-(I,10)-(10,I)-(5,5),1,2",
      "дуг(0,0)-(I,10)-(20,0),I",
      "зкр(I+1,1),I+2",
      "отр(10/(3-I),0)-(0,0),1",
      "тчк(Q,0),1",
      "отр(1,1)-(2,2)",
      "крг(10,10),2,1",
      "тчк(I*1E9,0),1",
  };
  for (const std::string& Line : Lines) {
    TAlgorithm Alg;
    TAlgBlock* For = AddLoop(Alg.GetRoot()->GetBody(), TForAlgBlock::Class, "I=-1,5,1");
    Add(static_cast<TContainerAlgBlock*>(For)->GetBody(), TBasicAlgBlock::Class, {Line});
    TRun Compiled(Alg);
    TAlgMachine Text;
    Text.InitComplete();
    std::string CompiledError, TextError;
    while (Compiled.Machine.GetState() == amsReady && CompiledError.empty()) {
      const TAlgBlock* Next = Compiled.Machine.GetCurrentBlock();
      const bool Drawing = Next && Next->GetText().GetCount() > 0 && Next->GetText().Get(0) == Line;
      if (Drawing) {
        // The text machine draws with the same I.
        Text.GetStorage().SetVars("I", Compiled.Var("I"));
        try {
          Text.GetCanvas().ExecLine(Line);
        } catch (const Exception& E) {
          TextError = E.Message();
        }
      }
      try {
        Compiled.Machine.Step();
      } catch (const Exception& E) {
        CompiledError = E.Message();
      }
      if (Drawing) {
        ASSERT_EQ(CompiledError, TextError) << Line;
        ASSERT_TRUE(
            SamePicture(Compiled.Machine.GetCanvas().GetPicture(), Text.GetCanvas().GetPicture()))
            << Line << " at I=" << Compiled.Var("I");
        ASSERT_EQ(Compiled.Machine.GetCanvas().GetCanvas().GetPen().Color,
                  Text.GetCanvas().GetCanvas().GetPen().Color)
            << Line;
      }
      if (!TextError.empty())
        break;
    }
  }
}

} // namespace
