#include "QtHooks.h"

#include "dlgInputString.h"

namespace Deskbay {

bool TQtInputProvider::InputString(const std::string& Caption, const std::string& Prompt,
                                   std::string& Value, const TInputStringOptions& Options) {
  return ExecInputString(Caption, Prompt, Value, Options);
}

TGuiHooks::TGuiHooks()
    : FPreviousMetrics(SetTextMetrics(&FMetrics)), FPreviousInput(SetInputProvider(&FInput)) {}

TGuiHooks::~TGuiHooks() {
  SetInputProvider(FPreviousInput);
  SetTextMetrics(FPreviousMetrics);
}

} // namespace Deskbay
