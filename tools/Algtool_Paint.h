#pragma once

// The one function of algtool's painting module (libAlgtoolPaint.so), which
// algtool loads by name when a picture is PNG or PDF: paints Alg into
// FileName as ExportChart does, Qt started on its offscreen platform for
// this picture; false with the reason in Error when it could not.

#include "Flowmodel/Flowmodel_Main.h"

#include <string>

extern "C" {
using TDeskbayAlgtoolPaint = bool (*)(Deskbay::TAlgorithm& Alg, const std::string& FileName,
                                      int Percent, const std::string& Header, std::string& Error);
}

inline constexpr const char* AlgtoolPaintModule = "libAlgtoolPaint.so";
inline constexpr const char* AlgtoolPaintFunction = "DeskbayAlgtoolPaint";
