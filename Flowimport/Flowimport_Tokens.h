#pragma once

// The tokens of a program text, shared by the readers of Python and
// Pascal: names, numbers, texts in quotes and operators, each with its
// line and column, and a cursor over one statement's tokens.

#include "FlowimportExport.h"

#include "Flowimport_Errors.h"

#include <string>
#include <vector>

namespace Deskbay {

struct TToken {
  enum TKind { tkName, tkNumber, tkString, tkOp, tkComment, tkEnd };
  TKind Kind = tkEnd;
  std::string Text;
  int Line = 0, Column = 0;
};

class FLOWIMPORT_API TTokenCursor {
public:
  TTokenCursor(const std::vector<TToken>& Tokens, const std::string& FileName)
      : FTokens(Tokens), FFileName(FileName) {}

  const TToken& Peek(size_t Ahead = 0) const;
  const TToken& Next();
  bool AtEnd() const { return Peek().Kind == TToken::tkEnd; }
  // Whether the next token is the operator (or, for names, the word; Pascal
  // compares words without regard to case) Text; then it is taken.
  bool TakeOp(const std::string& Text);
  bool TakeWord(const std::string& Word, bool IgnoreCase = false);
  bool IsOp(const std::string& Text, size_t Ahead = 0) const;
  bool IsWord(const std::string& Word, bool IgnoreCase = false, size_t Ahead = 0) const;
  void ExpectOp(const std::string& Text, const std::string& What);

  [[noreturn]] void Fail(const TToken& At, const std::string& What,
                         const std::string& Hint = std::string()) const;
  [[noreturn]] void Fail(const std::string& What, const std::string& Hint = std::string()) const {
    Fail(Peek(), What, Hint);
  }
  const std::string& GetFileName() const { return FFileName; }
  size_t GetPosition() const { return FPos; }
  void SetPosition(size_t Pos) { FPos = Pos; }

private:
  const std::vector<TToken>& FTokens;
  const std::string& FFileName;
  size_t FPos = 0;
  TToken FEnd;
};

// A number as the language writes it: a trailing ".0" dropped, a leading
// point given its zero, leading zeros dropped ("007" as "7").
FLOWIMPORT_API std::string CanonicalNumber(const std::string& Text);

// How a token is quoted in messages.
FLOWIMPORT_API std::string Quoted(const TToken& T);

} // namespace Deskbay
