#include "Flowapp_ProgramImport.h"

#include "Flowapp_EditorForm.h"

#include "Corekit/ui/WindowHelpers.h"
#include "Environment/Environment_Shell.h"
#include "Flowimport/Flowimport_Program.h"
#include "Flowmodel/Flowmodel_Clipboard.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace Deskbay {

void OpenProgramFromDialog(TAlgEditorForm& From) {
  QFileDialog Dialog(&From, "Открыть программу");
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(QFileDialog::ExistingFile);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Dialog.setNameFilters({"Программы (*.py *.pas *.txt)", "Python (*.py)", "Pascal (*.pas)",
                         "Текст блоков (*.txt)", "Все файлы (*)"});
  if (!ExecFileDialogUsingWorkingDir(Dialog, From.GetHasFileName() ? From.GetFileName() : ""))
    return;
  const QStringList Files = Dialog.selectedFiles();
  if (Files.isEmpty())
    return;
  OpenProgramFile(From.GetShell(), QFile::encodeName(Files.constFirst()).toStdString());
}

TAlgEditorForm* OpenProgramFile(IShell& Shell, const std::string& FileName) {
  const std::string Text = ReadProgramSource(FileName);
  TImportForm Form;
  if (!ImportFormFromFileName(FileName, Form))
    Form = GuessImportForm(Text);
  // The whole chart is made before any window opens: a refusal opens none.
  TAlgorithm Made;
  const TImportReport Report = ImportProgram(Made, Text, Form, FileName);
  std::vector<TAlgBlock*> Blocks;
  TAlgBlock* Body = Made.GetRoot()->GetBody();
  for (int I = 0; I < Body->GetBlockCount(); ++I)
    Blocks.push_back(Body->GetBlocks(I));
  const std::vector<uint8_t> Bytes = AlgBlocksToBytes(Blocks);
  auto* Window = static_cast<TAlgEditorForm*>(Shell.CreateEditor(&TAlgEditorForm::StaticClass()));
  if (!Window)
    return nullptr;
  TAlgorithm& Alg = Window->GetAlgorithm();
  if (Alg.GetRoot()->GetText().Lines() != Made.GetRoot()->GetText().Lines())
    Alg.GetRoot()->GetText().SetLines(Made.GetRoot()->GetText().Lines());
  AlgPasteBytes(Alg, Bytes);
  Alg.UnselectAll();
  ShowImportedNames(Window, Report.Names);
  return Window;
}

void ShowImportedNames(QWidget* Parent, const std::vector<std::string>& Names) {
  if (Names.empty())
    return;
  QString Text = "В языке алгоритмов переменные — латинские буквы. Имена заменены:";
  for (const std::string& N : Names)
    Text += "\n" + QString::fromStdString(N);
  auto* Box =
      new QMessageBox(QMessageBox::Information, "Имена переменных", Text, QMessageBox::Ok, Parent);
  Box->setObjectName("msgImportedNames");
  Box->setAccessibleName("Имена переменных");
  Box->setAttribute(Qt::WA_DeleteOnClose);
  Box->open();
}

} // namespace Deskbay
