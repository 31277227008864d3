#pragma once

// Reports for the platforms where schools keep grades.
//
// JUnit XML (read by GitHub Classroom, GitLab, Jenkins): a <testsuites>
// document, one <testsuite> per pupil's file (name: the file), one
// <testcase> per case (classname: the file without its folder), a
// <failure> with the reason and the lines for a failed case, an <error> for
// a file that could not be checked, each case's weight as the suite's
// property "weight:CASE". The pupils of such a platform read the report, so
// a hidden case is named "скрытый случай N" there and its failure says only
// "не пройден".
//
// Gradescope's results.json for one submission: score and max_score, and
// one test per case (name, score, max_score, status "passed" or "failed",
// output, visibility "hidden" for a hidden case, which Gradescope shows to
// the teacher only, so its output keeps the reason).

#include "Algtool_Check.h"
#include "Flowcheck/Flowcheck_Marks.h"

#include <string>

namespace Deskbay::Algtool {

std::string JunitHead();
std::string JunitSuite(const TFileResult& File);
std::string JunitTail();

std::string GradescopeResults(const TFileResult& File, const TMarkScale& Marks);

} // namespace Deskbay::Algtool
