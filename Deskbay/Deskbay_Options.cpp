#include "Deskbay_Options.h"

#include "Corekit/ModMgr.h"
#include "Corekit/VersionInfo.h"

#include <cstring>
#include <ostream>

namespace Deskbay {

namespace {

const char* const Usage = "Использование: Deskbay [ФАЙЛ...]\n"
                          "  Открыть среду Deskbay; каждый названный файл алгоритма открывается\n"
                          "  в своём окне.\n"
                          "  Deskbay --version    показать версию\n"
                          "  Deskbay --help       показать эту справку\n"
                          "Справка о составлении алгоритмов и их языке - в меню \"?\" (F1).\n";

} // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv, std::ostream& Out) {
  for (int I = 1; I < argc; ++I) {
    if (std::strcmp(argv[I], "--version") == 0) {
      // The version every module carries, which the modules dialog shows.
      Out << "Deskbay " << TVersionInfo(GetProgramFileName()).GetVersionString() << '\n';
      return 0;
    }
    if (std::strcmp(argv[I], "--help") == 0 || std::strcmp(argv[I], "-h") == 0) {
      Out << Usage;
      return 0;
    }
  }
  return std::nullopt;
}

} // namespace Deskbay
