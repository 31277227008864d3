#pragma once

// Document windows: the contract between the shell and a document kind.
// What a kind says about itself as a class (description, extensions, flags,
// signature, content test, making a window) lives on its class value, a
// TEditorFormClass; what a document does lives on its window, a TEditorForm.

#include "Basic.h"
#include "ModuleReg.h"

#include "Corekit/Streams.h"
#include "Corekit/StringList.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace Deskbay {

enum TEditorFlag {
  efUniversal, // the fallback: used for a file only when no specific class accepts it
  efCanCreate, // may be created empty with New
  efCanSave,   // may be saved (Save and Save As)
  efCanLoad    // opens files (file matching and the Open dialog's filter)
};

class TEditorFlags {
public:
  constexpr TEditorFlags() = default;
  constexpr TEditorFlags(std::initializer_list<TEditorFlag> Flags) {
    for (TEditorFlag F : Flags)
      FBits |= 1u << F;
  }
  constexpr bool Contains(TEditorFlag F) const { return (FBits >> F) & 1u; }
  friend constexpr bool operator==(TEditorFlags, TEditorFlags) = default;

private:
  unsigned FBits = 0;
};

class TEditorForm;

// A document kind as a value: the shell makes windows and asks questions of
// a kind through it. A kind derives from TEditorFormClassOf<itsForm>.
class ENVIRONMENT_API TEditorFormClass : public TModuleClass {
public:
  // The virtual constructor: a new window of this kind, not yet shown.
  virtual TEditorForm* Create(QWidget* Owner) const = 0;
  // Whether Form is of this kind or of one derived from it.
  virtual bool IsClassOf(const TEditorForm* Form) const = 0;

  // The kind's name for dialogs; "".
  virtual std::string GetDescription() const;
  // Appends the kind's extensions without dot, preferred first; none.
  virtual void GetFileExtensions(TStringList& List) const;
  // Whether the stream holds a document of this kind: by default, whether
  // it starts with GetFileSignature (never for an empty signature).
  virtual bool UnderstandsData(TStream& Stream) const;
  // {efCanCreate, efCanSave, efCanLoad}.
  virtual TEditorFlags GetFlags() const;
  // The bytes a file of this kind starts with; "" for none.
  virtual std::string GetFileSignature() const;

  // The preferred extension, or "".
  std::string FileExtension() const;
};

// The class value of the form class TForm, whose constructor takes
// (const TEditorFormClass&, QWidget* Owner). Base is the class value class
// it inherits its class-level answers from.
template <class TForm, class Base = TEditorFormClass> class TEditorFormClassOf : public Base {
public:
  explicit TEditorFormClassOf(const char* Name) : FName(Name) {}
  const char* ClassName() const override { return FName; }
  TEditorForm* Create(QWidget* Owner) const override;
  bool IsClassOf(const TEditorForm* Form) const override {
    return dynamic_cast<const TForm*>(Form) != nullptr;
  }

private:
  const char* FName;
};

class ENVIRONMENT_API TEditorForm : public TBasicForm {
  Q_OBJECT
public:
  // Takes the lowest free untitled number and registers the window as a
  // document with the main window.
  TEditorForm(const TEditorFormClass& Class, QWidget* Owner = nullptr);
  ~TEditorForm() override;

  // The class value of TEditorForm itself: every document is of it.
  static const TEditorFormClass& StaticClass();
  const TEditorFormClass* GetClass() const { return FClass; }

  virtual bool GetModified();
  virtual void SetModified(bool Value);
  virtual int64_t GetVersion();
  // The window caption; FileName by default.
  virtual std::string BuildCaption();
  virtual void LoadStream(TStream& Stream);
  virtual void SaveStream(TStream& Stream);
  // efCanSave, and modified or never saved.
  virtual bool CanSave();
  // Saves under the file name (Save As without one). When the place cannot
  // be written (no permission, a read-only file system) the user is offered
  // Save As instead; false when that was declined, the document unchanged.
  virtual bool Save();
  virtual bool CanSaveAs();

  // Opens Name as this document (a kind may open a file its own way).
  virtual void OpenFile(const std::string& Name);
  void LoadFile(const std::string& Name);
  // Writes through the safe writer: a failed save leaves the old file as it
  // was and raises an error that names the file.
  void SaveFile(const std::string& Name);
  // Asks for a name and saves under it; false when the user cancelled.
  bool SaveAs();
  // What SaveAs does with the name the user chose.
  bool SaveAsFile(const std::string& Name);
  void SetFileName(const std::string& Name);
  std::string FileExtension() const { return FClass->FileExtension(); }
  // The filter of the save dialog: "%s (*.%s)|*.%s|" and the all-files pair.
  std::string MakeSaveFilter() const;

  const std::string& GetFileName() const { return FFileName; }
  bool GetHasFileName() const { return FHasFileName; }
  int GetNonameNumber() const { return FNonameNumber; }

  // The close-query handler: asks about unsaved changes; whether the window
  // may close.
  bool QueryClose();
  // The window caption as BuildCaption gives it now, with a leading "*"
  // while modified, control characters and non-UTF-8 bytes as escapes.
  void UpdateWindowCaption();

protected:
  void closeEvent(QCloseEvent* Event) override;

private:
  const TEditorFormClass* FClass;
  int64_t FVersion = 1;
  int64_t FSavedVersion = 1;
  std::string FFileName;
  bool FDocRegistered = false;
  bool FHasFileName = false;
  int FNonameNumber = 0;
};

template <class TForm, class Base>
TEditorForm* TEditorFormClassOf<TForm, Base>::Create(QWidget* Owner) const {
  TForm* Form = new TForm(*this, Owner);
  // The caption of a kind that builds its own is known only now.
  Form->UpdateWindowCaption();
  return Form;
}

// The base name of untitled documents.
inline constexpr const char* NonameBase = "Безымянный";

// Converts a filter of "caption|mask|caption|mask" pairs (masks joined by
// "; ") into the name filters of a Qt file dialog.
ENVIRONMENT_API QStringList FilterToNameFilters(const std::string& Filter);

} // namespace Deskbay
