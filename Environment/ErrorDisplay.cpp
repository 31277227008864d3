#include "ErrorDisplay.h"

#include <QMessageBox>

namespace Deskbay {

namespace {

TErrorHandler& Handler() {
  static TErrorHandler H;
  return H;
}

} // namespace

void ShowErrorMessage(const std::string& Message) {
  if (Handler()) {
    Handler()(Message);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                        QString::fromStdString(Message));
}

void ShowException(const std::exception& E) {
  ShowErrorMessage(E.what());
}

TErrorHandler SetErrorHandler(TErrorHandler NewHandler) {
  TErrorHandler Old = std::move(Handler());
  Handler() = std::move(NewHandler);
  return Old;
}

TShellApplication::TShellApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TShellApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& E) {
    ShowException(E);
  } catch (...) {
    ShowErrorMessage("Неизвестная ошибка.");
  }
  return false;
}

} // namespace Deskbay
