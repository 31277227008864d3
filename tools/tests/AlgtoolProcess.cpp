#include "AlgtoolProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace Deskbay::Testing {

TProcessResult RunProcess(const std::string& Program, const std::vector<std::string>& Args,
                          const std::string& Input, const TProcessOptions& Options) {
  // Files instead of pipes: no deadlock however much the child writes.
  TTempDir Dir;
  const std::string In = Dir.Path("in"), Out = Dir.Path("out"), Err = Dir.Path("err");
  WriteFileBytes(In, Input);

  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, 0, In.c_str(), O_RDONLY, 0);
  int Pipe[2] = {-1, -1};
  if (Options.Stdout.empty()) {
    posix_spawn_file_actions_addopen(&Actions, 1, Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  } else if (Options.Stdout == "-") {
    posix_spawn_file_actions_addclose(&Actions, 1);
  } else if (Options.Stdout == "|") {
    if (pipe(Pipe) != 0)
      throw std::runtime_error("cannot make a pipe");
    close(Pipe[0]);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    posix_spawn_file_actions_addclose(&Actions, Pipe[1]);
  } else {
    posix_spawn_file_actions_addopen(&Actions, 1, Options.Stdout.c_str(), O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&Actions, 2, Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!Options.WorkingDir.empty())
    posix_spawn_file_actions_addchdir_np(&Actions, Options.WorkingDir.c_str());
  std::vector<char*> Argv;
  Argv.push_back(const_cast<char*>(Program.c_str()));
  for (const std::string& A : Args)
    Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);
  pid_t Pid = 0;
  // An ignored signal stays ignored in the program started.
  struct sigaction OldPipe = {};
  if (Options.IgnoreSigpipe) {
    struct sigaction Ignore = {};
    Ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &Ignore, &OldPipe);
  }
  int Rc = posix_spawn(&Pid, Program.c_str(), &Actions, nullptr, Argv.data(), environ);
  if (Options.IgnoreSigpipe)
    sigaction(SIGPIPE, &OldPipe, nullptr);
  posix_spawn_file_actions_destroy(&Actions);
  if (Pipe[1] >= 0)
    close(Pipe[1]);
  if (Rc != 0)
    throw std::runtime_error("cannot start " + Program);

  int Status = 0;
  const auto Deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(Options.TimeoutSeconds);
  while (waitpid(Pid, &Status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > Deadline) {
      kill(Pid, SIGKILL);
      waitpid(Pid, &Status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  TProcessResult R;
  R.ExitStatus = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  R.Signal = WIFSIGNALED(Status) ? WTERMSIG(Status) : 0;
  R.Out = ReadFileBytes(Out);
  R.Err = ReadFileBytes(Err);
  return R;
}

TTempDir::TTempDir() {
  std::string Template = (std::filesystem::temp_directory_path() / "algtool-test-XXXXXX").string();
  if (!mkdtemp(Template.data()))
    throw std::runtime_error("cannot make a temporary folder");
  FPath = Template;
}

TTempDir::~TTempDir() {
  std::error_code Ignored;
  std::filesystem::remove_all(FPath, Ignored);
}

std::string ReadFileBytes(const std::string& FileName) {
  std::ifstream F(FileName, std::ios::binary);
  std::ostringstream S;
  S << F.rdbuf();
  return S.str();
}

void WriteFileBytes(const std::string& FileName, const std::string& Bytes) {
  std::ofstream F(FileName, std::ios::binary | std::ios::trunc);
  F << Bytes;
}

} // namespace Deskbay::Testing
