#include "FixtureDocs.h"

namespace Deskbay::Testing {

namespace {

class TFixtureTextClass : public TEditorFormClassOf<TFixtureTextForm> {
public:
  using TEditorFormClassOf::TEditorFormClassOf;
  std::string GetDescription() const override { return "Проверочный текст"; }
  void GetFileExtensions(TStringList& List) const override { List.Add("fxt"); }
  std::string GetFileSignature() const override { return "FXT1"; }
};

const TFixtureTextClass FixtureTextClass("TFixtureTextForm");

class TFixtureDocsModule : public TAppModule {
public:
  TFixtureDocsModule(const TAppModuleClass& Class, const std::string& Name)
      : TAppModule(Class, Name) {
    RegisterEditors({&FixtureTextClass}, true);
  }
};

class TFixtureDocsModuleClass : public TAppModuleClassOf<TFixtureDocsModule> {
public:
  using TAppModuleClassOf::TAppModuleClassOf;
  std::string GetTitle() const override { return "Проверочные документы"; }
  std::string GetShortTitle() const override { return "Документы"; }
};

const TFixtureDocsModuleClass ModuleClass("TFixtureDocsModule");

} // namespace

void TFixtureTextForm::LoadStream(TStream& Stream) {
  Stream.Seek(4, soBeginning);
  Text.assign(static_cast<size_t>(Stream.GetSize() - 4), '\0');
  Stream.ReadBuffer(Text.data(), static_cast<int64_t>(Text.size()));
}

void TFixtureTextForm::SaveStream(TStream& Stream) {
  Stream.WriteBuffer("FXT1", 4);
  Stream.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
}

} // namespace Deskbay::Testing

DESKBAY_PACKAGE_EXPORT const Deskbay::TAppModuleClass* GetAppModuleClass() {
  return &Deskbay::Testing::ModuleClass;
}
