#include "Flowlang_LineCheck.h"

#include "Flowlang_Expression.h"
#include "Flowlang_Messages.h"
#include "Flowlang_Statement.h"

namespace Deskbay {

namespace {

// The machine's message for an expression ReadCodeExpression refuses or
// finds always failing: the first line, "\r\n" and the reason, which a math
// error leaves empty.
bool ExpressionFails(const std::string& Text, std::string& Message) {
  const TCodeExprReading R = ReadCodeExpression(Text);
  if (R.Refused) {
    const size_t Break = R.Error.find('\n');
    Message =
        Break == std::string::npos ? R.Error : EvaluationErrorText(Text, R.Error.substr(Break + 1));
    return true;
  }
  if (R.AlwaysFails) {
    Message = EvaluationErrorText(Text, std::string());
    return true;
  }
  return false;
}

void WholeLine(const TStatement& S, std::string Message, TLineProblem& Out) {
  Out.Start = 0;
  Out.End = S.Line.size();
  Out.Message = std::move(Message);
}

// The first expression of Exprs that fails, in the order the machine
// computes them (the order they are read).
bool FirstFailing(const TStatement& S, const std::vector<TExprText>& Exprs, TLineProblem& Out) {
  for (const TExprText& E : Exprs) {
    std::string Message;
    if (!ExpressionFails(E.Text, Message))
      continue;
    Out.Message = std::move(Message);
    Out.Start = S.SourceOf(E.Start);
    Out.End = E.Text.empty() ? Out.Start : S.SourceOf(E.Start + E.Text.size() - 1) + 1;
    if (Out.End <= Out.Start) {
      // An empty expression ("Вывод A,,B"): the whole line is meant.
      Out.Start = 0;
      Out.End = S.Line.size();
    }
    return true;
  }
  return false;
}

bool CheckStatement(const TStatement& S, TLineProblem& Out) {
  switch (S.Kind) {
  case TStatementKind::Empty:
    return false;
  case TStatementKind::Invalid:
    WholeLine(S, S.Error, Out);
    return true;
  case TStatementKind::Input:
    // The names before the first bad item are asked, then the line fails.
    if (S.ValidInputItems < S.Items.size()) {
      WholeLine(S, SyntaxErrorInLineText(S.Line), Out);
      return true;
    }
    return false;
  case TStatementKind::Drawing:
    // The arguments read before the form breaks are computed first.
    if (FirstFailing(S, S.Exprs, Out))
      return true;
    if (!S.FormIsRight) {
      WholeLine(S, SyntaxErrorInLineText(S.Line), Out);
      return true;
    }
    return false;
  case TStatementKind::Assignment:
  case TStatementKind::Output:
  case TStatementKind::Condition:
  case TStatementKind::CountingLoop:
    return FirstFailing(S, S.Exprs, Out);
  }
  return false;
}

} // namespace

TStatement ReadLineAs(TLineRole Role, const std::string& Line) {
  switch (Role) {
  case TLineRole::Computation:
    return ReadComputationLine(Line);
  case TLineRole::InputOutput:
    return ReadInputOutputLine(Line);
  case TLineRole::Condition:
    return ReadCondition(Line);
  case TLineRole::CountingLoop:
    return ReadCountingLoop(Line);
  }
  return {};
}

bool CheckLine(TLineRole Role, const std::string& Line, TLineProblem& Out) {
  Out = TLineProblem();
  return CheckStatement(ReadLineAs(Role, Line), Out);
}

std::vector<TLineProblem> CheckLines(TLineRole Role, std::span<const std::string> Lines) {
  std::vector<TLineProblem> Problems;
  const bool FirstOnly = Role == TLineRole::Condition || Role == TLineRole::CountingLoop;
  if (FirstOnly && Lines.empty()) {
    TLineProblem P;
    P.Missing = true;
    P.Message = Role == TLineRole::Condition ? NoConditionText() : SyntaxErrorText();
    Problems.push_back(std::move(P));
    return Problems;
  }
  const size_t Count = FirstOnly ? 1 : Lines.size();
  for (size_t I = 0; I < Count; ++I) {
    TLineProblem P;
    if (CheckLine(Role, Lines[I], P)) {
      P.Line = I;
      Problems.push_back(std::move(P));
    }
  }
  return Problems;
}

std::string ProblemOneLine(const std::string& Message) {
  std::string Out;
  Out.reserve(Message.size());
  for (size_t I = 0; I < Message.size(); ++I) {
    const char C = Message[I];
    if (C == '\r' || C == '\n') {
      if (C == '\r' && I + 1 < Message.size() && Message[I + 1] == '\n')
        ++I;
      if (!Out.empty() && Out.back() != ' ' && I + 1 < Message.size())
        Out += ' ';
      continue;
    }
    Out += C;
  }
  while (!Out.empty() && Out.back() == ' ')
    Out.pop_back();
  return Out;
}

} // namespace Deskbay
