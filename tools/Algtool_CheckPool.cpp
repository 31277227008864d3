#include "Algtool_CheckPool.h"

#include "Corekit/SysUtils.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <stdexcept>

namespace Deskbay::Algtool {

namespace {

// Results travel from a worker to the checker as messages: a 32-bit length,
// then the file's index and its result.
class TMessageWriter {
public:
  void PutInt(uint64_t V) {
    for (int I = 0; I < 8; ++I)
      FData += static_cast<char>((V >> (8 * I)) & 0xFF);
  }
  void PutString(const std::string& S) {
    PutInt(S.size());
    FData += S;
  }
  void PutStrings(const std::vector<std::string>& List) {
    PutInt(List.size());
    for (const std::string& S : List)
      PutString(S);
  }
  std::string Framed() const {
    std::string Frame;
    const uint32_t Size = static_cast<uint32_t>(FData.size());
    for (int I = 0; I < 4; ++I)
      Frame += static_cast<char>((Size >> (8 * I)) & 0xFF);
    return Frame + FData;
  }

private:
  std::string FData;
};

class TMessageReader {
public:
  explicit TMessageReader(std::string_view Data) : FData(Data) {}
  uint64_t GetInt() {
    if (FData.size() < 8)
      throw std::runtime_error("short message");
    uint64_t V = 0;
    for (int I = 0; I < 8; ++I)
      V |= static_cast<uint64_t>(static_cast<unsigned char>(FData[I])) << (8 * I);
    FData.remove_prefix(8);
    return V;
  }
  std::string GetString() {
    const uint64_t Size = GetInt();
    if (Size > FData.size())
      throw std::runtime_error("short message");
    std::string S(FData.substr(0, Size));
    FData.remove_prefix(Size);
    return S;
  }
  // A count read never sizes the list: it grows with the strings that arrive.
  void GetStrings(std::vector<std::string>& List) {
    const uint64_t Count = GetInt();
    for (uint64_t I = 0; I < Count; ++I)
      List.push_back(GetString());
  }

private:
  std::string_view FData;
};

std::string EncodeResult(uint32_t Index, const TFileResult& File) {
  TMessageWriter W;
  W.PutInt(Index);
  W.PutString(File.FileName);
  W.PutInt(File.Loaded);
  W.PutInt(File.Cases.size());
  for (const TCaseResult& Case : File.Cases) {
    W.PutString(Case.CaseName);
    W.PutInt(static_cast<uint64_t>(Case.Failure));
    W.PutString(Case.Reason);
    W.PutInt(static_cast<uint64_t>(Case.OutputLine));
    W.PutString(Case.Expected);
    W.PutString(Case.Actual);
    W.PutInt(static_cast<uint64_t>(Case.Steps));
    W.PutInt(Case.Hidden);
    W.PutInt(static_cast<uint64_t>(Case.Weight));
    W.PutInt(static_cast<uint64_t>(static_cast<int64_t>(Case.FirstDifference)));
    W.PutInt(static_cast<uint64_t>(Case.StopStep));
    W.PutString(Case.RunError);
    W.PutString(Case.Block);
    W.PutStrings(Case.Answers);
    W.PutStrings(Case.ExpectedLines);
    W.PutStrings(Case.PrintedLines);
  }
  W.PutInt(File.Unreached.size());
  for (const std::string& Block : File.Unreached)
    W.PutString(Block);
  return W.Framed();
}

TFileResult DecodeResult(std::string_view Payload, uint32_t& Index) {
  TMessageReader R(Payload);
  TFileResult File;
  Index = static_cast<uint32_t>(R.GetInt());
  File.FileName = R.GetString();
  File.Loaded = R.GetInt() != 0;
  const uint64_t Count = R.GetInt();
  for (uint64_t I = 0; I < Count; ++I) {
    TCaseResult& Case = File.Cases.emplace_back();
    Case.CaseName = R.GetString();
    Case.Failure = static_cast<TCaseFailure>(R.GetInt());
    Case.Reason = R.GetString();
    Case.OutputLine = static_cast<int>(R.GetInt());
    Case.Expected = R.GetString();
    Case.Actual = R.GetString();
    Case.Steps = static_cast<int64_t>(R.GetInt());
    Case.Hidden = R.GetInt() != 0;
    Case.Weight = static_cast<int64_t>(R.GetInt());
    Case.FirstDifference = static_cast<int>(static_cast<int64_t>(R.GetInt()));
    Case.StopStep = static_cast<int64_t>(R.GetInt());
    Case.RunError = R.GetString();
    Case.Block = R.GetString();
    R.GetStrings(Case.Answers);
    R.GetStrings(Case.ExpectedLines);
    R.GetStrings(Case.PrintedLines);
  }
  const uint64_t Blocks = R.GetInt();
  for (uint64_t I = 0; I < Blocks; ++I)
    File.Unreached.push_back(R.GetString());
  return File;
}

bool SendAll(int Fd, const void* Data, size_t Size) {
  const char* P = static_cast<const char*>(Data);
  while (Size > 0) {
    const ssize_t N = send(Fd, P, Size, MSG_NOSIGNAL);
    if (N < 0 && errno == EINTR)
      continue;
    if (N <= 0)
      return false;
    P += N;
    Size -= static_cast<size_t>(N);
  }
  return true;
}

bool ReceiveAll(int Fd, void* Data, size_t Size) {
  char* P = static_cast<char*>(Data);
  while (Size > 0) {
    const ssize_t N = recv(Fd, P, Size, 0);
    if (N < 0 && errno == EINTR)
      continue;
    if (N <= 0)
      return false;
    P += N;
    Size -= static_cast<size_t>(N);
  }
  return true;
}

// A worker takes file indexes from its socket until the checker closes it,
// and answers each with the file's result. It leaves by _exit: the
// checker's buffers and exit handlers belong to the checker.
[[noreturn]] void WorkerMain(int Fd, const TTestFile& Tests, const std::vector<std::string>& Files,
                             bool Coverage) {
  for (;;) {
    uint32_t Index = 0;
    if (!ReceiveAll(Fd, &Index, sizeof Index))
      _exit(0);
    std::string Message;
    try {
      Message = EncodeResult(Index, CheckFile(Tests, Files.at(Index), Coverage));
    } catch (...) {
      _exit(1);
    }
    if (!SendAll(Fd, Message.data(), Message.size()))
      _exit(1);
  }
}

// Each worker holds up to this many files: the one it checks and the next,
// so it goes on while the checker is busy with results (writing feedback).
constexpr size_t TasksInFlight = 2;

struct TWorker {
  pid_t Pid = -1;
  int Fd = -1;
  // The indexes handed over, in order: the first is being checked.
  std::deque<size_t> Tasks;
  bool Ended = false; // told that nothing more comes
  std::string Received;
};

std::string DescribeExit(int Status) {
  if (WIFSIGNALED(Status))
    return Format("процесс проверки завершился по сигналу %d (%s)", WTERMSIG(Status),
                  strsignal(WTERMSIG(Status)));
  if (WIFEXITED(Status))
    return Format("процесс проверки завершился с кодом %d", WEXITSTATUS(Status));
  return "процесс проверки завершился";
}

class TPool {
public:
  TPool(const TTestFile& Tests, const std::vector<std::string>& Files, bool Coverage,
        const std::function<void(const TFileResult&)>& OnResult)
      : FTests(Tests), FFiles(Files), FCoverage(Coverage), FOnResult(OnResult),
        FResults(Files.size()) {}

