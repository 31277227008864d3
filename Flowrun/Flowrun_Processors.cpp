#include "Flowrun_Processors.h"

#include "Flowrun_Canvas.h"

#include "Flowrun_Values.h"

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

// The condition of a branch or condition loop: its first line, as written.
bool EvaluateFirstLine(TAlgMachine* M, const TAlgBlock* B) {
  TCompiledBlock& C = M->GetCompiledBlock(B);
  TVarStorage& Storage = M->GetStorage();
  if (!C.Compiled) {
    C.HasCondition = B->GetText().GetCount() > 0;
    if (C.HasCondition)
      Storage.CompileCondition(B->GetText().Get(0), C.Condition);
    C.Compiled = true;
  }
  if (!C.HasCondition)
    throw Exception("Неверное условие.");
  return Storage.EvaluateCondition(C.Condition);
}

bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= 32;
}

bool IsModWord(std::string_view S, size_t At) {
  return At + 3 <= S.size() && SameText(S.substr(At, 3), "MOD");
}

} // namespace

// An assignment V=expression, read the way the arithmetic unit reads it:
// the variable's upper-case letter and the expression's text.
bool ReadAssignment(const std::string& Line, char& Letter, std::string& Expr) {
  const std::string S = AlgRemoveBlanks(Line);
  if (S.size() < 3 || S[1] != '=' || !IsLatinChar(S[0]))
    return false;
  Letter = static_cast<char>(S[0] & ~0x20);
  Expr = S.substr(2);
  return true;
}

// Splits S at every comma; empty items are kept.
std::vector<std::string> SplitAtCommas(const std::string& S) {
  std::vector<std::string> Items;
  size_t Start = 0;
  for (;;) {
    const size_t Comma = S.find(',', Start);
    Items.push_back(
        S.substr(Start, Comma == std::string::npos ? std::string::npos : Comma - Start));
    if (Comma == std::string::npos)
      return Items;
    Start = Comma + 1;
  }
}

// Whether S begins with LowerWord (small letters), ignoring case.
bool StartsWithWord(const std::string& S, const std::string& LowerWord) {
  return LowerCaseRu(S.substr(0, LowerWord.size())) == LowerWord;
}

std::string AlgRemoveBlanks(std::string_view Line) {
  std::string Result;
  Result.reserve(Line.size());
  size_t I = 0;
  while (I < Line.size()) {
    if (!IsBlank(Line[I])) {
      size_t End = I + 1;
      while (End < Line.size() && !IsBlank(Line[End]))
        ++End;
      Result.append(Line.substr(I, End - I));
      I = End;
      continue;
    }
    size_t Word = I;
    while (Word < Line.size() && IsBlank(Line[Word]))
      ++Word;
    size_t After = Word + 3;
    if (!Result.empty() && IsModWord(Line, Word) && After < Line.size() && IsBlank(Line[After])) {
      while (After < Line.size() && IsBlank(Line[After]))
        ++After;
      if (After < Line.size()) {
        Result += ' ';
        Result.append(Line.substr(Word, 3));
        Result += ' ';
        I = After;
        continue;
      }
    }
    I = Word;
  }
  return Result;
}

bool TALU::ExecLine(const std::string& Line) {
  char Letter;
  std::string Expr;
  if (!ReadAssignment(Line, Letter, Expr))
    return false;
  const double Value = GetMachine()->GetStorage().Evaluate(Expr);
  GetMachine()->GetStorage().SetVars(std::string_view(&Letter, 1), Value);
  return true;
}

