#include "HelpPages.h"

#include <QtCore/qresource.h>

// Q_INIT_RESOURCE names a function of the global namespace.
static void InitHelpResources() {
  Q_INIT_RESOURCE(deskbay_help_pages);
  Q_INIT_RESOURCE(deskbay_help_pictures);
}

namespace Deskbay {

void InitHelpPages() {
  static const bool Done = (InitHelpResources(), true);
  (void)Done;
}

} // namespace Deskbay
