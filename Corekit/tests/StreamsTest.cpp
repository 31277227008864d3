#include "Corekit/Streams.h"
#include "Corekit/MiscUtils_StreamHelpers.h"
#include "Corekit/tests/FileBytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Deskbay;

using namespace Deskbay::Testing;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> List) {
  std::vector<uint8_t> V;
  for (int B : List)
    V.push_back(static_cast<uint8_t>(B));
  return V;
}

TMemoryStream Over(const std::vector<uint8_t>& Data) {
  return TMemoryStream(Data.data(), Data.size());
}

std::filesystem::path TempPath(const char* Name) {
  return std::filesystem::temp_directory_path() /
         (std::string("deskbay-streams-") + std::to_string(::getpid()) + "-" + Name);
}

} // namespace

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream S;
  S.WriteBuffer("abcdef", 6);
  EXPECT_EQ(S.GetPosition(), 6);
  EXPECT_EQ(S.GetSize(), 6);
  EXPECT_EQ(S.Seek(-2, soEnd), 4);
  char Buf[8] = {};
  EXPECT_EQ(S.Read(Buf, 8), 2); // a short read answers what came
  EXPECT_EQ(std::string(Buf, 2), "ef");
  EXPECT_EQ(S.Read(Buf, 1), 0);

  // A write beyond the end fills the gap with zeros.
  S.SetPosition(8);
  S.WriteBuffer("x", 1);
  EXPECT_EQ(S.GetBytes(), Bytes({'a', 'b', 'c', 'd', 'e', 'f', 0, 0, 'x'}));

  S.SetSize(3);
  EXPECT_EQ(S.GetPosition(), 3);
  EXPECT_EQ(S.Seek(-1, soCurrent), 2);
  EXPECT_EQ(MessageOf([&] { S.Seek(-3, soCurrent); }), "Stream seek error");
  EXPECT_EQ(S.GetPosition(), 2);
}

TEST(MemoryStream, ShortBuffersRaiseTheStreamErrorsAndCopiesGoInPieces) {
  const std::vector<uint8_t> Data = Bytes({1, 2, 3});
  TMemoryStream S = Over(Data);
  EXPECT_EQ(S.GetPosition(), 0);
  uint8_t Buf[4];
  EXPECT_EQ(MessageOf([&] { S.ReadBuffer(Buf, 4); }), "Stream read error");

  // A count beyond what the source holds fails once the source runs dry.
  S.SetPosition(0);
  TMemoryStream Target;
  EXPECT_THROW(Target.CopyFrom(&S, int64_t(1) << 40), EReadError);
  EXPECT_EQ(Target.GetSize(), 0); // pieces are read before they are written

  // Count 0 copies the whole source from its start.
  S.SetPosition(2);
  TMemoryStream All;
  EXPECT_EQ(All.CopyFrom(&S, 0), 3);
  EXPECT_EQ(All.GetBytes(), Data);
}

TEST(FileStream, CreatesReopensAndNamesTheFileWhenItCannotOpenIt) {
  const auto Path = TempPath("file");
  {
    TFileStream F(Path.string(), fmCreate);
    F.WriteBuffer("hello", 5);
    EXPECT_EQ(F.GetSize(), 5);
    F.SetSize(4);
    EXPECT_EQ(F.GetPosition(), 4);
  }
  {
    TFileStream F(Path.string(), fmOpenRead);
    EXPECT_EQ(ReadStreamString(&F), "hell");
    EXPECT_THROW(F.WriteBuffer("x", 1), EWriteError); // opened for reading only
  }
  EXPECT_EQ(MessageOf([&] { TFileStream F(Path.string(), fmCreateNew); }),
            "Не удалось создать файл \"" + Path.string() + "\": " + SysErrorMessage(EEXIST));
  std::filesystem::remove(Path);
  EXPECT_EQ(MessageOf([&] { TFileStream F(Path.string(), fmOpenRead); }),
            "Не удалось открыть файл \"" + Path.string() + "\": " + SysErrorMessage(ENOENT));
  const std::string Dir = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(MessageOf([&] { TFileStream F(Dir, fmOpenRead); }),
            "Не удалось открыть файл \"" + Dir + "\": " + SysErrorMessage(EISDIR));
}

