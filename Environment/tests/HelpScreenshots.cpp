// Pictures of the help window, for looking at: the language page, the
// drawing commands with their pictures and a search result.
//
//   HelpScreenshots DIR     (offscreen unless QT_QPA_PLATFORM says otherwise)

#include "Environment/Environment_Help.h"

#include "Corekit/ui/UiFonts.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTextBrowser>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication App(argc, argv);
  if (argc != 2) {
    std::cerr << "Использование: HelpScreenshots ПАПКА\n";
    return 2;
  }
  App.setFont(Deskbay::DefaultUiFont());
  const QString Dir = QString::fromLocal8Bit(argv[1]);
  Deskbay::THelpForm Form;
  Form.resize(1000, 720);
  Form.show();
  const auto Shot = [&](const QString& Name) {
    QApplication::processEvents();
    if (!Form.grab().save(Dir + "/" + Name + ".png"))
      std::cerr << "Не удалось записать " << Name.toStdString() << ".png\n";
  };
  Form.ShowTopic("language.html#operators");
  Shot("help-language");
  Form.ShowTopic("drawing.html#krg");
  Shot("help-drawing");
  Form.edtSearch->setText("степень");
  Form.Search("степень");
  Shot("help-search");
  Form.ShowTopic("index.html");
  Shot("help-contents");
  return 0;
}
