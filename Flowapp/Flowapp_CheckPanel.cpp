#include "Flowapp_CheckPanel.h"

#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Feedback.h"
#include "Flowcheck/Flowcheck_Text.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace Deskbay {

namespace {

const QColor PassedColor(0, 112, 0);
const QColor FailedColor(176, 0, 0);
const QColor DifferenceBackground(255, 214, 214);
const QColor AbsentColor(128, 128, 128);

// The longest line a cell shows, in characters.
constexpr size_t MaxCellChars = 300;

QString Q(const std::string& S) {
  return QString::fromStdString(S);
}

// A line of the program or the file as a cell shows it: control characters
// made visible, a huge line cut.
QString CellText(const std::string& Line) {
  return Q(CheckExcerpt(VisibleText(Line), MaxCellChars));
}

QTableWidgetItem* Item(const QString& Text) {
  auto* I = new QTableWidgetItem(Text);
  I->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return I;
}

QTableWidgetItem* AbsentItem(const QString& Text) {
  QTableWidgetItem* I = Item(Text);
  I->setForeground(AbsentColor);
  QFont F = I->font();
  F.setItalic(true);
  I->setFont(F);
  return I;
}

QTableWidget* MakeTable(QWidget* Parent, const char* Name, const QStringList& Headers) {
  auto* T = new QTableWidget(0, static_cast<int>(Headers.size()), Parent);
  T->setObjectName(Name);
  T->setHorizontalHeaderLabels(Headers);
  T->verticalHeader()->hide();
  T->setEditTriggers(QAbstractItemView::NoEditTriggers);
  T->setSelectionMode(QAbstractItemView::SingleSelection);
  T->setSelectionBehavior(QAbstractItemView::SelectRows);
  T->setWordWrap(false);
  T->horizontalHeader()->setStretchLastSection(true);
  // Tab goes on to the next control; the arrows move through the rows.
  T->setTabKeyNavigation(false);
  T->setStyleSheet(QStringLiteral("QTableWidget:focus { border: 2px solid palette(highlight); }"));
  return T;
}

} // namespace

TCheckPanel::TCheckPanel(QWidget* Parent) : QFrame(Parent) {
  setObjectName("pnlCheck");
  setFrameShape(QFrame::StyledPanel);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(4, 2, 4, 4);
  Layout->setSpacing(2);

  auto* Top = new QHBoxLayout;
  lblSummary = new QLabel(this);
  lblSummary->setObjectName("lblSummary");
  QFont Bold = lblSummary->font();
  Bold.setBold(true);
  lblSummary->setFont(Bold);
  Top->addWidget(lblSummary, 1);
  btnClose = new QToolButton(this);
  btnClose->setObjectName("btnClose");
  btnClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  btnClose->setAutoRaise(true);
  btnClose->setToolTip("Закрыть результаты проверки");
  btnClose->setAccessibleName("Закрыть результаты проверки");
  btnClose->setFocusPolicy(Qt::TabFocus);
  connect(btnClose, &QToolButton::clicked, this, [this] {
    hide();
    if (OnClose)
      OnClose();
  });
  Top->addWidget(btnClose);
  Layout->addLayout(Top);

  auto* Split = new QSplitter(Qt::Horizontal, this);
  Split->setObjectName("splCheckPanel");
  Split->setAccessibleName(QStringLiteral("Случаи и строки проверки"));
  Split->setChildrenCollapsible(false);
  tblCases = MakeTable(Split, "tblCases", {"Случай", "Итог", "Пояснение"});
  tblCases->installEventFilter(this);
  tblCases->setToolTip("Двойной щелчок по непройденному случаю — отладка с его вводом");
  tblCases->setAccessibleName("Случаи проверки");
  tblCases->setAccessibleDescription(
      "Enter или двойной щелчок по непройденному случаю — отладка с его вводом");
  // The verdict's column fits the longer verdict whatever the first rows
  // say, without measuring every row of a large check.
  {
    const QFontMetrics Metrics(tblCases->font());
    const int Text =
        std::max(Metrics.horizontalAdvance("не пройден"),
                 tblCases->horizontalHeader()->fontMetrics().horizontalAdvance("Итог"));
    tblCases->setColumnWidth(
        1, Text + 2 * tblCases->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16);
  }
  connect(tblCases, &QTableWidget::currentCellChanged, this,
          [this](int Row, int, int, int) { ShowCase(Row); });
  connect(tblCases, &QTableWidget::cellDoubleClicked, this,
          [this](int Row, int) { DebugRow(Row); });

  auto* Details = new QWidget(Split);
  auto* DetailsLayout = new QVBoxLayout(Details);
  DetailsLayout->setContentsMargins(0, 0, 0, 0);
  DetailsLayout->setSpacing(2);
  lblCase = new QLabel(Details);
  lblCase->setObjectName("lblCase");
  lblCase->setWordWrap(true);
  lblCase->setTextFormat(Qt::PlainText);
  lblCase->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblCase->setAccessibleName("Выбранный случай");
  DetailsLayout->addWidget(lblCase);
  tblLines = MakeTable(Details, "tblLines", {"№", "Ожидалось", "Выведено"});
  tblLines->setSelectionMode(QAbstractItemView::NoSelection);
  tblLines->setAccessibleName("Строки вывода случая: ожидалось и выведено");
  tblLines->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  tblLines->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  tblLines->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  DetailsLayout->addWidget(tblLines, 1);
  auto* Bottom = new QHBoxLayout;
  Bottom->addStretch(1);
  btnDebug = new QPushButton("Отладить этот случай", Details);
  btnDebug->setObjectName("btnDebug");
  btnDebug->setAccessibleName("Отладить этот случай");
  btnDebug->setToolTip("Начать отладку с вводом этого случая и остановиться перед блоком, "
                       "где что-то пошло не так; дальше — по шагам (F8)");
  connect(btnDebug, &QPushButton::clicked, this, [this] { DebugRow(FSelected); });
  Bottom->addWidget(btnDebug);
  DetailsLayout->addLayout(Bottom);

  Split->addWidget(tblCases);
  Split->addWidget(Details);
  Split->setStretchFactor(0, 1);
  Split->setStretchFactor(1, 1);
  Layout->addWidget(Split, 1);
  ShowCase(-1);
}

