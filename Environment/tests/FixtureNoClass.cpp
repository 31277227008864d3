// A package without GetAppModuleClass.

#include "Environment/Main.h"

DESKBAY_PACKAGE_EXPORT int FixtureNoClassValue() {
  return 1;
}
