#include "Flowedit_frmAlg.h"

#include "Flowedit_Editor.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/QtCanvas.h"
#include "Corekit/ui/UiFonts.h"

#include <QFrame>
#include <QHBoxLayout>

namespace Deskbay {

namespace {

constexpr TColor clMoneyGreen = RGBColor(192, 220, 192);
constexpr TColor EditorColor = 11062952; // red 168, green 206, blue 168

} // namespace

TAlgForm::TAlgForm(QWidget* Parent) : QWidget(Parent) {
  setObjectName(QStringLiteral("AlgForm"));
  setFont(DefaultUiFont());
  resize(544, 375);

  sbxAlg = new TAdvScrollBox(this);
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

  pnlControls = new QFrame(this);
  pnlControls->setFrameShape(QFrame::StyledPanel);
  pnlControls->setFixedWidth(201);

  auto* Layout = new QHBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  Layout->addWidget(sbxAlg, 1);
  Layout->addWidget(pnlControls);
}

TAlgForm::~TAlgForm() {
  TAlgForm::SetAlgorithm(nullptr);
}

void TAlgForm::SetAlgorithm(TAlgorithm* Algorithm) {
  if (Algorithm == FAlgorithm)
    return;
  FAlgorithm = Algorithm;
  AlgEditor->SetAlgorithm(Algorithm);
}

void TAlgForm::sbxAlgResize() {
  AlgEditor->Center();
}

} // namespace Deskbay
