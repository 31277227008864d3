#include "Flowedit_Constructor.h"

#include "Flowedit_Editor.h"
#include "Flowedit_LineCheckMarks.h"
#include "Flowedit_framePalette.h"

#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/AdvSpeedButton.h"
#include "Flowmodel/Flowmodel_ChartStops.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_LineCheck.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

namespace Deskbay {

TInsertBlockDialog::TInsertBlockDialog(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle("Добавить блок");
  auto* Label = new QLabel("&Какой блок добавить (цифра или Enter):", this);
  lstKinds = new QListWidget(this);
  lstKinds->setAccessibleName("Какой блок добавить");
  const std::vector<TAlgBlockKind> Kinds = AlgInsertableKinds();
  for (size_t I = 0; I < Kinds.size(); ++I) {
    auto* Item = new QListWidgetItem(
        QStringLiteral("%1  %2").arg(I + 1).arg(QString::fromUtf8(AlgBlockKindInfo(Kinds[I]).Name)),
        lstKinds);
    Item->setData(Qt::UserRole, static_cast<int>(Kinds[I]));
  }
  lstKinds->setCurrentRow(0);
  lstKinds->installEventFilter(this);
  Label->setBuddy(lstKinds);
  lstKinds->setMinimumHeight(lstKinds->sizeHintForRow(0) * int(Kinds.size()) +
                             2 * lstKinds->frameWidth() + 4);
  auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(Buttons, &QDialogButtonBox::accepted, this, [this] { Choose(lstKinds->currentRow()); });
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(lstKinds, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* Item) { Choose(lstKinds->row(Item)); });
  auto* Column = new QVBoxLayout(this);
  Column->addWidget(Label);
  Column->addWidget(lstKinds);
  Column->addWidget(Buttons);
  lstKinds->setFocus();
}

void TInsertBlockDialog::Choose(int Row) {
  if (Row < 0 || Row >= lstKinds->count())
    return;
  FChosen = static_cast<TAlgBlockKind>(lstKinds->item(Row)->data(Qt::UserRole).toInt());
  accept();
}

bool TInsertBlockDialog::ChooseByKey(const QKeyEvent& Event) {
  const QString Text = Event.text();
  if (Text.size() == 1 && Text[0] >= QLatin1Char('1') &&
      Text[0].unicode() < QLatin1Char('1').unicode() + lstKinds->count()) {
    Choose(Text[0].unicode() - QLatin1Char('1').unicode());
    return true;
  }
  if (Event.key() == Qt::Key_Return || Event.key() == Qt::Key_Enter) {
    Choose(lstKinds->currentRow());
    return true;
  }
  return false;
}

bool TInsertBlockDialog::eventFilter(QObject* Watched, QEvent* Event) {
  // Before the list's own search by typed letters.
  if (Watched == lstKinds && Event->type() == QEvent::KeyPress &&
      ChooseByKey(*static_cast<QKeyEvent*>(Event)))
    return true;
  return QDialog::eventFilter(Watched, Event);
}

void TInsertBlockDialog::keyPressEvent(QKeyEvent* Event) {
  if (!ChooseByKey(*Event))
    QDialog::keyPressEvent(Event);
}

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
  memBlock->setAccessibleName("Текст блока");
  memBlock->installEventFilter(this);
  pnlSpacing = new QFrame(pnlControls);
  // At least the room it always had; a long message makes it taller.
  pnlSpacing->setMinimumHeight(41);
  lblLineProblem = new QLabel(pnlSpacing);
  lblLineProblem->setObjectName(QStringLiteral("lblLineProblem"));
  lblLineProblem->setAccessibleName(QStringLiteral("Ошибка в строке блока"));
  lblLineProblem->setWordWrap(true);
  lblLineProblem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblLineProblem->setTextFormat(Qt::PlainText);
  lblLineProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* ProblemRow = new QVBoxLayout(pnlSpacing);
  ProblemRow->setContentsMargins(2, 2, 2, 0);
  ProblemRow->addWidget(lblLineProblem);
  connect(memBlock, &QPlainTextEdit::cursorPositionChanged, this, [this] { ShowLineProblems(); });
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
  AlgEditor->OnEditRequest = [this](TAlgEditor&) { EditBlockText(); };
  AlgEditor->OnInsertRequest = [this](TAlgEditor&, std::optional<TAlgBlockKind> Kind) {
    if (Kind)
      InsertBlock(*Kind);
    else
      InsertBlockDialog();
  };
  ChainTabOrder();
  SetupBlockEditor();
}