  ~TPool() {
    // Normally every worker is idle here and leaves at the end of its
    // socket; one still busy means the check is being abandoned.
    for (TWorker& W : FWorkers) {
      if (W.Fd >= 0 && !W.Tasks.empty())
        kill(W.Pid, SIGKILL);
      Retire(W);
    }
  }

  void Run(int Jobs) {
    const size_t Count = FFiles.size();
    for (int I = 0; I < Jobs && static_cast<size_t>(I) < Count; ++I) {
      TWorker W;
      if (!Spawn(W))
        break;
      FWorkers.push_back(std::move(W));
      GiveTask(FWorkers.back());
    }
    while (FEmitted < Count) {
      if (!AnyAlive()) {
        // No worker could be started, or none is left: the rest is checked here.
        for (; !FRequeued.empty(); FRequeued.pop_front())
          FResults[FRequeued.front()] = CheckFile(FTests, FFiles[FRequeued.front()], FCoverage);
        for (; FNext < Count; ++FNext)
          FResults[FNext] = CheckFile(FTests, FFiles[FNext], FCoverage);
        Emit();
        break;
      }
      WaitAndRead();
      Emit();
    }
  }

private:
  const TTestFile& FTests;
  const std::vector<std::string>& FFiles;
  bool FCoverage;
  const std::function<void(const TFileResult&)>& FOnResult;
  std::vector<std::optional<TFileResult>> FResults;
  std::vector<TWorker> FWorkers;
  size_t FNext = 0;
  std::deque<size_t> FRequeued; // files of a worker that died, not begun
  size_t FEmitted = 0;

  bool AnyAlive() const {
    for (const TWorker& W : FWorkers)
      if (W.Fd >= 0)
        return true;
    return false;
  }

