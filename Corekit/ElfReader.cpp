#include "ElfReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Deskbay {

namespace {

#if defined(__x86_64__)
constexpr uint16_t HostMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr uint16_t HostMachine = EM_AARCH64;
#elif defined(__riscv) && __riscv_xlen == 64
constexpr uint16_t HostMachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr uint16_t HostMachine = EM_PPC64;
#elif defined(__s390x__)
constexpr uint16_t HostMachine = EM_S390;
#else
#error "Unknown host machine for the ELF reader"
#endif

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char HostData = ELFDATA2LSB;
#else
constexpr unsigned char HostData = ELFDATA2MSB;
#endif

// Names and lists from a file are bounded, whatever the file claims.
constexpr uint64_t MaxStringLength = 4096;
constexpr uint64_t MaxDynamicEntries = 1 << 16;

bool RangeInside(uint64_t Offset, uint64_t Size, uint64_t Limit) {
  return Offset <= Limit && Size <= Limit - Offset;
}

} // namespace

struct TElfFile::TDynamic {
  bool Present = false;
  uint64_t StrTab = 0, StrSz = 0;
  bool HasStrTab = false, HasStrSz = false;
  std::vector<uint64_t> Needed;
  bool HasRunPath = false, HasRPath = false;
  uint64_t RunPath = 0, RPath = 0;
};

TElfFile::TElfFile(const std::string& FileName) : FFileName(FileName) {
  // Without O_NONBLOCK a pipe in place of a library would wait for a writer;
  // what opens is refused below unless it is a regular file.
  FHandle = open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (FHandle < 0)
    throw EElfError(SysErrorMessage(errno));
  try {
    struct stat St;
    if (fstat(FHandle, &St) != 0 || !S_ISREG(St.st_mode))
      throw EElfError("это не обычный файл");
    FSize = static_cast<uint64_t>(St.st_size);

    unsigned char Ident[EI_NIDENT];
    ReadAt(0, Ident, sizeof Ident);
    if (memcmp(Ident, ELFMAG, SELFMAG) != 0)
      throw EElfError("это не библиотека (файл не в формате ELF)");
    if (Ident[EI_CLASS] != ELFCLASS64)
      throw EElfError("это 32-битная библиотека, а нужна 64-битная");
    if (Ident[EI_DATA] != HostData)
      throw EElfError("библиотека для процессора с другим порядком байтов");
    Elf64_Ehdr H;
    ReadAt(0, &H, sizeof H);
    if (H.e_machine != HostMachine)
      throw EElfError("библиотека для процессора другого типа");
    if (H.e_type != ET_DYN && H.e_type != ET_EXEC)
      throw EElfError("файл ELF не является ни библиотекой, ни программой");
    if (H.e_phnum != 0 && H.e_phentsize != sizeof(Elf64_Phdr))
      throw EElfError("файл повреждён: неверный размер заголовка сегмента");
    if (H.e_shnum != 0 && H.e_shentsize != sizeof(Elf64_Shdr))
      throw EElfError("файл повреждён: неверный размер заголовка раздела");
    FPhOff = H.e_phoff;
    FPhNum = H.e_phnum;
    FShOff = H.e_shoff;
    FShNum = H.e_shnum;
    FShStrNdx = H.e_shstrndx;
    if (!RangeInside(FPhOff, uint64_t(FPhNum) * sizeof(Elf64_Phdr), FSize))
      throw EElfError("файл обрезан или повреждён: заголовки сегментов за концом файла");
    if (!RangeInside(FShOff, uint64_t(FShNum) * sizeof(Elf64_Shdr), FSize))
      throw EElfError("файл обрезан или повреждён: заголовки разделов за концом файла");
  } catch (...) {
    close(FHandle);
    throw;
  }
}

TElfFile::~TElfFile() {
  if (FHandle >= 0)
    close(FHandle);
}

void TElfFile::ReadAt(uint64_t Offset, void* Buffer, uint64_t Size) {
  if (!RangeInside(Offset, Size, FSize))
    throw EElfError("файл обрезан или повреждён: данные за концом файла");
  auto* P = static_cast<char*>(Buffer);
  while (Size > 0) {
    ssize_t N = pread(FHandle, P, Size, static_cast<off_t>(Offset));
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      throw EElfError(SysErrorMessage(errno));
    if (N == 0)
      throw EElfError("файл обрезан: он стал короче во время чтения");
    P += N;
    Offset += static_cast<uint64_t>(N);
    Size -= static_cast<uint64_t>(N);
  }
}

uint64_t TElfFile::VirtualToOffset(uint64_t Address, uint64_t Size) {
  for (uint16_t I = 0; I < FPhNum; ++I) {
    Elf64_Phdr P;
    ReadAt(FPhOff + uint64_t(I) * sizeof P, &P, sizeof P);
    if (P.p_type != PT_LOAD)
      continue;
    if (Address >= P.p_vaddr && Address - P.p_vaddr < P.p_filesz) {
      uint64_t Delta = Address - P.p_vaddr;
      if (Size > P.p_filesz - Delta)
        throw EElfError("файл повреждён: таблица строк выходит за свой сегмент");
      if (!RangeInside(P.p_offset, P.p_filesz, FSize))
        throw EElfError("файл обрезан или повреждён: сегмент за концом файла");
      return P.p_offset + Delta;
    }
  }
  throw EElfError("файл повреждён: адрес вне всех сегментов");
}