void TBasicAlgBlockProcessor::Process(TAlgMachine* M) const {
  TBasicAlgBlock* B = CurrentAs<TBasicAlgBlock>(M);
  TCompiledBlock& C = M->GetCompiledBlock(B);
  TVarStorage& Storage = M->GetStorage();
  const std::vector<std::string>& Lines = B->GetText().Lines();
  if (!C.Compiled) {
    // The arithmetic unit is the first device, so an assignment never
    // reaches another; every other line goes to the devices as before.
    C.Lines.resize(Lines.size());
    for (size_t I = 0; I < Lines.size(); ++I) {
      TCompiledBlock::TLine& L = C.Lines[I];
      char Letter;
      std::string Expr;
      if (Trim(Lines[I]).empty()) {
        L.Kind = TCompiledBlock::lkSkip;
      } else if (ReadAssignment(Lines[I], Letter, Expr)) {
        L.Kind = TCompiledBlock::lkAssign;
        L.Target = Storage.GetSlot(std::string_view(&Letter, 1));
        Storage.Compile(Expr, L.Expr);
      } else if (!M->GetCanvas().CompileLine(Lines[I], L)) {
        L.Kind = TCompiledBlock::lkText;
      }
    }
    C.Compiled = true;
  }
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

const std::string InputWord = "ввод";
const std::string OutputWord = "вывод";

// One line of an input/output block, read from its text.
void ExecIOLine(TAlgMachine* M, const std::string& Line) {
  const std::string S = AlgRemoveBlanks(Line);
  if (S.empty())
    return;
  bool Input;
  std::string Rest;
  if (StartsWithWord(S, InputWord)) {
    Input = true;
    Rest = S.substr(InputWord.size());
  } else if (StartsWithWord(S, OutputWord)) {
    Input = false;
    Rest = S.substr(OutputWord.size());
  } else {
    M->RaiseSyntaxError(Line);
  }
  if (Rest.empty())
    M->RaiseSyntaxError(Line);
  const std::vector<std::string> Items = SplitAtCommas(Rest);
  if (Input) {
    for (const std::string& Item : Items) {
      if (Item.size() != 1 || !IsLatinChar(Item[0]))
        M->RaiseSyntaxError(Line);
      const std::string Name = UpperCase(Item);
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
    for (const std::string& Item : Items) {
      Joined += AlgFormatValue(M->GetStorage().Evaluate(Item));
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
  if (!C.Compiled) {
    // Output statements are compiled; input statements wait for the user
    // anyway and are read as text, as are lines that raise a syntax error.
    const std::vector<std::string>& Lines = B->GetText().Lines();
    C.Lines.resize(Lines.size());
    for (size_t I = 0; I < Lines.size(); ++I) {
      TCompiledBlock::TLine& L = C.Lines[I];
      const std::string S = AlgRemoveBlanks(Lines[I]);
      L.Kind = TCompiledBlock::lkText;
      L.Text = Lines[I];
      L.Items.clear();
      if (S.empty()) {
        L.Kind = TCompiledBlock::lkSkip;
      } else if (!StartsWithWord(S, InputWord) && StartsWithWord(S, OutputWord) &&
                 S.size() > OutputWord.size()) {
        L.Kind = TCompiledBlock::lkOutput;
        for (const std::string& Item : SplitAtCommas(S.substr(OutputWord.size())))
          Storage.Compile(Item, L.Items.emplace_back());
      }
    }
    C.Compiled = true;
  }
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
  if (!C.Compiled) {
    C.HeaderError = TCompiledBlock::heSyntax;
    if (B->GetText().GetCount() > 0) {
      const std::string S = AlgRemoveBlanks(B->GetText().Get(0));
      std::vector<std::string> Parts;
      if (S.size() < 2)
        C.HeaderError = TCompiledBlock::heSyntax;
      else if (!IsLatinChar(S[0]) || S[1] != '=')
        C.HeaderError = TCompiledBlock::heSyntaxInLine;
      else if (S.size() == 2)
        C.HeaderError = TCompiledBlock::heSyntax;
      else if ((Parts = SplitAtCommas(S.substr(2))).size() != 3)
        C.HeaderError = TCompiledBlock::heSyntaxInLine;
      else {
        C.HeaderError = TCompiledBlock::heNone;
        const char Letter = static_cast<char>(S[0] & ~0x20);
        C.Var = Storage.GetSlot(std::string_view(&Letter, 1));
        Storage.Compile(Parts[0], C.Start);
        Storage.Compile(Parts[1], C.End);
        Storage.Compile(Parts[2], C.Step);
      }
    }
    C.Compiled = true;
  }
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