  bool Spawn(TWorker& W) {
    int Pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, Pair) != 0)
      return false;
    const pid_t Checker = getpid();
    const pid_t Pid = fork();
    if (Pid < 0) {
      close(Pair[0]);
      close(Pair[1]);
      return false;
    }
    if (Pid == 0) {
      // A checker that is killed takes its workers with it, instead of
      // leaving them to finish a file whose result nobody reads.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != Checker)
        _exit(1);
      // The other workers' sockets stay with the checker, or those workers
      // would never see their end.
      for (const TWorker& Other : FWorkers)
        if (Other.Fd >= 0)
          close(Other.Fd);
      close(Pair[0]);
      WorkerMain(Pair[1], FTests, FFiles, FCoverage);
    }
    close(Pair[1]);
    W = TWorker();
    W.Pid = Pid;
    W.Fd = Pair[0];
    return true;
  }

  bool TasksLeft() const { return !FRequeued.empty() || FNext < FFiles.size(); }

  // Tops the worker up to TasksInFlight files.
  void GiveTask(TWorker& W) {
    while (W.Tasks.size() < TasksInFlight && !W.Ended) {
      if (!TasksLeft()) {
        // Nothing left: the worker sees the end once its files are done.
        W.Ended = true;
        shutdown(W.Fd, SHUT_WR);
        return;
      }
      size_t Next;
      if (!FRequeued.empty()) {
        Next = FRequeued.front();
        FRequeued.pop_front();
      } else {
        Next = FNext++;
      }
      W.Tasks.push_back(Next);
      const uint32_t Index = static_cast<uint32_t>(Next);
      // A worker that died meanwhile is noticed when its socket ends.
      SendAll(W.Fd, &Index, sizeof Index);
    }
  }

  void Retire(TWorker& W) {
    if (W.Fd < 0)
      return;
    close(W.Fd);
    W.Fd = -1;
    int Status = 0;
    while (waitpid(W.Pid, &Status, 0) < 0 && errno == EINTR) {
    }
    if (!W.Tasks.empty()) {
      // The file being checked took the worker down; the ones after it
      // were never begun and go to another worker.
      const size_t Failed = W.Tasks.front();
      FResults[Failed] = FailedFile(FTests, FFiles[Failed], TCaseFailure::Crashed,
                                    "проверка файла прервалась: " + DescribeExit(Status));
      for (auto It = W.Tasks.rbegin(); It + 1 != W.Tasks.rend(); ++It)
        FRequeued.push_front(*It);
      W.Tasks.clear();
    }
  }

  void WaitAndRead() {
    std::vector<pollfd> Polls;
    std::vector<TWorker*> Polled;
    for (TWorker& W : FWorkers)
      if (W.Fd >= 0) {
        Polls.push_back({W.Fd, POLLIN, 0});
        Polled.push_back(&W);
      }
    if (poll(Polls.data(), Polls.size(), -1) < 0)
      return; // interrupted: the caller asks again
    for (size_t I = 0; I < Polls.size(); ++I)
      if (Polls[I].revents != 0)
        Read(*Polled[I]);
  }

  void Read(TWorker& W) {
    char Buffer[65536];
    const ssize_t N = recv(W.Fd, Buffer, sizeof Buffer, 0);
    if (N < 0 && errno == EINTR)
      return;
    if (N <= 0) {
      Retire(W);
      // A worker that died on a file is replaced while files are left.
      if (TasksLeft() && Spawn(W))
        GiveTask(W);
      return;
    }
    W.Received.append(Buffer, static_cast<size_t>(N));
    while (W.Received.size() >= 4) {
      uint32_t Size = 0;
      for (int I = 0; I < 4; ++I)
        Size |= static_cast<uint32_t>(static_cast<unsigned char>(W.Received[I])) << (8 * I);
      if (W.Received.size() < 4 + static_cast<size_t>(Size))
        break;
      uint32_t Index = 0;
      TFileResult File = DecodeResult(std::string_view(W.Received).substr(4, Size), Index);
      W.Received.erase(0, 4 + static_cast<size_t>(Size));
      if (W.Tasks.empty() || Index != W.Tasks.front())
        throw std::runtime_error("a worker answered for another file");
      W.Tasks.pop_front();
      FResults[Index] = std::move(File);
      GiveTask(W);
    }
  }

  void Emit() {
    while (FEmitted < FResults.size() && FResults[FEmitted]) {
      FOnResult(*FResults[FEmitted]);
      FResults[FEmitted].reset();
      ++FEmitted;
    }
  }
};

} // namespace

void CheckFiles(const TTestFile& Tests, const std::vector<std::string>& Files, int Jobs,
                bool Coverage, const std::function<void(const TFileResult&)>& OnResult) {
  TPool Pool(Tests, Files, Coverage, OnResult);
  Pool.Run(Jobs < 1 ? 1 : Jobs);
}

} // namespace Deskbay::Algtool
