#pragma once

#include "Flowrun/Flowrun_Main.h"

#include "Corekit/InteractionHooks.h"

#include <deque>
#include <string>
#include <vector>

namespace Deskbay::Testing {

// Answers input questions from a script; an exhausted script cancels.
struct TScriptedInput : IInputProvider {
  TScriptedInput() : FPrevious(SetInputProvider(this)) {}
  ~TScriptedInput() override { SetInputProvider(FPrevious); }
  bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                   const TInputStringOptions& Options) override {
    Captions.push_back(Caption);
    Prompts.push_back(Prompt);
    LastOptions = Options;
    if (Answers.empty())
      return false;
    Value = ApplyInputStringOptions(Answers.front(), Options);
    Answers.pop_front();
    return true;
  }
  std::deque<std::string> Answers;
  std::vector<std::string> Captions, Prompts;
  TInputStringOptions LastOptions;
  IInputProvider* FPrevious;
};

// Holds F2 for as long as it is installed.
struct THeldF2 : IAbortPoller {
  THeldF2() : FPrevious(SetAbortPoller(this)) {}
  ~THeldF2() override { SetAbortPoller(FPrevious); }
  bool AbortRequested() override {
    ++Polls;
    return true;
  }
  int Polls = 0;
  IAbortPoller* FPrevious;
};

inline TAlgBlock* Add(TAlgBlock* Parent, const TAlgBlockClass& Class,
                      const std::vector<std::string>& Lines = {}) {
  return Class.CreateWithLines(Parent, Lines);
}

inline TContainerAlgBlock* AddLoop(TAlgBlock* Parent, const TAlgBlockClass& Class,
                                   const std::string& Header) {
  return static_cast<TContainerAlgBlock*>(Add(Parent, Class, {Header}));
}

// A ready machine positioned at the algorithm's root.
struct TRun {
  explicit TRun(TAlgorithm& Alg) {
    Machine.InitComplete();
    Machine.SetCurrentBlock(Alg.GetRoot());
  }
  double Var(const char* Name) { return Machine.GetStorage().GetVars(Name); }
  // Runs to the end; returns the error text, empty when there was none.
  std::string RunToEnd() {
    try {
      Machine.Run();
    } catch (const Exception& E) {
      return E.Message();
    }
    return "";
  }
  std::vector<std::string> Console() {
    TStringList L;
    Machine.GetConsole().GetLines(L);
    return L.Lines();
  }
  TAlgMachine Machine;
};

} // namespace Deskbay::Testing
