#include "Algtool_Output.h"

#include "Corekit/SysUtils.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace Deskbay::Algtool {

namespace {

constexpr size_t BufferSize = 64 * 1024;

} // namespace

namespace {

std::string VisiblePieces(std::string_view Text, std::string_view Break) {
  std::string S;
  size_t Start = 0;
  for (;;) {
    const size_t End = Text.find(Break, Start);
    S += VisibleText(Text.substr(Start, End - Start));
    if (End == std::string_view::npos)
      break;
    S += '\n';
    Start = End + Break.size();
  }
  while (!S.empty() && S.back() == '\n')
    S.pop_back();
  return S;
}

} // namespace

std::string VisibleLines(std::string_view Text) {
  return VisiblePieces(Text, "\n");
}

std::string ErrorLines(const std::string& Message) {
  // Only CR LF breaks a line: a lone CR or LF inside the text comes from a
  // file or a command line and is shown, not obeyed.
  return VisiblePieces(Message, "\r\n");
}

// --- TOutputChannel ---

TOutputChannel::TOutputChannel(int Fd, bool Unbuffered) : FFd(Fd), FStream(this) {
  if (!Unbuffered) {
    FBuffer.resize(BufferSize);
    setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
  }
}

TOutputChannel::~TOutputChannel() {
  Flush();
}

bool TOutputChannel::WriteAll(const char* S, size_t N) {
  // After a failure nothing more is tried: the output is broken already,
  // and a pipe's reader that went away must not be written to again.
  while (N > 0 && FError == 0) {
    const ssize_t Done = ::write(FFd, S, N);
    if (Done < 0 && errno == EINTR)
      continue;
    if (Done <= 0) {
      FError = Done < 0 ? errno : EIO;
      break;
    }
    S += Done;
    N -= static_cast<size_t>(Done);
  }
  return FError == 0;
}

int TOutputChannel::sync() {
  const bool Ok = WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
  if (!FBuffer.empty())
    setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
  return Ok ? 0 : -1;
}

int TOutputChannel::overflow(int C) {
  if (sync() != 0)
    return traits_type::eof();
  if (traits_type::eq_int_type(C, traits_type::eof()))
    return traits_type::not_eof(C);
  const char Ch = traits_type::to_char_type(C);
  if (FBuffer.empty())
    return WriteAll(&Ch, 1) ? C : traits_type::eof();
  *pptr() = Ch;
  pbump(1);
  return C;
}

std::streamsize TOutputChannel::xsputn(const char* S, std::streamsize N) {
  if (N <= 0)
    return 0;
  const auto Free = epptr() - pptr();
  if (N <= Free) {
    traits_type::copy(pptr(), S, static_cast<size_t>(N));
    pbump(static_cast<int>(N));
    return N;
  }
  if (sync() != 0 || !WriteAll(S, static_cast<size_t>(N)))
    return 0;
  return N;
}

bool TOutputChannel::Flush() {
  FStream.flush();
  sync();
  return FError == 0;
}

void ReserveStandardDescriptors() {
  for (int Fd = STDIN_FILENO; Fd <= STDERR_FILENO; ++Fd) {
    if (::fcntl(Fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    const int Null = ::open("/dev/null", O_RDONLY);
    if (Null >= 0 && Null != Fd) {
      ::dup2(Null, Fd);
      ::close(Null);
    }
  }
}

} // namespace Deskbay::Algtool
