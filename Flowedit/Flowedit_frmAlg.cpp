#include "Flowedit_frmAlg.h"

#include "Flowedit_CodePane.h"
#include "Flowedit_Editor.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/UiFonts.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QSplitter>
#include <QWheelEvent>

namespace Deskbay {

namespace {

constexpr TColor clMoneyGreen = RGBColor(192, 220, 192);
constexpr TColor EditorColor = 11062952; // red 168, green 206, blue 168

} // namespace

TAlgForm::TAlgForm(QWidget* Parent) : QWidget(Parent) {
  setObjectName(QStringLiteral("AlgForm"));
  setFont(DefaultUiFont());
  resize(544, 375);

  splCode = new QSplitter(Qt::Horizontal, this);
  splCode->setAccessibleName(QStringLiteral("Блок-схема и программа"));
  splCode->setChildrenCollapsible(false);
  sbxAlg = new TAdvScrollBox(splCode);
  sbxAlg->SetEnableAutoScroll(false);
  QPalette Green = sbxAlg->palette();
  Green.setColor(QPalette::Window, QColorOf(clMoneyGreen));
  sbxAlg->setPalette(Green);
  sbxAlg->viewport()->setAutoFillBackground(true);
  sbxAlg->viewport()->setPalette(Green);

  AlgEditor = new TAlgEditor(sbxAlg->GetArea());
  AlgEditor->setGeometry(16, 16, 49, 73);
  AlgEditor->SetColor(EditorColor);
  AlgEditor->SetEditable(true);
  sbxAlg->OnResize = [this](TAdvScrollBox&) { sbxAlgResize(); };
  sbxAlg->viewport()->installEventFilter(this);
  sbxAlg->GetArea()->installEventFilter(this);

  FCodePane = new TCodePane(splCode);
  FCodePane->setMinimumWidth(120);
  FCodePane->hide();
  splCode->addWidget(sbxAlg);
  splCode->addWidget(FCodePane);
  splCode->setStretchFactor(0, 3);
  splCode->setStretchFactor(1, 2);

  CreatePanel(this);

  auto* Layout = new QHBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  Layout->addWidget(splCode, 1);
  Layout->addWidget(pnlControls);
}

bool TAlgForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::Wheel &&
      (Watched == sbxAlg->viewport() || Watched == sbxAlg->GetArea())) {
    auto* Wheel = static_cast<QWheelEvent*>(Event);
    if (Wheel->modifiers() & Qt::ControlModifier) {
      const QPoint At =
          AlgEditor->mapFrom(static_cast<QWidget*>(Watched), Wheel->position().toPoint());
      AlgEditor->WheelZoom(Wheel->angleDelta().y(), At);
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}

TAlgForm::TAlgForm(TAlgForm& Host)
    : QWidget(nullptr), sbxAlg(Host.sbxAlg), AlgEditor(Host.AlgEditor), splCode(Host.splCode),
      FCodePane(Host.FCodePane), FHost(&Host) {
  setObjectName(QStringLiteral("AlgForm"));
  setFont(DefaultUiFont());
  // As wide as the panel, as high as the host: the panel stands where the
  // host's own stood.
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  CreatePanel(this);
  auto* Layout = new QHBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  Layout->addWidget(pnlControls);

  delete Host.FGuest;
  Host.FGuest = this;
}

void TAlgForm::ShowOverHost() {
  if (!FHost || parentWidget() == FHost)
    return;
  // Built whole before it joins the host's layout, which then measures it
  // as it is.
  setParent(FHost, Qt::Widget);
  FHost->pnlControls->hide();
  FHost->layout()->addWidget(this);
  show();
}

void TAlgForm::CreatePanel(QWidget* Parent) {
  pnlControls = new QFrame(Parent);
  pnlControls->setFrameShape(QFrame::StyledPanel);
  pnlControls->setFixedWidth(201);
}

TAlgForm::~TAlgForm() {
  if (FHost) {
    FHost->FGuest = nullptr;
    FHost->pnlControls->show();
    return;
  }
  delete FGuest;
  TAlgForm::SetAlgorithm(nullptr);
  FCodePane->SetAlgorithm(nullptr);
}

void TAlgForm::SetAlgorithm(TAlgorithm* Algorithm) {
  if (Algorithm == FAlgorithm)
    return;
  FAlgorithm = Algorithm;
  if (FHost)
    return;
  AlgEditor->SetAlgorithm(Algorithm);
  if (IsCodePaneVisible())
    FCodePane->SetAlgorithm(Algorithm);
}

bool TAlgForm::IsCodePaneVisible() const {
  return !FCodePane->isHidden();
}

void TAlgForm::SetCodePaneVisible(bool Value) {
  if (FHost) {
    FHost->SetCodePaneVisible(Value);
    return;
  }
  if (Value == IsCodePaneVisible())
    return;
  // Hidden, the pane lets go of the algorithm: no text is made for nobody.
  FCodePane->setVisible(Value);
  FCodePane->SetAlgorithm(Value ? FAlgorithm : nullptr);
}

void TAlgForm::sbxAlgResize() {
  AlgEditor->Center();
}

} // namespace Deskbay