void TCheckPanel::BeginCheck(const std::string& TestsName, int Total) {
  FResults.clear();
  FTestsName = std::filesystem::path(TestsName).filename().string();
  FTotal = Total;
  FSelected = -1;
  FStopped = false;
  tblCases->setRowCount(0);
  ShowCase(-1);
  ShowSummary();
}

void TCheckPanel::AddResult(const TCaseResult& Result) {
  AddResults({Result});
}

void TCheckPanel::AddResults(const std::vector<TCaseResult>& Results) {
  if (Results.empty())
    return;
  const int FirstRow = tblCases->rowCount();
  tblCases->setRowCount(FirstRow + static_cast<int>(Results.size()));
  for (size_t I = 0; I < Results.size(); ++I) {
    const TCaseResult& Result = Results[I];
    const int Row = FirstRow + static_cast<int>(I);
    FResults.push_back(Result);
    // A hidden case's name may give it away: the pupil sees its number.
    tblCases->setItem(Row, 0, Item(CellText(PupilCaseName(FResults, FResults.size() - 1))));
    QTableWidgetItem* Verdict = Item(Result.Passed() ? "пройден" : "не пройден");
    Verdict->setForeground(Result.Passed() ? PassedColor : FailedColor);
    tblCases->setItem(Row, 1, Verdict);
    const QString Description = Q(PupilDescription(Result));
    QTableWidgetItem* Reason = Item(Description);
    Reason->setToolTip(Description);
    tblCases->setItem(Row, 2, Reason);
  }
  ShowSummary();
  if (!GetComplete() || FSelected >= 0)
    return;
  tblCases->resizeColumnToContents(0);
  // The first case worth looking at: one that failed and shows why.
  auto First = std::find_if(FResults.begin(), FResults.end(),
                            [](const TCaseResult& R) { return !R.Passed() && !R.Hidden; });
  if (First == FResults.end())
    First = std::find_if(FResults.begin(), FResults.end(),
                         [](const TCaseResult& R) { return !R.Passed(); });
  if (First == FResults.end())
    First = FResults.begin();
  SelectCase(First == FResults.end() ? -1 : static_cast<int>(First - FResults.begin()));
}

void TCheckPanel::StopCheck() {
  FStopped = true;
  ShowSummary();
}

void TCheckPanel::ShowSummary() {
  const int Count = static_cast<int>(FResults.size());
  const QString Tests = FTestsName.empty() ? QString() : " — тесты «" + Q(FTestsName) + "»";
  if (!GetComplete()) {
    lblSummary->setText((FStopped ? QString("Проверка остановлена: проверено %1 из %2")
                                  : QString("Проверка: %1 из %2..."))
                            .arg(Count)
                            .arg(FTotal) +
                        Tests);
    lblSummary->setStyleSheet(QString());
    return;
  }
  int Passed = 0;
  int64_t Score = 0, MaxScore = 0;
  bool Weighted = false;
  for (const TCaseResult& R : FResults) {
    Passed += R.Passed();
    Score += R.Passed() ? R.Weight : 0;
    MaxScore += R.Weight;
    Weighted = Weighted || R.Weight != 1;
  }
  QString Text = QString("Пройдено %1 из %2").arg(Passed).arg(Count);
  if (Weighted)
    Text += QString(", баллы: %1 из %2").arg(Score).arg(MaxScore);
  lblSummary->setText(Text + Tests);
  lblSummary->setStyleSheet(
      QString("color: %1").arg((Passed == Count ? PassedColor : FailedColor).name()));
}

