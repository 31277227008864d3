#include "Flowimport_Pascal.h"

#include "Flowimport_Expr.h"
#include "Flowimport_Tokens.h"

#include "Corekit/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace Deskbay {

namespace {

std::string Lower(const std::string& S) {
  std::string R = S;
  for (char& C : R)
    if (C >= 'A' && C <= 'Z')
      C = static_cast<char>(C - 'A' + 'a');
  return R;
}

std::vector<TToken> LexPascal(std::string_view Text, const std::string& FileName) {
  std::vector<TToken> Tokens;
  size_t Pos = Text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  size_t LineStart = 0;
  int LineNo = 1;
  const auto Column = [&](size_t At) { return ColumnOf(Text.substr(LineStart), At - LineStart); };
  const auto Push = [&](TToken::TKind Kind, std::string T, int Line, int Col) {
    if (Tokens.size() >= MaxImportTokens)
      throw EImportError(
          FileName, Line, Col,
          Format("в программе больше %zu слов и знаков — это не программа для урока.",
                 MaxImportTokens));
    TToken Tok;
    Tok.Kind = Kind;
    Tok.Text = std::move(T);
    Tok.Line = Line;
    Tok.Column = Col;
    Tokens.push_back(std::move(Tok));
  };
  // Walks over a comment or string to End, counting its line ends.
  const auto Over = [&](size_t End) {
    for (; Pos < End; ++Pos)
      if (Text[Pos] == '\n') {
        ++LineNo;
        LineStart = Pos + 1;
      }
  };
  while (Pos < Text.size()) {
    const char C = Text[Pos];
    const auto U = static_cast<unsigned char>(C);
    const int Line = LineNo, Col = Column(Pos);
    if (C == '\n') {
      ++Pos;
      ++LineNo;
      LineStart = Pos;
      continue;
    }
    if (C == ' ' || C == '\t' || C == '\r' || C == '\f') {
      ++Pos;
      continue;
    }
    if (C == '{' || Text.substr(Pos, 2) == "(*") {
      const std::string_view Close = C == '{' ? "}" : "*)";
      const size_t From = Pos + (C == '{' ? 1 : 2);
      const size_t End = Text.find(Close, From);
      if (End == std::string_view::npos)
        throw EImportError(FileName, Line, Col, "комментарий не закрыт.");
      Push(TToken::tkComment, Trim(Text.substr(From, End - From)), Line, Col);
      Over(End + Close.size());
      continue;
    }
    if (Text.substr(Pos, 2) == "//") {
      size_t End = Text.find('\n', Pos);
      if (End == std::string_view::npos)
        End = Text.size();
      Push(TToken::tkComment, Trim(Text.substr(Pos + 2, End - Pos - 2)), Line, Col);
      Pos = End;
      continue;
    }
    if (std::isalpha(U) || C == '_') {
      size_t I = Pos;
      while (I < Text.size() &&
             (std::isalnum(static_cast<unsigned char>(Text[I])) || Text[I] == '_'))
        ++I;
      Push(TToken::tkName, std::string(Text.substr(Pos, I - Pos)), Line, Col);
      Pos = I;
      continue;
    }
    if (U >= 0x80)
      throw EImportError(FileName, Line, Col, "имена в Pascal пишутся латинскими буквами.");
    if (std::isdigit(U)) {
      size_t I = Pos;
      const auto Digits = [&] {
        while (I < Text.size() && std::isdigit(static_cast<unsigned char>(Text[I])))
          ++I;
      };
      Digits();
      if (I + 1 < Text.size() && Text[I] == '.' &&
          std::isdigit(static_cast<unsigned char>(Text[I + 1]))) {
        ++I;
        Digits();
      }
      if (I < Text.size() && (Text[I] == 'e' || Text[I] == 'E')) {
        size_t J = I + 1;
        if (J < Text.size() && (Text[J] == '+' || Text[J] == '-'))
          ++J;
        if (J < Text.size() && std::isdigit(static_cast<unsigned char>(Text[J]))) {
          I = J;
          Digits();
        }
      }
      if (I < Text.size() && (std::isalpha(static_cast<unsigned char>(Text[I])) || Text[I] == '_'))
        throw EImportError(FileName, Line, Col, "такой записи числа в языке алгоритмов нет.");
      Push(TToken::tkNumber, std::string(Text.substr(Pos, I - Pos)), Line, Col);
      Pos = I;
      continue;
    }
    if (C == '$' || C == '%' || C == '&') {
      // Hexadecimal, binary and octal integers: read, refused where used.
      size_t I = Pos + 1;
      while (I < Text.size() && std::isxdigit(static_cast<unsigned char>(Text[I])))
        ++I;
      if (I > Pos + 1) {
        Push(TToken::tkNumber, std::string(Text.substr(Pos, I - Pos)), Line, Col);
        Pos = I;
        continue;
      }
    }
    if (C == '\'' || C == '#') {
      std::string S;
      size_t I = Pos;
      while (I < Text.size() && (Text[I] == '\'' || Text[I] == '#')) {
        if (Text[I] == '#') {
          size_t J = I + 1;
          while (J < Text.size() && std::isdigit(static_cast<unsigned char>(Text[J])))
            ++J;
          if (J == I + 1)
            throw EImportError(FileName, Line, Col, "после # нужен код знака.");
          S += '?';
          I = J;
          continue;
        }
        for (++I;; ++I) {
          if (I >= Text.size() || Text[I] == '\n')
            throw EImportError(FileName, Line, Col, "текст в кавычках не закрыт.");
          if (Text[I] == '\'') {
            if (I + 1 < Text.size() && Text[I + 1] == '\'') {
              S += '\'';
              ++I;
              continue;
            }
            ++I;
            break;
          }
          S += Text[I];
        }
      }
      Push(TToken::tkString, S, Line, Col);
      Pos = I;
      continue;
    }
    static const char* const Ops[] = {":=", "<>", "<=", ">=", "..", "+", "-", "*", "/", "=", "<",
                                      ">",  "(",  ")",  "[",  "]",  ",", ";", ":", ".", "^", "@"};
    bool Found = false;
    for (const char* Op : Ops) {
      const size_t N = std::strlen(Op);
      if (Text.substr(Pos, N) == Op) {
        Push(TToken::tkOp, Op, Line, Col);
        Pos += N;
        Found = true;
        break;
      }
    }
    if (!Found)
      throw EImportError(FileName, Line, Col,
                         "знак \"" + std::string(1, C) + "\" в программе на Pascal не бывает.");
  }
  return Tokens;
}

// A cursor that steps over comments; statements take them where they stand.
class TPasCursor {
public:
  TPasCursor(const std::vector<TToken>& Tokens, const std::string& FileName)
      : FTokens(Tokens), FFileName(FileName) {
    FEnd.Line = Tokens.empty() ? 1 : Tokens.back().Line;
    FEnd.Column = Tokens.empty() ? 1 : Tokens.back().Column + 1;
  }

