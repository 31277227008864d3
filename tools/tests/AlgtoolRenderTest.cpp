// algtool's PNG and PDF pictures beside the window's own export of the same
// chart: the tool paints through the same code, on Qt's offscreen platform,
// whatever the environment names.

#include "AlgtoolProcess.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Flowedit/Flowedit_Export.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <regex>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

const std::string Tool = ALGTOOL_PATH;
const std::string ExamplesDir = EXAMPLES_DIR;

TProcessResult Render(const std::vector<std::string>& Args) {
  std::vector<std::string> Full = {"render"};
  Full.insert(Full.end(), Args.begin(), Args.end());
  return RunProcess(Tool, Full);
}

int PdfPageCount(const std::string& Pdf) {
  // Each page object names its type once; the page tree says "/Pages".
  int Count = 0;
  for (size_t At = Pdf.find("/Type /Page"); At != std::string::npos;
       At = Pdf.find("/Type /Page", At + 1))
    if (Pdf.compare(At, 12, "/Type /Pages") != 0)
      ++Count;
  return Count;
}

// The moment of writing is the only thing two PDFs of one chart may differ in.
std::string WithoutDates(const std::string& Pdf) {
  return std::regex_replace(Pdf, std::regex(R"(/CreationDate \(D:[^)]*\))"), "");
}

// An environment variable set (or, with nullptr, removed) for a scope.
class TEnvironment {
public:
  TEnvironment(const char* Name, const char* Value) : FName(Name) {
    if (const char* Old = std::getenv(Name))
      FOld = Old;
    if (Value)
      setenv(Name, Value, 1);
    else
      unsetenv(Name);
  }
  ~TEnvironment() {
    if (FOld)
      setenv(FName.c_str(), FOld->c_str(), 1);
    else
      unsetenv(FName.c_str());
  }
  TEnvironment(const TEnvironment&) = delete;
  TEnvironment& operator=(const TEnvironment&) = delete;

private:
  std::string FName;
  std::optional<std::string> FOld;
};

} // namespace

TEST(AlgtoolRender, PngIsTheWindowsPictureAtEitherScale) {
  TTempDir Dir;
  const std::string Source = ExamplesDir + "/prime_count.alg";
  TAlgorithm Alg;
  LoadAlgorithmFile(Alg, Source);
  ExportChart(Alg, Dir.Path("window.png"), TChartFormat::Png, 100);
  ExportChart(Alg, Dir.Path("window2.png"), TChartFormat::Png, 200);

  TProcessResult R = Render({Source, "-o", Dir.Path("tool.png")});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Err, "") << "nothing of Qt's on the way";
  R = Render({Source, "--scale", "200", "-o", Dir.Path("tool2.PNG")});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  R = Render({"-o", Dir.Path("tool100.png"), "--scale", "100", Source});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;

  const QImage One(QString::fromStdString(Dir.Path("tool.png")));
  const QImage Two(QString::fromStdString(Dir.Path("tool2.PNG")));
  ASSERT_FALSE(One.isNull());
  EXPECT_GT(One.width(), 100);
  EXPECT_GT(One.height(), 300);
  EXPECT_EQ(Two.size(), One.size() * 2);
  EXPECT_EQ(ReadFileBytes(Dir.Path("tool.png")), ReadFileBytes(Dir.Path("window.png")));
  EXPECT_EQ(ReadFileBytes(Dir.Path("tool2.PNG")), ReadFileBytes(Dir.Path("window2.png")));
  EXPECT_EQ(ReadFileBytes(Dir.Path("tool100.png")), ReadFileBytes(Dir.Path("tool.png")));
}

TEST(AlgtoolRender, PdfHasTheWindowsPagesHeadedWithTheFileName) {
  TTempDir Dir;
  // Long enough for several A4 pages.
  TAlgorithm Alg;
  for (int K = 0; K < 60; ++K)
    TBasicAlgBlock::Class.Create(Alg.GetRoot()->GetBody())->GetText().Add("X=" + std::to_string(K));
  const std::string Source = Dir.Path("long.alg");
  SaveObjectToFile(&Alg, Source);
  ExportChart(Alg, Dir.Path("window.pdf"), TChartFormat::Pdf, 100, "long.alg");

  const TProcessResult R = Render({Source, "-o", Dir.Path("tool.Pdf")});
  ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_EQ(R.Err, "");
  const std::string Pdf = ReadFileBytes(Dir.Path("tool.Pdf"));
  EXPECT_EQ(Pdf.rfind("%PDF", 0), 0u);
  EXPECT_GE(PdfPageCount(Pdf), 2);
  const std::string Window = ReadFileBytes(Dir.Path("window.pdf"));
  EXPECT_EQ(PdfPageCount(Pdf), PdfPageCount(Window));
  EXPECT_EQ(WithoutDates(Pdf), WithoutDates(Window)) << "the same pages, the same header";
}

TEST(AlgtoolRender, PaintsWithoutADisplayWhateverPlatformIsAskedFor) {
  TTempDir Dir;
  const TEnvironment Platform("QT_QPA_PLATFORM", "xcb");
  const TEnvironment Display("DISPLAY", nullptr);
  const TEnvironment Wayland("WAYLAND_DISPLAY", nullptr);
  const TProcessResult R = Render({ExamplesDir + "/gcd.alg", "-o", Dir.Path("gcd.png")});
  EXPECT_EQ(R.ExitStatus, 0) << R.Err;
  EXPECT_FALSE(QImage(QString::fromStdString(Dir.Path("gcd.png"))).isNull());
}

TEST(AlgtoolRender, TheUnknownFormatIsRefusedInTheWindowsWords) {
  TTempDir Dir;
  const std::string Out = Dir.Path("gcd.gif");
  const TProcessResult R = Render({ExamplesDir + "/gcd.alg", "-o", Out});
  EXPECT_EQ(R.ExitStatus, 1);
  try {
    ChartFormatOf(Out);
    ADD_FAILURE() << "the window took " << Out;
  } catch (const Exception& E) {
    EXPECT_EQ(R.Err, E.Message() + "\n");
  }
}
