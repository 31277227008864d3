#include "Flowimport_Chart.h"

#include "Flowimport_Errors.h"
#include "Flowimport_Expr.h"

#include "Corekit/SysUtils.h"
#include "Flowlang/Flowlang_Statement.h"
#include "Flowmodel/Flowmodel_Kinds.h"
#include "Flowmodel/Flowmodel_Main.h"

namespace Deskbay {

namespace {

void ReplaceAll(TImportNodes& Nodes, const TNameMap& Names) {
  const auto Letter = [&Names](const std::string& Key) {
    return std::string(1, Names.LetterOf(Key));
  };
  for (TImportNode& N : Nodes) {
    for (std::string* S : {&N.Text, &N.Var, &N.Value, &N.CondLeft, &N.CondRight})
      *S = ReplaceMarkers(*S, Letter);
    ReplaceAll(N.Body, Names);
    ReplaceAll(N.Else, Names);
  }
}

bool StartsWith(const std::string& S, const std::string& Prefix) {
  return S.compare(0, Prefix.size(), Prefix) == 0;
}

// The step of "V=V+S", "V=V-S" (as "-S"), or empty.
std::string StepOf(const TImportNode& N, const std::string& Var) {
  if (N.Kind != TImportNode::nkAssign || N.Var != Var)
    return std::string();
  const std::string& V = N.Value;
  if (V.size() > Var.size() + 1 && StartsWith(V, Var) &&
      (V[Var.size()] == '+' || V[Var.size()] == '-')) {
    const std::string Rest = V.substr(Var.size() + 1);
    // The rest must be one operand of the sum: no sum or difference of its own.
    int Depth = 0;
    for (size_t I = 0; I < Rest.size(); ++I) {
      if (Rest[I] == '(')
        ++Depth;
      else if (Rest[I] == ')')
        --Depth;
      else if (Depth == 0 && I > 0 && (Rest[I] == '+' || Rest[I] == '-') && Rest[I - 1] != '*' &&
               Rest[I - 1] != '/' && Rest[I - 1] != '^' && Rest[I - 1] != ' ')
        return std::string();
    }
    if (V[Var.size()] == '+')
      return Rest;
    return StartsWith(Rest, "-") ? Rest.substr(1) : "-" + Rest;
  }
  return std::string();
}

// A counting loop the text spelt as a set-up, a while loop and a step.
bool ReadCountingWhile(TImportNodes& Nodes, size_t I) {
  if (I + 2 >= Nodes.size())
    return false;
  const TImportNode& Comment = Nodes[I];
  const TImportNode& SetUp = Nodes[I + 1];
  TImportNode& Loop = Nodes[I + 2];
  if (Comment.Kind != TImportNode::nkComment || SetUp.Kind != TImportNode::nkAssign ||
      Loop.Kind != TImportNode::nkWhile || Loop.CondLeft != SetUp.Var || Loop.CondOp != "<=" ||
      Loop.Body.empty())
    return false;
  const std::string Step = StepOf(Loop.Body.back(), SetUp.Var);
  if (Step.empty())
    return false;
  std::string Header;
  const TStatement S = ReadCountingLoop(Comment.Text);
  if (S.Kind == TStatementKind::CountingLoop && std::string(1, S.Var) == SetUp.Var)
    Header = Comment.Text;
  else if (StartsWith(Comment.Text, "цикл с параметром " + SetUp.Var + " через while"))
    Header = SetUp.Var + "=" + SetUp.Value + "," + Loop.CondRight + "," + Step;
  else
    return false;
  TImportNode For;
  For.Kind = TImportNode::nkFor;
  For.Text = Header;
  For.Line = SetUp.Line;
  For.Column = SetUp.Column;
  For.Body = std::move(Loop.Body);
  For.Body.pop_back();
  Nodes.erase(Nodes.begin() + static_cast<std::ptrdiff_t>(I) + 1,
              Nodes.begin() + static_cast<std::ptrdiff_t>(I) + 3);
  Nodes[I] = std::move(For);
  return true;
}

const std::string RepeatWhile = "повторять, пока ";

void ReadBack(TImportNodes& Nodes, const std::string& FileName) {
  for (TImportNode& N : Nodes) {
    ReadBack(N.Body, FileName);
    ReadBack(N.Else, FileName);
  }
  for (size_t I = 0; I < Nodes.size(); ++I) {
    if (ReadCountingWhile(Nodes, I))
      continue;
    TImportNode& N = Nodes[I];
    if (N.Kind != TImportNode::nkComment || I + 1 == Nodes.size())
      continue;
    TImportNode& Next = Nodes[I + 1];
    if (Next.Kind == TImportNode::nkUntil && StartsWith(N.Text, RepeatWhile) &&
        ReadCondition(N.Text.substr(RepeatWhile.size())).Kind == TStatementKind::Condition) {
      Next.Text = N.Text.substr(RepeatWhile.size());
    } else if (Next.Kind == TImportNode::nkStop) {
      // A line the machine refuses: kept as written, in the block its words
      // suggest.
      const TStatement IO = ReadInputOutputLine(N.Text);
      Next.Kind = IO.Kind == TStatementKind::Input || IO.Kind == TStatementKind::Output
                      ? TImportNode::nkOutput
                      : TImportNode::nkDrawing;
      Next.Text = N.Text;
      Next.Value = "refused";
    }
  }
  TImportNodes Kept;
  Kept.reserve(Nodes.size());
  for (TImportNode& N : Nodes) {
    if (N.Kind == TImportNode::nkComment)
      continue;
    if (N.Kind == TImportNode::nkStop)
      throw EImportError(FileName, N.Line, N.Column,
                         "остановки программы с сообщением в языке алгоритмов нет.",
                         "Алгоритм останавливается сам, когда строку блока нельзя выполнить.");
    Kept.push_back(std::move(N));
  }
  Nodes = std::move(Kept);
}

void Refuse(const TImportNode& N, const std::string& FileName, const std::string& Error) {
  throw EImportError(FileName, N.Line, N.Column,
                     "получилась строка \"" + N.Text +
                         "\", которую язык алгоритмов не читает: " + Error);
}

void Check(const TImportNodes& Nodes, const std::string& FileName) {
  for (const TImportNode& N : Nodes) {
    TStatement S;
    switch (N.Kind) {
    case TImportNode::nkAssign:
    case TImportNode::nkDrawing:
      S = ReadComputationLine(N.Text);
      break;
    case TImportNode::nkInput:
    case TImportNode::nkOutput:
      S = ReadInputOutputLine(N.Text);
      break;
    case TImportNode::nkIf:
    case TImportNode::nkWhile:
    case TImportNode::nkUntil:
      S = ReadCondition(N.Text);
      break;
    case TImportNode::nkFor:
      S = ReadCountingLoop(N.Text);
      break;
    case TImportNode::nkComment:
    case TImportNode::nkStop:
      break;
    }
    if (S.Kind == TStatementKind::Invalid && N.Value != "refused")
      Refuse(N, FileName, S.Error);
    Check(N.Body, FileName);
    Check(N.Else, FileName);
  }
}

} // namespace

void FinishImportNodes(TImportNodes& Nodes, TNameMap& Names, const std::string& FileName) {
  Names.Resolve(FileName);
  ReplaceAll(Nodes, Names);
  ReadBack(Nodes, FileName);
  Check(Nodes, FileName);
}

namespace {

// A new block, or the import's error where the algorithm holds no more.
TAlgBlock* NewBlock(const TAlgBlockClass& Class, TAlgBlock* Parent, int Line, int Column,
                    const std::string& FileName) {
  try {
    return Class.Create(Parent);
  } catch (const EImportError&) {
    throw;
  } catch (const Exception&) {
    throw EImportError(FileName, Line, Column,
                       Format("здесь блоков становится больше %d, а столько алгоритм не вмещает.",
                              AlgMaxBlockCount),
                       "Разбейте программу на части.");
  }
}

} // namespace

TAlgBlock* CreateImportedBlock(const TAlgBlockClass& Class, TAlgBlock* Parent, int Line, int Column,
                               const std::string& FileName) {
  return NewBlock(Class, Parent, Line, Column, FileName);
}

void BuildImportedBlocks(const TImportNodes& Nodes, TAlgBlock* Sequence,
                         const std::string& FileName) {
  TAlgBlock* Last = nullptr;
  for (const TImportNode& N : Nodes) {
    const TAlgBlockClass* Class = nullptr;
    switch (N.Kind) {
    case TImportNode::nkAssign:
    case TImportNode::nkDrawing:
      Class = &TBasicAlgBlock::Class;
      break;
    case TImportNode::nkInput:
    case TImportNode::nkOutput:
      Class = &TIOAlgBlock::Class;
      break;
    case TImportNode::nkIf:
      Class = &TIfAlgBlock::Class;
      break;
    case TImportNode::nkWhile:
      Class = &TWhileAlgBlock::Class;
      break;
    case TImportNode::nkUntil:
      Class = &TUntilAlgBlock::Class;
      break;
    case TImportNode::nkFor:
      Class = &TForAlgBlock::Class;
      break;
    case TImportNode::nkComment:
    case TImportNode::nkStop:
      continue;
    }
    const bool Simple = Class == &TBasicAlgBlock::Class || Class == &TIOAlgBlock::Class;
    if (Simple && Last && Last->GetClass() == Class) {
      std::vector<std::string> Lines = Last->GetText().Lines();
      Lines.push_back(N.Text);
      Last->GetText().SetLines(Lines);
      continue;
    }
    TAlgBlock* B = NewBlock(*Class, Sequence, N.Line, N.Column, FileName);
    B->GetText().SetLines({N.Text});
    Last = Simple ? B : nullptr;
    if (N.Kind == TImportNode::nkIf) {
      auto* If = static_cast<TIfAlgBlock*>(B);
      BuildImportedBlocks(N.Body, If->GetYesBranch(), FileName);
      BuildImportedBlocks(N.Else, If->GetNoBranch(), FileName);
    } else if (TCompoundAlgBlock* Body = AlgBodyOf(B)) {
      BuildImportedBlocks(N.Body, Body, FileName);
    }
  }
}

} // namespace Deskbay
