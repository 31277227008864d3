#include "Flowimport_Python.h"

#include "Flowimport_Expr.h"
#include "Flowimport_Tokens.h"

#include "Corekit/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace Deskbay {

namespace {

// One logical line: a statement's tokens, or a line that is only a comment.
struct TPyLine {
  int Indent = 0;
  int Line = 0;
  std::vector<TToken> Tokens;
  bool IsComment = false;
  std::string Comment;
};

bool IsNameStart(unsigned char C) {
  return std::isalpha(C) || C == '_' || C >= 0x80;
}
bool IsNameChar(unsigned char C) {
  return std::isalnum(C) || C == '_' || C >= 0x80;
}

class TPyLexer {
public:
  TPyLexer(std::string_view Text, const std::string& FileName) : FText(Text), FFileName(FileName) {}

  std::vector<TPyLine> Run() {
    if (FText.substr(0, 3) == "\xEF\xBB\xBF")
      FPos = FLineStart = 3;
    while (FPos < FText.size() || !FCurrent.Tokens.empty()) {
      if (FPos >= FText.size()) {
        EndLine();
        break;
      }
      if (FAtLineStart && FDepth == 0) {
        StartLine();
        continue;
      }
      Token();
    }
    if (FDepth > 0)
      throw EImportError(FFileName, FOpenLine, FOpenColumn, "скобка не закрыта.");
    return std::move(FLines);
  }

private:
  std::string_view FText;
  const std::string& FFileName;
  size_t FPos = 0, FLineStart = 0;
  int FLineNo = 1;
  bool FAtLineStart = true;
  int FDepth = 0, FOpenLine = 0, FOpenColumn = 0;
  TPyLine FCurrent;
  std::vector<TPyLine> FLines;

  int Column(size_t At) const { return ColumnOf(FText.substr(FLineStart), At - FLineStart); }
  [[noreturn]] void Fail(size_t At, const std::string& What, const std::string& Hint = "") const {
    throw EImportError(FFileName, FLineNo, Column(At), What, Hint);
  }

  void NewLine() {
    ++FPos;
    ++FLineNo;
    FLineStart = FPos;
  }

  void EndLine() {
    if (FLines.size() >= MaxImportStatements)
      throw EImportError(FFileName, FLineNo, 1,
                         Format("в программе больше %zu строк — это не программа для урока.",
                                MaxImportStatements));
    if (FCurrent.Tokens.size() > MaxImportTokens / 100)
      throw EImportError(FFileName, FCurrent.Line, 1, "оператор слишком длинный.");
    if (!FCurrent.Tokens.empty())
      FLines.push_back(std::move(FCurrent));
    FCurrent = TPyLine();
    FAtLineStart = true;
  }

  void StartLine() {
    int Indent = 0;
    while (FPos < FText.size() &&
           (FText[FPos] == ' ' || FText[FPos] == '\t' || FText[FPos] == '\f')) {
      Indent = FText[FPos] == '\t' ? (Indent / 8 + 1) * 8 : FText[FPos] == ' ' ? Indent + 1 : 0;
      ++FPos;
    }
    if (FPos < FText.size() && FText[FPos] == '\r')
      ++FPos;
    if (FPos >= FText.size())
      return;
    if (FText[FPos] == '\n') {
      NewLine();
      return;
    }
    if (FText[FPos] == '#') {
      size_t End = FText.find('\n', FPos);
      if (End == std::string_view::npos)
        End = FText.size();
      TPyLine L;
      L.Indent = Indent;
      L.Line = FLineNo;
      L.IsComment = true;
      L.Comment = Trim(FText.substr(FPos + 1, End - FPos - 1));
      if (FLines.size() >= MaxImportStatements)
        throw EImportError(FFileName, FLineNo, 1,
                           Format("в программе больше %zu строк — это не программа для урока.",
                                  MaxImportStatements));
      FLines.push_back(std::move(L));
      FPos = End;
      if (FPos < FText.size())
        NewLine();
      return;
    }
    FCurrent.Indent = Indent;
    FCurrent.Line = FLineNo;
    FAtLineStart = false;
  }

  void Push(TToken::TKind Kind, size_t From, size_t To) {
    TToken T;
    T.Kind = Kind;
    T.Text = std::string(FText.substr(From, To - From));
    T.Line = FLineNo;
    T.Column = Column(From);
    FCurrent.Tokens.push_back(std::move(T));
  }

  void String(size_t From, size_t Quote) {
    const char Q = FText[Quote];
    const bool Triple = FText.substr(Quote, 3) == std::string(3, Q);
    size_t I = Quote + (Triple ? 3 : 1);
    const int Line = FLineNo;
    const int Col = Column(From);
    for (;;) {
      if (I >= FText.size() || (!Triple && FText[I] == '\n'))
        throw EImportError(FFileName, Line, Col, "текст в кавычках не закрыт.");
      if (FText[I] == '\\') {
        I += 2;
        continue;
      }
      if (FText[I] == '\n') {
        ++FLineNo;
        FLineStart = I + 1;
      }
      if (FText[I] == Q && (!Triple || FText.substr(I, 3) == std::string(3, Q))) {
        I += Triple ? 3 : 1;
        break;
      }
      ++I;
    }
    TToken T;
    T.Kind = TToken::tkString;
    T.Text = std::string(FText.substr(From, I - From));
    T.Line = Line;
    T.Column = Col;
    FCurrent.Tokens.push_back(std::move(T));
    FPos = I;
  }

