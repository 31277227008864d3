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

  lblExplanation = new QLabel(pnlControls);
  lblExplanation->setObjectName(QStringLiteral("lblExplanation"));
  lblExplanation->setWordWrap(true);
  lblExplanation->setContentsMargins(3, 0, 3, 3);
  lblExplanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblExplanation->setTextFormat(Qt::PlainText);
  lblExplanation->hide();
  Layout->addWidget(lblExplanation);

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

// The current block is marked over the picture, not selected: the
// algorithm's selection belongs to the pupil, and a mark costs no new layout.
void TFlowjoggerForm::SelectCurrentBlock() {
  TAlgorithm* Algorithm = GetAlgorithm();
  if (!Algorithm || !FMachine)
    return;
  TAlgBlock* Current = FMachine->GetCurrentBlock();
  TChartMarkers Markers = AlgEditor->GetMarkers();
  Markers.Next = Current;
  AlgEditor->SetMarkers(Markers);
  if (Current)
    AlgEditor->MakeVisible(Current);
}

void TFlowjoggerForm::SetErrorBlock(const TAlgBlock* Block) {
  TChartMarkers Markers = AlgEditor->GetMarkers();
  Markers.Error = Block;
  AlgEditor->SetMarkers(Markers);
}

void TFlowjoggerForm::SetOriginBlock(const TAlgBlock* Block) {
  TChartMarkers Markers = AlgEditor->GetMarkers();
  Markers.Origin = Block;
  AlgEditor->SetMarkers(Markers);
}

void TFlowjoggerForm::SetBreakpoints(const std::map<const TAlgBlock*, bool>& Breakpoints) {
  TChartMarkers Markers = AlgEditor->GetMarkers();
  Markers.Breakpoints = Breakpoints;
  AlgEditor->SetMarkers(Markers);
}

void TFlowjoggerForm::ShowExplanation(const std::string& Text) {
  lblExplanation->setText(QString::fromStdString(Text));
  lblExplanation->setVisible(!Text.empty());
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
