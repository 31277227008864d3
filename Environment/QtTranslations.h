#pragma once

// Qt's own texts (the file dialogs, a text box's context menu, the standard
// buttons) in the interface's language, Russian, whatever the user's locale.

#include "EnvironmentExport.h"

class QTranslator;

namespace Deskbay {

// Installs Qt's Russian catalogue into the application; the application
// owns it. nullptr when the catalogue is not installed (Qt then speaks
// English).
ENVIRONMENT_API QTranslator* InstallQtTranslations();

} // namespace Deskbay
