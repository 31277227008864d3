#include "Algtool_Task.h"

#include "Algtool_Files.h"
#include "Algtool_Output.h"

#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <algorithm>

namespace Deskbay::Algtool {

namespace {

constexpr int64_t MaxTextSize = 1 << 20;
constexpr int64_t MaxStartSize = 8 << 20;

bool IsUtf8(std::string_view S) {
  for (size_t I = 0; I < S.size();) {
    char32_t C;
    const size_t Length = DecodeUtf8(S, I, C);
    if (Length == 0)
      return false;
    I += Length;
  }
  return true;
}

} // namespace

bool ParseCaseNumbers(const std::string& Text, size_t Count, std::vector<size_t>& Numbers) {
  Numbers.clear();
  size_t Start = 0;
  for (;;) {
    const size_t Comma = std::min(Text.find(',', Start), Text.size());
    int64_t N = 0;
    if (!ParseCount(Trim(Text.substr(Start, Comma - Start)), N) || N < 1 ||
        static_cast<uint64_t>(N) > Count ||
        std::find(Numbers.begin(), Numbers.end(), static_cast<size_t>(N)) != Numbers.end())
      return false;
    Numbers.push_back(static_cast<size_t>(N));
    if (Comma == Text.size())
      return true;
    Start = Comma + 1;
  }
}

void MakeTaskPack(const TTaskMakeOptions& Options) {
  TTaskPack Pack;
  Pack.Restrictions = Options.Restrictions;
  Pack.Text = ReadFileLimited(Options.TextFile, MaxTextSize);
  if (!IsUtf8(Pack.Text) || Pack.Text.find('\0') != std::string::npos)
    throw Exception(Format("Текст задания \"%s\" должен быть обычным текстом в UTF-8.",
                           VisibleText(Options.TextFile).c_str()));
  Pack.Start = ReadFileLimited(Options.StartFile, MaxStartSize);
  TAlgorithm Start;
  LoadAlgorithmFile(Start, Options.StartFile);
  const std::vector<TRestrictionBreach> Breaches = CheckRestrictions(Start, Pack.Restrictions);
  if (!Breaches.empty())
    throw Exception(Format("Начальная схема \"%s\" сама нарушает ограничения задания: %s.",
                           VisibleText(Options.StartFile).c_str(),
                           Breaches.front().Reason.c_str()));
  const TTestFile Tests = ReadTestFile(Options.TestsFile);
  std::vector<size_t> Numbers;
  if (!ParseCaseNumbers(Options.Visible, Tests.Cases.size(), Numbers))
    throw Exception(Format("--visible \"%s\": нужны номера случаев через запятую, каждый один "
                           "раз, от 1 до %zu (столько случаев в файле тестов \"%s\").",
                           VisibleText(Options.Visible).c_str(), Tests.Cases.size(),
                           VisibleText(Options.TestsFile).c_str()));
  std::sort(Numbers.begin(), Numbers.end());
  std::vector<TTestCase> Visible;
  for (size_t N : Numbers) {
    Visible.push_back(Tests.Cases[N - 1]);
    Visible.back().Hidden = false;
  }
  Pack.TestsText = TestCasesText(Visible);
  const std::string Text = WriteTaskPack(Pack);
  // What is written must read back: a pack the window cannot open is no pack.
  ParseTaskPack(Text, Options.OutFile);
  SaveFileAtomically(Options.OutFile, [&Text](TStream& File) {
    File.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  });
}

} // namespace Deskbay::Algtool
