// The algorithm window's task packs: the document kind of NAME.task files,
// opening a pack into an untitled window, and what the task allows.

#include "Flowapp_EditorForm.h"
#include "Flowapp_TaskPanel.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Environment/Environment_Documents.h"
#include "Environment/Environment_Shell.h"
#include "Flowcheck/Flowcheck_Task.h"
#include "Flowcheck/Flowcheck_Text.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowedit/Flowedit_frmAlg.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_History.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QSplitter>

namespace Deskbay {

namespace {

// NAME.task files, and files that start as a pack does: opened into an
// untitled algorithm window (the kind makes an algorithm window, whose
// OpenFile knows a pack), never made new nor saved as a pack.
class TTaskDocumentClass : public TEditorFormClassOf<TAlgEditorForm> {
public:
  using TEditorFormClassOf::TEditorFormClassOf;
  std::string GetDescription() const override { return "Задание"; }
  void GetFileExtensions(TStringList& List) const override { List.Add("task"); }
  TEditorFlags GetFlags() const override { return {efCanLoad}; }
  bool UnderstandsData(TStream& Stream) const override {
    char Head[32];
    const int64_t Read = Stream.Read(Head, sizeof Head);
    return Read > 0 && LooksLikeTaskPack(std::string_view(Head, static_cast<size_t>(Read)));
  }
  TEditorForm* Create(QWidget* Owner) const override {
    return TAlgEditorForm::StaticClass().Create(Owner);
  }
};

const TTaskDocumentClass TaskDocumentClass("TTaskDocument");

bool IsTaskPackFile(const std::string& Name) {
  TFileStream File(Name, fmOpenRead);
  char Head[32];
  const int64_t Read = File.Read(Head, sizeof Head);
  return Read > 0 && LooksLikeTaskPack(std::string_view(Head, static_cast<size_t>(Read)));
}

} // namespace

const TEditorFormClass& TAlgEditorForm::TaskClass() {
  return TaskDocumentClass;
}

void TAlgEditorForm::OpenFile(const std::string& Name) {
  if (!IsTaskPackFile(Name)) {
    TEditorForm::OpenFile(Name);
    return;
  }
  OpenTask(Name, ReadTaskPackFile(Name));
}

void TAlgEditorForm::OpenTask(const std::string& TaskName, const TTaskPack& Pack) {
  // The starter chart as a file of its own would be read: refused, with
  // the loader's reason, naming the pack.
  TMemoryStream Start(Pack.Start.data(), Pack.Start.size());
  FAlgorithm->BeginModify();
  try {
    LoadAlgorithmFromStream(*FAlgorithm, Start, TaskName);
  } catch (...) {
    FAlgorithm->EndModify();
    throw;
  }
  FAlgorithm->EndModify();
  FHistory->Reset();
  // Untitled and unchanged: the pupil's work is saved as an algorithm file
  // of its own, the pack stays as it was.
  SetModified(false);
  FTask = std::make_unique<TTaskPack>(Pack);
  FTaskName = TaskName;
  FTaskCheckedVersion = UINT64_MAX;

  if (!pnlTask) {
    pnlTask = new TTaskPanel(splCheck);
    splCheck->insertWidget(1, pnlTask);
    splCheck->setStretchFactor(1, 1);
  }
  pnlTask->ShowTask(TaskName, Pack);
  pnlTask->show();
  const int Height = std::max(splCheck->height(), 400);
  splCheck->setSizes({Height * 3 / 4, Height - Height * 3 / 4, 0});

  TAlgEditor* Editor = GetForm()->AlgEditor;
  Editor->OnCheckPlacement = [this](const std::vector<const TAlgBlock*>& Blocks) {
    return FTask ? PlacementRefusal(*FAlgorithm, Blocks, FTask->Restrictions) : std::string();
  };
  Editor->OnRefusal = [this](const std::string& Reason) {
    if (pnlTask)
      pnlTask->ShowRefusal(Reason);
  };
  if (!ProgramTextAllowed() && GetForm()->IsCodePaneVisible()) {
    GetForm()->SetCodePaneVisible(false);
    ViewProgram->setChecked(false);
  }
  UpdateWindowCaption();
  UpdateActions();
}

bool TAlgEditorForm::ProgramTextAllowed() const {
  return !FTask || FTask->Restrictions.ProgramText;
}

void TAlgEditorForm::ShowTaskBreaches() {
  if (!FTask || !pnlTask || FTaskCheckedVersion == FAlgorithm->GetVersion())
    return;
  FTaskCheckedVersion = FAlgorithm->GetVersion();
  const std::vector<TRestrictionBreach> Breaches =
      CheckRestrictions(*FAlgorithm, FTask->Restrictions);
  if (Breaches.empty()) {
    pnlTask->ShowRefusal(std::string());
    return;
  }
  std::string Text;
  for (const TRestrictionBreach& B : Breaches)
    Text += (Text.empty() ? "" : "\n") +
            (B.Block ? "Блок " + CheckQuoted(DescribeBlock(B.Block)) + ": " : std::string()) +
            B.Reason + ".";
  pnlTask->ShowRefusal(Text);
}

void TAlgEditorForm::RefuseForbiddenPaste() {
  if (!FTask)
    return;
  std::vector<TAlgBlock*> Selected;
  FAlgorithm->GetSelectedBlocks(Selected);
  const std::vector<const TAlgBlock*> Pasted(Selected.begin(), Selected.end());
  // The pasted blocks are in the chart already: their own kinds and lines,
  // and the chart's count as it is now.
  TTaskRestrictions Kinds = FTask->Restrictions;
  Kinds.MaxBlocks = 0;
  std::string Why = PlacementRefusal(*FAlgorithm, Pasted, Kinds);
  const int64_t Max = FTask->Restrictions.MaxBlocks;
  if (Why.empty() && Max > 0 && CountPlacedBlocks(*FAlgorithm) > Max)
    Why = TooManyBlocksReason(Max);
  if (Why.empty())
    return;
  const TAlgBlock* Where = Pasted.empty() ? nullptr : Pasted.front()->GetParent();
  EditUndoExecute();
  GetForm()->AlgEditor->ShowRefusal(Why, Where);
}

void TAlgEditorForm::CreateTaskAction() {
  FileOpenTask = AddCommand({.Id = "FileOpenTask",
                             .Caption = "Открыть &задание...",
                             .Hint = "Открыть задание учителя: его текст, начальную схему и "
                                     "открытые случаи, в новом окне",
                             .Execute = [this] { FileOpenTaskExecute(); },
                             .Enabled = [] { return true; }});
  mnuDocFile->insertAction(FileChooseTests, FileOpenTask);
}

void TAlgEditorForm::FileOpenTaskExecute() {
  QFileDialog Dialog(this, "Открыть задание", QString(), "Задания (*.task);;Все файлы (*)");
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(QFileDialog::ExistingFile);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!ExecFileDialogUsingWorkingDir(Dialog, "") || Dialog.selectedFiles().isEmpty())
    return;
  // As a double click opens it: a window of its own (an untitled window
  // is never the one a file is shown in already).
  GetShell().GetDocuments().OpenFile(
      QFile::encodeName(Dialog.selectedFiles().constFirst()).toStdString());
}

} // namespace Deskbay