  const TToken& Peek(size_t Ahead = 0) const {
    size_t P = FPos;
    for (;; ++P) {
      while (P < FTokens.size() && FTokens[P].Kind == TToken::tkComment)
        ++P;
      if (P >= FTokens.size())
        return FEnd;
      if (Ahead-- == 0)
        return FTokens[P];
    }
  }
  const TToken& Next() {
    while (FPos < FTokens.size() && FTokens[FPos].Kind == TToken::tkComment)
      ++FPos;
    if (FPos >= FTokens.size())
      return FEnd;
    return FTokens[FPos++];
  }
  // The comments standing at the cursor.
  std::vector<TToken> Comments() {
    std::vector<TToken> R;
    while (FPos < FTokens.size() && FTokens[FPos].Kind == TToken::tkComment)
      R.push_back(FTokens[FPos++]);
    return R;
  }
  bool AtEnd() const { return Peek().Kind == TToken::tkEnd; }
  bool IsOp(const char* Op, size_t Ahead = 0) const {
    const TToken& T = Peek(Ahead);
    return T.Kind == TToken::tkOp && T.Text == Op;
  }
  bool IsWord(const char* Word, size_t Ahead = 0) const {
    const TToken& T = Peek(Ahead);
    return T.Kind == TToken::tkName && Lower(T.Text) == Word;
  }
  bool TakeOp(const char* Op) {
    if (!IsOp(Op))
      return false;
    Next();
    return true;
  }
  bool TakeWord(const char* Word) {
    if (!IsWord(Word))
      return false;
    Next();
    return true;
  }
  [[noreturn]] void Fail(const TToken& At, const std::string& What,
                         const std::string& Hint = "") const {
    throw EImportError(FFileName, At.Line, At.Column, What, Hint);
  }
  [[noreturn]] void Fail(const std::string& What, const std::string& Hint = "") const {
    Fail(Peek(), What, Hint);
  }
  void ExpectOp(const char* Op, const std::string& What) {
    if (!TakeOp(Op))
      Fail(What + " Стоит " + Quoted(Peek()) + ".");
  }
  void ExpectWord(const char* Word, const std::string& What) {
    if (!TakeWord(Word))
      Fail(What + " Стоит " + Quoted(Peek()) + ".");
  }
  size_t GetPosition() const { return FPos; }
  void SetPosition(size_t P) { FPos = P; }
  const std::vector<TToken>& Tokens() const { return FTokens; }

private:
  const std::vector<TToken>& FTokens;
  const std::string& FFileName;
  size_t FPos = 0;
  TToken FEnd;
};

const char* const Helpers[] = {
    "addstep",  "astext", "computationfailed", "cosl",    "fail",      "inrange", "modulo",
    "number",   "power",  "readnumber",        "rounded", "truncated", "powl",    "sinl",
    "strfromd", "divide", "logarithm"};

bool IsHelper(const std::string& Name) {
  const std::string L = Lower(Name);
  return std::any_of(std::begin(Helpers), std::end(Helpers),
                     [&L](const char* H) { return L == H; });
}

const char* const Keywords[] = {
    "and", "array", "begin", "case",     "const",  "div",       "do",      "downto", "else",
    "end", "file",  "for",   "function", "goto",   "if",        "in",      "label",  "mod",
    "nil", "not",   "of",    "or",       "packed", "procedure", "program", "record", "repeat",
    "set", "then",  "to",    "type",     "until",  "var",       "while",   "with",   "xor",
    "shl", "shr",   "uses",  "exit",     "break",  "continue"};

bool IsKeyword(const std::string& Name) {
  const std::string L = Lower(Name);
  return std::any_of(std::begin(Keywords), std::end(Keywords),
                     [&L](const char* K) { return L == K; });
}

struct TCond {
  TPiece Left, Right;
  std::string Op;
  TToken At;
  std::string Text() const { return Left.Text + Op + Right.Text; }
};

class TPasReader {
public:
  TPasReader(const std::vector<TToken>& Tokens, const std::string& FileName, TNameMap& Names)
      : C(Tokens, FileName), FFileName(FileName), FNames(Names) {}

private:
  std::vector<std::string> FPrinted; // the values of the output line being made up

public:
  TImportNodes Program() {
    bool Whole = false;
    if (C.IsWord("program") || C.IsWord("uses") || C.IsWord("var") || C.IsWord("const") ||
        C.IsWord("function") || C.IsWord("procedure") || C.IsWord("label") || C.IsWord("type"))
      Whole = true;
    if (C.TakeWord("program")) {
      C.Next();
      C.ExpectOp(";", "после имени программы нужна точка с запятой.");
    }
    if (C.TakeWord("uses")) {
      while (!C.AtEnd() && !C.TakeOp(";"))
        C.Next();
    }
    for (;;) {
      if (C.IsWord("const") || C.IsWord("var") || C.IsWord("type") || C.IsWord("label")) {
        const TToken Section = C.Next();
        if (Lower(Section.Text) == "type")
          C.Fail(Section, "своих типов в языке алгоритмов нет.");
        SkipDeclarations();
        continue;
      }
      if (C.IsWord("function") || C.IsWord("procedure")) {
        const TToken Word = C.Next();
        const TToken Name = C.Peek();
        if (!IsHelper(Name.Text))
          C.Fail(Word, "функций и процедур в языке алгоритмов нет.",
                 "Перенесите тело подпрограммы туда, где она вызывается.");
        SkipRoutine();
        continue;
      }
      break;
    }
    C.Comments();
    if (!Whole && !C.IsWord("begin")) {
      // Statements alone, as a piece of a program pasted into a chart.
      TImportNodes Nodes = Statements(0, "");
      if (!C.AtEnd())
        C.Fail("здесь программа должна кончиться.");
      return Nodes;
    }
    C.ExpectWord("begin", "здесь должно начинаться тело программы: begin.");
    TImportNodes Nodes = Statements(0, "end");
    C.ExpectWord("end", "здесь нужно end.");
    if (!C.TakeOp("."))
      C.Fail("после последнего end нужна точка.");
    if (!C.AtEnd())
      C.Fail("после end. программа кончается.");
    return Nodes;
  }

private:
  TPasCursor C;
  const std::string& FFileName;
  TNameMap& FNames;

