#include "Flowjog_FlowjoggerForm.h"

#include "Corekit/ui/UiFonts.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Main.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace Deskbay {

TFlowjoggerForm::TFlowjoggerForm(QWidget* Parent) : TAlgForm(Parent) {
  setObjectName(QStringLiteral("FlowjoggerForm"));
  // The client area: the flowchart 280 wide beside the 209-wide panel, and
  // as high as the panel's contents.
  resize(489, 443);
  AlgEditor->SetEditable(false);
  pnlControls->setFixedWidth(209);

  auto* Layout = new QVBoxLayout(pnlControls);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  WatchesFrame = new TWatchFrame(pnlControls);
  WatchesFrame->setObjectName(QStringLiteral("WatchesFrame"));
  WatchesFrame->setFixedHeight(97);
  Layout->addWidget(WatchesFrame);

  ConsoleFrame = new TAlgConsoleFrame(pnlControls);
  ConsoleFrame->setObjectName(QStringLiteral("ConsoleFrame"));
  ConsoleFrame->setFixedHeight(91);
  Layout->addWidget(ConsoleFrame);

  lblCanvas = new QLabel(QStringLiteral(" Окно графики"), pnlControls);
  lblCanvas->setObjectName(QStringLiteral("lblCanvas"));
  QFont Caption = DefaultUiFont();
  Caption.setBold(true);
  lblCanvas->setFont(Caption);
  lblCanvas->setFixedHeight(20);
  lblCanvas->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Layout->addWidget(lblCanvas);

  CanvasFrame = new TAlgCanvasFrame(pnlControls);
  CanvasFrame->setObjectName(QStringLiteral("CanvasFrame"));
  CanvasFrame->setFixedHeight(232);
  // The whole picture, one pixel per pixel, with room for the labels.
  CanvasFrame->pbxCanvas->setGeometry(17, 0, 181, 181);
  CanvasFrame->cbGrid->move(16, 200);
  Layout->addWidget(CanvasFrame);
  Layout->addStretch(1);
}

TFlowjoggerForm::~TFlowjoggerForm() {
  SetMachine(nullptr);
}

void TFlowjoggerForm::SetMachine(TAlgMachine* Machine) {
  if (Machine == FMachine)
    return;
  FMachine = Machine;
  WatchesFrame->SetVars(Machine ? &Machine->GetStorage() : nullptr);
  ConsoleFrame->SetConsole(Machine ? &Machine->GetConsole() : nullptr);
  CanvasFrame->SetCanvas(Machine ? &Machine->GetCanvas() : nullptr);
  SelectCurrentBlock();
}

// The current block is shown through the algorithm's own selection, so every
// view of the document highlights it; the bracket makes the flowchart lay
// itself out once.
void TFlowjoggerForm::SelectCurrentBlock() {
  TAlgorithm* Algorithm = GetAlgorithm();
  if (!Algorithm || !FMachine)
    return;
  TAlgBlock* Current = FMachine->GetCurrentBlock();
  {
    TModifyGuard Guard(*Algorithm);
    Algorithm->UnselectAll();
    if (Current)
      Current->SetSelected(true);
  }
  // Scrolled to after the bracket, where the new picture is drawn.
  if (Current)
    AlgEditor->MakeVisible(Current);
}

void TFlowjoggerForm::FormResize() {
  CanvasFrame->DrawLabels();
}

void TFlowjoggerForm::resizeEvent(QResizeEvent* Event) {
  TAlgForm::resizeEvent(Event);
  FormResize();
}

} // namespace Deskbay
