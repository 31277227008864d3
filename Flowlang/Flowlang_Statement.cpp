#include "Flowlang_Statement.h"

#include "Flowlang_Messages.h"

#include "Corekit/Conditions.h"
#include "Corekit/SysUtils.h"

namespace Deskbay {

namespace {

bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= 32;
}

bool IsModWord(std::string_view S, size_t At) {
  return At + 3 <= S.size() && SameText(S.substr(At, 3), "MOD");
}

constexpr TDrawCommandWord CommandWords[] = {
    {"тчк", TDrawCommand::Point, "точка"}, {"отр", TDrawCommand::Segment, "отрезок"},
    {"крг", TDrawCommand::Circle, "круг"}, {"мну", TDrawCommand::Polygon, "многоугольник"},
    {"дуг", TDrawCommand::Arc, "дуга"},    {"зкр", TDrawCommand::Fill, "заливка"},
};

// Each command word is three Cyrillic letters, six bytes of UTF-8.
constexpr size_t CommandWordSize = 6;

// A statement of Line read without its blanks.
TStatement Unblanked(const std::string& Line) {
  TStatement S;
  S.Line = Line;
  S.Text = AlgRemoveBlanks(Line, &S.Source);
  return S;
}

void MakeInvalid(TStatement& S, std::string Error) {
  S.Kind = TStatementKind::Invalid;
  S.Error = std::move(Error);
}

// The items of Text from At on, split at every comma, with their places.
std::vector<TExprText> ItemsFrom(const std::string& Text, size_t At) {
  std::vector<TExprText> Items;
  for (;;) {
    const size_t Comma = Text.find(',', At);
    Items.push_back(
        {Text.substr(At, Comma == std::string::npos ? std::string::npos : Comma - At), At});
    if (Comma == std::string::npos)
      return Items;
    At = Comma + 1;
  }
}

// The arguments of a drawing command, read the way the canvas reads them:
// an expression runs up to the next terminator (the last one to the end),
// and the punctuation between them must be where the command has it.
class TDrawingForm {
public:
  TDrawingForm(TStatement& S, size_t At) : FS(S), FPos(At) {}

  bool Read() {
    switch (FS.Command->Command) {
    case TDrawCommand::Point:
    case TDrawCommand::Fill:
      return Point() && Expect(',') && Value(0);
    case TDrawCommand::Segment:
      return Point() && Expect('-') && Point() && Expect(',') && Value(0);
    case TDrawCommand::Circle:
      return Point() && Expect(',') && Value(',') && Value(',') && Value(0);
    case TDrawCommand::Polygon: {
      FS.PolygonPoints = 1;
      if (!Point())
        return false;
      while (Next('-')) {
        ++FPos;
        ++FS.PolygonPoints;
        if (!Point())
          return false;
      }
      return Next(',') && FS.PolygonPoints >= 2 && Expect(',') && Value(',') && Value(0);
    }
    case TDrawCommand::Arc:
      return Point() && Expect('-') && Point() && Expect('-') && Point() && Expect(',') && Value(0);
    }
    return false;
  }

private:
  TStatement& FS;
  size_t FPos;

  bool Next(char C) const { return FPos < FS.Text.size() && FS.Text[FPos] == C; }

  bool Expect(char C) {
    if (!Next(C))
      return false;
    ++FPos;
    return true;
  }

  // Up to the next Terminator (0: the end), which is consumed.
  bool Value(char Terminator) {
    size_t End = FS.Text.size();
    if (Terminator) {
      End = FS.Text.find(Terminator, FPos);
      if (End == std::string::npos)
        return false;
    }
    FS.Exprs.push_back({FS.Text.substr(FPos, End - FPos), FPos});
    FPos = Terminator ? End + 1 : End;
    return true;
  }

  bool Point() { return Expect('(') && Value(',') && Value(')'); }
};

} // namespace

std::string AlgRemoveBlanks(std::string_view Line, std::vector<size_t>* Source) {
  std::string Result;
  Result.reserve(Line.size());
  if (Source) {
    Source->clear();
    Source->reserve(Line.size());
  }
  const auto Take = [&](size_t From, size_t Count) {
    Result.append(Line.substr(From, Count));
    if (Source)
      for (size_t K = 0; K < Count; ++K)
        Source->push_back(From + K);
  };
  size_t I = 0;
  while (I < Line.size()) {
    if (!IsBlank(Line[I])) {
      size_t End = I + 1;
      while (End < Line.size() && !IsBlank(Line[End]))
        ++End;
      Take(I, End - I);
      I = End;
      continue;
    }
    size_t Word = I;
    while (Word < Line.size() && IsBlank(Line[Word]))
      ++Word;
    size_t After = Word + 3;
    if (!Result.empty() && IsModWord(Line, Word) && After < Line.size() && IsBlank(Line[After])) {
      const size_t BlankAfter = After;
      while (After < Line.size() && IsBlank(Line[After]))
        ++After;
      if (After < Line.size()) {
        Take(I, 1);
        Take(Word, 3);
        Take(BlankAfter, 1);
        Result[Result.size() - 5] = ' ';
        Result[Result.size() - 1] = ' ';
        I = After;
        continue;
      }
    }
    I = Word;
  }
  return Result;
}