  bool AtSection() const {
    return C.IsWord("const") || C.IsWord("var") || C.IsWord("type") || C.IsWord("label") ||
           C.IsWord("function") || C.IsWord("procedure") || C.IsWord("begin");
  }

  void SkipDeclarations() {
    while (!C.AtEnd() && !AtSection()) {
      const TToken& T = C.Next();
      if (T.Kind == TToken::tkName && (Lower(T.Text) == "array" || Lower(T.Text) == "record"))
        C.Fail(T, "массивов и записей в языке алгоритмов нет.");
      if (T.Kind == TToken::tkName && Lower(T.Text) == "string")
        C.Fail(T, "строк в языке алгоритмов нет: переменные только числа.");
    }
  }

  // A helper of a program written from a chart: its header, declarations
  // and body, or an external declaration.
  void SkipRoutine() {
    while (!C.AtEnd() && !C.TakeOp(";"))
      C.Next();
    for (;;) {
      if (C.TakeWord("cdecl") || C.TakeWord("inline")) {
        C.TakeOp(";");
        continue;
      }
      if (C.TakeWord("external")) {
        while (!C.AtEnd() && !C.TakeOp(";"))
          C.Next();
        return;
      }
      break;
    }
    while (!C.AtEnd() && !C.IsWord("begin"))
      C.Next();
    int Depth = 0;
    do {
      const TToken& T = C.Next();
      if (T.Kind == TToken::tkEnd)
        C.Fail(T, "подпрограмма не закончена.");
      const std::string W = T.Kind == TToken::tkName ? Lower(T.Text) : "";
      if (W == "begin" || W == "case" || W == "try" || W == "record")
        ++Depth;
      else if (W == "end")
        --Depth;
    } while (Depth > 0);
    C.TakeOp(";");
  }

