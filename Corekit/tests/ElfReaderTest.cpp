// Reading required libraries and the version section from damaged files:
// each damage ends in the reader's error or in "no version", never in a
// crash, a hang or a read outside the file.

#include "FileBytes.h"
#include "TestDir.h"

#include "Corekit/ElfReader.h"
#include "Corekit/ModMgr.h"
#include "Corekit/VersionInfo.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string FixtureDir = FIXTURE_DIR;

template <class T> T Get(const std::string& Bytes, size_t At) {
  T V;
  memcpy(&V, Bytes.data() + At, sizeof V);
  return V;
}
template <class T> void Put(std::string& Bytes, size_t At, T V) {
  memcpy(Bytes.data() + At, &V, sizeof V);
}

// Where the structures the readers use lie in a well-formed file.
struct TLayout {
  size_t DynamicPhdr = 0; // offset of the PT_DYNAMIC program header
  size_t VersionShdr = 0; // offset of the version section's header
};

TLayout LayoutOf(const std::string& F) {
  TLayout L;
  auto H = Get<Elf64_Ehdr>(F, 0);
  for (int I = 0; I < H.e_phnum; ++I) {
    size_t At = H.e_phoff + I * sizeof(Elf64_Phdr);
    if (Get<Elf64_Phdr>(F, At).p_type == PT_DYNAMIC)
      L.DynamicPhdr = At;
  }
  auto Names = Get<Elf64_Shdr>(F, H.e_shoff + H.e_shstrndx * sizeof(Elf64_Shdr));
  for (int I = 0; I < H.e_shnum; ++I) {
    size_t At = H.e_shoff + I * sizeof(Elf64_Shdr);
    if (strcmp(F.data() + Names.sh_offset + Get<Elf64_Shdr>(F, At).sh_name, VersionSectionName) ==
        0)
      L.VersionShdr = At;
  }
  return L;
}

// Everything the readers offer, on one file; true when nothing failed.
bool ReadAll(const std::string& File) {
  bool Whole = true;
  try {
    TElfFile Elf(File);
    try {
      Elf.GetNeeded();
      Elf.GetRunPaths();
    } catch (const EElfError&) {
      Whole = false;
    }
    std::string Data;
    try {
      Elf.ReadSection(VersionSectionName, Data);
    } catch (const EElfError&) {
      Whole = false;
    }
  } catch (const EElfError&) {
    Whole = false;
  }
  try {
    TVersionInfo Info(File);
    Info.GetVersionString();
    GetFileDescription(File, &Info);
  } catch (const Exception&) {
    // "Bad file MajorVersion" is the one error a version reader may raise
  }
  return Whole;
}

class ElfReaderTest : public testing::Test {
protected:
  void SetUp() override {
    Base = ReadFileBytes(FixtureDir + "/FixtureBase.so");
    User = ReadFileBytes(FixtureDir + "/FixtureUser.so");
    ASSERT_GT(Base.size(), sizeof(Elf64_Ehdr));
    ASSERT_GT(User.size(), sizeof(Elf64_Ehdr));
  }
  std::string Save(const std::string& Bytes) {
    std::string Name = Dir / ("f" + std::to_string(Count++) + ".so");
    WriteFileBytes(Name, Bytes);
    return Name;
  }
  // The reader's error while opening the file and listing what it needs.
  std::string NeededError(const std::string& Bytes) {
    std::string File = Save(Bytes);
    return MessageOf([&] { TElfFile(File).GetNeeded(); });
  }
  bool HasVersion(const std::string& Bytes) { return TVersionInfo(Save(Bytes)).HasVersion(); }

  TTestDir Dir;
  std::string Base, User;
  int Count = 0;
};

TEST_F(ElfReaderTest, ReadsNeededLibrariesAndTheVersionSection) {
  TElfFile Elf(FixtureDir + "/FixtureUser.so");
  auto Needed = Elf.GetNeeded();
  EXPECT_NE(std::find(Needed.begin(), Needed.end(), "FixtureBase.so"), Needed.end());
  std::string Data;
  EXPECT_FALSE(Elf.ReadSection(VersionSectionName, Data));

  TElfFile WithVersion(FixtureDir + "/FixtureBase.so");
  ASSERT_TRUE(WithVersion.ReadSection(VersionSectionName, Data));
  EXPECT_EQ(Data.rfind("DeskbayVersionInfo 1\n", 0), 0u);
}

TEST_F(ElfReaderTest, RefusesFilesThatAreNoLibrariesOfThisMachine) {
  EXPECT_EQ(NeededError("plain text, long enough to hold an ELF header if it were one....."),
            "это не библиотека (файл не в формате ELF)");
  const std::string Cut = "файл обрезан или повреждён: данные за концом файла";
  EXPECT_EQ(NeededError(""), Cut);
  EXPECT_EQ(NeededError(Base.substr(0, 40)), Cut);

  std::string Wide = Base;
  Wide[EI_CLASS] = ELFCLASS32;
  EXPECT_EQ(NeededError(Wide), "это 32-битная библиотека, а нужна 64-битная");

  std::string Foreign = Base;
  Put<uint16_t>(Foreign, offsetof(Elf64_Ehdr, e_machine), EM_ARM);
  EXPECT_EQ(NeededError(Foreign), "библиотека для процессора другого типа");

  // Cut off before its section headers: no version, and no package.
  std::string Half = Base.substr(0, Base.size() / 2);
  EXPECT_EQ(NeededError(Half), "файл обрезан или повреждён: заголовки разделов за концом файла");
  EXPECT_FALSE(HasVersion(Half));
  EXPECT_EQ(MessageOf([&] { TElfFile(Save("")); }), Cut);
  EXPECT_EQ(MessageOf([&] { TElfFile(Dir / "missing.so"); }), SysErrorMessage(ENOENT));
  // A pipe without a writer is refused at once, not waited on.
  ASSERT_EQ(mkfifo((Dir / "pipe.so").c_str(), 0600), 0);
  EXPECT_EQ(MessageOf([&] { TElfFile(Dir / "pipe.so"); }), "это не обычный файл");
}

