#pragma once

// The machine that runs an algorithm one block at a time: its states, the
// block stack, the processor registry, the line-executing devices and the
// output console.

#include "FlowrunExport.h"
#include "Flowrun_VarStorage.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Deskbay {

class TAlgMachine;
class TAlgCanvas;
struct TStepProgram;
struct TFlatState;

// Blocks a run of many steps stops before, for its host to look at
// (breakpoints).
class IStepWatch {
public:
  // Whether a run stops before Block's step; Condition, when not null, is
  // one compiled against the machine's storage that must hold for the
  // host to care (a run that cannot compute it stops as well).
  virtual bool Watches(const TAlgBlock* Block, const TAlgCondition*& Condition) = 0;
  // Changes whenever any answer of Watches may change.
  virtual std::uint64_t GetWatchVersion() const = 0;

protected:
  ~IStepWatch() = default;
};

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

// What the machine made of one block: its processor and, filled in by the
// processor the first time it runs, its lines read once. Kept while the
// block's text keeps its change stamp; a changed text is read again.
struct TCompiledBlock {
  std::uint64_t Stamp = 0; // of the text it was made from; 0 is never given
  const TAlgBlockProcessor* Processor = nullptr;
  bool Compiled = false; // the processor has filled in its part
  // Known with the processor: the block's SkipOnJumpOutside, and whether
  // it is a sequence the built-in processor serves (the step enters it
  // without a call).
  bool SkipOnJumpOutside = false;
  bool PlainSequence = false;

  // A computation or input/output block: each line, an assignment or an
  // output statement compiled, anything else read as text each time.
  // lkDraw: a drawing command, its expressions in Items and its command in
  // Target.
  enum TLineKind : std::uint8_t { lkSkip, lkAssign, lkOutput, lkText, lkDraw };
  struct TLine {
    TLineKind Kind = lkSkip;
    int Target = -1; // the slot an assignment stores into
    TAlgExpression Expr;
    std::vector<TAlgExpression> Items; // of an output statement
    std::string Text;                  // of an input/output line read as text
  };
  std::vector<TLine> Lines;

  // A branch or a condition loop: the first line, if there is one.
  bool HasCondition = false;
  TAlgCondition Condition;

  // A counting loop: the header's syntax error, or its variable and parts.
  enum THeaderError : std::uint8_t { heNone, heSyntax, heSyntaxInLine };
  THeaderError HeaderError = heNone;
  int Var = -1;
  TAlgExpression Start, End, Step;
};

// The last lines printed by output statements.
class FLOWRUN_API TAlgConsole : public TVersionedObjectEx {
public:
  static constexpr int MaxLines = 500;
  const char* ClassName() const override { return "TAlgConsole"; }
  void AddLine(const std::string& S);
  void GetLines(TStringList& Strings) const;
  int GetLineCount() const { return static_cast<int>(FLines.size()); }
  // Every line added since the console was made, those it let go included:
  // how a host tells the lines that are new since it last looked.
  int64_t GetAddedCount() const { return FAddedCount; }

  // Hears every line the moment it is added, before the component bracket
  // closes: a host that streams output (the command-line tool) cannot wait
  // for the end of a run, and the console keeps only its last lines.
  using TLineEvent = std::function<void(const std::string& Line)>;
  void SetOnAddLine(TLineEvent Handler) { FOnAddLine = std::move(Handler); }

private:
  std::deque<std::string> FLines; // the oldest goes in constant time
  int64_t FAddedCount = 0;
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
  void SetCurrentBlock(TAlgBlock* Block) {
    if (Block == FCurrentBlock)
      return;
    if (FState == amsReady)
      FCurrentBlock = Block;
    else
      ChangeCurrentBlock(Block); // raises the state error
  }
  TAlgBlock* GetCurrentBlock() const { return FCurrentBlock; }
  void PushBlock(TAlgBlock* Block) { FBlockStack.push_back(Block); }
  // The blocks a step comes back to, innermost last.
  const std::vector<TAlgBlock*>& GetBlockStack() const { return FBlockStack; }
  // Processes one counted block with the sequences around it and stops on
  // the next counted block.
  void Step();
  // Makes at most MaxSteps steps, each exactly as Step makes it, while the
  // state stays amsReady; Done counts the steps completed, also when one
  // fails. With Watch, it also stops before a step of a block Watch
  // watches whose condition may hold, and says so (true): the host looks
  // there itself (a breakpoint) and makes that step or not.
  bool StepMany(int64_t MaxSteps, int64_t& Done, IStepWatch* Watch = nullptr);
  // Inside StepMany, the steps it has counted so far (its Done), up to the
  // step under way; 0 outside. A host that is asked for an input while the
  // steps go on shows how many were made before it.
  int64_t GetStepsInCall() const { return FStepsInCall ? *FStepsInCall : 0; }
  // Steps while the state is amsReady, inside one component bracket (as
  // StepMany makes them).
  void Run();
  bool ExecLine(const std::string& Line);

  int GetDeviceCount() const { return static_cast<int>(FDevices.size()); }
  TAlgDevice* GetDevices(int Index) const;
  void CheckDeviceIndex(int Index) const;

