#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace Deskbay {

QTranslator* InstallQtTranslations() {
  auto* Translator = new QTranslator(QCoreApplication::instance());
  // "qt" is the catalogue that brings in each Qt module's own.
  if (!Translator->load(QLocale(QLocale::Russian, QLocale::Russia), "qt", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(Translator)) {
    delete Translator;
    return nullptr;
  }
  return Translator;
}

} // namespace Deskbay
