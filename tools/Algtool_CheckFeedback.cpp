#include "Algtool_CheckFeedback.h"

#include "Algtool_Output.h"

#include "Corekit/SysUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Deskbay::Algtool {

namespace {

[[noreturn]] void Fail(const std::string& FileName, int Error) {
  throw Exception(Format("Не удалось записать отзыв \"%s\": %s", VisibleText(FileName).c_str(),
                         SysErrorMessage(Error).c_str()));
}

} // namespace

TFeedbackWriter::TFeedbackWriter(const std::string& Dir, const TMarkScale& Marks)
    : FDir(Dir), FMarks(Marks) {
  if (::mkdir(Dir.c_str(), 0777) != 0 && errno != EEXIST)
    throw Exception(Format("Не удалось создать папку отзывов \"%s\": %s", VisibleText(Dir).c_str(),
                           SysErrorMessage(errno).c_str()));
  struct stat St;
  if (::stat(Dir.c_str(), &St) != 0 || !S_ISDIR(St.st_mode))
    throw Exception(Format("\"%s\" не папка: отзывы класть некуда.", VisibleText(Dir).c_str()));
  FDirHandle = ::open(Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (FDirHandle < 0)
    throw Exception(Format("Не удалось открыть папку отзывов \"%s\": %s", VisibleText(Dir).c_str(),
                           SysErrorMessage(errno).c_str()));
  if (FDir.back() != '/')
    FDir += '/';
}

TFeedbackWriter::~TFeedbackWriter() {
  for (const auto& [Temporary, Final] : FPending)
    ::unlink(Temporary.c_str());
  if (FDirHandle >= 0)
    ::close(FDirHandle);
}

void TFeedbackWriter::WriteTemporary(const std::string& FinalName, const std::string& Text) {
  const std::string Temporary =
      FDir + "." + FinalName + Format(".%ld.tmp", static_cast<long>(::getpid()));
  const std::string Final = FDir + FinalName;
  const int Handle =
      ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (Handle < 0)
    Fail(Final, errno);
  FPending.emplace_back(Temporary, Final);
  for (size_t Done = 0; Done < Text.size();) {
    const ssize_t N = ::write(Handle, Text.data() + Done, Text.size() - Done);
    if (N < 0 && errno == EINTR)
      continue;
    if (N <= 0) {
      const int Error = N < 0 ? errno : EIO;
      ::close(Handle);
      Fail(Final, Error);
    }
    Done += static_cast<size_t>(N);
  }
  if (::close(Handle) != 0 && errno != EINTR)
    Fail(Final, errno);
}

void TFeedbackWriter::Write(const TFileResult& File) {
  const std::string Name = FNames.Next(File.FileName);
  WriteTemporary(Name + ".txt", FeedbackText(File, &FMarks));
  WriteTemporary(Name + ".html", FeedbackHtml(File, &FMarks));
}

void TFeedbackWriter::Finish() {
  // Every report's bytes on the disk before any name points at them.
  if (::syncfs(FDirHandle) != 0)
    Fail(FPending.empty() ? FDir : FPending.front().second, errno);
  while (!FPending.empty()) {
    const auto& [Temporary, Final] = FPending.back();
    if (::rename(Temporary.c_str(), Final.c_str()) != 0)
      Fail(Final, errno);
    FPending.pop_back();
  }
  if (::fsync(FDirHandle) != 0)
    Fail(FDir, errno);
}

} // namespace Deskbay::Algtool
