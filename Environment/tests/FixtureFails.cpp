// A module whose constructor fails.

#include "Environment/Main.h"

namespace {

using namespace Deskbay;

class TFailingModule : public TAppModule {
public:
  TFailingModule(const TAppModuleClass& Class, const std::string& Name) : TAppModule(Class, Name) {
    throw Exception("Нет нужных данных");
  }
};

class TFailingModuleClass : public TAppModuleClassOf<TFailingModule> {
public:
  using TAppModuleClassOf::TAppModuleClassOf;
  std::string GetTitle() const override { return "Неудачный модуль"; }
};

const TFailingModuleClass ModuleClass("TFailingModule");

} // namespace

DESKBAY_PACKAGE_EXPORT const Deskbay::TAppModuleClass* GetAppModuleClass() {
  return &ModuleClass;
}
