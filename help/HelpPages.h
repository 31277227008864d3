#pragma once

// The help's pages and pictures, compiled into the program as Qt resources
// under ":/help" (index.html the contents and index).

namespace Deskbay {

// Makes the resources available; any number of calls.
void InitHelpPages();

} // namespace Deskbay
