#include "Streams.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Deskbay {

namespace {

// The piece size of copies: large enough to be quick, small enough that a
// count from a damaged file never turns into one big allocation.
constexpr int64_t CopyChunk = 64 * 1024;

} // namespace

EReadError::EReadError() : EStreamError("Stream read error") {}

EWriteError::EWriteError() : EStreamError("Stream write error") {}

// --- TStream ---

int64_t TStream::GetSize() {
  const int64_t Pos = Seek(0, soCurrent);
  const int64_t Size = Seek(0, soEnd);
  Seek(Pos, soBeginning);
  return Size;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Read(Buffer, Count) != Count))
    throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Write(Buffer, Count) != Count))
    throw EWriteError();
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->GetSize();
  }
  if (Count < 0)
    throw EReadError();
  std::vector<uint8_t> Buffer(static_cast<size_t>(std::min(Count, CopyChunk)));
  for (int64_t Left = Count; Left > 0;) {
    const int64_t N = std::min(Left, CopyChunk);
    Source->ReadBuffer(Buffer.data(), N);
    WriteBuffer(Buffer.data(), N);
    Left -= N;
  }
  return Count;
}

// --- TMemoryStream ---

TMemoryStream::TMemoryStream(const void* Data, size_t Size)
    : FData(static_cast<const uint8_t*>(Data), static_cast<const uint8_t*>(Data) + Size) {}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t Size = GetSize();
  if (Count <= 0 || FPosition >= Size)
    return 0;
  const int64_t N = std::min(Count, Size - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(N));
  FPosition += N;
  return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0)
    return 0;
  const int64_t End = FPosition + Count;
  if (End > GetSize())
    FData.resize(static_cast<size_t>(End));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t Base = 0;
  if (Origin == soCurrent)
    Base = FPosition;
  else if (Origin == soEnd)
    Base = GetSize();
  // Beyond the end is allowed (a later write fills the gap with zeros);
  // before the start is not.
  if (Offset < -Base)
    throw EStreamError("Stream seek error");
  FPosition = Base + Offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0)
    throw EStreamError("Stream size error");
  FData.resize(static_cast<size_t>(NewSize));
  FPosition = std::min(FPosition, NewSize);
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Clear();
  CopyFrom(Stream, 0);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream* Stream) const {
  Stream->WriteBuffer(FData.data(), GetBytes().size());
}

// --- TFileStream ---

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
  const char* const OpenFmt = "Не удалось открыть файл \"%s\": %s";
  int Flags = O_CLOEXEC;
  switch (Mode) {
  case fmOpenRead:
    // Without O_NONBLOCK, opening a FIFO would wait for a writer; what is
    // opened is checked below and refused unless it is a regular file.
    Flags |= O_RDONLY | O_NONBLOCK | O_NOCTTY;
    break;
  case fmOpenWrite:
    Flags |= O_WRONLY | O_NOCTTY;
    break;
  case fmOpenReadWrite:
    Flags |= O_RDWR;
    break;
  case fmCreate:
    Flags |= O_RDWR | O_CREAT | O_TRUNC;
    break;
  case fmCreateNew:
    Flags |= O_RDWR | O_CREAT | O_EXCL;
    break;
  }
  do
    FHandle = ::open(FileName.c_str(), Flags, 0666);
  while (FHandle < 0 && errno == EINTR);
  if (FHandle < 0)
    RaiseFileError(Mode == fmCreate || Mode == fmCreateNew ? "Не удалось создать файл \"%s\": %s"
                                                           : OpenFmt,
                   errno);
  struct stat St;
  if (::fstat(FHandle, &St) == 0 &&
      (S_ISDIR(St.st_mode) || (Mode == fmOpenRead && !S_ISREG(St.st_mode)))) {
    ::close(FHandle);
    FHandle = -1;
    if (S_ISDIR(St.st_mode))
      RaiseFileError(OpenFmt, EISDIR);
    throw EFOpenError(Format(OpenFmt, FFileName.c_str(), "это не обычный файл"), EINVAL);
  }
  if (Mode == fmOpenRead)
    (void)::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0)
    ::close(FHandle);
}

