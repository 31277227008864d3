#include "FixtureDocs.h"

#include "Environment/Environment_Modules.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>

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
    // For looking at the shell by hand: a document at start, and the
    // modules dialog after the given milliseconds.
    if (std::getenv("DESKBAY_FIXTURE_OPEN"))
      MainForm->CreateEditor(&FixtureTextClass);
    if (const char* Delay = std::getenv("DESKBAY_FIXTURE_SHOW_MODULES"))
      QTimer::singleShot(std::atoi(Delay), [] { ShowModules(); });
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

TFixtureTextForm::TFixtureTextForm(const TEditorFormClass& Class, QWidget* Owner)
    : TEditorForm(Class, Owner) {
  auto* View = new QPlainTextEdit(this);
  View->setReadOnly(true);
  View->setPlainText("Проверочный текст");
  (new QVBoxLayout(this))->addWidget(View);
}

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
