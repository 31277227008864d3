#pragma once

// The program text in Python 3.

#include "Flowcode_Style.h"

#include <memory>

namespace Deskbay {

std::unique_ptr<TCodeStyle> MakePythonStyle();

} // namespace Deskbay
