#pragma once

// Algorithm files as the command-line tool reads and writes them, and the
// readable description of blocks its subcommands print.

#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "Flowrun/Flowrun_Control.h"

#include <string>

namespace Deskbay::Algtool {

// Loads FileName into Alg (the algorithm brackets its own load, so its
// listeners hear of it once), as the desktop program does.
using Deskbay::LoadAlgorithmFile;
// Never leaves a half-written file behind.
void SaveAlgorithmFile(TAlgorithm& Alg, const std::string& FileName);

// The flowchart of Alg as an SVG file.
void RenderAlgorithmSvg(TAlgorithm& Alg, const std::string& FileName);

// Blocks in words, and error texts with plain line breaks.
using Deskbay::BlockKindName;
using Deskbay::DescribeBlock;
using Deskbay::MessageLines; // Flowrun_Control

} // namespace Deskbay::Algtool
