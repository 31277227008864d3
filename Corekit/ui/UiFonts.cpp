#include "UiFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

#include <algorithm>

namespace Deskbay {

namespace {

// The platform's general font as it was before anyone set the
// application's font: the desktop's choice.
QFont DesktopFont() {
  static const QFont Font = [] {
    const QFont System = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    return System.family().isEmpty() ? QGuiApplication::font() : System;
  }();
  return Font;
}

} // namespace

QFont DefaultUiFont() {
  return DesktopFont();
}

QFont FixedUiFont() {
  QFont F = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  F.setStyleHint(QFont::TypeWriter);
  // 13 pixels beside the usual 11 of the interface, at any size.
  F.setPixelSize(std::max(1, qRound(13 * UiFontScale())));
  return F;
}

double UiFontScale() {
  const QFontInfo Info(DefaultUiFont());
  return std::max(1.0, Info.pixelSize() / 12.0);
}

} // namespace Deskbay