  void Token() {
    const char C = FText[FPos];
    const auto U = static_cast<unsigned char>(C);
    if (C == ' ' || C == '\t' || C == '\f' || C == '\r') {
      ++FPos;
      return;
    }
    if (C == '\n') {
      NewLine();
      if (FDepth == 0)
        EndLine();
      return;
    }
    if (C == '#') {
      while (FPos < FText.size() && FText[FPos] != '\n')
        ++FPos;
      return;
    }
    if (C == '\\') {
      size_t I = FPos + 1;
      if (I < FText.size() && FText[I] == '\r')
        ++I;
      if (I < FText.size() && FText[I] == '\n') {
        FPos = I;
        NewLine();
        return;
      }
      Fail(FPos, "обратная косая черта не в конце строки.");
    }
    if (IsNameStart(U)) {
      size_t I = FPos;
      while (I < FText.size() && IsNameChar(static_cast<unsigned char>(FText[I])))
        ++I;
      if (I < FText.size() && (FText[I] == '\'' || FText[I] == '"') && I - FPos <= 2) {
        String(FPos, I);
        return;
      }
      Push(TToken::tkName, FPos, I);
      FPos = I;
      return;
    }
    if (std::isdigit(U) || (C == '.' && FPos + 1 < FText.size() &&
                            std::isdigit(static_cast<unsigned char>(FText[FPos + 1])))) {
      size_t I = FPos;
      while (I < FText.size() && std::isdigit(static_cast<unsigned char>(FText[I])))
        ++I;
      if (I < FText.size() && FText[I] == '.') {
        ++I;
        while (I < FText.size() && std::isdigit(static_cast<unsigned char>(FText[I])))
          ++I;
      }
      if (I < FText.size() && (FText[I] == 'e' || FText[I] == 'E')) {
        size_t J = I + 1;
        if (J < FText.size() && (FText[J] == '+' || FText[J] == '-'))
          ++J;
        if (J < FText.size() && std::isdigit(static_cast<unsigned char>(FText[J]))) {
          while (J < FText.size() && std::isdigit(static_cast<unsigned char>(FText[J])))
            ++J;
          I = J;
        }
      }
      if (I < FText.size() && IsNameChar(static_cast<unsigned char>(FText[I])))
        Fail(FPos, "такой записи числа в языке алгоритмов нет.",
             "Числа пишутся десятичными цифрами, с точкой и порядком после E.");
      Push(TToken::tkNumber, FPos, I);
      FPos = I;
      return;
    }
    if (C == '\'' || C == '"') {
      String(FPos, FPos);
      return;
    }
    static const char* const Ops[] = {"**=", "//=", ">>=", "<<=", "**", "//", "==", "!=", "<=",
                                      ">=",  "+=",  "-=",  "*=",  "/=", "%=", "->", ":=", "<<",
                                      ">>",  "&=",  "|=",  "^=",  "+",  "-",  "*",  "/",  "%",
                                      "<",   ">",   "=",   "(",   ")",  "[",  "]",  "{",  "}",
                                      ",",   ":",   ".",   ";",   "@",  "&",  "|",  "^",  "~"};
    for (const char* Op : Ops) {
      const size_t N = std::strlen(Op);
      if (FText.substr(FPos, N) != Op)
        continue;
      if (N == 1 && (C == '(' || C == '[' || C == '{')) {
        if (FDepth == 0) {
          FOpenLine = FLineNo;
          FOpenColumn = Column(FPos);
        }
        if (++FDepth > MaxImportNesting)
          Fail(FPos, Format("скобки вложены глубже %d уровней.", MaxImportNesting));
      } else if (N == 1 && (C == ')' || C == ']' || C == '}')) {
        if (FDepth == 0)
          Fail(FPos, "закрывающая скобка без открывающей.");
        --FDepth;
      }
      if (N == 1 && C == ';' && FDepth == 0) {
        // Statements after a semicolon are statements of their own.
        const int Indent = FCurrent.Indent;
        const int Line = FCurrent.Line;
        ++FPos;
        EndLine();
        FCurrent.Indent = Indent;
        FCurrent.Line = Line;
        FAtLineStart = false;
        return;
      }
      Push(TToken::tkOp, FPos, FPos + N);
      FPos += N;
      return;
    }
    Fail(FPos, "знак \"" + std::string(1, C) + "\" в программе на Python не бывает.");
  }
};

const char* const Helpers[] = {
    "fail",   "number",  "as_text",   "read_number", "power",
    "modulo", "rounded", "truncated", "in_range",    "divide",
    "square", "root",    "logarithm", "exponent",    "computation_failed"};

bool IsHelper(const std::string& Name) {
  return std::any_of(std::begin(Helpers), std::end(Helpers),
                     [&Name](const char* H) { return Name == H; });
}

const char* const FunctionsHint =
    "В языке алгоритмов есть ABS, ATAN, COS, EXP, LN, ROUND, SIN, SQRT, SQR и TRUNC.";

struct TCond {
  TPiece Left, Right;
  std::string Op; // the language's comparison
  TToken At;
  std::string Text() const { return Left.Text + Op + Right.Text; }
};

class TPyReader {
public:
  TPyReader(std::vector<TPyLine> Lines, const std::string& FileName, TNameMap& Names)
      : FLines(std::move(Lines)), FFileName(FileName), FNames(Names) {
    for (const TPyLine& L : FLines)
      if (!L.IsComment && L.Tokens.size() >= 2 && L.Tokens[0].Text == "def" &&
          IsHelper(L.Tokens[1].Text))
        FExact = true;
    FNextCode.resize(FLines.size());
    for (size_t I = FLines.size(); I-- > 0;)
      FNextCode[I] = !FLines[I].IsComment    ? I
                     : I + 1 < FLines.size() ? FNextCode[I + 1]
                                             : FLines.size();
  }

  TImportNodes Program() {
    TImportNodes Nodes = Block(0, 0);
    if (FI < FLines.size())
      Fail(FLines[FI].Tokens[0], "лишний отступ.");
    return Nodes;
  }

private:
  std::vector<TPyLine> FLines;
  const std::string& FFileName;
  TNameMap& FNames;
  size_t FI = 0;
  // For each line, the first line from it on that is not a comment: worked
  // out once, so runs of comments cost nothing to look past.
  std::vector<size_t> FNextCode;
  bool FExact = false; // the text a chart was written as, with its helpers

  [[noreturn]] void Fail(const TToken& At, const std::string& What,
                         const std::string& Hint = "") const {
    throw EImportError(FFileName, At.Line, At.Column, What, Hint);
  }

  // The next line that is not a comment, from FI on.
  size_t NextCode(size_t From) const {
    return From < FNextCode.size() ? FNextCode[From] : FLines.size();
  }

