#include "UiFonts.h"

#include <QApplication>

namespace Deskbay {

QFont DefaultUiFont() {
  QFont F = QApplication::font();
  F.setPixelSize(11);
  return F;
}

QFont FixedUiFont() {
  QFont F(QStringLiteral("Monospace"));
  F.setStyleHint(QFont::TypeWriter);
  F.setPixelSize(13);
  return F;
}

} // namespace Deskbay
