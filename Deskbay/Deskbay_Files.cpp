#include "Deskbay_Files.h"

#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include <QDir>

namespace Deskbay {

std::vector<std::string> CommandLineFiles(const QStringList& Arguments,
                                          const std::string& StartDir) {
  std::vector<std::string> Files;
  const QDir Start(QString::fromStdString(StartDir));
  for (qsizetype I = 1; I < Arguments.size(); ++I)
    Files.push_back(QDir::cleanPath(Start.absoluteFilePath(Arguments[I])).toStdString());
  return Files;
}

void OpenCommandLineFiles(TMainForm& Main, const std::vector<std::string>& Files) {
  for (const std::string& File : Files) {
    try {
      Main.OpenFile(File);
    } catch (const std::exception& E) {
      ShowException(E);
    }
  }
}

} // namespace Deskbay