  TImportNodes Block(int Indent, int Depth) {
    TImportNodes Nodes;
    while (FI < FLines.size()) {
      const TPyLine& L = FLines[FI];
      if (L.IsComment) {
        const size_t Code = NextCode(FI);
        if (L.Indent < Indent && (Code == FLines.size() || FLines[Code].Indent < Indent))
          break;
        Comment(L, Nodes);
        ++FI;
        continue;
      }
      if (L.Indent < Indent)
        break;
      if (L.Indent > Indent)
        Fail(L.Tokens[0], "лишний отступ.");
      Statement(Nodes, Indent, Depth);
    }
    return Nodes;
  }

  static void Comment(const TPyLine& L, TImportNodes& Nodes) {
    TImportNode N;
    N.Line = L.Line;
    N.Column = L.Indent + 1;
    N.Kind = TImportNode::nkComment;
    N.Text = L.Comment;
    static const std::string Drawing = "рисунок (";
    const size_t Colon = N.Text.find("): ");
    if (N.Text.compare(0, Drawing.size(), Drawing) == 0 && Colon != std::string::npos) {
      N.Kind = TImportNode::nkDrawing;
      N.Text = N.Text.substr(Colon + 3);
    }
    Nodes.push_back(std::move(N));
  }

  // The block of a compound statement: the rest of its line after the
  // colon, or the lines indented further below it.
  TImportNodes Suite(TTokenCursor& C, const TPyLine& Header, int Depth) {
    C.ExpectOp(":", "здесь нужно двоеточие.");
    if (Depth + 1 > MaxImportNesting)
      Fail(Header.Tokens[0], Format("блоки вложены глубже %d уровней.", MaxImportNesting));
    if (!C.AtEnd()) {
      std::vector<TToken> Rest;
      while (!C.AtEnd())
        Rest.push_back(C.Next());
      TImportNodes Nodes;
      TTokenCursor R(Rest, FFileName);
      Simple(R, Nodes);
      return Nodes;
    }
    const size_t Code = NextCode(FI);
    if (Code == FLines.size() || FLines[Code].Indent <= Header.Indent)
      Fail(Header.Tokens.back(), "после двоеточия нужны строки с отступом.");
    return Block(FLines[Code].Indent, Depth + 1);
  }

  // Skips the lines of a block below Header without reading them.
  void SkipSuite(const TPyLine& Header) {
    while (FI < FLines.size()) {
      const size_t Code = NextCode(FI);
      if (Code == FLines.size() || FLines[Code].Indent <= Header.Indent) {
        return;
      }
      FI = Code + 1;
    }
  }

  void Statement(TImportNodes& Nodes, int Indent, int Depth) {
    const TPyLine& L = FLines[FI++];
    TTokenCursor C(L.Tokens, FFileName);
    const TToken& First = C.Peek();
    if (First.Kind == TToken::tkName) {
      if (First.Text == "if") {
        If(C, L, Nodes, Depth);
        return;
      }
      if (First.Text == "while") {
        While(C, L, Nodes, Depth);
        return;
      }
      if (First.Text == "for") {
        For(C, L, Nodes, Depth);
        return;
      }
      if (First.Text == "def") {
        if (L.Tokens.size() >= 2 && IsHelper(L.Tokens[1].Text)) {
          SkipSuite(L);
          return;
        }
        Fail(First, "функций в языке алгоритмов нет.",
             "Перенесите тело функции туда, где она вызывается.");
      }
      if (First.Text == "elif" || First.Text == "else")
        Fail(First, "\"" + First.Text + "\" без своего if.");
      if (First.Text == "class" || First.Text == "try" || First.Text == "with" ||
          First.Text == "async" || First.Text == "except" || First.Text == "finally")
        Fail(First, "\"" + First.Text + "\" в языке алгоритмов нет.");
    }
    (void)Indent;
    Simple(C, Nodes);
  }

  void Simple(TTokenCursor& C, TImportNodes& Nodes) {
    const TToken First = C.Peek();
    if (First.Kind == TToken::tkName) {
      const std::string& W = First.Text;
      if (W == "import") {
        C.Next();
        do {
          const TToken& M = C.Next();
          if (M.Text != "math" && M.Text != "sys" && M.Text != "re")
            Fail(M, "модуля " + Quoted(M) + " языку алгоритмов не нужно.",
                 "Функции модуля math язык знает сам.");
        } while (C.TakeOp(","));
        EndOf(C);
        return;
      }
      if (W == "from") {
        C.Next();
        if (!C.TakeWord("math"))
          Fail(C.Peek(), "из модулей можно брать только функции math.");
        while (!C.AtEnd())
          C.Next();
        return;
      }
      if (W == "pass") {
        C.Next();
        EndOf(C);
        return;
      }
      if (W == "break")
        Fail(First, "break в языке алгоритмов нет.",
             "Цикл кончается по своему условию: перенесите условие выхода в заголовок цикла.");
      if (W == "continue" || W == "return" || W == "global" || W == "nonlocal" || W == "del" ||
          W == "assert" || W == "raise" || W == "yield" || W == "lambda" || W == "await")
        Fail(First, "\"" + W + "\" в языке алгоритмов нет.");
      if (W == "print") {
        Print(C, Nodes);
        return;
      }
      if ((W == "fail" && C.IsOp("(", 1)) ||
          (W == "sys" && C.IsOp(".", 1) && C.IsWord("exit", false, 2))) {
        TImportNode N;
        N.Kind = TImportNode::nkStop;
        N.Line = First.Line;
        N.Column = First.Column;
        Nodes.push_back(std::move(N));
        while (!C.AtEnd())
          C.Next();
        return;
      }
      // A value the text computes only to stop where the chart's line
      // would, before a part that always fails: the failing line says it.
      if (FExact && W == "number" && C.IsOp("(", 1)) {
        while (!C.AtEnd())
          C.Next();
        return;
      }
      if (W == "sys" && C.IsOp(".", 1) && C.IsWord("excepthook", false, 2)) {
        while (!C.AtEnd())
          C.Next();
        return;
      }
      if (C.IsOp("=", 1) || C.IsOp(",", 1) || C.IsOp("+=", 1) || C.IsOp("-=", 1) ||
          C.IsOp("*=", 1) || C.IsOp("/=", 1) || C.IsOp("%=", 1) || C.IsOp("//=", 1) ||
          C.IsOp("**=", 1)) {
        Assignment(C, Nodes);
        return;
      }
      if (C.IsOp("[", 1) || C.IsOp(".", 1))
        Fail(C.Peek(1), "списков, строк и их методов в языке алгоритмов нет.");
    }
    Fail(First, "эта строка ничего не задаёт и не печатает.",
         "В алгоритме бывают присваивания, ввод, вывод, ветвления и циклы.");
  }

