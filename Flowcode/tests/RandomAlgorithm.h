#pragma once

// Random well-formed algorithms for the differential test: every block
// kind, nesting, input, output, the ten functions, MOD and powers, and
// arithmetic that sometimes fails (division by zero, roots and logarithms
// of negative numbers, powers of negative bases, numbers too large). Loops
// always end: counting loops have fixed bounds, condition loops count with
// a variable of their own that nothing else assigns.

#include <cstdint>
#include <string>

namespace Deskbay {
class TAlgorithm;
}

namespace Deskbay::Testing {

// Fills the empty Alg from Seed, and gives the input lines it may ask for.
void MakeRandomAlgorithm(TAlgorithm& Alg, std::uint32_t Seed, std::string& Input);

} // namespace Deskbay::Testing
