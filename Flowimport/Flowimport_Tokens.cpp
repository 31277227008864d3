#include "Flowimport_Tokens.h"

#include "Corekit/SysUtils.h"

namespace Deskbay {

const TToken& TTokenCursor::Peek(size_t Ahead) const {
  if (FPos + Ahead < FTokens.size())
    return FTokens[FPos + Ahead];
  if (!FTokens.empty() && FEnd.Line == 0) {
    auto& End = const_cast<TToken&>(FEnd);
    End.Line = FTokens.back().Line;
    End.Column = FTokens.back().Column + static_cast<int>(FTokens.back().Text.size());
  }
  return FEnd;
}

const TToken& TTokenCursor::Next() {
  const TToken& T = Peek();
  if (FPos < FTokens.size())
    ++FPos;
  return T;
}

bool TTokenCursor::IsOp(const std::string& Text, size_t Ahead) const {
  const TToken& T = Peek(Ahead);
  return T.Kind == TToken::tkOp && T.Text == Text;
}

bool TTokenCursor::IsWord(const std::string& Word, bool IgnoreCase, size_t Ahead) const {
  const TToken& T = Peek(Ahead);
  return T.Kind == TToken::tkName &&
         (IgnoreCase ? LowerCaseRu(T.Text) == LowerCaseRu(Word) : T.Text == Word);
}

bool TTokenCursor::TakeOp(const std::string& Text) {
  if (!IsOp(Text))
    return false;
  ++FPos;
  return true;
}

bool TTokenCursor::TakeWord(const std::string& Word, bool IgnoreCase) {
  if (!IsWord(Word, IgnoreCase))
    return false;
  ++FPos;
  return true;
}

void TTokenCursor::ExpectOp(const std::string& Text, const std::string& What) {
  if (!TakeOp(Text))
    Fail(What);
}

void TTokenCursor::Fail(const TToken& At, const std::string& What, const std::string& Hint) const {
  throw EImportError(FFileName, At.Line, At.Column, What, Hint);
}

std::string CanonicalNumber(const std::string& Text) {
  std::string T = Text;
  const size_t E = T.find_first_of("eE");
  std::string Mantissa = T.substr(0, E), Exponent = E == std::string::npos ? "" : T.substr(E);
  if (!Mantissa.empty() && Mantissa[0] == '.')
    Mantissa = "0" + Mantissa;
  while (Mantissa.size() > 1 && Mantissa[0] == '0' && Mantissa[1] != '.')
    Mantissa.erase(0, 1);
  if (Mantissa.size() > 1 && Mantissa.back() == '.')
    Mantissa.pop_back();
  if (Exponent.empty() && Mantissa.size() > 2 &&
      Mantissa.compare(Mantissa.size() - 2, 2, ".0") == 0)
    Mantissa.erase(Mantissa.size() - 2);
  return Mantissa + Exponent;
}

std::string Quoted(const TToken& T) {
  if (T.Kind == TToken::tkEnd)
    return "конец строки";
  return "\"" + T.Text + "\"";
}

} // namespace Deskbay