  void Deeper(int Depth) {
    if (Depth > MaxImportNesting)
      C.Fail(Format("блоки или скобки вложены глубже %d уровней.", MaxImportNesting));
  }

  void Comments(TImportNodes& Nodes) {
    for (const TToken& T : C.Comments()) {
      TImportNode N;
      N.Kind = TImportNode::nkComment;
      N.Line = T.Line;
      N.Column = T.Column;
      N.Text = T.Text;
      static const std::string Drawing = "рисунок (";
      const size_t Colon = N.Text.find("): ");
      if (N.Text.compare(0, Drawing.size(), Drawing) == 0 && Colon != std::string::npos) {
        N.Kind = TImportNode::nkDrawing;
        N.Text = N.Text.substr(Colon + 3);
      }
      Nodes.push_back(std::move(N));
    }
  }

  // Statements separated by semicolons up to the word End (not taken).
  TImportNodes Statements(int Depth, const char* End) {
    Deeper(Depth);
    TImportNodes Nodes;
    for (;;) {
      Comments(Nodes);
      if (C.IsWord(End) || C.AtEnd())
        return Nodes;
      if (!*End && C.IsWord("end"))
        C.Fail("end без своего begin.");
      if (C.TakeOp(";"))
        continue;
      const size_t Before = Nodes.size();
      Statement(Nodes, Depth);
      // Inputs on one line of text are one input line: "Ввод A, B".
      if (Nodes.size() == Before + 1 && Before > 0 && Nodes[Before].Kind == TImportNode::nkInput &&
          Nodes[Before - 1].Kind == TImportNode::nkInput &&
          Nodes[Before - 1].Line == Nodes[Before].Line) {
        Nodes[Before - 1].Text += ", " + Nodes[Before].Text.substr(std::string("Ввод ").size());
        Nodes.pop_back();
      }
      Comments(Nodes);
      if (C.IsWord(End))
        return Nodes;
      if (!C.TakeOp(";"))
        C.Fail("между операторами нужна точка с запятой.");
    }
  }

  TImportNode At(const TToken& T, TImportNode::TKind Kind) {
    TImportNode N;
    N.Kind = Kind;
    N.Line = T.Line;
    N.Column = T.Column;
    return N;
  }

  TPiece Variable(const TToken& T) {
    if (IsKeyword(T.Text))
      C.Fail(T, "здесь нужно имя переменной, а стоит " + Quoted(T) + ".");
    FNames.Note(Lower(T.Text), T.Text, T.Line, T.Column);
    return TPiece::Variable(Lower(T.Text));
  }

  // One statement: a compound one is its statements.
  void Statement(TImportNodes& Nodes, int Depth) {
    const TToken T = C.Peek();
    if (T.Kind != TToken::tkName)
      C.Fail(T, "здесь должен начинаться оператор, а стоит " + Quoted(T) + ".");
    const std::string W = Lower(T.Text);
    if (W == "begin") {
      C.Next();
      TImportNodes Inner = Statements(Depth + 1, "end");
      C.ExpectWord("end", "здесь нужно end.");
      for (TImportNode& N : Inner)
        Nodes.push_back(std::move(N));
      return;
    }
    if (W == "if") {
      If(Nodes, Depth);
      return;
    }
    if (W == "while") {
      C.Next();
      TImportNode N = At(T, TImportNode::nkWhile);
      const std::vector<TCond> Conds = Conditions(false, "цикла");
      N.Text = Conds[0].Text();
      N.CondLeft = Conds[0].Left.Text;
      N.CondOp = Conds[0].Op;
      N.CondRight = Conds[0].Right.Text;
      C.ExpectWord("do", "после условия цикла нужно do.");
      Body(N.Body, Depth);
      Nodes.push_back(std::move(N));
      return;
    }
    if (W == "repeat") {
      C.Next();
      TImportNode N = At(T, TImportNode::nkUntil);
      N.Body = Statements(Depth + 1, "until");
      C.ExpectWord("until", "repeat кончается словом until.");
      const std::vector<TCond> Conds = Conditions(false, "цикла");
      // The body repeats while the condition of until does not hold.
      N.Text = Conds[0].Left.Text + NegatedComparison(Conds[0].Op) + Conds[0].Right.Text;
      Nodes.push_back(std::move(N));
      return;
    }
    if (W == "for") {
      For(Nodes, Depth);
      return;
    }
    if (W == "readln" || W == "read") {
      C.Next();
      TImportNode N = At(T, TImportNode::nkInput);
      std::vector<std::string> Vars;
      if (C.TakeOp("(")) {
        do {
          const TToken V = C.Next();
          if (V.Kind != TToken::tkName)
            C.Fail(V, "читать можно только в переменные.");
          Vars.push_back(Variable(V).Text);
        } while (C.TakeOp(","));
        C.ExpectOp(")", "здесь нужна закрывающая скобка.");
      }
      if (Vars.empty())
        return; // the rest of the line skipped
      N.Text = "Ввод ";
      for (size_t K = 0; K < Vars.size(); ++K)
        N.Text += (K ? ", " : "") + Vars[K];
      Nodes.push_back(std::move(N));
      return;
    }
    if (W == "writeln" || W == "write") {
      Write(Nodes);
      return;
    }
    // The text a chart was written as: the FPU's exceptions masked, and a
    // value computed only to stop where the chart's line would, before a
    // part that always fails (the failing line says it).
    if ((W == "setexceptionmask" || W == "number") && C.IsOp("(", 1)) {
      C.Next();
      int Depth = 0;
      do {
        const TToken P = C.Next();
        if (P.Kind == TToken::tkOp && P.Text == "(")
          ++Depth;
        else if (P.Kind == TToken::tkOp && P.Text == ")")
          --Depth;
      } while (!C.AtEnd() && Depth > 0);
      return;
    }
    if (W == "fail" || W == "halt") {
      C.Next();
      if (C.TakeOp("(")) {
        while (!C.AtEnd() && !C.TakeOp(")"))
          C.Next();
      }
      // Halt after the message of a stop is that same stop.
      if (W == "halt" && !Nodes.empty() && Nodes.back().Kind == TImportNode::nkStop)
        return;
      Nodes.push_back(At(T, TImportNode::nkStop));
      return;
    }
    if (W == "exit" || W == "break" || W == "continue" || W == "goto" || W == "case" ||
        W == "with" || W == "try")
      C.Fail(T, "\"" + T.Text + "\" в языке алгоритмов нет.",
             W == "break" ? "Цикл кончается по своему условию: перенесите условие выхода в "
                            "заголовок цикла."
                          : "");
    if (C.IsOp(":=", 1)) {
      Assignment(Nodes);
      return;
    }
    C.Fail(T,
           IsKeyword(T.Text) ? "\"" + T.Text + "\" здесь быть не может."
                             : "вызова " + T.Text + " в языке алгоритмов нет.",
           "В алгоритме бывают присваивания, ввод, вывод, ветвления и циклы.");
  }

