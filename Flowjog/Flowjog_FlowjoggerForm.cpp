#include "Flowjog_FlowjoggerForm.h"

#include "Flowedit/Flowedit_CodePane.h"

#include "Corekit/ui/UiFonts.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Main.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace Deskbay {

namespace {

constexpr int PanelSizerWidth = 4;
constexpr int CanvasFrameHeight = 232; // the picture, the labels under it, the grid box

// The grid box's top under a picture grown by Grown pixels: below the
// labels, which are a line of the interface's font high.
int GridBoxTop(int Grown) {
  return 200 + Grown + qRound(13 * (UiFontScale() - 1));
}

// Where the picture starts in the canvas frame: right of the vertical
// axis's labels ("20"), 17 pixels at the usual font.
int CanvasLeft(const QWidget& Frame) {
  return std::max(17, QFontMetrics(Frame.font()).horizontalAdvance(QStringLiteral("20")) + 2);
}

// The canvas frame's height: the grid box at its own height, the usual
// margin under it.
int CanvasHeight(int Grown) {
  return std::max(CanvasFrameHeight + Grown + qRound(32 * (UiFontScale() - 1)), 0);
}

// The status line to a screen reader: a status bar whose name is the last
// announcement (what is to be heard) and whose description is the line as
// shown.
class TStatusLineAccessible : public QAccessibleWidget {
public:
  explicit TStatusLineAccessible(QWidget* W) : QAccessibleWidget(W, QAccessible::StatusBar) {}
  QString text(QAccessible::Text T) const override {
    const auto* Label = static_cast<QLabel*>(widget());
    if (T == QAccessible::Name)
      return Label->accessibleName().isEmpty() ? Label->text() : Label->accessibleName();
    if (T == QAccessible::Description)
      return Label->text();
    return QAccessibleWidget::text(T);
  }
};

QAccessibleInterface* StatusLineFactory(const QString& ClassName, QObject* Object) {
  if (ClassName == QLatin1String("QLabel") && Object->objectName() == QLatin1String("lblStatus") &&
      Object->isWidgetType())
    return new TStatusLineAccessible(static_cast<QWidget*>(Object));
  return nullptr;
}

} // namespace

TFlowjoggerForm::TFlowjoggerForm(QWidget* Parent) : TAlgForm(Parent) {
  setObjectName(QStringLiteral("FlowjoggerForm"));
  // The client area: the flowchart 280 wide beside the 209-wide panel, and
  // as high as the panel's contents.
  resize(489, 480);
  CreatePanel();
}

TFlowjoggerForm::TFlowjoggerForm(TAlgForm& Host) : TAlgForm(Host) {
  setObjectName(QStringLiteral("FlowjoggerForm"));
  CreatePanel();
}