void TAlgConstructorForm::ChainTabOrder() {
  // Over a host the chart is in the host's window only once shown there.
  if (AlgEditor->window() != memBlock->window())
    return;
  // Tab goes from the chart to the text box, then along the palette.
  QWidget* Previous = memBlock;
  setTabOrder(AlgEditor, memBlock);
  for (TAdvSpeedButton* Button : Palette->GetButtons()) {
    setTabOrder(Previous, Button);
    Previous = Button;
  }
}

void TAlgConstructorForm::showEvent(QShowEvent* Event) {
  TAlgForm::showEvent(Event);
  ChainTabOrder();
}

TAlgConstructorForm::~TAlgConstructorForm() {
  TAlgConstructorForm::SetAlgorithm(nullptr);
  // The host's chart outlives the form: typing on it reaches nobody.
  AlgEditor->OnKeyPress = nullptr;
  AlgEditor->OnEditRequest = nullptr;
  AlgEditor->OnInsertRequest = nullptr;
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
  ShowLineProblems();
}

void TAlgConstructorForm::memBlockChange() {
  if (TAlgBlock* Block = SingleSelectedBlock())
    Block->GetText().SetText(memBlock->toPlainText().toStdString());
  ShowLineProblems();
}

namespace {

// The place in a line of UTF-16 code units of the byte at Offset of its
// UTF-8 text.
int Utf16Offset(const std::string& Line, size_t Offset) {
  return static_cast<int>(
      QString::fromUtf8(Line.data(), static_cast<qsizetype>(std::min(Offset, Line.size()))).size());
}

} // namespace

void TAlgConstructorForm::ShowLineProblems() {
  TAlgBlock* Block = SingleSelectedBlock();
  // The chart's verdicts: read again only when the block's text changed, so
  // moving the cursor costs nothing and the chart's paint finds them ready.
  static const std::vector<TLineProblem> None;
  const std::vector<TLineProblem>& Problems =
      Block ? EditorLineCheck(*AlgEditor).Problems(*Block) : None;
  QList<QTextEdit::ExtraSelection> Marks;
  QTextDocument* Doc = memBlock->document();
  for (const TLineProblem& P : Problems) {
    const QTextBlock Line = Doc->findBlockByNumber(static_cast<int>(P.Line));
    if (!Line.isValid() || P.Missing)
      continue;
    const std::string Text = Line.text().toStdString();
    QTextEdit::ExtraSelection Mark;
    Mark.cursor = QTextCursor(Line);
    const int From = Utf16Offset(Text, P.Start), To = Utf16Offset(Text, P.End);
    if (To > From) {
      Mark.cursor.setPosition(Line.position() + From);
      Mark.cursor.setPosition(Line.position() + To, QTextCursor::KeepAnchor);
      Mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
      Mark.format.setUnderlineColor(QColor(0xE0, 0x00, 0x00));
    } else {
      // Nothing to underline (an empty condition): the whole line is tinted
      // and the message below says what is missing.
      Mark.format.setProperty(QTextFormat::FullWidthSelection, true);
      Mark.format.setBackground(QColor(0xFF, 0xE0, 0xE0));
    }
    Marks << Mark;
  }
  memBlock->setExtraSelections(Marks);

  const TLineProblem* Shown = Problems.empty() ? nullptr : &Problems.front();
  const size_t CursorLine = static_cast<size_t>(memBlock->textCursor().blockNumber());
  for (const TLineProblem& P : Problems)
    if (P.Line == CursorLine && !P.Missing)
      Shown = &P;
  QString Text;
  if (Shown) {
    Text = QString::fromStdString(ProblemOneLine(Shown->Message));
    if (!Shown->Missing && Block->GetText().GetCount() > 1)
      Text = QStringLiteral("Строка %1: %2").arg(Shown->Line + 1).arg(Text);
  }
  lblLineProblem->setText(Text);
  lblLineProblem->setToolTip(Text);
  memBlock->setAccessibleDescription(Text);
}

