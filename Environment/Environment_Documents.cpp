#include "Environment_Documents.h"

#include "Editor.h"
#include "Environment_WindowList.h"
#include "ModuleReg.h"

#include "Corekit/Streams.h"
#include "Corekit/StringList.h"
#include "Corekit/SysUtils.h"

#include <QPointer>

#include <algorithm>
#include <sys/stat.h>

namespace Deskbay {

TEditorForm* TDocumentList::CreateEditor(const TEditorFormClass* EditorClass) {
  TEditorForm* Editor = EditorClass->Create(nullptr);
  try {
    Editor->show();
  } catch (...) {
    delete Editor;
    throw;
  }
  return Editor;
}

TEditorForm* TDocumentList::OpenFile(const std::string& FileName) {
  // A file has one window: opening it again shows that one, whatever path
  // names it, so two windows can never overwrite each other's saves.
  if (TEditorForm* Shown = FindFileEditor(FileName)) {
    FWindows.Select(Shown);
    return Shown;
  }
  const TEditorFormClass* Class = GetFileEditor(FileName);
  // Content no kind recognises goes to the kind whose extension the file
  // has: its loader says what is wrong with the file.
  if (!Class)
    Class = GetExtensionEditor(FileName);
  if (!Class)
    throw Exception(Format("Нет редактора для файла \"%s\".", FileName.c_str()));
  TEditorForm* Editor = Class->Create(nullptr);
  try {
    Editor->OpenFile(FileName);
    Editor->show();
  } catch (...) {
    delete Editor;
    throw;
  }
  return Editor;
}

TEditorForm* TDocumentList::FindFileEditor(const std::string& FileName) const {
  struct stat Wanted;
  if (::stat(FileName.c_str(), &Wanted) != 0)
    return nullptr;
  for (TEditorForm* E : FEditors) {
    struct stat Shown;
    if (E->GetHasFileName() && ::stat(E->GetFileName().c_str(), &Shown) == 0 &&
        Shown.st_dev == Wanted.st_dev && Shown.st_ino == Wanted.st_ino)
      return E;
  }
  return nullptr;
}

const TEditorFormClass* TDocumentList::GetExtensionEditor(const std::string& FileName) {
  const size_t Slash = FileName.rfind('/');
  const size_t Dot = FileName.rfind('.');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
    return nullptr;
  const std::string Extension = FileName.substr(Dot + 1);
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanLoad) || Class->GetFlags().Contains(efUniversal))
      continue;
    TStringList Extensions;
    Class->GetFileExtensions(Extensions);
    for (const std::string& E : Extensions.Lines())
      if (!E.empty() && SameText(E, Extension))
        return Class;
  }
  return nullptr;
}

void TDocumentList::OpenFiles(const std::vector<std::string>& Names) {
  for (const std::string& Name : Names)
    OpenFile(Name);
}

const TEditorFormClass* TDocumentList::GetFileEditor(const std::string& FileName) {
  TFileStream Stream(FileName, fmOpenRead);
  return GetStreamEditor(Stream);
}

const TEditorFormClass* TDocumentList::GetStreamEditor(TStream& Stream) {
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  int64_t Position = Stream.GetPosition();
  const TEditorFormClass* Fallback = nullptr;
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class)
      continue;
    TEditorFlags Flags = Class->GetFlags();
    if (Flags.Contains(efUniversal))
      Fallback = Class; // the last universal class registered wins
    else if (Flags.Contains(efCanLoad) && Class->UnderstandsData(Stream))
      return Class;
    Stream.SetPosition(Position);
  }
  return Fallback;
}

void TDocumentList::MakeFilter(std::string& Filter, int& DefaultIndex) {
  Filter.clear();
  DefaultIndex = 1;
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanLoad) || Class->GetDescription().empty())
      continue;
    ++DefaultIndex;
    TStringList Extensions;
    Class->GetFileExtensions(Extensions);
    std::string Mask;
    for (const std::string& E : Extensions.Lines())
      Mask += (Mask.empty() ? "" : "; ") + ("*." + E);
    Filter += Class->GetDescription();
    if (!Mask.empty())
      Filter += " (" + Mask + ")";
    Filter += "|" + (Mask.empty() ? std::string("*.*") : Mask) + "|";
  }
  Filter += "Все файлы|*.*";
}

