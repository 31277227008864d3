#include "Flowapp_TaskPanel.h"

#include "Corekit/SysUtils.h"

#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <filesystem>

namespace Deskbay {

std::string RestrictionsText(const TTaskRestrictions& R) {
  std::string S;
  const auto Add = [&S](const std::string& Part) { S += (S.empty() ? "" : "; ") + Part; };
  if (R.LimitsBlocks) {
    std::string Kinds;
    for (TAlgBlockKind Kind : R.Blocks)
      Kinds += (Kinds.empty() ? "«" : ", «") + std::string(AlgBlockKindInfo(Kind).Name) + "»";
    Add("можно использовать блоки: " + (Kinds.empty() ? std::string("никакие") : Kinds));
  }
  if (R.LimitsFunctions) {
    std::string Names;
    for (const std::string& Name : R.Functions)
      Names += (Names.empty() ? "" : ", ") + Name;
    Add("функции и команды рисования: " + (Names.empty() ? std::string("никакие") : Names));
  }
  if (R.MaxBlocks > 0)
    Add(Format("не больше %lld блоков", static_cast<long long>(R.MaxBlocks)));
  if (!R.ProgramText)
    Add("текст программы не показывается");
  return S.empty() ? S : "В этом задании " + S + ".";
}

TTaskPanel::TTaskPanel(QWidget* Parent) : QFrame(Parent) {
  setObjectName("pnlTask");
  setFrameShape(QFrame::StyledPanel);
  setAccessibleName("Задание");
  auto* Column = new QVBoxLayout(this);
  Column->setContentsMargins(6, 4, 6, 4);
  Column->setSpacing(3);

  lblTitle = new QLabel(this);
  lblTitle->setObjectName("lblTaskTitle");
  QFont Bold = lblTitle->font();
  Bold.setBold(true);
  lblTitle->setFont(Bold);
  Column->addWidget(lblTitle);

  txtTask = new QTextBrowser(this);
  txtTask->setObjectName("txtTask");
  txtTask->setAccessibleName("Текст задания");
  txtTask->setOpenLinks(false);
  txtTask->setFocusPolicy(Qt::StrongFocus);
  txtTask->setMinimumHeight(60);
  Column->addWidget(txtTask, 1);

  lblRules = new QLabel(this);
  lblRules->setObjectName("lblTaskRules");
  lblRules->setAccessibleName("Ограничения задания");
  lblRules->setWordWrap(true);
  lblRules->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  lblRules->setFocusPolicy(Qt::TabFocus);
  Column->addWidget(lblRules);

  // Said in words with a sign before them, so it is told by more than red.
  lblRefusal = new QLabel(this);
  lblRefusal->setObjectName("lblTaskRefusal");
  lblRefusal->setAccessibleName("Что нельзя в этом задании");
  lblRefusal->setWordWrap(true);
  lblRefusal->setStyleSheet("color: #a00000;");
  lblRefusal->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  lblRefusal->setFocusPolicy(Qt::TabFocus);
  lblRefusal->hide();
  Column->addWidget(lblRefusal);
}

void TTaskPanel::ShowTask(const std::string& TaskName, const TTaskPack& Pack) {
  const std::string Name = std::filesystem::path(TaskName).filename().string();
  lblTitle->setText(QString::fromStdString("Задание: " + VisibleText(Name)));
  txtTask->setMarkdown(QString::fromStdString(Pack.Text));
  const std::string Rules = RestrictionsText(Pack.Restrictions);
  lblRules->setText(QString::fromStdString(Rules));
  lblRules->setVisible(!Rules.empty());
  ShowRefusal(std::string());
}

void TTaskPanel::ShowRefusal(const std::string& Reason) {
  lblRefusal->setText(Reason.empty() ? QString() : QString::fromStdString("⚠ " + Reason));
  lblRefusal->setAccessibleDescription(QString::fromStdString(Reason));
  lblRefusal->setVisible(!Reason.empty());
}

} // namespace Deskbay
