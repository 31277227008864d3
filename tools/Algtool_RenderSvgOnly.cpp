// "algtool render" in a build without the Qt parts: SVG only, which the
// logic layer draws by itself.

#include "Algtool_Render.h"

#include "Algtool_Files.h"

#include "Corekit/SysUtils.h"

#include <filesystem>

namespace Deskbay::Algtool {

void WriteAlgorithmPicture(TAlgorithm& Alg, const std::string& FileName, int /*Percent*/,
                           const std::string& /*Header*/) {
  const std::string Ext = LowerCaseRu(std::filesystem::path(FileName).extension().string());
  if (Ext.empty() || Ext == ".svg") {
    RenderAlgorithmSvg(Alg, FileName);
    return;
  }
  if (Ext == ".png" || Ext == ".pdf")
    throw Exception(Format("Рисунок \"%s\" не записан: эта сборка algtool пишет только SVG "
                           "(PNG и PDF рисует сборка с графическим интерфейсом).",
                           FileName.c_str()));
  throw Exception(
      Format("Неизвестный формат рисунка \"%s\": годятся .svg, .png и .pdf.", FileName.c_str()));
}

} // namespace Deskbay::Algtool