void TFlowjoggerForm::CreatePanel() {
  AlgEditor->SetEditable(false);
  pnlControls->setFixedWidth(DefaultPanelWidth);

  // The frames in a box that scrolls when the panel is lower than they are
  // (a large desktop font or scale on a small screen), so none is cut.
  auto* Outer = new QVBoxLayout(pnlControls);
  Outer->setContentsMargins(0, 0, 0, 0);
  auto* Scroll = FPanelScroll = new QScrollArea(pnlControls);
  Scroll->setObjectName(QStringLiteral("sbxPanel"));
  Scroll->setFrameShape(QFrame::NoFrame);
  Scroll->setWidgetResizable(true);
  Scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Scroll->setFocusPolicy(Qt::NoFocus);
  Scroll->setBackgroundRole(QPalette::Window);
  Scroll->viewport()->setBackgroundRole(QPalette::Window);
  auto* Content = new QWidget(Scroll);
  Content->setObjectName(QStringLiteral("pnlFrames"));
  auto* Layout = new QVBoxLayout(Content);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  static const bool FactoryInstalled = [] {
    QAccessible::installFactory(StatusLineFactory);
    return true;
  }();
  (void)FactoryInstalled;
  lblStatus = new QLabel(pnlControls);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  // Named until the first announcement, so the line's own text changes
  // are no name changes: only announcements are heard.
  lblStatus->setAccessibleName(QStringLiteral("Строка состояния"));
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
  // Heights for the usual font, grown with a larger desktop font.
  const double Scale = UiFontScale();
  WatchesFrame->setFixedHeight(qRound(97 * Scale));
  Layout->addWidget(WatchesFrame);

  ConsoleFrame = new TAlgConsoleFrame(pnlControls);
  ConsoleFrame->setObjectName(QStringLiteral("ConsoleFrame"));
  ConsoleFrame->setFixedHeight(qRound(91 * Scale));
  Layout->addWidget(ConsoleFrame);

  lblCanvas = new QLabel(QStringLiteral(" Окно графики"), pnlControls);
  lblCanvas->setObjectName(QStringLiteral("lblCanvas"));
  lblCanvas->setFont(Bold);
  lblCanvas->setFixedHeight(qRound(20 * Scale));
  lblCanvas->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Layout->addWidget(lblCanvas);

  CanvasFrame = new TAlgCanvasFrame(pnlControls);
  CanvasFrame->setObjectName(QStringLiteral("CanvasFrame"));
  CanvasFrame->setFixedHeight(CanvasHeight(0));
  // The whole picture, one pixel per pixel, with room for the labels.
  CanvasFrame->pbxCanvas->setGeometry(CanvasLeft(*CanvasFrame), 0, 181, 181);
  CanvasFrame->cbGrid->move(16, GridBoxTop(0));
  Layout->addWidget(CanvasFrame);
  Layout->addStretch(1);
  Scroll->setWidget(Content);
  Outer->addWidget(Scroll);
  // A scroll bar that comes widens the panel by its width, so the frames
  // keep theirs.
  connect(Scroll->verticalScrollBar(), &QScrollBar::rangeChanged, this,
          [this] { ApplyPanelWidth(); });

  // Paints nothing: the panel shows through; only the pointer's shape says
  // it is there.
  pnlSizer = new QWidget(pnlControls);
  pnlSizer->setObjectName(QStringLiteral("pnlSizer"));
  pnlSizer->setCursor(Qt::SplitHCursor);
  pnlSizer->installEventFilter(this);
  pnlControls->installEventFilter(this);
  pnlSizer->setGeometry(0, 0, PanelSizerWidth, pnlControls->height());
  pnlSizer->raise();
}

void TFlowjoggerForm::ApplyPanelWidth() {
  const QScrollBar* Bar = FPanelScroll ? FPanelScroll->verticalScrollBar() : nullptr;
  const int Extra = Bar && Bar->maximum() > 0 ? Bar->sizeHint().width() : 0;
  pnlControls->setFixedWidth(FPanelWidth + Extra);
}

void TFlowjoggerForm::SetPanelWidth(int Width) {
  Width = std::clamp(Width, DefaultPanelWidth, MaxPanelWidth);
  FPanelWidth = Width;
  ApplyPanelWidth();
  // The canvas's room: the panel less the labels' strip on the left and a
  // margin on the right, as at the default width.
  const int Picture = TAlgCanvas::GetCanvasWidth() * TAlgCanvas::GetCanvasScale() + 1;
  const int Magnification = CanvasMagnification(Width - (DefaultPanelWidth - Picture), Picture);
  const int Grown = Picture * (Magnification - 1);
  CanvasFrame->setFixedHeight(CanvasHeight(Grown));
  CanvasFrame->pbxCanvas->setGeometry(CanvasLeft(*CanvasFrame), 0, Picture + Grown,
                                      Picture + Grown);
  CanvasFrame->cbGrid->move(16, GridBoxTop(Grown));
  CanvasFrame->SetMagnification(Magnification);
}

int TFlowjoggerForm::GetPanelWidth() const {
  return FPanelWidth;
}

bool TFlowjoggerForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == pnlControls && Event->type() == QEvent::Resize) {
    pnlSizer->setGeometry(0, 0, PanelSizerWidth, pnlControls->height());
    pnlSizer->raise();
  } else if (Watched == pnlSizer &&
             (Event->type() == QEvent::MouseButtonPress || Event->type() == QEvent::MouseMove ||
              Event->type() == QEvent::MouseButtonRelease)) {
    // Only mouse events are taken for what they are.
    auto* Mouse = static_cast<QMouseEvent*>(Event);
    switch (Event->type()) {
    case QEvent::MouseButtonPress:
      if (Mouse->button() == Qt::LeftButton) {
        FSizing = true;
        FSizeStartX = qRound(Mouse->globalPosition().x());
        FSizeStartWidth = GetPanelWidth();
        return true;
      }
      break;
    case QEvent::MouseMove:
      if (FSizing) {
        const int Before = GetPanelWidth();
        SetPanelWidth(FSizeStartWidth + FSizeStartX - qRound(Mouse->globalPosition().x()));
        if (GetPanelWidth() != Before && OnPanelWidthChanged)
          OnPanelWidthChanged(*this, GetPanelWidth());
        return true;
      }
      break;
    case QEvent::MouseButtonRelease:
      if (FSizing && Mouse->button() == Qt::LeftButton) {
        FSizing = false;
        return true;
      }
      break;
    default:
      break;
    }
  }
  return TAlgForm::eventFilter(Watched, Event);
}