void TElfFile::ReadDynamic(TDynamic& Dyn) {
  for (uint16_t I = 0; I < FPhNum; ++I) {
    Elf64_Phdr P;
    ReadAt(FPhOff + uint64_t(I) * sizeof P, &P, sizeof P);
    if (P.p_type != PT_DYNAMIC)
      continue;
    if (!RangeInside(P.p_offset, P.p_filesz, FSize))
      throw EElfError("файл обрезан или повреждён: динамический раздел за концом файла");
    Dyn.Present = true;
    uint64_t Count = P.p_filesz / sizeof(Elf64_Dyn);
    if (Count > MaxDynamicEntries)
      throw EElfError("файл повреждён: слишком большой динамический раздел");
    for (uint64_t K = 0; K < Count; ++K) {
      Elf64_Dyn D;
      ReadAt(P.p_offset + K * sizeof D, &D, sizeof D);
      switch (D.d_tag) {
      case DT_NULL:
        K = Count;
        break;
      case DT_NEEDED:
        Dyn.Needed.push_back(D.d_un.d_val);
        break;
      case DT_STRTAB:
        Dyn.StrTab = D.d_un.d_ptr;
        Dyn.HasStrTab = true;
        break;
      case DT_STRSZ:
        Dyn.StrSz = D.d_un.d_val;
        Dyn.HasStrSz = true;
        break;
      case DT_RUNPATH:
        Dyn.RunPath = D.d_un.d_val;
        Dyn.HasRunPath = true;
        break;
      case DT_RPATH:
        Dyn.RPath = D.d_un.d_val;
        Dyn.HasRPath = true;
        break;
      default:
        break;
      }
    }
    return;
  }
}

std::string TElfFile::ReadString(uint64_t TableOffset, uint64_t TableSize, uint64_t Index) {
  if (Index >= TableSize)
    throw EElfError("файл повреждён: строка вне своей таблицы");
  uint64_t Max = std::min(TableSize - Index, MaxStringLength + 1);
  std::string S(Max, '\0');
  ReadAt(TableOffset + Index, S.data(), Max);
  size_t End = S.find('\0');
  if (End == std::string::npos)
    throw EElfError("файл повреждён: незавершённая или слишком длинная строка");
  S.resize(End);
  return S;
}

std::vector<std::string> TElfFile::GetNeeded() {
  TDynamic Dyn;
  ReadDynamic(Dyn);
  std::vector<std::string> Result;
  if (Dyn.Needed.empty())
    return Result;
  if (!Dyn.HasStrTab || !Dyn.HasStrSz)
    throw EElfError("файл повреждён: у динамического раздела нет таблицы строк");
  uint64_t Table = VirtualToOffset(Dyn.StrTab, Dyn.StrSz);
  for (uint64_t Index : Dyn.Needed)
    Result.push_back(ReadString(Table, Dyn.StrSz, Index));
  return Result;
}

std::vector<std::string> TElfFile::GetRunPaths() {
  TDynamic Dyn;
  ReadDynamic(Dyn);
  std::vector<std::string> Result;
  if (!Dyn.HasRunPath && !Dyn.HasRPath)
    return Result;
  if (!Dyn.HasStrTab || !Dyn.HasStrSz)
    throw EElfError("файл повреждён: у динамического раздела нет таблицы строк");
  uint64_t Table = VirtualToOffset(Dyn.StrTab, Dyn.StrSz);
  std::string Paths = ReadString(Table, Dyn.StrSz, Dyn.HasRunPath ? Dyn.RunPath : Dyn.RPath);
  size_t Start = 0;
  while (Start <= Paths.size()) {
    size_t Colon = Paths.find(':', Start);
    if (Colon == std::string::npos)
      Colon = Paths.size();
    if (Colon > Start)
      Result.push_back(Paths.substr(Start, Colon - Start));
    Start = Colon + 1;
  }
  return Result;
}

bool TElfFile::ReadSection(const char* Name, std::string& Data, uint64_t MaxSize) {
  Data.clear();
  if (FShNum == 0 || FShStrNdx >= FShNum)
    return false;
  Elf64_Shdr Names;
  ReadAt(FShOff + uint64_t(FShStrNdx) * sizeof Names, &Names, sizeof Names);
  if (Names.sh_type != SHT_STRTAB || !RangeInside(Names.sh_offset, Names.sh_size, FSize))
    throw EElfError("файл обрезан или повреждён: имена разделов за концом файла");
  for (uint16_t I = 0; I < FShNum; ++I) {
    Elf64_Shdr S;
    ReadAt(FShOff + uint64_t(I) * sizeof S, &S, sizeof S);
    if (S.sh_name >= Names.sh_size)
      continue;
    if (ReadString(Names.sh_offset, Names.sh_size, S.sh_name) != Name)
      continue;
    if (S.sh_type == SHT_NOBITS || S.sh_size > MaxSize)
      return false;
    if (!RangeInside(S.sh_offset, S.sh_size, FSize))
      throw EElfError("файл обрезан или повреждён: раздел за концом файла");
    Data.resize(S.sh_size);
    ReadAt(S.sh_offset, Data.data(), S.sh_size);
    return true;
  }
  return false;
}

} // namespace Deskbay
