#include "Flowedit_CodePane.h"

#include "Flowmodel/Flowmodel_Main.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Corekit/ui/UiFonts.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace Deskbay {

namespace {

// A burst of edits (typing into a block) makes the text once.
constexpr int RegenerateDelayMs = 100;

const QColor SelectedLinesColor(198, 222, 255);
const QColor RunningLinesColor(255, 224, 130);

std::vector<const TAlgBlock*> SelectedBlocks(const TAlgorithm& Alg) {
  std::vector<TAlgBlock*> List;
  Alg.GetSelectedBlocks(List);
  return {List.begin(), List.end()};
}

} // namespace

TCodePane::TCodePane(QWidget* Parent) : QWidget(Parent) {
  setObjectName(QStringLiteral("CodePane"));
  cbLanguage = new QComboBox(this);
  cbLanguage->addItem(QStringLiteral("Python"), static_cast<int>(TCodeLanguage::Python));
  cbLanguage->addItem(QStringLiteral("Pascal"), static_cast<int>(TCodeLanguage::Pascal));
  cbLanguage->addItem(QStringLiteral("C++"), static_cast<int>(TCodeLanguage::Cpp));
  cbLanguage->setToolTip(QStringLiteral("Язык программы"));
  // On Linux a screen reader hears a combo box's value as its name; what it
  // chooses goes into the description too.
  cbLanguage->setAccessibleName(QStringLiteral("Язык программы"));
  cbLanguage->setAccessibleDescription(QStringLiteral("Язык программы"));
  connect(cbLanguage, &QComboBox::currentIndexChanged, this, [this](int Index) {
    SetLanguage(static_cast<TCodeLanguage>(cbLanguage->itemData(Index).toInt()));
  });

  cbStyle = new QComboBox(this);
  cbStyle->addItem(QStringLiteral("Для урока"), static_cast<int>(TCodeStyleKind::Lesson));
  cbStyle->addItem(QStringLiteral("Точная"), static_cast<int>(TCodeStyleKind::Exact));
  cbStyle->setToolTip(QStringLiteral("Для урока — программа, как её пишут на доске; точная — "
                                     "печатает то же, что исполнитель, и так же останавливается"));
  cbStyle->setAccessibleName(QStringLiteral("Вид программы"));
  cbStyle->setAccessibleDescription(QStringLiteral("Вид программы"));
  connect(cbStyle, &QComboBox::currentIndexChanged, this, [this](int Index) {
    SetStyle(static_cast<TCodeStyleKind>(cbStyle->itemData(Index).toInt()));
  });

  memCode = new QPlainTextEdit(this);
  memCode->setReadOnly(true);
  memCode->setFont(FixedUiFont());
  memCode->setLineWrapMode(QPlainTextEdit::NoWrap);
  memCode->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  memCode->viewport()->installEventFilter(this);

  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(2, 2, 2, 2);
  Layout->setSpacing(2);
  auto* Choices = new QHBoxLayout;
  Choices->setSpacing(2);
  Choices->addWidget(cbLanguage, 1);
  Choices->addWidget(cbStyle, 1);
  Layout->addLayout(Choices);
  Layout->addWidget(memCode, 1);

  FRegenerateTimer.setSingleShot(true);
  FRegenerateTimer.setInterval(RegenerateDelayMs);
  connect(&FRegenerateTimer, &QTimer::timeout, this, [this] {
    if (!FProgram)
      Regenerate();
  });
}

TCodePane::~TCodePane() {
  SetAlgorithm(nullptr);
}

void TCodePane::SetAlgorithm(TAlgorithm* Algorithm) {
  if (Algorithm == FAlgorithm)
    return;
  if (FAlgorithm) {
    FAlgorithm->RemoveListener(&FOnChange);
    FAlgorithm->RemoveSelListener(&FOnSelChange);
  }
  FAlgorithm = Algorithm;
  if (FAlgorithm) {
    FAlgorithm->AddListener(&FOnChange);
    FAlgorithm->AddSelListener(&FOnSelChange);
  }
  memCode->verticalScrollBar()->setValue(0);
  Regenerate();
  // A pane shown with a block selected opens at the block's lines.
  if (FAlgorithm)
    UpdateMarks(true);
}

void TCodePane::SetLanguage(TCodeLanguage Language) {
  const int Index = cbLanguage->findData(static_cast<int>(Language));
  if (cbLanguage->currentIndex() != Index)
    cbLanguage->setCurrentIndex(Index); // comes back here through the signal
  if (Language == FLanguage)
    return;
  FLanguage = Language;
  Regenerate();
  UpdateMarks(true);
  if (OnLanguageChange)
    OnLanguageChange(Language);
}

void TCodePane::SetStyle(TCodeStyleKind Style) {
  const int Index = cbStyle->findData(static_cast<int>(Style));
  if (cbStyle->currentIndex() != Index)
    cbStyle->setCurrentIndex(Index); // comes back here through the signal
  if (Style == FStyle)
    return;
  FStyle = Style;
  Regenerate();
  UpdateMarks(true);
  if (OnStyleChange)
    OnStyleChange(Style);
}

void TCodePane::SetRunningBlock(const TAlgBlock* Block) {
  if (Block == FRunningBlock)
    return;
  FRunningBlock = Block;
  UpdateMarks(true);
}

const TProgramText& TCodePane::GetProgram() {
  if (!FProgram)
    Regenerate();
  return *FProgram;
}

