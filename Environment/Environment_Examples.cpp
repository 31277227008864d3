#include "Environment_Examples.h"

#include "Corekit/SysUtils.h"
#include "Corekit/VisualUtils.h"
#include "Corekit/ui/QtCanvas.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace Deskbay {

namespace {

// Items carry their example's index in the list.
constexpr int IndexRole = Qt::UserRole;

// A message of several lines on one.
std::string OneLine(const std::string& Message) {
  std::string Out;
  for (char C : Message) {
    if (C == '\r')
      continue;
    if (C == '\n') {
      if (!Out.empty() && Out.back() != ' ')
        Out += ' ';
      continue;
    }
    Out += C;
  }
  return Out;
}

// Laid out with the fonts it is drawn with, as the editor lays it out.
class TMetricsScope {
public:
  TMetricsScope() : FPrevious(SetTextMetrics(&FMetrics)) {}
  ~TMetricsScope() { SetTextMetrics(FPrevious); }
  TMetricsScope(const TMetricsScope&) = delete;
  TMetricsScope& operator=(const TMetricsScope&) = delete;

private:
  TQtTextMetrics FMetrics;
  ITextMetrics* FPrevious;
};

// A picture's place where a file could not be read: a crossed frame.
QImage NoPicture(QSize Size) {
  QImage Image(Size, QImage::Format_RGB32);
  Image.fill(Qt::white);
  QPainter Painter(&Image);
  Painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
  Painter.drawRect(QRect(QPoint(0, 0), Size).adjusted(0, 0, -1, -1));
  Painter.drawLine(0, 0, Size.width() - 1, Size.height() - 1);
  Painter.drawLine(Size.width() - 1, 0, 0, Size.height() - 1);
  return Image;
}

} // namespace

QImage ExampleChartPicture(const std::string& File, QSize MaxSize, std::string* Error) {
  try {
    TAlgorithm Alg;
    LoadAlgorithmFile(Alg, File);
    TCompositeImage Image;
    {
      TMetricsScope Metrics;
      Alg.GetRoot()->Render(Image);
    }
    const TPoint Size = Image.GetSize();
    if (Size.X <= 0 || Size.Y <= 0)
      return {};
    const double Scale =
        std::min({1.0, double(MaxSize.width()) / Size.X, double(MaxSize.height()) / Size.Y});
    QImage Picture(std::max(1, int(Size.X * Scale + 0.5)), std::max(1, int(Size.Y * Scale + 0.5)),
                   QImage::Format_RGB32);
    Picture.fill(Qt::white);
    QPainter Painter(&Picture);
    Painter.setRenderHint(QPainter::Antialiasing, true);
    Painter.scale(Scale, Scale);
    TQtCanvas Canvas(Painter);
    Image.Display(Canvas, {0, 0});
    return Picture;
  } catch (const std::exception& E) {
    if (Error)
      *Error = E.what();
    return {};
  }
}

