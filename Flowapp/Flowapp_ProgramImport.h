#pragma once

// Program text into the algorithm window: "Файл" > "Открыть программу..."
// makes a Python or Pascal program (or the chart's text form) into a chart
// in a new untitled window; the names the import mapped to letters are said
// in a message.

#include "FlowappExport.h"

#include <string>
#include <vector>

class QWidget;

namespace Deskbay {

class IShell;
class TAlgEditorForm;

// The Open dialog for a program, starting beside the document From shows;
// then OpenProgramFile. Raises with the reason (nothing is opened then).
FLOWAPP_API void OpenProgramFromDialog(TAlgEditorForm& From);

// Makes the program file's chart and opens it in a new untitled algorithm
// window of Shell, which it returns. The form comes from the extension
// (".py", ".pas", ".txt"), else from the text's look. Raises the import's
// error naming the file, the line and the column; no window opens then.
FLOWAPP_API TAlgEditorForm* OpenProgramFile(IShell& Shell, const std::string& FileName);

// "total → T" lines in a message over Parent, when there are any; the
// message waits for nobody.
FLOWAPP_API void ShowImportedNames(QWidget* Parent, const std::vector<std::string>& Names);

} // namespace Deskbay
