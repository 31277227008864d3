#pragma once

// The strip's menus from the keyboard of any document window. The strip is
// a dock window that never takes the focus, so the keys meant for its menu
// bar arrive at the document window: F10, and Alt pressed and released
// alone, open "Файл"; Alt with a menu's underlined letter opens that menu,
// the letter typed on a Russian or a Latin layout alike (Alt+Ф and Alt+A
// are one key). The menu bar then runs as usual: arrows move through the
// menus, Enter chooses; when the last menu closes (Escape, a choice, a
// click elsewhere) the document window it came from is active again.

#include "EnvironmentExport.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QKeyEvent;
class QMenuBar;
class QWidget;

namespace Deskbay {

// The menu among Titles ("&Файл", "В&ыполнение", ...) whose underlined
// letter is on the key Key (a Qt key: a Latin letter's, or a Cyrillic
// letter's upper-case code point, as each layout reports it); -1 for none.
// A letter and the Cyrillic one on the same key of the ЙЦУКЕН layout are
// one key.
ENVIRONMENT_API int MnemonicMenuIndex(const std::vector<QString>& Titles, int Key);

class ENVIRONMENT_API TMenuKeys : public QObject {
  Q_OBJECT
public:
  explicit TMenuKeys(QMenuBar& Bar);

  // A key event on the way to a document window (Window): true when it
  // opened a menu and is used up. Other key events only follow whether Alt
  // was pressed alone.
  bool HandleKey(QWidget& Window, QKeyEvent& Event);
  // A pointer press or anything else between Alt's press and release.
  void Interrupted() { FAltAlone = false; }
  // A key on its way to a shortcut (ShortcutOverride), or any key pressed
  // or let go: Alt held with it is not Alt alone.
  void KeyTaken(const QKeyEvent& Event);
  // Opens the bar's menu at Index (0: "Файл") from Window.
  void OpenMenu(QWidget& Window, int Index);
  // The window a menu was opened from, while one is open.
  QWidget* GetReturnWindow() const { return FReturn; }

private:
  void MenuClosed();

  QMenuBar& FBar;
  QPointer<QWidget> FReturn;
  bool FAltAlone = false;
};

} // namespace Deskbay
