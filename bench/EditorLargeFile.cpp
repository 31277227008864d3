// The memory the flowchart editor needs for an algorithm file: loads the
// file named on the command line, shows it in the editor on the offscreen
// platform with the real fonts, paints it once and prints the file's size
// and the process's peak memory. Blocks with lines of megabytes must cost
// little beyond the file itself, as only a box's worth of each is shown.
//   EditorLargeFile FILE.alg

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/ui/AdvScrollBox.h"
#include "Corekit/ui/QtHooks.h"
#include "Flowedit/Flowedit_Editor.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QApplication>
#include <QImage>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

using namespace Deskbay;

namespace {

long PeakKilobytes() {
  rusage Usage = {};
  getrusage(RUSAGE_SELF, &Usage);
  return Usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: EditorLargeFile FILE.alg\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication App(argc, argv);
  TGuiHooks Hooks;
  struct stat St = {};
  stat(argv[1], &St);
  const long Start = PeakKilobytes();
  TAlgorithm Alg;
  LoadObjectFromFile(&Alg, argv[1]);
  const long Loaded = PeakKilobytes();
  TAdvScrollBox Box;
  Box.resize(800, 600);
  auto* Editor = new TAlgEditor(Box.GetArea());
  Editor->SetAlgorithm(&Alg);
  Box.show();
  QApplication::processEvents();
  QImage Image(800, 600, QImage::Format_ARGB32_Premultiplied);
  Editor->render(&Image);
  const long FileKilobytes = static_cast<long>(St.st_size / 1024);
  std::printf("file %ld KB; peak memory: %ld KB at start, %ld KB loaded, %ld KB shown "
              "(%ld KB beyond the start and the file's size)\n",
              FileKilobytes, Start, Loaded, PeakKilobytes(),
              PeakKilobytes() - Start - FileKilobytes);
  Editor->SetAlgorithm(nullptr);
  return 0;
}
