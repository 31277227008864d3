#include "Editor.h"

#include "Environment_Documents.h"
#include "Environment_Shell.h"
#include "Environment_WindowList.h"
#include "ErrorDisplay.h"

#include "Corekit/VisualUtils.h"
#include "Corekit/ui/CommonDialogs.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cerrno>

namespace Deskbay {

namespace {

std::string WithoutDirectory(const std::string& Name) {
  size_t Slash = Name.rfind('/');
  return Slash == std::string::npos ? Name : Name.substr(Slash + 1);
}

std::string WithoutExtension(const std::string& Name) {
  size_t Dot = Name.rfind('.');
  return Dot == std::string::npos ? Name : Name.substr(0, Dot);
}

std::vector<std::string> Split(const std::string& S, char Sep) {
  std::vector<std::string> Parts;
  size_t Start = 0;
  for (;;) {
    size_t At = S.find(Sep, Start);
    Parts.push_back(S.substr(Start, At == std::string::npos ? std::string::npos : At - Start));
    if (At == std::string::npos)
      return Parts;
    Start = At + 1;
  }
}

// A save refused because the place cannot be written (permissions, a
// read-only file system), which another place may cure.
bool IsPlaceNotWritable(int ErrorCode) {
  return ErrorCode == EACCES || ErrorCode == EPERM || ErrorCode == EROFS;
}

// Offers to save elsewhere after Reason; true when the user wants to.
bool OfferSaveAs(QWidget* Parent, const std::string& Reason) {
  QMessageBox Box(
      QMessageBox::Warning, QString::fromUtf8("Сохранение"),
      QString::fromStdString(VisibleText(Reason) + "\n\nСохранить документ в другом месте?"),
      QMessageBox::NoButton, Parent);
  QPushButton* SaveAs =
      Box.addButton(QString::fromUtf8("Сохранить как..."), QMessageBox::AcceptRole);
  Box.addButton(QString::fromUtf8("Отмена"), QMessageBox::RejectRole);
  Box.setDefaultButton(SaveAs);
  Box.exec();
  return Box.clickedButton() == SaveAs;
}

} // namespace

std::string TEditorFormClass::GetDescription() const {
  return "";
}

void TEditorFormClass::GetFileExtensions(TStringList&) const {}

bool TEditorFormClass::UnderstandsData(TStream& Stream) const {
  std::string Signature = GetFileSignature();
  if (Signature.empty())
    return false;
  try {
    std::string Head(Signature.size(), '\0');
    if (Stream.Read(Head.data(), static_cast<int64_t>(Head.size())) !=
        static_cast<int64_t>(Head.size()))
      return false;
    return Head == Signature;
  } catch (const std::exception&) {
    return false;
  }
}

TEditorFlags TEditorFormClass::GetFlags() const {
  return {efCanCreate, efCanSave, efCanLoad};
}

std::string TEditorFormClass::GetFileSignature() const {
  return "";
}

std::string TEditorFormClass::FileExtension() const {
  TStringList List;
  GetFileExtensions(List);
  return List.GetCount() > 0 ? List.Get(0) : "";
}

const TEditorFormClass& TEditorForm::StaticClass() {
  static const TEditorFormClassOf<TEditorForm> Class("TEditorForm");
  return Class;
}

TEditorForm::TEditorForm(const TEditorFormClass& Class, QWidget* Owner)
    : TBasicForm(Owner), FClass(&Class) {
  // The shell window's constructor has made sure there is a shell.
  TDocumentList& Documents = GetShell().GetDocuments();
  setAttribute(Qt::WA_DeleteOnClose);
  resize(531, 308);
  int Number = Documents.AcquireNonameNumber();
  try {
    SetFileName(NonameBase + std::to_string(Number) + "." + FileExtension());
  } catch (...) {
    Documents.ReleaseNonameNumber(Number);
    throw;
  }
  FNonameNumber = Number;
  Documents.Add(this);
  FDocRegistered = true;
}

TEditorForm::~TEditorForm() {
  TDocumentList& Documents = GetShell().GetDocuments();
  if (FNonameNumber != 0)
    Documents.ReleaseNonameNumber(FNonameNumber);
  if (FDocRegistered)
    Documents.Remove(this);
}

bool TEditorForm::GetModified() {
  return FVersion != FSavedVersion;
}

void TEditorForm::SetModified(bool Value) {
  if (Value)
    ++FVersion;
  else
    FSavedVersion = FVersion;
  UpdateWindowCaption();
  GetShell().RequestActionUpdate();
}

int64_t TEditorForm::GetVersion() {
  return FVersion;
}

std::string TEditorForm::BuildCaption() {
  return FFileName;
}

void TEditorForm::LoadStream(TStream&) {}

void TEditorForm::SaveStream(TStream&) {}

bool TEditorForm::CanSave() {
  return FClass->GetFlags().Contains(efCanSave) && (GetModified() || !FHasFileName);
}

bool TEditorForm::Save() {
  if (!FHasFileName)
    return SaveAs();
  try {
    SaveFile(FFileName);
  } catch (const EFOpenError& E) {
    // An installed example, a file or folder of someone else: the document
    // stays as it is, and the pupil may choose a place of their own.
    if (!IsPlaceNotWritable(E.GetErrorCode()))
      throw;
    return OfferSaveAs(this, E.Message()) && SaveAs();
  }
  SetModified(false);
  UpdateWindowCaption();
  return true;
}

bool TEditorForm::CanSaveAs() {
  return FClass->GetFlags().Contains(efCanSave);
}

void TEditorForm::OpenFile(const std::string& Name) {
  SetFileName(Name);
  LoadFile(Name);
  FHasFileName = true;
  SetModified(false);
  UpdateWindowCaption();
}

void TEditorForm::LoadFile(const std::string& Name) {
  TFileStream Stream(Name, fmOpenRead);
  LoadStream(Stream);
}

void TEditorForm::SaveFile(const std::string& Name) {
  SaveFileAtomically(Name, [this](TStream& Stream) { SaveStream(Stream); });
}

std::string TEditorForm::MakeSaveFilter() const {
  std::string Ext = FileExtension();
  return Format("%s (*.%s)|*.%s|%s", FClass->GetDescription().c_str(), Ext.c_str(), Ext.c_str(),
                "Все файлы|*.*");
}

bool TEditorForm::SaveAs() {
  EnsureVisibility();
  QFileDialog Dialog(this);
  Dialog.setAcceptMode(QFileDialog::AcceptSave);
  Dialog.setFileMode(QFileDialog::AnyFile);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Dialog.setNameFilters(FilterToNameFilters(MakeSaveFilter()));
  Dialog.setDefaultSuffix(QString::fromStdString(FileExtension()));
  Dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(WithoutDirectory(FFileName))));
  bool Confirmed = ExecFileDialogUsingWorkingDir(Dialog, FHasFileName ? FFileName : "");
  QDir::setCurrent(QString::fromStdString(GetShell().GetHomeDir()));
  if (Confirmed && !Dialog.selectedFiles().isEmpty())
    return SaveAsFile(QFile::encodeName(Dialog.selectedFiles().first()).toStdString());
  return Confirmed;
}

