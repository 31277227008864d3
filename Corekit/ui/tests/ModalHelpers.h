#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace Deskbay::Testing {

// Runs Act on the next application-modal window as soon as it is open; the
// caller then opens it with a blocking exec.
inline void WhenModal(std::function<void(QWidget*)> Act) {
  auto* Timer = new QTimer;
  Timer->setInterval(5);
  QObject::connect(Timer, &QTimer::timeout, [Timer, Act] {
    if (QWidget* W = QApplication::activeModalWidget(); W && W->isVisible()) {
      Timer->stop();
      Timer->deleteLater();
      Act(W);
    }
  });
  Timer->start();
}

} // namespace Deskbay::Testing
