#pragma once

// Run-time basics every deliverable uses: the common root class, the one
// exception family, printf-style message formatting and ASCII text helpers.

#include "CorekitExport.h"

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace Deskbay {

// The root of every class whose name is looked up at run time.
class COREKIT_API TObject {
public:
  virtual ~TObject();
  virtual const char* ClassName() const;
};

// A method-and-object event, such as a list's OnChange.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Every error of the system: the message is the text the user (or, for
// programming errors, the developer) sees.
class COREKIT_API Exception : public std::exception {
public:
  explicit Exception(std::string Message);
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// A broken internal invariant; carries its English text.
class COREKIT_API EAssertionFailed : public Exception {
public:
  using Exception::Exception;
};

// A block or object handed to an operation that needs another class.
class COREKIT_API EInvalidCast : public Exception {
public:
  EInvalidCast();
};

// printf-style formatting of message texts ("%d", "%s" ...).
COREKIT_API std::string Format(const char* Fmt, ...) __attribute__((format(printf, 1, 2)));

// Raises EAssertionFailed with Message unless Condition holds.
COREKIT_API void Assert(bool Condition, const char* Message);

// ASCII-only case folding: Cyrillic and other bytes stay as they are.
COREKIT_API std::string UpperCase(std::string_view S);
COREKIT_API bool SameText(std::string_view A, std::string_view B);

// The nearest whole number, halves to the even neighbour, whatever rounding
// mode the processor is in.
COREKIT_API long double RoundHalfEven(long double X);

// Decodes one well-formed UTF-8 sequence at S[I] into C and returns its
// length; 0 when the bytes there are malformed (a stray continuation byte,
// truncation, an overlong form, a surrogate, beyond U+10FFFF).
COREKIT_API size_t DecodeUtf8(std::string_view S, size_t I, char32_t& C);

// Text as it may be shown (a terminal, a window title, a message): every
// control character is written out as an escape, so a file or a file name
// cannot move the cursor, clear or retitle the terminal or hide text, and
// bytes that are not UTF-8 stay visible. C0 controls and DEL become "\x1B",
// C1 controls (U+0080..U+009F) "\u009B", and bytes that are not UTF-8
// "\xFF". Everything else, backslashes included, stays as it is.
COREKIT_API std::string VisibleText(std::string_view Text);

// UTF-8 text with its Latin and Cyrillic capitals (Ё and the other capitals
// of the Cyrillic block included) made small; every other byte stays, and
// the length in bytes never changes. Statement words ("Ввод", "тчк") are
// compared this way.
COREKIT_API std::string LowerCaseRu(std::string_view S);

// The reason an errno value gives, to follow a colon in a Russian sentence:
// the common ones in Russian, the system's own text for the rest.
COREKIT_API std::string SysErrorMessage(int Error);

// Text as a sentence that ends with exactly one full stop: one is added
// unless Text already ends with ".", "!", "?" or "…". Messages built from
// another message's text ("…: %s") end this way.
COREKIT_API std::string WithFullStop(std::string_view Text);

// Leading and trailing characters of code 32 or less removed.
COREKIT_API std::string Trim(std::string_view S);

// Every character of code 32 or less removed.
COREKIT_API std::string RemoveControlsAndSpaces(std::string_view S);

} // namespace Deskbay