  void Body(TImportNodes& Into, int Depth) {
    Deeper(Depth + 1);
    Comments(Into);
    if (C.IsOp(";") || C.IsWord("end") || C.IsWord("else") || C.IsWord("until"))
      return; // an empty statement
    Statement(Into, Depth + 1);
  }

  void Assignment(TImportNodes& Nodes) {
    const TToken Target = C.Next();
    C.Next(); // :=
    const std::string W = Lower(Target.Text);
    if (W == "errorproc") {
      while (!C.AtEnd() && !C.IsOp(";") && !C.IsWord("end"))
        C.Next();
      return;
    }
    // An output line of several values is made up in Printed, value after
    // value, and written by WriteLn(Printed).
    if (W == "printed") {
      if (C.IsWord("printed")) {
        C.Next();
        C.ExpectOp("+", "здесь нужен знак +.");
        if (C.Peek().Kind == TToken::tkString)
          C.Next();
        C.ExpectOp("+", "здесь нужен знак +.");
      } else {
        FPrinted.clear();
      }
      FPrinted.push_back(Expression(0).Text);
      return;
    }
    if (C.IsWord("unset") && (C.IsOp(";", 1) || C.IsWord("end", 1)))
      return C.Next(), void();
    TImportNode N = At(Target, TImportNode::nkAssign);
    if (C.IsWord("readnumber") && C.IsOp("(", 1)) {
      C.Next();
      C.Next();
      while (!C.AtEnd() && !C.TakeOp(")"))
        C.Next();
      N.Kind = TImportNode::nkInput;
      N.Text = "Ввод " + Variable(Target).Text;
      Nodes.push_back(std::move(N));
      return;
    }
    const TPiece V = Variable(Target);
    TPiece Value = Expression(0);
    N.Var = V.Text;
    N.Value = Value.Text;
    // AddStep(I, S): the step of a counting loop written from a chart.
    if (Value.Shape == TPiece::psCall && Value.Func == "ADDSTEP")
      N.Value = V.Text + "+" + Value.Args->Text;
    N.Text = V.Text + "=" + N.Value;
    Nodes.push_back(std::move(N));
  }

