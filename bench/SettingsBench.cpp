// The shell's start and close with a long application table, offscreen:
// 10,000 entries in the settings file, listed but not enabled (their
// titles are known, so no package is loaded), and the one write that puts
// back what the user changed.

#include "Corekit/IniFiles.h"
#include "Corekit/TempFileMgr.h"
#include "Environment/ErrorDisplay.h"
#include "Environment/Main.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace Deskbay;

namespace {

const int Entries = 10000;

// A home folder of its own whose settings list Count applications.
class TSettingsHome {
public:
  explicit TSettingsHome(int Count) {
    std::string Template = "/tmp/deskbay-bench-XXXXXX";
    if (!mkdtemp(Template.data()))
      std::abort();
    Home = Template;
    std::ofstream Out(Home + "/Deskbay.ini", std::ios::binary);
    Out << "[General]\n\n[Applications]\n";
    for (int I = 0; I < Count; ++I)
      Out << "App" << I << "=0,Приложение номер " << I << "\n";
  }
  ~TSettingsHome() {
    try {
      RemoveDirectoryTree(Home);
    } catch (...) {
    }
  }
  TSettingsHome(const TSettingsHome&) = delete;
  TSettingsHome& operator=(const TSettingsHome&) = delete;
  std::string Home;
};

// From nothing to the strip with the table read (the first show's work).
void BM_StartWithManyApplications(benchmark::State& State) {
  TSettingsHome Home(static_cast<int>(State.range(0)));
  for (auto _ : State) {
    auto Main = std::make_unique<TMainForm>(TShellStart{Home.Home, "Deskbay", ""});
    Main->FirstShow();
    State.PauseTiming();
    if (Main->GetAppCount() != State.range(0))
      State.SkipWithError("the table was not read whole");
    Main.reset();
    State.ResumeTiming();
  }
}
BENCHMARK(BM_StartWithManyApplications)->Arg(Entries)->Unit(benchmark::kMillisecond);

// From the close request to the freed main window, the table saved.
void BM_CloseWithManyApplications(benchmark::State& State) {
  TSettingsHome Home(static_cast<int>(State.range(0)));
  for (auto _ : State) {
    State.PauseTiming();
    auto Main = std::make_unique<TMainForm>(TShellStart{Home.Home, "Deskbay", ""});
    Main->FirstShow();
    State.ResumeTiming();
    Main->close();
    Main.reset();
  }
}
BENCHMARK(BM_CloseWithManyApplications)->Arg(Entries)->Unit(benchmark::kMillisecond);

// The most a close writes: every entry of the table changed, in one write.
void BM_WriteBackEveryEntry(benchmark::State& State) {
  TSettingsHome Home(static_cast<int>(State.range(0)));
  TIniFile Ini(Home.Home + "/Deskbay.ini");
  std::vector<std::pair<std::string, std::string>> Values;
  for (int I = 0; I < State.range(0); ++I)
    Values.emplace_back("App" + std::to_string(I), "1,Приложение номер " + std::to_string(I));
  for (auto _ : State)
    Ini.WriteStrings("Applications", Values);
}
BENCHMARK(BM_WriteBackEveryEntry)->Arg(Entries)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char Cwd[4096];
  const bool HaveCwd = getcwd(Cwd, sizeof Cwd) != nullptr;
  QApplication App(argc, argv);
  SetErrorHandler([](const std::string&) {});
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The shell makes its home the working folder.
  if (HaveCwd && chdir(Cwd) != 0)
    return 1;
  return 0;
}
