#pragma once

// How algtool writes to the terminal: texts that come from files made
// harmless, error texts shaped into lines, and the standard streams watched
// for writes that fail.

#include "Corekit/SysUtils.h"
#include "Flowcheck/Flowcheck_Text.h"

#include <exception>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace Deskbay::Algtool {

// Text as it may reach a terminal (Corekit's, shared with the desktop
// program's titles and messages).
using Deskbay::VisibleText;

// How much of a text from a file a message quotes, in characters.
constexpr size_t MaxQuotedChars = CheckQuotedChars;

// Text cut after its first MaxChars characters with "…" (the checker's
// own rule, Flowcheck_Text), and the excerpt in double quotes.
inline std::string Excerpt(std::string_view Text, size_t MaxChars = MaxQuotedChars) {
  return CheckExcerpt(Text, MaxChars);
}
inline std::string QuotedExcerpt(std::string_view Text) {
  return CheckQuoted(Text);
}

// Text of lines separated by '\n' as algtool prints it: each line made
// visible, no empty line at the end. Ends without a newline.
std::string VisibleLines(std::string_view Text);

// An error text as algtool prints it: its CR LF line breaks as newlines,
// each line made visible, and no empty line at the end (a math error's
// empty second line would leave the message above the last line). Ends
// without a newline.
std::string ErrorLines(const std::string& Message);

// Thrown when standard output can no longer be written, to stop work whose
// results could go nowhere.
class EOutputFailed : public std::exception {
public:
  const char* what() const noexcept override { return "output failed"; }
};

// An output stream over a file descriptor that remembers the first write
// that failed and its reason, where a standard stream would only go bad.
class TOutputChannel : private std::streambuf {
public:
  // Unbuffered writes each piece at once, as standard error should.
  TOutputChannel(int Fd, bool Unbuffered);
  ~TOutputChannel() override;
  TOutputChannel(const TOutputChannel&) = delete;
  TOutputChannel& operator=(const TOutputChannel&) = delete;

  std::ostream& Stream() { return FStream; }
  // Writes what is buffered; answers whether everything written so far
  // reached the file.
  bool Flush();
  bool Failed() const { return FError != 0; }
  // The errno value of the first failed write, 0 when none failed.
  int GetError() const { return FError; }

private:
  int overflow(int C) override;
  std::streamsize xsputn(const char* S, std::streamsize N) override;
  int sync() override;
  bool WriteAll(const char* S, size_t N);

  int FFd;
  int FError = 0;
  std::vector<char> FBuffer;
  std::ostream FStream;
};

// Standard input, output and error that the caller left closed are opened
// on /dev/null, read-only: nothing the program opens later can take their
// numbers, reading them gives the end of input and writing them fails.
void ReserveStandardDescriptors();

} // namespace Deskbay::Algtool