namespace {

// The block a refusal is shown at for a place: the one before it, else the
// sequence.
const TAlgBlock* PlaceAnchor(const TCompoundAlgBlock* Parent, int Index) {
  return Index > 0 && Index <= Parent->GetBlockCount() ? Parent->GetBlocks(Index - 1) : Parent;
}

} // namespace

void TAlgConstructorForm::PaletteBlockClick(TPaletteFrame&, TAlgBlock* Block) {
  TAlgorithm* Alg = GetAlgorithm();
  TCompoundAlgBlock* Parent = nullptr;
  int Index = 0;
  if (!Alg || !AlgEditor->GetEditable() ||
      !AlgInsertPlace(*Alg, AlgEditor->GetCursor(), Parent, Index) ||
      !AlgEditor->MayPlace({Block}, PlaceAnchor(Parent, Index)))
    return;
  TAlgBlock* Copy;
  {
    TModifyGuard Guard(Alg);
    Alg->UnselectAll();
    Copy = Block->CreateCopy(Parent, Index);
    Copy->SetSelected(true);
  }
  Inserted(Copy);
}

void TAlgConstructorForm::InsertBlock(TAlgBlockKind Kind) {
  TAlgorithm* Alg = GetAlgorithm();
  TCompoundAlgBlock* Parent = nullptr;
  int Index = 0;
  if (!Alg || !AlgEditor->GetEditable() ||
      !AlgInsertPlace(*Alg, AlgEditor->GetCursor(), Parent, Index))
    return;
  // A task's restrictions are asked about the palette's block of the kind.
  for (const TAdvSpeedButton* Button : Palette->GetButtons())
    if (const TAlgBlock* Proto = TPaletteFrame::PrototypeOf(*Button);
        Proto && Proto->GetKind() == Kind &&
        !AlgEditor->MayPlace({Proto}, PlaceAnchor(Parent, Index)))
      return;
  Inserted(AlgInsertNewBlock(*Alg, Kind, Parent, Index));
}

void TAlgConstructorForm::InsertBlockDialog() {
  if (!GetAlgorithm() || !AlgEditor->GetEditable())
    return;
  TInsertBlockDialog Dialog(window());
  if (Dialog.exec() == QDialog::Accepted && Dialog.GetChosen())
    InsertBlock(*Dialog.GetChosen());
}

void TAlgConstructorForm::Inserted(TAlgBlock* Block) {
  AlgEditor->SetCursor(TChartStop::At(Block));
  AlgEditor->MakeVisible(Block);
  if (memBlock->isEnabled()) {
    memBlock->setFocus(Qt::OtherFocusReason);
    memBlock->moveCursor(QTextCursor::End);
  }
}

void TAlgConstructorForm::EditBlockText() {
  if (AlgEditor->GetCursor().IsPlace()) {
    InsertBlockDialog();
    return;
  }
  if (!SingleSelectedBlock())
    return;
  memBlock->setFocus(Qt::OtherFocusReason);
  memBlock->moveCursor(QTextCursor::End);
}

bool TAlgConstructorForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == memBlock &&
      (Event->type() == QEvent::KeyPress || Event->type() == QEvent::ShortcutOverride)) {
    const auto* Key = static_cast<QKeyEvent*>(Event);
    const Qt::KeyboardModifiers Mods = Key->modifiers() & ~Qt::KeypadModifier;
    const bool Back = (Key->key() == Qt::Key_Escape && Mods == Qt::NoModifier) ||
                      ((Key->key() == Qt::Key_Return || Key->key() == Qt::Key_Enter) &&
                       Mods == Qt::ControlModifier);
    if (Back && Event->type() == QEvent::ShortcutOverride) {
      // Ours before any command of the window bound to the same key.
      Event->accept();
      return true;
    }
    if (Back) {
      AlgEditor->setFocus(Qt::OtherFocusReason);
      return true;
    }
  }
  return TAlgForm::eventFilter(Watched, Event);
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
