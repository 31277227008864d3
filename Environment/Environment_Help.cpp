#include "Environment_Help.h"

#include "Flowmodel/Flowmodel_Main.h"
#include "help/HelpPages.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace Deskbay {

namespace {

const QString HelpRoot = QStringLiteral("qrc:/help/");
const QString ContentsPage = QStringLiteral("index.html");

// How much of a paragraph a search result shows, in characters.
constexpr int ExcerptLength = 120;

QString ReadPage(const QString& Name) {
  InitHelpPages();
  QFile File(":/help/" + Name);
  if (!File.open(QIODevice::ReadOnly))
    return QString();
  return QString::fromUtf8(File.readAll());
}

// The anchor a block of the document starts with, if any.
QString AnchorOf(const QTextBlock& Block) {
  for (auto It = Block.begin(); !It.atEnd(); ++It) {
    const QStringList Names = It.fragment().charFormat().anchorNames();
    if (!Names.isEmpty())
      return Names.first();
  }
  return QString();
}

QString Shortened(const QString& Text, int At) {
  int From = std::max(0, At - ExcerptLength / 3);
  QString S = Text.mid(From, ExcerptLength).simplified();
  if (From > 0)
    S = "…" + S;
  if (From + ExcerptLength < Text.size())
    S += "…";
  return S;
}

} // namespace

QString HelpTopicOfBlock(const std::string& BlockClassName) {
  for (int I = 0; I < AlgBlockKindCount; ++I)
    if (const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I));
        BlockClassName == Info.Class->ClassName())
      return QString::fromUtf8(Info.HelpTopic);
  return ContentsPage;
}

QStringList HelpPageNames() {
  return {ContentsPage,   "editor.html", "language.html",
          "drawing.html", "errors.html", "teacher.html"};
}

std::vector<THelpHit> SearchHelp(const QString& Words) {
  const QStringList List = Words.split(' ', Qt::SkipEmptyParts);
  std::vector<THelpHit> Hits;
  if (List.isEmpty())
    return Hits;
  for (const QString& Page : HelpPageNames()) {
    if (Page == ContentsPage) // links only, each to a section searched itself
      continue;
    QTextDocument Doc;
    Doc.setHtml(ReadPage(Page));
    QString Anchor, Title = Doc.metaInformation(QTextDocument::DocumentTitle);
    QString LastTopic;
    for (QTextBlock B = Doc.begin(); B.isValid(); B = B.next()) {
      if (const QString A = AnchorOf(B); !A.isEmpty()) {
        Anchor = A;
        if (B.blockFormat().headingLevel() > 0)
          Title = B.text().simplified();
      }
      const QString Text = B.text();
      bool All = true;
      for (const QString& W : List)
        All = All && Text.contains(W, Qt::CaseInsensitive);
      const QString Topic = Anchor.isEmpty() ? Page : Page + "#" + Anchor;
      if (!All || Topic == LastTopic)
        continue;
      LastTopic = Topic;
      Hits.push_back(
          {Topic, Title, Shortened(Text, Text.indexOf(List.first(), 0, Qt::CaseInsensitive))});
    }
  }
  return Hits;
}