TFlowjoggerForm::~TFlowjoggerForm() {
  // Back in editing, the block the run stood on (the failed one after an
  // error) is the one selected, so that the pupil can mend it at once.
  TAlgorithm* Algorithm = GetAlgorithm();
  if (Algorithm && FMachine)
    if (TAlgBlock* Current = FMachine->GetCurrentBlock();
        Current && Current->GetAlgorithm() == Algorithm) {
      TModifyGuard Guard(*Algorithm);
      Algorithm->UnselectAll();
      Current->SetSelected(true);
    }
  SetMachine(nullptr);
  if (GetHost()) {
    // The breakpoints are the host's owner's; the run's marks go with it.
    TChartMarkers Markers;
    Markers.Breakpoints = AlgEditor->GetMarkers().Breakpoints;
    AlgEditor->SetMarkers(Markers);
    AlgEditor->SetRunDescriptions(nullptr, nullptr, QString());
    GetCodePane()->SetRunningBlock(nullptr);
    AlgEditor->SetEditable(true);
  }
}

void TFlowjoggerForm::SetMachine(TAlgMachine* Machine) {
  if (Machine == FMachine)
    return;
  if (FMachine && Machine) {
    // Another machine of the same run (a step back): nothing the old one
    // showed stays, not even the rows of variables it had.
    WatchesFrame->SetVars(nullptr);
    WatchesFrame->Clear();
    ConsoleFrame->SetConsole(nullptr);
    CanvasFrame->SetCanvas(nullptr);
  }
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
  // A run that failed stands on the block that failed; one the pupil
  // stopped on the block it was stopped before, with a mark of its own:
  // stopping is no error.
  Markers.Next = Markers.Stopped = nullptr;
  if (FMachine->GetState() == amsError) {
    if (FPhase == rpStopped) {
      Markers.Stopped = Current;
      if (Markers.Error == Current)
        Markers.Error = nullptr;
    } else
      Markers.Error = Current;
  } else
    Markers.Next = Current;
  AlgEditor->SetMarkers(Markers);
  // What a screen reader says of the next block and of the failed one.
  AlgEditor->SetRunDescriptions(Markers.Next, Markers.Error, QString::fromStdString(FErrorText));
  GetCodePane()->SetRunningBlock(Current);
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
  const std::string ErrorText = Status.Phase == rpError ? Status.Error : std::string();
  if (ErrorText != FErrorText) {
    FErrorText = ErrorText;
    const TChartMarkers& Markers = AlgEditor->GetMarkers();
    AlgEditor->SetRunDescriptions(Markers.Next, Markers.Error, QString::fromStdString(FErrorText));
  }
  // An error stands out as its block does; its word says it too.
  lblStatus->setStyleSheet(Status.Phase != rpError ? QString()
                           : FHighContrast         ? QStringLiteral("color: #ff40ff;")
                                                   : QStringLiteral("color: #c00000;"));
  if ((Status.Phase == rpStopped) != (FPhase == rpStopped)) {
    FPhase = Status.Phase;
    SelectCurrentBlock();
  }
  FPhase = Status.Phase;
}

void TFlowjoggerForm::Announce(const std::string& Text) {
  lblStatus->setAccessibleName(QString::fromStdString(Text));
}

void TFlowjoggerForm::SetHighContrast(bool Value) {
  FHighContrast = Value;
  TChartMarkers Markers = AlgEditor->GetMarkers();
  Markers.Colors = Value ? TMarkerColors::HighContrast() : TMarkerColors();
  AlgEditor->SetMarkers(Markers);
  if (Value)
    WatchesFrame->SetChangedColors(QColor(0xFF, 0xFF, 0x00), QColor(0x00, 0x00, 0x00));
  else
    WatchesFrame->SetChangedColors(QColor(0xC0, 0x00, 0x00), QColor(0xFF, 0xE4, 0xE4));
}

void TFlowjoggerForm::FormResize() {
  CanvasFrame->DrawLabels();
}

void TFlowjoggerForm::resizeEvent(QResizeEvent* Event) {
  TAlgForm::resizeEvent(Event);
  FormResize();
}

} // namespace Deskbay
