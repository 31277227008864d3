#pragma once

// Reads what the module manager and the modules dialogs need from a shared
// library file without loading it: the libraries it requires (the DT_NEEDED
// entries of its dynamic section), its run paths and the bytes of a named
// section. Every offset and size taken from the file is checked against the
// file before it is used, so damaged or hostile files end in EElfError.

#include "SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Deskbay {

// A file that is not a readable ELF object of this machine; the message is
// the reason in Russian, without the file's name (whoever reports it names
// the file): "это 32-битная библиотека, а нужна 64-битная".
class COREKIT_API EElfError : public Exception {
public:
  using Exception::Exception;
};

class COREKIT_API TElfFile {
public:
  // Opens the file and checks its header: 64-bit, this host's byte order
  // and machine. Raises EElfError when it cannot be opened or is not such
  // a file.
  explicit TElfFile(const std::string& FileName);
  ~TElfFile();
  TElfFile(const TElfFile&) = delete;
  TElfFile& operator=(const TElfFile&) = delete;

  const std::string& GetFileName() const { return FFileName; }

  // The DT_NEEDED names in the order the dynamic section lists them; empty
  // for a file without a dynamic section.
  std::vector<std::string> GetNeeded();
  // DT_RUNPATH, or DT_RPATH when there is no run path, split at ':'.
  std::vector<std::string> GetRunPaths();
  // The contents of the section of that name; false when there is none,
  // it occupies no file bytes, or is larger than MaxSize.
  bool ReadSection(const char* Name, std::string& Data, uint64_t MaxSize = 1 << 20);

private:
  struct TDynamic;
  void ReadAt(uint64_t Offset, void* Buffer, uint64_t Size);
  void ReadDynamic(TDynamic& Dyn);
  std::string ReadString(uint64_t TableOffset, uint64_t TableSize, uint64_t Index);
  uint64_t VirtualToOffset(uint64_t Address, uint64_t Size);

  std::string FFileName;
  int FHandle = -1;
  uint64_t FSize = 0;
  // The parts of the header the readers use.
  uint64_t FPhOff = 0, FShOff = 0;
  uint16_t FPhNum = 0, FShNum = 0, FShStrNdx = 0;
};

} // namespace Deskbay