TEST(StreamHelpers, ValuesAreLittleEndianWithTheirMemorySizes) {
  TMemoryStream S;
  WriteStreamInteger(&S, -2);
  WriteStreamCardinal(&S, 0x11223344);
  WriteStreamFormat(&S, 1);
  WriteStreamInt64(&S, 0x0102030405060708);
  WriteStreamByte(&S, 0xAB);
  WriteStreamWord(&S, 0xBEEF);
  WriteStreamSmallInt(&S, -3);
  WriteStreamBoolean(&S, true);
  WriteStreamSingle(&S, 1.0f);
  WriteStreamDouble(&S, -2.0);
  WriteStreamDateTime(&S, 0.5);
  WriteStreamRect(&S, TRect{1, -1, 258, 3});
  TGUID G{0x17F4A01C, 0xB75B, 0x41F4, {0xAB, 0xFA, 0xED, 0xF8, 0x4E, 0x82, 0x00, 0xA8}};
  WriteStreamGUID(&S, G);

  const std::vector<uint8_t> Expected = Bytes({
      0xFE, 0xFF, 0xFF, 0xFF, 0x44, 0x33, 0x22, 0x11, 0x01, 0x00, 0x00, 0x00, // int, card, format
      0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,                         // int64
      0xAB, 0xEF, 0xBE, 0xFD, 0xFF, 0x01,                                     // byte .. boolean
      0x00, 0x00, 0x80, 0x3F,                                                 // single 1.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0,                         // double -2.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,                         // date-time 0.5
      0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x01, 0x00, 0x00, // rect
      0x03, 0x00, 0x00, 0x00,                                                 //
      0x1C, 0xA0, 0xF4, 0x17, 0x5B, 0xB7, 0xF4, 0x41,                         // GUID
      0xAB, 0xFA, 0xED, 0xF8, 0x4E, 0x82, 0x00, 0xA8,                         //
  });
  EXPECT_EQ(S.GetBytes(), Expected);

  S.SetPosition(0);
  EXPECT_EQ(ReadStreamInteger(&S), -2);
  EXPECT_EQ(ReadStreamCardinal(&S), 0x11223344u);
  EXPECT_EQ(ReadStreamFormat(&S), 1);
  EXPECT_EQ(ReadStreamInt64(&S), 0x0102030405060708);
  EXPECT_EQ(ReadStreamByte(&S), 0xAB);
  EXPECT_EQ(ReadStreamWord(&S), 0xBEEF);
  EXPECT_EQ(ReadStreamSmallInt(&S), -3);
  EXPECT_TRUE(ReadStreamBoolean(&S));
  EXPECT_EQ(ReadStreamSingle(&S), 1.0f);
  EXPECT_EQ(ReadStreamDouble(&S), -2.0);
  EXPECT_EQ(ReadStreamDateTime(&S), 0.5);
  const TRect R = ReadStreamRect(&S);
  EXPECT_EQ(R.Left, 1);
  EXPECT_EQ(R.Top, -1);
  EXPECT_EQ(R.Right, 258);
  EXPECT_EQ(R.Bottom, 3);
  EXPECT_EQ(ReadStreamGUID(&S), G);
  EXPECT_THROW(ReadStreamByte(&S), EReadError);
}