  void Write(TImportNodes& Nodes) {
    const TToken T = C.Next();
    bool Line = Lower(T.Text) == "writeln";
    TImportNode N = At(T, TImportNode::nkOutput);
    std::string Items;
    const auto Read = [&] {
      if (!C.TakeOp("("))
        return;
      if (C.IsWord("stderr")) {
        // The message of a stop.
        while (!C.AtEnd() && !C.TakeOp(")"))
          C.Next();
        N.Kind = TImportNode::nkStop;
        return;
      }
      if (C.IsWord("printed") && C.IsOp(")", 1)) {
        C.Next();
        C.Next();
        for (const std::string& Item : FPrinted)
          Items += (Items.empty() ? "" : ", ") + Item;
        FPrinted.clear();
        return;
      }
      do {
        // ' ' between values, and "+ ' ' +" between printed texts.
        if (C.Peek().Kind == TToken::tkString) {
          const TToken S = C.Next();
          if (Trim(S.Text).empty())
            continue;
          C.Fail(S, "текст печатать нельзя: вывод в языке алгоритмов печатает только числа.",
                 "Уберите текст из writeln и оставьте значения.");
        }
        for (;;) {
          Items += (Items.empty() ? "" : ", ") + Expression(0).Text;
          if (C.IsOp(":")) {
            // Field widths: the language prints numbers its own way.
            C.Next();
            Expression(0);
            if (C.TakeOp(":"))
              Expression(0);
          }
          if (C.IsOp("+") && C.Peek(1).Kind == TToken::tkString && Trim(C.Peek(1).Text).empty() &&
              C.IsOp("+", 2)) {
            C.Next();
            C.Next();
            C.Next();
            continue;
          }
          break;
        }
      } while (C.TakeOp(","));
      C.ExpectOp(")", "здесь нужна закрывающая скобка.");
    };
    Read();
    if (N.Kind == TImportNode::nkStop) {
      Nodes.push_back(std::move(N));
      return;
    }
    // write(…) and the writeln that ends its line are one output.
    while (!Line) {
      const size_t Back = C.GetPosition();
      if (C.TakeOp(";")) {
        if (C.TakeWord("writeln")) {
          Read();
          Line = true;
          break;
        }
        if (C.TakeWord("write")) {
          Read();
          continue;
        }
      }
      C.SetPosition(Back);
      C.Fail(T, "write без writeln: вывод в языке алгоритмов печатает строку целиком.",
             "Закончите строку оператором writeln.");
    }
    if (Items.empty())
      C.Fail(T, "writeln без значений: вывод печатает хотя бы одно число.");
    N.Text = "Вывод " + Items;
    Nodes.push_back(std::move(N));
  }

  bool IsUnsetCheck() const {
    return C.IsWord("if") && C.Peek(1).Kind == TToken::tkName && C.IsOp("=", 2) &&
           C.IsWord("unset", 3) && C.IsWord("then", 4);
  }

  void If(TImportNodes& Nodes, int Depth) {
    if (IsUnsetCheck()) {
      for (int K = 0; K < 5; ++K)
        C.Next();
      TImportNodes Dropped;
      Body(Dropped, Depth);
      return;
    }
    const TToken Word = C.Next();
    const std::vector<TCond> Conds = Conditions(true, "ветвления");
    C.ExpectWord("then", "после условия нужно then.");
    TImportNodes Yes, No;
    Body(Yes, Depth);
    if (C.TakeWord("else"))
      Body(No, Depth);
    if (Conds.size() > 1 && !No.empty())
      C.Fail(Conds[1].At, "ветвление с and и с else нельзя разложить на вложенные ветвления.",
             "Без else and становится двумя вложенными ветвлениями; с else запишите их сами.");
    Deeper(Depth + static_cast<int>(Conds.size()));
    TImportNode N;
    for (size_t K = Conds.size(); K-- > 0;) {
      TImportNode If = At(Conds[K].At, TImportNode::nkIf);
      If.Text = Conds[K].Text();
      if (K + 1 == Conds.size()) {
        If.Body = std::move(Yes);
        If.Else = std::move(No);
      } else {
        If.Body.push_back(std::move(N));
      }
      N = std::move(If);
    }
    N.Line = Word.Line;
    N.Column = Word.Column;
    Nodes.push_back(std::move(N));
  }

  void For(TImportNodes& Nodes, int Depth) {
    const TToken Word = C.Next();
    const TToken VarT = C.Next();
    if (VarT.Kind != TToken::tkName)
      C.Fail(VarT, "после for нужно имя переменной.");
    const TPiece V = Variable(VarT);
    C.ExpectOp(":=", "после переменной цикла нужно :=.");
    const TPiece Start = Expression(0);
    const bool Down = C.IsWord("downto");
    if (!C.TakeWord("to") && !C.TakeWord("downto"))
      C.Fail("здесь нужно to или downto.");
    TPiece End = Expression(0);
    C.ExpectWord("do", "после конца цикла нужно do.");
    TImportNode N = At(Word, TImportNode::nkFor);
    Body(N.Body, Depth);
    // The counter is whole: to Trunc(N) means up to N.
    if (End.Shape == TPiece::psCall && End.Func == "TRUNC") {
      const TPiece Inner = *End.Args; // a copy: End owns what it points to
      End = Inner;
    }
    if (!Down) {
      N.Text = V.Text + "=" + Start.Text + "," + End.Text + ",1";
      Nodes.push_back(std::move(N));
      return;
    }
    TImportNode SetUp = At(Word, TImportNode::nkAssign);
    SetUp.Var = V.Text;
    SetUp.Value = Start.Text;
    SetUp.Text = V.Text + "=" + Start.Text;
    TImportNode Step = SetUp;
    Step.Value = TPiece::Binary('-', V, TPiece::Number("1")).Text;
    Step.Text = V.Text + "=" + Step.Value;
    Nodes.push_back(std::move(SetUp));
    N.Kind = TImportNode::nkWhile;
    N.Text = V.Text + ">=" + End.Text;
    N.CondLeft = V.Text;
    N.CondOp = ">=";
    N.CondRight = End.Text;
    N.Body.push_back(std::move(Step));
    Nodes.push_back(std::move(N));
  }

