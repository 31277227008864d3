#include "Flowjog_ConsoleFrame.h"

#include "Corekit/ui/UiFonts.h"
#include "Flowrun/Flowrun_Main.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace Deskbay {

namespace {

// One console line is one line of the text box, whatever it holds.
QString LineText(const std::string& Line) {
  QString S = QString::fromStdString(Line);
  S.replace(QLatin1Char('\r'), QLatin1Char(' '));
  S.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return S;
}

// How many of the shown lines have dropped off the front, when the rest of
// them starts the console's lines; -1 when they do not. The console only
// ever drops its oldest lines and appends new ones, so normally the first
// candidate that fits is the answer.
int DroppedLines(const std::vector<std::string>& Shown, const std::vector<std::string>& Lines) {
  for (size_t K = 0; K <= Shown.size(); ++K) {
    const size_t Kept = Shown.size() - K;
    if (Kept > Lines.size())
      continue;
    if (std::equal(Shown.begin() + static_cast<std::ptrdiff_t>(K), Shown.end(), Lines.begin()))
      return static_cast<int>(K);
  }
  return -1;
}

} // namespace

TAlgConsoleFrame::TAlgConsoleFrame(QWidget* Parent) : QWidget(Parent) {
  resize(188, 209);
  setFont(DefaultUiFont());
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  lblConsole = new QLabel(QStringLiteral(" Окно вывода"), this);
  lblConsole->setObjectName(QStringLiteral("lblConsole"));
  lblConsole->setFixedHeight(qRound(20 * UiFontScale()));
  QFont Caption = DefaultUiFont();
  Caption.setBold(true);
  lblConsole->setFont(Caption);
  lblConsole->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Layout->addWidget(lblConsole);

  memConsole = new QPlainTextEdit(this);
  memConsole->setObjectName(QStringLiteral("memConsole"));
  memConsole->setAccessibleName(QStringLiteral("Окно вывода"));
  memConsole->setTabChangesFocus(true);
  // Read-only, it shows no caret: the focus is its frame.
  memConsole->setStyleSheet(
      QStringLiteral("QPlainTextEdit:focus { border: 2px solid palette(highlight); }"));
  QFont Fixed = FixedUiFont();
  // The console's lines at the interface's size: the list is narrow.
  Fixed.setPixelSize(qRound(11 * UiFontScale()));
  memConsole->setFont(Fixed);
  memConsole->setReadOnly(true);
  memConsole->setLineWrapMode(QPlainTextEdit::NoWrap);
  memConsole->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memConsole->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Layout->addWidget(memConsole);
}

TAlgConsoleFrame::~TAlgConsoleFrame() {
  SetConsole(nullptr);
}

void TAlgConsoleFrame::SetConsole(TAlgConsole* Console) {
  if (Console == FConsole)
    return;
  if (FConsole)
    FConsole->RemoveListener(this);
  FConsole = Console;
  if (FConsole)
    FConsole->AddListener(this);
  ShowData();
}

void TAlgConsoleFrame::Notify(TObject*) {
  ShowData();
}

void TAlgConsoleFrame::ShowData() {
  if (!FConsole) {
    memConsole->clear();
    FShown.clear();
    return;
  }
  TStringList Lines;
  FConsole->GetLines(Lines);
  ShowLines(Lines.Lines());
}

// Lines are taken away at the front and added at the end of the document
// rather than replacing its whole text: a full console of 500 lines is then
// no slower to follow than an empty one.
void TAlgConsoleFrame::ShowLines(const std::vector<std::string>& Lines) {
  const int Dropped = DroppedLines(FShown, Lines);
  if (Dropped < 0 || FShown.empty()) {
    QStringList All;
    All.reserve(static_cast<qsizetype>(Lines.size()));
    for (const std::string& L : Lines)
      All.append(LineText(L));
    memConsole->setPlainText(All.join(QLatin1Char('\n')));
  } else {
    const size_t Kept = FShown.size() - static_cast<size_t>(Dropped);
    QTextCursor C(memConsole->document());
    if (Dropped > 0) {
      C.movePosition(QTextCursor::Start);
      if (Kept == 0) {
        C.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      } else {
        C.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, Dropped);
      }
      C.removeSelectedText();
    }
    if (Kept < Lines.size()) {
      QStringList Added;
      for (size_t I = Kept; I < Lines.size(); ++I)
        Added.append(LineText(Lines[I]));
      C.movePosition(QTextCursor::End);
      C.insertText((Kept > 0 ? QStringLiteral("\n") : QString()) + Added.join(QLatin1Char('\n')));
    }
  }
  FShown = Lines;
  // The caret goes to the start of the last line, which comes into view
  // whole at the bottom of the box, the text scrolled to its left edge.
  QTextCursor End(memConsole->document());
  End.movePosition(QTextCursor::End);
  End.movePosition(QTextCursor::StartOfBlock);
  memConsole->setTextCursor(End);
  memConsole->ensureCursorVisible();
  memConsole->verticalScrollBar()->setValue(memConsole->verticalScrollBar()->maximum());
}

} // namespace Deskbay
