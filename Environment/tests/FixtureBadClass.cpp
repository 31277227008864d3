// A package whose GetAppModuleClass fails with an exception type of its own.

#include "Environment/Main.h"

#include <exception>

namespace {

struct TOwnError : std::exception {
  const char* what() const noexcept override { return "Класс модуля недоступен"; }
};

} // namespace

DESKBAY_PACKAGE_EXPORT const Deskbay::TAppModuleClass* GetAppModuleClass() {
  throw TOwnError();
}