void TCodePane::SelectBlockAtLine(int Line) {
  if (!FAlgorithm)
    return;
  TAlgBlock* Block = CodeLineSelectableBlock(GetProgram(), Line);
  if (!Block)
    return;
  TModifyGuard Guard(FAlgorithm);
  FAlgorithm->UnselectAll();
  Block->SetSelected(true);
}

bool TCodePane::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == memCode->viewport() && Event->type() == QEvent::MouseButtonRelease) {
    const auto* Mouse = static_cast<QMouseEvent*>(Event);
    // A drag that selected text to copy selects no block.
    if (Mouse->button() == Qt::LeftButton && !memCode->textCursor().hasSelection())
      SelectBlockAtLine(memCode->cursorForPosition(Mouse->position().toPoint()).blockNumber());
  }
  return QWidget::eventFilter(Watched, Event);
}

void TCodePane::AlgChange(TObject*) {
  // The blocks the text points to may be gone: the text is stale until made
  // again, which the timer does once for the whole burst.
  FProgram.reset();
  if (!FRegenerateTimer.isActive())
    FRegenerateTimer.start();
}

void TCodePane::AlgSelChange(TObject*) {
  if (FProgram)
    UpdateMarks(true);
}

void TCodePane::Regenerate() {
  FRegenerateTimer.stop();
  FProgram = FAlgorithm ? GenerateProgram(*FAlgorithm, FLanguage, FStyle) : TProgramText();
  ++FRegenerationCount;
  const QString Text = QString::fromStdString(FProgram->GetText());
  if (Text != memCode->toPlainText()) {
    QScrollBar* V = memCode->verticalScrollBar();
    QScrollBar* H = memCode->horizontalScrollBar();
    const int Top = V->value(), Left = H->value();
    memCode->setPlainText(Text);
    V->setValue(Top);
    H->setValue(Left);
  }
  UpdateMarks(false);
}

void TCodePane::UpdateMarks(bool ScrollToMarks) {
  if (!FProgram)
    return;
  FSelectedLines = FAlgorithm ? CodeLinesOfBlocks(*FProgram, SelectedBlocks(*FAlgorithm))
                              : std::vector<TCodeLineRange>();
  FRunningLines = CodeLinesOfBlocks(*FProgram, {FRunningBlock});
  QList<QTextEdit::ExtraSelection> Marks;
  QTextDocument* Doc = memCode->document();
  auto Mark = [&](const std::vector<TCodeLineRange>& Ranges, const QColor& Color, bool Bold) {
    for (const TCodeLineRange& R : Ranges)
      for (int Line = R.First; Line <= R.Last; ++Line) {
        QTextEdit::ExtraSelection S;
        S.cursor = QTextCursor(Doc->findBlockByNumber(Line));
        S.format.setBackground(Color);
        S.format.setProperty(QTextFormat::FullWidthSelection, true);
        if (Bold) {
          // Not by colour alone: the running lines' text is bold too.
          S.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
          S.format.setFontWeight(QFont::Bold);
        }
        Marks.append(S);
      }
  };
  Mark(FSelectedLines, SelectedLinesColor, false);
  Mark(FRunningLines, RunningLinesColor, true); // over the selection: the step shows
  memCode->setExtraSelections(Marks);
  if (ScrollToMarks)
    ScrollToLines(FRunningLines.empty() ? FSelectedLines : FRunningLines);
}

// The first marked line into view, when it is out of view; the text stays
// where it is otherwise, so a click does not move it.
void TCodePane::ScrollToLines(const std::vector<TCodeLineRange>& Ranges) {
  if (Ranges.empty())
    return;
  QScrollBar* V = memCode->verticalScrollBar();
  const int LineHeight = std::max(1, QFontMetrics(memCode->font()).lineSpacing());
  const int Visible = std::max(1, memCode->viewport()->height() / LineHeight);
  const int First = Ranges.front().First;
  if (First < V->value() || First >= V->value() + Visible)
    V->setValue(std::max(0, First - 2));
}

void SaveProgramText(const TAlgorithm& Algorithm, TCodeLanguage Language,
                     const std::string& FileName, TCodeStyleKind Style) {
  try {
    const std::string Bytes = ProgramFileBytes(GenerateProgram(Algorithm, Language, Style));
    SaveFileAtomically(FileName, [&](TStream& S) { S.WriteBuffer(Bytes.data(), Bytes.size()); });
  } catch (const std::exception& E) {
    throw Exception("Не удалось сохранить программу в файл \"" + VisibleText(FileName) + "\".\n" +
                    WithFullStop(E.what()));
  }
}

bool SaveProgramTextAs(QWidget* Parent, TAlgorithm& Algorithm, TCodeLanguage Language,
                       const std::string& AlgorithmFileName, TCodeStyleKind Style) {
  QFileDialog Dialog(Parent, QStringLiteral("Сохранить программу как"));
  Dialog.setAcceptMode(QFileDialog::AcceptSave);
  Dialog.setFileMode(QFileDialog::AnyFile);
  Dialog.setNameFilter(QString::fromStdString(CodeLanguageFileFilter(Language)));
  Dialog.setDefaultSuffix(QString::fromLatin1(CodeLanguageExtension(Language) + 1));
  const std::string Suggested = SuggestedProgramFileName(AlgorithmFileName, Language);
  Dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(Suggested)));
  if (!ExecFileDialogUsingWorkingDir(Dialog, AlgorithmFileName) || Dialog.selectedFiles().isEmpty())
    return false;
  const std::string FileName = QFile::encodeName(Dialog.selectedFiles().front()).toStdString();
  SaveProgramText(Algorithm, Language, FileName, Style);
  return true;
}

} // namespace Deskbay