void TFileStream::RaiseFileError(const char* Fmt, int Error) const {
  throw EFOpenError(Format(Fmt, FFileName.c_str(), SysErrorMessage(Error).c_str()), Error);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  int64_t Done = 0;
  auto* P = static_cast<uint8_t*>(Buffer);
  while (Done < Count) {
    const ssize_t N = ::read(FHandle, P + Done, static_cast<size_t>(Count - Done));
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      FLastError = errno;
    if (N <= 0)
      break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  int64_t Done = 0;
  const auto* P = static_cast<const uint8_t*>(Buffer);
  while (Done < Count) {
    const ssize_t N = ::write(FHandle, P + Done, static_cast<size_t>(Count - Done));
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      FLastError = errno;
    if (N <= 0)
      break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int Whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t Result = ::lseek(FHandle, static_cast<off_t>(Offset), Whence);
  if (Result < 0)
    throw EStreamError("Stream seek error");
  return Result;
}

int64_t TFileStream::GetSize() {
  struct stat St;
  if (::fstat(FHandle, &St) != 0)
    throw EStreamError(Format("%s: %s", FFileName.c_str(), SysErrorMessage(errno).c_str()));
  return St.st_size;
}

void TFileStream::SetSize(int64_t NewSize) {
  if (NewSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
    throw EStreamError("Stream size error");
  if (GetPosition() > NewSize)
    Seek(NewSize, soBeginning);
}

void TFileStream::Flush() {
  if (::fsync(FHandle) != 0)
    RaiseFileError("Не удалось записать файл \"%s\": %s", errno);
}

void TFileStream::Close() {
  if (FHandle < 0)
    return;
  const int Handle = FHandle;
  FHandle = -1;
  if (::close(Handle) != 0 && errno != EINTR)
    RaiseFileError("Не удалось записать файл \"%s\": %s", errno);
}

std::string ReadFileLimited(const std::string& FileName, int64_t MaxSize) {
  const char* const Fmt = "Не удалось прочитать файл \"%s\": %s";
  std::unique_ptr<TFileStream> File;
  try {
    File = std::make_unique<TFileStream>(FileName, fmOpenRead);
  } catch (const EFOpenError& E) {
    const std::string Reason =
        E.GetErrorCode() == EINVAL ? "это не обычный файл" : SysErrorMessage(E.GetErrorCode());
    throw EFOpenError(Format(Fmt, FileName.c_str(), Reason.c_str()), E.GetErrorCode());
  }
  const auto TooLarge = [&] {
    return EFOpenError(
        Format(Fmt, FileName.c_str(),
               Format("файл больше %lld байт", static_cast<long long>(MaxSize)).c_str()),
        EFBIG);
  };
  if (File->GetSize() > MaxSize)
    throw TooLarge();
  std::string Text;
  char Buffer[16384];
  for (;;) {
    const int64_t N = File->Read(Buffer, sizeof Buffer);
    if (N <= 0)
      break;
    Text.append(Buffer, static_cast<size_t>(N));
    if (static_cast<int64_t>(Text.size()) > MaxSize)
      throw TooLarge();
  }
  if (File->GetLastError() != 0)
    throw EFOpenError(Format(Fmt, FileName.c_str(), SysErrorMessage(File->GetLastError()).c_str()),
                      File->GetLastError());
  return Text;
}

namespace {

// As many links as the system itself follows in one path.
constexpr int MaxLinkHops = 40;

[[noreturn]] void RaiseSaveError(const std::string& FileName, int Error) {
  throw EFOpenError(Format("Не удалось сохранить файл \"%s\": %s", FileName.c_str(),
                           SysErrorMessage(Error).c_str()),
                    Error);
}

// Where a save goes.
struct TSaveTarget {
  std::string Path;     // the file replaced or created, links resolved
  bool InPlace = false; // an existing file that is not regular: written into
  bool Exists = false;
  struct stat St = {};
};

std::string ReadLink(const std::string& Path, const std::string& FileName) {
  std::string Target(256, '\0');
  for (;;) {
    const ssize_t N = ::readlink(Path.c_str(), Target.data(), Target.size());
    if (N < 0)
      RaiseSaveError(FileName, errno);
    if (static_cast<size_t>(N) < Target.size()) {
      Target.resize(static_cast<size_t>(N));
      return Target;
    }
    Target.resize(Target.size() * 2);
  }
}

TSaveTarget ResolveSaveTarget(const std::string& FileName) {
  TSaveTarget T;
  if (::stat(FileName.c_str(), &T.St) == 0) {
    T.Exists = true;
    // A device, FIFO or terminal is reached through the name as given (the
    // system's own links such as /dev/stdout only resolve that way).
    if (!S_ISREG(T.St.st_mode)) {
      T.Path = FileName;
      T.InPlace = true;
      return T;
    }
    struct stat L;
    if (::lstat(FileName.c_str(), &L) == 0 && S_ISLNK(L.st_mode)) {
      // The linked file is replaced, so that the link itself survives.
      char* Real = ::realpath(FileName.c_str(), nullptr);
      if (!Real)
        RaiseSaveError(FileName, errno);
      T.Path = Real;
      std::free(Real);
    } else {
      T.Path = FileName;
    }
    return T;
  }
  if (errno != ENOENT)
    RaiseSaveError(FileName, errno); // a loop of links among others
  // Nothing there yet. A dangling link, or a chain of them, names the file
  // to create, as a link to an existing file names the file to replace.
  std::string Path = FileName;
  for (int Hops = 0;; ++Hops) {
    struct stat L;
    if (::lstat(Path.c_str(), &L) != 0 || !S_ISLNK(L.st_mode))
      break;
    if (Hops == MaxLinkHops)
      RaiseSaveError(FileName, ELOOP);
    const std::string Link = ReadLink(Path, FileName);
    if (!Link.empty() && Link[0] == '/') {
      Path = Link;
    } else {
      const size_t Slash = Path.rfind('/');
      Path = (Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1)) + Link;
    }
  }
  T.Path = Path;
  return T;
}

std::string FolderOf(const std::string& Path) {
  const size_t Slash = Path.rfind('/');
  if (Slash == std::string::npos)
    return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

// An existing file the user may not write is refused before anything is
// made beside it.
void CheckWritable(const TSaveTarget& Target, const std::string& FileName) {
  int Error = 0;
  if (::access(Target.Path.c_str(), W_OK) != 0)
    Error = errno == EROFS ? EROFS : EACCES;
  else if ((Target.St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    Error = EACCES; // the superuser passes every check, but the file says no
  if (Error == EROFS)
    RaiseSaveError(FileName, EROFS);
  if (Error != 0)
    throw EFOpenError(
        Format("Не удалось сохранить файл \"%s\": файл защищён от записи.", FileName.c_str()),
        Error);
}

// The temporary name of a save: "<target>.<pid>-<counter>-<time>.tmp".
std::string TempNameFor(const std::string& Target, unsigned Counter) {
  return Format("%s.%d-%u-%ld.tmp", Target.c_str(), static_cast<int>(::getpid()), Counter,
                static_cast<long>(std::time(nullptr)));
}

bool AllDigits(const std::string& S) {
  return !S.empty() && S.size() <= 20 &&
         std::all_of(S.begin(), S.end(), [](char C) { return C >= '0' && C <= '9'; });
}

// Whether Name is one of TempNameFor's names; Pid is the process that made it.
bool IsTempName(const std::string& Name, long& Pid) {
  if (Name.size() < 5 || Name.compare(Name.size() - 4, 4, ".tmp") != 0)
    return false;
  const std::string Stem = Name.substr(0, Name.size() - 4);
  const size_t Dot = Stem.rfind('.');
  if (Dot == std::string::npos || Dot == 0)
    return false;
  const std::string Tag = Stem.substr(Dot + 1);
  const size_t Dash1 = Tag.find('-');
  const size_t Dash2 = Dash1 == std::string::npos ? Dash1 : Tag.find('-', Dash1 + 1);
  if (Dash2 == std::string::npos || !AllDigits(Tag.substr(0, Dash1)) ||
      !AllDigits(Tag.substr(Dash1 + 1, Dash2 - Dash1 - 1)) || !AllDigits(Tag.substr(Dash2 + 1)))
    return false;
  Pid = std::strtol(Tag.c_str(), nullptr, 10);
  return true;
}

bool ProcessIsGone(long Pid) {
  return Pid <= 0 || Pid > INT32_MAX || (::kill(static_cast<pid_t>(Pid), 0) != 0 && errno == ESRCH);
}

// Removes what interrupted saves left in Folder (see SaveFileAtomically).
// Best effort: a folder that cannot be listed, or a file that cannot be
// removed, is left as it is.
void RemoveLeftovers(const std::string& Folder, time_t SaveStarted) {
  constexpr time_t ADay = 24 * 60 * 60;
  DIR* D = ::opendir(Folder.c_str());
  if (!D)
    return;
  const int Fd = ::dirfd(D);
  while (const dirent* E = ::readdir(D)) {
    long Pid = 0;
    if (!IsTempName(E->d_name, Pid))
      continue;
    struct stat St;
    if (::fstatat(Fd, E->d_name, &St, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(St.st_mode) ||
        St.st_uid != ::geteuid())
      continue;
    const bool Abandoned = St.st_mtime < SaveStarted && ProcessIsGone(Pid);
    if (Abandoned || St.st_mtime < SaveStarted - ADay)
      (void)::unlinkat(Fd, E->d_name, 0);
  }
  ::closedir(D);
}

// A new, exclusively created file beside Target. A failure names the file
// the user asked for, not the temporary one.
std::unique_ptr<TFileStream> CreateTempBeside(const std::string& Target,
                                              const std::string& FileName, std::string& TempName) {
  static std::atomic<unsigned> Counter{0};
  for (int Attempt = 0;; ++Attempt) {
    TempName = TempNameFor(Target, Counter.fetch_add(1));
    try {
      return std::make_unique<TFileStream>(TempName, fmCreateNew);
    } catch (const EFOpenError& E) {
      const int Error = E.GetErrorCode();
      // Only a name that happens to be taken is worth another try.
      if (Error == EEXIST && Attempt < 100)
        continue;
      // The file itself may well be writable: it is the folder that is not.
      if (Error == EACCES || Error == EPERM || Error == EROFS)
        throw EFOpenError(Format("Не удалось сохранить файл \"%s\": в папку \"%s\" нельзя "
                                 "записывать (%s).",
                                 FileName.c_str(), FolderOf(Target).c_str(),
                                 SysErrorMessage(Error).c_str()),
                          Error);
      throw EFOpenError(Format("Не удалось создать файл \"%s\": %s", FileName.c_str(),
                               SysErrorMessage(Error).c_str()),
                        Error);
    }
  }
}

// Runs Write on File; a failed write is reported with the file's name and
// the system's reason instead of the bare stream error.
void WriteNaming(const std::string& FileName, TFileStream& File,
                 const std::function<void(TStream&)>& Write) {
  try {
    Write(File);
  } catch (const EWriteError&) {
    if (File.GetLastError() == 0)
      throw;
    throw EFOpenError(Format("Не удалось записать файл \"%s\": %s", FileName.c_str(),
                             SysErrorMessage(File.GetLastError()).c_str()),
                      File.GetLastError());
  }
}

} // namespace

void SaveFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Write) {
  const TSaveTarget Target = ResolveSaveTarget(FileName);
  if (Target.InPlace) {
    // Replacing a device node with a file would destroy it (as root, the
    // system's own /dev/null). Such files cannot seek, which writers of
    // records need, so the contents are made in memory first; a writer that
    // fails then sends nothing at all.
    TMemoryStream Contents;
    Write(Contents);
    TFileStream File(FileName, fmOpenWrite);
    WriteNaming(FileName, File, [&Contents](TStream& S) { Contents.SaveToStream(&S); });
    File.Close();
    return;
  }
  if (Target.Exists)
    CheckWritable(Target, FileName);
  const time_t Started = std::time(nullptr);
  std::string TempName;
  std::unique_ptr<TFileStream> File = CreateTempBeside(Target.Path, FileName, TempName);
  try {
    if (Target.Exists) {
      // Owner first: changing it clears the set-user-ID and set-group-ID bits.
      // Only root may give a file away; others may still keep its group.
      if (::fchown(File->GetHandle(), Target.St.st_uid, Target.St.st_gid) != 0)
        (void)::fchown(File->GetHandle(), static_cast<uid_t>(-1), Target.St.st_gid);
      (void)::fchmod(File->GetHandle(), Target.St.st_mode & 07777);
    }
    WriteNaming(FileName, *File, Write);
    File->Flush();
    File->Close();
    if (::rename(TempName.c_str(), Target.Path.c_str()) != 0)
      RaiseSaveError(FileName, errno);
  } catch (...) {
    File.reset();
    ::unlink(TempName.c_str());
    throw;
  }
  RemoveLeftovers(FolderOf(Target.Path), Started);
}

} // namespace Deskbay
