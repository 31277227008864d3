#pragma once

// The foundation library's dialogs as the shell uses them.

#include <QFileDialog>

#include <string>

namespace Deskbay {

enum TModalResult { mrCancel = 2, mrYes = 6, mrNo = 7 };

int AskYesNoCancel(const std::string& Caption, const std::string& Message);
bool RunFileDialog(QFileDialog& Dialog);

} // namespace Deskbay
