#pragma once

// The example algorithms of the help's pages. An example is written in a
// <pre class="alg"> block, one block of the flowchart per line, the way
// "algtool show" prints a chart without its first line:
//
//   Блок вычислений: S=0
//   Цикл с параметром: I=1,10,1
//     Блок вычислений: S=S+I
//   Ввод-вывод: Вывод S
//
// A block's lines are joined by " | "; what a block holds is indented by two
// more spaces than the block, the two branches of a branch under "да:" and
// "нет:"; a block without lines is its kind alone. After the example, before the next one, may come
// the values it reads (<pre class="in">, one a line), the lines it prints (<pre class="out">) or
// the error it stops with (<pre class="err">). An example whose id starts with "pic-" is drawn into
// the picture of the same name without that prefix.

#include "Flowmodel/Flowmodel_Main.h"

#include <string>
#include <string_view>
#include <vector>

namespace Deskbay::Help {

struct THelpExample {
  std::string Name;   // the id, or "page.html:line" when it has none
  std::string Where;  // "page.html, строка N", for messages
  std::string Chart;  // the algorithm as written, entities decoded
  std::string Input;  // values to type, one a line
  std::string Output; // what it prints
  bool HasOutput = false;
  std::string Error;   // the error it stops with; empty when it ends normally
  std::string Picture; // the picture it draws, without ".png"; empty when none
};

// The text of HTML with the tags left out and the entities of the pages
// (&lt; &gt; &amp; &quot; &nbsp; and numeric ones) decoded.
std::string HtmlToText(std::string_view Html);

// The examples of one page; PageName names it in messages.
std::vector<THelpExample> ParseHelpExamples(std::string_view Html, const std::string& PageName);

// The examples of a page file; a file that cannot be read is an error naming
// it.
std::vector<THelpExample> ReadHelpExamples(const std::string& FileName);

// Fills Alg's main sequence from Chart. A line that is no block, a kind of
// block that does not exist or an indent that fits nowhere is an error
// naming Where and the line.
void BuildHelpChart(TAlgorithm& Alg, const std::string& Chart, const std::string& Where);

} // namespace Deskbay::Help
