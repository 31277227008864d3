#include "InteractionHooks.h"

#include "SysUtils.h"

#include <chrono>

namespace Deskbay {

IAbortPoller::~IAbortPoller() = default;
IInputProvider::~IInputProvider() = default;

TAbortPolling AbortPolling;

namespace {
IInputProvider* InputProvider = nullptr;
std::chrono::steady_clock::time_point LastPoll;
} // namespace

IAbortPoller* SetAbortPoller(IAbortPoller* Poller) {
  IAbortPoller* Previous = AbortPolling.Poller;
  AbortPolling.Poller = Poller;
  AbortPolling.PolledOnce = false;
  AbortPolling.CallsSinceClock = 0;
  return Previous;
}

IAbortPoller* GetAbortPoller() {
  return AbortPolling.Poller;
}

bool AbortRequestedByClock() {
  AbortPolling.CallsSinceClock = 0;
  const auto Now = std::chrono::steady_clock::now();
  if (AbortPolling.PolledOnce &&
      Now - LastPoll < std::chrono::microseconds(AbortPollIntervalMicroseconds))
    return false;
  AbortPolling.PolledOnce = true;
  LastPoll = Now;
  return AbortPolling.Poller->AbortRequested();
}

IInputProvider* SetInputProvider(IInputProvider* Provider) {
  IInputProvider* Previous = InputProvider;
  InputProvider = Provider;
  return Previous;
}

IInputProvider* GetInputProvider() {
  return InputProvider;
}

bool InputString(const std::string& Caption, const std::string& Prompt, std::string& Value,
                 const TInputStringOptions& Options) {
  if (!InputProvider)
    return false;
  return InputProvider->InputString(Caption, Prompt, Value, Options);
}

std::string ApplyInputStringOptions(const std::string& Typed, const TInputStringOptions& Options) {
  std::string Text = Options.Trim ? Trim(Typed) : Typed;
  if (Options.NormalizeSentence) {
    std::string Joined;
    size_t I = 0;
    while (I < Text.size()) {
      while (I < Text.size() && Text[I] == ' ')
        ++I;
      const size_t Start = I;
      while (I < Text.size() && Text[I] != ' ')
        ++I;
      if (I > Start) {
        if (!Joined.empty())
          Joined += ' ';
        Joined.append(Text, Start, I - Start);
      }
    }
    Text = Joined;
  }
  return Text;
}

} // namespace Deskbay