TEST(StreamHelpers, SizedStringsAndDamagedLengths) {
  TMemoryStream S;
  WriteStreamSizedString(&S, "ab");
  WriteStreamSizedString(&S, "");
  EXPECT_EQ(S.GetBytes(), Bytes({2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0}));
  S.SetPosition(0);
  EXPECT_EQ(ReadStreamSizedString(&S), "ab");
  EXPECT_EQ(ReadStreamSizedString(&S), "");

  // Negative, and far beyond the few bytes there are: the read error, at once.
  for (const auto& Data :
       {Bytes({0xFF, 0xFF, 0xFF, 0xFF, 'a'}), Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a'}),
        Bytes({0x00, 0x00, 0x10, 0x00, 'a'})}) {
    TMemoryStream D = Over(Data);
    EXPECT_THROW(ReadStreamSizedString(&D), EReadError);
  }
}

TEST(StreamHelpers, SizedStringListsClearTheTargetAndToleratePlentifulCounts) {
  TStringList Lines;
  Lines.SetLines({"один", "", "три"});
  TMemoryStream S;
  WriteStreamSizedStrings(&S, &Lines);
  WriteStreamSizedStrings(&S, static_cast<const TStringList*>(nullptr));
  S.SetPosition(0);
  TStringList Target;
  Target.Add("old");
  ReadStreamSizedStrings(&S, &Target);
  EXPECT_EQ(Target.Lines(), Lines.Lines());
  ReadStreamSizedStrings(&S, &Target);
  EXPECT_EQ(Target.GetCount(), 0);

  // A count of two billion over one line runs into the end, not out of memory.
  TMemoryStream D = Over(Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 'x'}));
  std::vector<std::string> V;
  EXPECT_THROW(ReadStreamSizedStrings(&D, V), EReadError);
  EXPECT_EQ(V, std::vector<std::string>{"x"});
}

TEST(StreamHelpers, TildeStringsUseTheRawFormOnlyForFourBytesEndingInATilde) {
  TMemoryStream S;
  bool Raw = false;
  WriteStreamTildeString(&S, "ABC~", Raw);
  EXPECT_TRUE(Raw);
  WriteStreamTildeString(&S, std::string("ABC\x7F"), Raw);
  EXPECT_TRUE(Raw);
  WriteStreamTildeString(&S, "OBJ", Raw);
  EXPECT_FALSE(Raw);
  WriteStreamTildeString(&S, "ABCD", Raw);
  EXPECT_FALSE(Raw);
  EXPECT_EQ(S.GetSize(), 4 + 4 + 7 + 8);
  S.SetPosition(0);
  EXPECT_EQ(ReadStreamTildeString(&S, Raw), "ABC~");
  EXPECT_TRUE(Raw);
  EXPECT_EQ(ReadStreamTildeString(&S), std::string("ABC\x7F"));
  EXPECT_EQ(ReadStreamTildeString(&S, Raw), "OBJ");
  EXPECT_FALSE(Raw);
  EXPECT_EQ(ReadStreamTildeString(&S), "ABCD");

  // The smallest raw value: the string's fourth byte is "~", the rest zeros.
  TMemoryStream D = Over(Bytes({0, 0, 0, 0x7E}));
  EXPECT_EQ(ReadStreamTildeString(&D), std::string("\0\0\0~", 4));
}

TEST(StreamHelpers, WholeStreamsAndTheRestOfAStream) {
  const std::vector<uint8_t> Data = Bytes({9, 8, 7});
  TMemoryStream Source = Over(Data);
  Source.SetPosition(1);
  TMemoryStream S;
  WriteStreamStream(&S, &Source);
  EXPECT_EQ(Source.GetPosition(), 1);
  TMemoryStream Empty;
  WriteStreamStream(&S, &Empty);
  WriteStreamString(&S, "tail");
  EXPECT_EQ(S.GetSize(), 4 + 3 + 4 + 4);

  S.SetPosition(0);
  TMemoryStream Target;
  Target.WriteBuffer("junk", 4);
  ReadStreamStream(&S, &Target);
  EXPECT_EQ(Target.GetBytes(), Data);
  EXPECT_EQ(Target.GetPosition(), 0);
  ReadStreamStream(&S, &Target);
  EXPECT_EQ(Target.GetSize(), 0);
  EXPECT_EQ(ReadStreamString(&S), "tail");
  EXPECT_EQ(ReadStreamString(&S), "");
}

