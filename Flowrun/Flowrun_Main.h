#pragma once

// The machine that runs an algorithm one block at a time: its states, the
// block stack, the processor registry, the line-executing devices and the
// output console.

#include "FlowrunExport.h"
#include "Flowrun_VarStorage.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace Deskbay {

class TAlgMachine;
class TAlgCanvas;

enum TAlgMachineState { amsInit, amsReady, amsDone, amsError };

// A set of states.
struct TAlgMachineStates {
  TAlgMachineStates(std::initializer_list<TAlgMachineState> States) {
    for (TAlgMachineState S : States)
      Bits |= 1u << S;
  }
  bool Contains(TAlgMachineState S) const { return (Bits >> S) & 1u; }
  unsigned Bits = 0;
};

// A device executes statement lines it recognises.
class FLOWRUN_API TAlgDevice : public TVersionedObjectEx {
public:
  // Joins the machine's device list, which owns it from then on.
  explicit TAlgDevice(TAlgMachine* Machine);
  const char* ClassName() const override { return "TAlgDevice"; }
  TAlgMachine* GetMachine() const { return FMachine; }
  // True when the device recognised and executed the line.
  virtual bool ExecLine(const std::string& Line);

private:
  TAlgMachine* FMachine;
};

// Moves the machine on past one block of the class it carries the name of
// (the block class name followed by "Processor"). Processors hold no data;
// each exists once.
class FLOWRUN_API TAlgBlockProcessor {
public:
  virtual ~TAlgBlockProcessor();
  virtual const char* ClassName() const = 0;
  virtual void Process(TAlgMachine* Machine) const;
};

// The last lines printed by output statements.
class FLOWRUN_API TAlgConsole : public TVersionedObjectEx {
public:
  static constexpr int MaxLines = 500;
  const char* ClassName() const override { return "TAlgConsole"; }
  void AddLine(const std::string& S);
  void GetLines(TStringList& Strings) const;
  int GetLineCount() const { return FLines.GetCount(); }

  // Hears every line the moment it is added, before the component bracket
  // closes: a host that streams output (the command-line tool) cannot wait
  // for the end of a run, and the console keeps only its last lines.
  using TLineEvent = std::function<void(const std::string& Line)>;
  void SetOnAddLine(TLineEvent Handler) { FOnAddLine = std::move(Handler); }

private:
  TStringList FLines;
  TLineEvent FOnAddLine;
};

class FLOWRUN_API TAlgMachine : public TVersionManager {
public:
  TAlgMachine();
  ~TAlgMachine() override;
  TAlgMachine(const TAlgMachine&) = delete;
  TAlgMachine& operator=(const TAlgMachine&) = delete;
  const char* ClassName() const override { return "TAlgMachine"; }

  void RegisterProcessor(const TAlgBlockProcessor* Processor);
  void RegisterProcessors(std::initializer_list<const TAlgBlockProcessor*> Processors);
  int GetProcessorCount() const { return static_cast<int>(FProcessors.size()); }
  int GetProcessorIndex(const std::string& Name) const;
  const TAlgBlockProcessor* GetProcessor(const std::string& Name) const;
  const TAlgBlockProcessor* FindProcessor(const std::string& Name) const;
  const TAlgBlockProcessor* FindProcessor(const TAlgBlock* Block) const;

  void InitComplete();
  void SetCurrentBlock(TAlgBlock* Block);
  TAlgBlock* GetCurrentBlock() const { return FCurrentBlock; }
  void PushBlock(TAlgBlock* Block);
  // Processes one counted block with the sequences around it and stops on
  // the next counted block.
  void Step();
  // Steps while the state is amsReady, inside one component bracket.
  void Run();
  bool ExecLine(const std::string& Line);

  int GetDeviceCount() const { return static_cast<int>(FDevices.size()); }
  TAlgDevice* GetDevices(int Index) const;
  void CheckDeviceIndex(int Index) const;

  [[noreturn]] void RaiseSyntaxError() const;
  [[noreturn]] void RaiseSyntaxError(const std::string& Line) const;
  [[noreturn]] void RaiseAbortByUser() const;

  void CheckState(TAlgMachineState State) const;
  void CheckState(TAlgMachineStates States) const;
  void CheckState(bool Ok) const;

  void BeginModifyComponents();
  void EndModifyComponents();
  void TriggerComponentNotifications();
  void AddInteractionListener(IOnNotify* Listener);
  void RemoveInteractionListener(IOnNotify* Listener);

  TAlgMachineState GetState() const { return FState; }
  TVarStorage& GetStorage() { return *FStorage; }
  TAlgConsole& GetConsole() { return *FConsole; }
  // The drawing device; the device list owns it.
  TAlgCanvas& GetCanvas() const { return *FCanvas; }
  bool GetJumpedBack() const { return FJumpedBack; }
  TAlgBlock* GetLastProcessedBlock() const { return FLastProcessedBlock; }

private:
  friend class TAlgDevice;
  void ProcessCurrentBlock();

  TAlgBlock* FCurrentBlock = nullptr;
  std::vector<TAlgBlock*> FBlockStack;
  TVarStorage* FStorage;
  TAlgConsole* FConsole;
  TAlgMachineState FState = amsInit;
  std::vector<const TAlgBlockProcessor*> FProcessors;
  std::vector<TAlgDevice*> FDevices; // owned
  TAspectController* FInteractionAspect;
  bool FJumpedBack = false;
  TAlgBlock* FLastProcessedBlock = nullptr;
  TAlgCanvas* FCanvas;
  // The processor found last and the class it serves: the lookup is by
  // name, and the registry is fixed once the machine is ready.
  mutable const TAlgBlockClass* FCachedClass = nullptr;
  mutable const TAlgBlockProcessor* FCachedProcessor = nullptr;
};

// The machine's component bracket (storage, console, devices) for one scope.
class TAlgComponentGuard : public TBracketGuard<TAlgMachine> {
public:
  explicit TAlgComponentGuard(TAlgMachine& Machine)
      : TBracketGuard(&Machine, &TAlgMachine::BeginModifyComponents,
                      &TAlgMachine::EndModifyComponents) {}
};

} // namespace Deskbay
