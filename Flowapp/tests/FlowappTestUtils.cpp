#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_Module.h"

#include "Corekit/TempFileMgr.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace Deskbay::Testing {

TFlowappTest::TFlowappTest() : TShellHome("deskbay-flowapp") {
  Hooks = std::make_unique<TGuiHooks>();
}

TFlowappTest::~TFlowappTest() {
  Shell.reset();
  Flush();
  Hooks.reset();
}

void TFlowappTest::StartShell() {
  std::ofstream(Home + "/Deskbay.ini", std::ios::binary | std::ios::trunc)
      << "[General]\n\n[Applications]\n";
  Shell = std::make_unique<TMainForm>(TShellStart{Home, "Deskbay", ""});
  Shell->FirstShow();
  GetAppModuleClass()->Create("Flowapp");
}

TAlgEditorForm* TFlowappTest::AlgWindow(int Index) {
  auto* Form = dynamic_cast<TAlgEditorForm*>(Shell->GetEditors(Index));
  if (!Form)
    throw std::runtime_error("not an algorithm window");
  return Form;
}

void TFlowappTest::Flush() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

void AddBlocks(TAlgorithm& Alg, const std::vector<std::vector<std::string>>& Blocks) {
  for (const auto& Lines : Blocks) {
    TAlgBlock* B = TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody());
    B->GetText().SetLines(Lines);
  }
}

TModalAnswers::TModalAnswers(std::vector<std::function<void(QWidget*)>> Answers)
    : FAnswers(std::move(Answers)) {
  Arm();
}

TModalAnswers::~TModalAnswers() {
  FDone = true;
}

void TModalAnswers::Arm() {
  QTimer::singleShot(10, &FGuard, [this] { Poll(); });
}

void TModalAnswers::Poll() {
  if (FDone)
    return;
  QWidget* Modal = QApplication::activeModalWidget();
  if (Modal && !Modal->property("answered").toBool()) {
    Modal->setProperty("answered", true);
    const size_t Index = static_cast<size_t>(FAsked++);
    if (Index < FAnswers.size())
      FAnswers[Index](Modal);
    else if (auto* Dialog = qobject_cast<QDialog*>(Modal))
      Dialog->reject();
  }
  Arm();
}

void After(int Ms, QObject* Context, std::function<void()> Fn) {
  QTimer::singleShot(Ms, Context, std::move(Fn));
}

} // namespace Deskbay::Testing