  void EndOf(TTokenCursor& C) {
    if (!C.AtEnd())
      Fail(C.Peek(), "лишнее в конце строки: " + Quoted(C.Peek()) + ".");
  }

  TPiece Variable(const TToken& T) {
    FNames.Note(T.Text, T.Text, T.Line, T.Column);
    return TPiece::Variable(T.Text);
  }

  // input(), input("…"), float(input()), int(input()), read_number("X").
  bool TakeInput(TTokenCursor& C) {
    const size_t Start = C.GetPosition();
    bool Wrapped = false;
    if ((C.IsWord("float") || C.IsWord("int")) && C.IsOp("(", 1)) {
      C.Next();
      C.Next();
      Wrapped = true;
    }
    if (C.IsWord("read_number") && C.IsOp("(", 1) && !Wrapped) {
      C.Next();
      C.Next();
      if (C.Peek().Kind == TToken::tkString)
        C.Next();
      if (C.TakeOp(")"))
        return true;
    } else if (C.IsWord("input") && C.IsOp("(", 1)) {
      C.Next();
      C.Next();
      if (C.Peek().Kind == TToken::tkString)
        C.Next();
      if (C.TakeOp(")") && (!Wrapped || C.TakeOp(")")))
        return true;
    }
    C.SetPosition(Start);
    return false;
  }

  // map(float, input().split()) or map(int, …).
  bool TakeMapInput(TTokenCursor& C) {
    const size_t Start = C.GetPosition();
    if (C.TakeWord("map") && C.TakeOp("(") && (C.TakeWord("float") || C.TakeWord("int")) &&
        C.TakeOp(",") && C.TakeWord("input") && C.TakeOp("(") &&
        (C.Peek().Kind != TToken::tkString || (C.Next(), true)) && C.TakeOp(")") && C.TakeOp(".") &&
        C.TakeWord("split") && C.TakeOp("(") && C.TakeOp(")") && C.TakeOp(")"))
      return true;
    C.SetPosition(Start);
    return false;
  }

  void Assignment(TTokenCursor& C, TImportNodes& Nodes) {
    std::vector<TToken> Targets{C.Next()};
    while (C.TakeOp(",")) {
      if (C.Peek().Kind != TToken::tkName)
        Fail(C.Peek(), "слева от = должны стоять имена переменных.");
      Targets.push_back(C.Next());
    }
    for (const TToken& T : Targets)
      if (T.Text == "None" || T.Text == "True" || T.Text == "False")
        Fail(T, "этому имени нельзя присвоить значение.");
    const TToken Op = C.Next();
    if (Op.Kind != TToken::tkOp)
      Fail(Op, "здесь нужен знак =.");
    TImportNode N;
    N.Line = Targets[0].Line;
    N.Column = Targets[0].Column;
    if (Op.Text == "=" && Targets.size() == 1 && C.Peek().Kind == TToken::tkName &&
        C.IsOp("=", 1)) {
      // "A = B = None": the variables the program checks before reading.
      while (C.Peek().Kind == TToken::tkName && C.IsOp("=", 1)) {
        C.Next();
        C.Next();
      }
      if (C.TakeWord("None") && C.AtEnd())
        return;
      Fail(Op, "цепочки присваиваний в языке алгоритмов нет.",
           "Запишите каждое присваивание отдельно.");
    }
    if (Op.Text == "=" && C.IsWord("None"))
      Fail(C.Peek(),
           "значения None в языке алгоритмов нет: переменная без значения просто не задана.");
    if (Op.Text == "=") {
      bool Input = false;
      if (Targets.size() > 1 && TakeMapInput(C)) {
        Input = true;
      } else if (TakeInput(C)) {
        Input = true;
        for (size_t K = 1; K < Targets.size(); ++K)
          if (!C.TakeOp(",") || !TakeInput(C))
            Fail(C.Peek(), "каждой переменной слева нужен свой input().");
      }
      if (Input) {
        EndOf(C);
        N.Kind = TImportNode::nkInput;
        N.Text = "Ввод ";
        for (size_t K = 0; K < Targets.size(); ++K)
          N.Text += (K ? ", " : "") + Variable(Targets[K]).Text;
        Nodes.push_back(std::move(N));
        return;
      }
    }
    if (Targets.size() > 1)
      Fail(Targets[1], "присваивания нескольким переменным сразу в языке алгоритмов нет.",
           "Запишите каждое присваивание отдельно.");
    const TPiece Target = Variable(Targets[0]);
    const TToken At = C.Peek();
    if (C.AtEnd())
      Fail(At, "после " + Quoted(Op) + " нужно выражение.");
    TPiece Value = Expression(C, 0);
    EndOf(C);
    if (Op.Text == "+=")
      Value = TPiece::Binary('+', Target, Value);
    else if (Op.Text == "-=")
      Value = TPiece::Binary('-', Target, Value);
    else if (Op.Text == "*=")
      Value = TPiece::Binary('*', Target, Value);
    else if (Op.Text == "/=")
      Value = TPiece::Binary('/', Target, Value);
    else if (Op.Text == "%=")
      Value = Modulo(Op, Target, Value);
    else if (Op.Text == "//=")
      Value = Division(Op, Target, Value);
    else if (Op.Text == "**=")
      Value = TPiece::Binary('^', Target, Value);
    else if (Op.Text != "=")
      Fail(Op, "здесь нужен знак =.");
    N.Kind = TImportNode::nkAssign;
    N.Var = Target.Text;
    N.Value = Value.Text;
    N.Text = Target.Text + "=" + Value.Text;
    Nodes.push_back(std::move(N));
  }

