#pragma once

// The details of one loaded module: its version values and the libraries it
// requires.

#include "EnvironmentExport.h"

#include "Corekit/ModMgr.h"

#include <QDialog>
#include <QLabel>

class QGroupBox;
class QPlainTextEdit;
class QTreeWidget;
class QPushButton;

namespace Deskbay {

// A label that opens its text as an address when clicked, while it has one.
class ENVIRONMENT_API TLinkLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;
  // The address the text opens as; "" leaves the label inert.
  void SetTarget(const QString& Url);
  const QString& GetTarget() const { return FTarget; }

protected:
  void mouseReleaseEvent(QMouseEvent* Event) override;

private:
  QString FTarget;
};

class ENVIRONMENT_API TModuleDetailsForm : public QDialog {
  Q_OBJECT
public:
  // Raises "Модуль %d не найден." for a handle that is no loaded module.
  explicit TModuleDetailsForm(TModuleHandle Module, QWidget* Parent = nullptr);

  QGroupBox* gbxDetails;
  QLabel* lblDescription;
  QLabel* lblAuthors;
  TLinkLabel* lblEmail;
  TLinkLabel* lblURL;
  QLabel* lblApplication;
  QPlainTextEdit* memComments;
  QTreeWidget* lvDepends;
  QPushButton* btnOk;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
};

// "mailto:" before the address unless it starts so (any case).
ENVIRONMENT_API std::string MakeMailUrl(const std::string& Email);
// "http://" before the address unless it holds "://".
ENVIRONMENT_API std::string MakeWebUrl(const std::string& Url);

ENVIRONMENT_API void ShowModuleDetails(TModuleHandle Module);

} // namespace Deskbay