  [[noreturn]] void RaiseSyntaxError() const;
  [[noreturn]] void RaiseSyntaxError(const std::string& Line) const;
  [[noreturn]] void RaiseAbortByUser() const;

  void CheckState(TAlgMachineState State) const {
    if (FState != State)
      RaiseStateError(State);
  }
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

  // The compiled form of Block, made anew (empty, Compiled false) when its
  // text changed since. Valid until the next call for another block.
  TCompiledBlock& GetCompiledBlock(const TAlgBlock* Block) {
    // The processor asks for the block it was called for, just looked up.
    if (Block == FProcessing.Block)
      return *FProcessing.Entry;
    const TRecent& Recent = FRecentTable[RecentIndex(Block)];
    if (Recent.Block == Block && Recent.Entry->Stamp == Block->GetText().GetChangeStamp())
      return *Recent.Entry;
    return LookUpCompiledBlock(Block);
  }

private:
  friend class TAlgDevice;
  void ProcessCurrentBlock();
  void ProcessBlock(TAlgBlock* Block, TCompiledBlock& Compiled);
  // Flowrun_StepProgram.cpp: the tree of Root compiled ahead, and steps made
  // over it from a step boundary to a step boundary, each as StepBlocks
  // makes it; no step made where the current block is not one it can start
  // from.
  void BuildStepProgram(TStepProgram& Program, TAlgBlock* Root);
  // The program of Block's algorithm, kept while the algorithm's version
  // stays (its blocks and texts the same); null while laying it out would
  // cost more than the slices asked for so far (Budget: this one's steps).
  TStepProgram* StepProgramFor(TAlgBlock* Block, int64_t Budget);
  void RunStepProgram(TStepProgram& Program, int64_t MaxSteps, int64_t& Done);
  // The same steps over the program's flat states (TFlatState); none made
  // where the machine is not at one, and back before a step it leaves to
  // RunStepProgram.
  // Watch: stopped before a watched step (true).
  bool RunFlatProgram(TStepProgram& Program, int64_t MaxSteps, int64_t& Done, IStepWatch* Watch);
  void WatchStates(TStepProgram& Program, IStepWatch* Watch);
  int FlatStateNow(TStepProgram& Program) const;
  void SetFlatState(const TStepProgram& Program, const TFlatState& State, bool Failing);
  [[gnu::noinline]] void PrepareBlock(const TAlgBlock* Block, TCompiledBlock& Compiled);
  // The blocks of one step, up to the next counted one; Processed: the
  // step's counted block is processed already, only the way to the next
  // one is left.
  void StepBlocks(bool Processed = false);
  void ChangeCurrentBlock(TAlgBlock* Block);
  [[noreturn]] void RaiseStateError(TAlgMachineState Expected) const;
  TCompiledBlock& LookUpCompiledBlock(const TAlgBlock* Block);

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
  // Component brackets open now. Inside one, a step's own bracket would only
  // count up and down on every component, so a step opens none.
  int FComponentBrackets = 0;
  const int64_t* FStepsInCall = nullptr; // StepMany's Done while it runs
  TAlgCanvas* FCanvas;
  // Every block met so far, and a small table of the recent ones in front,
  // as a step looks up one or two blocks and their lookup must cost little.
  std::unordered_map<const TAlgBlock*, std::unique_ptr<TCompiledBlock>> FCompiled;
  struct TRecent {
    const TAlgBlock* Block = nullptr;
    TCompiledBlock* Entry = nullptr;
  };
  static constexpr std::size_t RecentSize = 64;
  static std::size_t RecentIndex(const TAlgBlock* Block) {
    const auto Address = reinterpret_cast<std::uintptr_t>(Block);
    return (Address >> 4 ^ Address >> 10) % RecentSize;
  }
  TRecent FRecentTable[RecentSize];
  TRecent FProcessing; // the block being processed, while it is
  std::unique_ptr<TStepProgram> FProgram;
  const TAlgorithm* FProgramAlgorithm = nullptr;
  std::uint64_t FProgramVersion = 0;
  std::int64_t FProgramCredit = 0; // steps asked for since it was last out of date
};

inline void TAlgMachine::ProcessBlock(TAlgBlock* Block, TCompiledBlock& Compiled) {
  FLastProcessedBlock = Block;
  if (Compiled.PlainSequence) {
    // What the sequence's processor does, without the call.
    FCurrentBlock = Block->GetBlockCount() ? Block->GetBlocks(0) : nullptr;
    FJumpedBack = false;
    return;
  }
  FProcessing = {Block, &Compiled};
  try {
    Compiled.Processor->Process(this);
  } catch (...) {
    FProcessing = {};
    FJumpedBack = false;
    throw;
  }
  FProcessing = {};
  FJumpedBack = false;
}

// The machine's component bracket (storage, console, devices) for one scope.
class TAlgComponentGuard : public TBracketGuard<TAlgMachine> {
public:
  explicit TAlgComponentGuard(TAlgMachine& Machine)
      : TBracketGuard(&Machine, &TAlgMachine::BeginModifyComponents,
                      &TAlgMachine::EndModifyComponents) {}
};

} // namespace Deskbay