TExamplesForm::TExamplesForm(const std::string& Folder, QWidget* Parent)
    : QDialog(Parent), FExamples(ListExamples(Folder)) {
  setWindowTitle(QStringLiteral("Примеры алгоритмов"));
  resize(560, 560);

  lblFolder = new QLabel(this);
  lblFolder->setObjectName(QStringLiteral("lblFolder"));
  lblFolder->setTextFormat(Qt::PlainText);
  lblFolder->setWordWrap(true);
  // The folder as the user knows it: without "bin/.." of the installed layout.
  std::string Shown = Folder;
  if (char* Real = realpath(Folder.c_str(), nullptr)) {
    Shown = Real;
    free(Real);
  }
  const QString Name = QString::fromStdString(VisibleText(Shown));
  lblFolder->setText(FExamples.empty() ? QStringLiteral("В папке \"%1\" нет примеров.").arg(Name)
                                       : QStringLiteral("Примеры из папки \"%1\":").arg(Name));

  lvExamples = new QListWidget(this);
  lvExamples->setObjectName(QStringLiteral("lvExamples"));
  lvExamples->setAccessibleName(QStringLiteral("Примеры алгоритмов"));
  lvExamples->setViewMode(QListView::ListMode);
  lvExamples->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvExamples->setSelectionMode(QAbstractItemView::SingleSelection);
  lvExamples->setIconSize(PictureSize);
  lvExamples->setSpacing(3);
  lvExamples->setWordWrap(true);
  lvExamples->setUniformItemSizes(false);
  lblFolder->setBuddy(lvExamples);

  for (size_t I = 0; I < FExamples.size(); ++I) {
    const TExampleInfo& E = FExamples[I];
    std::string Error;
    QImage Picture = ExampleChartPicture(E.Path, PictureSize, &Error);
    // Every picture in a frame of the same size, so the texts line up.
    QImage Cell(PictureSize, QImage::Format_ARGB32);
    Cell.fill(Qt::transparent);
    {
      QPainter Painter(&Cell);
      const QImage& Shown = Picture.isNull() ? NoPicture(PictureSize) : Picture;
      Painter.drawImage((PictureSize.width() - Shown.width()) / 2, 0, Shown);
    }
    QString Text = QString::fromStdString(VisibleText(E.Title));
    QString Lesson = QString::fromStdString(VisibleText(E.Lesson));
    if (!Error.empty())
      Lesson = QString::fromStdString(VisibleText(OneLine(Error)));
    if (!Lesson.isEmpty())
      Text += QLatin1Char('\n') + Lesson;
    auto* Item = new QListWidgetItem(QIcon(QPixmap::fromImage(Cell)), Text, lvExamples);
    Item->setData(IndexRole, static_cast<int>(I));
    Item->setToolTip(QString::fromStdString(VisibleText(E.FileName)));
    Item->setData(Qt::AccessibleTextRole, Text);
    Item->setData(Qt::AccessibleDescriptionRole,
                  QStringLiteral("Файл %1").arg(QString::fromStdString(VisibleText(E.FileName))));
  }

  btnOpen = new QPushButton(QStringLiteral("Открыть"), this);
  btnOpen->setObjectName(QStringLiteral("btnOpen"));
  btnOpen->setDefault(true);
  btnOtherFile = new QPushButton(QStringLiteral("Другой файл..."), this);
  btnOtherFile->setObjectName(QStringLiteral("btnOtherFile"));
  btnOtherFile->setAutoDefault(false);
  btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  connect(btnOpen, &QPushButton::clicked, this, [this] {
    if (!SelectedPath().empty())
      accept();
  });
  connect(btnOtherFile, &QPushButton::clicked, this, [this] {
    FOtherFile = true;
    accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // A double click or Enter on an example opens it.
  connect(lvExamples, &QListWidget::itemActivated, this, [this](QListWidgetItem* Item) {
    lvExamples->setCurrentItem(Item);
    accept();
  });
  connect(lvExamples, &QListWidget::itemSelectionChanged, this, &TExamplesForm::UpdateUI);

  auto* Buttons = new QHBoxLayout;
  Buttons->addWidget(btnOtherFile);
  Buttons->addStretch(1);
  Buttons->addWidget(btnOpen);
  Buttons->addWidget(btnCancel);
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(lblFolder);
  Layout->addWidget(lvExamples, 1);
  Layout->addLayout(Buttons);

  if (lvExamples->count() > 0)
    lvExamples->setCurrentRow(0);
  lvExamples->setFocus();
  UpdateUI();
}

std::string TExamplesForm::SelectedPath() const {
  const QList<QListWidgetItem*> Selected = lvExamples->selectedItems();
  if (Selected.isEmpty())
    return {};
  const int Index = Selected.first()->data(IndexRole).toInt();
  return Index >= 0 && size_t(Index) < FExamples.size() ? FExamples[size_t(Index)].Path
                                                        : std::string();
}

void TExamplesForm::UpdateUI() {
  btnOpen->setEnabled(!lvExamples->selectedItems().isEmpty());
}

} // namespace Deskbay
