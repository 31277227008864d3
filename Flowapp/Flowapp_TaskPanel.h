#pragma once

// The task a pupil works on, as the algorithm window shows it when it was
// opened from a task pack: the task's text (Markdown), what the task allows,
// and the last thing the editor refused and why. Above the check results.

#include "FlowappExport.h"

#include "Flowcheck/Flowcheck_Task.h"

#include <QFrame>

#include <string>

class QLabel;
class QTextBrowser;

namespace Deskbay {

class FLOWAPP_API TTaskPanel : public QFrame {
  Q_OBJECT
public:
  explicit TTaskPanel(QWidget* Parent = nullptr);

  // The pack's text and restrictions; TaskName (the pack's file) names it.
  void ShowTask(const std::string& TaskName, const TTaskPack& Pack);
  // What the editor refused, or what a block breaks, and why; empty clears.
  void ShowRefusal(const std::string& Reason);

  QLabel* lblTitle;
  QTextBrowser* txtTask;
  QLabel* lblRules;
  QLabel* lblRefusal;
};

// What a task allows, in words ("Можно использовать блоки: ...; не больше
// 10 блоков; текст программы не показывается"); empty when nothing is
// restricted.
FLOWAPP_API std::string RestrictionsText(const TTaskRestrictions& R);

} // namespace Deskbay