  // Whether the parenthesis at the cursor holds a comparison of its own.
  bool ParenthesisedCondition() const {
    int Depth = 0;
    const std::vector<TToken>& Tokens = C.Tokens();
    for (size_t K = C.GetPosition(); K < Tokens.size(); ++K) {
      const TToken& T = Tokens[K];
      if (T.Kind != TToken::tkOp)
        continue;
      if (T.Text == "(")
        ++Depth;
      else if (T.Text == ")" && --Depth == 0)
        return false;
      else if (Depth == 1 && (T.Text == "<" || T.Text == ">" || T.Text == "=" || T.Text == "<>" ||
                              T.Text == "<=" || T.Text == ">="))
        return true;
    }
    return false;
  }

  std::vector<TCond> Conditions(bool AllowAnd, const char* Where) {
    std::vector<TCond> Out;
    for (int Parens = 0;;) {
      if (C.IsWord("not"))
        C.Fail("not в языке алгоритмов нет.",
               "Переверните сравнение: вместо not (A < B) напишите A >= B.");
      if (C.IsOp("(") && ParenthesisedCondition()) {
        C.Next();
        Deeper(++Parens);
        continue;
      }
      TCond K;
      K.At = C.Peek();
      K.Left = Expression(0);
      const TToken Op = C.Next();
      static const char* const Ops[] = {"<", ">", "<=", ">=", "=", "<>"};
      if (Op.Kind != TToken::tkOp || std::none_of(std::begin(Ops), std::end(Ops),
                                                  [&Op](const char* O) { return Op.Text == O; }))
        C.Fail(Op, std::string("условие ") + Where + " должно быть сравнением двух чисел.",
               "Например: A > 0 или N <> 0.");
      K.Op = Op.Text;
      K.Right = Expression(0);
      Out.push_back(K);
      while (Parens > 0 && C.TakeOp(")"))
        --Parens;
      if (C.IsWord("and")) {
        if (!AllowAnd)
          C.Fail(std::string("and в условии ") + Where + " нельзя.",
                 "У цикла одно сравнение; в ветвлении and становится двумя вложенными "
                 "ветвлениями, а у цикла так не получится.");
        C.Next();
        continue;
      }
      if (C.IsWord("or") || C.IsWord("xor"))
        C.Fail("or в языке алгоритмов нет.",
               "Ветвление с or можно записать двумя ветвлениями с одинаковыми телами.");
      if (Parens > 0)
        C.Fail("здесь нужна закрывающая скобка условия.");
      return Out;
    }
  }

  // Expressions, by Pascal's precedence: a sign applies to the first
  // factor of its term, which gives the same value.
  void LongCheck(const TPiece& P) {
    if (P.Text.size() > MaxImportLineBytes)
      C.Fail(Format("выражение длиннее %zu знаков.", MaxImportLineBytes));
  }

  TPiece Expression(int Depth) {
    Deeper(Depth);
    TPiece Left = Term(Depth, true);
    for (;;) {
      if (C.IsOp("+") || C.IsOp("-")) {
        if (C.IsOp("+") && C.Peek(1).Kind == TToken::tkString)
          return Left;
        const char Op = C.Next().Text[0];
        Left = TPiece::Binary(Op, Left, Term(Depth, false));
        LongCheck(Left);
        continue;
      }
      if (C.IsWord("or") || C.IsWord("xor"))
        C.Fail("or в языке алгоритмов нет.");
      return Left;
    }
  }

  // MOD rounds its operands itself: Round around one says nothing more.
  static TPiece ModOperand(const TPiece& P) {
    if (P.Shape == TPiece::psCall && P.Func == "ROUND")
      return P.Args->Shape == TPiece::psParens || P.Args->Level >= 3 ? *P.Args
                                                                     : TPiece::Parens(*P.Args);
    return P;
  }

  TPiece Term(int Depth, bool Signed) {
    TPiece Left = Signed ? SignedFactor(Depth) : Factor(Depth);
    for (;;) {
      if (C.IsOp("*") || C.IsOp("/")) {
        const char Op = C.Next().Text[0];
        Left = TPiece::Binary(Op, Left, Factor(Depth));
        LongCheck(Left);
      } else if (C.IsWord("mod")) {
        C.Next();
        Left = TPiece::Binary('M', ModOperand(Left), ModOperand(Factor(Depth)));
        LongCheck(Left);
      } else if (C.IsWord("div")) {
        C.Next();
        Left = TPiece::Call("TRUNC", TPiece::Binary('/', Left, Factor(Depth)));
      } else if (C.IsWord("and")) {
        return Left;
      } else if (C.IsWord("shl") || C.IsWord("shr")) {
        C.Fail("поразрядных операций в языке алгоритмов нет.");
      } else {
        return Left;
      }
    }
  }

