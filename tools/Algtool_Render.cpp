#include "Algtool_Render.h"

#include "Algtool_Files.h"
#include "Algtool_Paint.h"

#include "Corekit/SysUtils.h"

#include "Flowmodel/Flowmodel_Describe.h"

#include <dlfcn.h>

#include <filesystem>

namespace Deskbay::Algtool {

namespace {

#ifdef DESKBAY_ALGTOOL_PAINTS
// The painting module, loaded once and kept (Qt is not made to be unloaded).
// Found as the tool's own libraries are: beside it in a build, in its
// private library folder installed.
TDeskbayAlgtoolPaint PaintFunction(const std::string& FileName) {
  static TDeskbayAlgtoolPaint Paint = nullptr;
  if (Paint)
    return Paint;
  // Beside the libraries algtool runs on (a build's bin, the installed
  // private library folder): found from where one of them was loaded, so
  // no interposed dlopen (a sanitizer's) searches elsewhere.
  std::string Path = AlgtoolPaintModule;
  Dl_info Library;
  if (dladdr(reinterpret_cast<void*>(&DescribeBlock), &Library) && Library.dli_fname)
    Path = (std::filesystem::path(Library.dli_fname).parent_path() / AlgtoolPaintModule).string();
  void* Module = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (Module)
    Paint = reinterpret_cast<TDeskbayAlgtoolPaint>(dlsym(Module, AlgtoolPaintFunction));
  if (!Paint) {
    const char* Why = dlerror();
    throw Exception(Format("Рисунок \"%s\" не записан: не загружается модуль рисования %s (%s).",
                           FileName.c_str(), AlgtoolPaintModule, Why ? Why : "нет функции"));
  }
  return Paint;
}
#endif

} // namespace

void WriteAlgorithmPicture(TAlgorithm& Alg, const std::string& FileName, int Percent,
                           const std::string& Header) {
  const std::string Ext = LowerCaseRu(std::filesystem::path(FileName).extension().string());
  if (Ext.empty() || Ext == ".svg") {
    RenderAlgorithmSvg(Alg, FileName);
    return;
  }
  if (Ext != ".png" && Ext != ".pdf")
    throw Exception(
        Format("Неизвестный формат рисунка \"%s\": годятся .svg, .png и .pdf.", FileName.c_str()));
#ifdef DESKBAY_ALGTOOL_PAINTS
  std::string Error;
  if (!PaintFunction(FileName)(Alg, FileName, Percent, Header, Error))
    throw Exception(Error);
#else
  (void)Percent;
  (void)Header;
  throw Exception(Format("Рисунок \"%s\" не записан: эта сборка algtool пишет только SVG "
                         "(PNG и PDF рисует сборка с графическим интерфейсом).",
                         FileName.c_str()));
#endif
}

} // namespace Deskbay::Algtool
