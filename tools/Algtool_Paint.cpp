// The painting module of "algtool render": PNG and PDF painted by Qt
// through the flowchart editor's export. algtool loads it only when it
// draws one of them, so its other commands start without Qt.

#include "Algtool_Paint.h"

#include "Flowedit/Flowedit_Export.h"

#include <QFile>
#include <QGuiApplication>

#include <memory>

namespace Deskbay::Algtool {

namespace {

// Qt's notes on its surroundings (no XDG_RUNTIME_DIR on a server, say)
// are nothing to the user of a command-line tool, whose failures come as
// errors of their own; only Qt's critical and fatal messages pass.
QtMessageHandler QtNotes = nullptr;

void KeepSeriousMessages(QtMsgType Type, const QMessageLogContext& Context,
                         const QString& Message) {
  if (QtNotes && (Type == QtCriticalMsg || Type == QtFatalMsg))
    QtNotes(Type, Context, Message);
}

// Qt's painting for the length of one picture: the offscreen platform,
// whatever QT_QPA_PLATFORM says (the tool runs on servers without a
// display), and the fonts the desktop program measures and draws with.
// A Qt application made by someone else (a test's) is used as it is.
class TOffscreenPainting {
public:
  TOffscreenPainting() {
    if (QCoreApplication::instance())
      return;
    QtNotes = qInstallMessageHandler(KeepSeriousMessages);
    FApp = std::make_unique<QGuiApplication>(FArgc, FArgv);
  }
  ~TOffscreenPainting() {
    if (!FApp)
      return;
    FApp.reset();
    qInstallMessageHandler(QtNotes);
  }
  TOffscreenPainting(const TOffscreenPainting&) = delete;
  TOffscreenPainting& operator=(const TOffscreenPainting&) = delete;

private:
  // Qt keeps references to them for the application's life.
  char FName[8] = "algtool";
  char FPlatformOption[10] = "-platform";
  char FPlatform[10] = "offscreen";
  char* FArgv[4] = {FName, FPlatformOption, FPlatform, nullptr};
  int FArgc = 3;
  std::unique_ptr<QGuiApplication> FApp;
};

} // namespace

} // namespace Deskbay::Algtool

extern "C" __attribute__((visibility("default"))) bool
DeskbayAlgtoolPaint(Deskbay::TAlgorithm& Alg, const std::string& FileName, int Percent,
                    const std::string& Header, std::string& Error) {
  using namespace Deskbay;
  try {
    const TChartFormat Format = ChartFormatOf(FileName);
    Algtool::TOffscreenPainting Painting;
    ExportChart(Alg, FileName, Format, Percent,
                QFile::decodeName(QByteArray::fromStdString(Header)));
    return true;
  } catch (const Exception& E) {
    Error = E.Message();
  } catch (const std::exception& E) {
    Error = E.what();
  }
  return false;
}