int TDocumentList::OpenFilterIndex(const TEditorForm* Active) {
  // The entries of MakeFilter before the all-files one, in its order.
  std::vector<const TModuleClass*> Classes;
  GetModuleClasses(CATID_EDITOR, Classes);
  int Index = 0, First = 0;
  for (const TModuleClass* C : Classes) {
    auto* Class = dynamic_cast<const TEditorFormClass*>(C);
    if (!Class || !Class->GetFlags().Contains(efCanLoad) || Class->GetDescription().empty())
      continue;
    ++Index;
    if (!First)
      First = Index;
    if (Active && Active->GetClass() == Class)
      return Index;
  }
  return First ? First : 1;
}

TEditorForm* TDocumentList::Get(int Index) const {
  Assert(Index >= 0 && Index < GetCount(), "Editor index out of range");
  return FEditors[Index];
}

void TDocumentList::Add(TEditorForm* Editor) {
  Assert(std::find(FEditors.begin(), FEditors.end(), Editor) == FEditors.end(),
         "Document added twice");
  FEditors.push_back(Editor);
  if (OnChange)
    OnChange();
}

void TDocumentList::Remove(TEditorForm* Editor) {
  auto It = std::find(FEditors.begin(), FEditors.end(), Editor);
  if (It != FEditors.end())
    FEditors.erase(It);
  if (OnChange)
    OnChange();
}

bool TDocumentList::AnyCanSave() const {
  return std::any_of(FEditors.begin(), FEditors.end(), [](TEditorForm* E) { return E->CanSave(); });
}

void TDocumentList::SaveAll() {
  std::vector<QPointer<TEditorForm>> Editors(FEditors.begin(), FEditors.end());
  for (const auto& E : Editors)
    if (E && E->CanSave() && !E->Save())
      break;
}

bool TDocumentList::QueryCloseEditors(const TEditorFormClass* Class) {
  // A copy: answering may open or close windows.
  std::vector<QPointer<TEditorForm>> Editors(FEditors.begin(), FEditors.end());
  for (const auto& Editor : Editors)
    if (Editor && Class->IsClassOf(Editor) && !Editor->QueryClose())
      return false;
  return true;
}

void TDocumentList::CloseEditors(const TEditorFormClass* Class) {
  for (int I = GetCount() - 1; I >= 0; --I) {
    if (I >= GetCount())
      continue; // freeing one freed others
    TEditorForm* Editor = FEditors[I];
    if (Class->IsClassOf(Editor))
      delete Editor;
  }
}

bool TDocumentList::CloseAll() {
  const TEditorFormClass* All = &TEditorForm::StaticClass();
  if (!QueryCloseEditors(All))
    return false;
  CloseEditors(All);
  return true;
}

void TDocumentList::UpdateCaptions() {
  std::vector<QPointer<TEditorForm>> Editors(FEditors.begin(), FEditors.end());
  for (const auto& E : Editors)
    if (E)
      E->UpdateWindowCaption();
}

int TDocumentList::AcquireNonameNumber() {
  for (size_t I = 0; I < FNonameNumbers.size(); ++I)
    if (!FNonameNumbers[I]) {
      FNonameNumbers[I] = true;
      return static_cast<int>(I) + 1;
    }
  FNonameNumbers.push_back(true);
  return static_cast<int>(FNonameNumbers.size());
}

void TDocumentList::ReleaseNonameNumber(int Number) {
  Assert(Number >= 1 && Number <= static_cast<int>(FNonameNumbers.size()),
         "Untitled number out of range");
  FNonameNumbers[Number - 1] = false;
}

} // namespace Deskbay