namespace {

// A private folder for one test, removed with everything in it.
struct TScratchDir {
  explicit TScratchDir(const char* Name) : Path(TempPath(Name)) {
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TScratchDir() { std::filesystem::remove_all(Path); }
  std::string operator/(const char* Name) const { return (Path / Name).string(); }
  std::filesystem::path Path;
};

void SaveText(const std::string& FileName, const std::string& Text) {
  SaveFileAtomically(FileName, [&Text](TStream& S) {
    S.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  });
}

std::string ReadText(const std::string& FileName) {
  std::string S;
  if (FILE* F = std::fopen(FileName.c_str(), "rb")) {
    char Buf[4096];
    for (size_t N; (N = std::fread(Buf, 1, sizeof Buf, F)) > 0;)
      S.append(Buf, N);
    std::fclose(F);
  }
  return S;
}

mode_t FileType(const std::string& FileName) {
  struct stat St;
  return ::lstat(FileName.c_str(), &St) == 0 ? (St.st_mode & S_IFMT) : 0;
}

} // namespace

TEST(SaveFileAtomically, LinksAreFollowedEvenWhenTheyDangleAndLoopsAreNamed) {
  namespace fs = std::filesystem;
  TScratchDir Dir("links");
  fs::create_directories(Dir.Path / "sub");
  // A chain of relative links whose last one names a file not there yet.
  fs::create_symlink("b", Dir / "a");
  fs::create_symlink("sub/c", Dir / "b");
  fs::create_symlink("../d", Dir / "sub/c");
  SaveText(Dir / "a", "one");
  EXPECT_EQ(FileType(Dir / "d"), S_IFREG);
  EXPECT_EQ(ReadText(Dir / "d"), "one");
  for (const char* Link : {"a", "b", "sub/c"})
    EXPECT_EQ(FileType(Dir / Link), S_IFLNK) << Link;
  // Now the chain ends in a file, which is replaced in its place.
  SaveText(Dir / "a", "two");
  EXPECT_EQ(ReadText(Dir / "d"), "two");
  EXPECT_EQ(FileType(Dir / "a"), S_IFLNK);

  fs::create_symlink("loop2", Dir / "loop1");
  fs::create_symlink("loop1", Dir / "loop2");
  EXPECT_EQ(MessageOf([&] { SaveText(Dir / "loop1", "x"); }),
            "Не удалось сохранить файл \"" + (Dir / "loop1") + "\": " + SysErrorMessage(ELOOP));
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path), fs::directory_iterator()), 6)
      << "no temporary file is left behind";
}

TEST(SaveFileAtomically, AReplacedFileKeepsItsOwnerGroupAndPermissions) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root may give a file to another owner";
  TScratchDir Dir("owner");
  const std::string File = Dir / "f";
  SaveText(File, "old");
  ASSERT_EQ(::chown(File.c_str(), 4321, 8765), 0);
  ASSERT_EQ(::chmod(File.c_str(), 0640), 0);
  SaveText(File, "new");
  struct stat St;
  ASSERT_EQ(::stat(File.c_str(), &St), 0);
  EXPECT_EQ(ReadText(File), "new");
  EXPECT_EQ(St.st_uid, 4321u);
  EXPECT_EQ(St.st_gid, 8765u);
  EXPECT_EQ(St.st_mode & 07777, 0640u);
}

