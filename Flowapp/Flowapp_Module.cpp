#include "Flowapp_Module.h"

#include "Flowapp_EditorForm.h"

#include "Environment/Environment_Shell.h"

namespace Deskbay {

namespace {

class TFlowappAppModuleClass : public TAppModuleClassOf<TFlowappAppModule> {
public:
  using TAppModuleClassOf::TAppModuleClassOf;
  std::string GetTitle() const override { return "Исполнитель алгоритмов"; }
  std::string GetShortTitle() const override { return "Исполнитель алгоритмов"; }
};

const TFlowappAppModuleClass FlowappAppModuleClass("TFlowappAppModule");

} // namespace

TFlowappAppModule::TFlowappAppModule(const TAppModuleClass& Class, const std::string& Name)
    : TAppModule(Class, Name) {
  // The algorithm first: a damaged ".alg" file goes to its loader.
  RegisterEditors({&TAlgEditorForm::StaticClass(), &TAlgEditorForm::TaskClass()}, true);
  GetShell().CreateEditor(&TAlgEditorForm::StaticClass());
}

const TAppModuleClass& TFlowappAppModule::StaticClass() {
  return FlowappAppModuleClass;
}

} // namespace Deskbay

const Deskbay::TAppModuleClass* GetAppModuleClass() {
  return &Deskbay::TFlowappAppModule::StaticClass();
}
