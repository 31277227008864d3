#pragma once

// The help window: the program's pages (Russian HTML compiled in as
// resources) in a text browser, with the contents and index, a search over
// all pages, and back and forward. One window for the whole program; asking
// for help again brings it to the front at the new topic.

#include "EnvironmentExport.h"

#include <QString>
#include <QWidget>

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

namespace Deskbay {

// The page of the help that tells about a kind of block, by the block's class
// name ("TForAlgBlock" → "language.html#for"), as the kind's description
// gives it; the contents for anything else (the root, a sequence, no block).
ENVIRONMENT_API QString HelpTopicOfBlock(const std::string& BlockClassName);

// One place the search found.
struct THelpHit {
  QString Topic;   // "page.html#anchor" of the section it is in
  QString Title;   // the section's heading
  QString Excerpt; // the paragraph, shortened
};

// The sections of the pages (the contents and index left out) with a
// paragraph that holds every word of Words (case ignored), in page order,
// each section once. No words: nothing.
ENVIRONMENT_API std::vector<THelpHit> SearchHelp(const QString& Words);

// The pages, in the order of the contents.
ENVIRONMENT_API QStringList HelpPageNames();

class ENVIRONMENT_API THelpForm : public QWidget {
  Q_OBJECT
public:
  explicit THelpForm(QWidget* Parent = nullptr);

  // Opens "page.html", "page.html#anchor" or "#anchor" of the current page;
  // an empty topic is the contents. An unknown page shows the contents.
  void ShowTopic(const QString& Topic);
  // Fills the result list for Words and shows the first hit with the first
  // word marked.
  void Search(const QString& Words);
  // The page shown and the anchor last opened on it.
  QString CurrentTopic() const;

  QToolButton* btnBack;
  QToolButton* btnForward;
  QToolButton* btnContents;
  QLineEdit* edtSearch;
  QListWidget* lstResults;
  QTextBrowser* brwPage;

private:
  void ShowHit(int Row);
  std::vector<THelpHit> FHits;
  QString FWords;
};

// The program's help window, made on first use, shown at Topic and raised.
ENVIRONMENT_API THelpForm* ShowHelp(const QString& Topic = QString());

} // namespace Deskbay
