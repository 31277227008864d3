#pragma once

// The algorithm document window: one algorithm, edited in the constructor
// form, or run and stepped on a machine that the debugger form follows.

#include "FlowappExport.h"

#include "Environment/Editor.h"
#include "Flowedit/Flowedit_frmAlg.h"

#include "Corekit/MiscUtils_Versioning.h"
#include "Corekit/ui/WindowHelpers.h"

#include <cstdint>
#include <functional>
#include <memory>

class QToolBar;
class QToolButton;

namespace Deskbay {

class TAlgMachine;
class TAlgorithm;

// The window's own interaction listener kind: the machine tells it that the
// run moved on, and the window shows where.
using IOnInteractionNotify = IOnNotify;

class FLOWAPP_API TAlgEditorForm : public TEditorForm {
  Q_OBJECT
public:
  TAlgEditorForm(const TEditorFormClass& Class, QWidget* Owner = nullptr);
  ~TAlgEditorForm() override;

  // The document kind "Алгоритм", files with the extension "alg".
  static const TEditorFormClass& StaticClass();

  bool SelectionPresent() override;
  void DeleteSelection() override;
  bool CanSelectAll() override;
  void SelectAll() override;
  bool CanCopy() override;
  bool CanCut() override;
  bool GetModified() override;
  void SetModified(bool Value) override;
  int64_t GetVersion() override;
  void LoadStream(TStream& Stream) override;
  void SaveStream(TStream& Stream) override;

  bool GetRunning() const { return FMachine != nullptr; }
  void SetRunning(bool Value);
  bool MachineReady() const;
  // Shows the machine's current block, red after an error. Run mode only.
  void Sync();
  void InteractionNotify(TObject* Sender);

  // The commands and their enabling rules.
  void AlgRunExecute();
  void AlgRunUpdate(TAction& Action);
  void AlgStepExecute();
  void AlgStepUpdate(TAction& Action);
  void AlgStopExecute();
  void AlgStopUpdate(TAction& Action);
  // Brings the three commands' enabled states up to date.
  void UpdateActions();

  TAlgorithm& GetAlgorithm() const { return *FAlgorithm; }
  TAlgMachine* GetMachine() const { return FMachine.get(); }
  // The constructor form in edit mode, the debugger form in run mode.
  TAlgForm* GetChildView() const { return FChildView; }
  // True while Run holds the machine.
  bool GetInRun() const { return FInRun; }

  QToolBar* tbrAlg;
  QToolButton *tbRun, *tbStep, *tbStop;
  QWidget* pnlMain;
  TActionList* ActionList;
  TAction *AlgRun, *AlgStop, *AlgStep;

protected:
  void closeEvent(QCloseEvent* Event) override;

private:
  void CreateActions();
  void InternalSetRunning(bool Running);
  void FreeChildView();
  // Runs a command; an error goes to the shell's error display.
  void Command(const std::function<void()>& Body);

  std::unique_ptr<TAlgorithm> FAlgorithm;
  std::unique_ptr<TAlgMachine> FMachine;
  TAlgForm* FChildView = nullptr;
  TNotifyAdapter<TAlgEditorForm> FInteractionNotify;
  bool FInRun = false;
  // A close asked for while Run held the machine; honoured when it ends.
  bool FCloseAfterRun = false;
};

} // namespace Deskbay
