#include "ErrorDisplay.h"

#include "Corekit/SysUtils.h"

#include <QMessageBox>

namespace Deskbay {

namespace {

// A message as it is shown: each line made visible on its own (a file
// name's bytes that are no text as escapes), the line breaks kept.
QString DisplayText(const std::string& Message) {
  std::string Text;
  size_t Start = 0;
  for (;;) {
    const size_t End = Message.find('\n', Start);
    std::string Line = Message.substr(Start, End == std::string::npos ? End : End - Start);
    if (!Line.empty() && Line.back() == '\r')
      Line.pop_back();
    Text += VisibleText(Line);
    if (End == std::string::npos)
      break;
    Text += '\n';
    Start = End + 1;
  }
  return QString::fromStdString(Text);
}

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
                        DisplayText(Message));
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
