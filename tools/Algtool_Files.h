#pragma once

// Algorithm files as the command-line tool reads and writes them, and the
// readable description of blocks its subcommands print.

#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <string>

namespace Deskbay::Algtool {

// Loads FileName into Alg (the algorithm brackets its own load, so its
// listeners hear of it once), as the desktop program does.
using Deskbay::LoadAlgorithmFile;
// Never leaves a half-written file behind.
void SaveAlgorithmFile(TAlgorithm& Alg, const std::string& FileName);

// The flowchart of Alg as an SVG file.
void RenderAlgorithmSvg(TAlgorithm& Alg, const std::string& FileName);

// The kind of a block as the palette names it ("Блок вычислений" ...).
std::string BlockKindName(const TAlgBlock* Block);
// Kind and text lines on one line: "Блок вычислений: X=1 | Y=2".
std::string DescribeBlock(const TAlgBlock* Block);

// An error text with its internal CR LF line breaks as plain newlines (as
// the checker compares them; what reaches a terminal goes through
// ErrorLines of Algtool_Output).
std::string MessageLines(const std::string& Message);

} // namespace Deskbay::Algtool
