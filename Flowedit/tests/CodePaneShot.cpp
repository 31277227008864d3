// Pictures of the code pane on the current display, for a person to look
// at: the constructor with the pane in each language, one block selected,
// and the debugger in the middle of a run with the pane beside the chart.
//
//   FloweditCodePaneShot OUTDIR
//
// Writes constructor-python.png, constructor-pascal.png, constructor-cpp.png
// and debugger-step.png into OUTDIR.

#include "Flowedit/Flowedit_CodePane.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QSplitter>
#include <QTest>

#include <iostream>
#include <string>

using namespace Deskbay;

namespace {

// Sums the numbers 1..N; prints the sum when it is even, else N.
TAlgBlock* Sum(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(R, {"N=5", "S=0"});
  TAlgBlock* For = TForAlgBlock::Class.CreateWithLines(R, {"I=1,N,1"});
  TAlgBlock* Step = TBasicAlgBlock::Class.CreateWithLines(
      static_cast<TContainerAlgBlock*>(For)->GetBody(), {"S=S+I"});
  TAlgBlock* If = TIfAlgBlock::Class.CreateWithLines(R, {"S MOD 2 = 0"});
  TIOAlgBlock::Class.CreateWithLines(If->GetBlocks(0), {"Вывод S"});
  TIOAlgBlock::Class.CreateWithLines(If->GetBlocks(1), {"Вывод N"});
  return Step;
}

void Save(QWidget& W, const QString& Dir, const char* Name) {
  W.raise();
  QTest::qWait(300);
  const QString File = Dir + "/" + Name;
  if (!W.grab().save(File))
    std::cerr << "not written: " << File.toStdString() << "\n";
}

} // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  if (argc < 2) {
    std::cerr << "usage: FloweditCodePaneShot OUTDIR [PRIME_COUNT.alg]\n";
    return 2;
  }
  const QString Dir = QString::fromLocal8Bit(argv[1]);

  TAlgorithm Alg;
  TAlgBlock* Step = Sum(Alg);
  {
    TAlgConstructorForm Form;
    Form.setWindowTitle(QStringLiteral("Алгоритм"));
    Form.resize(1000, 560);
    Form.SetAlgorithm(&Alg);
    Form.SetCodePaneVisible(true);
    {
      TModifyGuard Guard(Alg);
      Step->SetSelected(true);
    }
    Form.move(20, 20);
    Form.show();
    if (!QTest::qWaitForWindowExposed(&Form))
      std::cerr << "window not shown\n";
    Form.GetCodePane()->SetLanguage(TCodeLanguage::Python);
    Save(Form, Dir, "constructor-python.png");
    Form.GetCodePane()->SetLanguage(TCodeLanguage::Pascal);
    Save(Form, Dir, "constructor-pascal.png");
    Form.GetCodePane()->SetLanguage(TCodeLanguage::Cpp);
    Save(Form, Dir, "constructor-cpp.png");
  }

  // The prime count of examples/ in both styles, when its file is given.
  if (argc >= 3) {
    TAlgorithm Primes;
    LoadAlgorithmFile(Primes, argv[2]);
    TAlgConstructorForm Form;
    Form.setWindowTitle(QStringLiteral("prime_count"));
    Form.resize(1100, 700);
    Form.SetAlgorithm(&Primes);
    Form.SetCodePaneVisible(true);
    Form.move(20, 20);
    Form.show();
    if (!QTest::qWaitForWindowExposed(&Form))
      std::cerr << "window not shown\n";
    for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
      Form.GetCodePane()->SetLanguage(L);
      Form.GetCodePane()->SetStyle(TCodeStyleKind::Lesson);
      Save(Form, Dir, ("primes-lesson-" + std::string(CodeLanguageName(L)) + ".png").c_str());
      Form.GetCodePane()->SetStyle(TCodeStyleKind::Exact);
      Save(Form, Dir, ("primes-exact-" + std::string(CodeLanguageName(L)) + ".png").c_str());
    }
  }

  TAlgMachine Machine;
  Machine.InitComplete();
  Machine.SetCurrentBlock(Alg.GetRoot());
  TFlowjoggerForm Form;
  Form.setWindowTitle(QStringLiteral("Отладчик"));
  Form.resize(1100, 560);
  Form.SetAlgorithm(&Alg);
  Form.SetCodePaneVisible(true);
  Form.SetMachine(&Machine);
  // Into the loop's second pass: the block about to run is S=S+I.
  for (int I = 0; I < 40 && Machine.GetState() == amsReady; ++I) {
    Machine.Step();
    if (Machine.GetCurrentBlock() == Step && I > 5)
      break;
  }
  Form.SelectCurrentBlock();
  Form.move(20, 20);
  Form.show();
  if (!QTest::qWaitForWindowExposed(&Form))
    std::cerr << "window not shown\n";
  Save(Form, Dir, "debugger-step.png");
  return 0;
}
