#include "Flowrun_Processors.h"

#include "Flowrun_Canvas.h"

#include "Flowrun_Values.h"

#include "Flowlang/Flowlang_Messages.h"

#include "Corekit/Conditions.h"
#include "Corekit/InteractionHooks.h"

namespace Deskbay {

const TBasicAlgBlockProcessor TBasicAlgBlockProcessor::Instance;
const TRootAlgBlockProcessor TRootAlgBlockProcessor::Instance;
const TCompoundAlgBlockProcessor TCompoundAlgBlockProcessor::Instance;
const TIfAlgBlockProcessor TIfAlgBlockProcessor::Instance;
const TIOAlgBlockProcessor TIOAlgBlockProcessor::Instance;
const TWhileAlgBlockProcessor TWhileAlgBlockProcessor::Instance;
const TForAlgBlockProcessor TForAlgBlockProcessor::Instance;
const TUntilAlgBlockProcessor TUntilAlgBlockProcessor::Instance;

namespace {

// The machine's current block as the class the processor serves.
template <class T> T* CurrentAs(TAlgMachine* M) {
  TAlgBlock* Current = M->GetCurrentBlock();
  if (Current && Current->GetClass() == &T::Class)
    return static_cast<T*>(Current);
  T* B = dynamic_cast<T*>(Current);
  if (!B)
    throw EInvalidCast();
  return B;
}

[[gnu::cold]] [[gnu::noinline]] void CompileCondition(TVarStorage& Storage, const TAlgBlock* B,
                                                      TCompiledBlock& C) {
  C.HasCondition = B->GetText().GetCount() > 0;
  if (C.HasCondition)
    Storage.CompileCondition(ReadCondition(B->GetText().Get(0)), C.Condition);
  C.Compiled = true;
}

// The condition of a branch or condition loop: its first line, as written.
bool EvaluateFirstLine(TAlgMachine* M, const TAlgBlock* B) {
  TCompiledBlock& C = M->GetCompiledBlock(B);
  TVarStorage& Storage = M->GetStorage();
  if (!C.Compiled)
    CompileCondition(Storage, B, C);
  if (!C.HasCondition)
    throw Exception(NoConditionText());
  return Storage.EvaluateCondition(C.Condition);
}

// Compiling a block's lines happens once per block and text; it stays out
// of the processors' own code, which runs at every step.

// The arithmetic unit is the first device, so an assignment never reaches
// another; every other line goes to the devices as before.
[[gnu::cold]] [[gnu::noinline]] void
CompileComputation(TAlgMachine* M, const std::vector<std::string>& Lines, TCompiledBlock& C) {
  TVarStorage& Storage = M->GetStorage();
  C.Lines.resize(Lines.size());
  for (size_t I = 0; I < Lines.size(); ++I) {
    TCompiledBlock::TLine& L = C.Lines[I];
    const TStatement S = ReadComputationLine(Lines[I]);
    if (S.Kind == TStatementKind::Empty) {
      L.Kind = TCompiledBlock::lkSkip;
    } else if (S.Kind == TStatementKind::Assignment) {
      L.Kind = TCompiledBlock::lkAssign;
      L.Target = Storage.GetSlot(std::string_view(&S.Var, 1));
      Storage.Compile(S.Exprs[0].Text, L.Expr);
    } else if (!M->GetCanvas().CompileStatement(S, L)) {
      L.Kind = TCompiledBlock::lkText;
    }
  }
  C.Compiled = true;
}

// Output statements are compiled; input statements wait for the user
// anyway and are read as text, as are lines that raise a syntax error.
[[gnu::cold]] [[gnu::noinline]] void
CompileInputOutput(TVarStorage& Storage, const std::vector<std::string>& Lines, TCompiledBlock& C) {
  C.Lines.resize(Lines.size());
  for (size_t I = 0; I < Lines.size(); ++I) {
    TCompiledBlock::TLine& L = C.Lines[I];
    const TStatement S = ReadInputOutputLine(Lines[I]);
    L.Kind = TCompiledBlock::lkText;
    L.Text = Lines[I];
    L.Items.clear();
    if (S.Kind == TStatementKind::Empty) {
      L.Kind = TCompiledBlock::lkSkip;
    } else if (S.Kind == TStatementKind::Output) {
      L.Kind = TCompiledBlock::lkOutput;
      for (const TExprText& Item : S.Exprs)
        Storage.Compile(Item.Text, L.Items.emplace_back());
    }
  }
  C.Compiled = true;
}

[[gnu::cold]] [[gnu::noinline]] void CompileCountingLoop(TVarStorage& Storage, const TAlgBlock* B,
                                                         TCompiledBlock& C) {
  const TStatement S =
      B->GetText().GetCount() > 0 ? ReadCountingLoop(B->GetText().Get(0)) : MissingCountingLoop();
  if (S.Kind == TStatementKind::CountingLoop) {
    C.HeaderError = TCompiledBlock::heNone;
    C.Var = Storage.GetSlot(std::string_view(&S.Var, 1));
    Storage.Compile(S.Exprs[0].Text, C.Start);
    Storage.Compile(S.Exprs[1].Text, C.End);
    Storage.Compile(S.Exprs[2].Text, C.Step);
  } else {
    // The short header's message names no line.
    C.HeaderError =
        S.Error == SyntaxErrorText() ? TCompiledBlock::heSyntax : TCompiledBlock::heSyntaxInLine;
  }
  C.Compiled = true;
}

} // namespace

void CompileBlockAhead(TAlgMachine* M, const TAlgBlock* B, TCompiledBlock& C) {
  if (C.Compiled)
    return;
  const TAlgBlockClass* Class = B->GetClass();
  if (Class == &TBasicAlgBlock::Class)
    CompileComputation(M, B->GetText().Lines(), C);
  else if (Class == &TIOAlgBlock::Class)
    CompileInputOutput(M->GetStorage(), B->GetText().Lines(), C);
  else if (Class == &TIfAlgBlock::Class || Class == &TWhileAlgBlock::Class ||
           Class == &TUntilAlgBlock::Class)
    CompileCondition(M->GetStorage(), B, C);
  else if (Class == &TForAlgBlock::Class)
    CompileCountingLoop(M->GetStorage(), B, C);
}

bool TALU::ExecLine(const std::string& Line) {
  TStatement S;
  if (!ReadAssignment(Line, S))
    return false;
  const double Value = GetMachine()->GetStorage().Evaluate(S.Exprs[0].Text);
  GetMachine()->GetStorage().SetVars(std::string_view(&S.Var, 1), Value);
  return true;
}

void TBasicAlgBlockProcessor::Process(TAlgMachine* M) const {
  TBasicAlgBlock* B = CurrentAs<TBasicAlgBlock>(M);
  TCompiledBlock& C = M->GetCompiledBlock(B);
  TVarStorage& Storage = M->GetStorage();
  const std::vector<std::string>& Lines = B->GetText().Lines();
  if (!C.Compiled)
    CompileComputation(M, Lines, C);
  for (size_t I = 0; I < C.Lines.size(); ++I) {
    const TCompiledBlock::TLine& L = C.Lines[I];
    if (L.Kind == TCompiledBlock::lkAssign)
      Storage.SetSlotValue(L.Target, Storage.Evaluate(L.Expr));
    else if (L.Kind == TCompiledBlock::lkDraw)
      M->GetCanvas().ExecCompiled(L, Lines[I]);
    else if (L.Kind == TCompiledBlock::lkText)
      M->ExecLine(Lines[I]);
  }
  M->SetCurrentBlock(B->GetNextSibling());
}

void TRootAlgBlockProcessor::Process(TAlgMachine* M) const {
  M->SetCurrentBlock(CurrentAs<TRootAlgBlock>(M)->GetBody());
}

void TCompoundAlgBlockProcessor::Process(TAlgMachine* M) const {
  TCompoundAlgBlock* B = CurrentAs<TCompoundAlgBlock>(M);
  M->SetCurrentBlock(B->GetBlockCount() ? B->GetBlocks(0) : nullptr);
}

void TIfAlgBlockProcessor::Process(TAlgMachine* M) const {
  TIfAlgBlock* B = CurrentAs<TIfAlgBlock>(M);
  M->PushBlock(B->GetNextSibling());
  M->SetCurrentBlock(EvaluateFirstLine(M, B) ? B->GetYesBranch() : B->GetNoBranch());
}

namespace {

// One line of an input/output block, read from its text.
void ExecIOLine(TAlgMachine* M, const std::string& Line) {
  const TStatement S = ReadInputOutputLine(Line);
  if (S.Kind == TStatementKind::Empty)
    return;
  if (S.Kind == TStatementKind::Invalid)
    M->RaiseSyntaxError(Line);
  if (S.Kind == TStatementKind::Input) {
    for (size_t I = 0; I < S.Items.size(); ++I) {
      if (I == S.ValidInputItems)
        M->RaiseSyntaxError(Line);
      const std::string Name = UpperCase(S.Items[I].Text);
      M->TriggerComponentNotifications();
      std::string Value;
      TInputStringOptions Options;
      Options.Trim = true;
      Options.NotEmpty = true;
      if (!InputString("Ввод данных", Format("Введите значение %s:", Name.c_str()), Value, Options))
        M->RaiseAbortByUser();
      M->GetStorage().SetVars(Name, static_cast<double>(AlgStrToFloat(Value)));
    }
  } else {
    std::string Joined;
    for (const TExprText& Item : S.Exprs) {
      Joined += AlgFormatValue(M->GetStorage().Evaluate(Item.Text));
      Joined += ' ';
    }
    Joined.pop_back();
    M->GetConsole().AddLine(Joined);
  }
}

} // namespace

void TIOAlgBlockProcessor::Process(TAlgMachine* M) const {
  TIOAlgBlock* B = CurrentAs<TIOAlgBlock>(M);
  TCompiledBlock& C = M->GetCompiledBlock(B);
  TVarStorage& Storage = M->GetStorage();
  if (!C.Compiled)
    CompileInputOutput(Storage, B->GetText().Lines(), C);
  // Lines come from the compiled form, which keeps its own copy of each:
  // an input statement lets the host run while it asks.
  for (const TCompiledBlock::TLine& L : C.Lines) {
    if (L.Kind == TCompiledBlock::lkText) {
      ExecIOLine(M, L.Text);
    } else if (L.Kind == TCompiledBlock::lkOutput) {
      std::string Joined;
      for (const TAlgExpression& Item : L.Items) {
        Joined += AlgFormatValue(Storage.Evaluate(Item));
        Joined += ' ';
      }
      Joined.pop_back();
      M->GetConsole().AddLine(Joined);
    }
  }
  M->SetCurrentBlock(B->GetNextSibling());
}

void TWhileAlgBlockProcessor::Process(TAlgMachine* M) const {
  TWhileAlgBlock* B = CurrentAs<TWhileAlgBlock>(M);
  if (EvaluateFirstLine(M, B)) {
    M->PushBlock(B);
    M->SetCurrentBlock(B->GetBody());
  } else {
    M->SetCurrentBlock(B->GetNextSibling());
  }
}

void TForAlgBlockProcessor::Process(TAlgMachine* M) const {
  TForAlgBlock* B = CurrentAs<TForAlgBlock>(M);
  TCompiledBlock& C = M->GetCompiledBlock(B);
  TVarStorage& Storage = M->GetStorage();
  if (!C.Compiled)
    CompileCountingLoop(Storage, B, C);
  if (C.HeaderError == TCompiledBlock::heSyntax)
    M->RaiseSyntaxError();
  if (C.HeaderError == TCompiledBlock::heSyntaxInLine)
    M->RaiseSyntaxError(B->GetText().Get(0));
  const double Start = Storage.Evaluate(C.Start);
  const double End = Storage.Evaluate(C.End);
  const double Step = Storage.Evaluate(C.Step);
  const double V = M->GetJumpedBack() ? Storage.GetSlotValue(C.Var) + Step : Start;
  Storage.SetSlotValue(C.Var, V);
  if (V <= End) {
    M->PushBlock(B);
    M->SetCurrentBlock(B->GetBody());
  } else {
    M->SetCurrentBlock(B->GetNextSibling());
  }
}

void TUntilAlgBlockProcessor::Process(TAlgMachine* M) const {
  TUntilAlgBlock* B = CurrentAs<TUntilAlgBlock>(M);
  if (M->GetJumpedBack() && !EvaluateFirstLine(M, B)) {
    M->SetCurrentBlock(B->GetNextSibling());
    return;
  }
  M->SetCurrentBlock(B->GetBody());
  M->PushBlock(B);
}

} // namespace Deskbay
