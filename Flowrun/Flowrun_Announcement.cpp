#include "Flowrun_Announcement.h"

#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowrun_Debugger.h"
#include "Flowrun_Main.h"
#include "Flowrun_Values.h"

#include <algorithm>

namespace Deskbay {

namespace {

// One line to be read: a line break becomes a space.
std::string OneLine(std::string S) {
  std::replace(S.begin(), S.end(), '\n', ' ');
  std::erase(S, '\r');
  return S;
}

std::string Joined(const std::vector<std::string>& Items, const char* Separator) {
  std::string Text;
  for (const std::string& Item : Items) {
    if (!Text.empty())
      Text += Separator;
    Text += Item;
  }
  return Text;
}

} // namespace

std::string RunAnnouncementText(const TRunAnnouncement& A) {
  std::vector<std::string> Parts;
  switch (A.Event) {
  case TAnnouncedEvent::StepBack:
    Parts.push_back("Шаг назад");
    break;
  case TAnnouncedEvent::Pause:
    if (!A.Block.empty())
      Parts.push_back("Пауза перед блоком «" + OneLine(A.Block) + "»");
    break;
  case TAnnouncedEvent::Step:
  case TAnnouncedEvent::Finish:
  case TAnnouncedEvent::Stop:
  case TAnnouncedEvent::Error:
    if (A.Step > 0 && !A.Block.empty())
      Parts.push_back("Шаг " + std::to_string(A.Step) + ": " + OneLine(A.Block));
    break;
  }
  if (!A.Changed.empty()) {
    std::vector<std::string> Values;
    for (const auto& [Name, Value] : A.Changed)
      Values.push_back(Name + " = " + Value);
    Parts.push_back(Joined(Values, ", "));
  }
  if (A.OutputCount > 0) {
    std::vector<std::string> Lines;
    for (const std::string& Line : A.Output)
      Lines.push_back(OneLine(Line));
    const auto Shown = static_cast<int64_t>(A.Output.size());
    Parts.push_back((Shown < A.OutputCount ? "вывод, последние " + std::to_string(Shown) +
                                                 " строк из " + std::to_string(A.OutputCount)
                                           : std::string("вывод")) +
                    ": " + Joined(Lines, "; "));
  }
  std::string Text = Joined(Parts, "; ");
  if (A.Event != TAnnouncedEvent::Step && !A.Status.empty()) {
    if (!Text.empty())
      Text += ". ";
    Text += OneLine(A.Status);
  }
  return Text;
}

void TRunAnnouncer::Begin(const TAlgDebugSession& Session) {
  FMachine = Session.GetMachine();
  const TAlgBlock* Next = Session.GetNextBlock();
  FBlock = Next ? DescribeBlock(Next) : std::string();
  FSteps = Session.GetStepNumber();
  FLines = FMachine ? FMachine->GetConsole().GetAddedCount() : 0;
}

TRunAnnouncement TRunAnnouncer::End(TAlgDebugSession& Session, TAnnouncedEvent Event,
                                    bool SingleStep, const std::string& Status) {
  TRunAnnouncement A;
  A.Event = Event;
  A.Status = Status;
  TAlgMachine* Machine = Session.GetMachine();
  const bool OneStep = SingleStep && Machine && Machine == FMachine;
  if (Event == TAnnouncedEvent::Pause) {
    const TAlgBlock* Next = Session.GetNextBlock();
    A.Block = Next ? DescribeBlock(Next) : std::string();
  } else if (OneStep && Event != TAnnouncedEvent::StepBack) {
    // The step made, or the one that failed (its number is the next one
    // either way).
    A.Step = FSteps + 1;
    A.Block = FBlock;
  }
  if (Machine && Machine == FMachine && Event != TAnnouncedEvent::StepBack) {
    if (A.Step > 0)
      for (const std::string& Name : Session.GetChangedVars())
        if (Machine->GetStorage().VarExists(Name))
          A.Changed.emplace_back(Name, AlgFormatValue(Machine->GetStorage().GetVars(Name)));
    const TAlgConsole& Console = Machine->GetConsole();
    A.OutputCount = Console.GetAddedCount() - FLines;
    if (A.OutputCount > 0) {
      TStringList Lines;
      Console.GetLines(Lines);
      const int64_t Kept =
          std::min<int64_t>({A.OutputCount, TRunAnnouncement::MaxOutputLines, Lines.GetCount()});
      for (int64_t I = Lines.GetCount() - Kept; I < Lines.GetCount(); ++I)
        A.Output.push_back(Lines.Get(static_cast<int>(I)));
    }
  }
  Begin(Session);
  return A;
}

} // namespace Deskbay