TEST(SaveFileAtomically, DevicesAndFifosAreWrittenIntoNeverReplaced) {
  TScratchDir Dir("nodes");
  const std::string Fifo = Dir / "fifo";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  std::string Received;
  std::thread Reader([&] { Received = ReadText(Fifo); });
  SaveText(Fifo, "through the pipe");
  Reader.join();
  EXPECT_EQ(Received, "through the pipe");
  EXPECT_EQ(FileType(Fifo), S_IFIFO);

  // A link to a device is followed to it, as the system's /dev/stdout is.
  const std::string Null = Dir / "null";
  const std::string Full = Dir / "full";
  if (::geteuid() != 0)
    GTEST_SKIP() << "device nodes are made by root only";
  ASSERT_EQ(::mknod(Null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  ASSERT_EQ(::mknod(Full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  std::filesystem::create_symlink("null", Dir / "to-null");
  SaveText(Null, "gone");
  SaveText(Dir / "to-null", "gone");
  EXPECT_EQ(FileType(Null), S_IFCHR);
  EXPECT_EQ(FileType(Dir / "to-null"), S_IFLNK);
  // A device that refuses the data is an error that names the file.
  EXPECT_EQ(MessageOf([&] { SaveText(Full, "no room"); }),
            "Не удалось записать файл \"" + Full + "\": " + SysErrorMessage(ENOSPC));
  EXPECT_EQ(FileType(Full), S_IFCHR);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path),
                          std::filesystem::directory_iterator()),
            4);
}

TEST(FileStream, ReadingRefusesDevicesAndFifosAtOnce) {
  TScratchDir Dir("read");
  const std::string Fifo = Dir / "fifo";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0); // no writer: opening it normally would wait
  for (const std::string& Name : {Fifo, std::string("/dev/null")})
    EXPECT_EQ(MessageOf([&] { TFileStream F(Name, fmOpenRead); }),
              "Не удалось открыть файл \"" + Name + "\": это не обычный файл")
        << Name;
}

TEST(FileStream, SmallFilesAreReadWholeAndLargerOnesRefusedUnread) {
  TScratchDir Dir("limited");
  const std::string File = Dir / "f";
  SaveText(File, "twelve bytes");
  EXPECT_EQ(ReadFileLimited(File, 12), "twelve bytes");
  EXPECT_EQ(MessageOf([&] { ReadFileLimited(File, 11); }),
            "Не удалось прочитать файл \"" + File + "\": файл больше 11 байт");
  // A device without end (/dev/zero, also behind a link) and a pipe
  // without a writer are refused at once, not read until memory runs out.
  std::filesystem::create_symlink("/dev/zero", Dir / "zero");
  ASSERT_EQ(::mkfifo((Dir / "fifo").c_str(), 0600), 0);
  for (const std::string& Name : {Dir / "zero", Dir / "fifo"})
    EXPECT_EQ(MessageOf([&] { ReadFileLimited(Name, 1 << 20); }),
              "Не удалось прочитать файл \"" + Name + "\": это не обычный файл");
  EXPECT_EQ(MessageOf([&] { ReadFileLimited(Dir.Path.string(), 1 << 20); }),
            "Не удалось прочитать файл \"" + Dir.Path.string() + "\": " + SysErrorMessage(EISDIR));
  try {
    ReadFileLimited(Dir / "missing", 10);
    ADD_FAILURE() << "a missing file was read";
  } catch (const EFOpenError& E) {
    EXPECT_EQ(E.GetErrorCode(), ENOENT);
  }
}

TEST(SaveFileAtomically, AReadOnlyFileIsRefusedAndKeptAsItWas) {
  TScratchDir Dir("readonly");
  const std::string File = Dir / "f";
  SaveText(File, "old");
  ASSERT_EQ(::chmod(File.c_str(), 0444), 0);
  struct stat Before;
  ASSERT_EQ(::stat(File.c_str(), &Before), 0);
  // Refused for every user, the superuser too: the file was made read-only.
  try {
    SaveText(File, "new");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const EFOpenError& E) {
    EXPECT_EQ(E.GetErrorCode(), EACCES);
    EXPECT_EQ(E.Message(), "Не удалось сохранить файл \"" + File + "\": файл защищён от записи.");
  }
  struct stat After;
  ASSERT_EQ(::stat(File.c_str(), &After), 0);
  EXPECT_EQ(ReadText(File), "old");
  EXPECT_EQ(After.st_ino, Before.st_ino) << "the file itself, not a copy";
  EXPECT_EQ(After.st_mode, Before.st_mode);
  EXPECT_EQ(After.st_gid, Before.st_gid);
  // Through a link the linked file decides.
  std::filesystem::create_symlink("f", Dir / "link");
  EXPECT_THROW(SaveText(Dir / "link", "new"), EFOpenError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path),
                          std::filesystem::directory_iterator()),
            2);
  // One write bit is enough for its owner.
  ASSERT_EQ(::chmod(File.c_str(), 0644), 0);
  SaveText(File, "new");
  EXPECT_EQ(ReadText(File), "new");
}

