#pragma once

// The documents named on the command line ("Deskbay FILE..."), opened as
// the Open command opens them once the shell has started.

#include <QStringList>

#include <string>
#include <vector>

namespace Deskbay {

class TMainForm;

// The arguments after the program's name, each made absolute against
// StartDir, the folder the program was started from: the shell makes its
// own folder the working one as it starts.
std::vector<std::string> CommandLineFiles(const QStringList& Arguments,
                                          const std::string& StartDir);

// Opens each file in order; one that cannot be opened is shown by the
// error display and the others still open.
void OpenCommandLineFiles(TMainForm& Main, const std::vector<std::string>& Files);

} // namespace Deskbay
