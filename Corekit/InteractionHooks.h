#pragma once

// The two services a running algorithm asks of whatever hosts it: "does the
// user want to stop?" (F2 held while the program has the foreground) and "give
// me a line of input". The logic installs none by default: no abort, and any
// question is cancelled. The GUI, the command-line tool and tests install
// their own.

#include "CorekitExport.h"

#include <cstdint>
#include <functional>
#include <string>

namespace Deskbay {

class COREKIT_API IAbortPoller {
public:
  virtual ~IAbortPoller();
  // True while the user asks to stop the run.
  virtual bool AbortRequested() = 0;
};

// Installs Poller (nullptr: none); the caller keeps ownership. Returns the
// poller it replaced, which the caller puts back when done, so hosts nest.
COREKIT_API IAbortPoller* SetAbortPoller(IAbortPoller* Poller);
COREKIT_API IAbortPoller* GetAbortPoller();

// Asked at the start of every step. Asking the host is throttled by a clock:
// at most one real poll per AbortPollInterval, so millions of steps per second
// cost a counter and, now and then, a clock read.
constexpr int64_t AbortPollIntervalMicroseconds = 20000;
// Calls between two clock reads.
constexpr unsigned AbortPollClockEvery = 64;

// The poller and how far it is from its next clock read; inline below, so a
// step costs a counter and no call.
struct TAbortPolling {
  IAbortPoller* Poller = nullptr;
  unsigned CallsSinceClock = 0;
  bool PolledOnce = false; // a poller just installed is asked at once
};
COREKIT_API extern TAbortPolling AbortPolling;
// The clock read and, when it is time, the poller's answer.
COREKIT_API bool AbortRequestedByClock();

inline bool CurrentThreadAbortRequested() {
  if (!AbortPolling.Poller)
    return false;
  if (AbortPolling.PolledOnce && ++AbortPolling.CallsSinceClock < AbortPollClockEvery)
    return false;
  return AbortRequestedByClock();
}

// CurrentThreadAbortRequested for one long loop that asks nothing else of
// the hooks while it runs: the same polls at the same calls, the counter
// kept in the loop and handed back when it ends.
class TLoopAbortPoll {
public:
  TLoopAbortPoll()
      : FPolling(AbortPolling.Poller != nullptr), FCalls(AbortPolling.CallsSinceClock) {}
  ~TLoopAbortPoll() {
    if (FPolling)
      AbortPolling.CallsSinceClock = FCalls;
  }
  TLoopAbortPoll(const TLoopAbortPoll&) = delete;
  TLoopAbortPoll& operator=(const TLoopAbortPoll&) = delete;

  bool Requested() {
    if (!FPolling || (AbortPolling.PolledOnce && ++FCalls < AbortPollClockEvery))
      return false;
    const bool Abort = AbortRequestedByClock();
    FCalls = AbortPolling.CallsSinceClock;
    return Abort;
  }
  // How many calls from now on are sure to answer false without reading the
  // clock, and Skip for as many calls that were not made.
  int64_t QuietCalls() const {
    if (!FPolling)
      return INT64_MAX;
    if (!AbortPolling.PolledOnce || FCalls + 1 >= AbortPollClockEvery)
      return 0;
    return AbortPollClockEvery - 1 - FCalls;
  }
  void Skip(int64_t Calls) {
    if (FPolling)
      FCalls += static_cast<unsigned>(Calls);
  }

private:
  bool FPolling;
  unsigned FCalls;
};

enum class TInputStringOption : uint8_t { isoTrim, isoNotEmpty, isoNormalizeSentence };

struct TInputStringOptions {
  bool Trim = false;
  bool NotEmpty = false;
  bool NormalizeSentence = false;
  // When set, what the user enters (after the options above) is offered to
  // Check first: a non-empty answer is why it is refused, and a dialog
  // shows it and keeps asking instead of handing the text back.
  std::function<std::string(const std::string&)> Check = nullptr;
};

class COREKIT_API IInputProvider {
public:
  virtual ~IInputProvider();
  // False when the user cancelled; Value is then left alone.
  virtual bool InputString(const std::string& Caption, const std::string& Prompt,
                           std::string& Value, const TInputStringOptions& Options) = 0;
};

// Installs Provider (nullptr: none) and returns the one it replaced.
COREKIT_API IInputProvider* SetInputProvider(IInputProvider* Provider);
COREKIT_API IInputProvider* GetInputProvider();

// Provider installed for as long as the scope lives, the one it replaced
// put back after.
class TInputProviderScope {
public:
  explicit TInputProviderScope(IInputProvider* Provider) : FPrevious(SetInputProvider(Provider)) {}
  ~TInputProviderScope() { SetInputProvider(FPrevious); }
  TInputProviderScope(const TInputProviderScope&) = delete;
  TInputProviderScope& operator=(const TInputProviderScope&) = delete;
  IInputProvider* GetPrevious() const { return FPrevious; }

private:
  IInputProvider* FPrevious;
};

// Asks the installed provider; without one the question counts as cancelled.
COREKIT_API bool InputString(const std::string& Caption, const std::string& Prompt,
                             std::string& Value, const TInputStringOptions& Options);

// The text an input dialog hands back for what was typed, by its options.
COREKIT_API std::string ApplyInputStringOptions(const std::string& Typed,
                                                const TInputStringOptions& Options);

} // namespace Deskbay