  void Print(TTokenCursor& C, TImportNodes& Nodes) {
    const TToken First = C.Next();
    C.ExpectOp("(", "после print нужна скобка.");
    TImportNode N;
    N.Kind = TImportNode::nkOutput;
    N.Line = First.Line;
    N.Column = First.Column;
    std::string Items;
    if (C.IsOp(")"))
      Fail(C.Peek(), "print без значений: вывод печатает хотя бы одно число.");
    do {
      const TToken& T = C.Peek();
      if (T.Kind == TToken::tkString)
        Fail(T, "текст печатать нельзя: вывод в языке алгоритмов печатает только числа.",
             "Уберите текст из print и оставьте значения.");
      if (T.Kind == TToken::tkName && C.IsOp("=", 1))
        Fail(T, "параметров print (sep, end …) в языке алгоритмов нет.");
      Items += (Items.empty() ? "" : ", ") + Expression(C, 0).Text;
    } while (C.TakeOp(","));
    C.ExpectOp(")", "здесь нужна закрывающая скобка print.");
    EndOf(C);
    N.Text = "Вывод " + Items;
    Nodes.push_back(std::move(N));
  }

  // Conditions: comparisons joined by "and" (only where AllowAnd); a chain
  // "a < b < c" is two of them.
  std::vector<TCond> Conditions(TTokenCursor& C, bool AllowAnd, const char* Where) {
    std::vector<TCond> Out;
    for (;;) {
      if (C.IsWord("not"))
        Fail(C.Peek(), "not в языке алгоритмов нет.",
             "Переверните сравнение: вместо not A < B напишите A >= B.");
      TCond K;
      K.At = C.Peek();
      K.Left = Expression(C, 0);
      for (bool First = true;; First = false) {
        const TToken& Op = C.Peek();
        static const std::pair<const char*, const char*> Ops[] = {
            {"<", "<"}, {">", ">"}, {"<=", "<="}, {">=", ">="}, {"==", "="}, {"!=", "<>"}};
        const char* Lang = nullptr;
        if (Op.Kind == TToken::tkOp)
          for (const auto& [Py, L] : Ops)
            if (Op.Text == Py)
              Lang = L;
        if (!Lang) {
          if (!First)
            break;
          if (C.IsWord("is") || C.IsWord("in"))
            Fail(Op, "\"" + Op.Text + "\" в условиях языка алгоритмов нет.");
          Fail(Op, std::string("условие ") + Where + " должно быть сравнением двух чисел.",
               "Например: A > 0 или N <> 0.");
        }
        if (!First) {
          if (!AllowAnd)
            Fail(Op, std::string("двойного сравнения в условии ") + Where + " быть не может.",
                 "У цикла одно сравнение.");
          TCond Next;
          Next.At = Op;
          Next.Left = K.Right;
          K.At = Op;
          Out.push_back(K);
          K = Next;
        }
        C.Next();
        K.Op = Lang;
        K.Right = Expression(C, 0);
      }
      Out.push_back(K);
      if (C.IsWord("and")) {
        if (!AllowAnd)
          Fail(C.Peek(), std::string("and в условии ") + Where + " нельзя.",
               "У цикла одно сравнение; в ветвлении and становится двумя вложенными ветвлениями, "
               "а у цикла так не получится.");
        C.Next();
        continue;
      }
      if (C.IsWord("or"))
        Fail(C.Peek(), "or в языке алгоритмов нет.",
             "Ветвление с or можно записать двумя ветвлениями с одинаковыми телами.");
      return Out;
    }
  }

  // "if X is None:" with its stop: the check of the program written from a
  // chart.
  bool IsNoneCheck(const TPyLine& L) const {
    return L.Tokens.size() == 5 && L.Tokens[1].Kind == TToken::tkName && L.Tokens[2].Text == "is" &&
           L.Tokens[3].Text == "None" && L.Tokens[4].Text == ":";
  }

  static bool IsBreak(const TImportNodes& Body) {
    return Body.size() == 1 && Body[0].Value == "break";
  }

  void If(TTokenCursor& C, const TPyLine& L, TImportNodes& Nodes, int Depth) {
    if (IsNoneCheck(L)) {
      SkipSuite(L);
      return;
    }
    const TToken Word = C.Next();
    const std::vector<TCond> Conds = Conditions(C, true, "ветвления");
    TImportNodes Body;
    bool Break = false;
    if (C.IsOp(":") && C.IsWord("break", false, 1) && C.Peek(2).Kind == TToken::tkEnd) {
      Break = true;
      C.Next();
      C.Next();
    } else {
      const size_t Code = NextCode(FI);
      if (C.IsOp(":") && C.Peek(1).Kind == TToken::tkEnd && Code < FLines.size() &&
          FLines[Code].Indent > L.Indent && FLines[Code].Tokens.size() == 1 &&
          FLines[Code].Tokens[0].Text == "break" &&
          (NextCode(Code + 1) == FLines.size() || FLines[NextCode(Code + 1)].Indent <= L.Indent)) {
        Break = true;
        FI = Code + 1;
      } else {
        Body = Suite(C, L, Depth);
      }
    }
    // elif and else at the if's own indent.
    TImportNodes Else;
    const size_t Code = NextCode(FI);
    if (Code < FLines.size() && FLines[Code].Indent == L.Indent &&
        (FLines[Code].Tokens[0].Text == "elif" || FLines[Code].Tokens[0].Text == "else")) {
      if (Break)
        Fail(FLines[Code].Tokens[0], "break в языке алгоритмов нет.",
             "Цикл кончается по своему условию.");
      FI = Code;
      const TPyLine& E = FLines[FI++];
      TTokenCursor EC(E.Tokens, FFileName);
      if (E.Tokens[0].Text == "elif") {
        if (Depth + 1 > MaxImportNesting)
          Fail(E.Tokens[0], Format("блоки вложены глубже %d уровней.", MaxImportNesting));
        If(EC, E, Else, Depth + 1);
      } else {
        EC.Next();
        Else = Suite(EC, E, Depth);
      }
    }
    if (Conds.size() > 1 && !Else.empty())
      Fail(Conds[1].At, "ветвление с and и с else нельзя разложить на вложенные ветвления.",
           "Без else and становится двумя вложенными ветвлениями; с else запишите их сами.");
    if (Depth + static_cast<int>(Conds.size()) > MaxImportNesting)
      Fail(Word, Format("блоки вложены глубже %d уровней.", MaxImportNesting));
    TImportNode N;
    for (size_t K = Conds.size(); K-- > 0;) {
      TImportNode If;
      If.Kind = TImportNode::nkIf;
      If.Line = Conds[K].At.Line;
      If.Column = Conds[K].At.Column;
      If.Text = Conds[K].Text();
      If.CondLeft = Conds[K].Left.Text;
      If.CondOp = Conds[K].Op;
      If.CondRight = Conds[K].Right.Text;
      if (K + 1 == Conds.size()) {
        If.Body = std::move(Body);
        If.Else = std::move(Else);
      } else {
        If.Body.push_back(std::move(N));
      }
      N = std::move(If);
    }
    N.Line = Word.Line;
    N.Column = Word.Column;
    if (Break) {
      if (Conds.size() > 1)
        Fail(Conds[1].At, "and в условии выхода из цикла нельзя.");
      N.Value = "break";
    }
    Nodes.push_back(std::move(N));
  }