void TCheckPanel::SelectCase(int Index) {
  if (Index < 0 || Index >= tblCases->rowCount()) {
    tblCases->clearSelection();
    tblCases->setCurrentCell(-1, -1);
    ShowCase(-1);
    return;
  }
  tblCases->setCurrentCell(Index, 0);
  ShowCase(Index);
  tblCases->scrollToItem(tblCases->item(Index, 0));
}

bool TCheckPanel::CanDebug(int Index) const {
  if (Index < 0 || Index >= static_cast<int>(FResults.size()))
    return false;
  const TCaseResult& R = FResults[static_cast<size_t>(Index)];
  return !R.Passed() && !R.Hidden && R.StopStep >= 0;
}

void TCheckPanel::ShowCase(int Index) {
  FSelected = Index >= 0 && Index < static_cast<int>(FResults.size()) ? Index : -1;
  tblLines->setRowCount(0);
  btnDebug->setEnabled(CanDebug(FSelected));
  if (FSelected < 0) {
    lblCase->setText(FResults.empty() ? QString() : "Выберите случай, чтобы увидеть его строки.");
    tblLines->hide();
    return;
  }
  const TCaseResult& R = FResults[static_cast<size_t>(FSelected)];
  if (R.Hidden) {
    // Nothing of a hidden case but its verdict.
    lblCase->setText(Q(PupilCaseName(FResults, static_cast<size_t>(FSelected)) + ": " +
                       PupilDescription(R) +
                       ". Ввод и ожидаемый вывод скрытого случая не показываются."));
    tblLines->hide();
    return;
  }
  QString Text = Q(CheckQuoted(R.CaseName) + ": " + PupilDescription(R));
  if (!R.Answers.empty()) {
    QStringList Answers;
    for (const std::string& A : R.Answers)
      Answers << CellText(A);
    Text += "\nВвод: " + Answers.join(", ");
  }
  const int Expected = static_cast<int>(R.ExpectedLines.size());
  const int Printed = static_cast<int>(R.PrintedLines.size());
  const int Count = std::max(Expected, Printed);
  // Around the first difference when there are too many lines to show.
  int Start = 0;
  if (Count > MaxShownLines && R.FirstDifference > 10)
    Start = std::min(R.FirstDifference - 10, Count - MaxShownLines);
  const int End = std::min(Count, Start + MaxShownLines);
  if (Start > 0 || End < Count)
    Text += QString("\nПоказаны строки %1–%2 из %3.").arg(Start + 1).arg(End).arg(Count);
  const bool StoppedEarly =
      R.Failure == TCaseFailure::OutputLine || R.Failure == TCaseFailure::ExtraOutput;
  if (StoppedEarly)
    Text += "\nПроверка остановила алгоритм на первом отличии.";
  if (Count == 0)
    Text += "\nСтрок вывода нет: ни ожидаемых, ни выведенных.";
  lblCase->setText(Text);
  tblLines->setVisible(Count > 0);
  tblLines->setRowCount(End - Start);
  for (int I = Start; I < End; ++I) {
    const int Row = I - Start;
    tblLines->setItem(Row, 0, Item(QString::number(I + 1)));
    tblLines->setItem(Row, 1,
                      I < Expected ? Item(CellText(R.ExpectedLines[static_cast<size_t>(I)]))
                                   : AbsentItem(R.Passed() ? "—" : "(лишняя строка)"));
    // After a difference the run was stopped: what it would have printed
    // is unknown, not missing.
    tblLines->setItem(Row, 2,
                      I < Printed    ? Item(CellText(R.PrintedLines[static_cast<size_t>(I)]))
                      : StoppedEarly ? Item(QString())
                                     : AbsentItem("(не выведено)"));
    if (I == R.FirstDifference)
      for (int Column = 0; Column < 3; ++Column) {
        QTableWidgetItem* Cell = tblLines->item(Row, Column);
        Cell->setBackground(DifferenceBackground);
        QFont F = Cell->font();
        F.setBold(true);
        Cell->setFont(F);
        Cell->setToolTip("Первое отличие");
      }
  }
  if (R.FirstDifference >= Start && R.FirstDifference < End) {
    QTableWidgetItem* Cell = tblLines->item(R.FirstDifference - Start, 0);
    Cell->setText("≠ " + Cell->text());
    tblLines->scrollToItem(Cell);
  }
}

void TCheckPanel::DebugRow(int Index) {
  if (CanDebug(Index) && OnDebugCase)
    OnDebugCase(Index);
}

bool TCheckPanel::eventFilter(QObject* Watched, QEvent* Event) {
  // Enter on a case's row debugs it, as a double click does.
  if (Watched == tblCases && Event->type() == QEvent::KeyPress) {
    const int Key = static_cast<QKeyEvent*>(Event)->key();
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
      DebugRow(tblCases->currentRow());
      return true;
    }
  }
  return QFrame::eventFilter(Watched, Event);
}

} // namespace Deskbay
