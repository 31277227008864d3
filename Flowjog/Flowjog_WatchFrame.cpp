#include "Flowjog_WatchFrame.h"

#include "Corekit/ui/UiFonts.h"
#include "Flowrun/Flowrun_Values.h"
#include "Flowrun/Flowrun_VarStorage.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Deskbay {

namespace {

QFont CaptionFont() {
  QFont F = DefaultUiFont();
  F.setBold(true);
  return F;
}

// Names are compared as the list sorts its captions: letters without regard
// to case first, so "a" and "B" stand in alphabetical order, then exactly,
// so that names differing only in case keep a fixed order.
int CompareCaptions(const std::string& A, const std::string& B) {
  const QString QA = QString::fromStdString(A), QB = QString::fromStdString(B);
  const int I = QA.compare(QB, Qt::CaseInsensitive);
  return I != 0 ? I : QA.compare(QB, Qt::CaseSensitive);
}

// Holds the list's repaints back while its rows change and lets it repaint
// once afterwards, also when the update fails halfway.
class TListUpdate {
public:
  explicit TListUpdate(QWidget* List) : FList(List), FWasEnabled(List->updatesEnabled()) {
    FList->setUpdatesEnabled(false);
  }
  ~TListUpdate() { FList->setUpdatesEnabled(FWasEnabled); }
  TListUpdate(const TListUpdate&) = delete;
  TListUpdate& operator=(const TListUpdate&) = delete;

private:
  QWidget* FList;
  bool FWasEnabled;
};

} // namespace

TWatchFrame::TWatchFrame(QWidget* Parent) : QWidget(Parent) {
  resize(236, 240);
  setFont(DefaultUiFont());
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  pnlVarCaption = new QLabel(QStringLiteral(" Переменные"), this);
  pnlVarCaption->setObjectName(QStringLiteral("pnlVarCaption"));
  pnlVarCaption->setFixedHeight(qRound(20 * UiFontScale()));
  pnlVarCaption->setFont(CaptionFont());
  pnlVarCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Layout->addWidget(pnlVarCaption);

  lvWatch = new QTableWidget(0, 2, this);
  lvWatch->setObjectName(QStringLiteral("lvWatch"));
  lvWatch->setAccessibleName(QStringLiteral("Переменные"));
  // Tab leaves the list for the next control; arrows move along its rows.
  lvWatch->setTabKeyNavigation(false);
  // The focus is seen on the list as a whole, not only on a cell.
  lvWatch->setStyleSheet(
      QStringLiteral("QTableWidget:focus { border: 2px solid palette(highlight); }"));
  lvWatch->horizontalHeader()->hide();
  lvWatch->verticalHeader()->hide();
  lvWatch->horizontalHeader()->setSectionsClickable(false);
  lvWatch->horizontalHeader()->setMinimumSectionSize(1);
  lvWatch->setColumnWidth(0, 23);
  lvWatch->setColumnWidth(1, 150);
  lvWatch->setShowGrid(true);
  lvWatch->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvWatch->setSelectionMode(QAbstractItemView::SingleSelection);
  lvWatch->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvWatch->setWordWrap(false);
  // Report rows as high as a line of text, not the toolkit's roomy default,
  // so that a dozen variables fit the small list.
  lvWatch->verticalHeader()->setMinimumSectionSize(1);
  lvWatch->verticalHeader()->setDefaultSectionSize(lvWatch->fontMetrics().height() + 3);
  Layout->addWidget(lvWatch);

  lblNote = new QLabel(this);
  lblNote->setObjectName(QStringLiteral("lblNote"));
  lblNote->setWordWrap(true);
  lblNote->setContentsMargins(3, 1, 3, 1);
  lblNote->hide();
  Layout->addWidget(lblNote);

  connect(lvWatch, &QTableWidget::itemSelectionChanged, this, [this] {
    if (!FUpdating)
      SelectionChanged();
  });
}

// Rows inserted above the selected one move the selection with them: the
// list reports that as a change, which it is not for the pupil.
void TWatchFrame::SelectionChanged() {
  std::string Name = SelectedName();
  if (Name == FSelected)
    return;
  FSelected = std::move(Name);
  if (OnSelectVariable)
    OnSelectVariable(*this, FSelected);
}

