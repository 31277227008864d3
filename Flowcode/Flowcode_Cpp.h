#pragma once

// The program text in C++17, computing in long double as the interpreter
// does, so that it prints the same digits.

#include "Flowcode_Style.h"

#include <memory>

namespace Deskbay {

std::unique_ptr<TCodeStyle> MakeCppStyle();

} // namespace Deskbay
