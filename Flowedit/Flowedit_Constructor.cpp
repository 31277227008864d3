#include "Flowedit_Constructor.h"

#include "Flowedit_Editor.h"
#include "Flowedit_framePalette.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace Deskbay {

TAlgConstructorForm::TAlgConstructorForm(QWidget* Parent) : TAlgForm(Parent) {
  resize(438, 375);
  CreatePanel();
}

TAlgConstructorForm::TAlgConstructorForm(TAlgForm& Host) : TAlgForm(Host) {
  AlgEditor->SetEditable(true);
  CreatePanel();
}

void TAlgConstructorForm::CreatePanel() {
  setAttribute(Qt::WA_AlwaysShowToolTips);

  memBlock = new QPlainTextEdit(pnlControls);
  memBlock->setFixedHeight(100);
  memBlock->setLineWrapMode(QPlainTextEdit::NoWrap);
  memBlock->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memBlock->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memBlock->setTabChangesFocus(true);
  pnlSpacing = new QFrame(pnlControls);
  pnlSpacing->setFixedHeight(41);
  Palette = new TPaletteFrame(pnlControls);

  auto* Column = new QVBoxLayout(pnlControls);
  Column->setContentsMargins(1, 1, 1, 1);
  Column->setSpacing(0);
  Column->addWidget(memBlock);
  Column->addWidget(pnlSpacing);
  Column->addWidget(Palette);
  Column->addStretch(1);

  Palette->OnBlockClick = [this](TPaletteFrame& Sender, TAlgBlock* Block) {
    PaletteBlockClick(Sender, Block);
  };
  AlgEditor->OnKeyPress = [this](TAlgEditor&, QString& Text) { AlgEditorKeyPress(Text); };
  SetupBlockEditor();
}

TAlgConstructorForm::~TAlgConstructorForm() {
  TAlgConstructorForm::SetAlgorithm(nullptr);
  // The host's chart outlives the form: typing on it reaches nobody.
  AlgEditor->OnKeyPress = nullptr;
}

void TAlgConstructorForm::SetAlgorithm(TAlgorithm* Algorithm) {
  if (Algorithm == GetAlgorithm())
    return;
  if (GetAlgorithm())
    GetAlgorithm()->RemoveSelListener(&FOnSelChange);
  TAlgForm::SetAlgorithm(Algorithm);
  if (Algorithm)
    Algorithm->AddSelListener(&FOnSelChange);
  SetupBlockEditor();
}

void TAlgConstructorForm::AlgSelChange(TObject*) {
  SetupBlockEditor();
}

TAlgBlock* TAlgConstructorForm::SingleSelectedBlock() const {
  TAlgorithm* Alg = GetAlgorithm();
  return Alg && Alg->GetSelectedBlockCount() == 1 ? Alg->GetSelectedBlocksProperty(0) : nullptr;
}

void TAlgConstructorForm::AttachTextBox(bool Attach) {
  disconnect(FTextBoxConnection);
  if (Attach)
    FTextBoxConnection =
        connect(memBlock, &QPlainTextEdit::textChanged, this, [this] { memBlockChange(); });
}

void TAlgConstructorForm::SetupBlockEditor() {
  // Filling the box is no edit: nothing is written back meanwhile.
  AttachTextBox(false);
  struct TReattach {
    TAlgConstructorForm* Form;
    ~TReattach() { Form->AttachTextBox(true); }
  } Reattach{this};
  TAlgBlock* Block = SingleSelectedBlock();
  memBlock->setEnabled(Block != nullptr);
  if (Block) {
    const std::vector<std::string>& Lines = Block->GetText().Lines();
    QStringList Text;
    for (const std::string& L : Lines)
      Text << QString::fromStdString(L);
    memBlock->setPlainText(Text.join(QLatin1Char('\n')));
  } else {
    memBlock->clear();
  }
}

void TAlgConstructorForm::memBlockChange() {
  if (TAlgBlock* Block = SingleSelectedBlock())
    Block->GetText().SetText(memBlock->toPlainText().toStdString());
}

void TAlgConstructorForm::PaletteBlockClick(TPaletteFrame&, TAlgBlock* Block) {
  TAlgorithm* Alg = GetAlgorithm();
  if (!Alg || Alg->GetSelectedBlockCount() > 1)
    return;
  TAlgBlock* Anchor =
      Alg->GetSelectedBlockCount() == 1 ? Alg->GetSelectedBlocksProperty(0) : Alg->GetRoot();
  if (!AlgEditor->MayPlace({Block}, Anchor))
    return;
  TCompoundAlgBlock* Parent = nullptr;
  int Index = 0;
  AlgPlaceAfter(Anchor, Parent, Index);
  TAlgBlock* Copy;
  {
    TModifyGuard Guard(Alg);
    Alg->UnselectAll();
    Copy = Block->CreateCopy(Parent, Index);
    Copy->SetSelected(true);
  }
  AlgEditor->MakeVisible(Copy);
}

void TAlgConstructorForm::AlgEditorKeyPress(QString& Text) {
  if (Text.isEmpty() || Text.at(0).unicode() < 32 || !SingleSelectedBlock())
    return;
  memBlock->setFocus(Qt::OtherFocusReason);
  if (Text == QStringLiteral(" "))
    return;
  // Typing goes on at the end of the block's text.
  memBlock->moveCursor(QTextCursor::End);
  QKeyEvent Typed(QEvent::KeyPress, 0, Qt::NoModifier, Text);
  QApplication::sendEvent(memBlock, &Typed);
}

} // namespace Deskbay
