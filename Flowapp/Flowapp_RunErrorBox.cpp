#include "Flowapp_RunErrorBox.h"

namespace Deskbay {

std::string RunErrorBoxText(const std::string& Message, const TErrorExplanation& Explanation) {
  std::string Text;
  Text.reserve(Message.size());
  for (char C : Message)
    if (C != '\r')
      Text += C;
  while (!Text.empty() && Text.back() == '\n')
    Text.pop_back();
  std::string Under;
  for (const std::string* Part : {&Explanation.Cyrillic, &Explanation.Values, &Explanation.Reason})
    if (!Part->empty()) {
      if (!Under.empty())
        Under += '\n';
      Under += *Part;
    }
  if (Under.empty())
    return Text;
  // A blank line between what happened and why.
  return Text.empty() ? Under : Text + "\n\n" + Under;
}

} // namespace Deskbay