bool TEditorForm::SaveAsFile(const std::string& Name) {
  SetFileName(Name);
  FHasFileName = true;
  return Save();
}

void TEditorForm::SetFileName(const std::string& Name) {
  if (FNonameNumber != 0) {
    std::string Own = NonameBase + std::to_string(FNonameNumber);
    // "Безымянный" in any letter case keeps the number held.
    if (LowerCaseRu(WithoutExtension(WithoutDirectory(Name))) != LowerCaseRu(Own)) {
      GetShell().GetDocuments().ReleaseNonameNumber(FNonameNumber);
      FNonameNumber = 0;
    }
  }
  if (Name != FFileName) {
    FFileName = Name;
    UpdateWindowCaption();
  }
}

void TEditorForm::UpdateWindowCaption() {
  // A leading "*" while there are unsaved changes; a name's bytes that are
  // no text shown as escapes.
  setWindowTitle(QString::fromStdString((GetModified() ? "*" : "") + VisibleText(BuildCaption())));
}

bool TEditorForm::QueryClose() {
  if (!GetModified() || !CanSave())
    return true;
  // The document asked about comes to the front, so the pupil sees which
  // one the question names (at Выход each unsaved one in turn).
  GetShell().GetWindowList().Select(this);
  switch (YesNoCancel("Подтверждение",
                      Format("Сохранить изменения в \"%s\"?", VisibleText(FFileName).c_str()))) {
  case mrYes:
    return Save();
  case mrNo:
    return true;
  default:
    return false;
  }
}

void TEditorForm::closeEvent(QCloseEvent* Event) {
  bool MayClose = false;
  try {
    MayClose = QueryClose();
  } catch (const std::exception& E) {
    ShowException(E);
  }
  if (MayClose)
    Event->accept();
  else
    Event->ignore();
}

QStringList FilterToNameFilters(const std::string& Filter) {
  QStringList Result;
  std::vector<std::string> Parts = Split(Filter, '|');
  for (size_t I = 0; I + 1 < Parts.size(); I += 2) {
    std::string Caption = Parts[I];
    size_t Paren = Caption.rfind(" (");
    if (Paren != std::string::npos && !Caption.empty() && Caption.back() == ')')
      Caption.erase(Paren);
    std::string Masks;
    for (std::string Mask : Split(Parts[I + 1], ';')) {
      Mask = Trim(Mask);
      if (Mask.empty())
        continue;
      // On this system a name need not have a dot to be "any file".
      if (Mask == "*.*")
        Mask = "*";
      Masks += (Masks.empty() ? "" : " ") + Mask;
    }
    Result << QString::fromStdString(Caption + " (" + Masks + ")");
  }
  return Result;
}

} // namespace Deskbay