TEST_F(ElfReaderTest, DynamicSectionPointingOutsideTheFile) {
  TLayout L = LayoutOf(User);
  ASSERT_NE(L.DynamicPhdr, 0u);
  std::string Far = User;
  Put<uint64_t>(Far, L.DynamicPhdr + offsetof(Elf64_Phdr, p_offset), User.size() - 8);
  const std::string Outside = "файл обрезан или повреждён: динамический раздел за концом файла";
  EXPECT_EQ(NeededError(Far), Outside);

  std::string Huge = User;
  Put<uint64_t>(Huge, L.DynamicPhdr + offsetof(Elf64_Phdr, p_filesz), ~uint64_t(0) - 4);
  EXPECT_EQ(NeededError(Huge), Outside);

  // A string table address that no segment maps.
  std::string Strtab = User;
  auto Dyn = Get<Elf64_Phdr>(User, L.DynamicPhdr);
  for (size_t At = Dyn.p_offset; At + sizeof(Elf64_Dyn) <= Dyn.p_offset + Dyn.p_filesz;
       At += sizeof(Elf64_Dyn))
    if (Get<Elf64_Dyn>(User, At).d_tag == DT_STRTAB)
      Put<uint64_t>(Strtab, At + offsetof(Elf64_Dyn, d_un), 0x7fff00000000ull);
  EXPECT_EQ(NeededError(Strtab), "файл повреждён: адрес вне всех сегментов");
}

TEST_F(ElfReaderTest, VersionSectionThatLiesAboutItsSize) {
  TLayout L = LayoutOf(Base);
  ASSERT_NE(L.VersionShdr, 0u);
  ASSERT_TRUE(HasVersion(Base));

  std::string Long = Base;
  Put<uint64_t>(Long, L.VersionShdr + offsetof(Elf64_Shdr, sh_size), Base.size());
  EXPECT_FALSE(HasVersion(Long));

  std::string Past = Base;
  Put<uint64_t>(Past, L.VersionShdr + offsetof(Elf64_Shdr, sh_offset), Base.size() - 4);
  EXPECT_FALSE(HasVersion(Past));

  std::string Enormous = Base;
  Put<uint64_t>(Enormous, L.VersionShdr + offsetof(Elf64_Shdr, sh_size), ~uint64_t(0));
  EXPECT_FALSE(HasVersion(Enormous));

  // Shorter than its text: the header line alone is no version either.
  std::string Short = Base;
  Put<uint64_t>(Short, L.VersionShdr + offsetof(Elf64_Shdr, sh_size), 10);
  EXPECT_FALSE(HasVersion(Short));

  // A damaged file is no package for the module manager.
  std::string File = Save(Long.substr(0, 100));
  TModuleManager Manager;
  Manager.OnModuleRequired = [&](TModuleManager*, const std::string&, std::string& Path) {
    Path = File;
  };
  EXPECT_EQ(MessageOf([&] { Manager.MountModule("f.so"); }),
            "Не удалось прочитать модуль \"" + File +
                "\": файл обрезан или повреждён: заголовки сегментов за концом файла.");
}

TEST_F(ElfReaderTest, FuzzedFilesNeverCrashTheReaders) {
#if defined(__SANITIZE_ADDRESS__)
  const int Rounds = 300;
#else
  const int Rounds = 2000;
#endif
  std::mt19937_64 Random(20261208);
  const std::string* Sources[] = {&Base, &User};
  TLayout Layouts[] = {LayoutOf(Base), LayoutOf(User)};
  int Failed = 0;
  for (int Round = 0; Round < Rounds; ++Round) {
    int Which = Round % 2;
    std::string F = *Sources[Which];
    switch (Random() % 4) {
    case 0: // random bytes anywhere
      for (int K = 1 + Random() % 8; K > 0; --K)
        F[Random() % F.size()] = static_cast<char>(Random());
      break;
    case 1: // random bytes in the headers the readers walk first
      for (int K = 1 + Random() % 4; K > 0; --K)
        F[Random() % std::min<size_t>(F.size(), 512)] = static_cast<char>(Random());
      break;
    case 2: { // a whole field of a structure the readers trust
      size_t Targets[] = {offsetof(Elf64_Ehdr, e_phoff),
                          offsetof(Elf64_Ehdr, e_shoff),
                          Layouts[Which].DynamicPhdr + offsetof(Elf64_Phdr, p_offset),
                          Layouts[Which].DynamicPhdr + offsetof(Elf64_Phdr, p_filesz),
                          Layouts[Which].VersionShdr + offsetof(Elf64_Shdr, sh_offset),
                          Layouts[Which].VersionShdr + offsetof(Elf64_Shdr, sh_size),
                          Layouts[Which].VersionShdr + offsetof(Elf64_Shdr, sh_name)};
      size_t At = Targets[Random() % std::size(Targets)];
      if (At > 0 && At + 8 <= F.size())
        Put<uint64_t>(F, At, Random() % 3 == 0 ? Random() : Random() % (F.size() * 2));
      break;
    }
    default: // truncated
      F.resize(Random() % F.size());
      break;
    }
    if (!ReadAll(Save(F)))
      ++Failed;
    unlink((Dir / ("f" + std::to_string(Count - 1) + ".so")).c_str());
  }
  // The damage has to reach the readers for the run to mean anything.
  EXPECT_GT(Failed, Rounds / 10);
}

} // namespace
