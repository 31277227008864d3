#include "Flowcheck_Marks.h"

#include "Flowcheck_TestFile.h"

#include "Corekit/SysUtils.h"

#include <algorithm>

namespace Deskbay {

namespace {
__extension__ using TWide = __int128;
}

int64_t TMarkScale::MarkFor(int64_t Score, int64_t MaxScore) const {
  for (const TMarkStep& Step : Steps) {
    // Score / MaxScore >= Percent / 100, in whole numbers: no boundary is
    // missed by a rounded share, and 128 bits hold the products of any
    // 64-bit scores.
    const TWide Have = static_cast<TWide>(Score) * 100;
    const TWide Need = static_cast<TWide>(Step.Percent) * MaxScore;
    if (MaxScore <= 0 || Have >= Need)
      return Step.Mark;
  }
  return Rest;
}

TMarkScale ParseMarkScale(const std::string& Text) {
  TMarkScale Scale;
  const auto Wrong = [&Text](const std::string& Why) {
    return Exception(Format("Неверная шкала оценок \"%s\": %s", Text.c_str(), Why.c_str()));
  };
  size_t Start = 0;
  for (;;) {
    const size_t End = std::min(Text.find(',', Start), Text.size());
    const std::string Item = Text.substr(Start, End - Start);
    const size_t Colon = Item.find(':');
    TMarkStep Step;
    if (Colon == std::string::npos || !ParseCount(Item.substr(0, Colon), Step.Mark) ||
        !ParseCount(Item.substr(Colon + 1), Step.Percent))
      throw Wrong("нужны пары ОЦЕНКА:ПРОЦЕНТ через запятую, например 5:90,4:75,3:50.");
    if (Step.Percent > 100)
      throw Wrong(Format("процент %lld больше 100.", static_cast<long long>(Step.Percent)));
    if (!Scale.Steps.empty() &&
        (Step.Mark >= Scale.Steps.back().Mark || Step.Percent >= Scale.Steps.back().Percent))
      throw Wrong("оценки и проценты идут от высшей к низшей.");
    Scale.Steps.push_back(Step);
    if (End == Text.size())
      break;
    Start = End + 1;
  }
  Scale.Rest = std::min<int64_t>(Scale.Steps.back().Mark, 2);
  return Scale;
}

} // namespace Deskbay
