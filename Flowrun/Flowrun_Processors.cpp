#include "Flowrun_Processors.h"

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
  T* B = dynamic_cast<T*>(M->GetCurrentBlock());
  if (!B)
    throw EInvalidCast();
  return B;
}

// The condition of a branch or condition loop: its first line, as written.
bool EvaluateFirstLine(TAlgMachine* M, const TAlgBlock* B) {
  if (B->GetText().GetCount() == 0)
    throw Exception("Неверное условие.");
  return M->GetStorage().EvaluateCondition(B->GetText().Get(0));
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

bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= 32;
}

bool IsModWord(std::string_view S, size_t At) {
  return At + 3 <= S.size() && SameText(S.substr(At, 3), "MOD");
}

} // namespace

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
  const std::string S = AlgRemoveBlanks(Line);
  if (S.size() < 3 || S[1] != '=' || !IsLatinChar(S[0]))
    return false;
  const double Value = GetMachine()->GetStorage().Evaluate(S.substr(2));
  const char Name[2] = {static_cast<char>(S[0] & ~0x20), 0};
  GetMachine()->GetStorage().SetVars(std::string_view(Name, 1), Value);
  return true;
}

void TBasicAlgBlockProcessor::Process(TAlgMachine* M) const {
  TBasicAlgBlock* B = CurrentAs<TBasicAlgBlock>(M);
  for (const std::string& Line : B->GetText().Lines())
    if (!Trim(Line).empty())
      M->ExecLine(Line);
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

void TIOAlgBlockProcessor::Process(TAlgMachine* M) const {
  TIOAlgBlock* B = CurrentAs<TIOAlgBlock>(M);
  static const std::string InputWord = "ввод";
  static const std::string OutputWord = "вывод";
  for (const std::string& Line : B->GetText().Lines()) {
    const std::string S = AlgRemoveBlanks(Line);
    if (S.empty())
      continue;
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
        if (!InputString("Ввод данных", Format("Введите значение %s:", Name.c_str()), Value,
                         Options))
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
  if (B->GetText().GetCount() == 0)
    M->RaiseSyntaxError();
  const std::string& First = B->GetText().Get(0);
  const std::string S = AlgRemoveBlanks(First);
  if (S.size() < 2)
    M->RaiseSyntaxError();
  if (!IsLatinChar(S[0]) || S[1] != '=')
    M->RaiseSyntaxError(First);
  const char Name[2] = {static_cast<char>(S[0] & ~0x20), 0};
  const std::string_view Var(Name, 1);
  const std::string Rest = S.substr(2);
  if (Rest.empty())
    M->RaiseSyntaxError();
  const std::vector<std::string> Parts = SplitAtCommas(Rest);
  if (Parts.size() != 3)
    M->RaiseSyntaxError(First);
  TVarStorage& Storage = M->GetStorage();
  const double Start = Storage.Evaluate(Parts[0]);
  const double End = Storage.Evaluate(Parts[1]);
  const double Step = Storage.Evaluate(Parts[2]);
  const double V = M->GetJumpedBack() ? Storage.GetVars(Var) + Step : Start;
  Storage.SetVars(Var, V);
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
