#pragma once

// "algtool task make": a task pack (Flowcheck_Task) from the task's text, the
// starter chart and the teacher's test file with the numbers of the cases
// pupils may see.

#include "Flowcheck/Flowcheck_Task.h"

#include <string>

namespace Deskbay::Algtool {

struct TTaskMakeOptions {
  std::string TextFile, StartFile, TestsFile, OutFile;
  std::string Visible; // "1,2": case numbers from 1 in the test file's order
  TTaskRestrictions Restrictions;
};

// Reads, checks and writes the pack through SaveFileAtomically; a mistake
// raises an error naming the file: a text that is not UTF-8, a starter
// chart that is no algorithm or breaks the restrictions itself, a case
// number the test file has not.
void MakeTaskPack(const TTaskMakeOptions& Options);

// "1,3": the numbers, each once, from 1 to Count; false for anything else.
bool ParseCaseNumbers(const std::string& Text, size_t Count, std::vector<size_t>& Numbers);

} // namespace Deskbay::Algtool
