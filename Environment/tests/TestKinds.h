#pragma once

// Document kinds made inside the test program, registered for one test.

#include "Environment/Main.h"
#include "Environment/ModuleReg.h"

#include <string>
#include <vector>

namespace Deskbay::Testing {

// A document of text lines; SaveStream can be told to fail half-way, or as
// a place that cannot be written does (DenyWriting, an errno value).
class TTestForm : public TEditorForm {
public:
  using TEditorForm::TEditorForm;
  std::string Text = "text";
  bool FailWriting = false;
  int DenyWriting = 0;
  int Deleted = 0;
  void SaveStream(TStream& Stream) override {
    if (DenyWriting)
      throw EFOpenError(
          Format("Не удалось создать файл \"%s\": нет доступа", GetFileName().c_str()),
          DenyWriting);
    Stream.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
    if (FailWriting)
      throw Exception("Нет места на диске");
  }
  void LoadStream(TStream& Stream) override {
    Text.assign(static_cast<size_t>(Stream.GetSize()), '\0');
    Stream.ReadBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  }
  bool SelectionPresent() override { return true; }
  void DeleteSelection() override { ++Deleted; }
};

// A kind described entirely by its fields.
class TTestKind : public TEditorFormClassOf<TTestForm> {
public:
  TTestKind(const char* Name, std::string Description, std::vector<std::string> Extensions,
            TEditorFlags Flags = {efCanCreate, efCanSave, efCanLoad}, std::string Signature = "")
      : TEditorFormClassOf(Name), Description(std::move(Description)),
        Extensions(std::move(Extensions)), Flags(Flags), Signature(std::move(Signature)) {}
  std::string GetDescription() const override { return Description; }
  void GetFileExtensions(TStringList& List) const override {
    for (const std::string& E : Extensions)
      List.Add(E);
  }
  TEditorFlags GetFlags() const override { return Flags; }
  std::string GetFileSignature() const override { return Signature; }

  std::string Description;
  std::vector<std::string> Extensions;
  TEditorFlags Flags;
  std::string Signature;
};

// Registers kinds under CATID_EDITOR for the life of the object.
class TRegisteredKinds {
public:
  TRegisteredKinds(std::initializer_list<const TEditorFormClass*> Kinds) : FKinds(Kinds) {
    for (const TEditorFormClass* K : FKinds)
      RegisterModuleClass(K, CATID_EDITOR);
  }
  ~TRegisteredKinds() {
    for (const TEditorFormClass* K : FKinds)
      UnregisterModuleClass(K);
  }

private:
  std::vector<const TEditorFormClass*> FKinds;
};

} // namespace Deskbay::Testing