  void While(TTokenCursor& C, const TPyLine& L, TImportNodes& Nodes, int Depth) {
    const TToken Word = C.Next();
    TImportNode N;
    N.Line = Word.Line;
    N.Column = Word.Column;
    if (C.IsWord("True") && C.IsOp(":", 1)) {
      // The post-test loop: the body, then the way out.
      C.Next();
      N.Body = Suite(C, L, Depth);
      if (N.Body.empty() || N.Body.back().Value != "break")
        Fail(Word, "while True без условия выхода в конце тела в языке алгоритмов нет.",
             "Цикл с постусловием пишется так: while True: …, а последней строкой тела "
             "if условие: break.");
      const TImportNode Exit = std::move(N.Body.back());
      N.Body.pop_back();
      for (const TImportNode& B : N.Body)
        if (B.Value == "break")
          Fail(Word, "break в языке алгоритмов бывает только последней строкой while True.");
      N.Kind = TImportNode::nkUntil;
      N.Text = Exit.CondLeft + NegatedComparison(Exit.CondOp) + Exit.CondRight;
      Nodes.push_back(std::move(N));
      return;
    }
    const std::vector<TCond> Conds = Conditions(C, false, "цикла");
    N.Kind = TImportNode::nkWhile;
    N.Text = Conds[0].Text();
    N.CondLeft = Conds[0].Left.Text;
    N.CondOp = Conds[0].Op;
    N.CondRight = Conds[0].Right.Text;
    N.Body = Suite(C, L, Depth);
    for (const TImportNode& B : N.Body)
      if (B.Value == "break")
        Fail(Word, "break в языке алгоритмов нет.",
             "Цикл кончается по своему условию: перенесите условие выхода в заголовок цикла.");
    Nodes.push_back(std::move(N));
  }

  static std::string WholeText(long long V) { return std::to_string(V); }

  // A whole number as written, with its sign; false for anything else.
  static bool WholeValue(const TPiece& P, long long& V) {
    const TPiece& U = P.Unwrapped();
    const bool Negative = U.IsNegativeNumber();
    const TPiece& N = Negative ? *U.Args : U;
    if (!N.IsWholeNumber() || N.Text.size() > 15)
      return false;
    V = std::stoll(N.Text);
    if (Negative)
      V = -V;
    return true;
  }

  void For(TTokenCursor& C, const TPyLine& L, TImportNodes& Nodes, int Depth) {
    const TToken Word = C.Next();
    const TToken Var = C.Next();
    if (Var.Kind != TToken::tkName || C.IsOp(","))
      Fail(Var, "после for нужно имя одной переменной.");
    if (!C.TakeWord("in"))
      Fail(C.Peek(), "здесь нужно in.");
    if (!C.IsWord("range") || !C.IsOp("(", 1))
      Fail(C.Peek(), "for бывает только по range(…): перебора списков и строк в языке алгоритмов "
                     "нет.");
    C.Next();
    const TToken Open = C.Next();
    const TPiece V = Variable(Var);
    std::vector<TPiece> Args;
    std::vector<TToken> ArgAt;
    do {
      ArgAt.push_back(C.Peek());
      Args.push_back(Expression(C, 0));
    } while (C.TakeOp(","));
    C.ExpectOp(")", "здесь нужна закрывающая скобка range.");
    if (Args.size() > 3)
      Fail(ArgAt[3], "у range не больше трёх чисел.");
    const TPiece Start = Args.size() == 1 ? TPiece::Number("0") : Args[0];
    const TPiece& Stop = Args.size() == 1 ? Args[0] : Args[1];
    long long Step = 1;
    if (Args.size() == 3 && (!WholeValue(Args[2], Step) || Step == 0))
      Fail(ArgAt[2], "шаг range здесь должен быть целым числом, не нулём.",
           "Иначе нельзя решить, вверх идёт цикл или вниз.");
    (void)Open;
    TImportNode N;
    N.Line = Word.Line;
    N.Column = Word.Column;
    N.Body = Suite(C, L, Depth);
    // The last value range gives is before its end.
    const TPiece& S = Stop.Unwrapped();
    long long StopValue;
    if (Step > 0) {
      std::string End;
      if (S.Op == '+' && S.Right->IsNumber() && S.Right->Text == "1")
        // N + 1: to N; int(N) + 1 also, the counter being whole.
        End = S.Left->Shape == TPiece::psCall && S.Left->Func == "TRUNC" ? S.Left->Args->Text
                                                                         : S.Left->Text;
      else if (WholeValue(Stop, StopValue))
        End = WholeText(StopValue - 1);
      else
        End = TPiece::Binary('-', Stop, TPiece::Number("1")).Text;
      N.Kind = TImportNode::nkFor;
      N.Text = V.Text + "=" + Start.Text + "," + End + "," + WholeText(Step);
      Nodes.push_back(std::move(N));
      return;
    }
    // Downwards: the variable's set-up, a pre-test loop and the step.
    TImportNode SetUp;
    SetUp.Kind = TImportNode::nkAssign;
    SetUp.Line = Word.Line;
    SetUp.Column = Word.Column;
    SetUp.Var = V.Text;
    SetUp.Value = Start.Text;
    SetUp.Text = V.Text + "=" + Start.Text;
    TImportNode Next = SetUp;
    Nodes.push_back(std::move(SetUp));
    Next.Value = TPiece::Binary('-', V, TPiece::Number(WholeText(-Step))).Text;
    Next.Text = V.Text + "=" + Next.Value;
    N.Kind = TImportNode::nkWhile;
    N.CondLeft = V.Text;
    N.CondOp = ">";
    N.CondRight = Stop.Text;
    N.Text = V.Text + ">" + Stop.Text;
    N.Body.push_back(std::move(Next));
    Nodes.push_back(std::move(N));
  }

