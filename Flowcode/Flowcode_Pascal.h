#pragma once

// The program text in Pascal (Free Pascal's default mode), computing in
// Extended as the interpreter does, so that it prints the same digits.

#include "Flowcode_Style.h"

#include <memory>

namespace Deskbay {

std::unique_ptr<TCodeStyle> MakePascalStyle();

} // namespace Deskbay
