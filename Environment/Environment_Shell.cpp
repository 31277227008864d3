#include "Environment_Shell.h"

#include "Main.h"

namespace Deskbay {

IShell::~IShell() = default;

IShell* RunningShell() {
  return MainForm;
}

} // namespace Deskbay
