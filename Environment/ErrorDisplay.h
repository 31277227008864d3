#pragma once

// The one place where errors meet the user: every exception that leaves an
// event handler ends here, is shown with its text, and the program goes on.

#include "EnvironmentExport.h"

#include <QApplication>

#include <exception>
#include <functional>
#include <string>

namespace Deskbay {

using TErrorHandler = std::function<void(const std::string& Message)>;

// Shows Message in a message box, or hands it to the installed handler.
ENVIRONMENT_API void ShowErrorMessage(const std::string& Message);
// The exception's text, as ShowErrorMessage shows it.
ENVIRONMENT_API void ShowException(const std::exception& E);
// Installs Handler (tests collect the messages instead of showing boxes);
// an empty one restores the message box. Answers the previous handler.
ENVIRONMENT_API TErrorHandler SetErrorHandler(TErrorHandler Handler);

// The application object of the shell: exceptions that reach the event
// loop go to the error display instead of ending the program.
class ENVIRONMENT_API TShellApplication : public QApplication {
public:
  TShellApplication(int& Argc, char** Argv);
  bool notify(QObject* Receiver, QEvent* Event) override;
};

} // namespace Deskbay
