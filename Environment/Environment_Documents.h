#pragma once

// The shell's open documents: which windows show files, their opening (by
// content, else by extension), the kinds the Open dialog offers and the
// numbers of untitled documents.

#include "EnvironmentExport.h"

#include <functional>
#include <string>
#include <vector>

namespace Deskbay {

class TEditorForm;
class TEditorFormClass;
class TStream;
class TWindowList;

class ENVIRONMENT_API TDocumentList {
public:
  // Windows: where a file already shown gets its window selected.
  explicit TDocumentList(TWindowList& Windows) : FWindows(Windows) {}
  TDocumentList(const TDocumentList&) = delete;
  TDocumentList& operator=(const TDocumentList&) = delete;

  // A document came or went (the commands may change).
  std::function<void()> OnChange;

  TEditorForm* CreateEditor(const TEditorFormClass* EditorClass);
  // Opens the file in a window of the kind its content belongs to (else of
  // the kind its extension names, whose loader says what is wrong); a file
  // already shown (by any path that leads to it) gets its window activated
  // instead of a second one.
  TEditorForm* OpenFile(const std::string& FileName);
  void OpenFiles(const std::vector<std::string>& Names);
  // The document window that shows the file FileName, or nullptr.
  TEditorForm* FindFileEditor(const std::string& FileName) const;
  // The loadable, not universal kind that lists FileName's extension.
  static const TEditorFormClass* GetExtensionEditor(const std::string& FileName);
  static const TEditorFormClass* GetFileEditor(const std::string& FileName);
  static const TEditorFormClass* GetStreamEditor(TStream& Stream);
  // The Open dialog's filter ("caption|mask|...") and its 1-based default
  // index, the all-files entry.
  static void MakeFilter(std::string& Filter, int& DefaultIndex);
  // The 1-based entry of MakeFilter's filter the Open dialog preselects:
  // Active's kind, else the first kind.
  static int OpenFilterIndex(const TEditorForm* Active);

  int GetCount() const { return static_cast<int>(FEditors.size()); }
  TEditorForm* Get(int Index) const;
  void Add(TEditorForm* Editor);
  void Remove(TEditorForm* Editor);
  // Any document that may be saved now.
  bool AnyCanSave() const;
  // Saves every document that may be saved, up to the first that fails.
  void SaveAll();
  bool QueryCloseEditors(const TEditorFormClass* Class);
  void CloseEditors(const TEditorFormClass* Class);
  bool CloseAll();
  // Updates the documents' captions (whether they are modified).
  void UpdateCaptions();

  int AcquireNonameNumber();
  void ReleaseNonameNumber(int Number);

private:
  TWindowList& FWindows;
  std::vector<TEditorForm*> FEditors;
  std::vector<bool> FNonameNumbers; // slot n-1: number n is taken
};

} // namespace Deskbay
