// Program text into the algorithm window, offscreen: plain text pasted into
// the chart becomes blocks in one undo step or is refused with nothing
// changed, and "Открыть программу..." opens the chart in a new window.

#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_ProgramImport.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

#include <unistd.h>

#include <fstream>

namespace Deskbay::Testing {
namespace {

class ProgramImportTest : public TFlowappTest {};

std::string Tree(const TAlgorithm& Alg) {
  std::string S;
  for (const std::string& L : BlockTreeLines(Alg.GetRoot()->GetBody()))
    S += L + "\n";
  return S;
}

TEST_F(ProgramImportTest, PastedProgramTextBecomesBlocksAfterTheSelectionInOneStep) {
  StartShell();
  TAlgEditorForm* Window = AlgWindow();
  TAlgorithm& Alg = Window->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}, {"B=2"}});
  Alg.SelectBlock(Alg.GetRoot()->GetBody()->GetBlocks(0), true);
  QGuiApplication::clipboard()->setText("for i in range(1, 4):\n    print(i * i)\n");
  Flush();
  ASSERT_TRUE(Window->CanPaste());
  Window->Paste();
  EXPECT_EQ(Tree(Alg), "Блок вычислений: A=1\n"
                       "Цикл с параметром: I=1,3,1\n"
                       "  Ввод-вывод: Вывод I*I\n"
                       "Блок вычислений: B=2\n");
  EXPECT_TRUE(Alg.GetRoot()->GetBody()->GetBlocks(1)->GetSelected());
  Window->EditUndoExecute();
  EXPECT_EQ(Tree(Alg), "Блок вычислений: A=1\nБлок вычислений: B=2\n") << "one step";

  // Pascal and the text form read too.
  QGuiApplication::clipboard()->setText("x := 2; writeln(x);");
  Flush();
  Window->Paste();
  QGuiApplication::clipboard()->setText("Ввод-вывод: Ввод N\n");
  Flush();
  Window->Paste();
  EXPECT_EQ(Alg.GetBlockCount(), 1 + 2 + 2 + 1);
}

TEST_F(ProgramImportTest, TextThatIsNoProgramIsRefusedWithTheReasonAndNothingChanges) {
  StartShell();
  TAlgEditorForm* Window = AlgWindow();
  TAlgorithm& Alg = Window->GetAlgorithm();
  AddBlocks(Alg, {{"A=1"}});
  const std::string Before = Tree(Alg);
  QGuiApplication::clipboard()->setText("Дорогие ученики,\nзавтра контрольная.");
  Flush();
  const size_t Errors0 = Errors.size();
  Window->Paste();
  EXPECT_EQ(Tree(Alg), Before);
  ASSERT_EQ(Errors.size(), Errors0 + 1);
  EXPECT_EQ(Errors.back().rfind("Текст из буфера обмена, строка 1, столбец ", 0), 0u)
      << Errors.back();
  // A program the language cannot say: the reason, nothing pasted.
  QGuiApplication::clipboard()->setText("x = 1\nprint('x =', x)\n");
  Flush();
  Window->Paste();
  EXPECT_EQ(Tree(Alg), Before);
  EXPECT_NE(Errors.back().find("строка 2, столбец 7"), std::string::npos) << Errors.back();
}

TEST_F(ProgramImportTest, OpenProgramMakesANewUntitledWindowAndSaysTheNames) {
  StartShell();
  const std::string File = Home + "/sum.py";
  std::ofstream(File) << "total = 0\nfor i in range(1, 11):\n    total += i\nprint(total)\n";
  const int Windows = Shell->GetDocuments().GetCount();
  TAlgEditorForm* Opened = OpenProgramFile(*Shell, File);
  ASSERT_NE(Opened, nullptr);
  Flush();
  EXPECT_EQ(Shell->GetDocuments().GetCount(), Windows + 1);
  EXPECT_FALSE(Opened->GetHasFileName());
  EXPECT_EQ(Tree(Opened->GetAlgorithm()), "Блок вычислений: T=0\n"
                                          "Цикл с параметром: I=1,10,1\n"
                                          "  Блок вычислений: T=T+I\n"
                                          "Ввод-вывод: Вывод T\n");
  auto* Names = Opened->findChild<QMessageBox*>("msgImportedNames");
  ASSERT_NE(Names, nullptr);
  EXPECT_NE(Names->text().indexOf("total → T"), -1);
  Names->close();

  // A refusal opens nothing.
  const std::string Bad = Home + "/bad.pas";
  std::ofstream(Bad) << "begin\n  writeln('x');\nend.\n";
  EXPECT_THROW(OpenProgramFile(*Shell, Bad), Exception);
  Flush();
  EXPECT_EQ(Shell->GetDocuments().GetCount(), Windows + 1);
}

} // namespace
} // namespace Deskbay::Testing
