#include "Algtool_CheckFeedback.h"

#include "Algtool_Output.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"

#include <sys/stat.h>

#include <cerrno>

namespace Deskbay::Algtool {

namespace {

void WriteText(const std::string& FileName, const std::string& Text) {
  SaveFileAtomically(FileName, [&Text](TStream& File) {
    File.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  });
}

} // namespace

TFeedbackWriter::TFeedbackWriter(const std::string& Dir, const TMarkScale& Marks)
    : FDir(Dir), FMarks(Marks) {
  if (::mkdir(Dir.c_str(), 0777) != 0 && errno != EEXIST)
    throw Exception(Format("Не удалось создать папку отзывов \"%s\": %s",
                           VisibleText(Dir).c_str(), SysErrorMessage(errno).c_str()));
  struct stat St;
  if (::stat(Dir.c_str(), &St) != 0 || !S_ISDIR(St.st_mode))
    throw Exception(Format("\"%s\" не папка: отзывы класть некуда.", VisibleText(Dir).c_str()));
  if (!FDir.empty() && FDir.back() != '/')
    FDir += '/';
}

void TFeedbackWriter::Write(const TFileResult& File) {
  const std::string Name = FDir + FNames.Next(File.FileName);
  WriteText(Name + ".txt", FeedbackText(File, &FMarks));
  WriteText(Name + ".html", FeedbackHtml(File, &FMarks));
}

} // namespace Deskbay::Algtool