std::vector<std::string> SplitAtCommas(const std::string& S) {
  std::vector<std::string> Items;
  for (TExprText& Item : ItemsFrom(S, 0))
    Items.push_back(std::move(Item.Text));
  return Items;
}

bool StartsWithWord(const std::string& S, const std::string& LowerWord) {
  return LowerCaseRu(S.substr(0, LowerWord.size())) == LowerWord;
}

const std::string& InputWord() {
  static const std::string Word = "ввод";
  return Word;
}

const std::string& OutputWord() {
  static const std::string Word = "вывод";
  return Word;
}

std::span<const TDrawCommandWord> DrawCommandWords() {
  return CommandWords;
}

const TDrawCommandWord* FindDrawCommand(std::string_view Text) {
  const std::string Word = LowerCaseRu(Text.substr(0, CommandWordSize));
  for (const TDrawCommandWord& W : CommandWords)
    if (Word == W.Word)
      return &W;
  return nullptr;
}

bool ReadAssignment(const std::string& Line, TStatement& Out) {
  TStatement S = Unblanked(Line);
  if (S.Text.size() < 3 || S.Text[1] != '=' || !IsLatinChar(S.Text[0]))
    return false;
  S.Kind = TStatementKind::Assignment;
  S.Var = static_cast<char>(S.Text[0] & ~0x20);
  S.Exprs.push_back({S.Text.substr(2), 2});
  Out = std::move(S);
  return true;
}

bool ReadDrawing(const std::string& Line, TStatement& Out) {
  TStatement S = Unblanked(Line);
  S.Command = FindDrawCommand(S.Text);
  if (!S.Command)
    return false;
  S.Kind = TStatementKind::Drawing;
  S.FormIsRight = TDrawingForm(S, CommandWordSize).Read();
  Out = std::move(S);
  return true;
}

TStatement ReadComputationLine(const std::string& Line) {
  TStatement S;
  if (Trim(Line).empty()) {
    S.Line = Line;
    return S;
  }
  if (ReadAssignment(Line, S) || ReadDrawing(Line, S))
    return S;
  S = Unblanked(Line);
  MakeInvalid(S, SyntaxErrorInLineText(Line));
  return S;
}

TStatement ReadInputOutputLine(const std::string& Line) {
  TStatement S = Unblanked(Line);
  if (S.Text.empty())
    return S;
  const bool Input = StartsWithWord(S.Text, InputWord());
  if (!Input && !StartsWithWord(S.Text, OutputWord())) {
    MakeInvalid(S, SyntaxErrorInLineText(Line));
    return S;
  }
  const size_t Rest = (Input ? InputWord() : OutputWord()).size();
  if (S.Text.size() <= Rest) {
    MakeInvalid(S, SyntaxErrorInLineText(Line));
    return S;
  }
  if (!Input) {
    S.Kind = TStatementKind::Output;
    S.Exprs = ItemsFrom(S.Text, Rest);
    return S;
  }
  S.Kind = TStatementKind::Input;
  S.Items = ItemsFrom(S.Text, Rest);
  while (S.ValidInputItems < S.Items.size()) {
    const std::string& Item = S.Items[S.ValidInputItems].Text;
    if (Item.size() != 1 || !IsLatinChar(Item[0]))
      break;
    ++S.ValidInputItems;
  }
  return S;
}

TStatement ReadCondition(const std::string& Line) {
  TStatement S;
  S.Line = Line;
  S.Text = Line;
  S.Source.resize(Line.size());
  for (size_t I = 0; I < Line.size(); ++I)
    S.Source[I] = I;
  std::string Left, Right;
  try {
    SplitCondition(Line, Left, Right, S.Op);
  } catch (const Exception&) {
    MakeInvalid(S, BadConditionText(Line));
    return S;
  }
  S.Kind = TStatementKind::Condition;
  const size_t RightStart = Left.size() + S.Op.size();
  S.Exprs.push_back({std::move(Left), 0});
  S.Exprs.push_back({std::move(Right), RightStart});
  return S;
}

TStatement MissingCondition() {
  TStatement S;
  MakeInvalid(S, NoConditionText());
  return S;
}

TStatement ReadCountingLoop(const std::string& Line) {
  TStatement S = Unblanked(Line);
  const std::string& T = S.Text;
  if (T.size() < 2 || (IsLatinChar(T[0]) && T[1] == '=' && T.size() == 2)) {
    MakeInvalid(S, SyntaxErrorText());
    return S;
  }
  if (!IsLatinChar(T[0]) || T[1] != '=') {
    MakeInvalid(S, SyntaxErrorInLineText(Line));
    return S;
  }
  std::vector<TExprText> Parts = ItemsFrom(T, 2);
  if (Parts.size() != 3) {
    MakeInvalid(S, SyntaxErrorInLineText(Line));
    return S;
  }
  S.Kind = TStatementKind::CountingLoop;
  S.Var = static_cast<char>(T[0] & ~0x20);
  S.Exprs = std::move(Parts);
  return S;
}

TStatement MissingCountingLoop() {
  TStatement S;
  MakeInvalid(S, SyntaxErrorText());
  return S;
}

} // namespace Deskbay
