#pragma once

// Byte streams: the abstract stream every persistence routine reads and
// writes, a growable stream in memory and a stream over a file.

#include "SysUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Deskbay {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class COREKIT_API EStreamError : public Exception {
public:
  using Exception::Exception;
};

// Fewer bytes came than were asked for.
class COREKIT_API EReadError : public EStreamError {
public:
  EReadError();
};

// Fewer bytes went than were given.
class COREKIT_API EWriteError : public EStreamError {
public:
  EWriteError();
};

// A file that could not be opened or created.
class COREKIT_API EFOpenError : public EStreamError {
public:
  explicit EFOpenError(std::string Message, int ErrorCode = 0)
      : EStreamError(std::move(Message)), FErrorCode(ErrorCode) {}
  // The errno value behind the failure, 0 when unknown.
  int GetErrorCode() const { return FErrorCode; }

private:
  int FErrorCode;
};

class COREKIT_API TStream : public TObject {
public:
  const char* ClassName() const override { return "TStream"; }

  // Both answer how many bytes moved; a short count is no error here.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Answers the new position from the beginning.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Value) { Seek(Value, soBeginning); }
  virtual int64_t GetSize();
  virtual void SetSize(int64_t NewSize) = 0;

  // Raise "Stream read error" / "Stream write error" when fewer bytes move.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);

  // Copies Count bytes from Source's position; 0 copies all of Source from
  // its start. Works in small pieces, so a count larger than what Source
  // holds fails with the read error instead of allocating it.
  int64_t CopyFrom(TStream* Source, int64_t Count);
};

class COREKIT_API TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  // Over a copy of Size bytes at Data, positioned at the start.
  TMemoryStream(const void* Data, size_t Size);
  const char* ClassName() const override { return "TMemoryStream"; }

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  void Clear();
  // Replaces the contents by all of Stream (from its start) and rewinds.
  void LoadFromStream(TStream* Stream);
  // Writes the whole contents to Stream at Stream's position.
  void SaveToStream(TStream* Stream) const;

  const std::vector<uint8_t>& GetBytes() const { return FData; }
  const uint8_t* GetMemory() const { return FData.data(); }

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

enum TFileMode {
  fmOpenRead,      // an existing regular file, for reading
  fmOpenReadWrite, // an existing file, for reading and writing
  fmOpenWrite,     // an existing file of any kind (a device too), for writing
  fmCreate,        // a new or emptied file, for reading and writing
  fmCreateNew      // a file that must not exist yet
};

class COREKIT_API TFileStream : public TStream {
public:
  // Raises "Не удалось открыть файл \"%s\": %s" (or "создать" for the
  // creating modes) with the system's reason. For reading, only a regular
  // file opens: a device or a pipe is refused at once, never waited on.
  TFileStream(const std::string& FileName, TFileMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const char* ClassName() const override { return "TFileStream"; }

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t NewSize) override;

  const std::string& GetFileName() const { return FFileName; }
  int GetHandle() const { return FHandle; }
  // The errno value of the last read or write that failed, 0 when none did.
  int GetLastError() const { return FLastError; }
  // Forces what was written onto the disk; raises with the system's reason.
  void Flush();
  // Closes the file now, reporting a failed close (a late write error).
  void Close();

private:
  [[noreturn]] void RaiseFileError(const char* Fmt, int Error) const;

  std::string FFileName;
  int FHandle = -1;
  int FLastError = 0;
};

// The whole contents of a small regular file, read through TFileStream: a
// device, a pipe or a folder is refused at once, and a file larger than
// MaxSize is refused without reading it (nor more than MaxSize + 1 bytes of
// one that grows meanwhile). Raises EFOpenError with the file's name and
// the reason: "Не удалось прочитать файл \"%s\": %s" (EFBIG when too large).
COREKIT_API std::string ReadFileLimited(const std::string& FileName, int64_t MaxSize);

// Writes a file so that it is never left half-written: Write fills a new
// temporary file beside the target, which is synced and then renamed over
// the target. On any failure the temporary file goes and the old file stays
// as it was. A replaced file keeps its permissions, and its owner and group
// where the process may set them.
//
// Symbolic links are followed, also when they dangle (the file they name is
// created) and through chains; the links themselves stay. A loop of links
// is an error naming FileName. An existing target that is not a regular
// file (a device such as /dev/null, a FIFO, a terminal) is opened and
// written into directly, never replaced.
//
// A file the user may not write is refused, never replaced: EFOpenError with
// the code EACCES (EROFS on a read-only file system). The permission bits
// decide even for the superuser, for whom the system checks none: a file
// with no write bit at all has been made read-only on purpose. A folder that
// cannot be written is named as the reason, with its own code (EACCES,
// EPERM or EROFS).
//
// After a save, temporary files of this writer's naming scheme that an
// interrupted save left in the same folder are removed: only regular files
// of this user whose writing process is gone and which are older than the
// save, or which are older than a day.
COREKIT_API void SaveFileAtomically(const std::string& FileName,
                                    const std::function<void(TStream&)>& Write);

} // namespace Deskbay
