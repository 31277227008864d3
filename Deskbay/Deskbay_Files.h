#pragma once

// The documents named on the command line ("Deskbay FILE..."), opened as
// the Open command opens them once the shell has started.

#include <string>
#include <vector>

namespace Deskbay {

class TMainForm;

// The arguments after the program's name, each made absolute against
// StartDir, the folder the program was started from (the shell makes its
// own folder the working one as it starts), with "." and ".." resolved by
// name. Names are bytes and stay as given: a name that is no UTF-8 (from
// an archive made on another system) opens as algtool opens it.
std::vector<std::string> CommandLineFiles(const std::vector<std::string>& Arguments,
                                          const std::string& StartDir);

// Opens each file in order; one that cannot be opened is shown by the
// error display and the others still open.
void OpenCommandLineFiles(TMainForm& Main, const std::vector<std::string>& Files);

} // namespace Deskbay