  // Expressions, by Python's precedence.
  void Deeper(TTokenCursor& C, int Depth) {
    if (Depth > MaxImportNesting)
      Fail(C.Peek(), Format("выражение вложено глубже %d уровней.", MaxImportNesting));
  }

  // A line of a block is read whole by the machine; an expression longer
  // than a program line is no expression of a lesson.
  void LongCheck(TTokenCursor& C, const TPiece& P) {
    if (P.Text.size() > MaxImportLineBytes)
      Fail(C.Peek(), Format("выражение длиннее %zu знаков.", MaxImportLineBytes));
  }

  TPiece Expression(TTokenCursor& C, int Depth) {
    Deeper(C, Depth);
    TPiece Left = Term(C, Depth);
    for (;;) {
      if (C.IsOp("+") || C.IsOp("-")) {
        const char Op = C.Next().Text[0];
        Left = TPiece::Binary(Op, Left, Term(C, Depth));
        LongCheck(C, Left);
        continue;
      }
      const TToken& T = C.Peek();
      if (T.Kind == TToken::tkOp &&
          (T.Text == "|" || T.Text == "&" || T.Text == "^" || T.Text == "<<" || T.Text == ">>"))
        Fail(T, "поразрядных операций в языке алгоритмов нет.",
             T.Text == "^" ? "Степень в Python пишется **." : "");
      if (C.IsWord("if"))
        Fail(T, "условного выражения (… if … else …) в языке алгоритмов нет.",
             "Запишите ветвление.");
      return Left;
    }
  }

  TPiece Modulo(const TToken& Op, const TPiece& L, const TPiece& R) {
    CheckWholeOperands(Op, L, R, "остаток %");
    return TPiece::Binary('M', L, R);
  }

  TPiece Division(const TToken& Op, const TPiece& L, const TPiece& R) {
    CheckWholeOperands(Op, L, R, "деление //");
    return TPiece::Call("TRUNC", TPiece::Binary('/', L, R));
  }

  // % and // mean MOD and TRUNC(A/B) for whole numbers that are not
  // negative; a number written otherwise is surely not one.
  void CheckWholeOperands(const TToken& Op, const TPiece& L, const TPiece& R, const char* What) {
    for (const TPiece* P : {&L, &R}) {
      const TPiece& U = P->Unwrapped();
      if (U.IsNegativeNumber() || (U.IsNumber() && !U.IsWholeNumber()))
        Fail(Op,
             std::string(What) + " с дробным или отрицательным числом значит в Python не то, "
                                 "что MOD и деление в языке алгоритмов.",
             "MOD округляет числа до целых и берёт знак делимого.");
    }
  }

  TPiece Term(TTokenCursor& C, int Depth) {
    TPiece Left = Unary(C, Depth);
    for (;;) {
      const TToken& T = C.Peek();
      if (T.Kind != TToken::tkOp)
        return Left;
      const TToken Op = T;
      if (Op.Text == "*" || Op.Text == "/") {
        C.Next();
        Left = TPiece::Binary(Op.Text[0], Left, Unary(C, Depth));
        LongCheck(C, Left);
      } else if (Op.Text == "%") {
        C.Next();
        Left = Modulo(Op, Left, Unary(C, Depth));
      } else if (Op.Text == "//") {
        C.Next();
        Left = Division(Op, Left, Unary(C, Depth));
      } else if (Op.Text == "@") {
        Fail(Op, "операции @ в языке алгоритмов нет.");
      } else {
        return Left;
      }
    }
  }

  TPiece Unary(TTokenCursor& C, int Depth) {
    Deeper(C, Depth);
    if (C.TakeOp("-"))
      return TPiece::Negate(Unary(C, Depth + 1));
    if (C.TakeOp("+"))
      return Unary(C, Depth + 1);
    if (C.IsOp("~"))
      Fail(C.Peek(), "поразрядных операций в языке алгоритмов нет.");
    if (C.IsWord("not"))
      Fail(C.Peek(), "not в языке алгоритмов нет.");
    return Power(C, Depth);
  }

  TPiece Power(TTokenCursor& C, int Depth) {
    TPiece Base = Primary(C, Depth);
    if (!C.TakeOp("**"))
      return Base;
    TPiece Exponent = Unary(C, Depth + 1);
    // The text written from a chart spells SQR as "** 2" and every other
    // power through its helper.
    if (FExact && Exponent.IsNumber() && Exponent.Text == "2")
      return TPiece::Call("SQR", Base.Shape == TPiece::psParens ? *Base.Args : Base);
    return TPiece::Binary('^', Base, Exponent);
  }

  std::vector<TPiece> Arguments(TTokenCursor& C, int Depth, const TToken& Name) {
    std::vector<TPiece> Args;
    C.Next(); // "("
    if (C.TakeOp(")"))
      return Args;
    do {
      if (C.Peek().Kind == TToken::tkName && C.IsOp("=", 1))
        Fail(C.Peek(), "именованных параметров в языке алгоритмов нет.");
      if (C.Peek().Kind == TToken::tkString) {
        // The checked value's expression as the chart wrote it, for the
        // message of its failure.
        if (FExact && Args.size() == 1 && (Name.Text == "number" || Name.Text == "as_text")) {
          C.Next();
          continue;
        }
        Fail(C.Peek(), "текста в языке алгоритмов нет: значения только числа.");
      }
      Args.push_back(Expression(C, Depth + 1));
    } while (C.TakeOp(","));
    if (!C.TakeOp(")"))
      Fail(C.Peek(), "здесь нужна закрывающая скобка после параметров " + Quoted(Name) + ".");
    return Args;
  }

