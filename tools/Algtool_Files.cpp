#include "Algtool_Files.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"
#include "Corekit/SvgCanvas.h"
#include "Corekit/SysUtils.h"
#include "Corekit/VisualUtils.h"

namespace Deskbay::Algtool {

void SaveAlgorithmFile(TAlgorithm& Alg, const std::string& FileName) {
  SaveObjectToFile(&Alg, FileName);
}

void RenderAlgorithmSvg(TAlgorithm& Alg, const std::string& FileName) {
  TCompositeImage Image;
  Alg.GetRoot()->Render(Image);
  const std::string Svg = CompositeImageToSvg(Image);
  SaveFileAtomically(FileName, [&Svg](TStream& File) {
    File.WriteBuffer(Svg.data(), static_cast<int64_t>(Svg.size()));
  });
}

} // namespace Deskbay::Algtool