THelpForm::THelpForm(QWidget* Parent) : QWidget(Parent, Qt::Window) {
  InitHelpPages();
  setObjectName("HelpForm");
  setWindowTitle("Справка");
  resize(900, 640);

  auto* Bar = new QHBoxLayout;
  auto MakeButton = [this, Bar](const char* Name, const QString& Text, const QString& Tip) {
    auto* B = new QToolButton(this);
    B->setObjectName(Name);
    B->setText(Text);
    B->setToolTip(Tip);
    // Named by what it does, not by its arrow.
    B->setAccessibleName(Tip);
    B->setAutoRaise(true);
    Bar->addWidget(B);
    return B;
  };
  btnBack = MakeButton("btnBack", "◀", "Назад");
  btnForward = MakeButton("btnForward", "▶", "Вперёд");
  btnContents = MakeButton("btnContents", "Содержание", "Содержание и указатель");
  Bar->addStretch();
  auto* SearchLabel = new QLabel("&Найти:", this);
  Bar->addWidget(SearchLabel);
  edtSearch = new QLineEdit(this);
  edtSearch->setObjectName("edtSearch");
  edtSearch->setAccessibleName("Найти в справке");
  SearchLabel->setBuddy(edtSearch);
  edtSearch->setPlaceholderText("слова для поиска");
  edtSearch->setClearButtonEnabled(true);
  edtSearch->setMinimumWidth(220);
  Bar->addWidget(edtSearch);

  lstResults = new QListWidget(this);
  lstResults->setObjectName("lstResults");
  lstResults->setAccessibleName("Найденные разделы");
  lstResults->setSpacing(3);
  lstResults->setAlternatingRowColors(true);
  brwPage = new QTextBrowser(this);
  brwPage->setObjectName("brwPage");
  brwPage->setAccessibleName("Страница справки");
  brwPage->setOpenLinks(true);
  brwPage->setSearchPaths({":/help"});
  // Examples stand out from the text: the chart, what it reads, prints or
  // stops with, each on its own tint.
  brwPage->document()->setDefaultStyleSheet(
      "pre.alg { background-color: #eef2fa; } pre.in { background-color: #f6f6e8; } "
      "pre.out { background-color: #eaf6ea; } pre.err { background-color: #faecec; }");

  auto* Split = new QSplitter(this);
  Split->addWidget(lstResults);
  Split->addWidget(brwPage);
  Split->setStretchFactor(1, 1);
  Split->setSizes({240, 660});
  lstResults->hide(); // until there is something to show

  auto* Layout = new QVBoxLayout(this);
  Layout->addLayout(Bar);
  Layout->addWidget(Split, 1);

  connect(btnBack, &QToolButton::clicked, brwPage, &QTextBrowser::backward);
  connect(btnForward, &QToolButton::clicked, brwPage, &QTextBrowser::forward);
  connect(brwPage, &QTextBrowser::backwardAvailable, btnBack, &QToolButton::setEnabled);
  connect(brwPage, &QTextBrowser::forwardAvailable, btnForward, &QToolButton::setEnabled);
  connect(btnContents, &QToolButton::clicked, this, [this] { ShowTopic(QString()); });
  connect(edtSearch, &QLineEdit::returnPressed, this, [this] { Search(edtSearch->text()); });
  connect(lstResults, &QListWidget::currentRowChanged, this, &THelpForm::ShowHit);
  btnBack->setEnabled(false);
  btnForward->setEnabled(false);
  // Escape closes the help, as it closes a dialog.
  auto* Escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  Escape->setContext(Qt::WindowShortcut);
  connect(Escape, &QShortcut::activated, this, &QWidget::close);
  ShowTopic(QString());
}

void THelpForm::ShowTopic(const QString& Topic) {
  QString Page = Topic.section('#', 0, 0);
  const QString Anchor = Topic.section('#', 1);
  if (Page.isEmpty())
    Page = Anchor.isEmpty() ? ContentsPage : brwPage->source().fileName();
  if (!HelpPageNames().contains(Page))
    Page = ContentsPage;
  QUrl Url(HelpRoot + Page);
  if (!Anchor.isEmpty())
    Url.setFragment(Anchor);
  brwPage->setSource(Url);
}

QString THelpForm::CurrentTopic() const {
  const QUrl Url = brwPage->source();
  return Url.hasFragment() ? Url.fileName() + "#" + Url.fragment() : Url.fileName();
}

void THelpForm::Search(const QString& Words) {
  FWords = Words;
  FHits = SearchHelp(Words);
  lstResults->blockSignals(true);
  lstResults->clear();
  for (const THelpHit& Hit : FHits) {
    // A heading that holds the words is its own excerpt.
    auto* Item = new QListWidgetItem(
        Hit.Excerpt == Hit.Title ? Hit.Title : Hit.Title + "\n" + Hit.Excerpt, lstResults);
    Item->setToolTip(Hit.Excerpt);
  }
  if (FHits.empty())
    new QListWidgetItem("Ничего не найдено.", lstResults);
  lstResults->blockSignals(false);
  lstResults->setWordWrap(true);
  lstResults->setVisible(!Words.trimmed().isEmpty());
  if (!FHits.empty())
    lstResults->setCurrentRow(0);
}

void THelpForm::ShowHit(int Row) {
  if (Row < 0 || Row >= static_cast<int>(FHits.size()))
    return;
  ShowTopic(FHits[static_cast<size_t>(Row)].Topic);
  // Mark the first word where the section starts, so the eye finds it.
  const QString First = FWords.split(' ', Qt::SkipEmptyParts).value(0);
  if (First.isEmpty())
    return;
  const QString Anchor = FHits[static_cast<size_t>(Row)].Topic.section('#', 1);
  QTextCursor From(brwPage->document());
  if (!Anchor.isEmpty()) {
    for (QTextBlock B = brwPage->document()->begin(); B.isValid(); B = B.next())
      if (AnchorOf(B) == Anchor) {
        From = QTextCursor(B);
        break;
      }
  }
  const QTextCursor Found = brwPage->document()->find(First, From);
  if (!Found.isNull()) {
    brwPage->setTextCursor(Found);
    brwPage->ensureCursorVisible();
  }
}

THelpForm* ShowHelp(const QString& Topic) {
  static QPointer<THelpForm> Form;
  if (!Form) {
    Form = new THelpForm;
    Form->setAttribute(Qt::WA_DeleteOnClose);
  }
  Form->ShowTopic(Topic);
  Form->show();
  Form->raise();
  Form->activateWindow();
  return Form;
}

} // namespace Deskbay