TEST(SaveFileAtomically, AFolderThatCannotBeWrittenIsNamedAsTheReason) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "the superuser writes into any folder";
  TScratchDir Dir("rofolder");
  const std::string File = Dir / "f";
  SaveText(File, "old");
  ASSERT_EQ(::chmod(Dir.Path.c_str(), 0555), 0);
  try {
    SaveText(File, "new");
    ADD_FAILURE() << "saved into a read-only folder";
  } catch (const EFOpenError& E) {
    EXPECT_EQ(E.GetErrorCode(), EACCES);
    EXPECT_EQ(E.Message(), "Не удалось сохранить файл \"" + File + "\": в папку \"" +
                               Dir.Path.string() + "\" нельзя записывать (" +
                               SysErrorMessage(EACCES) + ").");
  }
  ::chmod(Dir.Path.c_str(), 0755);
  EXPECT_EQ(ReadText(File), "old");
}

TEST(SaveFileAtomically, LeftoversOfInterruptedSavesGoWithTheNextSaveIntoTheFolder) {
  TScratchDir Dir("leftovers");
  // A process that is surely gone: a child that has ended and been reaped.
  const pid_t Gone = ::fork();
  if (Gone == 0)
    ::_exit(0);
  ASSERT_GT(Gone, 0);
  int Status;
  ASSERT_EQ(::waitpid(Gone, &Status, 0), Gone);
  const long Now = static_cast<long>(::time(nullptr));
  auto Make = [&](const std::string& Name, long Age) {
    const std::string Path = Dir / Name.c_str();
    SaveText(Path, "x");
    struct timeval Times[2] = {{Now - Age, 0}, {Now - Age, 0}};
    ::utimes(Path.c_str(), Times);
    return Path;
  };
  const std::string Killed = Make(Format("a.alg.%d-0-%ld.tmp", int(Gone), Now - 60), 60);
  const std::string Ancient = Make(Format("b.alg.%d-3-%ld.tmp", int(::getpid()), Now), 2 * 86400);
  // Not ours, or still being written by a live process.
  const std::string Running = Make(Format("c.alg.%d-1-%ld.tmp", int(::getpid()), Now - 60), 60);
  const std::string Fresh = Make(Format("d.alg.%d-1-%ld.tmp", int(Gone), Now), -100);
  const std::string Pupils = Make("notes.tmp", 2 * 86400);
  const std::string Odd = Make(Format("e.alg.%d-x-1.tmp", int(Gone)), 2 * 86400);
  const std::string Link = Dir / Format("f.alg.%d-1-1.tmp", int(Gone)).c_str();
  std::filesystem::create_symlink("a.alg", Link);

  SaveText(Dir / "a.alg", "saved");
  for (const std::string& Path : {Killed, Ancient})
    EXPECT_FALSE(std::filesystem::exists(Path)) << Path;
  for (const std::string& Path : {Running, Fresh, Pupils, Odd, Link})
    EXPECT_TRUE(std::filesystem::is_symlink(Path) || std::filesystem::exists(Path)) << Path;
  EXPECT_EQ(ReadText(Dir / "a.alg"), "saved");
}
