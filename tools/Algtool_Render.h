#pragma once

// "algtool render": the flowchart of an algorithm as a picture file, in the
// format the file's extension names.

#include "Flowmodel/Flowmodel_Main.h"

#include <string>

namespace Deskbay::Algtool {

// Writes the flowchart of Alg into FileName as SVG, PNG or PDF by its
// extension (any letter case): the pictures the desktop program's export
// writes. A name without an extension (a device, a pipe) gets SVG. Percent is the PNG's scale (100
// or 200); Header heads the PDF's pages (the algorithm's file name, as the window puts it there).
// SVG needs no Qt. PNG and PDF are painted by Qt on its offscreen platform,
// started for this one picture and ended with it, so no display is needed;
// a build without the Qt parts refuses them with a reason. Any other
// extension raises "Неизвестный формат рисунка …". The file is written
// whole or not at all: a failure leaves an existing file as it was.
void WriteAlgorithmPicture(TAlgorithm& Alg, const std::string& FileName, int Percent,
                           const std::string& Header);

} // namespace Deskbay::Algtool
