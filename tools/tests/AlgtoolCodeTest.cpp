// "algtool code" as its users meet it: the program text on standard output
// or in a file written whole, and the usual errors.

#include "AlgtoolProcess.h"

#include "Flowcode/Flowcode_Program.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "tools/Algtool_Files.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string Tool = ALGTOOL_PATH;
const std::string Example = std::string(EXAMPLES_DIR) + "/sum_of_series.alg";

TEST(AlgtoolCodeTest, WritesTheProgramTextOfEachLanguage) {
  TAlgorithm Alg;
  Algtool::LoadAlgorithmFile(Alg, Example);
  TTempDir Dir;
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
    const std::string Expected = GenerateProgram(Alg, L).GetText();
    const TProcessResult Out = RunProcess(Tool, {"code", Example, "--lang", CodeLanguageName(L)});
    EXPECT_EQ(Out.ExitStatus, 0) << Out.Err;
    EXPECT_EQ(Out.Out, Expected);
    const std::string File = Dir.Path(std::string("sum") + CodeLanguageExtension(L));
    WriteFileBytes(File, "old");
    const TProcessResult ToFile =
        RunProcess(Tool, {"code", "-o", File, "--lang", CodeLanguageName(L), Example});
    EXPECT_EQ(ToFile.ExitStatus, 0) << ToFile.Err;
    EXPECT_EQ(ToFile.Out, "");
    EXPECT_EQ(ReadFileBytes(File), Expected);
  }
}

TEST(AlgtoolCodeTest, TheStyleIsExactUnlessLessonIsAskedFor) {
  TAlgorithm Alg;
  Algtool::LoadAlgorithmFile(Alg, Example);
  for (TCodeLanguage L : {TCodeLanguage::Python, TCodeLanguage::Pascal, TCodeLanguage::Cpp}) {
    for (TCodeStyleKind S : {TCodeStyleKind::Exact, TCodeStyleKind::Lesson}) {
      const TProcessResult Out = RunProcess(
          Tool, {"code", Example, "--style", CodeStyleName(S), "--lang", CodeLanguageName(L)});
      EXPECT_EQ(Out.ExitStatus, 0) << Out.Err;
      EXPECT_EQ(Out.Out, GenerateProgram(Alg, L, S).GetText());
    }
  }
  EXPECT_NE(GenerateProgram(Alg, TCodeLanguage::Cpp, TCodeStyleKind::Lesson).GetText(),
            GenerateProgram(Alg, TCodeLanguage::Cpp).GetText());
}

TEST(AlgtoolCodeTest, ADamagedFileIsAnErrorAndNothingIsWritten) {
  TTempDir Dir;
  const std::string Damaged = Dir.Path("damaged.alg");
  WriteFileBytes(Damaged, "not an algorithm");
  const std::string Out = Dir.Path("out.py");
  const TProcessResult R = RunProcess(Tool, {"code", Damaged, "--lang", "python", "-o", Out});
  EXPECT_EQ(R.ExitStatus, 1);
  EXPECT_NE(R.Err.find(Damaged), std::string::npos) << R.Err;
  EXPECT_FALSE(std::filesystem::exists(Out));
}

TEST(AlgtoolCodeTest, WrongArgumentsAreUsageErrors) {
  const std::vector<std::vector<std::string>> Wrong = {
      {"code", Example},
      {"code", Example, "--lang", "basic"},
      {"code", Example, "--lang"},
      {"code", "--lang", "cpp"},
      {"code", Example, Example, "--lang", "cpp"},
      {"code", Example, "--lang", "cpp", "-o"},
      {"code", Example, "--lang", "cpp", "--fast"},
      {"code", Example, "--lang", "cpp", "--style"},
      {"code", Example, "--lang", "cpp", "--style", "pretty"},
  };
  for (const auto& Args : Wrong) {
    const TProcessResult R = RunProcess(Tool, Args);
    EXPECT_EQ(R.ExitStatus, 2) << Args.size();
    EXPECT_EQ(R.Out, "");
    EXPECT_NE(R.Err.find("algtool code"), std::string::npos);
  }
}

} // namespace
