// Shows the debugger form in the middle of a run on the current display, so
// that a person can look at it: an algorithm that loops, prints and draws,
// the grid switched on.
//
//   FlowjogShot [STEPS [SECONDS [PNG [MARKS]]]]
//
// STEPS (default 40) are taken before the window opens; it closes after
// SECONDS (default 10). With PNG the window's own picture is written there too.
// MARKS "teach" adds breakpoints, the origin of Y, the changed values marked
// and a widened panel; "error" an error block with its explanation.

#include "Flowjog/Flowjog_FlowjoggerForm.h"

#include "Flowrun/Flowrun_Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QTableWidget>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <string>

using namespace Deskbay;

namespace {

// A sine wave across the canvas over a sun and a house, one segment and one
// printed line per pass.
TAlgBlock* Wave(TAlgorithm& A) {
  TAlgBlock* R = A.GetRoot()->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(
      R,
      {"I=0", "крг(16,16),2,12,14", "мну(2,2)-(8,2)-(8,6)-(2,6),0,12", "мну(1,6)-(9,6)-(5,9),0,6"});
  TAlgBlock* While = TWhileAlgBlock::Class.CreateWithLines(R, {"I<20"});
  TAlgBlock* Body = static_cast<TContainerAlgBlock*>(While)->GetBody();
  TBasicAlgBlock::Class.CreateWithLines(
      Body, {"Y=10+4*SIN(I/2)", "Z=10+4*SIN((I+1)/2)", "отр(I,Y)-(I+1,Z),1"});
  TIOAlgBlock::Class.CreateWithLines(Body, {"Вывод I, Y"});
  TBasicAlgBlock::Class.CreateWithLines(Body, {"I=I+1"});
  TIOAlgBlock::Class.CreateWithLines(R, {"Вывод I"});
  return Body;
}

} // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  const int Steps = argc > 1 ? std::atoi(argv[1]) : 40;
  const int Seconds = argc > 2 ? std::atoi(argv[2]) : 10;

  TAlgorithm Alg;
  TAlgBlock* Body = Wave(Alg);
  TAlgMachine Machine;
  Machine.InitComplete();
  Machine.SetCurrentBlock(Alg.GetRoot());

  TFlowjoggerForm Form;
  Form.setWindowTitle(QStringLiteral("Отладчик"));
  Form.SetAlgorithm(&Alg);
  Form.SetMachine(&Machine);
  Form.CanvasFrame->cbGrid->click();
  for (int I = 0; I < Steps && Machine.GetState() == amsReady; ++I) {
    Machine.Step();
    Form.SelectCurrentBlock();
  }
  const std::string Marks = argc > 4 ? argv[4] : "";
  if (Marks == "teach") {
    Form.resize(Form.width() + 200, Form.height() + 200);
    Form.SetPanelWidth(409);
    TAlgBlock* Root = Alg.GetRoot()->GetBody();
    Form.SetBreakpoints({{Root->GetBlocks(1), false}, {Body->GetBlocks(1), true}});
    Form.SetOriginBlock(Body->GetBlocks(0));
    Form.WatchesFrame->SetChangedNames({"Y", "Z"});
    Form.WatchesFrame->lvWatch->selectRow(1);
    Form.WatchesFrame->ShowNote("Y получило значение на шаге 38 (выделено синим)");
  } else if (Marks == "error") {
    Form.SetErrorBlock(Body->GetBlocks(2));
    Form.ShowRunStatus({rpError, Steps, "Деление на нуль."});
    Form.ShowExplanation("I = 5, Y = 0\nВ блоке \"I=I+1\" делили на Y, а Y равно нулю.");
  }
  Form.move(40, 40);
  Form.show();
  if (argc > 3)
    QTimer::singleShot(1000, &Form, [&] { Form.grab().save(QString::fromLocal8Bit(argv[3])); });
  QTimer::singleShot(Seconds * 1000, &App, &QApplication::quit);
  const int Result = App.exec();
  return Result;
}