  TPiece Call(const TToken& Name, const std::string& Full, std::vector<TPiece> Args) {
    const auto Need = [&](size_t N) {
      if (Args.size() != N)
        Fail(Name, Format("у %s здесь должно быть %zu значения.", Full.c_str(), N));
    };
    static const std::pair<const char*, const char*> Same[] = {
        {"math.sqrt", "SQRT"}, {"sqrt", "SQRT"},       {"abs", "ABS"},
        {"math.fabs", "ABS"},  {"fabs", "ABS"},        {"round", "ROUND"},
        {"rounded", "ROUND"},  {"int", "TRUNC"},       {"math.trunc", "TRUNC"},
        {"trunc", "TRUNC"},    {"truncated", "TRUNC"}, {"math.sin", "SIN"},
        {"sin", "SIN"},        {"math.cos", "COS"},    {"cos", "COS"},
        {"math.exp", "EXP"},   {"exp", "EXP"},         {"math.atan", "ATAN"},
        {"atan", "ATAN"},      {"math.log", "LN"},     {"log", "LN"}};
    for (const auto& [Py, Lang] : Same)
      if (Full == Py) {
        if (std::string(Py) == "round" && Args.size() == 2)
          Fail(Name, "округления до знаков после точки в языке алгоритмов нет.",
               "ROUND округляет до целого.");
        if (std::string(Lang) == "LN" && Args.size() == 2)
          Fail(Name, "логарифма по основанию в языке алгоритмов нет.", "Поделите: LN(X)/LN(B).");
        Need(1);
        return TPiece::Call(Lang, Args[0]);
      }
    if (Full == "float" || Full == "number" || Full == "as_text") {
      Need(1);
      return Args[0];
    }
    if (Full == "in_range") {
      Need(2);
      return Args[0];
    }
    if (Full == "power" || Full == "pow" || Full == "math.pow") {
      Need(2);
      return TPiece::Binary('^', Args[0], Args[1]);
    }
    if (Full == "modulo") {
      Need(2);
      return TPiece::Binary('M', Args[0], Args[1]);
    }
    if (FExact && Full == "divide") {
      Need(2);
      return TPiece::Binary('/', Args[0], Args[1]);
    }
    static const std::pair<const char*, const char*> Helped[] = {
        {"square", "SQR"}, {"root", "SQRT"}, {"logarithm", "LN"}, {"exponent", "EXP"}};
    if (FExact)
      for (const auto& [Py, Lang] : Helped)
        if (Full == Py) {
          Need(1);
          return TPiece::Call(Lang, Args[0]);
        }
    if (Full == "input")
      Fail(Name, "input() бывает только справа от = в присваивании.",
           "Например: X = float(input()).");
    Fail(Name, "функции " + Full + " в языке алгоритмов нет.", FunctionsHint);
  }

  TPiece Primary(TTokenCursor& C, int Depth) {
    Deeper(C, Depth);
    const TToken T = C.Peek();
    switch (T.Kind) {
    case TToken::tkNumber:
      C.Next();
      return Suffix(C, TPiece::Number(CanonicalNumber(T.Text)));
    case TToken::tkString:
      Fail(T, "текста в языке алгоритмов нет: значения только числа.");
    case TToken::tkEnd:
    case TToken::tkComment:
      Fail(T, "здесь нужно выражение, а строка кончилась.");
    case TToken::tkOp:
      if (T.Text == "(") {
        C.Next();
        TPiece Inner = Expression(C, Depth + 1);
        if (C.IsOp(","))
          Fail(C.Peek(), "кортежей в языке алгоритмов нет.");
        C.ExpectOp(")", "здесь нужна закрывающая скобка.");
        return Suffix(C, TPiece::Parens(Inner));
      }
      if (T.Text == "[")
        Fail(T, "списков в языке алгоритмов нет.");
      if (T.Text == "{")
        Fail(T, "словарей и множеств в языке алгоритмов нет.");
      Fail(T, "здесь нужно выражение, а стоит " + Quoted(T) + ".");
    case TToken::tkName:
      break;
    }
    if (T.Text == "True" || T.Text == "False")
      Fail(T, "логических значений в языке алгоритмов нет.", "Сравнивайте числа.");
    if (T.Text == "None")
      Fail(T, "значения None в языке алгоритмов нет.");
    if (T.Text == "lambda" || T.Text == "not" || T.Text == "and" || T.Text == "or" ||
        T.Text == "if" || T.Text == "in" || T.Text == "is")
      Fail(T, "\"" + T.Text + "\" здесь быть не может.");
    C.Next();
    std::string Full = T.Text;
    while (C.IsOp(".") && C.Peek(1).Kind == TToken::tkName) {
      C.Next();
      Full += "." + C.Next().Text;
    }
    if (C.IsOp("("))
      return Suffix(C, Call(T, Full, Arguments(C, Depth, T)));
    if (Full != T.Text)
      Fail(T, Full + " в языке алгоритмов нет.",
           Full == "math.pi" ? "Напишите число: 3.14159265358979." : "");
    return Suffix(C, Variable(T));
  }

  // What may not follow an operand: an index, a method.
  TPiece Suffix(TTokenCursor& C, TPiece P) {
    if (C.IsOp("["))
      Fail(C.Peek(), "списков и строк в языке алгоритмов нет.");
    if (C.IsOp("."))
      Fail(C.Peek(), "методов в языке алгоритмов нет.");
    if (C.IsOp("("))
      Fail(C.Peek(), "вызывать можно только функции по имени.");
    return P;
  }
};

} // namespace

void ReadPythonProgram(std::string_view Text, const std::string& FileName, TImportNodes& Nodes,
                       TNameMap& Names) {
  CheckSourceText(Text, FileName);
  Nodes = TPyReader(TPyLexer(Text, FileName).Run(), FileName, Names).Program();
}

} // namespace Deskbay
