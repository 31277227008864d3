#include "Flowjog_FlowjoggerForm.h"

#include "Flowedit/Flowedit_CodePane.h"

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

  lblStatus = new QLabel(pnlControls);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  QFont Bold = DefaultUiFont();
  Bold.setBold(true);
  lblStatus->setFont(Bold);
  lblStatus->setWordWrap(true);
  lblStatus->setMinimumHeight(20);
  lblStatus->setContentsMargins(3, 2, 3, 2);
  lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Layout->addWidget(lblStatus);

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
  lblCanvas->setFont(Bold);
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
  GetCodePane()->SetRunningBlock(Current);
  // Scrolled to after the bracket, where the new picture is drawn.
  if (Current)
    AlgEditor->MakeVisible(Current);
}

std::string AlgRunStatusText(const TAlgRunStatus& Status) {
  const char* Phase = "";
  switch (Status.Phase) {
  case rpStepping:
    Phase = "Пошаговое выполнение";
    break;
  case rpRunning:
    Phase = "Выполняется";
    break;
  case rpDone:
    Phase = "Выполнение завершено";
    break;
  case rpError:
    Phase = "Ошибка";
    break;
  case rpStopped:
    Phase = "Остановлено";
    break;
  }
  std::string Text = std::string(Phase) + ". Шагов: " + std::to_string(Status.Steps);
  if (Status.Phase == rpError && !Status.Error.empty())
    Text += "\n" + Status.Error;
  return Text;
}

void TFlowjoggerForm::ShowRunStatus(const TAlgRunStatus& Status) {
  lblStatus->setText(QString::fromStdString(AlgRunStatusText(Status)));
  // An error stands out as its block does.
  lblStatus->setStyleSheet(Status.Phase == rpError ? QStringLiteral("color: #c00000;") : QString());
}

void TFlowjoggerForm::FormResize() {
  CanvasFrame->DrawLabels();
}

void TFlowjoggerForm::resizeEvent(QResizeEvent* Event) {
  TAlgForm::resizeEvent(Event);
  FormResize();
}

} // namespace Deskbay
