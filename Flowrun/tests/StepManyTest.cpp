// Whole slices of steps the machine makes in one go (StepMany, over its
// flat program and its step program) must
// leave everything exactly as the generic steps, one Step at a time, do:
// values to the bit, output, pixels and what was drawn, step counts, the failing block and its
// message, and the state a step limit or a failure stops in (the block
// stack too).

#include "Flowrun/Flowrun_Canvas.h"
#include "Flowrun/Flowrun_Control.h"
#include "Flowrun/Flowrun_Main.h"
#include "RandomAlgorithm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

using namespace Deskbay;

namespace {

// Everything a run leaves that a view or a later step could see.
std::string Snapshot(TAlgMachine& M, const std::string& Error, int64_t Steps) {
  std::ostringstream Out;
  Out << "steps " << Steps << " state " << int(M.GetState()) << " error " << Error << "\n";
  Out << "current " << M.GetCurrentBlock() << " last " << M.GetLastProcessedBlock() << " back "
      << M.GetJumpedBack() << " stack";
  for (const TAlgBlock* B : M.GetBlockStack())
    Out << " " << B;
  Out << "\n";
  TVarStorage& S = M.GetStorage();
  for (int I = 0; I < S.GetVarCount(); ++I) {
    const double V = S.GetVarValues(I);
    std::uint64_t Bits;
    std::memcpy(&Bits, &V, sizeof Bits);
    Out << S.GetVarNames(I) << "=" << std::hex << Bits << std::dec << " ";
  }
  TStringList Lines;
  M.GetConsole().GetLines(Lines);
  Out << "\nconsole " << Lines.GetText() << "\npixels ";
  const TBitmap& P = M.GetCanvas().GetPicture();
  std::uint64_t Hash = 1469598103934665603ull;
  for (int Y = 0; Y < P.GetHeight(); ++Y)
    for (int X = 0; X < P.GetWidth(); ++X)
      Hash = (Hash ^ std::uint64_t(P.GetPixel(X, Y))) * 1099511628211ull;
  const TAlgCanvas::TDrawingCounts& D = M.GetCanvas().GetDrawingCounts();
  Out << Hash << " drawn " << D.Points << " " << D.Segments << " " << D.Circles << " colours "
      << D.Colors;
  return Out.str();
}

// Generic steps on (at most 20000), after whatever brought the machine here.
std::string Finish(TAlgMachine& M, int64_t Steps) {
  std::string Error;
  try {
    for (int N = 0; N < 20000 && M.GetState() == amsReady; ++N) {
      M.Step();
      ++Steps;
    }
  } catch (const Exception& E) {
    Error = E.Message();
  }
  return Snapshot(M, Error, Steps);
}

std::string RunGeneric(TAlgorithm& Alg, TAlgMachine& M, int64_t MaxSteps, int64_t& Steps) {
  M.InitComplete();
  M.SetCurrentBlock(Alg.GetRoot());
  std::string Error;
  Steps = 0;
  M.BeginModifyComponents();
  try {
    while (M.GetState() == amsReady && (MaxSteps < 0 || Steps < MaxSteps)) {
      M.Step();
      ++Steps;
    }
  } catch (const Exception& E) {
    Error = MessageLines(E.Message());
  }
  M.EndModifyComponents();
  return Snapshot(M, Error, Steps);
}

std::string RunDriven(TAlgorithm& Alg, TAlgMachine& M, int64_t MaxSteps, int64_t Slice,
                      int64_t& Steps) {
  TMachineDriver Driver(M, Alg, MaxSteps);
  while (!Driver.Run(Slice)) {
  }
  Steps = Driver.GetOutcome().Steps;
  return Snapshot(M, Driver.GetOutcome().Error, Steps);
}

} // namespace

TEST(StepMany, RandomAlgorithmsRunAsStepByStep) {
  const char* Env = std::getenv("DESKBAY_DIFFERENTIAL_COUNT");
  const int Count = Env ? std::atoi(Env) : 3000;
  int Failures = 0;
  for (int I = 0; I < Count && Failures < 5; ++I) {
    TAlgorithm Alg;
    Testing::TRandomAlgorithm(unsigned(I)).Build(Alg);
    // A limit far beyond most runs (a loop may reset another's variable and
    // never end), one that may stop inside a pass, and slices of a host.
    const int64_t MaxSteps = I % 3 == 0 ? 20000 : I % 3 == 1 ? I % 97 : 100 + I % 400;
    const int64_t Slice = I % 2 ? INT64_MAX : I % 4 == 0 ? 1 + I % 7 : 60 + I % 150;
    TAlgMachine Generic, Driven;
    int64_t GenericSteps = 0, DrivenSteps = 0;
    const std::string A = RunGeneric(Alg, Generic, MaxSteps, GenericSteps);
    const std::string B = RunDriven(Alg, Driven, MaxSteps, Slice, DrivenSteps);
    bool Same = A == B;
    // A limit stops both in the same hidden state: the rest runs alike.
    if (Same && Generic.GetState() == amsReady)
      Same = Finish(Generic, GenericSteps) == Finish(Driven, DrivenSteps);
    if (!Same) {
      ++Failures;
      ADD_FAILURE() << "algorithm " << I << " limit " << MaxSteps << "\n" << A << "\n---\n" << B;
    }
  }
}