  TPiece SignedFactor(int Depth) {
    if (C.TakeOp("-"))
      return TPiece::Negate(Factor(Depth + 1));
    if (C.TakeOp("+"))
      return Factor(Depth + 1);
    return Factor(Depth);
  }

  TPiece Call(const TToken& Name, std::vector<TPiece> Args) {
    const std::string W = Lower(Name.Text);
    const auto Need = [&](size_t N) {
      if (Args.size() != N)
        C.Fail(Name, Format("у %s здесь должно быть %zu значения.", Name.Text.c_str(), N));
    };
    static const std::pair<const char*, const char*> Same[] = {
        {"sqrt", "SQRT"},   {"abs", "ABS"},         {"round", "ROUND"}, {"rounded", "ROUND"},
        {"trunc", "TRUNC"}, {"truncated", "TRUNC"}, {"sin", "SIN"},     {"sinl", "SIN"},
        {"cos", "COS"},     {"cosl", "COS"},        {"arctan", "ATAN"}, {"exp", "EXP"},
        {"ln", "LN"},       {"sqr", "SQR"},         {"int", "TRUNC"}};
    for (const auto& [Pas, Lang] : Same)
      if (W == Pas) {
        Need(1);
        return TPiece::Call(Lang, Args[0]);
      }
    if (W == "number" || W == "extended" || W == "real" || W == "double" || W == "astext") {
      Need(1);
      return Args[0];
    }
    if (W == "inrange") {
      Need(2);
      return Args[0];
    }
    if (W == "power") {
      Need(2);
      return TPiece::Binary('^', Args[0], Args[1]);
    }
    if (W == "modulo") {
      Need(2);
      return TPiece::Binary('M', Args[0], Args[1]);
    }
    if (W == "divide") {
      Need(2);
      return TPiece::Binary('/', Args[0], Args[1]);
    }
    if (W == "logarithm") {
      Need(1);
      return TPiece::Call("LN", Args[0]);
    }
    if (W == "addstep") {
      Need(2);
      TPiece P = TPiece::Call("ADDSTEP", Args[1]);
      return P;
    }
    C.Fail(Name, "функции " + Name.Text + " в языке алгоритмов нет.",
           "В языке алгоритмов есть ABS, ATAN, COS, EXP, LN, ROUND, SIN, SQRT, SQR и TRUNC.");
  }

  TPiece Factor(int Depth) {
    Deeper(Depth);
    const TToken T = C.Peek();
    switch (T.Kind) {
    case TToken::tkNumber:
      if (!std::isdigit(static_cast<unsigned char>(T.Text[0])))
        C.Fail(T, "в языке алгоритмов числа только десятичные.");
      C.Next();
      return TPiece::Number(CanonicalNumber(T.Text));
    case TToken::tkString:
      C.Fail(T, "текста в языке алгоритмов нет: значения только числа.");
    case TToken::tkEnd:
    case TToken::tkComment:
      C.Fail(T, "здесь нужно выражение, а текст кончился.");
    case TToken::tkOp:
      if (T.Text == "(") {
        C.Next();
        TPiece Inner = Expression(Depth + 1);
        C.ExpectOp(")", "здесь нужна закрывающая скобка.");
        return TPiece::Parens(Inner);
      }
      if (T.Text == "-" || T.Text == "+")
        return SignedFactor(Depth + 1);
      C.Fail(T, "здесь нужно выражение, а стоит " + Quoted(T) + ".");
    case TToken::tkName:
      break;
    }
    const std::string W = Lower(T.Text);
    if (W == "not")
      C.Fail(T, "not в языке алгоритмов нет.");
    if (W == "true" || W == "false")
      C.Fail(T, "логических значений в языке алгоритмов нет.", "Сравнивайте числа.");
    if (W == "pi")
      C.Fail(T, "Pi в языке алгоритмов нет.", "Напишите число: 3.14159265358979.");
    C.Next();
    if (C.IsOp("(")) {
      C.Next();
      std::vector<TPiece> Args;
      const std::string W = Lower(T.Text);
      if (!C.IsOp(")"))
        do {
          // The checked value's expression as the chart wrote it, for the
          // message of its failure.
          if (Args.size() == 1 && C.Peek().Kind == TToken::tkString &&
              (W == "number" || W == "astext")) {
            C.Next();
            continue;
          }
          Args.push_back(Expression(Depth + 1));
        } while (C.TakeOp(","));
      C.ExpectOp(")", "здесь нужна закрывающая скобка после параметров.");
      return Call(T, std::move(Args));
    }
    if (C.IsOp("["))
      C.Fail(C.Peek(), "массивов в языке алгоритмов нет.");
    return Variable(T);
  }
};

} // namespace

void ReadPascalProgram(std::string_view Text, const std::string& FileName, TImportNodes& Nodes,
                       TNameMap& Names) {
  CheckSourceText(Text, FileName);
  const std::vector<TToken> Tokens = LexPascal(Text, FileName);
  Nodes = TPasReader(Tokens, FileName, Names).Program();
}

} // namespace Deskbay
