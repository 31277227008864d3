// A second module and document kind, "Второй документ" (*.fx2), whose files
// no content test recognises.

#include "Environment/Main.h"

namespace {

using namespace Deskbay;

class TSecondForm : public TEditorForm {
public:
  using TEditorForm::TEditorForm;
};

class TSecondClass : public TEditorFormClassOf<TSecondForm> {
public:
  using TEditorFormClassOf::TEditorFormClassOf;
  std::string GetDescription() const override { return "Второй документ"; }
  void GetFileExtensions(TStringList& List) const override {
    List.Add("fx2");
    List.Add("second");
  }
};

const TSecondClass SecondClass("TSecondForm");

class TSecondModule : public TAppModule {
public:
  TSecondModule(const TAppModuleClass& Class, const std::string& Name) : TAppModule(Class, Name) {
    RegisterEditors({&SecondClass}, true);
  }
};

class TSecondModuleClass : public TAppModuleClassOf<TSecondModule> {
public:
  using TAppModuleClassOf::TAppModuleClassOf;
  std::string GetTitle() const override { return "Второй модуль, с запятой"; }
};

const TSecondModuleClass ModuleClass("TSecondModule");

} // namespace

DESKBAY_PACKAGE_EXPORT const Deskbay::TAppModuleClass* GetAppModuleClass() {
  return &ModuleClass;
}