std::string TWatchFrame::SelectedName() const {
  const QList<QTableWidgetItem*> Items = lvWatch->selectedItems();
  if (Items.isEmpty())
    return {};
  const int Row = Items.front()->row();
  return Row >= 0 && Row < static_cast<int>(FCaptions.size()) ? FCaptions[static_cast<size_t>(Row)]
                                                              : std::string();
}

void TWatchFrame::ShowNote(const std::string& Text) {
  lblNote->setText(QString::fromStdString(Text));
  lblNote->setVisible(!Text.empty());
}

void TWatchFrame::SetChangedNames(const std::vector<std::string>& Names) {
  std::set<std::string> Changed(Names.begin(), Names.end());
  if (Changed == FChanged)
    return;
  FChanged = std::move(Changed);
  TListUpdate Update(lvWatch);
  for (int Row = 0; Row < static_cast<int>(FCaptions.size()); ++Row)
    PaintRow(Row);
}

void TWatchFrame::SetChangedColors(const QColor& Text, const QColor& Ground) {
  FChangedColors = {Text, Ground};
  TListUpdate Update(lvWatch);
  for (int Row = 0; Row < static_cast<int>(FCaptions.size()); ++Row)
    PaintRow(Row);
}

void TWatchFrame::PaintRow(int Row) {
  const bool Changed = FChanged.count(FCaptions[static_cast<size_t>(Row)]) > 0;
  for (int Column = 0; Column < 2; ++Column)
    if (QTableWidgetItem* Item = lvWatch->item(Row, Column)) {
      // A changed value is red and bold on a pale red ground: bold tells it
      // without colour. The others take the list's own colours.
      Item->setForeground(Changed ? QBrush(FChangedColors.first) : QBrush());
      Item->setBackground(Changed ? QBrush(FChangedColors.second) : QBrush());
      QFont Font = lvWatch->font();
      Font.setBold(Changed);
      Item->setFont(Font);
    }
}

TWatchFrame::~TWatchFrame() {
  SetVars(nullptr);
}

void TWatchFrame::SetVars(TVarStorage* Storage) {
  if (Storage == FStorage)
    return;
  if (FStorage)
    FStorage->RemoveListener(this);
  FStorage = Storage;
  if (FStorage)
    FStorage->AddListener(this);
  ShowVars();
}

void TWatchFrame::Clear() {
  TListUpdate Update(lvWatch);
  FUpdating = true;
  lvWatch->setRowCount(0);
  FCaptions.clear();
  FUpdating = false;
  SelectionChanged();
}

void TWatchFrame::Notify(TObject*) {
  ShowVars();
}

int TWatchFrame::SortedRowFor(const std::string& Name) const {
  int Row = 0;
  while (Row < static_cast<int>(FCaptions.size()) &&
         CompareCaptions(FCaptions[static_cast<size_t>(Row)], Name) <= 0)
    ++Row;
  return Row;
}

void TWatchFrame::ShowVars() {
  TListUpdate Update(lvWatch);
  if (!FStorage)
    return;
  FUpdating = true;
  struct TDone {
    TWatchFrame* Frame;
    ~TDone() { Frame->FUpdating = false; }
  } Done{this};
  for (int I = 0; I < FStorage->GetVarCount(); ++I) {
    const std::string& Name = FStorage->GetVarNames(I);
    const QString Text = QString::fromStdString(AlgFormatValue(FStorage->GetVarValues(I)));
    int Row = -1;
    for (size_t R = 0; R < FCaptions.size(); ++R)
      if (FCaptions[R] == Name) {
        Row = static_cast<int>(R);
        break;
      }
    if (Row >= 0) {
      QTableWidgetItem* Value = lvWatch->item(Row, 1);
      if (Value->text() != Text)
        Value->setText(Text);
      continue;
    }
    Row = SortedRowFor(Name);
    FCaptions.insert(FCaptions.begin() + Row, Name);
    lvWatch->insertRow(Row);
    lvWatch->setItem(Row, 0, new QTableWidgetItem(QString::fromStdString(Name)));
    lvWatch->setItem(Row, 1, new QTableWidgetItem(Text));
    PaintRow(Row);
  }
}

} // namespace Deskbay
